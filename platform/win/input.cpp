#include "platform/win/input.h"

#include <cstdlib>
#include <deque>
#include <mutex>

#include "platform/shell/menu_bar.h"
#include "platform/win/clock.h"
#include "platform/win/ime.h"
#include "platform/win/message_queue_internal.h"
#include "platform/win/messages.h"
#include "platform/win/sync.h"
#include "platform/win/window_internal.h"

namespace {

struct RawInput {
    enum Kind : uint8_t { kPointer, kKey, kSoftKey, kBack, kText };
    RawInput() = default;
    RawInput(Kind k, bool d, UINT c, int r, POINT p, DWORD t)
        : kind(k), down(d), code(c), repeat(r), point(p), time(t) {}
    Kind kind = kPointer;
    bool down = false;
    UINT code = 0; // the pointer message, the virtual key, or the message of typed text
    int repeat = 1;
    POINT point{0, 0};
    DWORD time = 0;
    WPARAM wParam = 0;          // typed text: the character
    LPARAM lParam = 0;          // typed text: the composition's parts
    std::u16string composition; // the string the input context answers while the message is handled
};

std::mutex inputMutex; // guards everything below
std::deque<RawInput> pending;
BYTE asyncKeys[256];
// Keys pressed since GetAsyncKeyState last asked about them (its bit 0).
BYTE asyncPressed[256];
// Lets a backend take in the input that arrived while the loop was not asking for it.
void (*asyncPoll)() = nullptr;
BYTE syncKeys[256];
UINT doubleClickTime = 500;
UINT caretBlinkTime = 500;
bool textFromEvents = false;
// Another key went down while Alt was held: its release is then a plain key-up.
bool altCombined = false;
// The last left press, for double clicks.
struct {
    HWND hwnd = nullptr;
    DWORD time = 0;
    POINT point{0, 0};
    bool armed = false;
} lastPress;

constexpr BYTE kDown = 0x80, kToggled = 0x01;

void Press(BYTE* keys, UINT vk, bool down) {
    vk &= 0xFF;
    if (down) {
        if (!(keys[vk] & kDown)) keys[vk] ^= kToggled;
        keys[vk] |= kDown;
    } else {
        keys[vk] &= BYTE(~kDown);
    }
}

bool Held(const BYTE* keys, UINT vk) {
    return (keys[vk & 0xFF] & kDown) != 0;
}

// Typed characters of a US keyboard; Ctrl with a letter gives its control character.
const char kShiftedDigits[] = ")!@#$%^&*(";
struct OemKey {
    UINT vk;
    char plain, shifted;
};
constexpr OemKey kOemKeys[] = {{0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
                               {0xBE, '.', '>'},  {0xBF, '/', '?'}, {0xC0, '`', '~'}, {0xDB, '[', '{'},
                               {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'}};

bool TranslateKey(UINT vk, LPARAM, bool system, WCHAR* ch) {
    bool shift, ctrl;
    {
        std::lock_guard lock(inputMutex);
        shift = Held(syncKeys, VK_SHIFT);
        ctrl = Held(syncKeys, VK_CONTROL);
    }
    bool fromEvents;
    {
        std::lock_guard lock(inputMutex);
        fromEvents = textFromEvents;
    }
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl && !system)
            *ch = WCHAR(vk - 'A' + 1);
        else if (fromEvents)
            return false;
        else
            *ch = WCHAR(shift && !system ? vk : vk - 'A' + 'a');
        return true;
    }
    if (ctrl && !system) return false;
    if (fromEvents && vk != VK_BACK && vk != VK_TAB && vk != VK_RETURN && vk != VK_ESCAPE) return false;
    if (vk >= '0' && vk <= '9') {
        *ch = WCHAR(shift ? kShiftedDigits[vk - '0'] : vk);
        return true;
    }
    if (vk >= 0x60 && vk <= 0x69) { // the number pad
        *ch = WCHAR('0' + vk - 0x60);
        return true;
    }
    switch (vk) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_SPACE:
        *ch = WCHAR(vk);
        return true;
    case 0x6A:
        *ch = u'*';
        return true;
    case VK_ADD:
        *ch = u'+';
        return true;
    case VK_SUBTRACT:
        *ch = u'-';
        return true;
    case 0x6E:
        *ch = u'.';
        return true;
    case 0x6F:
        *ch = u'/';
        return true;
    default:
        break;
    }
    for (const OemKey& k : kOemKeys)
        if (k.vk == vk) {
            *ch = WCHAR(shift ? k.shifted : k.plain);
            return true;
        }
    return false;
}

UINT ButtonKey(UINT message);

void Queue(const RawInput& input) {
    static bool translatorInstalled = false;
    std::lock_guard lock(inputMutex);
    if (!translatorInstalled) {
        platform::SetKeyTranslator(TranslateKey);
        translatorInstalled = true;
    }
    // The physical state follows the input at once, as the device's drivers set it.
    const UINT vk = input.kind == RawInput::kKey       ? input.code
                    : input.kind == RawInput::kPointer ? ButtonKey(input.code)
                                                       : 0;
    if (vk) {
        Press(asyncKeys, vk, input.down);
        if (input.down) asyncPressed[vk & 0xFF] = 1;
    }
    pending.push_back(input);
}

DWORD Now() {
    return GetTickCount();
}

WNDPROC ClassProcStyle(HWND hwnd, UINT* classStyle, DWORD* exStyle, DWORD* thread) {
    using namespace platform::detail;
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    *classStyle = w->cls ? w->cls->wc.style : 0;
    *exStyle = w->exStyle;
    *thread = w->thread;
    return w->proc;
}

HWND TopLevel(HWND hwnd) {
    for (HWND p; (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) && (p = GetParent(hwnd));)
        hwnd = p;
    return hwnd;
}

WPARAM MouseKeys() {
    WPARAM keys = 0;
    if (Held(syncKeys, VK_LBUTTON)) keys |= MK_LBUTTON;
    if (Held(syncKeys, VK_RBUTTON)) keys |= MK_RBUTTON;
    if (Held(syncKeys, VK_MBUTTON)) keys |= MK_MBUTTON;
    if (Held(syncKeys, VK_SHIFT)) keys |= MK_SHIFT;
    if (Held(syncKeys, VK_CONTROL)) keys |= MK_CONTROL;
    return keys;
}

UINT ButtonKey(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return VK_LBUTTON;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return VK_RBUTTON;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return VK_MBUTTON;
    default:
        return 0;
    }
}

