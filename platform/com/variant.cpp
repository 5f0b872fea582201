#include "platform/com/variant.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/ole_time.h"
#include "platform/com/safearray.h"

// Conversions go through one intermediate value: the source is read into it (dereferencing
// VT_BYREF and asking objects for their value property), then it is written as the target type.
// Numbers to integers round half to even; values outside the target's range fail with
// DISP_E_OVERFLOW, values of the wrong sort with DISP_E_TYPEMISMATCH.

namespace {

bool IsKnownScalar(VARTYPE vt) {
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

struct Value {
    enum Kind { Empty, Null, Bool, Int, UInt, Real, Text, Error } kind = Empty;
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0;
    bool single = false; // a VT_R4 source: written as text with single precision
    bool date = false;   // a VT_DATE source: written as text as a date
    const OLECHAR* text = nullptr;
    UINT length = 0;
};

bool IsBlank(OLECHAR c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x3000 || c == 0xA0;
}

// Parses invariant number text: blanks, sign, digits, '.', exponent, blanks. Whole numbers that
// fit 64 bits stay exact.
HRESULT ParseNumber(const OLECHAR* s, UINT n, Value* out) {
    UINT pos = 0;
    while (pos < n && IsBlank(s[pos]))
        ++pos;
    UINT end = n;
    while (end > pos && IsBlank(s[end - 1]))
        --end;
    std::string ascii;
    bool negative = false;
    if (pos < end && (s[pos] == '+' || s[pos] == '-')) {
        negative = s[pos] == '-';
        ++pos;
    }
    bool digits = false, fraction = false, exponent = false;
    for (; pos < end && s[pos] >= '0' && s[pos] <= '9'; ++pos, digits = true)
        ascii += static_cast<char>(s[pos]);
    if (pos < end && s[pos] == '.') {
        fraction = true;
        ascii += '.';
        for (++pos; pos < end && s[pos] >= '0' && s[pos] <= '9'; ++pos, digits = true)
            ascii += static_cast<char>(s[pos]);
    }
    if (!digits) return DISP_E_TYPEMISMATCH;
    if (pos < end && (s[pos] == 'e' || s[pos] == 'E')) {
        exponent = true;
        ascii += 'e';
        ++pos;
        if (pos < end && (s[pos] == '+' || s[pos] == '-')) ascii += static_cast<char>(s[pos++]);
        bool expDigits = false;
        for (; pos < end && s[pos] >= '0' && s[pos] <= '9'; ++pos, expDigits = true)
            ascii += static_cast<char>(s[pos]);
        if (!expDigits) return DISP_E_TYPEMISMATCH;
    }
    if (pos != end) return DISP_E_TYPEMISMATCH;
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (!fraction && !exponent) {
        uint64_t magnitude = 0;
        auto r = std::from_chars(first, last, magnitude);
        if (r.ec == std::errc() && r.ptr == last) {
            if (!negative) {
                out->kind = Value::UInt;
                out->u = magnitude;
                return S_OK;
            }
            if (magnitude <= (uint64_t(1) << 63)) {
                out->kind = Value::Int;
                out->i = static_cast<int64_t>(0 - magnitude);
                return S_OK;
            }
        }
    }
    double d = 0;
    auto r = std::from_chars(first, last, d);
    if (r.ec == std::errc::result_out_of_range) {
        // Too small to represent is zero; too large overflows. Which one it is shows in the power of
        // ten of the first significant digit: out of range, it is far from zero either way.
        size_t e = ascii.find('e');
        long exp10 = e == std::string::npos ? 0 : std::strtol(ascii.c_str() + e + 1, nullptr, 10);
        exp10 = std::clamp(exp10, -1000000000L, 1000000000L);
        std::string mantissa = ascii.substr(0, e);
        size_t point = mantissa.find('.');
        if (point == std::string::npos) point = mantissa.size();
        size_t lead = mantissa.find_first_not_of("0.");
        if (lead == std::string::npos) {
            d = 0; // all zeros: "0e999" is zero
        } else {
            long long power =
                lead < point ? static_cast<long long>(point - lead) - 1 : -static_cast<long long>(lead - point);
            if (power + exp10 > 0) return DISP_E_OVERFLOW;
            d = 0;
        }
    } else if (r.ec != std::errc() || r.ptr != last) {
        return DISP_E_TYPEMISMATCH;
    }
    out->kind = Value::Real;
    out->d = negative ? -d : d;
    return S_OK;
}

bool EqualsAsciiNoCase(const OLECHAR* s, UINT n, const char* word) {
    size_t len = std::strlen(word);
    if (n != len) return false;
    for (UINT i = 0; i < n; ++i) {
        OLECHAR c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<OLECHAR>(c + 32);
        if (c != static_cast<unsigned char>(word[i])) return false;
    }
    return true;
}

HRESULT ChangeType(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt, int depth);

// Reads a VT_BYREF value into a by-value variant that borrows what it points at.
HRESULT Dereference(const VARIANT* src, VARIANT* out) {
    VARTYPE base = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
    if (!src->byref || !IsKnownScalar(base) || base == VT_VARIANT) return DISP_E_BADVARTYPE;
    VariantInit(out);
    out->vt = base;
    size_t size = 0;
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
        break; // no value to read
    case VT_I1:
    case VT_UI1:
        size = 1;
        break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        size = 2;
        break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        size = 4;
        break;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        size = sizeof(void*);
        break;
    default:
        size = 8;
        break;
    }
    std::memcpy(&out->llVal, src->byref, size);
    return S_OK;
}

// The value of an object: its DISPID_VALUE property.
HRESULT ReadObjectValue(const VARIANT* src, LCID lcid, USHORT flags, VARIANT* value) {
    if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
    IDispatch* disp = nullptr;
    if (src->vt == VT_DISPATCH) {
        disp = src->pdispVal;
        if (disp) disp->AddRef();
    } else if (src->punkVal) {
        src->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
    }
    if (!disp) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantInit(value);
    HRESULT hr = disp->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
    disp->Release();
    if (FAILED(hr)) VariantClear(value);
    return hr;
}

HRESULT ReadScalar(const VARIANT* src, Value* v) {
    switch (src->vt) {
    case VT_EMPTY:
        v->kind = Value::Empty;
        return S_OK;
    case VT_NULL:
        v->kind = Value::Null;
        return S_OK;
    case VT_BOOL:
        v->kind = Value::Bool;
        v->i = src->boolVal ? -1 : 0;
        return S_OK;
    case VT_I1:
        v->kind = Value::Int;
        v->i = static_cast<signed char>(src->cVal);
        return S_OK;
    case VT_UI1:
        v->kind = Value::Int;
        v->i = src->bVal;
        return S_OK;
    case VT_I2:
        v->kind = Value::Int;
        v->i = src->iVal;
        return S_OK;
    case VT_UI2:
        v->kind = Value::Int;
        v->i = src->uiVal;
        return S_OK;
    case VT_I4:
    case VT_INT:
        v->kind = Value::Int;
        v->i = src->lVal;
        return S_OK;
    case VT_UI4:
    case VT_UINT:
        v->kind = Value::Int;
        v->i = src->ulVal;
        return S_OK;
    case VT_I8:
        v->kind = Value::Int;
        v->i = src->llVal;
        return S_OK;
    case VT_UI8:
        v->kind = Value::UInt;
        v->u = src->ullVal;
        return S_OK;
    case VT_R4:
        v->kind = Value::Real;
        v->d = src->fltVal;
        v->single = true;
        return S_OK;
    case VT_R8:
        v->kind = Value::Real;
        v->d = src->dblVal;
        return S_OK;
    case VT_DATE:
        v->kind = Value::Real;
        v->d = src->date;
        v->date = true;
        return S_OK;
    case VT_CY:
        v->kind = Value::Real;
        v->d = static_cast<double>(src->cyVal.int64) / 10000.0;
        return S_OK;
    case VT_BSTR:
        v->kind = Value::Text;
        v->text = src->bstrVal ? src->bstrVal : u"";
        v->length = SysStringLen(src->bstrVal);
        return S_OK;
    case VT_ERROR:
        v->kind = Value::Error;
        v->i = src->scode;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// Whole numbers keep their value; a real is rounded half to even. Fails when not finite.
bool ToWhole(const Value& v, int64_t* i, uint64_t* u, bool* isUnsigned) {
    *isUnsigned = false;
    if (v.kind == Value::UInt) {
        *isUnsigned = true;
        *u = v.u;
        return true;
    }
    if (v.kind != Value::Real) {
        *i = v.i;
        return true;
    }
    if (!std::isfinite(v.d)) return false;
    double r = std::nearbyint(v.d); // the default rounding mode: to nearest, ties to even
    if (r >= 9223372036854775808.0) {
        if (r >= 18446744073709551616.0) return false;
        *isUnsigned = true;
        *u = static_cast<uint64_t>(r);
        return true;
    }
    if (r < -9223372036854775808.0) return false;
    *i = static_cast<int64_t>(r);
    return true;
}

HRESULT WriteInteger(const Value& v, VARTYPE vt, VARIANT* out) {
    int64_t i = 0;
    uint64_t u = 0;
    bool isUnsigned = false;
    if (v.kind == Value::Bool) {
        // True is all bits set in every width.
        i = v.i;
        u = v.i ? ~uint64_t(0) : 0;
        isUnsigned = false;
    } else if (!ToWhole(v, &i, &u, &isUnsigned)) {
        return DISP_E_OVERFLOW;
    }
    if (isUnsigned && u <= static_cast<uint64_t>(INT64_MAX)) {
        i = static_cast<int64_t>(u);
        isUnsigned = false;
    }
    bool boolTrue = v.kind == Value::Bool && v.i;
    auto fitsSigned = [&](int64_t lo, int64_t hi) { return !isUnsigned && i >= lo && i <= hi; };
    auto fitsUnsigned = [&](uint64_t hi) {
        if (isUnsigned) return u <= hi;
        return i >= 0 && static_cast<uint64_t>(i) <= hi;
    };
    switch (vt) {
    case VT_I1:
        if (!fitsSigned(-128, 127)) return DISP_E_OVERFLOW;
        out->cVal = static_cast<CHAR>(i);
        break;
    case VT_UI1:
        if (boolTrue)
            out->bVal = 0xFF;
        else if (!fitsUnsigned(0xFF))
            return DISP_E_OVERFLOW;
        else
            out->bVal = static_cast<BYTE>(isUnsigned ? u : static_cast<uint64_t>(i));
        break;
    case VT_I2:
        if (!fitsSigned(-32768, 32767)) return DISP_E_OVERFLOW;
        out->iVal = static_cast<SHORT>(i);
        break;
    case VT_UI2:
        if (boolTrue)
            out->uiVal = 0xFFFF;
        else if (!fitsUnsigned(0xFFFF))
            return DISP_E_OVERFLOW;
        else
            out->uiVal = static_cast<USHORT>(isUnsigned ? u : static_cast<uint64_t>(i));
        break;
    case VT_I4:
    case VT_INT:
        if (!fitsSigned(INT32_MIN, INT32_MAX)) return DISP_E_OVERFLOW;
        out->lVal = static_cast<LONG>(i);
        break;
    case VT_UI4:
    case VT_UINT:
        if (boolTrue)
            out->ulVal = 0xFFFFFFFF;
        else if (!fitsUnsigned(0xFFFFFFFF))
            return DISP_E_OVERFLOW;
        else
            out->ulVal = static_cast<ULONG>(isUnsigned ? u : static_cast<uint64_t>(i));
        break;
    case VT_I8:
        if (isUnsigned) return DISP_E_OVERFLOW;
        out->llVal = i;
        break;
    case VT_UI8:
        if (boolTrue)
            out->ullVal = ~uint64_t(0);
        else if (!fitsUnsigned(~uint64_t(0)))
            return DISP_E_OVERFLOW;
        else
            out->ullVal = isUnsigned ? u : static_cast<uint64_t>(i);
        break;
    default:
        return DISP_E_TYPEMISMATCH;
    }
    out->vt = vt;
    return S_OK;
}

double AsDouble(const Value& v) {
    switch (v.kind) {
    case Value::Real:
        return v.d;
    case Value::UInt:
        return static_cast<double>(v.u);
    default:
        return static_cast<double>(v.i);
    }
}

BSTR AllocAscii(const char* text) {
    OLECHAR buffer[64];
    size_t n = 0;
    for (; text[n] && n < 63; ++n)
        buffer[n] = static_cast<unsigned char>(text[n]);
    return SysAllocStringLen(buffer, static_cast<UINT>(n));
}

// Invariant date text: "MM/DD/YYYY", "HH:MM:SS" or both; a whole day has no time, day zero no date.
HRESULT FormatDate(double date, BSTR* out) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(date, &st)) return DISP_E_OVERFLOW;
    char text[40];
    bool hasTime = st.wHour || st.wMinute || st.wSecond;
    bool hasDate = std::trunc(date) != 0 || !hasTime;
    int n = 0;
    if (hasDate) n = std::snprintf(text, sizeof text, "%02u/%02u/%04u", st.wMonth, st.wDay, st.wYear);
    if (hasTime)
        std::snprintf(text + n, sizeof text - n, "%s%02u:%02u:%02u", hasDate ? " " : "", st.wHour, st.wMinute,
                      st.wSecond);
    *out = AllocAscii(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT WriteText(const Value& v, VARIANT* out) {
    char text[64];
    switch (v.kind) {
    case Value::Empty:
        out->bstrVal = SysAllocString(u"");
        break;
    case Value::Bool:
        out->bstrVal = AllocAscii(v.i ? "True" : "False");
        break;
    case Value::Int:
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v.i));
        out->bstrVal = AllocAscii(text);
        break;
    case Value::UInt:
        std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(v.u));
        out->bstrVal = AllocAscii(text);
        break;
    case Value::Real:
        if (v.date) {
            BSTR s = nullptr;
            HRESULT hr = FormatDate(v.d, &s);
            if (FAILED(hr)) return hr;
            out->bstrVal = s;
            break;
        }
        std::snprintf(text, sizeof text, v.single ? "%.7G" : "%.15G", v.d);
        out->bstrVal = AllocAscii(text);
        break;
    case Value::Text:
        out->bstrVal = SysAllocStringLen(v.text, v.length);
        break;
    default:
        return DISP_E_TYPEMISMATCH;
    }
    if (!out->bstrVal) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    return S_OK;
}

