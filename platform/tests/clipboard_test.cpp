#include "platform/win/clipboard.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win/cursor.h"
#include "platform/win/local_memory.h"
#include "platform/win/system_params.h"

namespace {

HLOCAL Text(const std::u16string& text) {
    auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (text.size() + 1) * sizeof(WCHAR)));
    std::copy(text.begin(), text.end(), block);
    block[text.size()] = 0;
    return block;
}

TEST(ClipboardTest, OneCallerAtATimeAndTheClipboardOwnsWhatItIsGiven) {
    platform::clipboard::Reset();
    EXPECT_FALSE(EmptyClipboard()) << "not open";
    HLOCAL kept = Text(u"x");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, kept), nullptr) << "not open: the caller keeps the block";
    LocalFree(kept);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr)) << "already open";
    ASSERT_TRUE(EmptyClipboard());
    HLOCAL first = Text(u"first");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, first), first);
    // A second block for the format frees the first (the sanitizer build sees a leak otherwise).
    HLOCAL second = Text(u"h\u00e9 \U0001F600");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, second), second);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());

    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr) << "only while open";
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto* text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"h\u00e9 \U0001F600");
    EXPECT_EQ(LocalSize(const_cast<WCHAR*>(text)), 6 * sizeof(WCHAR));
    EmptyClipboard();
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    CloseClipboard();
}

TEST(PointerImageTest, TheArrowCoversItsDesignAtTheSystemSizeAndTheDeviceShowsNoneAtFirst) {
    EXPECT_EQ(GetCursor(), nullptr);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, reinterpret_cast<const WCHAR*>(uintptr_t(1))), nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(arrow, &info));
    EXPECT_EQ(info.xHotspot, 0u);
    EXPECT_EQ(info.yHotspot, 0u);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    const int size = GetSystemMetrics(SM_CYCURSOR);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PatBlt(memory, 0, 0, size, size, BLACKNESS);
    ASSERT_TRUE(DrawIconEx(memory, 0, 0, arrow, size, size, 0, nullptr, DI_MASK));
    // The design's tip is its first pixel; its 19 rows of 32 reach that share of the size.
    EXPECT_EQ(GetPixel(memory, 0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(GetPixel(memory, size - 1, 0) & 0xFFFFFF, 0u);
    int last = -1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (GetPixel(memory, x, y) & 0xFFFFFF) last = y;
    EXPECT_EQ(last, (19 * size + 31) / 32 - 1);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

} // namespace
