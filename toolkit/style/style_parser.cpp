#include "toolkit/style/style_parser.h"

#include <cstdlib>
#include <new>
#include <utility>

#include "platform/crt/wide.h"
#include "runtime/wide_string.h"
#include "toolkit/style/color.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_library.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

// The parser works on (text, length) spans so that the parts of a shorthand need no copies. Each
// form is tried in a fixed order decided by the mask and the first character; the first that
// succeeds gives the value.

namespace {

constexpr size_t kMaxParts = 4;

// Where "url(#id)" references are looked up while ParseStyleAttribute runs; null at other times.
oxStyleLibrary* gParsingLibrary = nullptr;
oxStyleErrorSink* gErrorSink = nullptr;

// The parts of each side of a shorthand: parts that fail are skipped.
constexpr unsigned kSideMask = 0x2C;
// The parts of the pair-or-four form: colours, references and keywords, and the stroke width.
constexpr unsigned kPairPartMask = 0x56 | kStyleMaskNumber;

struct Span {
    const WCHAR* text;
    size_t length;
};

bool IsBlank(WCHAR c) {
    return c == u' ';
}

bool IsDigit(WCHAR c) {
    return c >= u'0' && c <= u'9';
}

bool StartsNoCase(const WCHAR* s, size_t n, const WCHAR* prefix, size_t prefixLength) {
    if (n < prefixLength) return false;
    for (size_t i = 0; i < prefixLength; ++i)
        if (towlower(s[i]) != towlower(prefix[i])) return false;
    return true;
}

// The next blank-separated part at or after `*at`; false when only blanks are left.
bool NextPart(const WCHAR* s, size_t n, size_t* at, Span* part) {
    size_t i = *at;
    while (i < n && IsBlank(s[i]))
        ++i;
    if (i == n) return false;
    size_t start = i;
    while (i < n && !IsBlank(s[i]))
        ++i;
    *part = {s + start, i - start};
    *at = i;
    return true;
}

size_t SplitParts(const WCHAR* s, size_t n, Span (&parts)[kMaxParts]) {
    size_t count = 0, at = 0;
    while (count < kMaxParts && NextPart(s, n, &at, &parts[count]))
        ++count;
    return count;
}

oxStyleValue TextValue(const WCHAR* s, size_t n, oxStyleType type) {
    oxStyleValue value(type);
    value.SetText(s, n);
    return value;
}

bool ParseValue(const WCHAR* s, size_t n, unsigned mask, oxStyleValue* out);

bool KeywordForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    int id = StyleKeywordIdFromName(s, int(n));
    *out = oxStyleValue::Keyword(id);
    return id >= 0;
}

bool ColorForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    // A system colour keeps its name; whether it is known shows only when it is read.
    if (StartsNoCase(s, n, u"syscolor", 8)) {
        *out = TextValue(s, n, kStyleSysColor);
        return true;
    }
    uint32_t argb;
    if (!ParseColor(s, n, &argb)) return false;
    *out = oxStyleValue::Color(argb);
    return true;
}

oxStyleType UnitType(const WCHAR* s, size_t n) {
    if (n == 0) return kStyleNumber;
    switch (StyleKeywordIdFromName(s, int(n))) {
    case kKeywordPercent:
        return kStylePercent;
    case kKeywordPx:
        return kStylePx;
    case kKeywordPt:
        return kStylePt;
    case kKeywordEm:
        return kStyleEm;
    case kKeywordS:
        return kStyleSeconds;
    case kKeywordMs:
        return kStyleMs;
    case kKeywordScaled:
        return kStyleScaled;
    default:
        return kStyleNumber; // an unknown unit is ignored
    }
}

// Whole numbers only, accumulated in 32 bits; the text after the digits is the unit.
bool NumberForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    size_t i = 0;
    bool negative = i < n && s[i] == u'-';
    if (negative) ++i;
    uint32_t value = 0;
    for (; i < n && IsDigit(s[i]); ++i)
        value = value * 10 + uint32_t(s[i] - u'0');
    oxStyleType type = UnitType(s + i, n - i);
    if (negative) value = 0u - value;
    *out = oxStyleValue(int32_t(value), type);
    return true;
}

