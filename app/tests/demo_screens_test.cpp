// The program's own start-up, headless on the virtual clock against the demo service, driven through
// the messenger as a person would: a wrong then a right password, the list, a conversation, a sent
// message and its reply, a notification, the dark theme, signing out, and a second start that finds
// the sign-in remembered. Each screen is compared with a golden image at 32 and 16 bits, and facts
// computed from the scenes and the service are checked beside it, so that a golden cannot bless a
// wrong picture.
#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "app/tests/demo_program_environment.h"
#include "app/win_main.h"
#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/shell/notification.h"
#include "platform/shell/registry.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/screen_golden.h"
#include "platform/tests/test_service.h"
#include "platform/win/input.h"
#include "platform/win/screen.h"
#include "platform/win/timer.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/style/style_tables.h"

namespace {

namespace headless = platform::headless;

constexpr RECT kScreen{0, 0, 480, 800};
constexpr int kStepMs = 500;
// A step whose condition does not hold yet looks again after this much virtual time, having given
// the service this much real time (in microseconds) to answer.
constexpr int kRetryMs = 20;
constexpr int kRetryRealUs = 2000;
constexpr int kMostRetries = 5000;
// Once a step's condition holds, pictures still moving (the input panel sliding) come to rest.
constexpr int kSettleRetries = 100;

// One screen of the walk: the condition it waits for, what is checked on it, then the input that
// leads to the next.
struct Step {
    const char* golden; // null: nothing to compare
    bool (*ready)();    // null: ready at once
    void (*check)();
    void (*input)();
};

test::TestService* service = nullptr;
Shell* shell = nullptr;
const Step* walk = nullptr;
size_t walkLength = 0, at = 0;
int retries = 0;
std::string suffix;
UINT_PTR timer = 0;

oxScene* SceneNamed(const WCHAR* name) {
    return shell->GetRuntime()->FindSceneByName(name);
}

oxBox* BoxIn(const WCHAR* sceneName, const WCHAR* id) {
    oxScene* scene = SceneNamed(sceneName);
    return scene ? scene->GetBoxById(oxAtoms::Intern(id), false) : nullptr;
}

std::u16string Attribute(oxBox* box, const WCHAR* name) {
    const WCHAR* text = box ? box->GetAttribute(oxAtoms::Intern(name)) : nullptr;
    return text ? text : u"";
}

std::u16string Value(const WCHAR* sceneName, const WCHAR* id) {
    return Attribute(BoxIn(sceneName, id), u"value");
}

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end()); // ASCII only
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

// The screen rectangle of a box: its frame position in the window's work area.
RECT ScreenRect(oxBox* box) {
    const RECT work = platform::shell::GetWorkArea();
    const oxPoint p = box->GetFramePosition();
    const oxRect r = box->GetBoxRect();
    return RECT{work.left + p.x, work.top + p.y, work.left + p.x + r.width, work.top + p.y + r.height};
}

// Whether any pixel of the box on the screen has one of the colours (as the screen shows them).
bool ShowsAny(oxBox* box, std::initializer_list<uint32_t> colours) {
    if (!box) return false;
    for (uint32_t pixel : headless::ReadScreen(ScreenRect(box)))
        for (uint32_t rgb : colours)
            if ((pixel & 0xFFFFFF) == Shown(rgb)) return true;
    return false;
}

// The sign-in message's colours in the light and the dark theme.
constexpr std::initializer_list<uint32_t> kWarningColours = {0xC0392B, 0xFF7A6B};
constexpr std::initializer_list<uint32_t> kMutedColours = {0x5A6A80, 0x9AA8BA};

