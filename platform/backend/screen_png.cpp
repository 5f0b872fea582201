// Read-back and PNG dump of the emulated screen for the headless backend.
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/screen.h"

namespace platform::headless {

std::vector<uint32_t> ReadScreen(const RECT& area) {
    std::vector<uint32_t> out;
    if (area.right <= area.left || area.bottom <= area.top) return out;
    const int64_t count = int64_t(area.right - area.left) * (area.bottom - area.top);
    if (count > (int64_t(1) << 28)) return out;
    out.reserve(size_t(count));
    for (LONG y = area.top; y < area.bottom; ++y)
        for (LONG x = area.left; x < area.right; ++x)
            out.push_back(ReadScreenPixel(x, y));
    return out;
}

bool DumpScreenPng(const char* path) {
    if (!path) return false;
    const ScreenConfig& config = GetScreen().config;
    std::vector<uint8_t> rgb(size_t(config.width) * 3 * config.height);
    for (int y = 0; y < config.height; ++y)
        for (int x = 0; x < config.width; ++x) {
            const uint32_t p = ReadScreenPixel(x, y);
            uint8_t* o = &rgb[(size_t(y) * config.width + x) * 3];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p);
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(config.width);
    image.height = png_uint_32(config.height);
    image.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_file(&image, path, 0, rgb.data(), config.width * 3, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

} // namespace platform::headless
