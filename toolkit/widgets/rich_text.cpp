#include "toolkit/widgets/rich_text.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/crt/wide.h"
#include "platform/win/text_draw.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/style/color.h"
#include "toolkit/widgets/image_box.h"
#include "toolkit/widgets/text_box.h"

namespace {

struct Entity {
    const char16_t* name; // with its ';'
    char16_t value;
};

// Searched in this order; the first name equal to the text after '&' wins.
constexpr Entity kEntities[] = {
    {u"quot;", 0x0022},
    {u"amp;", 0x0026},
    {u"apos;", 0x0027},
    {u"lt;", 0x003C},
    {u"gt;", 0x003E},
    {u"nbsp;", 0x0020},
    {u"iexcl;", 0x00A1},
    {u"cent;", 0x00A2},
    {u"pound;", 0x00A3},
    {u"curren;", 0x00A4},
    {u"yen;", 0x00A5},
    {u"brvbar;", 0x00A6},
    {u"sect;", 0x00A7},
    {u"uml;", 0x00A8},
    {u"copy;", 0x00A9},
    {u"ordf;", 0x00AA},
    {u"laquo;", 0x00AB},
    {u"not;", 0x00AC},
    {u"reg;", 0x00AE},
    {u"macr;", 0x00AF},
    {u"deg;", 0x00B0},
    {u"plusmn;", 0x00B1},
    {u"divide;", 0x00F7},
    {u"sup2;", 0x00B2},
    {u"sup3;", 0x00B3},
    {u"acute;", 0x00B4},
    {u"micro;", 0x00B5},
    {u"para;", 0x00B6},
    {u"middot;", 0x00B7},
    {u"cedil;", 0x00B8},
    {u"sup1;", 0x00B9},
    {u"ordm;", 0x00BA},
    {u"raquo;", 0x00BB},
    {u"frac14;", 0x00BC},
    {u"frac12;", 0x00BD},
    {u"frac34;", 0x00BE},
    {u"iquest;", 0x00BF},
    {u"ndash;", 0x2013},
    {u"mdash;", 0x2014},
    {u"Agrave;", 0x00C0},
    {u"Aacute;", 0x00C1},
    {u"Acirc;", 0x00C2},
    {u"Atilde;", 0x00C3},
    {u"Auml;", 0x00C4},
    {u"Aring;", 0x00C5},
    {u"AElig;", 0x00C6},
    {u"Ccedil;", 0x00C7},
    {u"Egrave;", 0x00C8},
    {u"Eacute;", 0x00C9},
    {u"Ecirc;", 0x00CA},
    {u"Euml;", 0x00CB},
    {u"Igrave;", 0x00CC},
    {u"Iacute;", 0x00CD},
    {u"Icirc;", 0x00CE},
    {u"Iuml;", 0x00CF},
    {u"ETH;", 0x00D0},
    {u"Ntilde;", 0x00D1},
    {u"Ograve;", 0x00D2},
    {u"Oacute;", 0x00D3},
    {u"Ocirc;", 0x00D4},
    {u"Otilde;", 0x00D5},
    {u"Ouml;", 0x00D6},
    {u"times;", 0x00D7},
    {u"Oslash;", 0x00D8},
    {u"Ugrave;", 0x00D9},
    {u"Uacute;", 0x00DA},
    {u"Ucirc;", 0x00DB},
    {u"Uuml;", 0x00DC},
    {u"Yacute;", 0x00DD},
    {u"THORN;", 0x00DE},
    {u"szlig;", 0x00DF},
    {u"agrave;", 0x00E0},
    {u"aacute;", 0x00E1},
    {u"acirc;", 0x00E2},
    {u"atilde;", 0x00E3},
    {u"auml;", 0x00E4},
    {u"aring;", 0x00E5},
    {u"aelig;", 0x00E6},
    {u"ccedil;", 0x00E7},
    {u"egrave;", 0x00E8},
    {u"eacute;", 0x00E9},
    {u"ecirc;", 0x00EA},
    {u"euml;", 0x00EB},
    {u"igrave;", 0x00EC},
    {u"iacute;", 0x00ED},
    {u"icirc;", 0x00EE},
    {u"iuml;", 0x00EF},
    {u"eth;", 0x00F0},
    {u"ntilde;", 0x00F1},
    {u"ograve;", 0x00F2},
    {u"oacute;", 0x00F3},
    {u"ocirc;", 0x00F4},
    {u"otilde;", 0x00F5},
    {u"ouml;", 0x00F6},
    {u"oslash;", 0x00F8},
    {u"ugrave;", 0x00F9},
    {u"uacute;", 0x00FA},
    {u"ucirc;", 0x00FB},
    {u"uuml;", 0x00FC},
    {u"yacute;", 0x00FD},
    {u"thorn;", 0x00FE},
    {u"yuml;", 0x00FF}
};

struct Tag {
    const char16_t* text;
    int chars;
};

// Compared without regard to case with the text after '<', over `chars` characters, in this order.
constexpr Tag kTags[] = {
    {u"xxx", 3}, {u"html", 4}, {u"/html>", 6}, {u"br>", 3},   {u"p>", 2},    {u"/p>", 3},   {u"tab>", 4},
    {u"b>", 2},  {u"/b>", 3},  {u"i>", 2},     {u"/i>", 3},   {u"u>", 2},    {u"/u>", 3},   {u"font", 4},
    {u"/font>", 6}, {u"a", 1}, {u"/a>", 3},    {u"pre>", 4},  {u"/pre>", 5}, {u"img", 3},
};
enum TagIndex {
    kTagNone = 0,
    kTagBr = 3,
    kTagBold = 7,
    kTagBoldOff = 8,
    kTagItalic = 9,
    kTagItalicOff = 10,
    kTagUnderline = 11,
    kTagUnderlineOff = 12,
    kTagFont = 13,
    kTagFontOff = 14,
    kTagLink = 15,
    kTagLinkOff = 16,
    kTagPre = 17,
    kTagPreOff = 18,
    kTagImage = 19,
};

constexpr uint32_t kLinkBlue = 0xFF0000FF;
constexpr size_t kShortValue = 32 - 2; // face, color, size, width, height
constexpr size_t kLongValue = 1024 - 2;

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

bool SameNoCase(const char16_t* a, const char16_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool IsRtlChar(char16_t c) {
    return c >= 0x0590 && c <= 0x06FF;
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsBracket(char16_t c) {
    return c == u'(' || c == u')' || c == u'{' || c == u'}' || c == u'[' || c == u']' || c == u'<' || c == u'>';
}
bool IsOpening(char16_t c) {
    return c == u'(' || c == u'[' || c == u'{' || c == u'<';
}
bool IsBlank(char16_t c) {
    return c == u' ';
}
bool IsNeutral(char16_t c) {
    return IsDigit(c) || IsBracket(c) || c == u'-';
}
char16_t Mirror(char16_t c) {
    switch (c) {
    case u'(': return u')';
    case u')': return u'(';
    case u'[': return u']';
    case u']': return u'[';
    case u'{': return u'}';
    case u'}': return u'{';
    case u'<': return u'>';
    case u'>': return u'<';
    default: return u' ';
    }
}

// The text class of a run: 1 other text only, 0 right-to-left only, 5 both without neutral
// characters, 3 digits with other neutral characters but no bracket, 6 anything else.
int TextClass(const char16_t* s, size_t n) {
    bool rtl = false, other = false, neutral = false, digit = false, bracket = false;
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (IsBlank(c)) continue;
        if (IsRtlChar(c)) {
            rtl = true;
        } else if (IsNeutral(c)) {
            neutral = true;
            digit |= IsDigit(c);
            bracket |= IsBracket(c);
        } else {
            other = true;
        }
    }
    if (other && !rtl && !neutral) return 1;
    if (rtl && !other && !neutral) return 0;
    if (rtl && other && !neutral) return 5;
    if (neutral && !rtl && !other && digit && !bracket) return 3;
    return 6;
}

// The value of an attribute inside [begin, end): the text between the quote that follows the name
// and the next same quote, cut to `limit` characters; false when absent or unquoted.
bool AttributeValue(const char16_t* begin, const char16_t* end, const char16_t* name, size_t limit,
                    std::u16string* out) {
    const size_t n = std::char_traits<char16_t>::length(name);
    for (const char16_t* p = begin; p + n <= end; ++p) {
        if (!SameNoCase(p, name, n)) continue;
        const char16_t* q = p + n;
        while (q < end && *q != u'"' && *q != u'\'')
            ++q;
        if (q >= end) return false;
        const char16_t quote = *q++;
        const char16_t* close = q;
        while (close < end && *close != quote)
            ++close;
        if (close >= end) return false;
        out->assign(q, std::min(size_t(close - q), limit));
        return true;
    }
    return false;
}

int DecimalValue(const std::u16string& text) {
    int64_t v = 0;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    for (; i < text.size() && IsDigit(text[i]) && v < 1000000; ++i)
        v = v * 10 + (text[i] - u'0');
    return int(negative ? -v : v);
}

} // namespace

// The state of one layout pass: the style stack, the current look, the measuring DC and the
// prefix widths of the stretch being placed.
struct oxRichText::Scan {
    std::vector<oxRichStyle> stack; // [0] is the caller's
    oxRichStyle current;
    int32_t wrap = -1;
    bool pre = false;
    HDC dc = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
    HFONT font = nullptr;
    BYTE quality = 0;
    TEXTMETRICW metrics{};
    bool haveFont = false;
    oxRichStyle fontStyle;
    // Prefix widths of the stretch at `base`: ext[i] is the width of its first i + 1 units.
    const char16_t* base = nullptr;
    std::vector<int> ext;
    size_t nextLinkClose = 0; // cached position of the next "</a>"
    bool nextLinkCloseKnown = false;

