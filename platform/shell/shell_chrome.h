#pragma once
// What the shell's chrome windows share: their sizes on the screen, how they paint, and the
// announcement of a changed setting to the program's top-level windows. The chrome is made of
// ordinary windows of the window table (topmost, never activated by a tap), so stacking, hit
// testing and repainting treat it as the device does. Module-internal.
#include <cstdint>

#include "platform/win/font.h"
#include "platform/win/gdi.h"
#include "platform/win/text_draw.h"
#include "platform/win/window.h"

namespace platform::shell {

// The chrome's colours: its dark bars, its buttons and its labels.
constexpr COLORREF kChromeBarColour = RGB(0x20, 0x30, 0x48);
constexpr COLORREF kChromeButtonColour = RGB(0x50, 0x68, 0x88);
constexpr COLORREF kChromeTextColour = RGB(0xFF, 0xFF, 0xFF);

// The strips scale with the screen's dots per inch (26 units at 96).
int BarHeight();
int InputPanelHeight();
int ScreenWidth();
int ScreenHeight();

// Registers a chrome window class once; false when it cannot be.
bool RegisterChromeClass(LPCWSTR name, WNDPROC proc);
// A topmost window that a tap never activates, at a screen rectangle; hidden unless `visible`.
HWND CreateChromeWindow(LPCWSTR className, const RECT& rect, HWND owner, bool visible);
bool IsChromeWindow(HWND hwnd);

// Moves the bars and the input panel to the screen's edges after the screen changed size.
void PlaceChrome();
void PlaceMenuBars();
void PlaceInputPanel();

// Sends WM_SETTINGCHANGE with `what` to every visible top-level window of the calling thread
// that is not chrome, in the order they were made.
void BroadcastSettingChange(UINT what);

// The chrome's labels: the system's sans-serif face at 9 points of the screen's dots per inch.
// The caller deletes it.
HFONT CreateChromeFont();

// Paints a window's update in one copy: fills and labels are made in a buffer of the client size
// and copied onto the painting DC when it goes out of scope.
class ChromePainter {
public:
    // Labels use `font` (it stays the caller's), else the chrome's own.
    explicit ChromePainter(HWND hwnd, HFONT font = nullptr);
    ~ChromePainter();
    ChromePainter(const ChromePainter&) = delete;
    ChromePainter& operator=(const ChromePainter&) = delete;

    void Fill(const RECT& r, COLORREF colour);
    // A one-unit outline inside the rectangle.
    void Outline(const RECT& r, COLORREF colour);
    // One line centred in the rectangle (or at its left with DT_LEFT), clipped to it and cut with
    // an ellipsis when too wide.
    void Label(const RECT& r, LPCWSTR text, COLORREF colour, UINT align = DT_CENTER);
    // Lines broken between words from the rectangle's top left, clipped to it.
    void Paragraph(const RECT& r, LPCWSTR text, COLORREF colour);
    // An HTML text laid out to the rectangle's width over `background`, clipped to it.
    void Html(const RECT& r, LPCWSTR html, COLORREF background);
    // An icon's 0xAARRGGBB pixels, `size` by `size`, drawn where their alpha is set.
    void Image(int x, int y, int size, const uint32_t* pixels);
    // The width of one line of label text.
    int TextWidth(LPCWSTR text);
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    bool EnsureFont();

    HWND hwnd_;
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    uint32_t* pixels_ = nullptr;
    HFONT font_ = nullptr; // made on the first label unless given
    bool ownFont_ = true;
    bool fontSelected_ = false;
    HGDIOBJ oldFont_ = nullptr;
};

} // namespace platform::shell
