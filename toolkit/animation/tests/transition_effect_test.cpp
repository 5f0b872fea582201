// The transition effect base: the interlaced cross-fade, the exact final frame, the update items
// and how Paint splits them so that every DC pixel is painted once, from the latest item over it.
#include "toolkit/animation/transition_effect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/tests/raster_test_util.h"
#include "platform/win/gdi.h"

namespace {

constexpr uint32_t kSource = 0xFF000000u;
constexpr uint32_t kTarget = 0xFFFFFFFFu;

// A top-down 32-bit memory DC of w x h, cleared.
struct MemoryDC {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int32_t width;

    MemoryDC(int32_t w, int32_t h) : width(w) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* p = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        std::memset(bits, 0x80, size_t(w) * h * 4);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
    }
    ~MemoryDC() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    uint32_t At(int x, int y) const { return bits[y * width + x] & 0xFFFFFFu; }
};

struct Pictures {
    TestSurface source{8, 4, 32};
    TestSurface target{8, 4, 32};
    Pictures() {
        source.Fill32(kSource);
        target.Fill32(kTarget);
    }
};

uint32_t SurfaceAt(oxTransitionEffect& e, int x, int y) {
    return e.Surface().Target().GetRow32(y)[x];
}

oxUpdateItem Item(int32_t kind, RECT source, RECT destination) {
    oxUpdateItem item;
    item.kind = kind;
    item.source = source;
    item.destination = destination;
    return item;
}

} // namespace

TEST(TransitionEffectTest, TheCrossFadeInterlacesItsRowsAndTheFinalFrameIsTheTarget) {
    Pictures p;
    oxTransitionEffect e;
    EXPECT_STREQ("Base Transition", e.GetName());
    ASSERT_TRUE(e.Start(p.source.buffer, p.target.buffer, nullptr, false));
    EXPECT_EQ(32, e.Surface().Target().bpp);
    EXPECT_EQ(kSource, SurfaceAt(e, 3, 2)); // the source is on the surface at the start

    ASSERT_TRUE(e.RenderFrame(0.5f));
    const uint32_t half = SurfaceAt(e, 0, 1);
    EXPECT_NE(kSource, half);
    EXPECT_NEAR(0x80, int(half & 0xFF), 1);
    EXPECT_EQ(kSource, SurfaceAt(e, 0, 0)); // frame 0 leaves the other rows
    EXPECT_EQ(half, SurfaceAt(e, 7, 3));
    ASSERT_EQ(1u, e.UpdateItems().size());
    EXPECT_EQ(2, e.UpdateItems()[0].kind);
    EXPECT_EQ(8, e.UpdateItems()[0].destination.right);

    // A frame counted without drawing changes nothing but the row parity of the next one.
    e.DrawProgress(0.75f, false);
    EXPECT_EQ(2, e.FrameCount());
    EXPECT_FLOAT_EQ(0.75f, e.Progress());
    EXPECT_EQ(kSource, SurfaceAt(e, 0, 0));
    e.RenderFrame(0.5f); // frame 2 draws the rows of frame 0 again
    EXPECT_EQ(kSource, SurfaceAt(e, 0, 0));
    e.RenderFrame(0.5f);
    EXPECT_EQ(half, SurfaceAt(e, 0, 0));

    ASSERT_TRUE(e.Finish());
    EXPECT_EQ(1.0f, e.Progress());
    EXPECT_EQ(4, e.FrameCount());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(kTarget, SurfaceAt(e, x, y)) << x << "," << y;

    // A second run starts over from the source on the same surface.
    ASSERT_TRUE(e.Start(p.source.buffer, p.target.buffer, nullptr, false));
    EXPECT_EQ(0, e.FrameCount());
    EXPECT_EQ(kSource, SurfaceAt(e, 0, 0));
}

TEST(TransitionEffectTest, ASixteenBitSourceGivesASixteenBitSurface) {
    TestSurface source(6, 3, 16), target(6, 3, 16);
    oxTransitionEffect e;
    ASSERT_TRUE(e.Start(source.buffer, target.buffer, nullptr, false));
    EXPECT_EQ(16, e.Surface().Target().bpp);
    EXPECT_EQ(6, e.Surface().Target().width);
}

