#pragma once
// The device's system colours: the colour scheme that "syscolor..." style names and controls read.
// Colours are COLORREF words (0x00BBGGRR). Callers read them at every use, so a scheme change shows
// at the next paint.
#include "platform/types.h"

// Callers pass the index with this flag added; the plain index is accepted too.
constexpr int SYS_COLOR_INDEX_FLAG = 0x40000000;

constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;

// The scheme's colour at `index` (with or without SYS_COLOR_INDEX_FLAG); 0 for an index the scheme
// does not have.
DWORD GetSysColor(int index);

// Replaces `count` scheme colours; indexes the scheme does not have are skipped. FALSE for null arrays.
BOOL SetSysColors(int count, const int* indexes, const DWORD* colors);
