// Taps, drags and the Back key reach a scene opened through the runtime in its own window: its
// script handlers see hover, press, release and click, a drag reports its distance from the press
// and scrolls a list, pressed and hovered boxes show their state styles, and Back closes a dialog or
// reaches a scene that takes it. What scripts change reaches the screen in one update per turn.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/path_map.h"
#include "platform/shell/task_bar.h"
#include "platform/win/cursor.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "runtime/script_constructors.h"
#include "runtime/script_dictionary.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"
#include "toolkit/script/tests/while_blocked.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/scene_frame.h"
#include "toolkit/widgets/scene_input_adapter.h"

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

class SceneInputTest : public WindowedAppTest {
protected:
    void SetUp() override {
        WindowedAppTest::SetUp();
        if (HasFatalFailure()) return;
        // The program's own dictionary constructor, as its main function registers it.
        NUBO::XObject* dictionary = nullptr;
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(NUBO::CreateXDictionary, &dictionary), 0);
        app->GetShell()->AddNamedObject(NUBO::TWString(u"xDictionary"), dictionary);
        dictionary->Release();
        const fs::path dialog = resources / "KestrumToolkit" / "content" / "dialog";
        fs::create_directories(dialog);
        const fs::path source =
            fs::path(TEST_DATA_DIR) / ".." / ".." / ".." / ".." / "resources" / "KestrumToolkit" / "content" / "dialog";
        script_api_test::CopyTree(source, dialog);
    }

    oxRuntime* runtime() const { return app->GetShell()->GetRuntime(); }
    // Writes the scene's markup (the body under the root) and its script, and opens it in its window.
    oxScene* Open(const std::string& stem, const std::string& body, const std::string& script) {
        const std::string name = Own(stem), js = Own(stem + ".js");
        std::ofstream(resources / js) << kLogScript << script;
        std::ofstream(resources / name) << kHead << body << "<script language=\"javascript\" src=\"" << js
                                        << "\"/></vbox>";
        oxScene* scene = runtime()->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr, false);
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
    // A list 120 units tall that scrolls, of `count` rows of a height, filled in turn by the colours.
    static std::string List(int count, int height, const std::vector<std::string>& fills) {
        std::string styles, rows;
        for (size_t i = 0; i < fills.size(); ++i)
            styles += "<r:style name=\"row" + std::to_string(i) + "\" height=\"" + std::to_string(height) +
                      "\" fill=\"#" + fills[i] + "\"/>";
        for (int i = 0; i < count; ++i)
            rows += "<box style=\"row" + std::to_string(i % fills.size()) + "\"/>";
        return "<r:library><r:style target=\"list\" height=\"120\" maxHeight=\"120\" overflow=\"scroll\"/>" + styles +
               "</r:library><vbox id=\"list\">" + rows + "</vbox>";
    }
    static uint32_t ScreenAt(POINT p) {
        std::vector<uint32_t> px = platform::headless::ReadScreen(RECT{p.x, p.y, p.x + 1, p.y + 1});
        return px.empty() ? 0 : px[0] & 0xFFFFFF;
    }
};

