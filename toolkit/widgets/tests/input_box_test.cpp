// The input box's naming of window messages, its pre-handler without a focused box, and the
// pointer's height below its hot spot.
#include "toolkit/widgets/input_box.h"

#include <gtest/gtest.h>

#include "platform/win/cursor.h"
#include "platform/win/messages.h"
#include "platform/win/system_params.h"
#include "toolkit/widgets/pointer_height.h"

namespace {

TEST(InputBoxMessagesTest, WindowMessagesNameTheirEvents) {
    oxAtoms::RegisterPredefined();
    const struct {
        UINT message;
        oxAtom atom;
    } cases[] = {
        {0x100, kAtomKeyDown},
        {0x101, kAtomKeyUp},
        {0x104, kAtomSysKeyDown},
        {0x105, kAtomSysKeyUp},
        {0x111, kAtomMenuCommand},
        {0x200, kAtomMouseMove},
        {0x201, kAtomMouseDown},
        {0x204, kAtomMouseDown},
        {0x207, kAtomMouseDown},
        {0x20B, kAtomMouseDown},
        {0x203, kAtomDoubleClick},
        {0x202, kAtomMouseUp},
        {0x205, kAtomMouseUp},
        {0x208, kAtomMouseUp},
        {0x20C, kAtomMouseUp},
        {0x20A, kAtomMouseWheel},
        {0x102, 0},
        {0x103, 0},
        {0x106, 0},
        {0x110, 0},
        {0x206, 0},
        {0x209, 0},
        {0x20D, 0},
        {0x312, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(oxInputBox::MessageToEventAtom(c.message), c.atom) << std::hex << c.message;
}

TEST(InputBoxMessagesTest, WithoutAFocusedBoxOnlyTheInputMethodContextIsTaken) {
    ASSERT_EQ(oxInputBox::GetFocusedInputBox(), nullptr);
    for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_IME_COMPOSITION, WM_HOTKEY, WM_LBUTTONDOWN}) {
        const MSG msg{nullptr, message, 8, 0, 0, {0, 0}};
        EXPECT_EQ(oxInputBox::PreTranslateMessage(&msg), 0) << message;
    }
    const MSG context{nullptr, WM_IME_SETCONTEXT, 1, 0, 0, {0, 0}};
    EXPECT_EQ(oxInputBox::PreTranslateMessage(&context), 1);
    EXPECT_EQ(oxInputBox::PreTranslateMessage(nullptr), 0);
}

TEST(PointerHeightTest, MeasuredOnceBelowTheHotSpot) {
    // With no pointer shown there is nothing to measure, and nothing is kept.
    SetCursor(nullptr);
    EXPECT_EQ(GetPointerHeight(nullptr), 0);
    // The arrow's design covers 19 rows of its 32 from the tip, its hot spot.
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const int size = GetSystemMetrics(SM_CYCURSOR);
    const int draws = platform::GetPointerDrawCount();
    EXPECT_EQ(GetPointerHeight(nullptr), (19 * size + 31) / 32 - 1);
    EXPECT_EQ(platform::GetPointerDrawCount(), draws + 1);
    // The second call for the same pointer kind draws nothing, even with another pointer.
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(GetPointerHeight(nullptr), (19 * size + 31) / 32 - 1);
    EXPECT_EQ(platform::GetPointerDrawCount(), draws + 1);
    SetCursor(nullptr);
}

} // namespace
