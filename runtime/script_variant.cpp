#include "runtime/script_variant.h"

#include <cstring>
#include <new>

#include "platform/com/ole_time.h"
#include "platform/com/safearray.h"
#include "platform/com/unknown.h"
#include "platform/crt/wide.h"
#include "runtime/calendar.h"
#include "runtime/result_codes.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"

namespace NUBO {

namespace {

struct KindRow {
    VARTYPE vt;
    int kind;
};

// Searched from the top both ways: the first row wins.
constexpr KindRow kKinds[] = {
    {VT_EMPTY, XVK_EMPTY},
    {VT_BOOL, XVK_BOOL},
    {VT_I1, XVK_INT8},
    {VT_UI1, XVK_UINT8},
    {VT_I2, XVK_INT16},
    {VT_UI2, XVK_UINT16},
    {VT_I4, XVK_INT32},
    {VT_UI4, XVK_UINT32},
    {VT_ARRAY | VT_I1, XVK_INT64},
    {VT_ARRAY | VT_UI1, XVK_UINT64},
    {VT_R8, XVK_DOUBLE},
    {VT_BSTR, XVK_STRING},
    {VT_DATE, XVK_DATE},
    {VT_ARRAY | VT_VARIANT, XVK_VARIANT_ARRAY},
    {VT_DISPATCH, XVK_OBJECT},
    {VT_UNKNOWN, XVK_OBJECT},
    {VT_VARIANT, XVK_VARIANT},
    {VT_NULL, XVK_NULL},
};

bool IsByteArrayKind(int kind) {
    return kind == XVK_INT64 || kind == XVK_UINT64;
}

bool IsObjectType(VARTYPE vt) {
    return vt == VT_UNKNOWN || vt == VT_DISPATCH;
}

IUnknown* Identity(IUnknown* p) {
    IUnknown* id = nullptr;
    if (FAILED(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&id)))) return nullptr;
    return id;
}

// Byte arrays are equal when they hold the same number of bytes with the same values.
bool ByteArraysEqual(SAFEARRAY* a, SAFEARRAY* b) {
    if (a == b) return true;
    if (!a || !b || FAILED(SafeArrayLock(a))) return false;
    bool equal = false;
    if (SUCCEEDED(SafeArrayLock(b))) {
        size_t na = a->cDims ? size_t(a->rgsabound[0].cElements) * a->cbElements : 0;
        size_t nb = b->cDims ? size_t(b->rgsabound[0].cElements) * b->cbElements : 0;
        for (USHORT d = 1; d < a->cDims; ++d)
            na *= a->rgsabound[d].cElements;
        for (USHORT d = 1; d < b->cDims; ++d)
            nb *= b->rgsabound[d].cElements;
        equal = na == nb && (na == 0 || std::memcmp(a->pvData, b->pvData, na) == 0);
        SafeArrayUnlock(b);
    }
    SafeArrayUnlock(a);
    return equal;
}

} // namespace

int VariantKindOf(VARTYPE vt) {
    for (const KindRow& row : kKinds)
        if (row.vt == vt) return row.kind;
    return XVK_EMPTY;
}

VARTYPE VarTypeOfKind(int kind) {
    for (const KindRow& row : kKinds)
        if (row.kind == kind) return row.vt;
    return VT_EMPTY;
}

XVariant::XVariant(const XVariant& other) {
    vt = VT_EMPTY;
    VariantCopy(this, &other);
}

XVariant::XVariant(const VARIANT& other) {
    vt = VT_EMPTY;
    VariantCopy(this, &other);
}

XVariant::XVariant(const WCHAR* text) {
    vt = VT_EMPTY;
    *this = text;
}

XVariant::XVariant(const TWString& text) {
    vt = VT_EMPTY;
    *this = text;
}

XVariant::XVariant(bool b) {
    vt = VT_BOOL;
    boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}

XVariant::XVariant(int n) {
    vt = VT_I4;
    lVal = n;
}

XVariant::XVariant(unsigned n) {
    vt = VT_UI4;
    ulVal = n;
}

XVariant::XVariant(XObject* object) {
    vt = VT_EMPTY;
    SetObject(object);
}

XVariant& XVariant::operator=(const XVariant& other) {
    return *this = static_cast<const VARIANT&>(other);
}

XVariant& XVariant::operator=(const VARIANT& other) {
    if (&other != this) VariantCopy(this, &other);
    return *this;
}

XVariant& XVariant::operator=(const WCHAR* text) {
    VariantClear(this);
    bstrVal = SysAllocString(text);
    vt = VT_BSTR;
    return *this;
}

XVariant& XVariant::operator=(const TWString& text) {
    VariantClear(this);
    bstrVal = SysAllocStringLen(text.GetString(), static_cast<UINT>(text.GetLength()));
    vt = VT_BSTR;
    return *this;
}

