// The Snapshot and Transition script classes, called from a scene's scripts: their members, the
// arguments they refuse, and a transition performed into the scene's window.
#include <gtest/gtest.h>

#include "platform/backend/headless.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/tests/script_api_fixture.h"

namespace script_api_test {
namespace {

constexpr const char* kBadParamCount = "error:8002000e";

class TransitionClassesTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        scene = Open("scene_api.box", "api");
        ASSERT_NE(scene, nullptr);
        ASSERT_TRUE(Run(scene, "var scene = " + Utf8(scene->GetContextName().GetString()) +
                                   ".scene, root = scene.rootBox, s = root.newSnapshot(), t = root.newSnapshot();"));
    }
    oxScene* scene = nullptr;
};

TEST_F(TransitionClassesTest, SnapshotMembers) {
    const std::pair<const char*, const char*> cases[] = {
        {"probe.className(s)", "string:Snapshot"},
        {"s === root.newSnapshot()", "boolean:false"}, // each creation a new object
        {"s.fill('red', 0, 0, 4, 4)", "undefined"},
        {"s.fill('red', 1, 2, 3)", "undefined"}, // no height: the whole picture
        {"s.fill('', 1, 2, 3, 4)", kBadParamCount},
        {"s.fill()", kBadParamCount},
        {"s.transparent", "boolean:false"},
        {"(s.transparent = 1, s.transparent)", "boolean:true"},
        {"s.addBoxRectItem(root, scene.getBoxById('a'))", "boolean:true"},
        {"s.addBoxRectItem(root, s)", "boolean:false"},
        {"s.addBoxRectItem(root)", kBadParamCount},
        {"s.addBoxRectItemsByTag(root, 'box')", "boolean:true"},
        {"s.scatterBoxRectItems(root)", "boolean:true"},
        {"s.copyRectItems(t)", "boolean:true"},
        {"s.copyRectItems(root)", "boolean:false"},
        {"s.clearRectItems()", "boolean:true"},
        {"s.lineMoveTo(1, 2)", "undefined"},
        {"s.lineDrawTo(1, 2, 'red')", "undefined"},
        {"s.blit(t)", kBadParamCount},
        {"s.blit(t, 5)", "boolean:true"}, // not a rectangle: the whole picture
        {"s.blit(t, shell.create('rect'))", "boolean:true"},
        {"s.blit(root, 5)", "boolean:false"},
        {"probe.className(s.thumbnail(16, 0))", "string:Snapshot"},
        {"s.thumbnail(0, 0)", "null"},
        {"s.addImageMorphItem(t, 0, 0, -1, -1)", "boolean:true"},
        {"s.addImageMorphItem(root, 0, 0, -1, -1)", "boolean:false"},
        {"s.copyFromBitmap(root)", "error:80004005"},
        {"s.clear()", "boolean:true"},
        {"s.destroy()", "boolean:true"},
        {"s.thumbnail(16, 16)", "null"}, // no picture after destroy
        {"probe.className(root.takeSnapshot())", "string:Snapshot"},
        {"root.attachTargetSnapshot(t) + ' ' + root.attachSourceSnapshot(root)", "string:true false"},
        {"root.renderTargetSnapshot(), root.detachTargetSnapshot(), root.detachSourceSnapshot()", "undefined"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.first), c.second) << c.first;
}

TEST_F(TransitionClassesTest, TransitionMembers) {
    ASSERT_TRUE(Run(scene, "var tr = root.newTransition();"));
    const std::pair<const char*, const char*> cases[] = {
        {"probe.className(tr)", "string:Transition"},
        {"scene.getBoxById('hiddenAnchor').newTransition()", "null"},
        {"tr.setDuration(-1)", "boolean:false"},
        {"tr.setDuration(0)", "boolean:true"},
        {"tr.setType('')", "boolean:false"},
        {"tr.setType('pushLeft')", "boolean:true"},
        {"tr.setType('pushLeft')", "boolean:true"},      // the same name keeps its effect
        {"tr.setType('noSuchEffect')", "boolean:false"}, // builds no effect
        {"tr.setType('noSuchEffect')", "boolean:false"},
        {"tr.setType('PushLeft')", "boolean:false"}, // names compare exactly
        {"tr.setDynamicsType('')", "boolean:false"},
        {"tr.setDynamicsType('smooth')", "boolean:true"},
        {"tr.setFillColor('')", "boolean:false"},
        {"tr.setFillColor('#ff0000')", "boolean:true"},
        {"tr.setBackground(s)", "boolean:true"},
        {"tr.setBackground(root)", "boolean:false"},
        {"tr.setDuration()", kBadParamCount},
        {"(tr.duration = 5, tr.type = 'zoomIn', tr.dynamicsType = 'ease', tr.fillColor = 'blue', 'set')", "string:set"},
        {"tr.type", "error:81000002"}, // write-only
        {"tr.perform(s)", kBadParamCount},
        {"tr.perform(s, root)", "boolean:false"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Call(scene, c.first), c.second) << c.first;
}

TEST_F(TransitionClassesTest, APerformedTransitionLeavesTheTargetOnTheScreen) {
    // A red snapshot to a blue one of the root's size, pushed in over 200 ms of the virtual clock.
    platform::headless::UseVirtualClock(1000);
    ASSERT_TRUE(Run(scene, "var tr = root.newTransition(); tr.type = 'pushLeft'; tr.duration = 200;"
                           "var from = root.takeSnapshot(), to = root.takeSnapshot();"
                           "from.fill('#ff0000'); to.fill('#0000ff');"));
    EXPECT_EQ(Call(scene, "tr.perform(from, to)"), "boolean:true");
    // The middle of the scene's window, below the shell's bar.
    EXPECT_EQ(platform::headless::ReadScreen(RECT{240, 400, 241, 401})[0], 0x0000FFu);
}

} // namespace
} // namespace script_api_test
