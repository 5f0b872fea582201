#pragma once
// Input that tests inject: taps, drags, keys, the soft keys and the Back key, at screen points.
// Each only queues raw input, exactly as a display backend would; the message loop routes it when
// it takes it (RunUntilIdle, AdvanceAndRun).
#include <initializer_list>

#include "platform/types.h"

namespace platform::headless {

void MoveTo(int x, int y);
void Press(int x, int y);
void Release(int x, int y);
// Press and release at one point.
void Tap(int x, int y);
// Press at `from`, `steps` moves on the straight line to `to` (the last one at `to`), release there.
void Drag(POINT from, POINT to, int steps);
// A key pressed and released; with a modifier (VK_SHIFT, VK_CONTROL, VK_MENU or 0) held around it.
void Key(UINT virtualKey, UINT modifier = 0);
// A key pressed and released with the modifiers held around it, released in reverse order.
void KeyChord(UINT virtualKey, std::initializer_list<UINT> modifiers);
// Soft key 1 (left) or 2 (right), pressed and released.
void SoftKey(int which);
void Back();

} // namespace platform::headless
