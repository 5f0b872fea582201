// The Shell script class, called from a scene's scripts, and the lenient Shell.
#include <gtest/gtest.h>

#include "graphics/paint/canvas.h"
#include "graphics/tests/raster_test_util.h"
#include "platform/backend/headless.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/desktop_services.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"
#include "toolkit/script/tests/while_blocked.h"
#include "toolkit/style/ui_scale.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";
constexpr const char* kFail = "error:80004005";

class ShellMembersTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) + ".scene, child;"));
    }
    oxScene* scene = nullptr;
};

TEST_F(ShellMembersTest, EveryMemberAnswersAndRefusesBadArguments) {
    std::string other = "'" + Utf8(FixtureUri("other.box").c_str()) + "'";
    const std::pair<std::string, const char*> cases[] = {
        {"shell.addDOMObject('global', shell.factory)", "boolean:true"},
        {"probe.className(shell.global)", "string:Factory"},
        {"shell.removeDOMObject('global')", "boolean:true"},
        {"shell.global", "undefined"},
        {"shell.addDOMObject('', shell.factory)", kFail},
        {"shell.addDOMObject('global', null)", kFail},
        {"shell.addDOMObject('global')", kBadParamCount},
        {"shell.removeDOMObject('')", kFail},
        {"(child = shell.openScene('other.box', scene, 'child', null, null, false)).parentScene === scene",
         "boolean:true"},
        {"shell.getSceneByName('child') === child", "boolean:true"},
        {"shell.openScene('', null, 'x', null, null, false)", kFail},
        {"shell.openScene('noSuchScene.box', null, 'x', null, null, false)", kFail},
        {"shell.openScene('other.box', null, 'x', null, null)", kBadParamCount},
        {"shell.sceneCount", "number:2"},
        {"shell.closeScene(child)", "undefined"},
        {"shell.sceneCount", "number:1"},
        {"shell.closeScene(shell.factory)", kFail},
        {"shell.closeScene(null)", kFail},
        {"shell.closeScene()", kBadParamCount},
        {"shell.openSceneAndWait('', scene, 'waited', null)", kFail},
        {"shell.openSceneAndWait('other.box', scene, 'waited')", kBadParamCount},
        {"shell.importLibrary('')", "null"},
        {"shell.importLibrary('noSuchLibrary.box')", "null"},
        {"shell.getLibrary('noSuchLibrary.box')", "null"},
        {"shell.importLibrary()", kBadParamCount},
        {"shell.bitmap('id', 'picture.png')", "null"},
        {"shell.bitmap('id')", kBadParamCount},
        {"shell.getSceneAt(0) === scene", "boolean:true"},
        {"shell.getSceneAt(99)", kFail},
        {"shell.getSceneAt(-1)", kFail},
        {"shell.getSceneAt()", kBadParamCount},
        {"shell.getSceneByName('api') === scene", "boolean:true"},
        {"shell.getSceneByName('API')", "null"},
        {"shell.getSceneByName('')", kFail},
        {"shell.print('text')", "undefined"},
        {"shell.print()", kBadParamCount},
        {"shell.getCurrentEvent()", "null"},
        {"shell.getCurrentData()", "string:"},
        {"shell.enumSystemScenes()", "null"},
        {"shell.create('rect').width", "number:0"},
        {"shell.create('point').x", "number:0"},
        {"shell.create('Rect')", "undefined"},
        {"shell.create('snapshot', scene.rootBox)", "[Snapshot]"},
        {"shell.create('transition', scene.rootBox)", "[Transition]"},
        {"shell.create('snapshot', shell.factory)", "undefined"},
        {"shell.create('transition', null)", "undefined"},
        {"shell.create('event', scene.getBoxById('a'))", "[UserEvent]"},
        {"shell.create('event')", "undefined"},
        {"shell.create()", kBadParamCount},
        {"shell.getIconForFile('', '16x16')", kFail},
        {"shell.getIconForFile('\\\\file.txt', '20x20')", kFail},
        {"shell.getIconForFile('\\\\file.txt')", kBadParamCount},
        {"shell.collectGarbage()", "undefined"},
        {"shell.closeAllPopups()", "undefined"},
        {"shell.replaceLibrary('old.box', 'new.box')", "undefined"},
        {"shell.replaceLibrary('old.box')", kBadParamCount},
        {"shell.isPopupOpen", "boolean:false"},
        {"shell.currentData", "string:"},
        {"shell.currentEvent", "null"},
        {"shell.currentEventTargetBox", "null"},
        {"shell.factory === shell.factory", "boolean:false"},
        {"shell.reportScriptErrors", "boolean:false"},
        {"(shell.reportScriptErrors = true, shell.reportScriptErrors)", "boolean:true"},
        {"shell.themeManager === shell.themeManager", "boolean:true"},
        {"shell.defaultToolkit", "string:box://weftlyToolkit"},
        {"(shell.defaultToolkit = '', shell.defaultToolkit)", "string:box://weftlyToolkit"},
        {"(shell.defaultToolkit = 'box://otherToolkit', shell.defaultToolkit)", "string:box://otherToolkit"},
        {"shell.dir", "string:none"},
        {"(shell.dir = 'rtl', shell.dir)", "string:rtl"},
        {"shell.rtlFormatting", "boolean:false"},
        {"(shell.rtlFormatting = true, shell.rtlFormatting)", "boolean:true"},
        {"shell.overrideScriptEngine", "string:none"},
        {"(shell.overrideScriptEngine = 'jscript', shell.overrideScriptEngine)", "string:none"},
        {"(shell.uiScale = 130, Math.round(shell.uiScale))", "number:130"},
        {"(shell.uiScale = 20, Math.round(shell.uiScale))", "number:50"},
        {"shell.addListener(shell.factory)", "undefined"},
        {"shell.removeListener(shell.factory)", "undefined"},
        {"shell.addListener(null)", kFail},
        {"shell.removeListener(null)", kFail},
        {"shell.addListener()", kBadParamCount},
        {"shell.preTranslateAccelerator(0, 256, 65, 0)", "boolean:false"},
        {"shell.preTranslateAccelerator(0, 256, 65)", kBadParamCount},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.first), c.second) << c.first;
    EXPECT_FLOAT_EQ(GetUiScale(), 0.5f);
    // A file's icon is the stream the desktop services find for it, or nothing where they find none.
    NUBO::XStream* icon = nullptr;
    ASSERT_EQ(GetFileIcon(u"\\file.txt", u"32x32", &icon), 0);
    EXPECT_EQ(Call(scene, "shell.getIconForFile('\\\\file.txt', '32x32')"), icon ? "[XStream]" : "null");
    if (icon) icon->Release();
}

