// The tile effects (puzzle, SuperBLT, gizmo, spiral, spring) move update items instead of drawing:
// each frame's items are laid over a picture of the screen the way a paint copies them (later items
// win), so the screen's picture can be checked at the run's start, middle and end.
#include "toolkit/animation/tile_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/tests/golden.h"
#include "platform/backend/headless.h"
#include "toolkit/animation/tests/effect_pictures.h"
#include "toolkit/animation/tests/screen_depth_test.h"

namespace {

using namespace effect_pictures;

bool EqualRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

const WCHAR* const kKeys[] = {u"puzzle", u"super", u"gizmo", u"spiral", u"spring"};

// The screen a run paints into, starting as the source picture.
struct Screen {
    TestSurface pixels;
    explicit Screen(const Picture& start)
        : pixels(W, H, start.surface->buffer.bpp, start.surface->buffer.bpp == 16 ? kLayoutRgb565 : 0) {
        for (int y = 0; y < H; ++y)
            std::memcpy(pixels.buffer.GetRow8(y), start.surface->buffer.GetRow8(y),
                        size_t(W) * (pixels.buffer.bpp / 8));
    }
    uint32_t At(int x, int y) const {
        return pixels.buffer.bpp == 16 ? pixels.buffer.GetRow16(y)[x] : pixels.buffer.GetRow32(y)[x];
    }
    // Each item copies its picture's pixels to its destination, the offset between its two
    // rectangles kept; the parts that fall outside the screen or the picture are cut.
    void Paint(oxTransitionEffect* e, const Picture& from, const Picture& to) {
        for (const oxUpdateItem& item : e->UpdateItems()) {
            const int ox = item.source.left - item.destination.left, oy = item.source.top - item.destination.top;
            for (int y = std::max<int>(item.destination.top, 0); y < std::min<int>(item.destination.bottom, H); ++y)
                for (int x = std::max<int>(item.destination.left, 0); x < std::min<int>(item.destination.right, W);
                     ++x) {
                    const int sx = x + ox, sy = y + oy;
                    if (sx < 0 || sy < 0 || sx >= W || sy >= H) continue;
                    const uint32_t p = item.kind == 0   ? from.At(sx, sy)
                                       : item.kind == 1 ? to.At(sx, sy)
                                                        : SurfaceAt(e, sx, sy);
                    if (pixels.buffer.bpp == 16)
                        pixels.buffer.GetRow16(y)[x] = uint16_t(p);
                    else
                        pixels.buffer.GetRow32(y)[x] = p;
                }
        }
    }
    int Differences(const Picture& want, int rows = H) const {
        int n = 0;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < W; ++x)
                n += At(x, y) != want.At(x, y);
        return n;
    }
};

class TileEffectsTest : public ScreenDepthTest {
protected:
    void SetUp() override {
        ScreenDepthTest::SetUp();
        // The puzzle's and SuperBLT's seeds come from the tick count, the gizmo's from the generator.
        platform::headless::UseVirtualClock(5800);
        std::srand(58);
    }
    void TearDown() override {
        platform::headless::UseRealClock();
        ScreenDepthTest::TearDown();
    }
};

// The frames of a run from 0 up to `end` in steps of 1/32, each painted.
void RunTo(oxTransitionEffect* e, Screen& screen, const Picture& from, const Picture& to, float end) {
    for (int i = 0; i <= 32 && float(i) / 32.0f <= end; ++i) {
        e->RenderFrame(float(i) / 32.0f);
        screen.Paint(e, from, to);
    }
}

uint32_t ScreenPixel(void* s, int x, int y) {
    return static_cast<Screen*>(s)->At(x, y);
}

} // namespace

