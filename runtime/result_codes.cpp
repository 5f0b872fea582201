#include "runtime/result_codes.h"

#include "platform/com/error_info.h"
#include "platform/com/excepinfo.h"
#include "platform/com/hresult.h"

namespace NUBO {

namespace {

constexpr HRESULT H(uint32_t value) {
    return static_cast<HRESULT>(value);
}

} // namespace

const XResultPair kResultPairs[20] = {
    {0, S_OK},
    {0, S_FALSE},
    {1, E_FAIL},
    {2, E_NOTIMPL},
    {10, E_INVALIDARG},
    {3, H(0x81000001)},
    {8, H(0x81000002)},
    {7, DISP_E_MEMBERNOTFOUND},
    {10, DISP_E_PARAMNOTFOUND},
    {12, DISP_E_BADPARAMCOUNT},
    {4, CLASS_E_CLASSNOTAVAILABLE},
    // Remote-call failures: the server is gone or the call did not get through.
    {4, H(0x800706B3)},
    {4, H(0x800706BA)},
    {4, H(0x800706BE)},
    {4, H(0x800706BF)},
    {10, H(0x800706F4)},
    {29, H(0x80010002)},
    {57, DISP_E_MEMBERNOTFOUND},
    {45, H(0x80070026)}, // end of file
    {115, H(0x80010105)},
};

HRESULT HResultFromResult(int32_t code) {
    for (const XResultPair& pair : kResultPairs)
        if (pair.code == code) return pair.hr;
    if (code < 0) return code;
    return static_cast<HRESULT>(kPrivateHResultBase + static_cast<uint32_t>(code));
}

int32_t ResultFromHResult(HRESULT hr) {
    for (const XResultPair& pair : kResultPairs)
        if (pair.hr == hr) return pair.code;
    // Success first: a success HRESULT with private-range facility bits must not become a failure.
    if (SUCCEEDED(hr)) return XR_SUCCESS;
    const uint32_t bits = static_cast<uint32_t>(hr);
    if (((bits >> 16) & 0x1FFF) == 0x100) return static_cast<int32_t>(bits - kPrivateHResultBase);
    return hr;
}

namespace {

// The exception's text becomes the thread's error object, so that when the native caller fails
// with this code, the script that called it reads the same text in its Error.
void KeepExceptionText(const EXCEPINFO* info) {
    if (!info->bstrDescription || SysStringLen(info->bstrDescription) == 0) return;
    ICreateErrorInfo* created = nullptr;
    if (FAILED(CreateErrorInfo(&created)) || !created) return;
    created->SetSource(info->bstrSource);
    created->SetDescription(info->bstrDescription);
    IErrorInfo* error = nullptr;
    if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error))) && error) {
        SetErrorInfo(0, error);
        error->Release();
    }
    created->Release();
}

} // namespace

HRESULT ResultFromException(HRESULT hr, const EXCEPINFO* info) {
    if (hr != DISP_E_EXCEPTION || !info) return hr;
    KeepExceptionText(info);
    if (info->scode != 0) return info->scode;
    if (info->wCode != 0) return H(0x80040000u + info->wCode);
    return hr;
}

} // namespace NUBO
