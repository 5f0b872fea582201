// The emulated handset's services as the device shows them: a power state that switches the display
// off blacks out the screen until the power comes on or a tap wakes it.
#include "platform/shell/device_services.h"

#include <gtest/gtest.h>

#include "platform/backend/headless.h"
#include "platform/backend/headless_input.h"
#include "platform/shell/task_bar.h"
#include "platform/tests/message_log.h"
#include "platform/win/gdi.h"
#include "platform/win/screen.h"
#include "platform/win/window_paint.h"

namespace {

using platform::headless::RunUntilIdle;

class DeviceServicesTest : public test::WindowTest {
protected:
    void SetUp() override {
        test::WindowTest::SetUp();
        ASSERT_TRUE(ConfigureScreen(ScreenConfig{240, 320, 32, false, 96}));
        // The window paints itself white.
        test::onMessage = [](HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT* result) {
            if (message != WM_PAINT) return false;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            PatBlt(dc, 0, 0, 240, 268, WHITENESS);
            EndPaint(hwnd, &ps);
            *result = 0;
            return true;
        };
        window = Create(WS_POPUP | WS_VISIBLE, nullptr, u"app", {0, 26, 240, 294});
        RunUntilIdle();
    }
    void TearDown() override {
        platform::shell::ResetDeviceServices();
        platform::shell::ResetShell();
        test::WindowTest::TearDown();
        ConfigureScreen(ScreenConfigFromEnvironment());
    }
    HWND window = nullptr;
};

TEST_F(DeviceServicesTest, PowerStatesSwitchTheDisplayOffAndOn) {
    const uint32_t lit = ReadScreenPixel(120, 160);
    ASSERT_EQ(lit, 0xFFFFFFu) << "the window shows before the power goes";
    struct Case {
        DWORD state;
        bool dark;
    } cases[] = {{POWER_STATE_IDLE, false},   {POWER_STATE_OFF, true},     {POWER_STATE_ON, false},
                 {POWER_STATE_SUSPEND, true}, {POWER_STATE_SUSPEND, true}, {POWER_STATE_ON, false}};
    for (const Case& c : cases) {
        SetSystemPowerState(nullptr, c.state, POWER_FORCE);
        RunUntilIdle();
        EXPECT_EQ(platform::shell::IsDisplayOff(), c.dark) << std::hex << c.state;
        EXPECT_EQ(ReadScreenPixel(120, 160), c.dark ? 0u : lit) << std::hex << c.state;
        if (c.dark) {
            EXPECT_EQ(ReadScreenPixel(5, 5), 0u) << "the bars go dark too";
        }
    }
    SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE);
    RunUntilIdle();
    platform::headless::Tap(120, 160);
    RunUntilIdle();
    EXPECT_FALSE(platform::shell::IsDisplayOff()) << "a tap wakes the device";
    EXPECT_EQ(ReadScreenPixel(120, 160), lit);
    EXPECT_EQ(platform::shell::DeviceEvents().size(), 7u) << "every state is recorded";
}

} // namespace
