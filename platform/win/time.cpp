#include "platform/win/time.h"

#include <ctime>

#include "platform/win/calendar.h"
#include "platform/win/last_error.h"

namespace {

using namespace platform::calendar;

constexpr ULONGLONG kTicksPerSecond = 10000000ULL;
constexpr ULONGLONG kTicksPerDay = 86400ULL * kTicksPerSecond;
constexpr ULONGLONG kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;

ULONGLONG FromFileTime(const FILETIME& ft) {
    return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFileTime(ULONGLONG ticks) {
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

// Days from 1601-01-01 (a Monday) to 1970-01-01.
constexpr int64_t kDays1601To1970 = 134774;

ULONGLONG NowTicks() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ULONGLONG(int64_t(ts.tv_sec)) * kTicksPerSecond + ULONGLONG(ts.tv_nsec / 100) + FILETIME_UNIX_EPOCH;
}

// The zone's offset from UTC now, in 100 ns units (positive east of Greenwich).
int64_t CurrentOffsetTicks() {
    tzset(); // TZ may have changed since the last call
    time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local)) return 0;
    return int64_t(local.tm_gmtoff) * int64_t(kTicksPerSecond);
}

bool ShiftFileTime(const FILETIME* in, FILETIME* out, int64_t offset) {
    if (!in || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ULONGLONG ticks = FromFileTime(*in);
    if ((offset < 0 && ticks < ULONGLONG(-offset)) || (offset > 0 && kMaxFileTime - ticks < ULONGLONG(offset))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    *out = ToFileTime(ticks + ULONGLONG(offset));
    return true;
}

} // namespace

void GetSystemTimeAsFileTime(FILETIME* time) {
    if (time) *time = ToFileTime(NowTicks());
}

void GetSystemTime(SYSTEMTIME* time) {
    FILETIME ft = ToFileTime(NowTicks());
    FileTimeToSystemTime(&ft, time);
}

void GetLocalTime(SYSTEMTIME* time) {
    FILETIME ft = ToFileTime(NowTicks() + ULONGLONG(CurrentOffsetTicks()));
    FileTimeToSystemTime(&ft, time);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
    if (!st || !ft || st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
        st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 ||
        st->wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kDays1601To1970;
    ULONGLONG seconds = ULONGLONG(days) * 86400ULL + st->wHour * 3600ULL + st->wMinute * 60ULL + st->wSecond;
    *ft = ToFileTime(seconds * kTicksPerSecond + st->wMilliseconds * 10000ULL);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
    if (!ft || !st || FromFileTime(*ft) > kMaxFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONGLONG ticks = FromFileTime(*ft);
    int64_t days = int64_t(ticks / kTicksPerDay);
    ULONGLONG inDay = ticks % kTicksPerDay;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days - kDays1601To1970, &year, &month, &day);
    st->wYear = WORD(year);
    st->wMonth = WORD(month);
    st->wDay = WORD(day);
    st->wDayOfWeek = WORD((days + 1) % 7); // 1601-01-01 was a Monday
    st->wHour = WORD(inDay / (3600 * kTicksPerSecond));
    st->wMinute = WORD(inDay / (60 * kTicksPerSecond) % 60);
    st->wSecond = WORD(inDay / kTicksPerSecond % 60);
    st->wMilliseconds = WORD(inDay / 10000 % 1000);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    return ShiftFileTime(utc, local, CurrentOffsetTicks()) ? TRUE : FALSE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
    return ShiftFileTime(local, utc, -CurrentOffsetTicks()) ? TRUE : FALSE;
}
