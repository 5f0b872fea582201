// The program's entry: the main function does the work. TANDU_RUN_SECONDS=N closes the first scene
// after N seconds, so a run with no one to close it still ends.
#include <cstdlib>

#include "app/win_main.h"

int main() {
    if (const char* seconds = std::getenv("TANDU_RUN_SECONDS")) app::SetRunBound(std::atoi(seconds));
    return WinMain(nullptr, nullptr, nullptr, 0);
}
