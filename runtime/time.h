#pragma once
// Conversions between the platform's time records and seconds since 1970-01-01 00:00:00 UTC
// ("Unix seconds"), and the broken-down time record with the fields of the C library's tm.
#include <cstdint>
#include <ctime>

#include "platform/win/time.h"

namespace NUBO {

// The current UTC time as double Unix seconds.
class TTime {
public:
    TTime();
    int64_t GetUnixSeconds() const { return int64_t(seconds_); }
    double GetSeconds() const { return seconds_; }

private:
    double seconds_;
};

// The current UTC time in whole Unix seconds, also stored through `out` when given.
int64_t GetUnixSecondsNow(int64_t* out = nullptr);
double GetCurrentUnixTime();

// False when the seconds fall outside the platform's calendar (before 1601).
bool UnixTimeToSystemTime(int64_t seconds, SYSTEMTIME* out);
// Day of year and daylight flag are 0.
void SystemTimeToTm(const SYSTEMTIME* time, std::tm* out);
// UTC fields of `seconds`; all fields 0 for null seconds or a time the platform cannot convert.
void UnixTimeToTm(std::tm* out, const int64_t* seconds);
// The fields read as local time with today's offset from UTC, whatever their date; 0 for null or
// fields that name no valid date.
int64_t TmToUnixTime(const std::tm* fields);

// 1 January of `year`, 00:00:00, as a file time; 0 outside the platform's years.
FILETIME YearStartFileTime(int year);
int64_t FileTimeToUnixTime(const FILETIME& fileTime);

} // namespace NUBO
