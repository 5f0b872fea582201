#include "graphics/pixels/pixel_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/display_format.h"
#include "graphics/pixels/image_memory.h"
#include "graphics/pixels/pixel_format.h"
#include "platform/win/screen.h"

namespace {

TEST(PixelBuffer, RowsOfBottomUpAndTopDownStorage) {
    uint8_t bits[48] = {};
    oxPixelBuffer b;
    b.InitExternal(bits, 16, 3, -3, 32, 4, false); // a negative height is stored positive
    EXPECT_EQ(b.height, 3);
    EXPECT_EQ(b.GetRow8(0), bits + 32);
    EXPECT_EQ(b.rowStep, -16);
    EXPECT_EQ(b.rowSkip, -28); // -stride - used bytes (3 pixels of 4 bytes)
    EXPECT_EQ(b.GetPixelAddress(2, 1), bits + 16 + 8);

    b.InitExternal(bits, 16, 4, 3, 32, 4, false);
    EXPECT_EQ(b.GetRow8(0), bits + 32);
    EXPECT_EQ(b.rowSkip, -32);

    b.InitExternal(bits, 16, 3, 3, 32, 4, true);
    EXPECT_EQ(b.GetRow32(2), reinterpret_cast<uint32_t*>(bits + 32));
    EXPECT_EQ(b.padding, 4);
    EXPECT_EQ(b.rowSkip, 4);
}

TEST(PixelBuffer, SubRectViewsAddressTheSamePixels) {
    uint8_t bits[4 * 16] = {};
    const RECT rects[] = {{1, 1, 3, 2}, {0, 0, 4, 4}, {2, 0, 4, 3}, {-5, -5, 2, 2}, {3, 3, 10, 10}};
    for (bool topDown : {false, true}) {
        oxPixelBuffer source;
        source.InitExternal(bits, 16, 4, 4, 32, 4, topDown);
        for (const RECT& r : rects) {
            oxPixelBuffer view;
            view.InitSubRect(source, &r);
            ASSERT_TRUE(view.valid);
            const int32_t left = r.left < 0 ? 0 : r.left, top = r.top < 0 ? 0 : r.top;
            EXPECT_EQ(view.width, std::min<int32_t>(r.right, 4) - left);
            for (int y = 0; y < view.height; ++y)
                for (int x = 0; x < view.width; ++x)
                    ASSERT_EQ(view.GetPixelAddress(x, y), source.GetPixelAddress(x + left, y + top))
                        << topDown << " " << r.left << "," << r.top;
        }
        oxPixelBuffer view;
        const RECT outside{4, 0, 8, 4};
        view.InitSubRect(source, &outside);
        EXPECT_FALSE(view.valid);
        EXPECT_EQ(view.width, 0);
        view.InitSubRect(source, nullptr);
        EXPECT_TRUE(view.valid);
        EXPECT_EQ(view.firstRow, source.firstRow);
        EXPECT_EQ(view.height, 4);
    }
    oxPixelBuffer invalid, view;
    view.InitSubRect(invalid, nullptr);
    EXPECT_FALSE(view.valid);
}

TEST(PixelBuffer, FlipVerticalSwapsRows) {
    uint32_t bits[3][2] = {{1, 2}, {3, 4}, {5, 6}};
    oxPixelBuffer b;
    b.InitExternal(bits, 8, 2, 3, 32, 4, true);
    ASSERT_EQ(FlipVertical(b), 1);
    EXPECT_EQ(bits[0][0], 5u);
    EXPECT_EQ(bits[1][1], 4u);
    EXPECT_EQ(bits[2][1], 2u);
    oxPixelBuffer invalid;
    EXPECT_EQ(FlipVertical(invalid), 0);
}

TEST(ImageMemory, BlocksOnBothSidesOfTheThreshold) {
    for (size_t size : {size_t(0), size_t(1), kImageHeapLimit, kImageHeapLimit + 1, size_t(3) << 20}) {
        auto* block = static_cast<uint8_t*>(ImageAlloc(size, 1));
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(ImageSize(block), size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << "pixels and work lines stay aligned";
        for (size_t i = 0; i < size; i += 4093)
            ASSERT_EQ(block[i], 0);
        std::memset(block, 0xAB, size);
        ImageFree(block);
    }
    // Large blocks own their pages.
    void* large = ImageAlloc(kImageHeapLimit + 1, 0);
    EXPECT_EQ((reinterpret_cast<uintptr_t>(large) - 16) % 4096, 0u);
    ImageFree(large);
    ImageFree(nullptr);
    EXPECT_EQ(ImageAlloc(size_t(1) << 40, 0), nullptr);
    EXPECT_EQ(ImageAlloc(SIZE_MAX, 1), nullptr);
}

// A large block freed is taken again by the next large request it can hold, cleared when asked;
// one far smaller gets fresh pages rather than holding on to the large ones.
TEST(ImageMemory, FreedLargeBlockServesTheNextPicture) {
    const size_t size = 3 * kImageHeapLimit;
    auto* first = static_cast<uint8_t*>(ImageAlloc(size, 0));
    ASSERT_NE(first, nullptr);
    std::memset(first, 0xAB, size);
    ImageFree(first);
    auto* again = static_cast<uint8_t*>(ImageAlloc(size - 4096, 1));
    ASSERT_EQ(again, first);
    EXPECT_EQ(ImageSize(again), size - 4096);
    for (size_t i = 0; i < size - 4096; i += 4093)
        ASSERT_EQ(again[i], 0) << i;
    ImageFree(again);
    auto* small = static_cast<uint8_t*>(ImageAlloc(kImageHeapLimit + 1, 0));
    EXPECT_NE(small, first);
    auto* kept = static_cast<uint8_t*>(ImageAlloc(size, 0));
    EXPECT_EQ(kept, first);
    ImageFree(small);
    ImageFree(kept);
}

TEST(ImageMemory, ReallocKeepsContentAcrossTheThreshold) {
    const size_t sizes[] = {16, 100, kImageHeapLimit + 64, 3 * kImageHeapLimit, kImageHeapLimit, 8};
    auto* block = static_cast<uint8_t*>(ImageAlloc(8, 0));
    std::memcpy(block, "pixels!", 8);
    size_t current = 8;
    for (size_t size : sizes) {
        auto* grown = static_cast<uint8_t*>(ImageRealloc(block, size, 1));
        ASSERT_NE(grown, nullptr) << size;
        block = grown;
        EXPECT_EQ(ImageSize(block), size);
        EXPECT_EQ(std::memcmp(block, "pixels!", 8), 0) << size;
        for (size_t i = current; i < size; i += 997)
            ASSERT_EQ(block[i], 0) << "grown bytes are zeroed";
        if (size > 8) std::memset(block + 8, 0x5A, size - 8);
        current = size;
    }
    EXPECT_EQ(ImageRealloc(block, size_t(1) << 40, 0), nullptr);
    EXPECT_EQ(std::memcmp(block, "pixels!", 8), 0) << "a failed realloc keeps the old block";
    ImageFree(block);
    EXPECT_EQ(ImageRealloc(nullptr, 10, 0), nullptr);
    ImageMove(nullptr, "x", 1);
    ImageSet(nullptr, 0, 10);
}

// Screens of each format the device may have.
class DibTest : public ::testing::Test {
protected:
    void UseScreen(int bpp, bool rgb555 = false) {
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{64, 64, bpp, rgb555, 96}));
    }
    void TearDown() override { ConfigureScreen(ScreenConfigFromEnvironment()); }
};

