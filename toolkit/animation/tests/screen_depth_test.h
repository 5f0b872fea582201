#pragma once
// Effect tests run at both screen depths: the 16-bit pictures are the 16-bit screen's (RGB565),
// whose layout the work surface takes.
#include <gtest/gtest.h>

#include "platform/win/screen.h"

class ScreenDepthTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ScreenConfig c = ScreenConfigFromEnvironment();
        c.bpp = Bpp();
        c.rgb555 = false;
        ASSERT_TRUE(ConfigureScreen(c));
    }
    void TearDown() override { ConfigureScreen(ScreenConfigFromEnvironment()); }
    int Bpp() const { return GetParam(); }
};
