#include "platform/win/beep.h"

#include <atomic>

namespace {
std::atomic<int> beeps{0};
} // namespace

BOOL MessageBeep(UINT) {
    ++beeps;
    return TRUE;
}

namespace platform {

int GetBeepCount() {
    return beeps.load();
}

void ResetBeepCount() {
    beeps = 0;
}

} // namespace platform
