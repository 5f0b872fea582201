#pragma once
// The non-solid sources of the polygon filler: an affine mapping from device pixels to texture
// coordinates, stepped in fixed point, and the colour transform that textured spans pass through.
#include <cstdint>

// u, v and w in 7.25 fixed point, z in 5.27, each as its value at the centre of pixel (0, 0) and its
// change per pixel in x and in y. Values are kept in 64 bits so that a far-away span start cannot
// wrap; the per-pixel steps are 32-bit.
struct oxTextureMapping {
    int32_t originX = 0;
    int32_t originY = 0;
    int64_t value[4] = {}; // u, v, w, z
    int32_t stepX[4] = {};
    int32_t stepY[4] = {};
    float valueF[4] = {}; // the same as floats
    float stepXF[4] = {};
    float stepYF[4] = {};

    // Device points p (x, y, z; stride 3) and the values of u, v, w at them (stride 3). u and v
    // are multiplied by `uScale` and `vScale` first.
    void Setup(const float* points, const float* coords, float uScale, float vScale);
    int64_t At(int k, int32_t x, int32_t y) const {
        return value[k] + int64_t(x - originX) * stepX[k] + int64_t(y - originY) * stepY[k];
    }
};

// Saturation and per-channel transfer tables applied to texture pixels. The tables are the ones a
// box's colour transform builds from its offsets and scales; the saturation is 256 times its
// factor. Pixels are premultiplied: colour channels are transferred as if unpremultiplied and cut
// to the new alpha.
struct oxSpanColorTransform {
    uint32_t enabled = 0;
    int32_t saturation = 256;
    uint8_t tables[4][256]; // alpha, red, green, blue

    oxSpanColorTransform() { Reset(); }
    void Reset();
    void SetTable(int channel, const uint8_t* table); // null: identity
    uint32_t Apply(uint32_t pixel) const;
    void ApplySpan(uint32_t* pixels, int32_t count) const;
};

// round(65536 / i) for i = 1..255, 0 for 0.
extern const uint32_t* const Reciprocal16;
