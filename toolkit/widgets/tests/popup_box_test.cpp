#include "toolkit/widgets/popup_box.h"

#include <gtest/gtest.h>

#include "platform/backend/headless_input.h"
#include "platform/win/cursor.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/pointer_height.h"
#include "toolkit/widgets/tests/input_test_scene.h"

namespace {

using Lines = std::vector<std::string>;
using platform::headless::RunUntilIdle;

// A popup that logs its opening and closing events as "name type".
class LogPopup : public oxPopupBox {
public:
    LogPopup(test::InputScene* scene, std::string name) : scene_(scene), name_(std::move(name)) {}
    int32_t HandleEvent(oxEvent* event) override {
        const oxAtom type = event->GetType();
        if (event->GetTarget() == this && (type == kAtomPopping || type == kAtomPopped || type == kAtomShutting))
            scene_->log.push_back(name_ + " " + test::AtomName(type) +
                                  (event->GetFlags() & kEventIndependentPopup ? " independent" : ""));
        return oxPopupBox::HandleEvent(event);
    }

private:
    test::InputScene* scene_;
    std::string name_;
};

oxRect WindowRectOf(oxPopupBox* popup) {
    RECT r{0, 0, 0, 0};
    GetWindowRect(popup->GetPopupFrame()->GetWindow(), &r);
    oxRect out;
    out.FromRECT(r);
    return out;
}

bool Shown(oxPopupBox* popup) {
    HWND w = popup->GetPopupFrame()->GetWindow();
    return w && IsWindowVisible(w);
}

class PopupBoxTest : public test::InputFixture {
protected:
    void SetUp() override {
        test::InputFixture::SetUp();
        scene = Open([&](test::InputScene* s) {
            a = s->Add(s->root, "a", {10, 10, 50, 30});
            b = s->Add(s->root, "b", {100, 240, 50, 20});
            menu = AddPopup(s, s->root, "menu", {0, 0, 80, 60});
            item = s->Add(menu, "item", {0, 20, 80, 20});
            // The test scene's hit test does not skip collapsed boxes: the inner popup stays clear of the item.
            sub = AddPopup(s, menu, "sub", {0, 40, 70, 20});
            s->Add(sub, "subItem", {0, 0, 70, 20});
        });
    }
    static LogPopup* AddPopup(test::InputScene* s, oxBox* parent, std::string name, oxRect rect) {
        auto* popup = new LogPopup(s, std::move(name));
        parent->AddChild(popup);
        popup->AttachSubtreeToScene(s);
        s->looks[popup] = rect;
        return popup;
    }
    // The client area of the scene's window starts below the 26-pixel task bar.
    static constexpr int kTop = 26;