// "url(...)": the reference is what stands between the first '(' and the last ')'.
bool UrlForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    if (n <= 3 || !StartsNoCase(s, n, u"url", 3)) return false;
    size_t open = 3;
    while (open < n && s[open] != u'(')
        ++open;
    size_t close = n;
    while (close > open + 1 && s[close - 1] != u')')
        --close;
    if (open >= n || close <= open + 1) return false;
    --close; // at the ')'
    const WCHAR* ref = s + open + 1;
    size_t refLength = close - open - 1;
    oxStyleValue value = TextValue(ref, refLength, kStyleUrl);
    value.SetValue(1); // a plain reference: no library qualifies it
    if (gParsingLibrary && refLength > 0 && ref[0] == u'#' && value.GetText()) {
        // A reference to a resource of the style's own library keeps naming that library wherever
        // the style is used.
        NUBO::TWString qualified;
        if (gParsingLibrary->FindResourceWithLibrary(value.GetText(), &qualified)) {
            qualified.Append(ref, int(refLength));
            value.SetText(qualified.GetString());
            value.SetValue(0);
        }
    }
    *out = std::move(value);
    return true;
}

// "OSTheme(a, b, c)": three texts, blanks removed and lower-cased.
bool ThemeForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    if (n <= 7 || !StartsNoCase(s, n, u"OSTheme", 7) || s[7] != u'(') return false;
    size_t close = n;
    while (close > 8 && s[close - 1] != u')')
        --close;
    if (close <= 8) return false;
    --close;

    auto* theme = new (std::nothrow) oxOSThemeValue;
    WCHAR* inner = static_cast<WCHAR*>(std::malloc((close - 8 + 1) * sizeof(WCHAR)));
    if (theme && inner) {
        size_t m = 0;
        for (size_t i = 8; i < close; ++i)
            if (s[i] != u' ') inner[m++] = towlower(s[i]);
        size_t start = 0;
        for (int part = 0; part < 3 && start <= m; ++part) {
            size_t end = start;
            while (end < m && inner[end] != u',')
                ++end;
            theme->parts[part] = TextValue(inner + start, end - start, kStyleText);
            start = end + 1;
            while (start < m && iswspace(inner[start]))
                ++start;
        }
    } else {
        delete theme; // the value keeps its type with no payload
        theme = nullptr;
    }
    std::free(inner);
    out->AdoptTheme(theme);
    return true;
}

oxStyleRectValue* NewRect() {
    return new (std::nothrow) oxStyleRectValue;
}