POINT CentreOf(oxBox* box) {
    const RECT r = ScreenRect(box);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void TapBox(const WCHAR* sceneName, const WCHAR* id) {
    oxBox* box = BoxIn(sceneName, id);
    ASSERT_NE(box, nullptr) << "no box to tap";
    const POINT c = CentreOf(box);
    headless::Tap(c.x, c.y);
}

void Type(const std::u16string& text) {
    platform::input::Text(text);
}

int RectHeight(const RECT& r) {
    return r.bottom - r.top;
}

bool PanelUp() {
    SIPINFO info{};
    info.cbSize = sizeof info;
    return SHSipInfo(SPI_GETSIPINFO, 0, &info, 0) && (info.fdwFlags & SIPF_ON);
}

// The newest scene fills the work area again once the input panel has gone down.
bool FullHeight() {
    oxRuntime* runtime = shell->GetRuntime();
    oxScene* top = runtime->GetSceneCount() ? runtime->GetSceneAt(runtime->GetSceneCount() - 1) : nullptr;
    return !top || !top->GetRootBox() ||
           top->GetRootBox()->GetBoxRect().height == RectHeight(platform::shell::GetWorkArea());
}

// Typing done, the input panel goes down by its button on the menu bar, so that every picture
// shows the scenes at their full height.
void ClosePanel() {
    const RECT button = platform::shell::GetInputPanelButtonRect();
    headless::Tap((button.left + button.right) / 2, (button.top + button.bottom) / 2);
}

void RunStep(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, timer);
    if (at >= walkLength) return;
    const Step& step = walk[at];
    const bool ready =
        (!step.ready || (step.ready() && retries >= kSettleRetries)) && !(step.golden && (PanelUp() || !FullHeight()));
    if (!ready && ++retries < kMostRetries) {
        usleep(kRetryRealUs);
        timer = SetTimer(nullptr, 0, kRetryMs, RunStep);
        return;
    }
    ++at;
    const std::string name = step.golden ? step.golden : "step " + std::to_string(at);
    SCOPED_TRACE(name);
    EXPECT_LT(retries, kMostRetries) << "the condition never held";
    retries = 0;
    if (step.check) step.check();
    if (step.golden) {
        EXPECT_TRUE(MatchesScreenGolden(kScreen, std::string(step.golden) + suffix));
    }
    timer = SetTimer(nullptr, 0, kStepMs, RunStep);
    step.input(); // may open a modal dialog, whose loop runs the next step
}

// The service's contact: its name, presence and unread count.
struct ServiceContact {
    std::string name, presence;
    int unread = -1;
};

ServiceContact Contact(int id) {
    std::istringstream words(service->Command("contact " + std::to_string(id)));
    ServiceContact c;
    std::string hex;
    words >> hex >> c.presence >> c.unread;
    c.name = test::TestService::Unhex(hex);
    return c;
}

constexpr int kContacts = 16;
constexpr const char* kReply = "See you at nine :)";
POINT secondRow;
int openedContact = 0, bubblesBefore = 0;

oxBox* Rows() {
    return BoxIn(u"contacts", u"rows");
}

int Bubbles() {
    oxBox* messages = BoxIn(u"conversation", u"messages");
    return messages ? messages->GetChildCount() : -1;
}

bool ConversationLoaded() {
    return Bubbles() > 0 && Value(u"conversation", u"status") != u"";
}

// The stored value of the sign-in's storage, as the registry holds it.
std::pair<DWORD, std::vector<BYTE>> Stored(const WCHAR* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kestrum\\XKeyValueStorage\\mobileTandu", 0, KEY_READ, &key) != 0)
        return {REG_NONE, {}};
    DWORD type = REG_NONE, size = 0;
    std::vector<BYTE> data;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == 0) {
        data.resize(size);
        RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    }
    RegCloseKey(key);
    return {type, data};
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

// The contacts' soft-key menu: "Light theme", "Dark theme", a separator, "Sign out".
constexpr int kContactsMenuRows = 4;

void TapMenuRow(int row) {
    const POINT item = MenuRow(row, kContactsMenuRows);
    headless::Tap(item.x, item.y);
}

void Erase(int count) {
    for (int i = 0; i < count; ++i)
        headless::Key(VK_BACK);
}

