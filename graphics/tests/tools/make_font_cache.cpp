// make_font_cache FONT.ttf OUT: writes the font cache file of a face's codes 0 to 255. The files in
// graphics/tests/data and resources were made with it from DejaVu Sans.
#include <cstdio>
#include <string>

#include "graphics/tests/font_cache_maker.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_font_cache FONT.ttf OUT\n");
        return 2;
    }
    MadeFont font;
    std::string error;
    if (!ConvertFace(argv[1], font, error)) {
        std::fprintf(stderr, "make_font_cache: %s\n", error.c_str());
        return 1;
    }
    const auto bytes = SerializeMadeFont(font);
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_font_cache: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
