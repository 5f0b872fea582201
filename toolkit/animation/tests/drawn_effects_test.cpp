// The effects that draw their frames on the work surface row by row (scale wipe, water, radial
// wipe, page turn, slide uncover), between the two known pictures at both depths: their first and
// last frames, their middle frames as one golden grid per depth, and points computed from their
// geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "graphics/pixels/number_utils.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/tests/golden.h"
#include "toolkit/animation/page_turn_effect.h"
#include "toolkit/animation/radial_wipe_effect.h"
#include "toolkit/animation/scale_wipe_effect.h"
#include "toolkit/animation/tests/effect_pictures.h"
#include "toolkit/animation/tests/screen_depth_test.h"
#include "toolkit/animation/water_effect.h"

namespace {

using namespace effect_pictures;

const WCHAR* const kKeys[] = {u"scaleWipe",         u"water",          u"radialWipeIn",
                              u"radialWipeOut",     u"pageTurn",       u"slideUncoverLeft",
                              u"slideUncoverRight", u"slideUncoverUp", u"slideUncoverDown"};

// Water pulls the pixels of the centre's first eight table entries (squared distance below 256)
// toward the centre even at its ends; elsewhere its ends are the pictures themselves. A pair of
// pixels goes by its even column.
bool PulledByWater(int x, int y) {
    const int dx = (x & ~1) - W / 2, dy = y - H / 2;
    return dx * dx + dy * dy < 256;
}

class DrawnEffectsTest : public ScreenDepthTest {};

uint32_t SurfacePixel(void* e, int x, int y) {
    return SurfaceAt(static_cast<oxTransitionEffect*>(e), x, y);
}

} // namespace

TEST_P(DrawnEffectsTest, FirstAndLastFramesAreTheSourceAndTheTarget) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    std::srand(58);
    for (const WCHAR* key : kKeys) {
        const std::string name = Name(key);
        for (float a : {0.0f, 1.0f}) {
            auto t = Started(key, from, to);
            oxTransitionEffect* e = t->GetEffect();
            ASSERT_NE(nullptr, e) << name;
            e->RenderFrame(a);
            // These two draw nothing at exactly 1 (the wipe line and the closed circle are past the
            // picture); the run's Finish then draws the target.
            if (a == 1.0f && (name == "scaleWipe" || name == "radialWipeOut")) {
                EXPECT_EQ(0, e->UpdateItems().size() == 1 && SurfaceAt(e, 59, 0) == to.At(59, 0)) << name;
                e->Finish();
            }
            const Picture& want = a == 1.0f ? to : from;
            int wrong = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    if (name != "water" || !PulledByWater(x, y)) wrong += SurfaceAt(e, x, y) != want.At(x, y);
            EXPECT_EQ(0, wrong) << name << " at " << a << ", " << Bpp() << " bits";
        }
    }
}

TEST_P(DrawnEffectsTest, MiddleFramesMatchTheirGoldenGrid) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    FrameGrid grid(Bpp(), int(std::size(kKeys)) + 2, 4);
    int i = 0;
    for (const WCHAR* key : kKeys) {
        // Seeded, so the scale wipe's angle is the same at every run.
        std::srand(58);
        auto t = Started(key, from, to);
        oxTransitionEffect* e = t->GetEffect();
        e->RenderFrame(0.0f);
        e->RenderFrame(0.5f);
        grid.Put(i++, SurfacePixel, e);
        // Water turns most at 0.3 and the page's curl crosses the picture at 0.2.
        if (Name(key) == "water" || Name(key) == "pageTurn") {
            e->RenderFrame(Name(key) == "water" ? 0.3f : 0.2f);
            grid.Put(i++, SurfacePixel, e);
        }
    }
    EXPECT_TRUE(MatchesGolden(grid.grid.buffer, "drawn_effects_" + std::to_string(Bpp())));
}

TEST_P(DrawnEffectsTest, SlideUncoverMovesTheSourceOffTheTarget) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    struct Case {
        const WCHAR* key;
        int dx, dy; // where the source stands at 0.5 (eased: halfway)
    };
    for (const Case& c : {Case{u"slideUncoverRight", 30, 0}, Case{u"slideUncoverLeft", -30, 0},
                          Case{u"slideUncoverDown", 0, 20}, Case{u"slideUncoverUp", 0, -20}}) {
        auto t = Started(c.key, from, to);
        oxTransitionEffect* e = t->GetEffect();
        EXPECT_STREQ("Base Transition", e->GetName());
        e->RenderFrame(0.5f);
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const int sx = x - c.dx, sy = y - c.dy;
                const bool onSource = sx >= 0 && sx < W && sy >= 0 && sy < H;
                wrong += SurfaceAt(e, x, y) != (onSource ? from.At(sx, sy) : to.At(x, y));
            }
        EXPECT_EQ(0, wrong) << Name(c.key);
        ASSERT_EQ(1u, e->UpdateItems().size());
        EXPECT_EQ(2, e->UpdateItems()[0].kind);
    }
}