const Step kFirstRun[] = {
    {"messenger_sign_in", nullptr,
     [] {
         EXPECT_EQ(Value(u"main", u"login"), u"") << "nothing remembered on a first start";
         EXPECT_EQ(Attribute(BoxIn(u"main", u"tick"), u"topIndex"), u"0");
         const POINT button = CentreOf(BoxIn(u"main", u"signIn"));
         EXPECT_EQ(ScreenAt(button.x - 150, button.y), Shown(0x2F6FC8)) << "the button's fill";
         EXPECT_EQ(ActiveTitle(), u"Tandu") << "the window takes the scene's title";
     },
     [] {
         TapBox(u"main", u"login");
         Type(u"ann");
         TapBox(u"main", u"password");
         Type(u"wrong");
         TapBox(u"main", u"remember");
         TapBox(u"main", u"signIn");
     }},
    // No picture here: the input panel has only just come up, and its first frame differs by build.
    {nullptr, [] { return Value(u"main", u"message") != u"Signing in\u2026"; },
     [] {
         EXPECT_EQ(Value(u"main", u"message"), u"The name or the password is wrong.");
         EXPECT_TRUE(ShowsAny(BoxIn(u"main", u"message"), kWarningColours)) << "a fault is said in the warning colour";
         EXPECT_EQ(Value(u"main", u"login"), u"ann");
         EXPECT_EQ(Value(u"main", u"password"), u"wrong");
         EXPECT_EQ(Attribute(BoxIn(u"main", u"tick"), u"topIndex"), u"1") << "the tap ticked Remember me";
         EXPECT_EQ(SceneNamed(u"contacts"), nullptr);
     },
     [] {
         TapBox(u"main", u"password");
         Erase(5);
         Type(u"weft");
         ClosePanel();
         headless::SoftKey(1);
     }},
    {"messenger_contacts",
     [] {
         return Rows() && Rows()->GetChildCount() == kContacts &&
                Value(u"contacts", u"status").find(u"·") != std::u16string::npos;
     },
     [] {
         EXPECT_EQ(Value(u"contacts", u"status"), u"Ann Berg \u00b7 16 contacts");
         // The rows show the service's contacts, in its order, with its presence and unread counts.
         for (int i = 0; i < kContacts; ++i) {
             SCOPED_TRACE(i);
             const ServiceContact c = Contact(i + 1);
             oxBox* row = Rows()->GetChildAt(i, false);
             ASSERT_NE(row, nullptr);
             EXPECT_EQ(Attribute(row, u"contact"), Wide(std::to_string(i + 1)));
             oxBox* words = row->GetChildAt(1, false);
             EXPECT_EQ(Attribute(words->GetChildAt(0, false), u"value"), Wide(c.name));
             std::u16string presence = Wide(c.presence);
             presence[0] = char16_t(toupper(presence[0]));
             EXPECT_EQ(Attribute(words->GetChildAt(1, false), u"value"), presence);
             oxBox* badge = row->GetChildAt(2, false);
             EXPECT_EQ(Attribute(badge, u"hidden"), c.unread > 0 ? u"false" : u"true");
             if (c.unread > 0) {
                 EXPECT_EQ(Attribute(badge->GetChildAt(0, false), u"value"), Wide(std::to_string(c.unread)));
             }
         }
         secondRow = CentreOf(Rows()->GetChildAt(1, false));
         EXPECT_EQ(ScreenAt(300, secondRow.y), Shown(0xFFFFFF)) << "the row's own white";
     },
     [] {
         headless::Drag(POINT{300, 600}, POINT{300, 400}, 5);
     }},
    {"messenger_contacts_scrolled", nullptr,
     [] {
         oxBox* list = BoxIn(u"contacts", u"list");
         EXPECT_EQ(list->GetScrollY(), 200);
         // The row under the old second row's place is the one 200 pixels further down.
         const int pitch = CentreOf(Rows()->GetChildAt(1, false)).y - CentreOf(Rows()->GetChildAt(0, false)).y;
         openedContact = 2 + (200 + pitch / 2) / pitch;
     },
     [] { headless::Tap(secondRow.x, secondRow.y); }},
    {"messenger_conversation", ConversationLoaded,
     [] {
         EXPECT_EQ(Value(u"conversation", u"heading"), Wide(Contact(openedContact).name)) << "the tapped row's contact";
         EXPECT_EQ(Bubbles(), 1 + openedContact % 3) << "the contact's messages from the service";
         EXPECT_EQ(Contact(openedContact).unread, 0) << "reading the conversation read its messages";
         bubblesBefore = Bubbles();
         // The text size slider stands at 15 of 13..21 with a thumb of 2: a fifth of the track long,
         // a quarter of the rest along; moving it sizes the words of every bubble.
         oxBox* slider = BoxIn(u"conversation", u"textSize");
         ASSERT_TRUE(slider && slider->GetFirstChild(false));
         const oxRect track = slider->GetBoxRect(), thumb = slider->GetFirstChild(false)->GetBoxRect();
         EXPECT_EQ(thumb.width, track.width / 5);
         EXPECT_EQ(thumb.x, (track.width - thumb.width) / 4);
         oxBox* words = BoxIn(u"conversation", u"messages")->GetFirstChild(false)->GetFirstChild(false);
         ASSERT_TRUE(words && words->GetFirstChild(false));
         slider->SetAttribute(kAtomValue, u"21", true, false);
         WCHAR* size = words->GetFirstChild(false)->GetStyleString(kStyle_fontSize);
         EXPECT_EQ(std::u16string(size ? size : u""), u"21");
         free(size);
         slider->SetAttribute(kAtomValue, u"15", true, false);
     },
     [] {
         TapBox(u"conversation", u"draft");
         Type(Wide(kReply));
         ClosePanel();
         headless::SoftKey(2);
     }},
    // No pictures while the conversation's window follows the input panel going down: it may keep
    // the panel's height for a while.
    {nullptr, [] { return Bubbles() == bubblesBefore + 2; },
     [] {
         EXPECT_EQ(test::TestService::Unhex(service->Command("sent")), kReply) << "the sent text is on the server";
         EXPECT_EQ(Value(u"conversation", u"draft"), u"") << "sent, the box is empty";
         oxBox* messages = BoxIn(u"conversation", u"messages");
         oxBox* ours = messages->GetChildAt(bubblesBefore, false);
         EXPECT_EQ(Attribute(ours->GetChildAt(1, false)->GetChildAt(0, false), u"value"),
                   u"See you at nine <img src=\"pictures/smile.png\" alt=\"smile\" width=\"20\" height=\"20\">");
         const RECT bubble = ScreenRect(ours->GetChildAt(1, false));
         EXPECT_EQ(bubble.right, 480 - 12) << "ours against the right edge";
         EXPECT_EQ(ScreenAt(bubble.left + 6, (bubble.top + bubble.bottom) / 2), Shown(0x2F6FC8));
     },
     [] {
         TapBox(u"conversation", u"heading"); // out of the message box, whose Escape is its own
         headless::Back();
     }},
    {nullptr, [] { return SceneNamed(u"conversation") == nullptr; }, nullptr,
     [] { service->Command("say 3 " + test::TestService::Hex("Are you coming tonight?")); }},
    {"messenger_notification", [] { return platform::shell::GetBubbleWindow() != nullptr; },
     [] {
         EXPECT_NE(platform::shell::GetBubbleWindow(), nullptr) << "the bubble stays over the list";
         EXPECT_EQ(Attribute(Rows()->GetChildAt(2, false)->GetChildAt(2, false), u"hidden"), u"false")
             << "Cleo's badge counts the new message";
     },
     [] { headless::SoftKey(1); }},
    {"messenger_conversation_from_notification",
     [] { return ConversationLoaded() && Value(u"conversation", u"heading") == Wide(Contact(3).name); },
     [] {
         EXPECT_EQ(platform::shell::GetBubbleWindow(), nullptr) << "the bubble went with its answer";
         oxBox* messages = BoxIn(u"conversation", u"messages");
         oxBox* last = messages->GetChildAt(messages->GetChildCount() - 1, false);
         EXPECT_EQ(Attribute(last->GetChildAt(0, false)->GetChildAt(0, false), u"value"), u"Are you coming tonight?");
     },
     [] { headless::Back(); }},
    {nullptr, [] { return SceneNamed(u"conversation") == nullptr; }, nullptr, [] { headless::SoftKey(2); }},
    {"messenger_menu", [] { return platform::shell::GetOpenMenuList() != nullptr; },
     [] {
         RECT r{};
         GetWindowRect(platform::shell::GetOpenMenuList(), &r);
         EXPECT_EQ(r.right, 480) << "over the right soft key";
         EXPECT_EQ(r.bottom, platform::shell::GetSoftKeyRect(2).top) << "standing on the soft-key bar";
         EXPECT_EQ(ActiveTitle(), u"Contacts");
     },
     [] { TapMenuRow(1); }},
    {"messenger_dark", nullptr,
     [] {
         EXPECT_EQ(platform::shell::GetOpenMenuList(), nullptr) << "the choice closed the menu";
         EXPECT_EQ(ScreenAt(300, secondRow.y), Shown(0x222A35)) << "a row in the dark theme's card colour";
         const POINT header = CentreOf(BoxIn(u"contacts", u"header"));
         EXPECT_EQ(ScreenAt(470, header.y), Shown(0x4A8AE0)) << "the dark accent";
     },
     [] {
         headless::SoftKey(2);
         // The menu's last item signs out.
     }},
    {nullptr, [] { return platform::shell::GetOpenMenuList() != nullptr; }, nullptr, [] { TapMenuRow(3); }},
    {nullptr, [] { return SceneNamed(u"contacts") == nullptr; },
     [] {
         EXPECT_EQ(Value(u"main", u"message"), u"Signed out.");
         EXPECT_FALSE(ShowsAny(BoxIn(u"main", u"message"), kWarningColours)) << "signing out is no fault";
         EXPECT_TRUE(ShowsAny(BoxIn(u"main", u"message"), kMutedColours));
         EXPECT_EQ(ActiveTitle(), u"Tandu");
         const auto [nameType, name] = Stored(u"loginId");
         EXPECT_EQ(nameType, REG_SZ);
         EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name.data()), 3), u"ann");
         const auto [secretType, secret] = Stored(u"password");
         EXPECT_EQ(secretType, REG_BINARY) << "the password is kept as a protected stream";
         EXPECT_EQ(std::string(secret.begin(), secret.end()).find("weft"), std::string::npos) << "not in the clear";
     },
     [] { headless::SoftKey(2); }}, // Quit
};

