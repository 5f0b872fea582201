// A grid row opening in a scene's window: the rows below it slide down over the run of a
// transition on the test's clock, the opened rows fade in, and the last frame is the laid-out grid.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/clock.h"
#include "platform/win/window.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

constexpr uint32_t kBlue = 0x0000FF, kYellow = 0xFFFF00, kGreen = 0x00FF00, kRed = 0xFF0000;

// Moves 5 ms at each read and hands each read to a watcher: the transition reads once a frame.
class SteppingClock : public platform::Clock {
public:
    uint64_t NowMs() const override {
        now_ += 5;
        if (watch) watch();
        return now_;
    }
    std::function<void()> watch;

private:
    mutable uint64_t now_ = 1000;
};

// The first y of the colour in a column, or -1.
int FirstOf(const std::vector<uint32_t>& column, uint32_t colour) {
    for (size_t y = 0; y < column.size(); ++y)
        if (column[y] == colour) return int(y);
    return -1;
}

class GridRowAnimationTest : public ScriptApiTest {};

// The box's pixel column at x 50 on the screen, `height` pixels down from its top.
bool ColumnOf(oxBox* box, int height, RECT* column) {
    oxTransitionHost host;
    if (!oxFindTransitionHost(box, &host)) return false;
    const oxPoint at = box->GetFramePosition();
    POINT corner{at.x, at.y};
    ClientToScreen(host.window, &corner);
    *column = RECT{corner.x + 50, corner.y, corner.x + 51, corner.y + height};
    return true;
}

// The column as each frame of what `act` runs shows it, on a clock that moves 5 ms a frame.
std::vector<std::vector<uint32_t>> Frames(const RECT& column, const std::function<void()>& act) {
    SteppingClock clock;
    std::vector<std::vector<uint32_t>> frames;
    clock.watch = [&] { frames.push_back(platform::headless::ReadScreen(column)); };
    platform::Clock* previous = platform::SetClock(&clock);
    act();
    platform::SetClock(previous);
    return frames;
}

// A row of a flow opened or closed between the two pictures of a row transition.
class FlowRowToggle final : public oxRowToggle {
public:
    FlowRowToggle(oxBox* flow, oxBox* row, bool open) : flow_(flow), row_(row), open_(open) {}
    void Apply() override {
        row_->SetCollapsed(!open_, true);
        flow_->InvalidateUpToPopup();
        flow_->RequestLayout();
    }
    void CollectItems(oxSnapshotItemList* items) override {
        if (flow_->TestChangeFlags(kChangeLayoutStale)) ArrangeInLastPlacement(flow_);
        flow_->GetLayout()->CollectSnapshotItems(items);
    }

private:
    oxBox* flow_;
    oxBox* row_;
    bool open_;
};

} // namespace

