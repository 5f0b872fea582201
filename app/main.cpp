// The program's entry: the display backend is chosen (an SDL window when a display exists, else
// headless), then the main function does the work. TANDU_RUN_SECONDS=N closes the first scene
// after N seconds, so a run with no one to close it still ends.
#include <cstdlib>

#include "app/win_main.h"
#include "platform/backend/sdl.h"

int main() {
    if (const char* seconds = std::getenv("TANDU_RUN_SECONDS")) app::SetRunBound(std::atoi(seconds));
    bool shown = platform::backend::ChooseFromEnvironment();
    int status = WinMain(nullptr, nullptr, nullptr, 0);
    if (shown) platform::sdl::Stop();
    return status;
}
