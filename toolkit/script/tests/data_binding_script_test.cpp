// DataBinding, Selection and SelectionData from scene scripts, over the data sources of script
// objects, arrays, live arrays and script-implemented tables.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_constructors.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/data_selection_model.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/widgets/select_box.h"

namespace script_api_test {
namespace {

class DataScriptTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        for (auto [name, make] : {std::pair{u"liveArray", &NUBO::CreateLiveArrayConstructor},
                                  std::pair{u"xArray", &NUBO::CreateXArrayConstructor}}) {
            NUBO::XObject* constructor = nullptr;
            ASSERT_EQ(make(&constructor), 0);
            ASSERT_EQ(shell()->AddNamedObject(NUBO::TWString(name), constructor), 0);
            constructor->Release();
        }
        scene = Open("bound_list.box", "bound");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var sc = " + Utf8(scene->GetContextName().GetString()) +
                                   ".scene; function $(id) { return sc.getBoxById(id); }"));
    }
    oxBox* Box(const char* id) const {
        std::u16string wide(id, id + strlen(id));
        return scene->GetBoxById(oxAtoms::Intern(wide.c_str()), false);
    }
    // Five people in a live array, shown by the bound lists; `list` is the bound select box.
    bool ShowPeople() {
        return Run(scene, "var people = new liveArray();"
                          "for (var i = 0; i < 5; i++) people.addValue({id: 'p' + i, name: 'N' + i});"
                          "sc.people = people; var list = $('pick');");
    }
    oxScene* scene = nullptr;
};

