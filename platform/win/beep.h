#pragma once
// The system beep and sounds. There is no sound device to play them on here: the layer records
// what would have sounded (the beeps' count and last kind, the last sound file), and tests read it.
#include <string>

#include "platform/types.h"
#include "platform/win/window.h"

BOOL MessageBeep(UINT type);

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_MEMORY = 0x0004;
constexpr DWORD SND_FILENAME = 0x20000;
// Null stops what plays. A file name (SND_FILENAME) must name a file that exists; a buffer
// (SND_MEMORY) must stay valid while it plays.
BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);

namespace platform {
// Beeps since the start or the last reset, and the type of the last one.
int GetBeepCount();
UINT GetLastBeepType();
void ResetBeepCount();
// The file of the last sound played ("<memory>" for a buffer), empty after a stop or a reset.
std::u16string GetLastSound();
} // namespace platform
