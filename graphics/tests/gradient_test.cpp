#include "graphics/raster/gradient_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/paint/graphics_context.h"
#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"

namespace {

constexpr float kPi = 3.14159265f;

struct Ramp {
    std::vector<uint32_t> table = std::vector<uint32_t>(256);
    oxPixelBuffer buffer;
    explicit Ramp(std::initializer_list<oxGradientStop> stops) {
        const std::vector<oxGradientStop> v(stops);
        BuildGradientRamp(table.data(), v.data(), int32_t(v.size()));
        buffer.InitExternal(table.data(), 256 * 4, 256, 1, 32, 4, true);
    }
};

TEST(GradientRampTest, TwoStopsBlendEndToEnd) {
    Ramp r({{0xFFFF0000, 0}, {0xFF0000FF, 65536}});
    EXPECT_EQ(0xFFFF0000u, r.table[0]);
    EXPECT_EQ(0xFF0000FFu, r.table[255]);
    EXPECT_EQ(0xFF80007Fu, r.table[128]);
}

TEST(GradientRampTest, StopsAndEndRuns) {
    Ramp one({{0xFF00FF00, 32768}});
    for (uint32_t v : one.table)
        ASSERT_EQ(0xFF00FF00u, v);
    // Before the first stop and after the last the end colours hold, premultiplied.
    Ramp mid({{0x80FF0000, 16384}, {0xFF00FF00, 49152}});
    EXPECT_EQ(0x80800000u, mid.table[0]);
    EXPECT_EQ(0xFF00FF00u, mid.table[255]);
    Ramp none({});
    EXPECT_EQ(0u, none.table[17]);
}

struct Canvas {
    TestSurface surface;
    oxGraphicsContext gc;
    Canvas(int w, int h) : surface(w, h, 32) {
        surface.Fill32(0xFFFFFFFF);
        gc.AttachTarget(surface.buffer);
    }
};

// Each gradient kind with two and three stops, and a rotated linear one, in one row of cells.
TEST(GradientTest, LinearAndRadialWithTwoAndThreeStops) {
    Canvas c(5 * 48, 48);
    Ramp two({{0xFFFF0000, 0}, {0xFF0000FF, 65536}});
    Ramp three({{0xFFFF0000, 0}, {0xFF00C000, 32768}, {0x800000FF, 65536}});
    c.gc.SetOption(kOptionUseSourceAlpha, 1);
    struct Cell {
        const Ramp* ramp;
        bool radial;
        float angle;
    };
    const Cell cells[] = {
        {&two, false, 0}, {&three, false, 0}, {&two, true, 0}, {&three, true, 0}, {&three, false, kPi / 6}};
    for (int i = 0; i < 5; ++i) {
        const float x = float(i * 48 + 4);
        c.gc.SetTextureImage(&cells[i].ramp->buffer);
        c.gc.SetOption(cells[i].radial ? kOptionRadialGradient : kOptionLinearGradient, 1);
        // The ramp's 256 x 1 pixels span the 40-pixel cell; radial gradients centre in it.
        oxMatrix m;
        m.Scale(40.0f / 256.0f, 40.0f, 1.0f);
        if (cells[i].radial) {
            m.Scale(0.5f, 0.5f, 1.0f);
            m.Translate(x + 20, 24, 0);
        } else {
            m.Translate(-20, 0, 0);
            m.RotateZ(cells[i].angle);
            m.Translate(x + 20, 4, 0);
        }
        c.gc.SetTextureTransform(m);
        c.gc.Rect(x, 4, x + 40, 44, 0);
    }
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "gradients"));
}

// An 8 x 8 checker tiled under scaling and rotation, one cell each, and stretched into a box.
TEST(TextureTest, TiledUnderRotationAndScale) {
    TestSurface tex(8, 8, 32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tex.buffer.GetRow32(y)[x] = ((x / 4 + y / 4) & 1) ? 0xFF2040C0 : (x == 0 ? 0xFFE0A000 : 0xFFF0F0F0);
    Canvas c(4 * 48, 48);
    struct Cell {
        float scale, angle;
    };
    const Cell cells[] = {{1.0f, 0}, {2.5f, 0}, {0.5f, 0}, {1.5f, kPi / 7}};
    c.gc.SetTextureImage(&tex.buffer);
    for (int i = 0; i < 4; ++i) {
        const float x = float(i * 48 + 4);
        oxMatrix m;
        m.Scale(cells[i].scale, cells[i].scale, 1.0f);
        m.RotateZ(cells[i].angle);
        m.Translate(x, 4, 0);
        c.gc.SetTextureTransform(m);
        c.gc.Rect(x, 4, x + 40, 44, 0);
    }
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "textures"));
}

