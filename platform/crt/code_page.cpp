// Code-page conversion. The system code page is UTF-8, so both code pages this layer knows decode
// and encode full UTF-8: surrogate pairs for supplementary characters, and U+FFFD for each maximal
// ill-formed subsequence (overlong forms, encoded surrogates, values above U+10FFFF, cut sequences).
#include "platform/crt/wide.h"

#include <cstring>

#include "platform/crt/utf8_internal.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool KnownCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_UTF8;
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

} // namespace

char32_t crt_internal::DecodeUtf8(const unsigned char* p, size_t n, size_t* used) {
    unsigned char b0 = p[0];
    *used = 1;
    if (b0 < 0x80) return b0;
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        return kReplacement;
    }
    for (size_t i = 1; i <= need; ++i) {
        if (i >= n) return kReplacement;
        unsigned char b = p[i];
        bool ok = i == 1 ? (b >= lo && b <= hi) : IsContinuation(b);
        if (!ok) return kReplacement;
        cp = (cp << 6) | (b & 0x3F);
        *used = i + 1;
    }
    return cp;
}

int MultiByteToWideChar(UINT codePage, DWORD /*flags*/, const char* src, int srcLen, WCHAR* dst, int dstCount) {
    if (!KnownCodePage(codePage) || !src || srcLen == 0 || srcLen < -1 || dstCount < 0 || (dstCount > 0 && !dst))
        return 0;
    size_t n = srcLen == -1 ? strlen(src) + 1 : size_t(srcLen);
    auto* p = reinterpret_cast<const unsigned char*>(src);
    size_t out = 0;
    auto put = [&](WCHAR u) {
        if (out < size_t(dstCount)) dst[out] = u;
        ++out;
    };
    for (size_t i = 0; i < n;) {
        size_t used;
        char32_t cp = crt_internal::DecodeUtf8(p + i, n - i, &used);
        i += used;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(WCHAR(0xD800 | (cp >> 10)));
            put(WCHAR(0xDC00 | (cp & 0x3FF)));
        } else {
            put(WCHAR(cp));
        }
        if (dstCount > 0 && out > size_t(dstCount)) return 0; // destination too small
    }
    return int(out);
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, const WCHAR* src, int srcCount, char* dst, int dstLen,
                        const char* /*defaultChar*/, BOOL* usedDefault) {
    if (usedDefault) *usedDefault = FALSE;
    if (!KnownCodePage(codePage) || !src || srcCount == 0 || srcCount < -1 || dstLen < 0 || (dstLen > 0 && !dst))
        return 0;
    size_t n = srcCount == -1 ? wcslen(src) + 1 : size_t(srcCount);
    size_t out = 0;
    auto put = [&](unsigned b) {
        if (out < size_t(dstLen)) dst[out] = char(b);
        ++out;
    };
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = src[i];
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
                ++i;
            } else {
                cp = kReplacement; // a lone surrogate has no UTF-8 form
                if (usedDefault) *usedDefault = TRUE;
            }
        }
        if (cp < 0x80) {
            put(cp);
        } else if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
            put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        }
        if (dstLen > 0 && out > size_t(dstLen)) return 0; // destination too small
    }
    return int(out);
}
