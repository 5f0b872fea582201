#include "platform/win/window_paint.h"

#include <cstdio>
#include <fstream>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/tests/message_log.h"
#include "platform/win/input.h"
#include "platform/win/region.h"
#include "platform/win/screen.h"
#include "platform/win/text_draw.h"

namespace {

using Seen = std::vector<std::pair<HWND, UINT>>;

Seen Log() {
    Seen out;
    for (const test::Logged& l : test::messageLog)
        out.emplace_back(l.hwnd, l.message);
    return out;
}

const test::Logged* Find(HWND hwnd, UINT message) {
    for (const test::Logged& l : test::messageLog)
        if (l.hwnd == hwnd && l.message == message) return &l;
    return nullptr;
}

// A small screen of each format, and windows that paint themselves in one colour.
class WindowPaintTest : public test::WindowTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        test::WindowTest::SetUp();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{64, 48, GetParam(), false, 96}));
    }
    void TearDown() override {
        test::WindowTest::TearDown();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    // Windows answer WM_PAINT by filling what needs painting with their colour.
    void PaintInColours(std::vector<std::pair<HWND, COLORREF>> colours) {
        test::onMessage = [colours](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT* r) {
            if (msg != WM_PAINT) return false;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            for (auto& [h, c] : colours)
                if (h == hwnd)
                    for (int y = ps.rcPaint.top; y < ps.rcPaint.bottom; ++y)
                        for (int x = ps.rcPaint.left; x < ps.rcPaint.right; ++x)
                            SetPixel(dc, x, y, c);
            EndPaint(hwnd, &ps);
            *r = 0;
            return true;
        };
    }
};

TEST_P(WindowPaintTest, ShowingAndDestroyingHandActivationOverInOrder) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 20, 20});
    HWND b = Create(WS_POPUP, a, u"b", {5, 5, 15, 15}); // owned by a
    test::messageLog.clear();
    ShowWindow(b, SW_SHOWNORMAL);
    EXPECT_EQ(Log(),
              (Seen{{b, WM_SHOWWINDOW}, {a, WM_ACTIVATE}, {b, WM_ACTIVATE}, {a, WM_KILLFOCUS}, {b, WM_SETFOCUS}}));
    EXPECT_EQ(Find(a, WM_ACTIVATE)->wParam, WA_INACTIVE);
    EXPECT_EQ(Find(a, WM_ACTIVATE)->lParam, reinterpret_cast<LPARAM>(b));
    EXPECT_EQ(Find(b, WM_ACTIVATE)->lParam, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b);

    // Shown without activation: nothing but the show.
    HWND c = Create(WS_POPUP, a, u"c", {0, 0, 5, 5});
    test::messageLog.clear();
    ShowWindow(c, SW_SHOWNA);
    EXPECT_EQ(Log(), (Seen{{c, WM_SHOWWINDOW}}));
    EXPECT_EQ(GetActiveWindow(), b);

    // The active owned window hands activation back to its owner before WM_DESTROY.
    SetCapture(b);
    test::messageLog.clear();
    DestroyWindow(b);
    EXPECT_EQ(Log(), (Seen{{b, WM_CAPTURECHANGED},
                           {b, WM_KILLFOCUS},
                           {b, WM_ACTIVATE},
                           {a, WM_ACTIVATE},
                           {a, WM_SETFOCUS},
                           {b, WM_DESTROY},
                           {b, WM_NCDESTROY}}));
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetCapture(), nullptr);
}

// Without an owner to take it back, activation goes to the topmost window that can take it, past
// hidden, disabled and no-activate windows above it, whether the active window is destroyed or hidden.
TEST_P(WindowPaintTest, AnUnownedActiveWindowThatGoesHandsActivationToTheTopmostThatCanTakeIt) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 20, 20});
    Create(WS_POPUP, nullptr, u"hidden", {0, 0, 20, 20});
    HWND disabled = Create(WS_POPUP, nullptr, u"disabled", {0, 0, 20, 20});
    EnableWindow(disabled, FALSE);
    ShowWindow(disabled, SW_SHOWNA);
    HWND chrome = CreateWindowExW(WS_EX_NOACTIVATE, test::kLogClass, u"chrome", WS_POPUP, 0, 0, 20, 20, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    created.push_back(chrome);
    ShowWindow(chrome, SW_SHOWNA);
    const std::pair<const char*, void (*)(HWND)> goes[] = {
        {"destroyed", [](HWND h) { DestroyWindow(h); }},
        {"hidden", [](HWND h) { ShowWindow(h, SW_HIDE); }},
    };
    for (const auto& [how, go] : goes) {
        SCOPED_TRACE(how);
        HWND b = Create(WS_POPUP | WS_VISIBLE, nullptr, u"b", {5, 5, 15, 15});
        ASSERT_EQ(GetActiveWindow(), b);
        test::messageLog.clear();
        go(b);
        EXPECT_EQ(GetActiveWindow(), a);
        EXPECT_EQ(GetFocus(), a) << "keys reach the window left on top";
        const test::Logged* activated = Find(a, WM_ACTIVATE);
        ASSERT_NE(activated, nullptr);
        EXPECT_NE(activated->wParam, WPARAM(WA_INACTIVE));
        EXPECT_EQ(activated->lParam, reinterpret_cast<LPARAM>(b));
    }
}

