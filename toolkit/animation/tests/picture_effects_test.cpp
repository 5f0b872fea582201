// The blur, alpha, light wipe, ripple, black, twist, roll and image morph effects between the two
// known pictures at both depths: the frames at progress 0 and 1 against the source and the target,
// middle frames at points computed from each effect's geometry, one golden grid per depth, and the
// images the effects prepare given back at the end of a run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <vector>

#include "graphics/tests/golden.h"
#include "toolkit/animation/alpha_effect.h"
#include "toolkit/animation/blur_effect.h"
#include "toolkit/animation/effect_pixels_internal.h"
#include "toolkit/animation/image_morph_effect.h"
#include "toolkit/animation/light_wipe_effect.h"
#include "toolkit/animation/ripple_effect.h"
#include "toolkit/animation/roll_effect.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/tests/effect_pictures.h"
#include "toolkit/animation/tests/screen_depth_test.h"

using namespace effect_pictures;

namespace {

// The seed of the platform's random numbers that the light wipe's angle and the alpha's mask come
// from: the same frames every time.
constexpr unsigned kSeed = 57;

class PictureEffectsTest : public ScreenDepthTest {
protected:
    // The colour channels of a pixel at either depth as 0x00RRGGBB with 8 bits each.
    uint32_t Rgb(uint32_t p) const {
        if (Bpp() == 32) return p & 0xFFFFFFu;
        return ((p >> 11) & 31) << 19 | ((p >> 5) & 63) << 10 | (p & 31) << 3;
    }
    bool Close(uint32_t a, uint32_t b, int tolerance) const {
        const uint32_t x = Rgb(a), y = Rgb(b);
        for (int shift : {0, 8, 16})
            if (std::abs(int((x >> shift) & 0xFF) - int((y >> shift) & 0xFF)) > tolerance) return false;
        return true;
    }
    // A picture's pixel mixed toward another by f / 256 as the effects blend at this depth, 16-bit
    // weights dithered at (x, y).
    uint32_t Mix(uint32_t a, uint32_t b, uint32_t f, int x, int y) const {
        if (Bpp() == 32) return oxMix32(a, b, f);
        SetPixelFormatForLayout(kLayoutRgb565);
        return oxMix16(a, b, oxDitheredWeight(f, x, y));
    }

    Picture from{GetParam(), SourceAt}, to{GetParam(), TargetAt};
};

// Which picture a pixel of a frame shows: 0 neither (not checked), 1 the source, 2 the target.
using Expect = std::function<int(oxTransitionEffect*, int x, int y)>;

int Everywhere(int picture) {
    return picture;
}

} // namespace

