#include "platform/win/registered_message.h"

#include <gtest/gtest.h>

namespace {

TEST(RegisteredMessageTest, OneIdPerNameWithoutCase) {
    UINT first = RegisterWindowMessageW(u"oxTimerEvent");
    EXPECT_GE(first, 0xC000u);
    EXPECT_LE(first, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageW(u"OXTIMEREVENT"), first);
    UINT second = RegisterWindowMessageW(u"another message");
    EXPECT_GE(second, 0xC000u);
    EXPECT_NE(second, first);
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
    EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}

} // namespace
