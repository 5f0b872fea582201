// The program's own start-up, headless on the virtual clock, driven through the demo as a person
// would: each screen is compared with a golden image at 32 and 16 bits, and facts computed from
// the scenes are checked beside it, so that a golden cannot bless a wrong picture.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/win_main.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/screen_golden.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
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

// The title of the active window, which the task bar shows.
std::u16string ActiveTitle() {
    WCHAR text[64] = {};
    GetWindowTextW(GetActiveWindow(), text, 64);
    return text;
}

// The centre of a row of the open soft-key menu, whose rows share its height.
POINT MenuRow(int row, int rows) {
    RECT r{};
    GetWindowRect(platform::shell::GetOpenMenuList(), &r);
    return POINT{(r.left + r.right) / 2, r.top + (r.bottom - r.top) * (2 * row + 1) / (2 * rows)};
}

// The contacts' soft-key menu: "Do not disturb", a separator, "Sign out".
constexpr int kContactsMenuRows = 3;

// Facts read from the laid-out scenes as the walk goes: where to tap, and what the list showed.
POINT signInButton, secondRow;
int listTop = 0, listHeight = 0, pitch = 0, tappedRow = -1;
std::vector<uint32_t> unscrolled;
constexpr int kColumn = 300; // right of the names, left of the badges: the rows' own fill

oxBox* List() {
    return BoxIn(u"contacts", u"list");
}

// The list's column of pixels at kColumn, top to bottom, on the screen.
std::vector<uint32_t> ListColumn() {
    return headless::ReadScreen(RECT{kColumn, listTop, kColumn + 1, listTop + listHeight});
}

// The list shows its rows moved up by exactly the scroll offset from the unscrolled screen.
void ExpectScrolledBy(int offset) {
    ASSERT_EQ(List()->GetScrollY(), offset);
    const std::vector<uint32_t> now = ListColumn();
    ASSERT_EQ(now.size(), unscrolled.size());
    for (int y = 0; y + offset < listHeight; ++y)
        ASSERT_EQ(now[y], unscrolled[y + offset]) << "list pixel " << y << " scrolled by " << offset;
}

// A drag down or up the list; drags queued in one turn start apart, so that no press is taken as
// the second of a double click.
void DragList(int fromY, int toY, int x = kColumn) {
    headless::Drag(POINT{x, fromY}, POINT{x, toY}, 5);
}

