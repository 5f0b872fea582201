#include "graphics/effects/pixel_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

int Channel(uint32_t p, int c) {
    return int((p >> (8 * c)) & 0xFF);
}

// Two 32-bit pictures: a horizontal and a vertical ramp of different colours and alphas.
void FillPair(TestSurface& a, TestSurface& b) {
    for (int y = 0; y < a.buffer.height; ++y)
        for (int x = 0; x < a.buffer.width; ++x) {
            const uint32_t u = uint32_t(x * 255 / (a.buffer.width - 1)), v = uint32_t(y * 255 / (a.buffer.height - 1));
            a.buffer.GetRow32(y)[x] = 0xFF000000u | u << 16 | (255 - u);
            b.buffer.GetRow32(y)[x] = (0x80 + v / 2) << 24 | v << 8 | (v / 3);
        }
}

TEST(CrossFadeTest, EndsCopyAndMiddleMatchesPerChannelBlend) {
    TestSurface first(32, 16, 32), second(32, 16, 32), out(32, 16, 32);
    FillPair(first, second);
    for (int amount : {0, 128, 256, 77}) {
        ASSERT_EQ(1, CrossFade(out.buffer, first.buffer, second.buffer, amount, 0));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) {
                const uint32_t f = first.buffer.GetRow32(y)[x], s = second.buffer.GetRow32(y)[x],
                               d = out.buffer.GetRow32(y)[x];
                for (int c = 0; c < 4; ++c) {
                    const int want = Channel(f, c) + int(std::floor((Channel(s, c) - Channel(f, c)) * amount / 256.0));
                    // The channel pairs are blended in one multiply; a borrow from the lower
                    // channel may take one off the upper one, never at the ends.
                    ASSERT_NEAR(want, Channel(d, c), amount % 256 ? 1 : 0) << amount << " at " << x << "," << y;
                }
            }
    }
}

TEST(CrossFadeTest, InterlaceLeavesAlternateRows) {
    TestSurface first(4, 4, 32), second(4, 4, 32), out(4, 4, 32);
    first.Fill32(0xFF000000u);
    second.Fill32(0xFFFFFFFFu);
    for (int interlace : {1, 2}) {
        out.Fill32(0x12345678u);
        ASSERT_EQ(1, CrossFade(out.buffer, first.buffer, second.buffer, 256, interlace));
        for (int y = 0; y < 4; ++y) {
            const bool drawn = interlace == 1 ? (y & 1) == 1 : (y & 1) == 0;
            EXPECT_EQ(drawn ? 0xFFFFFFFFu : 0x12345678u, out.buffer.GetRow32(y)[0]) << interlace << " row " << y;
        }
    }
}

