#include "runtime/message_window.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "runtime/startup.h"

namespace NUBO {
namespace {

struct Call {
    int handler;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Call&) const = default;
};
std::vector<Call> calls;
void First(UINT m, WPARAM w, LPARAM l) {
    calls.push_back({1, m, w, l});
}
void Second(UINT m, WPARAM w, LPARAM l) {
    calls.push_back({2, m, w, l});
}

class MessageWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::headless::UseVirtualClock();
        ASSERT_EQ(Initialize(nullptr), 1);
        calls.clear();
    }
    void TearDown() override {
        Shutdown();
        platform::headless::UseRealClock();
    }
    void Deliver(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        PostMessageW(GetCurrentMessageWindow(), message, wParam, lParam);
        platform::headless::RunUntilIdle();
    }
};

TEST_F(MessageWindowTest, PostedMessagesReachTheirHandler) {
    ASSERT_EQ(RegisterMessageHandler(WM_USER + 1, First), 1);
    EXPECT_EQ(RegisterMessageHandler(WM_USER + 1, Second), 0); // the first one stays
    Deliver(WM_USER + 1, 5, 6);
    Deliver(WM_USER + 2, 0); // no handler: default processing
    EXPECT_EQ(calls, (std::vector<Call>{{1, WM_USER + 1, 5, 6}}));
    EXPECT_EQ(SendMessageW(GetCurrentMessageWindow(), WM_USER + 1, 0, 0), 0);
    EXPECT_EQ(UnregisterMessageHandler(WM_USER + 1), 1);
    EXPECT_EQ(UnregisterMessageHandler(WM_USER + 1), 0);
}

TEST_F(MessageWindowTest, LowTimerIdsGoToTheSecondTimerHandler) {
    // The runtime's own timer dispatcher already holds WM_TIMER.
    Deliver(WM_TIMER, 5); // below 0x10000000 with no second handler: default processing
    EXPECT_TRUE(calls.empty());

    ASSERT_EQ(RegisterMessageHandler(WM_TIMER, Second), 1);
    struct Case {
        WPARAM id;
        bool second;
    };
    const Case cases[] = {{5, true}, {0x0FFFFFFF, true}, {0x10000000, false}, {0x90000000, true}}; // signed compare
    for (const Case& c : cases) {
        calls.clear();
        Deliver(WM_TIMER, c.id);
        EXPECT_EQ(calls.size(), c.second ? 1u : 0u) << std::hex << c.id;
    }
    EXPECT_EQ(UnregisterMessageHandler(WM_TIMER), 1); // the second handler first
    calls.clear();
    Deliver(WM_TIMER, 5);
    EXPECT_TRUE(calls.empty());
}

TEST_F(MessageWindowTest, WindowIsCreatedOncePerThread) {
    HWND w = GetCurrentMessageWindow();
    EXPECT_EQ(CreateThreadMessageWindow(), 1);
    EXPECT_EQ(GetCurrentMessageWindow(), w);
    DestroyThreadMessageWindow();
    EXPECT_EQ(GetCurrentMessageWindow(), nullptr);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(CreateThreadMessageWindow(), 1);
    EXPECT_NE(GetCurrentMessageWindow(), nullptr);
}

} // namespace
} // namespace NUBO
