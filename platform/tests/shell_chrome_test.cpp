#include <algorithm>
#include <functional>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/device_services.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/shell_chrome.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/message_log.h"
#include "platform/tests/screen_golden.h"
#include "platform/win/font_internal.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/screen.h"
#include "platform/win/system_params.h"

namespace {

using platform::headless::RunUntilIdle;
using test::Logged;

// A 240 x 320 screen at 96 dpi: the task bar is rows 0..25, the menu-bar strip rows 294..319.
class ShellTest : public test::WindowTest {
protected:
    virtual int Bpp() const { return 32; }
    void SetUp() override {
        test::WindowTest::SetUp();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, Bpp(), false, 96}));
        platform::input::Reset();
        window = Create(WS_POPUP | WS_VISIBLE, nullptr, u"app", {0, 26, 240, 294});
        menu = CreateMenu();
        AppendMenuW(menu, MF_STRING, 10001, u"Left");
        HMENU sub = CreatePopupMenu();
        AppendMenuW(sub, MF_STRING, 301, u"One");
        AppendMenuW(sub, MF_STRING, 302, u"Two");
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Menu");
    }
    void TearDown() override {
        platform::shell::ResetShell();
        DestroyMenu(menu);
        platform::input::Reset();
        test::WindowTest::TearDown();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    HWND MakeBar(HMENU with = nullptr) {
        SHMENUBARINFO info{};
        info.cbSize = 36;
        info.hwndParent = window;
        info.dwFlags = SHCMBF_HMENU;
        info.nToolBarId = reinterpret_cast<UINT_PTR>(with ? with : menu);
        EXPECT_TRUE(SHCreateMenuBar(&info));
        return info.hwndMB;
    }
    // What reached the window of one message kind: (wParam, lParam).
    std::vector<std::pair<WPARAM, LPARAM>> Got(UINT message) {
        std::vector<std::pair<WPARAM, LPARAM>> out;
        for (const Logged& l : test::messageLog)
            if (l.hwnd == window && l.message == message) out.push_back({l.wParam, l.lParam});
        return out;
    }

    HWND window = nullptr;
    HMENU menu = nullptr;
};

TEST_F(ShellTest, SoftKeysAreTheMenuBarsItemsAndWithoutABarPlainKeys) {
    platform::headless::SoftKey(1);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_KEYDOWN), (std::vector<std::pair<WPARAM, LPARAM>>{{VK_F1, 1}})) << "no bar: the key itself";

    HWND bar = MakeBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(SHFindMenuBar(window), bar);
    EXPECT_TRUE(IsWindowVisible(bar));
    test::messageLog.clear();
    platform::headless::SoftKey(1);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_COMMAND), (std::vector<std::pair<WPARAM, LPARAM>>{{10001, 0}}));
    EXPECT_TRUE(Got(WM_KEYDOWN).empty());
    EXPECT_EQ(GetActiveWindow(), window) << "the chrome never takes activation";

    // The right soft key holds a submenu: it opens above the bar, and a tap on an item chooses it.
    platform::headless::SoftKey(2);
    RunUntilIdle();
    ASSERT_EQ(Got(WM_INITMENUPOPUP).size(), 1u);
    EXPECT_EQ(Got(WM_INITMENUPOPUP)[0].first, reinterpret_cast<WPARAM>(GetSubMenu(menu, 1)));
    HWND list = platform::shell::GetOpenMenuList();
    ASSERT_TRUE(list);
    RECT r;
    GetWindowRect(list, &r);
    EXPECT_EQ(r.bottom, 294);
    EXPECT_EQ(r.top, 294 - 2 * 26);
    platform::headless::Tap(r.right - 5, r.top + 26 + 5);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_COMMAND).back().first, 302u);
    EXPECT_FALSE(platform::shell::GetOpenMenuList());

    // Tapping the soft key on the bar does what pressing it does.
    const RECT left = platform::shell::GetSoftKeyRect(1);
    platform::headless::Tap(left.left + 5, left.top + 5);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_COMMAND).back().first, 10001u);
    EXPECT_EQ(GetActiveWindow(), window);
}

