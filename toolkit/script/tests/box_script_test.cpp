// Scene scripts driving boxes through the real runtime: a scene file with an inline script is opened
// through the Shell, the script runs against its boxes, and the test reads the script's results,
// the tree dump and the layout dump afterwards.
#include "toolkit/script/box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/shell/path_map.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/layout_dump.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/event_classes.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/style_value_classes.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/control_box.h"

namespace {

std::string Utf8(const NUBO::TWString& text) {
    std::string out;
    for (const WCHAR* p = text.GetString(); p && *p; ++p)
        out += char(*p < 128 ? *p : '?');
    return out;
}

NUBO::TWString Wide(const std::string& text) {
    std::u16string wide(text.begin(), text.end());
    return NUBO::TWString(wide.c_str());
}

// What native code saw of each reaction run: box id, action, event type and flags.
std::vector<std::string> g_native;

void RecordingRunner(oxBox* box, const oxQualifiedName& action, oxEvent* event) {
    WCHAR id[64] = {}, type[64] = {};
    oxAtoms::GetName(box->GetId(), id, 64);
    oxAtoms::GetName(event->GetType(), type, 64);
    g_native.push_back(Utf8(NUBO::TWString(id)) + " " + Utf8(NUBO::TWString(action.GetText())) + " " +
                       Utf8(NUBO::TWString(type)) + " " + std::to_string(event->GetFlags()));
    RunScriptReaction(box, action, event);
}

const char* kScene = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" id="root">
  <hbox id="a" title="Hello">
    <box id="a1"/>
    <box id="a2"/>
  </hbox>
  <box id="b"/>
  <script language="javascript" src="box_script_test.js"/>
</vbox>
)";

// The scene's object arrives as `sc` once the test knows the scene's context name.
const char* kScript = "var loaded = true;\n";

class BoxScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        resources = std::filesystem::path(platform::ProgramHostPath()).parent_path() / "resources";
        std::filesystem::create_directories(resources);
        // One pair of files per process: ctest runs this fixture's tests side by side, and each
        // removes its files when it ends.
        stem = "box_script_test_" + std::to_string(getpid());
        std::string markup = sceneMarkup;
        markup.replace(markup.find("box_script_test.js"), 18, stem + ".js");
        std::ofstream(resources / (stem + ".box")) << markup;
        std::ofstream(resources / (stem + ".js")) << kScript;
        const std::string boxName = stem + ".box";
        std::u16string uri(boxName.begin(), boxName.end());
        NUBO::XVariant object;
        ASSERT_EQ(app->GetShell()->OpenScene(NUBO::TWString(uri.c_str()), nullptr, NUBO::TWString(u"main"), nullptr,
                                             nullptr, false, &object),
                  0);
        sceneObject = static_cast<Scene*>(object.ToXObject());
        scene = sceneObject->GetScene();
        ASSERT_NE(scene, nullptr);
        oxScriptContext* raw = nullptr;
        ASSERT_EQ(app->GetShell()->GetRuntime()->GetScriptContextManager()->GetContext(
                      scene->GetContextName().GetString(), &raw),
                  0);
        context = NUBO::RefPtr<oxScriptContext>(raw);
        contextName = Utf8(scene->GetContextName());
        Run("var sc = " + contextName + ".scene, root = sc.rootBox; function $(id) { return sc.getBoxById(id); }");
        g_native.clear();
        oxSetReactionRunner(RecordingRunner);
    }
    void TearDown() override {
        oxSetReactionRunner(RunScriptReaction);
        context = nullptr;
        if (sceneObject) sceneObject->Release();
        app->Shutdown();
        app->Release();
        std::filesystem::remove(resources / (stem + ".box"));
        std::filesystem::remove(resources / (stem + ".js"));
    }

public:
    // The value of the expression as text; "!" when it threw.
    std::string Eval(const std::string& expression) {
        NUBO::XVariant value;
        if (FAILED(context->Evaluate(Wide(expression), u"", &value))) return "!";
        if (value.vt == VT_BOOL) return value.boolVal ? "true" : "false";
        if (value.vt == VT_EMPTY) return "undefined";
        if (value.vt == VT_NULL) return "null";
        if ((value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH) && !value.punkVal) return "null";
        return Utf8(value.ToString());
    }

