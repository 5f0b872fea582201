// The Scene script class, called from a scene's own scripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/shell/task_bar.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"
#include "toolkit/script/tests/while_blocked.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/widgets/rich_text.h"
#include "toolkit/widgets/scene_frame.h"
#include "toolkit/widgets/text_box.h"

namespace script_api_test {
using NUBO::XVariant;
namespace {

class SceneMembersTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) + ".scene;"));
    }
    void Check(const Case* cases, size_t count) { CheckCases(scene, cases, count); }
    // Calls the blocking expression and runs the checks from inside the modal loop it waits in; the
    // checks must end the wait. False when they never ran.
    bool CheckWhileBlocked(const std::string& blocking, const Case* cases, size_t count) {
        platform::headless::UseVirtualClock(0);
        bool ran = false;
        while_blocked::RunLater([&] {
            ran = true;
            Check(cases, count);
        });
        EXPECT_EQ(Call(scene, blocking), "undefined") << blocking;
        platform::headless::UseRealClock();
        return ran;
    }
    oxScene* scene = nullptr;
};

TEST_F(SceneMembersTest, EveryMemberAnswersAndRefusesBadArguments) {
    const Case cases[] = {
        {"scene.layout()", "undefined"},
        {"scene.paint()", "undefined"},
        {"scene.createBox('vbox')", "[Box]"},
        {"probe.tag(scene.createBox('x', 'vbox'))", "string:vbox"},
        {"probe.tag(scene.createBox('vbox', ''))", "string:vbox"},
        {"scene.createBox('')", "null"},
        {"scene.createBox()", kBadParamCount},
        {"scene.getBoxById('a')", "[Box]"},
        {"scene.getBoxById('a') === scene.getBoxById('a')", "boolean:true"},
        {"scene.getBoxById('noSuchId')", "null"},
        {"scene.getBoxById(null)", "null"},
        {"scene.getBoxById()", kBadParamCount},
        {"scene.getBoxesByTag('box').count", "number:4"},
        {"(scene.focusedBox = scene.getBoxById('a'), probe.tag(scene.focusedBox))", "string:box"},
        {"(scene.focusedBox = 5, scene.focusedBox)", "null"},
        {"probe.tag(scene.getBoxesByTag('hbox').getValue(0))", "string:hbox"},
        {"scene.getBoxesByTag('noSuchTag').count", "number:0"},
        {"scene.getBoxesByTag()", kBadParamCount},
        {"scene.importLibrary('')", "null"},
        {"scene.importLibrary('noSuchLibrary.box')", "null"},
        {"scene.getResourceById('noSuchResource')", "null"},
        {"scene.getCommandById('noSuchCommand')", "null"},
        {"scene.doCommand('noSuchCommand')", "boolean:false"},
        {"scene.doCommand()", kBadParamCount},
        {"scene.advanceFocus()", "undefined"},
        {"scene.rewindFocus()", "undefined"},
        {"scene.seekFocus(true)", "undefined"},
        {"scene.seekFocus()", kBadParamCount},
        {"scene.alert('body')", kBadParamCount},
        {"scene.prompt('body', 'title')", kBadParamCount},
        {"scene.confirm('body')", kBadParamCount},
        {"scene.addDOMObject('data', shell.factory)", "boolean:true"},
        {"scene.data === undefined", "boolean:false"},
        {"scene.removeDOMObject('data')", "boolean:true"},
        {"scene.data", "undefined"},
        {"scene.addDOMObject('', shell.factory)", "boolean:false"},
        {"scene.addDOMObject('data', null)", "boolean:false"},
        {"scene.addDOMObject('data', 5)", "boolean:false"},
        {"scene.addDOMObject('data')", kBadParamCount},
        {"scene.removeDOMObject('')", "undefined"},
        {"scene.removeDOMObject()", kBadParamCount},
        {"scene.sendMessage('ping', null)", "number:0"},
        {"scene.sendMessage('ping')", kBadParamCount},
        {"scene.flashWindow(true, false)", "undefined"},
        {"scene.flashWindow(true)", kBadParamCount},
        {"scene.displaySystemMenu(null, 0, 0)", "undefined"},
        {"scene.displaySystemMenu(null, 0)", kBadParamCount},
        {"scene.closeHelpBox()", "undefined"},
        {"scene.showHelpBox('tip')", kBadParamCount},
        {"scene.importScript('imported.js')", kBadParamCount},
        {"scene.importCode('', 'javascript')", kBadParamCount},
        {"scene.importCode('', 'javascript', '')", "boolean:false"},
        {"scene.importCode('key', 'nativeObject', 'imported.js')", "boolean:false"},
        {"scene.connectObject(null, 'x')", "boolean:false"},
        {"scene.connectObject(null)", kBadParamCount},
        {"scene.disconnectObject()", "boolean:false"},
        {"scene.setPosition('10,10')", "boolean:false"},
        {"scene.setPosition()", kBadParamCount},
        {"scene.getPosition()", "string:"},
        {"scene.monitorRectFromPoint(5, 5).width", "number:480"},
        {"scene.monitorRectFromPoint(5)", kBadParamCount},
        {"scene.doesKeyCodeMatch('F1', false, false, false)", "boolean:false"},
        {"scene.doesKeyCodeMatch('F1', false, false)", kBadParamCount},
        {"scene.destroyBox(scene.rootBox)", "boolean:false"},
        {"scene.destroyBox(shell.factory)", "boolean:false"},
        {"scene.destroyBox(null)", "boolean:false"},
        {"scene.destroyBox()", kBadParamCount},
        {"scene.openDialog(null)", kFail},
        {"scene.openDialog()", kBadParamCount},
        {"scene.openSheetDialog(null)", kFail},
        {"scene.replaceLibrary('old.box', 'new.box')", "undefined"},
        {"scene.replaceLibrary('old.box')", kBadParamCount},
        {"scene.setThemeForAlias('alias', 'theme.box')", kFail},
        {"scene.removeLibrary('noSuchLibrary.box')", "undefined"},
        {"scene.removeLibrary()", kBadParamCount},
        {"scene.addCommandGroup('group')", "[CommandGroup]"},
        {"scene.removeCommandGroup(null)", "boolean:false"},
        {"scene.getCommandGroupById('group')", "[CommandGroup]"},
        {"scene.getCommandGroupById('noSuchGroup')", "null"},
        {"scene.addKeyGroup('group')", "[KeyGroup]"},
        {"scene.removeKeyGroup(null)", "boolean:false"},
        {"scene.getKeyGroupById('group')", "[KeyGroup]"},
        {"scene.getKeyGroupById('noSuchGroup')", "null"},
        {"scene.addKeyGroup()", kBadParamCount},
        {"scene.getBoxAtPoint(1000000, 1000000)", kFail},
        {"scene.getBoxAtPoint(0)", kBadParamCount},
        {"scene.getScriptById('noSuchScript')", kFail},
        {"scene.paramsDictionary", "null"},
        {"probe.tag(scene.rootBox)", "string:vbox"},
        {"scene.rootBox === scene.getBoxById('root')", "boolean:true"},
        {"scene.parentScene", "null"},
        {"/scene_api\\.box$/.test(scene.url)", "boolean:true"},
        {"scene.name", "string:api"},
        {"scene.focusedBox", "null"},
        // The monitor under the root box's position: the screen, none once the box is off it.
        {"(r = scene.monitorRect).width + 'x' + r.height", "string:480x800"},
        {"(scene.rootBox.left = 5000, r = scene.monitorRect).width + 'x' + r.height", "string:0x0"},
        {"(scene.rootBox.left = 10, r = scene.monitorRect).width + 'x' + r.height", "string:480x800"},
        {"scene.library", "[Library]"},
        {"scene.library === scene.library", "boolean:true"},
        {"scene.defaultButton", "null"},
        {"scene.savedFocusedBox", "null"},
        {"scene.waiting", "boolean:false"},
        {"(scene.waiting = true, scene.waiting)", "boolean:true"},
        {"scene.blockLayout", "boolean:false"},
        {"(scene.blockLayout = 1, scene.blockLayout)", "boolean:true"},
        {"scene.commandGroupCount", "number:1"},
        {"scene.commandGroups.count", "number:1"},
        {"scene.keyGroupCount", "number:1"},
        {"scene.keyGroups.count", "number:1"},
    };
    Check(cases, std::size(cases));
    EXPECT_EQ(scene->GetState() & oxScene::kWaiting, oxScene::kWaiting);
    EXPECT_EQ(scene->GetCommandGroupCount(), 1u);
}

