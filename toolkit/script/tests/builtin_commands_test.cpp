// The built-in command handler ("toolkit") acting on the boxes of a scene opened in its window:
// each named action from a table, with its target and its effect, the validation words, and a key
// bound to a "toolkit:" command.
#include "toolkit/widgets/builtin_command_handler.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/select_box.h"

namespace {

constexpr const char* kScene = R"(<window xmlns="http://www.kestrum.com/weftly/box.xsd"
        xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root" title="Commands">
  <r:library>
    <r:style tag="popup" orient="vertical"/>
    <r:style target="list" height="40" maxHeight="40" overflow="scroll"/>
    <r:style name="row" height="30"/>
    <r:style target="paged" orient="vertical" width="50" height="100" maxHeight="100" overflow="scroll"/>
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
  <select id="pick" selectMode="multiple">
    <control id="row0" selectableMode="item" value="a"/><control id="row1" selectableMode="item" value="b"/>
    <control id="row2" selectableMode="item" value="c"/><control id="row3" selectableMode="item" value="d"/>
    <control id="row4" selectableMode="item" value="e"/>
    <box id="fence" stopPropagation="true"><control id="row5" selectableMode="item" value="f"/></box>
  </select>
  <datagrid id="table" view="grid" selectMode="multiple">
    <columns><box width="40"/></columns>
    <rows>
      <control id="g0" selectableMode="item" height="20"><control value="d"/></control>
      <control id="g1" selectableMode="item" height="20"><control value="b"/></control>
      <control id="g2" selectableMode="item" height="20"><control value="a"/></control>
      <control id="g3" selectableMode="item" height="20"><control value="c"/></control>
    </rows>
  </datagrid>
  <popup id="rowTip"><box height="20" width="40"/></popup>
  <select id="paged">
    <control id="p0" style="row" selectableMode="item" customTooltip="rowTip"/><control style="row" selectableMode="item"/>
    <control style="row" selectableMode="item"/><control style="row" selectableMode="item"/>
    <control style="row" selectableMode="item"/><control style="row" selectableMode="item"/>
  </select>
</window>)";

class BuiltinCommandsTest : public WindowedAppTest {
public:
    void SetUp() override {
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        const std::string name = Own("builtin_commands_test.box");
        std::ofstream(resources / name) << kScene;
        scene = app->GetShell()->GetRuntime()->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr, false);
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

TEST_F(BuiltinCommandsTest, SelectionMovesStepTheCursorAndSelectionOfTheSelectBoxAround) {
    auto* pick = As<oxSelectBox>(u"pick");
    ASSERT_NE(pick, nullptr);
    auto* model = dynamic_cast<oxListSelectionModel*>(pick->GetSelectionModel());
    ASSERT_NE(model, nullptr);
    const auto selected = [model] {
        std::vector<int> rows;
        model->BeginEnumeration();
        for (int r = model->GetFirstSelected(); r >= 0; r = model->NextSelected()) rows.push_back(r);
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    const struct {
        const char16_t* name;
        const char16_t* target;
        int32_t result;
        int cursor;
        std::vector<int> rows;
    } steps[] = {
        {u"CursorDown", u"row0", 1, 0, {}}, // no cursor yet: -1 + 1
        {u"CursorDown", u"row0", 1, 1, {}},
        {u"CursorSelect", u"pick", 1, 1, {1}},
        {u"SelectDownExtend", u"pick", 1, 2, {2}}, // no anchor yet: only the row, which becomes it
        {u"SelectDownExtend", u"pick", 1, 3, {2, 3}},
        {u"ToggleSelect", u"pick", 1, 3, {2}},
        {u"SelectUp", u"pick", 1, 2, {2}},
        {u"SelectEnd", u"pick", 1, 5, {5}},
        {u"SelectHomeExtend", u"pick", 1, 0, {0, 1, 2, 3, 4, 5}},
        {u"SelectDown", u"pick", 1, 1, {1}},
        {u"CursorUp", u"pick", 1, 0, {1}},
        {u"SelectUp", u"pick", 1, 0, {0}}, // stays on the first row
        {u"CursorDown", u"pick", 1, 1, {0}},
        {u"CursorUp", u"pick", 1, 0, {0}},
        {u"ExpandRow", u"pick", 1, 0, {0}}, // the flex layout has no nested rows
        {u"SelectAll", u"pick", 1, -1, {0, 1, 2, 3, 4, 5}}, // selecting anew leaves no cursor
        {u"SelectHome", u"row5", 0, -1, {0, 1, 2, 3, 4, 5}}, // a stopPropagation box on the way
        {u"CursorDown", u"opener", 0, -1, {0, 1, 2, 3, 4, 5}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.name, step.name + std::char_traits<char16_t>::length(step.name)));
        EXPECT_EQ(Run(step.name, step.target), step.result);
        EXPECT_EQ(model->GetCursor(), step.cursor);
        EXPECT_EQ(selected(), step.rows);
    }
    EXPECT_TRUE(Box(u"row3")->GetStateFlags() & kStateSelected);
}

TEST_F(BuiltinCommandsTest, PagingMovesByTheRowsInView) {
    // Six rows of 30 in a list 100 high: rows 0 to 3 show, the last in part.
    auto* paged = As<oxSelectBox>(u"paged");
    ASSERT_NE(paged, nullptr);
    oxSelectionModel* model = paged->GetSelectionModel();
    model->MoveCursor(0, 1, false);
    EXPECT_EQ(paged->GetFirstVisibleRowIndex(), 0);
    EXPECT_EQ(paged->GetLastVisibleRowIndex(), 3);
    const struct {
        const char16_t* name;
        int cursor;
        int firstSelected;
        int32_t scrollY;
    } steps[] = {
        {u"SelectPageDown", 2, 2, 0},  // to the row before the last in view
        {u"SelectPageDown", 4, 4, 60}, // the cursor row goes to the top first
        {u"CursorPageUp", 2, 4, 60},   // to the first row in view
        {u"SelectPageUp", 0, 0, 0},    // from the first row in view: a page up
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.name, step.name + std::char_traits<char16_t>::length(step.name)));
        EXPECT_EQ(Run(step.name, u"p0"), 1);
        EXPECT_EQ(model->GetCursor(), step.cursor);
        EXPECT_EQ(model->GetFirstSelected(), step.firstSelected);
        EXPECT_EQ(paged->GetScrollY(), step.scrollY);
    }
}

