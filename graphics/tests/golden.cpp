#include "graphics/tests/golden.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint8_t Expand(uint32_t v, int bits) {
    v &= (1u << bits) - 1;
    return static_cast<uint8_t>((v << (8 - bits)) | (v >> (2 * bits - 8)));
}

struct Layout16 {
    int rShift, rBits, gShift, gBits, bBits;
};

Layout16 LayoutOf(int32_t code) {
    switch (code) {
    case kLayoutRgb565:
        return {11, 5, 5, 6, 5};
    case kLayoutRgb655:
        return {10, 6, 5, 5, 5};
    case kLayoutRgb556:
        return {11, 5, 6, 5, 6};
    default:
        return {10, 5, 5, 5, 5};
    }
}

} // namespace

std::string BufferToRgba(const oxPixelBuffer& image) {
    std::string out(static_cast<size_t>(image.width) * image.height * 4, '\0');
    uint8_t* o = reinterpret_cast<uint8_t*>(out.data());
    const Layout16 l = LayoutOf(image.layout);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x, o += 4) {
            if (image.bpp == 32) {
                const uint32_t p = image.GetRow32(y)[x];
                o[0] = static_cast<uint8_t>(p >> 16);
                o[1] = static_cast<uint8_t>(p >> 8);
                o[2] = static_cast<uint8_t>(p);
                o[3] = static_cast<uint8_t>(p >> 24);
            } else if (image.bpp == 16) {
                const uint32_t p = image.GetRow16(y)[x];
                o[0] = Expand(p >> l.rShift, l.rBits);
                o[1] = Expand(p >> l.gShift, l.gBits);
                o[2] = Expand(p, l.bBits);
                o[3] = 255;
            } else {
                const uint8_t p = image.GetRow8(y)[x];
                o[0] = o[1] = o[2] = p;
                o[3] = 255;
            }
        }
    }
    return out;
}

bool WritePng(const std::string& path, const std::string& rgba, int width, int height) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(rgba.data() + static_cast<size_t>(y) * width * 4));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

bool ReadPng(const std::string& path, std::string& rgba, int& width, int& height) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGBA;
    rgba.assign(PNG_IMAGE_SIZE(img), '\0');
    if (!png_image_finish_read(&img, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&img);
        return false;
    }
    width = static_cast<int>(img.width);
    height = static_cast<int>(img.height);
    return true;
}

::testing::AssertionResult MatchesGoldenIn(const std::string& dataDir, const oxPixelBuffer& image,
                                           const std::string& name, int tolerance) {
    const std::string actual = BufferToRgba(image);
    const std::string goldenPath = dataDir + "/" + name + ".png";
    const char* update = std::getenv("TANDU_UPDATE_GOLDENS");
    if (update && std::strcmp(update, "1") == 0) {
        if (!WritePng(goldenPath, actual, image.width, image.height))
            return ::testing::AssertionFailure() << "cannot write " << goldenPath;
        return ::testing::AssertionSuccess();
    }
    const std::string actualPath = name + "_actual.png";
    std::string expected;
    int w = 0, h = 0;
    if (!ReadPng(goldenPath, expected, w, h)) {
        WritePng(actualPath, actual, image.width, image.height);
        return ::testing::AssertionFailure() << "no golden " << goldenPath << " (run with TANDU_UPDATE_GOLDENS=1 to "
                                             << "make it); wrote " << actualPath;
    }
    if (w != image.width || h != image.height) {
        WritePng(actualPath, actual, image.width, image.height);
        return ::testing::AssertionFailure() << name << ": size " << image.width << "x" << image.height << ", golden "
                                             << w << "x" << h << "; wrote " << actualPath;
    }
    for (size_t i = 0; i < actual.size(); ++i) {
        const int diff = std::abs(static_cast<uint8_t>(actual[i]) - static_cast<uint8_t>(expected[i]));
        if (diff > tolerance) {
            const size_t px = i / 4;
            char buf[160];
            const auto* a = reinterpret_cast<const uint8_t*>(actual.data()) + px * 4;
            const auto* e = reinterpret_cast<const uint8_t*>(expected.data()) + px * 4;
            std::snprintf(buf, sizeof buf, "first difference at (%d, %d): RGBA %u,%u,%u,%u, golden %u,%u,%u,%u",
                          static_cast<int>(px % w), static_cast<int>(px / w), a[0], a[1], a[2], a[3], e[0], e[1], e[2],
                          e[3]);
            WritePng(actualPath, actual, image.width, image.height);
            return ::testing::AssertionFailure()
                   << name << ": " << buf << ", tolerance " << tolerance << "; wrote " << actualPath;
        }
    }
    return ::testing::AssertionSuccess();
}