// What a pointer input becomes now: the capture window takes it, else the window under the point;
// a disabled window takes nothing. A left press close in time and place to the last one on a window
// whose class asks for double clicks becomes WM_LBUTTONDBLCLK.
bool RoutePointer(const RawInput& in, MSG* msg, HWND* activate) {
    HWND target = GetCapture();
    if (!target) target = WindowFromPoint(in.point);
    if (!target || !IsWindowEnabled(target)) return false;
    UINT classStyle = 0;
    DWORD exStyle = 0, thread = 0;
    if (!ClassProcStyle(target, &classStyle, &exStyle, &thread)) return false;
    UINT message = in.code;
    if (message == WM_LBUTTONDOWN) {
        const int slop = 4;
        if (lastPress.armed && lastPress.hwnd == target && (classStyle & CS_DBLCLKS) &&
            in.time - lastPress.time <= doubleClickTime && std::abs(in.point.x - lastPress.point.x) <= slop &&
            std::abs(in.point.y - lastPress.point.y) <= slop) {
            message = WM_LBUTTONDBLCLK;
            lastPress.armed = false;
        } else {
            lastPress = {target, in.time, in.point, true};
        }
    }
    POINT client = in.point;
    ScreenToClient(target, &client);
    *msg = MSG{target, message, 0, MAKELPARAM(client.x, client.y), in.time, in.point};
    const bool press = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN ||
                       message == WM_MBUTTONDOWN;
    if (press) {
        HWND top = TopLevel(target);
        UINT cs;
        DWORD topEx = 0, t;
        if (ClassProcStyle(top, &cs, &topEx, &t) && !(topEx & WS_EX_NOACTIVATE) && GetActiveWindow() != top)
            *activate = top;
    }
    return true;
}

