// A scene whose root is a window box gives its window the box's title, hands the window's
// properties to the frame once the window exists, and closes on the `closed` attribute.
#include "toolkit/widgets/window_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/task_bar.h"
#include "platform/win/menu.h"
#include "platform/win/system_params.h"
#include "platform/win/window.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/native_menu.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

class WindowBoxTest : public WindowedAppTest {
protected:
    oxScene* OpenWindow(const char* attributes, const char* content = "") {
        // Tests run side by side over one resources folder: each writes a file of its own name.
        const std::string name =
            std::string("window_box_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".box";
        written.push_back(name);
        std::ofstream(resources / name)
            << R"(<window xmlns="http://www.kestrum.com/weftly/box.xsd" )"
            << R"(xmlns:r="http://www.kestrum.com/weftly/resource.xsd" id="root" )" << attributes << ">" << content
            << "</window>";
        oxRuntime* runtime = app->GetShell()->GetRuntime();
        const std::u16string uri(name.begin(), name.end());
        oxScene* scene = runtime->OpenSceneSimple(uri.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        platform::headless::RunUntilIdle();
        return scene;
    }
    static std::u16string WindowText(oxScene* scene) {
        auto* window = dynamic_cast<oxSceneFrame*>(scene->GetWindow());
        WCHAR text[64] = {};
        if (window && window->GetFrame()->GetWindow()) GetWindowTextW(window->GetFrame()->GetWindow(), text, 64);
        return text;
    }
};

TEST_F(WindowBoxTest, TheWindowTakesTheTitleAndFollowsItsChanges) {
    oxScene* scene = OpenWindow(R"(title="Inbox")");
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr) << "the window tag makes a window box";
    EXPECT_EQ(WindowText(scene), u"Inbox");
    box->SetAttribute(kAtomTitle, u"Sent", true, false);
    EXPECT_EQ(WindowText(scene), u"Sent");
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomTitle)), u"Sent");
}

TEST_F(WindowBoxTest, AttributesParseToTheirFieldsAndReadBack) {
    oxScene* scene = OpenWindow(R"(dockAffinity="MONITOR" maximizable="false" snapToOffset="1 2 3 4")");
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomDockAffinity)), u"monitor");
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomMaximizable)), u"false");
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomTitle)), u"") << "an unset title reads as empty text";
    EXPECT_EQ(box->GetSnapToOffset().x, 4);
    EXPECT_EQ(box->GetSnapToOffset().y, 1);
    box->SetAttribute(kAtomDockAffinity, u"screen", true, false);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomDockAffinity)), u"desktop");
    box->SetAttribute(kAtomDock, u"bottom", true, false);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomDock)), u"bottom");
    EXPECT_FALSE(box->FitOnScreen()) << "a docked window is never moved";
}

TEST_F(WindowBoxTest, TheClosedAttributeClosesTheSceneWhateverItsText) {
    oxScene* scene = OpenWindow("");
    ASSERT_NE(scene, nullptr);
    HWND window = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
    ASSERT_TRUE(IsWindow(window));
    scene->GetRootBox()->SetAttribute(kAtomClosed, u"false", true, false);
    platform::headless::RunUntilIdle();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowBoxTest, AnInstalledMenuBecomesTheSoftKeysAndTheRightOneOpensItsSubmenu) {
    oxScene* scene = OpenWindow(R"(title="Inbox")");
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr);
    auto* bar = new oxNativeMenu();
    bar->AddRef();
    ASSERT_TRUE(bar->Create(false));
    auto* more = new oxNativeMenu();
    more->AddRef();
    ASSERT_TRUE(more->Create(true));
    const struct {
        oxNativeMenu* menu;
        uint32_t id;
        const char16_t* label;
    } items[] = {{bar, 11, u"New"}, {bar, 12, u"Menu"}, {more, 21, u"Reply"}, {more, 22, u"Delete"}};
    for (const auto& i : items) {
        oxNativeMenuItem* item = i.menu->CreateItem(i.id, i.label, u"", u"");
        item->AddRef();
        ASSERT_TRUE(i.menu->InsertItem(-1, item));
        item->Release();
    }
    ASSERT_TRUE(bar->SetSubMenu(1, more));
    more->Release();
    ASSERT_TRUE(box->SetMenu(bar));
    EXPECT_FALSE(box->SetMenu(bar)) << "the current menu is not installed twice";
    bar->Release();
    HWND window = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
    HWND menuBar = SHFindMenuBar(window);
    ASSERT_TRUE(menuBar);
    EXPECT_EQ(platform::shell::GetMenuBarMenu(menuBar), box->GetMenu()->GetHandle());

    ASSERT_EQ(GetActiveWindow(), window);
    platform::headless::SoftKey(2);
    platform::headless::RunUntilIdle();
    ASSERT_TRUE(platform::shell::GetOpenMenuList()) << "the right soft key opens its submenu";
    if (const char* png = std::getenv("TANDU_DUMP_SCREEN")) platform::headless::DumpScreenPng(png);
}