TEST_F(GridRowAnimationTest, AnOpeningRowSlidesTheRowsBelowDownAndEndsLaidOut) {
    oxScene* scene = Open("grid_rows.box", "grid");
    ASSERT_NE(scene, nullptr);
    platform::headless::RunUntilIdle();
    oxBox* grid = scene->GetBoxById(oxAtoms::Intern(u"grid"), false);
    oxBox* cell = scene->GetBoxById(oxAtoms::Intern(u"p1a"), false);
    ASSERT_TRUE(grid && cell);
    oxTransitionHost host;
    ASSERT_TRUE(oxFindTransitionHost(grid, &host));
    const oxPoint at = grid->GetFramePosition();
    POINT corner{at.x, at.y};
    ClientToScreen(host.window, &corner);
    // The grid's column at x 50, 120 pixels down.
    const RECT column{corner.x + 50, corner.y, corner.x + 51, corner.y + 120};
    const std::vector<uint32_t> before = platform::headless::ReadScreen(column);
    ASSERT_EQ(20, FirstOf(before, kBlue));
    ASSERT_EQ(40, FirstOf(before, kYellow));
    // A script's snapshot takes the same rows from the grid's view: the three shown, in the grid.
    ASSERT_TRUE(Run(scene, "var s = " + Utf8(scene->GetContextName().GetString()) +
                               ".scene.rootBox.newSnapshot(), g = " + Utf8(scene->GetContextName().GetString()) +
                               ".scene.getBoxById('grid');"));
    EXPECT_EQ(Call(scene, "s.addBoxRectItemsFromView(g)"), "boolean:true");
    oxSnapshot rows;
    rows.AddBoxRectItemsFromView(grid);
    ASSERT_NE(rows.GetRectItems(), nullptr);
    ASSERT_EQ(3u, rows.GetRectItems()->size());
    for (int i = 0; i < 3; ++i) {
        const oxSnapshotRectItem& item = (*rows.GetRectItems())[size_t(i)];
        EXPECT_EQ((oxRect{0, 20 * i, 100, 20}), item.rect) << i;
        EXPECT_EQ(0u, item.state);
    }

    SteppingClock clock;
    std::vector<std::vector<uint32_t>> frames;
    clock.watch = [&] { frames.push_back(platform::headless::ReadScreen(column)); };
    platform::Clock* previous = platform::SetClock(&clock);
    cell->SetExpanded(true, false);
    platform::SetClock(previous);
    clock.watch = nullptr;

    // 250 ms at 5 ms a frame.
    ASSERT_GE(frames.size(), 40u);
    const std::vector<uint32_t>& middle = frames[frames.size() / 2];
    const int blue = FirstOf(middle, kBlue), yellow = FirstOf(middle, kYellow);
    EXPECT_GT(blue, 20) << "p2 between its old place and its new one";
    EXPECT_LT(blue, 60);
    EXPECT_EQ(blue + 20, yellow) << "p3 right below it";
    // The motion curve eases out: p2 only ever moves down, fast at first.
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_GE(FirstOf(frames[i], kBlue), FirstOf(frames[i - 1], kBlue)) << i;
    EXPECT_EQ(kRed, middle[10]) << "p1 stays";
    // The opened rows fade in over the fill where p2 was: green, not yet whole.
    const uint32_t fading = middle[22];
    EXPECT_GT(fading & 0x00FF00, 0x001000u) << std::hex << fading;
    EXPECT_LT(fading & 0x00FF00, 0x00F000u) << std::hex << fading;

    platform::headless::RunUntilIdle();
    const std::vector<uint32_t> after = platform::headless::ReadScreen(column);
    EXPECT_EQ(kRed, after[10]);
    EXPECT_EQ(20, FirstOf(after, kGreen));
    EXPECT_EQ(60, FirstOf(after, kBlue));
    EXPECT_EQ(80, FirstOf(after, kYellow));

    // Closing it again slides them back up: the green rows fade out and p2 ends at 20.
    frames.clear();
    clock.watch = [&] { frames.push_back(platform::headless::ReadScreen(column)); };
    previous = platform::SetClock(&clock);
    cell->SetExpanded(false, false);
    platform::SetClock(previous);
    clock.watch = nullptr;
    ASSERT_GE(frames.size(), 40u);
    const int back = FirstOf(frames[frames.size() / 2], kBlue);
    EXPECT_GT(back, 20);
    EXPECT_LT(back, 60);
    platform::headless::RunUntilIdle();
    const std::vector<uint32_t> closed = platform::headless::ReadScreen(column);
    EXPECT_EQ(20, FirstOf(closed, kBlue));
    EXPECT_EQ(40, FirstOf(closed, kYellow));
    EXPECT_EQ(-1, FirstOf(closed, kGreen));
}