// Writes an intermediate value as the target type; text is parsed first where a number is wanted.
HRESULT WriteValue(Value v, VARTYPE vt, VARIANT* out) {
    if (v.kind == Value::Null) return vt == VT_NULL ? (out->vt = VT_NULL, S_OK) : DISP_E_TYPEMISMATCH;
    if (v.kind == Value::Error) {
        if (vt != VT_ERROR) return DISP_E_TYPEMISMATCH;
        out->vt = VT_ERROR;
        out->scode = static_cast<SCODE>(v.i);
        return S_OK;
    }
    if (vt == VT_BSTR) return WriteText(v, out);
    if (vt == VT_EMPTY) return v.kind == Value::Empty ? (out->vt = VT_EMPTY, S_OK) : DISP_E_TYPEMISMATCH;
    if (v.kind == Value::Empty) {
        v.kind = Value::Int;
        v.i = 0;
    }
    if (v.kind == Value::Text) {
        if (vt == VT_BOOL) {
            UINT pos = 0, end = v.length;
            while (pos < end && IsBlank(v.text[pos]))
                ++pos;
            while (end > pos && IsBlank(v.text[end - 1]))
                --end;
            if (EqualsAsciiNoCase(v.text + pos, end - pos, "true")) {
                out->vt = VT_BOOL;
                out->boolVal = VARIANT_TRUE;
                return S_OK;
            }
            if (EqualsAsciiNoCase(v.text + pos, end - pos, "false")) {
                out->vt = VT_BOOL;
                out->boolVal = VARIANT_FALSE;
                return S_OK;
            }
        }
        if (vt == VT_DATE) return DISP_E_TYPEMISMATCH;
        Value parsed;
        HRESULT hr = ParseNumber(v.text, v.length, &parsed);
        if (FAILED(hr)) return hr;
        v = parsed;
    }
    switch (vt) {
    case VT_BOOL: {
        bool nonZero = v.kind == Value::Real ? v.d != 0 : (v.kind == Value::UInt ? v.u != 0 : v.i != 0);
        out->vt = VT_BOOL;
        out->boolVal = nonZero ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    case VT_R8:
        out->vt = VT_R8;
        out->dblVal = AsDouble(v);
        return S_OK;
    case VT_R4: {
        double d = AsDouble(v);
        if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
        out->vt = VT_R4;
        out->fltVal = static_cast<float>(d);
        return S_OK;
    }
    case VT_DATE: {
        // Years 100 to 9999.
        double d = AsDouble(v);
        if (!(d >= -657434.0 && d < 2958466.0)) return DISP_E_OVERFLOW;
        out->vt = VT_DATE;
        out->date = d;
        return S_OK;
    }
    case VT_CY: {
        double d = std::nearbyint(AsDouble(v) * 10000.0);
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return DISP_E_OVERFLOW;
        out->vt = VT_CY;
        out->cyVal.int64 = static_cast<int64_t>(d);
        return S_OK;
    }
    default:
        return WriteInteger(v, vt, out);
    }
}

HRESULT ChangeObjectType(VARIANT* dest, const VARIANT* src, VARTYPE vt) {
    IUnknown* unk = src->vt == VT_EMPTY ? nullptr : src->punkVal;
    if (vt == VT_UNKNOWN) {
        if (unk) unk->AddRef();
        dest->vt = VT_UNKNOWN;
        dest->punkVal = unk;
        return S_OK;
    }
    IDispatch* disp = nullptr;
    if (src->vt == VT_DISPATCH) {
        disp = src->pdispVal;
        if (disp) disp->AddRef();
    } else if (unk && FAILED(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)))) {
        return DISP_E_TYPEMISMATCH;
    }
    dest->vt = VT_DISPATCH;
    dest->pdispVal = disp;
    return S_OK;
}

