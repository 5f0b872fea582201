#include "platform/backend/sdl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/backend/headless.h"
#include "platform/crt/wide.h"
#include "platform/win/clipboard.h"
#include "platform/win/cursor.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/window.h"

#ifdef TANDU_HAVE_SDL
#include "platform/backend/sdl_library.h"

namespace platform::sdl {
namespace {

const Library* api = nullptr; // set by the first start
SDL_Window* window = nullptr;
int xFd = -1;

uint32_t ScreenFormat(const ScreenConfig& c) {
    if (c.bpp == 32) return SDL_PIXELFORMAT_RGB888;
    return c.rgb555 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565;
}

// Keys the device has: letters, digits, the rocker, the editing keys and the modifiers. F1/F2 are
// the soft keys and Escape the Back key: those go to the shell first (HandleKey).
UINT VirtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return UINT('A' + (k - SDLK_a));
    if (k >= SDLK_0 && k <= SDLK_9) return UINT('0' + (k - SDLK_0));
    if (k >= SDLK_F3 && k <= SDLK_F12) return UINT(VK_F1 + 2 + (k - SDLK_F3));
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return UINT(0x61 + (k - SDLK_KP_1));
    switch (k) {
    case SDLK_KP_0:
        return 0x60;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_KP_PLUS:
        return VK_ADD;
    case SDLK_KP_MINUS:
        return VK_SUBTRACT;
    case SDLK_SEMICOLON:
        return 0xBA;
    case SDLK_EQUALS:
        return 0xBB;
    case SDLK_COMMA:
        return 0xBC;
    case SDLK_MINUS:
        return 0xBD;
    case SDLK_PERIOD:
        return 0xBE;
    case SDLK_SLASH:
        return 0xBF;
    case SDLK_QUOTE:
        return 0xDE;
    default:
        return 0;
    }
}

bool HandleKey(const SDL_KeyboardEvent& e) {
    const bool down = e.type == SDL_KEYDOWN;
    switch (e.keysym.sym) {
    case SDLK_F1:
    case SDLK_F2:
        if (!e.repeat) input::SoftKey(e.keysym.sym == SDLK_F1 ? 1 : 2, down);
        return true;
    case SDLK_ESCAPE:
        if (!e.repeat) input::BackKey(down);
        return true;
    default:
        break;
    }
    const UINT vk = VirtualKey(e.keysym.sym);
    if (!vk) return false;
    if (down)
        input::KeyDown(vk);
    else
        input::KeyUp(vk);
    return true;
}

std::u16string Utf16(const char* utf8) {
    const int length = int(std::strlen(utf8));
    if (!length) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, length, nullptr, 0);
    std::u16string out(size_t(n > 0 ? n : 0), u'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, length, out.data(), n);
    return out;
}

// An input method's text editing becomes a composition; text typed outside one, characters.
bool composing = false;

void HandleTextInput(const char* utf8) {
    const std::u16string text = Utf16(utf8);
    if (composing) {
        input::Composition(text, true);
        input::CompositionEnd();
        composing = false;
        return;
    }
    input::Text(text);
}

void HandleTextEditing(const char* utf8) {
    const std::u16string text = Utf16(utf8);
    if (text.empty()) {
        // Given up: the composition ends with nothing.
        if (composing) input::CompositionEnd();
        composing = false;
        return;
    }
    if (!composing) input::CompositionStart();
    composing = true;
    input::Composition(text, false);
}

bool SetClipboard(const std::string& utf8) {
    return api->SDL_SetClipboardText(utf8.c_str()) == 0;
}

bool HasClipboard() {
    return api->SDL_HasClipboardText() == SDL_TRUE;
}

std::string GetClipboard() {
    char* text = api->SDL_GetClipboardText();
    std::string out = text ? text : "";
    api->SDL_free(text);
    return out;
}

const clipboard::TextHooks clipboardHooks{SetClipboard, HasClipboard, GetClipboard};

input::Button ButtonOf(Uint8 b) {
    return b == SDL_BUTTON_RIGHT    ? input::Button::Right
           : b == SDL_BUTTON_MIDDLE ? input::Button::Middle
                                    : input::Button::Left;
}

// Turns pending SDL events into messages; true when any message was posted.
bool HandleEvents() {
    bool posted = false;
    SDL_Event e;
    while (api->SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT:
            PostQuitMessage(0);
            posted = true;
            break;
        case SDL_WINDOWEVENT:
            // The OS window lost its pixels: show the screen again; the emulated windows keep theirs.
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                const ScreenConfig& c = GetScreen().config;
                NoteScreenWrite(RECT{0, 0, c.width, c.height}, 0);
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            // The mouse is the stylus: input waits for the loop, which routes it as it takes it.
            if (e.type == SDL_MOUSEBUTTONDOWN)
                input::PointerDown(e.button.x, e.button.y, ButtonOf(e.button.button));
            else
                input::PointerUp(e.button.x, e.button.y, ButtonOf(e.button.button));
            posted = true;
            break;
        case SDL_MOUSEMOTION:
            input::PointerMove(e.motion.x, e.motion.y);
            posted = true;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            posted = HandleKey(e.key) || posted;
            break;
        case SDL_TEXTINPUT:
            HandleTextInput(e.text.text);
            posted = true;
            break;
        case SDL_TEXTEDITING:
            HandleTextEditing(e.edit.text);
            posted = true;
            break;
        default:
            break;
        }
    }
    return posted;
}