    Scan() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 1;
        info.bmiHeader.biHeight = -1;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc = section ? CreateCompatibleDC(nullptr) : nullptr;
        if (dc) oldBitmap = SelectObject(dc, section);
    }
    ~Scan() {
        if (dc) {
            if (haveFont) SelectObject(dc, oldFont);
            SelectObject(dc, oldBitmap);
            DeleteDC(dc);
        }
        if (section) DeleteObject(section);
    }
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;

    void Use(const oxRichStyle& style) {
        if (!dc) return;
        if (haveFont && style.face == fontStyle.face && style.size == fontStyle.size && style.bold == fontStyle.bold &&
            style.italic == fontStyle.italic && style.underline == fontStyle.underline)
            return;
        HFONT f = oxTextBox::GetCachedFont(style.face.c_str(), style.size, style.bold, style.italic, style.underline, 0,
                                           quality);
        if (!f) return;
        HGDIOBJ previous = SelectObject(dc, f);
        if (!haveFont) oldFont = previous;
        haveFont = true;
        font = f;
        fontStyle = style;
        GetTextMetricsW(dc, &metrics);
    }
    // Measures the stretch once; widths of its pieces come from the prefix widths after that.
    void Prepare(const char16_t* text, size_t length) {
        base = text;
        ext.assign(length, 0);
        SIZE size{};
        if (dc && haveFont && length) GetTextExtentExPointW(dc, text, int(length), 0, nullptr, ext.data(), &size);
    }
    // The advance width of [text, text + n) inside the prepared stretch.
    int Advance(const char16_t* text, size_t n) const {
        if (!n) return 0;
        const size_t from = size_t(text - base);
        return ext[from + n - 1] - (from ? ext[from - 1] : 0);
    }
    // The measured size of a piece: its advance plus the overhang of an italic last character.
    SIZE Measure(const char16_t* text, size_t n) {
        SIZE size{Advance(text, n), haveFont ? metrics.tmHeight : 0};
        ABC abc{};
        if (n && fontStyle.italic && GetCharABCWidthsW(dc, text[n - 1], text[n - 1], &abc) && abc.abcC < 0)
            size.cx -= abc.abcC;
        return size;
    }
    // A text outside the prepared stretch (link text).
    SIZE MeasureAlone(const oxRichStyle& style, const std::u16string& text) {
        Use(style);
        const char16_t* oldBase = base;
        std::vector<int> saved;
        saved.swap(ext);
        Prepare(text.data(), text.size());
        SIZE size = Measure(text.data(), text.size());
        ext.swap(saved);
        base = oldBase;
        return size;
    }
};

