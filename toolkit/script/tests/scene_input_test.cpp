// Taps, drags and the Back key reach a scene opened through the runtime in its own window: its
// script handlers see hover, press, release and click, a drag reports its distance from the press,
// pressed and hovered boxes take their states, and Back closes a dialog or reaches a scene that
// takes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/path_map.h"
#include "platform/shell/task_bar.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kHead = R"(<vbox xmlns="http://www.kestrum.com/weftly/box.xsd"
      xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root">
)";

// Every handler appends "type" to the box's "log".
constexpr const char* kLogScript = R"(
var scene = __scriptHelper.getSceneProxy();
function note(e) {
  var box = e.currentBox, log = box.getAttribute("log");
  box.setAttribute("log", (log ? log + "," : "") + e.type);
}
)";

class SceneInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::shell::ResetShell();
        platform::input::Reset();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, 32, false, 96}));
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        resources = fs::path(platform::ProgramHostPath()).parent_path() / "resources";
        const fs::path dialog = resources / "KestrumToolkit" / "content" / "dialog";
        fs::create_directories(dialog);
        const fs::path source =
            fs::path(TEST_DATA_DIR) / ".." / ".." / ".." / ".." / "resources" / "KestrumToolkit" / "content" / "dialog";
        for (const char* name : {"dialog.box", "dialog.js"})
            fs::copy_file(source / name, dialog / name, fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        app->Shutdown();
        app->Release();
        for (const std::string& name : written)
            fs::remove(resources / name);
        platform::shell::ResetShell();
        platform::input::Reset();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }

    oxRuntime* runtime() const { return app->GetShell()->GetRuntime(); }
    // Writes the scene's markup (the body under the root) and its script, and opens it in its window.
    oxScene* Open(const std::string& name, const std::string& body, const std::string& script) {
        const std::string js = name + ".js";
        std::ofstream(resources / js) << kLogScript << script;
        std::ofstream(resources / name) << kHead << body << "<script language=\"javascript\" src=\"" << js
                                        << "\"/></vbox>";
        written.push_back(name);
        written.push_back(js);
        const std::u16string uri(name.begin(), name.end());
        oxScene* scene = runtime()->OpenSceneSimple(uri.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        return scene;
    }
    static oxBox* Box(oxScene* scene, const char16_t* id) { return scene->GetBoxById(oxAtoms::Find(id), false); }
    static std::string Attribute(oxBox* box, const char16_t* name) {
        const WCHAR* text = box ? box->GetAttribute(oxAtoms::Find(name)) : nullptr;
        return text ? std::string(text, text + std::char_traits<char16_t>::length(text)) : "<none>";
    }
    // A point of the box on the screen, (dx, dy) into it.
    static POINT On(oxScene* scene, oxBox* box, int dx = 4, int dy = 4) {
        auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
        POINT p{dx, dy};
        for (oxBox* b = box; b && b != scene->GetRootBox(); b = b->GetParent())
            p.x += b->GetBoxRect().x - (b->GetParent() ? b->GetParent()->GetScrollX() : 0),
                p.y += b->GetBoxRect().y - (b->GetParent() ? b->GetParent()->GetScrollY() : 0);
        if (window && window->GetFrame()) ClientToScreen(window->GetFrame()->GetWindow(), &p);
        return p;
    }
    static uint32_t ScreenAt(POINT p) {
        std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{p.x, p.y, p.x + 1, p.y + 1});
        return px.empty() ? 0 : px[0] & 0xFFFFFF;
    }

    oxApplication* app = nullptr;
    fs::path resources;
    std::vector<std::string> written;
};

TEST_F(SceneInputTest, ATapGivesPressReleaseAndClickAndSetsTheStates) {
    oxScene* scene = Open("scene_input_tap.box", std::string(R"(
  <r:library>
    <r:style target="b" fill="#ff00ff00" height="60">
      <r:hovered fill="#ff0000ff"/>
      <r:pressed fill="#ffff0000"/>
    </r:style>
    <r:style target="c" fill="#ff808080" flex="1"/>
  </r:library>
  <box id="b"/>
  <box id="c"/>)"),
                          R"(
var b = scene.getBoxById("b");
var types = ["mouseDown", "mouseUp", "click", "mouseOver", "mouseOut"];
for (var i = 0; i < types.length; ++i) b.addEventHandler(types[i], "note");
)");
    ASSERT_NE(scene, nullptr);
    oxBox* b = Box(scene, u"b");
    oxBox* c = Box(scene, u"c");
    ASSERT_TRUE(b && c);
    const POINT onB = On(scene, b), onC = On(scene, c);
    EXPECT_EQ(ScreenAt(onB), 0x00FF00u);
    // FIXME: the pressed and hovered fills show once a box restyled for a state repaints and its
    // state record restyles it back; until then the states themselves are checked.
    platform::headless::MoveTo(onB.x, onB.y);
    platform::headless::Press(onB.x, onB.y);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(b->GetStateFlags() & kStatePressed);
    EXPECT_TRUE(b->GetStateFlags() & kStateHovered);
    platform::headless::Release(onB.x, onB.y);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(b->GetStateFlags() & kStatePressed);
    EXPECT_TRUE(b->GetStateFlags() & kStateHovered) << "released under the pointer, the box stays hovered";
    platform::headless::MoveTo(onC.x, onC.y);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(b->GetStateFlags() & kStateHovered);
    EXPECT_EQ(Attribute(b, u"log"), "mouseOver,mouseDown,mouseUp,click,mouseOut");

    // A press that is released on another box gives no click.
    b->SetAttribute(oxAtoms::Find(u"log"), u"", true, false);
    platform::headless::Press(onB.x, onB.y);
    platform::headless::RunUntilIdle();
    platform::headless::Release(onC.x, onC.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Attribute(b, u"log").find("click"), std::string::npos) << Attribute(b, u"log");
    EXPECT_FALSE(b->GetStateFlags() & kStatePressed);
}