// The window shows the system pointer that matches the program's current one; none hides it.
void ShowCurrentPointer() {
    static uintptr_t shown = ~uintptr_t(0);
    static SDL_Cursor* cursor = nullptr;
    const uintptr_t id = platform::GetPointerId(GetCursor());
    if (id == shown) return;
    shown = id;
    SDL_SystemCursor kind = SDL_SYSTEM_CURSOR_ARROW;
    switch (id) {
    case 0:
        api->SDL_ShowCursor(SDL_DISABLE);
        return;
    case 32513:
        kind = SDL_SYSTEM_CURSOR_IBEAM;
        break;
    case 32514:
        kind = SDL_SYSTEM_CURSOR_WAIT;
        break;
    case 32515:
        kind = SDL_SYSTEM_CURSOR_CROSSHAIR;
        break;
    case 32642:
        kind = SDL_SYSTEM_CURSOR_SIZENWSE;
        break;
    case 32643:
        kind = SDL_SYSTEM_CURSOR_SIZENESW;
        break;
    case 32644:
        kind = SDL_SYSTEM_CURSOR_SIZEWE;
        break;
    case 32645:
        kind = SDL_SYSTEM_CURSOR_SIZENS;
        break;
    case 32646:
        kind = SDL_SYSTEM_CURSOR_SIZEALL;
        break;
    case 32649:
        kind = SDL_SYSTEM_CURSOR_HAND;
        break;
    default:
        break;
    }
    SDL_Cursor* next = api->SDL_CreateSystemCursor(kind);
    if (!next) return;
    api->SDL_SetCursor(next);
    if (cursor) api->SDL_FreeCursor(cursor);
    cursor = next;
    api->SDL_ShowCursor(SDL_ENABLE);
}

// The device's one screen stands for every window: it asks for attention while any window flashes.
void ShowFlashing() {
    static bool shown = false;
    const bool flashing = platform::IsAnyWindowFlashing();
    if (flashing == shown) return;
    shown = flashing;
#if SDL_VERSION_ATLEAST(2, 0, 16)
    if (auto flash = FlashWindowFunction()) flash(window, flashing ? SDL_FLASH_UNTIL_FOCUSED : SDL_FLASH_CANCEL);
#endif
}

bool BeforeWait() {
    ShowCurrentPointer();
    ShowFlashing();
    Present();
    api->SDL_PumpEvents();
    return HandleEvents();
}

int EventFd() {
    return xFd;
}

void AfterWait() {
    api->SDL_PumpEvents();
    HandleEvents();
}

const headless::DisplayHooks hooks{BeforeWait, EventFd, AfterWait};

// A loop that polls the keys without taking messages (a screen transition) still shows what it
// draws and sees the keys and the mouse; at most once per 10 ms.
void PollWhileBusy() {
    static Uint32 last = 0;
    const Uint32 now = api->SDL_GetTicks();
    if (now - last < 10) return;
    last = now;
    Present();
    api->SDL_PumpEvents();
    HandleEvents();
}

} // namespace

bool Available() {
    return OpenLibrary() != nullptr;
}

