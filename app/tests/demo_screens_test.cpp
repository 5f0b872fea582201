// The program's own start-up, headless on the virtual clock, driven through the demo as a person
// would: each screen is compared with a golden image at 32 and 16 bits, and facts computed from
// the scenes are checked beside it, so that a golden cannot bless a wrong picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/win_main.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/screen_golden.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "toolkit/core/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"

namespace {

namespace headless = platform::headless;

constexpr RECT kScreen{0, 0, 480, 800};
constexpr int kStepMs = 1000;

// One screen of the walk: what is checked on it, then the input that leads to the next.
struct Step {
    const char* golden; // null: nothing to compare
    void (*check)();
    void (*input)();
};

Shell* shell = nullptr;
const Step* walk = nullptr;
size_t walkLength = 0, at = 0;
std::string suffix;
UINT_PTR timer = 0;

oxBox* BoxIn(const WCHAR* sceneName, const WCHAR* id) {
    oxScene* scene = shell->GetRuntime()->FindSceneByName(sceneName);
    return scene ? scene->GetBoxById(oxAtoms::Intern(id), false) : nullptr;
}

std::u16string Attribute(oxBox* box, const WCHAR* name) {
    const WCHAR* text = box ? box->GetAttribute(oxAtoms::Intern(name)) : nullptr;
    return text ? text : u"";
}

uint32_t ScreenAt(int x, int y) {
    return headless::ReadScreen(RECT{x, y, x + 1, y + 1})[0] & 0xFFFFFF;
}

// The colour a 32-bit colour shows as on the screen in use.
uint32_t Shown(uint32_t rgb) {
    if (suffix.empty()) return rgb;
    const uint32_t r = (rgb >> 19) & 0x1F, g = (rgb >> 10) & 0x3F, b = (rgb >> 3) & 0x1F;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

// The screen point of a box's centre: its frame position in the window's work area.
POINT CentreOf(oxBox* box) {
    const RECT work = platform::shell::GetWorkArea();
    const oxPoint p = box->GetFramePosition();
    const oxRect r = box->GetBoxRect();
    return POINT{work.left + p.x + r.width / 2, work.top + p.y + r.height / 2};
}

void RunStep(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, timer);
    if (at >= walkLength) return;
    const Step& step = walk[at++];
    const std::string name = step.golden ? step.golden : "step";
    SCOPED_TRACE(name);
    if (step.check) step.check();
    if (step.golden) {
        EXPECT_TRUE(MatchesScreenGolden(kScreen, std::string(step.golden) + suffix));
    }
    timer = SetTimer(nullptr, 0, kStepMs, RunStep);
    step.input(); // may open a modal dialog, whose loop runs the next step
}

// Where the sign-in button and the second row are, read from the laid-out scenes.
POINT signInButton, secondRow;

const Step kWalk[] = {
    {"demo_sign_in",
     [] {
         oxBox* button = BoxIn(u"main", u"signIn");
         ASSERT_NE(button, nullptr);
         signInButton = CentreOf(button);
         EXPECT_EQ(ScreenAt(signInButton.x - 150, signInButton.y), Shown(0x2F6FC8)) << "the button's fill";
         EXPECT_EQ(ScreenAt(470, 600), Shown(0xF4F6FA)) << "the page's background";
     },
     [] { headless::Tap(signInButton.x, signInButton.y); }},
    {"demo_contacts",
     [] {
         oxBox* rows = BoxIn(u"contacts", u"rows");
         ASSERT_NE(rows, nullptr);
         ASSERT_EQ(rows->GetChildCount(), 40) << "forty rows built by the script";
         oxBox* row = rows->GetChildAt(1, false);
         EXPECT_EQ(Attribute(row, u"contact"), u"2");
         secondRow = CentreOf(row);
         // Right of the name and left of the badge, the row's own white.
         EXPECT_EQ(ScreenAt(300, secondRow.y), Shown(0xFFFFFF));
         EXPECT_EQ(ScreenAt(300, CentreOf(row).y + row->GetBoxRect().height / 2), Shown(0xE3E8EF))
             << "the list shows through the gap under the row";
     },
     [] { headless::SoftKey(2); }},
    {"demo_dialog",
     [] {
         EXPECT_NE(shell->GetRuntime()->FindSceneByName(u"_builtInDialog"), nullptr) << "the menu key asks";
         EXPECT_EQ(ScreenAt(240, 400), Shown(0xFFFFFF)) << "the dialog covers the list";
     },
     [] { headless::Back(); }},
    {"demo_dialog_answer",
     [] {
         EXPECT_EQ(shell->GetRuntime()->FindSceneByName(u"_builtInDialog"), nullptr) << "Back closed the dialog";
         EXPECT_EQ(Attribute(BoxIn(u"contacts", u"status"), u"value"), u"Menu closed");
     },
     [] {
         headless::Drag(POINT{240, 600}, POINT{240, 400}, 5);
     }},
    // FIXME: a script's change after the scene opened is neither laid out nor painted yet, so the
    // scrolled list has no golden; the script's own account of the scroll is checked.
    {nullptr, [] { EXPECT_EQ(Attribute(BoxIn(u"contacts", u"list"), u"scrolled"), u"200"); },
     [] { headless::Tap(secondRow.x, secondRow.y); }},
    // FIXME: only the first of the four bubbles is painted yet, so the conversation has no golden;
    // its heading and bubbles are checked in the scene.
    {nullptr,
     [] {
         EXPECT_EQ(Attribute(BoxIn(u"conversation", u"heading"), u"value"), u"Bram 2") << "the tapped row's contact";
         oxBox* messages = BoxIn(u"conversation", u"messages");
         ASSERT_NE(messages, nullptr);
         EXPECT_EQ(messages->GetChildCount(), 4);
     },
     [] { headless::Back(); }},
    {"demo_back_on_list",
     [] {
         EXPECT_EQ(shell->GetRuntime()->FindSceneByName(u"conversation"), nullptr);
         EXPECT_EQ(ScreenAt(300, secondRow.y), Shown(0xFFFFFF));
     },
     // FIXME: Back after a scene above closed does not reach the list yet; the scenes' own closes
     // stand in, the list first, so that the sign-in screen closing last ends the program.
     [] {
         oxRuntime* runtime = shell->GetRuntime();
         for (int i = runtime->GetSceneCount() - 1; i >= 0; --i)
             runtime->GetSceneAt(i)->Close(true);
     }},
};

class DemoScreensTest : public ::testing::TestWithParam<int> {};

TEST_P(DemoScreensTest, TheWalkThroughTheDemoShowsEachScreen) {
    const int bpp = GetParam();
    ASSERT_TRUE(ConfigureScreen(ScreenConfig{480, 800, bpp, false, 192}));
    headless::UseVirtualClock(0);
    suffix = bpp == 16 ? "_16" : "";
    walk = kWalk;
    walkLength = std::size(kWalk);
    at = 0;
    app::SetSceneDriver([](Shell* s) {
        shell = s;
        timer = SetTimer(nullptr, 0, kStepMs, RunStep);
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(at, walkLength) << "the last scene closing ended the program after the whole walk";
    app::SetSceneDriver(nullptr);
    shell = nullptr;
    headless::UseRealClock();
    platform::shell::ResetShell();
    ConfigureScreen(ScreenConfigFromEnvironment());
}

INSTANTIATE_TEST_SUITE_P(Screens, DemoScreensTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Bpp" + std::to_string(param.param);
                         });

} // namespace
