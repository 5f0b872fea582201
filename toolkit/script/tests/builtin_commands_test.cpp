// The built-in command handler ("toolkit") acting on the boxes of a scene opened in its window:
// each named action from a table, with its target and its effect, the validation words, and a key
// bound to a "toolkit:" command.
#include "toolkit/widgets/builtin_command_handler.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/popup_box.h"

namespace {

constexpr const char* kScene = R"(<window xmlns="http://www.kestrum.com/weftly/box.xsd"
        xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root" title="Commands">
  <r:library>
    <r:style tag="popup" orient="vertical"/>
    <r:style target="list" height="40" maxHeight="40" overflow="scroll"/>
    <r:style name="row" height="30"/>
  </r:library>
  <keyGroup>
    <key key="ESCAPE" command="pop"/>
  </keyGroup>
  <commandGroup>
    <command id="pop" action="toolkit:Pop"/>
  </commandGroup>
  <box id="opener" popup="_child" focusMode="normal">
    <popup id="openerPopup"><box id="openerItem" height="20" width="40"/></popup>
  </box>
  <hbox id="siblings">
    <box id="first"><popup id="firstPopup"><box height="20" width="40"/></popup></box>
    <box id="second"/>
  </hbox>
  <menuBar id="bar">
    <menu id="file" popup="_child">
      <popup id="filePopup"><box id="fileItem" selectablePopupChild="true" height="20" width="40"/></popup>
    </menu>
  </menuBar>
  <vbox id="list"><box style="row"/><box style="row"/><box style="row"/><box style="row"/></vbox>
  <input id="field"/>
  <control id="cancel" cancelButton="true"/>
</window>)";

class BuiltinCommandsTest : public WindowedAppTest {
public:
    void SetUp() override {
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        // Its own name: the tests of other processes share the resources folder.
        const std::string name = "builtin_commands_test_" + std::to_string(getpid()) + ".box";
        written.push_back(name);
        std::ofstream(resources / name) << kScene;
        const std::u16string uri(name.begin(), name.end());
        scene = app->GetShell()->GetRuntime()->OpenSceneSimple(uri.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        ASSERT_NE(scene, nullptr);
        handler = oxBuiltinCommandHandler::GetInstance();
        ASSERT_NE(handler, nullptr);
    }
    oxBox* Box(const char16_t* id) { return scene->GetBoxById(oxAtoms::Find(id), false); }
    template <class T> T* As(const char16_t* id) { return dynamic_cast<T*>(Box(id)); }
    int32_t Run(const char16_t* name, const char16_t* target, uint16_t* flags = nullptr) {
        oxDOMEvent event(kAtomCommand, Box(target), nullptr);
        event.AddFlags(kEventPropagating);
        const int32_t result = handler->ExecuteCommand(name, &event);
        if (flags) *flags = event.GetFlags();
        return result;
    }

    oxScene* scene = nullptr;
    oxBuiltinCommandHandler* handler = nullptr;
};

TEST_F(BuiltinCommandsTest, EachNamedActionActsOnTheEventsTarget) {
    const struct {
        const char16_t* name;
        const char16_t* target;
        int32_t result;
        std::function<bool(BuiltinCommandsTest*)> effect; // null: nothing to check
        const char* what;
    } rows[] = {
        {u"focus", u"opener", 0, nullptr, "names are compared case-sensitively"},
        {u"Focus", u"opener", 1, [](auto* t) { return t->scene->GetFocusedBox() == t->Box(u"opener"); }, "focused"},
        {u"Blur", u"opener", 1, [](auto* t) { return t->scene->GetFocusedBox() == nullptr; }, "blurred"},
        {u"Pop", u"opener", 1, [](auto* t) { return t->template As<oxPopupBox>(u"openerPopup")->IsOpened(); },
         "the _child popup opens"},
        {u"Pop", u"opener", 1, [](auto* t) { return t->template As<oxPopupBox>(u"openerPopup")->IsOpened(); },
         "an open popup stays open"},
        {u"Shut", u"opener", 0, nullptr, "Shut takes menus only"},
        {u"Pop", u"file", 1, [](auto* t) { return t->template As<oxPopupBox>(u"filePopup")->IsOpened(); },
         "a menu opens its own popup"},
        {u"MouseOutMenuItem", u"fileItem", 0,
         [](auto* t) { return t->template As<oxPopupBox>(u"filePopup")->GetCurrentPopupChild() == nullptr; },
         "always 0, the current item cleared"},
        {u"Shut", u"file", 1, [](auto* t) { return !t->template As<oxPopupBox>(u"filePopup")->IsOpened(); },
         "the menu's popup closes"},
        {u"PopChained", u"file", 1, [](auto* t) { return t->template As<oxPopupBox>(u"filePopup")->IsOpened(); },
         "chained"},
        {u"PopChained", u"opener", 0, nullptr, "menus only"},
        {u"CloseSiblingPopup", u"second", 1,
         [](auto* t) { return !t->template As<oxPopupBox>(u"firstPopup")->IsOpened(); }, "a sibling's popup"},
        {u"InvalidInput", u"field", 1,
         [](auto* t) { return std::u16string(t->Box(u"field")->GetAttributeText(kAtomInvalidInput)) == u"true"; },
         "marked"},
        {u"CopyText", u"field", 1, nullptr, "an input box edits text"},
        {u"PasteText", u"opener", 0, nullptr, "a plain box does not"},
        {u"CursorDown", u"list", 0, nullptr, "no select box around"},
        {u"ScrollDown", u"list", 1, [](auto* t) { return t->Box(u"list")->GetScrollY() == 1; }, "one unit"},
        {u"MouseWheelScrollDown", u"list", 1,
         [](auto* t) { return t->Box(u"list")->GetScrollY() == 1 + 12 * t->handler->GetWheelStep(); },
         "twelve units a wheel line, kept within the range"},
        {u"NoSuchCommand", u"opener", 0, nullptr, "unknown"},
    };
    // The first popup is open so that the sibling's command has one to close.
    As<oxPopupBox>(u"firstPopup")->SetAnchor(Box(u"first"));
    As<oxPopupBox>(u"firstPopup")->SetOpened(true, false);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Run(row.name, row.target), row.result);
        if (row.effect && row.name != std::u16string(u"MouseWheelScrollDown")) {
            EXPECT_TRUE(row.effect(this));
        }
    }
    const int32_t range = Box(u"list")->GetScrollRangeY();
    EXPECT_EQ(Box(u"list")->GetScrollY(), std::min(range, 1 + 12 * handler->GetWheelStep()));
}

