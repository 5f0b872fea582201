#include "platform/win/input.h"

#include <string>
#include <vector>

#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/message_log.h"
#include "platform/win/ime.h"
#include "platform/win/screen.h"

namespace {

using platform::headless::RunUntilIdle;
using test::Logged;
using test::Messages;

constexpr const WCHAR* kDoubleClickClass = u"Test Double Click Window";

bool IsInput(UINT m) {
    if (m == WM_CHAR || m == WM_SYSCHAR) return false;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || m == WM_HOTKEY ||
           m == WM_COMMAND || m == WM_CAPTURECHANGED;
}

// The input messages a window received, in order.
std::vector<Logged> InputOf(HWND hwnd) {
    std::vector<Logged> out;
    for (const Logged& l : test::messageLog)
        if (l.hwnd == hwnd && IsInput(l.message)) out.push_back(l);
    return out;
}

std::vector<UINT> InputMessages(HWND hwnd) {
    std::vector<UINT> out;
    for (const Logged& l : InputOf(hwnd))
        out.push_back(l.message);
    return out;
}

POINT ClientPoint(LPARAM lParam) {
    return POINT{int16_t(LOWORD(ULONG_PTR(lParam))), int16_t(HIWORD(ULONG_PTR(lParam)))};
}

class InputTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowTest::SetUp();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, 32, false, 96}));
        platform::input::Reset();
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = test::LogProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kDoubleClickClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
    }
    void TearDown() override {
        platform::input::Reset();
        test::WindowTest::TearDown();
        UnregisterClassW(kDoubleClickClass, GetModuleHandleW(nullptr));
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    HWND CreateDoubleClick(RECT r) {
        HWND h = CreateWindowExW(0, kDoubleClickClass, u"dbl", WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        created.push_back(h);
        return h;
    }
    void Clear() { test::messageLog.clear(); }
};

TEST_F(InputTest, ATapReachesTheWindowUnderItInClientCoordinatesAndActivatesIt) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {10, 20, 110, 120});
    HWND b = Create(WS_POPUP | WS_VISIBLE, nullptr, u"b", {120, 20, 220, 120});
    ASSERT_EQ(GetActiveWindow(), b);
    Clear();
    POINT before{};
    GetCursorPos(&before);
    platform::headless::Tap(15, 30);
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, before.x) << "the cursor moves when the loop takes the input";
    RunUntilIdle();
    const auto got = InputOf(a);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(got[0].wParam, MK_LBUTTON);
    EXPECT_EQ(got[0].lParam, MAKELPARAM(5, 10));
    EXPECT_EQ(got[1].message, WM_LBUTTONUP);
    EXPECT_EQ(got[1].wParam, 0u);
    EXPECT_EQ(GetActiveWindow(), a) << "a tap activates its top-level window";
    // Activation comes before the press is handled.
    auto activate = std::find_if(test::messageLog.begin(), test::messageLog.end(),
                                 [&](const Logged& l) { return l.hwnd == a && l.message == WM_ACTIVATE; });
    auto press = std::find_if(test::messageLog.begin(), test::messageLog.end(),
                              [&](const Logged& l) { return l.hwnd == a && l.message == WM_LBUTTONDOWN; });
    EXPECT_LT(activate, press);
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 15);
    EXPECT_EQ(cursor.y, 30);
    EXPECT_TRUE(InputOf(b).empty());
}

TEST_F(InputTest, ARightToLeftWindowGetsItsClientXFromItsRightEdge) {
    HWND w = Create(WS_POPUP | WS_VISIBLE, nullptr, u"rtl", {10, 20, 110, 120});
    SetWindowLongW(w, GWL_EXSTYLE, LONG(WS_EX_LAYOUTRTL));
    Clear();
    platform::headless::Tap(15, 30);
    RunUntilIdle();
    const auto got = InputOf(w);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(got[0].lParam, MAKELPARAM(94, 10)) << "five pixels from the left of a window 100 wide";
}

