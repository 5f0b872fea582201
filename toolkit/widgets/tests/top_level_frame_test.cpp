#include "toolkit/widgets/top_level_frame.h"

#include "platform/backend/headless_input.h"
#include "platform/shell/input_panel.h"
#include "platform/shell/menu_bar.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "toolkit/widgets/tests/input_test_scene.h"

namespace {

using platform::headless::RunUntilIdle;
using Lines = std::vector<std::string>;

// A main scene and, for the dialog cases, a dialog scene over it.
class TopLevelFrameTest : public test::InputFixture {
protected:
    void SetUp() override {
        test::InputFixture::SetUp();
        main = Open();
    }
    test::InputScene* main = nullptr;
    test::InputScene* dialog = nullptr;
};

TEST_F(TopLevelFrameTest, TheInputPanelShrinksTheWindowAndTheSceneLaysOutAgain) {
    HWND w = main->frame->GetWindow();
    ASSERT_EQ(main->looks[main->root].height, 268);
    const int layouts = main->layouts;
    const RECT button = platform::shell::GetInputPanelButtonRect();
    platform::headless::Tap(button.left + 2, button.top + 2);
    RunUntilIdle();
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.bottom, 294 - 80) << "the window ends where the panel begins";
    EXPECT_EQ(main->looks[main->root].height, 294 - 80 - 26) << "the box took the window's new size";
    EXPECT_GT(main->layouts, layouts);
    EXPECT_EQ(GetActiveWindow(), w);
    // Down again, the window reaches the menu bar once more.
    platform::headless::Tap(button.left + 2, button.top + 2);
    RunUntilIdle();
    GetWindowRect(w, &r);
    EXPECT_EQ(r.bottom, 294);
    EXPECT_EQ(main->looks[main->root].height, 268);
}

TEST_F(TopLevelFrameTest, BackClosesADialogWhoseModalLoopThenReturns) {
    dialog = Open();
    ASSERT_EQ(GetActiveWindow(), dialog->frame->GetWindow());
    // The dialog binds Escape, which is what Back becomes, to closing itself.
    dialog->bindings[VK_ESCAPE].run = [&](oxCommandEvent*) { dialog->Close(false); };
    dialog->onClose = [&] { dialog->frame->EndModal(); };
    // Input arrives while the loop runs: a tap, a soft key, then Back.
    static std::function<void()> arrive;
    int step = 0;
    arrive = [&] {
        if (step == 0) platform::headless::Tap(50, 50);
        if (step == 1) platform::headless::SoftKey(1);
        if (step == 2) platform::headless::Back();
        ++step;
    };
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) { arrive(); });
    dialog->frame->RunModalLoop();
    EXPECT_TRUE(dialog->closed);
    EXPECT_FALSE(dialog->frame->IsModal());
    EXPECT_EQ(step, 3);
    EXPECT_EQ(dialog->LogWithout({"mouse", "click", "key", "focus", "blur"}),
              (Lines{"root menuCommand 10001", "scene close", "root command"}));
    EXPECT_EQ(main->LogWithout({"activated", "deactivated"}), Lines{}) << "the main scene saw none of it";
}

TEST_F(TopLevelFrameTest, AQuitMessageEndsTheModalLoopAndTheLoopOutsideIt) {
    PostQuitMessage(3);
    main->frame->RunModalLoop();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's own loop still ends";
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(TopLevelFrameTest, ActivationMovesBetweenWindowsAndKeepsTheFocusForLater) {
    test::LogBox* a = main->Add(main->root, "a", {10, 10, 50, 30});
    a->SetFocusMode(kModeFocusNormal);
    main->SetFocusedBox(a);
    main->log.clear();
    dialog = Open();
    EXPECT_EQ(main->Log(), (Lines{"a blur", "root deactivated"}));
    EXPECT_EQ(main->focused, nullptr);
    EXPECT_TRUE(IsWindowVisible(SHFindMenuBar(dialog->frame->GetWindow())));
    EXPECT_FALSE(IsWindowVisible(SHFindMenuBar(main->frame->GetWindow()))) << "only the active window's bar shows";
    main->frame->BringToFront();
    EXPECT_EQ(main->focused, a) << "the focus comes back with the activation";
    EXPECT_TRUE(main->root->GetStateFlags() & kStateActive);
}

TEST_F(TopLevelFrameTest, TheCancelButtonMinimisesInsteadOfClosing) {
    platform::headless::Tap(235, 10);
    RunUntilIdle();
    EXPECT_FALSE(main->closed);
    EXPECT_TRUE(main->root->GetStateFlags() & kStateMinimized);
}

TEST_F(TopLevelFrameTest, FullScreenTakesTheWholeScreenAndGivesBackTheWorkArea) {
    main->frame->SetFullScreen(true);
    RECT r;
    GetWindowRect(main->frame->GetWindow(), &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(platform::shell::GetWorkArea().top, 0);
    main->frame->SetFullScreen(false);
    EXPECT_EQ(platform::shell::GetWorkArea().top, 26);
}

} // namespace