// A key goes to the focus window, else to the active window. Alt makes it a system key; Alt
// released after another key is a plain key-up, so that only Alt alone reaches the menu.
bool RouteKey(UINT vk, bool down, bool wasDown, int repeat, DWORD time, MSG* msg) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (!target || !IsWindowEnabled(target)) return false;
    const bool alt = Held(syncKeys, VK_MENU), ctrl = Held(syncKeys, VK_CONTROL);
    bool system;
    if (vk == VK_MENU) {
        if (down) altCombined = false;
        system = down || !altCombined;
    } else {
        if (alt && down) altCombined = true;
        system = alt && !ctrl;
    }
    const UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM data = LPARAM(WORD(repeat < 1 ? 1 : repeat));
    if (alt) data |= LPARAM(1) << 29;
    if (wasDown) data |= LPARAM(1) << 30;
    if (!down) data |= LPARAM(1) << 31;
    *msg = MSG{target, message, vk, data, time, {0, 0}};
    return true;
}

bool ThreadOwns(HWND hwnd) {
    return GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
}

} // namespace

SHORT GetKeyState(int vk) {
    std::lock_guard lock(inputMutex);
    const BYTE k = syncKeys[vk & 0xFF];
    return SHORT(((k & kDown) ? 0x8000 : 0) | (k & kToggled));
}

SHORT GetAsyncKeyState(int vk) {
    if (asyncPoll) asyncPoll();
    std::lock_guard lock(inputMutex);
    const SHORT pressed = asyncPressed[vk & 0xFF];
    asyncPressed[vk & 0xFF] = 0;
    return SHORT(((asyncKeys[vk & 0xFF] & kDown) ? 0x8000 : 0) | pressed);
}

UINT GetDoubleClickTime() {
    std::lock_guard lock(inputMutex);
    return doubleClickTime;
}

BOOL SetDoubleClickTime(UINT ms) {
    std::lock_guard lock(inputMutex);
    doubleClickTime = ms ? ms : 500;
    return TRUE;
}

UINT GetCaretBlinkTime() {
    std::lock_guard lock(inputMutex);
    return caretBlinkTime;
}

BOOL SetCaretBlinkTime(UINT ms) {
    std::lock_guard lock(inputMutex);
    caretBlinkTime = ms;
    return TRUE;
}

namespace platform::input {

void PointerMove(int x, int y) {
    Queue({RawInput::kPointer, false, WM_MOUSEMOVE, 1, {x, y}, Now()});
}

namespace {
UINT PressMessage(Button b, bool down) {
    switch (b) {
    case Button::Right:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case Button::Middle:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    }
}
} // namespace

void PointerDown(int x, int y, Button button) {
    Queue({RawInput::kPointer, true, PressMessage(button, true), 1, {x, y}, Now()});
}

void PointerUp(int x, int y, Button button) {
    Queue({RawInput::kPointer, false, PressMessage(button, false), 1, {x, y}, Now()});
}

void KeyDown(UINT vk, int repeat) {
    Queue({RawInput::kKey, true, vk & 0xFF, repeat, {0, 0}, Now()});
}

void KeyUp(UINT vk) {
    Queue({RawInput::kKey, false, vk & 0xFF, 1, {0, 0}, Now()});
}

void Text(const std::u16string& text) {
    for (char16_t unit : text) {
        RawInput in{RawInput::kText, true, WM_CHAR, 1, {0, 0}, Now()};
        in.wParam = unit;
        in.lParam = 1;
        Queue(in);
    }
}

void CompositionStart() {
    Queue({RawInput::kText, true, WM_IME_STARTCOMPOSITION, 1, {0, 0}, Now()});
}

void Composition(const std::u16string& text, bool final) {
    RawInput in{RawInput::kText, true, WM_IME_COMPOSITION, 1, {0, 0}, Now()};
    in.lParam = LPARAM(GCS_COMPSTR | (final ? GCS_RESULTSTR : 0));
    in.composition = text;
    Queue(in);
}

void CompositionEnd() {
    Queue({RawInput::kText, true, WM_IME_ENDCOMPOSITION, 1, {0, 0}, Now()});
}

void SetTextFromEvents(bool on) {
    std::lock_guard lock(inputMutex);
    textFromEvents = on;
}

void SoftKey(int which, bool down) {
    if (which != 1 && which != 2) return;
    Queue({RawInput::kSoftKey, down, which == 1 ? VK_TSOFT1 : VK_TSOFT2, 1, {0, 0}, Now()});
}

void BackKey(bool down) {
    Queue({RawInput::kBack, down, VK_TBACK, 1, {0, 0}, Now()});
}

size_t Pending() {
    std::lock_guard lock(inputMutex);
    return pending.size();
}

void SetAsyncPoll(void (*poll)()) {
    asyncPoll = poll;
}

void Reset() {
    std::lock_guard lock(inputMutex);
    pending.clear();
    std::fill(std::begin(asyncKeys), std::end(asyncKeys), BYTE(0));
    std::fill(std::begin(asyncPressed), std::end(asyncPressed), BYTE(0));
    std::fill(std::begin(syncKeys), std::end(syncKeys), BYTE(0));
    altCombined = false;
    lastPress = {};
    caretBlinkTime = 500;
}

} // namespace platform::input

