#pragma once
// oxFillCrossFade: paints a box's fill while it changes from one style value to another, mixing the
// two by the progress of the change. Two solid colours of the same shape mix into one fill; other
// pairs paint the nearer value and the farther one over it with the remaining weight. An image may
// stand for the from-value (a snapshot of what was painted before).
#include <cstdint>

#include "toolkit/style/style_value.h"

class oxCanvas;
class oxDibBitmap;
struct oxCanvasRect;

// What the cross-fade needs of the painter for one box and its fill group: which values are solid
// brushes, and the painting of the brush kinds it does not mix itself (image and gradient brushes).
class oxFillValuePainter {
public:
    virtual ~oxFillValuePainter() = default;
    // True when the value names a solid brush; gives its colour and corners {top-left, top-right,
    // bottom-right, bottom-left}.
    virtual bool GetSolidBrush(const oxStyleValue& value, uint32_t* argb, float radii[4]) = 0;
    // Paints any other brush value over the rectangle; kinds it does not know paint nothing.
    virtual void PaintBrush(oxCanvas* canvas, const oxStyleValue& value, const oxCanvasRect& rect) = 0;
};

class oxFillCrossFade {
public:
    oxFillCrossFade() = default;
    ~oxFillCrossFade();
    oxFillCrossFade(const oxFillCrossFade&) = delete;
    oxFillCrossFade& operator=(const oxFillCrossFade&) = delete;

    void SetFromValue(const oxStyleValue& value) { from_ = value; }
    void SetToValue(const oxStyleValue& value) { to_ = value; }
    // Takes ownership of `image` (or clears with null); a held image is blended into the new one first.
    void SetImage(oxDibBitmap* image);
    const oxDibBitmap* GetImage() const { return image_; }

    // The painter stands for the box and its fill group of the painting interface; without canvas,
    // painter or a non-empty rectangle nothing is painted.
    void Paint(oxCanvas* canvas, oxFillValuePainter* painter, const oxCanvasRect& rect);
    // A new 32-bit bitmap of the rectangle's size with the fill painted at (0, 0); the caller owns it.
    oxDibBitmap* RenderToBitmap(oxFillValuePainter* painter, const oxCanvasRect& rect);

    float progress = 0.0f; // 0..1

private:
    void PaintValue(oxCanvas* canvas, oxFillValuePainter* painter, const oxStyleValue& value, const oxCanvasRect& rect,
                    float weight);

    oxDibBitmap* image_ = nullptr;
    oxStyleValue from_;
    oxStyleValue to_;
};
