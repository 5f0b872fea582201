#ifdef TANDU_HAVE_SDL
#include "platform/backend/sdl_library.h"

namespace platform::sdl {

const Library* OpenLibrary() {
    TANDU_OPEN_FUNCTIONS(Library, TANDU_SDL_SONAME, TANDU_SDL_FUNCTIONS)
}

} // namespace platform::sdl
#endif