// The second start finds the name and the password filled in.
const Step kSecondRun[] = {
    {"messenger_remembered", nullptr,
     [] {
         EXPECT_EQ(Value(u"main", u"login"), u"ann");
         EXPECT_EQ(Value(u"main", u"password"), u"weft");
         EXPECT_EQ(Attribute(BoxIn(u"main", u"tick"), u"topIndex"), u"1");
     },
     [] { headless::Back(); }}, // nothing has the focus yet: Back leaves
};

void SetValue(const WCHAR* id, const WCHAR* value) {
    BoxIn(u"main", id)->SetAttribute(oxAtoms::Intern(u"value"), value, true, false);
}

std::string serviceLogin, refusedLogin;

// A third start: the service down, then the account that is asked a question first.
const Step kTroubleRun[] = {
    {nullptr, nullptr, nullptr,
     [] {
         setenv("TANDU_LOGIN_URL", refusedLogin.c_str(), 1);
         SetValue(u"login", u"ben");
         SetValue(u"password", u"warp");
         headless::SoftKey(1);
     }},
    {"messenger_service_down", [] { return Value(u"main", u"message") != u"Signing in\u2026"; },
     [] {
         EXPECT_EQ(Value(u"main", u"message"), u"The service cannot be reached. Is it running?");
         EXPECT_EQ(SceneNamed(u"contacts"), nullptr);
     },
     [] {
         setenv("TANDU_LOGIN_URL", serviceLogin.c_str(), 1);
         headless::SoftKey(1);
     }},
    {"messenger_question", [] { return Value(u"main", u"message") != u"Signing in\u2026"; },
     [] {
         EXPECT_EQ(Value(u"main", u"message"), u"One more question.");
         EXPECT_EQ(Value(u"main", u"question"), u"What was your first cat called?");
         EXPECT_EQ(Attribute(BoxIn(u"main", u"answerEdge"), u"collapsed"), u"false") << "the answer box shows";
     },
     [] {
         SetValue(u"answer", u"Tabby");
         headless::SoftKey(1);
     }},
    {nullptr, [] { return Rows() && Rows()->GetChildCount() == kContacts; },
     [] {
         EXPECT_EQ(Value(u"contacts", u"status").substr(0, 10), u"Ben Okafor");
         EXPECT_EQ(Attribute(BoxIn(u"main", u"answerEdge"), u"collapsed"), u"true") << "the question went";
     },
     [] { headless::SoftKey(1); }}, // sign out
    {nullptr, [] { return SceneNamed(u"contacts") == nullptr; }, nullptr, [] { headless::SoftKey(2); }},
};

