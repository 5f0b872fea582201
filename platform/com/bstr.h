#pragma once
// Automation strings. A BSTR points at its first text unit; the 32-bit byte length of the text is
// stored just before it and a zero unit just after it, so the text may hold zeros of its own and
// still be read as a C string. A null BSTR is the empty string.
#include "platform/types.h"

using BSTR = OLECHAR*;

BSTR SysAllocString(const OLECHAR* text);                // null for null text or failure
BSTR SysAllocStringLen(const OLECHAR* text, UINT count); // null text: zeroed units
BSTR SysAllocStringByteLen(const char* bytes, UINT byteCount);
// Single-byte text (ASCII or Latin-1) widened unit for unit, written once; null on failure.
BSTR AllocBstrWidened(const char* bytes, UINT count);
INT SysReAllocString(BSTR* target, const OLECHAR* text); // FALSE on failure, *target untouched
INT SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT count);
void SysFreeString(BSTR text); // null allowed
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
