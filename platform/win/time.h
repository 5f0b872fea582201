#pragma once
// The device's calendar time: SYSTEMTIME records and FILETIME counts of 100 ns since
// 1601-01-01 UTC. Local time follows the time zone of the environment (TZ).
#include "platform/types.h"

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;     // 1-12
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

// 100 ns units from 1601-01-01 to 1970-01-01.
constexpr ULONGLONG FILETIME_UNIX_EPOCH = 116444736000000000ULL;

void GetSystemTime(SYSTEMTIME* time);
void GetLocalTime(SYSTEMTIME* time);
void GetSystemTimeAsFileTime(FILETIME* time);

// Years 1601-30827 with valid fields; the day of week is ignored.
BOOL SystemTimeToFileTime(const SYSTEMTIME* system, FILETIME* file);
// Fills the day of week too; fails for counts of 2^63 and above.
BOOL FileTimeToSystemTime(const FILETIME* file, SYSTEMTIME* system);

// Both apply the zone's current offset from UTC, whatever the date converted.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
