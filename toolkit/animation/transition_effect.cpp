#include "toolkit/animation/transition_effect.h"

#include <algorithm>

#include "graphics/effects/pixel_effects.h"
#include "graphics/pixels/display_format.h"
#include "graphics/pixels/raster_rect.h"
#include "graphics/raster/blitter.h"
#include "platform/win/gdi.h"

namespace {

RECT Moved(const RECT& r, int32_t dx, int32_t dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// Surface pixels left transparent show the background there.
void FillTransparentFromBackground(const oxPixelBuffer& surface, const oxPixelBuffer& background) {
    if (surface.bpp != 32 || background.bpp != 32) return;
    const int32_t w = std::min(surface.width, background.width), h = std::min(surface.height, background.height);
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* to = surface.GetRow32(y);
        const uint32_t* from = background.GetRow32(y);
        for (int32_t x = 0; x < w; ++x)
            if ((to[x] >> 24) == 0) to[x] = from[x];
    }
}

} // namespace

oxTransitionEffect::~oxTransitionEffect() {
    delete sourceCopy_;
    delete targetCopy_;
}

bool oxTransitionEffect::Begin(const oxPixelBuffer& source, const oxPixelBuffer& target, HWND window, bool flag) {
    return Setup(source, target, source.bpp, window, flag);
}

bool oxTransitionEffect::Setup(const oxPixelBuffer& source, const oxPixelBuffer& target, int32_t bpp, HWND window,
                               bool flag) {
    (void)window, (void)flag;
    frames_ = 0;
    progress_ = 0.0f;
    if (!surface_.SetSize(source.width, source.height, bpp == 16 ? 16 : 32)) return false;
    source_ = source;
    target_ = target;
    if (background_) {
        delete sourceCopy_;
        delete targetCopy_;
        sourceCopy_ = new oxPixelBuffer();
        targetCopy_ = new oxPixelBuffer();
        sourceCopy_->InitSubRect(source_, nullptr);
        targetCopy_->InitSubRect(target_, nullptr);
        if (!sourceCopy_->HasPixels() || !targetCopy_->HasPixels()) return false;
    }
    CopyToSurface(source_);
    return true;
}

void oxTransitionEffect::CopyToSurface(const oxPixelBuffer& picture) {
    surface_.BeginBatch();
    oxPixelBuffer surface = surface_.Target();
    oxBlitter().DrawImage(surface, nullptr, picture, nullptr, false, false);
    surface_.EndBatch();
}

void oxTransitionEffect::SetWholeItem() {
    const RECT whole{0, 0, source_.width, source_.height};
    oxUpdateItem item;
    item.kind = 2;
    item.source = whole;
    item.destination = whole;
    SetUpdateItem(item);
}

bool oxTransitionEffect::DrawProgress(float progress, bool draw) {
    if (draw) {
        surface_.BeginBatch();
        oxPixelBuffer surface = surface_.Target();
        CrossFade(surface, source_, target_, int32_t(uint32_t(progress * 256.0f)), (frames_ & 1) + 1);
        surface_.EndBatch();
        SetWholeItem();
    }
    progress_ = progress;
    ++frames_;
    return true;
}

bool oxTransitionEffect::DrawFinalFrame() {
    CopyToSurface(target_);
    progress_ = 1.0f;
    SetWholeItem();
    return true;
}

void oxTransitionEffect::Reset() {
    origin_ = POINT{0, 0};
    std::fill(std::begin(scratch_), std::end(scratch_), 0u);
}

void oxTransitionEffect::SetOrigin(int32_t x, int32_t y) {
    surface_.SetDeviceOrigin(x, y);
    origin_ = POINT{x, y};
}

bool oxTransitionEffect::AddUpdateItem(const oxUpdateItem& item) {
    items_.push_back(item);
    return true;
}

void oxTransitionEffect::SetUpdateItem(const oxUpdateItem& item) {
    ClearUpdateItems();
    AddUpdateItem(item);
}

void oxTransitionEffect::RecastUpdateItems(bool flag) {
    RemoveUpdateItems(flag);
    ConvertUpdateItems(flag);
}

void oxTransitionEffect::RemoveUpdateItems(bool flag) {
    const int32_t drop = flag ? 0 : 1;
    items_.erase(std::remove_if(items_.begin(), items_.end(), [drop](const oxUpdateItem& i) { return i.kind == drop; }),
                 items_.end());
}

void oxTransitionEffect::ConvertUpdateItems(bool flag) {
    const int32_t from = flag ? 1 : 0, to = flag ? 0 : 1;
    for (oxUpdateItem& item : items_)
        if (item.kind == from) {
            item.kind = to;
            item.source = item.destination;
        }
}

void oxTransitionEffect::SetArea(const RECT& area) {
    area_ = area;
    clip_ = RECT{0, 0, area.right - area.left, area.bottom - area.top};
}

void oxTransitionEffect::Paint(HWND window, HDC dc, int flags, bool useItems) {
    if (!useItems || items_.empty()) {
        surface_.SetClipBounds(nullptr);
        if (window)
            surface_.PaintToWindow(window, flags != 0);
        else if (dc)
            surface_.CopyToDC(dc);
        return;
    }
    HDC windowDC = window ? GetDC(window) : nullptr;
    HDC to = window ? windowDC : dc;
    std::vector<RECT> pieces, next;
    for (size_t i = 0; i < items_.size(); ++i) {
        const oxUpdateItem& item = items_[i];
        pieces.assign(1, item.destination);
        // Later items win where they overlap: this item paints only what they leave.
        if (!IsRectEmpty(item.destination)) {
            for (size_t j = i + 1; j < items_.size() && !pieces.empty(); ++j) {
                next.clear();
                for (const RECT& piece : pieces) {
                    RECT out[4];
                    const int n = SubtractRect(piece, items_[j].destination, out);
                    next.insert(next.end(), out, out + n);
                }
                pieces.swap(next);
            }
        }
        const int32_t dx = item.source.left - item.destination.left, dy = item.source.top - item.destination.top;
        for (const RECT& piece : pieces) {
            const RECT source = Moved(piece, dx, dy);
            if (item.kind == 0 || item.kind == 1) {
                // The display-format blit instead of a stretched DIB copy: the same pixels at 1:1.
                if (to)
                    BlitPixelBufferToDC(to, item.kind == 0 ? source_ : target_, Moved(piece, origin_.x, origin_.y),
                                        source);
                continue;
            }
            RECT clip;
            if (!IntersectRECT(&source, &clip_, &clip)) continue;
            surface_.SetClipBounds(&clip);
            surface_.SetDeviceOrigin(origin_.x - dx, origin_.y - dy);
            if (background_) FillTransparentFromBackground(surface_.Target(), *background_);
            if (window) surface_.PaintToWindow(window, flags != 0);
            if (dc) surface_.CopyToDC(dc);
        }
    }
    surface_.SetDeviceOrigin(origin_.x, origin_.y);
    surface_.SetClipBounds(nullptr);
    if (windowDC) ReleaseDC(window, windowDC);
}
