#pragma once
// A window class for the platform tests that writes down every message its windows receive.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

namespace test {

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Logged&) const = default;
};

inline std::vector<Logged> messageLog;
// Runs before default processing; returning true means handled (answer in *result).
inline std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> onMessage;

inline LRESULT LogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog.push_back({hwnd, message, wParam, lParam});
    LRESULT result = 0;
    if (onMessage && onMessage(hwnd, message, wParam, lParam, &result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

inline constexpr const WCHAR* kLogClass = u"Test Log Window";

// Messages of one kind (or all when 0) that were logged, in order.
inline std::vector<UINT> Messages(HWND hwnd = nullptr) {
    std::vector<UINT> out;
    for (const Logged& l : messageLog)
        if (!hwnd || l.hwnd == hwnd) out.push_back(l.message);
    return out;
}

// Virtual clock, the log class registered, an empty log; everything undone afterwards.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = &platform::headless::UseVirtualClock(1000);
        WNDCLASSW wc{};
        wc.lpfnWndProc = LogProc;
        wc.cbWndExtra = 16;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kLogClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
        messageLog.clear();
        onMessage = nullptr;
    }
    void TearDown() override {
        onMessage = nullptr;
        for (HWND h : created)
            if (IsWindow(h)) DestroyWindow(h);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        EXPECT_TRUE(UnregisterClassW(kLogClass, GetModuleHandleW(nullptr)));
        platform::headless::UseRealClock();
    }
    HWND Create(DWORD style = WS_POPUP, HWND parent = nullptr, const WCHAR* title = u"log", RECT r = {0, 0, 0, 0}) {
        HWND h = CreateWindowExW(0, kLogClass, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        created.push_back(h);
        return h;
    }
    MSG Next() {
        MSG msg{};
        EXPECT_GE(GetMessageW(&msg, nullptr, 0, 0), 0);
        return msg;
    }

    platform::VirtualClock* clock = nullptr;
    std::vector<HWND> created;
};

} // namespace test
