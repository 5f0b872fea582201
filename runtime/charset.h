#pragma once
// Conversions between 8-bit text in a named charset and UTF-16 units. The names, compared without
// case: "utf-8" (also for a null or empty name), "us-ascii", "iso-8859-1" and "x-system" (the
// system code page). Any other name is unknown and the converters answer -1.
#include "platform/types.h"

namespace NUBO {

// Units written, or -1 for an unknown charset.
int DecodeCharset(const WCHAR* charset, const char* src, int srcLen, WCHAR* dst, int dstCount);
// Bytes written, or -1 for an unknown charset. For "utf-8" a result above dstLen means the
// destination was short: it counts the bytes the unconverted rest would have needed.
int EncodeCharset(const WCHAR* charset, const WCHAR* src, int srcCount, char* dst, int dstLen);

int Utf8Decode(const char* src, int srcLen, WCHAR* dst, int dstCount);
int Utf8Encode(const WCHAR* src, int srcCount, char* dst, int dstLen);
// Bytes that Utf8Encode makes of at most `count` units, stopping at a 0 unit.
int Utf8Length(const WCHAR* src, int count);
int DecodeSystemCodePage(const char* src, int srcLen, WCHAR* dst, int dstCount);
int EncodeSystemCodePage(const WCHAR* src, int srcCount, char* dst, int dstLen);

// A scratch buffer for decoded text, on the stack up to 128 units and on the heap beyond.
class TWideConvBuffer {
public:
    // Where a heap block comes from; null means realloc and free.
    using ReallocFn = void* (*)(void* block, size_t bytes);
    using FreeFn = void (*)(void* block);

    TWideConvBuffer() = default;
    TWideConvBuffer(ReallocFn reallocFn_, FreeFn freeFn_) : reallocFn(reallocFn_), freeFn(freeFn_) {}
    ~TWideConvBuffer();
    TWideConvBuffer(const TWideConvBuffer&) = delete;
    TWideConvBuffer& operator=(const TWideConvBuffer&) = delete;

    // Room for `units`; 0 when the heap block could not be had (the old storage is kept).
    int Reserve(int units);
    // Decodes 8-bit text (length -1: zero-terminated) and terminates it; an unknown charset or
    // a failed reserve leaves an empty text. Returns the units produced.
    int Decode(const char* text, int length, const WCHAR* charset);

    WCHAR* GetBuffer() { return p; }
    const WCHAR* GetString() const { return p; }
    int GetLength() const { return length; }

private:
    static constexpr int kInlineUnits = 128;

    WCHAR* p = inlineArea;
    WCHAR inlineArea[kInlineUnits] = {};
    int capacity = kInlineUnits;
    int length = 0;
    ReallocFn reallocFn = nullptr;
    FreeFn freeFn = nullptr;
};

} // namespace NUBO
