#pragma once
// The wide C runtime over 16-bit text units: what the device's C library offers for wchar_t,
// which on this platform is 16 bits wide. Never use the host C library's wcs* on our text.
#include <cstdarg>
// The host C library's wide functions are pulled into std:: by these headers' using-declarations;
// including them before our overloads keeps those using-declarations unambiguous.
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/types.h"

size_t wcslen(const WCHAR* s);
size_t wcsnlen(const WCHAR* s, size_t max);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsstr(const WCHAR* s, const WCHAR* pattern);
WCHAR* _wcsdup(const WCHAR* s); // malloc'd; null on failure
WCHAR* _wcslwr(WCHAR* s);
WCHAR* _wcsupr(WCHAR* s);

WCHAR towlower(WCHAR c); // simple case mapping over the whole BMP
WCHAR towupper(WCHAR c);
int iswspace(WCHAR c);
int iswalnum(WCHAR c);
int iswalpha(WCHAR c);
int iswdigit(WCHAR c);

long wcstol(const WCHAR* s, WCHAR** end, int radix); // saturates on overflow
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int radix);
double wcstod(const WCHAR* s, WCHAR** end);
int _wtoi(const WCHAR* s);

// The platform's printf: %s and %c take wide arguments, %S and %C narrow ones; %I64 and ll are
// 64-bit, l is 32-bit. Returns the units written, or -1 when the text and its terminator did not
// fit (the output then holds as much as fitted, not terminated).
int _vsnwprintf(WCHAR* out, size_t count, const WCHAR* format, va_list args);
int _snwprintf(WCHAR* out, size_t count, const WCHAR* format, ...);
int swprintf(WCHAR* out, size_t count, const WCHAR* format, ...); // -1 on truncation, always terminated

// Code pages. CP_ACP ("x-system") is UTF-8 on this platform.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, WCHAR* dst, int dstCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcCount, char* dst, int dstLen,
                        const char* defaultChar, BOOL* usedDefault);
