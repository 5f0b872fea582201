#pragma once
// The SDL2 backend: one OS window that shows the emulated screen at 1:1. It presents only the part
// of the screen that changed, when the message loop is about to sleep, and its events wake the
// loop: an idle program sleeps in poll() without a timeout and uses no CPU. Pointer input becomes
// stylus input, the keyboard key input (F1/F2 the soft keys, Escape the Back key); closing the window
// quits the loop.
#include <cstdint>

namespace platform::sdl {

// Whether this build has the SDL2 backend at all.
bool Available();
// Opens the window with SDL's chosen video driver. False when the build has no SDL2 or no
// driver starts; the program then stays headless.
bool Start();
void Stop();
bool IsRunning();
// Copies what changed on the screen since the last present onto the window.
void Present();
// The window surface's pixel as 0x00RRGGBB (tests, screenshots); false outside or when stopped.
bool ReadWindowPixel(int x, int y, uint32_t* rgb);

} // namespace platform::sdl

namespace platform::backend {
// Starts the SDL backend when a display exists and TANDU_HEADLESS is not set; true when it did.
bool ChooseFromEnvironment();
} // namespace platform::backend