TEST_P(PictureEffectsTest, TheEndsOfARunShowTheSourceAndTheTarget) {
    // Where each effect's first frame (progress 0) shows the source and its frame at progress 1 the
    // target. Most are exact; a fade's 255 of 256 leaves a channel a step short (tolerance).
    const int step = Bpp() == 16 ? 8 : 1;
    auto rippleOutside = [](int picture) {
        // The centre is pinched at every progress: outside 16 pixels the displacement is whole (a
        // pair of pixels goes by its first).
        return [picture](oxTransitionEffect*, int x, int y) {
            const int dx = (x & ~1) - W / 2, dy = y - H / 2;
            return dx * dx + dy * dy >= 256 ? picture : 0;
        };
    };
    struct Case {
        const WCHAR* key;
        Expect zero;
        int zeroTolerance;
        Expect one; // null: the effect reaches the target only in its final frame
        int oneTolerance;
    };
    const Case cases[] = {
        {u"blur", [](auto...) { return Everywhere(1); }, 0, nullptr, 0},
        // Mask levels 0 to 4 already blend at progress 0, levels 252 and up still at progress 1.
        {u"alpha",
         [](oxTransitionEffect* e, int x, int y) {
             return static_cast<oxAlphaEffect*>(e)->Mask()->GetRow8(y)[x] >= 5 ? 1 : 0;
         },
         0,
         [](oxTransitionEffect* e, int x, int y) {
             return static_cast<oxAlphaEffect*>(e)->Mask()->GetRow8(y)[x] < 252 ? 2 : 0;
         },
         step},
        {u"ripple", rippleOutside(1), 0, rippleOutside(2), 0},
        {u"black", [](auto...) { return Everywhere(1); }, step, [](auto...) { return Everywhere(2); }, step},
        {u"twist", [](auto...) { return Everywhere(1); }, 0, [](auto...) { return Everywhere(2); }, 0},
        // The roll turns row 0 at once; at 1 every row is above the cylinder.
        {u"roll", [](oxTransitionEffect*, int, int y) { return y == 0 ? 2 : 1; }, 0,
         [](auto...) { return Everywhere(2); }, 0},
        // The light wipe's band has half-width 0.01 at 0 (every pixel is averaged with a streak)
        // and leaves the farthest corners averaged at 1: inside it, the target.
        {u"lightWipe", nullptr, 0,
         [](oxTransitionEffect* e, int x, int y) {
             auto* wipe = static_cast<oxLightWipeEffect*>(e);
             const double t = wipe->Angle() * std::numbers::pi / 180.0;
             const double u = (x - wipe->Centre().x) * std::cos(t) - (y - wipe->Centre().y) * std::sin(t);
             return std::fabs(u) < wipe->Position() - 0.01 ? 2 : 0;
         },
         0},
    };
    for (const Case& c : cases) {
        for (float a : {0.0f, 1.0f}) {
            const Expect& expect = a == 0.0f ? c.zero : c.one;
            if (!expect) continue;
            std::srand(kSeed);
            auto t = Started(c.key, from, to);
            oxTransitionEffect* e = t->GetEffect();
            e->RenderFrame(a);
            e->RenderFrame(a); // the effects that draw every other row: both parities
            int wrong = 0, checked = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const int picture = expect(e, x, y);
                    if (!picture) continue;
                    ++checked;
                    const uint32_t want = picture == 1 ? from.At(x, y) : to.At(x, y);
                    wrong += !Close(SurfaceAt(e, x, y), want, a == 0.0f ? c.zeroTolerance : c.oneTolerance);
                }
            EXPECT_EQ(0, wrong) << Name(c.key) << " at " << a << ", " << Bpp() << " bits";
            EXPECT_GT(checked, W * H / 3) << Name(c.key) << " at " << a;
            // The final frame is the exact target, and the prepared images are given back.
            ASSERT_TRUE(e->Finish());
            wrong = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    wrong += SurfaceAt(e, x, y) != to.At(x, y);
            EXPECT_EQ(0, wrong) << Name(c.key) << " final frame";
            if (auto* blur = dynamic_cast<oxBlurEffect*>(e)) {
                EXPECT_FALSE(blur->HoldsImages());
            }
            if (auto* alpha = dynamic_cast<oxAlphaEffect*>(e)) {
                EXPECT_EQ(nullptr, alpha->Mask());
            }
            if (auto* ripple = dynamic_cast<oxRippleEffect*>(e)) {
                EXPECT_EQ(nullptr, ripple->Levels());
            }
        }
    }
}