TEST(TransitionEffectTest, UpdateItemsAreRemovedAndConvertedByKind) {
    oxTransitionEffect e;
    const RECT a{0, 0, 2, 2}, b{4, 4, 6, 6}, c{1, 1, 3, 3};
    struct Case {
        void (oxTransitionEffect::*step)(bool);
        bool flag;
        std::vector<int32_t> kinds;
    };
    const Case cases[] = {
        {&oxTransitionEffect::RemoveUpdateItems, true, {1, 2, 1}},
        {&oxTransitionEffect::RemoveUpdateItems, false, {0, 2, 0}},
        {&oxTransitionEffect::ConvertUpdateItems, true, {0, 0, 2, 0, 0}},
        {&oxTransitionEffect::ConvertUpdateItems, false, {1, 1, 2, 1, 1}},
        {&oxTransitionEffect::RecastUpdateItems, true, {0, 2, 0}},
        {&oxTransitionEffect::RecastUpdateItems, false, {1, 2, 1}},
    };
    for (const Case& k : cases) {
        e.ClearUpdateItems();
        e.AddUpdateItem(Item(0, a, b));
        e.AddUpdateItem(Item(1, a, b));
        e.AddUpdateItem(Item(2, a, b));
        e.AddUpdateItem(Item(0, c, c));
        e.AddUpdateItem(Item(1, a, b));
        (e.*k.step)(k.flag);
        std::vector<int32_t> kinds;
        for (const oxUpdateItem& item : e.UpdateItems())
            kinds.push_back(item.kind);
        EXPECT_EQ(k.kinds, kinds);
    }
    // A converted item repaints its own place: its source becomes its destination.
    e.SetUpdateItem(Item(1, a, b));
    e.ConvertUpdateItems(true);
    EXPECT_EQ(4, e.UpdateItems()[0].source.left);

    e.SetArea(RECT{10, 20, 50, 80});
    EXPECT_EQ(0, e.Clip().left);
    EXPECT_EQ(40, e.Clip().right);
    EXPECT_EQ(60, e.Clip().bottom);
}

TEST(TransitionEffectTest, OverlappingItemsPaintTheOverlapFromTheLaterOneOnly) {
    Pictures p;
    oxTransitionEffect e;
    ASSERT_TRUE(e.Start(p.source.buffer, p.target.buffer, nullptr, false));
    e.Finish(); // the surface shows the target

    // The source over columns 0-5, then the surface (target) over columns 4-7 of rows 1-2.
    e.SetUpdateItem(Item(0, RECT{0, 0, 6, 4}, RECT{0, 0, 6, 4}));
    e.AddUpdateItem(Item(2, RECT{4, 1, 8, 3}, RECT{4, 1, 8, 3}));
    MemoryDC dc(8, 4);
    e.PaintToDC(dc.dc, true);
    EXPECT_EQ(0x000000u, dc.At(5, 0)); // source only
    EXPECT_EQ(0xFFFFFFu, dc.At(5, 1)); // the later item wins
    EXPECT_EQ(0xFFFFFFu, dc.At(7, 2));
    EXPECT_EQ(0x808080u, dc.At(7, 0)); // no item: untouched
    EXPECT_EQ(0x000000u, dc.At(0, 3));

    // A kind-1 piece copied from elsewhere in the target, moved by the origin.
    MemoryDC moved(8, 4);
    e.SetOrigin(2, 1);
    e.SetUpdateItem(Item(1, RECT{0, 0, 2, 2}, RECT{0, 0, 2, 2}));
    e.PaintToDC(moved.dc, true);
    EXPECT_EQ(0xFFFFFFu, moved.At(2, 1));
    EXPECT_EQ(0xFFFFFFu, moved.At(3, 2));
    EXPECT_EQ(0x808080u, moved.At(1, 1));
    EXPECT_EQ(0x808080u, moved.At(4, 1));

    // Without items the whole surface goes, at the origin.
    MemoryDC whole(12, 6);
    e.ClearUpdateItems();
    e.PaintToDC(whole.dc, true);
    EXPECT_EQ(0xFFFFFFu, whole.At(2, 1));
    EXPECT_EQ(0xFFFFFFu, whole.At(9, 4));
    EXPECT_EQ(0x808080u, whole.At(1, 1));
    EXPECT_EQ(0x808080u, whole.At(10, 4));
}
