#include "runtime/charset.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/crt/wide.h"

namespace NUBO {

namespace {

enum class Charset { Utf8, Latin1, System, Unknown };

constexpr WCHAR kUtf8[] = u"utf-8";
constexpr WCHAR kUsAscii[] = u"us-ascii";
constexpr WCHAR kLatin1[] = u"iso-8859-1";
constexpr WCHAR kSystem[] = u"x-system";

Charset Classify(const WCHAR* name) {
    if (!name || !*name || !_wcsicmp(name, kUtf8)) return Charset::Utf8;
    if (!_wcsicmp(name, kUsAscii) || !_wcsicmp(name, kLatin1)) return Charset::Latin1;
    if (!_wcsicmp(name, kSystem)) return Charset::System;
    return Charset::Unknown;
}

} // namespace

// Decodes one, two or three bytes per unit without validating continuation bytes, as the readers
// of files and network data have always seen UTF-8.
int Utf8Decode(const char* src, int srcLen, WCHAR* dst, int dstCount) {
    if (!src || !dst) return 0;
    auto* p = reinterpret_cast<const unsigned char*>(src);
    int i = 0, out = 0;
    while (i < srcLen && out < dstCount) {
        unsigned lead = p[i++];
        if (lead < 0x80) {
            dst[out++] = WCHAR(lead);
        } else if (!(lead & 0x20)) {
            if (i >= srcLen) break;
            dst[out++] = WCHAR(((lead & 0x1F) << 6) | (p[i++] & 0x3F));
        } else {
            if (srcLen - i < 2) break;
            dst[out++] = WCHAR((lead << 12) | ((p[i] & 0x3F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
        }
    }
    return out;
}

int Utf8Length(const WCHAR* src, int count) {
    if (!src) return 0;
    int bytes = 0;
    for (int i = 0; i < count && src[i]; ++i)
        bytes += src[i] < 0x80 ? 1 : src[i] < 0x800 ? 2 : 3;
    return bytes;
}

int Utf8Encode(const WCHAR* src, int srcCount, char* dst, int dstLen) {
    if (!src || srcCount <= 0) return 0;
    int out = 0;
    for (int i = 0; i < srcCount; ++i) {
        unsigned u = src[i];
        int size = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (!dst || dstLen - out < size) return out + Utf8Length(src + i, srcCount - i);
        if (size == 1) {
            dst[out++] = char(u);
        } else if (size == 2) {
            dst[out++] = char(0xC0 | ((u >> 6) & 0x1F));
            dst[out++] = char(0x80 | (u & 0x3F));
        } else {
            dst[out++] = char(0xE0 | (u >> 12));
            dst[out++] = char(0x80 | ((u >> 6) & 0x3F));
            dst[out++] = char(0x80 | (u & 0x3F));
        }
    }
    return out;
}

int DecodeSystemCodePage(const char* src, int srcLen, WCHAR* dst, int dstCount) {
    return MultiByteToWideChar(CP_ACP, 0, src, srcLen, dst, dstCount);
}

int EncodeSystemCodePage(const WCHAR* src, int srcCount, char* dst, int dstLen) {
    return WideCharToMultiByte(CP_ACP, 0, src, srcCount, dst, dstLen, nullptr, nullptr);
}

int DecodeCharset(const WCHAR* charset, const char* src, int srcLen, WCHAR* dst, int dstCount) {
    Charset kind = Classify(charset);
    if (kind == Charset::Unknown) return -1;
    if (!src || srcLen <= 0 || dstCount < 0 || (dstCount > 0 && !dst)) return 0;
    switch (kind) {
    case Charset::Utf8:
        return Utf8Decode(src, srcLen, dst, dstCount);
    case Charset::Latin1: {
        int n = srcLen < dstCount ? srcLen : dstCount;
        for (int i = 0; i < n; ++i)
            dst[i] = WCHAR(static_cast<unsigned char>(src[i]));
        return srcLen;
    }
    default:
        return DecodeSystemCodePage(src, srcLen, dst, dstCount);
    }
}

int EncodeCharset(const WCHAR* charset, const WCHAR* src, int srcCount, char* dst, int dstLen) {
    Charset kind = Classify(charset);
    if (kind == Charset::Unknown) return -1;
    if (!src || srcCount <= 0 || dstLen < 0 || (dstLen > 0 && !dst)) return 0;
    switch (kind) {
    case Charset::Utf8:
        return Utf8Encode(src, srcCount, dst, dstLen);
    case Charset::Latin1: {
        int n = srcCount < dstLen ? srcCount : dstLen;
        for (int i = 0; i < n; ++i)
            dst[i] = src[i] > 0xFF ? '?' : char(src[i]);
        return srcCount;
    }
    default:
        return EncodeSystemCodePage(src, srcCount, dst, dstLen);
    }
}

TWideConvBuffer::~TWideConvBuffer() {
    if (p != inlineArea) freeFn ? freeFn(p) : free(p);
}

int TWideConvBuffer::Reserve(int units) {
    if (units <= kInlineUnits) {
        if (p != inlineArea) {
            freeFn ? freeFn(p) : free(p);
            p = inlineArea;
            capacity = kInlineUnits;
        }
        return 1;
    }
    if (units > INT_MAX / int(sizeof(WCHAR))) return 0;
    void* old = p == inlineArea ? nullptr : p;
    size_t bytes = size_t(units) * sizeof(WCHAR);
    void* block = reallocFn ? reallocFn(old, bytes) : realloc(old, bytes);
    if (!block) return 0;
    p = static_cast<WCHAR*>(block);
    capacity = units;
    return 1;
}

int TWideConvBuffer::Decode(const char* text, int textLength, const WCHAR* charset) {
    if (!text)
        textLength = 0;
    else if (textLength == -1)
        textLength = int(strnlen(text, INT_MAX - 1));
    int n = 0;
    if (textLength >= 0 && textLength < INT_MAX && Reserve(textLength + 1)) {
        n = DecodeCharset(charset, text, textLength, p, textLength);
        if (n < 1) n = 0;
    }
    p[n] = 0;
    length = n;
    return n;
}

} // namespace NUBO
