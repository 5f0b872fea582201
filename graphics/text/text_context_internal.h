#pragma once
// The state of one text layout pass, shared by the layout and the glyph painter.
#include <cstdint>

#include "graphics/pixels/matrix.h"
#include "graphics/text/text_context.h"

// How the line from a position ends.
struct oxTextContext::LineMeasure {
    float width = 0; // without the gaps
    int32_t gaps = 0;
    const char16_t* next = nullptr;
    bool wrapped = false;
};

// The state of one layout pass.
struct oxTextContext::Run {
    const char16_t* text = nullptr;
    const char16_t* end = nullptr;
    oxMatrix matrix;
    bool upright = false; // m1, m2, m3, m5, m6, m7 all 0
    float origin[3] = {0, 0, 0};
    float lineAdvance = 0;
    float limit = 0; // d, 0 for none
    float limit2 = 0;
    int32_t charWidth = 2;
    float v = 0;
    float spaceWidth = 1.0f;
    int32_t mode = kGlyphNone;
    // The previous glyph on the line drew ink at its advance column.
    bool havePrevious = false;
    bool previousInk = false;

    // Maps a pen position (ems along the line) to device units.
    void Map(float pen, float y, float* out) const {
        if (upright) {
            out[0] = origin[0] + pen * matrix.m[0];
            out[1] = origin[1] + y * matrix.m[4];
            out[2] = origin[2];
            return;
        }
        float p[3] = {pen, y, 0};
        matrix.TransformVector(p, false);
        out[0] = origin[0] + p[0], out[1] = origin[1] + p[1], out[2] = origin[2] + p[2];
    }
};
