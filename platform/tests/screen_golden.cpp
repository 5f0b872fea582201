#include "platform/tests/screen_golden.h"

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/backend/headless.h"

namespace {

bool WriteRgb(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), width * 3, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

bool ReadRgb(const std::string& path, std::vector<uint8_t>* rgb, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    const bool ok = png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr) != 0;
    png_image_free(&image);
    *width = int(image.width);
    *height = int(image.height);
    return ok;
}

} // namespace

::testing::AssertionResult MatchesScreenGoldenIn(const std::string& dataDir, const RECT& area, const std::string& name,
                                                 int tolerance) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<uint8_t> actual;
    for (uint32_t p : platform::headless::ReadScreen(area))
        actual.insert(actual.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    const std::string goldenPath = dataDir + "/" + name + ".png";
    const char* update = std::getenv("TANDU_UPDATE_GOLDENS");
    if (update && std::strcmp(update, "1") == 0) {
        if (!WriteRgb(goldenPath, actual, width, height))
            return ::testing::AssertionFailure() << "cannot write " << goldenPath;
        return ::testing::AssertionSuccess();
    }
    const std::string actualPath = name + "_actual.png";
    std::vector<uint8_t> expected;
    int w = 0, h = 0;
    if (!ReadRgb(goldenPath, &expected, &w, &h) || w != width || h != height) {
        WriteRgb(actualPath, actual, width, height);
        return ::testing::AssertionFailure() << "no golden " << goldenPath << " of " << width << "x" << height
                                             << " (TANDU_UPDATE_GOLDENS=1 makes it); wrote " << actualPath;
    }
    for (size_t i = 0; i < actual.size(); ++i)
        if (std::abs(int(actual[i]) - int(expected[i])) > tolerance) {
            WriteRgb(actualPath, actual, width, height);
            const size_t px = i / 3;
            return ::testing::AssertionFailure()
                   << name << ": first difference at (" << px % size_t(width) << ", " << px / size_t(width)
                   << "), tolerance " << tolerance << "; wrote " << actualPath;
        }
    return ::testing::AssertionSuccess();
}
