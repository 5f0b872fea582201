#pragma once
// GDI fonts on FreeType and fontconfig. A font names a face by family, an em height, a weight, a
// slant, decorations, an angle and a quality; fontconfig finds the face (an unknown family falls
// back to its nearest match) and characters the face lacks come from a face that has them.
// Fonts that resolve to the same face, size and rendering share one glyph cache, so measuring
// and drawing see the same integer advances.
#include "platform/types.h"
#include "platform/win/gdi.h"

struct HFONT__ : HGDIOBJ__ {};
using HFONT = HFONT__*;

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
    LONG lfHeight;     // < 0: em height in pixels; > 0: cell height (ascent + descent); 0: default
    LONG lfWidth;      // ignored: glyphs keep their own proportions
    LONG lfEscapement; // tenths of a degree; 0, 900, 1800 and 2700 are drawn
    LONG lfOrientation;
    LONG lfWeight; // 0 = FW_NORMAL
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE CLEARTYPE_QUALITY = 5;
constexpr BYTE CLEARTYPE_COMPAT_QUALITY = 6;

struct TEXTMETRICW {
    LONG tmHeight; // tmAscent + tmDescent: the line height
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading; // tmHeight - em height
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

// A = left bearing, B = ink width, C = right bearing; A + B + C is the advance.
struct ABC {
    int abcA;
    UINT abcB;
    int abcC;
};

// Null for a null record. The face is looked up when the font is first used.
HFONT CreateFontIndirectW(const LOGFONTW* font);
// Metrics of the font selected into the DC (the default font when none is).
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
// Widths of the characters first..last (UTF-16 units; surrogates measure as the missing glyph).
BOOL GetCharABCWidthsW(HDC dc, UINT first, UINT last, ABC* widths);
inline BOOL GetCharABCWidths(HDC dc, UINT first, UINT last, ABC* widths) {
    return GetCharABCWidthsW(dc, first, last, widths);
}

// Registers the font file at a device or host path with fontconfig, so fonts find its faces by
// family name. Answers the faces added (0 on failure). Adding a file again counts it again.
int AddFontResourceW(const WCHAR* path);
// Takes one registration of the file back; its faces are gone once every one is.
BOOL RemoveFontResourceW(const WCHAR* path);

// The default font of a DC (SYSTEM_FONT and DEFAULT_GUI_FONT are the same font here).
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int index);