TEST_P(PictureEffectsTest, TheBlackFadesThroughBlackOverAlternateRows) {
    auto t = Started(u"black", from, to);
    oxTransitionEffect* e = t->GetEffect();
    EXPECT_STREQ("Base Transition", e->GetName());
    // At 0.5 the level is trunc(|0.75 - 0.5| x 1.3333333 x 255 + 0.5) = 85 of the source; at 0.75
    // nothing is left; past it the target comes back at three times the pace.
    struct Case {
        float a;
        uint32_t level;
        const Picture& picture;
    };
    for (const Case& c : {Case{0.5f, 85, from}, Case{0.75f, 0, from}, Case{0.9f, 153, to}}) {
        e->RenderFrame(c.a);
        // One frame redraws every other row: one row of the pair still shows the last level.
        int fresh[2] = {0, 0};
        for (int y = 0; y < 2; ++y)
            fresh[y] = SurfaceAt(e, 20, y) == Mix(Bpp() == 32 ? 0xFF000000u : 0, c.picture.At(20, y), c.level, 20, y);
        EXPECT_EQ(1, fresh[0] + fresh[1]) << c.a;
        e->RenderFrame(c.a);
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                wrong += SurfaceAt(e, x, y) != Mix(Bpp() == 32 ? 0xFF000000u : 0, c.picture.At(x, y), c.level, x, y);
        EXPECT_EQ(0, wrong) << c.a;
    }
}

TEST_P(PictureEffectsTest, TheTwistNarrowsEachRowOfItsBandAboutTheCentre) {
    auto t = Started(u"twist", from, to);
    oxTransitionEffect* e = t->GetEffect();
    ASSERT_TRUE(e->RenderFrame(0.5f));
    // The band runs from -0.5 to 1.5 of the height: row i turns by (i / H + 0.5) / 2 x pi.
    struct Case {
        int row;
        const Picture& picture; // the target while the turn is under a quarter, then the source
    };
    for (const Case& c : {Case{0, to}, Case{10, to}, Case{30, from}, Case{39, from}}) {
        const float f = float(c.row) / float(H);
        const float o = std::cos((f + 0.5f) / 2.0f * std::numbers::pi_v<float>);
        const float width = std::fabs(o);
        const int margin = int(o > 0 ? (float(W) - float(W) * width) * 0.5f : (o + 1.0f) * float(W) * 0.5f);
        const int64_t step = int64_t(65536.0 / double(width));
        int drawn = 0; // output pixels whose sample lies inside the row
        while (((drawn * step) >> 16) < W)
            ++drawn;
        for (int x = 0; x < W; ++x) {
            const bool inside = x >= margin && x < margin + drawn;
            const uint32_t want = inside ? c.picture.At(int(((x - margin) * step) >> 16), c.row) : 0u;
            ASSERT_EQ(want, SurfaceAt(e, x, c.row)) << "row " << c.row << ", x " << x;
        }
        // The black margins stand on both sides, within a pixel of each other.
        EXPECT_LE(std::abs(W - margin - drawn - margin), 1) << c.row;
    }
}

