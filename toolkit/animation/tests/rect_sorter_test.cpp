// The rectangle sorter between two pictures of rows at both depths: rows in both lists move, new
// rows fade (or grow) in, gone rows fade (or shrink) out, unchanged rows stay; middle frames are
// checked at points and kept as one golden per depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/tests/golden.h"
#include "graphics/tests/raster_test_util.h"
#include "toolkit/animation/rect_sorter_effect.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/tests/screen_depth_test.h"
#include "toolkit/animation/transition.h"

namespace {

constexpr int W = 60, H = 100, kRow = 10;
constexpr uint32_t kGrey = 0xFF808080u, kFill = 0xFF000000u;

// Rows are told apart by their boxes, which the sorter only compares: stand-ins in ascending order.
oxBox* Key(int i) {
    return reinterpret_cast<oxBox*>(uintptr_t(0x1000 + 16 * i));
}
enum { A, B, C, D, E };
constexpr uint32_t kColour[] = {0xFFE03020u, 0xFF20C040u, 0xFF2040E0u, 0xFFE0E020u, 0xFFC020C0u};

struct Row {
    int key, y;
};
// Before: A, B, D, C; after: A stays, D moves up, B moves down, C is gone and E is new.
const std::vector<Row> kBefore = {{A, 0}, {B, 10}, {D, 30}, {C, 60}};
const std::vector<Row> kAfter = {{A, 0}, {B, 50}, {D, 10}, {E, 80}};

uint16_t To565(uint32_t c) {
    return uint16_t(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
}

// The items in key order.
std::vector<oxSnapshotRectItem> Items(const std::vector<Row>& rows) {
    std::vector<oxSnapshotRectItem> items;
    for (const Row& r : rows)
        items.push_back(oxSnapshotRectItem{oxRect{0, r.y, W, kRow}, Key(r.key), 0});
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.box < b.box; });
    return items;
}

struct Picture {
    std::unique_ptr<TestSurface> surface;
    Picture(int bpp, const std::vector<Row>& rows) {
        surface = std::make_unique<TestSurface>(W, H, bpp, bpp == 16 ? kLayoutRgb565 : kLayoutUnspecified);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) Set(x, y, kGrey);
        for (const Row& r : rows)
            for (int y = r.y; y < r.y + kRow; ++y)
                for (int x = 0; x < W; ++x) Set(x, y, kColour[r.key]);
    }
    void Set(int x, int y, uint32_t c) {
        if (surface->buffer.bpp == 16)
            surface->buffer.GetRow16(y)[x] = To565(c);
        else
            surface->buffer.GetRow32(y)[x] = c;
    }
};

class RectSorterTest : public ScreenDepthTest {
protected:
    // The sorter of the key, started between the two pictures with the items built as a run does.
    std::unique_ptr<oxTransition> Started(const WCHAR* key) {
        auto t = std::make_unique<oxTransition>();
        EXPECT_TRUE(t->CreateEffect(key));
        auto* sorter = static_cast<oxRectSorterEffect*>(t->GetEffect());
        sorter->SetSortArea(oxRect{0, 0, W, H});
        sorter->BuildItems(Items(kBefore), Items(kAfter));
        sorter->SetFillColor(kFill);
        EXPECT_TRUE(sorter->Start(from.surface->buffer, to.surface->buffer, nullptr, false));
        return t;
    }
    // The surface pixel as 0x00RRGGBB (16-bit pixels widened from their top five bits).
    uint32_t At(oxTransitionEffect* e, int x, int y) {
        const oxPixelBuffer& b = e->Surface().Target();
        if (b.bpp == 32) return b.GetRow32(y)[x] & 0xFFFFFF;
        const uint32_t p = b.GetRow16(y)[x];
        return ((p >> 11) & 31) << 19 | ((p >> 6) & 31) << 11 | (p & 31) << 3;
    }
    // Each channel of `got` within one 16-bit step of `share` of the colour (0 black .. 1 itself).
    ::testing::AssertionResult Near(uint32_t got, uint32_t colour, float share) {
        for (int shift : {0, 8, 16}) {
            const int want = int(float((colour >> shift) & 0xFF) * share), have = int((got >> shift) & 0xFF);
            if (std::abs(want - have) > 9)
                return ::testing::AssertionFailure() << std::hex << got << " is not " << share << " of " << colour;
        }
        return ::testing::AssertionSuccess();
    }

    Picture from{GetParam(), kBefore}, to{GetParam(), kAfter};
};

} // namespace

