// A box marked `framed` shows in a native window of its own, a child of its scene's window: the
// window stands where the box is laid out, paints the box and what is inside it, moves only when
// the box moves, and hides, shows, takes the focus and goes away with the box.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/region.h"
#include "platform/win/window.h"
#include "platform/win/window_paint.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/scene_frame.h"
#include "toolkit/widgets/tests/frame_test_scene.h"

namespace {

using platform::headless::RunUntilIdle;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

uint32_t ScreenAt(int x, int y) {
    std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{x, y, x + 1, y + 1});
    return px.empty() ? 0 : px[0] & 0xFFFFFF;
}

// Counts the moves and sizes a window is given.
int gPositionChanges = 0;
WNDPROC gChained = nullptr;
LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WINDOWPOSCHANGED) ++gPositionChanges;
    return CallWindowProcW(gChained, hwnd, message, wParam, lParam);
}

class FramedBoxTest : public WindowedAppTest {
protected:
    void SetUp() override {
        WindowedAppTest::SetUp();
        written.push_back("framed_box_test.box");
        std::ofstream(resources / "framed_box_test.box") << R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffff0000"/>
    <r:style target="top" fill="#ff00ff00" height="40"/>
    <r:style target="own" fill="#ff0000ff" height="60"/>
    <r:style target="inner" fill="#ffffff00" height="20" width="30"/>
  </r:library>
  <box id="top"/>
  <vbox id="own" framed="true"><box id="pad" height="10"/><box id="inner"/></vbox>
  <box id="rest" flex="1"/>
</vbox>)";
        oxRuntime* runtime = app->GetShell()->GetRuntime();
        scene = runtime->OpenSceneSimple(u"framed_box_test.box", nullptr, nullptr, nullptr, nullptr, false);
        ASSERT_NE(scene, nullptr);
        window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
        ASSERT_NE(window, nullptr);
        RunUntilIdle();
        own = Box(u"own");
        ASSERT_NE(own, nullptr);
        frame = dynamic_cast<oxFrame*>(own->GetFrame());
        ASSERT_NE(frame, nullptr);
    }
    oxBox* Box(const WCHAR* id) { return scene->GetBoxById(oxAtoms::Find(id), false); }
    // Where a point of the scene's client area lies on the screen.
    POINT OnScreen(int x, int y) {
        POINT p{x, y};
        ClientToScreen(window->GetFrame()->GetWindow(), &p);
        return p;
    }
    // The colour on the screen at a point of a box, found from where the box stands in the scene.
    uint32_t At(oxBox* box, int dx, int dy) {
        int x = dx, y = dy;
        for (oxBox* b = box; b; b = b->GetParent())
            x += b->GetPacked(0).x, y += b->GetPacked(0).y;
        const POINT p = OnScreen(x, y);
        return ScreenAt(p.x, p.y);
    }

    oxScene* scene = nullptr;
    oxSceneFrame* window = nullptr;
    oxBox* own = nullptr;
    oxFrame* frame = nullptr;
};

TEST_F(FramedBoxTest, TheBoxShowsInAChildWindowWhereItIsLaidOut) {
    HWND w = frame->GetWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(GetParent(w), window->GetFrame()->GetWindow());
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_TRUE(own->HasSideTableEntry(kHasFrame));
    EXPECT_TRUE(scene->GetRootBox()->HasFramedDescendants());
    EXPECT_FALSE(Box(u"top")->HasFramedDescendants());
    // The window covers the box: below the 40 high top box, across the scene.
    const oxRect box = own->GetBoxRect();
    ASSERT_EQ(box.y, 40);
    RECT placed;
    GetWindowRect(w, &placed);
    const POINT origin = OnScreen(box.x, box.y);
    EXPECT_EQ(placed.left, origin.x);
    EXPECT_EQ(placed.top, origin.y);
    EXPECT_EQ(placed.right - placed.left, box.width);
    EXPECT_EQ(placed.bottom - placed.top, 60);
    // Its window paints the box and its children in place; the scene's window paints the rest.
    EXPECT_EQ(At(own, 50, 5), kBlue);
    EXPECT_EQ(At(Box(u"inner"), 5, 5), kYellow);
    EXPECT_EQ(At(Box(u"inner"), 40, 5), kBlue);
    EXPECT_EQ(At(Box(u"top"), 5, 5), kGreen);
    EXPECT_EQ(At(Box(u"rest"), 5, 5), kRed);
}