protected:
    void Run(const std::string& code) { ASSERT_NE(Eval(code + "; 'ok'"), "!") << code; }

    oxBox* Root() { return scene->GetRootBox(); }
    std::string Tree() {
        NUBO::TWString text;
        oxDumpBoxTree(Root(), text);
        return Utf8(text);
    }
    std::string Layout(int width, int height) {
        ArrangeLayoutRoot(Root(), width, height);
        NUBO::TWString text;
        oxDumpLayout(Root(), text);
        return Utf8(text);
    }

    oxApplication* app = nullptr;
    Scene* sceneObject = nullptr;
    oxScene* scene = nullptr;
    NUBO::RefPtr<oxScriptContext> context;
    const char* sceneMarkup = kScene;
    std::filesystem::path resources;
    std::string stem;
    std::string contextName;
};

struct Case {
    const char* expression;
    const char* expected;
};

void Check(BoxScriptTest* test, const Case* cases, size_t count) {
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(test->Eval(cases[i].expression), cases[i].expected) << cases[i].expression;
}

TEST_F(BoxScriptTest, PropertiesReadTheBoxAndWritesReachTheTreeAndTheLayout) {
    ASSERT_EQ(Eval("root.id"), "root");
    Run("var a = $('a'), b = $('b'), a1 = $('a1'), a2 = $('a2');"
        "b.width = 50; b.height = 30; b.left = 7; a.hidden = true; b.disabled = true; a1.ornament = true;"
        "b.layered = true; b.ignoreEvents = true; b.zIndex = 3; b.styleId = 'card'; b.id = 'bee'; b.id = '';"
        "b.minWidth = 10; b.maxHeight = 90; a2.collapsed = true; b.selected = true; b.custom = 3");
    const Case cases[] = {
        {"a.boxType + ' ' + a.tag + ' ' + a1.tag", "box hbox box"},
        {"a.title + ' ' + a.getAttribute('title') + ' ' + (a.nothing === undefined)", "Hello Hello true"},
        {"[a.hidden, a1.hidden, a1.collapsed, a2.collapsed, b.disabled, a1.ornament].join()",
         "true,true,false,true,true,true"},
        {"a1.hidden = false; a1.hidden", "true"}, // inside a hidden ancestor it stays hidden
        {"[b.layered, b.ignoreEvents, b.blockEvents, b.flowed, b.selected, b.getSelected()].join()",
         "true,true,false,true,true,true"},
        {"b.id + ' ' + b.styleId", "bee card"},
        {"b.custom + ' ' + b.getAttribute('custom')", "3 3"},
        {"[root.childCount, a.childCount, root.firstChild.id, root.lastChild.id].join()", "2,2,a,bee"},
        {"[a1.nextSibling.id, a2.previousSibling.id, a1.previousSibling, a2.nextSibling, root.parent].join()",
         "a2,a1,,,"},
        {"a1.parent.id + ' ' + a.nextSibling.id + ' ' + (a1.scene === sc)", "a bee true"},
        {"root.nextBox.id + ' ' + root.nextBox.nextBox.id", "a bee"}, // a is hidden: its children are skipped
        {"b.previousBox.id", "a"},
        {"[a.contentChildCount, a.firstContentChild, a.lastContentChild].join()", "0,,"},
        {"a.anchor = b; a.anchor.id", "bee"},
        {"a.anchor = 5; a.anchor", "null"},
        {"a.anchor = b; a.anchor = null; a.anchor", "null"},
        {"var d = a.customAttributes; d.title", "Hello"},
        {"a.selectableMode + '|' + a.data + '|' + a.bindings", "none|undefined|null"},
        {"[b.hovered, b.pressed, b.focused, b.engaged, b.popped, b.dragged, b.dragHovered, b.grew].join()",
         "false,false,false,false,false,false,false,false"},
        {"b.s === b.s", "true"},
        {"b.blockUpdate = true; b.blockUpdate", "true"},
        {"a1.focusMode = 'normal'; a1.focus(); a1.focused + ' ' + (sc.focusedBox === a1)", "true true"},
        {"a1.blur(); a1.focused + ' ' + sc.focusedBox", "false null"},
        {"b.blockUpdate = false; b.flowed = true; b.flowed", "true"},
    };
    Check(this, cases, std::size(cases));
    Run("b.flowed = false; b.layered = false; a.hidden = false; a2.collapsed = false");
    EXPECT_EQ(Tree(), "vbox (box) #root embedded=\"false\"\n"
                      "  hbox (box) #a title=\"Hello\"\n"
                      "    box #a1 [ornament] mode=0x2\n"
                      "    box #a2\n"
                      "  box #bee custom=\"3\" [disabled selected]\n");
    EXPECT_EQ(Layout(200, 100), "vbox (box) #root 0,0 200x100\n"
                                "  hbox (box) #a 0,0 200x0\n"
                                "    box #a1 0,0 0x0\n"
                                "    box #a2 0,0 0x0\n"
                                // Out of the flow and out of every layer list, no layout arranges
                                // it: it keeps the rectangle of the scene's first layout.
                                "  box #bee 0,0 480x0\n");
    EXPECT_EQ(Root()->GetLayerCount(), 0);
    Run("b.flowed = true"); // back in the flow, its own size counts again
    EXPECT_EQ(Layout(200, 100), "vbox (box) #root 0,0 200x100\n"
                                "  hbox (box) #a 0,0 200x0\n"
                                "    box #a1 0,0 0x0\n"
                                "    box #a2 0,0 0x0\n"
                                "  box #bee 0,0 50x30\n");
    EXPECT_EQ(Eval("[root.boxX, root.boxWidth, root.boxHeight, a.boxWidth, a.contentWidth].join()"),
              "0,200,100,200,200");
    EXPECT_EQ(Eval("[a.frameX, a.frameY, a.screenY > a.frameY, b.overflowWidth, b.scrollOffsetX].join()"),
              "0,0,true,0,0");
}

