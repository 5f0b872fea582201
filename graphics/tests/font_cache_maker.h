#pragma once
// Makes font cache files from the machine's own fonts: FreeType's outlines of codes 0 to 255 in em
// units, quadratic pieces raised to cubics, metrics in the face's units. A tool for the tests and the
// demo, not part of the toolkit. See tools/make_font_cache.cpp.
#include <cstdint>
#include <string>
#include <vector>

struct MadeGlyph {
    std::vector<uint8_t> commands;
    std::vector<float> points; // x, y pairs, ems, y down
    float advance = 0;         // font units
    float bearing = 0;         // left side bearing, font units: the file's second trailing value
};

struct MadeFont {
    std::string face;
    uint32_t style = 0;
    uint32_t metricA = 0; // units per em
    uint32_t metricB = 0; // the face's line height in its units
    float vertical[3] = {0, 0, 0};
    std::vector<MadeGlyph> glyphs; // one per code 0 .. 255
};

// Converts a face; false with a message when FreeType cannot read it.
bool ConvertFace(const std::string& path, MadeFont& out, std::string& error);
// The file image of a converted face.
std::vector<uint8_t> SerializeMadeFont(const MadeFont& font);
