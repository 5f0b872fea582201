// Textures, gradients and clearing on an RGB565 target, checked against the mapping worked out
// independently: every pixel well inside a shape must be the dithered source colour found by
// inverting the texture transform at the pixel's centre.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "graphics/paint/graphics_context.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/gradient_source.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr double kEdge = 1.0 / 64; // this near a texel or ramp boundary either side is right

struct Ramp {
    std::vector<uint32_t> table = std::vector<uint32_t>(256);
    oxPixelBuffer buffer;
    Ramp() {
        const oxGradientStop stops[3] = {{0xFFFF2000, 0}, {0xFF10C060, 32768}, {0xFF2020FF, 65536}};
        BuildGradientRamp(table.data(), stops, 3);
        buffer.InitExternal(table.data(), 256 * 4, 256, 1, 32, 4, true);
    }
};

// Texels that differ from every neighbour, so a wrong column or row shows.
struct Texture {
    TestSurface surface;
    Texture(int w, int h) : surface(w, h, 32) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                surface.buffer.GetRow32(y)[x] = 0xFF000000u | uint32_t(x * 255 / w) << 16 | uint32_t(y * 255 / h) << 8 |
                                                uint32_t((x + y) & 1) * 255;
    }
};

// The colours a pixel may have: one, or two where its centre lies on a boundary.
using Sampler = std::function<std::vector<uint32_t>(double x, double y)>;

int32_t Floor(double v) {
    return static_cast<int32_t>(std::floor(v));
}

// The texel or entry a coordinate falls in, and the neighbour when it is within kEdge of it.
std::vector<int32_t> Cells(double v) {
    const int32_t lo = Floor(v - kEdge), hi = Floor(v + kEdge);
    return lo == hi ? std::vector<int32_t>{lo} : std::vector<int32_t>{lo, hi};
}

// Maps a device point back into texture pixels.
void ToTexture(const oxMatrix& textureTransform, double x, double y, double& tx, double& ty) {
    oxMatrix inverse;
    oxMatrix::Invert(textureTransform, inverse);
    float p[3] = {float(x), float(y), 0.0f};
    inverse.TransformVector(p, true);
    tx = p[0], ty = p[1];
}

Sampler RampSampler(const Ramp& ramp, const oxMatrix& m, bool radial) {
    return [&ramp, m, radial](double x, double y) {
        double tx, ty;
        ToTexture(m, x, y, tx, ty);
        std::vector<uint32_t> out;
        if (!radial) {
            for (int32_t i : Cells(tx))
                out.push_back(ramp.table[std::clamp(i, 0, 255)]);
            return out;
        }
        // The ramp's 256 x 1 texels: the radius is 256 texels along x and 1 along y, and each axis is
        // taken in whole 256ths of it before the distance is measured.
        for (int32_t a : Cells(tx))
            for (int32_t b : Cells(256.0 * ty))
                out.push_back(ramp.table[std::min(Floor(std::sqrt(double(a) * a + double(b) * b)), 255)]);
        return out;
    };
}

Sampler TextureSampler(const Texture& t, const oxMatrix& m) {
    return [&t, m](double x, double y) {
        double tx, ty;
        ToTexture(m, x, y, tx, ty);
        const int32_t w = t.surface.buffer.width, h = t.surface.buffer.height;
        std::vector<uint32_t> out;
        for (int32_t col : Cells(tx))
            for (int32_t row : Cells(ty))
                out.push_back(t.surface.buffer.GetRow32(((row % h) + h) % h)[((col % w) + w) % w]);
        return out;
    };
}

// The coverage is written in groups of four pixels, and a fully covered pixel in a group with an
// edge pixel takes the dithered blend weight, which may leave 1/32 of the target; so the pixels
// checked are whole groups inside the shape (a left edge on a whole pixel still leaves that column
// short of full coverage).
struct Cell {
    const char* name;
    RECT inside; // pixels checked
    Sampler sample;
};

