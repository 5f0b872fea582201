#pragma once
// The DejaVu Sans font cache file of the test data, read fresh for each test (fonts keep their
// glyph caches and darkness).
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "graphics/text/font.h"
#include "graphics/text/font_cache.h"

inline std::unique_ptr<oxFont> LoadTestFont() {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/dejavu_sans.tfbp", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return std::unique_ptr<oxFont>(ReadFontCache(bytes.data(), bytes.size(), nullptr));
}
