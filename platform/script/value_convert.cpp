#include "platform/script/value_convert.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/com/dispatch.h"
#include "platform/com/ole_time.h"
#include "platform/script/host_object_proxy.h"
#include "platform/script/script_dispatch.h"
#include "platform/script/script_heap.h"

namespace script {
namespace {

// Script strings are CESU-8: every 16-bit unit, surrogates included, is its own 1-3 byte sequence.
size_t EncodeCesu8(const OLECHAR* text, size_t length, char* out) {
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned u = text[i];
        if (u < 0x80) {
            out[n++] = static_cast<char>(u);
        } else if (u < 0x800) {
            out[n++] = static_cast<char>(0xC0 | (u >> 6));
            out[n++] = static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out[n++] = static_cast<char>(0xE0 | (u >> 12));
            out[n++] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out[n++] = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return n;
}

// Decodes CESU-8 and, for strings made elsewhere, 4-byte UTF-8 into units; writes when out is
// given. Malformed bytes become U+FFFD.
size_t DecodeCesu8(const unsigned char* s, size_t length, OLECHAR* out) {
    size_t n = 0;
    size_t i = 0;
    while (i < length) {
        unsigned c = s[i];
        unsigned cp = 0xFFFD;
        size_t extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        }
        i++;
        bool ok = c < 0x80 || extra > 0;
        for (size_t k = 0; k < extra; k++) {
            if (i >= length || (s[i] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i] & 0x3F);
            i++;
        }
        if (!ok) cp = 0xFFFD;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            if (out) {
                out[n] = static_cast<OLECHAR>(0xD800 + ((cp - 0x10000) >> 10));
                out[n + 1] = static_cast<OLECHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            }
            n += 2;
        } else {
            if (out) out[n] = static_cast<OLECHAR>(cp > 0x10FFFF ? 0xFFFD : cp);
            n++;
        }
    }
    return n;
}

duk_ret_t FinalizeOpaque(duk_context* ctx) {
    duk_get_prop_literal(ctx, 0, kOpaqueKey);
    auto* value = static_cast<VARIANT*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (value) {
        duk_del_prop_literal(ctx, 0, kOpaqueKey);
        VariantClear(value);
        std::free(value);
    }
    return 0;
}

// A value scripts cannot look into: held, passed around and handed back unchanged.
void PushOpaque(duk_context* ctx, const VARIANT* value) {
    duk_push_object(ctx);
    auto* copy = static_cast<VARIANT*>(std::malloc(sizeof(VARIANT)));
    if (!copy) return; // an empty object stands in
    VariantInit(copy);
    if (FAILED(VariantCopy(copy, value))) {
        std::free(copy);
        return;
    }
    duk_push_pointer(ctx, copy);
    duk_put_prop_literal(ctx, -2, kOpaqueKey);
    duk_push_c_function(ctx, FinalizeOpaque, 1);
    duk_set_finalizer(ctx, -2);
}

void PushDate(duk_context* ctx, DATE date) {
    SYSTEMTIME t{};
    if (!VariantTimeToSystemTime(date, &t)) {
        duk_push_nan(ctx);
        return;
    }
    duk_get_global_string(ctx, "Date");
    duk_push_int(ctx, t.wYear);
    duk_push_int(ctx, t.wMonth - 1);
    duk_push_int(ctx, t.wDay);
    duk_push_int(ctx, t.wHour);
    duk_push_int(ctx, t.wMinute);
    duk_push_int(ctx, t.wSecond);
    duk_push_int(ctx, t.wMilliseconds);
    duk_new(ctx, 7);
}

void PushObject(duk_context* ctx, IUnknown* unknown) {
    if (!unknown) {
        duk_push_null(ctx);
        return;
    }
    if (ScriptDispatch* own = ScriptDispatch::FromUnknown(unknown, ScriptHeap::From(ctx))) {
        own->PushObject(ctx);
        return;
    }
    IDispatch* dispatch = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_UNKNOWN;
        v.punkVal = unknown;
        PushOpaque(ctx, &v);
        return;
    }
    PushHostObject(ctx, dispatch);
    dispatch->Release();
}

} // namespace

void PushWide(duk_context* ctx, const OLECHAR* text, size_t length) {
    char small[256];
    if (length * 3 <= sizeof(small)) {
        duk_push_lstring(ctx, small, EncodeCesu8(text, length, small));
        return;
    }
    auto* buf = static_cast<char*>(duk_push_fixed_buffer(ctx, length * 3));
    size_t n = EncodeCesu8(text, length, buf);
    duk_push_lstring(ctx, buf, n);
    duk_remove(ctx, -2);
}

