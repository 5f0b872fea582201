#pragma once
// oxBoxPainter: turns a box's computed style into drawing on a toolkit canvas: shadow, fill
// (colour, image with repeat and size rules, nine-slice image, or a brush element), bevel, stroke
// (one colour or one per side, width, dash pattern, corner radii, pens) and the compositing of a
// box's own layer. The box's paint pass decides the order and calls these; the drawing itself is
// the plain-value steps of graphics/paint/box_drawing.h.
#include <cstdint>

#include "graphics/paint/box_drawing.h"
#include "toolkit/base/rect.h"
#include "toolkit/style/fill_cross_fade.h"

class oxBox;
class oxBoxScene;
class oxBoxStyle;
class oxColorTransform;
class oxFillGroup;
class oxStrokeGroup;
class oxStyleLibrary;

// What the painter needs of the elements that fill and stroke values name: bitmaps, brushes and
// pens. Element kinds implement it.
class oxPaintElement {
public:
    enum Kind { kImage, kImageBrush, kLinearGradientBrush, kRadialGradientBrush, kSolidBrush, kPen, kReliefPen };

    virtual ~oxPaintElement() = default;
    virtual Kind GetPaintKind() const = 0;
    // A frame of the picture; null when it is missing or could not be decoded.
    virtual const oxDibBitmap* GetImage(int frame) {
        (void)frame;
        return nullptr;
    }
    // A picture of several frames: the current frame's delay in milliseconds; -1 for a still one.
    virtual int32_t GetAnimationDelay() { return -1; }
    // Moves a picture of several frames on to its next frame.
    virtual void AdvanceAnimation() {}
    // The fill group of an image or solid brush, the stroke group of a pen.
    virtual oxFillGroup* GetFillGroup() { return nullptr; }
    virtual oxStrokeGroup* GetStrokeGroup() { return nullptr; }
    // The ramp and texture matrix of a gradient brush over the rectangle.
    virtual bool GetGradient(const oxCanvasRect& rect, oxGradientFill* out) {
        (void)rect;
        (void)out;
        return false;
    }
    // A relief pen paints itself (through PaintRelief); `stroke` is the group that named it.
    virtual void PaintRelief(oxCanvas* canvas, const oxCanvasRect& rect, const oxStrokeGroup* stroke) {
        (void)canvas;
        (void)rect;
        (void)stroke;
    }
};

// Finds the element that a url() style value names for a box; null when it names nothing.
class oxPaintResolver {
public:
    virtual ~oxPaintResolver() = default;
    virtual oxPaintElement* Resolve(oxBoxScene* scene, const oxStyleValue& value) = 0;
};

class oxBoxPainter {
public:
    // The resolver used for url() values; null restores the default, which looks the reference up
    // in the box's style library.
    static void SetResolver(oxPaintResolver* resolver);

    // The push and pop steps around one box: colour transform, matrix, clip, origin (moved by
    // `offset`: the box's position in its parent, or minus its frame's position for a framed scene),
    // highlight string, and rotation and scale about the centre of a box of `size`.
    static void BeginBoxPaint(oxCanvas* canvas, oxBox* box, const oxPoint& offset, const oxPoint& size);
    static void EndBoxPaint(oxCanvas* canvas, oxBox* box);
    // Combined from the colour groups of the box (and its ancestors when asked); null when none
    // sets a colour property. The caller owns it.
    static oxColorTransform* BuildBoxColorTransform(oxBox* box, bool withAncestors);

    static void PaintBoxShadow(oxCanvas* canvas, const oxCanvasRect& rect, oxBoxStyle* style);
    static void PaintBoxFill(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxBoxStyle* style);
    static void PaintBoxStroke(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxBoxStyle* style);
    static void PaintBoxBevel(oxCanvas* canvas, const oxCanvasRect& rect, oxBoxStyle* style);
    // Paints a fill group's value (a colour or an element) over the rectangle.
    static void PaintFillGroup(oxCanvas* canvas, oxBoxScene* scene, const oxCanvasRect& rect, oxFillGroup* fill);

    // A box's own layer: made of the box's size, composited with the colour group's flip, blur and
    // opacity, the fill group's mask and an alpha-keyed shadow.
    static oxCanvas* CreateBoxLayer(const oxPoint& size);
    static void CompositeBoxLayer(oxCanvas* layer, oxCanvas* destination, oxBoxScene* scene, oxBoxStyle* style);
    static void FinishBoxLayer(oxCanvas* layer, oxCanvas* destination, oxBoxScene* scene, oxBoxStyle* style);

    // The dash mask of a `strokePattern` value: the keyword's mask, a colour's 32 bits, else solid.
    static uint32_t StrokeMask(const oxStyleValue& pattern);
    // The box's rectangle in its frame, cut by the rectangle of every ancestor that clips its
    // overflowing content (overflowed, with `overflow` hidden or scroll).
    static oxRect GetVisibleBoxRect(oxBox* box);
    // The image that the fill value names, or null.
    static const oxDibBitmap* GetBoxFillBitmap(oxBoxStyle* style, oxBoxScene* scene);

    // Installs the painter as the box paint pass's services (oxSetBoxPaintServices).
    static void InstallPaintServices();

    // Forgets which missing pictures were reported (tests).
    static void ResetReports();
};

// The painter's side of a fill cross-fade for one box: solid brushes and their corners, and the
// painting of the other brush values.
class oxBoxFillValuePainter : public oxFillValuePainter {
public:
    oxBoxFillValuePainter(oxBoxScene* scene, oxBoxStyle* style) : scene_(scene), style_(style) {}
    bool GetSolidBrush(const oxStyleValue& value, uint32_t* argb, float radii[4]) override;
    void PaintBrush(oxCanvas* canvas, const oxStyleValue& value, const oxCanvasRect& rect) override;

private:
    oxBoxScene* scene_;
    oxBoxStyle* style_;
};
