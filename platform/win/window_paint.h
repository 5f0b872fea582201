#pragma once
// Painting a window: its update region, WM_ERASEBKGND and WM_PAINT, and its shape. Windows keep no
// backing store: uncovering, showing, moving or sizing a window adds to its update region with
// erasing asked for, and WM_PAINT is made when the queue has nothing else (message_queue.h).
#include "platform/win/gdi.h"
#include "platform/win/region.h"

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase; // the background still needs erasing: WM_ERASEBKGND answered 0
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// A null rectangle means the whole client area. Erasing, once asked for, stays asked for until
// the next BeginPaint.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL ValidateRgn(HWND hwnd, HRGN rgn);
// The bounds of the update region in client coordinates; TRUE when it is not empty. With `erase`
// a pending erase is done now (WM_ERASEBKGND).
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase);
// Sends WM_PAINT at once when the update region is not empty.
BOOL UpdateWindow(HWND hwnd);

// Takes the update region: the DC draws only inside it (and the window's visible region). Sends
// WM_ERASEBKGND with that DC first when erasing was asked for.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);

// The window takes the region (window coordinates) and deletes it when replaced or destroyed;
// null removes the shape. Drawing and hit testing keep inside it.
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);
// Copies the shape into `rgn`: its kind, or ERROR when the window has none.
int GetWindowRgn(HWND hwnd, HRGN rgn);