TEST_F(SceneMembersTest, AssigningAReadOnlyMemberDoesNotFailAndChangesNothing) {
    const Case cases[] = {
        {"(scene.url = 'elsewhere.box', /scene_api\\.box$/.test(scene.url))", "boolean:true"},
        {"(scene.rootBox = null, probe.tag(scene.rootBox))", "string:vbox"},
        {"(scene.commandGroupCount = 7, scene.commandGroupCount)", "number:0"},
    };
    Check(cases, std::size(cases));
    EXPECT_EQ(scene->GetSceneObject()->GetDispatchFlags(), NUBO::kXDispatchPropertiesByName);
}

TEST_F(SceneMembersTest, ACommandsUpdateHandlerGetsItsEventAsTheCurrentEvent) {
    ASSERT_TRUE(Run(scene, "var seen = [], kept;"
                           "function onUpdate(e) { kept = e; seen.push(e.type + ':' + e.message + ':' +"
                           "  (shell.currentEvent === e)); }"));
    oxCommandGroupElement* group = scene->AddCommandGroup(oxAtoms::Intern(u"commands"));
    ASSERT_NE(group, nullptr);
    auto* command = new oxCommandElement(group);
    group->AddCommand(command);
    ASSERT_EQ(command->SetMarkupAttribute(0, kAtomUpdate, u"onUpdate"), 0);
    group->UpdateCommands();
    const Case cases[] = {
        {"seen.join()", "string:command::true"},
        {"shell.currentEvent", "null"},
        {"kept.type", "error:80004005"}, // it lived for its dispatch only
    };
    Check(cases, std::size(cases));
    // The command's own script object goes inert with the command.
    NUBO::XObject* raw = nullptr;
    ASSERT_TRUE(runtime()->GetScriptObjectCache()->GetCommandObject(command, &raw));
    NUBO::RefPtr<NUBO::XObject> wrapper(raw);
    group->RemoveCommand(command);
    EXPECT_EQ(static_cast<oxNativeWrapper*>(wrapper.get())->GetNative(), nullptr);
}

