#include "platform/win/sys_color.h"

#include <gtest/gtest.h>

TEST(SysColor, ReadsTheSchemeWithOrWithoutTheIndexFlag) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW | SYS_COLOR_INDEX_FLAG), 0x00FFFFFFu);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0x00FFFFFFu);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT | SYS_COLOR_INDEX_FLAG), 0x00800000u); // 0x00BBGGRR: navy
    EXPECT_EQ(GetSysColor(COLOR_INFOBK | SYS_COLOR_INDEX_FLAG), 0x00E1FFFFu);
}

TEST(SysColor, IndexesOutsideTheSchemeReadZero) {
    for (int index : {-1, 25, 26, 29, 1000})
        EXPECT_EQ(GetSysColor(index | SYS_COLOR_INDEX_FLAG), 0u) << index;
}

TEST(SysColor, SetSysColorsChangesWhatTheNextReadSees) {
    DWORD old = GetSysColor(COLOR_WINDOW);
    int indexes[] = {COLOR_WINDOW | SYS_COLOR_INDEX_FLAG, 26};
    DWORD colors[] = {0x00123456, 0x00FFFFFF};
    EXPECT_TRUE(SetSysColors(2, indexes, colors));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0x00123456u);
    EXPECT_EQ(GetSysColor(26), 0u);
    EXPECT_FALSE(SetSysColors(1, nullptr, colors));
    int back[] = {COLOR_WINDOW};
    EXPECT_TRUE(SetSysColors(1, back, &old));
}
