#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/message_log.h"
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
    void SetUp() override {
        test::WindowTest::SetUp();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, 32, false, 96}));
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
    HWND MakeBar() {
        SHMENUBARINFO info{};
        info.cbSize = 36;
        info.hwndParent = window;
        info.dwFlags = SHCMBF_HMENU;
        info.nToolBarId = reinterpret_cast<UINT_PTR>(menu);
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

} // namespace