TEST_F(SceneMembersTest, CodeInTheScenesContextWritesTheMarkupScriptsGlobals) {
    ASSERT_TRUE(Run(scene, "var gEvt = 'markup', kept = 'markup'; function seen() { return gEvt + ' ' + kept; }"));
    oxScriptContext* raw = nullptr;
    ASSERT_EQ(runtime()->GetScriptContextManager()->GetContext(scene->GetContextName().GetString(), &raw), 0);
    NUBO::RefPtr<oxScriptContext> context(raw);
    const WCHAR* name = scene->GetContextName().GetString();
    ASSERT_EQ(context->RunScript(NUBO::TWString(u"gEvt = 'evaluated'"), name, u""), S_OK);
    EXPECT_EQ(Call(scene, "seen()"), "string:evaluated markup");
    EXPECT_EQ(Call(scene, "scene.importScript('assigns_globals.js', 'javascript')"), "boolean:true");
    EXPECT_EQ(Call(scene, "seen()"), "string:imported markup") << "its `var kept` is its own";
    // A handler of the imported script, called on the context's object as the scene calls handlers.
    XVariant space;
    ASSERT_EQ(context->GetScriptObject(name, &space), S_OK);
    NUBO::RefPtr<NUBO::XObject> object(space.ToXObject());
    ASSERT_TRUE(object);
    EXPECT_EQ(NUBO::XObject::CallMethod1NoResult(object.get(), u"onPing", XVariant(u"handled")), 0);
    EXPECT_EQ(Call(scene, "seen()"), "string:handled markup");
}