oxRichText::~oxRichText() {
    DestroyLinks();
    ClearImages();
}

void oxRichText::SetSource(const WCHAR* text) {
    source_.clear();
    if (text && *text) source_ = text;
}

std::u16string oxRichText::Clean(const char16_t* s, size_t n) {
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        const char16_t c = s[i];
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == u' ') {
            while (i < n && (s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r' || s[i] == u' '))
                ++i;
            out += u' ';
            continue;
        }
        if (c == u'&') {
            if (i + 2 < n && s[i + 1] == u'#' && IsDigit(s[i + 2])) {
                size_t j = i + 2;
                uint32_t value = 0;
                while (j < n && IsDigit(s[j]))
                    value = value * 10 + uint32_t(s[j++] - u'0');
                if (j < n && s[j] == u';') {
                    out += char16_t(value & 0xFFFF);
                    i = j + 1;
                } else {
                    out.append(s + i + 2, j - i - 2); // the digits stay, '&' and '#' go
                    i = j;
                }
                continue;
            }
            bool found = false;
            for (const Entity& e : kEntities) {
                const size_t len = std::char_traits<char16_t>::length(e.name);
                if (i + 1 + len <= n && std::char_traits<char16_t>::compare(s + i + 1, e.name, len) == 0) {
                    out += e.value;
                    i += 1 + len;
                    found = true;
                    break;
                }
            }
            if (!found) out += s[i++];
            continue;
        }
        if (c == u'\\' && i + 1 < n) {
            const char16_t next = s[i + 1];
            if (next == u'"' || next == u'\'' || next == u'\\') {
                out += next;
                i += 2;
                continue;
            }
            if (next == u'n' || next == u'r') {
                out += u"<br>";
                i += 2;
                continue;
            }
            if (next == u't') {
                i += 2;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

oxRichLine* oxRichText::NewLine() {
    auto line = std::make_unique<oxRichLine>();
    line->rtlEnabled = rtlEnabled_;
    lines_.push_back(std::move(line));
    return lines_.back().get();
}

void oxRichText::AddItem(std::unique_ptr<oxRichItem> item) {
    oxRichLine* line = lines_.back().get();
    line->items.push_back(std::move(item));
    line->displayValid = false;
}

void oxRichText::AddRun(Scan& scan, const char16_t* text, size_t length, const SIZE& measured) {
    oxRichLine* line = lines_.back().get();
    SIZE size = measured;
    if (!line->contentStarted) {
        size_t skip = 0;
        while (skip < length && IsBlank(text[skip]))
            ++skip;
        if (skip == length) {
            // Only blanks on an empty line: an empty item keeps the line's height.
            if (line->items.empty() && length) {
                auto item = std::make_unique<oxRichItem>();
                item->style = scan.current;
                item->direction = kRichNeutral;
                item->height = size.cy;
                item->baseline = scan.metrics.tmAscent;
                line->height = std::max(line->height, size.cy);
                AddItem(std::move(item));
            }
            return;
        }
        if (skip) {
            text += skip;
            length -= skip;
            size = scan.Measure(text, length);
        }
        line->contentStarted = true;
    }
    if (!length) return;
    line->width += size.cx;
    line->height = std::max(line->height, size.cy);

    auto push = [&](const char16_t* p, size_t n, int32_t direction, const SIZE* whole) {
        if (!n) return;
        auto item = std::make_unique<oxRichItem>();
        item->text.assign(p, n);
        item->style = scan.current;
        item->direction = direction;
        const SIZE s = whole ? *whole : scan.Measure(p, n);
        item->width = s.cx;
        item->height = s.cy;
        item->baseline = scan.metrics.tmAscent;
        AddItem(std::move(item));
    };
    const int textClass = TextClass(text, length);
    if (!rtlEnabled_) {
        push(text, length, textClass == 0 ? kRichRtl : kRichLtr, &size);
        return;
    }
    if (textClass <= 3) {
        size_t blanks = 0;
        while (blanks < length && IsBlank(text[blanks]))
            ++blanks;
        if (blanks && blanks < length) {
            push(text, blanks, kRichBlank, nullptr);
            push(text + blanks, length - blanks, textClass, nullptr);
        } else {
            push(text, length, textClass, &size);
        }
        return;
    }
    // Mixed scripts, and with class 6 brackets too: cut into pieces of one kind each.
    enum Kind { kR, kL, kNum, kSignK, kBlankK, kPunctK, kOpenK, kCloseK };
    auto kindOf = [&](size_t i, int previous) -> int {
        const char16_t c = text[i];
        if (IsBlank(c)) return kBlankK;
        if (IsRtlChar(c)) return kR;
        if (c == u'+' || c == u'-') return kSignK;
        if ((c == u'?' || c == u'!' || c == u'\'' || c == u'.') && (previous == kL || previous == kPunctK)) return kPunctK;
        if (textClass == 6) {
            if (IsBracket(c)) return IsOpening(c) ? kOpenK : kCloseK;
            if (IsDigit(c)) return kNum;
        }
        return kL;
    };
    static constexpr int32_t kDirection[] = {kRichRtl,   kRichLtr,         kRichNumber,       kRichSign,
                                             kRichBlank, kRichPunctuation, kRichOpenBracket, kRichCloseBracket};
    size_t start = 0;
    int kind = kindOf(0, -1), lastText = -1;
    for (size_t i = 1; i <= length; ++i) {
        const int previous = kind == kBlankK ? lastText : kind;
        const int next = i < length ? kindOf(i, previous) : -1;
        // Signs, punctuation and brackets stand alone; other kinds run on.
        const bool single = kind == kSignK || kind == kPunctK || kind == kOpenK || kind == kCloseK;
        if (i == length || next != kind || single) {
            push(text + start, i - start, kDirection[kind], nullptr);
            if (kind != kBlankK) lastText = kind;
            start = i;
            kind = next;
        }
    }
}

void oxRichText::AddBoxItem(Scan& scan, oxRichItem::Kind kind, oxBox* box, int32_t width, int32_t height) {
    oxRichLine* line = lines_.back().get();
    if (scan.wrap > 0 && line->contentStarted && line->width + width > scan.wrap) line = NewLine();
    auto item = std::make_unique<oxRichItem>();
    item->kind = kind;
    item->box = box;
    item->style = scan.current;
    item->direction = kRichNeutral;
    item->width = width;
    item->height = height;
    item->baseline = height;
    line->width += width;
    line->height = std::max(line->height, height);
    line->contentStarted = true;
    AddItem(std::move(item));
    if (scan.wrap > 0 && line->width > scan.wrap) NewLine();
}

void oxRichText::AddStretch(Scan& scan, const char16_t* text, size_t length) {
    if (!length) return;
    scan.Use(scan.current);
    scan.Prepare(text, length);
    const int32_t W = scan.wrap;
    while (length) {
        oxRichLine* line = lines_.back().get();
        const SIZE size = scan.Measure(text, length);
        if (W == -1 || line->width + size.cx <= W) {
            AddRun(scan, text, length, size);
            return;
        }
        const bool hasContent = line->contentStarted;
        const int32_t room = W - line->width;
        // The last space whose preceding text still fits.
        size_t space = length;
        for (size_t k = 0; k < length; ++k) {
            if (scan.Advance(text, k) > room) break;
            if (IsBlank(text[k])) space = k;
        }
        if (space < length && (space > 0 || hasContent)) {
            if (space) AddRun(scan, text, space, scan.Measure(text, space));
            while (space < length && IsBlank(text[space]))
                ++space;
            text += space;
            length -= space;
            if (length) scan.Use(scan.current), NewLine();
            continue;
        }
        // No break fits: the first word moves to a line of its own, or is cut when even that is too
        // narrow for it.
        size_t lead = 0;
        while (lead < length && IsBlank(text[lead]))
            ++lead;
        if (lead == length) {
            AddRun(scan, text, length, size);
            return;
        }
        // The first word's end, looked for only as far as the width reaches.
        size_t wordEnd = lead;
        while (wordEnd < length && !IsBlank(text[wordEnd]) && scan.Advance(text + lead, wordEnd + 1 - lead) <= W)
            ++wordEnd;
        const bool wordFits = wordEnd == length || IsBlank(text[wordEnd]);
        if (hasContent) {
            NewLine();
            if (wordFits) {
                text += lead;
                length -= lead;
                continue;
            }
        }
        text += lead;
        length -= lead;
        size_t fit = 0;
        while (fit < length && scan.Advance(text, fit + 1) <= W)
            ++fit;
        fit = std::max<size_t>(fit, 1);
        AddRun(scan, text, fit, scan.Measure(text, fit));
        text += fit;
        length -= fit;
        if (length) NewLine();
    }
}

void oxRichText::DestroyLinks() {
    for (oxBox* box : links_) {
        oxBoxScene* scene = box->GetScene();
        oxBox* removed = owner_ ? owner_->RemoveChild(box, false) : nullptr;
        if (removed && scene)
            scene->DestroyBox(removed);
        else if (removed)
            removed->Release();
    }
    links_.clear();
}

void oxRichText::ClearImages() {
    for (auto& [key, box] : images_) {
        oxBoxScene* scene = box->GetScene();
        oxBox* removed = box->GetParent() ? box->GetParent()->RemoveChild(box, false) : box;
        if (scene)
            scene->DestroyBox(removed);
        else
            removed->Release();
    }
    images_.clear();
}

bool oxRichText::MakeLink(Scan& scan, size_t tagStart, size_t tagEnd, size_t* resume) {
    const std::u16string& s = cleaned_;
    if (tagEnd >= s.size() || s[tagEnd] != u'>') return false;
    for (size_t k = tagStart + 1; k < tagEnd; ++k)
        if (s[k] == u'<') return false;
    // The closing tag, found once for every link that opens before it.
    if (!scan.nextLinkCloseKnown || scan.nextLinkClose < tagEnd) {
        size_t k = tagEnd + 1;
        for (; k + 4 <= s.size(); ++k)
            if (s[k] == u'<' && s[k + 1] == u'/' && Lower(s[k + 2]) == u'a' && s[k + 3] == u'>') break;
        scan.nextLinkClose = k + 4 <= s.size() ? k : s.size();
        scan.nextLinkCloseKnown = true;
    }
    if (scan.nextLinkClose >= s.size()) return false;
    std::u16string href, title;
    const char16_t* begin = s.data() + tagStart;
    const char16_t* end = s.data() + tagEnd;
    if (!AttributeValue(begin, end, u"href", kLongValue, &href)) return false;
    const bool hasTitle = AttributeValue(begin, end, u"title", kLongValue, &title);
    oxBoxScene* scene = owner_ ? owner_->GetScene() : nullptr;
    oxBox* box = scene ? scene->CreateBox(kAtomBoxNamespace, kAtomSimpleText) : nullptr;
    if (!box) return false;
    const std::u16string text = s.substr(tagEnd + 1, scan.nextLinkClose - tagEnd - 1);
    // Laid out by this text, as images are: its own changes queue no layout of their own.
    box->SetChangeFlag(kChangeLayoutRoot, false);
    box->SetAttribute(kAtomAccRole, u"link", true, false);
    box->SetAttribute(kAtomAccName, text.c_str(), true, false);
    box->SetAttribute(kAtomHref, href.c_str(), true, false);
    if (hasTitle) box->SetAttribute(kAtomTooltip, title.c_str(), true, false);
    box->SetFocusMode(2);
    box->SetStyle(u"cursor", u"pointer");
    box->SetStyle(u"strokeWidth", u"1");
    box->SetStyle(u"strokeLayer", u"above");
    box->SetStyle(u"strokePattern", u"solid");
    if (!scan.current.face.empty()) box->SetStyle(u"fontFamily", scan.current.face.c_str());
    const std::u16string size = [&] {
        std::u16string t;
        for (char c : std::to_string(scan.current.size))
            t += char16_t(c);
        return t;
    }();
    box->SetStyle(u"fontSize", size.c_str());
    box->SetStyle(u"fontBold", scan.current.bold ? u"true" : u"false");
    box->SetStyle(u"fontItalics", scan.current.italic ? u"true" : u"false");
    box->SetStyle(u"fontUnderline", scan.current.underline ? u"true" : u"false");
    box->SetStyle(u"textColor", u"blue");
    box->SetAttribute(kAtomValue, text.c_str(), true, false);
    owner_->AddChild(box);
    links_.push_back(box);
    oxRichStyle underlined = scan.current;
    underlined.underline = true;
    const SIZE measured = scan.MeasureAlone(underlined, text);
    AddBoxItem(scan, oxRichItem::kLink, box, measured.cx, measured.cy);
    *resume = scan.nextLinkClose + 4;
    return true;
}

bool oxRichText::MakeImage(Scan& scan, size_t tagStart, size_t tagEnd) {
    const std::u16string& s = cleaned_;
    const char16_t* begin = s.data() + tagStart;
    const char16_t* end = s.data() + std::min(tagEnd, s.size());
    std::u16string src, alt, widthText, heightText;
    if (!AttributeValue(begin, end, u"src", kLongValue, &src) || src.empty()) return false;
    AttributeValue(begin, end, u"alt", kLongValue, &alt);
    const int width = AttributeValue(begin, end, u"width", kShortValue, &widthText) ? DecimalValue(widthText) : 0;
    const int height = AttributeValue(begin, end, u"height", kShortValue, &heightText) ? DecimalValue(heightText) : 0;
    std::u16string key = src + u":" + alt + u":";
    for (char c : std::to_string(width) + ":" + std::to_string(height))
        key += char16_t(c);
    oxBox* box = nullptr;
    if (auto it = images_.find(key); it != images_.end()) {
        box = it->second;
    } else {
        oxBoxScene* scene = owner_ ? owner_->GetScene() : nullptr;
        box = scene ? scene->CreateBox(kAtomBoxNamespace, kAtomImage) : nullptr;
        if (!box) return false;
        images_[key] = box;
        box->SetAttribute(kAtomSrc, src.c_str(), true, false);
        box->SetChangeFlag(kChangeLayoutRoot, false);
        owner_->SetChangeFlag(kChangeLayoutRoot, true);
    }
    int32_t w = width, h = height;
    if (w == 0 || h == 0) {
        auto* image = dynamic_cast<oxImageBox*>(box);
        const oxPoint natural = image ? image->GetImageSize() : oxPoint{};
        w = natural.x;
        h = natural.y;
    }
    if (w > 0 && h > 0) {
        box->SetBoxSize({w, h});
        box->SetContentSize({w, h});
    }
    if (box->GetParent() != owner_) owner_->AddChild(box);
    box->SetAttribute(kAtomTooltip, alt.c_str(), true, false);
    AddBoxItem(scan, oxRichItem::kImage, box, std::max(w, 0), std::max(h, 0));
    return true;
}

void oxRichText::Layout(int32_t wrapWidth) {
    DestroyLinks();
    lines_.clear();
    if (wrapWidth <= 0 && wrapWidth != -1) return;
    cleaned_ = Clean(source_.data(), source_.size());
    Scan scan;
    scan.wrap = wrapWidth;
    scan.quality = quality_;
    scan.stack.push_back(base_);
    scan.current = base_;
    NewLine();
    const int htmlVer = [&] {
        const WCHAR* v = owner_ ? owner_->GetAttributeText(kAtomHtmlVer) : nullptr;
        return v ? _wtoi(v) : 0;
    }();
    auto pushStyle = [&](const oxRichStyle& style) {
        scan.stack.push_back(style);
        scan.current = style;
    };
    auto popStyle = [&] {
        if (scan.stack.size() > 1) scan.stack.pop_back();
        scan.current = scan.stack.back();
    };

    const std::u16string& s = cleaned_;
    const size_t n = s.size();
    size_t runStart = 0;
    for (size_t i = 0; i < n;) {
        if (s[i] != u'<') {
            ++i;
            continue;
        }
        int tag = kTagNone;
        for (int t = 1; t < int(sizeof kTags / sizeof kTags[0]); ++t) {
            const size_t chars = size_t(kTags[t].chars);
            if (i + 1 + chars <= n && SameNoCase(s.data() + i + 1, kTags[t].text, chars)) {
                tag = t;
                break;
            }
        }
        if (scan.pre && tag != kTagPreOff) tag = kTagNone;
        if (tag == kTagImage && htmlVer < 1) tag = kTagNone;
        if (tag == kTagNone) {
            ++i;
            continue;
        }
        AddStretch(scan, s.data() + runStart, i - runStart);
        // A tag without its '>' runs to the end of the text.
        size_t end = s.find(u'>', i);
        if (end == std::u16string::npos) end = n;
        size_t next = std::min(end + 1, n);
        switch (tag) {
        case kTagBr:
            NewLine();
            break;
        case kTagBold:
        case kTagBoldOff:
        case kTagItalic:
        case kTagItalicOff:
        case kTagUnderline:
        case kTagUnderlineOff: {
            oxRichStyle style = scan.current;
            if (tag == kTagBold || tag == kTagBoldOff) style.bold = tag == kTagBold;
            if (tag == kTagItalic || tag == kTagItalicOff) style.italic = tag == kTagItalic;
            if (tag == kTagUnderline || tag == kTagUnderlineOff) style.underline = tag == kTagUnderline;
            if (scan.stack.size() > 1) scan.stack.pop_back();
            pushStyle(style);
            break;
        }
        case kTagFont: {
            oxRichStyle style = scan.current;
            std::u16string value;
            const char16_t* b = s.data() + i;
            const char16_t* e = s.data() + end;
            if (AttributeValue(b, e, u"face", kShortValue, &value)) style.face = value.substr(0, 31);
            uint32_t color = 0;
            // A colour that does not parse keeps the current one rather than turning white.
            if (AttributeValue(b, e, u"color", kShortValue, &value) && ParseColor(value.c_str(), &color))
                style.color = color;
            if (AttributeValue(b, e, u"size", kShortValue, &value)) style.size = DecimalValue(value) * 7;
            pushStyle(style);
            break;
        }
        case kTagFontOff:
        case kTagLinkOff:
            popStyle();
            break;
        case kTagLink: {
            size_t resume = 0;
            if (MakeLink(scan, i, end, &resume)) {
                next = resume;
            } else {
                oxRichStyle style = scan.current;
                style.color = kLinkBlue;
                style.underline = true;
                pushStyle(style);
            }
            break;
        }
        case kTagPre:
            scan.pre = true;
            break;
        case kTagPreOff:
            scan.pre = false;
            break;
        case kTagImage:
            if (!MakeImage(scan, i, end)) {
                // Shown as text.
                runStart = i;
                ++i;
                continue;
            }
            break;
        default:
            break;
        }
        i = runStart = next;
    }
    AddStretch(scan, s.data() + runStart, n - runStart);
}

oxPoint oxRichText::GetSize() const {
    oxPoint size{0, 0};
    for (const auto& line : lines_) {
        size.x = std::max(size.x, line->width);
        size.y += line->height;
    }
    return size;
}

oxBox* oxRichText::HitTestEmbedded(const oxPoint& point) const {
    for (const auto& [key, box] : images_) {
        for (const auto& line : lines_)
            for (const auto& item : line->items)
                if (item->box == box && item->placed.Contains(point)) return box;
    }
    for (const auto& line : lines_)
        for (const auto& item : line->items)
            if (item->kind == oxRichItem::kLink && item->placed.Contains(point)) return item->box;
    return nullptr;
}

oxRichItem* oxRichText::GetItem(int line, int index, int32_t base) {
    if (line < 0 || line >= GetLineCount()) return nullptr;
    oxRichLine* l = lines_[size_t(line)].get();
    if (index < 0 || index >= l->GetItemCount()) return nullptr;
    if (!l->displayValid || l->displayBase != base) BuildDisplayOrder(l, base);
    return index < int(l->display.size()) ? l->display[size_t(index)] : nullptr;
}

namespace {

// Places a line's items into display order for one base direction: each item is appended or
// inserted at a remembered position, which reverses the stretches of the other direction.
class Orderer {
public:
    Orderer(const std::vector<std::unique_ptr<oxRichItem>>& items, bool rtl) : items_(items), rtl_(rtl) {}

    // Orders items from `i` into `out`; inside a group it stops at its closing bracket (returned in
    // `*i`) and counts the group's balance.
    void Run(size_t* i, bool inGroup, std::vector<oxRichItem*>& out, int* balance) {
        State st;
        while (*i < items_.size()) {
            oxRichItem* item = items_[*i].get();
            const int32_t c = item->direction;
            if (c == kRichCloseBracket && inGroup) return;
            if (balance) {
                if (c == kRichLtr) ++*balance;
                if (c == kRichRtl || (rtl_ && (c == kRichNeutral || c > kRichPunctuation || c < 0))) --*balance;
            }
            // Brackets nested deeper than this are placed as neutral items, keeping the stack bounded.
            if (c == kRichOpenBracket && depth_ < kMaxGroupDepth) {
                ++depth_;
                PlaceGroup(i, out, st);
                --depth_;
                continue;
            }
            if ((c == kRichBlank || c == kRichPunctuation) && st.stretch)
                PlaceInStretch(*i, item, out, st);
            else if (c == kRichBlank || c == kRichPunctuation)
                out.push_back(item);
            else if (rtl_)
                PlaceRtl(*i, item, out, st);
            else
                PlaceLtr(*i, item, out, st);
            ++*i;
        }
    }

private:
    struct State {
        bool stretch = false;
        size_t s = 0;
        bool numbers = false;
        size_t r = 0; // the number run's start (right-to-left base) or its last number (left-to-right)
    };

    // Appends the first item of a stretch of the direction opposite the base.
    static void OpenStretch(std::vector<oxRichItem*>& out, oxRichItem* item, State& st) {
        out.push_back(item);
        st.stretch = true;
        st.s = out.size() - 1;
    }

    // The first number inside a stretch: at its start, where the run of numbers begins.
    void StartNumbersAtStretch(std::vector<oxRichItem*>& out, oxRichItem* item, State& st) {
        Insert(out, st.s, item, st, true);
        st.numbers = true;
        st.r = st.s;
    }

    int32_t ClassAt(size_t i) const { return i < items_.size() ? items_[i]->direction : -1; }

    void Insert(std::vector<oxRichItem*>& out, size_t at, oxRichItem* item, State& st, bool numberMember) {
        out.insert(out.begin() + ptrdiff_t(std::min(at, out.size())), item);
        if (st.numbers && !numberMember && at <= st.r) ++st.r;
    }

    // Blanks and punctuation inside a stretch.
    void PlaceInStretch(size_t i, oxRichItem* item, std::vector<oxRichItem*>& out, State& st) {
        const int32_t baseText = rtl_ ? kRichRtl : kRichLtr;
        bool append;
        if (item->direction == kRichBlank || item->direction == kRichSign) {
            const int32_t next = ClassAt(i + 1);
            const bool apostrophe = next == kRichPunctuation && items_[i + 1]->text == u"'";
            append = next == baseText || (apostrophe && ClassAt(i + 2) == baseText);
        } else {
            size_t k = i + 1;
            while (ClassAt(k) == kRichBlank)
                ++k;
            const int32_t next = ClassAt(k);
            append = !(rtl_ ? (next == kRichLtr || next == kRichNumber) : next == kRichRtl);
        }
        if (append)
            out.push_back(item);
        else
            Insert(out, st.s, item, st, false);
    }

    void PlaceRtl(size_t i, oxRichItem* item, std::vector<oxRichItem*>& out, State& st) {
        switch (item->direction) {
        case kRichLtr:
            if (st.stretch)
                Insert(out, st.s, item, st, false);
            else
                OpenStretch(out, item, st);
            st.numbers = false;
            break;
        case kRichNumber:
            if (st.numbers) {
                Insert(out, st.r, item, st, true);
            } else if (st.stretch) {
                StartNumbersAtStretch(out, item, st);
            } else {
                out.push_back(item);
                st.numbers = true;
                st.r = out.size() - 1;
            }
            break;
        case kRichSign:
            if (st.numbers) {
                Insert(out, st.r, item, st, true);
            } else if (st.stretch) {
                PlaceInStretch(i, item, out, st);
            } else {
                out.push_back(item);
                if (ClassAt(i + 1) == kRichNumber) {
                    st.numbers = true;
                    st.r = out.size() - 1;
                }
            }
            break;
        case kRichCloseBracket: {
            const bool lastAfterLtr = i + 1 == items_.size() && i > 0 && ClassAt(i - 1) == kRichLtr;
            if (!st.stretch || lastAfterLtr) {
                SetMirrored(item, true);
                out.push_back(item);
            } else {
                Insert(out, st.s, item, st, false);
            }
            break;
        }
        default:
            out.push_back(item);
            st.stretch = st.numbers = false;
            break;
        }
    }

    void PlaceLtr(size_t i, oxRichItem* item, std::vector<oxRichItem*>& out, State& st) {
        switch (item->direction) {
        case kRichRtl:
            if (st.stretch) {
                Insert(out, st.s, item, st, false);
                st.numbers = false;
            } else {
                OpenStretch(out, item, st);
            }
            break;
        case kRichNumber:
            if (st.stretch && st.numbers) {
                Insert(out, st.r + 1, item, st, true);
                ++st.r;
            } else if (st.stretch) {
                StartNumbersAtStretch(out, item, st);
            } else {
                out.push_back(item);
            }
            break;
        case kRichSign:
            if (st.stretch && st.numbers) {
                Insert(out, st.r + 1, item, st, true);
                ++st.r;
            } else {
                out.push_back(item);
                st.stretch = st.numbers = false;
            }
            break;
        default:
            if (st.stretch && ClassAt(i + 1) == kRichRtl) {
                Insert(out, st.s, item, st, false);
            } else {
                out.push_back(item);
                st.stretch = st.numbers = false;
            }
            break;
        }
    }

    static void SetMirrored(oxRichItem* item, bool on) {
        item->mirrored = on;
        item->shown.clear();
        if (on)
            for (char16_t c : item->text)
                item->shown += Mirror(c);
    }

    // A bracketed group, built into its own list and placed as one unit.
    void PlaceGroup(size_t* i, std::vector<oxRichItem*>& out, State& st) {
        oxRichItem* open = items_[*i].get();
        SetMirrored(open, false);
        ++*i;
        std::vector<oxRichItem*> group;
        int balance = 0;
        oxRichItem* close = nullptr;
        if (*i >= items_.size()) {
            // A bracket that ends the line is a neutral group of its own.
            if (rtl_ && !st.stretch) SetMirrored(open, true);
            group.push_back(open);
        } else {
            Run(i, true, group, &balance);
            if (*i < items_.size()) {
                close = items_[*i].get();
                SetMirrored(close, false);
                ++*i;
            }
            if (!rtl_) {
                group.insert(group.begin(), open);
                if (close) group.push_back(close);
            } else if (close) {
                group.insert(group.begin(), close);
                group.push_back(open);
            } else if (balance >= 0 && st.stretch) {
                group.push_back(open);
            } else {
                SetMirrored(open, true);
                group.insert(group.begin(), open);
            }
        }
        const bool towardStretch = rtl_ ? balance > 0 : balance < 0; // the direction opposite the base
        const bool withBase = rtl_ ? balance < 0 : balance > 0;
        if (towardStretch) {
            if (st.stretch) {
                InsertBlock(out, st.s, group, st);
            } else {
                st.stretch = true;
                st.s = out.size();
                out.insert(out.end(), group.begin(), group.end());
            }
        } else if (withBase) {
            out.insert(out.end(), group.begin(), group.end());
            st.stretch = false;
        } else if (st.stretch) {
            InsertBlock(out, st.s, group, st);
        } else {
            out.insert(out.end(), group.begin(), group.end());
        }
        st.numbers = false;
    }

    void InsertBlock(std::vector<oxRichItem*>& out, size_t at, const std::vector<oxRichItem*>& group, State& st) {
        out.insert(out.begin() + ptrdiff_t(std::min(at, out.size())), group.begin(), group.end());
        (void)st;
    }

    static constexpr int kMaxGroupDepth = 64;
    const std::vector<std::unique_ptr<oxRichItem>>& items_;
    bool rtl_;
    int depth_ = 0;
};

} // namespace

void oxRichText::BuildDisplayOrder(oxRichLine* line, int32_t base) {
    line->display.clear();
    line->display.reserve(line->items.size());
    for (auto& item : line->items)
        item->mirrored = false;
    Orderer orderer(line->items, base != 0);
    size_t i = 0;
    orderer.Run(&i, false, line->display, nullptr);
    line->displayValid = true;
    line->displayBase = base;
}
