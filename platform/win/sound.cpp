#include "platform/win/sound.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "platform/shell/path_map.h"

#if TANDU_HAVE_SDL
#include "platform/backend/sdl_library.h"
#endif

namespace {

std::mutex g_lock;
std::vector<platform::sound::Played> g_recorded;
int g_stops = 0;
std::u16string g_lastAsked;

#if TANDU_HAVE_SDL
// 0: not tried; 1: a device plays; -1: none (the sink records).
int g_audio = 0;
SDL_AudioDeviceID g_device = 0;
const platform::sdl::Library* sdl = nullptr; // opened by the first sound

bool AudioDevice() {
    if (g_audio == 0) {
        g_audio = -1;
        sdl = platform::sdl::OpenLibrary();
        if (sdl && sdl->SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            const char* driver = sdl->SDL_GetCurrentAudioDriver();
            // The dummy and disk drivers play to nobody.
            if (driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "disk") != 0)
                g_audio = 1;
            else
                sdl->SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }
    return g_audio == 1;
}

void StopDevice() {
    if (g_device) sdl->SDL_CloseAudioDevice(g_device);
    g_device = 0;
}

// Queues the WAV image on a fresh device; a synchronous sound waits until it has played.
bool PlayOnDevice(const std::vector<uint8_t>& image, bool async) {
    SDL_AudioSpec spec{};
    Uint8* samples = nullptr;
    Uint32 length = 0;
    SDL_RWops* in = sdl->SDL_RWFromConstMem(image.data(), int(image.size()));
    if (!in || !sdl->SDL_LoadWAV_RW(in, 1, &spec, &samples, &length)) return false;
    StopDevice();
    g_device = sdl->SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0);
    const bool ok = g_device && sdl->SDL_QueueAudio(g_device, samples, length) == 0;
    sdl->SDL_FreeWAV(samples);
    if (!ok) return false;
    sdl->SDL_PauseAudioDevice(g_device, 0);
    while (!async && sdl->SDL_GetQueuedAudioSize(g_device) > 0)
        sdl->SDL_Delay(5);
    return true;
}
#else
bool AudioDevice() {
    return false;
}
void StopDevice() {}
bool PlayOnDevice(const std::vector<uint8_t>&, bool) {
    return false;
}
#endif

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The length of a RIFF/WAVE image from its header; 0 when it is none.
size_t WaveLength(const uint8_t* image) {
    if (std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0) return 0;
    return size_t(Le32(image + 4)) + 8;
}

} // namespace

BOOL PlaySoundW(const void* sound, HINSTANCE__*, DWORD flags) {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!sound)
        g_lastAsked.clear();
    else
        g_lastAsked =
            (flags & SND_MEMORY) ? std::u16string(u"<memory>") : std::u16string(static_cast<const WCHAR*>(sound));
    if (!sound) {
        ++g_stops;
        StopDevice();
        return TRUE;
    }
    std::vector<uint8_t> image;
    if (flags & SND_MEMORY) {
        const auto* bytes = static_cast<const uint8_t*>(sound);
        const size_t length = WaveLength(bytes);
        if (length < 12) return FALSE;
        image.assign(bytes, bytes + length);
    } else {
        std::ifstream in(platform::HostPathFromDevice(static_cast<const WCHAR*>(sound)), std::ios::binary);
        if (!in) return FALSE;
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const size_t length = platform::sound::WaveImageLength(image.data(), image.size());
        if (length == 0) return FALSE;
        image.resize(length);
    }
    const bool async = (flags & SND_ASYNC) != 0;
    if (AudioDevice()) return PlayOnDevice(image, async) ? TRUE : FALSE;
    g_recorded.push_back(platform::sound::Played{std::move(image), async});
    return TRUE;
}

namespace platform::sound {

size_t WaveImageLength(const void* bytes, size_t size) {
    if (!bytes || size < 12) return 0;
    const size_t length = WaveLength(static_cast<const uint8_t*>(bytes));
    return length >= 12 && length <= size ? length : 0;
}

std::vector<Played> Recorded() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_recorded;
}

int StopCount() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_stops;
}

void ResetRecording() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_lastAsked.clear();
    g_recorded.clear();
    g_stops = 0;
}

bool Recording() {
    std::lock_guard<std::mutex> hold(g_lock);
    return !AudioDevice();
}

} // namespace platform::sound

namespace platform {

std::u16string GetLastSound() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_lastAsked;
}

} // namespace platform