TEST_F(ShellTest, BackIsEscapeUnlessTheWindowOverridesIt) {
    HWND bar = MakeBar();
    platform::headless::Back();
    RunUntilIdle();
    EXPECT_EQ(Got(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_KEYDOWN)[0].first, VK_ESCAPE);
    EXPECT_TRUE(Got(WM_HOTKEY).empty());

    EXPECT_TRUE(SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, 0x30003));
    EXPECT_EQ(platform::shell::GetKeyOverride(bar, VK_TBACK), DWORD(SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    test::messageLog.clear();
    platform::headless::Back();
    RunUntilIdle();
    EXPECT_EQ(Got(WM_HOTKEY), (std::vector<std::pair<WPARAM, LPARAM>>{{VK_TBACK, LPARAM(27) << 16},
                                                                      {VK_TBACK, (LPARAM(27) << 16) | MOD_KEYUP}}));
    EXPECT_TRUE(Got(WM_KEYDOWN).empty());

    SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, 3); // given back to the bar
    test::messageLog.clear();
    platform::headless::Back();
    RunUntilIdle();
    EXPECT_EQ(Got(WM_KEYDOWN).size(), 1u);
}

TEST_F(ShellTest, FullScreenHidesTheTaskBarAndMovesTheWorkArea) {
    RECT work;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.top, 26);
    EXPECT_EQ(work.bottom, 294);
    MakeBar();
    RunUntilIdle();
    EXPECT_EQ(ReadScreenPixel(5, 5), 0x203048u) << "the task bar is drawn";
    EXPECT_EQ(ReadScreenPixel(120, 300), 0x6080A8u) << "the input-panel button on the bar";
    test::messageLog.clear();
    EXPECT_TRUE(SHFullScreen(window, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
    EXPECT_EQ(Got(WM_SETTINGCHANGE), (std::vector<std::pair<WPARAM, LPARAM>>{{SPI_SETWORKAREA, 0}}));
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work.top, 0);
    EXPECT_FALSE(platform::shell::IsTaskBarShown());
    RunUntilIdle();
    EXPECT_NE(ReadScreenPixel(120, 300), 0x6080A8u) << "the button is gone";
    SHFullScreen(window, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work.top, 26);
}

TEST_F(ShellTest, TheInputPanelButtonRaisesThePanelWhichLeavesLessOfTheDesktopAndTypes) {
    MakeBar();
    SIPINFO info{};
    info.cbSize = 48;
    ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &info, 0));
    EXPECT_FALSE(info.fdwFlags & SIPF_ON);
    EXPECT_EQ(info.rcVisibleDesktop.bottom, 320) << "down: everything below the task bar";
    test::messageLog.clear();
    const RECT button = platform::shell::GetInputPanelButtonRect();
    platform::headless::Tap(button.left + 3, button.top + 3);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_SETTINGCHANGE), (std::vector<std::pair<WPARAM, LPARAM>>{{SPI_SETSIPINFO, 0}}));
    ASSERT_TRUE(SipGetInfo(&info));
    EXPECT_TRUE(info.fdwFlags & SIPF_ON);
    EXPECT_EQ(info.rcSipRect.bottom, 294);
    EXPECT_EQ(info.rcVisibleDesktop.bottom, 294 - 80);
    EXPECT_EQ(GetActiveWindow(), window);

    RECT key;
    ASSERT_TRUE(platform::shell::GetInputPanelKeyRect('Q', &key));
    test::messageLog.clear();
    platform::headless::Tap(key.left + 2, key.top + 2);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_CHAR), (std::vector<std::pair<WPARAM, LPARAM>>{{u'q', 1}}));

    EXPECT_TRUE(SipShowIM(SIPF_OFF));
    SipGetInfo(&info);
    EXPECT_FALSE(info.fdwFlags & SIPF_ON);
}

TEST_F(ShellTest, BadRecordsAndUnknownWindowsAreRefused) {
    SHMENUBARINFO info{};
    info.cbSize = 12;
    info.hwndParent = window;
    EXPECT_FALSE(SHCreateMenuBar(&info));
    info.cbSize = 36;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = 0x1234;
    EXPECT_FALSE(SHCreateMenuBar(&info)) << "not a menu";
    EXPECT_FALSE(SHCreateMenuBar(nullptr));
    SIPINFO sip{};
    sip.cbSize = 7;
    EXPECT_FALSE(SipGetInfo(&sip));
    EXPECT_FALSE(SHFullScreen(reinterpret_cast<HWND>(0x77), SHFS_HIDETASKBAR));
    EXPECT_FALSE(SHDoneButton(window, 99));
}