TEST_F(BoxScriptTest, AssigningAReadOnlyMemberDoesNotFailAndChangesNothing) {
    Run("var a = $('a'), b = $('b')");
    const Case cases[] = {
        {"a.tag = 'vbox'; a.tag", "hbox"},
        {"a.boxType = 'text'; a.boxType", "box"},
        {"a.childCount = 9; a.childCount", "2"},
        {"a.parent = b; a.parent.id", "root"},
        {"a.getAttribute('tag') + '|' + a.getAttribute('childCount')", "undefined|undefined"},
    };
    Check(this, cases, std::size(cases));
}

TEST_F(BoxScriptTest, TheControlKindMakesAControlBox) {
    Run("var made = sc.createBox('control'); made.id = 'made'; root.addChild(made)");
    const Case cases[] = {
        {"made.boxType + ' ' + made.tag", "control control"},
        {"made.focusMode + ' ' + made.blockEvents", "normal true"},
    };
    Check(this, cases, std::size(cases));
    oxBox* box = scene->GetBoxById(oxAtoms::Intern(u"made"), false);
    EXPECT_NE(dynamic_cast<oxControlBox*>(box), nullptr);
}

TEST_F(BoxScriptTest, ChangingATextOrLabelAttributeRaisesOneAttributeSet) {
    Run("var t = sc.createBox('simpleText'), c = sc.createBox('control'), seen = [];"
        "root.addChild(t); root.addChild(c);"
        "function onSet(e) { seen.push(e.attributeName); }"
        "t.addEventHandler('attributeSet', 'onSet'); c.addEventHandler('attributeSet', 'onSet')");
    const Case cases[] = {
        {"t.setAttribute('value', 'one'); seen.splice(0).join()", "value"},
        {"t.value = 'two'; seen.splice(0).join() + ' ' + t.value", "value two"},
        {"t.setAttribute('value', 'two'); seen.splice(0).join()", "value"}, // stored again, announced once
        {"t.setAttribute('htmlValue', '<b>x</b>'); seen.splice(0).join()", "value,htmlValue"},
        {"c.setAttribute('label', 'OK'); seen.splice(0).join() + ' ' + c.label", "label OK"},
        {"c.setAttribute('value', '3'); seen.splice(0).join()", "value"},
    };
    Check(this, cases, std::size(cases));
}

TEST_F(BoxScriptTest, ASystemEventCarriesItsReason) {
    Run("var seen = [];"
        "function onSystem(e) { seen.push(e.reason); }"
        "$('a').addEventHandler('system', 'onSystem')");
    oxBox* target = scene->GetBoxById(oxAtoms::Intern(u"a"), false);
    ASSERT_NE(target, nullptr);
    for (int32_t reason : {7, 0, INT32_MIN, INT32_MAX}) {
        oxSystemEvent event(target, reason);
        scene->DispatchEvent(&event);
    }
    EXPECT_EQ(Eval("seen.join()"), "7,0,-2147483648,2147483647");
}