XVariant& XVariant::operator=(bool b) {
    VariantClear(this);
    vt = VT_BOOL;
    boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return *this;
}

XVariant& XVariant::operator=(int n) {
    VariantClear(this);
    vt = VT_I4;
    lVal = n;
    return *this;
}

XVariant& XVariant::operator=(unsigned n) {
    VariantClear(this);
    vt = VT_UI4;
    ulVal = n;
    return *this;
}

XVariant& XVariant::operator=(XObject* object) {
    SetObject(object);
    return *this;
}

void XVariant::SetDouble(double d) {
    VariantClear(this);
    vt = VT_R8;
    dblVal = d;
}

void XVariant::SetInt8(signed char n) {
    VariantClear(this);
    vt = VT_I1;
    cVal = static_cast<CHAR>(n);
}

void XVariant::SetUInt16(uint16_t n) {
    VariantClear(this);
    vt = VT_UI2;
    uiVal = n;
}

void XVariant::SetObject(XObject* object) {
    IUnknown* unk = nullptr;
    // Taken before the old value goes, in case the old value holds the last reference to it.
    if (object && object->QueryUnknown(&unk) != XR_SUCCESS) unk = nullptr;
    VariantClear(this);
    vt = VT_UNKNOWN;
    punkVal = unk;
}

int32_t XVariant::ChangeType(int kind, VARIANT* out) const {
    if (IsByteArrayKind(kind) || IsByteArrayKind(GetKind())) return ResultFromHResult(E_FAIL);
    return ResultFromHResult(VariantChangeTypeEx(out, this, LOCALE_INVARIANT, 0, VarTypeOfKind(kind)));
}

// Each reader answers a value already of its type directly: the conversion would only copy it.
int32_t XVariant::GetBool(bool* out) const {
    if (vt == VT_BOOL) {
        *out = boolVal != 0;
        return XR_SUCCESS;
    }
    XVariant tmp;
    int32_t rc = ChangeType(XVK_BOOL, &tmp);
    *out = rc == XR_SUCCESS && tmp.boolVal != 0;
    return rc;
}

bool XVariant::ToBool() const {
    bool b = false;
    GetBool(&b);
    return b;
}

int32_t XVariant::GetInt32(int32_t* out) const {
    if (vt == VT_I4) {
        *out = lVal;
        return XR_SUCCESS;
    }
    XVariant tmp;
    int32_t rc = ChangeType(XVK_INT32, &tmp);
    *out = rc == XR_SUCCESS ? tmp.lVal : 0;
    return rc;
}

int32_t XVariant::ToInt32() const {
    int32_t n = 0;
    GetInt32(&n);
    return n;
}

int32_t XVariant::GetUInt32(uint32_t* out) const {
    if (vt == VT_UI4) {
        *out = ulVal;
        return XR_SUCCESS;
    }
    XVariant tmp;
    int32_t rc = ChangeType(XVK_UINT32, &tmp);
    *out = rc == XR_SUCCESS ? tmp.ulVal : 0;
    return rc;
}

uint32_t XVariant::ToUInt32() const {
    uint32_t n = 0;
    GetUInt32(&n);
    return n;
}

int32_t XVariant::GetDouble(double* out) const {
    if (vt == VT_R8) {
        *out = dblVal;
        return XR_SUCCESS;
    }
    XVariant tmp;
    int32_t rc = ChangeType(XVK_DOUBLE, &tmp);
    *out = rc == XR_SUCCESS ? tmp.dblVal : 0.0;
    return rc;
}

double XVariant::ToDouble() const {
    double d = 0;
    GetDouble(&d);
    return d;
}

int32_t XVariant::GetString(TWString* out) const {
    if (GetKind() == XVK_BOOL) {
        *out = boolVal ? u"1" : u"0";
        return XR_SUCCESS;
    }
    // A double converts like any other number: left unconverted, a script's 12.5 became empty text.
    const VARIANT* text = this;
    XVariant tmp;
    if (vt != VT_BSTR) {
        int32_t rc = ChangeType(XVK_STRING, &tmp);
        if (rc != XR_SUCCESS) {
            out->Assign(u"", 0);
            return rc;
        }
        text = &tmp;
    }
    return out->Assign(text->bstrVal ? text->bstrVal : u"", static_cast<int>(SysStringLen(text->bstrVal)))
               ? XR_SUCCESS
               : XR_OUT_OF_MEMORY;
}

TWString XVariant::ToString() const {
    TWString s;
    GetString(&s);
    return s;
}

const WCHAR* XVariant::GetStringPtr() const {
    return vt == VT_BSTR && bstrVal ? bstrVal : u"";
}

int32_t XVariant::GetXObject(XObject** out) const {
    if (GetKind() != XVK_OBJECT) return XR_NOT_OBJECT;
    if (!punkVal) {
        *out = nullptr;
        return XR_SUCCESS;
    }
    return XObjectFromUnknown(punkVal, out);
}