TEST_P(PictureEffectsTest, TheRollTurnsTheRowsAboveItsCylinderAndWrapsTheSourceRoundIt) {
    auto t = Started(u"roll", from, to);
    auto* e = static_cast<oxRollEffect*>(t->GetEffect());
    EXPECT_STREQ("Roll", e->GetName());
    ASSERT_TRUE(e->RenderFrame(0.3f)); // b = 0: the cylinder covers rows 0 to 0.1 H
    EXPECT_EQ(4, e->Band().bottom);
    ASSERT_TRUE(e->RenderFrame(0.6f));
    // b = 0.36 x 1.1 - 0.1 = 0.296, c = 0.396: rows 0-11 above the cylinder, 16 and on below it.
    for (int y : {0, 5, 11})
        EXPECT_EQ(to.At(30, y), SurfaceAt(e, 30, y)) << y;
    for (int y : {16, 25, 39})
        EXPECT_EQ(from.At(30, y), SurfaceAt(e, 30, y)) << y;
    // The painted rows run from the first band's top to the second's bottom.
    ASSERT_EQ(1u, e->UpdateItems().size());
    const RECT update = e->UpdateItems()[0].destination;
    EXPECT_EQ(0, update.top);
    EXPECT_EQ(15, update.bottom);
    EXPECT_EQ(W, update.right);
    EXPECT_EQ(11, e->Band().top);

    // Row 12 (f = 0.3) lies on the cylinder: it shows the source row an arc of 0.05 x theta above
    // the axis, scaled by the light d^2 and raised by its highlight.
    const float bf = 0.6f * 0.6f * 1.1f - 0.1f;
    const double b = bf, c = bf + 0.1f, l = (b + c) / 2, f = 12.0f / float(H);
    const double theta = std::acos((l - f) * 20.0) + std::numbers::pi / 2;
    const int source = int((l - theta * 0.05) * H);
    EXPECT_EQ(9, source);
    const double phi = theta - std::numbers::pi / 2, q = l + std::sin(phi) * 0.05;
    const double k = 1.0 / std::sqrt(q * q + f * f);
    const double d = std::sin(phi) * -q * k + std::cos(phi) * -f * k, light = d * d;
    for (int x : {0, 30}) {
        const uint32_t p = from.At(x, source), got = SurfaceAt(e, x, 12);
        if (Bpp() == 32) {
            for (int shift : {0, 8, 16}) {
                const int v = int((p >> shift) & 0xFF);
                const int want = std::min(255, int(light * light * 64) + ((v * int(light * 256)) >> 8));
                EXPECT_NEAR(want, int((got >> shift) & 0xFF), 1) << x << " channel " << shift;
            }
        } else {
            for (int shift : {11, 6, 0}) {
                const int v = int((p >> shift) & 31);
                const int want = std::min(31, int(light * light * 8) + ((v * int(light * 256)) >> 8));
                EXPECT_NEAR(want, int((got >> shift) & 31), 1) << x << " channel " << shift;
            }
        }
    }

    // A second run of the same effect starts with no cylinder behind it: its first frame turns
    // the rows above the band again.
    e->Finish();
    ASSERT_TRUE(e->Start(from.surface->buffer, to.surface->buffer, nullptr, false));
    e->RenderFrame(0.6f);
    EXPECT_EQ(to.At(30, 5), SurfaceAt(e, 30, 5));
}

TEST_P(PictureEffectsTest, TheRippleDisplacesAndBlendsByItsRadialTables) {
    auto t = Started(u"ripple", from, to);
    auto* e = static_cast<oxRippleEffect*>(t->GetEffect());
    const float a = 0.3f;
    ASSERT_TRUE(e->RenderFrame(a));
    // The tables' computed entries (every eighth) from the wave's formulas: n = r^2 / 16 entries
    // for r^2 = 30^2 + 20^2.
    const int n = (30 * 30 + 20 * 20) / 16;
    ASSERT_EQ(n, e->TableLength());
    const double m = (0.5 - std::fabs(a - 0.5)) * 0.05, v = (3 - 2.0 * a) * a * a * 2 - 0.5;
    auto displacement = [&](int i) {
        const double at = double(i) / n;
        const double d = at == 0 ? 1 : 1 + m * std::cos((std::sqrt(at) - a) * 20) / at;
        const double inner = std::min(at * 500, 1.0);
        return int((3 - 2 * inner) * inner * inner * d * 256);
    };
    auto level = [&](int i) {
        const double at = double(i) / n;
        return int(std::clamp((std::cos(at * 25 - v * 10) + a * 12 - 4) * 64, 0.0, 255.0));
    };
    // Pixels whose squared distance is 32 times a computed entry: the centre, 16 pixels out along
    // each axis (entry 8) and 16 along both (entry 16).
    const int points[][2] = {{0, 0}, {16, 0}, {-16, 0}, {0, 16}, {16, 16}, {-16, -16}};
    for (const auto& p : points) {
        const int k = (p[0] * p[0] + p[1] * p[1]) / 32;
        EXPECT_EQ(displacement(k), e->Displacements()[k]) << k;
        EXPECT_EQ(level(k), e->Levels()[k]) << k;
        const int d = displacement(k), b = level(k);
        const int x = W / 2 + p[0], y = H / 2 + p[1];
        const int sx = std::clamp(W / 2 + ((p[0] * d) >> 8), 0, W - 2);
        const int sy = std::clamp(H / 2 + ((p[1] * d) >> 8), 0, H - 1);
        if (Bpp() == 16) SetPixelFormatForLayout(kLayoutRgb565);
        // Both pixels of the pair come from the pair at (sx, sy).
        for (int i = 0; i < 2; ++i) {
            const uint32_t want = b <= 5        ? from.At(sx + i, sy)
                                  : b > 250     ? to.At(sx + i, sy)
                                  : Bpp() == 32 ? oxMix32(from.At(sx + i, sy), to.At(sx + i, sy), uint32_t(b))
                                                : oxMix16(from.At(sx + i, sy), to.At(sx + i, sy), uint32_t(b) >> 3);
            EXPECT_EQ(want, SurfaceAt(e, x + i, y)) << p[0] << "," << p[1] << " + " << i;
        }
    }
    // The wave front: at 0.3 the entry at the centre blends, the one 16 pixels out is still the source.
    EXPECT_GT(level(0), 5);
    EXPECT_LE(level(8), 5);
}