    test::InputScene* scene = nullptr;
    test::LogBox *a = nullptr, *b = nullptr, *item = nullptr;
    LogPopup *menu = nullptr, *sub = nullptr;
};

TEST_F(PopupBoxTest, OpensBelowItsAnchorInItsOwnWindowAndClosesAgain) {
    EXPECT_TRUE(menu->IsCollapsed());
    menu->SetAnchor(a);
    EXPECT_EQ(menu->SetOpened(true, false), 1);
    RunUntilIdle();
    ASSERT_TRUE(Shown(menu));
    // An unset alignment reads as after_start: the anchor's left edge, just below it.
    oxRect expected;
    expected.Set(10, kTop + 10 + 30, 80, 60);
    EXPECT_EQ(WindowRectOf(menu), expected);
    EXPECT_FALSE(menu->IsCollapsed());
    EXPECT_TRUE(a->GetStateFlags() & kStatePopped);
    EXPECT_EQ(input->GetPopupChain(), menu);
    EXPECT_EQ(std::u16string(menu->GetAttribute(kAtomOpened)), u"true");
    EXPECT_EQ(scene->LogWithout({"initialized", "layout"}), (Lines{"menu popping", "menu popped"}));
    // The popup paints its own window: the item's colour right below the anchor.
    EXPECT_EQ(ReadScreenPixel(12, kTop + 10 + 30 + 25) & 0xFFFFFF, 0x80C080u);

    // Opening an open popup does nothing.
    scene->log.clear();
    EXPECT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_TRUE(scene->Log().empty());

    EXPECT_EQ(menu->SetOpened(false, false), 1);
    RunUntilIdle();
    EXPECT_FALSE(Shown(menu));
    EXPECT_TRUE(menu->IsCollapsed());
    EXPECT_FALSE(a->GetStateFlags() & kStatePopped);
    EXPECT_EQ(menu->GetAnchor(), nullptr);
    EXPECT_EQ(input->GetPopupChain(), nullptr);
    EXPECT_EQ(std::u16string(menu->GetAttribute(kAtomOpened)), u"false");
    EXPECT_EQ(scene->LogWithout({"initialized", "layout"}), (Lines{"menu shutting"}));
    // Closing a closed popup does nothing either.
    scene->log.clear();
    EXPECT_EQ(menu->SetOpened(false, false), 1);
    EXPECT_TRUE(scene->Log().empty());
}

TEST_F(PopupBoxTest, APopupWithNothingVisibleNeverOpens) {
    item->SetHidden(true);
    sub->SetHidden(true);
    menu->SetAnchor(a);
    EXPECT_EQ(menu->SetOpened(true, false), 0);
    RunUntilIdle();
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_FALSE(Shown(menu));
    EXPECT_TRUE(menu->IsCollapsed());
    EXPECT_EQ(input->GetPopupChain(), nullptr);
    EXPECT_EQ(scene->LogWithout({"initialized", "layout"}), (Lines{"menu popping", "menu shutting"}));
}

TEST_F(PopupBoxTest, APopupNearTheScreenEdgeFlipsAboveItsAnchor) {
    // b's bottom is 26 + 260 = 286; 60 more would pass the 320-pixel screen.
    menu->SetAnchor(b);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    RunUntilIdle();
    oxRect expected;
    expected.Set(100, kTop + 240 - 60, 80, 60);
    EXPECT_EQ(WindowRectOf(menu), expected);
    EXPECT_EQ(std::u16string(menu->GetAttribute(kAtomOverflowY)), u"bottom");
}

// The box's own `left` and `top` (the test scene resolves no style records).
std::pair<int32_t, int32_t> Offsets(oxBox* box) {
    oxStyleValue left, top;
    if (const oxStyleDeclaration* own = box->GetInlineStyle()) {
        own->GetProperty(&left, kStyle_left);
        own->GetProperty(&top, kStyle_top);
    }
    return {left.GetInt(), top.GetInt()};
}

std::u16string Text(const WCHAR* text) {
    return text ? std::u16string(text) : u"(null)";
}

TEST_F(PopupBoxTest, ThePlacementIsKeptAsTheOffsetsFromTheAnchorAndASqueezeIsSaid) {
    // Below a: the offsets from the anchor are its height down, and nothing is squeezed.
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_EQ(Offsets(menu), std::make_pair(0, 30));
    EXPECT_EQ(Text(menu->GetAttribute(kAtomOverflowYAfterAdjust)), u"false");
    menu->SetOpened(false, false);
    EXPECT_EQ(Offsets(menu), std::make_pair(0, 30));

    // Too tall for either side of b: kept below with less than 100 pixels showing, so it goes above.
    scene->looks[menu].height = 300;
    menu->SetAnchor(b);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_EQ(Offsets(menu), std::make_pair(0, -300));
    EXPECT_EQ(Text(menu->GetAttribute(kAtomOverflowYAfterAdjust)), u"true");
    // Closing a popup that overflowed puts its offsets back.
    menu->SetOpened(false, false);
    EXPECT_EQ(Offsets(menu), std::make_pair(0, 0));
    EXPECT_EQ(Text(menu->GetAttribute(kAtomOverflowY)), u"none");

    // Each opening says afresh whether it was squeezed.
    scene->looks[menu].height = 60;
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_EQ(Text(menu->GetAttribute(kAtomOverflowYAfterAdjust)), u"false");
}

// A percentage holds a number that is no offset: opening below a at (0, 30) writes pixels even over
// 0% and 30%.
TEST_F(PopupBoxTest, APercentageOffsetGivesWayToThePlacedPixels) {
    menu->SetStyleValue(kStyle_left, oxStyleValue(0, kStylePercent), 0);
    menu->SetStyleValue(kStyle_top, oxStyleValue(30, kStylePercent), 0);
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    oxStyleValue left, top;
    menu->GetInlineStyle()->GetProperty(&left, kStyle_left);
    menu->GetInlineStyle()->GetProperty(&top, kStyle_top);
    EXPECT_EQ(left.GetType(), kStylePx);
    EXPECT_EQ(top.GetType(), kStylePx);
    EXPECT_EQ(Offsets(menu), std::make_pair(0, 30));
}

TEST_F(PopupBoxTest, ATapInsideKeepsThePopupAndATapOutsideClosesIt) {
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    RunUntilIdle();
    const oxRect r = WindowRectOf(menu);
    platform::headless::Tap(r.x + 5, r.y + 25); // on the item
    RunUntilIdle();
    EXPECT_TRUE(menu->IsOpened());
    EXPECT_EQ(scene->Log("mouseDown"), (Lines{"item mouseDown"}));

    platform::headless::Tap(105 + 0, kTop + 245); // on b
    RunUntilIdle();
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_FALSE(Shown(menu));
    EXPECT_EQ(input->GetPopupChain(), nullptr);
}

TEST_F(PopupBoxTest, AChainedPopupClosesWithItsParentInOrder) {
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    sub->SetAnchor(item);
    ASSERT_EQ(sub->SetOpened(true, false), 1);
    RunUntilIdle();
    EXPECT_EQ(sub->GetParentPopup(), menu);
    EXPECT_EQ(menu->GetChildPopup(), sub);
    EXPECT_EQ(input->GetPopupChain(), sub);
    EXPECT_EQ(sub->GetOutermostPopup(), menu);
    // A chained popup goes to the right of its item, which lies 20 pixels into the menu's window.
    oxRect expected;
    expected.Set(10 + 80, kTop + 40 + 20, 70, 20);
    EXPECT_EQ(WindowRectOf(sub), expected);

    scene->log.clear();
    platform::headless::Tap(105, kTop + 245); // outside both
    RunUntilIdle();
    const Lines log = scene->Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Lines(log.begin(), log.begin() + 3), (Lines{"b mouseDown", "menu shutting", "sub shutting"}));
    EXPECT_FALSE(Shown(menu));
    EXPECT_FALSE(Shown(sub));
    EXPECT_EQ(menu->GetChildPopup(), nullptr);
    EXPECT_EQ(sub->GetParentPopup(), nullptr);
    EXPECT_EQ(input->GetPopupChain(), nullptr);
}

