#include "graphics/raster/coverage_row.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t kOne = 1 << 12;

// What one sub-scanline's span adds to each byte by the short-span rule: left part, full values,
// right part.
std::vector<int> ShortRule(int32_t width, int32_t n, int32_t subline, int32_t x0, int32_t x1) {
    std::vector<int> add(static_cast<size_t>(width) + 8, 0);
    const int full = ((subline + 1) & ((1 << n) - 1)) ? 256 >> n : (256 >> n) - 1;
    const int p0 = x0 >> 12, p1 = x1 >> 12;
    const int f0 = (x0 >> 4) & 0xFF, f1 = (x1 >> 4) & 0xFF;
    if (p0 == p1) {
        add[p0] += ((f1 * (255 - f0)) / 256) >> n;
        return add;
    }
    add[p0] += f0 == 0 ? full : (255 - f0) >> n;
    for (int p = p0 + 1; p < p1; ++p)
        add[p] += full;
    add[p1] += f1 >> n;
    return add;
}

TEST(CoverageRow, FullPixelAddsUpTo255) {
    oxCoverageRow row;
    ASSERT_TRUE(row.Setup(16, 12, 2));
    for (int s = 0; s < 4; ++s)
        row.AddSpan(s, 2 * kOne + kOne / 2, 6 * kOne);
    // 64 + 64 + 64 + 63 in the pixels wholly inside.
    EXPECT_EQ(row.Bytes()[3], 255);
    EXPECT_EQ(row.Bytes()[4], 255);
    EXPECT_EQ(row.Bytes()[6], 0);
}

TEST(CoverageRow, EdgePixelsCarryTheirCoveredFraction) {
    // A span from a to b on every sub-scanline of a row: whole-pixel ends give exactly full or
    // nothing at every sub-sample count; fractional ends give about their share of 255.
    struct Case {
        int32_t x0, x1; // in 1/4 pixel
        int32_t pixel;
        int expected;
    };
    const Case cases[] = {
        {8, 24, 2, 255}, {8, 24, 5, 255}, {8, 24, 6, 0},  // whole-pixel rectangle [2, 6)
        {8, 25, 6, 64},  {8, 26, 6, 128}, {8, 27, 6, 192}, // right end at 6.25, 6.5, 6.75
        {9, 24, 2, 191}, {10, 24, 2, 128}, {11, 24, 2, 64}, // left end at 2.25, 2.5, 2.75
        {0, 24, 0, 255},
    };
    for (int32_t n = 0; n <= 3; ++n) {
        for (const Case& c : cases) {
            oxCoverageRow row;
            ASSERT_TRUE(row.Setup(16, 12, n));
            for (int32_t s = 0; s < (1 << n); ++s)
                row.AddSpan(s, c.x0 * kOne / 4, c.x1 * kOne / 4);
            const int got = row.Bytes()[c.pixel];
            const bool whole = c.expected == 0 || c.expected == 255;
            if (whole)
                EXPECT_EQ(got, c.expected) << "n " << n << " span " << c.x0 << ".." << c.x1 << " px " << c.pixel;
            else
                EXPECT_NEAR(got, c.expected, 8) << "n " << n << " span " << c.x0 << ".." << c.x1 << " px " << c.pixel;
        }
    }
}

TEST(CoverageRow, SpanInsideOnePixel) {
    oxCoverageRow row;
    ASSERT_TRUE(row.Setup(8, 12, 0));
    row.AddSpan(0, 3 * kOne + kOne / 4, 3 * kOne + 3 * kOne / 4);
    EXPECT_EQ(row.Bytes()[3], 192 * 191 / 256);
}

TEST(CoverageRow, LongSpansAddWhatShortOnesWould) {
    // Long spans take whole groups of four bytes at once; every alignment of both ends must agree
    // with the byte-by-byte rule.
    const int32_t width = 40;
    for (int32_t n = 0; n <= 3; ++n) {
        for (int32_t x0 = 0; x0 < 12 * kOne; x0 += kOne / 3 + 7) {
            for (int32_t x1 = x0 + 1; x1 < width * kOne; x1 += kOne / 2 + 13) {
                oxCoverageRow row;
                ASSERT_TRUE(row.Setup(width, 12, n));
                const int32_t subline = (x0 + x1) & 7;
                row.AddSpan(subline, x0, x1);
                const std::vector<int> expected = ShortRule(width, n, subline, x0, x1);
                for (int32_t p = 0; p < width; ++p)
                    ASSERT_EQ(row.Bytes()[p], expected[p]) << "n " << n << " span " << x0 << ".." << x1 << " px " << p;
                row.Clear();
                for (int32_t p = 0; p < width + 4; ++p)
                    ASSERT_EQ(row.Bytes()[p], 0) << "not cleared at " << p;
                EXPECT_FALSE(row.Touched());
            }
        }
    }
}

TEST(CoverageRow, SpansAreClampedToTheRow) {
    oxCoverageRow row;
    ASSERT_TRUE(row.Setup(10, 12, 2));
    row.AddSpan(0, -5 * kOne, 100 * kOne);
    row.AddSpan(1, 50 * kOne, 60 * kOne);
    row.AddSpan(2, 4 * kOne, 4 * kOne); // empty
    EXPECT_EQ(row.Bytes()[0], 64); // clipped at 0: a whole-pixel left end
    EXPECT_EQ(row.Bytes()[9], 64);
    EXPECT_EQ(row.Bytes()[4], 64);
    row.Clear();
    for (int32_t p = 0; p < 16; ++p)
        EXPECT_EQ(row.Bytes()[p], 0);
}

TEST(CoverageRow, EmptyRowIgnoresSpans) {
    oxCoverageRow row;
    row.AddSpan(0, 0, 4 * kOne);
    EXPECT_FALSE(row.Touched());
    ASSERT_TRUE(row.Setup(0, 12, 2));
    row.AddSpan(0, 0, 4 * kOne);
    row.Clear();
}

} // namespace
