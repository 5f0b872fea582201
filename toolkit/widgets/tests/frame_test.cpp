#include "toolkit/widgets/frame.h"

#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/region.h"
#include "platform/win/screen.h"
#include "platform/win/window_paint.h"
#include "toolkit/core/layout.h"
#include "toolkit/widgets/region.h"
#include "toolkit/widgets/tests/frame_test_scene.h"

namespace {

using platform::headless::RunUntilIdle;

uint32_t Rgb(uint32_t argb) {
    return argb & 0xFFFFFF;
}

// Frames over a small screen of either format; the host window sits at the screen's origin.
class FrameTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        platform::headless::UseVirtualClock(1000);
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{80, 60, GetParam(), false, 96}));
        scene = std::make_unique<test::Scene>();
        scene->host->Create(false);
        ASSERT_TRUE(scene->host->GetWindow());
    }
    void TearDown() override {
        scene.reset();
        RunUntilIdle();
        ConfigureScreen(ScreenConfigFromEnvironment());
        platform::headless::UseRealClock();
    }
    // What the screen shows, as the screen's format keeps the colour.
    uint32_t Kept(uint32_t argb) const {
        const uint32_t rgb = Rgb(argb);
        if (GetParam() == 32) return rgb;
        const uint32_t r = (rgb >> 19) & 31, g = (rgb >> 10) & 63, b = (rgb >> 3) & 31;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    uint32_t At(int x, int y) const { return ReadScreenPixel(x, y); }
    // Counts the pixels a step writes onto the screen.
    template <typename F> uint64_t Written(F step) {
        const uint64_t before = ScreenPixelsWritten();
        step();
        return ScreenPixelsWritten() - before;
    }

    std::unique_ptr<test::Scene> scene;
};

TEST_P(FrameTest, TheFirstUpdatePaintsTheWholeClientArea) {
    // Showing the window asks for erasing, which the frame turns into its first update.
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 60u * 50u);
    EXPECT_EQ(At(0, 0), Kept(0x202020));
    EXPECT_EQ(At(59, 49), Kept(0x202020));
    EXPECT_EQ(At(60, 49), 0u) << "outside the window";
    EXPECT_EQ(scene->updates, 1);
    EXPECT_EQ(scene->paintsFinished, 1);
    // A full repaint leaves the boxes' marks: the root, marked since it was made, paints once more.
    scene->host->Invalidate(nullptr, false);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 60u * 50u);
    scene->host->Invalidate(nullptr, false);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 0u) << "nothing is dirty";
    EXPECT_EQ(scene->updates, 3);
}

TEST_P(FrameTest, InvalidatingRepaintsExactlyTheDirtyRectangles) {
    oxBox* a = scene->Add(scene->root, {10, 10, 10, 10}, 0xFFFF0000);
    scene->host->Invalidate(nullptr, true);
    RunUntilIdle();
    ASSERT_EQ(At(10, 10), Kept(0xFF0000));

    // Two invalidations before the update: one update, each rectangle one unit wider and taller.
    const int updates = scene->updates;
    scene->looks[a].colour = 0xFF00FF00;
    const oxRect r{10, 10, 10, 10};
    scene->host->Invalidate(&r, false);
    scene->host->Invalidate(&r, false);
    EXPECT_TRUE(scene->host->IsUpdatePosted());
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 11u * 11u);
    EXPECT_EQ(scene->updates, updates + 1);
    EXPECT_EQ(At(19, 19), Kept(0x00FF00));
    EXPECT_EQ(At(20, 20), Kept(0x202020));

    // A box marked for repaint adds where it was painted and where it is now.
    scene->looks[a].rect = oxRect{30, 10, 10, 10};
    scene->Restyle(a, 0xFF0000FF);
    scene->host->Invalidate(nullptr, false);
    // The two rectangles lie within the merging distance: their union is painted once.
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 31u * 11u);
    EXPECT_EQ(At(30, 10), Kept(0x0000FF));
    EXPECT_EQ(At(15, 15), Kept(0x202020)) << "where the box was is painted over";
    EXPECT_FALSE(a->TestChangeFlags(kChangeRepaintPending));
    EXPECT_FALSE(scene->root->TestChangeFlags(kChangeSubtreeDirty));
}

