// Menu bars and their menus in a test scene's window: which menu is current, the keys and the
// pointer moving through them, and their popups opening, switching and closing.
#include "toolkit/widgets/menu_box.h"

#include <gtest/gtest.h>

#include "platform/backend/headless_input.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/tests/input_test_scene.h"

namespace {

using Lines = std::vector<std::string>;
using platform::headless::RunUntilIdle;

// The menu bar's announcements, logged into the scene's log.
class LogBar : public oxMenuBarBox {
public:
    explicit LogBar(test::InputScene* scene) : oxMenuBarBox(kAtomMenuBar), scene_(scene) {}
    int32_t HandleEvent(oxEvent* event) override {
        const oxAtom type = event->GetType();
        if (event->GetTarget() == this && (type == kAtomMenuStarting || type == kAtomMenuEnding))
            scene_->log.push_back("bar " + test::AtomName(type));
        return oxMenuBarBox::HandleEvent(event);
    }

private:
    test::InputScene* scene_;
};

class MenuBoxTest : public test::InputFixture {
protected:
    void SetUp() override {
        test::InputFixture::SetUp();
        oxAtoms::RegisterPredefined(); // "_child" names the menu's own popup
        scene = Open([&](test::InputScene* s) {
            bar = Place(s, s->root, new LogBar(s), {0, 0, 240, 20});
            // Four menus across the bar; "view" is collapsed. Each popup's window comes below its
            // menu; its place in the scene stays clear of the bar, which the hit test would find.
            const char* names[] = {"file", "edit", "view", "help"};
            for (int i = 0; i < 4; ++i) {
                menus[i] = Place(s, bar, new oxMenuBox(kAtomMenu), {i * 60, 0, 60, 20});
                menus[i]->SetAttribute(kAtomPopup, u"_child", false, false);
                popups[i] = Place(s, menus[i], new oxPopupBox(), {0, 100, 80, 40});
                items[i][0] = s->Add(popups[i], std::string(names[i]) + "1", {0, 0, 80, 20});
                items[i][1] = s->Add(popups[i], std::string(names[i]) + "2", {0, 20, 80, 20});
                for (oxBox* item : items[i])
                    item->SetAttribute(kAtomSelectablePopupChild, u"true", false, false);
            }
            menus[2]->SetCollapsed(true, false);
            field = s->Add(s->root, "field", {10, 200, 100, 20});
        });
        scene->root->SetActive(true);
    }
    template <class T> static T* Place(test::InputScene* s, oxBox* parent, T* box, oxRect rect) {
        parent->AddChild(box);
        box->AttachSubtreeToScene(s);
        s->looks[box] = rect;
        return box;
    }
    std::u16string Current(oxBox* box) {
        const WCHAR* text = box->GetAttribute(kAtomCurrent);
        return text ? text : u"";
    }
    // Where the client area of the scene's window starts on the screen.
    int Top() {
        POINT origin{0, 0};
        ClientToScreen(scene->frame->GetWindow(), &origin);
        return origin.y;
    }