TEST_F(PopupBoxTest, ClosingTheInnerPopupLeavesTheOuterOneAsTheChain) {
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    sub->SetAnchor(item);
    ASSERT_EQ(sub->SetOpened(true, false), 1);
    EXPECT_EQ(sub->SetOpened(false, false), 1);
    EXPECT_TRUE(menu->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), menu);
    EXPECT_EQ(menu->GetChildPopup(), nullptr);
}

TEST_F(PopupBoxTest, ANewOutermostPopupClosesTheOpenChainFirst) {
    LogPopup* other = nullptr;
    other = AddPopup(scene, scene->root, "other", {0, 0, 40, 40});
    scene->Add(other, "otherItem", {0, 0, 40, 20});
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    scene->log.clear();
    other->SetAnchor(b);
    ASSERT_EQ(other->SetOpened(true, false), 1);
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), other);
    EXPECT_EQ(scene->LogWithout({"initialized", "layout"}), (Lines{"menu shutting", "other popping", "other popped"}));
}

TEST_F(PopupBoxTest, ForgettingTheOpenerClosesTheChain) {
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    input->ForgetBox(a);
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), nullptr);
}

TEST_F(PopupBoxTest, TheOpenPopupTakesTheKeysAndEscapeClosesIt) {
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_EQ(input->GetKeyTarget(scene), menu);
    // Shown without taking input, it leaves the keys with the scene.
    menu->SetAttribute(kAtomShowNoActivate, u"IgnoreInput", false, false);
    EXPECT_EQ(input->GetKeyTarget(scene), scene->root);
    menu->SetAttribute(kAtomShowNoActivate, u"false", false, false);
    platform::headless::Key(27);
    RunUntilIdle();
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_EQ(input->GetKeyTarget(scene), scene->root);
}

TEST_F(PopupBoxTest, AnIndependentPopupIsTrackedBesideTheChain) {
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    LogPopup* tip = AddPopup(scene, scene->root, "tip", {0, 0, 40, 16});
    scene->Add(tip, "tipText", {0, 0, 40, 16});
    tip->SetIndependent(true);
    tip->SetPopAnchor(false);
    tip->SetAnchor(b);
    ASSERT_EQ(tip->SetOpened(true, false), 1);
    EXPECT_EQ(input->GetTrackedPopup(), tip);
    EXPECT_EQ(input->GetPopupChain(), menu);
    EXPECT_TRUE(menu->IsOpened());
    EXPECT_FALSE(b->GetStateFlags() & kStatePopped);
    EXPECT_TRUE(input->IsPopupOpen());

    input->CloseTrackedPopup();
    EXPECT_FALSE(tip->IsOpened());
    EXPECT_EQ(input->GetTrackedPopup(), nullptr);
    EXPECT_TRUE(menu->IsOpened());

    tip->SetAnchor(b);
    ASSERT_EQ(tip->SetOpened(true, false), 1);
    input->ClosePopups(false);
    EXPECT_FALSE(tip->IsOpened());
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_FALSE(input->IsPopupOpen());
}