TEST_F(GridRowAnimationTest, ASortedDataGridSlidesItsRowsToTheirNewPlaces) {
    oxScene* scene = Open("datagrid_sort.box", "sorted");
    ASSERT_NE(scene, nullptr);
    platform::headless::RunUntilIdle();
    oxBox* table = scene->GetBoxById(oxAtoms::Intern(u"table"), false);
    ASSERT_NE(table, nullptr);
    RECT column;
    ASSERT_TRUE(ColumnOf(table, 100, &column));
    const std::vector<uint32_t> before = platform::headless::ReadScreen(column);
    ASSERT_EQ(0, FirstOf(before, kRed));
    ASSERT_EQ(40, FirstOf(before, kYellow));
    const std::string name = Utf8(scene->GetContextName().GetString());
    ASSERT_TRUE(Run(scene, "var t = " + name + ".scene.getBoxById('table'); t.sortColumn = 1;"));
    std::vector<std::vector<uint32_t>> frames =
        Frames(column, [&] { ASSERT_TRUE(Run(scene, "t.sortByValue(true, true);")); });

    // 400 ms at 5 ms a frame; in the middle frame red is on its way down from 0 to 60 and yellow
    // up from 40 to 0, each whole: the rows slide, they do not fade.
    ASSERT_GE(frames.size(), 70u);
    const std::vector<uint32_t>& middle = frames[frames.size() / 2];
    const int red = FirstOf(middle, kRed), yellow = FirstOf(middle, kYellow);
    EXPECT_GT(red, 0);
    EXPECT_LT(red, 60);
    EXPECT_GT(yellow, 0);
    EXPECT_LT(yellow, 40);
    EXPECT_EQ(kRed, middle[size_t(red + 19)]);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_GE(FirstOf(frames[i], kRed), FirstOf(frames[i - 1], kRed)) << i;

    platform::headless::RunUntilIdle();
    const std::vector<uint32_t> after = platform::headless::ReadScreen(column);
    EXPECT_EQ(0, FirstOf(after, kYellow));
    EXPECT_EQ(20, FirstOf(after, kBlue));
    EXPECT_EQ(40, FirstOf(after, kGreen));
    EXPECT_EQ(60, FirstOf(after, kRed));

    // Without the animation asked for, the rows jump: no frame is drawn on the way.
    frames = Frames(column, [&] { ASSERT_TRUE(Run(scene, "t.sortByValue(false, false);")); });
    EXPECT_LT(frames.size(), 5u);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(0, FirstOf(platform::headless::ReadScreen(column), kRed));
}

TEST_F(GridRowAnimationTest, AFlowRowOpeningSlidesTheRowsAfterIt) {
    oxScene* scene = Open("flow_rows.box", "flow");
    ASSERT_NE(scene, nullptr);
    platform::headless::RunUntilIdle();
    oxBox* flow = scene->GetBoxById(oxAtoms::Intern(u"flow"), false);
    oxBox* row = scene->GetBoxById(oxAtoms::Intern(u"f2"), false);
    ASSERT_TRUE(flow && row && flow->GetLayout());
    // The flow's items: its shown rows where they stand in it, the collapsed one left out.
    oxSnapshotItemList items;
    flow->GetLayout()->CollectSnapshotItems(&items);
    ASSERT_EQ(3u, items.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ((oxRect{0, 20 * i, 100, 20}), items[size_t(i)].rect) << i;
        EXPECT_EQ(0, items[size_t(i)].flag);
    }
    EXPECT_EQ(scene->GetBoxById(oxAtoms::Intern(u"f3"), false), items[1].box);
    RECT column;
    ASSERT_TRUE(ColumnOf(flow, 100, &column));
    ASSERT_EQ(20, FirstOf(platform::headless::ReadScreen(column), kBlue));
    FlowRowToggle open(flow, row, true);
    const auto frames = Frames(column, [&] {
        EXPECT_TRUE(oxGetGridServices().AnimateRowToggle(flow, open, u"rectSorter", 250, u"smoothSpline", 0xFF000000));
    });

    ASSERT_GE(frames.size(), 40u);
    const std::vector<uint32_t>& middle = frames[frames.size() / 2];
    const int blue = FirstOf(middle, kBlue);
    EXPECT_GT(blue, 20) << "f3 between its old place and its new one";
    EXPECT_LT(blue, 40);
    EXPECT_EQ(blue + 20, FirstOf(middle, kYellow)) << "f4 right below it";
    EXPECT_EQ(kRed, middle[10]) << "f1 stays";
    platform::headless::RunUntilIdle();
    const std::vector<uint32_t> after = platform::headless::ReadScreen(column);
    EXPECT_EQ(20, FirstOf(after, kGreen));
    EXPECT_EQ(40, FirstOf(after, kBlue));
    EXPECT_EQ(60, FirstOf(after, kYellow));
}

} // namespace script_api_test
