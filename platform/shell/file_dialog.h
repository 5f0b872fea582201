#pragma once
// The file open and save dialogs. The layer shows none of its own: the toolkit installs the dialog
// it shows (a scene in the device screen) as the handler, and without one every dialog is
// cancelled.
#include "platform/types.h"
#include "platform/win/window.h"

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter; // pairs of a description and "*.a;*.b" patterns, each ended by NUL, then NUL
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex; // from 1
    LPWSTR lpstrFile;   // the initial name in, the choice out
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
};

constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x200;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
constexpr DWORD OFN_EXPLORER = 0x80000;
constexpr DWORD OFN_LONGNAMES = 0x200000;

// TRUE with the choice in lpstrFile: one full path, or with OFN_ALLOWMULTISELECT and several
// files the folder, each name, NUL after each and one more at the end. FALSE when cancelled.
BOOL GetOpenFileNameW(OPENFILENAMEW* record);
BOOL GetSaveFileNameW(OPENFILENAMEW* record);

namespace platform::shell {
using FileDialogHandler = BOOL (*)(OPENFILENAMEW* record, bool save);
// Null removes the handler.
void SetFileDialogHandler(FileDialogHandler handler);
} // namespace platform::shell
