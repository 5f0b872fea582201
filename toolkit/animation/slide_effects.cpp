#include "toolkit/animation/slide_effects.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/blitter.h"

void oxAxisEffect::DrawPicture(const oxPixelBuffer& picture, const RECT& to) {
    oxPixelBuffer surface = surface_.Target();
    oxBlitter().DrawImage(surface, &to, picture, nullptr, false, false);
}

bool oxMoveEffect::RenderFrame(float a) {
    const int32_t w = source_.width, h = source_.height;
    const float dx = parameters_[0], dy = parameters_[1];
    const int32_t x = int32_t(float(w) * (1.0f - a) * dx), y = int32_t(float(h) * (1.0f - a) * dy);
    const RECT full{0, 0, w, h}, moved{x, y, w + x, h + y};
    surface_.BeginBatch();
    RECT update = moved;
    // Going back (a curve that swings) uncovers source again: redraw what the target left.
    if (a < last_ || a < 0.0f || a > 1.0f) {
        RECT parts[4];
        const int n = SubtractRect(full, moved, parts);
        oxPixelBuffer surface = surface_.Target();
        for (int i = 0; i < n; ++i)
            oxBlitter().DrawImage(surface, &parts[i], source_, &parts[i], false, false);
        update = full;
    }
    last_ = a;
    DrawPicture(target_, moved);
    oxUpdateItem item;
    item.source = RECT{std::max(update.left, 0), std::max(update.top, 0), update.right, update.bottom};
    item.destination = item.source;
    SetUpdateItem(item);
    surface_.EndBatch();
    return DrawProgress(a, false);
}

namespace {

// Where a picture of `size` stands along one axis: the source, then the target.
void PushOffsets(float d, int32_t size, float a, int32_t* source, int32_t* target) {
    const float s = float(size);
    if (d < 0) {
        *source = int32_t(-s * a);
        *target = int32_t(s - s * a);
    } else if (d > 0) {
        *source = int32_t(s * a);
        *target = int32_t(s * a - s);
    } else {
        *source = *target = 0;
    }
}

// Whether both pictures are plain copies onto the surface: its size, its depth and, at 32 bits, its
// row length, so that drawing them would copy their rows unchanged.
bool CopiesRows(const oxPixelBuffer& surface, const oxPixelBuffer& a, const oxPixelBuffer& b) {
    for (const oxPixelBuffer* p : {&a, &b})
        if (!p->HasPixels() || p->width != surface.width || p->height != surface.height || p->bpp != surface.bpp ||
            (surface.bpp != 16 && (surface.bpp != 32 || p->stride != surface.stride)))
            return false;
    return surface.HasPixels();
}

// The source at (sx, sy) and the target over it at (tx, ty), row by row together, so that each row
// of the surface is written once while it is at hand rather than in two passes over the surface.
void CopyPushRows(oxPixelBuffer& surface, const oxPixelBuffer& source, int32_t sx, int32_t sy,
                  const oxPixelBuffer& target, int32_t tx, int32_t ty) {
    const int32_t w = surface.width, h = surface.height, bytes = surface.bpp / 8;
    auto copy = [&](const oxPixelBuffer& picture, int32_t x, int32_t y, int32_t row) {
        const int32_t from = row - y, left = std::max(x, 0), right = std::min(x + w, w);
        if (from < 0 || from >= h || left >= right) return;
        std::memcpy(surface.GetRow8(row) + size_t(left) * bytes, picture.GetRow8(from) + size_t(left - x) * bytes,
                    size_t(right - left) * bytes);
    };
    for (int32_t row = 0; row < h; ++row) {
        copy(source, sx, sy, row);
        copy(target, tx, ty, row);
    }
}

} // namespace

bool oxPushEffect::RenderFrame(float a) {
    const int32_t w = source_.width, h = source_.height;
    int32_t sx, tx, sy, ty;
    PushOffsets(parameters_[0], w, a, &sx, &tx);
    PushOffsets(parameters_[1], h, a, &sy, &ty);
    surface_.BeginBatch();
    oxPixelBuffer surface = surface_.Target();
    if (CopiesRows(surface, source_, target_)) {
        CopyPushRows(surface, source_, sx, sy, target_, tx, ty);
    } else {
        DrawPicture(source_, RECT{sx, sy, w + sx, h + sy});
        DrawPicture(target_, RECT{tx, ty, w + tx, h + ty});
    }
    oxUpdateItem item;
    item.source = item.destination = RECT{0, 0, w, h};
    SetUpdateItem(item);
    surface_.EndBatch();
    return DrawProgress(a, false);
}

bool oxSquashEffect::RenderFrame(float a) {
    const int32_t w = source_.width, h = source_.height;
    const float dx = parameters_[0], dy = parameters_[1];
    const float ex = dx < 0 ? 1.0f - a : a, ey = dy < 0 ? 1.0f - a : a;
    const int32_t sx = int32_t(float(w) * ex), sy = int32_t(float(h) * ey);
    const RECT first{dx != 0 ? sx : 0, dy != 0 ? sy : 0, w, h};
    const RECT second{0, 0, dx != 0 ? sx : w, dy != 0 ? sy : h};
    const bool backwards = dx < 0 || dy < 0;
    surface_.BeginBatch();
    // An empty side draws nothing.
    if (!IsRectEmpty(first)) DrawPicture(backwards ? target_ : source_, first);
    if (!IsRectEmpty(second)) DrawPicture(backwards ? source_ : target_, second);
    oxUpdateItem item;
    item.source = item.destination = RECT{0, 0, w, h};
    SetUpdateItem(item);
    surface_.EndBatch();
    return DrawProgress(a, false);
}