TEST_F(BoxScriptTest, DeclaredGeometryReadsTheStyleAndPlacesTheBox) {
    Run("var b = $('b'); b.width = 50; b.height = 30; b.left = 7; b.minWidth = 10; b.maxHeight = 90; b.zIndex = 3");
    EXPECT_EQ(Eval("[b.left, b.x, b.top, b.y, b.width, b.height, b.minWidth, b.maxHeight, b.zIndex].join()"),
              "7,7,0,0,50,30,10,90,3");
    std::string layout = Layout(200, 100);
    // The flex layout places its children itself: a declared left moves no box in a vbox.
    EXPECT_NE(layout.find("box #b 0,0 50x30"), std::string::npos) << layout;
    EXPECT_EQ(Eval("[b.boxX, b.boxY, b.boxWidth, b.boxHeight].join()"), "0,0,50,30");
}

TEST_F(BoxScriptTest, MethodsEditTheTreeAndAnswerTheirFailureResults) {
    Run("var a = $('a'), b = $('b'), a1 = $('a1'), a2 = $('a2'), sc = sc;"
        "var made = sc.createBox('box'); made.id = 'made'");
    const Case cases[] = {
        {"a.addChild(a)", "false"},
        {"a.addChild(5)", "false"},
        {"root.addChild(root)", "false"},
        {"b.addChild(made, 'PART')", "true"},
        {"made.gadgetParent.id", "b"},
        {"a.insertChildAt(b, 0)", "true"},
        {"[a.getChildIndex(b), root.getChildIndex(a1), root.getChildIndex(3)].join()", "0,1,-1"},
        {"a.getChildAt(0).id + ' ' + (a.getChildAt(9) === null)", "b true"},
        {"a.removeChild(b) + ' ' + b.parent", "true null"},
        {"root.addChild(b) + ' ' + root.lastChild.id", "true b"},
        {"var c = a1.clone(false); c.id + ' ' + c.parent + ' ' + c.equals(a1) + ' ' + a1.equals(a1)",
         "a1 null false true"},
        {"a1.equals(3)", "undefined"},
        {"root.getBoxByTag('hbox').id + ' ' + root.getBoxByTag('nothing')", "a null"},
        {"a.cloneAndInsert(a1, 2, 0); a.childCount", "4"},
        {"a.cloneAndInsert(a1, 0, 0); a.cloneAndInsert(a1, 2, -1); a.childCount", "4"},
        {"a.deleteChild(a.getChildAt(0)) + ' ' + a.childCount", "true 3"},
        {"a.setAttribute('', 'x')", "undefined"},
        {"a.setAttribute('label', 'L') + a.label", "trueL"},
        {"a.removeAttribute('label') + '|' + a.getAttribute('label')", "true|undefined"},
        {"a.removeAttribute('')", "false"},
        {"a.setStyle('', 'red') + ' ' + a.setStyle('fill', '')", "false false"},
        {"a.removeStyle('')", "false"},
        {"a.setStyleVal('fill', 3) + ' ' + a.setStyleVal('noSuchProperty', a.getStyle('fill'))", "false false"},
        {"a.getStyleString('nothing') + '|' + a.getStyle('nothing').isNull", "undefined|true"},
        {"[a.newSnapshot().transparent, a.takeSnapshot().transparent, a.createSnapshot(true).transparent,"
         " a.newTransition().setDuration(300)].join()",
         "false,false,false,true"},
        // Asking for a binding by a new name makes it.
        {"a.attachSourceSnapshot(a) + ' ' + a.hasDataBinding('x') + ' ' + a.getDataBinding('x') + ' ' + "
         "a.hasDataBinding('x')",
         "false false [object] true"},
        {"a.connectObject(a, 1) + ' ' + a.disconnectObject(1, 2) + ' ' + a.importScript('x.js', 'javascript')",
         "false false false"},
        {"a.trashLayout(); a.trashPaint(); a.trashStyle(); a.scrollToBox(b)", "true"},
        {"a.scrollToBox(3)", "false"},
        {"a.addDOMObject('', {}) + ' ' + a.addDOMObject('o', 3) + ' ' + a.addDOMObject('o', {v: 4}) + ' ' + a.o.v",
         "false false true 4"},
        {"a.removeDOMObject('o') + ' ' + a.o", "true undefined"},
        {"a.getChildAt()", "!"}, // too few arguments
        {"a.setProperty('x')", "!"},
        {"a.__noSuchMethod__()", "!"},
    };
    Check(this, cases, std::size(cases));
    EXPECT_EQ(Tree(), "vbox (box) #root embedded=\"false\"\n"
                      "  hbox (box) #a title=\"Hello\"\n"
                      "    box #a1\n"
                      "    box #a1\n"
                      "    box #a2\n"
                      "  box #b\n"
                      "    box #made\n")
        << "(the tree dump shows what the script built)";
}

