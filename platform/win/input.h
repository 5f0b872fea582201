#pragma once
// Pointer and key input: the key state, the double-click time, and the one road that every input
// takes into the message loop. Backends and tests hand raw input in (screen points, virtual keys,
// the soft keys and the Back key); it waits in arrival order and is routed only when the loop takes
// it, after the posted messages, so the capture, focus and activation of that moment decide where
// it goes, as on the device. Nothing is merged or dropped on the way: a thousand moves stay a
// thousand WM_MOUSEMOVEs. Input belongs to the thread that owns the window it is routed to.
#include <string>

#include "platform/types.h"
#include "platform/win/message_queue.h"

// Virtual keys the toolkit and the shell name.
constexpr UINT VK_LBUTTON = 0x01;
constexpr UINT VK_RBUTTON = 0x02;
constexpr UINT VK_MBUTTON = 0x04;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F2 = 0x71;
constexpr UINT VK_F4 = 0x73;
// The device's soft keys and Back key arrive as these.
constexpr UINT VK_TSOFT1 = VK_F1;
constexpr UINT VK_TSOFT2 = VK_F2;
constexpr UINT VK_TBACK = VK_ESCAPE;
constexpr UINT VK_TSTAR = 0x77;
constexpr UINT VK_TPOUND = 0x78;

// Mouse message wParam bits.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// A window with this extended style never becomes active by a tap (the shell's chrome).
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// Bit 15 set while the key is down, bit 0 toggled by each press; as of the message being handled.
SHORT GetKeyState(int virtualKey);
// The same, as the keys are now (input still waiting in the queue counts), with bit 0 set when the
// key went down since the last call asked about it.
SHORT GetAsyncKeyState(int virtualKey);
UINT GetDoubleClickTime();
BOOL SetDoubleClickTime(UINT ms);
// The caret's blink period in milliseconds (half a cycle); 0 stops the blinking.
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT ms);

namespace platform::input {

enum class Button { Left, Right, Middle };

// Pointer input at a screen point; the stylus is the left button.
void PointerMove(int x, int y);
void PointerDown(int x, int y, Button button = Button::Left);
void PointerUp(int x, int y, Button button = Button::Left);
// A key by virtual key; `repeat` is the count of an auto-repeated key-down (1 for the first).
void KeyDown(UINT virtualKey, int repeat = 1);
void KeyUp(UINT virtualKey);
// Typed text: one WM_CHAR per UTF-16 unit to the focus window (a character beyond the BMP comes
// as its two surrogates, the high one first).
void Text(const std::u16string& text);
// The input method's composition: it starts, its string changes (`final` when it is the text
// the composition ends with), and it ends; each arrives as the composition message of its kind,
// and the string is the one the input context answers while that message is handled.
void CompositionStart();
void Composition(const std::u16string& text, bool final);
void CompositionEnd();
// When a display backend delivers typed text as text events, key-downs produce only the control
// characters (Ctrl with a letter, Backspace, Tab, Return, Escape), so that nothing is typed twice.
void SetTextFromEvents(bool on);
// Soft key 1 or 2 and the Back key go to the shell's menu bar of the active window first.
void SoftKey(int which, bool down);
void BackKey(bool down);
// Raw input not yet taken by the loop.
size_t Pending();
// Forgets waiting input and the key state (tests).
void Reset();
// A backend whose input arrives only when it is asked (SDL) lets GetAsyncKeyState ask, so a loop
// that polls the keys without taking messages still sees them; null removes it.
void SetAsyncPoll(void (*poll)());

} // namespace platform::input

namespace platform::detail {
// The queue's retrieval takes the next raw input here, routed as of now; false when there is none
// for the calling thread, or when it does not match the filter (it then keeps waiting).
bool TakeInput(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove);
} // namespace platform::detail
