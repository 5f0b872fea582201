#include "platform/win/gdi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/win/screen.h"

namespace {

// A DIB description with room for three masks or a small colour table.
struct DibInfo {
    BITMAPINFOHEADER header{};
    DWORD extra[256]{};

    DibInfo(int width, int height, int bpp) {
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = WORD(bpp);
    }
    const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

// A memory DC with a fresh section selected; cleans up after itself.
struct MemorySection {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;

    explicit MemorySection(const DibInfo& info) {
        bitmap = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
    }
    ~MemorySection() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    uint32_t* Pixels32() const { return static_cast<uint32_t*>(bits); }
    uint16_t* Pixels16() const { return static_cast<uint16_t*>(bits); }
};

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ConfigureScreen(ScreenConfig{64, 48, 32, false, 96})); }
    void TearDown() override { ConfigureScreen(ScreenConfigFromEnvironment()); }
};

TEST_F(GdiTest, SectionBitsAndDcSeeTheSamePixels) {
    MemorySection top(DibInfo(4, -3, 32)); // top-down
    ASSERT_NE(top.bits, nullptr);
    ASSERT_NE(top.previous, nullptr);
    EXPECT_EQ(SetPixel(top.dc, 1, 2, RGB(0x10, 0x20, 0x30)), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(top.Pixels32()[2 * 4 + 1], 0x00102030u);
    top.Pixels32()[0] = 0x80AABBCC;
    EXPECT_EQ(GetPixel(top.dc, 0, 0), RGB(0xAA, 0xBB, 0xCC));

    MemorySection bottom(DibInfo(4, 3, 32)); // bottom-up: row 0 is last in memory
    SetPixel(bottom.dc, 1, 0, RGB(1, 2, 3));
    EXPECT_EQ(bottom.Pixels32()[2 * 4 + 1], 0x00010203u);
    EXPECT_EQ(GetPixel(bottom.dc, 4, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(bottom.dc, -1, 0), CLR_INVALID);
}

TEST_F(GdiTest, SixteenBitSectionsHonourTheirMasks) {
    DibInfo rgb565(2, -1, 16);
    rgb565.header.biCompression = BI_BITFIELDS;
    rgb565.extra[0] = 0xF800, rgb565.extra[1] = 0x07E0, rgb565.extra[2] = 0x001F;
    MemorySection s565(rgb565);
    MemorySection s555(DibInfo(2, -1, 16)); // BI_RGB 16 bpp is 5-5-5
    SetPixel(s565.dc, 0, 0, RGB(0xFF, 0x84, 0x08));
    SetPixel(s555.dc, 0, 0, RGB(0xFF, 0x84, 0x08));
    EXPECT_EQ(s565.Pixels16()[0], (31 << 11) | (33 << 5) | 1);
    EXPECT_EQ(s555.Pixels16()[0], (31 << 10) | (16 << 5) | 1);
    // Reading back expands the top bits into the low ones.
    EXPECT_EQ(GetPixel(s565.dc, 0, 0), RGB(0xFF, 0x86, 0x08));
}

TEST_F(GdiTest, BitBltBetweenMemoryDcs) {
    MemorySection a(DibInfo(4, -4, 32)), b(DibInfo(4, -4, 32));
    for (int i = 0; i < 16; ++i)
        a.Pixels32()[i] = 0xFF000000u | uint32_t(i);
    ASSERT_TRUE(BitBlt(b.dc, 1, 1, 2, 2, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(b.Pixels32()[1 * 4 + 1], 0xFF000000u); // all four bytes travel between equal formats
    EXPECT_EQ(b.Pixels32()[1 * 4 + 2], 0xFF000001u);
    EXPECT_EQ(b.Pixels32()[2 * 4 + 2], 0xFF000005u);
    EXPECT_EQ(b.Pixels32()[0], 0u);
    EXPECT_EQ(b.Pixels32()[3 * 4 + 3], 0u);

    // Into another format the colour is converted without dithering.
    DibInfo rgb565(4, -4, 16);
    rgb565.header.biCompression = BI_BITFIELDS;
    rgb565.extra[0] = 0xF800, rgb565.extra[1] = 0x07E0, rgb565.extra[2] = 0x001F;
    MemorySection c(rgb565);
    a.Pixels32()[0] = 0x00FF8000;
    ASSERT_TRUE(BitBlt(c.dc, 0, 0, 4, 4, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(c.Pixels16()[0], (31 << 11) | (32 << 5));

    // Overlapping copy within one bitmap moves the content intact.
    ASSERT_TRUE(BitBlt(a.dc, 1, 0, 3, 4, a.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(a.Pixels32()[1], 0x00FF8000u);
    EXPECT_EQ(a.Pixels32()[2], 0xFF000001u);
    EXPECT_EQ(a.Pixels32()[3], 0xFF000002u);
}

TEST_F(GdiTest, StretchScalesByNearestPixel) {
    MemorySection a(DibInfo(2, -2, 32)), b(DibInfo(4, -4, 32));
    const uint32_t src[4] = {1, 2, 3, 4};
    std::memcpy(a.bits, src, sizeof src);
    ASSERT_TRUE(StretchBlt(b.dc, 0, 0, 4, 4, a.dc, 0, 0, 2, 2, SRCCOPY));
    const uint32_t expected[16] = {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4};
    EXPECT_EQ(std::memcmp(b.bits, expected, sizeof expected), 0);
}

TEST_F(GdiTest, StretchDIBitsCountsBottomUpSourceRowsFromTheBottom) {
    MemorySection target(DibInfo(2, -2, 32));
    DibInfo info(2, 3, 32); // bottom-up: memory row 0 is picture row 2
    const uint32_t bits[6] = {20, 21, 10, 11, 0, 1};
    // Source y 1 from the bottom with height 1 is the middle row.
    EXPECT_EQ(StretchDIBits(target.dc, 0, 0, 2, 1, 0, 1, 2, 1, bits, info.get(), DIB_RGB_COLORS, SRCCOPY), 1);
    EXPECT_EQ(target.Pixels32()[0], 10u);
    EXPECT_EQ(target.Pixels32()[1], 11u);

    DibInfo grey(2, -1, 8); // top-down with a two-entry table
    grey.header.biClrUsed = 2;
    grey.extra[0] = 0x00FFFFFF, grey.extra[1] = 0x00000000;
    const uint8_t indexes[4] = {1, 0, 0, 0};
    EXPECT_EQ(StretchDIBits(target.dc, 0, 1, 2, 1, 0, 0, 2, 1, indexes, grey.get(), DIB_RGB_COLORS, SRCCOPY), 1);
    EXPECT_EQ(target.Pixels32()[2] & 0xFFFFFF, 0u);
    EXPECT_EQ(target.Pixels32()[3] & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(GdiTest, ScreenPixelsQuantiseToTheScreenFormat) {
    struct Case {
        int bpp;
        bool rgb555;
        COLORREF stored;
    } cases[] = {
        {32, false, RGB(0x87, 0x45, 0x23)},
        {16, false, RGB(0x84, 0x45, 0x21)},
        {16, true, RGB(0x84, 0x42, 0x21)},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{64, 48, c.bpp, c.rgb555, 96}));
        HDC screen = GetDC(nullptr);
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), c.bpp);
        EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 64);
        EXPECT_EQ(SetPixel(screen, 5, 7, RGB(0x87, 0x45, 0x23)), c.stored) << c.bpp;
        EXPECT_EQ(GetPixel(screen, 5, 7), c.stored);
        EXPECT_EQ(ReadScreenPixel(5, 7),
                  (uint32_t(GetRValue(c.stored)) << 16) | (GetGValue(c.stored) << 8) | GetBValue(c.stored));
        EXPECT_EQ(SetPixel(screen, 64, 0, 0), CLR_INVALID);
        EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    }
}

TEST_F(GdiTest, CompatibleBitmapsTakeTheScreenFormat) {
    ASSERT_TRUE(ConfigureScreen(ScreenConfig{64, 48, 16, false, 96}));
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_EQ(SetPixel(memory, 0, 0, RGB(0, 0x0C, 0)), RGB(0, 0x0C, 0)); // green keeps six bits
    EXPECT_EQ(SetPixel(memory, 0, 0, RGB(0x0C, 0, 0)), RGB(0x08, 0, 0)); // red keeps five
    EXPECT_FALSE(DeleteObject(bitmap)) << "a selected bitmap stays alive";
    SelectObject(memory, old);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(memory));
}

TEST_F(GdiTest, BadArgumentsFailCleanly) {
    for (int size : {0, -0x7FFFFFFF, 0x7FFFFFFF, 100000}) {
        DibInfo info(size, 4, 32);
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << size;
        EXPECT_EQ(bits, nullptr);
        DibInfo tall(4, size, 32);
        EXPECT_EQ(CreateDIBSection(nullptr, tall.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << size;
    }
    DibInfo odd(4, 4, 7);
    EXPECT_EQ(CreateDIBSection(nullptr, odd.get(), DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);

    MemorySection a(DibInfo(2, 2, 32));
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, -1, 1, a.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(a.dc, 0, 0, 0, 0, a.dc, 0, 0, SRCCOPY));
    // Huge rectangles are clipped, not walked.
    EXPECT_TRUE(BitBlt(a.dc, -0x40000000, 0, 0x7FFFFFFF, 1, a.dc, 0x7FFF0000, 0, SRCCOPY));
    EXPECT_TRUE(StretchBlt(a.dc, -0x7FFFFFFF, -0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, a.dc, 0, 0, 2, 2, SRCCOPY));
    // Sources far outside the surface read nothing (run under the sanitizers to see a stray read).
    a.Pixels32()[0] = 0x00ABCDEF;
    EXPECT_TRUE(BitBlt(a.dc, 0, 0, 2, 2, a.dc, INT32_MIN, INT32_MIN, SRCCOPY));
    EXPECT_TRUE(BitBlt(a.dc, 0, 0, 2, 2, a.dc, INT32_MAX, 0, SRCCOPY));
    EXPECT_EQ(a.Pixels32()[0], 0x00ABCDEFu);
    DibInfo upInfo(2, 2, 32);
    const uint32_t up[4] = {1, 2, 3, 4};
    EXPECT_EQ(StretchDIBits(a.dc, 0, 0, 2, 2, 0, INT32_MIN, 2, 2, up, upInfo.get(), DIB_RGB_COLORS, SRCCOPY),
              GDI_ERROR);
    EXPECT_EQ(a.Pixels32()[0], 0x00ABCDEFu);
    EXPECT_EQ(StretchDIBits(a.dc, 0, 0, 1, 1, 0, 0, 1, 1, a.bits, nullptr, DIB_RGB_COLORS, SRCCOPY), GDI_ERROR);
    EXPECT_EQ(SelectObject(nullptr, a.bitmap), nullptr);
    // A section is selected into one DC at a time.
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, a.bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other)) << "a deleted DC is no longer known";
    EXPECT_EQ(ReleaseDC(nullptr, a.dc), 0) << "memory DCs are deleted, not released";
}

TEST_F(GdiTest, WindowDcDrawsIntoTheScreenClippedToTheWindow) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"GdiTestWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"GdiTestWindow", u"", WS_POPUP | WS_VISIBLE, 10, 20, 8, 6, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(ReadScreenPixel(10, 20), 0xFF0000u);
    EXPECT_EQ(SetPixel(dc, 8, 0, RGB(255, 0, 0)), CLR_INVALID) << "outside the window";
    EXPECT_EQ(ReadScreenPixel(18, 20), 0u);
    // Coordinates at the ends of the range stay outside once the window's origin is added.
    EXPECT_EQ(SetPixel(dc, INT32_MAX, INT32_MAX, RGB(255, 0, 0)), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, INT32_MAX, 0), CLR_INVALID);
    MemorySection dot(DibInfo(4, 4, 32));
    EXPECT_TRUE(BitBlt(dc, INT32_MAX - 1, INT32_MAX - 1, 4, 4, dot.dc, 0, 0, SRCCOPY));

    // A blit from a memory DC is clipped to the window as well.
    MemorySection src(DibInfo(16, -16, 32));
    for (int i = 0; i < 256; ++i)
        src.Pixels32()[i] = 0x00123456;
    ASSERT_TRUE(BitBlt(dc, -4, -4, 16, 16, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(ReadScreenPixel(10, 20), 0x123456u);
    EXPECT_EQ(ReadScreenPixel(17, 25), 0x123456u);
    EXPECT_EQ(ReadScreenPixel(18, 25), 0u);
    EXPECT_EQ(ReadScreenPixel(17, 26), 0u);
    EXPECT_EQ(ReadScreenPixel(9, 20), 0u);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    DestroyWindow(hwnd);
}

} // namespace
