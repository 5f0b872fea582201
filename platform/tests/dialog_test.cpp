// Modal dialogs from a module's templates and message boxes, run on the headless screen and
// answered through its input from inside their loops.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/tests/modal_answerer.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/resources.h"
#include "platform/win/sys_color.h"
#include "platform/win/window.h"

namespace {

using platform::resources::DialogItemResource;
using platform::resources::DialogResource;
using test::ModalAnswerer;

// A module of the test's own: any address stands for a library's handle.
char moduleImage;
HMODULE const kModule = reinterpret_cast<HMODULE>(&moduleImage);

const platform::resources::StringResource kStrings[] = {{7, u"модуль"}};
const DialogItemResource kItems[] = {
    {u"STATIC", u"Текст", 0xFFFF, SS_LEFT, 7, 26, 142, 8},
    {u"BUTTON", u"Да", 1000, BS_DEFPUSHBUTTON | WS_TABSTOP, 18, 53, 58, 17},
    {u"BUTTON", u"Нет", 1001, BS_PUSHBUTTON | WS_TABSTOP, 80, 53, 58, 17},
};
const DialogResource kDialogs[] = {
    {103, DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, u"Заголовок", u"MS Shell Dlg", 8, 160, 90,
     kItems, int(std::size(kItems))},
};
const platform::resources::ModuleResources kResources = {kStrings, 1, kDialogs, 1};

// Ends the dialog with the id of the command, and notes what it was given at its start.
struct Seen {
    LPARAM param = 0;
    bool visibleAtStart = true;
    bool ownerEnabledAtStart = true;
};
Seen seen;
HWND owner = nullptr;

INT_PTR EndWithCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        seen.param = lParam;
        seen.visibleAtStart = IsWindowVisible(dialog);
        seen.ownerEnabledAtStart = owner && IsWindowEnabled(owner);
        return 0;
    }
    if (message != WM_COMMAND) return 0;
    EndDialog(dialog, LOWORD(wParam));
    return 1;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::headless::UseVirtualClock(0);
        platform::resources::SetModuleResources(kModule, &kResources);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"DialogTestOwner";
        RegisterClassW(&wc);
        owner = CreateWindowExW(0, wc.lpszClassName, u"", WS_POPUP, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
        ShowWindow(owner, SW_SHOW);
        seen = {};
    }
    void TearDown() override {
        DestroyWindow(owner);
        owner = nullptr;
        platform::resources::SetModuleResources(kModule, nullptr);
        platform::headless::RunUntilIdle();
        platform::headless::UseRealClock();
    }

    static INT_PTR Run() { return DialogBoxParamW(kModule, MAKEINTRESOURCEW(103), owner, EndWithCommand, 42); }
};

