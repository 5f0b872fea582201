#include "platform/shell/file_dialog.h"

#include <atomic>

namespace {
std::atomic<platform::shell::FileDialogHandler> g_handler{nullptr};

BOOL Show(OPENFILENAMEW* record, bool save) {
    const platform::shell::FileDialogHandler handler = g_handler.load();
    if (!record || record->lStructSize < sizeof(OPENFILENAMEW) || !record->lpstrFile || record->nMaxFile == 0 ||
        !handler)
        return FALSE;
    return handler(record, save);
}
} // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* record) {
    return Show(record, false);
}

BOOL GetSaveFileNameW(OPENFILENAMEW* record) {
    return Show(record, true);
}

namespace platform::shell {
void SetFileDialogHandler(FileDialogHandler handler) {
    g_handler = handler;
}
} // namespace platform::shell
