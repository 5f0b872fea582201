#pragma once
// Rounding and random numbers shared by the rasteriser and the transition effects. The rounding
// adds 1.5e-8 before it rounds to nearest, so values a hair under .5 still round the way the
// effects' geometry expects on every machine.
#include <cstdint>

#include "platform/types.h"

struct oxMatrix;

// floor(x + 1.5e-8) for x >= 0, ceil(x + 1.5e-8) for x < 0.
int32_t RoundToInt(double x);
// The pixels a float rectangle (edges left, top, right, bottom) touches.
void RoundRectOutward(float left, float top, float right, float bottom, RECT* out);
// Rounds the matrix's translation to whole pixels in place; the last value rounded.
float RoundMatrixTranslation(oxMatrix* matrix);
// 0 to 32767.
int Random();
// 0 to 1.
float RandomUnit();