TEST_F(DialogTest, AnsweredThroughTheScreenTheDialogEndsWithWhatItsProcedureSays) {
    struct Case {
        const char* what;
        std::function<void(HWND)> act;
        INT_PTR result;
    };
    const Case cases[] = {
        {"a tap on a button", ModalAnswerer::Tap(1001), 1001},
        {"Enter presses the default button", [](HWND) { platform::headless::Key(VK_RETURN); }, 1000},
        {"Escape cancels", [](HWND) { platform::headless::Key(VK_ESCAPE); }, IDCANCEL},
        {"the Back key cancels", [](HWND) { platform::headless::Back(); }, IDCANCEL},
        {"the close box cancels",
         [](HWND dialog) {
             RECT r{};
             GetWindowRect(dialog, &r);
             platform::headless::Tap(r.right - 4, r.top + 4);
         },
         IDCANCEL},
        {"WM_CLOSE cancels", [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }, IDCANCEL},
        {"a press dragged off the button clicks nothing, then a tap",
         [](HWND dialog) {
             const POINT yes = ModalAnswerer::CentreOf(GetDlgItem(dialog, 1000));
             const POINT no = ModalAnswerer::CentreOf(GetDlgItem(dialog, 1001));
             platform::headless::Drag(yes, no, 4);
             platform::headless::Tap(no.x, no.y);
         },
         1001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModalAnswerer answerer(c.act);
        EXPECT_EQ(Run(), c.result);
        ASSERT_EQ(answerer.shown.size(), 1u);
        EXPECT_EQ(answerer.shown[0].caption, u"Заголовок");
        EXPECT_EQ(answerer.shown[0].text, u"Текст");
        EXPECT_EQ(seen.param, 42);
        EXPECT_FALSE(seen.visibleAtStart) << "WM_INITDIALOG comes before the dialog shows";
        EXPECT_FALSE(seen.ownerEnabledAtStart) << "the owner is disabled while the dialog runs";
        EXPECT_TRUE(IsWindowEnabled(owner));
        EXPECT_EQ(GetActiveWindow(), owner);
    }
}

// The template's dialog units follow the font: the controls keep their order and proportions and
// lie inside the dialog, below its caption strip, whose colour is the caption's.
TEST_F(DialogTest, TheLayoutFollowsTheTemplatesDialogUnits) {
    RECT dialog{}, text{}, yes{}, no{};
    ModalAnswerer answerer([&](HWND d) {
        GetWindowRect(d, &dialog);
        GetWindowRect(GetDlgItem(d, 0xFFFF), &text);
        GetWindowRect(GetDlgItem(d, 1000), &yes);
        GetWindowRect(GetDlgItem(d, 1001), &no);
        platform::headless::RunUntilIdle(); // painted
        const std::vector<uint32_t> corner =
            platform::headless::ReadScreen(RECT{dialog.left + 2, dialog.top + 2, dialog.left + 3, dialog.top + 3});
        const COLORREF caption = GetSysColor(COLOR_ACTIVECAPTION);
        EXPECT_EQ(corner[0], (uint32_t(GetRValue(caption)) << 16) | (GetGValue(caption) << 8) | GetBValue(caption));
        PostMessageW(d, WM_COMMAND, 1000, 0);
    });
    EXPECT_EQ(Run(), 1000);
    const auto width = [](const RECT& r) { return r.right - r.left; };
    const auto height = [](const RECT& r) { return r.bottom - r.top; };
    EXPECT_EQ(width(yes), width(no));
    EXPECT_EQ(height(yes), height(no));
    EXPECT_EQ(yes.top, no.top);
    EXPECT_LT(yes.right, no.left);
    EXPECT_LT(text.bottom, yes.top);
    EXPECT_NEAR(double(width(text)) / width(yes), 142.0 / 58, 0.1);
    // 160 units across: the text's left edge is 7 of them in, the dialog 160 wide.
    EXPECT_NEAR(double(text.left - dialog.left) / width(dialog), 7.0 / 160, 0.02);
    EXPECT_GT(text.top - dialog.top, 0);
    EXPECT_LE(no.right, dialog.right);
    EXPECT_LE(yes.bottom, dialog.bottom);
    EXPECT_LE(text.right, dialog.right) << "the template fits the screen whole";
    EXPECT_GE(dialog.left, 0);
    EXPECT_LE(dialog.right, 480);
}

TEST_F(DialogTest, AMissingTemplateOrAQuitMessageEndsWithoutAnAnswer) {
    EXPECT_EQ(DialogBoxParamW(kModule, MAKEINTRESOURCEW(104), owner, EndWithCommand, 0), -1);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(103), owner, EndWithCommand, 0), -1);
    ModalAnswerer answerer([](HWND) { PostQuitMessage(3); });
    EXPECT_EQ(Run(), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is left for the loops outside";
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(EndDialog(owner, 1)) << "not a dialog";
}

TEST_F(DialogTest, StringsLoadFromTheModuleGivenElseFromTheProgram) {
    WCHAR text[16];
    EXPECT_EQ(LoadStringW(kModule, 7, text, 16), 6);
    EXPECT_EQ(std::u16string(text), u"модуль");
    EXPECT_EQ(LoadStringW(kModule, 8, text, 16), 0);
    EXPECT_EQ(LoadStringW(kModule, 7, text, 3), 2) << "cut to the buffer";
    EXPECT_EQ(std::u16string(text), u"мо");
    platform::resources::SetModuleResources(kModule, nullptr);
    EXPECT_EQ(LoadStringW(kModule, 7, text, 16), 0) << "taken back with the module";
}

TEST_F(DialogTest, AMessageBoxShowsItsTextAndAnswersOkHoweverItCloses) {
    const std::function<void(HWND)> ways[] = {
        ModalAnswerer::Tap(IDOK),
        [](HWND) { platform::headless::Key(VK_RETURN); },
        [](HWND) { platform::headless::Key(VK_ESCAPE); },
        [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); },
    };
    for (const auto& way : ways) {
        ModalAnswerer answerer(way);
        EXPECT_EQ(MessageBoxW(owner, u"Первая строка\n\nи дальше", u"Заголовок", MB_OK), IDOK);
        ASSERT_EQ(answerer.shown.size(), 1u);
        EXPECT_EQ(answerer.shown[0].caption, u"Заголовок");
        EXPECT_EQ(answerer.shown[0].text, u"Первая строка\n\nи дальше");
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
}

// The box grows with its text, line breaks included, and stays on the screen when the text
// would not fit.
TEST_F(DialogTest, AMessageBoxGrowsWithItsTextWithinTheScreen) {
    auto heightFor = [](const std::u16string& text) {
        LONG height = 0;
        ModalAnswerer answerer([&](HWND box) {
            RECT r{};
            GetWindowRect(box, &r);
            height = r.bottom - r.top;
            EXPECT_GE(r.top, 0);
            EXPECT_LE(r.bottom, 800);
            PostMessageW(box, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(MessageBoxW(nullptr, text.c_str(), u"", MB_OK), IDOK);
        return height;
    };
    const LONG one = heightFor(u"одна строка");
    EXPECT_GT(heightFor(u"одна\n\nи ещё"), one);
    std::u16string many;
    for (int i = 0; i < 500; ++i)
        many += u"строка\n";
    EXPECT_LE(heightFor(many), 800);
    EXPECT_EQ(MessageBoxW(nullptr, u"?", u"", 0x4 /* yes and no */), 0) << "only OK boxes are made";
}

} // namespace
