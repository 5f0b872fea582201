#include "graphics/image/image_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/image/frame_list.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/tests/image_test_util.h"

namespace {

// The pixel formulas of tests/data/images/make_images.py, computed again here.
int Sample(int x, int y, int c, int depth) {
    const int64_t h = x * 37 + y * 61 + c * 97 + 13;
    return int((h * h * 7 + h) % (int64_t(1) << depth));
}

int To8(int v, int depth) {
    if (depth == 16) return v >> 8;
    return depth == 8 ? v : v * 255 / ((1 << depth) - 1);
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

enum class Trns { none, grey, rgb, palette };

struct PngCase {
    const char* file;
    int width, height, type, depth;
    Trns trns;
};

// Straight (not premultiplied) colour of a pixel.
uint32_t ExpectedPng(const PngCase& c, int x, int y) {
    const int d = c.depth;
    uint32_t a = 255, r, g, b;
    if (c.type == 3) {
        const int i = Sample(x, y, 0, d);
        r = (i * 53 + 7) & 255, g = (i * 101 + 3) & 255, b = (i * 197 + 11) & 255;
        if (c.trns == Trns::palette && i < 8) a = (i * 70) & 255;
    } else if (c.type == 0 || c.type == 4) {
        r = g = b = To8(Sample(x, y, 0, d), d);
        if (c.type == 4) a = To8(Sample(x, y, 1, d), d);
        if (c.trns == Trns::grey && Sample(x, y, 0, d) == Sample(0, 0, 0, d)) a = 0;
    } else {
        r = To8(Sample(x, y, 0, d), d), g = To8(Sample(x, y, 1, d), d), b = To8(Sample(x, y, 2, d), d);
        if (c.type == 6) a = To8(Sample(x, y, 3, d), d);
        bool same = true;
        for (int k = 0; k < 3; ++k)
            same = same && Sample(x, y, k, d) == Sample(1, 1, k, d);
        if (c.trns == Trns::rgb && same) a = 0;
    }
    return Argb(a, r, g, b);
}

// Colour times alpha stretched to 0..256, then a shift by 8, as the PNG rows are stored: opaque
// colours stay as they are, transparent ones become 0.
uint32_t PremultiplyByShift(uint32_t p) {
    const uint32_t a = p >> 24, scale = a + (a >> 7);
    return Argb(a, (p >> 16 & 255) * scale >> 8, (p >> 8 & 255) * scale >> 8, (p & 255) * scale >> 8);
}

TEST(PngPremultiply, OpaqueColoursStayWhole) {
    for (uint32_t p : {0xFFFFFFFFu, 0xFF80FF01u, 0x80FFFFFFu, 0x00FFFFFFu}) {
        const uint32_t a = p >> 24;
        const uint32_t got = PremultiplyByShift(p);
        EXPECT_EQ(got >> 24, a);
        for (int shift : {0, 8, 16}) {
            const int exact = int((p >> shift & 255) * a + 127) / 255;
            EXPECT_LE(std::abs(int(got >> shift & 255) - exact), 1) << std::hex << p;
        }
    }
    EXPECT_EQ(PremultiplyByShift(0xFFFFFFFFu), 0xFFFFFFFFu);
}

class PngDecoding : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngDecoding, EveryPixelMatchesTheFormula) {
    const PngCase& c = GetParam();
    oxFrameList list;
    ASSERT_EQ(DecodeBytes(ReadImageFixture(c.file), &list), 1);
    ASSERT_EQ(list.GetFrameCount(), 1u);
    EXPECT_EQ(list.Entry(0)->delay, -1);
    EXPECT_EQ(list.Entry(0)->bitDepth, 32);
    const oxDibBitmap* image = list.GetFrame(0);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, c.width);
    ASSERT_EQ(image->height, c.height);
    const bool alpha = c.type == 4 || c.type == 6 || c.trns != Trns::none;
    EXPECT_EQ(image->bpp, alpha ? 32 : 24);
    EXPECT_EQ(image->premultiplied, alpha ? 1 : 0);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const uint32_t want = ExpectedPng(c, x, y);
            if (alpha) {
                ASSERT_EQ(image->pixels.GetRow32(y)[x], PremultiplyByShift(want)) << "at " << x << "," << y;
            } else {
                const uint8_t* p = image->pixels.GetRow8(y) + 3 * x;
                ASSERT_EQ(Argb(255, p[2], p[1], p[0]), want) << "at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    ColourTypesDepthsAndInterlacing, PngDecoding,
    ::testing::Values(
        PngCase{"png_c0_d1.png", 5, 3, 0, 1, Trns::none}, PngCase{"png_c0_d2.png", 5, 3, 0, 2, Trns::none},
        PngCase{"png_c0_d4.png", 5, 3, 0, 4, Trns::none}, PngCase{"png_c0_d8.png", 5, 3, 0, 8, Trns::none},
        PngCase{"png_c0_d16.png", 5, 3, 0, 16, Trns::none}, PngCase{"png_c2_d8.png", 5, 3, 2, 8, Trns::none},
        PngCase{"png_c2_d16.png", 5, 3, 2, 16, Trns::none}, PngCase{"png_c3_d1.png", 5, 3, 3, 1, Trns::none},
        PngCase{"png_c3_d2.png", 5, 3, 3, 2, Trns::none}, PngCase{"png_c3_d4.png", 5, 3, 3, 4, Trns::none},
        PngCase{"png_c3_d8.png", 5, 3, 3, 8, Trns::none}, PngCase{"png_c4_d8.png", 5, 3, 4, 8, Trns::none},
        PngCase{"png_c4_d16.png", 5, 3, 4, 16, Trns::none}, PngCase{"png_c6_d8.png", 5, 3, 6, 8, Trns::none},
        PngCase{"png_c6_d16.png", 5, 3, 6, 16, Trns::none}, PngCase{"png_c0_d8_trns.png", 5, 3, 0, 8, Trns::grey},
        PngCase{"png_c2_d8_trns.png", 5, 3, 2, 8, Trns::rgb}, PngCase{"png_c3_d4_trns.png", 5, 3, 3, 4, Trns::palette},
        PngCase{"png_c6_d8_i9x9.png", 9, 9, 6, 8, Trns::none}, PngCase{"png_c0_d1_i5x3.png", 5, 3, 0, 1, Trns::none},
        PngCase{"png_c2_d8_i1x1.png", 1, 1, 2, 8, Trns::none}, PngCase{"png_c3_d8_i3x2.png", 3, 2, 3, 8, Trns::none}),
    [](const ::testing::TestParamInfo<PngCase>& param) {
        std::string name = param.param.file;
        return name.substr(0, name.find('.'));
    });

constexpr uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, Y = 0xFFFFFF00, W = 0xFFFFFFFF, T = 0;

std::vector<uint32_t> Pixels32(const oxDibBitmap* image) {
    std::vector<uint32_t> out;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            out.push_back(image->pixels.GetRow32(y)[x]);
    return out;
}

TEST(GifDecoding, FramesFollowEachDisposalMethod) {
    oxFrameList list;
    ASSERT_EQ(DecodeBytes(ReadImageFixture("gif_disposals.gif"), &list), 1);
    // Dispositions in order: 1 (keep), 2 (to background), 3 (to previous), 0, 1.
    const std::vector<std::vector<uint32_t>> frames = {
        {R, R, R, R, R, R, R, R, R, R, R, R, R, R, R, R},
        // The second image's transparent pixel shows the red below it.
        {R, R, R, R, R, G, R, R, R, G, G, R, R, R, R, R},
        // Its rectangle went back to transparent before the blue pixel was drawn.
        {B, R, R, R, R, T, T, R, R, T, T, R, R, R, R, R},
        // Back to the last frame that was kept: the first, then yellow in the corner.
        {R, R, R, R, R, R, R, R, R, R, R, R, R, R, R, Y},
        {R, R, R, R, R, R, R, R, R, R, R, R, W, W, R, Y},
    };
    const int32_t delays[] = {80, 500, 100, 80, 200}; // 2 and 0 hundredths are raised to 80 ms
    ASSERT_EQ(list.GetFrameCount(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const oxDibBitmap* image = list.GetFrame(int32_t(i));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->premultiplied, 1);
        EXPECT_EQ(Pixels32(image), frames[i]) << "frame " << i;
        EXPECT_EQ(list.GetFrameDelay(int32_t(i)), delays[i]) << "frame " << i;
    }
    EXPECT_EQ(list.loopCount, 2);
}

TEST(GifDecoding, InterlacedImageWithoutControlExtensionsPlaysOnce) {
    oxFrameList list;
    ASSERT_EQ(DecodeBytes(ReadImageFixture("gif_interlaced.gif"), &list), 1);
    ASSERT_EQ(list.GetFrameCount(), 1u);
    EXPECT_EQ(list.Entry(0)->delay, 0);
    EXPECT_EQ(list.loopCount, 0);
    const uint32_t local[] = {0xFF000000, 0xFF323C46, 0xFF5A646E, 0xFF828C96};
    const oxDibBitmap* image = list.GetFrame(0);
    ASSERT_NE(image, nullptr);
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(image->pixels.GetRow32(y)[0], local[y % 4]) << "row " << y;
        EXPECT_EQ(image->pixels.GetRow32(y)[1], local[y % 4]) << "row " << y;
        EXPECT_EQ(image->pixels.GetRow32(y)[2], T) << "row " << y;
    }
}

