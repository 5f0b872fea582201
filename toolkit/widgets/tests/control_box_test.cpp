#include "toolkit/widgets/control_box.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/crt/wide.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/tests/control_test_scene.h"

namespace {

class ControlBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::RegisterPredefined();
        saveAtom = oxAtoms::Intern(u"save");
        root = new oxBox(kAtomBox);
        control = new oxControlBox(kAtomControl);
        root->AddChild(control);
    }
    void TearDown() override { root->Release(); }
    void Attach() { root->AttachSubtreeToScene(&scene); }

    ControlScene scene;
    oxElement saveCommand;
    oxAtom saveAtom = 0;
    oxBox* root = nullptr;
    oxControlBox* control = nullptr;
};

TEST_F(ControlBoxTest, StartsEngagedFocusableAndBlockingEvents) {
    EXPECT_EQ(control->GetBoxType(), kAtomControl);
    EXPECT_TRUE(control->GetStateFlags() & kStateEngaged);
    EXPECT_EQ(control->GetFocusMode(), kModeFocusNormal);
    EXPECT_TRUE(control->TestChangeFlags(kChangeBlockEvents));
}

TEST_F(ControlBoxTest, CommandSetOutsideASceneBindsAtAttachment) {
    scene.groups[{root, saveAtom}] = &saveCommand;
    scene.commandAttributes[&saveCommand] = {{kAtomLabel, u"Save"}};
    control->SetAttribute(kAtomCommand, u"save", true, false);
    EXPECT_EQ(control->GetCommandId(), 0);
    EXPECT_TRUE(scene.bound[&saveCommand].empty());
    Attach();
    EXPECT_EQ(control->GetCommandId(), saveAtom);
    EXPECT_EQ(scene.bound[&saveCommand], std::vector<oxBox*>{control});
    // The command's attributes reached the control.
    ASSERT_NE(control->GetLabel(), nullptr);
    EXPECT_EQ(std::u16string(control->GetLabel()), u"Save");
    // Rebinding leaves the old command's list.
    control->SetAttribute(kAtomCommand, u"other", true, false);
    EXPECT_TRUE(scene.bound[&saveCommand].empty());
}

TEST_F(ControlBoxTest, CommandsAreFoundOnTheBoxItsAncestorsThenTheScene) {
    oxElement own, scenes;
    Attach();
    control->SetCommand(saveAtom);
    scene.groups[{nullptr, saveAtom}] = &scenes;
    oxBox* owner = nullptr;
    EXPECT_EQ(control->FindCommand(&owner), &scenes);
    EXPECT_EQ(owner, nullptr);
    scene.groups[{root, saveAtom}] = &saveCommand;
    EXPECT_EQ(control->FindCommand(&owner), &saveCommand);
    EXPECT_EQ(owner, root);
    scene.groups[{control, saveAtom}] = &own;
    EXPECT_EQ(control->FindCommand(&owner), &own);
    EXPECT_EQ(owner, control);
}

TEST_F(ControlBoxTest, BoundCommandRunsDispatchesAndToggles) {
    scene.groups[{root, saveAtom}] = &saveCommand;
    control->SetAttribute(kAtomCommand, u"save", true, false);
    control->SetAttribute(kAtomValue, u"42", true, false);
    control->SetAttribute(kAtomMessage, u"go", true, false);
    control->SetToggleMode(kModeToggleTwo);
    Attach();
    void* data = nullptr;
    oxAtom message = 0;
    bool shift = false;
    scene.shiftDown = true;
    scene.onExecute = [&](oxEvent* e) {
        auto* c = static_cast<oxCommandEvent*>(e);
        data = c->data, message = c->message, shift = c->shift;
    };
    control->Command();
    ASSERT_EQ(scene.executed.size(), 1u);
    EXPECT_EQ(scene.executed[0], std::make_pair(static_cast<oxElement*>(&saveCommand), root));
    EXPECT_EQ(reinterpret_cast<intptr_t>(data), 42);
    EXPECT_EQ(message, oxAtoms::Find(u"go"));
    EXPECT_TRUE(shift);
    EXPECT_EQ(scene.dispatched, (std::vector<oxAtom>{kAtomCommand, kAtomToggle}));
    EXPECT_TRUE(control->GetStateFlags() & kStateToggled);
    EXPECT_EQ(control->GetTristate(), 1);
    control->Command();
    EXPECT_FALSE(control->GetStateFlags() & kStateToggled);
    EXPECT_EQ(control->GetTristate(), 0);
}

TEST_F(ControlBoxTest, ThreeStateToggleCycles) {
    control->SetToggleMode(kModeToggleThree);
    Attach();
    const struct {
        int tristate;
        bool toggled;
    } steps[] = {{1, true}, {2, false}, {0, false}};
    for (const auto& step : steps) {
        control->Command();
        EXPECT_EQ(control->GetTristate(), step.tristate);
        EXPECT_EQ((control->GetStateFlags() & kStateToggled) != 0, step.toggled);
        EXPECT_EQ(std::u16string(control->GetAttribute(kAtomTristate)),
                  std::u16string(1, char16_t(u'0' + step.tristate)));
    }
}