// Under a layout that shows one child at a time only the shown child adds its area; the others keep
// their marks for when they are shown.
TEST_P(FrameTest, OnlyTheShownChildOfADeckAddsItsArea) {
    struct ShowsSecond : oxLayout {
        int32_t GetCurrentIndex(oxBox*) const override { return 1; }
    };
    oxBox* deck = scene->Add(scene->root, {0, 0, 60, 50}, 0xFF202020);
    deck->SetLayout(new ShowsSecond);
    oxBox* hidden = scene->Add(deck, {0, 0, 10, 10}, 0xFFFF0000);
    oxBox* shown = scene->Add(deck, {40, 30, 10, 10}, 0xFF00FF00);
    scene->host->Invalidate(nullptr, true);
    RunUntilIdle();
    // A full repaint leaves the marks of new boxes.
    for (oxBox* b : {deck, hidden, shown})
        b->SetChangeFlag(kChangeRepaintPending, false);
    scene->Restyle(hidden, 0xFF0000FF);
    scene->Restyle(shown, 0xFF0000FF);
    scene->host->Invalidate(nullptr, false);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 11u * 11u);
    EXPECT_EQ(At(45, 35), Kept(0x0000FF));
    EXPECT_TRUE(hidden->TestChangeFlags(kChangeRepaintPending));
    EXPECT_FALSE(shown->TestChangeFlags(kChangeRepaintPending));
}

TEST_P(FrameTest, CloseRectanglesMergeAndFarOnesPaintApart) {
    // A tall host, so that rectangles can lie 300 units apart.
    scene->looks[scene->root].rect = oxRect{0, 0, 60, 420};
    ASSERT_TRUE(ConfigureScreen(ScreenConfig{80, 440, GetParam(), false, 96}));
    scene->host->PositionWindow();
    scene->host->Invalidate(nullptr, true);
    RunUntilIdle();
    int paints = 0;
    scene->onPaint = [&] { ++paints; };
    const oxRect top{0, 0, 9, 9}, near{0, 109, 9, 9}, far{0, 409, 9, 9};
    scene->host->Invalidate(&top, false);
    scene->host->Invalidate(&near, false);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 10u * 119u);
    EXPECT_EQ(paints, 1);
    paints = 0;
    scene->host->Invalidate(&top, false);
    scene->host->Invalidate(&far, false);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 2u * 10u * 10u);
    EXPECT_EQ(paints, 2);
}

TEST_P(FrameTest, UpdatesThatPaintNothing) {
    RunUntilIdle();
    scene->updates = 0;
    // An invalidation while painting asks for no further update.
    scene->onPaint = [&] {
        const oxRect r{0, 0, 5, 5};
        scene->host->Invalidate(&r, false);
    };
    scene->host->Invalidate(nullptr, true);
    RunUntilIdle();
    EXPECT_FALSE(scene->host->IsUpdatePosted());
    EXPECT_EQ(scene->updates, 1);
    scene->onPaint = nullptr;

    // A hidden owner box paints nothing and loses its repaint mark.
    scene->root->SetHidden(true);
    scene->root->SetChangeFlag(kChangeRepaintPending, true);
    const oxRect r{0, 0, 5, 5};
    scene->host->Invalidate(&r, false);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 0u);
    EXPECT_FALSE(scene->root->TestChangeFlags(kChangeRepaintPending));
    scene->root->SetHidden(false);

    // So does a scene that is not open.
    scene->open = false;
    scene->host->Invalidate(nullptr, true);
    EXPECT_EQ(Written([] { RunUntilIdle(); }), 0u);
}

TEST_P(FrameTest, ChildFrameWindowFollowsItsBoxWithoutWritingBack) {
    oxBox* box = scene->Add(scene->root, {5, 6, 20, 10}, 0xFFFF0000);
    oxFrame* frame = scene->AddFramed(box);
    frame->Create(true);
    HWND w = frame->GetWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(GetParent(w), scene->host->GetWindow());
    EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), LONG(WS_CHILD));
    EXPECT_EQ(frame->GetWindowRect(), (oxRect{5, 6, 20, 10}));

    // Moving and sizing through the box: "moved" and "resized" arrive inside the placement, and
    // the frame's own placement is not written back into the box.
    scene->events.clear();
    scene->looks[box].rect = oxRect{8, 9, 25, 12};
    frame->PositionWindow();
    EXPECT_EQ(scene->events, (std::vector<oxAtom>{kAtomMoved, kAtomResized}));
    EXPECT_EQ(scene->stores, 0);
    EXPECT_EQ(frame->GetWindowRect(), (oxRect{8, 9, 25, 12}));
    // Someone else moving the window: its place goes into the box.
    SetWindowPos(w, nullptr, 1, 1, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(scene->stores, 1);

    // Hidden and shown again through the box's state.
    box->SetChangeFlag(kChangeArranged, true);
    frame->Show();
    EXPECT_TRUE(IsWindowVisible(w));
    box->SetHidden(true);
    frame->Refresh(false);
    EXPECT_FALSE(IsWindowVisible(w));
    box->SetHidden(false);
    frame->Refresh(false);
    EXPECT_TRUE(IsWindowVisible(w)) << "a frame hidden once shows again";

    // Destroying the window leaves the frame without window and canvas.
    RunUntilIdle();
    EXPECT_NE(frame->GetCanvas(), nullptr);
    frame->DestroyFrameWindow();
    EXPECT_EQ(frame->GetWindow(), nullptr);
    EXPECT_EQ(frame->GetCanvas(), nullptr);
    EXPECT_FALSE(IsWindow(w));
    frame->Invalidate(nullptr, true); // harmless without a window
    frame->PositionWindow();
    EXPECT_FALSE(frame->IsUpdatePosted());
}

