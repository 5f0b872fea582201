#pragma once
// The clipboard: one per process, opened by one caller at a time. Data is handed over in blocks
// from LocalAlloc, which the clipboard then owns and frees when it is emptied. Unicode text
// (CF_UNICODETEXT) is NUL-terminated UTF-16. With a display the text is the desktop's clipboard
// (the display backend installs hooks); headless runs keep it here.
#include <string>

#include "platform/types.h"
#include "platform/win/window.h"

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_UNICODETEXT = 13;

// False when the clipboard is open already.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Drops every format; only while open.
BOOL EmptyClipboard();
// Takes over `data` (a LocalAlloc block) for the format; null when the clipboard is not open, in
// which case the caller keeps the block.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The clipboard's own block for the format (still the clipboard's), or null; only while open.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

namespace platform::clipboard {

// Where the text lives when a display backend runs: UTF-8 both ways.
struct TextHooks {
    bool (*set)(const std::string& utf8);
    bool (*has)();
    std::string (*get)();
};
void SetTextHooks(const TextHooks* hooks);
// Empties the clipboard and closes it (tests).
void Reset();

} // namespace platform::clipboard
