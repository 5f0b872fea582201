#pragma once
// What the box paint pass asks of the canvas and of the box painter (fills, strokes, shadows,
// layer canvases). The graphics side installs its implementation; until it does, every call does
// nothing, so the tree can be painted (and its paint order tested) without pixels.
#include <cstdint>

#include "toolkit/base/rect.h"

class oxBox;
class oxBoxScene;
class oxBoxStyle;
class oxCanvas;
class oxFillCrossFade;

class oxBoxPaintServices {
public:
    virtual ~oxBoxPaintServices() = default;

    // Canvas.
    // The clip rectangle in the canvas's current coordinates; false when the canvas does not clip.
    virtual bool GetClipRect(oxCanvas* canvas, oxRect* out) {
        (void)canvas, (void)out;
        return false;
    }
    virtual void OffsetOrigin(oxCanvas* canvas, int32_t dx, int32_t dy) { (void)canvas, (void)dx, (void)dy; }
    virtual void PushClip(oxCanvas* canvas) { (void)canvas; }
    virtual void PopClip(oxCanvas* canvas) { (void)canvas; }
    virtual void IntersectClip(oxCanvas* canvas, const oxRect& rect) { (void)canvas, (void)rect; }
    virtual void PushMatrix(oxCanvas* canvas) { (void)canvas; }
    virtual void PopMatrix(oxCanvas* canvas) { (void)canvas; }

    // Box painter.
    // Pushes the box's colour transform, matrix, clip and origin on the outer canvas; EndBoxPaint pops them.
    virtual void BeginBoxPaint(oxCanvas* canvas, oxBox* box) { (void)canvas, (void)box; }
    virtual void EndBoxPaint(oxCanvas* canvas, oxBox* box) { (void)canvas, (void)box; }
    virtual void PaintBoxShadow(oxCanvas* canvas, oxBox* box, const oxRect& rect, oxBoxStyle* style) {
        (void)canvas, (void)box, (void)rect, (void)style;
    }
    // How far the style's shadow reaches outside the box {left, top, right, bottom}; false when it
    // draws none.
    virtual bool GetShadowExtents(oxBoxStyle* style, int32_t out[4]) {
        (void)style, (void)out;
        return false;
    }
    virtual void PaintBoxFill(oxCanvas* canvas, oxBoxScene* scene, const oxRect& rect, oxBoxStyle* style) {
        (void)canvas, (void)scene, (void)rect, (void)style;
    }
    // The fill mixed from one style value to another by the cross-fade's progress.
    virtual void PaintBoxFillCrossFade(oxCanvas* canvas, oxBoxScene* scene, const oxRect& rect, oxBoxStyle* style,
                                       oxFillCrossFade* fade) {
        (void)canvas, (void)scene, (void)rect, (void)style, (void)fade;
    }
    virtual void PaintBoxStroke(oxCanvas* canvas, oxBoxScene* scene, const oxRect& rect, oxBoxStyle* style) {
        (void)canvas, (void)scene, (void)rect, (void)style;
    }
    virtual void PaintBoxScrollCorner(oxCanvas* canvas, const oxRect& rect, oxBoxStyle* style) {
        (void)canvas, (void)rect, (void)style;
    }
    // The current frame's delay of a fill picture of several frames, after moving it to its next
    // frame when `advance`; -1 when the fill is no such picture.
    virtual int32_t StepFillAnimation(oxBoxScene* scene, oxBoxStyle* style, bool advance) {
        (void)scene, (void)style, (void)advance;
        return -1;
    }
    // An offscreen canvas of the box's size for a box that composites as a whole, or null.
    virtual oxCanvas* CreateBoxLayerCanvas(oxBox* box, int32_t width, int32_t height) {
        (void)box, (void)width, (void)height;
        return nullptr;
    }
    // Composites the layer canvas onto the outer one with the box's style and destroys it.
    virtual void CompositeBoxLayerCanvas(oxCanvas* outer, oxCanvas* layer, oxBox* box) {
        (void)outer, (void)layer, (void)box;
    }
    // Makes a target snapshot's canvas ready for the box to paint into: sized, its batch opened,
    // cleared, and marked as a layer when the snapshot is transparent. False when it holds no picture.
    virtual bool PrepareSnapshotCanvas(oxCanvas* snapshot, int32_t width, int32_t height, bool transparent) {
        (void)snapshot, (void)width, (void)height, (void)transparent;
        return false;
    }
    // Composites a target snapshot's canvas onto the outer one with the box's style when asked,
    // mirrors it for a `flip` of "x" and closes its batch; the canvas stays the snapshot's.
    virtual void FinishSnapshotCanvas(oxCanvas* outer, oxCanvas* snapshot, oxBox* box, bool composite) {
        (void)outer, (void)snapshot, (void)box, (void)composite;
    }
    // Draws `from` (the part `fromRect` of it, or all of it) onto `into` at `to`.
    virtual void DrawCanvas(oxCanvas* into, oxCanvas* from, const oxRect& to, const oxRect* fromRect) {
        (void)into, (void)from, (void)to, (void)fromRect;
    }
};

// The snapshots registered for boxes: layer 1 holds the source snapshot drawn over a box, layer 0
// the target snapshot it paints into. The animation module installs it.
class oxBoxSnapshotRegistry {
public:
    virtual ~oxBoxSnapshotRegistry() = default;
    // False when the box has no snapshot in the layer; else its canvas (null when it has none) and
    // whether it is transparent.
    virtual bool FindSnapshot(const oxBox* box, int layer, oxCanvas** canvas, bool* transparent) = 0;
    // A box going away drops its snapshots, so that a later box at its address finds none.
    virtual void ForgetBox(const oxBox* box) = 0;
};

oxBoxSnapshotRegistry* oxGetBoxSnapshotRegistry();
void oxSetBoxSnapshotRegistry(oxBoxSnapshotRegistry* registry);

// The installed services (a do-nothing set until one is installed). Null restores the default.
oxBoxPaintServices& oxGetBoxPaintServices();
void oxSetBoxPaintServices(oxBoxPaintServices* services);