// Records the ids of the "menuCommand" events that reach the scene's own listeners.
class MenuCommands final : public oxSceneEventListener {
public:
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    int32_t HandleEvent(oxEvent* event) override {
        if (auto* menu = dynamic_cast<oxMenuEvent*>(event)) ids.push_back(menu->menuId);
        return 1;
    }
    std::vector<int32_t> ids;
};

std::u16string ItemText(HMENU menu, int position) {
    WCHAR text[64] = {};
    GetMenuStringW(menu, UINT(position), text, 64, MF_BYPOSITION);
    return text;
}

constexpr const char* kSoftKeyMenus = R"xml(<r:library>
    <r:menu id="keys">
        <menuItem id="1001" label="Back"/>
        <menuItem id="1002" label="Menu" subMenu="url(#more)"/>
    </r:menu>
    <r:menu id="more">
        <menuItem id="2001" label="&amp;Reply" accessKey="R"/>
        <menuItem separator="true"/>
        <menuItem id="2002" label="Delete" subMenu="url(#loop)"/>
    </r:menu>
    <r:menu id="loop">
        <menuItem id="3001" label="Again" subMenu="url(#loop)"/>
    </r:menu>
</r:library>)xml";

TEST_F(WindowBoxTest, AMarkupMenuBecomesTheSoftKeysAndItsItemsRunAsMenuCommands) {
    oxScene* scene = OpenWindow(R"x(title="Inbox" menu="url(#keys)")x", kSoftKeyMenus);
    ASSERT_NE(scene, nullptr);
    MenuCommands commands;
    scene->AddEventListener(kAtomMenuCommand, &commands);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->GetMenu(), nullptr) << "the window installs the menu its attribute names";
    HWND window = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
    HMENU bar = platform::shell::GetMenuBarMenu(SHFindMenuBar(window));
    ASSERT_EQ(bar, box->GetMenu()->GetHandle());
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(ItemText(bar, 0), u"Back");
    EXPECT_EQ(GetMenuItemID(bar, 0), 1001u);
    HMENU more = GetSubMenu(bar, 1);
    ASSERT_TRUE(more) << "the second soft key opens the menu its item names";
    EXPECT_EQ(ItemText(more, 0), u"&Reply") << "the access key is marked where the label has it";
    EXPECT_TRUE(GetMenuState(more, 1, MF_BYPOSITION) & MF_SEPARATOR);
    HMENU loop = GetSubMenu(more, 2);
    ASSERT_TRUE(loop);
    EXPECT_EQ(GetMenuItemID(loop, 0), 3001u) << "a menu naming itself is not nested in itself";

    platform::headless::SoftKey(1);
    platform::headless::RunUntilIdle();
    platform::headless::SoftKey(2);
    platform::headless::RunUntilIdle();
    HWND list = platform::shell::GetOpenMenuList();
    ASSERT_TRUE(list);
    RECT r{};
    GetWindowRect(list, &r);
    const int row = (r.bottom - r.top) / 3;
    platform::headless::Tap(r.left + 10, r.top + row / 2);
    platform::headless::RunUntilIdle();
    EXPECT_EQ(commands.ids, (std::vector<int32_t>{1001, 2001})) << "the scene's listeners hear each command";
    scene->RemoveEventListener(kAtomMenuCommand, &commands);
}

TEST_F(WindowBoxTest, AMenuAttributeThatNamesNoMenuLeavesTheEmptySoftKeys) {
    for (const char* attribute : {R"x(menu="url(#none)")x", R"x(menu="keys")x", R"x(menu="url(#more)")x"}) {
        SCOPED_TRACE(attribute);
        oxScene* scene = OpenWindow(attribute, kSoftKeyMenus);
        ASSERT_NE(scene, nullptr);
        auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
        HWND window = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
        HMENU bar = platform::shell::GetMenuBarMenu(SHFindMenuBar(window));
        if (box->GetMenu()) {
            EXPECT_EQ(ItemText(bar, 0), u"&Reply") << "a menu named by reference is built whatever its place";
        } else {
            ASSERT_EQ(GetMenuItemCount(bar), 2);
            EXPECT_EQ(GetMenuItemID(bar, 0), 10001u) << "the empty soft keys";
        }
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }
}

// A window that cannot be resized keeps the pixels its scaled size had when it was laid out, so a
// later change of the interface scale leaves it as it is; a resizable one, or one with noScale,
// keeps following the scale.
TEST_F(WindowBoxTest, AFixedWindowKeepsItsPixelSizeWhenTheScaleChanges) {
    const struct {
        const char* attributes;
        oxStyleType type;
        int32_t width;
    } cases[] = {
        {"", kStylePx, 150},
        {R"(resizable="true")", kStyleScaled, 200},
        {R"(noScale="true")", kStyleScaled, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        SetUiScale(1.5f);
        oxScene* scene = OpenWindow(c.attributes);
        ASSERT_NE(scene, nullptr);
        auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
        ASSERT_NE(box, nullptr);
        box->SetStyle(u"width", u"100*");
        box->RequestLayout();
        scene->Layout();
        SetUiScale(2.0f);
        box->RequestLayout();
        scene->Layout();
        oxStyleValue width;
        box->GetStyleValue(kStyle_width, &width);
        EXPECT_EQ(width.GetType(), c.type);
        EXPECT_EQ(width.GetInt(), c.width);
        SetUiScale(1.0f);
        scene->Close(true);
        platform::headless::RunUntilIdle();
    }
}

TEST_F(WindowBoxTest, TheSnapRectangleIsTheWindowGrownByItsMargins) {
    oxScene* scene = OpenWindow(R"(snapToOffset="1 2 3 4")");
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr);
    RECT w{};
    GetWindowRect(box->GetWindowFrame()->GetWindow(), &w);
    const oxRect snap = box->GetSnapRect();
    // Four values read top, right, bottom, left.
    EXPECT_EQ(snap.x, w.left - 4);
    EXPECT_EQ(snap.y, w.top - 1);
    EXPECT_EQ(snap.width, w.right - w.left + 4 + 2);
    EXPECT_EQ(snap.height, w.bottom - w.top + 1 + 3);
}

// The value of a script expression in the scene's context as "type:text".
std::string Eval(oxScene* scene, const std::string& expression) {
    oxScriptContext* raw = nullptr;
    oxScriptContextManager* manager = scene->GetSceneRuntime()->GetScriptContextManager();
    if (manager->GetContext(scene->GetContextName().GetString(), &raw) != 0) return "no context";
    NUBO::RefPtr<oxScriptContext> context(raw);
    NUBO::XVariant value;
    if (FAILED(context->Evaluate(NUBO::TWString(std::u16string(expression.begin(), expression.end()).c_str()), u"",
                                 &value)))
        return "!";
    if (value.vt == VT_BOOL) return value.boolVal ? "true" : "false";
    if (value.vt == VT_NULL || ((value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH) && !value.punkVal)) return "null";
    const NUBO::TWString text = value.ToString();
    return std::string(text.GetString(), text.GetString() + std::char_traits<char16_t>::length(text.GetString()));
}

// Scripts make native menus through the factory and swap the window's soft-key menu for one.
TEST_F(WindowBoxTest, ScriptsReadAndReplaceTheWindowsMenu) {
    const std::string script = std::string("window_box_test_") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".js";
    written.push_back(script);
    std::ofstream(resources / script) << "var w, f, made;\n";
    const std::string content = std::string(kSoftKeyMenus) + R"(<script language="javascript" src=")" + script +
                                R"("/>)";
    oxScene* scene = OpenWindow(R"x(title="Inbox" menu="url(#keys)")x", content.c_str());
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->GetMenu(), nullptr);
    const WCHAR* name = scene->GetContextName().GetString();
    const std::string context(name, name + std::char_traits<char16_t>::length(name));
    ASSERT_EQ(Eval(scene, "w = " + context + ".scene.rootBox, f = shell.factory, true"), "true");
    const std::pair<const char*, const char*> reads[] = {
        {"w.menu.getItem(0).label", "Back"},
        {"w.menu.getItem(1).id", "1002"},
        {"w.menu.getSubMenu(1).getItem(0).label", "Reply"},
        {"w.menu === w.menu", "false"}, // a new object each time, over the same menu
    };
    for (const auto& [expression, expected] : reads)
        EXPECT_EQ(Eval(scene, expression), expected) << expression;
    oxNativeMenu* before = box->GetMenu();

    // A popup menu made by the factory holds items; a plain one becomes the menu bar.
    EXPECT_EQ(Eval(scene, "(made = f.createMenu(true)).insertItem(0, made.createItem(9, 'Nine'))"), "true");
    EXPECT_EQ(Eval(scene, "made.getItem(0).label"), "Nine");
    const std::pair<const char*, const char*> makes[] = {
        {"made = f.createMenu(); made.insertItem(0, made.createItem(41, 'Done'))", "true"},
        {"made.insertItem(1, made.createItem(42, 'More'))", "true"},
        {"(w.menu = made, w.menu.getItem(0).id)", "41"},
    };
    for (const auto& [expression, expected] : makes)
        EXPECT_EQ(Eval(scene, expression), expected) << expression;
    ASSERT_NE(box->GetMenu(), before);
    HWND window = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
    HMENU bar = platform::shell::GetMenuBarMenu(SHFindMenuBar(window));
    EXPECT_EQ(bar, box->GetMenu()->GetHandle()) << "the frame shows the script's menu";
    EXPECT_EQ(ItemText(bar, 0), u"Done");

    // Anything but a menu asks for none, which the frame refuses: the menu stays.
    for (const char* value : {"null", "'keys'", "f.createRect(0, 0, 1, 1)"}) {
        EXPECT_EQ(Eval(scene, std::string("(w.menu = ") + value + ", w.menu.getItem(0).id)"), "41") << value;
        EXPECT_EQ(box->GetMenu()->GetHandle(), bar);
    }
}

// A scene asks for attention: its window flashes until the scene says it need not (asking twice
// changes nothing), and only its own window does.
TEST_F(WindowBoxTest, FlashWindowMakesTheScenesWindowFlashUntilToldToStop) {
    const std::string script =
        std::string("window_box_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".js";
    written.push_back(script);
    std::ofstream(resources / script) << "var s;\n";
    const std::string content = R"(<script language="javascript" src=")" + script + R"("/>)";
    oxScene* scene = OpenWindow(R"(title="Inbox")", content.c_str());
    ASSERT_NE(scene, nullptr);
    HWND window = dynamic_cast<oxSceneFrame*>(scene->GetWindow())->GetFrame()->GetWindow();
    ASSERT_NE(window, nullptr);
    const WCHAR* name = scene->GetContextName().GetString();
    ASSERT_EQ(Eval(scene, "s = " + std::string(name, name + std::char_traits<char16_t>::length(name)) + ".scene, true"),
              "true");
    EXPECT_FALSE(platform::IsWindowFlashing(window));
    const struct {
        const char* call;
        bool flashing;
    } steps[] = {
        {"s.flashWindow(true, false)", true},  {"s.flashWindow(true, true)", true},
        {"s.flashWindow(false, true)", false}, {"s.flashWindow(1, false)", true},
        {"s.flashWindow(0, false)", false},
    };
    for (const auto& step : steps) {
        Eval(scene, step.call);
        EXPECT_EQ(platform::IsWindowFlashing(window), step.flashing) << step.call;
        EXPECT_EQ(platform::IsAnyWindowFlashing(), step.flashing) << step.call;
    }
}

TEST_F(WindowBoxTest, FitOnScreenPutsAWindowFlushWithTheEdgeItCrossed) {
    oxScene* scene = OpenWindow("");
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_NE(box, nullptr);
    const RECT work = platform::shell::GetWorkArea();
    const int32_t areaHeight = work.bottom - work.top;
    const oxRect r = box->GetBoxRect();
    ASSERT_EQ(r.y, 0);
    ASSERT_EQ(r.height, areaHeight) << "the window fills the work area";
    EXPECT_FALSE(box->FitOnScreen()) << "a window inside the area stays";
    auto style = [&](int id) {
        WCHAR* text = box->GetStyleString(id);
        std::u16string out = text ? text : u"";
        free(text);
        return out;
    };
    const auto text = [](int32_t n) {
        const std::string digits = std::to_string(n);
        return std::u16string(digits.begin(), digits.end());
    };
    const struct {
        int32_t y, height;
        std::u16string top, bottom;
    } cases[] = {
        {areaHeight - 100, 200, text(areaHeight - 200), u"0"}, // off the bottom: flush with it
        {-20, 200, u"0", text(areaHeight - 200)},              // off the top: flush with it
        {10, areaHeight + 50, u"0", u"0"},                     // larger than the area: 0 on both sides
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.y);
        box->SetBoxSize({r.width, c.height});
        box->SetBoxPosition({0, c.y});
        EXPECT_TRUE(box->FitOnScreen());
        EXPECT_EQ(style(kStyle_top), c.top);
        EXPECT_EQ(style(kStyle_bottom), c.bottom);
    }
}

} // namespace

namespace {

TEST_F(WindowBoxTest, ReadingThePlacementRefitsAChromelessWindowToTheScreen) {
    const std::string script = std::string("window_box_test_") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".js";
    written.push_back(script);
    std::ofstream(resources / script) << "var w;\n";
    const std::string content = R"(<script language="javascript" src=")" + script + R"("/>)";
    oxScene* scene = OpenWindow(R"(chromeless="true")", content.c_str());
    ASSERT_NE(scene, nullptr);
    auto* box = dynamic_cast<oxWindowBox*>(scene->GetRootBox());
    ASSERT_TRUE(box && box->GetWindowFrame() && box->GetWindowFrame()->GetWindow());
    HWND window = box->GetWindowFrame()->GetWindow();
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(window, nullptr, 0, 0, w, h, SWP_NOZORDER);
    const WCHAR* name = scene->GetContextName().GetString();
    const std::string context(name, name + std::char_traits<char16_t>::length(name));
    EXPECT_EQ(Eval(scene, "w = " + context + ".scene.rootBox, typeof w.windowPlacement"), "undefined");
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.bottom - r.top, h - 1) << "a chromeless window as large as the screen is made one unit shorter";
    EXPECT_EQ(r.right - r.left, w);
}

} // namespace