TEST_F(PopupBoxTest, TheEventsOfAnIndependentPopupSaySo) {
    LogPopup* tip = AddPopup(scene, scene->root, "tip", {0, 0, 40, 16});
    scene->Add(tip, "tipText", {0, 0, 40, 16});
    tip->SetIndependent(true);
    tip->SetAnchor(b);
    ASSERT_EQ(tip->SetOpened(true, false), 1);
    tip->SetOpened(false, false);
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_EQ(
        scene->LogWithout({"mouse", "focus", "blur", "initialized", "layout"}),
        (Lines{"tip popping independent", "tip popped independent", "tip shutting", "menu popping", "menu popped"}));
}

// While a style animation runs on it, a popup opens and closes without layout, placement or
// window: only its mark, the chain and the events change.
TEST_F(PopupBoxTest, APopupUnderAStyleAnimationOpensAndClosesLightly) {
    menu->SetStateFlag(kStateAnimating, true);
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_TRUE(menu->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), menu);
    EXPECT_TRUE(menu->GetStateFlags() & kStateCollapsed) << "not expanded";
    EXPECT_FALSE(Shown(menu)) << "no window";
    EXPECT_FALSE(a->GetStateFlags() & kStatePopped);
    EXPECT_EQ(scene->LogWithout({"mouse", "focus", "blur", "initialized", "layout"}), Lines{"menu popped"})
        << "no popping either";
    scene->log.clear();
    ASSERT_EQ(menu->SetOpened(false, false), 1);
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), nullptr);
    EXPECT_EQ(menu->GetAnchor(), nullptr);
    EXPECT_EQ(scene->LogWithout({"mouse", "focus", "blur", "initialized", "layout"}), Lines{"menu shutting"});

    // Once the animation is over it opens in full again.
    menu->SetStateFlag(kStateAnimating, false);
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    EXPECT_FALSE(menu->GetStateFlags() & kStateCollapsed);
    EXPECT_TRUE(Shown(menu));
}

TEST_F(PopupBoxTest, KeysAndThePointerMoveTheCurrentChildAndEnterClosesTheChain) {
    test::LogBox* last = scene->Add(menu, "last", {0, 40, 80, 20});
    for (oxBox* box : {static_cast<oxBox*>(item), static_cast<oxBox*>(last)})
        box->SetAttribute(kAtomSelectablePopupChild, u"true", false, false);
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    RunUntilIdle();
    auto current = [](oxBox* box) {
        const WCHAR* v = box->GetAttributeText(kAtomCurrent);
        return std::u16string(v ? v : u"");
    };
    platform::headless::Key(35); // End; the closed inner popup is no choice
    RunUntilIdle();
    EXPECT_EQ(menu->GetCurrentPopupChild(), last);
    EXPECT_EQ(current(last), u"true");
    platform::headless::Key(36); // Home
    RunUntilIdle();
    EXPECT_EQ(menu->GetCurrentPopupChild(), item);
    EXPECT_EQ(current(item), u"true");
    EXPECT_EQ(current(last), u"false");

    // The pointer over a selectable child makes it current; resting on one point changes nothing.
    const oxRect r = WindowRectOf(menu);
    platform::headless::MoveTo(r.x + 5, r.y + 45);
    RunUntilIdle();
    EXPECT_EQ(menu->GetCurrentPopupChild(), last);
    menu->SetCurrentPopupChild(item);
    platform::headless::MoveTo(r.x + 5, r.y + 45);
    RunUntilIdle();
    EXPECT_EQ(menu->GetCurrentPopupChild(), item);

    platform::headless::Key(13); // Enter on a child that is no control
    RunUntilIdle();
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_EQ(menu->GetCurrentPopupChild(), nullptr);
    EXPECT_EQ(current(item), u"false");
}

