#pragma once
// Two known pictures for effect tests at either screen depth, and reading pixels back: the
// source, dark blue with a yellow L (left column, bottom row); the target, pale pink with a green F
// (left column, top row, middle bar). Asymmetric, so that shifts, scaling and turns show.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "graphics/tests/raster_test_util.h"
#include "toolkit/animation/transition.h"

namespace effect_pictures {

constexpr int W = 60, H = 40;

inline uint32_t SourceAt(int x, int y) {
    return (x < 8 || y >= H - 8) ? 0xFFF0D020u : 0xFF203070u;
}
inline uint32_t TargetAt(int x, int y) {
    return (x >= 6 && x < 14) || (y >= 4 && y < 12 && x < 50) || (y >= 18 && y < 24 && x < 36) ? 0xFF209040u
                                                                                               : 0xFFF0C8D0u;
}

inline uint16_t To565(uint32_t c) {
    return uint16_t(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
}

struct Picture {
    std::unique_ptr<TestSurface> surface;
    Picture(int bpp, uint32_t (*at)(int, int), int w = W, int h = H) {
        surface = std::make_unique<TestSurface>(w, h, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (bpp == 16)
                    surface->buffer.GetRow16(y)[x] = To565(at(x, y));
                else
                    surface->buffer.GetRow32(y)[x] = at(x, y);
    }
    uint32_t At(int x, int y) const {
        const oxPixelBuffer& b = surface->buffer;
        return b.bpp == 16 ? b.GetRow16(y)[x] : b.GetRow32(y)[x];
    }
};

// Within `tolerance` in each channel of 0x00RRGGBB (16-bit pixels in RGB565).
inline bool Near(uint32_t a, uint32_t b, int tolerance) {
    if (tolerance == 0) return a == b;
    auto rgb = [](uint32_t p) { return uint32_t(((p >> 11) & 31) << 19 | ((p >> 5) & 63) << 10 | (p & 31) << 3); };
    const uint32_t x = rgb(a), y = rgb(b);
    for (int shift : {0, 8, 16})
        if (std::abs(int((x >> shift) & 0xFF) - int((y >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

inline uint32_t SurfaceAt(oxTransitionEffect* e, int x, int y) {
    const oxPixelBuffer& b = e->Surface().Target();
    return b.bpp == 16 ? b.GetRow16(y)[x] : b.GetRow32(y)[x];
}

// The effect's W x H frame into the grid at (gx, gy), a cell of a golden grid.
inline void PasteSurface(TestSurface& grid, int gx, int gy, oxTransitionEffect* e) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (grid.buffer.bpp == 16)
                grid.buffer.GetRow16(gy + y)[gx + x] = uint16_t(SurfaceAt(e, x, y));
            else
                grid.buffer.GetRow32(gy + y)[gx + x] = SurfaceAt(e, x, y);
}

// The effect of a factory key, started between the two pictures.
inline std::unique_ptr<oxTransition> Started(const WCHAR* key, const Picture& from, const Picture& to) {
    auto t = std::make_unique<oxTransition>();
    EXPECT_TRUE(t->CreateEffect(key)) << "no effect";
    if (t->GetEffect()) {
        EXPECT_TRUE(t->GetEffect()->Start(from.surface->buffer, to.surface->buffer, nullptr, false));
    }
    return t;
}

inline std::string Name(const WCHAR* key) {
    std::string s;
    for (; *key; ++key)
        s += char(*key);
    return s.empty() ? "(base)" : s;
}

// Frames laid side by side, `columns` a row, 2 pixels apart, for one golden image.
struct FrameGrid {
    static constexpr int kGap = 2;
    int columns;
    TestSurface grid;
    FrameGrid(int bpp, int count, int perRow)
        : columns(perRow), grid((W + kGap) * perRow, (H + kGap) * ((count + perRow - 1) / perRow), bpp,
                                bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified) {}
    void Put(int i, uint32_t (*at)(void*, int, int), void* of) {
        const int gx = i % columns * (W + kGap), gy = i / columns * (H + kGap);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (grid.buffer.bpp == 16)
                    grid.buffer.GetRow16(gy + y)[gx + x] = uint16_t(at(of, x, y));
                else
                    grid.buffer.GetRow32(gy + y)[gx + x] = at(of, x, y);
    }
};

} // namespace effect_pictures
