#pragma once
// Automation arrays: a header with one bound per dimension over a block of elements. Elements of
// string, variant and interface types are owned: copied deeply and freed with the array.
#include "platform/com/variant.h"

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    VARTYPE vt; // element type
    // cDims bounds, the first dimension first; allocated with the header.
    SAFEARRAYBOUND rgsabound[1];
};

// Null for an element type that cannot be held, no dimensions, or no memory.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count);
// DISP_E_ARRAYISLOCKED while locked.
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array); // E_UNEXPECTED when not locked
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
// Indices: one per dimension, the first dimension first. Elements are copied in and out.
HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* value);
HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound); // dim counts from 1
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
UINT SafeArrayGetDim(SAFEARRAY* array);
UINT SafeArrayGetElemsize(SAFEARRAY* array);
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy);
