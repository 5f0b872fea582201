#pragma once
// oxSpanRenderer: draws a source image through a 3 x 4 matrix into a pixel buffer one scan line at a
// time. The texel position is stepped in 12.20 fixed point along each row; a row's span is cut to
// where its samples fall inside the source, then one filler (chosen by target and source depth)
// samples (nearest, bilinear, or a coarse bilinear with 2-bit weights) and copies, blends or tints.
// An 8-bit source is a coverage that tints with the colour or reveals a second image; an 8-bit mask
// the size of the target can be laid over every span afterwards.
//
// The renderer owns only its saved-span buffer; the mask, the second image and the palette are the
// caller's and must outlive the drawing.
#include <cstdint>

#include "graphics/pixels/matrix.h"
#include "graphics/pixels/pixel_buffer.h"

// (source pixel, target pixel, target x, target y) -> pixel; on a 16-bit target both are 16-bit.
using oxSpanBlend32 = uint32_t (*)(uint32_t source, uint32_t target, int32_t x, int32_t y);
using oxSpanBlend16 = uint16_t (*)(uint16_t source, uint16_t target, int32_t x, int32_t y);

class oxSpanRenderer {
public:
    // Sources larger than this in either direction are refused.
    static constexpr int32_t kMaxSourceSize = 2048;
    enum Filter : uint8_t { kNearest = 0, kBilinear = 1, kCoarseBilinear = 2 };

    explicit oxSpanRenderer(uint8_t inverted = 0);
    virtual ~oxSpanRenderer();
    oxSpanRenderer(const oxSpanRenderer&) = delete;
    oxSpanRenderer& operator=(const oxSpanRenderer&) = delete;

    // The gain tables run backwards (256 - i) when set.
    void SetInverted(uint8_t flag);
    // Both forms of the opacity: the float and 256 times it, cut to 0..256.
    void SetOpacity(float value);

    // The source stretched over `rect` {left, top, right, bottom} of the target (all of it for null);
    // with a palette set and a 4- or 8-bit source, by the paletted path. 1 when drawn or nothing was
    // in view, 0 when refused.
    int DrawImageInRect(oxPixelBuffer& target, const oxPixelBuffer& source, const RECT* rect);
    // The source through the matrix; `bounds` receives the clipped target rectangle drawn over. 0 for
    // empty images, sources over kMaxSourceSize, depths not handled (targets 8, 16 and 32 bits,
    // sources 8 and 32 bits), or a mask or second image that does not cover the target.
    int DrawTransformed(oxPixelBuffer& target, const oxPixelBuffer& source, const oxMatrix& matrix, RECT* bounds);

    static void TransformPoint(float out[3], const float point[3], const oxMatrix& matrix);
    // Bilinear kernels: p00 p10 on top, p01 p11 below, weights 0..255 towards the second of each pair.
    static uint32_t InterpolateArgb(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx, uint32_t fy);
    static uint32_t InterpolateArgbCoarse(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx,
                                          uint32_t fy);

    uint32_t color = 0;         // what an 8-bit source tints with
    uint8_t useSourceAlpha = 0; // a 32-bit source blends by its own alpha
    uint8_t halfBlend = 0;      // a 32-bit source onto a 32-bit target is averaged with it
    uint8_t filter = kNearest;
    uint8_t grey = 0; // an 8-bit source reaches the blend callback as a grey colour
    float opacity = 1.0f;
    int32_t opacityInt = 256;
    oxSpanBlend32 blend32 = nullptr;
    oxSpanBlend16 blend16 = nullptr;
    // Used once: the next paletted drawing clears it. Entries equal to the key are not drawn.
    const uint32_t* palette = nullptr;
    uint32_t colorKey = 0;
    RECT clip{-32768, -32768, 32767, 32767};
    // An 8-bit buffer of the target's size: 0 keeps the target as it was, 255 what was drawn.
    const oxPixelBuffer* mask = nullptr;
    // Of the target's depth and at least its size: an 8-bit source reveals it instead of tinting.
    const oxPixelBuffer* secondImage = nullptr;

    // The span of the last row drawn, [spanStart, spanEnd).
    int32_t spanStart = 0;
    int32_t spanEnd = 0;

private:
    int DrawPaletted(oxPixelBuffer& target, const oxPixelBuffer& source, const RECT& rect);
    bool PrepareMask(const oxPixelBuffer& target);
    void ApplyMask(oxPixelBuffer& target, int32_t y) const;
    void BuildGainTables();

    uint32_t* saved_ = nullptr; // target pixels of the span before it was drawn, by column
    int32_t savedCapacity_ = 0;
    int32_t gain_[257];
    uint8_t inverted_ = 255; // tables not built yet
};