namespace platform::detail {

bool TakeInput(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    for (;;) {
        RawInput in;
        {
            std::lock_guard lock(inputMutex);
            if (pending.empty()) return false;
            in = pending.front();
        }
        // Routing reads windows, capture and focus: done outside the input lock.
        MSG routed{};
        HWND activate = nullptr;
        bool deliver = false;
        bool asKey = in.kind == RawInput::kKey;
        if (in.kind == RawInput::kPointer) {
            std::lock_guard lock(inputMutex);
            if (!remove) {
                auto saved = lastPress;
                deliver = RoutePointer(in, &routed, &activate);
                lastPress = saved;
            } else {
                deliver = RoutePointer(in, &routed, &activate);
            }
        } else if (in.kind == RawInput::kSoftKey || in.kind == RawInput::kBack) {
            switch (platform::shell::RouteShellKey(in.code, in.down, GetActiveWindow(), &routed)) {
            case platform::shell::ShellKey::kPassOn:
                asKey = true;
                break;
            case platform::shell::ShellKey::kMessage:
                routed.time = in.time;
                deliver = true;
                break;
            case platform::shell::ShellKey::kSwallowed:
                break;
            }
        }
        if (in.kind == RawInput::kText) {
            HWND target = GetFocus();
            if (!target) target = GetActiveWindow();
            deliver = target && IsWindowEnabled(target);
            routed = MSG{target, in.code, in.wParam, in.lParam, in.time, {0, 0}};
        }
        if (asKey) {
            std::lock_guard lock(inputMutex);
            // Routed with the key state as of this key, so Alt decides its own message.
            BYTE saved[256];
            std::copy(std::begin(syncKeys), std::end(syncKeys), saved);
            const bool wasDown = Held(syncKeys, in.code);
            Press(syncKeys, in.code, in.down);
            if (in.kind != RawInput::kKey) Press(asyncKeys, in.code, in.down);
            deliver = RouteKey(in.code, in.down, wasDown, in.repeat, in.time, &routed);
            if (!remove) {
                std::copy(std::begin(saved), std::end(saved), syncKeys);
                if (in.kind != RawInput::kKey) Press(asyncKeys, in.code, !in.down);
            }
        }
        if (deliver && !ThreadOwns(routed.hwnd)) return false; // another thread's loop takes it
        if (deliver && !(MatchesWindow(routed.hwnd, filter) && InRange(routed.message, filterMin, filterMax)))
            return false;
        if (!remove && deliver) {
            *msg = routed;
            return true;
        }
        {
            std::lock_guard lock(inputMutex);
            if (!pending.empty()) pending.pop_front();
            if (in.kind == RawInput::kPointer) {
                if (UINT vk = ButtonKey(in.code)) Press(syncKeys, vk, in.down);
            }
        }
        if (in.kind == RawInput::kPointer) SetCursorPos(in.point.x, in.point.y);
        if (in.kind == RawInput::kText && in.code == WM_IME_COMPOSITION)
            platform::detail::SetCompositionString(in.composition);
        if (!deliver) {
            if (!remove) return false;
            continue; // nothing takes it: the next input may
        }
        if (in.kind == RawInput::kPointer) {
            std::lock_guard lock(inputMutex);
            routed.wParam = MouseKeys();
        }
        // A press activates its top-level window before the press itself is handled.
        if (activate) SetForegroundWindow(activate);
        *msg = routed;
        return true;
    }
}

} // namespace platform::detail