TEST_F(SceneInputTest, EachBoxIsPresentedOnceAfterItsFirstPaint) {
    oxScene* scene = Open("scene_input_presented.box", std::string(R"(
  <r:library>
    <r:style target="b" fill="#ff00ff00" height="60"/>
    <r:style target="c" fill="#ff808080" height="20"/>
  </r:library>
  <box id="b"/>
  <box id="c" collapsed="true"/>)"),
                          R"(
// Sent to the box itself, so the target is the box that was presented.
function presented(e) {
  var log = e.targetBox.getAttribute("log");
  e.targetBox.setAttribute("log", (log ? log + "," : "") + e.type);
}
scene.rootBox.addEventHandler("presented", "presented");
scene.getBoxById("b").addEventHandler("presented", "presented");
scene.getBoxById("c").addEventHandler("presented", "presented");
)");
    ASSERT_NE(scene, nullptr);
    oxBox* b = Box(scene, u"b");
    oxBox* c = Box(scene, u"c");
    ASSERT_TRUE(b && c);
    EXPECT_EQ(Attribute(scene->GetRootBox(), u"log"), "presented");
    EXPECT_EQ(Attribute(b, u"log"), "presented");
    EXPECT_EQ(Attribute(c, u"log"), "<none>") << "a collapsed box is not painted";
    b->SetStyle(u"fill", u"#ff0000ff");
    c->SetCollapsed(false, false);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ScreenAt(On(scene, b)), 0x0000FFu) << "painted again";
    EXPECT_EQ(Attribute(b, u"log"), "presented") << "only the first paint presents";
    EXPECT_EQ(Attribute(c, u"log"), "presented");
}

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
    // Each state shows in its fill, and leaving it restores the fill below.
    platform::headless::MoveTo(onB.x, onB.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(ScreenAt(onB), 0x0000FFu) << "hovered";
    platform::headless::Press(onB.x, onB.y);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(b->GetStateFlags() & kStatePressed);
    EXPECT_EQ(ScreenAt(onB), 0xFF0000u) << "pressed wins over hovered, defined after it";
    platform::headless::Release(onB.x, onB.y);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(b->GetStateFlags() & kStatePressed);
    EXPECT_TRUE(b->GetStateFlags() & kStateHovered) << "released under the pointer, the box stays hovered";
    EXPECT_EQ(ScreenAt(onB), 0x0000FFu) << "released, hovered again";
    platform::headless::MoveTo(onC.x, onC.y);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(b->GetStateFlags() & kStateHovered);
    EXPECT_EQ(ScreenAt(onB), 0x00FF00u) << "left, the normal fill";
    EXPECT_EQ(ScreenAt(onC), 0x808080u);
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
    oxScene* scene = Open("scene_input_drag.box", List(10, 40, {"ff336699", "ff669933", "ffcc3300"}),
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
    const POINT top = On(scene, list, 20, 4);
    EXPECT_EQ(ScreenAt(top), 0x336699u) << "the first row";
    platform::headless::Drag(from, POINT{from.x, from.y - 80}, 4);
    platform::headless::RunUntilIdle();
    // Rows bubble the events up to the list; each drag reports its distance from the press.
    EXPECT_EQ(Attribute(list, u"drags"), "20,40,60,80");
    EXPECT_EQ(list->GetScrollY(), 80);
    EXPECT_EQ(ScreenAt(top), 0xCC3300u) << "the third row is now at the top";
}

// A scene of one box that a tap asks the built-in dialog from.
constexpr const char* kAskBody = R"(
  <r:library>
    <r:style target="ask" height="60" fill="#ff00ff00"/>
  </r:library>
  <box id="ask"/>)";

TEST_F(SceneInputTest, BackClosesADialogAndTheSceneBelowTakesInputAgain) {
    oxScene* scene = Open("scene_input_dialog.box", kAskBody,
                          R"(
var ask = scene.getBoxById("ask");
function onAsk(e) { note(e); scene.openDialog({dialogType: "alert", bodyText: "Hello"}); }
ask.addEventHandler("click", "onAsk");
)");
    ASSERT_NE(scene, nullptr);
    oxBox* ask = Box(scene, u"ask");
    const POINT onAsk = On(scene, ask);
    platform::headless::UseVirtualClock(0);
    bool asked = false;
    // The dialog's modal loop runs this; the click's handler returns when Back has closed the dialog.
    while_blocked::RunLater([&] {
        asked = runtime()->FindSceneByName(kBuiltInDialogName) != nullptr;
        EXPECT_FALSE(scene->GetWindow()->IsEnabled()) << "the dialog holds the input";
        platform::headless::Back();
    });
    platform::headless::Tap(onAsk.x, onAsk.y);
    platform::headless::RunUntilIdle();
    EXPECT_TRUE(asked) << "the click opened the dialog";
    EXPECT_EQ(runtime()->FindSceneByName(kBuiltInDialogName), nullptr) << "Back closed the dialog";
    EXPECT_TRUE(scene->GetWindow()->IsEnabled());

    // Away from the first tap, so that the platform does not make a double click of it.
    const POINT elsewhere = On(scene, ask, 40, 30);
    while_blocked::RunLater([] { platform::headless::Back(); });
    platform::headless::Tap(elsewhere.x, elsewhere.y);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Attribute(ask, u"log"), "click,click") << "the scene below takes taps again";
}

