#include "platform/com/safearray.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/unknown.h"

namespace {

constexpr ULONG kMaxLocks = 0xFFFF;
constexpr size_t kMaxBytes = 0x7FFFFFFF;

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(IUnknown*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT FeaturesOf(VARTYPE vt) {
    switch (vt) {
    case VT_BSTR:
        return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_UNKNOWN:
        return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_HAVEVARTYPE | FADF_DISPATCH;
    case VT_VARIANT:
        return FADF_HAVEVARTYPE | FADF_VARIANT;
    default:
        return FADF_HAVEVARTYPE;
    }
}

size_t ElementCount(const SAFEARRAY* a) {
    size_t n = 1;
    for (USHORT d = 0; d < a->cDims; ++d)
        n *= a->rgsabound[d].cElements;
    return n;
}

// Frees what one element owns; the slot keeps stale bits and must be overwritten or released.
void ReleaseElement(VARTYPE vt, void* slot) {
    switch (vt) {
    case VT_BSTR:
        SysFreeString(*static_cast<BSTR*>(slot));
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (IUnknown* p = *static_cast<IUnknown**>(slot)) p->Release();
        break;
    case VT_VARIANT:
        VariantClear(static_cast<VARIANT*>(slot));
        break;
    default:
        break;
    }
}

// Copies one element into an uninitialised slot.
HRESULT CopyElement(VARTYPE vt, void* dst, const void* src, ULONG size) {
    switch (vt) {
    case VT_BSTR: {
        BSTR s = *static_cast<const BSTR*>(src);
        BSTR copy = nullptr;
        if (s) {
            copy = SysAllocStringLen(s, SysStringLen(s));
            if (!copy) return E_OUTOFMEMORY;
        }
        *static_cast<BSTR*>(dst) = copy;
        return S_OK;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
        IUnknown* p = *static_cast<IUnknown* const*>(src);
        if (p) p->AddRef();
        *static_cast<IUnknown**>(dst) = p;
        return S_OK;
    }
    case VT_VARIANT:
        VariantInit(static_cast<VARIANT*>(dst));
        return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
    default:
        std::memcpy(dst, src, size);
        return S_OK;
    }
}

// The slot of the element at the given indices, or null when one is outside its bounds.
BYTE* ElementAt(SAFEARRAY* a, const LONG* indices) {
    size_t offset = 0;
    size_t stride = 1;
    for (USHORT d = 0; d < a->cDims; ++d) {
        const SAFEARRAYBOUND& b = a->rgsabound[d];
        int64_t i = static_cast<int64_t>(indices[d]) - b.lLbound;
        if (i < 0 || i >= static_cast<int64_t>(b.cElements)) return nullptr;
        offset += static_cast<size_t>(i) * stride;
        stride *= b.cElements;
    }
    return static_cast<BYTE*>(a->pvData) + offset * a->cbElements;
}

void FreeArray(SAFEARRAY* a) {
    if (a->pvData) {
        size_t n = ElementCount(a);
        for (size_t i = 0; i < n; ++i)
            ReleaseElement(a->vt, static_cast<BYTE*>(a->pvData) + i * a->cbElements);
        std::free(a->pvData);
    }
    std::free(a);
}

SAFEARRAY* AllocArray(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    ULONG size = ElementSize(vt);
    if (size == 0 || dims == 0 || dims > 0xFFFF || !bounds) return nullptr;
    size_t count = 1;
    for (UINT d = 0; d < dims; ++d) {
        if (bounds[d].cElements != 0 && count > kMaxBytes / bounds[d].cElements) return nullptr;
        count *= bounds[d].cElements;
    }
    if (count > kMaxBytes / size) return nullptr;
    size_t header = offsetof(SAFEARRAY, rgsabound) + dims * sizeof(SAFEARRAYBOUND);
    auto* a = static_cast<SAFEARRAY*>(std::calloc(1, header));
    if (!a) return nullptr;
    a->cDims = static_cast<USHORT>(dims);
    a->fFeatures = FeaturesOf(vt);
    a->cbElements = size;
    a->vt = vt;
    std::memcpy(a->rgsabound, bounds, dims * sizeof(SAFEARRAYBOUND));
    // Zeroed elements are valid empty values of every type (null strings, VT_EMPTY, null pointers).
    a->pvData = std::calloc(count ? count : 1, size);
    if (!a->pvData) {
        std::free(a);
        return nullptr;
    }
    return a;
}

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
    return AllocArray(vt, dims, bounds);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count) {
    SAFEARRAYBOUND bound{count, lowerBound};
    return AllocArray(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    if (array->cLocks) return DISP_E_ARRAYISLOCKED;
    FreeArray(array);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    if (array->cLocks >= kMaxLocks) return E_UNEXPECTED;
    ++array->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
    if (!array) return E_INVALIDARG;
    if (array->cLocks == 0) return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (!array || !data) return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(array);
    *data = SUCCEEDED(hr) ? array->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    return SafeArrayUnlock(array);
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* value) {
    if (!array || !indices || !value) return E_INVALIDARG;
    BYTE* slot = ElementAt(array, indices);
    if (!slot) return DISP_E_BADINDEX;
    return CopyElement(array->vt, value, slot, array->cbElements);
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value) {
    if (!array || !indices) return E_INVALIDARG;
    BYTE* slot = ElementAt(array, indices);
    if (!slot) return DISP_E_BADINDEX;
    // Strings are passed by value (the BSTR itself), interfaces by pointer, others by address.
    const void* src = value;
    if (array->vt == VT_BSTR || array->vt == VT_UNKNOWN || array->vt == VT_DISPATCH)
        src = &value;
    else if (!value)
        return E_INVALIDARG;
    alignas(VARIANT) BYTE fresh[sizeof(VARIANT)];
    HRESULT hr = CopyElement(array->vt, fresh, src, array->cbElements);
    if (FAILED(hr)) return hr;
    ReleaseElement(array->vt, slot);
    std::memcpy(slot, fresh, array->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
    *bound = array->rgsabound[dim - 1].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = array->rgsabound[dim - 1];
    *bound = static_cast<LONG>(static_cast<int64_t>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) {
    return array ? array->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* array) {
    return array ? array->cbElements : 0;
}

HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy) {
    if (!copy) return E_INVALIDARG;
    *copy = nullptr;
    if (!array) return S_OK;
    SAFEARRAY* a = AllocArray(array->vt, array->cDims, array->rgsabound);
    if (!a) return E_OUTOFMEMORY;
    size_t n = ElementCount(array);
    for (size_t i = 0; i < n; ++i) {
        size_t at = i * array->cbElements;
        HRESULT hr = CopyElement(array->vt, static_cast<BYTE*>(a->pvData) + at, static_cast<BYTE*>(array->pvData) + at,
                                 array->cbElements);
        if (FAILED(hr)) {
            FreeArray(a); // elements not yet copied are still zero, which frees as nothing
            return hr;
        }
    }
    *copy = a;
    return S_OK;
}
