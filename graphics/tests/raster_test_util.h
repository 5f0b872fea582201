#pragma once
// Small owned surfaces and a seeded random source for the raster tests.
#include <cstdint>
#include <vector>

#include "graphics/pixels/pixel_buffer.h"

struct TestSurface {
    std::vector<uint8_t> bytes;
    oxPixelBuffer buffer;

    TestSurface(int32_t width, int32_t height, int32_t bpp, int32_t layout = kLayoutUnspecified, bool topDown = true) {
        const int32_t stride = ((width * bpp / 8) + 3) & ~3;
        bytes.assign(static_cast<size_t>(stride) * height, 0);
        buffer.InitExternal(bytes.data(), stride, width, height, bpp, bpp / 8, topDown, layout);
    }
    void Fill32(uint32_t v) {
        for (int32_t y = 0; y < buffer.height; ++y)
            for (int32_t x = 0; x < buffer.width; ++x)
                buffer.GetRow32(y)[x] = v;
    }
    void Fill16(uint16_t v) {
        for (int32_t y = 0; y < buffer.height; ++y)
            for (int32_t x = 0; x < buffer.width; ++x)
                buffer.GetRow16(y)[x] = v;
    }
};

// A fixed-seed generator whose sequence is the same on every platform.
class TestRandom {
public:
    explicit TestRandom(uint64_t seed) : m_state(seed) {}
    uint32_t Next() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(m_state >> 33);
    }
    // Uniform in [lo, hi).
    float Range(float lo, float hi) { return lo + (hi - lo) * (Next() & 0xFFFFFF) / 16777216.0f; }

private:
    uint64_t m_state;
};
