#pragma once
// The extended file-open dialog of the phone shell (the picture picker's thumbnail grid). This
// stand-in shows no dialog: it answers the choice given to it beforehand, as a user who picks
// that file, or a cancel when none is given.
#include "platform/shell/file_dialog.h"
#include "platform/types.h"
#include "platform/win/window.h"

// The file dialog's record and two fields more.
struct OPENFILENAMEEX : OPENFILENAMEW {
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
