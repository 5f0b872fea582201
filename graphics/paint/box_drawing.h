#pragma once
// The drawing steps that paint a box: round-rectangle fills and strokes, image fills (stretched,
// tiled, nine-sliced), gradient fills, relief bands, multi-colour strokes and the compositing of a
// box's own layer. They take plain values, so the style side (oxBoxPainter) reads the computed
// style and the graphics code never sees style records. Every step does nothing on a canvas
// without a target.
#include <cstddef>
#include <cstdint>

#include "graphics/paint/canvas.h"
#include "graphics/pixels/matrix.h"

class oxDibBitmap;
class oxFrameList;
class oxShadowStyle;

// Axis words of fill size and repeat.
enum oxFillAxis : uint8_t {
    kFillAxisUnset = 0, // size: stretched; repeat: one image
    kFillAxisNone,
    kFillAxisX,
    kFillAxisY,
    kFillAxisBoth,
    kFillAxisCenter,
};

// Corner radii are {top-left, top-right, bottom-right, bottom-left}; side flags {left, top, right,
// bottom}.
void FillRoundRect(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t argb, float radius);
void FillRoundRectRadii(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t argb, const float radii[4]);
// `mask` has one bit per pixel along the line, 1 drawn; all ones is solid. Any pattern draws a
// one-pixel line whatever the width.
void StrokeRoundRect(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t argb, float width, const float radii[4],
                     uint32_t mask, const uint8_t* sides);
// The rectangle to hand StrokeRoundRect for a stroke of `width` round a box: grown by width - 1 in
// each dimension that is positive (by width in one that is 0), so that the centre line runs
// through the box's outermost pixel rows and columns on all four sides alike.
oxCanvasRect StrokePathRect(const oxCanvasRect& box, int32_t width);

// The image stretched into the rectangle; with size `center`, an image shorter than the rectangle
// keeps its height and is centred vertically.
void DrawResourceImage(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, oxFillAxis size);
void PaintImageFill(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, oxFillAxis size,
                    oxFillAxis repeat, POINT origin);
// Slices {left, top, right, bottom} of the image; size `none` leaves the centre out.
void PaintNineSlice(oxCanvas* canvas, const oxCanvasRect& rect, const oxDibBitmap* image, const RECT& slices,
                    oxFillAxis size);

// What a gradient brush supplies: its colour ramp, the texture matrix that lays the ramp over the
// rectangle, and optionally its own corner radii.
struct oxGradientFill {
    const oxPixelBuffer* ramp = nullptr;
    oxMatrix matrix;
    bool radial = false;
    bool opaque = false;
    bool hasRadii = false;
    float radii[4] = {0, 0, 0, 0};
};
// A ramp of `count` stops (0xAARRGGBB, evenly spaced) over `length` pixels into `ramp` (32-bit,
// length x 1), and the matrix that lays it along the rectangle from `from` to `to` (fractions of
// the rectangle). The stops are premultiplied.
bool BuildLinearGradient(oxDibBitmap* ramp, const uint32_t* stops, int count, const oxCanvasRect& rect, float fromX,
                         float fromY, float toX, float toY, oxGradientFill* out);
void PaintGradient(oxCanvas* canvas, const oxCanvasRect& rect, const oxGradientFill& gradient, const float radii[4]);
// One radius for every corner (null: square corners); the gradient's own radii still win.
void PaintGradientRadius(oxCanvas* canvas, const oxCanvasRect& rect, const oxGradientFill& gradient,
                         const float* radius);

void PaintRelief(oxCanvas* canvas, const oxCanvasRect& rect, uint32_t light, uint32_t dark, int32_t thickness);

// A stroke whose adjacent sides differ in colour: the sides {left, top, right, bottom} that are set,
// each in its colour, drawn through a colour map over the box rectangle.
void StrokeMultiColor(oxCanvas* canvas, const oxCanvasRect& box, const uint32_t colors[4], const uint8_t sides[4],
                      float width, const float radii[4], uint32_t mask);

// A mask that a layer is blended towards: painted into a temporary canvas of the layer's size.
class oxLayerMaskSource {
public:
    virtual ~oxLayerMaskSource() = default;
    virtual void PaintMask(oxCanvas* canvas, const oxCanvasRect& rect) = 0;
};

// How a box's own layer goes onto the canvas below.
struct oxLayerComposite {
    oxFillAxis flip = kFillAxisUnset; // x, y or both
    int32_t blur = 0;
    int32_t opacity = -1; // percent; -1 unset
    oxLayerMaskSource* mask = nullptr;
    oxShadowStyle* alphaShadow = nullptr; // a shadow keyed on the layer's alpha
};

// A cleared 32-bit canvas flagged as a layer with its batch open; the caller owns it. Null when
// memory ran out.
oxCanvas* CreateBoxLayer(int32_t width, int32_t height);
void CompositeBoxLayer(oxCanvas* layer, oxCanvas* destination, const oxLayerComposite& how);
// Composites, closes the layer's batch and deletes it.
void FinishBoxLayer(oxCanvas* layer, oxCanvas* destination, const oxLayerComposite& how);

// Canvas steps around a frame's paint. BeginFramePaint drops the clip rectangle (the clip bounds set
// for the dirty rectangle stay), sizes the canvas to the client area with its width rounded up to even,
// opens the batch and clears the target when asked. EndFramePaint copies the clipped part onto the
// window when asked, then closes the batch.
void BeginFramePaint(oxCanvas* canvas, int32_t clientWidth, int32_t clientHeight, bool clear);
void EndFramePaint(oxCanvas* canvas, HWND window, bool copy);
void BeginCanvasPaint(oxCanvas* canvas, int32_t width, int32_t height);
// Clears the whole target to transparent black; 0 without a target.
int ClearCanvas(oxCanvas* canvas);

// Pixel routines.
void MirrorPixelBufferHorizontally(oxPixelBuffer& buffer);
// Alpha bytes of the rectangle (the whole image for null) set to alpha x 256, rounded, at most 255.
void SetAlphaRect(oxDibBitmap* bitmap, const RECT* rect, float alpha);
void SetCanvasAlphaRect(oxCanvas* canvas, const oxCanvasRect& rect, float alpha);
// `bitmap`, the first frame of `frames`, made 32-bit (the converted bitmap takes its place in the list)
// and, unless its pixels carry a premultiplied alpha, opaque. The bitmap now in the list, or null when
// there is none or the conversion failed (the list then keeps the old one).
oxDibBitmap* MakeOpaque32(oxDibBitmap* bitmap, oxFrameList* frames);
// DecodeImage (which takes the block over), then MakeOpaque32 on a picture of a single frame.
int DecodeImageOpaque(void* data, size_t size, oxFrameList* frames);
// Grows `rect` to enclose `other`; null does nothing.
void RectUnion(RECT& rect, const RECT* other);