TEST_F(ShellTest, TheTitleBarCancelButtonSendsItsCommand) {
    ASSERT_TRUE(SHDoneButton(window, SHDB_SHOWCANCEL));
    RunUntilIdle();
    test::messageLog.clear();
    platform::headless::Tap(235, 10);
    RunUntilIdle();
    EXPECT_EQ(Got(WM_COMMAND), (std::vector<std::pair<WPARAM, LPARAM>>{{IDCANCEL, 0}}));
}

// The box of the pixels in a screen rectangle that differ from its top-left corner: the ink of
// a label on a plain fill. Empty when there is none.
RECT InkBox(const RECT& r) {
    const std::vector<uint32_t> px = platform::headless::ReadScreen(r);
    const int w = r.right - r.left;
    RECT ink{r.right, r.bottom, r.left, r.top};
    for (size_t i = 0; i < px.size(); ++i)
        if (px[i] != px[0]) {
            const LONG x = r.left + LONG(i % size_t(w)), y = r.top + LONG(i / size_t(w));
            ink = RECT{std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
                       std::max(ink.bottom, y + 1)};
        }
    return ink.left < ink.right ? ink : RECT{0, 0, 0, 0};
}

bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The size that the chrome's font gives a line of text.
SIZE ChromeTextSize(const WCHAR* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = platform::shell::CreateChromeFont();
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return SIZE{r.right, r.bottom};
}

class ShellLabelTest : public ShellTest, public ::testing::WithParamInterface<int> {
protected:
    int Bpp() const override { return GetParam(); }
};

TEST_P(ShellLabelTest, SoftKeyLabelsAreCentredInTheirHalvesAndInkNothingElse) {
    platform::shell::EnsureTaskBar();
    RunUntilIdle();
    const RECT screen{0, 0, 240, 320}, bar{0, 294, 240, 320};
    const std::vector<uint32_t> before = platform::headless::ReadScreen(screen);
    MakeBar();
    RunUntilIdle();
    const std::vector<uint32_t> after = platform::headless::ReadScreen(screen);
    for (size_t i = 0; i < after.size(); ++i)
        if (i / 240 < size_t(bar.top)) {
            ASSERT_EQ(after[i], before[i]) << "changed outside the bar at " << i % 240 << "," << i / 240;
        }

    const WCHAR* labels[] = {u"Left", u"Menu"};
    for (int key = 1; key <= 2; ++key) {
        SCOPED_TRACE(key);
        const RECT half = platform::shell::GetSoftKeyRect(key);
        const SIZE text = ChromeTextSize(labels[key - 1]);
        // Centred, to the pixel either way that an odd remainder may fall.
        const LONG left = half.left + (half.right - half.left - text.cx) / 2;
        const LONG top = half.top + (half.bottom - half.top - text.cy) / 2;
        const RECT box{left - 1, top - 1, left + text.cx + 1, top + text.cy + 1};
        const RECT ink = InkBox(half);
        EXPECT_TRUE(Contains(box, ink)) << "ink " << ink.left << "," << ink.top << "-" << ink.right << ","
                                        << ink.bottom;
        EXPECT_GE(ink.right - ink.left, text.cx - 4) << "the whole label is drawn";
        EXPECT_GE(ink.bottom - ink.top, text.cy / 2);
        const std::vector<uint32_t> px = platform::headless::ReadScreen(ink);
        EXPECT_NE(std::find(px.begin(), px.end(), 0xFFFFFFu), px.end()) << "white text";
    }
    const RECT sip = platform::shell::GetInputPanelButtonRect();
    EXPECT_EQ(InkBox(sip).right, 0) << "nothing drawn over the input-panel button";

    // A label too long for its half is cut inside it.
    HMENU longMenu = CreateMenu();
    AppendMenuW(longMenu, MF_STRING, 1, u"A label far too long for its half");
    AppendMenuW(longMenu, MF_STRING, 2, u"");
    MakeBar(longMenu);
    RunUntilIdle();
    const RECT half = platform::shell::GetSoftKeyRect(1);
    const RECT ink = InkBox(half);
    EXPECT_TRUE(Contains(RECT{half.left + 1, half.top + 1, half.right - 1, half.bottom - 1}, ink));
    EXPECT_GT(ink.right - ink.left, (half.right - half.left) * 3 / 4);
    EXPECT_EQ(InkBox(platform::shell::GetSoftKeyRect(2)).right, 0) << "an empty label draws nothing";
    DestroyWindow(SHFindMenuBar(window));
    DestroyMenu(longMenu);
}