// The shorthand of four sides: 1 to 4 parts that parse, widened as top, right, bottom, left.
bool SidesForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    oxStyleValue parsed[4];
    size_t count = 0, at = 0;
    Span part;
    while (count < 4 && NextPart(s, n, &at, &part)) {
        if (ParseValue(part.text, part.length, kSideMask, &parsed[count])) ++count;
    }
    oxStyleRectValue* rect = NewRect();
    if (rect && count > 0) {
        static constexpr int kFrom[5][4] = {{}, {0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
        for (int side = 0; side < 4; ++side)
            rect->sides[side] = parsed[kFrom[count][side]];
    }
    out->AdoptRect(rect);
    return true;
}

// The pair-or-four form of stroke: (a, b) stands for (a, b, a, b).
bool PairForm(const WCHAR* s, size_t n, oxStyleValue* out) {
    Span parts[kMaxParts];
    size_t count = SplitParts(s, n, parts);
    if (count != 2 && count != 4) return false;
    oxStyleRectValue* rect = NewRect();
    if (rect) {
        for (size_t side = 0; side < 4; ++side) {
            const Span& p = parts[side % count];
            oxStyleValue& v = rect->sides[side];
            if (!ParseValue(p.text, p.length, kPairPartMask, &v)) v.Clear(true);
        }
    }
    out->AdoptRect(rect);
    return true;
}

bool ParseValue(const WCHAR* s, size_t n, unsigned mask, oxStyleValue* out) {
    if (n == 4 && StartsNoCase(s, n, u"null", 4)) {
        out->Clear(true);
        return true;
    }
    if (n == 0) return false;
    if ((mask & kStyleMaskPair) && PairForm(s, n, out)) return true;
    if ((mask & kStyleMaskSides) && SidesForm(s, n, out)) return true;

    WCHAR c = s[0];
    bool word = c != u'-' && !IsDigit(c) && c != u'(' && c != u')' && c != u'#';
    if (word || mask == kStyleMaskText) {
        if (mask & kStyleMaskReference) {
            if (UrlForm(s, n, out) || ThemeForm(s, n, out)) return true;
            if ((mask & kStyleMaskColor) && ColorForm(s, n, out)) return true;
            if ((mask & (kStyleMaskKeyword | kStyleMaskKeyword2)) && KeywordForm(s, n, out)) return true;
        } else {
            if ((mask & kStyleMaskColor) && ColorForm(s, n, out)) return true;
            // Without references, a word is tried as a keyword whatever the keyword bits say.
            if (!(mask & kStyleMaskText)) return KeywordForm(s, n, out);
        }
        if (!(mask & kStyleMaskText)) return false;
        *out = TextValue(s, n, kStyleText);
        return true;
    }
    if ((c == u'#' || (mask & kStyleMaskColor)) && ColorForm(s, n, out)) return true;
    if ((c == u'-' || IsDigit(c)) && (mask & (kStyleMaskNumber | kStyleMaskNumber2))) return NumberForm(s, n, out);
    return false;
}

} // namespace

bool ParseStyleValue(const WCHAR* text, unsigned mask, oxStyleValue* out) {
    if (!text || !out) return false;
    return ParseValue(text, wcslen(text), mask, out);
}

bool ParseStylePropertyValue(int id, const WCHAR* text, oxStyleValue* out) {
    if (!text || id < -1 || id >= kStylePropertyCount) return false;
    // Unknown properties take references and keywords. Shorthands carry the four-side mask, so
    // "null" clears them as it clears every other property.
    unsigned mask = id < 0 ? 0x50 : kStyleProperties[id].mask;
    return ParseStyleValue(text, mask, out);
}

bool oxStyleRectValue::Parse(const WCHAR* text, unsigned mask) {
    for (oxStyleValue& side : sides)
        side.Clear(true);
    if (!text) return false;
    Span parts[kMaxParts];
    size_t count = SplitParts(text, wcslen(text), parts);
    if (count == 0) return false;
    oxStyleValue parsed[kMaxParts];
    for (size_t i = 0; i < count; ++i)
        (void)ParseValue(parts[i].text, parts[i].length, mask, &parsed[i]); // a part that fails still counts
    static constexpr int kFrom[5][4] = {{}, {0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 0, 1}, {0, 1, 2, 3}};
    for (int side = 0; side < 4; ++side)
        sides[side] = parsed[kFrom[count][side]];
    return true;
}

bool ParseStyleAttribute(const WCHAR* name, const WCHAR* text, oxStyleValue* out, oxStyleDeclaration* declaration,
                         oxStyleLibrary* library) {
    if (!text || !out) return false;
    // Parsing is not re-entrant across libraries; the previous library is put back all the same.
    oxStyleLibrary* previous = gParsingLibrary;
    gParsingLibrary = library;
    int id = StylePropertyIdFromName(name);
    bool parsed = ParseStylePropertyValue(id, text, out);
    if (parsed && declaration) declaration->SetProperty(id, *out);
    gParsingLibrary = previous;
    if (gErrorSink && (!parsed || id < 0)) gErrorSink->OnStyleError(name, text, id >= 0);
    return parsed;
}

oxStyleErrorSink* SetStyleErrorSink(oxStyleErrorSink* sink) {
    oxStyleErrorSink* previous = gErrorSink;
    gErrorSink = sink;
    return previous;
}
