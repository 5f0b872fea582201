#include "toolkit/widgets/frame_input.h"

#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/win/menu.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "toolkit/widgets/tests/input_test_scene.h"

namespace {

using platform::headless::RunUntilIdle;
using Lines = std::vector<std::string>;

// Boxes a and b sit at (10, 10) and (100, 10) of the window box, 50 x 30 each.
class FrameInputTest : public test::InputFixture {
protected:
    void SetUp() override {
        test::InputFixture::SetUp();
        scene = Open([&](test::InputScene* s) {
            a = s->Add(s->root, "a", {10, 10, 50, 30});
            b = s->Add(s->root, "b", {100, 10, 50, 30});
        });
    }
    // Screen points of a box's inside.
    POINT In(oxBox* box, int dx = 5, int dy = 5) {
        const oxRect r = scene->InRoot(box);
        return POINT{r.x + dx, r.y + 26 + dy};
    }
    Lines Pointer() const { return scene->LogWithout({"mouseMove", "mouseDrag", "focus", "blur", "activated"}); }

    test::InputScene* scene = nullptr;
    test::LogBox* a = nullptr;
    test::LogBox* b = nullptr;
};

TEST_F(FrameInputTest, TheFrameFillsTheWorkAreaAboveItsEmptySoftKeyBar) {
    RECT r;
    GetWindowRect(scene->frame->GetWindow(), &r);
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.bottom, 268 + 26);
    HWND bar = SHFindMenuBar(scene->frame->GetWindow());
    ASSERT_TRUE(bar);
    HMENU menu = platform::shell::GetMenuBarMenu(bar);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(GetMenuItemID(menu, 0), 10001u);
    EXPECT_EQ(GetMenuItemID(menu, 1), 10002u);
    EXPECT_EQ(GetMenuStringW(menu, 0, nullptr, 0, MF_BYPOSITION), 0);
    EXPECT_EQ(platform::shell::GetDoneButton(scene->frame->GetWindow()), SHDB_SHOWCANCEL);
}

TEST_F(FrameInputTest, HoverMovesFromBoxToBoxOutBeforeOver) {
    platform::headless::MoveTo(In(a).x, In(a).y);
    platform::headless::MoveTo(In(b).x, In(b).y);
    platform::headless::MoveTo(In(b).x + 1, In(b).y);
    platform::headless::MoveTo(5, 30); // the root, outside both
    RunUntilIdle();
    EXPECT_EQ(Pointer(),
              (Lines{"a mouseOver", "a mouseOut <b", "b mouseOver <a", "b mouseOut <root", "root mouseOver <b"}));
    EXPECT_EQ(scene->Log("mouseMove").size(), 4u);
    EXPECT_EQ(input->GetHoveredBox(), scene->root);
    EXPECT_FALSE(a->GetStateFlags() & kStateHovered);
    EXPECT_TRUE(scene->root->GetStateFlags() & kStateHovered);
}

TEST_F(FrameInputTest, PressAndReleaseOnOneBoxClickAndADoubleClickFollows) {
    platform::headless::Tap(In(a).x, In(a).y);
    clock->Advance(100);
    platform::headless::Tap(In(a).x, In(a).y);
    RunUntilIdle();
    EXPECT_EQ(scene->LogWithout({"mouseMove", "mouseOver", "mouseOut", "focus", "blur", "activated"}),
              (Lines{"a mouseDown", "a captureReleased", "a mouseUp", "a click", "a mouseReleased", "a doubleClick",
                     "a mouseUp"}));
    // Released over another box: no click, but the pressed box hears of the release.
    scene->log.clear();
    platform::headless::Drag(In(a), In(b), 1);
    RunUntilIdle();
    EXPECT_EQ(scene->LogWithout({"mouseMove", "mouseOver", "mouseOut", "mouseDrag"}),
              (Lines{"a mouseDown", "a captureReleased", "b mouseUp", "a mouseReleased"}));
    EXPECT_FALSE(a->GetStateFlags() & kStatePressed);
    EXPECT_EQ(input->GetPressedBox(), nullptr);
}

