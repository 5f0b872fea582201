#include "graphics/effects/drop_shadow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

#include "graphics/raster/span_renderer.h"
#include "graphics/tests/raster_test_util.h"

namespace {

struct ShadowCase {
    const char* what;
    bool inner;
    int radius;
    POINT offset;
    float opacity;
    uint32_t color;
    RECT rect;
    bool fillCenter;
    bool clipped;
    bool oneToOne; // every part that is drawn maps mask pixels one to one
};

const ShadowCase kShadows[] = {
    {"outer 10r square", false, 2, {2, 2}, 0.8f, 0xFF000000u, {8, 10, 28, 30}, false, false, true},
    {"outer r4 offset", false, 4, {3, 3}, 0.8f, 0xFF0000C0u, {40, 8, 60, 32}, false, false, true},
    {"outer narrow odd", false, 3, {0, 0}, 0.6f, 0xFF3060C0u, {30, 20, 41, 51}, false, false, true},
    {"inner 10r clipped", true, 3, {-1, 2}, 0.9f, 0xFF800000u, {20, 10, 50, 40}, false, true, true},
    {"opacity 0", false, 2, {2, 2}, 0.0f, 0xFF000000u, {8, 10, 24, 34}, false, false, true},
    {"outer r2", false, 2, {2, 2}, 0.8f, 0xFF000000u, {8, 10, 24, 34}, false, false, false},
    {"outer clipped", false, 3, {1, 2}, 1.0f, 0xFF102030u, {20, 20, 60, 40}, false, true, false},
    {"outer centre filled", false, 2, {2, 2}, 0.5f, 0xFF800000u, {20, 12, 50, 44}, true, false, false},
    {"inner", true, 2, {2, 2}, 0.8f, 0xFF000000u, {72, 10, 88, 34}, false, false, false},
    {"inner clipped", true, 3, {-1, 2}, 0.9f, 0xFF800000u, {10, 8, 70, 50}, false, true, false},
};

void Draw(oxPixelBuffer& target, const ShadowCase& k, oxSpanRenderer* renderer) {
    oxDropShadow shadow;
    ASSERT_TRUE(shadow.SetRadius(k.radius));
    shadow.offsetX = k.offset.x;
    shadow.offsetY = k.offset.y;
    shadow.opacity = k.opacity;
    shadow.color = k.color;
    shadow.fillCenter = k.fillCenter;
    shadow.spanRenderer = renderer;
    const RECT clip{25, 15, 65, 45};
    const RECT* c = k.clipped ? &clip : nullptr;
    ASSERT_TRUE(k.inner ? shadow.DrawInner(target, &k.rect, c) : shadow.DrawOuter(target, &k.rect, c));
}

// The same shadows drawn by the mask blend and through a span renderer. Where every part maps the
// mask one to one, 32-bit pictures are the same to the bit. Where a part is squeezed or stretched, the
// renderer samples the mask at pixel centres and the mask blend at the pixels' left and top edges, so
// the soft edge moves by up to half a mask pixel (a few levels). On RGB565 the renderer's 5-bit weight
// is coverage x opacity / 2048, where the mask blend rounds its 8-bit weight up first: one level.
TEST(DropShadowTest, ThroughTheSpanRendererMatchesTheMaskBlend) {
    for (const ShadowCase& k : kShadows)
        for (int bpp : {32, 16}) {
            const int layout = bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified;
            TestSurface blended(96, 64, bpp, layout), rendered(96, 64, bpp, layout);
            TestRandom rnd(1);
            for (size_t i = 0; i < blended.bytes.size(); ++i)
                blended.bytes[i] = rendered.bytes[i] = uint8_t(0xC0 | rnd.Next());
            const std::vector<uint8_t> before = blended.bytes;
            Draw(blended.buffer, k, nullptr);
            oxSpanRenderer renderer;
            renderer.clip = RECT{1, 2, 3, 4}; // the shadow sets its own clip per part and puts this back
            Draw(rendered.buffer, k, &renderer);
            EXPECT_EQ(1, renderer.clip.left);
            EXPECT_EQ(4, renderer.clip.bottom);
            if (k.opacity > 0) {
                EXPECT_NE(before, blended.bytes) << k.what;
            }
            int differing = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 96; ++x) {
                    if (bpp == 32) {
                        const uint32_t a = blended.buffer.GetRow32(y)[x], b = rendered.buffer.GetRow32(y)[x];
                        differing += a != b;
                        for (int c = 0; c < 32; c += 8)
                            ASSERT_LE(std::abs(int((a >> c) & 0xFF) - int((b >> c) & 0xFF)), k.oneToOne ? 0 : 8)
                                << k.what << " at " << x << "," << y;
                        continue;
                    }
                    const uint16_t a = blended.buffer.GetRow16(y)[x], b = rendered.buffer.GetRow16(y)[x];
                    differing += a != b;
                    for (int shift : {0, 5, 11}) {
                        const int mask = shift == 5 ? 0x3F : 0x1F;
                        // Green keeps five bits of its six, so one level of it is two.
                        ASSERT_LE(std::abs(((a >> shift) & mask) - ((b >> shift) & mask)),
                                  (shift == 5 ? 2 : 1) * (k.oneToOne ? 1 : 3))
                            << k.what << " at " << x << "," << y;
                    }
                }
            // Squeezed parts must show the sampling difference; otherwise the test compares nothing.
            if (bpp == 32 && !k.oneToOne) {
                EXPECT_GT(differing, 0) << k.what;
            }
        }
}

