#pragma once
// oxDropShadow: the soft shadow of a box, outside a rectangle (a drop shadow) or inside it (an inner
// shadow). A soft square is built once per radius as an 8-bit mask (a square blurred and then
// sharpened), cut into nine parts, stretched around the rectangle and blended into the target in the
// shadow colour; the cost per frame is the blend, never the blur.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"

class oxDibBitmap;
class oxSpanRenderer;

class oxDropShadow {
public:
    // Radii above this are refused: the mask grows with the square of the radius.
    static constexpr int32_t kMaxRadius = 128;

    oxDropShadow() = default;
    virtual ~oxDropShadow();
    oxDropShadow(const oxDropShadow&) = delete;
    oxDropShadow& operator=(const oxDropShadow&) = delete;

    // Builds the masks for radius r and sets both offsets to r. False when the masks cannot be made
    // (r not in 1..kMaxRadius, or short of memory); nothing is drawn then.
    bool SetRadius(int32_t r);
    // Rectangles are {left, top, right, bottom}; a null clip means only the object's own clip. True
    // with nothing drawn for a null rectangle; false without masks or target.
    bool DrawOuter(oxPixelBuffer& target, const RECT* rect, const RECT* clip);
    // The drop shadow of a box whose rectangle has round corners (radii top-left, top-right,
    // bottom-right, bottom-left, fitted to its sides as a rounded fill fits them): DrawOuter, and in
    // the corners of the rectangle the shadow outside the arcs, as much as the arc leaves open.
    bool DrawOuterRounded(oxPixelBuffer& target, const RECT* rect, const RECT* clip, const float radii[4]);
    bool DrawInner(oxPixelBuffer& target, const RECT* rect, const RECT* clip);

    const oxPixelBuffer* OuterMask() const;

    int32_t radius = 0;
    uint32_t color = 0;
    float opacity = 1.0f;
    int32_t offsetX = 8;
    int32_t offsetY = 8;
    uint8_t fillCenter = 0;
    // Applied to every draw when set.
    RECT* clip = nullptr;
    // When set, the parts are drawn through it (its colour, opacity and clip are set for each part,
    // the clip restored after); else by the object's own mask blend. Not owned.
    oxSpanRenderer* spanRenderer = nullptr;

    // A corner's arc: the shadow shows outside the circle, with an anti-aliased edge.
    struct Arc {
        double cx, cy, r;
    };

private:
    void FreeMasks();
    // The rectangle the outer shadow of `rect` covers.
    RECT OuterShadowRect(const RECT& rect) const;
    // The nine parts of `mask` around `target`, leaving out `exclude` when given, and what `arc`
    // covers when given.
    void DrawNineParts(oxPixelBuffer& target, const oxPixelBuffer& mask, const RECT& rect, const RECT* exclude,
                       const RECT* renderClip, const Arc* arc = nullptr);
    void DrawPartThroughRenderer(oxPixelBuffer& target, const oxPixelBuffer& mask, const RECT& from, const RECT& to,
                                 const RECT& pieceClip);

    oxDibBitmap* m_innerMask = nullptr;
    oxDibBitmap* m_outerMask = nullptr;
};

// Source and mask stretched over `targetRect` (the whole target for null) within `clip`: every target
// pixel gets the source pixel composited over it, scaled by the mask pixel's alpha. All three must be
// 32-bit. With useSourceAlpha false the source counts as opaque.
bool CompositeWithMask(const RECT* clip, oxPixelBuffer& target, const RECT* targetRect, const oxPixelBuffer& source,
                       const RECT* sourceRect, const oxPixelBuffer& mask, const RECT* maskRect, bool useSourceAlpha);

// The default shadow clip (-32000, -32000, 32000, 32000) for null, else a copy of `source`.
void ResetShadowClip(RECT* rect);
void CopyShadowClip(RECT* rect, const RECT* source);
