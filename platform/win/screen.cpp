#include "platform/win/screen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

ScreenBuffer g_screen;
bool g_ready = false;
uint64_t g_pixelsWritten = 0;
RECT g_damage{0, 0, 0, 0};

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end;
    long n = std::strtol(v, &end, 10);
    return *end == 0 && n > 0 && n <= 100000 ? int(n) : fallback;
}

bool Allocate(const ScreenConfig& config) {
    if (config.width <= 0 || config.height <= 0 || config.width > 16384 || config.height > 16384 ||
        (config.bpp != 16 && config.bpp != 32) || config.dpi <= 0)
        return false;
    const int stride = (config.width * config.bpp / 8 + 3) & ~3;
    auto* bits = static_cast<uint8_t*>(std::calloc(size_t(stride) * config.height, 1));
    if (!bits) return false;
    std::free(g_screen.bits);
    g_screen.config = config;
    g_screen.stride = stride;
    g_screen.bits = bits;
    g_ready = true;
    g_pixelsWritten = 0;
    g_damage = RECT{0, 0, config.width, config.height};
    return true;
}

} // namespace

ScreenConfig ScreenConfigFromEnvironment() {
    ScreenConfig config;
    if (const char* size = std::getenv("TANDU_SCREEN")) {
        int w, h;
        char tail;
        if (std::sscanf(size, "%dx%d%c", &w, &h, &tail) == 2 && w > 0 && h > 0 && w <= 16384 && h <= 16384) {
            config.width = w;
            config.height = h;
        }
    }
    if (EnvInt("TANDU_SCREEN_BPP", 32) == 16) config.bpp = 16;
    config.dpi = EnvInt("TANDU_DPI", 192);
    return config;
}

ScreenBuffer& GetScreen() {
    if (!g_ready && !Allocate(ScreenConfigFromEnvironment())) Allocate(ScreenConfig{});
    return g_screen;
}

bool ConfigureScreen(const ScreenConfig& config) {
    return Allocate(config);
}

uint32_t ReadScreenPixel(int x, int y) {
    ScreenBuffer& s = GetScreen();
    if (x < 0 || y < 0 || x >= s.config.width || y >= s.config.height) return 0;
    const uint8_t* row = s.bits + size_t(y) * s.stride;
    if (s.config.bpp == 32) {
        uint32_t p;
        std::memcpy(&p, row + x * 4, 4);
        return p & 0xFFFFFF;
    }
    uint16_t p;
    std::memcpy(&p, row + x * 2, 2);
    const int gBits = s.config.rgb555 ? 5 : 6;
    uint32_t r = p >> (5 + gBits), g = (p >> 5) & ((1u << gBits) - 1), b = p & 31;
    r = (r << 3) | (r >> 2);
    g = gBits == 6 ? (g << 2) | (g >> 4) : (g << 3) | (g >> 2);
    b = (b << 3) | (b >> 2);
    return (r << 16) | (g << 8) | b;
}

void NoteScreenWrite(const RECT& bounds, uint64_t pixels) {
    if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return;
    g_pixelsWritten += pixels;
    if (g_damage.left >= g_damage.right) {
        g_damage = bounds;
        return;
    }
    g_damage.left = std::min(g_damage.left, bounds.left);
    g_damage.top = std::min(g_damage.top, bounds.top);
    g_damage.right = std::max(g_damage.right, bounds.right);
    g_damage.bottom = std::max(g_damage.bottom, bounds.bottom);
}

uint64_t ScreenPixelsWritten() {
    return g_pixelsWritten;
}

bool TakeScreenDamage(RECT* bounds) {
    if (g_damage.left >= g_damage.right || g_damage.top >= g_damage.bottom) return false;
    if (bounds) *bounds = g_damage;
    g_damage = RECT{0, 0, 0, 0};
    return true;
}