TEST_F(DataScriptTest, ABindingMadeByScriptConnectsAndFollowsItsSettings) {
    ASSERT_TRUE(Run(scene, "var b = $('dst').getDataBinding('title');"
                           "b.elementSourceId = 'src'; b.path = 'label'; b.targetProperty = 'title'; b.connect();"));
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        {"$('dst').hasDataBinding('title')", "boolean:true"},
        {"$('dst').createDataBinding('title', 0)", "null"},
        {"$('dst').getAttribute('title')", "string:one"},
        {"b.bindType", "number:1"},
        {"b.elementSourceId", "string:src"},
        {"b.collectionSourceId", "string:"},
        {"b.objectSourceId", "undefined"},
        {"b.targetProperty", "string:title"},
        {"b.bindMethod", "string:twoWay"},
        {"b.updateMethod", "string:onDataChanged"},
        {"b.replicationMethod", "string:full"},
        {"b.target === $('dst')", "boolean:true"},
        {"b.elementSource === $('src')", "boolean:true"},
        {"(b.objectSourceId = 'x', b.elementSourceId)", "string:src"},
        {"(b.bindMethod = 'sideways', b.bindMethod)", "string:sideways"},
        {"(b.bindMethod = 'twoWay', $('src').setAttribute('label', 'two'), $('dst').getAttribute('title'))",
         "string:two"},
        {"$('dst').bindings.count", "number:1"},
        {"$('dst').getBindingById('none')", "null"},
        {"b.validate()", "boolean:false"},
        {"(b.defer = true, $('dst').setAttribute('title', 'held'), b.update(false), $('src').getAttribute('label'))",
         "string:two"},
        {"(b.defer = false, b.update(false), $('src').getAttribute('label'))", "string:held"},
        {"(b.disconnect(), $('src').setAttribute('label', 'three'), $('dst').getAttribute('title'))", "string:held"},
        {"b.update()", "error:8002000e"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;
}

TEST_F(DataScriptTest, AValidatorThatRefusesMarksTheTarget) {
    ASSERT_TRUE(Run(scene, "function digits() { return /^[0-9]+$/.test(shell.currentData); }"
                           "var b = $('dst').getDataBinding('v'); b.elementSource = $('src'); b.path = 'label';"
                           "b.targetProperty = 'title'; b.validator = 'digits()'; b.connect();"));
    EXPECT_EQ(Call(scene, "b.validate()"), "boolean:false");
    EXPECT_EQ(Call(scene, "$('dst').getAttribute('invalidData')"), "string:true");
    EXPECT_EQ(Call(scene, "($('dst').setAttribute('title', '42'), b.validate())"), "boolean:true");
    EXPECT_EQ(Call(scene, "$('src').getAttribute('label')"), "string:42");
}

TEST_F(DataScriptTest, AWrapperWhoseBindingWentAnswersWithoutEffect) {
    ASSERT_TRUE(Run(scene, "var b = $('dst').getDataBinding('gone');"));
    oxBox* dst = Box("dst");
    oxBox* parent = dst->GetParent();
    scene->DestroyBox(parent->RemoveChild(dst, false));
    EXPECT_EQ(Call(scene, "b.bindType"), "error:80004005");
    EXPECT_EQ(Call(scene, "b.connect()"), "undefined");
    EXPECT_EQ(Call(scene, "b.validate()"), "undefined");
}

TEST_F(DataScriptTest, ALiveArrayFilledFromScriptReachesTheListAndItsSelection) {
    ASSERT_TRUE(ShowPeople());
    oxBox* list = Box("list");
    ASSERT_EQ(list->GetChildCount(), 5);
    ASSERT_TRUE(Run(scene, "people.setValue(2, {id: 'p2', name: 'changed'});"));
    EXPECT_EQ(Call(scene, "$('list').getChildAt(2).getAttribute('label')"), "string:changed");
    EXPECT_EQ(Call(scene, "$('list').getChildAt(2).data.value.name"), "string:changed");
    EXPECT_EQ(Call(scene, "$('list').getChildAt(2).data.collection === people"), "boolean:true");
    EXPECT_EQ(Call(scene, "$('root').data"), "undefined");

    // The list's selection as scripts see it.
    auto* binding = static_cast<oxBindingElement*>(list->GetDataBindingAt(0));
    oxDataSelectionModel* model = binding->GetRowTree()->GetSelectionModel(true);
    NUBO::XObject* raw = nullptr;
    ASSERT_TRUE(runtime()->GetScriptObjectCache()->GetSelectionObject(static_cast<oxSelectionModel*>(model), &raw));
    NUBO::XVariant selection(raw);
    raw->Release();
    scene->GetSceneObject()->SetPropertyByName(u"selection", &selection);
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        {"sc.selection.select(3)", "boolean:true"},
        {"sc.selection.select(-1)", "boolean:false"},
        {"sc.selection.selectionIndex", "number:3"},
        {"sc.selection.rowCount", "number:1"},
        {"sc.selection.firstSelectedData.value", "string:p3"},
        {"sc.selection.firstSelectedData === sc.selection.firstSelectedData", "boolean:false"},
        {"sc.selection.firstSelectedData.collection === people", "boolean:true"},
        {"sc.selection.nextSelectedRow", "number:-1"},
        {"sc.selection.selectState(-1, true)", "boolean:true"},
        {"(sc.selection.selectRow(1), sc.selection.rowCount)", "number:2"},
        {"(people.insertValueAtIndex({id: 'new', name: 'new'}, 0), sc.selection.selectionIndex)", "number:2"},
        {"(sc.selection.unselectRow(2), sc.selection.selectionIndex)", "number:4"},
        {"sc.selection.selectData('p0', people)", "boolean:true"},
        {"sc.selection.selectionIndex", "number:1"},
        {"sc.selection.unselectData('p0', {})", "boolean:false"},
        {"sc.selection.unselectData('p0', people)", "boolean:true"},
        {"(sc.selection.clear(), sc.selection.rowCount)", "number:0"},
        {"sc.selection.firstSelectedData", "null"},
        {"sc.selection.select()", "error:8002000e"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;

    // The list goes, and with it its selection model: the Selection object answers without one.
    EXPECT_EQ(Call(scene, "$('list').scrollToRow(4)"), "undefined");
    oxBox* parent = list->GetParent();
    scene->DestroyBox(parent->RemoveChild(list, false));
    const struct {
        const char* expression;
        const char* expected;
    } gone[] = {
        {"sc.selection.select(1)", "boolean:false"},
        {"sc.selection.selectState(1, true)", "boolean:true"},
        {"sc.selection.selectData('p1', people)", "boolean:false"},
        {"sc.selection.firstSelectedData", "null"},
        {"sc.selection.rowCount", "error:80004005"},
        {"sc.selection.selectionIndex", "error:80004005"},
    };
    for (const auto& c : gone)
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;
}

// A select box whose rows a collection binding makes holds the binding's data selection model:
// its rows are selected by data, and its cursor is a data row that follows its data.
TEST_F(DataScriptTest, ABoundSelectBoxSelectsItsRowsByData) {
    ASSERT_TRUE(ShowPeople());
    // The list's modes carry over to the model that takes its place, and later changes reach it.
    auto* pick = dynamic_cast<oxSelectBox*>(Box("pick"));
    ASSERT_NE(pick, nullptr);
    auto* model = dynamic_cast<oxDataSelectionModel*>(pick->GetSelectionModel());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetModeAtom(), kAtomCurrent);
    EXPECT_EQ(model->GetSelectMode(), uint32_t(kModeSelectMultiple));
    pick->SetCursorMode(kModeCursorWrap);
    EXPECT_EQ(model->GetCursorMode(), uint32_t(kModeCursorWrap));
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        {"list.rowCount", "number:5"},
        {"(list.cursorIndex = 5, list.cursorIndex)", "number:0"}, // wraps
        {"list.selection.select(1)", "boolean:true"},
        {"list.selection.firstSelectedData.value", "string:p1"},
        {"list.selection.firstSelectedData.collection === people", "boolean:true"},
        {"list.selection.rowCount", "number:1"},
        {"list.selectedIndex", "number:1"},
        // The list follows its cursor: selecting a row puts the cursor there and back.
        {"list.cursorIndex", "number:1"},
        {"list.getBoxAtRow(1).selected && !list.getBoxAtRow(0).selected", "boolean:true"},
        {"list.selectedBox === list.getBoxAtRow(1)", "boolean:true"},
        {"(list.cursorIndex = 3, list.selection.firstSelectedData.value)", "string:p3"},
        {"list.getBoxAtRow(1).selected", "boolean:false"},
        {"list.cursorBox === list.getBoxAtRow(3)", "boolean:true"},
        {"(list.selectedIndex = 4, list.value)", "string:p4"},
        // Rows inserted before the selection move it along.
        {"(people.insertValueAtIndex({id: 'new', name: 'new'}, 0), list.selectedIndex)", "number:5"},
        {"list.cursorIndex", "number:5"},
        {"list.selection.selectData('p0', people)", "boolean:true"},
        {"list.cursorIndex", "number:1"},
        {"list.selection.selectData('p0', {})", "boolean:false"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;

    // The list goes while a script holds its selection and its collection still changes.
    ASSERT_TRUE(Run(scene, "var held = list.selection;"));
    scene->DestroyBox(pick->GetParent()->RemoveChild(pick, false));
    EXPECT_EQ(Call(scene, "list.selectedIndex"), "error:80004005");
    EXPECT_EQ(Call(scene, "(held.select(1), people.insertValueAtIndex({id: 'late', name: 'late'}, 0), people.count)"),
              "number:7");
    EXPECT_EQ(Call(scene, "held.selectData('p1', people)"), "boolean:false");
}

TEST_F(DataScriptTest, TheCursorDataOfABoundSelectBoxFollowsItsRow) {
    ASSERT_TRUE(ShowPeople());
    const struct {
        const char* expression;
        const char* expected;
    } cases[] = {
        {"list.cursorData", "null"},
        {"list.setCursorRowData('p2', people)", "boolean:true"},
        {"list.cursorIndex", "number:2"},
        {"list.cursorData.value", "string:p2"},
        {"list.cursorData.collection === people", "boolean:true"},
        {"list.cursorData === list.cursorData", "boolean:false"},
        {"list.cursorBox.value", "string:p2"},
        {"(people.insertValueAtIndex({id: 'a', name: 'A'}, 0), people.insertValueAtIndex({id: 'b', name: 'B'}, 1),"
         " list.cursorIndex)",
         "number:4"},
        {"list.cursorData.value", "string:p2"},
        {"list.cursorBox.value", "string:p2"},
        {"(people.removeValueAtIndex(0), list.cursorIndex)", "number:3"},
        // A value no row has leaves the cursor where it was.
        {"list.setCursorRowData('nobody', people)", "boolean:false"},
        {"list.cursorData.value", "string:p2"},
        // Written back as an object, as scripts read it.
        {"(list.cursorData = {value: 'p4', collection: people}, list.cursorIndex)", "number:5"},
        {"(list.cursorData = 7, list.cursorIndex)", "number:5"},
        {"(list.cursorData = {value: 'p0', collection: people}, list.cursorData.value)", "string:p0"},
        // A collection the list does not show resets the cursor data.
        {"list.setCursorRowData('p3', {})", "boolean:true"},
        {"list.cursorIndex", "number:-1"},
        {"list.cursorData", "null"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;

    // A collection that sorts itself and says the current row stays: the cursor finds its row.
    ASSERT_TRUE(Run(scene, "var sorted = {items: [{id: 'c'}, {id: 'a'}, {id: 'b'}], told: null,"
                           "  implementsProtocol: function (p) { return p == 'ee://kestrum/basics/simpleLiveArray'; },"
                           "  get count() { return this.items.length; },"
                           "  getValue: function (i) { return this.items[i]; },"
                           "  addListener: function (l) { this.told = l; },"
                           "  removeListener: function (l) { if (this.told === l) this.told = null; },"
                           "  sort: function () {"
                           "    this.items.sort(function (x, y) { return x.id < y.id ? -1 : 1; });"
                           "    this.told.onArrayModified(this, 5, -1, 0); } };"
                           "sc.people = sorted;"));
    const struct {
        const char* expression;
        const char* expected;
    } sorting[] = {
        {"list.rowCount", "number:3"},
        {"list.setCursorRowData('c', sorted)", "boolean:true"},
        {"list.cursorIndex", "number:0"},
        {"(sorted.sort(), list.cursorIndex)", "number:2"},
        {"list.cursorData.value", "string:c"},
        {"list.cursorBox.value", "string:c"},
        {"list.getBoxAtRow(0).getAttribute('current')", "string:false"},
    };
    for (const auto& c : sorting)
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;
}

TEST_F(DataScriptTest, TheSelectionOfASelectBoxAndADataGridIsTheirRows) {
    oxScene* lists = Open("select_list.box", "lists");
    ASSERT_NE(lists, nullptr);
    for (const char16_t* id : {u"pick", u"grid"}) {
        auto* box = dynamic_cast<oxSelectBox*>(lists->GetBoxById(oxAtoms::Find(id), false));
        ASSERT_NE(box, nullptr);
        NUBO::XObject* raw = nullptr;
        ASSERT_TRUE(runtime()->GetScriptObjectCache()->GetSelectionObject(box->GetSelectionModel(), &raw));
        NUBO::XVariant selection(raw);
        raw->Release();
        lists->GetSceneObject()->SetPropertyByName(u"selection", &selection);
        const bool grid = id == std::u16string(u"grid");
        if (grid) box->SetSelectMode(kModeSelectMultiple);
        const struct {
            const char* expression;
            const char* expected;
        } cases[] = {
            // The row built selected is its list's selection.
            {"sc.selection.selectionIndex", grid ? "number:-1" : "number:2"},
            {"(sc.selection.select(1), sc.selection.rowCount)", "number:1"},
            {"(sc.selection.selectRow(2), sc.selection.selectionIndex)", "number:1"},
            {"sc.selection.firstSelectedRow", "number:1"},
            {"sc.selection.nextSelectedRow", "number:2"},
            {"sc.selection.nextSelectedRow", "number:-1"},
            {"(sc.selection.selectState(0, true), sc.selection.rowCount)", "number:3"},
            {"(sc.selection.unselectRow(1), sc.selection.rowCount)", "number:2"},
            {"sc.selection.selectState(-1, false)", "boolean:true"},
            {"(sc.selection.selectionIndex = 2, sc.selection.rowCount)", "number:2"}, // already selected
            {"(sc.selection.selectionIndex = 3, sc.selection.rowCount)", "number:1"},
            {"sc.selection.firstSelectedData", "null"},
            {"sc.selection.selectData('a', null)", "boolean:false"},
            {"(sc.selection.clear(), sc.selection.selectionIndex)", "number:-1"},
        };
        ASSERT_TRUE(Run(lists, "var sc = " + Utf8(lists->GetContextName().GetString()) + ".scene;"));
        for (const auto& c : cases)
            EXPECT_EQ(Call(lists, c.expression), c.expected) << c.expression;
        // The box's own members over the same model.
        ASSERT_TRUE(Run(lists, "var list = sc.getBoxById('" + Utf8(id) + "');"));
        const struct {
            const char* expression;
            const char* expected;
        } members[] = {
            {"list.rowCount", grid ? "number:3" : "number:4"},
            {"list.selection === sc.selection", "boolean:true"},
            {"(list.selectedIndex = 1, sc.selection.selectionIndex)", "number:1"},
            {"list.selectedBox === list.getBoxAtRow(1)", "boolean:true"},
            {"(list.cursorIndex = 2, list.cursorIndex)", "number:2"},
            {"list.cursorBox === list.getBoxAtRow(2)", "boolean:true"},
            {"list.getRowOfBox(list.getBoxAtRow(2))", "number:2"},
            {"list.getRowOfBox(5)", "number:-1"},
            {"list.getNextRowBox(list.getFirstRowBox()) === list.getBoxAtRow(1)", "boolean:true"},
            {"list.getBoxAtRow(9)", "null"},
            {"(list.sortColumn = 2, list.sortColumn)", "number:0"},
            {"(list.selectedBox = list.getBoxAtRow(0), list.selectedIndex)", "number:0"},
            // Only grid layouts delete single rows.
            {"(list.deleteItem(list.getBoxAtRow(0)), list.rowCount)", grid ? "number:3" : "number:4"},
            // Plain rows carry no data: setting the cursor data resets it, taking the cursor off.
            {"(list.cursorIndex = 1, list.setCursorRowData(1, null))", "boolean:true"},
            {"list.cursorIndex", "number:-1"},
            {"list.cursorData", "null"},
            {"(list.deleteAllItems(), list.rowCount)", "number:0"},
        };
        for (const auto& c : members)
            EXPECT_EQ(Call(lists, c.expression), c.expected) << c.expression;
        // The box goes and takes its model with it: the Selection answers without one.
        lists->DestroyBox(box->GetParent()->RemoveChild(box, false));
        EXPECT_EQ(Call(lists, "sc.selection.select(1)"), "boolean:false");
        EXPECT_EQ(Call(lists, "sc.selection.rowCount"), "error:80004005");
    }
}

TEST_F(DataScriptTest, APlainScriptObjectIsAnObjectSourceBothWays) {
    ASSERT_TRUE(Run(scene, "var person = {name: 'Ann', width: '30px'}; sc.person = person;"
                           "var b = $('dst').createDataBinding('n', 0); b.objectSourceId = 'person'; b.path = 'name';"
                           "b.targetProperty = 'title'; b.connect();"
                           "var w = $('dst').createDataBinding('w', 0); w.objectSource = person; w.path = 'width';"
                           "w.targetProperty = '$width'; w.connect();"));
    EXPECT_EQ(Call(scene, "$('dst').getAttribute('title')"), "string:Ann");
    EXPECT_EQ(Call(scene, "w.bindType + ' ' + w.targetProperty + ' ' + (w.objectSource === person)"),
              "string:2 $width true");
    EXPECT_EQ(Call(scene, "$('dst').width"), "number:30");
    EXPECT_EQ(Call(scene, "($('dst').setAttribute('title', 'Bea'), person.name)"), "string:Bea");
    EXPECT_EQ(Call(scene, "($('dst').setStyle('width', '44px'), person.width)"), "string:44px");
}

TEST_F(DataScriptTest, AnObjectThatTellsItsListenersPushesItsChanges) {
    ASSERT_TRUE(Run(scene, "var told = null, asked = [];"
                           "var live = {name: 'Ann',"
                           "  implementsProtocol: function (p) { return p == 'EEObjectSource'; },"
                           "  addObjectListener: function (l) { told = l; },"
                           "  removeObjectListener: function (l) { if (told === l) told = null; },"
                           "  notifyPropertyChange: function (n) { asked.push(n); } };"
                           "sc.live = live;"
                           "var b = $('dst').createDataBinding('n', 0); b.objectSourceId = 'live'; b.path = 'name';"
                           "b.targetProperty = 'title'; b.connect();"));
    EXPECT_EQ(Call(scene, "told !== null"), "boolean:true") << "the source listens to its object";
    EXPECT_EQ(Call(scene, "(live.name = 'Cy', told.onPropertyChanged(live, 'name'), $('dst').getAttribute('title'))"),
              "string:Cy");
    EXPECT_EQ(Call(scene, "told.onPropertyChanged(live)"), "error:8002000e");
    EXPECT_EQ(Call(scene, "($('dst').setAttribute('title', 'Di'), live.name + ' ' + asked.join())"), "string:Di name");
    EXPECT_EQ(Call(scene, "(b.disconnect(), sc.live = null, told)"), "null") << "it stops listening when dropped";
}

TEST_F(DataScriptTest, AScriptTableIsReadByRowAndColumn) {
    ASSERT_TRUE(Run(scene,
                    "var table = {"
                    "  rows: [['a', 'Ann'], ['b', 'Bob']],"
                    "  implementsProtocol: function (p) { return p == 'ee://kestrum/basics/simpleTable'; },"
                    "  get rowCount() { return this.rows.length; },"
                    "  getValueAtByName: function (row, name) { return this.rows[row - 1][name == 'id' ? 0 : 1]; }"
                    "};"
                    "sc.people = table;"));
    EXPECT_EQ(Call(scene, "$('list').childCount"), "number:2");
    EXPECT_EQ(Call(scene, "$('list').getChildAt(1).getAttribute('label')"), "string:Bob");
}

} // namespace
} // namespace script_api_test

// The painted screen follows a collection changed from script: each row's fill is bound to its
// item's colour.
namespace {

class PaintedListTest : public WindowedAppTest {};

int CountOf(uint32_t rgb) {
    int n = 0;
    for (uint32_t px : platform::headless::ReadScreen(RECT{0, 0, 240, 320}))
        n += (px & 0xFFFFFF) == rgb;
    return n;
}

TEST_F(PaintedListTest, RowsRepaintWhenTheirItemsChange) {
    NUBO::XObject* constructor = nullptr;
    ASSERT_EQ(NUBO::CreateLiveArrayConstructor(&constructor), 0);
    ASSERT_EQ(app->GetShell()->AddNamedObject(NUBO::TWString(u"liveArray"), constructor), 0);
    constructor->Release();
    const std::string name = Own("painted_list.box");
    std::ofstream(resources / name) << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
                                       "xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\" s:fill=\"#ffffffff\">\n"
                                       "  <vbox id=\"list\"><binding collectionSource=\"swatches\">\n"
                                       "    <template><box s:height=\"30\" s:fill=\"{color}\"/></template>\n"
                                       "  </binding></vbox>\n"
                                       "</vbox>\n";
    oxScene* scene =
        app->GetShell()->GetRuntime()->OpenSceneSimple(Wide(name).c_str(), nullptr, u"painted", nullptr, nullptr, false);
    ASSERT_NE(scene, nullptr);
    oxScriptContext* raw = nullptr;
    ASSERT_EQ(app->GetShell()->GetRuntime()->GetScriptContext(kAtomJavascript, scene, false, &raw), 0);
    NUBO::RefPtr<oxScriptContext> context(raw);
    NUBO::XVariant made;
    ASSERT_EQ(context->Evaluate(NUBO::TWString(u"var swatches = new liveArray();"
                                               u"swatches.addValue({color: '#ffff0000'});"
                                               u"swatches.addValue({color: '#ff0000ff'}); swatches"),
                                u"", &made),
              S_OK);
    scene->GetSceneObject()->SetPropertyByName(u"swatches", &made);
    platform::headless::RunUntilIdle();
    const int red = CountOf(0xFF0000), blue = CountOf(0x0000FF);
    EXPECT_GT(red, 0);
    EXPECT_EQ(blue, red) << "two rows of the same size";

    NUBO::XVariant ignored;
    ASSERT_EQ(context->Evaluate(NUBO::TWString(u"swatches.setValue(0, {color: '#ff00ff00'})"), u"", &ignored), S_OK);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(CountOf(0xFF0000), 0) << "the first row is painted again";
    EXPECT_EQ(CountOf(0x00FF00), red);
    EXPECT_EQ(CountOf(0x0000FF), blue) << "the second row is as it was";
}

} // namespace