TEST_F(DibTest, ScreenFormatDecidesDepthZero) {
    struct Case {
        int bpp;
        bool rgb555;
        int layout;
        DWORD compression;
        DWORD masks[3];
    } cases[] = {
        {16, false, kLayoutRgb565, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
        {16, true, kLayoutRgb555, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}},
        {32, false, kLayoutUnspecified, BI_RGB, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        UseScreen(c.bpp, c.rgb555);
        oxDibBitmap dib(5, 3, 0, true, true);
        ASSERT_TRUE(dib.valid);
        EXPECT_EQ(dib.bpp, c.bpp);
        EXPECT_EQ(dib.layout, c.layout);
        EXPECT_EQ(dib.pixels.layout, c.layout);
        EXPECT_EQ(dib.header->biCompression, c.compression);
        if (c.compression == BI_BITFIELDS) {
            EXPECT_EQ(std::memcmp(dib.colorTable, c.masks, sizeof c.masks), 0);
        }
        EXPECT_EQ(dib.stride, c.bpp == 16 ? 12 : 20);
        EXPECT_EQ(dib.header->biHeight, -3);
    }
    UseScreen(16);
    oxDibBitmap explicit16(4, 4, 16, false, false);
    EXPECT_EQ(explicit16.layout, kLayoutUnspecified) << "an explicit 16 is not probed";
}

TEST_F(DibTest, ProbeMeasuresChannels) {
    int r, g, b;
    UseScreen(16);
    EXPECT_EQ(GetScreenChannelBits(&r, &g, &b), 16);
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{5, 6, 5}));
    UseScreen(16, true);
    GetScreenChannelBits(&r, &g, &b);
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{5, 5, 5}));
    UseScreen(32);
    EXPECT_EQ(GetScreenChannelBits(&r, &g, &b), 32);
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{8, 8, 8}));
}

