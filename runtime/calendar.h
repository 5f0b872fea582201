#pragma once
// Broken-down dates to seconds since 1970-01-01 UTC for any year from 1600 to 2999, independent of
// the range the platform's own time functions cover. Local dates of years the platform's zone
// rules do not cover are converted as a year of the same calendar shape within 1970-2029.
#include <cstdint>

namespace NUBO {

// The fields as given to the calendar, in this order.
struct XTimeFields {
    int second;
    int minute;
    int hour;
    int day;      // 1-31
    int month;    // 0-11
    int year;     // year - 1900
    int daylight; // -1 unknown
};

// The invalid time: the bit pattern 0x7FFFFFFFFFFFFFFF read as a double.
double InvalidTime();
bool IsInvalidTime(double t);

bool IsLeapYear(int year);
// A year from 1970 to 2029 with the same weekday on 1 January and the same leap-ness.
int EquivalentYear(int year);
// Fields are not normalised: hours above 23 or seconds above 59 simply add.
double TimeFromUtcFields(const XTimeFields& fields);
double TimeFromLocalFields(const XTimeFields& fields);
// Local date and time, month 1-12; false when the result is the invalid time.
bool MakeTime(double* out, int year, int month, int day, int hour, int minute, int second);
// 100 ns units since 1601 to seconds since 1970.
double TimeFromFileTime(uint64_t fileTime);

} // namespace NUBO
