#pragma once
// oxGradientBrushElement: a `linearGradientBrush` or `radialGradientBrush` resource of a library.
// Its `gradientStops` child lists colours at offsets; the brush turns them into a table of 256
// premultiplied colours (made once, on the first paint) and, for each box rectangle, into the matrix
// that lays the table over the rectangle, moved by its `rotateTransform`, `scaleTransform` and
// `translateTransform` children in order. A radial brush spreads the table from its focus.
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/pixels/matrix.h"
#include "graphics/pixels/pixel_buffer.h"
#include "toolkit/library/bindable_element.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/style/style_value.h"

struct oxFloatRect {
    float x, y, width, height;
};

class oxGradientStopElement : public oxElement {
public:
    oxGradientStopElement() : oxElement(kAtomResourceNamespace, kAtomGradientStop) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    uint32_t color = 0;
    int32_t offset = 0; // 16.16, 0 to 65536
};

class oxGradientStopsElement : public oxElement {
public:
    oxGradientStopsElement() : oxElement(kAtomResourceNamespace, kAtomGradientStops) {}
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    std::vector<std::unique_ptr<oxGradientStopElement>> stops;
};

// One of the transform children: multiplies its transform into a matrix for a rectangle.
class oxGradientTransformElement : public oxElement {
public:
    explicit oxGradientTransformElement(oxAtom tag) : oxElement(kAtomResourceNamespace, tag) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    void Apply(oxMatrix* matrix, const oxFloatRect& rect) const;

    float angle = 0;                  // rotate: degrees
    float centerX = 0.5f, centerY = 0.5f;
    float scaleX = 1.0f, scaleY = 1.0f;
    float x = 0, y = 0; // translate: fractions of the rectangle
};

class oxGradientBrushElement : public oxBindableElement, public oxPaintElement {
public:
    static constexpr int kTableSize = 256; // kGradientRampSize

    oxGradientBrushElement(oxAtom tag, oxLibrary* library);
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    Kind GetPaintKind() const override { return radial_ ? kRadialGradientBrush : kLinearGradientBrush; }
    bool GetGradient(const oxCanvasRect& rect, oxGradientFill* out) override;

    // The table over its 256 x 1 pixel buffer, made on first use; null without stops.
    const oxPixelBuffer* GetColorTable();
    const uint32_t* GetTableEntries() const { return table_.get(); }
    bool IsOpaque() const { return opaque_; }
    // The texture matrix that lays a table of width x height over the rectangle.
    void GetGradientMatrix(oxMatrix* out, int32_t width, int32_t height, const oxFloatRect& rect) const;

    // Fills `table` (256 entries) from the stops.
    static void FillColorTable(uint32_t* table, const oxGradientStopElement* const* stops, int count);

private:
    bool radial_;
    std::vector<std::unique_ptr<oxGradientTransformElement>> transforms_;
    float focusX_ = 0, focusY_ = 0;
    std::unique_ptr<uint32_t[]> table_;
    oxPixelBuffer tableBuffer_;
    bool opaque_ = true;
    std::unique_ptr<oxGradientStopsElement> stops_;
    oxStyleValue cornerRadius_;
};
