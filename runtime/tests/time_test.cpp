#include "runtime/time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/tests/scoped_tz.h"

using NUBO::test::ScopedTz;

TEST(UnixTimeTest, NowAgreesWithTheHostClock) {
    int64_t stored = -1;
    int64_t now = NUBO::GetUnixSecondsNow(&stored);
    EXPECT_EQ(stored, now);
    EXPECT_LE(std::llabs(now - int64_t(time(nullptr))), 2);
    EXPECT_NEAR(NUBO::GetCurrentUnixTime(), double(time(nullptr)), 2.0);
    NUBO::TTime t;
    EXPECT_NEAR(t.GetSeconds(), double(now), 2.0);
    EXPECT_EQ(t.GetUnixSeconds(), int64_t(t.GetSeconds()));
}

TEST(UnixTimeTest, UnixTimeToTm) {
    struct Case {
        int64_t seconds;
        int sec, min, hour, mday, mon, year, wday;
    } cases[] = {
        {0, 0, 0, 0, 1, 0, 70, 4},
        {951868799, 59, 59, 23, 29, 1, 100, 2}, // 2000-02-29 23:59:59
        {-1, 59, 59, 23, 31, 11, 69, 3},        // 1969-12-31 23:59:59
        {-11644473600, 0, 0, 0, 1, 0, -299, 1}, // 1601-01-01, the first file time
        {2147483648, 8, 14, 3, 19, 0, 138, 2},  // past the 32-bit limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        std::tm tm;
        NUBO::UnixTimeToTm(&tm, &c.seconds);
        EXPECT_EQ(tm.tm_sec, c.sec);
        EXPECT_EQ(tm.tm_min, c.min);
        EXPECT_EQ(tm.tm_hour, c.hour);
        EXPECT_EQ(tm.tm_mday, c.mday);
        EXPECT_EQ(tm.tm_mon, c.mon);
        EXPECT_EQ(tm.tm_year, c.year);
        EXPECT_EQ(tm.tm_wday, c.wday);
        EXPECT_EQ(tm.tm_yday, 0);
        EXPECT_EQ(tm.tm_isdst, 0);
    }

    // Null seconds, and times before the platform's calendar, give all fields 0.
    for (int64_t bad : {int64_t(-11644473601), INT64_MIN, INT64_MAX}) {
        std::tm tm;
        tm.tm_year = 5;
        NUBO::UnixTimeToTm(&tm, &bad);
        EXPECT_EQ(tm.tm_year, 0) << bad;
        EXPECT_EQ(tm.tm_mday, 0) << bad;
    }
    std::tm tm;
    tm.tm_mday = 9;
    NUBO::UnixTimeToTm(&tm, nullptr);
    EXPECT_EQ(tm.tm_mday, 0);
}

TEST(UnixTimeTest, TmToUnixTimeAppliesTodaysOffset) {
    const int64_t seconds = 1700000000;
    std::tm tm;
    NUBO::UnixTimeToTm(&tm, &seconds);
    {
        ScopedTz utc("UTC0");
        EXPECT_EQ(NUBO::TmToUnixTime(&tm), seconds);
    }
    {
        ScopedTz east("XYZ-3"); // local is three hours ahead: the fields read as local are earlier in UTC
        EXPECT_EQ(NUBO::TmToUnixTime(&tm), seconds - 3 * 3600);
    }
    EXPECT_EQ(NUBO::TmToUnixTime(nullptr), 0);
    std::tm bad = tm;
    bad.tm_mon = 12;
    EXPECT_EQ(NUBO::TmToUnixTime(&bad), 0);
    bad = tm;
    bad.tm_year = -2000;
    EXPECT_EQ(NUBO::TmToUnixTime(&bad), 0);
}

TEST(UnixTimeTest, YearStartsAndFileTimes) {
    auto ticks = [](const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; };
    EXPECT_EQ(ticks(NUBO::YearStartFileTime(1601)), 0u);
    EXPECT_EQ(ticks(NUBO::YearStartFileTime(1970)), 116444736000000000u);
    EXPECT_EQ(ticks(NUBO::YearStartFileTime(1600)), 0u);
    EXPECT_EQ(NUBO::FileTimeToUnixTime(NUBO::YearStartFileTime(1970)), 0);
    EXPECT_EQ(NUBO::FileTimeToUnixTime(NUBO::YearStartFileTime(2000)), 946684800);
    EXPECT_EQ(NUBO::FileTimeToUnixTime(FILETIME{0, 0}), -11644473600);

    SYSTEMTIME st;
    ASSERT_TRUE(NUBO::UnixTimeToSystemTime(86400 + 3661, &st));
    EXPECT_EQ(st.wYear, 1970);
    EXPECT_EQ(st.wDay, 2);
    EXPECT_EQ(st.wDayOfWeek, 5);
    EXPECT_EQ(st.wHour, 1);
    EXPECT_EQ(st.wMinute, 1);
    EXPECT_EQ(st.wSecond, 1);
}