TEST_F(InputTest, DisabledWindowsAndEmptyScreenTakeNothing) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 50, 50});
    EnableWindow(a, FALSE);
    RunUntilIdle();
    Clear();
    platform::headless::Tap(5, 5);
    platform::headless::Tap(200, 200);
    RunUntilIdle();
    EXPECT_TRUE(InputOf(a).empty());
    EXPECT_EQ(platform::input::Pending(), 0u);
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyleTheTimeAndThePlace) {
    HWND dbl = CreateDoubleClick({0, 0, 100, 100});
    HWND plain = Create(WS_POPUP | WS_VISIBLE, nullptr, u"p", {100, 0, 200, 100});
    struct Case {
        HWND hwnd;
        POINT second;
        DWORD gap;
        bool doubled;
    };
    const Case cases[] = {
        {dbl, {11, 11}, 100, true},
        {dbl, {11, 11}, 600, false},
        {dbl, {30, 11}, 100, false},
        {plain, {111, 11}, 100, false},
    };
    for (const Case& c : cases) {
        RunUntilIdle();
        clock->Advance(1000); // far from the previous case
        Clear();
        POINT first{c.hwnd == dbl ? 10 : 110, 10};
        platform::headless::Tap(first.x, first.y);
        RunUntilIdle();
        clock->Advance(c.gap);
        platform::headless::Tap(c.second.x, c.second.y);
        RunUntilIdle();
        const UINT second = c.doubled ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
        EXPECT_EQ(InputMessages(c.hwnd), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, second, WM_LBUTTONUP}))
            << c.gap << " ms, x " << c.second.x;
    }
    // A third press after a double click starts over.
    Clear();
    platform::headless::Tap(50, 50);
    platform::headless::Tap(50, 50);
    platform::headless::Tap(50, 50);
    RunUntilIdle();
    EXPECT_EQ(InputMessages(dbl), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                                     WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST_F(InputTest, CaptureTakenOnPressHoldsLaterInputThatWasAlreadyWaiting) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {10, 10, 60, 60});
    HWND b = Create(WS_POPUP | WS_VISIBLE, nullptr, u"b", {100, 10, 150, 60});
    test::onMessage = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (hwnd == a && msg == WM_LBUTTONDOWN) SetCapture(a);
        if (hwnd == a && msg == WM_LBUTTONUP) ReleaseCapture();
        return false;
    };
    Clear();
    // All of it waits before the press is handled: the moves over b still go to a.
    platform::headless::Drag({20, 20}, {120, 20}, 4);
    platform::headless::MoveTo(120, 20);
    RunUntilIdle();
    const auto got = InputOf(a);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(got[4].message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(got[4].wParam, MK_LBUTTON);
    EXPECT_EQ(ClientPoint(got[4].lParam).x, 110) << "outside the window, relative to it";
    EXPECT_EQ(got[5].message, UINT(WM_LBUTTONUP));
    EXPECT_EQ(got[6].message, UINT(WM_CAPTURECHANGED));
    // After the release the last move goes to the window under the pointer again.
    EXPECT_EQ(InputMessages(b), (std::vector<UINT>{WM_MOUSEMOVE}));
}

TEST_F(InputTest, InputFasterThanTheLoopKeepsEveryMessageInOrder) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 240, 240});
    Clear();
    for (int i = 0; i < 1000; ++i)
        platform::headless::MoveTo(i % 200, i / 200);
    platform::headless::Tap(7, 8);
    EXPECT_EQ(platform::input::Pending(), 1002u);
    RunUntilIdle(5000);
    const auto got = InputOf(a);
    ASSERT_EQ(got.size(), 1002u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(got[size_t(i)].message, UINT(WM_MOUSEMOVE));
        ASSERT_EQ(ClientPoint(got[size_t(i)].lParam).x, i % 200) << i;
    }
    EXPECT_EQ(got[1000].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(got[1001].message, UINT(WM_LBUTTONUP));
}