// The opener's openDialog call returns when the built-in dialog has closed, with the answer in the
// results object of its params, whether a dictionary or a plain script object.
TEST_F(SceneInputTest, TheDialogsAnswerReachesTheResultsOfTheSceneThatOpenedIt) {
    oxScene* scene = Open("scene_input_answer.box", kAskBody,
                          R"(
var ask = scene.getBoxById("ask"), made = "dictionary";
function useDictionary() { made = "dictionary"; }
function useObject() { made = "object"; }
function onAsk(e) {
  var results = made == "dictionary" ? new xDictionary() : {};
  scene.openDialog({dialogType: "confirm", titleText: "Sure?", confirmButton: "Yes", results: results});
  ask.setAttribute("answer", String(results.button));
}
ask.addEventHandler("click", "onAsk");
)");
    ASSERT_NE(scene, nullptr);
    oxBox* ask = Box(scene, u"ask");
    struct Case {
        const char16_t* made; // the handler that chooses how the opener makes its results object
        bool byBack;
        const char* answer;
    };
    const Case cases[] = {
        {u"useDictionary", false, "confirm"},
        {u"useDictionary", true, "cancel"},
        {u"useObject", false, "confirm"},
    };
    platform::headless::UseVirtualClock(0);
    int x = 4;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.made, c.made + std::char_traits<char16_t>::length(c.made)) +
                     (c.byBack ? " by Back" : " by the button"));
        ask->SetAttribute(oxAtoms::Find(u"answer"), u"", true, false);
        scene->RunHandler(oxQualifiedName(c.made), nullptr, 0);
        // Inside the dialog's modal loop: the opener's handler has not gone on yet.
        while_blocked::RunLater([&] {
            oxScene* dialog = runtime()->FindSceneByName(kBuiltInDialogName);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(Attribute(ask, u"answer"), "<none>") << "the call waits for the answer";
            if (c.byBack) {
                platform::headless::Back();
            } else {
                const POINT yes = On(dialog, Box(dialog, u"confirmButton"), 20, 20);
                platform::headless::Tap(yes.x, yes.y);
            }
        });
        // Taps apart, so that the platform does not make a double click of them.
        const POINT onAsk = On(scene, ask, x += 30);
        platform::headless::Tap(onAsk.x, onAsk.y);
        platform::headless::RunUntilIdle();
        EXPECT_EQ(runtime()->FindSceneByName(kBuiltInDialogName), nullptr);
        EXPECT_EQ(Attribute(ask, u"answer"), c.answer);
    }
}

// A scene over another takes Back as Escape and closes itself from its handler; a handler that
// closes its scene on "click" leaves nothing behind that the rest of the tap could reach. The scene
// left on top takes Back, the soft keys and taps again.
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
                              R"(scene.getBoxById("below").addEventHandler("click", "note");
scene.getBoxById("root").addEventHandler("keyPress", "note");
scene.getBoxById("root").addEventHandler("menuCommand", "note");)");
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
        platform::headless::Back();
        platform::headless::SoftKey(1);
        platform::headless::RunUntilIdle();
        EXPECT_EQ(Attribute(below->GetRootBox(), u"log"), "keyPress,menuCommand")
            << "Back and the soft keys reach the scene left on top";
        oxBox* box = Box(below, u"below");
        const POINT onBelow = On(below, box);
        platform::headless::Tap(onBelow.x, onBelow.y);
        platform::headless::RunUntilIdle();
        EXPECT_EQ(Attribute(box, u"log"), "click") << "the scene below takes taps again";
        runtime()->CloseAllScenes();
        platform::headless::RunUntilIdle();
    }
}