::testing::AssertionResult MatchesSampler(const oxPixelBuffer& target, const Cell& cell) {
    for (int32_t y = cell.inside.top; y < cell.inside.bottom; ++y)
        for (int32_t x = cell.inside.left; x < cell.inside.right; ++x) {
            const uint16_t got = target.GetRow16(y)[x];
            const std::vector<uint32_t> colours = cell.sample(x + 0.5, y + 0.5);
            bool ok = false;
            for (uint32_t c : colours)
                ok = ok || DitherTo16(c, x, y) == got;
            if (!ok)
                return ::testing::AssertionFailure()
                       << cell.name << ": pixel (" << x << ", " << y << ") is 0x" << std::hex << got << ", expected 0x"
                       << DitherTo16(colours[0], x, y) << " from 0x" << colours[0];
        }
    return ::testing::AssertionSuccess();
}

// One canvas of cells: a linear gradient narrower than its rectangle (both ends clamp), a rotated
// linear gradient and a radial one in rounded rectangles (the general scan path), an 8 x 8 texture
// tiled under scale and rotation, and a 24 x 20 texture copied one to one and tiled.
TEST(Rgb565SourcesTest, TexturesAndGradientsFollowTheMapping) {
    TestSurface surface(5 * 56, 56, 16, kLayoutRgb565);
    surface.Fill16(0xFFFF);
    oxGraphicsContext gc;
    ASSERT_EQ(1, gc.AttachTarget(surface.buffer));
    Ramp ramp;
    Texture small(8, 8), odd(24, 20);
    std::vector<Cell> cells;

    gc.SetOption(kOptionUseSourceAlpha, 1);
    gc.SetTextureImage(&ramp.buffer);
    gc.SetOption(kOptionLinearGradient, 1);
    oxMatrix linear;
    linear.Scale(24.0f / 256.0f, 48.0f, 1.0f);
    linear.Translate(16.25f, 4, 0);
    gc.SetTextureTransform(linear);
    gc.Rect(4, 4, 52, 52, 0);
    cells.push_back({"linear", RECT{8, 4, 52, 52}, RampSampler(ramp, linear, false)});

    oxMatrix rotated;
    rotated.Scale(40.0f / 256.0f, 40.0f, 1.0f);
    rotated.Translate(-20, 0, 0);
    rotated.RotateZ(kPi / 6);
    rotated.Translate(84, 28, 0);
    gc.SetTextureTransform(rotated);
    gc.RoundRect(60, 4, 108, 52, 8, 0);
    cells.push_back({"linear rotated", RECT{64, 14, 108, 42}, RampSampler(ramp, rotated, false)});
    gc.SetOption(kOptionLinearGradient, 0);

    gc.SetOption(kOptionRadialGradient, 1);
    oxMatrix radial;
    radial.Scale(20.0f / 256.0f, 20.0f, 1.0f);
    radial.Translate(140, 28, 0);
    gc.SetTextureTransform(radial);
    gc.RoundRect(116, 4, 164, 52, 8, 0);
    cells.push_back({"radial", RECT{120, 14, 164, 42}, RampSampler(ramp, radial, true)});
    gc.SetOption(kOptionRadialGradient, 0);
    gc.SetOption(kOptionUseSourceAlpha, 0);

    gc.SetTextureImage(&small.surface.buffer);
    oxMatrix turned;
    turned.Scale(2.5f, 2.5f, 1.0f);
    turned.RotateZ(kPi / 9);
    turned.Translate(172, 4, 0);
    gc.SetTextureTransform(turned);
    gc.Rect(172.5f, 4.5f, 219.5f, 51.5f, 0);
    cells.push_back({"texture turned", RECT{176, 5, 216, 51}, TextureSampler(small, turned)});

    gc.SetTextureImage(&odd.surface.buffer);
    oxMatrix shifted;
    shifted.Translate(231, 9, 0);
    gc.SetTextureTransform(shifted);
    gc.Rect(228, 4, 276, 52, 0);
    cells.push_back({"texture one to one", RECT{232, 4, 276, 52}, TextureSampler(odd, shifted)});
    gc.SetTextureImage(nullptr);

    for (const Cell& c : cells)
        EXPECT_TRUE(MatchesSampler(surface.buffer, c));
    EXPECT_TRUE(MatchesGolden(surface.buffer, "rgb565_sources"));
}

