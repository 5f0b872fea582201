// The rounding of the effects' geometry: toward the nearest integer below for positive halves and
// above for negative ones, outward for rectangles, and whole-pixel translations.
#include "graphics/pixels/number_utils.h"

#include <gtest/gtest.h>

#include "graphics/pixels/matrix.h"

namespace {

TEST(NumberUtilsTest, RoundingFollowsItsBiasAndRectanglesGrowOutward) {
    const struct {
        double x;
        int32_t expected;
    } cases[] = {{1.7, 1}, {-1.7, -1}, {2.0, 2}, {-1.0, 0}, {0.0, 0}, {0.99999, 0}, {-0.2, 0}, {1e6 + 0.5, 1000000}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundToInt(c.x), c.expected) << c.x;

    RECT r{};
    RoundRectOutward(10.2f, 20.5f, 30.4f, 40.6f, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 31);
    EXPECT_EQ(r.bottom, 41);
    RoundRectOutward(-3.7f, 0, 0, 0, &r);
    EXPECT_EQ(r.left, -4);

    oxMatrix m;
    m.m[9] = 12.4f, m.m[10] = -3.6f, m.m[11] = 7.5f;
    EXPECT_EQ(RoundMatrixTranslation(&m), 8.0f);
    EXPECT_EQ(m.m[9], 12.0f);
    EXPECT_EQ(m.m[10], -4.0f);
    EXPECT_EQ(m.m[0], 1.0f); // the linear part stays

    for (int i = 0; i < 100; ++i) {
        const float u = RandomUnit();
        EXPECT_GE(u, 0.0f);
        EXPECT_LE(u, 1.0f);
        const int n = Random();
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 32767);
    }
}

} // namespace
