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
#include "platform/win/window.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/native_menu.h"
#include "toolkit/widgets/scene_frame.h"

namespace {


class WindowBoxTest : public WindowedAppTest {
protected:
    oxScene* OpenWindow(const char* attributes) {
        // Tests run side by side over one resources folder: each writes a file of its own name.
        const std::string name =
            std::string("window_box_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".box";
        written.push_back(name);
        std::ofstream(resources / name)
            << R"(<window xmlns="http://www.kestrum.com/weftly/box.xsd" id="root" )" << attributes << "/>";
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
