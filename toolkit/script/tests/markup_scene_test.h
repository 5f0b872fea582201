#pragma once
// A windowed application test that writes small scenes of markup (with a script when given) under
// names of the running test and process, opens each in its window on a still clock, and finds boxes and the
// screen points over them.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/scene_frame.h"

class MarkupSceneTest : public WindowedAppTest {
protected:
    void SetUp() override {
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        platform::headless::UseVirtualClock(1000);
    }
    // The scene is `head`, the body and the closing "</vbox>"; a script goes in a file beside it.
    oxScene* OpenScene(const std::string& head, const std::string& body, const std::string& script = "") {
        const std::string stem = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                                 std::to_string(opened++);
        const std::string name = Own(stem + ".box");
        std::string tail = "</vbox>";
        if (!script.empty()) {
            const std::string js = Own(stem + ".js");
            std::ofstream(resources / js) << script;
            tail = "<script language=\"javascript\" src=\"" + js + "\"/>" + tail;
        }
        std::ofstream(resources / name) << head << body << tail;
        oxScene* scene =
            app->GetShell()->GetRuntime()->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        return scene;
    }
    static oxBox* Box(oxScene* scene, const std::string& id) {
        const std::u16string wide(id.begin(), id.end());
        return scene->GetBoxById(oxAtoms::Find(wide.c_str()), false);
    }
    // The screen point (dx, dy) into the box.
    static POINT On(oxScene* scene, oxBox* box, int dx, int dy) {
        auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
        POINT p{dx, dy};
        for (oxBox* b = box; b && b != scene->GetRootBox(); b = b->GetParent())
            p.x += b->GetBoxRect().x, p.y += b->GetBoxRect().y;
        if (window && window->GetFrame()) ClientToScreen(window->GetFrame()->GetWindow(), &p);
        return p;
    }
    static uint32_t ColourAt(POINT p) {
        std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{p.x, p.y, p.x + 1, p.y + 1});
        return px.empty() ? 0 : px[0] & 0xFFFFFF;
    }

    int opened = 0;
};
