// Turning the handset while the messenger's contact list shows, signed in to the demo service: the screen changes shape, the shell's
// bars move to its new edges, and the list lays itself out again across the new width, then back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "app/tests/demo_program_environment.h"
#include "app/win_main.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/display.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/screen_golden.h"
#include "platform/tests/test_service.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"

namespace {

namespace headless = platform::headless;

constexpr int kStepMs = 1000;

Shell* shell = nullptr;
int step = 0;
UINT_PTR timer = 0;

oxBox* BoxIn(const WCHAR* sceneName, const WCHAR* id) {
    oxScene* scene = shell->GetRuntime()->FindSceneByName(sceneName);
    return scene ? scene->GetBoxById(oxAtoms::Intern(id), false) : nullptr;
}

void Turn(DWORD orientation) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = orientation;
    EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
}

// The list and each of its rows span the screen's width; the rows keep their height.
void ExpectListAcross(int width, int rowHeight) {
    oxBox* list = BoxIn(u"contacts", u"list");
    oxBox* rows = BoxIn(u"contacts", u"rows");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(list->GetBoxRect().width, width);
    const RECT work = platform::shell::GetWorkArea();
    oxBox* root = list->GetParent();
    EXPECT_EQ(root->GetBoxRect().width, work.right - work.left);
    EXPECT_EQ(root->GetBoxRect().height, work.bottom - work.top) << "the scene fills the work area";
    oxBox* row = rows->GetChildAt(0, false);
    EXPECT_EQ(row->GetBoxRect().height, rowHeight);
    EXPECT_GT(row->GetBoxRect().width, width - 40) << "the row spans the list, less its margins";
}

int portraitRowHeight = 0, portraitRowWidth = 0;

void RunStep(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, timer);
    timer = SetTimer(nullptr, 0, kStepMs, RunStep);
    switch (step++) {
    case 0: {
        // Signed in as the demo service's first account, the list fills from its contacts.
        oxBox* login = BoxIn(u"main", u"login");
        ASSERT_NE(login, nullptr);
        login->SetAttribute(oxAtoms::Intern(u"value"), u"ann", true, false);
        BoxIn(u"main", u"password")->SetAttribute(oxAtoms::Intern(u"value"), u"weft", true, false);
        headless::SoftKey(1);
        break;
    }
    case 1: {
        oxBox* rows = BoxIn(u"contacts", u"rows");
        if (!rows || rows->GetChildCount() == 0) { // the service has not answered yet
            --step;
            usleep(2000);
            break;
        }
        oxBox* row = BoxIn(u"contacts", u"rows")->GetChildAt(0, false);
        portraitRowHeight = row->GetBoxRect().height;
        portraitRowWidth = row->GetBoxRect().width;
        ExpectListAcross(480, portraitRowHeight);
        Turn(DMDO_90);
        break;
    }
    case 2:
        EXPECT_EQ(GetScreen().config.width, 800);
        EXPECT_EQ(GetScreen().config.height, 480);
        ExpectListAcross(800, portraitRowHeight);
        EXPECT_EQ(BoxIn(u"contacts", u"rows")->GetChildAt(0, false)->GetBoxRect().width, portraitRowWidth + 320);
        EXPECT_EQ(ReadScreenPixel(700, 160), 0xFFFFFFu) << "the first row's white reaches across the new width";
        EXPECT_EQ(ReadScreenPixel(700, 400), 0xFFFFFFu) << "the list reaches down to the menu bar";
        EXPECT_TRUE(MatchesScreenGolden(RECT{0, 0, 800, 480}, "rotation_landscape"));
        Turn(DMDO_0);
        break;
    case 3:
        ExpectListAcross(480, portraitRowHeight);
        EXPECT_EQ(BoxIn(u"contacts", u"rows")->GetChildAt(0, false)->GetBoxRect().width, portraitRowWidth);
        EXPECT_TRUE(MatchesScreenGolden(RECT{0, 0, 480, 800}, "rotation_portrait"));
        headless::Back(); // Back on the list signs out
        break;
    default:
        headless::Back(); // the sign-in screen's Back ends the program
        break;
    }
}

TEST(RotationTest, TheContactListLaysItselfOutAgainWhenTheScreenTurns) {
    test::TestService demo(DEMO_SERVICE_SCRIPT, {"--control"});
    ASSERT_TRUE(demo.HttpsReady());
    test::DemoProgramEnvironment environment(demo);
    ASSERT_TRUE(environment.Ok());
    ASSERT_TRUE(ConfigureScreen(ScreenConfig{480, 800, 32, false, 192}));
    headless::UseVirtualClock(0);
    step = 0;
    app::SetSceneDriver([](Shell* s) {
        shell = s;
        timer = SetTimer(nullptr, 0, kStepMs, RunStep);
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_GE(step, 5) << "the program ended after the walk";
    EXPECT_EQ(platform::shell::GetDisplayOrientation(), DMDO_0);
    app::SetSceneDriver(nullptr);
    shell = nullptr;
    headless::UseRealClock();
    platform::shell::ResetShell();
    ConfigureScreen(ScreenConfigFromEnvironment());
}

} // namespace