TEST(GifDecoding, FramePastTheScreenIsCutAndUnknownIndexesLeftOut) {
    oxFrameList list;
    ASSERT_EQ(DecodeBytes(ReadImageFixture("gif_outside.gif"), &list), 1);
    const oxDibBitmap* image = list.GetFrame(0);
    ASSERT_NE(image, nullptr);
    std::vector<uint32_t> want(16, T);
    want[2 * 4 + 3] = 0xFF040506; // index 1 of the two-entry map; index 3 below it is not in the map
    EXPECT_EQ(Pixels32(image), want);
}

uint8_t Clamp(double v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v + 0.5);
}

TEST(JpegDecoding, ProgressiveAndBaselineGiveTheBlocksColours) {
    const int ycc[4][3] = {{76, 85, 255}, {150, 44, 21}, {29, 255, 107}, {128, 128, 128}};
    for (const char* file : {"jpeg_progressive.jpg", "jpeg_baseline.jpg"}) {
        SCOPED_TRACE(file);
        oxFrameList list;
        ASSERT_EQ(DecodeBytes(ReadImageFixture(file), &list), 1);
        const oxDibBitmap* image = list.GetFrame(0);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->width, 16);
        ASSERT_EQ(image->height, 16);
        ASSERT_EQ(image->bpp, 24);
        EXPECT_EQ(list.Entry(0)->delay, -1);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const int* c = ycc[(y / 8) * 2 + x / 8];
                const double cb = c[1] - 128, cr = c[2] - 128;
                const uint8_t want[3] = {Clamp(c[0] + 1.772 * cb), Clamp(c[0] - 0.34414 * cb - 0.71414 * cr),
                                         Clamp(c[0] + 1.402 * cr)};
                const uint8_t* p = image->pixels.GetRow8(y) + 3 * x;
                // The library's fixed-point colour conversion may round one step apart from ours.
                for (int k = 0; k < 3; ++k)
                    ASSERT_NEAR(p[k], want[k], 1) << x << "," << y << " byte " << k;
            }
        }
    }
}

