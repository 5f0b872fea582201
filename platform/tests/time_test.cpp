#include "platform/win/time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/tests/scoped_tz.h"

namespace {

ULONGLONG Ticks(const FILETIME& ft) {
    return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
FILETIME FromTicks(ULONGLONG t) {
    return FILETIME{DWORD(t), DWORD(t >> 32)};
}

using NUBO::test::ScopedTz;

} // namespace

TEST(TimeTest, SystemTimeAndFileTimeRoundTrip) {
    struct Case {
        SYSTEMTIME st; // day of week as expected back
        ULONGLONG ticks;
    } cases[] = {
        {{1601, 1, 1, 1, 0, 0, 0, 0}, 0},
        {{1970, 1, 4, 1, 0, 0, 0, 0}, FILETIME_UNIX_EPOCH},
        {{1899, 12, 0, 31, 12, 0, 0, 0}, 94354416000000000ULL},
        {{2000, 2, 2, 29, 23, 59, 59, 999}, 125963423999990000ULL},
        {{2038, 1, 2, 19, 3, 14, 8, 0}, 137919572480000000ULL},
        {{9999, 12, 5, 31, 23, 59, 59, 999}, 2650467743999990000ULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.st.wYear);
        SYSTEMTIME in = c.st;
        in.wDayOfWeek = 6; // ignored on input
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&in, &ft));
        EXPECT_EQ(Ticks(ft), c.ticks);
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        EXPECT_EQ(back.wYear, c.st.wYear);
        EXPECT_EQ(back.wMonth, c.st.wMonth);
        EXPECT_EQ(back.wDay, c.st.wDay);
        EXPECT_EQ(back.wDayOfWeek, c.st.wDayOfWeek);
        EXPECT_EQ(back.wHour, c.st.wHour);
        EXPECT_EQ(back.wMinute, c.st.wMinute);
        EXPECT_EQ(back.wSecond, c.st.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.st.wMilliseconds);
    }
}

TEST(TimeTest, InvalidRecordsAreRefused) {
    SYSTEMTIME bad[] = {
        {1600, 12, 0, 31, 0, 0, 0, 0}, {30828, 1, 0, 1, 0, 0, 0, 0},   {2023, 2, 0, 29, 0, 0, 0, 0},
        {2024, 13, 0, 1, 0, 0, 0, 0},  {2024, 0, 0, 1, 0, 0, 0, 0},    {2024, 4, 0, 31, 0, 0, 0, 0},
        {2024, 1, 0, 0, 0, 0, 0, 0},   {2024, 1, 0, 1, 24, 0, 0, 0},   {2024, 1, 0, 1, 0, 60, 0, 0},
        {2024, 1, 0, 1, 0, 0, 60, 0},  {2024, 1, 0, 1, 0, 0, 0, 1000},
    };
    for (const SYSTEMTIME& st : bad) {
        FILETIME ft{7, 7};
        EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    }
    SYSTEMTIME leap{2024, 2, 0, 29, 0, 0, 0, 0};
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));

    FILETIME tooLate = FromTicks(0x8000000000000000ULL);
    SYSTEMTIME st;
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &st));
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
}

TEST(TimeTest, NowIsUtcAndLocalFollowsTz) {
    ScopedTz tz("XYZ-3"); // three hours east of UTC, no daylight saving
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    long long unixNow = (long long)((Ticks(now) - FILETIME_UNIX_EPOCH) / 10000000ULL);
    EXPECT_LE(std::llabs(unixNow - (long long)time(nullptr)), 2);

    FILETIME local, back;
    ASSERT_TRUE(FileTimeToLocalFileTime(&now, &local));
    EXPECT_EQ(Ticks(local) - Ticks(now), 3ULL * 3600 * 10000000);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(Ticks(back), Ticks(now));

    SYSTEMTIME utcNow, localNow;
    GetSystemTime(&utcNow);
    GetLocalTime(&localNow);
    FILETIME u, l;
    ASSERT_TRUE(SystemTimeToFileTime(&utcNow, &u));
    ASSERT_TRUE(SystemTimeToFileTime(&localNow, &l));
    long long diffSeconds = ((long long)Ticks(l) - (long long)Ticks(u)) / 10000000;
    EXPECT_NEAR(diffSeconds, 3 * 3600, 2);

    // The zone west of Greenwich, and a time too early to move back.
    ScopedTz west("ABC+5");
    ASSERT_TRUE(FileTimeToLocalFileTime(&now, &local));
    EXPECT_EQ(Ticks(now) - Ticks(local), 5ULL * 3600 * 10000000);
    FILETIME early = FromTicks(10);
    EXPECT_FALSE(FileTimeToLocalFileTime(&early, &local));
}
