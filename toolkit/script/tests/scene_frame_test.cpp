// A scene opened through the runtime shows in a top-level frame: its styled boxes are laid out in
// the window's work area and painted there, and a tap on a box reaches the scene's handlers.
#include "toolkit/widgets/scene_frame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/path_map.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "toolkit/core/box.h"
#include "toolkit/core/event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"

namespace {

class Taps : public oxSceneEventListener {
public:
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    int32_t HandleEvent(oxEvent* event) override {
        auto* box = dynamic_cast<oxBox*>(event->GetTarget());
        if (box) targets.push_back(box);
        return 1;
    }
    ULONG refs = 0;
    std::vector<oxBox*> targets;
};

class SceneFrameTest : public WindowedAppTest {
protected:
    void SetUp() override {
        WindowedAppTest::SetUp();
        name = Own("scene_frame_test.box");
    }
    std::string name;
};

uint32_t ScreenAt(int x, int y) {
    std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{x, y, x + 1, y + 1});
    return px.empty() ? 0 : px[0] & 0xFFFFFF;
}

TEST_F(SceneFrameTest, PaintsTheLaidOutBoxesInTheWorkAreaAndTakesTaps) {
    std::ofstream(resources / name) << R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffff0000"/>
    <r:style target="top" fill="#ff00ff00" height="40"/>
    <r:style target="rest" fill="#ff0000ff" flex="1"/>
  </r:library>
  <box id="top"/>
  <box id="rest"/>
</vbox>)";
    oxRuntime* runtime = app->GetShell()->GetRuntime();
    oxScene* scene = runtime->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_NE(scene, nullptr);
    oxSceneFrame* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->GetFrame()->GetWindow());
    platform::headless::RunUntilIdle();

    const RECT work = platform::shell::GetWorkArea();
    const oxRect client = window->GetClientRect();
    EXPECT_EQ(scene->GetRootBox()->GetBoxRect().width, client.width);
    EXPECT_EQ(scene->GetRootBox()->GetBoxRect().height, client.height);
    // The top box is 40 high across the window; the rest fills what is left.
    oxBox* top = scene->GetBoxById(oxAtoms::Find(u"top"), false);
    oxBox* rest = scene->GetBoxById(oxAtoms::Find(u"rest"), false);
    ASSERT_TRUE(top && rest);
    const oxRect t = top->GetBoxRect(), r = rest->GetBoxRect();
    ASSERT_EQ(t.height, 40);
    EXPECT_EQ(t.width, client.width);
    EXPECT_EQ(r.y, t.Bottom());
    EXPECT_EQ(r.Bottom(), client.height);
    EXPECT_EQ(ScreenAt(work.left + 10, work.top + t.y), 0x00FF00u);
    EXPECT_EQ(ScreenAt(work.left + 10, work.top + t.Bottom() - 1), 0x00FF00u);
    EXPECT_EQ(ScreenAt(work.left + 10, work.top + r.y), 0x0000FFu);
    EXPECT_EQ(ScreenAt(work.left + client.width - 1, work.top + r.Bottom() - 1), 0x0000FFu);
    if (const char* png = std::getenv("TANDU_DUMP_SCREEN")) platform::headless::DumpScreenPng(png);

    Taps taps;
    scene->AddEventListener(kAtomMouseDown, &taps);
    platform::headless::Tap(work.left + 20, work.top + t.y + 1);
    platform::headless::RunUntilIdle();
    platform::headless::Tap(work.left + 20, work.top + r.y + 50);
    platform::headless::RunUntilIdle();
    ASSERT_EQ(taps.targets.size(), 2u);
    EXPECT_EQ(taps.targets[0], top);
    EXPECT_EQ(taps.targets[1], rest);
    scene->RemoveEventListener(kAtomMouseDown, &taps);
    EXPECT_EQ(taps.refs, 0u);
}

} // namespace
