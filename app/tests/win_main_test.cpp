#include "app/win_main.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/tests/pump.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"
#include "toolkit/script/application.h"

namespace {

std::vector<std::string> steps;

class WinMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("tandu-main-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("TANDU_RUNTIME_DIR", folder.c_str(), 1);
        steps.clear();
        app::SetStepLog([](const char* step) { steps.push_back(step); });
    }
    void TearDown() override {
        app::SetStepLog(nullptr);
        app::SetRunBound(0);
        unsetenv("TANDU_RUNTIME_DIR");
        std::filesystem::remove_all(folder);
    }

    // Runs the program with `environment` added; its exit status, or -1 when it did not end in time.
    static int RunProgram(const std::vector<std::string>& environment, int boundMs,
                          const char* program = TANDU_PROGRAM) {
        pid_t pid = fork();
        if (pid == 0) {
            for (const std::string& e : environment)
                putenv(const_cast<char*>(e.c_str()));
            execl(program, program, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            test::PumpFor(10); // this process may be the one the program asks
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
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

TEST_F(WinMainTest, TheProgramEndsWhenItsSceneClosesWithStatusZero) {
    std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
    EXPECT_EQ(RunProgram({"TANDU_HEADLESS=1", "TANDU_RUN_SECONDS=1", runtime}, 30000), 0);
}

TEST_F(WinMainTest, AFirstSceneThatCannotLoadEndsTheProgramWithStatusOne) {
    // A copy of the program beside a resources folder whose main.box is cut short.
    std::filesystem::path program = folder / "tandu";
    std::filesystem::copy_file(TANDU_PROGRAM, program);
    std::filesystem::create_directories(folder / "resources");
    std::ofstream(folder / "resources" / "main.box")
        << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" id=\"main\"><text>";
    std::string runtime = "TANDU_RUNTIME_DIR=" + folder.string();
    EXPECT_EQ(RunProgram({"TANDU_HEADLESS=1", "TANDU_RUN_SECONDS=1", runtime}, 30000, program.c_str()), 1);
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

} // namespace
