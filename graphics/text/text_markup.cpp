// The inline markup of text runs: tags that change style, colour and alignment, and character
// entities.
#include <cstring>

#include "graphics/paint/graphics_context.h"
#include "graphics/text/font.h"
#include "graphics/text/text_context.h"

namespace {

struct Entity {
    const char* name; // with its ';'
    char16_t code;
};

constexpr Entity kEntities[] = {
    {"quot;", 34},    {"amp;", 38},     {"apos;", 39},    {"lt;", 60},      {"gt;", 62},      {"nbsp;", 160},
    {"iexcl;", 161},  {"cent;", 162},   {"pound;", 163},  {"curren;", 164}, {"yen;", 165},    {"brvbar;", 166},
    {"sect;", 167},   {"uml;", 168},    {"copy;", 169},   {"ordf;", 170},   {"laquo;", 171},  {"not;", 172},
    {"reg;", 174},    {"macr;", 175},   {"deg;", 176},    {"plusmn;", 177}, {"divide;", 247}, {"sup2;", 178},
    {"sup3;", 179},   {"acute;", 180},  {"micro;", 181},  {"para;", 182},   {"middot;", 183}, {"cedil;", 184},
    {"sup1;", 185},   {"ordm;", 186},   {"raquo;", 187},  {"frac14;", 188}, {"frac12;", 189}, {"frac34;", 190},
    {"iquest;", 191}, {"ndash;", 8211}, {"mdash;", 8212}, {"Agrave;", 192}, {"Aacute;", 193}, {"Acirc;", 194},
    {"Atilde;", 195}, {"Auml;", 196},   {"Aring;", 197},  {"AElig;", 198},  {"Ccedil;", 199}, {"Egrave;", 200},
    {"Eacute;", 201}, {"Ecirc;", 202},  {"Euml;", 203},   {"Igrave;", 204}, {"Iacute;", 205}, {"Icirc;", 206},
    {"Iuml;", 207},   {"ETH;", 208},    {"Ntilde;", 209}, {"Ograve;", 210}, {"Oacute;", 211}, {"Ocirc;", 212},
    {"Otilde;", 213}, {"Ouml;", 214},   {"times;", 215},  {"Oslash;", 216}, {"Ugrave;", 217}, {"Uacute;", 218},
    {"Ucirc;", 219},  {"Uuml;", 220},   {"Yacute;", 221}, {"THORN;", 222},  {"szlig;", 223},  {"agrave;", 224},
    {"aacute;", 225}, {"acirc;", 226},  {"atilde;", 227}, {"auml;", 228},   {"aring;", 229},  {"aelig;", 230},
    {"ccedil;", 231}, {"egrave;", 232}, {"eacute;", 233}, {"ecirc;", 234},  {"euml;", 235},   {"igrave;", 236},
    {"iacute;", 237}, {"icirc;", 238},  {"iuml;", 239},   {"eth;", 240},    {"ntilde;", 241}, {"ograve;", 242},
    {"oacute;", 243}, {"ocirc;", 244},  {"otilde;", 245}, {"ouml;", 246},   {"oslash;", 248}, {"ugrave;", 249},
    {"uacute;", 250}, {"ucirc;", 251},  {"uuml;", 252},   {"yacute;", 253}, {"thorn;", 254},  {"yuml;", 255},
};
static_assert(sizeof kEntities / sizeof kEntities[0] == 102);

constexpr int32_t kEntityWindow = 9;
constexpr int32_t kMaxColorText = 32;

bool StartsWith(const char16_t* p, const char16_t* end, const char* ascii) {
    const size_t n = std::strlen(ascii);
    if (size_t(end - p) < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (p[i] != char16_t(static_cast<unsigned char>(ascii[i]))) return false;
    return true;
}

// The units of an entity after '&' and its character; 0 when it is none.
int32_t DecodeEntity(const char16_t* p, const char16_t* end, char16_t* out) {
    const char16_t* limit = end - p > kEntityWindow ? p + kEntityWindow : end;
    if (p < limit && *p == u'#') {
        uint32_t code = 0;
        const char16_t* q = p + 1;
        while (q < limit && *q >= u'0' && *q <= u'9')
            code = code * 10 + uint32_t(*q++ - u'0');
        if (q == p + 1 || q >= limit || *q != u';') return 0;
        *out = char16_t(code);
        return int32_t(q + 1 - p);
    }
    for (const Entity& e : kEntities)
        if (StartsWith(p, limit, e.name)) {
            *out = e.code;
            return int32_t(std::strlen(e.name));
        }
    return 0;
}

// The value of `name` in a tag's text: the name, then '=', then a quoted value.
bool FindAttribute(const char16_t* tag, const char16_t* end, const char* name, const char16_t*& value,
                   int32_t& length) {
    for (const char16_t* p = tag; p < end; ++p) {
        if (!StartsWith(p, end, name)) continue;
        const char16_t* q = p + std::strlen(name);
        while (q < end && *q != u'=')
            ++q;
        while (q < end && *q != u'"' && *q != u'\'')
            ++q;
        if (q >= end) return false;
        const char16_t quote = *q++;
        const char16_t* close = q;
        while (close < end && *close != quote)
            ++close;
        value = q;
        length = int32_t(close - q);
        return true;
    }
    return false;
}

int32_t AlignmentFromName(const char16_t* v, int32_t n) {
    const char16_t* end = v + n;
    struct Word {
        const char* name;
        int32_t align;
    };
    static constexpr Word kWords[] = {{"LEFT", oxTextContext::kAlignLeft},
                                      {"RIGHT", oxTextContext::kAlignRight},
                                      {"CENTER", oxTextContext::kAlignCenter},
                                      {"JUSTIFY", oxTextContext::kAlignJustify}};
    for (const Word& w : kWords)
        if (int32_t(std::strlen(w.name)) == n && StartsWith(v, end, w.name)) return w.align;
    return oxTextContext::kAlignNone;
}

uint32_t ColorFromText(const char16_t* v, int32_t n) {
    if (n < 1 || v[0] != u'#') return 0;
    uint32_t rgb = 0;
    for (int32_t i = 1; i < 7 && i < n; ++i) {
        const char16_t c = v[i];
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0) break;
        rgb = rgb << 4 | uint32_t(digit);
    }
    return rgb;
}

} // namespace