// A right-to-left start: the window is mirrored, so a box shows as far from the work area's right
// edge as its frame position is from the left, and taps land on what shows under them.
RECT MirroredScreenRect(oxBox* box) {
    const RECT work = platform::shell::GetWorkArea();
    const oxPoint p = box->GetFramePosition();
    const oxRect r = box->GetBoxRect();
    return RECT{work.right - p.x - r.width, work.top + p.y, work.right - p.x, work.top + p.y + r.height};
}

const Step kRightToLeftRun[] = {
    {"messenger_sign_in_rtl", nullptr,
     [] {
         ASSERT_TRUE(SceneNamed(u"main")->IsRightToLeft());
         const RECT button = MirroredScreenRect(BoxIn(u"main", u"signIn"));
         const int y = (button.top + button.bottom) / 2;
         EXPECT_EQ(ScreenAt(button.left + 2, y), Shown(0x2F6FC8)) << "the button's fill where it shows";
         // The tick stands at the start of its line: on the right.
         const RECT tick = MirroredScreenRect(BoxIn(u"main", u"tick"));
         EXPECT_GT(tick.left, 400);
         // Text reads the right way round: the stem of the label's "R" is its leftmost ink, taller
         // than the round end of its last "e".
         const RECT label = MirroredScreenRect(BoxIn(u"main", u"rememberLabel"));
         EXPECT_LT(label.right, tick.left);
         const std::vector<uint32_t> px = headless::ReadScreen(label);
         const int lw = label.right - label.left, lh = label.bottom - label.top;
         auto inkIn = [&](int x) {
             int n = 0;
             for (int row = 0; row < lh; ++row)
                 n += (px[size_t(row) * lw + x] & 0xFFFFFF) == Shown(0x203048);
             return n;
         };
         int first = 0, last = lw - 1;
         while (first < lw && !inkIn(first))
             ++first;
         while (last > first && !inkIn(last))
             --last;
         ASSERT_LT(first, last);
         EXPECT_GT(inkIn(first), inkIn(last) + 3);
         // The button's shadow reaches under its round bottom corners, as dark there as beside them.
         for (const int x : {int(button.left), int(button.right) - 1}) {
             const uint32_t corner = ScreenAt(x, button.bottom - 1);
             const uint32_t beside = ScreenAt(x == button.left ? x - 1 : x + 1, button.bottom - 1);
             EXPECT_NE(corner, Shown(0xF4F6FA)) << x;
             for (int c = 0; c < 24; c += 8)
                 EXPECT_NEAR(int((corner >> c) & 0xFF), int((beside >> c) & 0xFF), 10) << x;
         }
         // The hint wraps; its short last line starts at the right, where the first one does.
         const RECT hint = MirroredScreenRect(BoxIn(u"main", u"hint"));
         const std::vector<uint32_t> hintPx = headless::ReadScreen(hint);
         const int hw = hint.right - hint.left, hh = hint.bottom - hint.top;
         auto inkAt = [&](int x, int row) { return (hintPx[size_t(row) * hw + x] & 0xFFFFFF) != Shown(0xF4F6FA); };
         auto rowsInk = [&](int from, int to, int* left, int* right) {
             *left = hw, *right = -1;
             for (int row = from; row < to; ++row)
                 for (int x = 0; x < hw; ++x)
                     if (inkAt(x, row)) *left = std::min(*left, x), *right = std::max(*right, x);
         };
         int topLeft, topRight, lastLeft, lastRight;
         rowsInk(0, hh / 2, &topLeft, &topRight);
         rowsInk(hh / 2, hh, &lastLeft, &lastRight);
         ASSERT_LE(lastLeft, lastRight) << "two lines";
         EXPECT_GT(lastLeft, hw / 2) << "a short last line";
         EXPECT_NEAR(lastRight, topRight, 2) << "both lines end at the right";
         EXPECT_EQ(ActiveTitle(), u"Tandu");
     },
     [] {
         const RECT tick = MirroredScreenRect(BoxIn(u"main", u"tick"));
         headless::Tap((tick.left + tick.right) / 2, (tick.top + tick.bottom) / 2);
     }},
    {nullptr, [] { return Attribute(BoxIn(u"main", u"tick"), u"topIndex") == u"1"; },
     [] { EXPECT_EQ(Value(u"main", u"login"), u""); }, [] { headless::SoftKey(2); }},
};

