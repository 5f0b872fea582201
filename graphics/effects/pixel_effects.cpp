#include "graphics/effects/pixel_effects.h"

#include <cmath>
#include <initializer_list>

#include "graphics/effects/effects_internal.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/blitter.h"

namespace {

// Masks wider or taller than this are refused rather than allocated.
constexpr int64_t kMaxMaskSide = 0x7FFF;

int32_t BlurCoefficient(float radius) {
    // The influence of a pixel falls to a tenth after 2 x radius pixels.
    return int32_t(std::floor((1.0 - std::pow(0.1, 1.0 / (2.0 * double(radius)))) * 32768.0));
}

} // namespace

oxDibBitmap* MakeShadowMask(const oxPixelBuffer& source, const RECT* sourceRect, int32_t radius) {
    if (radius <= 0 || !source.HasPixels() || (source.bpp != 32 && source.bpp != 8)) return nullptr;
    const RECT r = sourceRect ? *sourceRect : RECT{0, 0, source.width, source.height};
    const int64_t width = int64_t(r.right) - r.left, height = int64_t(r.bottom) - r.top;
    if (width <= 0 || height <= 0) return nullptr;
    const int64_t maskWidth = width + 4 * int64_t(radius), maskHeight = height + 4 * int64_t(radius);
    if (maskWidth > kMaxMaskSide || maskHeight > kMaxMaskSide) return nullptr;

    auto* mask = new (std::nothrow) oxDibBitmap(int32_t(maskWidth), int32_t(maskHeight), 8, source.topDown != 0, false);
    if (!mask) return nullptr;
    if (!mask->valid || mask->bpp != 8) {
        delete mask;
        return nullptr;
    }
    oxBlitter blitter;
    blitter.FillRect(mask->pixels, nullptr, 0);
    const int32_t inset = 2 * radius;
    if (source.bpp == 32) {
        blitter.ExtractAlpha(mask->pixels, POINT{inset, inset}, source, &r);
    } else {
        const RECT inner{inset, inset, int32_t(maskWidth) - inset, int32_t(maskHeight) - inset};
        blitter.DrawImage(mask->pixels, &inner, source, &r, false, false);
    }
    blitter.BlurBuffer(mask->pixels, nullptr, float(radius), nullptr);
    return mask;
}

void SmoothLine(uint32_t* destination, const uint32_t* source, intptr_t destinationStep, intptr_t sourceStep,
                int32_t coefficient, int32_t count) {
    int32_t b = int32_t(*source & 0xFF) << 8;
    int32_t g = int32_t((*source >> 8) & 0xFF) << 8;
    int32_t r = int32_t((*source >> 16) & 0xFF) << 8;
    for (int32_t i = 0; i < count; ++i) {
        *destination = uint32_t(r >> 8) << 16 | uint32_t(g >> 8) << 8 | uint32_t(b >> 8);
        source += sourceStep;
        const uint32_t p = *source;
        b += ((int32_t(p & 0xFF) << 8) - b) * coefficient >> 15;
        g += ((int32_t((p >> 8) & 0xFF) << 8) - g) * coefficient >> 15;
        r += ((int32_t((p >> 16) & 0xFF) << 8) - r) * coefficient >> 15;
        destination += destinationStep;
    }
}

void ExpBlur(oxPixelBuffer& destination, const oxPixelBuffer* source, float radius, bool horizontal, bool vertical) {
    if (!(radius > 0.0f) || !destination.HasPixels() || destination.bpp != 32) return;
    if (source && (!source->HasPixels() || source->bpp != 32 || source->width != destination.width ||
                   source->height != destination.height))
        return;
    const oxPixelBuffer& from = source ? *source : destination;
    const int32_t k = BlurCoefficient(radius);
    const int32_t w = destination.width, h = destination.height;
    const intptr_t fromStep = from.rowStep / 4, toStep = destination.rowStep / 4;
    // Each backward pass reads what its forward pass wrote, so that a separate source is blurred
    // both ways as an in-place buffer is, rather than only from the right.
    if (horizontal) {
        for (int32_t y = 0; y < h; ++y) {
            uint32_t* row = destination.GetRow32(y);
            SmoothLine(row, from.GetRow32(y), 1, 1, k, w - 1);
            if (source) row[w - 1] = from.GetRow32(y)[w - 1] & 0x00FFFFFF;
            SmoothLine(row + w - 1, row + w - 1, -1, -1, k, w - 1);
        }
    }
    if (vertical) {
        const bool fromSource = source && !horizontal;
        const oxPixelBuffer& columns = fromSource ? *source : destination;
        const intptr_t step = fromSource ? fromStep : toStep;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t* top = destination.GetRow32(0) + x;
            uint32_t* bottom = destination.GetRow32(h - 1) + x;
            SmoothLine(top, columns.GetRow32(0) + x, toStep, step, k, h - 1);
            if (fromSource) *bottom = columns.GetRow32(h - 1)[x] & 0x00FFFFFF;
            SmoothLine(bottom, bottom, -toStep, -toStep, k, h - 1);
        }
    }
}

int CrossFade(oxPixelBuffer& destination, const oxPixelBuffer& first, const oxPixelBuffer& second, int32_t amount,
              int32_t interlace) {
    if (!destination.HasPixels() || (destination.bpp != 16 && destination.bpp != 32)) return 0;
    // Sources must cover the destination, or the rows below would be read past their ends.
    for (const oxPixelBuffer* s : {&first, &second})
        if (!s->HasPixels() || s->bpp != destination.bpp || s->width < destination.width ||
            s->height < destination.height)
            return 0;
    amount = amount < 0 ? 0 : amount > 256 ? 256 : amount;
    const int32_t w = destination.width, h = destination.height;
    if (destination.bpp == 32) {
        const uint32_t a = uint32_t(amount);
        for (int32_t y = 0; y < h; ++y) {
            if (interlace && ((interlace + y) & 1)) continue;
            const uint32_t* f = first.GetRow32(y);
            const uint32_t* s = second.GetRow32(y);
            uint32_t* d = destination.GetRow32(y);
            for (int32_t x = 0; x < w; ++x) {
                const uint32_t rb = BlendPair(f[x] & 0x00FF00FF, s[x] & 0x00FF00FF, a, 8, 0x00FF00FF);
                const uint32_t ag = BlendPair((f[x] >> 8) & 0x00FF00FF, (s[x] >> 8) & 0x00FF00FF, a, 8, 0x00FF00FF);
                d[x] = rb | ag << 8;
            }
        }
        return 1;
    }
    if (destination.layout != kLayoutUnspecified) SetPixelFormatForLayout(destination.layout);
    const uint32_t group = g_pixelFormat.group, green = ~group & 0xFFFF;
    for (int32_t y = 0; y < h; ++y) {
        if (interlace && ((interlace + y) & 1)) continue;
        const uint16_t* f = first.GetRow16(y);
        const uint16_t* s = second.GetRow16(y);
        uint16_t* d = destination.GetRow16(y);
        const uint8_t* dither = kOrderedDither + (y & 3) * 4;
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t weight = uint32_t(amount + dither[x & 3] / 32) >> 3;
            const uint32_t rb = BlendPair(f[x] & group, s[x] & group, weight, 5, group);
            const uint32_t g = BlendPair((f[x] & green) >> 5, (s[x] & green) >> 5, weight, 5, green >> 5);
            d[x] = uint16_t(rb | g << 5);
        }
    }
    return 1;
}