const Step kWalk[] = {
    {"demo_sign_in",
     [] {
         oxBox* button = BoxIn(u"main", u"signIn");
         ASSERT_NE(button, nullptr);
         signInButton = CentreOf(button);
         EXPECT_EQ(ScreenAt(signInButton.x - 150, signInButton.y), Shown(0x2F6FC8)) << "the button's fill";
         EXPECT_EQ(ScreenAt(470, 600), Shown(0xF4F6FA)) << "the page's background";
         EXPECT_EQ(ActiveTitle(), u"Tandu") << "the window takes the scene's title";
     },
     [] { headless::Tap(signInButton.x, signInButton.y); }},
    {"demo_contacts",
     [] {
         oxBox* rows = BoxIn(u"contacts", u"rows");
         ASSERT_NE(rows, nullptr);
         ASSERT_EQ(rows->GetChildCount(), 40) << "forty rows built by the script";
         oxBox* row = rows->GetChildAt(1, false);
         EXPECT_EQ(Attribute(row, u"contact"), u"2");
         EXPECT_EQ(row->GetTag(), oxAtoms::Intern(u"contactRow")) << "each row a gadget box";
         EXPECT_EQ(row->GetChildCount(), 3) << "picture, name and status, badge";
         secondRow = CentreOf(row);
         pitch = CentreOf(row).y - CentreOf(rows->GetChildAt(0, false)).y;
         listTop = CentreOf(List()).y - List()->GetBoxRect().height / 2;
         listHeight = List()->GetBoxRect().height;
         unscrolled = ListColumn();
         EXPECT_EQ(ScreenAt(kColumn, secondRow.y), Shown(0xFFFFFF)) << "the row's own white";
         EXPECT_EQ(ScreenAt(kColumn, secondRow.y + pitch / 2), Shown(0xE3E8EF)) << "the list shows under the row";
         EXPECT_EQ(ScreenAt(478, secondRow.y), Shown(0xD3DAE3)) << "the thin scroll bar";
         EXPECT_EQ(ActiveTitle(), u"Contacts");
     },
     [] { headless::SoftKey(2); }},
    {"demo_contacts_menu",
     [] {
         HWND list = platform::shell::GetOpenMenuList();
         ASSERT_TRUE(list) << "the right soft key opens its menu";
         RECT r{};
         GetWindowRect(list, &r);
         const RECT key = platform::shell::GetSoftKeyRect(2);
         EXPECT_EQ(r.right, 480) << "over the right soft key";
         EXPECT_EQ(r.bottom, key.top) << "standing on the soft-key bar";
     },
     [] {
         const POINT item = MenuRow(0, kContactsMenuRows);
         headless::Tap(item.x, item.y);
     }},
    {"demo_dialog",
     [] {
         EXPECT_NE(shell->GetRuntime()->FindSceneByName(u"_builtInDialog"), nullptr) << "the menu key asks";
         EXPECT_EQ(Attribute(BoxIn(u"_builtInDialog", u"title"), u"value"), u"Do not disturb");
         EXPECT_EQ(Attribute(BoxIn(u"_builtInDialog", u"confirmLabel"), u"value"), u"Mute");
         EXPECT_EQ(Attribute(BoxIn(u"_builtInDialog", u"cancelButton"), u"hidden"), u"false");
         const POINT mute = CentreOf(BoxIn(u"_builtInDialog", u"confirmButton"));
         EXPECT_EQ(ScreenAt(mute.x - 50, mute.y), Shown(0x2F6FC8)) << "the confirm button's fill";
     },
     [] {
         const POINT mute = CentreOf(BoxIn(u"_builtInDialog", u"confirmButton"));
         headless::Tap(mute.x, mute.y);
     }},
    {"demo_dialog_answer",
     [] {
         EXPECT_EQ(shell->GetRuntime()->FindSceneByName(u"_builtInDialog"), nullptr) << "the button closed it";
         EXPECT_EQ(Attribute(BoxIn(u"contacts", u"status"), u"value"), u"Muted for an hour") << "the answer";
     },
     [] { headless::SoftKey(2); }},
    {nullptr, [] { ASSERT_TRUE(platform::shell::GetOpenMenuList()); },
     [] {
         const POINT item = MenuRow(0, kContactsMenuRows);
         headless::Tap(item.x, item.y);
     }},
    {nullptr, [] { EXPECT_NE(shell->GetRuntime()->FindSceneByName(u"_builtInDialog"), nullptr); },
     [] { headless::Back(); }},
    {nullptr,
     [] {
         EXPECT_EQ(shell->GetRuntime()->FindSceneByName(u"_builtInDialog"), nullptr) << "Back closed the dialog";
         EXPECT_EQ(Attribute(BoxIn(u"contacts", u"status"), u"value"), u"Notifications on") << "Back cancels";
     },
     [] { DragList(600, 400); }},
    {"demo_contacts_scrolled", [] { ExpectScrolledBy(200); }, [] { DragList(300, 700); }},
    {nullptr, [] { ExpectScrolledBy(0); }, // clamped at the top
     [] {
         for (int i = 0; i < 6; ++i)
             DragList(650, 150, 40 + 75 * i);
     }},
    {nullptr,
     [] {
         oxBox* rows = BoxIn(u"contacts", u"rows");
         const int most = rows->GetBoxRect().height - listHeight;
         EXPECT_EQ(most, 40 * pitch - listHeight) << "the rows end under the last one's gap";
         ExpectScrolledBy(most); // clamped at the bottom
         EXPECT_EQ(ScreenAt(kColumn, listTop + listHeight - 2), Shown(0xFFFFFF)) << "the last row";
         EXPECT_EQ(ScreenAt(kColumn, listTop + listHeight - 1), Shown(0xE3E8EF)) << "the gap under it";
     },
     [] {
         for (int i = 0; i < 6; ++i)
             DragList(150, 650, 40 + 75 * i);
         DragList(600, 400);
     }},
    {nullptr,
     [] {
         ExpectScrolledBy(200);
         tappedRow = (secondRow.y - listTop + 200) / pitch;
     },
     [] { headless::Press(secondRow.x, secondRow.y); }},
    {nullptr,
     [] {
         oxBox* row = BoxIn(u"contacts", u"rows")->GetChildAt(tappedRow, false);
         EXPECT_TRUE(row->GetStateFlags() & kStatePressed) << "the row, not a box inside it, is pressed";
         EXPECT_EQ(ScreenAt(kColumn, secondRow.y), Shown(0xDBE7F7)) << "the pressed fill";
     },
     [] { headless::Release(secondRow.x, secondRow.y); }},
    {"demo_conversation",
     [] {
         const std::u16string names[] = {u"Ada",   u"Bram", u"Cleo", u"Dario", u"Esme",
                                         u"Farid", u"Gita", u"Hugo", u"Ines",  u"Jory"};
         const std::string number = std::to_string(tappedRow + 1);
         EXPECT_EQ(Attribute(BoxIn(u"conversation", u"heading"), u"value"),
                   names[tappedRow % 10] + u" " + std::u16string(number.begin(), number.end()))
             << "the contact of the tapped row";
         EXPECT_EQ(ActiveTitle(), Attribute(BoxIn(u"conversation", u"heading"), u"value")) << "the script's title";
         oxBox* messages = BoxIn(u"conversation", u"messages");
         ASSERT_NE(messages, nullptr);
         ASSERT_EQ(messages->GetChildCount(), 4);
         const int bottom = CentreOf(messages).y + messages->GetBoxRect().height / 2;
         int above = 0;
         for (int i = 0; i < 4; ++i) {
             SCOPED_TRACE(i);
             const bool ours = i % 2 == 1;
             oxBox* bubble = messages->GetChildAt(i, false)->GetChildAt(ours ? 1 : 0, false);
             ASSERT_NE(bubble, nullptr);
             const POINT c = CentreOf(bubble);
             const oxRect r = bubble->GetBoxRect();
             const int left = c.x - r.width / 2, top = c.y - r.height / 2;
             // Theirs against the left edge, ours against the right, inside the messages' 12 of padding.
             EXPECT_EQ(ours ? left + r.width : left, ours ? 480 - 12 : 12);
             EXPECT_LE(r.width, 340);
             EXPECT_GT(top, above) << "below the bubble before it";
             EXPECT_LE(top + r.height, bottom) << "on the screen";
             above = top + r.height;
             EXPECT_EQ(ScreenAt(left + 6, c.y), Shown(ours ? 0x2F6FC8 : 0xFFFFFF)) << "the bubble's fill";
         }
     },
     [] { headless::Back(); }},
    {"demo_back_on_list",
     [] {
         EXPECT_EQ(shell->GetRuntime()->FindSceneByName(u"conversation"), nullptr);
         ExpectScrolledBy(200);
         EXPECT_EQ(ScreenAt(kColumn, secondRow.y), Shown(0xFFFFFF)) << "released, the row's own white";
     },
     [] { headless::SoftKey(2); }},
    {nullptr, [] { ASSERT_TRUE(platform::shell::GetOpenMenuList()); },
     [] {
         const POINT item = MenuRow(2, kContactsMenuRows);
         headless::Tap(item.x, item.y);
     }},
    // The last Back, on the sign-in screen, ends the program.
    {nullptr,
     [] {
         EXPECT_EQ(shell->GetRuntime()->GetSceneCount(), 1) << "Sign out closed the list";
         EXPECT_EQ(ActiveTitle(), u"Tandu");
     },
     [] { headless::Back(); }},
};

class DemoScreensTest : public ::testing::TestWithParam<int> {};

TEST_P(DemoScreensTest, TheWalkThroughTheDemoShowsEachScreen) {
    const int bpp = GetParam();
    // The main window's title is the one a second start looks for: the walks of other processes
    // must not find this one's window, nor this one theirs.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tandu-demo-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("TANDU_RUNTIME_DIR", folder.c_str(), 1);
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
    unsetenv("TANDU_RUNTIME_DIR");
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Screens, DemoScreensTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Bpp" + std::to_string(param.param);
                         });

} // namespace