TEST_F(SceneInputTest, ADragScrollsAListByTheDistanceFromThePress) {
    std::string rows;
    for (int i = 0; i < 10; ++i)
        rows += "<box class=\"row\" style=\"row\"/>";
    oxScene* scene = Open("scene_input_drag.box", R"(
  <r:library>
    <r:style target="list" height="120" maxHeight="120" overflow="scroll"/>
    <r:style name="row" height="40" fill="#ff336699"/>
  </r:library>
  <vbox id="list">)" + rows + "</vbox>",
                          R"(
var list = scene.getBoxById("list"), y0 = 0, top0 = 0, drags = [];
function onDown(e) { y0 = e.screenY; top0 = list.scrollOffsetY; }
function onDrag(e) {
  drags.push(y0 - e.screenY);
  list.scrollOffsetY = top0 + (y0 - e.screenY);
  list.setAttribute("drags", drags.join(","));
}
list.addEventHandler("mouseDown", "onDown");
list.addEventHandler("mouseDrag", "onDrag");
)");
    ASSERT_NE(scene, nullptr);
    oxBox* list = Box(scene, u"list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetBoxRect().height, 120);
    const POINT from = On(scene, list, 20, 100);
    platform::headless::Drag(from, POINT{from.x, from.y - 80}, 4);
    platform::headless::RunUntilIdle();
    // Rows bubble the events up to the list; each drag reports its distance from the press.
    EXPECT_EQ(Attribute(list, u"drags"), "20,40,60,80");
    // FIXME: the list follows the drag once a script's scrollOffsetY write scrolls a box.
}

TEST_F(SceneInputTest, BackClosesADialogAndTheSceneBelowTakesInputAgain) {
    oxScene* scene = Open("scene_input_dialog.box", std::string(R"(
  <r:library>
    <r:style target="ask" height="60" fill="#ff00ff00"/>
  </r:library>
  <box id="ask"/>)"),
                          R"(
var ask = scene.getBoxById("ask");
function onAsk(e) { note(e); scene.openDialog({dialogType: "alert", bodyText: "Hello"}); }
ask.addEventHandler("click", "onAsk");
)");
    ASSERT_NE(scene, nullptr);
    oxBox* ask = Box(scene, u"ask");
    const POINT onAsk = On(scene, ask);
    platform::headless::Tap(onAsk.x, onAsk.y);
    platform::headless::RunUntilIdle();
    oxScene* dialog = runtime()->FindSceneByName(kBuiltInDialogName);
    ASSERT_NE(dialog, nullptr) << "the click opened the dialog";
    ASSERT_FALSE(scene->GetWindow()->IsEnabled()) << "the dialog holds the input";

    platform::headless::Back();
    platform::headless::RunUntilIdle();
    EXPECT_EQ(runtime()->FindSceneByName(kBuiltInDialogName), nullptr) << "Back closed the dialog";
    EXPECT_TRUE(scene->GetWindow()->IsEnabled());

    // Away from the first tap, so that the platform does not make a double click of it.
    const POINT elsewhere = On(scene, ask, 40, 30);
    platform::headless::Tap(elsewhere.x, elsewhere.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Attribute(ask, u"log"), "click,click") << "the scene below takes taps again";
    if (oxScene* again = runtime()->FindSceneByName(kBuiltInDialogName)) again->Close(true);
}

// A scene over another takes Back as Escape and closes itself from its handler; a handler that
// closes its scene on "click" leaves nothing behind that the rest of the tap could reach.
TEST_F(SceneInputTest, AScenesHandlersCloseItOnBackOrOnItsOwnClick) {
    struct Case {
        const char* handler;
        bool byBack;
    };
    const Case cases[] = {
        {R"(root.addEventHandler("keyPress", "onKey");)", true},
        {R"(scene.getBoxById("top").addEventHandler("click", "onClick");)", false},
    };
    for (const Case& c : cases) {
        oxScene* below = Open("scene_input_below.box",
                              R"(<r:library><r:style target="below" height="60"/></r:library><box id="below"/>)",
                              R"(scene.getBoxById("below").addEventHandler("click", "note");)");
        ASSERT_NE(below, nullptr);
        oxScene* top = Open("scene_input_top.box", std::string(R"(
  <r:library><r:style target="top" height="60" fill="#ff0000ff"/></r:library>
  <box id="top"/>)"),
                            std::string(R"(
var root = scene.getBoxById("root");
function onKey(e) { if (e.virtualKeyCode == 27) scene.close(); }
function onClick(e) { scene.close(); }
)") + c.handler);
        ASSERT_NE(top, nullptr);
        ASSERT_EQ(runtime()->GetSceneCount(), 2);
        if (c.byBack) {
            platform::headless::Back();
        } else {
            const POINT onTop = On(top, Box(top, u"top"));
            platform::headless::Tap(onTop.x, onTop.y);
        }
        platform::headless::RunUntilIdle();
        ASSERT_EQ(runtime()->GetSceneCount(), 1) << c.handler;
        EXPECT_EQ(runtime()->GetSceneAt(0), below);
        oxBox* box = Box(below, u"below");
        const POINT onBelow = On(below, box);
        platform::headless::Tap(onBelow.x, onBelow.y);
        platform::headless::RunUntilIdle();
        EXPECT_EQ(Attribute(box, u"log"), "click") << "the scene below takes taps again";
        runtime()->CloseAllScenes();
        platform::headless::RunUntilIdle();
    }
}

} // namespace