TEST_P(TileEffectsTest, AtTheStartEveryTileIsAtHomeAndTheEndShowsTheTarget) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    // What each grid covers of the 60 x 40 picture: SuperBLT's 12 rows of 3 leave the last 4 rows
    // to the run's last frame.
    struct Case {
        const WCHAR* key;
        const char* name;
        int tiles, coveredRows;
    };
    for (const Case& c :
         {Case{u"puzzle", "Puzzle", 64, H}, Case{u"super", "SuperBLT", 144, 36}, Case{u"gizmo", "Gizmo", 30, H},
          Case{u"spiral", "Spiral", 16, H}, Case{u"spring", "Spring", 5, H}}) {
        auto t = Started(c.key, from, to);
        oxTransitionEffect* e = t->GetEffect();
        EXPECT_STREQ(c.name, e->GetName());
        Screen screen(to);
        e->RenderFrame(0.0f);
        ASSERT_EQ(size_t(c.tiles), e->UpdateItems().size()) << c.name;
        for (const oxUpdateItem& item : e->UpdateItems()) {
            EXPECT_EQ(0, item.kind);
            EXPECT_TRUE(EqualRect(item.source, item.destination)) << c.name;
        }
        screen.Paint(e, from, to);
        EXPECT_EQ(0, screen.Differences(from, c.coveredRows)) << c.name << ": the union of the tiles is the source";
        // Every tile but the spiral's has left the picture at the end, and where a tile left the
        // target shows; the run's Finish then draws the whole target.
        Screen run(from);
        RunTo(e, run, from, to, 1.0f);
        if (std::string(c.name) != "Spiral") {
            EXPECT_EQ(0, run.Differences(to, c.coveredRows)) << c.name;
        }
        e->Finish();
        run.Paint(e, from, to);
        EXPECT_EQ(0, run.Differences(to)) << c.name;
    }
}

TEST_P(TileEffectsTest, MiddleFramesMatchTheirGoldenGrid) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    FrameGrid grid(Bpp(), int(std::size(kKeys)), 5);
    int i = 0;
    for (const WCHAR* key : kKeys) {
        auto t = Started(key, from, to);
        Screen screen(from);
        RunTo(t->GetEffect(), screen, from, to, 0.5f);
        grid.Put(i++, ScreenPixel, &screen);
    }
    EXPECT_TRUE(MatchesGolden(grid.grid.buffer, "tile_effects_" + std::to_string(Bpp())));
}

TEST_P(TileEffectsTest, ARunRepeatsItsRandomDrawsAndTheNextRunDrawsAnew) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    for (const WCHAR* key : {u"puzzle", u"super", u"gizmo", u"spiral"}) {
        auto itemsAt = [&](oxTransitionEffect* e, float a) {
            e->RenderFrame(a);
            std::vector<RECT> tiles;
            for (const oxUpdateItem& item : e->UpdateItems())
                if (item.kind == 0) tiles.push_back(item.destination);
            return tiles;
        };
        auto same = [](const std::vector<RECT>& a, const std::vector<RECT>& b) {
            return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), EqualRect);
        };
        auto t = Started(key, from, to);
        oxTransitionEffect* e = t->GetEffect();
        itemsAt(e, 0.0f);
        const auto middle = itemsAt(e, 0.4f);
        itemsAt(e, 0.45f);
        EXPECT_TRUE(same(middle, itemsAt(e, 0.4f))) << Name(key) << ": the same draws within a run";
        // A run started at the same tick (and generator state) repeats; a later tick moves otherwise.
        std::srand(58);
        auto again = Started(key, from, to);
        const uint32_t seed = static_cast<oxTileEffect*>(e)->Seed();
        std::srand(58);
        itemsAt(again->GetEffect(), 0.0f);
        if (Name(key) != "gizmo") {
            EXPECT_EQ(seed, static_cast<oxTileEffect*>(again->GetEffect())->Seed());
            EXPECT_TRUE(same(middle, itemsAt(again->GetEffect(), 0.4f))) << Name(key);
        }
        platform::CurrentClock().SkipTo(platform::NowMs() + 1);
        std::srand(59);
        itemsAt(again->GetEffect(), 0.0f);
        EXPECT_NE(seed, static_cast<oxTileEffect*>(again->GetEffect())->Seed()) << Name(key);
        EXPECT_FALSE(same(middle, itemsAt(again->GetEffect(), 0.4f))) << Name(key) << ": a new run, new draws";
    }
}