int IconPixel(int x, int y, int c) {
    return (x * 41 + y * 23 + c * 67 + 5) & 255;
}

uint32_t IconExpected(int bits, int entries, int x, int y) {
    if (bits == 32) {
        const uint32_t a = (x * 85 + y * 40) & 255;
        return Argb(a, IconPixel(x, y, 2) * a / 255, IconPixel(x, y, 1) * a / 255, IconPixel(x, y, 0) * a / 255);
    }
    if ((x + y) % 3 == 0) return T; // masked
    if (bits == 24) return Argb(255, IconPixel(x, y, 2), IconPixel(x, y, 1), IconPixel(x, y, 0));
    const int index = (x * 3 + y * 5 + 1) % (1 << bits);
    if (bits == 1) return index ? W : 0xFF000000;
    if (index >= entries) return 0xFF000000; // an index past the colour table
    return Argb(255, IconPixel(index, 0, 2), IconPixel(index, 0, 1), IconPixel(index, 0, 0));
}

TEST(IcoDecoding, EveryImageDecodesAndTheLargestIsCurrent) {
    struct Icon {
        int width, height, bits, entries;
    };
    const Icon icons[] = {{4, 4, 8, 4}, {8, 8, 32, 0}, {6, 6, 24, 0}, {3, 3, 1, 0}, {5, 2, 4, 16}};
    oxFrameList list;
    ASSERT_EQ(DecodeBytes(ReadImageFixture("ico_sizes.ico"), &list), 1);
    ASSERT_EQ(list.GetFrameCount(), 5u);
    EXPECT_EQ(list.pickLargest, 1);
    EXPECT_EQ(list.current, 1u); // 8 x 8 at 32 bits
    for (int i = 0; i < 5; ++i) {
        const Icon& icon = icons[i];
        SCOPED_TRACE(i);
        const oxDibBitmap* image = list.GetFrame(i);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(list.Entry(i)->bitDepth, icon.bits);
        EXPECT_EQ(image->premultiplied, 1);
        ASSERT_EQ(image->width, icon.width);
        ASSERT_EQ(image->height, icon.height);
        for (int y = 0; y < icon.height; ++y)
            for (int x = 0; x < icon.width; ++x)
                ASSERT_EQ(image->pixels.GetRow32(y)[x], IconExpected(icon.bits, icon.entries, x, y)) << x << "," << y;
    }
}