TEST_F(ShellMembersTest, OpenSceneAndWaitReturnsOnceTheDialogCloses) {
    platform::headless::UseVirtualClock(0);
    std::string other = "'" + Utf8(FixtureUri("other.box").c_str()) + "'";
    ASSERT_TRUE(Run(scene, "var order = [];"));
    bool ran = false;
    while_blocked::RunLater([&] {
        ran = true;
        EXPECT_EQ(Call(scene, "shell.getSceneByName('waited').parentScene === scene"), "boolean:true");
        EXPECT_FALSE(scene->GetWindow()->IsEnabled()) << "the other scenes wait too";
        EXPECT_EQ(Call(scene, "order.push('inside'), shell.closeScene(shell.getSceneByName('waited'))"), "undefined");
    });
    EXPECT_EQ(Call(scene, "shell.openSceneAndWait(" + other +
                              ", scene, 'waited', null), order.push('after'), "
                              "order.join()"),
              "string:inside,after");
    EXPECT_TRUE(ran);
    EXPECT_TRUE(scene->GetWindow()->IsEnabled());
    EXPECT_EQ(Call(scene, "shell.getSceneByName('waited')"), "null");
    platform::headless::UseRealClock();
}

TEST_F(ShellMembersTest, ANewUiScaleLaysEveryOpenSceneOutAgain) {
    const float before = GetUiScale();
    ASSERT_EQ(Call(scene, "(shell.uiScale = 100, b = scene.getBoxById('b'), b.setStyle('width', '40*'),"
                          " b.setStyle('height', '10'), scene.layout())"),
              "undefined");
    oxBox* b = scene->GetBoxById(oxAtoms::Find(u"b"), false);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->GetBoxRect().width, 40);
    EXPECT_EQ(Call(scene, "(shell.uiScale = 200, Math.round(shell.uiScale))"), "number:200");
    EXPECT_EQ(b->GetBoxRect().width, 80) << "laid out at the new scale without being asked";
    EXPECT_EQ(b->GetBoxRect().height, 10) << "unscaled sizes stay";
    SetUiScale(before);
}

TEST_F(ShellMembersTest, SceneCountAndSceneAtPassOverClosingScenes) {
    ASSERT_NE(Open("other.box", "second"), nullptr);
    oxScene* closing = runtime()->GetSceneAt(0);
    closing->SetStateFlag(oxScene::kClosing, true);
    EXPECT_EQ(Call(scene, "shell.sceneCount"), "number:1");
    EXPECT_EQ(Call(scene, "shell.getSceneAt(0).name"), "string:second");
    EXPECT_EQ(Call(scene, "shell.getSceneAt(1).name"), "string:second");
    EXPECT_EQ(Call(scene, "shell.getSceneAt(2)"), kFail);
    closing->SetStateFlag(oxScene::kClosing, false);
}