TEST_P(FrameTest, AChildFrameIsShapedToWhatItsParentsPaintLeavesVisible) {
    oxBox* box = scene->Add(scene->root, {10, 20, 40, 30}, 0xFFFF0000);
    oxFrame* frame = scene->AddFramed(box);
    frame->Create(false);
    HWND w = frame->GetWindow();
    ASSERT_TRUE(w);
    // The clip is what the parents leave of a paint of the whole window, or of `paint` alone.
    const struct {
        const char* what;
        RECT clip;  // in the parent's coordinates
        RECT shape; // in the window's
        RECT paint = {0, 0, 80, 60};
    } cases[] = {
        {"all of it", {0, 0, 80, 60}, {0, 0, 40, 30}},
        {"its top left", {0, 0, 30, 35}, {0, 0, 20, 15}},
        {"its bottom right", {25, 40, 80, 60}, {15, 20, 40, 30}},
        {"the same again", {25, 40, 80, 60}, {15, 20, 40, 30}},
        {"a repaint beside it says nothing of it", {60, 0, 80, 10}, {15, 20, 40, 30}, {60, 0, 80, 10}},
        {"none: scrolled out of sight", {0, 0, 80, 10}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        oxCanvas canvas(80, 60);
        test::ClipTo(canvas, c.paint);
        canvas.PushClip();
        test::ClipTo(canvas, c.clip);
        frame->UpdateWindowShape(&canvas);
        test::ExpectShape(w, c.shape);
    }
}

TEST_P(FrameTest, OverlappingFramesRepaintWhenTheUpperOneMoves) {
    oxBox* lower = scene->Add(scene->root, {5, 5, 30, 30}, 0xFFFF0000);
    oxBox* upper = scene->Add(scene->root, {20, 20, 20, 20}, 0xFF0000FF);
    oxFrame* lowerFrame = scene->AddFramed(lower);
    oxFrame* upperFrame = scene->AddFramed(upper);
    for (oxBox* b : {lower, upper})
        b->SetChangeFlag(kChangeArranged, true);
    lowerFrame->Show();
    upperFrame->Show();
    RunUntilIdle();
    EXPECT_EQ(At(10, 10), Kept(0xFF0000));
    EXPECT_EQ(At(25, 25), Kept(0x0000FF));
    EXPECT_EQ(At(2, 2), Kept(0x202020));
    EXPECT_EQ(At(39, 39), Kept(0x0000FF));

    // The upper frame moves right: what it uncovers shows the lower frame and the host again.
    scene->looks[upper].rect = oxRect{30, 20, 20, 20};
    upperFrame->PositionWindow();
    RunUntilIdle();
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 60; ++x) {
            uint32_t expected = 0x202020;
            if (x >= 5 && x < 35 && y >= 5 && y < 35) expected = 0xFF0000;
            if (x >= 30 && x < 50 && y >= 20 && y < 40) expected = 0x0000FF;
            ASSERT_EQ(At(x, y), Kept(expected)) << x << "," << y;
        }
}

TEST_P(FrameTest, ScrollingMovesTheCanvasContentUp) {
    oxBox* stripe = scene->Add(scene->root, {0, 20, 60, 2}, 0xFF00FF00);
    scene->host->Invalidate(nullptr, true);
    RunUntilIdle();
    ASSERT_EQ(At(10, 20), Kept(0x00FF00));
    (void)stripe;
    scene->host->ScrollContent(scene->root, 10, nullptr);
    EXPECT_EQ(At(10, 10), Kept(0x00FF00));
    EXPECT_EQ(At(10, 9), Kept(0x202020));
}

INSTANTIATE_TEST_SUITE_P(Screens, FrameTest, ::testing::Values(32, 16),
                         [](const auto& p) { return p.param == 32 ? "Argb32" : "Rgb565"; });

} // namespace
