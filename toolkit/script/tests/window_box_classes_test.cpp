// WindowBox and PopupBox called from a scene's scripts: each member on a window box and a popup of
// the scene, and what they do once the box is gone.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";
constexpr const char* kFail = "error:80004005";

class WindowBoxClassesTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) +
                                   ".scene, root = scene.rootBox;"
                                   "var w = scene.createBox('window'), p = scene.createBox('popup'),"
                                   " p1 = scene.createBox('box'), p2 = scene.createBox('box');"
                                   "p.addChild(p1); p.addChild(p2); root.addChild(p);"));
    }
    void Check(const std::pair<std::string, std::string>* cases, size_t count) {
        for (size_t k = 0; k < count; k++)
            EXPECT_EQ(Call(scene, cases[k].first), cases[k].second) << cases[k].first;
    }
    oxScene* scene = nullptr;
};

TEST_F(WindowBoxClassesTest, WindowMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(w)", "string:WindowBox"},
        {"(w.title = 'Inbox', w.title + ' ' + w.getAttribute('title'))", "string:Inbox Inbox"},
        {"(w.dock = 'bottom', w.dock)", "string:bottom"},
        {"(w.dock = 'middle', w.dock)", "string:none"},
        {"(w.dockAffinity = 'monitor', w.dockAffinity)", "string:monitor"},
        {"(w.dockAffinity = 'elsewhere', w.dockAffinity)", "string:desktop"},
        {"(w.alwaysOnTop = true, w.alwaysOnTop)", "boolean:true"},
        {"(w.floating = true, w.floating)", "boolean:true"},
        {"(w.chromeless = true, w.chromeless)", "boolean:true"},
        {"(w.translucent = true, w.translucent)", "boolean:true"},
        {"(w.active = true, w.active)", "boolean:false"}, // no window of its own yet: nothing to activate
        {"w.notifyAutoHide('top') || w.setAutoHideBar('left') || w.setAutoHideBar('nowhere')", "boolean:false"},
        {"w.notifyAutoHide()", kBadParamCount},
        {"(w.minimize(), w.maximize(), w.restore(), w.bringToFront(true))", "undefined"},
        {"w.refreshMenu()", "boolean:false"},
        {"w.windowHandle", "undefined"},
        {"w.windowPlacement", "undefined"},
        {"w.windowPlacement = 'x'", kFail},
        {"w.menu", "null"},
        {"scene.destroyBox(w)", "boolean:true"},
        {"w.title", kFail},
        {"w.dock = 'top'", kFail},
        {"w.fitOnScreen()", "boolean:false"},
        {"w.bringToFront()", "undefined"},
    };
    Check(cases, std::size(cases));
}

TEST_F(WindowBoxClassesTest, PopupMembers) {
    const std::pair<std::string, std::string> cases[] = {
        {"probe.className(p)", "string:PopupBox"},
        {"p.opened", "boolean:false"},
        {"p.currentPopupChild", "null"},
        {"(p.currentPopupChild = p1, p.currentPopupChild === p1)", "boolean:true"},
        {"p1.getAttribute('current')", "string:true"},
        {"(p.currentPopupChild = p2, p1.getAttribute('current') + ' ' + p2.getAttribute('current'))",
         "string:false true"},
        {"(p.currentPopupChild = 5, p.currentPopupChild)", "null"},
        {"scene.destroyBox(p)", "boolean:true"},
        {"p.opened", kFail},
        {"p.currentPopupChild", kFail},
    };
    Check(cases, std::size(cases));
}

} // namespace
} // namespace script_api_test