// A handler's changes to fills, texts and sizes are painted by one update at the next turn of the
// loop, after one layout pass, however many there are.
TEST_F(SceneInputTest, AScriptsChangesShowAfterOneLayoutAndOneUpdate) {
    oxScene* scene = Open("scene_input_change.box", std::string(R"(
  <r:library>
    <r:style target="f" fill="#ff00ff00" height="40"/>
    <r:style target="t" fill="#ffffffff" textColor="#ff000000" width="120" height="40"/>
    <r:style target="g" fill="#ff0000ff" height="40"/>
  </r:library>
  <box id="f"/>
  <simpleText id="t" value=""/>
  <box id="g"/>)"),
                          R"(
var root = scene.getBoxById("root"), layouts = 0;
function onLayout(e) { root.setAttribute("layouts", String(++layouts)); }
root.addEventHandler("layout", "onLayout");
function change() {
  var f = scene.getBoxById("f"), g = scene.getBoxById("g");
  f.setStyle("fill", "#ffff0000");
  scene.getBoxById("t").setAttribute("value", "Hello");
  for (var h = 41; h <= 60; ++h) f.setStyle("height", String(h));
  g.setStyle("height", "30");
}
)");
    ASSERT_NE(scene, nullptr);
    oxBox* root = scene->GetRootBox();
    oxBox* t = Box(scene, u"t");
    const POINT onF = On(scene, Box(scene, u"f"));
    const std::string layouts = Attribute(root, u"layouts");
    auto ink = [&] {
        const POINT from = On(scene, t, 0, 0);
        int n = 0;
        for (uint32_t px : platform::headless::ReadScreen(RECT{from.x, from.y, from.x + 120, from.y + 40}))
            n += (px & 0xFFFFFF) != 0xFFFFFFu;
        return n;
    };
    ASSERT_EQ(ink(), 0);

    scene->RunHandler(oxQualifiedName(u"change"), nullptr, 0);
    EXPECT_EQ(ScreenAt(onF), 0x00FF00u) << "nothing is painted inside the handler";
    EXPECT_EQ(platform::headless::RunUntilIdle(), 1) << "one update message";
    EXPECT_EQ(Attribute(root, u"layouts"), std::to_string(std::stoi(layouts) + 1)) << "one layout pass";
    EXPECT_EQ(ScreenAt(onF), 0xFF0000u);
    EXPECT_EQ(Box(scene, u"f")->GetBoxRect().height, 60);
    EXPECT_GT(ink(), 0) << "the text is drawn where the taller box pushed it";
    const POINT onG = On(scene, Box(scene, u"g"), 4, 29);
    EXPECT_EQ(ScreenAt(onG), 0x0000FFu);
    EXPECT_NE(ScreenAt(POINT{onG.x, onG.y + 1}), 0x0000FFu) << "the shorter box leaves its old bottom";
}

// A script's scroll moves the rows on the screen by exactly the offset.
TEST_F(SceneInputTest, AScriptScrollMovesTheRowsByTheOffset) {
    oxScene* scene = Open("scene_input_scroll.box", List(24, 10, {"ff102030", "ff405060", "ff708090", "ffa0b0c0"}),
                          R"(
var list = scene.getBoxById("list");
function byMethod() { list.scrollBy(25); }
function byOffset() { list.scrollOffsetY = list.scrollOffsetY + 30; }
function beyondTheEnd() { list.scrollOffsetY = 1000; }
)");
    ASSERT_NE(scene, nullptr);
    oxBox* list = Box(scene, u"list");
    ASSERT_EQ(list->GetBoxRect().height, 120);
    const POINT top = On(scene, list, 20, 0);
    auto column = [&] { return platform::headless::ReadScreen(RECT{top.x, top.y, top.x + 1, top.y + 120}); };
    struct Case {
        const char16_t* handler;
        int offset; // the scroll offset after it
    };
    const Case cases[] = {{u"byMethod", 25}, {u"byOffset", 55}, {u"beyondTheEnd", 240 - 120}};
    for (const Case& c : cases) {
        const int was = list->GetScrollY();
        const std::vector<uint32_t> before = column();
        scene->RunHandler(oxQualifiedName(c.handler), nullptr, 0);
        platform::headless::RunUntilIdle();
        ASSERT_EQ(list->GetScrollY(), c.offset) << "after " << std::string(c.handler, c.handler + 8);
        const std::vector<uint32_t> after = column();
        const int moved = c.offset - was;
        for (int y = 0; y + moved < 120; ++y)
            ASSERT_EQ(after[y], before[y + moved]) << "row pixel " << y << " moved by " << moved;
        EXPECT_NE(after, before);
    }
}