TEST_F(InputTest, KeysGoToTheFocusWithTheirCharacterAlreadyQueued) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 50, 50});
    ASSERT_EQ(GetFocus(), a);
    struct Case {
        UINT vk, modifier;
        WCHAR ch;
    };
    const Case cases[] = {{'A', 0, u'a'},     {'A', VK_SHIFT, u'A'}, {'V', VK_CONTROL, 22}, {'1', VK_SHIFT, u'!'},
                          {VK_RETURN, 0, 13}, {VK_BACK, 0, 8},       {VK_LEFT, 0, 0},       {0xBE, 0, u'.'}};
    for (const Case& c : cases) {
        Clear();
        WCHAR seen = 0;
        SHORT stateSeen = 0;
        test::onMessage = [&](HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT*) {
            MSG peek;
            if (msg == WM_KEYDOWN && wParam == c.vk) {
                if (PeekMessageW(&peek, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE)) seen = WCHAR(peek.wParam);
                if (c.modifier) stateSeen = GetKeyState(int(c.modifier));
            }
            return false;
        };
        platform::headless::Key(c.vk, c.modifier);
        if (c.modifier) {
            EXPECT_TRUE((GetAsyncKeyState(int(c.modifier)) & 0x8000) == 0) << "released already, as input";
        }
        RunUntilIdle();
        EXPECT_EQ(seen, c.ch) << c.vk;
        if (c.modifier) {
            EXPECT_TRUE(stateSeen & 0x8000) << "the modifier is down as of the key";
        }
        EXPECT_FALSE(GetKeyState(int(c.modifier ? c.modifier : c.vk)) & 0x8000);
    }
}

TEST_F(InputTest, AltMakesSystemKeysAndAltAloneIsReleasedAsASystemKey) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 50, 50});
    Clear();
    platform::headless::Key(VK_F4, VK_MENU);
    platform::headless::Key(VK_MENU);
    RunUntilIdle();
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const Logged& l : InputOf(a))
        got.push_back({l.message, l.wParam});
    const std::vector<std::pair<UINT, WPARAM>> want{{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, VK_F4},
                                                    {WM_SYSKEYUP, VK_F4},     {WM_KEYUP, VK_MENU},
                                                    {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYUP, VK_MENU}};
    EXPECT_EQ(got, want);
    // The key data: repeat count 1, Alt down in bit 29, key-up transition bits.
    EXPECT_EQ(InputOf(a)[1].lParam, LPARAM(1) | (LPARAM(1) << 29));
    EXPECT_EQ(InputOf(a)[2].lParam, LPARAM(1) | (LPARAM(1) << 29) | (LPARAM(3) << 30));
}

TEST_F(InputTest, AutoRepeatedKeysCarryTheirCount) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 50, 50});
    Clear();
    platform::input::KeyDown('X');
    platform::input::KeyDown('X', 3);
    platform::input::KeyUp('X');
    RunUntilIdle();
    const auto got = InputOf(a);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].lParam, 1);
    EXPECT_EQ(got[1].lParam, 3 | (LPARAM(1) << 30)) << "the key was down before";
}

} // namespace

namespace {

// The characters and composition messages a window received, in order, as "message:wParam:lParam".
std::vector<std::string> TextOf(HWND hwnd) {
    std::vector<std::string> out;
    for (const Logged& l : test::messageLog)
        if (l.hwnd == hwnd &&
            (l.message == WM_CHAR || (l.message >= WM_IME_STARTCOMPOSITION && l.message <= WM_IME_COMPOSITION)))
            out.push_back(std::to_string(l.message) + ":" + std::to_string(l.wParam) + ":" + std::to_string(l.lParam));
    return out;
}

} // namespace

