// The device's printf over 16-bit units. Text conversions are done here (%s and %c take wide
// arguments, %S and %C narrow UTF-8 ones, the h/l/w prefixes pick either); numbers are handed to
// the host's snprintf with the same flags, width and precision, whose output is ASCII. Widths and
// precisions are clamped to what could still fit, so a huge one costs no more than the buffer.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/crt/utf8_internal.h"
#include "platform/crt/wide.h"

namespace {

constexpr int kNoPrecision = -1;
constexpr size_t kMaxClamp = size_t(1) << 24;

struct Sink {
    WCHAR* out;
    size_t count;
    size_t pos = 0;

    // Once the text reaches `count` units there is no room for the terminator: the call fails.
    bool Full() const { return pos >= count; }
    void Put(WCHAR u) {
        if (pos < count) out[pos] = u;
        ++pos;
    }
    void Repeat(WCHAR u, size_t n) {
        for (; n && !Full(); --n)
            Put(u);
    }
};

enum class Size { Default, Short, Long, Wide, Int64, Pointer };

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = kNoPrecision;
    Size size = Size::Default;
};

// Reads a decimal number, saturating instead of overflowing.
int ReadNumber(const WCHAR*& f) {
    long long n = 0;
    for (; *f >= u'0' && *f <= u'9'; ++f)
        n = n < INT_MAX ? n * 10 + (*f - u'0') : n;
    return n > INT_MAX ? INT_MAX : int(n);
}

void PadAround(Sink& sink, const Spec& spec, size_t length, bool before) {
    if (size_t(spec.width) > length && spec.left != before) sink.Repeat(u' ', size_t(spec.width) - length);
}

void PutWide(Sink& sink, const Spec& spec, const WCHAR* s) {
    if (!s) s = u"(null)";
    size_t n = spec.precision >= 0 ? wcsnlen(s, size_t(spec.precision)) : wcslen(s);
    PadAround(sink, spec, n, true);
    for (size_t i = 0; i < n && !sink.Full(); ++i)
        sink.Put(s[i]);
    PadAround(sink, spec, n, false);
}

// Walks UTF-8 text, calling emit for each unit, up to `limit` units (a pair is never split).
template <typename Emit> size_t WalkNarrow(const char* s, size_t limit, Emit emit) {
    auto* p = reinterpret_cast<const unsigned char*>(s);
    size_t units = 0;
    while (*p) {
        size_t used;
        char32_t cp = crt_internal::DecodeUtf8(p, SIZE_MAX, &used);
        size_t need = cp >= 0x10000 ? 2 : 1;
        if (units + need > limit) break;
        if (need == 2) {
            cp -= 0x10000;
            emit(WCHAR(0xD800 | (cp >> 10)));
            emit(WCHAR(0xDC00 | (cp & 0x3FF)));
        } else {
            emit(WCHAR(cp));
        }
        units += need;
        p += used;
    }
    return units;
}

void PutNarrow(Sink& sink, const Spec& spec, const char* s) {
    if (!s) {
        PutWide(sink, spec, nullptr);
        return;
    }
    size_t limit = spec.precision >= 0 ? size_t(spec.precision) : SIZE_MAX;
    size_t n = WalkNarrow(s, limit, [](WCHAR) {});
    PadAround(sink, spec, n, true);
    WalkNarrow(s, n, [&](WCHAR u) { sink.Put(u); });
    PadAround(sink, spec, n, false);
}

void PutChar(Sink& sink, const Spec& spec, WCHAR c) {
    PadAround(sink, spec, 1, true);
    sink.Put(c);
    PadAround(sink, spec, 1, false);
}

// Formats one number with the host's snprintf; `conv` is the length modifier and letter.
template <typename T> void PutNumber(Sink& sink, const Spec& spec, const char* conv, T value) {
    char fmt[16];
    char* f = fmt;
    *f++ = '%';
    if (spec.left) *f++ = '-';
    if (spec.plus) *f++ = '+';
    if (spec.space) *f++ = ' ';
    if (spec.alt) *f++ = '#';
    if (spec.zero) *f++ = '0';
    *f++ = '*';
    *f++ = '.';
    *f++ = '*';
    strcpy(f, conv);

    char small[128];
    int n = snprintf(small, sizeof small, fmt, spec.width, spec.precision, value);
    if (n < 0) return;
    const char* text = small;
    char* big = nullptr;
    if (size_t(n) >= sizeof small) {
        big = static_cast<char*>(malloc(size_t(n) + 1));
        if (!big) {
            sink.pos = sink.count; // cannot format it: report the call as failed
            return;
        }
        snprintf(big, size_t(n) + 1, fmt, spec.width, spec.precision, value);
        text = big;
    }
    for (int i = 0; i < n && !sink.Full(); ++i)
        sink.Put(WCHAR(static_cast<unsigned char>(text[i])));
    free(big);
}

void PutPointer(Sink& sink, const Spec& spec, const void* p) {
    WCHAR digits[sizeof(void*) * 2];
    uintptr_t v = reinterpret_cast<uintptr_t>(p);
    for (size_t i = sizeof digits / sizeof *digits; i-- > 0; v >>= 4)
        digits[i] = u"0123456789ABCDEF"[v & 0xF];
    size_t n = sizeof digits / sizeof *digits;
    PadAround(sink, spec, n, true);
    for (size_t i = 0; i < n; ++i)
        sink.Put(digits[i]);
    PadAround(sink, spec, n, false);
}

