#include "graphics/pixels/pixel_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "graphics/pixels/pixel_buffer.h"
#include "graphics/pixels/raster_rect.h"

namespace {

TEST(PixelFormat, MasksAndShiftsOfEachLayout) {
    struct Case {
        int r, g, b;
        uint32_t red, green, blue;
        int redShift, greenShift, blueShift;
    } cases[] = {
        {0, 0, 0, 0x7C00, 0x03E0, 0x001F, 10, 5, 0},
        {5, 6, 5, 0xF800, 0x07E0, 0x001F, 11, 6, 0},
        {6, 5, 5, 0xFC00, 0x03E0, 0x001F, 11, 5, 0},
        {5, 5, 6, 0xF800, 0x07C0, 0x003F, 11, 6, 1},
    };
    for (const Case& c : cases) {
        SetPixelFormatMasks(c.r, c.g, c.b);
        const oxPixelFormatMasks& f = g_pixelFormat;
        EXPECT_EQ(f.red, c.red);
        EXPECT_EQ(f.green, c.green);
        EXPECT_EQ(f.blue, c.blue);
        EXPECT_EQ(f.group, c.red | c.blue);
        EXPECT_EQ(f.redShift, c.redShift);
        EXPECT_EQ(f.greenShift, c.greenShift);
        EXPECT_EQ(f.blueShift, c.blueShift);
        EXPECT_EQ(f.halving, ~((1u << c.redShift) | (1u << c.greenShift) | (1u << c.blueShift)));
    }
}

TEST(PixelFormat, DitherRoundTripsThroughEveryLayout) {
    // Any grey level comes back within one five-bit step, whatever the dither cell.
    for (int32_t layout : {kLayoutRgb555, kLayoutRgb565, kLayoutRgb655, kLayoutRgb556}) {
        SetPixelFormatForLayout(layout);
        for (uint32_t v = 0; v < 256; v += 5)
            for (int cell = 0; cell < 16; ++cell) {
                const uint32_t back = ExpandFrom16(DitherTo16(0xFF000000u | v * 0x010101u, cell & 3, cell >> 2));
                for (int shift : {0, 8, 16}) {
                    const int got = int((back >> shift) & 0xFF);
                    ASSERT_LE(std::abs(got - int(v)), 8) << layout << " " << v;
                }
            }
    }
}

// The row conversion takes from four to thirty-two pixels at a time, as the processor allows; every
// channel value, column phase and row phase must come out as the single-pixel conversion gives it,
// from any start column and for lengths that leave each narrower step some pixels.
TEST(PixelFormat, DitherRowMatchesSinglePixels) {
    std::vector<uint32_t> pixels(256 + 13);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0x80000000u | uint32_t(i & 0xFF) << 16 | uint32_t((i * 7) & 0xFF) << 8 | uint32_t(255 - (i & 0xFF));
    std::vector<uint16_t> row(pixels.size());
    for (int32_t layout : {kLayoutRgb555, kLayoutRgb565, kLayoutRgb655, kLayoutRgb556}) {
        SetPixelFormatForLayout(layout);
        for (int x : {0, 1, 3, 6})
            for (int y = 0; y < 4; ++y)
                for (int32_t count : {int32_t(pixels.size()) - x, 32 + 16 + 8 + 5, 16 + 4, 7, 1}) {
                    std::fill(row.begin(), row.end(), uint16_t(0));
                    DitherRowTo16(row.data(), pixels.data(), count, x, y);
                    for (int32_t i = 0; i < count; ++i)
                        ASSERT_EQ(DitherTo16(pixels[size_t(i)], int(x + i), y), row[size_t(i)])
                            << layout << " x " << x + i << " y " << y << " of " << count;
                    for (size_t i = size_t(count); i < row.size(); ++i)
                        ASSERT_EQ(row[i], 0) << "past the row, at " << i;
                }
    }
    SetPixelFormatMasks(0, 0, 0);
}

// A block of rows converts each row at its own phase, from rows that lie a stride apart, and
// writes nothing between the rows' ends.
TEST(PixelFormat, DitherRectMatchesSinglePixels) {
    constexpr int32_t kStride = 80, kRows = 7;
    std::vector<uint32_t> pixels(kStride * kRows);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i * 2654435761u);
    std::vector<uint16_t> out(kStride * kRows);
    SetPixelFormatForLayout(kLayoutRgb565);
    for (int32_t count : {kStride, 45, 3})
        for (int y : {0, 5}) {
            std::fill(out.begin(), out.end(), uint16_t(0));
            DitherRectTo16(out.data() + 1, kStride * 2, pixels.data(), kStride * 4, count - 1, kRows, 3, y);
            for (int32_t j = 0; j < kRows; ++j)
                for (int32_t i = 0; i < kStride; ++i) {
                    const bool inside = i >= 1 && i < count;
                    const uint16_t want = inside ? DitherTo16(pixels[size_t(j * kStride + i - 1)], 3 + i - 1, y + j) : 0;
                    ASSERT_EQ(want, out[size_t(j * kStride + i)]) << "row " << j << " column " << i << " of " << count;
                }
        }
    SetPixelFormatMasks(0, 0, 0);
}

TEST(RasterRect, IntersectionIsStrict) {
    const RECT a{0, 0, 10, 10};
    struct Case {
        RECT b;
        bool overlap;
        RECT out;
    } cases[] = {
        {{5, 5, 15, 15}, true, {5, 5, 10, 10}},
        {{10, 0, 20, 10}, false, {10, 0, 10, 10}}, // touching edges do not overlap
        {{-5, 2, 3, 4}, true, {0, 2, 3, 4}},
        {{20, 20, 30, 30}, false, {20, 20, 10, 10}},
    };
    for (const Case& c : cases) {
        RECT out{};
        EXPECT_EQ(IntersectRECT(&a, &c.b, &out), c.overlap);
        EXPECT_EQ(IntersectRECT(&a, &c.b, nullptr), c.overlap);
        EXPECT_EQ(out.left, c.out.left);
        EXPECT_EQ(out.right, c.out.right);
        EXPECT_EQ(out.bottom, c.out.bottom);
    }
    RECT untouched{1, 2, 3, 4};
    EXPECT_FALSE(IntersectRECT(&a, nullptr, &untouched));
    EXPECT_EQ(untouched.left, 1);
}

} // namespace