TEST_F(ShellMembersTest, ALenientShellAnswersNothingInsteadOfFailing) {
    auto* lenient = new Shell(runtime());
    lenient->AddRef();
    EXPECT_EQ(lenient->Initialize(), 0) << "it makes no runtime of its own";
    NUBO::XVariant out(true);
    EXPECT_EQ(lenient->OpenScene(NUBO::TWString(u""), nullptr, NUBO::TWString(u""), nullptr, nullptr, false, &out), 0);
    EXPECT_EQ(out.vt, VT_UNKNOWN);
    EXPECT_EQ(out.punkVal, nullptr);
    EXPECT_EQ(lenient->CloseScene(nullptr), 0);
    EXPECT_EQ(lenient->AddDOMObject(NUBO::TWString(u""), nullptr, &out), 0);
    NUBO::XVariant result;
    NUBO::XVariant name(u"noSuchScene");
    EXPECT_EQ(NUBO::XObject::CallMethod1(lenient, u"getSceneByName", name, &result), 0);
    EXPECT_EQ(NUBO::XObject::CallMethod1(lenient, u"getSceneAt", NUBO::XVariant(42), &result), 0);
    EXPECT_EQ(result.vt, VT_UNKNOWN);
    lenient->Release();
    EXPECT_NE(runtime(), nullptr) << "the runtime is not the lenient Shell's to shut down";
    EXPECT_EQ(Call(scene, "shell.sceneCount"), "number:1");
}

} // namespace
} // namespace script_api_test

namespace script_api_test {
namespace {

TEST_F(ShellMembersTest, ScriptsMakeSwitchAndDeleteThemes) {
    const std::pair<std::string, const char*> cases[] = {
        {"(tm = shell.themeManager, tm.themeCount)", "number:0"},
        {"tm.activeTheme", "number:0"},
        {"probe.className(night = tm.createTheme('night'))", "string:Theme"},
        {"tm.createTheme('night')", "null"},
        {"tm.createTheme('')", "null"},
        {"tm.createTheme()", kBadParamCount},
        {"(day = tm.createTheme('day'), tm.themeCount)", "number:2"},
        {"tm.getThemeAt(1) === day", "boolean:true"},
        {"tm.getThemeAt(2)", "null"},
        {"tm.getThemeAt(-1)", "null"},
        {"tm.getThemeById('night') === night", "boolean:true"},
        {"night.id", "string:night"},
        {"night.nextLibrary", "undefined"},
        {"(night.addLibrary('a.box'), night.addLibrary('b.box'), night.addLibrary('a.box'), night.libraryCount)",
         "number:2"},
        {"[night.nextLibrary, night.nextLibrary, night.nextLibrary].join('|').replace(/[^|]*[\\\\/]/g, '')",
         "string:a.box|b.box|"},
        {"(night.removeLibrary('a.box'), night.libraryCount)", "number:1"},
        {"(night.setAttribute('tone', 'deep'), night.getAttribute('tone'))", "string:deep"},
        {"night.getAttribute('none')", "string:"},
        {"(night.persists = true, night.persists)", "boolean:true"},
        {"(tm.activeTheme = 'night', tm.activeTheme)", "string:night"},
        {"night.active", "boolean:true"},
        {"(tm.activeTheme = 'day', night.active + ' ' + day.active)", "string:false true"},
        {"(tm.deleteTheme('day'), tm.themeCount)", "number:2"},
        {"(tm.activeTheme = null, tm.activeTheme)", "number:0"},
        {"(tm.deleteTheme('day'), tm.themeCount)", "number:1"},
        {"(day.active = true, day.active)", kFail},
        {"(night.active = true, tm.activeTheme)", "string:night"},
        {"(night.active = false, tm.activeTheme)", "number:0"},
    };
    ASSERT_TRUE(Run(scene, "var tm, night, day;"));
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.first), c.second) << c.first;
}

TEST_F(ShellMembersTest, AThemeMadeByScriptRepaintsTheScene) {
    oxScene* themed = Open("theme_screen.box", "themed");
    ASSERT_NE(themed, nullptr);
    const std::string night = "'box://" + package + "/night_theme.box'";
    // The scene painted as its window paints it, read inside the swatch, which its picture covers.
    auto swatch = [themed] {
        platform::headless::RunUntilIdle();
        TestSurface surface(160, 160, 32);
        oxCanvas canvas;
        canvas.AttachTarget(surface.buffer);
        themed->GetRootBox()->Paint(&canvas);
        return surface.buffer.GetRow32(20)[20] & 0xFFFFFFu;
    };
    EXPECT_EQ(swatch(), 0x00FF00u) << "the scene's own picture";
    ASSERT_TRUE(Run(themed, "var tm = shell.themeManager, t = tm.createTheme('night'); t.addLibrary(" + night +
                                "); tm.activeTheme = 'night';"));
    EXPECT_EQ(swatch(), 0x0000FFu) << "the active theme's picture of the same id";
    ASSERT_TRUE(Run(themed, "tm.activeTheme = null; tm.deleteTheme('night');"));
    EXPECT_EQ(swatch(), 0x00FF00u) << "no theme: the scene's own again";
    EXPECT_EQ(Call(themed, "tm.themeCount"), "number:0");
}

} // namespace
} // namespace script_api_test