TEST_F(PopupBoxTest, TappingABoxThatNamesAPopupOpensItThereAndASecondTapClosesIt) {
    test::LogBox* opener = scene->Add(scene->root, "opener", {10, 150, 60, 20});
    // Placed clear of the scene's boxes: the test scene's hit test does not skip collapsed boxes.
    LogPopup* own = AddPopup(scene, opener, "own", {0, 200, 50, 20});
    scene->Add(own, "ownItem", {0, 0, 50, 20});
    opener->SetAttribute(kAtomPopup, u"_child", false, false);
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);

    platform::headless::Tap(15, kTop + 155);
    RunUntilIdle();
    EXPECT_FALSE(menu->IsOpened());
    ASSERT_TRUE(own->IsOpened());
    EXPECT_EQ(own->GetAnchor(), opener);
    EXPECT_EQ(input->GetPopupChain(), own);
    oxRect expected;
    expected.Set(10, kTop + 150 + 20, 50, 20);
    EXPECT_EQ(WindowRectOf(own), expected);

    platform::headless::Tap(15, kTop + 155);
    RunUntilIdle();
    EXPECT_FALSE(own->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), nullptr);
}

TEST_F(PopupBoxTest, AContextMenuOpensFromThePointerOrTheKeysAndInsideAPopupHangsBelowIt) {
    oxAtoms::RegisterPredefined(); // the popup's id and the attribute's text intern alike
    LogPopup* context = AddPopup(scene, scene->root, "context", {150, 200, 60, 20});
    scene->Add(context, "contextItem", {0, 0, 60, 20});
    context->SetStyleId(oxAtoms::Intern(u"context"), false);
    b->SetAttribute(kAtomContext, u"context", false, false);
    item->SetAttribute(kAtomContext, u"context", false, false);
    HWND window = scene->frame->GetWindow();
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const auto at = [&](int x, int y) {
        return LPARAM(uint32_t(uint16_t(origin.x + x)) | uint32_t(origin.y + y) << 16);
    };

    SendMessageW(window, WM_CONTEXTMENU, WPARAM(window), at(110, 245));
    ASSERT_TRUE(context->IsOpened()) << "a context menu by the pointer";
    EXPECT_EQ(context->GetAnchor(), b);
    EXPECT_EQ(input->GetPopupChain(), context);
    context->SetOpened(false, false);

    scene->SetFocusedBox(b);
    SendMessageW(window, WM_CONTEXTMENU, WPARAM(window), LPARAM(-1));
    ASSERT_TRUE(context->IsOpened()) << "a context menu by the keys, at the focused box";
    EXPECT_EQ(context->GetAnchor(), b);
    context->SetOpened(false, false);

    // Over an item of an open popup, the context menu joins that popup's chain below it.
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    RunUntilIdle();
    const oxRect r = WindowRectOf(menu);
    HWND popupWindow = menu->GetPopupFrame()->GetWindow();
    SendMessageW(popupWindow, WM_CONTEXTMENU, WPARAM(popupWindow),
                 LPARAM(uint32_t(uint16_t(r.x + 5)) | uint32_t(r.y + 25) << 16));
    ASSERT_TRUE(context->IsOpened());
    EXPECT_TRUE(menu->IsOpened()) << "the popup it came from stays";
    EXPECT_EQ(menu->GetContextChild(), context);
    EXPECT_EQ(context->GetContextParent(), menu);
    EXPECT_EQ(context->GetOutermostPopup(), menu);
    EXPECT_EQ(input->GetPopupChain(), context);
    menu->SetOpened(false, false);
    EXPECT_FALSE(context->IsOpened()) << "closing with the popup it hangs below";
    EXPECT_EQ(menu->GetContextChild(), nullptr);
    EXPECT_EQ(input->GetPopupChain(), nullptr);
}

