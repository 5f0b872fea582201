#pragma once
// A texture with its reduced levels (level k is 2^k times smaller), from which the shaded line
// writers pick the level that suits the texel steps of the line being drawn.
#include <cstdint>
#include <vector>

#include "graphics/pixels/pixel_buffer.h"

class oxRasterizer;

class oxMipChain {
public:
    oxPixelBuffer m_full;                 // level 0
    std::vector<oxPixelBuffer> m_reduced; // levels 1 to n
    int32_t m_level = 0;
    const oxPixelBuffer* m_current = nullptr;
    float m_factor = 1.0f; // k of the level choice

    // Clamps to [0, number of reduced levels] and makes that level current.
    void SelectLevel(int32_t level);
    // Chooses the level for the rasteriser's texel steps and scales its shading state to it.
    void ChooseLevel(oxRasterizer& rasterizer);
};