TEST_F(SceneMembersTest, DoesKeyCodeMatchAsksTheScenesOwnKeyGroups) {
    oxScene* keys = Open("keys.box", "keys");
    ASSERT_NE(keys, nullptr);
    ASSERT_TRUE(Run(keys, "var scene = " + Utf8(keys->GetContextName().GetString()) + ".scene;"));
    const Case cases[] = {
        {"scene.doesKeyCodeMatch('F1', false, false, false)", "boolean:true"},
        {"scene.doesKeyCodeMatch('f1', false, false, false)", "boolean:true"},
        {"scene.doesKeyCodeMatch('F1', true, false, false)", "boolean:false"},
        {"scene.doesKeyCodeMatch('q', true, false, false)", "boolean:true"},
        {"scene.doesKeyCodeMatch('Quit', true, false, false)", "boolean:true"}, // an unknown name: its first unit
        {"scene.doesKeyCodeMatch('q', true, true, false)", "boolean:false"},
        {"scene.doesKeyCodeMatch('q', true, false, true)", "boolean:false"},
        {"scene.doesKeyCodeMatch('F2', false, false, false)", "boolean:false"}, // a box's own key
        {"scene.doesKeyCodeMatch('', false, false, false)", "boolean:false"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Call(keys, c.expression), c.expected) << c.expression;
    keys->Close(false);
}

TEST_F(SceneMembersTest, AnImportedOrRemovedLibrarysStylesApplyAtOnce) {
    const std::string uri = "'" + Utf8(FixtureUri("wide_rows.box").c_str()) + "'";
    const std::string import = "scene.importLibrary(" + uri + ") !== null", remove = "scene.removeLibrary(" + uri + ")";
    const Case cases[] = {
        {"scene.getBoxById('a').getStyleString('width')", "string:"},   {import.c_str(), "boolean:true"},
        {"scene.getBoxById('a').getStyleString('width')", "string:33"}, {"scene.getBoxById('a').width", "number:33"},
        {"scene.getBoxById('b').getStyleString('width')", "string:"},   {remove.c_str(), "undefined"},
        {"scene.getBoxById('a').getStyleString('width')", "string:"},
    };
    Check(cases, std::size(cases));
}

TEST_F(SceneMembersTest, TheSavedFocusIsTheBoxTheFocusGoesBackTo) {
    EXPECT_EQ(Call(scene, "scene.savedFocusedBox"), "null");
    scene->SetActiveNativeText(scene->GetBoxById(oxAtoms::Find(u"b"), false));
    EXPECT_EQ(Call(scene, "scene.savedFocusedBox === scene.getBoxById('b')"), "boolean:true");
    scene->SetActiveNativeText(nullptr);
    EXPECT_EQ(Call(scene, "scene.savedFocusedBox"), "null");
}

TEST_F(SceneMembersTest, ABoxOfASceneWhoseWindowIsDisabledTakesNoFocus) {
    ASSERT_NE(scene->GetWindow(), nullptr);
    scene->GetWindow()->SetEnabled(false);
    EXPECT_EQ(Call(scene, "(scene.getBoxById('a').focus(), scene.focusedBox)"), "null");
    scene->GetWindow()->SetEnabled(true);
    EXPECT_EQ(Call(scene, "(scene.getBoxById('a').focus(), scene.focusedBox === scene.getBoxById('a'))"),
              "boolean:true");
}

TEST_F(SceneMembersTest, AScreenPositionIsTheFramePositionPlusTheWindowsPlace) {
    oxSceneFrame* frame = oxSceneFrame::Of(scene);
    ASSERT_TRUE(frame && frame->GetFrame() && frame->GetFrame()->GetWindow());
    POINT origin{0, 0};
    ClientToScreen(frame->GetFrame()->GetWindow(), &origin);
    ASSERT_GT(origin.y, 0) << "the window sits below the shell's bar";
    const std::string dx = "number:" + std::to_string(origin.x), dy = "number:" + std::to_string(origin.y);
    ASSERT_TRUE(Run(scene, "var b = scene.getBoxById('b'); scene.getBoxById('a').setStyle('height', '30');"
                           "scene.layout();"));
    EXPECT_EQ(Call(scene, "b.frameY"), "number:30");
    EXPECT_EQ(Call(scene, "b.screenX - b.frameX"), dx);
    EXPECT_EQ(Call(scene, "b.screenY - b.frameY"), dy);
}

// A right-to-left scene measures screenX leftwards from its client area's right edge; the scene is
// right to left by its root's `dir`, else by the shell's default direction.
TEST_F(SceneMembersTest, ARightToLeftScenesScreenXIsMirroredFromTheFramesRightEdge) {
    oxSceneFrame* frame = oxSceneFrame::Of(scene);
    ASSERT_TRUE(frame && frame->GetFrame() && frame->GetFrame()->GetWindow());
    POINT origin{0, 0};
    ClientToScreen(frame->GetFrame()->GetWindow(), &origin);
    RECT client{};
    GetClientRect(frame->GetFrame()->GetWindow(), &client);
    ASSERT_GT(client.right, 0);
    ASSERT_TRUE(Run(scene, "var b = scene.getBoxById('inner'); scene.getBoxById('label').setStyle('width', '40');"
                           "scene.layout();"));
    ASSERT_EQ(Call(scene, "b.frameX"), "number:40");
    const std::string ltr = "number:" + std::to_string(origin.x);
    const std::string rtl = "number:" + std::to_string(origin.x + client.right);
    oxBox* root = scene->GetRootBox();
    struct {
        const char16_t* rootDir; // null: no attribute
        const char* shellDir;
        const std::string& offset; // screenX +/- frameX
        bool mirrored;
    } const cases[] = {
        {nullptr, "none", ltr, false}, {nullptr, "rtl", rtl, true}, {u"rtl", "none", rtl, true},
        {u"ltr", "rtl", ltr, false},   {u"rtl", "rtl", rtl, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.rootDir ? Utf8(c.rootDir) : std::string("-")) + "/" + c.shellDir);
        if (c.rootDir) {
            root->SetAttribute(kAtomDir, c.rootDir, true, false);
        } else {
            root->RemoveAttribute(kAtomDir);
        }
        ASSERT_TRUE(Run(scene, std::string("shell.dir = '") + c.shellDir + "';"));
        EXPECT_EQ(scene->IsRightToLeft(), c.mirrored);
        EXPECT_EQ(Call(scene, c.mirrored ? "b.screenX + b.frameX" : "b.screenX - b.frameX"), c.offset);
        EXPECT_EQ(Call(scene, "b.screenY - b.frameY"), "number:" + std::to_string(origin.y));
    }
    root->RemoveAttribute(kAtomDir);
    ASSERT_TRUE(Run(scene, "shell.dir = 'none';"));
}