TEST_F(BuiltinCommandsTest, ARowsTooltipClosesWhenTheCursorScrollsAnotherRowUnderThePointer) {
    auto* paged = As<oxSelectBox>(u"paged");
    auto* input = dynamic_cast<oxFrameInput*>(app->GetShell()->GetRuntime()->GetFrameInput());
    oxFrameSite* site = GetFrameSite(paged);
    ASSERT_TRUE(paged && input && site && site->GetWindowBoxFrame());
    platform::headless::UseVirtualClock(1000);
    oxSelectionModel* model = paged->GetSelectionModel();
    model->MoveCursor(0, 0, false);
    POINT at{0, 0};
    ClientToScreen(site->GetWindowBoxFrame()->GetWindow(), &at);
    const oxPoint row = site->GetFramePosition(Box(u"p0"));
    platform::headless::MoveTo(at.x + row.x + 5, at.y + row.y + 5);
    platform::headless::AdvanceAndRun(GetDoubleClickTime() + 20);
    ASSERT_NE(input->GetTrackedPopup(), nullptr) << "the first row's tooltip";
    model->MoveCursor(2, 0, false);
    EXPECT_EQ(paged->GetScrollY(), 0);
    EXPECT_NE(input->GetTrackedPopup(), nullptr) << "the rows in view stay: so does the tooltip";
    model->MoveCursor(5, 0, false);
    EXPECT_GT(paged->GetScrollY(), 0);
    EXPECT_EQ(input->GetTrackedPopup(), nullptr) << "another row came under the pointer";
}

TEST_F(BuiltinCommandsTest, ADataGridSortedKeepsItsSelectionOnTheSameRows) {
    auto* table = As<oxSelectBox>(u"table");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetBoxType(), kAtomSelect);
    ASSERT_EQ(table->GetRowCount(), 4);
    oxSelectionModel* model = table->GetSelectionModel();
    EXPECT_EQ(Run(u"SelectHome", u"g0"), 1);
    EXPECT_EQ(Run(u"SelectDownExtend", u"g0"), 1);
    EXPECT_EQ(model->GetSelectedCount(), 2);
    EXPECT_EQ(table->GetSortColumn(), 0);
    table->SetSortColumn(1);
    table->SortByValue(false, true);
    scene->Layout();
    // a b c d: the rows of "d" and "b" are now 3 and 1, the cursor on "b".
    EXPECT_EQ(table->GetRowBox(0), Box(u"g2"));
    EXPECT_EQ(table->GetRowIndex(Box(u"g0")), 3);
    EXPECT_TRUE(model->IsSelected(1));
    EXPECT_TRUE(model->IsSelected(3));
    EXPECT_EQ(model->GetSelectedCount(), 2);
    EXPECT_EQ(model->GetCursor(), 1);
    EXPECT_EQ(Run(u"SelectDown", u"g0"), 1);
    EXPECT_EQ(table->GetSelectedBox(), Box(u"g3"));
    // A flex list has no sort column.
    As<oxSelectBox>(u"pick")->SetSortColumn(2);
    EXPECT_EQ(As<oxSelectBox>(u"pick")->GetSortColumn(), 0);
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

TEST_F(BuiltinCommandsTest, ADisabledCommandIsNotRunByItsKey) {
    oxCommandElement* pop = scene->FindCommand(oxAtoms::Find(u"pop"), nullptr);
    ASSERT_NE(pop, nullptr);
    pop->SetCommandAttribute(kAtomDisabled, u"true");
    scene->SetFocusedBox(Box(u"opener"));
    platform::headless::Key(VK_ESCAPE);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(As<oxPopupBox>(u"openerPopup")->IsOpened());
    pop->SetCommandAttribute(kAtomDisabled, u"false");
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