XObject* XVariant::ToXObject() const {
    XObject* object = nullptr;
    if (GetXObject(&object) != XR_SUCCESS) return nullptr;
    return object;
}

int32_t XVariant::GetDate(double* out) const {
    SYSTEMTIME st{};
    if (vt != VT_DATE || !VariantTimeToSystemTime(date, &st)) return XR_FAIL;
    MakeTime(out, st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return XR_SUCCESS;
}

double XVariant::ToDate() const {
    double t = 0;
    if (GetDate(&t) != XR_SUCCESS) return 0;
    return t;
}

bool XVariant::Equals(const VARIANT& a, const VARIANT& b) {
    if (IsObjectType(a.vt) && IsObjectType(b.vt)) {
        if (!a.punkVal || !b.punkVal) return !a.punkVal && !b.punkVal;
        IUnknown* x = Identity(a.punkVal);
        IUnknown* y = Identity(b.punkVal);
        bool same = x && x == y;
        if (x) x->Release();
        if (y) y->Release();
        return same;
    }
    if (a.vt != b.vt) return false;
    switch (a.vt) {
    case VT_ARRAY | VT_VARIANT:
        return a.parray == b.parray;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
        return a.uiVal == b.uiVal;
    case VT_I4:
    case VT_UI4:
        return a.ulVal == b.ulVal;
    case VT_R4:
        return a.fltVal == b.fltVal;
    case VT_R8:
        return a.dblVal == b.dblVal;
    case VT_BSTR:
        return wcscmp(a.bstrVal ? a.bstrVal : u"", b.bstrVal ? b.bstrVal : u"") == 0;
    case VT_I1:
    case VT_UI1:
        return a.bVal == b.bVal;
    case VT_ARRAY | VT_I1:
    case VT_ARRAY | VT_UI1:
        return ByteArraysEqual(a.parray, b.parray);
    default:
        return false;
    }
}

HRESULT SafeArrayReadWords(SAFEARRAY* array, uint32_t* words, int kind) {
    if (!array || !words) return E_FAIL;
    if (FAILED(SafeArrayLock(array))) return E_FAIL;
    HRESULT hr = E_FAIL;
    size_t bytes = array->cDims ? array->cbElements : 0;
    for (USHORT d = 0; d < array->cDims; ++d)
        bytes *= array->rgsabound[d].cElements;
    if (IsByteArrayKind(kind) && bytes >= 12) {
        std::memcpy(words, static_cast<const BYTE*>(array->pvData) + 4, 2 * sizeof(uint32_t));
        hr = S_OK;
    }
    SafeArrayUnlock(array);
    return hr;
}

XArgList::XArgList() : slots(static_cast<XVariant*>(&inlineSlots[0])) {
    for (VARIANT& slot : inlineSlots)
        slot.vt = VT_EMPTY;
}

XArgList::~XArgList() {
    Clear();
}

XVariant* XArgList::GetArg(int i) {
    if (slots && i >= 0 && i < count) return &slots[capacity - 1 - i];
    return &defaultValue;
}

void XArgList::PushArg(const VARIANT& v) {
    if (count >= capacity) return;
    XVariant& slot = slots[capacity - count - 1];
    slot.vt = VT_EMPTY;
    VariantCopy(&slot, &v);
    ++count;
}

void XArgList::Reset(int n) {
    // A lent array belongs to its owner: the list goes back to its own slots before refilling.
    Detach();
    Clear();
    if (n < 0) n = 0;
    if (n > capacity) n = capacity;
    count = n;
    for (int i = capacity - n; i < capacity; ++i)
        slots[i].vt = VT_EMPTY;
}

void XArgList::Clear() {
    if (!attached) {
        for (int i = capacity - count; i < capacity; ++i)
            VariantClear(&slots[i]);
    }
    count = 0;
}

void XArgList::Attach(VARIANT* array, int n) {
    if (attached) return;
    Clear();
    attached = true;
    slots = static_cast<XVariant*>(array);
    capacity = count = n < 0 ? 0 : n;
}

void XArgList::Detach() {
    if (!attached) return;
    slots = static_cast<XVariant*>(&inlineSlots[0]);
    count = 0;
    capacity = kInlineSlots;
    attached = false;
}

VARIANT* XArgList::FirstArgSlot() {
    return slots ? &slots[capacity - count] : nullptr;
}

void XArgList::SetDefaultString(const WCHAR* text) {
    defaultValue = text;
}

void XArgList::SetDefaultBool(bool b) {
    defaultValue = b;
}

void XArgList::SetDefaultInt32(int n) {
    defaultValue = n;
}

void XArgList::SetDefault(const VARIANT& v) {
    defaultValue = v;
}

} // namespace NUBO
