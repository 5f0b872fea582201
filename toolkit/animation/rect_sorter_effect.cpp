#include "toolkit/animation/rect_sorter_effect.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "graphics/pixels/pixel_format.h"
#include "graphics/raster/blitter.h"
#include "toolkit/animation/effect_pixels_internal.h"
#include "toolkit/animation/snapshot.h"

namespace {

// Each box's first item. Matched by lookup, not by a scan of lists in ascending order of their
// boxes' addresses: our rows' boxes lie anywhere in the heap, so row order is not address order.
std::unordered_map<const oxBox*, size_t> IndexByBox(const std::vector<oxSnapshotRectItem>& list) {
    std::unordered_map<const oxBox*, size_t> index;
    index.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        index.emplace(list[i].box, i);
    return index;
}

RECT ToRect(const oxPoint& at, const oxRect& r) {
    return RECT{at.x, at.y, at.x + r.width, at.y + r.height};
}

// Blends equal-sized 16-bit rectangles with opacity k of 256: the blitter copies 16-bit pictures
// as they are, and a fading row needs its blend at that depth too.
void Blend16(oxPixelBuffer& to, const RECT& d, const oxPixelBuffer& from, const RECT& s, int32_t k) {
    SetPixelFormatForLayout(to.layout);
    const uint32_t masks[3] = {g_pixelFormat.red, g_pixelFormat.green, g_pixelFormat.blue};
    const int32_t w = std::min(d.right - d.left, s.right - s.left), h = std::min(d.bottom - d.top, s.bottom - s.top);
    for (int32_t y = 0; y < h; ++y) {
        uint16_t* out = to.GetRow16(d.top + y) + d.left;
        const uint16_t* in = from.GetRow16(s.top + y) + s.left;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t p = 0;
            for (uint32_t m : masks)
                p |= (((out[x] & m) * uint32_t(256 - k) + (in[x] & m) * uint32_t(k)) >> 8) & m;
            out[x] = uint16_t(p);
        }
    }
}

} // namespace

oxPoint oxRectSorterEffect::PositionAt(const Item& item, float a) {
    const double p = double(float(a));
    return oxPoint{int32_t(double(item.rect.x) * p + double(item.from.x) * (1.0 - p)),
                   int32_t(double(item.rect.y) * p + double(item.from.y) * (1.0 - p))};
}

void oxRectSorterEffect::BuildItems(const std::vector<oxSnapshotRectItem>& from,
                                    const std::vector<oxSnapshotRectItem>& to) {
    lastProgress_ = 0.0f;
    hasFlagged_ = false;
    items_.clear();
    const bool clipping = sortArea_.width > 0 && sortArea_.height > 0;
    auto shown = [&](const oxRect& r) { return !clipping || r.Intersects(sortArea_); };
    auto add = [&](const oxRect& at, const oxRect& rect, Kind kind, uint8_t flag) {
        items_.push_back(Item{oxPoint{at.x, at.y}, rect, kind, flag});
    };
    const auto inFrom = IndexByBox(from), inTo = IndexByBox(to);
    for (const oxSnapshotRectItem& t : to)
        if (!inFrom.contains(t.box) && shown(t.rect)) add(t.rect, t.rect, kAppearing, 0);
    for (const oxSnapshotRectItem& f : from)
        if (!inTo.contains(f.box) && shown(f.rect)) add(f.rect, f.rect, kDisappearing, 0);
    for (const oxSnapshotRectItem& t : to) {
        const auto found = inFrom.find(t.box);
        if (found == inFrom.end()) continue;
        const oxSnapshotRectItem& f = from[found->second];
        const bool fromShown = shown(f.rect), toShown = shown(t.rect);
        if (!fromShown && !toShown) continue;
        if (f.rect.x == t.rect.x && f.rect.y == t.rect.y) {
            const uint8_t flag = uint8_t(t.state & 0xFF);
            add(t.rect, t.rect, kUnchanged, flag);
            if (flag) hasFlagged_ = true;
        } else if (clipping && fromShown && !toShown) {
            // Leaving the visible area: it fades out where it was.
            add(f.rect, f.rect, kDisappearing, 0);
        } else {
            add(f.rect, t.rect, kMoving, 0);
        }
    }
}