TEST_P(PictureEffectsTest, TheLightWipeShowsTheTargetInItsBandAndStreaksOutside) {
    std::srand(kSeed);
    auto t = Started(u"lightWipe", from, to);
    auto* e = static_cast<oxLightWipeEffect*>(t->GetEffect());
    EXPECT_STREQ("Light Wipe", e->GetName());
    ASSERT_TRUE(e->RenderFrame(0.5f));
    // The band's half-width is 0.99 a extent + 0.01, the extent the farthest corner along the
    // direction (cos theta, -sin theta) from the centre (29, 19).
    const double theta = e->Angle() * std::numbers::pi / 180.0, c = std::cos(theta), s = std::sin(theta);
    EXPECT_EQ(29, e->Centre().x);
    EXPECT_EQ(19, e->Centre().y);
    const double extent = std::max(std::fabs(29 * c - 19 * s), std::fabs(29 * c + 19 * s));
    EXPECT_NEAR(0.99 * 0.5 * extent + 0.01, e->Position(), 1e-4);
    // Outside, each pixel is the average of the source and a target pixel: green or pink here.
    const uint32_t keep = Bpp() == 32 ? 0x7F7F7F7Fu : 0x7BEFu;
    auto average = [&](uint32_t p, uint32_t q) { return ((p >> 1) & keep) + ((q >> 1) & keep); };
    const uint32_t green = Bpp() == 32 ? 0xFF209040u : To565(0xFF209040u);
    const uint32_t pink = Bpp() == 32 ? 0xFFF0C8D0u : To565(0xFFF0C8D0u);
    int inside = 0, outside = 0, streaks = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double u = (x - 29) * c - (y - 19) * s;
            const uint32_t got = SurfaceAt(e, x, y);
            if (std::fabs(u) < e->Position() - 0.01) {
                ++inside;
                EXPECT_EQ(to.At(x, y), got) << x << "," << y;
            } else if (std::fabs(u) > e->Position() + 0.01) {
                ++outside;
                const bool streak = got == average(from.At(x, y), green);
                streaks += streak;
                EXPECT_TRUE(streak || got == average(from.At(x, y), pink)) << x << "," << y;
            }
        }
    EXPECT_GT(inside, 0);
    EXPECT_GT(outside, 0);
    EXPECT_GT(streaks, 0) << "the F's green reaches out along the rays";
    // A new effect draws a new angle; the same effect keeps its own over runs.
    const float angle = e->Angle();
    e->Start(from.surface->buffer, to.surface->buffer, nullptr, false);
    EXPECT_EQ(angle, e->Angle());
}