TEST_F(BoxScriptTest, ADestroyedBoxLeavesAnInertObject) {
    Run("var a = $('a'), a1 = $('a1'); a1.keep = 1; var p = a1.s;");
    EXPECT_EQ(Eval("a.deleteChild(a1)"), "true");
    const Case cases[] = {
        {"a1.hidden", "!"},
        {"a1.s === p", "true"},
        {"a1.bindings", "null"},
        {"a1.keep", "1"},
        {"a1.setAttribute('x', 'y')", "undefined"},
        {"a1.setProperty('x', 'y')", "!"},
        {"a1.getChildIndex(a1)", "-1"},
        {"a1.scrollToTop()", "!"},
        {"a1.addEventHandler('click', 'f')", "false"},
        {"a1.selected", "false"},
        {"a1.other = 2", "!"},
    };
    Check(this, cases, std::size(cases));
}

TEST_F(BoxScriptTest, MembersThatFindNoObjectAnswerNull) {
    Run("var a = $('a'), b = $('b'), a1 = $('a1'), gone = $('a2'), found; a.deleteChild(gone);"
        "function keep(e) { found = [e.currentBox, e.relatedTargetBox]; }"
        "b.addAttributeEventHandler('title', 'keep'); b.title = 'x'");
    const char* nulls[] = {
        "a.getChildAt(9)",
        "a.getContentChildAt(0)",
        "a.getPartById('none')",
        "a.getBoxByTag('none')",
        "gone.clone(true)",
        "gone.getChildAt(0)",
        "gone.getStyle('width')",
        "a.getBindingById('x')",
        "gone.getDataBinding('x')",
        "a.createDataBinding('taken', 0) && a.createDataBinding('taken', 0)",
        "root.parent",
        "a1.previousSibling",
        "a1.firstChild",
        "a1.lastChild",
        "a.firstContentChild",
        "a.lastContentChild",
        "a.gadgetParent",
        "a.anchor",
        "b.nextSibling",
        "sc.focusedBox",
        "sc.defaultButton",
        "sc.parentScene",
        "sc.getBoxById('none')",
        "sc.createBox('noSuchTag')",
        "sc.createBox('')",
        "shell.currentEvent",
        "shell.getCurrentEvent()",
        "shell.getSceneByName('none')",
        "shell.getLibrary('none.box')",
        "found[0]",
        "found[1]",
    };
    for (const char* expression : nulls)
        EXPECT_EQ(Eval(std::string("(") + expression + ") === null"), "true") << expression;
}

// A tree where depth-first and breadth-first orders differ, with markup still waiting under a
// collapsed box.
const char* kTagScene = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd" id="root">
  <box id="b">
    <hbox id="deep"/>
  </box>
  <hbox id="shallow">
    <vbox id="inner"/>
  </hbox>
  <vbox id="folder" collapsed="true">
    <columns id="cols"/>
  </vbox>
  <script language="javascript" src="box_script_test.js"/>
</vbox>
)";

class BoxScriptTagTest : public BoxScriptTest {
protected:
    BoxScriptTagTest() { sceneMarkup = kTagScene; }
};

TEST_F(BoxScriptTagTest, GetBoxByTagSearchesDepthFirstFromTheBoxItself) {
    oxBox* folder = scene->GetBoxById(oxAtoms::Find(u"folder"), false);
    ASSERT_NE(folder, nullptr);
    const Case cases[] = {
        {"root.getBoxByTag('vbox').id", "root"},    {"$('shallow').getBoxByTag('vbox').id", "inner"},
        {"root.getBoxByTag('hbox').id", "deep"},    {"$('b').getBoxByTag('box').id", "b"},
        {"$('inner').getBoxByTag('hbox')", "null"}, {"root.getBoxByTag('')", "null"},
    };
    Check(this, cases, std::size(cases));
    EXPECT_TRUE(folder->GetStateFlags() & kStateContentPending) << "no waiting markup holds those tags";

    EXPECT_EQ(Eval("root.getBoxByTag('neverSeenTag')"), "null");
    EXPECT_EQ(oxAtoms::Find(u"neverSeenTag"), 0) << "asking does not add the name";
    EXPECT_TRUE(folder->GetStateFlags() & kStateContentPending);

    EXPECT_EQ(Eval("root.getBoxByTag('columns').id"), "cols");
    EXPECT_FALSE(folder->GetStateFlags() & kStateContentPending);
    EXPECT_EQ(Eval("$('cols').parent.id"), "folder");
}