TEST_P(WindowPaintTest, UncoveredAreasArePaintedAfterPostedMessagesWithEraseFirst) {
    HWND w = Create(WS_POPUP, nullptr, u"w", {10, 10, 30, 30});
    test::messageLog.clear();
    ShowWindow(w, SW_SHOWNA);
    PostMessageW(w, WM_USER, 0, 0);
    EXPECT_EQ(platform::headless::RunUntilIdle(), 2);
    EXPECT_EQ(Log(), (Seen{{w, WM_SHOWWINDOW}, {w, WM_USER}, {w, WM_PAINT}, {w, WM_ERASEBKGND}}));
    RECT r;
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE)) << "default processing validated";

    // Two invalidations give one WM_PAINT over their union; validating a part leaves the rest.
    const RECT first{0, 0, 4, 4};
    InvalidateRect(w, &first, FALSE);
    const RECT second{10, 10, 12, 12};
    InvalidateRect(w, &second, FALSE);
    ValidateRect(w, &second);
    ASSERT_TRUE(GetUpdateRect(w, &r, FALSE));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(0, 0, 4, 4));
    test::messageLog.clear();
    EXPECT_EQ(platform::headless::RunUntilIdle(), 1);
    EXPECT_EQ(Log(), (Seen{{w, WM_PAINT}})) << "no erase was asked for";

    // UpdateWindow paints at once, inside the call; the erase DC's clip box is the update area.
    const RECT part{2, 3, 7, 9};
    InvalidateRect(w, &part, TRUE);
    RECT clipBox{};
    test::onMessage = [&](HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
        if (msg != WM_ERASEBKGND) return false;
        GetClipBox(reinterpret_cast<HDC>(wParam), &clipBox);
        *result = 1;
        return true;
    };
    test::messageLog.clear();
    UpdateWindow(w);
    EXPECT_EQ(Log(), (Seen{{w, WM_PAINT}, {w, WM_ERASEBKGND}}));
    EXPECT_EQ(std::tie(clipBox.left, clipBox.top, clipBox.right, clipBox.bottom), std::make_tuple(2, 3, 7, 9));
    test::messageLog.clear();
    UpdateWindow(w);
    EXPECT_TRUE(Log().empty()) << "nothing left to paint";
}

TEST_P(WindowPaintTest, WindowDcsDrawOnlyWhereTheirWindowShows) {
    HWND lower = Create(WS_POPUP | WS_VISIBLE, nullptr, u"lower", {0, 0, 40, 40});
    HWND upper = Create(WS_POPUP | WS_VISIBLE, nullptr, u"upper", {20, 20, 50, 50});
    HWND child = Create(WS_CHILD | WS_VISIBLE, upper, u"child", {0, 0, 5, 5});
    HDC dc = GetDC(lower);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            SetPixel(dc, x, y, RGB(255, 0, 0));
    ReleaseDC(lower, dc);
    EXPECT_EQ(ReadScreenPixel(19, 19), 0xFF0000u);
    EXPECT_EQ(ReadScreenPixel(20, 20), 0u) << "covered by the upper window";
    RECT box;
    dc = GetDC(lower);
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    ReleaseDC(lower, dc);

    // A parent draws over its children unless it clips them; a shape keeps drawing inside it.
    dc = GetDC(upper);
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(0, 255, 0)), RGB(0, 255, 0));
    SetWindowLongW(upper, GWL_STYLE, LONG(WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN));
    EXPECT_EQ(SetPixel(dc, 2, 2, RGB(0, 255, 0)), CLR_INVALID);
    ReleaseDC(upper, dc);
    EXPECT_EQ(SetWindowRgn(child, CreateRectRgn(0, 0, 2, 2), TRUE), 1);
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(child, copy), SIMPLEREGION);
    DeleteObject(copy);
    dc = GetDC(child);
    EXPECT_EQ(SetPixel(dc, 1, 1, RGB(0, 0, 255)), RGB(0, 0, 255));
    EXPECT_EQ(SetPixel(dc, 3, 3, RGB(0, 0, 255)), CLR_INVALID);
    ReleaseDC(child, dc);
    EXPECT_EQ(WindowFromPoint(POINT{21, 21}), child);
    EXPECT_EQ(WindowFromPoint(POINT{23, 23}), upper) << "outside the child's shape";
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), lower);
    EXPECT_EQ(WindowFromPoint(POINT{60, 5}), nullptr);
}

