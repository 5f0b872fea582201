#include "runtime/startup.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/win/messages.h"
#include "platform/win/window.h"
#include "runtime/allocator.h"
#include "runtime/message_window.h"

namespace NUBO {
namespace {

void Handler(UINT, WPARAM, LPARAM) {}

TEST(StartupTest, NestedStartsKeepTheWindowUntilTheLastStop) {
    ASSERT_EQ(Initialize(nullptr), 1);
    HWND window = GetCurrentMessageWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(FindWindowW(kMessageWindowClass, kMessageWindowClass), window);
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE), LONG(WS_POPUP)); // hidden
    ASSERT_EQ(Initialize(nullptr), 1);
    EXPECT_EQ(GetCurrentMessageWindow(), window);
    EXPECT_EQ(GetStartCount(), 2u);
    EXPECT_EQ(GetThreadStartCount(), 2u);

    Shutdown();
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(RegisterMessageHandler(WM_USER + 40, Handler), 1); // still started

    Shutdown();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetCurrentMessageWindow(), nullptr);
    EXPECT_EQ(GetStartCount(), 0u);
    EXPECT_EQ(RegisterMessageHandler(WM_USER + 41, Handler), 0); // torn down
    EXPECT_EQ(UnregisterMessageHandler(WM_USER + 40), 0);
    WNDCLASSW wc;
    EXPECT_FALSE(GetClassInfoW(nullptr, kMessageWindowClass, &wc));

    Shutdown(); // more stops than starts: nothing
    EXPECT_EQ(GetStartCount(), 0u);
    ASSERT_EQ(Initialize(nullptr), 1); // and it starts again cleanly
    EXPECT_EQ(RegisterMessageHandler(WM_USER + 40, Handler), 1);
    Shutdown();
}

TEST(StartupTest, EachStartingThreadGetsItsOwnWindow) {
    ASSERT_EQ(Initialize(nullptr), 1);
    HWND mine = GetCurrentMessageWindow();
    HWND theirs = nullptr;
    bool theirsAliveAfterStop = true;
    std::thread t([&] {
        EXPECT_EQ(Initialize(nullptr), 1);
        theirs = GetCurrentMessageWindow();
        EXPECT_EQ(GetThreadStartCount(), 1u);
        Shutdown();
        theirsAliveAfterStop = IsWindow(theirs);
    });
    t.join();
    EXPECT_TRUE(theirs);
    EXPECT_NE(theirs, mine);
    EXPECT_FALSE(theirsAliveAfterStop);
    EXPECT_EQ(GetStartCount(), 1u);
    EXPECT_TRUE(IsWindow(mine)); // the other thread's stop was not the last

    // A thread that never started stops: nothing changes, the last stop is still this thread's.
    std::thread([&] {
        Shutdown();
        EXPECT_EQ(GetThreadStartCount(), 0u);
    }).join();
    EXPECT_EQ(GetStartCount(), 1u);
    Shutdown();
    EXPECT_FALSE(IsWindow(mine));
    EXPECT_EQ(GetStartCount(), 0u);
}

int allocations = 0;
void* CountingAlloc(size_t n) {
    ++allocations;
    return std::malloc(n);
}
void* CountingRealloc(void* p, size_t n) {
    ++allocations;
    return std::realloc(p, n);
}

TEST(StartupTest, AllocatorTableIsInstalledAndResetAtTheLastStop) {
    allocations = 0;
    const TAllocator counting{CountingAlloc, CountingRealloc, std::free, {nullptr, nullptr}};
    ASSERT_EQ(Initialize(&counting), 1);
    EXPECT_GT(allocations, 0); // the registries' own blocks come through it too
    int before = allocations;
    void* p = MemAlloc(8);
    p = MemRealloc(p, 16);
    MemFree(p);
    EXPECT_EQ(allocations, before + 2);

    const TAllocator partial{CountingAlloc, nullptr, std::free, {nullptr, nullptr}};
    ResetAllocator();
    EXPECT_EQ(SetAllocator(&partial), 1); // incomplete tables are ignored
    EXPECT_EQ(SetAllocator(nullptr), 1);
    MemFree(MemAlloc(4));
    EXPECT_EQ(allocations, before + 2);

    SetAllocator(&counting);
    Shutdown();
    MemFree(MemAlloc(4));
    EXPECT_EQ(allocations, before + 2); // back to the defaults
}

} // namespace
} // namespace NUBO
