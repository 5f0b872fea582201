#pragma once
// The automation VARIANT: a type tag and one value, 16 bytes, with the platform's copy, clear and
// conversion rules. Conversions read numbers in the invariant format whatever the locale.
#include "platform/com/bstr.h"
#include "platform/com/hresult.h"
#include "platform/types.h"

struct IUnknown;
struct IDispatch;
struct SAFEARRAY;

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;
using SCODE = LONG;
using LCID = DWORD;
using FLOAT = float;
using DOUBLE = double;

struct CY {
    int64_t int64;
};

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Flags of VariantChangeType(Ex).
constexpr USHORT VARIANT_NOVALUEPROP = 0x01; // do not read an object's value property
constexpr USHORT VARIANT_ALPHABOOL = 0x02;

constexpr LCID LOCALE_INVARIANT = 127;
constexpr LCID LOCALE_USER_DEFAULT = 1024;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 2048;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        ULONGLONG ullVal;
        LONG lVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        SHORT iVal;
        USHORT uiVal;
        CHAR cVal;
        BYTE bVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        // VT_BYREF forms point at a value held elsewhere.
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        VARIANT* pvarVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;
static_assert(sizeof(VARIANT) == 16, "VARIANT must stay 16 bytes: arrays of it are lent as call arguments");

void VariantInit(VARIANT* v);
// Frees what the value owns (string, interface reference, array) and leaves VT_EMPTY.
HRESULT VariantClear(VARIANT* v);
// Deep copy: a new string, a new array, a new reference; a VT_BYREF pointer is copied as it is.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);
// dest may be src. On failure dest is left as it was.
HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt);