TEST(RectSorterItemsTest, ItemsAreMatchedByBoxAndClippedToTheArea) {
    oxRectSorterEffect sorter;
    sorter.BuildItems(Items(kBefore), Items(kAfter));
    // New first, then gone, then those in both in the after list's order.
    const std::vector<std::pair<int32_t, int32_t>> kindAndY = {
        {oxRectSorterEffect::kAppearing, 80},
        {oxRectSorterEffect::kDisappearing, 60},
        {oxRectSorterEffect::kUnchanged, 0},
        {oxRectSorterEffect::kMoving, 50},
        {oxRectSorterEffect::kMoving, 10},
    };
    ASSERT_EQ(kindAndY.size(), sorter.Items().size());
    for (size_t i = 0; i < kindAndY.size(); ++i) {
        EXPECT_EQ(kindAndY[i].first, sorter.Items()[i].kind) << i;
        EXPECT_EQ(kindAndY[i].second, sorter.Items()[i].rect.y) << i;
    }
    EXPECT_EQ(10, sorter.Items()[3].from.y) << "B moves from 10";
    EXPECT_EQ(30, oxRectSorterEffect::PositionAt(sorter.Items()[3], 0.5f).y);
    EXPECT_EQ(20, oxRectSorterEffect::PositionAt(sorter.Items()[4], 0.5f).y);

    // Shown only down to 45: E is left out, C is left out, B leaves the area and fades out at 10.
    sorter.SetSortArea(oxRect{0, 0, W, 45});
    sorter.BuildItems(Items(kBefore), Items(kAfter));
    ASSERT_EQ(3u, sorter.Items().size());
    EXPECT_EQ(oxRectSorterEffect::kDisappearing, sorter.Items()[1].kind);
    EXPECT_EQ(10, sorter.Items()[1].rect.y);

    // Lists in any order of their boxes match the same way: rows come in row order, not address order.
    std::vector<oxSnapshotRectItem> backwards = Items(kBefore);
    std::reverse(backwards.begin(), backwards.end());
    sorter.SetSortArea(oxRect{});
    sorter.BuildItems(backwards, Items(kAfter));
    int kinds[4] = {};
    for (const auto& item : sorter.Items())
        ++kinds[item.kind];
    EXPECT_EQ(2, kinds[oxRectSorterEffect::kMoving]);
    EXPECT_EQ(1, kinds[oxRectSorterEffect::kAppearing]);
    EXPECT_EQ(1, kinds[oxRectSorterEffect::kDisappearing]);
    EXPECT_EQ(1, kinds[oxRectSorterEffect::kUnchanged]);
}

TEST_P(RectSorterTest, HalfwayRowsStandBetweenTheirPlacesAndNewAndGoneOnesAreHalfFaded) {
    auto t = Started(u"rectSorter");
    oxTransitionEffect* e = t->GetEffect();
    e->RenderFrame(0.0f);
    EXPECT_TRUE(Near(At(e, 5, 85), kColour[E], 0.0f)) << "a new row is invisible at 0";
    EXPECT_TRUE(Near(At(e, 5, 65), kColour[C], 1.0f)) << "a gone row is whole at 0";
    e->RenderFrame(0.5f);
    EXPECT_TRUE(Near(At(e, 5, 5), kColour[A], 1.0f)) << "unchanged";
    EXPECT_TRUE(Near(At(e, 5, 21), kColour[D], 1.0f)) << "D halfway from 30 up to 10";
    EXPECT_TRUE(Near(At(e, 5, 29), kColour[D], 1.0f));
    EXPECT_TRUE(Near(At(e, 5, 31), kColour[B], 1.0f)) << "B halfway from 10 down to 50";
    EXPECT_TRUE(Near(At(e, 5, 39), kColour[B], 1.0f));
    EXPECT_TRUE(Near(At(e, 5, 15), kFill, 1.0f)) << "B's old place, vacated, shows the fill";
    EXPECT_TRUE(Near(At(e, 5, 45), kGrey, 1.0f)) << "untouched by any item";
    EXPECT_TRUE(Near(At(e, 30, 65), kColour[C], 0.5f)) << "gone, half faded over the fill";
    EXPECT_TRUE(Near(At(e, 30, 85), kColour[E], 0.5f)) << "new, half faded in";
    e->RenderFrame(0.75f);
    EXPECT_TRUE(Near(At(e, 5, 25), kFill, 1.0f)) << "D's place of the last frame is erased";
    EXPECT_TRUE(Near(At(e, 5, 16), kColour[D], 1.0f)) << "D at 15";
    e->RenderFrame(1.0f);
    EXPECT_TRUE(Near(At(e, 5, 85), kColour[E], 1.0f)) << "a new row is opaque at 1";
    EXPECT_TRUE(Near(At(e, 5, 55), kColour[B], 1.0f));
}

