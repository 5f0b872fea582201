#include "app/win_main.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/tests/program_run.h"
#include "platform/backend/headless.h"
#include "platform/shell/registry.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace {

std::vector<std::string> steps;

class WinMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("tandu-main-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("TANDU_RUNTIME_DIR", folder.c_str(), 1);
        // The program's stored values go in the test's folder, not the user's.
        platform::registry::CloseDatabase();
        setenv("TANDU_REGISTRY", (folder / "registry.sqlite3").c_str(), 1);
        steps.clear();
        app::SetStepLog([](const char* step) { steps.push_back(step); });
    }
    void TearDown() override {
        app::SetStepLog(nullptr);
        app::SetRunBound(0);
        unsetenv("TANDU_RUNTIME_DIR");
        platform::registry::CloseDatabase();
        unsetenv("TANDU_REGISTRY");
        std::filesystem::remove_all(folder);
    }

    // Runs the program with `environment` added; its exit status, or -1 when it did not end in time.
    static int RunProgram(const std::vector<std::string>& environment, int boundMs,
                          const char* program = TANDU_PROGRAM) {
        return program_test::RunProgram(environment, boundMs, program).status;
    }

    std::filesystem::path folder;
};

TEST_F(WinMainTest, StartsOpensTheFirstSceneAndTearsDownInOrder) {
    platform::headless::UseVirtualClock(0);
    app::SetRunBound(5); // the first scene closes after five seconds of the virtual clock
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    const std::vector<std::string> expected = {
        "runtime",         "toolkit", "listener", "host objects", "scene", "loop ended", "host objects released",
        "toolkit stopped", "exit"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(oxApplication::GetStartCount(), 0);
    EXPECT_GE(GetTickCount(), 5000u);
    platform::headless::UseRealClock();
    // The quit message ended that loop and is not left for the next.
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

// A run bound reached while a list is open over the first scene and a modal dialog over the list
// closes the dialog first, then the rest, and the program ends.
TEST_F(WinMainTest, TheRunBoundClosesEveryOpenSceneTheLastOpenedFirst) {
    platform::headless::UseVirtualClock(0);
    app::SetRunBound(2);
    static int openAfterDialog;
    openAfterDialog = -1;
    app::SetSceneDriver([](Shell* shell) {
        oxRuntime* runtime = shell->GetRuntime();
        oxScene* list = runtime->OpenSceneSimple(u"demo/contacts.box", nullptr, u"contacts", nullptr, nullptr, false);
        ASSERT_NE(list, nullptr);
        // Modal: returns once the bound has closed the dialog.
        runtime->OpenDialogScene(u"box://KestrumToolkit/content/dialog/dialog.box", list, u"_builtInDialog", nullptr,
                                 nullptr, true);
        openAfterDialog = runtime->GetSceneCount();
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    app::SetSceneDriver(nullptr);
    EXPECT_EQ(openAfterDialog, 2) << "the dialog closed alone, the list and the first scene still open";
    EXPECT_NE(std::find(steps.begin(), steps.end(), "loop ended"), steps.end());
    EXPECT_GE(GetTickCount(), 2000u);
    platform::headless::UseRealClock();
}

TEST_F(WinMainTest, TheProgramEndsWhenItsSceneClosesWithStatusZero) {
    std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
    EXPECT_EQ(RunProgram({"TANDU_HEADLESS=1", "TANDU_RUN_SECONDS=1", runtime}, 30000), 0);
}

// TANDU_FIRST_FRAME_FD: the program writes one byte there once its first frame is painted, then
// lets the descriptor go, and runs on to its normal end.
TEST_F(WinMainTest, TheProgramSaysOnceWhenItsFirstFrameIsPainted) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
    std::string signal = "TANDU_FIRST_FRAME_FD=" + std::to_string(fds[1]);
    EXPECT_EQ(RunProgram({"TANDU_HEADLESS=1", "TANDU_RUN_SECONDS=1", runtime, signal}, 30000), 0);
    close(fds[1]);
    char bytes[4];
    EXPECT_EQ(read(fds[0], bytes, sizeof bytes), 1);
    EXPECT_EQ(read(fds[0], bytes, sizeof bytes), 0);
    close(fds[0]);
}

TEST_F(WinMainTest, AFirstSceneThatCannotLoadEndsTheProgramWithStatusOne) {
    // A copy of the program beside a resources folder made for each case; the fault's place is
    // reported where a user sees it, then the program says it cannot go on.
    struct Case {
        const char* mainBox; // null: there is none
        const char* report;  // null: nothing to place
    };
    const Case cases[] = {
        {"<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"main\"><box>",
         "no element found. File:main.box. Line#1 Column#67"},
        {"<?xml version=\"1.0\"?>\n<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"main\">\n"
         "  <box id=\"a\" flex=1/>\n</vbox>\n",
         "not well-formed (invalid token). File:main.box. Line#3 Column#19"},
        {nullptr, nullptr},
    };
    std::filesystem::path program = folder / "tandu";
    std::filesystem::copy_file(TANDU_PROGRAM, program);
    const std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mainBox ? c.mainBox : "no main.box");
        std::filesystem::remove_all(folder / "resources");
        std::filesystem::create_directories(folder / "resources");
        if (c.mainBox) std::ofstream(folder / "resources" / "main.box") << c.mainBox;
        program_test::Outcome run = program_test::RunProgram({"TANDU_HEADLESS=1", "TANDU_RUN_SECONDS=1", runtime},
                                                             30000, program.c_str(), (folder / "stderr").string());
        EXPECT_EQ(run.status, 1);
        if (c.report) {
            EXPECT_EQ(program_test::Occurrences(run.errors, c.report), 1) << run.errors;
        }
        EXPECT_EQ(program_test::Occurrences(run.errors, "tandu: the first scene main.box could not be opened\n"), 1)
            << run.errors;
    }
}

// A window titled "Tandu" of this process stands for a running program.
LRESULT RunningProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && wParam != WA_INACTIVE) steps.push_back("brought to the front");
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WinMainTest, ASecondStartHandsOverToTheFirstAndExits) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RunningProc;
    wc.lpszClassName = u"running program";
    RegisterClassW(&wc);
    HWND running = CreateWindowExW(0, wc.lpszClassName, kMainWindowTitle, WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(running, nullptr);
    HWND other =
        CreateWindowExW(0, wc.lpszClassName, u"other", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    steps.clear();
    std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
    // Without a bound the program would run until killed; handing over, it ends at once.
    EXPECT_EQ(RunProgram({"TANDU_HEADLESS=1", runtime}, 20000), 0);
    EXPECT_EQ(steps, (std::vector<std::string>{"brought to the front"}));
    EXPECT_EQ(GetForegroundWindow(), running);
    DestroyWindow(other);
    DestroyWindow(running);
    UnregisterClassW(wc.lpszClassName, nullptr);
}

// Every top-level window hears of the program's fonts: once when it adds those of the resources
// folder and once when it removes them. A "*.ttf" entry that is a folder adds no font but counts as
// found; child windows hear nothing.
int fontChanges[2];
LRESULT FontListenerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_FONTCHANGE) ++fontChanges[GetParent(hwnd) ? 1 : 0];
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WinMainTest, FoundResourceFontsAreAnnouncedToEveryTopLevelWindow) {
    const std::filesystem::path probe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "resources" /
                                        ("font-probe-" + std::to_string(getpid()) + ".ttf");
    std::filesystem::create_directories(probe);
    WNDCLASSW wc{};
    wc.lpfnWndProc = FontListenerProc;
    wc.lpszClassName = u"font listener";
    RegisterClassW(&wc);
    HWND top = CreateWindowExW(0, wc.lpszClassName, u"listener", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, wc.lpszClassName, u"", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
    ASSERT_TRUE(top && child);
    fontChanges[0] = fontChanges[1] = 0;
    platform::headless::UseVirtualClock(0);
    app::SetRunBound(1);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 0), 0);
    platform::headless::UseRealClock();
    std::filesystem::remove(probe);
    EXPECT_EQ(fontChanges[0], 2);
    EXPECT_EQ(fontChanges[1], 0);
    DestroyWindow(top);
    UnregisterClassW(wc.lpszClassName, nullptr);
}

} // namespace
