// Focus, tab order, key groups, commands, the default button and qualified handlers of scenes
// opened from markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/key_names.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/tests/scene_test_support.h"

using namespace scene_test;
using toolkit_test::Utf8;

namespace {

class SceneFocusTest : public SceneFixture {
protected:
    std::string Focused(oxScene* scene) {
        oxBox* box = scene->GetFocusedBox();
        if (!box) return "-";
        WCHAR name[oxAtoms::kLookupUnits] = {};
        oxAtoms::GetName(box->GetId(), name, oxAtoms::kLookupUnits);
        return Utf8(name);
    }
    void Press(oxScene* scene, uint16_t key, bool shift = false, bool ctrl = false) {
        oxBox* target = scene->GetFocusedBox() ? scene->GetFocusedBox() : scene->GetRootBox();
        oxKeyEvent event(kAtomKeyPress, target, nullptr, key, shift, ctrl, false, key);
        scene->DispatchEvent(&event);
    }
};

TEST_F(SceneFocusTest, TabOrderRunsByIndexThenTreeOrderSkippingWhatCannotTakeTheFocus) {
    oxScene* scene = OpenFixture("focus.box");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Focused(scene), "c") << "the open focuses the first box of the tab order";
    std::vector<std::string> forward;
    for (int i = 0; i < 6; ++i) {
        Press(scene, 9);
        forward.push_back(Focused(scene));
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"e", "a", "d", "b", "c", "e"}));
    std::vector<std::string> backward;
    for (int i = 0; i < 6; ++i) {
        Press(scene, 9, true);
        backward.push_back(Focused(scene));
    }
    EXPECT_EQ(backward, (std::vector<std::string>{"c", "b", "d", "a", "e", "c"}));
    // Hiding the focused box's successor takes it out of the order at once.
    scene->GetBoxById(oxAtoms::Find(u"e"), false)->SetHidden(true);
    Press(scene, 9);
    EXPECT_EQ(Focused(scene), "a");
    EXPECT_EQ(scene->GetTabIndex(), 2);
}

TEST_F(SceneFocusTest, FocusScrollsTheNearestScrollingAncestorToTheBox) {
    oxScene* scene = OpenMarkup("scrolled_focus.box", R"(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root">
  <vbox id="outer" s:height="60" s:maxHeight="auto" s:overflow="scroll">
    <vbox id="list" s:height="50" s:maxHeight="auto" s:overflow="scroll">
      <box id="row1" focusMode="normal" s:height="20"/>
      <box id="row2" focusMode="normal" s:height="20"/>
      <box id="row3" focusMode="normal" s:height="20"/>
      <box id="row4" focusMode="normal" s:height="20"/>
      <box id="row5" focusMode="normal" s:height="20"/>
    </vbox>
    <box id="below" s:height="100"/>
  </vbox>
</vbox>)");
    ASSERT_NE(scene, nullptr);
    auto byId = [&](const char16_t* id) { return scene->GetBoxById(oxAtoms::Find(id), false); };
    oxBox* list = byId(u"list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetScrollY(), 0);
    scene->SetFocusedBox(byId(u"row5"));
    EXPECT_EQ(list->GetScrollY(), 50) << "the last row's bottom meets the list's";
    EXPECT_EQ(byId(u"outer")->GetScrollY(), 0) << "only the nearest scrolling ancestor scrolls";
    scene->SetFocusedBox(byId(u"row2"));
    EXPECT_EQ(list->GetScrollY(), 20) << "a row above the view comes to its top";
    scene->SetFocusedBox(byId(u"row3"));
    EXPECT_EQ(list->GetScrollY(), 20) << "a row in view leaves the list where it is";
}

TEST_F(SceneFocusTest, ModifierStatesAreTheKeyboardsNotTheLastKeyEvents) {
    oxScene* scene = OpenFixture("keys.box");
    ASSERT_NE(scene, nullptr);
    auto pump = [] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    };
    auto states = [&] {
        bool shift = true, ctrl = true, alt = true;
        scene->GetModifierKeyStates(&shift, &ctrl, &alt);
        return std::string(shift ? "S" : "-") + (ctrl ? "C" : "-") + (alt ? "A" : "-");
    };
    Press(scene, 'S', true, true); // a key event that says shift and control were down
    EXPECT_EQ(states(), "---");
    platform::input::KeyDown(VK_SHIFT);
    platform::input::KeyDown(VK_MENU);
    pump();
    EXPECT_EQ(states(), "S-A");
    platform::input::KeyUp(VK_SHIFT);
    platform::input::KeyUp(VK_MENU);
    pump();
    EXPECT_EQ(states(), "---");
    scene->GetModifierKeyStates(nullptr, nullptr, nullptr); // null outs are skipped
    platform::input::Reset();
}

