#include "platform/backend/sdl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/win/clock.h"
#include "platform/win/gdi.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/sync.h"
#include "platform/win/timer.h"

namespace {

// The window backend under SDL's dummy driver: no display server needed.
class SdlBackendTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (!platform::sdl::Available()) GTEST_SKIP() << "built without SDL2";
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{40, 30, GetParam(), false, 96}));
        if (!platform::sdl::Start()) GTEST_SKIP() << "no SDL video driver";
    }
    // The window's pixel format may expand 16-bit values another way: compare what 5-6-5 keeps.
    uint32_t Kept(uint32_t rgb) const { return GetParam() == 16 ? rgb & 0xF8FCF8 : rgb; }
    void TearDown() override {
        platform::sdl::Stop();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
};

TEST_P(SdlBackendTest, TheWindowShowsWhatWasPaintedAtOneToOne) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"SdlTestWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, u"SdlTestWindow", u"", WS_POPUP | WS_VISIBLE, 5, 6, 10, 8, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    SetPixel(dc, 0, 0, RGB(255, 0, 0));
    SetPixel(dc, 9, 7, RGB(0, 128, 255));
    ReleaseDC(hwnd, dc);

    // The loop presents before it sleeps: a timer on the virtual clock makes it wait exactly once.
    platform::VirtualClock clock;
    platform::Clock* previous = platform::SetClock(&clock);
    SetTimer(hwnd, 1, 10, nullptr);
    MSG msg;
    ASSERT_EQ(GetMessageW(&msg, hwnd, WM_TIMER, WM_TIMER), TRUE);
    KillTimer(hwnd, 1);
    platform::SetClock(previous);

    uint32_t rgb = 0;
    ASSERT_TRUE(platform::sdl::ReadWindowPixel(5, 6, &rgb));
    EXPECT_EQ(Kept(rgb), Kept(ReadScreenPixel(5, 6)));
    EXPECT_EQ(rgb & 0xF8F8F8, 0xF80000u);
    ASSERT_TRUE(platform::sdl::ReadWindowPixel(14, 13, &rgb));
    EXPECT_EQ(Kept(rgb), Kept(ReadScreenPixel(14, 13)));
    ASSERT_TRUE(platform::sdl::ReadWindowPixel(15, 13, &rgb));
    EXPECT_EQ(rgb, 0u);
    EXPECT_FALSE(platform::sdl::ReadWindowPixel(40, 0, &rgb));

    // Only what changed is presented: a write elsewhere on the screen leaves the window's pixel
    // of an unchanged place alone even when the screen under it changed behind the layer's back.
    GetScreen().bits[0] = 0xFF;
    dc = GetDC(hwnd);
    SetPixel(dc, 1, 1, RGB(0, 255, 0));
    ReleaseDC(hwnd, dc);
    platform::sdl::Present();
    ASSERT_TRUE(platform::sdl::ReadWindowPixel(0, 0, &rgb));
    EXPECT_EQ(rgb, 0u);
    ASSERT_TRUE(platform::sdl::ReadWindowPixel(6, 7, &rgb));
    EXPECT_EQ(Kept(rgb), Kept(ReadScreenPixel(6, 7)));

    // A message from another thread wakes the sleeping loop.
    std::thread poster([hwnd] { PostMessageW(hwnd, WM_USER, 0, 0); });
    ASSERT_EQ(GetMessageW(&msg, hwnd, WM_USER, WM_USER), TRUE);
    poster.join();
    DestroyWindow(hwnd);
    UnregisterClassW(u"SdlTestWindow", nullptr);
}

INSTANTIATE_TEST_SUITE_P(Screens, SdlBackendTest, ::testing::Values(32, 16),
                         [](const auto& p) { return p.param == 32 ? "Argb32" : "Rgb565"; });

} // namespace