bool Start() {
    if (window) return true;
    api = OpenLibrary();
    if (!api) return false;
    if (api->SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    const ScreenConfig& c = GetScreen().config;
    window = api->SDL_CreateWindow("Tandu", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, c.width, c.height, 0);
    if (!window || !api->SDL_GetWindowSurface(window)) {
        Stop();
        return false;
    }
    // The X connection is what SDL's events arrive on; without one (offscreen, dummy) only the
    // loop's own descriptors wake it.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    xFd = -1;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (api->SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
        xFd = ConnectionNumber(info.info.x11.display);
#endif
    NoteScreenWrite(RECT{0, 0, c.width, c.height}, 0);
    // Typed text comes as text events, so that input methods and composed characters work.
    api->SDL_StartTextInput();
    input::SetTextFromEvents(true);
    composing = false;
    clipboard::SetTextHooks(&clipboardHooks);
    headless::SetDisplayHooks(&hooks);
    input::SetAsyncPoll(PollWhileBusy);
    Present();
    return true;
}

void Stop() {
    headless::SetDisplayHooks(nullptr);
    input::SetAsyncPoll(nullptr);
    clipboard::SetTextHooks(nullptr);
    input::SetTextFromEvents(false);
    if (window) api->SDL_StopTextInput();
    if (window) api->SDL_DestroyWindow(window);
    window = nullptr;
    xFd = -1;
    if (api) api->SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool IsRunning() {
    return window != nullptr;
}

void Present() {
    if (!window) return;
    const ScreenBuffer& screen = GetScreen();
    SDL_Surface* surface = api->SDL_GetWindowSurface(window);
    if (surface && (surface->w != screen.config.width || surface->h != screen.config.height)) {
        // The screen turned: the window follows its size.
        api->SDL_SetWindowSize(window, screen.config.width, screen.config.height);
        surface = api->SDL_GetWindowSurface(window);
    }
    RECT d;
    if (!surface || !TakeScreenDamage(&d)) return;
    d.right = std::min<LONG>(d.right, std::min(surface->w, screen.config.width));
    d.bottom = std::min<LONG>(d.bottom, std::min(surface->h, screen.config.height));
    if (d.left >= d.right || d.top >= d.bottom) return;
    const int bytes = screen.config.bpp / 8;
    const uint8_t* src = screen.bits + size_t(d.top) * screen.stride + size_t(d.left) * bytes;
    if (SDL_MUSTLOCK(surface)) api->SDL_LockSurface(surface);
    uint8_t* dst = static_cast<uint8_t*>(surface->pixels) + size_t(d.top) * surface->pitch +
                   size_t(d.left) * surface->format->BytesPerPixel;
    api->SDL_ConvertPixels(d.right - d.left, d.bottom - d.top, ScreenFormat(screen.config), src, screen.stride,
                           surface->format->format, dst, surface->pitch);
    if (SDL_MUSTLOCK(surface)) api->SDL_UnlockSurface(surface);
    const SDL_Rect r{d.left, d.top, d.right - d.left, d.bottom - d.top};
    api->SDL_UpdateWindowSurfaceRects(window, &r, 1);
}

bool ReadWindowPixel(int x, int y, uint32_t* rgb) {
    SDL_Surface* surface = window ? api->SDL_GetWindowSurface(window) : nullptr;
    if (!surface || !rgb || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return false;
    const int bpp = surface->format->BytesPerPixel;
    const uint8_t* p = static_cast<const uint8_t*>(surface->pixels) + size_t(y) * surface->pitch + size_t(x) * bpp;
    Uint32 raw = 0;
    std::memcpy(&raw, p, size_t(std::min(bpp, 4)));
    Uint8 r, g, b;
    api->SDL_GetRGB(raw, surface->format, &r, &g, &b);
    *rgb = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    return true;
}

} // namespace platform::sdl

#else

namespace platform::sdl {
bool Available() {
    return false;
}
bool Start() {
    return false;
}
void Stop() {}
bool IsRunning() {
    return false;
}
void Present() {}
bool ReadWindowPixel(int, int, uint32_t*) {
    return false;
}
} // namespace platform::sdl

#endif

namespace platform::backend {

bool ChooseFromEnvironment() {
    const char* headless = std::getenv("TANDU_HEADLESS");
    if (headless && *headless) return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wayland || !*wayland)) return false;
    return sdl::Start();
}

} // namespace platform::backend
