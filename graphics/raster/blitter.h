#pragma once
// Rectangle operations between pixel buffers: copying and scaling images with an opacity, source
// alpha and a per-pixel callback, fills of selected channels, 8-bit masks drawn in a colour, alpha
// extraction, depth conversion, scrolling in place and blurring. A blitter is made on the stack
// for one operation or a few, configured, used and thrown away; it owns nothing.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"

// Blits: (source pixel, destination pixel, pixels left in the row) -> the pixel to blend.
// Fills: (colour, destination pixel, 0) -> the colour to blend. Alpha extraction: (pixel, pixel, 0),
// of which the top byte is used. Masks: (colour, destination pixel, the row's first column).
using oxPixelCallback = uint32_t (*)(uint32_t a, uint32_t b, int32_t n);

// Work state of a blur kept by callers that blur repeatedly.
struct oxBlurContext {
    uint8_t valid = 0;
    int32_t maxRadius = 0;
    int32_t radiusX = 0;
    int32_t radiusY = 0;
    int32_t lineSize = 0; // elements of the work line
    uint8_t horizontal = 1;
    uint8_t vertical = 1;
    void* line = nullptr; // lineSize elements of 8 bytes, from ImageAlloc

    // Room for blurs of up to `maxRadius` over lines of up to `maxLength` pixels. 0 when short of memory.
    int Init(int32_t maxRadius, int32_t maxLength);
    void Free();
    ~oxBlurContext() { Free(); }
};

class oxBlitter {
public:
    oxBlitter() = default;
    virtual ~oxBlitter() = default;

    // 0 when either buffer has no pixels or the pair of depths is not handled, else 1.
    int DrawImage(oxPixelBuffer& destination, const RECT* destinationRect, const oxPixelBuffer& source,
                  const RECT* sourceRect, bool smooth, bool sourceAlpha);
    // Scaled 32-bit blends; the last DrawImage's whole rectangles place the clipped part.
    int StretchNearest(oxPixelBuffer& destination, const RECT& destinationRect, const oxPixelBuffer& source,
                       const RECT& sourceRect, int32_t opacity, bool sourceAlpha, oxPixelCallback callback);
    int StretchSmooth(oxPixelBuffer& destination, const RECT& destinationRect, const oxPixelBuffer& source,
                      const RECT& sourceRect, int32_t opacity, bool sourceAlpha, oxPixelCallback callback);

    // All channels, or only alpha; a rectangle is first cut to the clip, none means the whole target.
    int FillRect(oxPixelBuffer& destination, const RECT* rect, uint32_t color);
    int FillAlpha(oxPixelBuffer& destination, const RECT* rect, uint32_t color);

    // An 8-bit mask scaled onto a 32-bit destination in a colour (or the callback's colours).
    int DrawMask(oxPixelBuffer& destination, const RECT* destinationRect, const oxPixelBuffer& mask,
                 const RECT* maskRect, uint32_t color);
    // An 8-bit mask blended into an 8-bit buffer towards `value`.
    int DrawMask8(oxPixelBuffer& destination, const RECT* destinationRect, const oxPixelBuffer& mask,
                  const RECT* maskRect, uint8_t value);

    // Alpha bytes of a 32-bit source into an 8-bit destination at `point`, unscaled.
    int ExtractAlpha(oxPixelBuffer& destination, POINT point, const oxPixelBuffer& source, const RECT* sourceRect);
    int ExtractAlphaScaled(oxPixelBuffer& destination, const RECT* destinationRect, const oxPixelBuffer& source,
                           const RECT* sourceRect);

    // Moves a rectangle (the whole buffer for none) by (dx, dy) in place.
    int Scroll(oxPixelBuffer& buffer, const RECT* rect, int32_t dx, int32_t dy);

    // Blurs an 8- or 32-bit buffer in place. 0 when the work line cannot be had (buffer unchanged).
    int BlurBuffer(oxPixelBuffer& buffer, const RECT* rect, float radius, oxBlurContext* context);

    // 256 - trunc(fade * 256), kept within 0..256.
    int32_t Opacity() const;

    RECT sourceRect{-32768, -32768, 32767, 32767};
    RECT destinationRect{-32768, -32768, 32767, 32767};
    RECT clip{-32768, -32768, 32767, 32767};
    int32_t blurEdgeMode = 0; // 0 extends the edges, 1 wraps around (32-bit buffers only)
    oxPixelCallback callback = nullptr;
    float fade = 0.0f; // 0 opaque, 1 invisible
};

// The unscaled 32-to-32 blend of equal-sized rectangles.
int BlendImage(oxPixelBuffer& destination, const RECT& destinationRect, const oxPixelBuffer& source,
               const RECT& sourceRect, int32_t opacity, bool sourceAlpha, oxPixelCallback callback);
// Bilinear scaling without blending; 0 for sizes of 2 or less that differ.
int StretchCopy(oxPixelBuffer& destination, const RECT& destinationRect, const oxPixelBuffer& source,
                const RECT& sourceRect);
// The general fill: alpha and/or colour channels, an opacity from `fade`, colours from `callback`.
int FillChannels(oxPixelBuffer& destination, const RECT* rect, uint32_t color, bool alpha, bool colour, float fade,
                 oxPixelCallback callback);
// 8-bit grey from a 32-bit source of the same size.
int ToGray(oxPixelBuffer& destination, const oxPixelBuffer& source);
// Clips both rectangles to their bounds, keeping their proportion. False when nothing is left.
bool ClipBlitRects(const RECT& sourceBounds, const RECT& destinationBounds, RECT* source, RECT* destination);
// a minus b as up to four rectangles; the count.
int SubtractRect(const RECT& a, const RECT& b, RECT out[4]);
// One filtered pixel from four neighbours and 8-bit fractions.
uint32_t Bilinear(uint32_t topLeft, uint32_t topRight, uint32_t bottomLeft, uint32_t bottomRight, uint32_t fx,
                  uint32_t fy);
// 256 - trunc(fade * 256) within 0..256; NaN draws nothing.
int32_t OpacityFromFade(float fade);
