#ifdef TANDU_HAVE_SDL
#include "platform/backend/sdl_library.h"

namespace platform::sdl {

const Library* OpenLibrary() {
    static const Library* opened = []() -> const Library* {
        void* library = OpenSystemLibrary(TANDU_SDL_SONAME);
        if (!library) return nullptr;
        static Library table;
        bool ok = true;
        TANDU_SDL_FUNCTIONS(TANDU_FUNCTION_FIND)
        return ok ? &table : nullptr;
    }();
    return opened;
}

} // namespace platform::sdl
#endif
