#include "platform/crt/wide.h"

#include <cerrno>
#include <climits>
#include <cstring>

size_t wcslen(const WCHAR* s) {
    const WCHAR* p = s;
    while (*p)
        ++p;
    return size_t(p - s);
}

size_t wcsnlen(const WCHAR* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return int(*a) - int(*b);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (; n; --n, ++a, ++b) {
        if (*a != *b || !*a) return int(*a) - int(*b);
    }
    return 0;
}

// Equal units need no case mapping, which spares most lookups on names that mostly agree.
int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    for (;; ++a, ++b) {
        if (*a == *b) {
            if (!*a) return 0;
            continue;
        }
        int ca = towlower(*a), cb = towlower(*b);
        if (ca != cb || !ca) return ca - cb;
    }
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (; n; --n, ++a, ++b) {
        if (*a == *b) {
            if (!*a) return 0;
            continue;
        }
        int ca = towlower(*a), cb = towlower(*b);
        if (ca != cb || !ca) return ca - cb;
    }
    return 0;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
    WCHAR* d = dst;
    while ((*d++ = *src++) != 0) {
    }
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i)
        dst[i] = src[i];
    for (; i < n; ++i)
        dst[i] = 0;
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

WCHAR* wcschr(const WCHAR* s, WCHAR c) {
    for (;; ++s) {
        if (*s == c) return const_cast<WCHAR*>(s);
        if (!*s) return nullptr;
    }
}

WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (!*s) return const_cast<WCHAR*>(found);
    }
}

WCHAR* wcsstr(const WCHAR* s, const WCHAR* pattern) {
    if (!*pattern) return const_cast<WCHAR*>(s);
    for (; *s; ++s) {
        size_t i = 0;
        while (pattern[i] && s[i] == pattern[i])
            ++i;
        if (!pattern[i]) return const_cast<WCHAR*>(s);
    }
    return nullptr;
}

WCHAR* _wcsdup(const WCHAR* s) {
    if (!s) return nullptr;
    size_t n = wcslen(s) + 1;
    auto* copy = static_cast<WCHAR*>(malloc(n * sizeof(WCHAR)));
    if (copy) memcpy(copy, s, n * sizeof(WCHAR));
    return copy;
}

WCHAR* _wcslwr(WCHAR* s) {
    for (WCHAR* p = s; *p; ++p)
        *p = towlower(*p);
    return s;
}

WCHAR* _wcsupr(WCHAR* s) {
    for (WCHAR* p = s; *p; ++p)
        *p = towupper(*p);
    return s;
}

int iswspace(WCHAR c) {
    if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    switch (c) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return 1;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

int iswdigit(WCHAR c) {
    return c >= u'0' && c <= u'9';
}

namespace {

// Letters outside the cased scripts, by block. Cased letters are found through the case tables.
struct Range {
    char16_t first, last;
};
constexpr Range kUncasedLetters[] = {
    {0x00AA, 0x00AA}, {0x00BA, 0x00BA}, {0x00DF, 0x00DF}, {0x0138, 0x0138}, {0x0149, 0x0149}, {0x01BA, 0x01BB},
    {0x01C0, 0x01C3}, {0x0250, 0x02C1}, {0x05D0, 0x05EA}, {0x0620, 0x064A}, {0x0671, 0x06D3}, {0x0904, 0x0939},
    {0x0E01, 0x0E30}, {0x1100, 0x11FF}, {0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x3105, 0x312F}, {0x3131, 0x318E},
    {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFF66, 0xFFDC},
};

} // namespace

int iswalpha(WCHAR c) {
    if (c < 0x80) return (c | 0x20) >= u'a' && (c | 0x20) <= u'z';
    if (towlower(c) != c || towupper(c) != c) return 1;
    for (const Range& r : kUncasedLetters) {
        if (c >= r.first && c <= r.last) return 1;
    }
    return 0;
}

int iswalnum(WCHAR c) {
    return iswdigit(c) || iswalpha(c);
}

namespace {

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

// Shared by wcstol and wcstoul: reads sign, prefix and digits; the magnitude saturates at `limit`.
const WCHAR* ParseInteger(const WCHAR* s, int radix, unsigned long long limit, bool* negative,
                          unsigned long long* value, bool* overflow) {
    *negative = false;
    *value = 0;
    *overflow = false;
    if (radix != 0 && (radix < 2 || radix > 36)) return nullptr;
    const WCHAR* p = s;
    while (iswspace(*p))
        ++p;
    if (*p == u'+' || *p == u'-') *negative = *p++ == u'-';
    if ((radix == 0 || radix == 16) && p[0] == u'0' && (p[1] | 0x20) == u'x' && DigitValue(p[2]) < 16) {
        p += 2;
        radix = 16;
    } else if (radix == 0) {
        radix = p[0] == u'0' ? 8 : 10;
    }
    const WCHAR* digits = p;
    for (int d; (d = DigitValue(*p)) < radix; ++p) {
        if (*value > (limit - d) / radix) {
            *overflow = true;
            *value = limit;
        } else if (!*overflow) {
            *value = *value * radix + d;
        }
    }
    return p == digits ? nullptr : p;
}

} // namespace

// The device's long is 32 bits, so the results saturate at the 32-bit limits.
long wcstol(const WCHAR* s, WCHAR** end, int radix) {
    bool negative, overflow;
    unsigned long long value;
    const WCHAR* stop = ParseInteger(s, radix, uint64_t(INT32_MAX) + 1, &negative, &value, &overflow);
    if (end) *end = const_cast<WCHAR*>(stop ? stop : s);
    if (!stop) return 0;
    if (negative) {
        if (overflow) errno = ERANGE;
        return long(-int64_t(value));
    }
    if (value > uint64_t(INT32_MAX)) {
        errno = ERANGE;
        return INT32_MAX;
    }
    return long(value);
}

unsigned long wcstoul(const WCHAR* s, WCHAR** end, int radix) {
    bool negative, overflow;
    unsigned long long value;
    const WCHAR* stop = ParseInteger(s, radix, UINT32_MAX, &negative, &value, &overflow);
    if (end) *end = const_cast<WCHAR*>(stop ? stop : s);
    if (!stop) return 0;
    if (overflow) {
        errno = ERANGE;
        return UINT32_MAX;
    }
    return negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
}

int _wtoi(const WCHAR* s) {
    return int(wcstol(s, nullptr, 10));
}

double wcstod(const WCHAR* s, WCHAR** end) {
    const WCHAR* p = s;
    while (iswspace(*p))
        ++p;
    // Only ASCII can belong to a number: copy the candidate run and let strtod find its end.
    std::string narrow;
    for (const WCHAR* q = p; *q && *q < 0x80 && narrow.size() < 4096; ++q) {
        char c = char(*q);
        bool numeric = (c >= '0' && c <= '9') || (c | 0x20) == 'e' || c == '.' || c == '+' || c == '-' ||
                       ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
        if (!numeric) break;
        narrow += c;
    }
    char* stop = nullptr;
    double value = strtod(narrow.c_str(), &stop);
    size_t used = size_t(stop - narrow.c_str());
    if (end) *end = const_cast<WCHAR*>(used ? p + used : s);
    return value;
}