TEST_F(FrameInputTest, TheCaptureHoldsTheBoxWhileThePointerLeavesTheWindow) {
    platform::headless::MoveTo(In(a).x, In(a).y);
    platform::headless::Press(In(a).x, In(a).y);
    platform::headless::MoveTo(In(b).x, In(b).y); // over another box: hover stays
    platform::headless::MoveTo(120, 305);         // over the menu bar, outside the window
    platform::headless::Release(120, 305);
    RunUntilIdle();
    EXPECT_EQ(scene->LogWithout({"mouseMove", "focus", "blur"}),
              (Lines{"a mouseOver", "a mouseDown", "a mouseDrag", "a mouseDrag", "a mouseOut <root",
                     "root mouseOver <a", "a captureReleased", "root mouseUp", "a mouseReleased"}));
    EXPECT_EQ(GetCapture(), nullptr) << "released with the button";
    EXPECT_FALSE(a->GetStateFlags() & kStateCaptured);
    EXPECT_TRUE(scene->Log("menuCommand").empty()) << "the bar under the release got nothing";
}

TEST_F(FrameInputTest, MovingABoxStartsAtTheFirstUnitAndADataDragAfterTwo) {
    test::LogBox* m = scene->Add(scene->root, "m", {10, 100, 40, 40});
    m->SetDragMode(kModeDragMove);
    const POINT p = In(m);
    platform::headless::Press(p.x, p.y);
    platform::headless::MoveTo(p.x, p.y); // no distance yet
    RunUntilIdle();
    EXPECT_EQ(input->GetMovedBox(), m);
    EXPECT_EQ(scene->looks[m].x, 10);
    platform::headless::MoveTo(p.x + 7, p.y + 3);
    platform::headless::Release(p.x + 7, p.y + 3);
    RunUntilIdle();
    EXPECT_EQ(scene->looks[m].x, 17);
    EXPECT_EQ(scene->looks[m].y, 103);
    EXPECT_EQ(input->GetMovedBox(), nullptr);

    test::LogBox* d = scene->Add(scene->root, "d", {100, 100, 40, 40});
    d->SetDragMode(kModeDragData);
    const POINT q = In(d);
    scene->log.clear();
    platform::headless::Press(q.x, q.y);
    platform::headless::MoveTo(q.x + 1, q.y - 1); // within the threshold
    RunUntilIdle();
    EXPECT_TRUE(scene->Log("dragStart").empty());
    platform::headless::MoveTo(q.x + 2, q.y);
    platform::headless::Release(q.x + 2, q.y);
    RunUntilIdle();
    EXPECT_EQ(scene->Log("drag"), (Lines{"d dragStart", "d dragStop"}));
    EXPECT_FALSE(input->IsDragging());
}

TEST_F(FrameInputTest, FocusFollowsTapsAndTab) {
    a->SetFocusMode(kModeFocusNormal);
    b->SetFocusMode(kModeFocusIgnore);
    test::LogBox* inner = scene->Add(a, "inner", {5, 5, 10, 10});
    inner->SetFocusMode(kModeFocusDefer);
    platform::headless::Tap(In(inner).x, In(inner).y);
    RunUntilIdle();
    EXPECT_EQ(scene->focused, a) << "a deferring box passes the focus up";
    platform::headless::Tap(In(b).x, In(b).y); // ignores the focus: nothing moves
    RunUntilIdle();
    EXPECT_EQ(scene->focused, a);
    test::LogBox* c = scene->Add(scene->root, "c", {10, 150, 50, 30});
    c->SetFocusMode(kModeFocusNormal);
    platform::headless::Tap(In(c).x, In(c).y); // another box that takes it
    RunUntilIdle();
    EXPECT_EQ(scene->focused, c);
    EXPECT_EQ(scene->LogWithout({"mouse", "click", "captureReleased"}), (Lines{"a focus", "a blur", "c focus"}));

    scene->log.clear();
    platform::headless::Key(VK_TAB);
    platform::headless::Key(VK_TAB, VK_SHIFT);
    RunUntilIdle();
    EXPECT_EQ(scene->LogWithout({"key"}), (Lines{"scene advanceFocus", "scene rewindFocus"}));
}

