#include "platform/win/window.h"

#include <thread>

#include "platform/tests/message_log.h"
#include "platform/win/sync.h"

namespace {

using test::Messages;

class WindowTest : public test::WindowTest {};

TEST_F(WindowTest, CreationSendsItsMessagesInOrder) {
    HWND w = Create(WS_POPUP | WS_VISIBLE, nullptr, u"t", {3, 4, 13, 24});
    ASSERT_TRUE(w);
    // Shown during creation: a visible top-level window is activated and takes the focus.
    EXPECT_EQ(Messages(w),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}));
    const test::Logged& size = test::messageLog[2];
    EXPECT_EQ(size.lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(test::messageLog[3].lParam, MAKELPARAM(3, 4));
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetWindowThreadProcessId(w, nullptr), GetCurrentThreadId());
}

TEST_F(WindowTest, CreationCanBeRefused) {
    struct Case {
        UINT refuse;
        LRESULT answer;
        bool created;
    };
    // A procedure answering 1 to everything still gets its window.
    const Case cases[] = {
        {WM_NCCREATE, 0, false}, {WM_CREATE, -1, false}, {WM_CREATE, 1, true}, {WM_NCCREATE, 1, true}};
    for (const Case& c : cases) {
        test::onMessage = [&](HWND, UINT msg, WPARAM, LPARAM, LRESULT* r) {
            *r = c.answer;
            return msg == c.refuse;
        };
        HWND w = Create();
        EXPECT_EQ(w != nullptr, c.created) << c.refuse << " " << c.answer;
        EXPECT_EQ(IsWindow(w), c.created);
    }
}

TEST_F(WindowTest, CreateFailsForUnknownClassOrParent) {
    EXPECT_EQ(CreateWindowExW(0, u"no such class", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(Create(WS_CHILD), nullptr); // a child needs a parent
    EXPECT_EQ(Create(WS_CHILD, reinterpret_cast<HWND>(0x999)), nullptr);
}

TEST_F(WindowTest, DestroyDeliversDestroyInsideTheCall) {
    HWND parent = Create(WS_POPUP, nullptr, u"p", {10, 10, 110, 110});
    HWND child = Create(WS_CHILD, parent);
    HWND owned = Create(WS_POPUP, parent); // owned, not a child
    SetWindowLongPtrW(parent, GWL_USERDATA, 0x1234567890);
    LONG_PTR userDataSeen = 0;
    test::onMessage = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT*) {
        if (msg == WM_DESTROY && hwnd == parent) {
            userDataSeen = GetWindowLongPtrW(hwnd, GWL_USERDATA); // still a window
            EXPECT_TRUE(DestroyWindow(hwnd));                     // again, from inside: harmless
        }
        return false;
    };
    SetTimer(parent, 1, 10, nullptr);
    test::messageLog.clear();
    EXPECT_TRUE(DestroyWindow(parent));

    std::vector<std::pair<HWND, UINT>> seen;
    for (auto& l : test::messageLog)
        seen.push_back({l.hwnd, l.message});
    const std::vector<std::pair<HWND, UINT>> expected = {
        {owned, WM_DESTROY},  {owned, WM_NCDESTROY}, // owned windows go first
        {parent, WM_DESTROY}, {child, WM_DESTROY},   {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(userDataSeen, 0x1234567890);
    for (HWND h : {parent, child, owned})
        EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(DestroyWindow(parent));
    clock->Advance(100);
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)); // its timer went with it
}

TEST_F(WindowTest, OnlyTheOwningThreadDestroys) {
    HWND w = Create();
    BOOL result = TRUE;
    std::thread([&] { result = DestroyWindow(w); }).join();
    EXPECT_FALSE(result);
    EXPECT_TRUE(IsWindow(w));
}

TEST_F(WindowTest, WindowsOfAnEndedThreadAreDestroyed) {
    HWND w = nullptr;
    std::thread([&] { w = Create(); }).join();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(test::messageLog.back().message, WM_NCDESTROY);
}

TEST_F(WindowTest, ClassRegistration) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = test::LogProc;
    wc.lpszClassName = u"TEST LOG WINDOW"; // names compare without case
    EXPECT_EQ(RegisterClassW(&wc), 0);
    wc.lpszClassName = nullptr;
    EXPECT_EQ(RegisterClassW(&wc), 0);
    EXPECT_EQ(RegisterClassW(nullptr), 0);

    WNDCLASSW info{};
    ASSERT_TRUE(GetClassInfoW(nullptr, u"test log window", &info));
    EXPECT_EQ(info.lpfnWndProc, test::LogProc);
    EXPECT_EQ(info.cbWndExtra, 16);
    EXPECT_FALSE(GetClassInfoW(nullptr, u"other", &info));

    HWND w = Create();
    EXPECT_FALSE(UnregisterClassW(test::kLogClass, nullptr)); // a window of it still exists
    DestroyWindow(w);
    EXPECT_FALSE(UnregisterClassW(u"other", nullptr));
}

LRESULT Subclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER) return 99;
    return CallWindowProcW(test::LogProc, hwnd, msg, wp, lp);
}

