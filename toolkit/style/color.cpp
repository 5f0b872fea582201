#include "toolkit/style/color.h"

#include <cmath>

#include "platform/crt/wide.h"
#include "platform/win/sys_color.h"
#include "toolkit/base/element.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_value.h"

namespace {

struct NamedColor {
    const WCHAR* name;
    uint32_t argb;
};

constexpr NamedColor kNamedColors[] = {
    {u"aqua", 0xFF00FFFF},   {u"black", 0xFF000000}, {u"blue", 0xFF0000FF},   {u"fuchsia", 0xFFFF00FF},
    {u"gray", 0xFF808080},   {u"green", 0xFF008000}, {u"lime", 0xFF00FF00},   {u"maroon", 0xFF800000},
    {u"navy", 0xFF000080},   {u"olive", 0xFF808000}, {u"purple", 0xFF800080}, {u"red", 0xFFFF0000},
    {u"silver", 0xFFC0C0C0}, {u"teal", 0xFF008080},  {u"white", 0xFFFFFFFF},  {u"yellow", 0xFFFFFF00},
};

struct SysColorName {
    const WCHAR* name;
    int number;
};

// Searched in this order; the numbers index kSysColorIndexes.
constexpr SysColorName kSysColorNames[] = {
    {u"syscolor3dface", 1},
    {u"syscolor3dshadow", 2},
    {u"syscolor3dhighlight", 3},
    {u"syscolor3ddarkshadow", 4},
    {u"syscoloractiveborder", 5},
    {u"syscoloractivecaption", 6},
    {u"syscoloractivegrdright", 7},
    {u"syscolorinactivecaptiontext", 8},
    {u"syscolorinactivecaption", 9},
    {u"syscolorinactivegrdright", 10},
    {u"syscolordesktopbg", 11},
    {u"syscolorbuttontext", 12},
    {u"syscolorcaptiontext", 13},
    {u"syscoloritemhighlight", 14},
    {u"syscoloritemhighlighttext", 15},
    {u"syscolorinactiveborder", 16},
    {u"syscolortooltipbg", 17},
    {u"syscolortooltiptext", 18},
    {u"syscolormenu", 19},
    {u"syscolormenutext", 20},
    {u"syscolorscrollbar", 21},
    {u"syscolorwindow", 22},
    {u"syscolorwindowframe", 23},
    {u"syscolorwindowtext", 24},
    {u"syscolorGrayText", 25},
    {u"syscolorAppWorkspace", 26},
    {u"syscolorHotTrack", 27}, // no platform colour: never resolves
};

// The platform colour of each system colour number 1..26.
constexpr int kSysColorIndexes[] = {
    -1,
    COLOR_BTNFACE,
    COLOR_BTNSHADOW,
    COLOR_BTNHIGHLIGHT,
    COLOR_3DDKSHADOW,
    COLOR_ACTIVEBORDER,
    COLOR_ACTIVECAPTION,
    COLOR_GRADIENTACTIVECAPTION,
    COLOR_INACTIVECAPTIONTEXT,
    COLOR_INACTIVECAPTION,
    COLOR_GRADIENTINACTIVECAPTION,
    COLOR_BACKGROUND,
    COLOR_BTNTEXT,
    COLOR_CAPTIONTEXT,
    COLOR_HIGHLIGHT,
    COLOR_HIGHLIGHTTEXT,
    COLOR_INACTIVEBORDER,
    COLOR_INFOBK,
    COLOR_INFOTEXT,
    COLOR_MENU,
    COLOR_MENUTEXT,
    COLOR_SCROLLBAR,
    COLOR_WINDOW,
    COLOR_WINDOWFRAME,
    COLOR_WINDOWTEXT,
    COLOR_GRAYTEXT,
    COLOR_APPWORKSPACE,
};
constexpr int kSysColorCount = 26;

constexpr uint32_t kOpaqueBlack = 0xFF000000;

// Case-insensitive comparison of `n` units of two texts known to be that long.
bool EqualNoCase(const WCHAR* a, const WCHAR* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (towlower(a[i]) != towlower(b[i])) return false;
    return true;
}

int HexDigit(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// "#" forms: longer texts keep their own first nine digits; shorter ones are read after "ff", so
// six digits give an opaque colour and eight their own alpha.
bool ParseHexColor(const WCHAR* text, size_t length, uint32_t* out) {
    WCHAR digits[11];
    size_t n = 0;
    if (length > 8) {
        for (size_t i = 1; i < 10 && i < length; ++i)
            digits[n++] = text[i];
    } else {
        digits[n++] = u'f';
        digits[n++] = u'f';
        for (size_t i = 1; i < length; ++i)
            digits[n++] = text[i];
    }
    uint32_t value = kOpaqueBlack;
    for (size_t i = 0; i < n; ++i) {
        int d = HexDigit(digits[i]);
        if (d < 0) {
            *out = kOpaqueBlack;
            return false;
        }
        value = value * 16 + uint32_t(d);
    }
    *out = value;
    return true;
}

} // namespace

bool SysColorToColor(int number, uint32_t* out) {
    if (number < 1 || number > kSysColorCount) {
        *out = kOpaqueBlack;
        return false;
    }
    DWORD bgr = GetSysColor(kSysColorIndexes[number] | SYS_COLOR_INDEX_FLAG);
    *out = kOpaqueBlack | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
    return true;
}

bool ParseColor(const WCHAR* text, uint32_t* out) {
    return ParseColor(text, text ? wcslen(text) : 0, out);
}

bool ParseColor(const WCHAR* text, size_t length, uint32_t* out) {
    *out = kOpaqueBlack;
    if (!text || length == 0) return false;
    if (length >= 8 && EqualNoCase(text, u"syscolor", 8)) {
        for (const SysColorName& entry : kSysColorNames) {
            if (wcslen(entry.name) == length && EqualNoCase(text, entry.name, length) &&
                SysColorToColor(entry.number, out))
                return true;
        }
        *out = kOpaqueBlack;
        return false;
    }
    if (text[0] == u'#') return ParseHexColor(text, length, out);
    for (const NamedColor& entry : kNamedColors) {
        size_t n = wcslen(entry.name);
        if (length >= n && EqualNoCase(text, entry.name, n)) {
            *out = entry.argb;
            return true;
        }
    }
    return false;
}

uint32_t ResolveColorValue(const oxStyleValue& value, oxStyleLibrary* library) {
    switch (value.GetType()) {
    case kStyleColor:
    case kStyleSysColor:
        return value.GetColor();
    case kStyleUrl: {
        oxElement* resource = value.ResolveResource(library);
        auto* painter = dynamic_cast<oxColorResource*>(resource);
        if (!painter || !painter->GetColorValue()) return 0;
        const oxStyleValue& color = *painter->GetColorValue();
        // A solid brush gives only a colour; a pen reads whatever value it holds as one.
        if (resource->GetTag() == kAtomSolidBrush)
            return color.GetType() == kStyleColor || color.GetType() == kStyleSysColor ? color.GetColor() : 0;
        return resource->GetTag() == kAtomPen ? color.GetColor() : 0;
    }
    default:
        return 0;
    }
}

uint32_t ParseColorValueText(const WCHAR* text, oxStyleLibrary* library) {
    if (!text) return 0;
    oxStyleValue value;
    if (!ParseStyleValue(text, kStyleMaskColor | kStyleMaskReference, &value)) return 0;
    return ResolveColorValue(value, library);
}

uint32_t LerpColor(uint32_t from, uint32_t to, float t) {
    if (!(t > 0.0f)) return from; // NaN too
    if (t >= 1.0f) return to;
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        float a = float((from >> shift) & 0xFF), b = float((to >> shift) & 0xFF);
        float mixed = a * (1.0f - t) + b * t;
        result |= (uint32_t(mixed) & 0xFF) << shift;
    }
    return result;
}
