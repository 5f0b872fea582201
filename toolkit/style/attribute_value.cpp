#include "toolkit/style/attribute_value.h"

#include "platform/crt/wide.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"
#include "toolkit/style/color.h"

namespace {

struct ModeWord {
    const WCHAR* word;
    uint32_t flag;
};

constexpr ModeWord kModeWords[] = {
    {u"ignore", 1},        {u"normal", 2},  {u"defer", 4},       {u"data", 8},
    {u"move", 16},         {u"window", 32}, {u"two", 64},        {u"three", 128},
    {u"item", 256},        {u"block", 512}, {u"single", 1024},   {u"multiple", 2048},
    {u"contiguous", 4096}, {u"wrap", 8192}, {u"cursor", 0x8000}, {u"select", 0x10000},
};
// A flag that parses but has no word of its own when written back.
constexpr uint32_t kUnwrittenMode = 4096;

void Copy(const WCHAR* text, WCHAR* buffer, size_t size) {
    if (!buffer || size == 0) return;
    size_t i = 0;
    for (; i + 1 < size && text[i]; ++i)
        buffer[i] = text[i];
    buffer[i] = 0;
}

bool IsBlank(WCHAR c) {
    return c == u' ';
}

} // namespace

bool ParseBool(const WCHAR* text) {
    return text && (wcscmp(text, u"1") == 0 || _wcsicmp(text, u"true") == 0);
}

int32_t ParseInt(const WCHAR* text) {
    if (!text) return 0;
    while (*text && iswspace(*text))
        ++text;
    uint32_t value = 0; // wraps as the device's 32-bit arithmetic did
    bool negative = false, digits = false;
    for (; *text && *text != u'\t' && *text != u' '; ++text) {
        WCHAR c = *text;
        if (c >= u'0' && c <= u'9') {
            value = value * 10 + uint32_t(c - u'0');
            digits = true;
        } else if ((c == u'+' || c == u'-') && !digits) {
            if (c == u'-') negative = true;
        } else {
            break;
        }
    }
    return int32_t(negative ? 0u - value : value);
}

int32_t ParseColorString(const WCHAR* text) {
    uint32_t argb;
    return ParseColor(text, &argb) ? int32_t(argb) : -1;
}

int SideFromAtom(const WCHAR* text) {
    switch (oxAtoms::Intern(text)) {
    case kAtomTop:
        return 1;
    case kAtomRight:
        return 2;
    case kAtomBottom:
        return 3;
    case kAtomLeft:
        return 4;
    default:
        return 0;
    }
}

uint32_t ParseBoxModeFlags(const WCHAR* text) {
    if (!text) return 0;
    for (const ModeWord& m : kModeWords)
        if (wcscmp(text, m.word) == 0) return m.flag;
    return 0;
}

oxRect ParseIntRect(const WCHAR* text) {
    oxRect rect;
    if (!text) return rect;
    int32_t n[4] = {};
    int count = 0;
    const WCHAR* at = text;
    while (count < 4 && *at) {
        n[count++] = ParseInt(at);
        while (*at && !IsBlank(*at))
            ++at;
        while (IsBlank(*at))
            ++at;
    }
    // Fields read as left, top, right, bottom.
    if (count == 1)
        rect.Set(n[0], n[0], n[0], n[0]);
    else if (count == 2)
        rect.Set(n[1], n[0], n[1], n[0]);
    else if (count == 4)
        rect.Set(n[3], n[0], n[1], n[2]);
    return rect;
}

void FormatBool(bool flag, WCHAR* buffer, size_t size) {
    Copy(flag ? u"true" : u"false", buffer, size);
}

void FormatInt(int32_t value, WCHAR* buffer, size_t size) {
    if (!buffer || size == 0) return;
    WCHAR text[16]; // room for all 11 characters of "-2147483648", not 9 that would cut it
    _snwprintf(text, 16, u"%d", value);
    Copy(text, buffer, size);
}

void FormatColor(uint32_t argb, WCHAR* buffer, size_t size) {
    if (!buffer || size == 0) return;
    WCHAR text[16];
    _snwprintf(text, 16, u"#%x", argb);
    Copy(text, buffer, size);
}

void SideToString(int edge, WCHAR* buffer, size_t size) {
    static const WCHAR* const kSides[] = {u"none", u"top", u"right", u"bottom", u"left"};
    Copy(kSides[edge >= 1 && edge <= 4 ? edge : 0], buffer, size);
}

void FormatBoxModeFlags(uint32_t mode, WCHAR* buffer, size_t size) {
    const WCHAR* word = u"none";
    if (mode != kUnwrittenMode) {
        for (const ModeWord& m : kModeWords)
            if (m.flag == mode) word = m.word;
    }
    Copy(word, buffer, size);
}