int32_t oxTextContext::DecodeChar(char16_t* out, const char16_t* text, const char16_t* end, int32_t charWidth,
                                  int32_t mode) {
    *out = 0;
    if (charWidth != 2 || !text || text >= end) return 0;
    const char16_t* p = text;
    while (p < end) {
        const char16_t c = *p;
        if (mode == kMarkupLiteral) {
            *out = c;
            return int32_t(p + 1 - text);
        }
        if (c == u'&') {
            char16_t decoded;
            const int32_t n = DecodeEntity(p + 1, end, &decoded);
            *out = n ? decoded : c;
            return int32_t(p + 1 + n - text);
        }
        if (c != u'<') {
            *out = c;
            return int32_t(p + 1 - text);
        }
        if (p + 1 < end && p[1] == u' ') {
            *out = c; // "< " is an ordinary '<'; the space follows as itself
            return int32_t(p + 1 - text);
        }
        const char16_t* tag = p + 1;
        const char16_t* close = tag;
        while (close < end && *close != u'>')
            ++close;
        char16_t produced = 0;
        ApplyTag(tag, int32_t(close - tag), mode, &produced);
        p = close < end ? close + 1 : end;
        if (produced) {
            *out = produced;
            return int32_t(p - text);
        }
    }
    return int32_t(p - text);
}

void oxTextContext::ApplyTag(const char16_t* tag, int32_t length, int32_t mode, char16_t* out) {
    const char16_t* end = tag + length;
    const bool apply = mode == kMarkupApply;
    if (StartsWith(tag, end, "br")) {
        *out = u'\n';
    } else if (StartsWith(tag, end, "p")) {
        const char16_t* v;
        int32_t n;
        if (apply && FindAttribute(tag, end, "align", v, n)) {
            m_align = AlignmentFromName(v, n);
            m_alignStack.push_back(m_align);
        }
    } else if (StartsWith(tag, end, "/p")) {
        if (apply && m_alignStack.size() > 1) {
            m_alignStack.pop_back();
            m_align = m_alignStack.back();
        }
        *out = u'\n';
    } else if (StartsWith(tag, end, "tab")) {
        *out = u'\t';
    } else if (StartsWith(tag, end, "b") || StartsWith(tag, end, "/b")) {
        if (!apply) return;
        m_bold = tag[0] == u'/' ? (m_bold > 0 ? m_bold - 1 : 0) : m_bold + 1;
        ChangeStyle();
    } else if (StartsWith(tag, end, "i") || StartsWith(tag, end, "/i")) {
        if (!apply) return;
        m_italic = tag[0] == u'/' ? (m_italic > 0 ? m_italic - 1 : 0) : m_italic + 1;
        ChangeStyle();
    } else if (StartsWith(tag, end, "u") || StartsWith(tag, end, "/u")) {
        if (apply) m_underline = tag[0] == u'/' ? (m_underline > 0 ? m_underline - 1 : 0) : m_underline + 1;
    } else if (StartsWith(tag, end, "font")) {
        if (!apply) return;
        uint32_t color = m_target ? m_target->FillColor() & 0xFFFFFFu : 0;
        const char16_t* v;
        int32_t n;
        if (FindAttribute(tag, end, "color", v, n) && n < kMaxColorText) color = ColorFromText(v, n);
        m_fontStack.push_back({m_font, color});
        if (m_target) m_target->SetColor(color);
    } else if (StartsWith(tag, end, "/font")) {
        // The run's own entry stays: an unmatched "/font" changes nothing.
        if (!apply || m_fontStack.size() < 2) return;
        m_fontStack.pop_back();
        m_font = m_fontStack.back().font;
        if (m_target) m_target->SetColor(m_fontStack.back().color);
    }
}

void oxTextContext::ChangeStyle() {
    oxFont* font = CurrentFont();
    if (!font) return;
    const uint32_t style = (m_bold > 0 ? kFontBold : 0) | (m_italic > 0 ? kFontItalic : 0);
    if ((font->GetStyle() & (kFontBold | kFontItalic)) == style) return;
    if (oxFont* other = FindFont(font->GetFaceName(), style, m_bold > 0 ? 0.7f : 0.4f, 0, true)) m_font = other;
}
