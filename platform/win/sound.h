#pragma once
// Sounds: WAV files and WAV images in memory, played through SDL2 audio, asynchronously when asked.
// Without an audio device (no SDL, no device, or SDL's dummy and disk drivers) a recording sink
// keeps what would have played, and tests read it.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

struct HINSTANCE__;

constexpr DWORD SND_SYNC = 0x0;
constexpr DWORD SND_ASYNC = 0x1;
constexpr DWORD SND_NODEFAULT = 0x2;
constexpr DWORD SND_MEMORY = 0x4;
constexpr DWORD SND_FILENAME = 0x20000;

// `sound` is a device path with SND_FILENAME, a whole RIFF/WAVE image with SND_MEMORY, and null to
// stop what plays. A memory image must stay valid while it plays. FALSE when the sound cannot be
// read or is no WAV.
BOOL PlaySoundW(const void* sound, HINSTANCE__* module, DWORD flags);

namespace platform::sound {

// The length of the RIFF/WAVE image at the start of `size` bytes; 0 when they hold none whole.
size_t WaveImageLength(const void* bytes, size_t size);

struct Played {
    std::vector<uint8_t> bytes; // the WAV image as given
    bool async = false;
};
// What the recording sink took since the last reset, in order; and how often a stop came.
std::vector<Played> Recorded();
int StopCount();
void ResetRecording();
// True when sounds reach the recording sink rather than a device.
bool Recording();

} // namespace platform::sound

namespace platform {
// The sound last asked for, whether or not it could play: its file name, "<memory>" for an image,
// empty after a stop or a reset.
std::u16string GetLastSound();
} // namespace platform
