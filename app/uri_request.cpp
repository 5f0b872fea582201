#include "app/uri_request.h"

#include <new>

#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/script/script_class.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// The flags every download is bound with.
constexpr DWORD kBindFlags =
    BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_NO_UI | BINDF_SILENTOPERATION | BINDF_FROMURLMON;
static_assert(kBindFlags == 1054723);

// The file URL with its escapes decoded, settled and confined to the folders a scene may read,
// then written again with only '%' escaped; empty when a scene may not read that file.
NUBO::TWString ConfinedFileUrl(const WCHAR* url) {
    const std::string text = platform::Utf8FromWide(url, wcslen(url));
    auto hex = [](char h) {
        return h >= '0' && h <= '9' ? h - '0' : (h | 0x20) >= 'a' && (h | 0x20) <= 'f' ? (h | 0x20) - 'a' + 10 : -1;
    };
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            bytes += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    // Read as the download reads it: after "file:" and the two separators of an empty host, the path.
    std::u16string decoded = platform::WideFromUtf8(bytes).substr(5);
    auto separator = [](char16_t c) { return c == u'/' || c == u'\\'; };
    if (decoded.size() >= 2 && separator(decoded[0]) && separator(decoded[1])) decoded = decoded.substr(2);
    NUBO::TWString path(decoded.c_str());
    if (decoded.empty() || !separator(decoded[0]) || !ConfineSceneFile(path)) return NUBO::TWString();
    NUBO::TWString out(u"file://");
    for (const WCHAR* c = path.GetString(); *c; ++c) {
        if (*c == u'%') {
            out += u"%25";
        } else {
            out += *c;
        }
    }
    return out;
}

int32_t OpenStreamBody(XUriRequest* request, XArgList* args, XVariant*) {
    XObject* listener = script_class::ArgObject(args, 1);
    NUBO::XArgString url(args->GetArg(0));
    int32_t rc = request->OpenStream(url.GetString(), listener);
    if (listener) listener->Release();
    return rc;
}

int32_t AbortBody(XUriRequest* request, XArgList*, XVariant*) {
    request->Abort();
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("openStream", script_class::Method<XUriRequest, 2, OpenStreamBody>),
    NUBO::XMethod("abort", script_class::Method<XUriRequest, 0, AbortBody>),
    NUBO::XMemberEnd(),
};

} // namespace

XUriRequestBinder::~XUriRequestBinder() {
    if (binding_) binding_->Release();
    if (listener_) listener_->Release();
}

HRESULT XUriRequestBinder::QueryInterface(REFIID riid, void** out) {
    if (out && riid == IID_IBindStatusCallback) {
        *out = static_cast<IBindStatusCallback*>(this);
        AddRef();
        return S_OK;
    }
    return XObject::QueryInterface(riid, out);
}

void XUriRequestBinder::SetListener(XObject* listener) {
    if (listener) listener->AddRef();
    if (listener_) listener_->Release();
    listener_ = listener;
}

void XUriRequestBinder::Abort() {
    if (binding_) binding_->Abort();
}

HRESULT XUriRequestBinder::OnStartBinding(DWORD, IBinding* binding) {
    if (binding) binding->AddRef();
    if (binding_) binding_->Release();
    binding_ = binding;
    return S_OK;
}

HRESULT XUriRequestBinder::OnStopBinding(HRESULT result, LPCWSTR) {
    auto keep = NUBO::RefPtr<XUriRequestBinder>::ref(this); // the listener may end the last other hold
    if (FAILED(result) && listener_) {
        XVariant code(int(NUBO::ResultFromHResult(result)));
        XObject::CallMethod1NoResult(listener_, u"onError", code);
    }
    if (binding_) {
        IBinding* binding = binding_;
        binding_ = nullptr;
        binding->Release();
    }
    SetListener(nullptr);
    return S_OK;
}

HRESULT XUriRequestBinder::GetBindInfo(DWORD* flags, BINDINFO*) {
    if (flags) *flags = kBindFlags;
    return S_OK;
}

HRESULT XUriRequestBinder::OnDataAvailable(DWORD flags, DWORD, FORMATETC*, STGMEDIUM* medium) {
    if (!medium || medium->tymed != TYMED_ISTREAM) return E_ABORT;
    if ((flags & BSCF_LASTDATANOTIFICATION) && medium->pstm && listener_) {
        auto keep = NUBO::RefPtr<XUriRequestBinder>::ref(this); // the listener may end the last other hold
        XVariant stream;
        stream.vt = VT_UNKNOWN;
        stream.punkVal = medium->pstm;
        medium->pstm->AddRef();
        XObject::CallMethod1NoResult(listener_, u"onDataAvailable", stream);
    }
    return S_OK;
}

NUBO::XClassDescriptor XUriRequest::Descriptor = {"XUriRequest", 3, kMembers, &XObject::Descriptor, 0, {}};

XUriRequest::~XUriRequest() {
    if (binder_) binder_->Release();
}

int32_t XUriRequest::OpenStream(const WCHAR* url, XObject* listener) {
    auto* binder = new (std::nothrow) XUriRequestBinder();
    if (!binder) return NUBO::XR_OUT_OF_MEMORY;
    binder->AddRef();
    // A download still running keeps its own binder through its binding.
    if (binder_) binder_->Release();
    binder_ = binder;
    if (!listener) return NUBO::XR_INVALID;
    binder->SetListener(listener);

    // A file goes through the scenes' confinement, and is then named by its settled path, so that
    // no escape in the address reads as another name further on.
    NUBO::TWString local;
    if (url && _wcsnicmp(url, u"file:", 5) == 0) {
        local = ConfinedFileUrl(url);
        if (local.IsEmpty()) {
            binder->SetListener(nullptr);
            return NUBO::XR_FAIL;
        }
        url = local.GetString();
    }
    IMoniker* moniker = nullptr;
    IBindCtx* context = nullptr;
    HRESULT hr = CreateURLMonikerEx(nullptr, url, &moniker, 0);
    if (SUCCEEDED(hr)) hr = CreateAsyncBindCtx(0, binder, nullptr, &context);
    if (SUCCEEDED(hr)) {
        IUnknown* stream = nullptr;
        hr = moniker->BindToStorage(context, nullptr, IID_IStream, reinterpret_cast<void**>(&stream));
        if (stream) stream->Release(); // the content comes through the binder
    }
    if (context) context->Release();
    if (moniker) moniker->Release();
    if (FAILED(hr)) binder->SetListener(nullptr);
    return NUBO::ResultFromHResult(hr);
}

void XUriRequest::Abort() {
    if (binder_) binder_->Abort();
}

int32_t CreateXUriRequest(XObject** out) {
    return script_class::CreateInstance<XUriRequest>(out);
}
