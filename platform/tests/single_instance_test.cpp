#include "platform/shell/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

namespace {

bool broughtToFront = false;

LRESULT PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Activation tells that the window came to the front.
LRESULT OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && wParam != WA_INACTIVE) broughtToFront = true;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Runs in a child process: a window titled `title` that exits 0 once something brought it to the
// front, 3 when nothing did within the bound.
[[noreturn]] void RunOwner(const char16_t* title, int readyFd) {
    platform::headless::UseRealClock();
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = u"single instance owner";
    RegisterClassW(&wc);
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, title, WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    // Another window is in front until the request comes.
    HWND other =
        CreateWindowExW(0, wc.lpszClassName, u"other", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    broughtToFront = false;
    (void)!write(readyFd, "r", 1);
    close(readyFd);
    UINT_PTR tick = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {});
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (hwnd && !broughtToFront && std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        DispatchMessageW(&msg);
    }
    KillTimer(nullptr, tick);
    _exit(broughtToFront && GetForegroundWindow() == hwnd ? 0 : 3);
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("tandu-runtime-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("TANDU_RUNTIME_DIR", folder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TANDU_RUNTIME_DIR");
        std::filesystem::remove_all(folder);
    }
    pid_t StartOwner(const char16_t* title) {
        int fds[2];
        if (pipe(fds) != 0) return -1;
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            RunOwner(title, fds[1]);
        }
        close(fds[1]);
        char c;
        (void)!read(fds[0], &c, 1); // the window exists and is published
        close(fds[0]);
        return pid;
    }
    static int ExitStatus(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::path folder;
};

TEST_F(SingleInstanceTest, AnotherProcessesWindowIsFoundByTitleAndBroughtToTheFront) {
    pid_t owner = StartOwner(u"Tandu");
    ASSERT_GT(owner, 0);
    EXPECT_EQ(FindWindowW(nullptr, u"No Such Title"), nullptr);
    EXPECT_EQ(FindWindowW(u"single instance owner", u"Tandu"), nullptr) << "only a search by title looks further";
    HWND found = FindWindowW(nullptr, u"tandu"); // titles compare without case
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(platform::IsWindowOfOtherProcess(found));
    EXPECT_FALSE(IsWindow(found)) << "not a window of this process";
    EXPECT_EQ(SetForegroundWindow(found), TRUE);
    EXPECT_EQ(ExitStatus(owner), 0) << "the owner's window came to the front";
    // The owner is gone: its socket is dropped and nothing is found any more.
    EXPECT_EQ(FindWindowW(nullptr, u"Tandu"), nullptr);
    EXPECT_EQ(SetForegroundWindow(found), FALSE);
}

TEST_F(SingleInstanceTest, ThisProcessesWindowsComeFirst) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"single instance local";
    RegisterClassW(&wc);
    HWND mine = CreateWindowExW(0, wc.lpszClassName, u"Tandu", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(FindWindowW(nullptr, u"Tandu"), mine);
    EXPECT_EQ(SetForegroundWindow(mine), TRUE);
    EXPECT_EQ(GetForegroundWindow(), mine);
    DestroyWindow(mine);
    UnregisterClassW(wc.lpszClassName, nullptr);
}

TEST_F(SingleInstanceTest, AProcessThatTakesNoConnectionsIsPassedOver) {
    // A live process (the test's parent) whose socket accepts nothing and whose backlog is full.
    const std::string path = (folder / ("windows-" + std::to_string(getppid()) + ".sock")).string();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    std::vector<int> waiting;
    for (int i = 0; i < 16; ++i) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(fd);
            break;
        }
        waiting.push_back(fd);
    }
    EXPECT_EQ(FindWindowW(nullptr, u"Tandu"), nullptr) << "returns instead of waiting for the busy process";
    for (int fd : waiting)
        close(fd);
    close(listener);
}

} // namespace