TEST_P(DrawnEffectsTest, ScaleWipeDrawsItsAngleFromTheSeededGenerator) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    auto frameAt = [&](unsigned seed, float a, float* c, float* s) {
        std::srand(seed);
        auto t = Started(u"scaleWipe", from, to);
        oxTransitionEffect* e = t->GetEffect();
        e->RenderFrame(0.0f);
        oxScaleWipeEffect::Direction(c, s);
        e->RenderFrame(a);
        std::vector<uint32_t> pixels;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                pixels.push_back(SurfaceAt(e, x, y));
        return pixels;
    };
    float c, s, c2, s2;
    const auto first = frameAt(7, 0.5f, &c, &s);
    // The angle is the generator's first number in degrees of 360.
    std::srand(7);
    const double theta = double(float(float(Random()) * 360.0f * 3.0518509e-5f) * 0.017453292519943295);
    EXPECT_NEAR(std::cos(theta), c, 1e-6);
    EXPECT_NEAR(std::sin(theta), s, 1e-6);
    EXPECT_EQ(first, frameAt(7, 0.5f, &c2, &s2)) << "the same seed, the same frame";
    EXPECT_NE(first, frameAt(8, 0.5f, &c2, &s2)) << "another seed, another angle";
    // The side the line has not reached keeps the source; deep on the passed side the samples lie
    // within a tenth of the half-diagonal of the line.
    const float x0 = c >= 0 ? float(W) - float(W) * 0.5f * 1.1f : float(W) * 0.5f * 1.1f;
    const float y0 = s >= 0 ? float(H) - float(H) * 0.5f * 1.25f : float(H) * 0.5f * 1.25f;
    int unreached = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (c * (float(x) - x0) + s * (float(y) - y0) < -1.0f) {
                ++unreached;
                EXPECT_EQ(from.At(x, y), first[size_t(y * W + x)]) << x << "," << y;
            }
    EXPECT_GT(unreached, 0);
    // Near the end the line lies past the far edges and every sample falls outside: the target.
    std::srand(7);
    auto t = Started(u"scaleWipe", from, to);
    t->GetEffect()->RenderFrame(0.0f);
    t->GetEffect()->RenderFrame(0.9999f);
    int wrong = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            wrong += SurfaceAt(t->GetEffect(), x, y) != to.At(x, y);
    EXPECT_EQ(0, wrong);
}

TEST(ScaleWipeTest, NextIntAboveIsTheIntegerJustAbove) {
    for (auto [x, want] : {std::pair{2.0, 3.0}, {2.3, 3.0}, {-2.3, -2.0}, {0.0, 1.0}, {-1.0, 0.0}})
        EXPECT_EQ(want, oxScaleWipeEffect::NextIntAbove(x)) << x;
}

TEST_P(DrawnEffectsTest, WaterTablesFollowTheProgressAndAreFreedAtTheEnd) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    auto t = Started(u"water", from, to);
    auto* e = static_cast<oxWaterEffect*>(t->GetEffect());
    ASSERT_TRUE(e->HoldsTables());
    // (30² + 20²) / 16 entries and one more.
    ASSERT_EQ(82u, e->ScaleTable().size());
    auto all = [](const auto& table, std::function<bool(int)> ok) {
        for (auto v : table)
            if (!ok(int(v))) return false;
        return true;
    };
    e->RenderFrame(0.0f);
    EXPECT_TRUE(all(e->BlendTable(), [](int b) { return b == 0; })) << "only the source at the start";
    EXPECT_TRUE(all(e->SwirlTable(), [](int r) { return r == 0; }));
    EXPECT_EQ(0, e->ScaleTable()[0]) << "the centre samples the centre";
    EXPECT_EQ(256, e->ScaleTable()[8]);
    EXPECT_EQ(128, e->ScaleTable()[4]) << "interpolated between the computed entries";
    e->RenderFrame(1.0f);
    EXPECT_TRUE(all(e->BlendTable(), [](int b) { return b == 255; })) << "only the target at the end";
    e->RenderFrame(0.5f);
    EXPECT_TRUE(all(e->SwirlTable(), [](int r) { return r == 0; })) << "no turn halfway";
    // The turn is largest, with opposite signs, near 0.3 and 0.7, at about half the radius
    // (entry n / 4): 0.19 of a radian, 49 of 256.
    e->RenderFrame(0.3f);
    const int early = e->SwirlTable()[20];
    e->RenderFrame(0.7f);
    const int late = e->SwirlTable()[20];
    EXPECT_LT(early, -40);
    EXPECT_GT(late, 40);
    // A pixel pulled at the start samples the picture nearer the centre: (30, 35) from (30, 33),
    // its table entry 7 scaling by 224 of 256.
    e->RenderFrame(0.0f);
    EXPECT_EQ(224, e->ScaleTable()[7]);
    EXPECT_EQ(from.At(30, 20 + (15 * 224 >> 8)), SurfaceAt(e, 30, 35));
    e->Finish();
    EXPECT_FALSE(e->HoldsTables());
    EXPECT_FALSE(e->RenderFrame(0.5f)) << "no tables, no frame";
    EXPECT_EQ(to.At(30, 20), SurfaceAt(e, 30, 20));
    // A new run makes them again.
    EXPECT_TRUE(e->Start(from.surface->buffer, to.surface->buffer, nullptr, false));
    EXPECT_TRUE(e->HoldsTables());
}