TEST_F(FrameInputTest, KeysReachTheFocusedBoxAndABindingRunsItsCommand) {
    scene->focused = b;
    int runs = 0;
    scene->bindings['K'].run = [&](oxCommandEvent*) { ++runs; };
    platform::headless::Key('K');
    platform::headless::Key('J');
    RunUntilIdle();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scene->Log(),
              (Lines{"b keyDown", "b keyPress", "b command", "b keyUp", "b keyDown", "b keyPress", "b keyUp"}));
    scene->bindings['K'].disabled = true;
    platform::headless::Key('K');
    RunUntilIdle();
    EXPECT_EQ(runs, 1) << "a disabled command does not run";
}

TEST_F(FrameInputTest, SoftKeysArriveAsMenuCommandsOfTheWindowBox) {
    platform::headless::SoftKey(1);
    platform::headless::SoftKey(2);
    RunUntilIdle();
    EXPECT_EQ(scene->Log(), (Lines{"root menuCommand 10001", "root menuCommand 10002"}));
    // Tapped on the bar they do the same.
    const RECT right = platform::shell::GetSoftKeyRect(2);
    platform::headless::Tap(right.left + 3, right.top + 3);
    RunUntilIdle();
    EXPECT_EQ(scene->Log("menuCommand").back(), "root menuCommand 10002");
}

TEST_F(FrameInputTest, InputFasterThanPaintingLosesNothingAndKeepsOrder) {
    const POINT p = In(a, 0, 0);
    for (int i = 0; i < 1000; ++i)
        platform::headless::MoveTo(p.x + i % 40, p.y + (i / 40) % 20);
    platform::headless::Tap(p.x + 3, p.y + 3);
    RunUntilIdle(20000);
    const Lines moves = scene->Log("mouseMove");
    ASSERT_EQ(moves.size(), 1000u);
    EXPECT_EQ(scene->LogWithout({"mouseMove", "focus", "blur"}),
              (Lines{"a mouseOver", "a mouseDown", "a captureReleased", "a mouseUp", "a click", "a mouseReleased"}));
}

TEST_F(FrameInputTest, TimedEventsFireForARestingOrHeldPointer) {
    a->SetAttribute(kAtomInstantTooltip, u"1", false, false);
    platform::headless::MoveTo(In(a).x, In(a).y);
    platform::headless::AdvanceAndRun(20); // the toolkit's timer queue ticks every 10 ms
    EXPECT_EQ(scene->Log("hoverHold"), (Lines{"a hoverHold"}));
    b->SetAttribute(kAtomPressHoldDelay, u"0", false, false);
    platform::headless::Press(In(b).x, In(b).y);
    platform::headless::AdvanceAndRun(499);
    EXPECT_TRUE(scene->Log("mousePress").empty());
    platform::headless::AdvanceAndRun(130);
    EXPECT_EQ(scene->Log("mousePress").size(), 3u) << "first after 500 ms, then every 50 ms";
    EXPECT_TRUE(scene->Log("pressHold").empty()) << "a delay of 0 arms nothing";
    platform::headless::Release(In(b).x, In(b).y);
    platform::headless::AdvanceAndRun(500);
    EXPECT_EQ(scene->Log("mousePress").size(), 3u);
}

TEST_F(FrameInputTest, ABoxThatGoesAwayLeavesNoReference) {
    platform::headless::MoveTo(In(a).x, In(a).y);
    platform::headless::Press(In(a).x, In(a).y);
    RunUntilIdle();
    ASSERT_EQ(input->GetPressedBox(), a);
    input->ForgetBox(a);
    EXPECT_EQ(input->GetPressedBox(), nullptr);
    EXPECT_EQ(input->GetHoveredBox(), nullptr);
    EXPECT_EQ(oxFrame::capturedBox, nullptr);
    EXPECT_EQ(oxFrame::lastLeftDownBox, nullptr);
    platform::headless::AdvanceAndRun(600);
    EXPECT_TRUE(scene->Log("mousePress").empty()) << "its timers went with it";
    platform::headless::Release(In(a).x, In(a).y);
    RunUntilIdle();
}

} // namespace
