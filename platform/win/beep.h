#pragma once
// The system beep that refused input gives. There is no sound device to play it on here: the
// layer counts the beeps, and tests read the count.
#include "platform/types.h"

BOOL MessageBeep(UINT type);

namespace platform {
// Beeps since the start or the last reset, and the type of the last one.
int GetBeepCount();
UINT GetLastBeepType();
void ResetBeepCount();
} // namespace platform
