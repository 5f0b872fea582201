#include "platform/com/ole_time.h"

#include <cmath>

#include "platform/win/calendar.h"

namespace {

using namespace platform::calendar;

constexpr double kMinDate = -657434.0; // 0100-01-01
constexpr double kMaxDate = 2958466.0; // 10000-01-01, excluded
constexpr int64_t kDaysTo1970 = 25569;

} // namespace

INT VariantTimeToSystemTime(DATE date, SYSTEMTIME* out) {
    if (!out || !(date >= kMinDate && date < kMaxDate)) return FALSE;
    double whole = std::trunc(date);
    int64_t day = static_cast<int64_t>(whole);
    int64_t seconds = static_cast<int64_t>(std::floor(std::fabs(date - whole) * 86400.0 + 0.5));
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    int64_t unixDay = day - kDaysTo1970;
    int64_t year = 0;
    unsigned month = 0, mday = 0;
    CivilFromDays(unixDay, &year, &month, &mday);
    if (year < 100 || year > 9999) return FALSE;
    out->wYear = static_cast<WORD>(year);
    out->wMonth = static_cast<WORD>(month);
    out->wDay = static_cast<WORD>(mday);
    out->wDayOfWeek = static_cast<WORD>(((unixDay % 7) + 7 + 4) % 7); // 1970-01-01 was a Thursday
    out->wHour = static_cast<WORD>(seconds / 3600);
    out->wMinute = static_cast<WORD>(seconds / 60 % 60);
    out->wSecond = static_cast<WORD>(seconds % 60);
    out->wMilliseconds = 0;
    return TRUE;
}

INT SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* out) {
    if (!time || !out) return FALSE;
    if (time->wYear < 100 || time->wYear > 9999 || time->wMonth < 1 || time->wMonth > 12 || time->wDay < 1 ||
        time->wDay > DaysInMonth(time->wYear, time->wMonth) || time->wHour > 23 || time->wMinute > 59 ||
        time->wSecond > 59)
        return FALSE;
    int64_t day = DaysFromCivil(time->wYear, time->wMonth, time->wDay) + kDaysTo1970;
    double fraction = (time->wHour * 3600.0 + time->wMinute * 60.0 + time->wSecond) / 86400.0;
    *out = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
    return TRUE;
}
