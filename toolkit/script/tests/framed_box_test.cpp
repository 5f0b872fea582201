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
#include "toolkit/widgets/frame_box.h"
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
        const std::string name = Own("framed_box_test.box");
        std::ofstream(resources / name) << R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
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
        scene = runtime->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr, false);
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
    const std::string name = Own("framed_list_test.box");
    std::ofstream(resources / name) << R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root" s:fill="#ffff0000">
  <vbox id="list" s:height="100" s:maxHeight="auto" s:overflow="scroll">
    <box id="a" framed="true" s:height="60" s:fill="#ff0000ff"/>
    <box id="b" framed="true" s:height="60" s:fill="#ff00ff00"/>
    <box id="c" framed="true" s:height="60" s:fill="#ff0000ff"/>
  </vbox>
</vbox>)";
    oxScene* scene = app->GetShell()->GetRuntime()->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr,
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

// In a right-to-left scene the window mirrors what it shows, and its child windows with it: a box
// laid out 50 from the left stands 50 from the window's right edge, and so do the framed box's
// window and an HTML box's control.
TEST_F(WindowedAppTest, ChildWindowsOfARightToLeftSceneStandWhereTheirBoxesShow) {
    const std::string name = Own("framed_rtl_test.box");
    std::ofstream(resources / name) << R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root" dir="rtl" s:fill="#ffff0000">
  <box id="top" s:height="40"/>
  <vbox id="own" framed="true" s:width="100" s:height="60" s:marginLeft="50" s:fill="#ff0000ff">
    <box id="pad" s:height="10"/><box id="inner" s:width="30" s:height="20" s:fill="#ffffff00"/>
  </vbox>
  <dhtml id="page" s:width="80" s:height="30" s:marginLeft="20" value="&lt;body style='margin:0'&gt;&lt;/body&gt;"/>
</vbox>)";
    oxScene* scene = app->GetShell()->GetRuntime()->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr,
                                                                    nullptr, false);
    ASSERT_NE(scene, nullptr);
    ASSERT_TRUE(scene->IsRightToLeft());
    RunUntilIdle();
    auto box = [&](const WCHAR* id) { return scene->GetBoxById(oxAtoms::Find(id), false); };
    ASSERT_EQ(box(u"own")->GetFramePosition(), (oxPoint{50, 40}));
    ASSERT_EQ(box(u"page")->GetFramePosition(), (oxPoint{20, 100}));
    auto* frame = dynamic_cast<oxFrame*>(box(u"own")->GetFrame());
    auto* page = dynamic_cast<oxDHTMLBox*>(box(u"page"));
    ASSERT_TRUE(frame && frame->GetWindow() && page && page->GetWindow());
    // The scene's client area on the screen: [left, right) across, from top down.
    RECT client;
    HWND sceneWindow = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
    GetWindowRect(sceneWindow, &client);
    const LONG right = client.right, top = client.top;
    const struct {
        HWND window;
        RECT expected;
    } cases[] = {
        {frame->GetWindow(), {right - 150, top + 40, right - 50, top + 100}},
        {page->GetWindow(), {right - 100, top + 100, right - 20, top + 130}},
    };
    for (const auto& c : cases) {
        RECT r;
        ASSERT_TRUE(GetWindowRect(c.window, &r));
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
    // The framed box paints in its window: its first 30 columns (the yellow box) at its right.
    EXPECT_EQ(ScreenAt(right - 51, top + 55), kYellow);
    EXPECT_EQ(ScreenAt(right - 80, top + 55), kYellow);
    EXPECT_EQ(ScreenAt(right - 81, top + 55), kBlue);
    EXPECT_EQ(ScreenAt(right - 149, top + 45), kBlue);
    EXPECT_EQ(ScreenAt(right - 151, top + 45), kRed);
    EXPECT_EQ(ScreenAt(right - 49, top + 45), kRed);
    // Where the yellow box shows, the framed window takes the pointer.
    const POINT p{right - 60, top + 60};
    EXPECT_EQ(WindowFromPoint(p), frame->GetWindow());
    // A repaint of the HTML box alone leaves the framed window's shape whole, and the updates of the
    // two windows do not ask for each other without end.
    page->RequestRepaint();
    EXPECT_LT(RunUntilIdle(), 100);
    EXPECT_EQ(ScreenAt(right - 149, top + 45), kBlue);
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
