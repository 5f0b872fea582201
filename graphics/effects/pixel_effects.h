#pragma once
// Whole-buffer effects for drop shadows and screen transitions: the shadow mask of a picture (its
// coverage, widened and blurred), a two-pass exponential blur of 32-bit buffers, and a cross-fade
// of two buffers into a third that can work on alternate rows.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"

class oxDibBitmap;

// An 8-bit mask of (width + 4r) x (height + 4r) holding the source's coverage in its inner part and
// blurred with radius r; the caller owns it. Null for r <= 0, a source that is not 8 or 32 bits, or
// a mask too large to make.
oxDibBitmap* MakeShadowMask(const oxPixelBuffer& source, const RECT* sourceRect, int32_t radius);

// Blurs a 32-bit buffer in place (source null) or from a source of the same size. The colour
// channels are smoothed, alpha becomes 0. Nothing happens for a radius that is not positive.
void ExpBlur(oxPixelBuffer& destination, const oxPixelBuffer* source, float radius, bool horizontal, bool vertical);

// One pass of the exponential filter along `count` steps; steps are in pixels and may be negative.
// `coefficient` is 15-bit fixed point.
void SmoothLine(uint32_t* destination, const uint32_t* source, intptr_t destinationStep, intptr_t sourceStep,
                int32_t coefficient, int32_t count);

// destination = first + (second - first) x amount / 256 per channel, amount 0..256. Interlace 1 draws
// only the odd rows, 2 only the even rows, 0 all. 1 on success; 0 for a destination that is neither
// 16 nor 32 bits or sources of another depth or a smaller size.
int CrossFade(oxPixelBuffer& destination, const oxPixelBuffer& first, const oxPixelBuffer& second, int32_t amount,
              int32_t interlace);