TEST_F(BoxScriptTest, AHandlersPrefixNamesTheObjectItRunsOn) {
    Run("var a = $('a'), pinged = [];"
        "function onPing(e) { pinged.push('scene'); }"
        "shell.helper = { onPing: function () { pinged.push('helper'); } };"
        "a.addEventHandler('ping', 'helper:onPing'); a.addEventHandler('ping', 'nowhere:onPing');"
        "a.addEventHandler('ping', 'onPing');"
        "var ev = shell.create('event', a); ev.type = 'ping'; a.dispatchEvent(ev)");
    EXPECT_EQ(Eval("pinged.join()"), "helper,scene") << "a prefix that names nothing calls nothing";
}

TEST_F(BoxScriptTest, HandlersAddedAndRemovedDuringADispatch) {
    Run("var a = $('a'), runs = [];"
        "function first(e) { runs.push('first'); a.removeEventHandler('ping', 'second');"
        "  a.removeEventHandler('ping', 'second'); a.addEventHandler('ping', 'third'); }"
        "function second(e) { runs.push('second'); }"
        "function third(e) { runs.push('third'); }"
        "a.addEventHandler('ping', 'first'); a.addEventHandler('ping', 'second');"
        "var ev = shell.create('event', a); ev.type = 'ping'");
    EXPECT_EQ(Eval("a.dispatchEvent(ev)"), "true");
    EXPECT_EQ(Eval("runs.join()"), "first,second") << "a removed handler still runs; an added one waits";
    Run("var ev2 = shell.create('event', a); ev2.type = 'ping'; a.dispatchEvent(ev2)");
    EXPECT_EQ(Eval("runs.join()"), "first,second,first,third");
    const Case cases[] = {
        {"a.getEventHandlerAction('ping')", "first"},
        {"a.removeEventHandler('pong', 'first') + ' ' + a.getEventHandlerAction('ping')", "true first"},
        {"$('b').removeEventHandler('ping', 'first')", "false"},
        {"a.addEventHandler('', 'f') + ' ' + a.addEventHandler('x', '')", "false false"},
        {"a.addKeyEventHandler('keyDown', 'Q', true, false, false, 'ns:onQ')", "true"},
        {"a.getKeyEventActions('keyDown', 'q', true, false, false)", "ns:onQ"},
        {"a.getKeyEventActions('keyDown', 'Q', false, false, false)", "undefined"},
        {"a.addEventHandler('click', 'onClick'); a.getMouseEventActions('click', 1, 0)", "onClick"},
        {"a.addAttributeEventHandler('title', 'onTitle'); a.getEventHandlerAction('attributeSet')", "onTitle"},
    };
    Check(this, cases, std::size(cases));
    // A copy takes the handlers along.
    EXPECT_EQ(Eval("a.clone(false).getEventHandlerAction('click')"), "onClick");
}