// The ramp dithered once and kept must not stand in for one under a colour transform, nor outlive
// a change of the ramp's colours.
TEST(Rgb565SourcesTest, KeptRampFollowsColourTransformAndRampChanges) {
    TestSurface surface(64, 8, 16, kLayoutRgb565);
    oxGraphicsContext gc;
    ASSERT_EQ(1, gc.AttachTarget(surface.buffer));
    Ramp ramp;
    gc.SetTextureImage(&ramp.buffer);
    gc.SetOption(kOptionLinearGradient, 1);
    oxMatrix m;
    m.Scale(64.0f / 256.0f, 8.0f, 1.0f);
    m.Translate(0.125f, 0, 0); // pixel x centres on entry 4x + 1.5
    gc.SetTextureTransform(m);
    auto expect = [&](const char* what, auto colour) {
        gc.Rect(0, 0, 64, 8, 0);
        for (int32_t x = 8; x < 64; x += 7)
            ASSERT_EQ(DitherTo16(colour(ramp.table[x * 4 + 1]), x, 5), surface.buffer.GetRow16(5)[x]) << what << x;
    };
    expect("plain ", [](uint32_t c) { return c; });
    uint8_t half[256];
    for (int i = 0; i < 256; ++i)
        half[i] = uint8_t(i / 2);
    gc.SetOption(kOptionColorTransform, 1);
    gc.SetOption(kOptionRedTable, reinterpret_cast<intptr_t>(half));
    oxSpanColorTransform t;
    t.SetTable(1, half);
    expect("red halved ", [&t](uint32_t c) { return t.Apply(c); });
    gc.SetOption(kOptionRedTable, 0);
    gc.SetOption(kOptionColorTransform, 0);
    std::reverse(ramp.table.begin(), ramp.table.end());
    expect("reversed ", [](uint32_t c) { return c; });
}

// Clearing writes the clear colour's top five bits of each channel in the 16-bit layout, inside
// the rectangle and the clip only, from odd and even columns alike.
TEST(Rgb565SourcesTest, ClearWritesTheLayoutsColour) {
    struct Case {
        int32_t layout;
        uint16_t expected; // 0.5, 0.25, 0.75 -> bytes 128, 64, 192 -> 16, 8, 24
    } cases[] = {
        {kLayoutRgb565, uint16_t(16 << 11 | 8 << 6 | 24)},
        {kLayoutRgb555, uint16_t(16 << 10 | 8 << 5 | 24)},
        {kLayoutRgb556, uint16_t(16 << 11 | 8 << 6 | 24 << 1)},
    };
    for (const Case& c : cases) {
        TestSurface surface(9, 6, 16, c.layout);
        surface.Fill16(0x1234);
        oxGraphicsContext gc;
        ASSERT_EQ(1, gc.AttachTarget(surface.buffer));
        gc.SetClearColor(0.5f, 0.25f, 0.75f);
        const RECT clip{0, 0, 9, 5};
        gc.SetClipRect(&clip);
        gc.SetClipBounds(nullptr);
        const RECT rect{1, 2, 8, 40};
        gc.Clear(&rect);
        for (int32_t y = 0; y < 6; ++y)
            for (int32_t x = 0; x < 9; ++x) {
                const bool inside = x >= 1 && x < 8 && y >= 2 && y < 5;
                ASSERT_EQ(inside ? c.expected : 0x1234, surface.buffer.GetRow16(y)[x])
                    << c.layout << " (" << x << ", " << y << ")";
            }
    }
    SetPixelFormatMasks(0, 0, 0);
}

} // namespace
