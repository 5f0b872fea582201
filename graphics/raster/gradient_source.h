#pragma once
// Colour ramps of gradient fills: 256 premultiplied entries that the polygon filler reads as row 0
// of a 256 x 1 texture, indexed by the mapped coordinate (linear) or the mapped distance from the
// origin (radial).
#include <cstdint>

constexpr int32_t kGradientRampSize = 256;

struct oxGradientStop {
    uint32_t color; // 0xAARRGGBB, not premultiplied
    int32_t offset; // 16.16, 0 .. 65536
};

// Fills `ramp` (256 entries) from the stops in order. No stops: all 0; one stop: its colour.
void BuildGradientRamp(uint32_t* ramp, const oxGradientStop* stops, int32_t count);