TEST_F(SceneInputTest, AMenuBarOfMarkupOpensItsMenusAndTheirItemsRunTheirCommands) {
    oxScene* scene = Open("scene_input_menus.box", R"(
  <r:library>
    <r:style target="bar" height="24"/>
    <r:style tag="menu" width="60" height="24"/>
    <r:style tag="control" width="80" height="20" fill="#ff80c080"/>
    <r:style tag="popup" orient="vertical" paddingBottom="2" fill="#ff203048"/>
  </r:library>
  <commandGroup>
    <command id="reply" action="onReply"/>
  </commandGroup>
  <menuBar id="bar">
    <menu id="file" popup="_child">
      <popup id="filePopup">
        <control id="replyItem" command="reply" selectablePopupChild="true"/>
        <control id="forwardItem" selectablePopupChild="true"/>
      </popup>
    </menu>
    <menu id="edit" popup="_child">
      <popup id="editPopup">
        <control id="undoItem" selectablePopupChild="true"/>
      </popup>
    </menu>
  </menuBar>)",
                          R"(
function onReply() { scene.getBoxById("bar").setAttribute("log", "replied"); }
)");
    ASSERT_NE(scene, nullptr);
    auto* file = dynamic_cast<oxMenuBox*>(Box(scene, u"file"));
    ASSERT_NE(file, nullptr) << "the menu tag makes a menu box";
    auto* bar = dynamic_cast<oxMenuBarBox*>(Box(scene, u"bar"));
    ASSERT_NE(bar, nullptr);
    auto* filePopup = dynamic_cast<oxPopupBox*>(Box(scene, u"filePopup"));
    auto* editPopup = dynamic_cast<oxPopupBox*>(Box(scene, u"editPopup"));
    ASSERT_TRUE(filePopup && editPopup);

    const POINT p = On(scene, file);
    platform::headless::Tap(p.x, p.y);
    platform::headless::RunUntilIdle();
    ASSERT_TRUE(filePopup->IsOpened()) << "a tap on the menu opens its popup";
    EXPECT_EQ(bar->GetCurrentItem(), 0);
    RECT r{};
    GetWindowRect(filePopup->GetPopupFrame()->GetWindow(), &r);
    EXPECT_EQ(r.left, p.x - 4) << "below the menu, at its left edge";
    EXPECT_EQ(r.top, p.y - 4 + 24);
    EXPECT_EQ(ScreenAt(POINT{r.left + 10, r.top + 30}), 0x80C080u) << "the items painted in the popup's window";

    const struct {
        UINT key;
        oxPopupBox* open;
        const char16_t* current;
    } steps[] = {
        {VK_END, filePopup, u"forwardItem"},
        {VK_HOME, filePopup, u"replyItem"},
        {VK_RIGHT, editPopup, u"undoItem"},
        {VK_LEFT, filePopup, u"replyItem"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        platform::headless::Key(step.key);
        platform::headless::RunUntilIdle();
        ASSERT_TRUE(step.open->IsOpened());
        EXPECT_EQ(step.open->GetCurrentPopupChild(), Box(scene, step.current));
        EXPECT_FALSE((step.open == filePopup ? editPopup : filePopup)->IsOpened()) << "one menu open at a time";
    }
    platform::headless::Key(VK_RETURN);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(Attribute(bar, u"log"), "replied") << "Enter ran the current item's command";
    EXPECT_FALSE(filePopup->IsOpened()) << "and closed the menu";
    EXPECT_EQ(bar->GetCurrentItem(), -1);

    // The window losing the activation to another program closes the open menu and leaves the bar
    // without a current item.
    const POINT e = On(scene, Box(scene, u"edit"));
    platform::headless::Tap(e.x, e.y);
    platform::headless::RunUntilIdle();
    ASSERT_TRUE(editPopup->IsOpened());
    ASSERT_EQ(bar->GetCurrentItem(), 1);
    HWND window = GetActiveWindow();
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(GetDesktopWindow());
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(editPopup->IsOpened());
    EXPECT_EQ(bar->GetCurrentItem(), -1);
    auto* adapter = dynamic_cast<oxSceneInputAdapter*>(scene->GetInputState());
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(adapter->GetFrameInput()->GetPopupChain(), nullptr);
    // A current item goes too when neither a menu is open nor the focus is in the bar.
    SetForegroundWindow(window);
    platform::headless::RunUntilIdle();
    scene->SetFocusedBox(nullptr);
    bar->SetCurrentItem(0);
    ASSERT_EQ(adapter->GetFrameInput()->GetPopupChain(), nullptr);
    SetForegroundWindow(GetDesktopWindow());
    platform::headless::RunUntilIdle();
    EXPECT_EQ(bar->GetCurrentItem(), -1);
    EXPECT_EQ(Attribute(Box(scene, u"file"), u"current"), "false");
    SetForegroundWindow(window);
}