TEST_F(ControlBoxTest, PreventingTheDefaultStopsDispatchAndToggle) {
    control->SetToggleMode(kModeToggleTwo);
    scene.groups[{root, saveAtom}] = &saveCommand;
    control->SetAttribute(kAtomCommand, u"save", true, false);
    Attach();
    scene.onExecute = [](oxEvent* e) { e->AddFlags(kEventDefaultPrevented); };
    control->Command();
    EXPECT_TRUE(scene.dispatched.empty());
    EXPECT_FALSE(control->GetStateFlags() & kStateToggled);
    // Prevented by a listener of the dispatch: no toggle either.
    scene.onExecute = nullptr;
    scene.onDispatch = [](oxEvent* e) { e->AddFlags(kEventDefaultPrevented); };
    control->Command();
    EXPECT_EQ(scene.dispatched, std::vector<oxAtom>{kAtomCommand});
    EXPECT_FALSE(control->GetStateFlags() & kStateToggled);
}

TEST_F(ControlBoxTest, DisabledControlsRaiseNothing) {
    Attach();
    control->SetDisabled(true, false);
    control->Command();
    EXPECT_TRUE(scene.dispatched.empty());
}

TEST_F(ControlBoxTest, ClicksDispatchMouseDownThenUpWhileTheyGoThrough) {
    control->Click();
    EXPECT_TRUE(scene.dispatched.empty()); // not in a scene
    Attach();
    control->Click();
    EXPECT_EQ(scene.dispatched, (std::vector<oxAtom>{kAtomMouseDown, kAtomMouseUp}));
    scene.dispatched.clear();
    control->DoubleClick();
    EXPECT_EQ(scene.dispatched, (std::vector<oxAtom>{kAtomMouseDown, kAtomDoubleClick, kAtomMouseUp}));
    scene.dispatched.clear();
    scene.dispatchResult = false;
    control->DoubleClick();
    EXPECT_EQ(scene.dispatched, std::vector<oxAtom>{kAtomMouseDown});
}

TEST_F(ControlBoxTest, ChildCommandsChangeAndIncreaseTheValue) {
    oxControlBox* child = new oxControlBox(kAtomControl);
    control->AddChild(child);
    Attach();
    control->SetValue(u"5");
    const struct {
        oxAtom message;
        intptr_t data;
        const char16_t* value; // null: not handled here
    } cases[] = {
        {kAtomIncrease, -1, u"4"},
        {kAtomChange, 123456789, u"123456789"},
        {kAtomChange, -1234567890, u"-12345678"}, // nine characters at most
        {kAtomSelect, 7, nullptr},
    };
    for (const auto& c : cases) {
        oxCommandEvent e(kAtomCommand, child, nullptr, nullptr, c.message, reinterpret_cast<void*>(c.data), false,
                         false, false);
        e.SetFlags(kEventBubbles | kEventPropagating);
        const std::u16string before = control->GetValue();
        control->HandleEvent(&e);
        if (c.value) {
            EXPECT_EQ(std::u16string(control->GetValue()), c.value);
            EXPECT_FALSE(e.GetFlags() & kEventPropagating);
        } else {
            EXPECT_EQ(std::u16string(control->GetValue()), before);
            EXPECT_TRUE(e.GetFlags() & kEventPropagating);
        }
    }
    // The control's own command is not a child's.
    control->SetValue(u"5");
    oxCommandEvent own(kAtomCommand, control, nullptr, nullptr, kAtomIncrease, reinterpret_cast<void*>(1), false, false,
                       false);
    control->HandleEvent(&own);
    EXPECT_EQ(std::u16string(control->GetValue()), u"5");
}

TEST_F(ControlBoxTest, SpacePressesAndReleasesButNotWithAlt) {
    oxKeyEvent altDown(kAtomKeyDown, control, nullptr, 32, false, false, true, 32);
    control->HandleEvent(&altDown);
    EXPECT_FALSE(control->GetStateFlags() & kStatePressed);
    oxKeyEvent down(kAtomKeyDown, control, nullptr, 32, false, false, false, 32);
    control->HandleEvent(&down);
    EXPECT_TRUE(control->GetStateFlags() & kStatePressed);
    oxKeyEvent other(kAtomKeyUp, control, nullptr, 0, false, false, false, 13);
    control->HandleEvent(&other);
    EXPECT_TRUE(control->GetStateFlags() & kStatePressed);
    oxKeyEvent up(kAtomKeyUp, control, nullptr, 0, false, false, true, 32); // no character on a key-up
    control->HandleEvent(&up);
    EXPECT_FALSE(control->GetStateFlags() & kStatePressed);
}

TEST_F(ControlBoxTest, LabelValueAndTristateAttributes) {
    control->SetAttribute(kAtomLabel, u"OK", true, false);
    control->SetAttribute(kAtomValue, u"v", true, false);
    control->SetAttribute(kAtomTristate, u"2", true, false);
    EXPECT_EQ(std::u16string(control->GetAttribute(kAtomLabel)), u"OK");
    EXPECT_EQ(std::u16string(control->GetAttribute(kAtomValue)), u"v");
    EXPECT_EQ(std::u16string(control->GetAttribute(kAtomTristate)), u"2");
    EXPECT_TRUE(control->GetStateFlags() & kStateToggled);
    control->SetAttribute(kAtomTristate, u"junk", true, false);
    EXPECT_EQ(control->GetTristate(), 0);
    control->SetLabel(nullptr);
    EXPECT_EQ(control->GetLabel(), nullptr);
}

// A handler that drops the last reference to the control during its command.
TEST_F(ControlBoxTest, AControlRemovedByItsOwnHandlerSurvivesTheCall) {
    control->SetToggleMode(kModeToggleTwo);
    Attach();
    scene.onDispatch = [&](oxEvent* e) {
        if (e->GetType() == kAtomCommand) {
            oxBox* removed = root->RemoveChild(control, false);
            if (removed) removed->Release();
        }
    };
    control->Command();
    EXPECT_EQ(scene.dispatched.back(), kAtomToggle);
}

} // namespace
