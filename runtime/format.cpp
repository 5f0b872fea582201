#include "runtime/format.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/crt/wide.h"

namespace NUBO {

namespace {

constexpr long long kMaxEstimate = INT_MAX / 2;

long long ReadDecimal(const WCHAR*& f) {
    long long n = 0;
    for (; *f >= u'0' && *f <= u'9'; ++f)
        n = n < kMaxEstimate ? n * 10 + (*f - u'0') : n;
    return n;
}

long long Max(long long a, long long b) {
    return a > b ? a : b;
}

// The letters that end a conversion, for the "ll" rewrite.
bool IsConversionLetter(WCHAR c) {
    return c && wcschr(u"CEGPSXcdefginosux", c);
}

bool IsIntegerLetter(WCHAR c) {
    return c && wcschr(u"Xdioux", c);
}

} // namespace

int EstimateFormatLength(const WCHAR* format, va_list args) {
    if (!format) return 0;
    va_list ap;
    va_copy(ap, args);
    long long total = 0;
    for (const WCHAR* f = format; *f && total < kMaxEstimate;) {
        if (*f != u'%' || f[1] == u'%') {
            f += *f == u'%' ? 2 : 1;
            ++total;
            continue;
        }
        ++f;
        for (;; ++f) {
            if (*f == u'#')
                total += 2;
            else if (*f != u' ' && *f != u'+' && *f != u'-' && *f != u'0')
                break;
        }
        long long width;
        if (*f == u'*') {
            ++f;
            int w = va_arg(ap, int);
            width = w < 0 ? -(long long)w : w;
        } else {
            width = ReadDecimal(f);
        }
        long long precision = -1;
        if (*f == u'.') {
            ++f;
            if (*f == u'*') {
                ++f;
                int p = va_arg(ap, int);
                precision = p < 0 ? -1 : p;
            } else {
                precision = ReadDecimal(f);
            }
        }
        bool is64 = false;
        WCHAR size = 0;
        if (f[0] == u'l' && f[1] == u'l') {
            is64 = true;
            f += 2;
        } else if (f[0] == u'I' && f[1] == u'6' && f[2] == u'4') {
            is64 = true;
            f += 3;
        } else if (f[0] == u'I' && f[1] == u'3' && f[2] == u'2') {
            f += 3;
        } else if (f[0] == u'I') {
            is64 = sizeof(void*) == 8;
            ++f;
        } else if (*f && wcschr(u"hlFLNw", *f)) {
            size = *f++;
        }
        WCHAR conv = *f;
        if (!conv) break;
        ++f;
        long long given = width + (precision > 0 ? precision : 0);
        switch (conv) {
        case u'c':
        case u'C':
            (void)va_arg(ap, int);
            total += Max(width, 1);
            break;
        case u's':
        case u'S': {
            bool narrow = conv == u'S' ? size != u'l' && size != u'w' : size == u'h';
            const void* arg = va_arg(ap, const void*);
            long long item;
            if (!arg) {
                item = precision >= 0 && precision < 7 ? precision : 6;
            } else if (narrow) {
                auto* s = static_cast<const char*>(arg);
                item = precision >= 0 ? (long long)strnlen(s, size_t(precision)) : (long long)strlen(s);
            } else {
                auto* s = static_cast<const WCHAR*>(arg);
                item = precision >= 0 ? (long long)wcsnlen(s, size_t(precision)) : (long long)wcslen(s);
            }
            total += Max(width, item);
            break;
        }
        case u'd':
        case u'i':
        case u'o':
        case u'u':
        case u'x':
        case u'X':
            if (is64)
                (void)va_arg(ap, long long);
            else
                (void)va_arg(ap, int);
            total += Max(given, is64 ? 64 : 32);
            break;
        case u'f':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            (void)va_arg(ap, double);
            total += Max(width, precision >= 0 ? precision + 311 : 317);
            break;
        case u'p':
            (void)va_arg(ap, void*);
            total += Max(given, 32);
            break;
        case u'n':
            (void)va_arg(ap, void*);
            break;
        default:
            break;
        }
    }
    va_end(ap);
    return int(total < kMaxEstimate ? total : kMaxEstimate);
}

int RewrittenFormatSize(const WCHAR* format) {
    size_t n = wcslen(format);
    return int(n + n / 2 + 1);
}

int RewriteInt64Format(const WCHAR* format, WCHAR* out) {
    WCHAR* o = out;
    for (const WCHAR* f = format; *f;) {
        if (*f != u'%') {
            *o++ = *f++;
            continue;
        }
        *o++ = *f++;
        if (*f == u'%') { // a literal percent sign starts no conversion
            *o++ = *f++;
            continue;
        }
        const WCHAR* ll = f;
        while (*ll && *ll != u'%' && !(ll[0] == u'l' && ll[1] == u'l'))
            ++ll;
        if (*ll != u'l' || !IsIntegerLetter(ll[2])) continue;
        bool clean = true;
        for (const WCHAR* p = f; p < ll; ++p)
            clean = clean && !IsConversionLetter(*p);
        if (!clean) continue;
        while (f < ll)
            *o++ = *f++;
        *o++ = u'I';
        *o++ = u'6';
        *o++ = u'4';
        f += 2;
    }
    *o = 0;
    return int(o - out);
}

int FormatWide(WCHAR* out, int count, const WCHAR* format, va_list args) {
    if (!out || count <= 0) return 0;
    if (!format) {
        out[0] = 0;
        return 0;
    }
    WCHAR local[130];
    WCHAR* heap = nullptr;
    const WCHAR* used = format;
    if (wcsstr(format, u"ll")) {
        int size = RewrittenFormatSize(format);
        WCHAR* rewritten = size <= 130 ? local : (heap = static_cast<WCHAR*>(malloc(size_t(size) * sizeof(WCHAR))));
        // Without room for the copy the platform still reads "ll" itself.
        if (rewritten) {
            RewriteInt64Format(format, rewritten);
            used = rewritten;
        }
    }
    int n = _vsnwprintf(out, size_t(count), used, args);
    free(heap);
    if (n < 0) {
        out[count - 1] = 0;
        return count - 1;
    }
    return n;
}

} // namespace NUBO
