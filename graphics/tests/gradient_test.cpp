#include "graphics/raster/gradient_source.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The affine map from texture pixels to device pixels that a matrix makes, inverted in double
// precision: the expected source of a device pixel, found without the filler's stepping.
class TextureMap {
public:
    explicit TextureMap(const oxMatrix& m) {
        const float in[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        float out[9];
        m.TransformPoints(out, 3, in, 3, 3, true);
        m_ox = out[0], m_oy = out[1];
        m_ux = out[3] - out[0], m_uy = out[4] - out[1];
        m_vx = out[6] - out[0], m_vy = out[7] - out[1];
    }
    void ToTexture(double x, double y, double& u, double& v) const {
        const double dx = x - m_ox, dy = y - m_oy, det = m_ux * m_vy - m_uy * m_vx;
        u = (dx * m_vy - dy * m_vx) / det;
        v = (m_ux * dy - m_uy * dx) / det;
    }
    // Away from texel borders, where fixed-point stepping may round either way.
    static bool ClearOfEdges(double u, double v) {
        const double fu = u - std::floor(u), fv = v - std::floor(v);
        return fu > 0.02 && fu < 0.98 && fv > 0.02 && fv < 0.98;
    }

private:
    double m_ox, m_oy, m_ux, m_uy, m_vx, m_vy;
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
    // Turned about its centre, which lands on (24, 24): the corners stay 3 pixels inside.
    c.gc.Translate(-16, -16); // transforms apply in the order they are given
    c.gc.Rotate(kPi / 9);
    c.gc.Translate(24, 24);
    const TextureMap map(c.gc.GetTransform());
    c.gc.Rect(0, 0, 32, 32, 0);
    c.gc.ResetTransform();
    EXPECT_EQ(1, c.gc.DrawImageRect(RECT{52, 4, 92, 44}));
    EXPECT_TRUE(MatchesGolden(c.surface.buffer, "textures_rotated"));
    // Every pixel whose centre maps well inside the square and a texel shows that texel.
    int checked = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            double u, v;
            map.ToTexture(x + 0.5, y + 0.5, u, v);
            if (u < 1 || v < 1 || u > 31 || v > 31 || !map.ClearOfEdges(u, v)) continue;
            const int tu = int(std::floor(u)) & 7, tv = int(std::floor(v)) & 7;
            ASSERT_EQ(tex.buffer.GetRow32(tv)[tu], c.surface.buffer.GetRow32(y)[x]) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);
    // The drawn square stays inside the canvas: its bounding box has white all round it.
    for (int i = 0; i < 48; ++i) {
        EXPECT_EQ(0xFFFFFFFFu, c.surface.buffer.GetRow32(0)[i]);
        EXPECT_EQ(0xFFFFFFFFu, c.surface.buffer.GetRow32(47)[i]);
        EXPECT_EQ(0xFFFFFFFFu, c.surface.buffer.GetRow32(i)[0]);
    }
}

// Texels under scaling, rotation and translation against the inverted mapping: every pixel inside
// the shape whose centre falls clear of a texel border shows the texel (tiled) that it maps to.
TEST(TextureTest, TexelsFollowTheMapping) {
    TestSurface tex(8, 8, 32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tex.buffer.GetRow32(y)[x] = 0xFF000000u | uint32_t(x * 32 + 7) << 16 | uint32_t(y * 32 + 7) << 8 | 0x55;
    struct Cell {
        float scale, angle, dx, dy;
    };
    const Cell cells[] = {{1.0f, 0, 4, 4}, {2.5f, 0.3f, 7.25f, 3.5f}, {0.75f, -1.1f, 30, 2}, {3.0f, 2.0f, 20, 40}};
    for (const Cell& k : cells) {
        Canvas c(48, 48);
        c.gc.SetTextureImage(&tex.buffer);
        oxMatrix m;
        m.Scale(k.scale, k.scale, 1.0f);
        m.RotateZ(k.angle);
        m.Translate(k.dx, k.dy, 0);
        c.gc.SetTextureTransform(m);
        c.gc.Rect(4, 4, 44, 44, 0);
        const TextureMap map(m);
        int checked = 0;
        for (int y = 5; y < 43; ++y) {
            for (int x = 5; x < 43; ++x) {
                double u, v;
                map.ToTexture(x + 0.5, y + 0.5, u, v);
                if (!TextureMap::ClearOfEdges(u, v)) continue;
                const int tu = int(std::floor(u)) & 7, tv = int(std::floor(v)) & 7;
                ASSERT_EQ(tex.buffer.GetRow32(tv)[tu], c.surface.buffer.GetRow32(y)[x])
                    << "scale " << k.scale << " angle " << k.angle << " at " << x << "," << y;
                ++checked;
            }
        }
        EXPECT_GT(checked, 900) << k.scale;
    }
}

// Gradient colours against the inverted mapping: a linear ramp's index is the mapped u, a radial
// one's is 256 times the mapped distance from the origin (v in ramp heights). Each index has its
// own colour, so the drawn index can be read back.
TEST(GradientTest, IndicesFollowTheMapping) {
    std::vector<uint32_t> table(256);
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = 0xFF000000u | i << 16 | (255 - i) << 8 | ((i * 37) & 0xFF);
    oxPixelBuffer ramp;
    ramp.InitExternal(table.data(), 256 * 4, 256, 1, 32, 4, true);
    auto indexOf = [&](uint32_t p) {
        for (int i = 0; i < 256; ++i)
            if (table[i] == p) return i;
        return -1;
    };
    for (bool radial : {false, true}) {
        for (float angle : {0.0f, 0.5f, -2.2f}) {
            Canvas c(48, 48);
            c.gc.SetTextureImage(&ramp);
            c.gc.SetOption(radial ? kOptionRadialGradient : kOptionLinearGradient, 1);
            oxMatrix m;
            m.Scale(36.0f / 256.0f, 30.0f, 1.0f);
            m.RotateZ(angle);
            m.Translate(radial ? 24.0f : 6.0f, radial ? 24.0f : 8.0f, 0);
            c.gc.SetTextureTransform(m);
            c.gc.Rect(2, 2, 46, 46, 0);
            const TextureMap map(m);
            for (int y = 3; y < 45; ++y) {
                for (int x = 3; x < 45; ++x) {
                    double u, v;
                    map.ToTexture(x + 0.5, y + 0.5, u, v);
                    const double e = radial ? std::hypot(u, 256.0 * v) : u;
                    const int got = indexOf(c.surface.buffer.GetRow32(y)[x]);
                    // Linear: the fixed point rounds the index either way near a border. Radial:
                    // both coordinates are whole before the square root, which moves it by < 1.5.
                    const double slack = radial ? 1.5 : 0.02;
                    const int lo = std::clamp(int(std::floor(e - slack)), 0, 255);
                    const int hi = std::clamp(int(std::floor(e + slack)), 0, 255);
                    ASSERT_TRUE(got >= lo && got <= hi)
                        << (radial ? "radial" : "linear") << " angle " << angle << " at " << x << "," << y << ": index "
                        << got << ", expected " << e;
                }
            }
        }
    }
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