TEST_F(SceneMembersTest, AScriptsIdNamesTheObjectItsFunctionsLiveOn) {
    oxScene* named = Open("named_script.box", "named");
    ASSERT_NE(named, nullptr);
    ASSERT_TRUE(Run(named, "var scene = " + Utf8(named->GetContextName().GetString()) + ".scene;"));
    const Case cases[] = {
        {"typeof scene.getScriptById('main').describe", "string:function"},
        {"scene.getScriptById('main').describe(5)", "string:number:5"},
        {"scene.getScriptById('noSuchScript')", kFail},
        {"scene.getScriptById('toolkit')", kFail},
        {"scene.getScriptById('')", kFail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Call(named, c.expression), c.expected) << c.expression;
    named->Close(false);
}

TEST_F(SceneMembersTest, DestroyBoxTakesOnlyWhatAParentOrTheSceneHolds) {
    const Case cases[] = {
        {"(held = scene.getBoxById('b'), scene.destroyBox(held))", "boolean:true"},
        {"scene.getBoxById('b')", "null"},
        {"probe.tag(held)", "string:detached"},
        {"scene.destroyBox(held)", "boolean:false"},
        {"(made = scene.createBox('box'), scene.destroyBox(made))", "boolean:true"},
        {"probe.tag(made)", "string:detached"},
    };
    ASSERT_TRUE(Run(scene, "var held, made;"));
    Check(cases, std::size(cases));
}

TEST_F(SceneMembersTest, ImportsAScriptOnceAndAgainAfterAFailure) {
    const Case cases[] = {
        {"scene.importScript('imported.js', 'javascript')", "boolean:true"},
        {"scene.importScript('imported.js', 'javascript')", "boolean:false"},
        {"scene.importCode('', 'javascript', 'imported.js')", "boolean:false"},
        {"scene.importScript('imported.js', 'nativeObject')", "boolean:false"},
        {"scene.importScript('imported.js', '')", "boolean:false"},
        {"scene.importScript('noSuchScript.js', 'javascript')", "boolean:false"},
        {"scene.importScript('broken.js', 'javascript')", "boolean:false"},
        {"scene.importScript('broken.js', 'javascript')", "boolean:false"},
    };
    Check(cases, std::size(cases));
    EXPECT_EQ(probe->ticks, 1) << "the file ran once";
    auto* object = static_cast<Scene*>(scene->GetSceneObject());
    EXPECT_FALSE(object->IsScriptLoaded(0, kAtomJavascript, nullptr));
    std::u16string broken = FixtureUri("broken.js"), imported = FixtureUri("imported.js");
    EXPECT_FALSE(object->IsScriptLoaded(0, kAtomJavascript, broken.c_str())) << "a failed load is forgotten";
    EXPECT_TRUE(object->IsScriptLoaded(0, kAtomJavascript, imported.c_str()));
    object->AddLoadedScript(0, 0, u"zero.js");
    EXPECT_FALSE(object->IsScriptLoaded(0, 0, u"zero.js")) << "a zero language is never kept";
}

TEST_F(SceneMembersTest, ImportsCodeUnderAKeyOnceInThatKeysContext) {
    const struct {
        const char* expression;
        const char* expected;
        int ticks;
    } cases[] = {
        {"scene.importCode('one', 'javascript', 'imported.js')", "boolean:true", 1},
        {"scene.importCode('one', 'javascript', 'imported.js')", "boolean:false", 1},
        {"scene.importCode('two', 'javascript', 'imported.js')", "boolean:true", 2},
        {"scene.importCode('', 'javascript', 'imported.js')", "boolean:true", 3},
        {"scene.importCode('two', 'nativeObject', 'imported.js')", "boolean:false", 3},
        {"scene.importCode('three', 'javascript', 'noSuchScript.js')", "boolean:false", 3},
        {"scene.importCode('three', 'javascript', 'broken.js')", "boolean:false", 3},
        {"scene.importCode('three', 'javascript', 'broken.js')", "boolean:false", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;
        EXPECT_EQ(probe->ticks, c.ticks) << c.expression;
    }
    oxScriptContextManager* manager = runtime()->GetScriptContextManager();
    for (const char16_t* key : {u"one", u"two"}) {
        oxScriptContext* raw = nullptr;
        ASSERT_EQ(manager->GetContext(key, &raw), 0) << "each key has a context of its own";
        NUBO::RefPtr<oxScriptContext> context(raw);
        EXPECT_NE(raw, nullptr);
    }
    // Another scene importing under a known key runs the file there too.
    oxScene* other = Open("other.box", "other");
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(Run(other, "var scene = " + Utf8(other->GetContextName().GetString()) + ".scene;"));
    EXPECT_EQ(Call(other, "scene.importCode('one', 'javascript', 'imported.js')"), "boolean:true");
    EXPECT_EQ(probe->ticks, 4);
}

// Right-to-left formatting is a setting scenes take as they open: a scene already open keeps what
// it had, and a text box's rich text follows its own scene's setting.
TEST_F(SceneMembersTest, RtlFormattingIsTakenByScenesOpenedAfterItIsSet) {
    EXPECT_FALSE(scene->GetRtlFormatting());
    ASSERT_TRUE(Run(scene, "shell.rtlFormatting = true;"));
    EXPECT_FALSE(scene->GetRtlFormatting()) << "already open";
    oxScene* later = Open("other.box", "other");
    ASSERT_NE(later, nullptr);
    EXPECT_TRUE(later->GetRtlFormatting());
    ASSERT_TRUE(Run(scene, "shell.rtlFormatting = false;"));
    EXPECT_TRUE(later->GetRtlFormatting()) << "kept from its opening";
    for (oxScene* s : {scene, later}) {
        auto* text = dynamic_cast<oxTextBox*>(s->CreateBoxOfType(kAtomText, kAtomText));
        ASSERT_NE(text, nullptr);
        s->GetRootBox()->AddChild(text);
        text->SetValue(u"<b>\u05D0</b> 12");
        ASSERT_NE(text->GetRichDocument(), nullptr);
        EXPECT_EQ(text->GetRichDocument()->IsRightToLeftEnabled(), s == later);
    }
}

TEST_F(SceneMembersTest, ImportsNoScriptFromOutsideTheResourcesFolder) {
    namespace fs = std::filesystem;
    const fs::path programFolder = fs::path(platform::ProgramHostPath()).parent_path();
    const fs::path outside = programFolder / ("outside-" + package + ".js");
    std::ofstream(outside) << "probe.tick();";
    struct Remover {
        fs::path file;
        ~Remover() {
            std::error_code ignored;
            fs::remove(file, ignored);
        }
    } remover{outside};
    auto literal = [](const std::string& text) { // the text inside a script string literal
        std::string out;
        for (char c : text)
            out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return out;
    };
    // A scene opened by its path joins references to a path, where '..' can climb.
    const std::u16string scenePath =
        GetResourcesFolder().GetString() + platform::WideFromUtf8(package) + u"\\scene_api.box";
    oxScene* byPath = runtime()->OpenSceneSimple(scenePath.c_str(), nullptr, u"byPath", nullptr, nullptr, false);
    ASSERT_NE(byPath, nullptr);
    ASSERT_TRUE(Run(byPath, "var scene = " + Utf8(byPath->GetContextName().GetString()) + ".scene;"));
    const std::string name = outside.filename().string();
    const std::string device = Utf8(platform::DevicePathFromHost(outside.string()).c_str());
    const std::string climb = Utf8(GetResourcesFolder().GetString()) + "..\\" + name;
    const std::string references[] = {"../../" + name, literal("..\\..\\" + name), "file://" + outside.string(),
                                      literal(device), literal(climb)};
    for (oxScene* importer : {scene, byPath}) {
        for (const std::string& reference : references) {
            EXPECT_EQ(Call(importer, "scene.importScript('" + reference + "', 'javascript')"), "boolean:false")
                << reference;
            for (const char* key : {"", "key"})
                EXPECT_EQ(
                    Call(importer, "scene.importCode('" + std::string(key) + "', 'javascript', '" + reference + "')"),
                    "boolean:false")
                    << key << reference;
        }
    }
    EXPECT_EQ(probe->ticks, 0) << "no file outside the resources folder ran";
    EXPECT_EQ(Call(byPath, "scene.importScript('imported.js', 'javascript')"), "boolean:true");
    EXPECT_EQ(probe->ticks, 1);
    byPath->Close(false);
}

TEST_F(SceneMembersTest, ASceneObjectIsOnePerSceneAndInertOnceTheSceneCloses) {
    oxScene* other = Open("other.box", "other");
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(Run(other, "var held = shell.getSceneByName('api'), box = held.getBoxById('a');"
                           "held.note = 'kept';"));
    const Case live[] = {
        {"held === shell.getSceneAt(0)", "boolean:true"},
        {"shell.getSceneByName('api').note", "string:kept"},
    };
    for (const Case& c : live)
        EXPECT_EQ(Call(other, c.expression), c.expected) << c.expression;

    scene->Close(false);
    const Case detached[] = {
        {"held.url", kFail},
        {"held.rootBox", kFail},
        {"held.commandGroupCount", "number:-1"},
        {"held.keyGroupCount", "number:-1"},
        {"held.createBox('vbox')", "null"},
        {"held.getBoxById('a')", "null"},
        {"held.doCommand('x')", "boolean:false"},
        {"held.close()", "undefined"},
        {"held.openDialog(shell.factory)", kFail},
        {"held.note", "string:kept"},
        {"probe.tag(box)", "string:detached"},
        {"shell.closeScene(held)", "undefined"},
        {"shell.getSceneByName('api')", "null"},
    };
    for (const Case& c : detached)
        EXPECT_EQ(Call(other, c.expression), c.expected) << c.expression;
}

// The call returns when the dialog has closed; while it is open, its modal loop runs the checks.
TEST_F(SceneMembersTest, OpensTheBuiltInDialogOverItself) {
    const Case cases[] = {
        {"shell.getSceneByName('_builtInDialog').parentScene === scene", "boolean:true"},
        {"/KestrumToolkit\\/content\\/dialog\\/dialog\\.box$/.test(shell.getSceneByName('_builtInDialog').url)",
         "boolean:true"},
        {"shell.closeScene(shell.getSceneByName('_builtInDialog'))", "undefined"},
    };
    EXPECT_TRUE(CheckWhileBlocked("scene.openDialog(shell.factory)", cases, std::size(cases)));
    EXPECT_EQ(Call(scene, "shell.getSceneByName('_builtInDialog')"), "null");
}

TEST_F(SceneMembersTest, AlertPromptAndConfirmWaitForTheDialogAndAnswerItsResults) {
    platform::headless::UseVirtualClock(0);
    struct DialogCase {
        const char* expression;
        uint16_t key; // pressed in the dialog once it is up
        const char* expected;
        const char* shown; // the dialog's type, body, title and size as it was asked to show them
    } cases[] = {
        {"(r = scene.alert('body', 'title'), r.button)", 13, "string:confirm", "alert/body/title/"},
        {"(r = scene.confirm('sure?', 'ask', 2), r.button)", 13, "string:confirm", "confirm/sure?/ask/medium"},
        {"(r = scene.confirm('sure?', 'ask', 9), r.button)", 27, "string:cancel", "confirm/sure?/ask/"},
        {"(r = scene.prompt('name?', 'ask', 'Ann', 3), r.button + ' ' + r.promptValue)", 13, "string:confirm Ann",
         "prompt/name?/ask/large"},
    };
    ASSERT_TRUE(Run(scene, "var r;"));
    for (const DialogCase& c : cases) {
        std::string shown;
        bool openerDisabled = false;
        while_blocked::RunLater([&] {
            oxScene* dialog = runtime()->FindSceneByName(kBuiltInDialogName);
            ASSERT_NE(dialog, nullptr) << "the dialog is up while the call waits";
            EXPECT_EQ(dialog->GetOpener(), scene);
            openerDisabled = !scene->GetWindow()->IsEnabled();
            NUBO::XObject* params = dialog->GetParams();
            for (const WCHAR* key : {u"dialogType", u"bodyText", u"titleText", u"size"}) {
                XVariant value;
                if (params->GetPropertyByName(key, &value) == 0 && value.vt == VT_BSTR)
                    shown += Utf8(value.ToString().GetString());
                if (key[0] != u's') shown += "/";
            }
            oxBox* target = dialog->GetFocusedBox() ? dialog->GetFocusedBox() : dialog->GetRootBox();
            oxKeyEvent press(kAtomKeyPress, target, nullptr, c.key, false, false, false, c.key);
            dialog->DispatchEvent(&press);
            if (oxScene* left = runtime()->FindSceneByName(kBuiltInDialogName)) {
                ADD_FAILURE() << "the key left the dialog open";
                left->Close(true);
            }
        });
        EXPECT_EQ(Call(scene, c.expression), c.expected) << c.expression;
        EXPECT_EQ(shown, c.shown) << c.expression;
        EXPECT_TRUE(openerDisabled) << c.expression;
        EXPECT_TRUE(scene->GetWindow()->IsEnabled()) << c.expression;
        EXPECT_EQ(runtime()->FindSceneByName(kBuiltInDialogName), nullptr);
    }
    platform::headless::UseRealClock();
}

TEST_F(SceneMembersTest, ClosingTheSheetDialogClosesItsTintedBackground) {
    const Case open[] = {
        {"shell.getSceneByName('_builtInDialogBackground').parentScene === scene", "boolean:true"},
        {"shell.getSceneByName('_builtInDialog').parentScene === shell.getSceneByName('_builtInDialogBackground')",
         "boolean:true"},
        {"shell.sceneCount", "number:3"},
        {"shell.closeScene(shell.getSceneByName('_builtInDialog'))", "undefined"},
    };
    EXPECT_TRUE(CheckWhileBlocked("scene.openSheetDialog(shell.factory)", open, std::size(open)))
        << "the call waited for the sheet";
    const Case closed[] = {
        {"shell.getSceneByName('_builtInDialog')", "null"},
        {"shell.getSceneByName('_builtInDialogBackground')", "null"},
        {"shell.sceneCount", "number:1"},
    };
    Check(closed, std::size(closed));
}

TEST_F(SceneMembersTest, TheHelpBoxOpensNextToAShownAnchorWithItsTexts) {
    // The work area leaves out the shell's bars, and the anchor's place is on the screen.
    const RECT work = platform::shell::GetWorkArea();
    ASSERT_LT(work.bottom - work.top, 800);
    const std::string workHeight = "string:" + std::to_string(work.bottom - work.top);
    const Case placed[] = {
        {"scene.showHelpBox('tip', scene.getBoxById('a'), 5)", "undefined"},
        {"shell.getSceneByName('_helpBox').paramsDictionary.workAreaHeight", workHeight.c_str()},
        {"shell.getSceneByName('_helpBox').paramsDictionary.anchorY == '' + scene.getBoxById('a').screenY",
         "boolean:true"},
        {"shell.getSceneByName('_helpBox').paramsDictionary.anchorY > scene.getBoxById('a').frameY", "boolean:true"},
        {"scene.closeHelpBox()", "undefined"},
    };
    Check(placed, std::size(placed));
    const Case cases[] = {
        {"scene.showHelpBox('tip', scene.getBoxById('a'), 5)", "undefined"},
        {"(help = shell.getSceneByName('_helpBox')).parentScene === scene", "boolean:true"},
        {"help.paramsDictionary.value", "string:tip"},
        {"help.paramsDictionary.timeout", "string:5"},
        {"help.paramsDictionary.workAreaWidth", "string:480"},
        {"help.paramsDictionary.anchorWidth == '' + scene.getBoxById('a').boxWidth", "boolean:true"},
        {"scene.showHelpBox('again', scene.getBoxById('a'))", "undefined"},
        {"help.name", kFail},
        {"shell.getSceneByName('_helpBox').paramsDictionary.timeout", "undefined"},
        {"scene.closeHelpBox()", "undefined"},
        {"shell.getSceneByName('_helpBox')", "null"},
        {"scene.showHelpBox('tip', scene.getBoxById('hiddenAnchor'))", "undefined"},
        {"scene.showHelpBox('tip', shell.factory)", "undefined"},
        {"shell.getSceneByName('_helpBox')", "null"},
    };
    ASSERT_TRUE(Run(scene, "var help;"));
    Check(cases, std::size(cases));
}

} // namespace
} // namespace script_api_test