TEST_P(PictureEffectsTest, TheAlphaDissolvesInTheOrderOfItsMask) {
    std::srand(kSeed);
    auto t = Started(u"alpha", from, to);
    auto* e = static_cast<oxAlphaEffect*>(t->GetEffect());
    EXPECT_STREQ("Alpha", e->GetName());
    ASSERT_NE(nullptr, e->Mask());
    // A first frame late in the run (threshold 128) still turns every level below its window.
    ASSERT_TRUE(e->RenderFrame(0.5f));
    int below = 0, above = 0, edge = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int v = e->Mask()->GetRow8(y)[x];
            const int ramp = v < 124 ? 255 : v > 132 ? 0 : ((128 - v) * 255 + 1020) >> 3;
            (v < 124 ? below : v > 132 ? above : edge)++;
            EXPECT_EQ(Mix(from.At(x, y), to.At(x, y), uint32_t(ramp), x, y), SurfaceAt(e, x, y))
                << x << "," << y << " level " << v;
        }
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);
    // The mask is smooth: it comes from 16 random levels scaled up bilinearly, so neighbours differ
    // by little.
    int jump = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 1; x < W; ++x)
            jump = std::max(jump, std::abs(int(e->Mask()->GetRow8(y)[x]) - int(e->Mask()->GetRow8(y)[x - 1])));
    EXPECT_LE(jump, 16);
}

TEST(ScaleMask8Test, StepsInFixedPointAndMixesFourNeighbours) {
    uint8_t small[4] = {0, 200, 100, 40}; // 2 x 2
    uint8_t big[4 * 4] = {};
    oxPixelBuffer s, d;
    s.InitExternal(small, 2, 2, 2, 8, 1, true);
    d.InitExternal(big, 4, 4, 4, 8, 1, true);
    ScaleMask8(d, s, false);
    const uint8_t nearest[16] = {0, 0, 200, 200, 0, 0, 200, 200, 100, 100, 40, 40, 100, 100, 40, 40};
    EXPECT_EQ(0, std::memcmp(nearest, big, 16));
    ScaleMask8(d, s, true);
    // Half a step in: (0 + 200) / 2 across, the last column holds the edge.
    EXPECT_EQ(0, big[0]);
    EXPECT_EQ(100, big[1]);
    EXPECT_EQ(200, big[2]);
    EXPECT_EQ(200, big[3]);
    EXPECT_EQ(50, big[4]); // down half a step: (0 + 100) / 2
    EXPECT_EQ(85, big[5]); // (100 + 70) / 2 = 85
    EXPECT_EQ(40, big[15]);
}

TEST_P(PictureEffectsTest, TheBlurFadesTheSourceIntoTheBlurredTargetAndLeavesThePicturesAlone) {
    auto t = Started(u"blur", from, to);
    auto* e = static_cast<oxBlurEffect*>(t->GetEffect());
    EXPECT_STREQ("Blur", e->GetName());
    EXPECT_TRUE(e->HoldsImages());
    ASSERT_TRUE(e->RenderFrame(0.5f));
    ASSERT_TRUE(e->RenderFrame(0.5f));
    // Halfway, a pixel of the source's blue and the target's pink, far from the shapes, is near
    // their even mix (the blur's tails reach it faintly).
    const uint32_t got = Rgb(SurfaceAt(e, 52, 27)), want = Rgb(Mix(from.At(52, 27), to.At(52, 27), 128, 52, 27));
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((want >> shift) & 0xFF), int((got >> shift) & 0xFF), 16) << shift;
    // Beside the target's green column the blurred target carries green into the pink.
    const uint32_t near = Rgb(SurfaceAt(e, 15, 30)), far = Rgb(SurfaceAt(e, 40, 30));
    EXPECT_GT(int((near >> 8) & 0xFF) - int((near >> 16) & 0xFF), int((far >> 8) & 0xFF) - int((far >> 16) & 0xFF));
    // The frames blur a copy of the source: the caller's picture is as it was.
    int changed = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            changed += from.At(x, y) != (Bpp() == 32 ? SourceAt(x, y) : To565(SourceAt(x, y)));
    EXPECT_EQ(0, changed);
}

