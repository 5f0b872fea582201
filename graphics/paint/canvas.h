#pragma once
// oxCanvas: the graphics context that boxes paint on. Around each box the painter pushes the box's
// colour transform, matrix and clip and pops them afterwards; the canvas keeps those stacks and owns
// every entry on them (colour transforms handed to PushColorTransform included). It also draws
// bitmaps through the texture mapping with the current colour transform, draws one canvas onto
// another, and maps rectangles and points through the current matrix.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/paint/canvas_color_transform.h"
#include "graphics/paint/graphics_context.h"

class oxDibBitmap;

// An integer rectangle {x, y, width, height}, as boxes measure themselves.
struct oxCanvasRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class oxCanvas : public oxGraphicsContext {
public:
    oxCanvas();
    // With a cleared 32-bit target of that size.
    oxCanvas(int32_t width, int32_t height);
    ~oxCanvas() override;

    using oxGraphicsContext::SetSize;
    // A new transparent 32-bit target unless the target already has exactly this size.
    void SetSize(int32_t width, int32_t height);

    // Colour transforms: the canvas takes ownership; the pushed one is composed with the top first.
    // Null pushes nothing.
    void PushColorTransform(oxCanvasColorTransform* transform);
    void PopColorTransform();
    // The top transform, or null.
    oxCanvasColorTransform* TopColorTransform() const;
    // The colour through the top transform; unchanged without one.
    uint32_t ApplyColorTransform(uint32_t argb) const;

    // Matrix stack. Popping an empty stack reports the underflow and changes nothing.
    void PushMatrix();
    void PopMatrix();
    // Clip stack over the clip bounds.
    void PushClip();
    void PopClip();
    // Style strings (copies; null is ignored).
    void PushStyleString(const char16_t* text);
    void PopStyleString();
    const char16_t* PeekStyleString() const;

    size_t ColorTransformDepth() const { return m_colorTransforms.size(); }
    size_t MatrixDepth() const { return m_matrices.size(); }
    size_t ClipDepth() const { return m_clips.size(); }
    // The clip bounds below every pushed clip: the area that the current paint is for.
    RECT BaseClipBounds() const { return m_clips.empty() ? ClipBounds() : m_clips.front(); }

    void ResetClip();
    // Narrows the clip bounds to the bounds of the rectangle mapped through the current matrix.
    void IntersectClip(const oxCanvasRect& rect);
    oxCanvasRect MapRect(const oxCanvasRect& rect) const;
    // The clip bounds in the current coordinates; empty when the matrix cannot be inverted.
    RECT GetLocalClipBounds() const;
    // The translation of the current matrix, truncated.
    POINT GetOrigin() const;
    // Moves the origin by a vector given in the current coordinates.
    void OffsetOrigin(float x, float y);

    // Null rectangles mean the whole target and the whole image. 1 when drawn.
    int DrawImage(const oxDibBitmap* bitmap, const oxCanvasRect* destination, const oxCanvasRect* source);
    virtual int DrawCanvas(const oxCanvas* source, const oxCanvasRect* destination, const oxCanvasRect* sourceRect);
    // Moves the target's pixels of the rectangle by the point.
    void ScrollRect(const oxCanvasRect& rect, POINT by);

    // Bit 0: made as a box layer.
    uint8_t flags = 0;

private:
    void ClearTransparent();

    std::vector<std::unique_ptr<oxCanvasColorTransform>> m_colorTransforms;
    std::vector<oxMatrix> m_matrices;
    std::vector<RECT> m_clips;
    std::vector<std::u16string> m_styleStrings;
};
