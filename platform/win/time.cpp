#include "platform/win/time.h"

#include <ctime>

#include "platform/win/last_error.h"

namespace {

constexpr ULONGLONG kTicksPerSecond = 10000000ULL;
constexpr ULONGLONG kTicksPerDay = 86400ULL * kTicksPerSecond;
constexpr ULONGLONG kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;

ULONGLONG FromFileTime(const FILETIME& ft) {
    return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFileTime(ULONGLONG ticks) {
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

bool IsLeap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the given civil date of the proleptic Gregorian calendar, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = int64_t(yoe) + era * 400 + (*m <= 2);
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