TEST(ImageRecognition, BitmapFilesGiveOneFrameWithoutAnImage) {
    oxFrameList list;
    ASSERT_EQ(DecodeBytes(ReadImageFixture("bmp_2x2.bmp"), &list), 1);
    ASSERT_EQ(list.GetFrameCount(), 1u);
    EXPECT_EQ(list.GetFrame(0), nullptr);
    EXPECT_EQ(list.Entry(0)->delay, -1);
}

TEST(ImageRecognition, MagicBytesDecideTheFormat) {
    oxFrameList list;
    EXPECT_EQ(DecodeBytes({0xFF, 0xD8}, &list), 0); // JPEG, but no frame
    EXPECT_EQ(DecodeBytes({'B', 'M'}, &list), 0);   // a bitmap file is at least three bytes
    EXPECT_EQ(DecodeBytes({'B', 'M', 0}, &list), 1);
    const std::vector<uint8_t> png = ReadImageFixture("png_c2_d8.png");
    EXPECT_EQ(DecodeBytes(std::vector<uint8_t>(png.begin(), png.begin() + 7), &list), 0);
    EXPECT_EQ(DecodeBytes({'h', 'e', 'l', 'l', 'o'}, &list), 0);
    EXPECT_EQ(list.GetFrameCount(), 0u);
    EXPECT_EQ(DecodeImage(nullptr, 10, &list), 0);
    EXPECT_EQ(DecodeImage(nullptr, 0, nullptr), 0);

    // A list is cleared before it gets new frames.
    ASSERT_EQ(DecodeBytes(ReadImageFixture("gif_disposals.gif"), &list), 1);
    list.Advance();
    ASSERT_EQ(DecodeBytes(png, &list), 1);
    EXPECT_EQ(list.GetFrameCount(), 1u);
    EXPECT_EQ(list.current, 0u);
}

} // namespace