TEST(CrossFadeTest, Rgb565WeightsRunFromFirstToSecond) {
    TestSurface first(8, 8, 16, kLayoutRgb565), second(8, 8, 16, kLayoutRgb565), out(8, 8, 16, kLayoutRgb565);
    first.Fill16(0xF800);  // red
    second.Fill16(0x07FF); // cyan
    ASSERT_EQ(1, CrossFade(out.buffer, first.buffer, second.buffer, 0, 0));
    EXPECT_EQ(0xF800, out.buffer.GetRow16(3)[5]);
    ASSERT_EQ(1, CrossFade(out.buffer, first.buffer, second.buffer, 256, 0));
    EXPECT_EQ(0x07FF, out.buffer.GetRow16(3)[5]);
    // Halfway the dithered weight is 16 or 16 and a fraction: 5-bit channels land within one step.
    ASSERT_EQ(1, CrossFade(out.buffer, first.buffer, second.buffer, 128, 0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint16_t p = out.buffer.GetRow16(y)[x];
            EXPECT_NEAR(15.5, p >> 11, 1.0);
            EXPECT_NEAR(31.5, (p >> 5) & 63, 1.0);
            EXPECT_NEAR(15.5, p & 31, 1.0);
        }
}

TEST(CrossFadeTest, RefusesBuffersItCannotBlend) {
    TestSurface a(8, 8, 32), b(8, 8, 32), small(4, 8, 32), grey(8, 8, 8), wide(8, 8, 16, kLayoutRgb565);
    EXPECT_EQ(0, CrossFade(grey.buffer, grey.buffer, grey.buffer, 128, 0));
    EXPECT_EQ(0, CrossFade(a.buffer, small.buffer, b.buffer, 128, 0));
    EXPECT_EQ(0, CrossFade(a.buffer, a.buffer, wide.buffer, 128, 0));
    oxPixelBuffer none;
    EXPECT_EQ(0, CrossFade(none, a.buffer, b.buffer, 128, 0));
    EXPECT_EQ(1, CrossFade(small.buffer, a.buffer, b.buffer, 128, 0)); // larger sources are fine
}

// Three panels at amounts 0, 128 and 256 in both depths.
TEST(CrossFadeTest, Golden) {
    for (int bpp : {32, 16}) {
        const int32_t layout = bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified;
        TestSurface first(16, 16, 32), second(16, 16, 32), out(48, 16, bpp, layout);
        FillPair(first, second);
        TestSurface first16(16, 16, bpp, layout), second16(16, 16, bpp, layout);
        ASSERT_EQ(1, ConvertPixels(first16.buffer, first.buffer));
        ASSERT_EQ(1, ConvertPixels(second16.buffer, second.buffer));
        for (int i = 0; i < 3; ++i) {
            oxPixelBuffer panel;
            const RECT r{16 * i, 0, 16 * i + 16, 16};
            panel.InitSubRect(out.buffer, &r);
            ASSERT_EQ(1, CrossFade(panel, first16.buffer, second16.buffer, 128 * i, 0));
        }
        EXPECT_TRUE(MatchesGolden(out.buffer, bpp == 32 ? "cross_fade_argb32" : "cross_fade_rgb565"));
    }
}

// The exponential filter as a direct sum: forward y[i] = sum_j k (1-k)^j x[max(i-j, 0)], then the
// same backwards over y, each pass over n - 1 pixels.
std::vector<double> DirectExponential(const std::vector<double>& x, double k) {
    const int n = int(x.size());
    std::vector<double> forward(n), out(n);
    for (int i = 0; i < n; ++i) {
        double sum = 0, w = k;
        for (int j = 0; j < 400; ++j, w *= 1 - k)
            sum += w * x[std::max(i - j, 0)];
        forward[i] = sum;
    }
    // Each pass covers n - 1 pixels: the backward pass starts from the unfiltered last pixel and
    // leaves the first as the forward pass left it.
    forward[n - 1] = x[n - 1];
    out[0] = forward[0];
    for (int i = 1; i < n; ++i) {
        double sum = 0, w = k;
        for (int j = 0; j < 400; ++j, w *= 1 - k)
            sum += w * forward[std::min(i + j, n - 1)];
        out[i] = sum;
    }
    return out;
}

TEST(ExpBlurTest, MatchesDirectConvolution) {
    constexpr int kSize = 24;
    const float radius = 2.5f;
    TestSurface image(kSize, kSize, 32);
    image.Fill32(0xFF000000u);
    for (int y = 9; y < 15; ++y)
        for (int x = 7; x < 13; ++x)
            image.buffer.GetRow32(y)[x] = 0xFFFF8040u;
    std::vector<std::vector<double>> red(kSize, std::vector<double>(kSize));
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            red[y][x] = Channel(image.buffer.GetRow32(y)[x], 2);
    const double k = std::floor((1 - std::pow(0.1, 1 / (2.0 * radius))) * 32768) / 32768;
    for (auto& row : red)
        row = DirectExponential(row, k);
    for (int x = 0; x < kSize; ++x) {
        std::vector<double> column(kSize);
        for (int y = 0; y < kSize; ++y)
            column[y] = red[y][x];
        column = DirectExponential(column, k);
        for (int y = 0; y < kSize; ++y)
            red[y][x] = column[y];
    }
    ExpBlur(image.buffer, nullptr, radius, true, true);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const uint32_t p = image.buffer.GetRow32(y)[x];
            // Each of the four passes hands on whole 8-bit values, cut towards zero: at most one
            // lost per pass, never a gain.
            ASSERT_LE(Channel(p, 2), red[y][x] + 0.5) << x << "," << y;
            ASSERT_GE(Channel(p, 2), red[y][x] - 4.0) << x << "," << y;
            EXPECT_EQ(0u, p >> 24);
        }
    // A tenth of the influence after 2 x radius pixels.
    EXPECT_NEAR(0.1, std::pow(1 - k, 2 * radius), 0.01);
}

TEST(ExpBlurTest, UniformStaysAndSourceEqualsInPlace) {
    TestSurface uniform(9, 7, 32);
    uniform.Fill32(0xFF336699u);
    ExpBlur(uniform.buffer, nullptr, 3.0f, true, true);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(0x00336699u, uniform.buffer.GetRow32(y)[x]);

    TestRandom random(3);
    TestSurface source(13, 11, 32), inPlace(13, 11, 32), out(13, 11, 32, kLayoutUnspecified, false);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x)
            source.buffer.GetRow32(y)[x] = inPlace.buffer.GetRow32(y)[x] = random.Next();
    for (int pass = 1; pass <= 3; ++pass) {
        TestSurface copy = inPlace;
        copy.buffer.InitExternal(copy.bytes.data(), copy.buffer.stride, 13, 11, 32, 4, true);
        ExpBlur(copy.buffer, nullptr, 1.5f, pass & 1, pass & 2);
        ExpBlur(out.buffer, &source.buffer, 1.5f, pass & 1, pass & 2);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(copy.buffer.GetRow32(y)[x], out.buffer.GetRow32(y)[x]) << pass << ": " << x << "," << y;
    }
}

