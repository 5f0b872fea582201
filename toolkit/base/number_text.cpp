#include "toolkit/base/number_text.h"

namespace {

bool IsBlank(WCHAR c) {
    return c == u' ' || c == u'\t';
}

} // namespace

const WCHAR* SkipBlanks(const WCHAR* text, bool skip) {
    if (!text) return nullptr;
    if (skip) {
        while (IsBlank(*text))
            ++text;
    } else {
        while (*text && !IsBlank(*text))
            ++text;
    }
    return text;
}

const WCHAR* ParseDecimalInt(const WCHAR* text, int32_t* out, size_t maxLength) {
    if (maxLength == 0) maxLength = 65536;
    uint32_t value = 0; // wraps like the 32-bit original instead of overflowing
    int sign = 1;
    bool digits = false, signSeen = false;
    const WCHAR* p = text;
    if (p) {
        const WCHAR* end = p;
        size_t n = 0;
        while (n < maxLength && IsBlank(*end))
            ++end, ++n;
        p = end;
        for (; n < maxLength && *p; ++p, ++n) {
            WCHAR c = *p;
            if (c >= u'0' && c <= u'9') {
                value = value * 10 + uint32_t(c - u'0');
                digits = true;
            } else if ((c == u'+' || c == u'-') && !digits && !signSeen) {
                signSeen = true;
                if (c == u'-') sign = -1;
            } else {
                break;
            }
        }
    }
    if (out) *out = digits ? int32_t(sign < 0 ? 0u - value : value) : 0;
    return p;
}

void IntToText(int32_t value, WCHAR* buffer, size_t size, int radix) {
    if (!buffer || size == 0) return;
    buffer[0] = 0;
    if (size < 2) return;
    if (radix < 2 || radix > 36) radix = 10;
    WCHAR digits[34]; // 32 binary digits, a sign
    size_t n = 0;
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    do {
        uint32_t d = magnitude % uint32_t(radix);
        digits[n++] = WCHAR(d < 10 ? u'0' + d : u'a' + d - 10);
        magnitude /= uint32_t(radix);
    } while (magnitude);
    if (value < 0) digits[n++] = u'-';
    size_t written = 0;
    while (n && written + 1 < size)
        buffer[written++] = digits[--n];
    buffer[written] = 0;
}
