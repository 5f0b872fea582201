#include "runtime/time.h"

namespace NUBO {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;

int64_t Ticks(const FILETIME& ft) {
    return int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME NowFileTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}

// Local time minus UTC now, in whole seconds. Both sides come from one reading of the clock, so
// the offset is exact instead of a second short when the two readings straddle a tick.
int64_t CurrentLocalOffset() {
    FILETIME utc = NowFileTime(), local;
    if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
    return (Ticks(local) - Ticks(utc)) / kTicksPerSecond;
}

} // namespace

TTime::TTime() : seconds_(GetCurrentUnixTime()) {}

int64_t GetUnixSecondsNow(int64_t* out) {
    int64_t seconds = FileTimeToUnixTime(NowFileTime());
    if (out) *out = seconds;
    return seconds;
}

double GetCurrentUnixTime() {
    return double(Ticks(NowFileTime())) / 10000000.0 - 11644473600.0;
}

bool UnixTimeToSystemTime(int64_t seconds, SYSTEMTIME* out) {
    int64_t ticks;
    if (__builtin_mul_overflow(seconds, kTicksPerSecond, &ticks) ||
        __builtin_add_overflow(ticks, int64_t(FILETIME_UNIX_EPOCH), &ticks) || ticks < 0)
        return false;
    FILETIME ft{DWORD(uint64_t(ticks)), DWORD(uint64_t(ticks) >> 32)};
    return FileTimeToSystemTime(&ft, out) != FALSE;
}

void SystemTimeToTm(const SYSTEMTIME* time, std::tm* out) {
    *out = std::tm{};
    out->tm_sec = time->wSecond;
    out->tm_min = time->wMinute;
    out->tm_hour = time->wHour;
    out->tm_mday = time->wDay;
    out->tm_mon = time->wMonth - 1;
    out->tm_year = time->wYear - 1900;
    out->tm_wday = time->wDayOfWeek;
}

void UnixTimeToTm(std::tm* out, const int64_t* seconds) {
    SYSTEMTIME st;
    if (!seconds || !UnixTimeToSystemTime(*seconds, &st)) {
        *out = std::tm{};
        return;
    }
    SystemTimeToTm(&st, out);
}

int64_t TmToUnixTime(const std::tm* fields) {
    if (!fields) return 0;
    // SYSTEMTIME holds 16-bit fields: anything that does not fit names no date.
    auto fits = [](int64_t v) { return v >= 0 && v <= 0xFFFF; };
    int64_t year = int64_t(fields->tm_year) + 1900, month = int64_t(fields->tm_mon) + 1;
    if (!fits(year) || !fits(month) || !fits(fields->tm_wday) || !fits(fields->tm_mday) || !fits(fields->tm_hour) ||
        !fits(fields->tm_min) || !fits(fields->tm_sec))
        return 0;
    SYSTEMTIME st{WORD(year),
                  WORD(month),
                  WORD(fields->tm_wday),
                  WORD(fields->tm_mday),
                  WORD(fields->tm_hour),
                  WORD(fields->tm_min),
                  WORD(fields->tm_sec),
                  0};
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return 0;
    return FileTimeToUnixTime(ft) - CurrentLocalOffset();
}

FILETIME YearStartFileTime(int year) {
    FILETIME ft{0, 0};
    if (year < 1601 || year > 30827) return ft;
    SYSTEMTIME st{WORD(year), 1, 0, 1, 0, 0, 0, 0};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

int64_t FileTimeToUnixTime(const FILETIME& fileTime) {
    return (Ticks(fileTime) - int64_t(FILETIME_UNIX_EPOCH)) / kTicksPerSecond;
}

} // namespace NUBO
