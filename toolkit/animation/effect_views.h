#pragma once
// What the row-by-row renderers share: views of the work surface, the target and the source over
// the source's rectangle, and rows addressed at either depth.
#include <cstdint>

#include "graphics/pixels/pixel_buffer.h"

struct oxEffectViews {
    oxPixelBuffer surface, target, source;

    oxEffectViews(const oxPixelBuffer& onSurface, const oxPixelBuffer& ofTarget, const oxPixelBuffer& ofSource) {
        const RECT whole{0, 0, ofSource.width, ofSource.height};
        surface.InitSubRect(onSurface, &whole);
        target.InitSubRect(ofTarget, &whole);
        source.InitSubRect(ofSource, &whole);
    }
    // All three have pixels, and the target and source cover the surface: a row of any of them
    // can be read wherever the surface has one.
    bool Usable() const {
        return surface.HasPixels() && source.HasPixels() && target.HasPixels() && source.width >= surface.width &&
               source.height >= surface.height && target.width >= surface.width && target.height >= surface.height;
    }
};

template <typename Pixel> Pixel* RowOf(const oxPixelBuffer& b, int32_t y) {
    if constexpr (sizeof(Pixel) == 4)
        return b.GetRow32(y);
    else
        return b.GetRow16(y);
}
