#ifdef TANDU_HAVE_SDL
#include "platform/backend/sdl_library.h"

namespace platform::sdl {

const Library* OpenLibrary() {
    TANDU_OPEN_FUNCTIONS(Library, TANDU_SDL_SONAME, TANDU_SDL_FUNCTIONS)
}

#if SDL_VERSION_ATLEAST(2, 0, 16)
decltype(&::SDL_FlashWindow) FlashWindowFunction() {
    static const auto function = []() -> decltype(&::SDL_FlashWindow) {
        void* library = OpenLibrary() ? platform::OpenSystemLibrary(TANDU_SDL_SONAME) : nullptr;
        if (!library) return nullptr;
        return reinterpret_cast<decltype(&::SDL_FlashWindow)>(platform::FindSystemSymbol(library, "SDL_FlashWindow"));
    }();
    return function;
}
#endif

} // namespace platform::sdl
#endif