TEST_F(SceneFocusTest, FocusAndBlurEventsAndAFocusChangeDuringBlur) {
    oxScene* scene = OpenFixture("focus.box");
    ASSERT_NE(scene, nullptr);
    oxBox* a = scene->GetBoxById(oxAtoms::Find(u"a"), false);
    oxBox* b = scene->GetBoxById(oxAtoms::Find(u"b"), false);
    oxBox* d = scene->GetBoxById(oxAtoms::Find(u"d"), false);
    std::vector<std::string> log;
    RefPtrListener blur = MakeListener(&log, "blur");
    RefPtrListener focus = MakeListener(&log, "focus");
    scene->AddEventListener(kAtomBlur, blur.get());
    scene->AddEventListener(kAtomFocus, focus.get());
    scene->SetFocusedBox(a);
    EXPECT_EQ(log, (std::vector<std::string>{"blur", "focus"}));
    EXPECT_TRUE(a->GetStateFlags() & kStateFocused);
    log.clear();
    scene->SetFocusedBox(a);
    EXPECT_TRUE(log.empty()) << "the focused box again sends nothing";

    // A blur handler cannot move the focus; a focus handler can, and the tab index follows.
    blur->onEvent = [&](oxEvent*) { scene->SetFocusedBox(d); };
    scene->SetFocusedBox(b);
    EXPECT_EQ(Focused(scene), "b");
    blur->onEvent = nullptr;
    bool moved = false;
    focus->onEvent = [&](oxEvent*) {
        if (moved) return;
        moved = true;
        scene->SetFocusedBox(d);
    };
    scene->SetFocusedBox(a);
    EXPECT_EQ(Focused(scene), "d");
    EXPECT_EQ(scene->GetTabIndex(), 2);

    // A destroyed box is forgotten.
    d->GetParent()->RemoveChild(d, false);
    scene->DestroyBox(d);
    EXPECT_EQ(Focused(scene), "-");
}