TEST_P(TileEffectsTest, TilesMoveAsTheirCurvesSay) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    auto tiles = [](oxTransitionEffect* e) {
        std::vector<oxUpdateItem> out;
        for (const oxUpdateItem& item : e->UpdateItems())
            if (item.kind == 0) out.push_back(item);
        return out;
    };
    // Spring: band k starts at 0.05 k; at its own end it is exactly H from home, down for even
    // bands and up for odd ones; a band not yet started stays at home.
    auto spring = Started(u"spring", from, to);
    spring->GetEffect()->RenderFrame(0.0f);
    spring->GetEffect()->RenderFrame(0.1f);
    auto bands = tiles(spring->GetEffect());
    ASSERT_EQ(5u, bands.size());
    EXPECT_TRUE(EqualRect(bands[3].source, bands[3].destination));
    EXPECT_TRUE(EqualRect(bands[4].source, bands[4].destination));
    EXPECT_FALSE(EqualRect(bands[0].source, bands[0].destination));
    spring->GetEffect()->RenderFrame(1.0f);
    bands = tiles(spring->GetEffect());
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(k * 8 + (k & 1 ? -H : H), bands[size_t(k)].destination.top) << k;
    // Spiral: at the end each tile is its radius away, 0.5 to 1.5 widths, whatever its angle.
    auto spiral = Started(u"spiral", from, to);
    spiral->GetEffect()->RenderFrame(0.0f);
    spiral->GetEffect()->RenderFrame(1.0f);
    for (const oxUpdateItem& item : tiles(spiral->GetEffect())) {
        const double d = std::hypot(item.destination.left - item.source.left, item.destination.top - item.source.top);
        EXPECT_GE(d, 0.5 * W - 2);
        EXPECT_LE(d, 1.5 * W + 2);
    }
    // Gizmo: strip 0 starts first, strip 29 near 0.48; a strip cut at the left edge shows its own
    // columns, its source the columns from where the edge cuts it.
    auto gizmo = Started(u"gizmo", from, to);
    gizmo->GetEffect()->RenderFrame(0.0f);
    gizmo->GetEffect()->RenderFrame(0.4f);
    auto strips = tiles(gizmo->GetEffect());
    ASSERT_EQ(30u, strips.size());
    EXPECT_TRUE(EqualRect(strips[29].source, strips[29].destination)) << "the last strip waits";
    int cut = 0;
    for (int k = 1; k < 30; k += 2) {
        const oxUpdateItem& s = strips[size_t(k)];
        const int x = k * 2, xm = s.destination.right - 2;
        if (xm < 0 && s.destination.right > 0) {
            ++cut;
            EXPECT_EQ(0, s.destination.left);
            EXPECT_EQ(x - xm, s.source.left) << "strip " << k;
        }
    }
    EXPECT_GT(cut, 0);
    // Puzzle: at 1 as at 0.9999, every tile near the cell below the last row's last column.
    auto puzzle = Started(u"puzzle", from, to);
    puzzle->GetEffect()->RenderFrame(0.0f);
    puzzle->GetEffect()->RenderFrame(1.0f);
    const auto atOne = tiles(puzzle->GetEffect());
    puzzle->GetEffect()->RenderFrame(0.9999f);
    const auto near = tiles(puzzle->GetEffect());
    ASSERT_EQ(64u, atOne.size());
    for (size_t i = 0; i < atOne.size(); ++i) {
        EXPECT_TRUE(EqualRect(atOne[i].destination, near[i].destination));
        EXPECT_GE(atOne[i].destination.top, H) << "below the picture";
    }
}

TEST_P(TileEffectsTest, ReverseModePlaysBackwardsWithTheTargetsTiles) {
    Picture from(Bpp(), SourceAt), to(Bpp(), TargetAt);
    oxSuperBltEffect e(12, 12, 1);
    ASSERT_TRUE(e.Start(from.surface->buffer, to.surface->buffer, nullptr, false));
    e.RenderFrame(1.0f); // reversed: the start, every tile at home
    ASSERT_EQ(144u, e.UpdateItems().size());
    for (const oxUpdateItem& item : e.UpdateItems()) {
        EXPECT_EQ(1, item.kind);
        EXPECT_TRUE(EqualRect(item.source, item.destination));
    }
    Screen screen(from);
    screen.Paint(&e, from, to);
    EXPECT_EQ(0, screen.Differences(to, 36));
    // Halfway the places the tiles left are repainted from the source.
    e.RenderFrame(0.5f);
    int fromSource = 0;
    for (const oxUpdateItem& item : e.UpdateItems())
        fromSource += item.kind == 0;
    EXPECT_EQ(144, fromSource);
}

INSTANTIATE_TEST_SUITE_P(Depths, TileEffectsTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param) + "bit"; });