TEST_P(PictureEffectsTest, TheImageMorphMovesAndCrossFadesItsItems) {
    // Two pictures of their own snapshots: red 10 x 10 moving from (0, 0) to blue 20 x 20 at (40, 20).
    auto snapshot = [&](uint32_t argb, int size) {
        auto* s = new oxSnapshot();
        s->AddRef();
        s->GetCanvas()->oxGraphicsContext::SetSize(size, size, Bpp());
        const oxPixelBuffer& p = *s->GetPicture();
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (Bpp() == 16)
                    p.GetRow16(y)[x] = To565(argb);
                else
                    p.GetRow32(y)[x] = argb;
        return s;
    };
    oxSnapshot* red = snapshot(0xFFFF0000u, 10);
    oxSnapshot* blue = snapshot(0xFF0000FFu, 20);
    oxSnapshot first, second;
    first.AddImageMorphItem(red, 0, 0, 10, 10);
    second.AddImageMorphItem(blue, 40, 20, 20, 20);
    const uint32_t fill = Bpp() == 32 ? 0xFF000000u : 0;
    const uint32_t r = Bpp() == 32 ? 0xFFFF0000u : To565(0xFFFF0000u),
                   b = Bpp() == 32 ? 0xFF0000FFu : To565(0xFF0000FFu);

    auto t = Started(u"imageMorph", from, to);
    auto* e = static_cast<oxImageMorphEffect*>(t->GetEffect());
    EXPECT_STREQ("Image Morph", e->GetName());
    EXPECT_FALSE(e->RenderFrame(0.5f)) << "no lists, no frame";
    EXPECT_EQ(0, e->FrameCount());
    e->SetImageItems(first.GetImageItems(), second.GetImageItems());
    struct Case {
        float a;
        RECT place; // where the item stands
        uint32_t inside;
    };
    // Halfway: left 20, top 10, right 5 + 30, bottom 5 + 20; red at half over the fill, then blue
    // at half over that.
    const uint32_t half = Mix(Mix(fill, r, 128, 27, 17), b, 128, 27, 17);
    for (const Case& c :
         {Case{0.0f, {0, 0, 10, 10}, r}, Case{1.0f, {40, 20, 60, 40}, b}, Case{0.5f, {20, 10, 35, 25}, half}}) {
        ASSERT_TRUE(e->RenderFrame(c.a));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const bool in = x >= c.place.left && x < c.place.right && y >= c.place.top && y < c.place.bottom;
                if (!in) {
                    ASSERT_EQ(fill, SurfaceAt(e, x, y)) << c.a << ": " << x << "," << y;
                } else if (c.a != 0.5f || (x == 27 && y == 17)) {
                    ASSERT_TRUE(Close(c.inside, SurfaceAt(e, x, y), Bpp() == 32 ? 2 : 0))
                        << c.a << ": " << x << "," << y;
                }
            }
    }
    // Over a background picture, the vacated places show the background.
    e->SetBackground(&from.surface->buffer);
    ASSERT_TRUE(e->RenderFrame(1.0f));
    EXPECT_EQ(from.At(5, 5), SurfaceAt(e, 5, 5));
    EXPECT_EQ(b, SurfaceAt(e, 45, 25));
    e->SetBackground(nullptr);
    // Lists of different lengths draw nothing and count no frame; a picture that went away is skipped.
    const int frames = e->FrameCount();
    second.AddImageMorphItem(blue, 0, 0, 5, 5);
    EXPECT_FALSE(e->RenderFrame(0.5f));
    EXPECT_EQ(frames, e->FrameCount());
    first.AddImageMorphItem(red, 0, 0, 5, 5);
    red->Release();
    blue->Release();
    EXPECT_TRUE(e->RenderFrame(0.5f));
    EXPECT_EQ(fill, SurfaceAt(e, 27, 17));
}