// The same texture under a rotated context transform, through the general scan path, and
// stretched by DrawImageRect.
TEST(TextureTest, RotatedContextAndImageRect) {
    TestSurface tex(8, 8, 32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tex.buffer.GetRow32(y)[x] = ((x + y) & 1) ? 0xFF000000 : 0xFF00A0FF;
    Canvas c(96, 48);
    c.gc.SetTextureImage(&tex.buffer);
    c.gc.Translate(24, 24);
    c.gc.Rotate(kPi / 9);
    c.gc.Translate(-16, -16);
    c.gc.Rect(0, 0, 32, 32, 0);
    c.gc.ResetTransform();
    EXPECT_EQ(1, c.gc.DrawImageRect(RECT{52, 4, 92, 44}));
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "textures_rotated"));
}

TEST(TextureTest, ColorTransformSaturationAndTables) {
    TestSurface tex(4, 4, 32);
    tex.Fill32(0xFFC08040);
    Canvas c(8, 8);
    c.gc.SetTextureImage(&tex.buffer);
    c.gc.SetOption(kOptionColorTransform, 1);
    c.gc.SetFloatOption(kOptionSaturation, 0.0f);
    c.gc.Rect(0, 0, 8, 8, 0);
    const uint32_t lum = (0xC0 * 19960 + 0x80 * 38368 + 0x40 * 7208) >> 16;
    EXPECT_EQ(0xFF000000u | lum << 16 | lum << 8 | lum, c.surface.buffer.GetRow32(3)[3]);
    // Halving red through its table; saturation 1.0 leaves the rest alone.
    uint8_t half[256];
    for (int i = 0; i < 256; ++i)
        half[i] = uint8_t(i / 2);
    c.gc.SetFloatOption(kOptionSaturation, 1.0f);
    c.gc.SetOption(kOptionRedTable, reinterpret_cast<intptr_t>(half));
    c.gc.Rect(0, 0, 8, 8, 0);
    EXPECT_EQ(0xFF608040u, c.surface.buffer.GetRow32(3)[3]);
    c.gc.SetOption(kOptionRedTable, 0);
    c.gc.SetOption(kOptionColorTransform, 0);
    c.gc.Rect(0, 0, 8, 8, 0);
    EXPECT_EQ(0xFFC08040u, c.surface.buffer.GetRow32(3)[3]);
}

TEST(TextureTest, EightBitTextureDrawsNothing) {
    TestSurface tex(4, 4, 8);
    Canvas c(8, 8);
    c.gc.SetTextureImage(&tex.buffer);
    c.gc.Rect(0.5f, 0.5f, 7.5f, 7.5f, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(0xFFFFFFFFu, c.surface.buffer.GetRow32(y)[x]);
}

TEST(TextureTest, LinearSpanClampsAtBothEnds) {
    Ramp r({{0xFFFF0000, 0}, {0xFF0000FF, 65536}});
    TestSurface target(64, 1, 32);
    oxPolygonFiller f;
    f.SetTarget(&target.buffer);
    f.SetTexture(&r.buffer);
    f.SetTextureMode(oxPolygonFiller::kLinearGradient);
    // u runs from 0 at x = 16 to 1 at x = 48.
    const float pts[9] = {16, 0, 0, 48, 0, 0, 48, 1, 0};
    const float uv[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    f.SetTextureMapping(pts, uv);
    std::vector<uint32_t> span(64);
    f.TextureSpan(span.data(), 0, 0, 64);
    EXPECT_EQ(0xFFFF0000u, span[0]);
    EXPECT_EQ(0xFFFF0000u, span[15]);
    EXPECT_NE(span[20], span[40]);
    EXPECT_EQ(0xFF0000FFu, span[48]);
    EXPECT_EQ(0xFF0000FFu, span[63]);
}

} // namespace
