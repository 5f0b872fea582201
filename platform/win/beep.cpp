#include "platform/win/beep.h"

#include <atomic>

namespace {
std::atomic<int> beeps{0};
std::atomic<UINT> lastType{0};
} // namespace

BOOL MessageBeep(UINT type) {
    lastType = type;
    ++beeps;
    return TRUE;
}

namespace platform {

int GetBeepCount() {
    return beeps.load();
}

UINT GetLastBeepType() {
    return lastType.load();
}

void ResetBeepCount() {
    beeps = 0;
}

} // namespace platform