// A box with round corners: its rectangle's corners outside the arcs take the shadow that lies
// there, as the rest of the shadow is drawn; inside the arcs, under the box, nothing is drawn.
TEST(DropShadowTest, RoundCornersTakeTheShadowThatTheArcsLeaveOpen) {
    const uint32_t background = 0xFFF0F0F0u;
    const RECT rect{20, 10, 60, 40};
    const float radii[4] = {10, 10, 10, 10};
    for (bool rounded : {false, true}) {
        TestSurface surface(96, 64, 32, kLayoutUnspecified);
        for (int y = 0; y < 64; ++y)
            std::fill_n(surface.buffer.GetRow32(y), 96, background);
        oxDropShadow shadow;
        ASSERT_TRUE(shadow.SetRadius(4));
        shadow.offsetX = 0;
        shadow.offsetY = 3;
        shadow.opacity = 1.0f;
        shadow.color = 0xFF000000u;
        ASSERT_TRUE(rounded ? shadow.DrawOuterRounded(surface.buffer, &rect, nullptr, radii)
                            : shadow.DrawOuter(surface.buffer, &rect, nullptr));
        auto at = [&](int x, int y) { return surface.buffer.GetRow32(y)[x]; };
        // The shadow spans the rectangle moved by (0, 3) and grown by 3r: (8, 1)-(72, 55), 64 x 54,
        // from a 64-pixel mask whose 24-pixel bottom-right corner lands one to one at (48, 31).
        // (59, 39) is 13.4 from the bottom-right arc's centre (50, 30), outside its radius 10.
        const uint8_t m = shadow.OuterMask()->GetRow8(40 + 39 - 31)[40 + 59 - 48];
        ASSERT_GT(m, 0);
        const int a = m + 1; // opacity 1: the weight is the mask value plus one
        const int expected = 0xF0 - ((0xF0 * a + 255) >> 8);
        if (rounded) {
            for (int c = 0; c < 24; c += 8)
                EXPECT_NEAR(int((at(59, 39) >> c) & 0xFF), expected, 1) << c;
            EXPECT_EQ(at(59, 39) >> 24, 0xFFu);
        } else {
            EXPECT_EQ(at(59, 39), background) << "the bare rectangle leaves its corner alone";
        }
        // Inside the arc and in the middle: under the box, nothing.
        EXPECT_EQ(at(55, 35), background);
        EXPECT_EQ(at(40, 25), background);
        EXPECT_EQ(at(20, 39) != background, rounded) << "the bottom-left corner too";
        // Outside the rectangle the two agree.
        EXPECT_NE(at(61, 39), background);
    }
}

// Radii that are not numbers, infinite, negative or larger than the box draw a shadow and nothing
// out of place.
TEST(DropShadowTest, OddRadiiStayInTheirCorners) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float sets[][4] = {{inf, inf, inf, inf}, {nan, 2, nan, 2}, {1e30f, 0, 0, 0}, {-5, -5, 40, 3}};
    const RECT rects[] = {{10, 10, 12, 11}, {30, 20, 30, 40}, {20, 10, 60, 40}};
    for (const auto& radii : sets)
        for (const RECT& rect : rects) {
            TestSurface surface(96, 64, 32, kLayoutUnspecified);
            oxDropShadow shadow;
            ASSERT_TRUE(shadow.SetRadius(3));
            shadow.color = 0xFF000000u;
            const RECT clip{0, 0, 96, 64};
            EXPECT_TRUE(shadow.DrawOuterRounded(surface.buffer, &rect, &clip, radii));
        }
}

} // namespace