TEST_F(BoxScriptTest, EventsReachNativeAndScriptHandlersWithTheirFields) {
    Run("var a = $('a'), seen = [], kept;"
        "function onTitle(e) { seen.push(e.type + ':' + e.attributeName + ':' + e.targetBox.id + ':' +"
        "  e.currentBox); }"
        "function onUser(e) { kept = e; seen.push(e.type + ':' + e.atom + ':' + e.targetBox.id +"
        "  ':' + (shell.currentEvent === e)); e.stop(); }"
        "function onMessage(e) { seen.push(e.message + ':' + e.paramsDictionary.n); e.result = 5; }"
        "a.addAttributeEventHandler('title', 'onTitle');"
        "a.addEventHandler('custom', 'onUser'); $('a1').addEventHandler('message', 'onMessage');");
    const Case cases[] = {
        {"var u = shell.create('event', a); u.type + '|' + u.atom + '|' + u.targetBox.id", "|0|a"},
        {"u.type = 'custom'; u.type + ' ' + (u.atom > 1664)", "custom true"},
        {"a.dispatchEvent(u) + ' ' + seen.pop()", "true custom:"},
        {"a.dispatchEvent({}) + ' ' + a.dispatchEvent(3)", "false false"},
        {"a.title = 'New'; seen.pop()", "attributeSet:title:a:null"},
        {"a1 = $('a1'); a1.sendMessage('hello', {n: 7})", "5"},
        {"seen.pop()", "hello:7"},
        {"a.sendMessage('', null) + ' ' + a.sendMessage('nobody', null)", "0 0"},
        {"kept.type", "!"},
        {"kept.type = 'renamed'; u === kept", "true"},
        {"a.dispatchEvent(u)", "false"}, // detached by its first dispatch
    };
    for (const Case& c : cases) {
        std::string got = Eval(c.expression);
        if (std::string(c.expression).find("a.dispatchEvent(u) +") == 0)
            EXPECT_EQ(got.substr(0, 12), "true custom:") << got;
        else
            EXPECT_EQ(got, c.expected) << c.expression;
    }
    ASSERT_GE(g_native.size(), 3u);
    EXPECT_EQ(g_native[0], "a onUser custom 64") << "the native runner sees the user event's record";
    EXPECT_EQ(g_native[1], "a onTitle attributeSet 0");
    EXPECT_EQ(g_native[2].substr(0, 20), "a1 onMessage message");
    EXPECT_EQ(Eval("seen.length"), "0");
}

TEST_F(BoxScriptTest, SetStyleOfEveryValueFormSetsTheInlineValue) {
    struct StyleCase {
        const char* property;
        const char* text;
        int unit;
    } forms[] = {
        {"width", "40", 1},        {"width", "40px", 14},       {"width", "50%", 13},
        {"width", "12pt", 15},     {"width", "2em", 16},        {"width", "10*", 21},
        {"fill", "#ff102030", 9},  {"fill", "red", 9},          {"fill", "url(pic.png)", 8},
        {"orient", "vertical", 6}, {"fontFamily", "'Sans'", 7}, {"padding", "1px 2px 3px 4px", 14}, // as its four sides
    };
    Run("var b = $('b')");
    oxBox* b = Root()->GetChildAt(1, false);
    for (const StyleCase& f : forms) {
        EXPECT_EQ(Eval(std::string("b.setStyle('") + f.property + "', \"" + f.text + "\")"), "true") << f.text;
        const oxStyleDeclaration* inline_ = b->GetInlineStyle();
        int id = StylePropertyIdFromName(Wide(f.property).GetString());
        if (id == kStyle_padding) id = kStyle_paddingLeft;
        const oxStyleValue* value = inline_ ? inline_->FindProperty(id) : nullptr;
        ASSERT_NE(value, nullptr) << f.text;
        EXPECT_EQ(int(value->GetType()), f.unit) << f.property << ": " << f.text;
    }
    // Through the proxy: a read is always a null value, a store sets the property.
    EXPECT_EQ(Eval("b.s.width.isNull + ' ' + b.s.currentStyle"), "true ");
    EXPECT_EQ(Eval("b.s.width = '33px'; b.s.noSuchProperty = 1; b.s.noSuchProperty"), "1");
    EXPECT_EQ(b->GetInlineStyle()->FindProperty(kStyle_width)->GetValue(), 33);
    EXPECT_EQ(Eval("b.setStyleVal('height', b.s.width) + ' ' + b.removeStyle('width')"), "true true");
    EXPECT_EQ(b->GetInlineStyle()->FindProperty(kStyle_width), nullptr);
    ASSERT_NE(b->GetInlineStyle()->FindProperty(kStyle_height), nullptr);
    EXPECT_TRUE(b->GetInlineStyle()->FindProperty(kStyle_height)->IsNull()) << "the proxy's null value was stored";
}