void oxRectSorterEffect::Fill(const oxRect& r) {
    oxPixelBuffer surface = surface_.Target();
    const RECT rect = r.ToRECT();
    oxBlitter().FillRect(surface, &rect, surface.bpp == 16 ? oxPack16(fillColor_, surface.layout) : fillColor_);
}

bool oxRectSorterEffect::RenderFrame(float a) {
    surface_.BeginBatch();
    // Where the moving items stood in the last frame.
    for (const Item& item : items_)
        if (item.kind == kMoving) {
            const oxPoint at = PositionAt(item, lastProgress_);
            Fill(oxRect{at.x, at.y, item.rect.width, item.rect.height});
        }
    surface_.SetAlpha(255);
    surface_.SetColor(fillColor_);
    oxPixelBuffer surface = surface_.Target();
    for (const Item& item : items_) {
        if (item.flag) continue;
        if (item.kind == kAppearing || item.kind == kDisappearing) {
            Fill(item.rect);
        } else if (item.kind == kUnchanged) {
            const RECT r = item.rect.ToRECT();
            oxBlitter().DrawImage(surface, &r, target_, &r, false, false);
        }
    }
    for (const Item& item : items_)
        if (item.kind == kAppearing || item.kind == kDisappearing) DrawItem(item, a);
    for (const Item& item : items_)
        if (item.kind == kMoving) DrawItem(item, a);
    if (hasFlagged_)
        for (const Item& item : items_)
            if (item.flag) DrawItem(item, a);
    surface_.EndBatch();

    oxUpdateItem update;
    update.kind = 2;
    update.source = update.destination = RECT{0, 0, source_.width, source_.height};
    SetUpdateItem(update);
    lastProgress_ = a;
    return DrawProgress(a, false);
}

void oxRectSorterEffect::DrawItem(const Item& item, float a) {
    const oxPoint at = item.kind == kMoving ? PositionAt(item, a) : oxPoint{item.rect.x, item.rect.y};
    RECT dst = ToRect(at, item.rect);
    const bool fromSource = item.kind == kDisappearing;
    RECT src = fromSource ? ToRect(item.from, item.rect) : item.rect.ToRECT();
    const oxPixelBuffer& picture = fromSource ? source_ : target_;
    oxBlitter blitter;
    if (zoom_) {
        const float f = item.kind == kAppearing ? 1.0f - a : item.kind == kDisappearing ? a : 0.0f;
        if (f != 0.0f) {
            const int32_t dh = int32_t(float(dst.bottom - dst.top) * f * 0.5f);
            const int32_t dw = int32_t(float(dst.right - dst.left) * f * 0.5f);
            dst.left += dw, dst.right -= dw, dst.top += dh, dst.bottom -= dh;
        }
    } else if (item.kind == kAppearing) {
        blitter.fade = std::clamp(1.0f - a, 0.0f, 1.0f);
    } else if (item.kind == kDisappearing) {
        blitter.fade = std::clamp(a, 0.0f, 1.0f);
    }
    if (dst.right <= dst.left || dst.bottom <= dst.top) return;
    oxPixelBuffer surface = surface_.Target();
    const RECT surfaceBounds{0, 0, surface.width, surface.height};
    const RECT pictureBounds{0, 0, picture.width, picture.height};
    RECT s = src, d = dst;
    if (!ClipBlitRects(pictureBounds, surfaceBounds, &s, &d)) return;
    const int32_t k = blitter.Opacity();
    if (surface.bpp == 16 && k < 256) {
        if (k > 0) Blend16(surface, d, picture, s, k);
        return;
    }
    blitter.DrawImage(surface, &dst, picture, &src, false, false);
}