TEST_F(FramedBoxTest, TheWindowMovesOnlyWhenTheBoxMoves) {
    HWND w = frame->GetWindow();
    gChained = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    gPositionChanges = 0;
    // A change inside the box repaints it and moves nothing.
    Box(u"inner")->SetStyle(u"fill", u"#ff00ff00");
    RunUntilIdle();
    EXPECT_EQ(gPositionChanges, 0);
    EXPECT_EQ(At(Box(u"inner"), 5, 5), kGreen);
    // The box above grows: the framed box and its window move down with it.
    Box(u"top")->SetStyle(u"height", u"50");
    RunUntilIdle();
    EXPECT_EQ(own->GetBoxRect().y, 50);
    EXPECT_EQ(gPositionChanges, 1);
    RECT placed;
    GetWindowRect(w, &placed);
    EXPECT_EQ(placed.top, OnScreen(0, 50).y);
    EXPECT_EQ(At(own, 50, 5), kBlue);
    EXPECT_EQ(At(Box(u"top"), 5, 45), kGreen);
    SetWindowLongPtrW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(gChained));
}

TEST_F(FramedBoxTest, TheWindowHidesShowsAndTakesTheFocusWithTheBox) {
    HWND w = frame->GetWindow();
    own->SetHidden(true);
    RunUntilIdle();
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(At(own, 50, 5), kRed) << "the scene's window shows through";
    own->SetHidden(false);
    RunUntilIdle();
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(At(own, 50, 5), kBlue);
    // Hidden by its parent, too.
    scene->GetRootBox()->SetCollapsed(true, true);
    EXPECT_FALSE(IsWindowVisible(w));
    scene->GetRootBox()->SetCollapsed(false, true);
    RunUntilIdle();
    EXPECT_TRUE(IsWindowVisible(w));
    // The box's focus is its window's; blurred, the focus goes back to the scene's window.
    own->SetFocused(true, false, false);
    EXPECT_EQ(GetFocus(), w);
    own->SetFocused(false, false, false);
    EXPECT_EQ(GetFocus(), window->GetFrame()->GetWindow());
}

TEST_F(FramedBoxTest, ClearingFramedDestroysTheWindow) {
    HWND w = frame->GetWindow();
    own->SetAttribute(kAtomFramed, u"false", true, false);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(own->HasSideTableEntry(kHasFrame));
    EXPECT_EQ(own->GetFrame(), nullptr);
    // The scene's window paints the box again.
    own->RequestRepaint();
    RunUntilIdle();
    EXPECT_EQ(At(own, 50, 5), kBlue);
    EXPECT_EQ(At(Box(u"inner"), 5, 5), kYellow);
}

TEST_F(WindowedAppTest, FramedBoxesScrolledOutOfAListShowNothing) {
    written.push_back("framed_list_test.box");
    std::ofstream(resources / "framed_list_test.box") << R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root" s:fill="#ffff0000">
  <vbox id="list" s:height="100" s:maxHeight="auto" s:overflow="scroll">
    <box id="a" framed="true" s:height="60" s:fill="#ff0000ff"/>
    <box id="b" framed="true" s:height="60" s:fill="#ff00ff00"/>
    <box id="c" framed="true" s:height="60" s:fill="#ff0000ff"/>
  </vbox>
</vbox>)";
    oxScene* scene = app->GetShell()->GetRuntime()->OpenSceneSimple(u"framed_list_test.box", nullptr, nullptr, nullptr,
                                                                    nullptr, false);
    ASSERT_NE(scene, nullptr);
    RunUntilIdle();
    auto windowOf = [&](const WCHAR* id) {
        auto* frame = dynamic_cast<oxFrame*>(scene->GetBoxById(oxAtoms::Find(id), false)->GetFrame());
        return frame ? frame->GetWindow() : nullptr;
    };
    HWND a = windowOf(u"a"), b = windowOf(u"b"), c = windowOf(u"c");
    ASSERT_TRUE(a && b && c);
    oxBox* list = scene->GetBoxById(oxAtoms::Find(u"list"), false);
    ASSERT_EQ(list->GetBoxRect().height, 100);
    // In view, in part, and out of it past the list's end: the last shows nothing.
    test::ExpectShape(a, RECT{0, 0, list->GetBoxRect().width, 60});
    test::ExpectShape(b, RECT{0, 0, list->GetBoxRect().width, 40});
    test::ExpectShape(c, RECT{0, 0, 0, 0});
}

TEST_F(FramedBoxTest, ARemovedHoveredBoxIsForgottenByTheInput) {
    oxBox* top = Box(u"top");
    const POINT p = OnScreen(5, 5);
    platform::headless::MoveTo(p.x, p.y);
    RunUntilIdle();
    auto* input = dynamic_cast<oxFrameInput*>(scene->GetSceneRuntime()->GetFrameInput());
    ASSERT_NE(input, nullptr);
    ASSERT_EQ(input->GetHoveredBox(), top);
    oxBox* removed = scene->GetRootBox()->RemoveChild(top, false);
    ASSERT_EQ(removed, top);
    EXPECT_EQ(input->GetHoveredBox(), nullptr);
    EXPECT_FALSE(top->GetStateFlags() & kStateHovered);
    scene->GetRootBox()->AddChild(removed);
}

} // namespace