// Ctrl+Shift+Alt with the add and subtract keys or a digit changes the interface scale, and every
// open scene, the one behind too, is laid out again at the new scale.
TEST_F(SceneInputTest, TheScaleKeysLayOutEveryOpenSceneAtTheNewScale) {
    const std::string body = R"(<r:library><r:style target="sized" width="40*" height="20*"/></r:library>
<box id="sized"/>)";
    oxScene* below = Open("scene_scale_below.box", body, "");
    oxScene* top = Open("scene_scale_top.box", body, "");
    ASSERT_TRUE(below && top);
    const struct {
        UINT key;
        float scale;
    } steps[] = {
        {'2', 0.75f}, {'6', 2.0f}, {VK_ADD, 2.2f}, {VK_SUBTRACT, 2.0f}, {'0', 1.0f}, {'1', 0.5f}, {'9', 2.75f},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.key);
        platform::headless::KeyChord(step.key, {VK_CONTROL, VK_SHIFT, VK_MENU});
        platform::headless::RunUntilIdle();
        EXPECT_FLOAT_EQ(GetUiScale(), step.scale);
        for (oxScene* scene : {below, top}) {
            const oxRect r = Box(scene, u"sized")->GetBoxRect();
            EXPECT_EQ(r.width, int32_t(40 * GetUiScale()));
            EXPECT_EQ(r.height, int32_t(20 * GetUiScale()));
        }
    }
    // Without all three modifiers the keys are the scene's.
    platform::headless::KeyChord('3', {VK_CONTROL, VK_SHIFT});
    platform::headless::RunUntilIdle();
    EXPECT_FLOAT_EQ(GetUiScale(), 2.75f);
    SetUiScale(1.0f);
    runtime()->CloseAllScenes();
    platform::headless::RunUntilIdle();
}

// The pointer follows the hovered box: its own `cursor` style, else the nearest ancestor's; a box
// that names none, a plain box or a text, leaves the arrow. A resizing handle shows the resize
// pointer of the sides it grabs, and a new one as the pointer moves along it; a splitter the one of
// its axis. The platform keeps what is shown.
TEST_F(SceneInputTest, ThePointerShowsTheCursorOfTheHoveredBox) {
    oxScene* scene = Open("scene_cursor.box", R"(<r:library>
<r:style target="link" cursor="pointer" height="20"/><r:style target="typing" cursor="text" height="20"/>
<r:style target="plain" height="20"/><r:style target="inner" height="10"/>
<r:style target="busy" cursor="hourglass" height="20"/><r:style tag="handle" height="20"/></r:library>
<handle id="grip" transform="scale"/>
<box id="plain"/><simpleText id="words" value="Some words"/><hbox id="link"><box id="inner" s:width="10"
 xmlns:s="http://www.kestrum.com/weftly/style.xsd"/></hbox><box id="typing"/><box id="busy"/>
<handle id="splitter" transform="split" axis="x"/><handle id="mover" transform="translate"/>)",
                          "");
    ASSERT_NE(scene, nullptr);
    auto* adapter = dynamic_cast<oxSceneInputAdapter*>(scene->GetInputState());
    oxFrameInput* input = adapter ? adapter->GetFrameInput() : nullptr;
    ASSERT_NE(input, nullptr);
    const struct {
        const char16_t* box;
        int x; // into the box
        int32_t kind;
        const WCHAR* shown;
    } cases[] = {
        {u"plain", 2, 0, IDC_ARROW},
        {u"words", 2, 0, IDC_ARROW},
        {u"link", 15, kKeywordPointer, IDC_HAND}, // right of its inner box
        {u"inner", 2, kKeywordPointer, IDC_HAND},
        {u"typing", 2, kKeywordText, IDC_IBEAM},
        {u"busy", 2, kKeywordHourglass, IDC_WAIT},
        // The grip lies in the top-left corner of the window it resizes: at its left end it grabs
        // the corner, further along the top edge alone.
        {u"grip", 2, kKeywordNwResize, IDC_SIZENWSE},
        {u"grip", 100, kKeywordNResize, IDC_SIZENS},
        {u"splitter", 100, kKeywordSplitterv, IDC_SIZENS},
        {u"mover", 100, 0, IDC_ARROW},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.box, c.box + std::char_traits<char16_t>::length(c.box)) + " at " +
                     std::to_string(c.x));
        const POINT p = On(scene, Box(scene, c.box), c.x, 2);
        platform::headless::MoveTo(p.x, p.y);
        platform::headless::RunUntilIdle();
        ASSERT_EQ(input->GetHoveredBox(), Box(scene, c.box));
        EXPECT_EQ(input->GetCursor(), c.kind);
        EXPECT_EQ(platform::GetPointerId(GetCursor()), reinterpret_cast<uintptr_t>(c.shown));
    }
    runtime()->CloseAllScenes();
    platform::headless::RunUntilIdle();
    SetCursor(nullptr);
}

} // namespace