TEST_P(ShellLabelTest, MenuItemsTheDoneButtonAndPanelKeysHaveTheirTexts) {
    MakeBar();
    ASSERT_TRUE(SHDoneButton(window, SHDB_SHOW));
    ASSERT_TRUE(SipShowIM(SIPF_ON));
    RunUntilIdle();
    platform::headless::SoftKey(2);
    RunUntilIdle();

    RECT list;
    ASSERT_TRUE(GetWindowRect(platform::shell::GetOpenMenuList(), &list));
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        // Inside the outline; items are set at the left.
        const RECT r{list.left + 1, list.top + row * 26 + 1, list.right - 1, list.top + (row + 1) * 26 - 1};
        const RECT ink = InkBox(r);
        EXPECT_GT(ink.right - ink.left, ChromeTextSize(u"One").cx - 4);
        EXPECT_LT(ink.left, r.left + 12);
        const std::vector<uint32_t> px = platform::headless::ReadScreen(ink);
        EXPECT_NE(std::find(px.begin(), px.end(), 0u), px.end()) << "black item texts";
    }
    const RECT done{240 - 52, 0, 240, 26};
    const RECT okInk = InkBox(done);
    EXPECT_GE(okInk.right - okInk.left, ChromeTextSize(u"ok").cx - 4);
    EXPECT_TRUE(Contains(done, okInk));

    RECT key;
    ASSERT_TRUE(platform::shell::GetInputPanelKeyRect('Q', &key));
    const RECT keyInk = InkBox(RECT{key.left + 1, key.top + 1, key.right - 1, key.bottom - 1});
    ASSERT_GT(keyInk.right, keyInk.left);
    const std::vector<uint32_t> px = platform::headless::ReadScreen(keyInk);
    EXPECT_NE(std::find(px.begin(), px.end(), 0u), px.end()) << "black key captions";
}