TEST_F(SceneFocusTest, AnEmbeddedSceneLetsTheFocusLeaveAndANoActivateSceneOnlyRecordsIt) {
    std::u16string path = WriteData("focus.box");
    oxScene* embedded = runtime()->OpenScene(path.c_str(), 1, 0, nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_NE(embedded, nullptr);
    EXPECT_EQ(Focused(embedded), "-") << "an embedded scene opens with noActivate";
    oxBox* c = embedded->GetBoxById(oxAtoms::Find(u"c"), false);
    EXPECT_EQ(embedded->GetActiveNativeText(), c);
    embedded->SetFocusedBox(c);
    EXPECT_EQ(embedded->RewindFocus(), 0) << "past its first index the focus leaves";
    EXPECT_EQ(Focused(embedded), "c");
}

TEST_F(SceneFocusTest, KeyNamesAndKeyTexts) {
    struct Case {
        const WCHAR* text;
        uint16_t code;
    } cases[] = {
        {u"softkey1", 112}, {u"SoftKey1", 112}, {u"F2", 113},     {u"done", 117}, {u"ACTION", 13},
        {u"q", u'Q'},       {u"F13", u'F'},     {u"rocker", 131}, {u"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyCodeFromText(c.text), c.code) << Utf8(c.text);
    EXPECT_EQ(VirtualKeyFromName(u"F13"), 0);
}

TEST_F(SceneFocusTest, KeyGroupsMatchAndRunTheirCommandsAndEnterPressesTheDefaultButton) {
    WriteData("keys.js");
    oxScene* scene = OpenFixture("keys.box");
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->GetKeyGroupCount(), 1u);
    ASSERT_EQ(scene->GetCommandGroupCount(), 1u);
    oxBox* field = scene->GetBoxById(oxAtoms::Find(u"field"), false);
    oxBox* panel = scene->GetBoxById(oxAtoms::Find(u"panel"), false);

    // Matching: a box's own groups (up its owner chain) before the scene's; modifiers must agree.
    oxBox* where = field;
    oxKeyEvent f5(kAtomKeyPress, field, nullptr, 116, false, false, false, 116);
    oxKeyElement* key = scene->MatchKeyCode(&f5, field, &where);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->GetId(), oxAtoms::Find(u"k1"));
    EXPECT_EQ(where, nullptr) << "found among the scene's groups";
    oxKeyEvent soft1(kAtomKeyPress, panel, nullptr, 112, false, false, false, 112);
    key = scene->MatchKeyCode(&soft1, panel, &where);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(where, panel);
    EXPECT_EQ(scene->MatchKeyCode(&soft1, field, &where), nullptr) << "a parent is not an owner";
    oxKeyEvent shiftedS(kAtomKeyPress, field, nullptr, u'S', true, true, false, u'S');
    EXPECT_EQ(scene->MatchKeyCode(&shiftedS, nullptr, &where), nullptr);
    oxKeyEvent ctrlS(kAtomKeyPress, field, nullptr, u'S', false, true, false, u'S');
    EXPECT_NE(scene->MatchKeyCode(&ctrlS, nullptr, &where), nullptr);

    // Pressing: key bindings run their command's action in the scene's script; a disabled command
    // does not run; Enter presses the default button.
    scene->SetFocusedBox(field);
    Press(scene, 116);
    Press(scene, u'S', false, true);
    Press(scene, 117); // F6: the disabled command
    EXPECT_EQ(probe->ticks, 2);
    Press(scene, 13);
    EXPECT_EQ(probe->ticks, 3);
    oxBox* button = scene->GetDefaultButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(Utf8(button->GetAttribute(kAtomDefaultStyle)), "true");
    scene->SetDefaultButton(field);
    EXPECT_EQ(scene->GetDefaultButton(), button) << "only a control can be the default button";
    EXPECT_TRUE(scene->DoCommand(oxAtoms::Find(u"save")));
    EXPECT_FALSE(scene->DoCommand(oxAtoms::Intern(u"nothing")));
    EXPECT_EQ(probe->ticks, 4);
}

TEST_F(SceneFocusTest, AFocusedBoxThatTakesEnterKeepsItFromTheDefaultButton) {
    WriteData("keys.js");
    oxScene* scene = OpenMarkup("enter.box", R"(<?xml version="1.0" encoding="utf-8"?>
<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" id="root">
  <commandGroup><command id="ok" action="onOk"/></commandGroup>
  <box id="okButton" command="ok" defaultButton="true" focusMode="normal"/>
  <box id="editor" focusMode="normal" wantEnter="true"/>
  <box id="field" focusMode="normal" wantEnter="false"/>
  <box id="plain" focusMode="normal"/>
  <box id="handled" focusMode="normal"/>
  <script language="javascript" src="keys.js"/>
</vbox>)");
    ASSERT_NE(scene, nullptr);
    auto byId = [&](const char16_t* id) { return scene->GetBoxById(oxAtoms::Find(id), false); };
    // A key handler for Enter makes a box take it too.
    auto* reaction = new oxReactionElement(kAtomKeyPress);
    ASSERT_TRUE(reaction->AddCondition(kAtomKeyCode, 13));
    ASSERT_TRUE(oxBehaviorElement::For(byId(u"handled"), true)->AddReaction(reaction));
    oxBox* button = scene->GetDefaultButton();
    ASSERT_EQ(button, byId(u"okButton"));
    struct Case {
        const char16_t* focus;
        const char* defaultStyle;
        int runs; // of the default button's command, for one Enter
    } cases[] = {
        {u"editor", "false", 0},  {u"field", "true", 1},    {u"plain", "true", 1},
        {u"handled", "false", 0}, {u"okButton", "true", 1},
    };
    for (const Case& c : cases) {
        scene->SetFocusedBox(byId(c.focus));
        EXPECT_EQ(Utf8(button->GetAttribute(kAtomDefaultStyle)), c.defaultStyle) << Utf8(c.focus);
        const int before = probe->ticks;
        Press(scene, 13);
        EXPECT_EQ(probe->ticks - before, c.runs) << Utf8(c.focus);
    }
    // Enter with a modifier is no plain Enter: the attribute does not decide it.
    oxKeyEvent shiftEnter(kAtomKeyPress, byId(u"editor"), nullptr, 13, true, false, false, 13);
    EXPECT_FALSE(byId(u"editor")->HandleAccelerator(&shiftEnter));
}

TEST_F(SceneFocusTest, CommandsMirrorTheirAttributesOntoAttachedBoxes) {
    oxScene* scene = OpenMarkup("commands.box", SceneMarkup("<box id=\"x\"/><box id=\"y\"/>"));
    ASSERT_NE(scene, nullptr);
    oxCommandGroupElement* group = scene->AddCommandGroup(oxAtoms::Intern(u"g"));
    oxElement* made = nullptr;
    ASSERT_EQ(group->CreateChildElement(kAtomBoxNamespace, kAtomCommand, &made), 0);
    auto* first = static_cast<oxCommandElement*>(made);
    first->SetId(oxAtoms::Intern(u"twice"));
    ASSERT_EQ(group->CreateChildElement(kAtomBoxNamespace, kAtomCommand, &made), 0);
    made->SetId(oxAtoms::Intern(u"twice"));
    EXPECT_EQ(group->FindCommand(oxAtoms::Find(u"twice")), made) << "the later of two commands of one id";
    EXPECT_EQ(group->CreateChildElement(kAtomBoxNamespace, kAtomKey, &made), int32_t(kElementNotHandled));

    oxBox* x = scene->GetBoxById(oxAtoms::Find(u"x"), false);
    std::vector<std::string> log;
    first->AttachBox(x);
    first->SetDisabled(true);
    EXPECT_TRUE(x->IsEffectivelyDisabled());
    first->SetCommandAttribute(kAtomToggled, u"true");
    EXPECT_TRUE(x->GetStateFlags() & kStateToggled);
    first->SetCommandAttribute(kAtomDisabled, u"");
    EXPECT_EQ(first->GetCommandAttribute(kAtomDisabled), nullptr);
    EXPECT_FALSE(x->IsEffectivelyDisabled());
    oxBox* y = scene->GetBoxById(oxAtoms::Find(u"y"), false);
    first->ApplyAttributesToBox(y);
    EXPECT_FALSE(y->GetStateFlags() & kStateToggled) << "only attached boxes take the attributes";
    first->AttachBox(y);
    first->ApplyAttributesToBox(y);
    EXPECT_TRUE(y->GetStateFlags() & kStateToggled);
    first->DetachBox(x);
    first->DetachBox(y);
}

TEST_F(SceneFocusTest, AHandlerWithoutAScriptOfItsPrefixCallsNothing) {
    WriteData("keys.js");
    oxScene* scene = OpenFixture("keys.box");
    ASSERT_NE(scene, nullptr);
    scene->RunHandler(oxQualifiedName(u"onOk"), nullptr, 0);
    EXPECT_EQ(probe->ticks, 1) << "the default script's function";
    scene->RunHandler(oxQualifiedName(u"nowhere:onOk"), nullptr, 0);
    scene->RunHandler(oxQualifiedName(u"noSuchFunction"), nullptr, 0);
    EXPECT_EQ(probe->ticks, 1);
}

} // namespace
