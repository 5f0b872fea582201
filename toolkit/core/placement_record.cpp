#include "toolkit/core/placement_record.h"

void oxPlacementRecord::Construct(bool hasGeometry, int32_t availW, int32_t availH, int32_t outerW, int32_t outerH,
                                  int32_t padL, int32_t padT, int32_t w, int32_t h, int32_t maxW, int32_t maxH,
                                  bool noMaxW, bool noMaxH, int32_t nestingWord) {
    flags = uint8_t((flags & 0xE0) | (noMaxW ? kNoMaxWidth : 0) | (noMaxH ? kNoMaxHeight : 0));
    InitGeometry(availW, availH, outerW, outerH, padL, padT, w, h, maxW, maxH);
    if (!hasGeometry) flags &= uint8_t(~kHasGeometry);
    extraWidth = extraHeight = extraContentWidth = extraContentHeight = 0;
    nesting = nestingWord;
}

void oxPlacementRecord::InitGeometry(int32_t availW, int32_t availH, int32_t outerW, int32_t outerH, int32_t padL,
                                     int32_t padT, int32_t w, int32_t h, int32_t maxW, int32_t maxH) {
    flags |= kHasGeometry;
    availWidth = availW;
    availHeight = availH;
    outerWidth = outerW;
    outerHeight = outerH;
    paddingLeft = padL;
    paddingTop = padT;
    width = w;
    height = h;
    maxWidth = maxW;
    maxHeight = maxH;
}

void oxPlacementRecord::SetExtra(bool grew, bool overflow, int32_t w, int32_t h, int32_t contentW, int32_t contentH) {
    flags = uint8_t((flags & ~(kGrew | kOverflow)) | (grew ? kGrew : 0) | (overflow ? kOverflow : 0));
    extraWidth = w;
    extraHeight = h;
    extraContentWidth = contentW;
    extraContentHeight = contentH;
}
