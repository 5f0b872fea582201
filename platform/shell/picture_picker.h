#pragma once
// The extended file-open dialog of the phone shell (the picture picker's thumbnail grid). This
// stand-in shows no dialog: it answers the choice given to it beforehand, as a user who picks
// that file, or a cancel when none is given.
#include "platform/types.h"
#include "platform/win/window.h"

struct OPENFILENAMEEX {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile;
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
    DWORD dwSortOrder;
    DWORD ExFlags;
};

// TRUE with the chosen path in lpstrFile; FALSE when cancelled or when the path does not fit.
BOOL GetOpenFileNameEx(OPENFILENAMEEX* info);

namespace platform::shell {
// The file the next picker answers with; null: the next picker is cancelled. Every picker shown
// is remembered for tests: its title and flags.
void SetPictureChoice(const WCHAR* path);
struct PickerShown {
    const WCHAR* title;
    DWORD exFlags;
    int count;
};
PickerShown GetLastPicker();
} // namespace platform::shell
