#include "runtime/calendar.h"

#include <cstring>

#include "platform/win/time.h"

namespace NUBO {

namespace {

constexpr double kDay = 86400.0;

double YearSeconds(int year) {
    return (IsLeapYear(year) ? 366 : 365) * kDay;
}

// Local time minus UTC at the given UTC time, in seconds, as the platform's zone answers it.
double LocalOffset(double utc) {
    double ticks = (utc + 11644473600.0) * 1e7;
    if (!(ticks >= 0 && ticks < 9.2e18)) return 0;
    auto value = static_cast<uint64_t>(ticks);
    FILETIME asLocal{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
    FILETIME back{};
    if (!LocalFileTimeToFileTime(&asLocal, &back)) return 0;
    uint64_t b = (static_cast<uint64_t>(back.dwHighDateTime) << 32) | back.dwLowDateTime;
    return (static_cast<double>(value) - static_cast<double>(b)) / 1e7;
}

} // namespace

double InvalidTime() {
    uint64_t bits = 0x7FFFFFFFFFFFFFFFull;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool IsInvalidTime(double t) {
    uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    return bits == 0x7FFFFFFFFFFFFFFFull;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int EquivalentYear(int year) {
    if (year >= 1970 && year <= 2029) return year;
    int weekday; // of 1 January, Sunday 0
    if (year >= 2030) {
        weekday = 2;
        for (int i = 2030; i < year; ++i)
            weekday += IsLeapYear(i) ? 2 : 1;
    } else {
        weekday = 4;
        for (int j = 1969; j >= year; --j)
            weekday += IsLeapYear(j) ? 5 : 6;
    }
    static const int kCommon[7] = {1978, 1973, 1974, 1975, 1970, 1971, 1977};
    static const int kLeap[7] = {1984, 1996, 1980, 1992, 1976, 1988, 1972};
    return IsLeapYear(year) ? kLeap[weekday % 7] : kCommon[weekday % 7];
}

double TimeFromUtcFields(const XTimeFields& f) {
    if (f.year < -300 || f.year > 1099 || f.month < 0 || f.month > 11 || f.day < 1 || f.day > 31) return InvalidTime();
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year = f.year + 1900;
    double t = 0;
    if (year < 1970) {
        for (int y = year; y < 1970; ++y)
            t -= YearSeconds(y);
    } else {
        for (int y = 1970; y < year; ++y)
            t += YearSeconds(y);
    }
    for (int m = 0; m < f.month; ++m)
        t += (m == 1 && IsLeapYear(year) ? 29 : kMonthDays[m]) * kDay;
    return t + (f.day - 1) * kDay + f.hour * 3600.0 + f.minute * 60.0 + f.second;
}

double TimeFromLocalFields(const XTimeFields& fields) {
    double asUtc = TimeFromUtcFields(fields);
    if (IsInvalidTime(asUtc)) return asUtc;
    // The zone's offset is taken in the equivalent year; moving the year back afterwards keeps it.
    XTimeFields equivalent = fields;
    equivalent.year = EquivalentYear(fields.year + 1900) - 1900;
    return asUtc - LocalOffset(TimeFromUtcFields(equivalent));
}

bool MakeTime(double* out, int year, int month, int day, int hour, int minute, int second) {
    XTimeFields f{second, minute, hour, day, month - 1, year - 1900, -1};
    *out = TimeFromLocalFields(f);
    return !IsInvalidTime(*out);
}

double TimeFromFileTime(uint64_t fileTime) {
    return static_cast<double>(fileTime) * 1e-7 - 11644473600.0;
}

} // namespace NUBO