TEST_P(WindowPaintTest, MovingTheUpperWindowRepaintsWhatItUncovers) {
    HWND lower = Create(WS_POPUP | WS_VISIBLE, nullptr, u"lower", {0, 0, 40, 40});
    HWND upper = Create(WS_POPUP | WS_VISIBLE, nullptr, u"upper", {10, 10, 30, 30});
    PaintInColours({{lower, RGB(255, 0, 0)}, {upper, RGB(0, 0, 255)}});
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ReadScreenPixel(15, 15), 0x0000FFu);

    test::messageLog.clear();
    SetWindowPos(upper, nullptr, 30, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    ASSERT_TRUE(GetUpdateRect(lower, &r, FALSE));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(10, 10, 30, 30));
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Find(lower, WM_ERASEBKGND) != nullptr, true);
    for (POINT p : {POINT{10, 10}, POINT{29, 19}, POINT{15, 29}})
        EXPECT_EQ(ReadScreenPixel(p.x, p.y), 0xFF0000u) << p.x << "," << p.y;
    for (POINT p : {POINT{30, 20}, POINT{39, 39}, POINT{49, 39}})
        EXPECT_EQ(ReadScreenPixel(p.x, p.y), 0x0000FFu) << p.x << "," << p.y;
    EXPECT_EQ(ReadScreenPixel(45, 10), 0u) << "the desktop";

    // Raising the lower window repaints only what was covered.
    test::messageLog.clear();
    SetWindowPos(lower, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(GetUpdateRect(lower, &r, FALSE));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(30, 20, 40, 40));
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ReadScreenPixel(35, 35), 0xFF0000u);
    EXPECT_EQ(ReadScreenPixel(45, 35), 0x0000FFu);
}