TEST_P(PictureEffectsTest, MiddleFramesMatchTheirGoldenGrid) {
    // Four effects a row, 2 pixels apart, each after frames at 0.3 and 0.6 (so that the interlaced
    // ones have drawn both parities of rows, and the roll has a band behind it).
    const WCHAR* const keys[] = {u"blur",  u"alpha", u"lightWipe", u"ripple",
                                 u"black", u"twist", u"roll",      u"imageMorph"};
    constexpr int kColumns = 4, kGap = 2;
    TestSurface grid((W + kGap) * kColumns, (H + kGap) * 2, Bpp(), Bpp() == 16 ? kLayoutRgb565 : kLayoutUnspecified);
    Picture item(Bpp(), TargetAt, 20, 12);
    oxSnapshot first, second, picture;
    picture.GetCanvas()->oxGraphicsContext::SetSize(20, 12, Bpp());
    oxPixelBuffer view = *picture.GetPicture();
    for (int y = 0; y < 12; ++y)
        std::memcpy(view.GetRow8(y), item.surface->buffer.GetRow8(y), size_t(20) * (Bpp() / 8));
    first.AddImageMorphItem(&picture, 2, 2, 20, 12);
    second.AddImageMorphItem(&picture, 30, 20, 28, 18);
    for (size_t i = 0; i < std::size(keys); ++i) {
        std::srand(kSeed);
        auto t = Started(keys[i], from, to);
        oxTransitionEffect* e = t->GetEffect();
        if (auto* morph = dynamic_cast<oxImageMorphEffect*>(e)) {
            morph->SetImageItems(first.GetImageItems(), second.GetImageItems());
            morph->SetFillColor(0xFF404040u);
        }
        // The black's row parity is shared by the process: both of its frames at one progress.
        e->RenderFrame(Name(keys[i]) == "black" ? 0.6f : 0.3f);
        e->RenderFrame(0.6f);
        PasteSurface(grid, int(i % kColumns) * (W + kGap), int(i / kColumns) * (H + kGap), e);
    }
    EXPECT_TRUE(MatchesGolden(grid.buffer, "picture_effects_" + std::to_string(Bpp())));
}

TEST_P(PictureEffectsTest, OddSmallAndEmptyPicturesDrawWithinThemselves) {
    // Started by hand with any pair, each effect draws only inside its pictures (the sanitizer
    // build sees a stray read), ends on the target, and frees what it made.
    const WCHAR* const keys[] = {u"blur",  u"alpha", u"lightWipe", u"ripple",
                                 u"black", u"twist", u"roll",      u"imageMorph"};
    struct Size {
        int fw, fh, tw, th;
    };
    for (const WCHAR* key : keys)
        for (const Size& z : {Size{7, 5, 7, 5}, Size{1, 1, 1, 1}, Size{5, 1, 5, 1}, Size{1, 6, 1, 6}, Size{9, 7, 4, 3},
                              Size{0, 0, 0, 0}, Size{3, 3, 0, 0}}) {
            Picture a(Bpp(), SourceAt, z.fw, z.fh), b(Bpp(), TargetAt, z.tw, z.th);
            std::srand(kSeed);
            oxTransition t;
            ASSERT_TRUE(t.CreateEffect(key));
            oxTransitionEffect* e = t.GetEffect();
            e->Start(a.surface->buffer, b.surface->buffer, nullptr, false);
            for (float p : {0.0f, 0.3f, 0.7f, 1.0f, 1.02f})
                e->RenderFrame(p);
            e->Finish();
            for (int y = 0; z.fw == z.tw && z.fh == z.th && y < z.fh; ++y)
                for (int x = 0; x < z.fw; ++x)
                    ASSERT_EQ(b.At(x, y), SurfaceAt(e, x, y)) << Name(key) << " " << z.fw << "x" << z.fh;
            // Started again, the effect runs as new.
            e->Start(from.surface->buffer, to.surface->buffer, nullptr, false);
            e->RenderFrame(0.5f);
            e->Finish();
            EXPECT_EQ(to.At(30, 20), SurfaceAt(e, 30, 20)) << Name(key);
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, PictureEffectsTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param) + "bit"; });
