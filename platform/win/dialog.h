#pragma once
// Modal dialogs and message boxes, shown on the emulated screen as the device shows them: a
// pop-up with a caption strip (title, and a close box with WS_SYSMENU) above its controls, over
// an owner that stays disabled while it runs. Dialogs come from a module's templates
// (platform/win/resources.h); the controls are push buttons ("BUTTON") and texts ("STATIC").
// The modal loop gives Enter to the default button and Escape (the Back key) to IDCANCEL; the
// close box and WM_CLOSE also send IDCANCEL.
#include "platform/types.h"
#include "platform/win/window.h"

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_INITDIALOG = 0x0110;

constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD SS_LEFT = 0x0000;
constexpr WORD BN_CLICKED = 0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_TYPEMASK = 0x0000000F;

inline WPARAM MAKEWPARAM(int low, int high) {
    return WPARAM(DWORD(WORD(low)) | (DWORD(WORD(high)) << 16));
}

// Runs the module's dialog template `name` (an id made with MAKEINTRESOURCEW) until EndDialog,
// and answers what was given to it. WM_INITDIALOG reaches `proc` with `param` before the dialog
// shows. -1 when the module has no such template or the window cannot be made; 0 when a quit
// message ended the loop (it is posted again for the loops outside).
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM param);
// Ends a modal dialog; its window goes when DialogBoxParamW returns. FALSE for a window that is no
// running dialog.
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);

// A modal box with the text (lines break between words and at "\n") and one OK button; answers
// IDOK however it is closed, 0 when a quit message ended it. Only MB_OK boxes are made: other
// button sets answer 0 with ERROR_NOT_SUPPORTED.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
