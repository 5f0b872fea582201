#pragma once
// oxShadowStyle: the resolved settings of a box's shadow (kind 0, outside the box) or bevel (kind 1,
// an inner shadow). The style groups fill it; it paints through a drop-shadow object of its own,
// made on first use.
#include <cstdint>

#include "platform/types.h"

class oxCanvas;
class oxDropShadow;
struct oxCanvasRect;

class oxShadowStyle {
public:
    enum Kind : int32_t { kShadow = 0, kBevel = 1 };

    oxShadowStyle() = default;
    oxShadowStyle(int32_t kind, uint32_t color, int32_t radius, float opacity, const POINT* offset);
    ~oxShadowStyle();
    oxShadowStyle(const oxShadowStyle&) = delete;
    oxShadowStyle& operator=(const oxShadowStyle&) = delete;

    // Kind, colour, radius, opacity and offset; no fill-centre word, flag or drawing object.
    oxShadowStyle* Clone() const;

    void SetColor(uint32_t argb);
    // Truncated to whole pixels; changes only when the whole value differs.
    void SetRadius(float radius);
    void SetOpacity(float opacity);
    void SetOffset(const POINT& offset);
    void SetFillCenter(int32_t word);

    // How far a kind-0 shadow reaches beyond the box {left, top, right, bottom}; zeros otherwise.
    RECT GetOutsets() const;
    // Corner radii {top-left, top-right, bottom-right, bottom-left} or null.
    void Paint(oxCanvas* canvas, const oxCanvasRect& rect, const float* radii);

    uint32_t color = 0xFF000000u;
    int32_t radius = 2;
    float opacity = 0.5f;
    POINT offset{0, 0};
    int32_t fillCenter = 0;
    int32_t kind = kShadow;
    uint8_t keyedOnAlpha = 0; // made from the painted pixels of the box's layer

private:
    oxDropShadow* EnsureDropShadow();

    oxDropShadow* m_dropShadow = nullptr;
};