TEST_F(WindowTest, WindowLongs) {
    HWND w = Create(WS_POPUP);
    static int target;
    auto pointer = reinterpret_cast<LONG_PTR>(&target);
    EXPECT_EQ(SetWindowLongPtrW(w, GWL_USERDATA, pointer), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_USERDATA), pointer); // the whole 64 bits
    EXPECT_EQ(DWORD(GetWindowLongW(w, GWL_STYLE)), WS_POPUP);
    SetWindowLongW(w, GWL_STYLE, LONG(WS_POPUP | WS_THICKFRAME));
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), LONG_PTR(WS_POPUP | WS_THICKFRAME));

    // The class's 16 extra bytes, and nothing past them.
    EXPECT_EQ(SetWindowLongW(w, 0, 7), 0);
    EXPECT_EQ(GetWindowLongW(w, 0), 7);
    EXPECT_EQ(SetWindowLongPtrW(w, 8, pointer), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, 8), pointer);
    EXPECT_EQ(GetWindowLongW(w, 12), LONG(uint64_t(pointer) >> 32));
    EXPECT_EQ(SetWindowLongW(w, 13, 1), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, 9), 0);
    EXPECT_EQ(GetWindowLongW(nullptr, GWL_STYLE), 0);

    auto old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
    EXPECT_EQ(old, test::LogProc);
    EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 99);
    test::messageLog.clear();
    SendMessageW(w, WM_USER + 1, 0, 0); // passed on to the old procedure
    EXPECT_EQ(Messages(w), std::vector<UINT>{WM_USER + 1});
}

