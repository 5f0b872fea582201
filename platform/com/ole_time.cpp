#include "platform/com/ole_time.h"

#include <cmath>

namespace {

constexpr double kMinDate = -657434.0; // 0100-01-01
constexpr double kMaxDate = 2958466.0; // 10000-01-01, excluded
constexpr int64_t kDaysTo1970 = 25569;

// Proleptic Gregorian calendar over days since 1970-01-01 (the era arithmetic keeps it exact).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, unsigned* m, unsigned* d) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*m <= 2));
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(int y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

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
    int year = 0;
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