// A right-to-left window is drawn, invalidated and addressed from its right edge: the same client
// x lands on the mirrored pixel, blits arrive mirrored unless told otherwise, and text keeps its
// reading order at the mirrored place.
TEST_P(WindowPaintTest, ARightToLeftWindowCountsItsClientXFromItsRightEdge) {
    HWND w = Create(WS_POPUP | WS_VISIBLE, nullptr, u"rtl", {10, 0, 30, 12});
    SetWindowLongW(w, GWL_EXSTYLE, LONG(WS_EX_LAYOUTRTL));
    HDC dc = GetDC(w);
    EXPECT_EQ(GetLayout(dc), LAYOUT_RTL);
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(ReadScreenPixel(29, 0), 0xFF0000u) << "client x 0 is the rightmost pixel";
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_TRUE(PatBlt(dc, 0, 2, 3, 1, WHITENESS));
    EXPECT_EQ(ReadScreenPixel(27, 2), 0xFFFFFFu);
    EXPECT_EQ(ReadScreenPixel(26, 2), 0u);
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(std::tie(box.left, box.top, box.right, box.bottom), std::make_tuple(0, 0, 20, 12));

    // Three pixels red, green, blue: mirrored by default, kept in order with NOMIRRORBITMAP or a
    // layout that preserves bitmaps.
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), 3, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const uint32_t rgb[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    const BITMAPINFO* bi = reinterpret_cast<const BITMAPINFO*>(&info);
    const struct {
        int row;
        DWORD rop, layout;
        uint32_t left; // the leftmost of the three on the screen
    } blits[] = {{4, SRCCOPY, LAYOUT_RTL, 0x0000FF},
                 {5, SRCCOPY | NOMIRRORBITMAP, LAYOUT_RTL, 0xFF0000},
                 {6, SRCCOPY, LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED, 0xFF0000}};
    for (const auto& b : blits) {
        SetLayout(dc, b.layout);
        EXPECT_EQ(StretchDIBits(dc, 1, b.row, 3, 1, 0, 0, 3, 1, rgb, bi, DIB_RGB_COLORS, b.rop), 1);
        // Client x 1..3 are screen 28..26.
        EXPECT_EQ(ReadScreenPixel(26, b.row), b.left) << b.row;
        EXPECT_EQ(ReadScreenPixel(27, b.row), 0x00FF00u) << b.row;
        EXPECT_EQ(ReadScreenPixel(29, b.row), 0u) << "client x 0 is left alone";
    }
    EXPECT_EQ(SetLayout(dc, 0), LAYOUT_RTL | LAYOUT_BITMAPORIENTATIONPRESERVED);
    EXPECT_EQ(SetPixel(dc, 0, 8, RGB(0, 0, 255)), RGB(0, 0, 255));
    EXPECT_EQ(ReadScreenPixel(10, 8), 0x0000FFu) << "a left-to-right layout again";
    ReleaseDC(w, dc);

    // Coordinates: the client origin is the top-right pixel.
    POINT p{0, 3};
    ASSERT_TRUE(ClientToScreen(w, &p));
    EXPECT_EQ(std::tie(p.x, p.y), std::make_tuple(29, 3));
    p = POINT{12, 7};
    ASSERT_TRUE(ScreenToClient(w, &p));
    EXPECT_EQ(std::tie(p.x, p.y), std::make_tuple(17, 7));
    HWND plain = Create(WS_POPUP | WS_VISIBLE, nullptr, u"ltr", {40, 0, 50, 10});
    POINT q[1] = {{2, 1}};
    MapWindowPoints(w, plain, q, 1);
    EXPECT_EQ(std::tie(q[0].x, q[0].y), std::make_tuple(27 - 40, 1));
    MapWindowPoints(plain, w, q, 1);
    EXPECT_EQ(std::tie(q[0].x, q[0].y), std::make_tuple(2, 1)) << "and back";

    // Updates are given and answered in the window's own client coordinates.
    ValidateRect(w, nullptr);
    RECT left{0, 0, 5, 12};
    InvalidateRect(w, &left, FALSE);
    RECT r;
    ASSERT_TRUE(GetUpdateRect(w, &r, FALSE));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(0, 0, 5, 12));
    PAINTSTRUCT ps;
    dc = BeginPaint(w, &ps);
    EXPECT_EQ(std::tie(ps.rcPaint.left, ps.rcPaint.right), std::make_tuple(0, 5));
    EXPECT_EQ(SetPixel(dc, 4, 9, RGB(0, 255, 0)), RGB(0, 255, 0)) << "inside the update";
    EXPECT_EQ(SetPixel(dc, 5, 9, RGB(0, 255, 0)), CLR_INVALID) << "outside the update";
    EndPaint(w, &ps);
    EXPECT_EQ(ReadScreenPixel(25, 9), 0x00FF00u);
}

TEST_P(WindowPaintTest, TextOnARightToLeftWindowKeepsItsReadingOrderAtTheMirroredPlace) {
    HWND ltr = Create(WS_POPUP | WS_VISIBLE, nullptr, u"ltr", {0, 0, 64, 20});
    HWND rtl = Create(WS_POPUP | WS_VISIBLE, nullptr, u"rtl", {0, 24, 64, 44});
    SetWindowLongW(rtl, GWL_EXSTYLE, LONG(WS_EX_LAYOUTRTL));
    RECT extent{};
    for (HWND w : {ltr, rtl}) {
        HDC dc = GetDC(w);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
        RECT r{0, 0, 64, 20};
        DrawTextW(dc, u"Lb", 2, &r, DT_SINGLELINE | DT_NOCLIP);
        extent = RECT{0, 0, 64, 20};
        DrawTextW(dc, u"Lb", 2, &extent, DT_SINGLELINE | DT_CALCRECT);
        ReleaseDC(w, dc);
    }
    const int width = extent.right - extent.left;
    ASSERT_GT(width, 0);
    const std::vector<uint32_t> top = platform::headless::ReadScreen(RECT{0, 0, 64, 20});
    const std::vector<uint32_t> bottom = platform::headless::ReadScreen(RECT{0, 24, 64, 44});
    int lit = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint32_t moved = x + 64 - width < 64 ? bottom[size_t(y) * 64 + x + 64 - width] : 0;
            EXPECT_EQ(top[size_t(y) * 64 + x], moved) << x << "," << y;
            lit += top[size_t(y) * 64 + x] != 0;
        }
    EXPECT_GT(lit, 0);
}

