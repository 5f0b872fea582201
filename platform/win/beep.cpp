#include "platform/win/beep.h"

#include <atomic>

#include "platform/shell/files.h"

namespace {
std::atomic<int> beeps{0};
UINT lastBeep = 0;
std::u16string lastSound;
} // namespace

BOOL MessageBeep(UINT type) {
    ++beeps;
    lastBeep = type;
    return TRUE;
}

BOOL PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
    if (!sound) {
        lastSound.clear();
        return TRUE;
    }
    if (flags & SND_MEMORY) {
        lastSound = u"<memory>";
        return TRUE;
    }
    const DWORD attributes = GetFileAttributesW(sound);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    lastSound = sound;
    return TRUE;
}

namespace platform {

int GetBeepCount() {
    return beeps.load();
}

UINT GetLastBeepType() {
    return lastBeep;
}

void ResetBeepCount() {
    beeps = 0;
    lastBeep = 0;
    lastSound.clear();
}

std::u16string GetLastSound() {
    return lastSound;
}

} // namespace platform