TEST_P(DrawnEffectsTest, RadialWipeOpensAndClosesItsCircle) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    // Halfway the circle's radius is half the way to a corner: sqrt(30² + 20²) / 2 = 18.03, and the
    // lens reaches sqrt(2.5) times as far (28.5).
    auto in = Started(u"radialWipeIn", from, to);
    in->GetEffect()->RenderFrame(0.5f);
    auto out = Started(u"radialWipeOut", from, to);
    out->GetEffect()->RenderFrame(0.5f);
    int inside = 0, beyond = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float dx = float(x) - 30.0f, dy = float(y) - 20.0f, d2 = dx * dx + dy * dy;
            if (d2 < 17.0f * 17.0f) {
                ++inside;
                EXPECT_EQ(to.At(x, y), SurfaceAt(in->GetEffect(), x, y)) << "in: " << x << "," << y;
                EXPECT_EQ(from.At(x, y), SurfaceAt(out->GetEffect(), x, y)) << "out: " << x << "," << y;
            } else if (d2 > 30.0f * 30.0f) {
                ++beyond;
                EXPECT_EQ(from.At(x, y), SurfaceAt(in->GetEffect(), x, y)) << "in: " << x << "," << y;
                EXPECT_EQ(to.At(x, y), SurfaceAt(out->GetEffect(), x, y)) << "out: " << x << "," << y;
            }
        }
    EXPECT_GT(inside, 800);
    EXPECT_GT(beyond, 100);
}

TEST(RadialWipeTest, PixelHelpers) {
    EXPECT_EQ(0xFF000000u, oxRadialWipeEffect::LerpPixel32(0xFFFFFFFFu, 0xFF000000u, 0));
    EXPECT_EQ(0xFFFFFFFFu, oxRadialWipeEffect::LerpPixel32(0xFFFFFFFFu, 0xFF000000u, 255));
    EXPECT_EQ(0xFF7F7F7Fu, oxRadialWipeEffect::LerpPixel32(0xFFFFFFFFu, 0xFF000000u, 128)); // 127.5 truncated
    EXPECT_EQ(0x7FFFu, oxRadialWipeEffect::LerpPixel555(0x7FFF, 0x0000, 31));
    EXPECT_EQ(0x1234u, oxRadialWipeEffect::LerpPixel555(0x7FFF, 0x1234, 0));
    EXPECT_EQ(uint16_t(15 << 10 | 15 << 5 | 15), oxRadialWipeEffect::LerpPixel555(0x7FFF, 0x0000, 15));
    EXPECT_FLOAT_EQ(1300.0f, oxRadialWipeEffect::MaxCornerDistanceSquared(30, 20, 60, 40));
    EXPECT_FLOAT_EQ(5200.0f, oxRadialWipeEffect::MaxCornerDistanceSquared(0, 0, 60, 40));
    EXPECT_FLOAT_EQ(0.0f, oxRadialWipeEffect::MaxCornerDistanceSquared(0, 0, 0, 0));
}