TEST_P(ShellLabelTest, TheTaskBarShowsTheActiveWindowsTitleBeforeTheButton) {
    // The title's room: a quarter of the bar's height in from the left, up to the same before the
    // title-bar button's place (two bar heights at the right end).
    const RECT room{6, 0, 240 - 52 - 6, 26};
    const WCHAR* longTitle = u"A conversation title far too long for the task bar";
    struct Case {
        const char* what;
        std::function<void(HWND window)> act;
        const WCHAR* shown; // empty: nothing drawn
        bool cut = false;
    };
    const Case cases[] = {
        {"a titled window activated", [](HWND w) { SetActiveWindow(w); }, u"app"},
        {"its title changes", [](HWND w) { SetWindowTextW(w, u"Inbox"); }, u"Inbox"},
        {"activation moves to another window",
         [this](HWND) {
             HWND other = Create(WS_POPUP | WS_VISIBLE, nullptr, u"Second", {0, 26, 240, 294});
             SetActiveWindow(other);
         },
         u"Second"},
        {"the last window goes", [](HWND w) { DestroyWindow(w); }, u""},
        {"an untitled window", [](HWND w) { SetWindowTextW(w, u""); }, u""},
        {"a hidden window activated",
         [this](HWND) {
             SetActiveWindow(Create(WS_POPUP, nullptr, u"Hidden", {0, 26, 240, 294}));
         },
         u""},
        {"an active hidden window shown",
         [this](HWND) {
             HWND hidden = Create(WS_POPUP, nullptr, u"Shown", {0, 26, 240, 294});
             SetActiveWindow(hidden);
             RunUntilIdle();
             ShowWindow(hidden, SW_SHOWNA);
         },
         u"Shown"},
        {"a child window retitled and focused",
         [this](HWND w) {
             HWND child = Create(WS_CHILD | WS_VISIBLE, w, u"Child", {0, 0, 50, 50});
             SetWindowTextW(child, u"Child two");
             SetFocus(child);
         },
         u"app"},
        {"a long title", [=](HWND w) { SetWindowTextW(w, longTitle); }, longTitle, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window = Create(WS_POPUP | WS_VISIBLE, nullptr, u"app", {0, 26, 240, 294});
        SetActiveWindow(window);
        platform::shell::EnsureTaskBar();
        RunUntilIdle();
        c.act(window);
        RunUntilIdle();

        const RECT bar{0, 0, 240 - 52, 26};
        if (!c.shown[0]) {
            EXPECT_EQ(InkBox(bar).right, 0) << "the bar is empty";
        } else {
            const SIZE text = ChromeTextSize(c.shown);
            const RECT ink = InkBox(bar);
            const LONG top = (26 - text.cy) / 2;
            EXPECT_TRUE(Contains(RECT{room.left, top - 1, room.right, top + text.cy + 1}, ink))
                << "ink " << ink.left << "," << ink.top << "-" << ink.right << "," << ink.bottom;
            EXPECT_LE(ink.left, room.left + 2) << "set at the left";
            EXPECT_GE(ink.bottom - ink.top, text.cy / 2);
            if (c.cut) {
                EXPECT_GT(text.cx, room.right - room.left) << "the case needs a title wider than the room";
                EXPECT_GT(ink.right, room.right - 12) << "cut at the end of the room, not before";
            } else {
                EXPECT_GE(ink.right - ink.left, text.cx - 4) << "the whole title is drawn";
                EXPECT_EQ(InkBox(RECT{ink.right + 2, 0, bar.right, 26}).right, 0) << "nothing after the title";
            }
            const std::vector<uint32_t> px = platform::headless::ReadScreen(ink);
            EXPECT_NE(std::find(px.begin(), px.end(), 0xFFFFFFu), px.end()) << "white text";
        }
        for (HWND h : created)
            if (IsWindow(h)) DestroyWindow(h);
        created.clear();
        RunUntilIdle();
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ShellLabelTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param == 32 ? "Argb32" : "Rgb565"; });

TEST_F(ShellTest, TheMenuBarLooksAsItDid) {
    HFONT font = platform::shell::CreateChromeFont();
    const std::string file = platform::detail::FontFilePath(font, nullptr);
    DeleteObject(font);
    ASSERT_NE(file.find("DejaVuSans.ttf"), std::string::npos) << "the golden is drawn with DejaVu Sans, not " << file;
    MakeBar();
    RunUntilIdle();
    EXPECT_TRUE(MatchesScreenGolden(RECT{0, 294, 240, 320}, "menu_bar"));
}

TEST_F(ShellTest, TheLedAndTheVibratorShowInTheTaskBarWhileTheyRun) {
    // No tray icons and no button: the signals take the two slots left of x 188, the lamp's centre
    // at (175, 13) and the buzz marks beside the handset outline at x 146..152.
    auto set = [](UINT led, INT state) {
        NLED_SETTINGS_INFO info{};
        info.LedNum = led;
        info.OffOnBlink = state;
        ASSERT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &info));
        RunUntilIdle();
    };
    auto at = [](int x, int y) { return platform::headless::ReadScreen(RECT{x, y, x + 1, y + 1})[0] & 0xFFFFFF; };
    const uint32_t lit = 0x3CE05A;
    set(0, 1);
    set(1, 1);
    const uint32_t bar = at(0, 0);
    EXPECT_TRUE(MatchesScreenGolden(RECT{0, 0, 240, 26}, "device_signals"));
    EXPECT_EQ(at(175, 13), lit);
    EXPECT_NE(InkBox(RECT{136, 0, 162, 26}).left, 0) << "the vibrator's mark";
    set(0, 2); // blinking: a lit ring around a dark centre
    EXPECT_EQ(at(175, 13), bar);
    EXPECT_EQ(at(169, 13), lit);
    set(1, 0);
    set(0, 0);
    EXPECT_EQ(InkBox(RECT{136, 0, 188, 26}).left, 0) << "nothing left once both stop";
    platform::shell::ResetDeviceServices();
}

} // namespace
