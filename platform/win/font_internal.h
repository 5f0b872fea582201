#pragma once
// What the text drawing and the DCs ask of the fonts. Module-internal.
#include <cstdint>
#include <string>

#include "platform/win/font.h"

namespace platform::detail {

constexpr int kFontKind = 3;

// One glyph at one size: its integer advance and, once rendered, its coverage (0..255) placed
// relative to the pen on the baseline.
struct Glyph {
    int advance = 0;
    int left = 0; // ink box relative to the pen, y down from the baseline
    int top = 0;
    int width = 0;
    int height = 0;
    int pitch = 0;
    const uint8_t* coverage = nullptr; // width x height, null when blank
    bool rendered = false;
};

// A face at one size and rendering, shared by the fonts that resolve to it.
class FontInstance;

// The instance behind a font; null for an object that is not a live font. A null font gives the
// default font.
FontInstance* InstanceOf(HGDIOBJ font);
bool IsFont(HGDIOBJ object);
bool DeleteFont(HGDIOBJ object);
HFONT DefaultFont();

// The glyph of a code point, from the instance's face or the fallback face that has it (the
// missing glyph of the face when none has). With `render` its coverage is made too.
const Glyph& GetGlyph(FontInstance* font, char32_t ch, bool render);
const TEXTMETRICW& Metrics(FontInstance* font);
int EmHeight(FontInstance* font);
int Escapement(FontInstance* font); // 0, 900, 1800 or 2700
bool Underlined(FontInstance* font);
bool StruckOut(FontInstance* font);
// Offset below the baseline and thickness of the underline, and the strike-out's offset above.
void DecorationMetrics(FontInstance* font, int* underlineOffset, int* thickness, int* strikeOffset);

// The file and face index that a font resolved to (tests compare against FreeType directly).
std::string FontFilePath(HFONT font, int* faceIndex);

// Implemented by the DCs (gdi.cpp): a DC's text state and the blend of coverage into it.
struct DcTextState {
    HGDIOBJ font = nullptr; // null: the default font
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = 2; // OPAQUE
};
DcTextState* TextStateOf(HDC dc);

// A coverage mask (null: fully covered) at (x, y) in DC coordinates.
struct CoverageItem {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int pitch = 0;
    const uint8_t* mask = nullptr;
};
// Blends `color` through each item, inside `clip` (DC coordinates, null for none) and the DC's clip.
bool BlendCoverage(HDC dc, const CoverageItem* items, size_t count, COLORREF color, const RECT* clip);

} // namespace platform::detail