TEST_F(WindowTest, MovingAndSizingSendMoveAndSizeInsideTheCall) {
    HWND w = Create(WS_POPUP, nullptr, u"m", {0, 0, 50, 40});
    struct Case {
        int x, y, cx, cy;
        UINT flags;
        std::vector<UINT> expected;
        RECT rect;
    };
    const Case cases[] = {
        {5, 6, 50, 40, SWP_NOZORDER, {WM_WINDOWPOSCHANGED, WM_MOVE}, {5, 6, 55, 46}},
        {5, 6, 70, 80, SWP_NOZORDER, {WM_WINDOWPOSCHANGED, WM_SIZE}, {5, 6, 75, 86}},
        {1, 1, 1, 1, SWP_NOMOVE | SWP_NOSIZE, {WM_WINDOWPOSCHANGED}, {5, 6, 75, 86}},
        {0, 0, 10, 10, SWP_NOMOVE, {WM_WINDOWPOSCHANGED, WM_SIZE}, {5, 6, 15, 16}},
        {2, 3, -5, 0, 0, {WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}, {2, 3, 2, 3}},
        // At the end of the coordinate range the far edges saturate instead of wrapping.
        {INT32_MAX - 5,
         INT32_MAX,
         10,
         10,
         0,
         {WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE},
         {INT32_MAX - 5, INT32_MAX, INT32_MAX, INT32_MAX}},
    };
    for (const Case& c : cases) {
        test::messageLog.clear();
        EXPECT_TRUE(SetWindowPos(w, nullptr, c.x, c.y, c.cx, c.cy, c.flags));
        EXPECT_EQ(Messages(w), c.expected) << c.x << "," << c.y << " " << c.cx << "x" << c.cy;
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom),
                  std::tie(c.rect.left, c.rect.top, c.rect.right, c.rect.bottom));
    }
    test::messageLog.clear();
    MoveWindow(w, 1, 2, 30, 20, TRUE);
    EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
    EXPECT_EQ(test::messageLog.back().lParam, MAKELPARAM(30, 20));
    EXPECT_FALSE(SetWindowPos(nullptr, nullptr, 0, 0, 0, 0, 0));

    SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WindowTest, ChildRectanglesAreInParentCoordinates) {
    HWND parent = Create(WS_POPUP, nullptr, u"p", {100, 200, 300, 400});
    HWND child = Create(WS_CHILD, parent, u"c", {10, 20, 40, 60});
    RECT r;
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(110, 220, 140, 260));
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(0, 0, 30, 40));
    EXPECT_FALSE(GetClientRect(nullptr, &r));
    EXPECT_EQ(GetParent(child), parent);
    // A child far out in a far-out parent reports a clamped rectangle, not a wrapped one.
    SetWindowPos(parent, nullptr, INT32_MAX - 5, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(child, nullptr, INT32_MAX - 5, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(std::tie(r.left, r.right), std::make_tuple(INT32_MAX, INT32_MAX));

    HWND owned = Create(WS_POPUP, parent);
    HWND ownedOverlapped = Create(WS_OVERLAPPED, parent);
    EXPECT_EQ(GetParent(owned), parent); // the owner of a popup
    EXPECT_EQ(GetParent(ownedOverlapped), nullptr);
}

TEST_F(WindowTest, ShowWindowReportsThePreviousState) {
    HWND w = Create(WS_POPUP, nullptr, u"s", {0, 0, 10, 10});
    EXPECT_FALSE(ShowWindow(w, SW_SHOWNA));
    EXPECT_TRUE(ShowWindow(w, SW_SHOW));
    test::messageLog.clear();
    EXPECT_TRUE(ShowWindow(w, SW_MINIMIZE));
    EXPECT_TRUE(ShowWindow(w, SW_RESTORE));
    EXPECT_EQ(Messages(w), (std::vector<UINT>{WM_SIZE, WM_SIZE}));
    EXPECT_EQ(test::messageLog[0].wParam, WPARAM(SIZE_MINIMIZED));
    EXPECT_EQ(test::messageLog[1].lParam, MAKELPARAM(10, 10));
    EXPECT_TRUE(ShowWindow(w, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(w));

    HWND child = Create(WS_CHILD | WS_VISIBLE, w);
    EXPECT_FALSE(IsWindowVisible(child)); // its parent is hidden
}

TEST_F(WindowTest, FindWindowSeesTopLevelWindowsOfThisProcess) {
    HWND a = Create(WS_POPUP, nullptr, u"Inbox");
    HWND b = Create(WS_POPUP, nullptr, u"Outbox");
    Create(WS_CHILD, a, u"Inner");
    Create(WS_POPUP, HWND_MESSAGE, u"Hidden");
    EXPECT_EQ(FindWindowW(test::kLogClass, u"inbox"), a);
    EXPECT_EQ(FindWindowW(nullptr, u"OUTBOX"), b);
    EXPECT_EQ(FindWindowW(u"test log WINDOW", nullptr), b) << "newest first";
    EXPECT_EQ(FindWindowW(nullptr, u"Inner"), nullptr);
    EXPECT_EQ(FindWindowW(nullptr, u"Hidden"), nullptr);
    DestroyWindow(b);
    EXPECT_EQ(FindWindowW(nullptr, u"Outbox"), nullptr);
    EXPECT_EQ(FindWindowW(u"no class", nullptr), nullptr);
}

TEST_F(WindowTest, WindowText) {
    HWND w = Create(WS_POPUP, nullptr, u"Hello");
    WCHAR buf[4];
    EXPECT_EQ(GetWindowTextW(w, buf, 4), 3);
    EXPECT_EQ(std::u16string(buf), u"Hel");
    SetWindowTextW(w, u"x");
    EXPECT_EQ(GetWindowTextW(w, buf, 4), 1);
    EXPECT_EQ(GetWindowTextW(w, buf, 0), 0);
}

} // namespace

TEST_F(WindowTest, PropertiesAreKeptByNameIgnoringCaseUntilRemoved) {
    HWND w = Create();
    int a = 0, b = 0;
    EXPECT_EQ(GetPropW(w, u"Box"), nullptr);
    EXPECT_TRUE(SetPropW(w, u"Box", &a));
    EXPECT_TRUE(SetPropW(w, u"other", &b));
    EXPECT_EQ(GetPropW(w, u"BOX"), &a);
    EXPECT_TRUE(SetPropW(w, u"box", &b)); // replaces
    EXPECT_EQ(GetPropW(w, u"Box"), &b);
    EXPECT_EQ(RemovePropW(w, u"box"), &b);
    EXPECT_EQ(GetPropW(w, u"Box"), nullptr);
    EXPECT_EQ(GetPropW(w, u"other"), &b);
    DestroyWindow(w);
    EXPECT_FALSE(SetPropW(w, u"Box", &a));
    EXPECT_EQ(GetPropW(w, u"other"), nullptr);
}

// A window flashes from the first request until one to stop; the answer is whether it flashed
// before. A malformed request, or one for a window that is gone, changes nothing.
TEST_F(WindowTest, FlashingLastsUntilStopped) {
    HWND a = Create(WS_POPUP, nullptr, u"a");
    HWND b = Create(WS_POPUP, nullptr, u"b");
    auto flash = [](HWND w, DWORD flags, UINT size = sizeof(FLASHWINFO)) {
        FLASHWINFO info{size, w, flags, 3, 0};
        return FlashWindowEx(&info);
    };
    EXPECT_FALSE(platform::IsAnyWindowFlashing());
    EXPECT_FALSE(flash(a, FLASHW_ALL | FLASHW_TIMER));
    EXPECT_TRUE(platform::IsWindowFlashing(a));
    EXPECT_FALSE(platform::IsWindowFlashing(b));
    EXPECT_TRUE(flash(a, FLASHW_CAPTION)) << "it was flashing";
    EXPECT_FALSE(flash(b, FLASHW_STOP, sizeof(FLASHWINFO) - 1));
    EXPECT_FALSE(FlashWindowEx(nullptr));
    EXPECT_TRUE(flash(a, FLASHW_STOP));
    EXPECT_FALSE(platform::IsAnyWindowFlashing());
    flash(b, FLASHW_TRAY);
    EXPECT_TRUE(platform::IsAnyWindowFlashing());
    DestroyWindow(b);
    EXPECT_FALSE(platform::IsWindowFlashing(b));
    EXPECT_FALSE(platform::IsAnyWindowFlashing()) << "a window that is gone flashes no more";
    EXPECT_FALSE(flash(b, FLASHW_ALL));
}
