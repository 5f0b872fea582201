#pragma once
// The resources of the program and of its libraries: string tables, icons and dialog templates.
// On the device they are part of each module's file; here the program hands its tables to the
// platform once, at start, and a library hands over its own when it is loaded, under its module
// handle. The loaders read the table of the module they are given, else the program's.
#include <cstdint>

#include "platform/types.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

inline LPCWSTR MAKEINTRESOURCEW(UINT id) {
    return reinterpret_cast<LPCWSTR>(ULONG_PTR(WORD(id)));
}

constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0;

namespace platform::resources {

struct StringResource {
    UINT id;
    const WCHAR* text;
};

// A square icon drawn at 96 dots per inch: `size` rows of `size` characters, each a key of the
// palette (any other character is transparent).
struct IconResource {
    UINT id;
    int size;
    const char* const* rows;
    const char* keys;        // palette keys
    const COLORREF* colours; // one per key
};

// A control of a dialog template; its place and size are in dialog units.
struct DialogItemResource {
    const WCHAR* className; // "BUTTON" or "STATIC"
    const WCHAR* text;
    WORD id;
    DWORD style; // WS_ and the class's own styles
    short x, y, cx, cy;
};

// A dialog template: its client area's size in dialog units (a quarter of the font's average
// character width, an eighth of its height), its caption, font and controls.
struct DialogResource {
    UINT id;
    DWORD style;
    const WCHAR* caption;
    const WCHAR* fontFace;
    WORD pointSize;
    short cx, cy;
    const DialogItemResource* items;
    int itemCount;
};

struct ModuleResources {
    const StringResource* strings;
    int stringCount;
    const DialogResource* dialogs;
    int dialogCount;
};

// The tables stay the caller's and must live as long as the program.
void SetProgramResources(const StringResource* strings, int stringCount, const IconResource* icons, int iconCount);
// A library's tables, kept until it takes them back with null (when it is unloaded).
void SetModuleResources(HMODULE module, const ModuleResources* resources);
// The module's dialog template, else null.
const DialogResource* FindDialogResource(HMODULE module, UINT id);

// An icon's pixels: 0xAARRGGBB words, alpha 0 or 255, `size` by `size`.
struct IconImage {
    int size = 0;
    const uint32_t* pixels = nullptr;
};
// Null for a handle that is no icon.
bool GetIconImage(HICON icon, IconImage* out);

} // namespace platform::resources

// Copies the string into `buffer`, cut to `max` - 1 units and terminated; its length, 0 when the
// table has no such string.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max);
// The icon at the screen's scale (its 96-dpi size times the dots per inch over 96).
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// The icon at `cx` by `cy` (0 for the screen's scale); other image types are not kept.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
BOOL DestroyIcon(HICON icon);
