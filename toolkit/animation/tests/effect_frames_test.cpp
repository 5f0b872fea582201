// The frames of every effect of the factory between two known pictures at both depths: at progress
// 0 and 1 each shows its source or its target pixel for pixel; middle frames are kept as one golden
// grid per depth and checked at points computed from the effects' geometry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/tests/golden.h"
#include "platform/win/screen.h"
#include "toolkit/animation/tests/effect_pictures.h"
#include "toolkit/animation/tests/screen_depth_test.h"
#include "toolkit/animation/transition.h"

namespace {

using namespace effect_pictures;

const WCHAR* const kKeys[] = {
    u"pushLeft",        u"pushRight",      u"pushUp",     u"pushDown",    u"slideCoverLeft", u"slideCoverUp",
    u"slideCoverRight", u"slideCoverDown", u"squashLeft", u"squashRight", u"squashDown",     u"squashUp",
    u"zoomIn",          u"zoomOut",        u"spinCWIn",   u"spinCCWIn",   u"spinCWOut",      u"spinCCWOut",
    u"spinCW",          u"spinCCW",        u"",           u"dissolve"};

class EffectFramesTest : public ScreenDepthTest {};

} // namespace

TEST_P(EffectFramesTest, ProgressZeroShowsTheSourceAndOneTheTarget) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    for (const WCHAR* key : kKeys) {
        // The turning effect without zoom shows the target at full size from the start (its four
        // turns make it upright), so it starts on the target.
        const bool turnsAtFullSize = Name(key) == "spinCW" || Name(key) == "spinCCW";
        // A turned picture passes through the textured fill, which on 16 bits dithers each channel
        // to five bits: those frames match within one such step (the run's last frame is exact).
        const bool turned = Name(key).rfind("spin", 0) == 0;
        for (float a : {0.0f, 1.0f}) {
            auto t = Started(key, from, to);
            oxTransitionEffect* e = t->GetEffect();
            e->RenderFrame(a);
            if (Name(key) == "" || Name(key) == "(base)" || Name(key) == "dissolve") e->RenderFrame(a); // both rows
            const Picture& want = (a == 1.0f || turnsAtFullSize) ? to : from;
            int wrong = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    wrong += !Near(SurfaceAt(e, x, y), want.At(x, y), turned && Bpp() == 16 ? 8 : 0);
            EXPECT_EQ(0, wrong) << Name(key) << " at " << a << ", " << Bpp() << " bits";
        }
    }
}

TEST_P(EffectFramesTest, MiddleFramesMatchTheirGoldenGrid) {
    // Five effects a row, 2 pixels apart; the turning effects at 0.55, where a turn shows (at 0.5
    // they stand upright), the others at 0.5; the cross-fades two frames, one per row parity.
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    constexpr int kColumns = 5, kGap = 2;
    const int rows = int((std::size(kKeys) + kColumns - 1) / kColumns);
    TestSurface grid((W + kGap) * kColumns, (H + kGap) * rows, Bpp(), Bpp() == 16 ? kLayoutRgb565 : kLayoutUnspecified);
    for (size_t i = 0; i < std::size(kKeys); ++i) {
        const std::string name = Name(kKeys[i]);
        auto t = Started(kKeys[i], from, to);
        oxTransitionEffect* e = t->GetEffect();
        const float a = name.rfind("spin", 0) == 0 ? 0.55f : 0.5f;
        e->RenderFrame(a);
        if (name == "(base)" || name == "dissolve") e->RenderFrame(a);
        PasteSurface(grid, int(i % kColumns) * (W + kGap), int(i / kColumns) * (H + kGap), e);
    }
    EXPECT_TRUE(MatchesGolden(grid.buffer, "effect_frames_" + std::to_string(Bpp())));
}

TEST_P(EffectFramesTest, MiddleFramesStandWhereTheGeometrySays) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    auto at = [&](const WCHAR* key, float a) {
        auto t = Started(key, from, to);
        t->GetEffect()->RenderFrame(a);
        return t;
    };
    // Pushed halfway to the left: the source's right half on the left, the target's left half on
    // the right; the target's green column starts 6 pixels after the edge at x = 30.
    auto push = at(u"pushLeft", 0.5f);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint32_t want = x < 30 ? from.At(x + 30, y) : to.At(x - 30, y);
            ASSERT_EQ(want, SurfaceAt(push->GetEffect(), x, y)) << x << "," << y;
        }
    // Pushed down a quarter: rows 0-9 are the target's last ten, then the source from its top.
    auto down = at(u"pushDown", 0.25f);
    EXPECT_EQ(to.At(20, 30), SurfaceAt(down->GetEffect(), 20, 0));
    EXPECT_EQ(from.At(20, 0), SurfaceAt(down->GetEffect(), 20, 10));
    // Covered halfway from the right: the source stays on the left half, the target's edge at 30.
    auto cover = at(u"slideCoverLeft", 0.5f);
    EXPECT_EQ(from.At(29, 5), SurfaceAt(cover->GetEffect(), 29, 5));
    EXPECT_EQ(to.At(0, 5), SurfaceAt(cover->GetEffect(), 30, 5));
    EXPECT_EQ(to.At(29, 39), SurfaceAt(cover->GetEffect(), 59, 39));
    // Squashed halfway to the left: the source squeezed into x < 30 (its yellow column now 4 wide),
    // the target into x >= 30 (its green column now from 33 to 36).
    auto squash = at(u"squashLeft", 0.5f);
    EXPECT_EQ(from.At(0, 5), SurfaceAt(squash->GetEffect(), 3, 5));
    EXPECT_EQ(from.At(20, 5), SurfaceAt(squash->GetEffect(), 4, 5));
    EXPECT_EQ(to.At(20, 30), SurfaceAt(squash->GetEffect(), 30, 30));
    EXPECT_EQ(to.At(6, 30), SurfaceAt(squash->GetEffect(), 34, 30));
    // Zoomed in halfway: the target at half size in (15, 10)-(45, 30), the source around it.
    auto zoom = at(u"zoomIn", 0.5f);
    EXPECT_EQ(from.At(14, 20), SurfaceAt(zoom->GetEffect(), 14, 20));
    EXPECT_EQ(to.At(0, 0), SurfaceAt(zoom->GetEffect(), 15, 10));
    EXPECT_EQ(to.At(3, 20), SurfaceAt(zoom->GetEffect(), 16, 20)) << "the green column at half width";
    EXPECT_EQ(from.At(45, 20), SurfaceAt(zoom->GetEffect(), 45, 20));
    // Zoomed out a quarter: the source at three quarters, the target around it.
    auto out = at(u"zoomOut", 0.25f);
    EXPECT_EQ(to.At(7, 5), SurfaceAt(out->GetEffect(), 7, 5));
    EXPECT_EQ(from.At(0, 0), SurfaceAt(out->GetEffect(), 8, 5));
    // Turning at full size, 288 degrees left to go at 0.55: the corners show the source behind, the
    // centre the target's.
    auto spin = at(u"spinCW", 0.55f);
    EXPECT_EQ(from.At(0, 0), SurfaceAt(spin->GetEffect(), 0, 0));
    EXPECT_EQ(from.At(59, 39), SurfaceAt(spin->GetEffect(), 59, 39));
    EXPECT_EQ(to.At(30, 20), SurfaceAt(spin->GetEffect(), 30, 20));
}

INSTANTIATE_TEST_SUITE_P(Depths, EffectFramesTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param) + "bit"; });
