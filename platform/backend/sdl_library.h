#pragma once
// SDL2 as the window and the sound use it, opened on their first need rather than linked: with it
// come some forty libraries (X11, Wayland, PulseAudio, codecs) that a headless run never touches.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/win/module.h"

#define TANDU_SDL_FUNCTIONS(X)                                                                                         \
    X(SDL_InitSubSystem)                                                                                               \
    X(SDL_QuitSubSystem)                                                                                               \
    X(SDL_CreateWindow)                                                                                                \
    X(SDL_DestroyWindow)                                                                                               \
    X(SDL_GetWindowSurface)                                                                                            \
    X(SDL_GetWindowWMInfo)                                                                                             \
    X(SDL_SetWindowSize)                                                                                               \
    X(SDL_UpdateWindowSurfaceRects)                                                                                    \
    X(SDL_LockSurface)                                                                                                 \
    X(SDL_UnlockSurface)                                                                                               \
    X(SDL_ConvertPixels)                                                                                               \
    X(SDL_GetRGB)                                                                                                      \
    X(SDL_PollEvent)                                                                                                   \
    X(SDL_PumpEvents)                                                                                                  \
    X(SDL_GetTicks)                                                                                                    \
    X(SDL_StartTextInput)                                                                                              \
    X(SDL_StopTextInput)                                                                                               \
    X(SDL_SetClipboardText)                                                                                            \
    X(SDL_HasClipboardText)                                                                                            \
    X(SDL_GetClipboardText)                                                                                            \
    X(SDL_free)                                                                                                        \
    X(SDL_CreateSystemCursor)                                                                                          \
    X(SDL_SetCursor)                                                                                                   \
    X(SDL_FreeCursor)                                                                                                  \
    X(SDL_ShowCursor)                                                                                                  \
    X(SDL_GetCurrentAudioDriver)                                                                                       \
    X(SDL_RWFromConstMem)                                                                                              \
    X(SDL_LoadWAV_RW)                                                                                                  \
    X(SDL_FreeWAV)                                                                                                     \
    X(SDL_OpenAudioDevice)                                                                                             \
    X(SDL_CloseAudioDevice)                                                                                            \
    X(SDL_QueueAudio)                                                                                                  \
    X(SDL_PauseAudioDevice)                                                                                            \
    X(SDL_GetQueuedAudioSize)                                                                                          \
    X(SDL_Delay)

namespace platform::sdl {

struct Library {
    TANDU_SDL_FUNCTIONS(TANDU_FUNCTION_SLOT)
};

// Opened on the first call; null when SDL2 is not installed or lacks a function used here.
const Library* OpenLibrary();

#if SDL_VERSION_ATLEAST(2, 0, 16)
// Window flashing came later than the rest: null where the installed SDL predates it.
decltype(&::SDL_FlashWindow) FlashWindowFunction();
#endif

} // namespace platform::sdl
