#include "platform/win/sys_color.h"

namespace {

constexpr int kSchemeSize = COLOR_GRADIENTINACTIVECAPTION + 1;

constexpr DWORD Rgb(unsigned r, unsigned g, unsigned b) {
    return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16);
}

// The current scheme, constant-initialised with the device's default colour scheme as it ships.
// Indexes 25 and 26 are not part of it.
DWORD gScheme[kSchemeSize] = {
    Rgb(192, 192, 192), // COLOR_SCROLLBAR
    Rgb(0, 128, 128),   // COLOR_BACKGROUND
    Rgb(0, 0, 128),     // COLOR_ACTIVECAPTION
    Rgb(128, 128, 128), // COLOR_INACTIVECAPTION
    Rgb(192, 192, 192), // COLOR_MENU
    Rgb(255, 255, 255), // COLOR_WINDOW
    Rgb(0, 0, 0),       // COLOR_WINDOWFRAME
    Rgb(0, 0, 0),       // COLOR_MENUTEXT
    Rgb(0, 0, 0),       // COLOR_WINDOWTEXT
    Rgb(255, 255, 255), // COLOR_CAPTIONTEXT
    Rgb(192, 192, 192), // COLOR_ACTIVEBORDER
    Rgb(192, 192, 192), // COLOR_INACTIVEBORDER
    Rgb(128, 128, 128), // COLOR_APPWORKSPACE
    Rgb(0, 0, 128),     // COLOR_HIGHLIGHT
    Rgb(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    Rgb(192, 192, 192), // COLOR_BTNFACE
    Rgb(128, 128, 128), // COLOR_BTNSHADOW
    Rgb(128, 128, 128), // COLOR_GRAYTEXT
    Rgb(0, 0, 0),       // COLOR_BTNTEXT
    Rgb(192, 192, 192), // COLOR_INACTIVECAPTIONTEXT
    Rgb(255, 255, 255), // COLOR_BTNHIGHLIGHT
    Rgb(0, 0, 0),       // COLOR_3DDKSHADOW
    Rgb(223, 223, 223), // COLOR_3DLIGHT
    Rgb(0, 0, 0),       // COLOR_INFOTEXT
    Rgb(255, 255, 225), // COLOR_INFOBK
    0,
    0,
    Rgb(16, 132, 208),  // COLOR_GRADIENTACTIVECAPTION
    Rgb(192, 192, 192), // COLOR_GRADIENTINACTIVECAPTION
};

bool InScheme(int index) {
    return index >= 0 && index < kSchemeSize && index != 25 && index != 26;
}

} // namespace

DWORD GetSysColor(int index) {
    index &= ~SYS_COLOR_INDEX_FLAG;
    return InScheme(index) ? gScheme[index] : 0;
}

BOOL SetSysColors(int count, const int* indexes, const DWORD* colors) {
    if (count > 0 && (!indexes || !colors)) return FALSE;
    for (int i = 0; i < count; ++i) {
        int index = indexes[i] & ~SYS_COLOR_INDEX_FLAG;
        if (InScheme(index)) gScheme[index] = colors[i] & 0x00FFFFFF;
    }
    return TRUE;
}