int ReadWide(duk_context* ctx, duk_idx_t idx, OLECHAR* buf, int capacity) {
    duk_size_t length = 0;
    const char* s = duk_get_lstring(ctx, idx, &length);
    if (!s || length > static_cast<duk_size_t>(capacity)) return -1; // each unit takes a byte or more
    return static_cast<int>(DecodeCesu8(reinterpret_cast<const unsigned char*>(s), length, buf));
}

BSTR ToBstr(duk_context* ctx, duk_idx_t idx) {
    duk_size_t length = 0;
    const char* s = duk_get_lstring(ctx, idx, &length);
    if (!s) return nullptr;
    auto* bytes = reinterpret_cast<const unsigned char*>(s);
    size_t units = DecodeCesu8(bytes, length, nullptr);
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (text) DecodeCesu8(bytes, length, text);
    return text;
}

void PushVariant(duk_context* ctx, const VARIANT* value) {
    if (!value) {
        duk_push_undefined(ctx);
        return;
    }
    switch (value->vt) {
    case VT_EMPTY:
        duk_push_undefined(ctx);
        return;
    case VT_NULL:
        duk_push_null(ctx);
        return;
    case VT_I1:
        duk_push_int(ctx, value->cVal);
        return;
    case VT_UI1:
        duk_push_uint(ctx, value->bVal);
        return;
    case VT_I2:
        duk_push_int(ctx, value->iVal);
        return;
    case VT_UI2:
        duk_push_uint(ctx, value->uiVal);
        return;
    case VT_I4:
        duk_push_int(ctx, value->lVal);
        return;
    case VT_INT:
        duk_push_int(ctx, value->intVal);
        return;
    case VT_UI4:
        duk_push_uint(ctx, value->ulVal);
        return;
    case VT_UINT:
        duk_push_uint(ctx, value->uintVal);
        return;
    case VT_R4:
        duk_push_number(ctx, value->fltVal);
        return;
    case VT_R8:
        duk_push_number(ctx, value->dblVal);
        return;
    case VT_BOOL:
        duk_push_boolean(ctx, value->boolVal != VARIANT_FALSE);
        return;
    case VT_BSTR:
        PushWide(ctx, value->bstrVal, SysStringLen(value->bstrVal));
        return;
    case VT_DATE:
        PushDate(ctx, value->date);
        return;
    case VT_DISPATCH:
        PushObject(ctx, value->pdispVal);
        return;
    case VT_UNKNOWN:
        PushObject(ctx, value->punkVal);
        return;
    case VT_BYREF | VT_VARIANT:
        PushVariant(ctx, value->pvarVal);
        return;
    default:
        PushOpaque(ctx, value);
        return;
    }
}

HRESULT ToVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out) {
    VariantInit(out);
    switch (duk_get_type(ctx, idx)) {
    case DUK_TYPE_NONE:
    case DUK_TYPE_UNDEFINED:
        return S_OK;
    case DUK_TYPE_NULL:
        out->vt = VT_NULL;
        return S_OK;
    case DUK_TYPE_BOOLEAN:
        out->vt = VT_BOOL;
        out->boolVal = duk_get_boolean(ctx, idx) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case DUK_TYPE_NUMBER: {
        double d = duk_get_number(ctx, idx);
        if (d >= INT32_MIN && d <= INT32_MAX && static_cast<double>(static_cast<int32_t>(d)) == d &&
            !(d == 0 && std::signbit(d))) {
            out->vt = VT_I4;
            out->lVal = static_cast<int32_t>(d);
        } else {
            out->vt = VT_R8;
            out->dblVal = d;
        }
        return S_OK;
    }
    case DUK_TYPE_STRING: {
        BSTR text = ToBstr(ctx, idx);
        if (!text) return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
        out->bstrVal = text;
        return S_OK;
    }
    case DUK_TYPE_OBJECT:
        break;
    default:
        return DISP_E_BADVARTYPE; // buffers and raw pointers never reach scripts
    }
    if (HostRecord* host = HostRecordOf(ctx, idx)) {
        out->vt = VT_DISPATCH;
        out->pdispVal = host->dispatch;
        host->dispatch->AddRef();
        return S_OK;
    }
    duk_get_prop_literal(ctx, idx, kOpaqueKey);
    auto* opaque = static_cast<VARIANT*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (opaque) return VariantCopy(out, opaque);
    IDispatchEx* wrapper = nullptr;
    HRESULT hr = ScriptDispatch::Wrap(ctx, idx, &wrapper);
    if (FAILED(hr)) return hr;
    out->vt = VT_DISPATCH;
    out->pdispVal = wrapper;
    return S_OK;
}

} // namespace script