// The value objects on their own, called by name as scripts call them.
TEST_F(BoxScriptTest, StyleVariantAndStyleRectCopyTheirValues) {
    oxStyleRectValue sides;
    for (int i = 0; i < 4; ++i)
        sides.sides[i] = oxStyleValue(i + 1, kStylePx);
    NUBO::RefPtr<NUBO::XObject> rectVariant(MakeStyleVariant(oxStyleValue(sides)));
    NUBO::RefPtr<NUBO::XObject> percent(MakeStyleVariant(oxStyleValue(50, kStylePercent)));
    auto get = [](NUBO::XObject* o, const WCHAR* name) {
        NUBO::XVariant v;
        EXPECT_EQ(o->GetPropertyByName(name, &v), 0) << Utf8(NUBO::TWString(name));
        return v;
    };
    auto set = [](NUBO::XObject* o, const WCHAR* name, const NUBO::XVariant& v) {
        EXPECT_EQ(o->SetPropertyByName(name, &v), 0);
    };
    EXPECT_EQ(get(percent.get(), u"unit").ToInt32(), 13);
    EXPECT_EQ(get(percent.get(), u"intValue").ToInt32(), 50);
    EXPECT_EQ(Utf8(get(percent.get(), u"stringValue").ToString()), "");
    EXPECT_EQ(get(percent.get(), u"keywordValue").ToInt32(), -1);
    EXPECT_EQ(get(percent.get(), u"rectValue").vt, VT_EMPTY);
    set(percent.get(), u"colorValue", NUBO::XVariant(0x336a6a6au));
    EXPECT_EQ(get(percent.get(), u"unit").ToInt32(), 9);
    EXPECT_EQ(Utf8(get(percent.get(), u"stringValue").ToString()), "#336a6a6a");
    set(percent.get(), u"keywordValue", NUBO::XVariant(4));
    EXPECT_EQ(get(percent.get(), u"unit").ToInt32(), 6);

    NUBO::XVariant rect = get(rectVariant.get(), u"rectValue");
    NUBO::RefPtr<NUBO::XObject> rectObject(rect.ToXObject());
    ASSERT_TRUE(NUBO::XObject::IsKindOf(rectObject.get(), &StyleRect::Descriptor));
    set(rectObject.get(), u"top", NUBO::XVariant(7));
    NUBO::XVariant top = get(rectObject.get(), u"top");
    NUBO::RefPtr<NUBO::XObject> topObject(top.ToXObject());
    EXPECT_EQ(get(topObject.get(), u"unit").ToInt32(), 1);
    EXPECT_EQ(get(topObject.get(), u"intValue").ToInt32(), 7);
    EXPECT_EQ(static_cast<StyleVariant*>(rectVariant.get())->value.GetRect()->sides[0].GetValue(), 1)
        << "the rect is a copy";
    set(percent.get(), u"rectValue", rect);
    EXPECT_EQ(get(percent.get(), u"unit").ToInt32(), 19);
    EXPECT_EQ(static_cast<StyleVariant*>(percent.get())->value.GetRect()->sides[0].GetValue(), 7);
    // A compound value keeps its payload whole; a unit that needs a payload is refused.
    set(percent.get(), u"intValue", NUBO::XVariant(3));
    EXPECT_EQ(static_cast<StyleVariant*>(percent.get())->value.GetRect()->sides[3].GetValue(), 4);
    set(percent.get(), u"unit", NUBO::XVariant(1));
    set(percent.get(), u"unit", NUBO::XVariant(19));
    EXPECT_EQ(get(percent.get(), u"unit").ToInt32(), 1);
    set(percent.get(), u"floatValue", NUBO::XVariant(u"1.5"));
    EXPECT_EQ(get(percent.get(), u"floatValue").dblVal, 1.5);
    NUBO::RefPtr<NUBO::XObject> scaled(MakeStyleVariant(oxStyleValue(10, kStyleScaled)));
    EXPECT_EQ(get(scaled.get(), u"intValue").ToInt32(), int(10 * GetUiScale()));
}

TEST_F(BoxScriptTest, DataStoredOnABoxSurvivesARestyleAndTheScriptLettingGo) {
    Run("$('b').payload = {n: 42}; $('b').styleId = 'other'; $('b').styleId = 'other'");
    oxBox* b = Root()->GetChildAt(1, false);
    ASSERT_NE(b, nullptr);
    uint32_t restyles = b->GetRestyleCount();
    b->RestyleTree();
    EXPECT_GE(b->GetRestyleCount(), restyles);
    app->GetShell()->GetRuntime()->CollectGarbage();
    EXPECT_EQ(Eval("$('b').payload.n + ' ' + ($('b') === $('b')) + ' ' + $('b').styleId"), "42 true other");
    // An unpinned object goes when scripts let go: the next lookup makes a fresh one.
    Run("$('a1').mark = undefined");
    EXPECT_EQ(Eval("$('a2').plain"), "undefined");
}

} // namespace
