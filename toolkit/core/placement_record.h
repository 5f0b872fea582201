#pragma once
// oxPlacementRecord: what a layout hands a child box's Arrange, and what the child hands back. The
// layout fills the size it gives the box; the box's own layout answers with the size it took (the
// extra part) when it grew or overflowed. Plain data, copied whole.
#include <cstdint>

struct oxPlacementRecord {
    static constexpr uint8_t kHasGeometry = 0x1;
    static constexpr uint8_t kGrew = 0x2;       // the box wants a different size (extra part valid)
    static constexpr uint8_t kOverflow = 0x4;   // the content does not fit (content size valid)
    static constexpr uint8_t kNoMaxWidth = 0x8; // the maximum width is the width itself
    static constexpr uint8_t kNoMaxHeight = 0x10;

    uint8_t flags = 0;
    // The area the box is placed in.
    int32_t availWidth = 0;
    int32_t availHeight = 0;
    // The box's size (content size plus padding), its content origin and its content size.
    int32_t outerWidth = 0;
    int32_t outerHeight = 0;
    int32_t paddingLeft = 0;
    int32_t paddingTop = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t maxWidth = 0;
    int32_t maxHeight = 0;
    // The answer: the content size the box took (with kGrew) and its content extent (with kOverflow).
    int32_t extraWidth = 0;
    int32_t extraHeight = 0;
    int32_t extraContentWidth = 0;
    int32_t extraContentHeight = 0;
    // Copied unchanged from a layout's own record into every child's.
    int32_t nesting = 0;

    // Sets bits 0, 3 and 4 from the arguments, clears 1 and 2 (bits 5-7 kept) and the answer.
    void Construct(bool hasGeometry, int32_t availW, int32_t availH, int32_t outerW, int32_t outerH, int32_t padL,
                   int32_t padT, int32_t w, int32_t h, int32_t maxW, int32_t maxH, bool noMaxW, bool noMaxH,
                   int32_t nestingWord);
    // Sets bit 0 and the geometry words, leaving the rest.
    void InitGeometry(int32_t availW, int32_t availH, int32_t outerW, int32_t outerH, int32_t padL, int32_t padT,
                      int32_t w, int32_t h, int32_t maxW, int32_t maxH);
    // The reply: bits 1 and 2 and the four answer words.
    void SetExtra(bool grew, bool overflow, int32_t w, int32_t h, int32_t contentW, int32_t contentH);
    // Reported minus given width (height) when the box grew, else 0.
    int32_t GetDeltaX() const { return (flags & kGrew) ? int32_t(uint32_t(extraWidth) - uint32_t(width)) : 0; }
    int32_t GetDeltaY() const { return (flags & kGrew) ? int32_t(uint32_t(extraHeight) - uint32_t(height)) : 0; }
    void CopyFrom(const oxPlacementRecord& other) { *this = other; }
};