TEST(ExpBlurTest, BadRadiiAndSources) {
    const float radii[] = {0.0f,  -3.0f,  std::numeric_limits<float>::quiet_NaN(),
                           1e30f, 1e-30f, std::numeric_limits<float>::infinity()};
    for (float r : radii) {
        TestSurface block(12, 12, 32);
        block.Fill32(0xFFFFFFFFu);
        oxPixelBuffer window;
        const RECT inner{2, 2, 10, 10};
        window.InitSubRect(block.buffer, &inner);
        window.GetRow32(3)[3] = 0xFF000000u;
        ExpBlur(window, nullptr, r, true, true);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                if (x < 2 || y < 2 || x >= 10 || y >= 10) {
                    ASSERT_EQ(0xFFFFFFFFu, block.buffer.GetRow32(y)[x]) << r;
                }
            }
        }
        if (!(r > 0)) {
            EXPECT_EQ(0xFF000000u, window.GetRow32(3)[3]) << r;
        }
    }
    TestSurface a(8, 8, 32), b(7, 8, 32), grey(8, 8, 8);
    a.Fill32(0xFF102030u);
    ExpBlur(a.buffer, &b.buffer, 2.0f, true, true);
    ExpBlur(a.buffer, &grey.buffer, 2.0f, true, true);
    ExpBlur(grey.buffer, nullptr, 2.0f, true, true);
    EXPECT_EQ(0xFF102030u, a.buffer.GetRow32(4)[4]);
}

TEST(ShadowMaskTest, SizeBorderAndConservedCoverage) {
    TestSurface picture(10, 10, 32);
    picture.Fill32(0xFF000000u);
    std::unique_ptr<oxDibBitmap> mask(MakeShadowMask(picture.buffer, nullptr, 3));
    ASSERT_TRUE(mask);
    ASSERT_EQ(22, mask->width);
    ASSERT_EQ(22, mask->height);
    EXPECT_EQ(8, mask->bpp);
    // The blur spreads coverage into the 6-pixel border and loses none of it.
    double sum = 0;
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 22; ++x)
            sum += mask->pixels.GetRow8(y)[x];
    EXPECT_NEAR(100 * 255.0, sum, 100 * 255.0 * 0.02);
    EXPECT_GT(mask->pixels.GetRow8(11)[4], 0);
    EXPECT_LT(mask->pixels.GetRow8(11)[4], 255);
    EXPECT_EQ(0, mask->pixels.GetRow8(0)[0]);
    EXPECT_GE(mask->pixels.GetRow8(11)[11], 200);
    // Mirror symmetry of a centred square.
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 22; ++x)
            ASSERT_NEAR(mask->pixels.GetRow8(y)[x], mask->pixels.GetRow8(y)[21 - x], 1);

    // An 8-bit source and a source rectangle.
    TestSurface grey(20, 20, 8);
    for (int y = 5; y < 10; ++y)
        for (int x = 5; x < 10; ++x)
            grey.buffer.GetRow8(y)[x] = 255;
    const RECT part{5, 5, 10, 10};
    std::unique_ptr<oxDibBitmap> greyMask(MakeShadowMask(grey.buffer, &part, 2));
    ASSERT_TRUE(greyMask);
    EXPECT_EQ(13, greyMask->width);
    EXPECT_GE(greyMask->pixels.GetRow8(6)[6], 180);
}

TEST(ShadowMaskTest, BadParametersGiveNoMask) {
    TestSurface picture(10, 10, 32), wide(10, 10, 16, kLayoutRgb565);
    oxPixelBuffer none;
    const RECT empty{4, 4, 4, 9};
    EXPECT_EQ(nullptr, MakeShadowMask(picture.buffer, nullptr, 0));
    EXPECT_EQ(nullptr, MakeShadowMask(picture.buffer, nullptr, -2));
    EXPECT_EQ(nullptr, MakeShadowMask(picture.buffer, nullptr, 0x7FFFFFFF));
    EXPECT_EQ(nullptr, MakeShadowMask(picture.buffer, &empty, 2));
    EXPECT_EQ(nullptr, MakeShadowMask(wide.buffer, nullptr, 2));
    EXPECT_EQ(nullptr, MakeShadowMask(none, nullptr, 2));
}

} // namespace
