#include "graphics/tests/font_cache_maker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

namespace {

constexpr uint8_t kMove = 1, kLine = 2, kCubic = 8, kClose = 0x10;

// The half-height of a line's ink band around its baseline, as text boxes size their lines.
constexpr double kLineExtent = 0.41;

struct Walk {
    MadeGlyph* glyph;
    double em;
    double lastX = 0, lastY = 0; // font units
    size_t contourStart = 0;

    void Add(uint8_t command, double x, double y) {
        glyph->commands.push_back(command);
        glyph->points.push_back(float(x / em));
        glyph->points.push_back(float(-y / em));
        lastX = x, lastY = y;
    }
    void CloseContour() {
        if (glyph->commands.size() > contourStart) glyph->commands.back() |= kClose;
    }
};

int MoveTo(const FT_Vector* to, void* user) {
    Walk& w = *static_cast<Walk*>(user);
    w.CloseContour();
    w.contourStart = w.glyph->commands.size();
    w.Add(kMove, double(to->x), double(to->y));
    return 0;
}

int LineTo(const FT_Vector* to, void* user) {
    static_cast<Walk*>(user)->Add(kLine, double(to->x), double(to->y));
    return 0;
}

// A quadratic piece is the cubic whose controls lie two thirds of the way to its control point.
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    Walk& w = *static_cast<Walk*>(user);
    const double x0 = w.lastX, y0 = w.lastY, qx = double(control->x), qy = double(control->y);
    const double x3 = double(to->x), y3 = double(to->y);
    w.Add(kCubic, x0 + 2.0 / 3.0 * (qx - x0), y0 + 2.0 / 3.0 * (qy - y0));
    w.Add(kCubic, x3 + 2.0 / 3.0 * (qx - x3), y3 + 2.0 / 3.0 * (qy - y3));
    w.Add(kCubic, x3, y3);
    return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    Walk& w = *static_cast<Walk*>(user);
    w.Add(kCubic, double(c1->x), double(c1->y));
    w.Add(kCubic, double(c2->x), double(c2->y));
    w.Add(kCubic, double(to->x), double(to->y));
    return 0;
}

void PutWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    PutWord(out, v);
}

} // namespace

bool ConvertFace(const std::string& path, MadeFont& out, std::string& error) {
    FT_Library library;
    if (FT_Init_FreeType(&library)) {
        error = "FreeType did not start";
        return false;
    }
    FT_Face face;
    if (FT_New_Face(library, path.c_str(), 0, &face)) {
        FT_Done_FreeType(library);
        error = "cannot open " + path;
        return false;
    }
    const double em = face->units_per_EM;
    out = MadeFont{};
    out.face = face->family_name ? face->family_name : "";
    out.style =
        (face->style_flags & FT_STYLE_FLAG_BOLD ? 1u : 0u) | (face->style_flags & FT_STYLE_FLAG_ITALIC ? 2u : 0u);
    out.metricA = uint32_t(face->units_per_EM);
    out.metricB = uint32_t(face->height);
    // The glyph cell holds the ascent above the baseline and the line's extent below it.
    const double extent = std::round(kLineExtent * em);
    out.vertical[0] = float(std::max(0.0, -double(face->descender) - extent));
    out.vertical[1] = float(face->ascender);
    out.vertical[2] = float(extent);
    out.glyphs.resize(256);
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    for (uint32_t code = 0; code < 256; ++code) {
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (!index || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE)) continue;
        MadeGlyph& g = out.glyphs[code];
        g.advance = float(face->glyph->metrics.horiAdvance);
        g.bearing = float(face->glyph->metrics.horiBearingX);
        if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) continue;
        Walk walk{&g, em};
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk);
        walk.CloseContour();
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return true;
}

std::vector<uint8_t> SerializeMadeFont(const MadeFont& font) {
    std::vector<uint8_t> out = {'T', 'F', 'B', 'P'};
    PutWord(out, 1);
    PutWord(out, uint32_t(font.face.size() + 1));
    out.insert(out.end(), font.face.begin(), font.face.end());
    out.push_back(0);
    const uint32_t words[7] = {font.style, font.metricB, font.metricA, 0, 0, 0, uint32_t(font.glyphs.size())};
    for (uint32_t tag = 2; tag <= 8; ++tag) {
        PutWord(out, tag);
        PutWord(out, 4);
        if (tag >= 5 && tag <= 7)
            PutFloat(out, font.vertical[tag - 5]);
        else
            PutWord(out, words[tag - 2]);
    }
    PutWord(out, 9);
    PutWord(out, 0);
    for (const MadeGlyph& g : font.glyphs) {
        PutWord(out, uint32_t(g.commands.size()));
        out.insert(out.end(), g.commands.begin(), g.commands.end());
        for (float f : g.points)
            PutFloat(out, f);
        PutFloat(out, g.advance);
        PutFloat(out, g.bearing);
    }
    return out;
}