TEST_F(PopupBoxTest, ARestingPointerShowsTheTooltipWhichClosesWhenThePointerLeaves) {
    oxAtoms::RegisterPredefined();
    LogPopup* tip = AddPopup(scene, scene->root, "tip", {150, 200, 60, 20});
    scene->Add(tip, "tipText", {0, 0, 60, 20});
    scene->tooltip = tip;
    b->SetAttribute(kAtomInstantTooltip, u"Hello", false, false);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const int32_t pointerHeight = GetPointerHeight(nullptr);
    ASSERT_GT(pointerHeight, 0);
    POINT origin{0, 0};
    ClientToScreen(scene->frame->GetWindow(), &origin);
    platform::headless::MoveTo(origin.x + 110, origin.y + 245);
    platform::headless::AdvanceAndRun(20);
    ASSERT_TRUE(tip->IsOpened()) << "the instant tooltip after its 1 ms";
    EXPECT_EQ(WindowRectOf(tip).x, origin.x + 110);
    EXPECT_EQ(WindowRectOf(tip).y, origin.y + 245 + pointerHeight) << "below the tip of the pointer";
    EXPECT_EQ(input->GetTrackedPopup(), tip);
    EXPECT_EQ(input->GetPopupChain(), nullptr) << "a tooltip is no part of the chain";
    EXPECT_EQ(std::u16string(tip->GetAttribute(kAtomTooltipText)), u"Hello");
    EXPECT_EQ(std::u16string(tip->GetAttribute(kAtomPopupAlign)), u"after_point");
    EXPECT_FALSE(b->GetStateFlags() & kStatePopped) << "its anchor is not popped";
    platform::headless::MoveTo(origin.x + 130, origin.y + 250);
    RunUntilIdle();
    EXPECT_TRUE(tip->IsOpened()) << "moving within the box keeps it";
    platform::headless::MoveTo(origin.x + 120, origin.y + 150);
    RunUntilIdle();
    EXPECT_FALSE(tip->IsOpened()) << "leaving the box closes it";
    EXPECT_EQ(input->GetTrackedPopup(), nullptr);

    // A custom tooltip is a popup of the scene named by id; a box without any shows none.
    LogPopup* custom = AddPopup(scene, scene->root, "custom", {150, 230, 60, 20});
    scene->Add(custom, "customText", {0, 0, 60, 20});
    custom->SetStyleId(oxAtoms::Intern(u"custom"), false);
    test::LogBox* c = scene->Add(scene->root, "c", {170, 100, 40, 20});
    c->SetAttribute(kAtomCustomTooltip, u"custom", false, false);
    platform::headless::MoveTo(origin.x + 180, origin.y + 110);
    platform::headless::AdvanceAndRun(20);
    EXPECT_FALSE(custom->IsOpened()) << "no instant tooltip: it waits the double-click time";
    platform::headless::AdvanceAndRun(GetDoubleClickTime());
    EXPECT_TRUE(custom->IsOpened());
    EXPECT_FALSE(tip->IsOpened());
    EXPECT_EQ(custom->GetAnchor(), c);
}

TEST_F(PopupBoxTest, InARightToLeftSceneAPopupLinesUpWithItsAnchorsRightEdge) {
    scene->rtl = true;
    menu->SetAnchor(b);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    oxRect expected;
    expected.Set(100 + 50 - 80, kTop + 240 - 60, 80, 60); // above: there is no room below
    EXPECT_EQ(WindowRectOf(menu), expected);
    // A submenu opens on the left of its menu, its top at the item's.
    sub->SetAnchor(item);
    ASSERT_EQ(sub->SetOpened(true, false), 1);
    const oxRect m = WindowRectOf(menu);
    expected.Set(m.x - 70, m.y + 20, 70, 20);
    EXPECT_EQ(WindowRectOf(sub), expected);
}

// A window that loses the activation to another program closes its scene's popups: the chain and
// the tracked one alike. Moving to one of its own popups closes nothing.
TEST_F(PopupBoxTest, DeactivatingTheWindowClosesItsPopups) {
    LogPopup* tip = AddPopup(scene, scene->root, "tip", {150, 200, 60, 20});
    scene->Add(tip, "tipText", {0, 0, 60, 20});
    menu->SetAnchor(a);
    ASSERT_EQ(menu->SetOpened(true, false), 1);
    sub->SetAnchor(item);
    ASSERT_EQ(sub->SetOpened(true, false), 1);
    tip->SetIndependent(true);
    tip->SetAnchor(b);
    ASSERT_EQ(tip->SetOpened(true, false), 1);
    ASSERT_EQ(input->GetTrackedPopup(), tip);
    HWND window = scene->frame->GetWindow();
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, LPARAM(menu->GetPopupFrame()->GetWindow()));
    EXPECT_TRUE(menu->IsOpened() && sub->IsOpened() && tip->IsOpened()) << "its own popup took the activation";
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(menu->IsOpened());
    EXPECT_FALSE(sub->IsOpened());
    EXPECT_FALSE(tip->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), nullptr);
    EXPECT_EQ(input->GetTrackedPopup(), nullptr);
}

} // namespace