TEST_F(InputTest, TypedTextComesAsCharactersAndCompositionWithItsString) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 50, 50});
    ASSERT_EQ(GetFocus(), a);
    Clear();
    // A character beyond the first plane is its two surrogates, the high one first.
    platform::input::Text(u"\u00e9\U0001F600");
    RunUntilIdle();
    EXPECT_EQ(TextOf(a), (std::vector<std::string>{"258:233:1", "258:55357:1", "258:56832:1"}));

    // The composition's string is the one of the message being handled, not the latest.
    Clear();
    std::vector<std::u16string> strings;
    test::onMessage = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg != WM_IME_COMPOSITION) return false;
        HIMC context = ImmGetContext(hwnd);
        WCHAR buffer[8] = {};
        const LONG bytes = ImmGetCompositionStringW(context, GCS_COMPSTR, buffer, 6);
        strings.push_back(std::u16string(buffer, size_t(bytes / 2)));
        ImmReleaseContext(hwnd, context);
        return false;
    };
    platform::input::CompositionStart();
    platform::input::Composition(u"n", false);
    platform::input::Composition(u"nihao", false);
    platform::input::Composition(u"\u4f60", true);
    platform::input::CompositionEnd();
    RunUntilIdle();
    test::onMessage = nullptr;
    EXPECT_EQ(TextOf(a), (std::vector<std::string>{"269:0:0", "271:0:8", "271:0:8", "271:0:2056", "270:0:0"}));
    EXPECT_EQ(strings, (std::vector<std::u16string>{u"n", u"nih", u"\u4f60"})) << "cut at the buffer, whole units";

    // When a display delivers text as events, keys type only their control characters.
    platform::input::SetTextFromEvents(true);
    Clear();
    platform::headless::Key('A');
    platform::headless::Key('C', VK_CONTROL);
    platform::headless::Key(VK_BACK);
    platform::headless::Key(VK_SPACE);
    RunUntilIdle();
    platform::input::SetTextFromEvents(false);
    EXPECT_EQ(TextOf(a), (std::vector<std::string>{"258:3:1", "258:8:1"}));
}

TEST_F(InputTest, TheInputMethodOpensAndClosesTheInputPanel) {
    HWND a = Create(WS_POPUP | WS_VISIBLE, nullptr, u"a", {0, 0, 50, 50});
    HIMC context = ImmGetContext(a);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(ImmGetContext(nullptr), nullptr);
    SIPINFO sip{};
    sip.cbSize = sizeof sip;
    ASSERT_TRUE(ImmSetOpenStatus(context, TRUE));
    EXPECT_TRUE(ImmGetOpenStatus(context));
    ASSERT_TRUE(SipGetInfo(&sip));
    EXPECT_TRUE(sip.fdwFlags & SIPF_ON);
    EXPECT_EQ(ImmEscapeW(nullptr, context, IME_ESC_SET_MODE, reinterpret_cast<void*>(intptr_t(2))), 1);
    EXPECT_EQ(platform::ime::GetMode(), 2);
    ASSERT_TRUE(ImmSetOpenStatus(context, FALSE));
    ASSERT_TRUE(SipGetInfo(&sip));
    EXPECT_FALSE(sip.fdwFlags & SIPF_ON);
    ImmReleaseContext(a, context);
    platform::ime::Reset();
    // The panel and the chrome it brought go, with what they left to paint.
    platform::shell::ResetShell();
    RunUntilIdle();
}

TEST_F(InputTest, TheAsyncStateFollowsInputAtOnceAndReportsEachPressOnce) {
    // A loop that polls without taking messages (a screen transition) sees keys and the stylus.
    platform::input::KeyDown('Q');
    EXPECT_EQ(SHORT(0x8001), GetAsyncKeyState('Q')) << "down, and pressed since the last question";
    EXPECT_EQ(SHORT(0x8000), GetAsyncKeyState('Q')) << "the press is reported once";
    platform::input::KeyUp('Q');
    EXPECT_EQ(0, GetAsyncKeyState('Q'));
    platform::input::PointerDown(5, 5);
    EXPECT_EQ(SHORT(0x8001), GetAsyncKeyState(VK_LBUTTON)) << "still waiting in the queue";
    platform::input::PointerUp(5, 5);
    EXPECT_EQ(0, GetAsyncKeyState(VK_LBUTTON));
    RunUntilIdle();
    EXPECT_EQ(0, GetAsyncKeyState(VK_LBUTTON)) << "taking the input changes nothing more";
}