    test::InputScene* scene = nullptr;
    LogBar* bar = nullptr;
    oxMenuBox* menus[4] = {};
    oxPopupBox* popups[4] = {};
    test::LogBox* items[4][2] = {};
    test::LogBox* field = nullptr;
};

TEST_F(MenuBoxTest, TheCurrentItemMovesAroundTheUsableMenusAndAnnouncesStartAndEnd) {
    EXPECT_EQ(bar->GetCurrentItem(), -1);
    EXPECT_EQ(bar->FirstItemIndex(), 0);
    EXPECT_EQ(bar->LastItemIndex(), 3);
    bar->ActivateFirst();
    EXPECT_EQ(Current(menus[0]), u"true");
    EXPECT_EQ(scene->Log(), (Lines{"bar menuStarting"}));
    // Next from "edit" skips the collapsed "view"; next from the last wraps to the first, previous
    // from the first to the last.
    const struct {
        bool next;
        int expected;
    } steps[] = {{true, 1}, {true, 3}, {true, 0}, {false, 3}, {false, 1}};
    for (const auto& step : steps) {
        step.next ? bar->SelectNext() : bar->SelectPrevious();
        EXPECT_EQ(bar->GetCurrentItem(), step.expected);
    }
    EXPECT_EQ(Current(menus[0]), u"false");
    EXPECT_EQ(Current(menus[1]), u"true");
    bar->SetCurrentItem(-1);
    EXPECT_EQ(Current(menus[1]), u"false");
    EXPECT_EQ(scene->Log(), (Lines{"bar menuStarting", "bar menuEnding"})) << "once each, not per move";
    menus[0]->SetDisabled(true, false);
    menus[3]->SetHidden(true);
    EXPECT_EQ(bar->FirstItemIndex(), 1);
    EXPECT_EQ(bar->LastItemIndex(), 1);
}

TEST_F(MenuBoxTest, KeysOnAFocusedMenuMoveThroughTheBarAndOpenAndCloseItsPopups) {
    scene->SetFocusedBox(field);
    scene->saved = field;
    scene->SetFocusedBox(menus[0]);
    platform::headless::Key(VK_RIGHT);
    RunUntilIdle();
    EXPECT_EQ(bar->GetCurrentItem(), 1) << "the focused menu became current, then Right moved on";
    EXPECT_EQ(scene->focused, menus[1]);
    platform::headless::Key(VK_END);
    RunUntilIdle();
    EXPECT_EQ(bar->GetCurrentItem(), 3);
    platform::headless::Key(VK_DOWN);
    RunUntilIdle();
    ASSERT_TRUE(popups[3]->IsOpened()) << "Down opens the menu's popup";
    EXPECT_EQ(popups[3]->GetAnchor(), menus[3]);
    EXPECT_EQ(popups[3]->GetCurrentPopupChild(), items[3][0]) << "at its first item";
    EXPECT_EQ(input->GetPopupChain(), popups[3]);

    // Inside the popup, Left closes it and opens the previous usable menu's popup.
    platform::headless::Key(VK_LEFT);
    RunUntilIdle();
    EXPECT_FALSE(popups[3]->IsOpened());
    ASSERT_TRUE(popups[1]->IsOpened());
    EXPECT_EQ(bar->GetCurrentItem(), 1) << "kept while one popup takes another's place";
    EXPECT_EQ(popups[1]->GetCurrentPopupChild(), items[1][0]);
    platform::headless::Key(VK_RIGHT);
    RunUntilIdle();
    EXPECT_TRUE(popups[3]->IsOpened());

    // Escape closes the popup, and the last popup closing ends the menu and gives the focus back.
    platform::headless::Key(VK_ESCAPE);
    RunUntilIdle();
    EXPECT_FALSE(popups[3]->IsOpened());
    EXPECT_EQ(bar->GetCurrentItem(), -1);
    EXPECT_EQ(scene->focused, field);
    EXPECT_EQ(scene->saved, nullptr);
}

TEST_F(MenuBoxTest, EscapeOnTheBarEndsTheMenuAndEnterOpensAPopup) {
    scene->SetFocusedBox(field);
    scene->saved = field;
    scene->SetFocusedBox(menus[1]);
    platform::headless::Key(VK_RETURN);
    RunUntilIdle();
    ASSERT_TRUE(popups[1]->IsOpened());
    EXPECT_EQ(popups[1]->GetCurrentPopupChild(), items[1][0]) << "the menu's Enter selects the first item";
    popups[1]->SetOpened(false, false);
    scene->SetFocusedBox(menus[1]);
    scene->saved = field;
    bar->SetCurrentItem(1);
    platform::headless::Key(VK_ESCAPE);
    RunUntilIdle();
    EXPECT_EQ(bar->GetCurrentItem(), -1);
    EXPECT_EQ(scene->focused, field);
}

TEST_F(MenuBoxTest, APressOpensAMenuAndHoveringAnotherSwitchesTheOpenPopup) {
    const int y = Top() + 10;
    platform::headless::Tap(30, y);
    RunUntilIdle();
    ASSERT_TRUE(popups[0]->IsOpened());
    EXPECT_EQ(bar->GetCurrentItem(), 0) << "the pressed menu is the bar's current item";
    EXPECT_TRUE(input->IsMenuBarEngaged());
    platform::headless::MoveTo(90, y);
    RunUntilIdle();
    EXPECT_FALSE(popups[0]->IsOpened());
    ASSERT_TRUE(popups[1]->IsOpened()) << "the hovered menu's popup took the other's place";
    EXPECT_EQ(bar->GetCurrentItem(), 1);
    EXPECT_EQ(scene->focused, menus[1]);
    // A second press on the opener closes its popup.
    platform::headless::Tap(90, y);
    RunUntilIdle();
    EXPECT_FALSE(popups[1]->IsOpened());
    EXPECT_EQ(input->GetPopupChain(), nullptr);
}

TEST_F(MenuBoxTest, HoveringTheBarWithoutAPressOnlyMarksTheMenu) {
    platform::headless::MoveTo(150, Top() + 10); // the collapsed menu's place
    platform::headless::MoveTo(200, Top() + 10);
    RunUntilIdle();
    EXPECT_EQ(bar->GetCurrentItem(), 3);
    EXPECT_FALSE(popups[3]->IsOpened());
}

TEST_F(MenuBoxTest, AFocusedBoxOutsideTheBarEndsTheMenu) {
    bar->SetCurrentItem(1);
    scene->SetFocusedBox(menus[1]);
    input->OnFocusMoved(menus[1], false);
    EXPECT_EQ(bar->GetCurrentItem(), -1);
    EXPECT_FALSE(input->IsMenuBarEngaged());
}

} // namespace
