#include "toolkit/widgets/region.h"

#include <cstdlib>
#include <new>

oxRegion::oxRegion(const oxRegion* source) {
    region_ = CreateRectRgn(0, 0, 0, 0);
    if (source && region_ && source->region_) CombineRgn(region_, region_, source->region_, RGN_OR);
}

oxRegion::~oxRegion() {
    Destroy();
}

void oxRegion::Destroy() {
    if (region_) DeleteObject(region_);
    region_ = nullptr;
}

void oxRegion::Clear() {
    Destroy();
    region_ = CreateRectRgn(0, 0, 0, 0);
}

void oxRegion::AddRect(const oxRect& rect) {
    const int64_t right = rect.Right(), bottom = rect.Bottom();
    if (rect.width <= 0 || rect.height <= 0 || !region_) return;
    HRGN part = CreateRectRgn(rect.x, rect.y, int(std::min<int64_t>(right + 1, INT32_MAX)),
                              int(std::min<int64_t>(bottom + 1, INT32_MAX)));
    if (!part) return;
    CombineRgn(region_, region_, part, RGN_OR);
    DeleteObject(part);
}

bool oxRegion::IsEmpty() const {
    RECT box;
    return GetRgnBox(region_, &box) == NULLREGION;
}

void oxRegion::GetRects(oxRectVector* out) const {
    if (!out) return;
    out->clear();
    const DWORD size = GetRegionData(region_, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER)) return;
    auto* data = static_cast<RGNDATA*>(std::malloc(size));
    if (!data) return;
    if (GetRegionData(region_, size, data) == size) {
        const DWORD count = data->rdh.nCount;
        if (out->capacity() < count) {
            // Rectangles read from a region that memory cannot hold are dropped, as an empty result.
            out->reserve(std::max<size_t>(out->capacity() * 3 / 2, count));
        }
        const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
        for (DWORD i = 0; i < count; ++i) {
            oxRect r;
            r.Set(rects[i].left, rects[i].top, rects[i].right - rects[i].left, rects[i].bottom - rects[i].top);
            out->push_back(r);
        }
    }
    std::free(data);
}
