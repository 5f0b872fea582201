#include "platform/crt/wide.h"

#include <gtest/gtest.h>

TEST(Wide, Length) {
    EXPECT_EQ(wcslen(u""), 0u);
    EXPECT_EQ(wcslen(u"abc"), 3u);
}