// A child of a right-to-left window is placed in its parent's mirrored client coordinates: its x is
// the distance from the parent's right edge to its own right edge, so it keeps to that edge when the
// parent grows. A right-to-left window's shape is mirrored with it.
TEST_P(WindowPaintTest, AChildOfARightToLeftWindowIsPlacedFromItsParentsRightEdge) {
    HWND parent = Create(WS_POPUP | WS_VISIBLE, nullptr, u"rtl", {10, 4, 50, 24});
    SetWindowLongW(parent, GWL_EXSTYLE, LONG(WS_EX_LAYOUTRTL));
    HWND child = Create(WS_CHILD | WS_VISIBLE, parent, u"child", {5, 2, 15, 8});
    HWND inner = Create(WS_CHILD | WS_VISIBLE, child, u"inner", {1, 1, 3, 3});
    PaintInColours({{parent, RGB(255, 0, 0)}, {child, RGB(0, 0, 255)}, {inner, RGB(0, 255, 0)}});
    platform::headless::RunUntilIdle();
    // Parent right edge 50: the child spans 50 - 15 to 50 - 5; the left-to-right child inside it
    // counts from the child's left edge again.
    const struct {
        HWND w;
        RECT r;
    } placed[] = {{child, {35, 6, 45, 12}}, {inner, {36, 7, 38, 9}}};
    for (const auto& p : placed) {
        RECT r;
        ASSERT_TRUE(GetWindowRect(p.w, &r));
        EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::tie(p.r.left, p.r.top, p.r.right, p.r.bottom));
    }
    EXPECT_EQ(ReadScreenPixel(35, 6), 0x0000FFu);
    EXPECT_EQ(ReadScreenPixel(36, 7), 0x00FF00u);
    EXPECT_EQ(ReadScreenPixel(44, 11), 0x0000FFu);
    EXPECT_EQ(ReadScreenPixel(15, 6), 0xFF0000u) << "not where a left-to-right parent would put it";
    EXPECT_EQ(ReadScreenPixel(45, 6), 0xFF0000u);
    POINT hit{40, 10};
    EXPECT_EQ(WindowFromPoint(hit), child);

    // The parent grows by 10 to the right: the child moves with its right edge.
    SetWindowPos(parent, nullptr, 0, 0, 50, 20, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    platform::headless::RunUntilIdle();
    RECT r;
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(std::tie(r.left, r.right), std::make_tuple(45, 55));
    EXPECT_EQ(ReadScreenPixel(50, 10), 0x0000FFu);

    // A right-to-left child's shape {0, 0, 4, 6} is its four rightmost columns.
    SetWindowLongW(child, GWL_EXSTYLE, LONG(WS_EX_LAYOUTRTL));
    SetWindowRgn(child, CreateRectRgn(0, 0, 4, 6), TRUE);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ReadScreenPixel(54, 8), 0x0000FFu);
    EXPECT_EQ(ReadScreenPixel(51, 8), 0x0000FFu);
    EXPECT_EQ(ReadScreenPixel(50, 8), 0xFF0000u);
    EXPECT_EQ(ReadScreenPixel(45, 8), 0xFF0000u);
}

TEST_P(WindowPaintTest, ReadBackAndPngDumpShowWhatWasPainted) {
    HWND w = Create(WS_POPUP | WS_VISIBLE, nullptr, u"w", {2, 3, 6, 5});
    HDC dc = GetDC(w);
    const COLORREF colours[] = {RGB(255, 0, 0),  RGB(0, 255, 0),   RGB(0, 0, 255), RGB(255, 255, 255),
                                RGB(8, 16, 248), RGB(132, 130, 4), RGB(0, 0, 0),   RGB(40, 60, 80)};
    for (int i = 0; i < 8; ++i)
        SetPixel(dc, i % 4, i / 4, colours[i]);
    ReleaseDC(w, dc);
    const std::vector<uint32_t> pixels = platform::headless::ReadScreen(RECT{2, 3, 6, 5});
    ASSERT_EQ(pixels.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const COLORREF c = colours[i];
        uint32_t expected = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        if (GetParam() == 16) {
            // 5-6-5 keeps the top bits and repeats them below.
            const uint32_t r = GetRValue(c) >> 3, g = GetGValue(c) >> 2, b = GetBValue(c) >> 3;
            expected = (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
        }
        EXPECT_EQ(pixels[i], expected) << i;
    }
    // ctest runs each screen depth in its own process at the same time: one file each.
    const std::string path =
        ::testing::TempDir() + "screen_dump_" + std::to_string(getpid()) + "_" + std::to_string(GetParam()) + ".png";
    ASSERT_TRUE(platform::headless::DumpScreenPng(path.c_str()));
    std::ifstream png(path, std::ios::binary);
    char signature[8] = {};
    png.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    std::remove(path.c_str());
    EXPECT_FALSE(platform::headless::DumpScreenPng("/nonexistent-folder/x.png"));
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowPaintTest, ::testing::Values(32, 16),
                         [](const auto& p) { return p.param == 32 ? "Argb32" : "Rgb565"; });

} // namespace