void RunWalk(const Step* steps, size_t length) {
    walk = steps;
    walkLength = length;
    at = 0;
    retries = 0;
    app::SetSceneDriver([](Shell* s) {
        shell = s;
        timer = SetTimer(nullptr, 0, kStepMs, RunStep);
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(at, walkLength) << "the last scene closing ended the program after the whole walk";
    app::SetSceneDriver(nullptr);
    shell = nullptr;
    platform::shell::ResetNotifications();
    platform::shell::ResetShell();
}

class DemoScreensTest : public ::testing::TestWithParam<int> {};

TEST_P(DemoScreensTest, TheWalkThroughTheMessengerShowsEachScreen) {
    test::TestService demo(DEMO_SERVICE_SCRIPT, {"--control", "--reply-delay", "0"});
    ASSERT_TRUE(demo.HttpsReady());
    service = &demo;
    test::DemoProgramEnvironment environment(demo);
    ASSERT_TRUE(environment.Ok());
    const int bpp = GetParam();
    ASSERT_TRUE(ConfigureScreen(ScreenConfig{480, 800, bpp, false, 192}));
    SetCaretBlinkTime(0); // a steady caret, the same in every picture
    headless::UseVirtualClock(0);
    suffix = bpp == 16 ? "_16" : "";

    // Nothing is kept by the right-to-left start, which only ticks "Remember me" and quits.
    app::SetSceneSetup([](Shell* s) { s->GetRuntime()->SetDirection(kAtomRtl); });
    RunWalk(kRightToLeftRun, std::size(kRightToLeftRun));
    app::SetSceneSetup(nullptr);
    platform::registry::CloseDatabase();
    RunWalk(kFirstRun, std::size(kFirstRun));
    platform::registry::CloseDatabase(); // the next start opens it again, as a new process would
    RunWalk(kSecondRun, std::size(kSecondRun));
    serviceLogin = demo.Https("/auth/");
    refusedLogin = "https://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/auth/";
    platform::registry::CloseDatabase();
    RunWalk(kTroubleRun, std::size(kTroubleRun));

    platform::registry::CloseDatabase();
    headless::UseRealClock();
    ConfigureScreen(ScreenConfigFromEnvironment());
    service = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Screens, DemoScreensTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Bpp" + std::to_string(param.param);
                         });

} // namespace