TEST_P(RectSorterTest, ZoomedNewAndGoneRowsGrowAndShrinkAboutTheirCentres) {
    auto t = Started(u"rectSorterZoom");
    oxTransitionEffect* e = t->GetEffect();
    e->RenderFrame(0.5f);
    // Half size about the centre: 60 x 10 becomes (15, 62) to (45, 68), whole colour inside.
    for (int y : {60, 80}) {
        const uint32_t colour = kColour[y == 60 ? C : E];
        EXPECT_TRUE(Near(At(e, 15, y + 2), colour, 1.0f)) << y;
        EXPECT_TRUE(Near(At(e, 44, y + 7), colour, 1.0f)) << y;
        EXPECT_TRUE(Near(At(e, 14, y + 5), kFill, 1.0f)) << y;
        EXPECT_TRUE(Near(At(e, 30, y + 1), kFill, 1.0f)) << y;
        EXPECT_TRUE(Near(At(e, 45, y + 5), kFill, 1.0f)) << y;
    }
    EXPECT_TRUE(Near(At(e, 5, 21), kColour[D], 1.0f)) << "moving rows move as without zoom";
    e->RenderFrame(0.75f);
    // The new row at three quarters of its size: 7 and 1 less each side; the gone one at a quarter:
    // 22 and 3 less.
    EXPECT_TRUE(Near(At(e, 7, 81), kColour[E], 1.0f));
    EXPECT_TRUE(Near(At(e, 6, 81), kFill, 1.0f));
    EXPECT_TRUE(Near(At(e, 22, 63), kColour[C], 1.0f));
    EXPECT_TRUE(Near(At(e, 21, 63), kFill, 1.0f));
    EXPECT_TRUE(Near(At(e, 38, 63), kFill, 1.0f));
}

TEST_P(RectSorterTest, AFlaggedUnchangedRowIsDrawnOverMovingOnes) {
    // A, flagged and narrow, stays at 10; D moves from 0 down to 30, through A.
    std::vector<oxSnapshotRectItem> before = {{oxRect{0, 10, 30, kRow}, Key(A), 1}, {oxRect{0, 0, W, kRow}, Key(D), 0}};
    std::vector<oxSnapshotRectItem> after = {{oxRect{0, 10, 30, kRow}, Key(A), 1}, {oxRect{0, 30, W, kRow}, Key(D), 0}};
    Picture target(Bpp(), {{D, 30}});
    for (int y = 10; y < 10 + kRow; ++y)
        for (int x = 0; x < 30; ++x) target.Set(x, y, kColour[A]);
    oxTransition t;
    ASSERT_TRUE(t.CreateEffect(u"rectSorter"));
    auto* sorter = static_cast<oxRectSorterEffect*>(t.GetEffect());
    sorter->BuildItems(before, after);
    sorter->SetFillColor(kFill);
    ASSERT_TRUE(sorter->Start(from.surface->buffer, target.surface->buffer, nullptr, false));
    sorter->RenderFrame(0.5f); // D at 15..25, A on it at 10..20 on the left
    EXPECT_TRUE(Near(At(sorter, 5, 17), kColour[A], 1.0f));
    EXPECT_TRUE(Near(At(sorter, 40, 17), kColour[D], 1.0f));
    EXPECT_TRUE(Near(At(sorter, 5, 22), kColour[D], 1.0f));
}

TEST_P(RectSorterTest, MiddleFramesMatchTheirGolden) {
    // The plain sorter at 0.5, then the zoomed one, 2 pixels apart.
    TestSurface grid(W * 2 + 2, H, Bpp(), Bpp() == 16 ? kLayoutRgb565 : kLayoutUnspecified);
    int column = 0;
    for (const WCHAR* key : {u"rectSorter", u"rectSorterZoom"}) {
        auto t = Started(key);
        t->GetEffect()->RenderFrame(0.5f);
        const oxPixelBuffer& b = t->GetEffect()->Surface().Target();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (Bpp() == 16)
                    grid.buffer.GetRow16(y)[column + x] = b.GetRow16(y)[x];
                else
                    grid.buffer.GetRow32(y)[column + x] = b.GetRow32(y)[x];
        column += W + 2;
    }
    EXPECT_TRUE(MatchesGolden(grid.buffer, "rect_sorter_" + std::to_string(Bpp())));
}

INSTANTIATE_TEST_SUITE_P(Depths, RectSorterTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& i) { return std::to_string(i.param) + "bit"; });