// Parses the conversion after '%' and formats it; returns the position after it.
const WCHAR* Convert(Sink& sink, const WCHAR* f, va_list& args) {
    Spec spec;
    for (;; ++f) {
        if (*f == u'-')
            spec.left = true;
        else if (*f == u'+')
            spec.plus = true;
        else if (*f == u' ')
            spec.space = true;
        else if (*f == u'#')
            spec.alt = true;
        else if (*f == u'0')
            spec.zero = true;
        else
            break;
    }
    if (*f == u'*') {
        ++f;
        spec.width = va_arg(args, int);
        if (spec.width < 0) {
            spec.left = true;
            spec.width = spec.width == INT_MIN ? INT_MAX : -spec.width;
        }
    } else {
        spec.width = ReadNumber(f);
    }
    if (*f == u'.') {
        ++f;
        if (*f == u'*') {
            ++f;
            spec.precision = va_arg(args, int);
            if (spec.precision < 0) spec.precision = kNoPrecision;
        } else {
            spec.precision = ReadNumber(f);
        }
    }
    if (f[0] == u'I' && f[1] == u'6' && f[2] == u'4') {
        spec.size = Size::Int64;
        f += 3;
    } else if (f[0] == u'I' && f[1] == u'3' && f[2] == u'2') {
        f += 3;
    } else if (f[0] == u'I') {
        spec.size = Size::Pointer;
        ++f;
    } else if (f[0] == u'l' && f[1] == u'l') {
        spec.size = Size::Int64;
        f += 2;
    } else if (*f == u'l') {
        spec.size = Size::Long;
        ++f;
    } else if (*f == u'w') {
        spec.size = Size::Wide;
        ++f;
    } else if (*f == u'h') {
        spec.size = Size::Short;
        ++f;
    } else if (*f == u'L' || *f == u'F' || *f == u'N') {
        ++f;
    }

    size_t limit = sink.count < kMaxClamp ? sink.count + 1 : kMaxClamp;
    if (size_t(spec.width) > limit) spec.width = int(limit);
    WCHAR conv = *f;
    if (!conv) return f;
    ++f;
    bool wide64 = spec.size == Size::Int64 || (spec.size == Size::Pointer && sizeof(void*) == 8);
    switch (conv) {
    case u'd':
    case u'i': {
        if (spec.precision > int(limit)) spec.precision = int(limit);
        long long v = wide64                     ? va_arg(args, long long)
                      : spec.size == Size::Short ? short(va_arg(args, int))
                                                 : va_arg(args, int);
        PutNumber(sink, spec, "lld", v);
        break;
    }
    case u'u':
    case u'o':
    case u'x':
    case u'X': {
        if (spec.precision > int(limit)) spec.precision = int(limit);
        unsigned long long v = wide64                     ? va_arg(args, unsigned long long)
                               : spec.size == Size::Short ? (unsigned short)(va_arg(args, unsigned))
                                                          : va_arg(args, unsigned);
        const char* ll[] = {"llu", "llo", "llx", "llX"};
        PutNumber(sink, spec, ll[conv == u'u' ? 0 : conv == u'o' ? 1 : conv == u'x' ? 2 : 3], v);
        break;
    }
    case u'e':
    case u'E':
    case u'f':
    case u'g':
    case u'G':
    case u'a':
    case u'A': {
        double v = va_arg(args, double);
        // %g drops trailing zeros, so a precision beyond every digit a double has changes nothing.
        int cap = int(conv == u'g' || conv == u'G' ? (limit > 800 ? limit : 800) : limit);
        if (spec.precision > cap) spec.precision = cap;
        char letter[2] = {char(conv), 0};
        PutNumber(sink, spec, letter, v);
        break;
    }
    case u'c':
    case u'C': {
        int v = va_arg(args, int);
        bool narrow = conv == u'C' ? (spec.size != Size::Long && spec.size != Size::Wide) : spec.size == Size::Short;
        if (narrow) {
            // One byte is a whole character only below 0x80.
            auto b = static_cast<unsigned char>(v);
            PutChar(sink, spec, b < 0x80 ? WCHAR(b) : WCHAR(0xFFFD));
        } else {
            PutChar(sink, spec, WCHAR(v));
        }
        break;
    }
    case u's':
    case u'S': {
        bool narrow = conv == u'S' ? (spec.size != Size::Long && spec.size != Size::Wide) : spec.size == Size::Short;
        if (narrow)
            PutNarrow(sink, spec, va_arg(args, const char*));
        else
            PutWide(sink, spec, va_arg(args, const WCHAR*));
        break;
    }
    case u'p':
        PutPointer(sink, spec, va_arg(args, void*));
        break;
    case u'n':
        va_arg(args, void*); // writing through a format argument is refused
        break;
    default:
        sink.Put(conv); // '%' and unknown letters stand for themselves
        break;
    }
    return f;
}

} // namespace

int _vsnwprintf(WCHAR* out, size_t count, const WCHAR* format, va_list args) {
    if (!format || (count && !out)) return -1;
    Sink sink{out, count};
    va_list ap;
    va_copy(ap, args);
    for (const WCHAR* f = format; *f && !sink.Full();) {
        if (*f != u'%') {
            sink.Put(*f++);
            continue;
        }
        f = Convert(sink, f + 1, ap);
    }
    va_end(ap);
    if (sink.Full()) return -1;
    out[sink.pos] = 0;
    return int(sink.pos);
}

int _snwprintf(WCHAR* out, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(out, count, format, args);
    va_end(args);
    return n;
}

int swprintf(WCHAR* out, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(out, count, format, args);
    va_end(args);
    if (n < 0 && count) out[count - 1] = 0;
    return n;
}