HRESULT ChangeType(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt, int depth) {
    if (!dest || !src) return E_INVALIDARG;
    if (vt & VT_BYREF) return DISP_E_BADVARTYPE;
    if (!(vt & VT_ARRAY) && !IsKnownScalar(vt)) return DISP_E_BADVARTYPE;
    if (src->vt == vt || vt == VT_VARIANT) return VariantCopy(dest, src);

    if (src->vt & VT_BYREF) {
        VARTYPE base = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
        if (base == VT_VARIANT) {
            // One level only: a by-reference variant inside another could point back at itself.
            if (!src->pvarVal || (src->pvarVal->vt & VT_BYREF)) return E_INVALIDARG;
            return ChangeType(dest, src->pvarVal, lcid, flags, vt, depth);
        }
        if (base & VT_ARRAY) return DISP_E_TYPEMISMATCH;
        VARIANT borrowed;
        HRESULT hr = Dereference(src, &borrowed);
        if (FAILED(hr)) return hr;
        return ChangeType(dest, &borrowed, lcid, flags, vt, depth);
    }
    if ((src->vt & VT_ARRAY) || (vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;

    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        if (src->vt != VT_DISPATCH && src->vt != VT_UNKNOWN && src->vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
        return ChangeObjectType(dest, src, vt);
    }
    if (src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) {
        // An object whose value is again an object is not followed further.
        if (depth > 0) return DISP_E_TYPEMISMATCH;
        VARIANT value;
        HRESULT hr = ReadObjectValue(src, lcid, flags, &value);
        if (FAILED(hr)) return hr;
        hr = ChangeType(dest, &value, lcid, flags, vt, depth + 1);
        VariantClear(&value);
        return hr;
    }
    if (!IsKnownScalar(src->vt)) return DISP_E_BADVARTYPE;
    Value v;
    HRESULT hr = ReadScalar(src, &v);
    if (FAILED(hr)) return hr;
    return WriteValue(v, vt, dest);
}

} // namespace

void VariantInit(VARIANT* v) {
    if (!v) return;
    v->vt = VT_EMPTY;
    v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
    v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(v->parray);
            if (FAILED(hr)) return hr;
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if (v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) {
            // Cleared before the release, so a release that re-enters sees an empty value.
            IUnknown* p = v->punkVal;
            v->vt = VT_EMPTY;
            v->punkVal = nullptr;
            if (p) p->Release();
        }
    }
    v->vt = VT_EMPTY;
    v->llVal = 0;
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    VARIANT copy = *src;
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        } else if (src->vt == VT_BSTR) {
            if (src->bstrVal) {
                copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
                if (!copy.bstrVal) return E_OUTOFMEMORY;
            }
        } else if (src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) {
            if (src->punkVal) src->punkVal->AddRef();
        }
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
    return VariantChangeTypeEx(dest, src, LOCALE_SYSTEM_DEFAULT, flags, vt);
}

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = ChangeType(&result, src, lcid, flags, vt, 0);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    // The source may be the destination: it is only released once the result stands.
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}