TEST_P(DrawnEffectsTest, PageTurnShowsTheTargetPastTheCylinder) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    auto t = Started(u"pageTurn", from, to);
    oxTransitionEffect* e = t->GetEffect();
    // Outside (0, 1] nothing is drawn and no frame counted.
    for (float a : {0.0f, -0.5f, 1.5f}) {
        EXPECT_FALSE(e->RenderFrame(a)) << a;
        EXPECT_EQ(0, e->FrameCount());
    }
    EXPECT_TRUE(e->RenderFrame(0.5f));
    EXPECT_EQ(1, e->FrameCount());
    // F, the signed distance from the fold line, for the fold point of progress 0.5.
    const float sa = float(std::sin(75.0 * M_PI / 180)), ca = float(std::cos(75.0 * M_PI / 180));
    const float u = (float(W + 50) / float(W)) * 0.5f;
    const float fx = 140.0f + u * float(W), fy = float(H) - (140.0f + u * float(H));
    int uncovered = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float F = (float(y) - fy) * -ca - sa * fx + float(x) * sa;
            if (F < -200.5f) {
                ++uncovered;
                EXPECT_EQ(to.At(x, y), SurfaceAt(e, x, y)) << x << "," << y;
            }
        }
    EXPECT_GT(uncovered, 100);
    EXPECT_LT(uncovered, W * H);
}

TEST(PageTurnTest, TableLookupRoundsToTheNearestOf1024) {
    oxPageTurnEffect e;
    for (auto [x, index] :
         {std::pair{0.25f, 256}, {0.5f, 512}, {0.0f, 0}, {1.0f, 0}, {1023.6f / 1024.0f, 0}, {1023.4f / 1024.0f, 1023}})
        EXPECT_EQ(index, oxPageTurnEffect::TableIndex(x)) << x;
    EXPECT_FLOAT_EQ(float(std::asin(256.0 / 1023.0)), e.TableLookup(0.25f));
    EXPECT_FLOAT_EQ(0.0f, e.TableLookup(1.0f));
}

TEST(PageTurnTest, TheHighlightsPeakLightensTowardWhite) {
    // J = 179 at t = 0.4: a byte 0 becomes 178 and 255 becomes 254; a 5-bit 0 becomes 21 and 31 becomes 30.
    EXPECT_EQ(0xFFB2B2B2u, oxPageTurnEffect::Highlight32(0xFF000000u, 179));
    EXPECT_EQ(0x80FEFEFEu, oxPageTurnEffect::Highlight32(0x80FFFFFFu, 179));
    SetPixelFormatMasks(5, 6, 5);
    EXPECT_EQ(uint16_t(21 << 11 | 21 << 6 | 21), oxPageTurnEffect::Highlight16(0x0000, 179));
    EXPECT_EQ(uint16_t(30 << 11 | 30 << 6 | 30), oxPageTurnEffect::Highlight16(0xFFFF, 179));
    EXPECT_EQ(uint16_t(0x1234), oxPageTurnEffect::Highlight16(0x1234, 15)) << "j = 1 lights nothing";
    SetPixelFormatMasks(0, 0, 0);
}

// Odd and tiny sizes, progress outside [0, 1] (a swinging curve) and many angles: every frame
// stays inside its pictures (the sanitizer build checks each access) and finishes on the target.
TEST_P(DrawnEffectsTest, StrangeSizesAndProgressStayInsideThePictures) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {3, 2}, {61, 41}, {7, 300}}) {
        const int layout = Bpp() == 16 ? kLayoutRgb565 : kLayoutUnspecified;
        TestSurface from(w, h, Bpp(), layout), to(w, h, Bpp(), layout);
        if (Bpp() == 16) {
            from.Fill16(0x1234), to.Fill16(0xFEDC);
        } else {
            from.Fill32(0xFF102030u), to.Fill32(0xFFF0E0D0u);
        }
        for (const WCHAR* key : kKeys) {
            oxTransition t;
            ASSERT_TRUE(t.CreateEffect(key));
            oxTransitionEffect* e = t.GetEffect();
            for (unsigned seed = 0; seed < 12; ++seed) {
                std::srand(seed);
                ASSERT_TRUE(e->Start(from.buffer, to.buffer, nullptr, false));
                for (float a : {0.0f, 0.01f, 0.3f, -0.2f, 0.77f, 1.0f, 1.3f, 0.999f})
                    e->RenderFrame(a);
                e->Finish();
                const oxPixelBuffer& s = e->Surface().Target();
                const uint32_t want = Bpp() == 16 ? 0xFEDCu : 0xFFF0E0D0u;
                EXPECT_EQ(want, Bpp() == 16 ? s.GetRow16(h - 1)[w - 1] : s.GetRow32(h - 1)[w - 1]) << Name(key);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawnEffectsTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param) + "bit"; });