TEST_F(DibTest, GreyRampAndBadSizes) {
    oxDibBitmap grey(3, 2, 8, false, false);
    ASSERT_TRUE(grey.valid);
    EXPECT_EQ(grey.colorTable[0].rgbRed, 255);
    EXPECT_EQ(grey.colorTable[0].rgbBlue, 255);
    EXPECT_EQ(grey.colorTable[255].rgbGreen, 0);
    EXPECT_EQ(grey.header->biClrUsed, 256u);
    EXPECT_EQ(grey.header->biSizeImage, 8u);
    EXPECT_EQ(grey.bits, reinterpret_cast<uint8_t*>(grey.header) + 40 + 1024);

    // An 8-bit picture is drawn through its table: index 0 is white.
    oxDibBitmap indexed(2, 1, 8, true, true), out(2, 1, 32, true, true);
    indexed.bits[0] = 0, indexed.bits[1] = 255;
    ASSERT_EQ(indexed.CopyInto(&out), 1);
    EXPECT_EQ(out.pixels.GetRow32(0)[0] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(out.pixels.GetRow32(0)[1] & 0xFFFFFF, 0u);

    // A one-bit section is black on white.
    oxDibBitmap mono(8, 1, 1, true, true);
    ASSERT_TRUE(mono.valid);
    mono.bits[0] = 0x80;
    HDC dc = mono.AcquireDC();
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
    mono.ReleaseDC();

    const int sizes[][3] = {{0, 4, 32},      {4, 0, 32},         {-4, 4, 32}, {4, -4, 32},
                            {100000, 4, 32}, {30000, 30000, 32}, {4, 4, 7},   {4, 4, 64}};
    for (const auto& s : sizes) {
        for (bool section : {false, true}) {
            oxDibBitmap dib(s[0], s[1], s[2], true, section);
            EXPECT_FALSE(dib.valid) << s[0] << "x" << s[1] << "x" << s[2];
            EXPECT_EQ(dib.AcquireDC(), nullptr);
            EXPECT_EQ(dib.DrawTo(nullptr, nullptr, nullptr), 0);
        }
    }
}

TEST_F(DibTest, SectionBitsAreDrawnThroughItsDc) {
    UseScreen(32);
    oxDibBitmap dib(4, 4, 32, false, true);
    ASSERT_TRUE(dib.valid);
    HDC dc = dib.AcquireDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(dib.AcquireDC(), dc) << "nested uses share one DC";
    EXPECT_EQ(dib.dcUseCount, 2);
    SetPixel(dc, 1, 0, RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(dib.pixels.GetRow32(0)[1], 0x00112233u);
    EXPECT_EQ(dib.ReleaseDC(), 1);
    EXPECT_EQ(dib.ReleaseDC(), 1);
    EXPECT_EQ(dib.ReleaseDC(), 0);
    EXPECT_EQ(dib.memoryDC, nullptr);

    oxDibBitmap plain(4, 4, 32, true, false);
    EXPECT_EQ(plain.AcquireDC(), nullptr);
}

TEST_F(DibTest, DrawIntoCopiesAndScales) {
    UseScreen(32);
    for (bool sourceSection : {false, true}) {
        for (bool sourceTopDown : {false, true}) {
            oxDibBitmap source(2, 2, 32, sourceTopDown, sourceSection);
            oxDibBitmap target(4, 4, 32, true, true);
            ASSERT_TRUE(source.valid && target.valid);
            source.pixels.GetRow32(0)[0] = 1, source.pixels.GetRow32(0)[1] = 2;
            source.pixels.GetRow32(1)[0] = 3, source.pixels.GetRow32(1)[1] = 4;
            const RECT all{0, 0, 4, 4};
            EXPECT_EQ(source.DrawInto(&target, &all, nullptr), 1);
            const uint32_t expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    ASSERT_EQ(target.pixels.GetRow32(y)[x], expected[y][x]) << sourceSection << sourceTopDown;
            // Part of the source: its second row into the target's corner.
            const RECT src{0, 1, 2, 2}, dst{2, 3, 4, 4};
            EXPECT_EQ(source.DrawInto(&target, &dst, &src), 1);
            EXPECT_EQ(target.pixels.GetRow32(3)[2], 3u);
            EXPECT_EQ(target.pixels.GetRow32(3)[3], 4u);
            const RECT empty{1, 1, 1, 2};
            EXPECT_EQ(source.DrawInto(&target, nullptr, &empty), 1) << "a zero-width source draws nothing";
        }
    }
    // While the bitmap's own DC holds its section, drawing it still works.
    oxDibBitmap a(2, 2, 32, true, true), b(2, 2, 32, true, true);
    a.pixels.GetRow32(1)[1] = 9;
    ASSERT_NE(a.AcquireDC(), nullptr);
    EXPECT_EQ(a.CopyInto(&b), 1);
    EXPECT_EQ(b.pixels.GetRow32(1)[1], 9u);
    a.ReleaseDC();
}

TEST_F(DibTest, BlitPixelBufferPlacesPartialRectangles) {
    UseScreen(32);
    oxDibBitmap target(3, 3, 32, true, true);
    HDC dc = target.AcquireDC();
    for (bool topDown : {true, false}) {
        uint32_t bits[9] = {};
        oxPixelBuffer buffer;
        buffer.InitExternal(bits, 12, 3, 3, 32, 4, topDown);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                buffer.GetRow32(y)[x] = uint32_t(10 * y + x);
        const RECT rect{1, 1, 3, 2}; // row 1, columns 1 and 2
        EXPECT_EQ(BlitPixelBufferToDC(dc, buffer, rect, rect), 1);
        EXPECT_EQ(target.pixels.GetRow32(1)[1], 11u) << topDown;
        EXPECT_EQ(target.pixels.GetRow32(1)[2], 12u) << topDown;
        EXPECT_EQ(target.pixels.GetRow32(0)[1], 0u);
        target.pixels.GetRow32(1)[1] = target.pixels.GetRow32(1)[2] = 0;
        const RECT outside{5, 5, 6, 6};
        EXPECT_EQ(BlitPixelBufferToDC(dc, buffer, outside, outside), 1);
    }
    target.ReleaseDC();
}

TEST_F(DibTest, ConvertPixelsBetweenDepths) {
    UseScreen(32);
    // 32 -> 16 with the ordered dither.
    uint32_t wide[2] = {0xFF808080, 0xFFFFFFFF};
    uint16_t narrow[2] = {};
    oxPixelBuffer src, dst;
    src.InitExternal(wide, 8, 2, 1, 32, 4, true);
    dst.InitExternal(narrow, 4, 2, 1, 16, 2, true, kLayoutRgb565);
    ASSERT_EQ(ConvertPixels(dst, src), 1);
    EXPECT_EQ(narrow[0], (16 << 11) | (16 << 6) | 16);
    EXPECT_EQ(narrow[1], (31 << 11) | (31 << 6) | 31);

    // 16 -> 32 takes the top five bits of each channel; alpha stays 0.
    narrow[0] = 0xFFFF;
    dst.layout = kLayoutRgb565;
    ASSERT_EQ(ConvertPixels(src, dst), 1);
    EXPECT_EQ(wide[0], 0x00F8F8F8u);
    narrow[0] = 0x7C00; // full red in 5-5-5
    dst.layout = kLayoutRgb555;
    ASSERT_EQ(ConvertPixels(src, dst), 1);
    EXPECT_EQ(wide[0], 0x00F80000u);

    // 24 -> 32: bytes blue, green, red; opaque.
    uint8_t bgr[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    oxPixelBuffer triple;
    triple.InitExternal(bgr, 8, 2, 1, 24, 3, true);
    ASSERT_EQ(ConvertPixels(src, triple), 1);
    EXPECT_EQ(wide[0], 0xFF030201u);
    EXPECT_EQ(wide[1], 0xFF060504u);

    oxPixelBuffer grey;
    uint8_t g[2];
    grey.InitExternal(g, 4, 2, 1, 8, 1, true);
    EXPECT_EQ(ConvertPixels(dst, grey), 0) << "8 to 16 is not a conversion there is";
}

TEST_F(DibTest, ConvertDibDepth) {
    UseScreen(16);
    auto* same = new oxDibBitmap(2, 2, 32, true, false);
    EXPECT_EQ(ConvertDibDepth(same, 32), same);

    // 32 -> 16 on a 16-bit screen gives the screen's own layout.
    same->pixels.GetRow32(0)[0] = 0xFFFFFFFF;
    oxDibBitmap* narrow = ConvertDibDepth(same, 16);
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(narrow->bpp, 16);
    EXPECT_EQ(narrow->layout, kLayoutRgb565);
    EXPECT_EQ(narrow->pixels.GetRow16(0)[0], 0xFFDF) << "white dithered into 5-6-5 with green's top five bits";

    // 16 -> 32 goes through the platform blit.
    oxDibBitmap* wide = ConvertDibDepth(narrow, 32);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->bpp, 32);
    EXPECT_EQ(wide->pixels.GetRow32(0)[0] & 0xFFFFFF, 0xFFFBFFu);
    EXPECT_EQ(wide->premultiplied, 0);

    auto* triple = new oxDibBitmap(1, 1, 24, false, false);
    triple->pixels.GetRow8(0)[2] = 0x80;
    oxDibBitmap* opaque = ConvertDibDepth(triple, 32);
    ASSERT_NE(opaque, nullptr);
    EXPECT_EQ(opaque->premultiplied, 1);
    EXPECT_EQ(opaque->pixels.GetRow32(0)[0], 0xFF800000u);
    delete opaque;
    delete wide;
    EXPECT_EQ(ConvertDibDepth(nullptr, 32), nullptr);
}

} // namespace