TEST_F(BuiltinCommandsTest, PropagationCommandsChangeTheEventsFlagsAndCloseClosesTheScene) {
    uint16_t flags = 0;
    EXPECT_EQ(Run(u"StopEventPropagation", u"opener", &flags), 1);
    EXPECT_FALSE(flags & kEventPropagating);
    EXPECT_EQ(Run(u"EnableEventPropagation", u"opener", &flags), 1);
    EXPECT_TRUE(flags & kEventBubbles);
    EXPECT_EQ(handler->ExecuteCommand(u"Focus", nullptr), 0) << "no event";
    HWND window = GetActiveWindow();
    EXPECT_EQ(Run(u"Close", u"opener"), 1);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(IsWindow(window)) << "the scene closed";
}

TEST_F(BuiltinCommandsTest, AKeyBoundToAToolkitCommandRunsItOnTheFocusedBox) {
    scene->SetFocusedBox(Box(u"opener"));
    platform::headless::Key(VK_ESCAPE);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(As<oxPopupBox>(u"openerPopup")->IsOpened());
}

TEST_F(BuiltinCommandsTest, ValidationWordsTestTheBoundText) {
    const struct {
        const char16_t* word;
        const char16_t* text;
        int32_t handled;
        bool value;
    } rows[] = {
        {u"notEmpty", u"x", 1, true},   {u"NOTEMPTY", u"x", 1, true},  {u"notEmpty", nullptr, 1, false},
        {u"empty", u"", 1, true},       {u"empty", u"a", 1, false},    {u"not", u"true", 1, false},
        {u"nothing", u"0", 1, true},    {u"numeric", u"12", 1, true},  {u"numeric", u"12a", 1, false},
        {u"numeric", u"", 1, true},     {u"ascii", u"a\\tb", 1, true}, {u"ascii", u"a\tb", 1, false},
        {u"ascii", u"\u00e9", 1, false}, {u"other", u"x", 0, false},
    };
    for (const auto& row : rows) {
        VARIANT result;
        result.vt = VT_EMPTY;
        EXPECT_EQ(handler->ExecuteBindingScript(row.word, row.text, &result), row.handled);
        if (row.handled) {
            ASSERT_EQ(result.vt, VT_BOOL);
            EXPECT_EQ(result.boolVal != 0, row.value);
        }
    }
    EXPECT_EQ(handler->ExecuteBindingScript(nullptr, u"x", nullptr), 0);
}

} // namespace
