// An HTML box in a scene opened by the application: the scene's layout places the control's window
// over the box, which shows its page there.
#include <fstream>

#include "platform/win/gdi.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/windowed_app_test.h"
#include "toolkit/widgets/frame_box.h"

namespace {

class DHTMLBoxTest : public WindowedAppTest {};

TEST_F(DHTMLBoxTest, ASceneShowsThePageWhereItsBoxStands) {
    const std::string name = Own("dhtml_box_test.box");
    std::ofstream(resources / name)
        << R"(<window xmlns="http://www.kestrum.com/weftly/box.xsd" )"
        << R"(xmlns:s="http://www.kestrum.com/weftly/style.xsd" id="root">)"
        << R"(<box s:height="30"/>)"
        << R"(<dhtml id="page" s:width="200" s:height="120" value="&lt;body style='margin:0'&gt;)"
        << R"(&lt;div style='background:#00c000;height:50px'&gt;&lt;/div&gt;&lt;/body&gt;"/>)"
        << "</window>";
    oxRuntime* runtime = app->GetShell()->GetRuntime();
    oxScene* scene = runtime->OpenSceneSimple(Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_NE(scene, nullptr);
    platform::headless::RunUntilIdle();
    auto* box = dynamic_cast<oxDHTMLBox*>(scene->FindBoxById(oxAtoms::Intern(u"page")));
    ASSERT_NE(box, nullptr);
    HWND control = box->GetWindow();
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(IsWindowVisible(control));
    RECT r{};
    GetWindowRect(control, &r);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 120);
    // The page's green block at the window's top, white below it.
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, r.left + 5, r.top + 5), RGB(0, 0xC0, 0));
    EXPECT_EQ(GetPixel(screen, r.left + 5, r.top + 80), RGB(255, 255, 255));
    ReleaseDC(nullptr, screen);
}

} // namespace
