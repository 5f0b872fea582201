#include "platform/win/debug_output.h"

#include <gtest/gtest.h>

TEST(DebugOutputTest, WritesUtf8ToStandardError) {
    testing::internal::CaptureStderr();
    OutputDebugStringW(u"stack \u00e9\n");
    OutputDebugStringW(nullptr);
    OutputDebugStringW(u"");
    EXPECT_EQ("stack \xc3\xa9\n", testing::internal::GetCapturedStderr());
}
