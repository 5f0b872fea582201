// Visible regions, exposure and update regions of windows, and the painting calls over them.
#include <algorithm>
#include <vector>

#include "platform/win/gdi_internal.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/window_internal.h"
#include "platform/win/window_paint.h"

namespace platform::detail {
namespace {

RectSet ScreenSet() {
    const ScreenConfig& c = GetScreen().config;
    return RectSet(RECT{0, 0, c.width, c.height});
}

// The pixels a window covers on the screen (its rectangle within its shape), ignoring what lies
// above it.
RectSet AreaLocked(const Window* w) {
    const RECT r = ScreenRectLocked(w);
    RectSet area(r);
    if (w->hasShape) {
        // A right-to-left window's shape is given in its mirrored coordinates, as its client is.
        RectSet shape = ClientToPhysicalLocked(w, w->shape);
        shape.Offset(r.left, r.top);
        area &= shape;
    }
    return area;
}

bool Shows(const Window* w) {
    return w && (w->style & WS_VISIBLE) && !w->destroying && !w->messageOnly;
}

// Stacking: the topmost band above the rest, then the higher value.
bool Above(const Window* a, const Window* b) {
    const bool ta = (a->exStyle & WS_EX_TOPMOST) != 0, tb = (b->exStyle & WS_EX_TOPMOST) != 0;
    if (ta != tb) return ta;
    return a->z > b->z;
}

void AddOwnUpdateLocked(Window* w, const RectSet& screenPixels, bool erase) {
    const RECT r = ScreenRectLocked(w);
    RectSet local = screenPixels;
    local.Offset(-r.left, -r.top);
    local &= RectSet(RECT{0, 0, r.right - r.left, r.bottom - r.top});
    if (local.Empty()) return;
    w->update |= local;
    w->erasePending = w->erasePending || erase;
    w->updatePending = true;
}

} // namespace

RectSet ClientToPhysicalLocked(const Window* w, const RectSet& client) {
    if (!(w->exStyle & WS_EX_LAYOUTRTL)) return client;
    return client.MirroredX(int(std::clamp<int64_t>(int64_t(w->rect.right) - w->rect.left, 0, INT32_MAX)));
}

namespace {

struct WideRect {
    int64_t left, top, right, bottom;
};

// A child's place is in its parent's client coordinates; a right-to-left parent counts them from its
// right edge, so the child's left is its distance from there to the child's right edge. Worked out
// from the top-level window down.
WideRect ScreenRectWide(const Window* w) {
    std::vector<const Window*> chain{w};
    for (const Window* p = Find(w->parent); p; p = Find(p->parent))
        chain.push_back(p);
    const Window* top = chain.back();
    WideRect r{top->rect.left, top->rect.top, top->rect.right, top->rect.bottom};
    for (size_t i = chain.size() - 1; i-- > 0;) {
        const Window* parent = chain[i + 1];
        const RECT& c = chain[i]->rect;
        const int64_t t = r.top + c.top, b = r.top + c.bottom;
        if (parent->exStyle & WS_EX_LAYOUTRTL)
            r = WideRect{r.right - c.right, t, r.right - c.left, b};
        else
            r = WideRect{r.left + c.left, t, r.left + c.right, b};
    }
    return r;
}

} // namespace

RECT ScreenRectLocked(const Window* w) {
    const WideRect r = ScreenRectWide(w);
    auto clamp = [](int64_t v) { return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return RECT{clamp(r.left), clamp(r.top), clamp(r.right), clamp(r.bottom)};
}

bool IsDescendantLocked(const Window* w, HWND ancestor) {
    for (const Window* p = w ? Find(w->parent) : nullptr; p; p = Find(p->parent))
        if (ToHandle(p) == ancestor) return true;
    return false;
}

RectSet VisibleRegionLocked(const Window* w) {
    if (!Shows(w)) return RectSet();
    RectSet visible = AreaLocked(w);
    const Window* top = w;
    for (const Window* p = Find(w->parent); p; top = p, p = Find(p->parent)) {
        if (!Shows(p)) return RectSet();
        visible &= AreaLocked(p);
        // Siblings overlap freely unless the window clips them.
        if (top->style & WS_CLIPSIBLINGS)
            for (auto& [h, o] : windows)
                if (o.get() != top && o->parent == top->parent && Shows(o.get()) && Above(o.get(), top))
                    visible -= AreaLocked(o.get());
    }
    for (auto& [h, o] : windows)
        if (o.get() != top && !o->parent && Shows(o.get()) && Above(o.get(), top)) visible -= AreaLocked(o.get());
    if (w->style & WS_CLIPCHILDREN)
        for (auto& [h, o] : windows)
            if (o->parent == ToHandle(w) && Shows(o.get())) visible -= AreaLocked(o.get());
    visible &= ScreenSet();
    return visible;
}

void AddUpdateLocked(Window* w, const RectSet& screenPixels, bool erase) {
    if (!w || w->destroying || w->messageOnly) return;
    AddOwnUpdateLocked(w, screenPixels, erase);
    // A parent that draws over its children leaves them to paint again.
    if (w->style & WS_CLIPCHILDREN) return;
    for (auto& [h, o] : windows)
        if (o->parent == ToHandle(w) && Shows(o.get()))
            AddUpdateLocked(o.get(), RectSet::Combine(screenPixels, AreaLocked(o.get()), RectSet::kAnd), erase);
}

RectSet VisibleRegion(HWND hwnd) {
    std::lock_guard lock(tableMutex);
    return VisibleRegionLocked(Find(hwnd));
}

VisibleSnapshot SnapshotLocked() {
    VisibleSnapshot s;
    for (auto& [h, w] : windows)
        if (Shows(w.get())) s.visible.emplace_back(ToHandle(w.get()), VisibleRegionLocked(w.get()));
    return s;
}

void ExposeLocked(const VisibleSnapshot& before, HWND changed, bool repaintChanged) {
    auto inChanged = [&](HWND h) { return h == changed || IsDescendantLocked(Find(h), changed); };
    RectSet vacated;
    for (const auto& [h, was] : before.visible)
        if (inChanged(h)) vacated |= RectSet::Combine(was, VisibleRegionLocked(Find(h)), RectSet::kDiff);
    for (auto& [handle, w] : windows) {
        if (!Shows(w.get())) continue;
        const HWND h = ToHandle(w.get());
        const RectSet now = VisibleRegionLocked(w.get());
        if (now.Empty()) continue;
        RectSet was;
        for (const auto& [bh, region] : before.visible)
            if (bh == h) was = region;
        RectSet gained;
        if (inChanged(h)) {
            gained = repaintChanged ? now : RectSet::Combine(now, was, RectSet::kDiff);
        } else {
            gained = RectSet::Combine(now, was, RectSet::kDiff);
            if (!vacated.Empty()) gained |= RectSet::Combine(vacated, now, RectSet::kAnd);
        }
        if (!gained.Empty()) AddOwnUpdateLocked(w.get(), gained, true);
    }
}

} // namespace platform::detail

using namespace platform::detail;

namespace {

// The window's client area in screen pixels, for a client rectangle or the whole area.
bool ClientPixels(HWND hwnd, const RECT* rect, RectSet* out, Window** window) {
    Window* w = Find(hwnd);
    if (!w || w->destroying) return false;
    const RECT r = ScreenRectLocked(w);
    RectSet pixels(r);
    if (rect) {
        RECT c = *rect;
        c = RECT{std::clamp<LONG>(c.left, -0x3FFFFFFF, 0x3FFFFFFF), std::clamp<LONG>(c.top, -0x3FFFFFFF, 0x3FFFFFFF),
                 std::clamp<LONG>(c.right, -0x3FFFFFFF, 0x3FFFFFFF),
                 std::clamp<LONG>(c.bottom, -0x3FFFFFFF, 0x3FFFFFFF)};
        RectSet part = ClientToPhysicalLocked(w, RectSet(c));
        part.Offset(r.left, r.top);
        pixels &= part;
    }
    *out = pixels;
    *window = w;
    return true;
}

void Validate(Window* w, const RectSet* clientPixels) {
    if (clientPixels)
        w->update -= *clientPixels;
    else
        w->update.Clear();
    if (w->update.Empty()) {
        w->updatePending = false;
        w->erasePending = false;
    }
}

} // namespace

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    std::lock_guard lock(tableMutex);
    RectSet pixels;
    Window* w;
    if (!ClientPixels(hwnd, rect, &pixels, &w)) return FALSE;
    AddUpdateLocked(w, pixels, erase != 0);
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    const RectSet* region = RegionPixels(rgn);
    if (rgn && !region) return FALSE;
    std::lock_guard lock(tableMutex);
    RectSet pixels;
    Window* w;
    if (!ClientPixels(hwnd, nullptr, &pixels, &w)) return FALSE;
    if (region) {
        RectSet part = ClientToPhysicalLocked(w, *region);
        const RECT r = ScreenRectLocked(w);
        part.Offset(r.left, r.top);
        pixels &= part;
    }
    AddUpdateLocked(w, pixels, erase != 0);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        Validate(w, nullptr);
        return TRUE;
    }
    RectSet part = ClientToPhysicalLocked(w, RectSet(*rect));
    Validate(w, &part);
    return TRUE;
}

BOOL ValidateRgn(HWND hwnd, HRGN rgn) {
    const RectSet* region = RegionPixels(rgn);
    if (rgn && !region) return FALSE;
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (!region) {
        Validate(w, nullptr);
        return TRUE;
    }
    const RectSet part = ClientToPhysicalLocked(w, *region);
    Validate(w, &part);
    return TRUE;
}

namespace {

// Sends WM_ERASEBKGND for a pending erase; the answer tells whether it was done.
bool EraseNow(HWND hwnd) {
    RectSet pixels;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w || !w->erasePending) return true;
        w->erasePending = false;
        pixels = w->update;
        pixels.Offset(ScreenRectLocked(w).left, ScreenRectLocked(w).top);
    }
    HDC dc = GetClippedWindowDC(hwnd, pixels);
    if (!dc) return false;
    const bool erased = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
    ReleaseDC(hwnd, dc);
    return erased;
}

} // namespace

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) {
    if (erase) EraseNow(hwnd);
    std::lock_guard lock(tableMutex);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = ClientToPhysicalLocked(w, w->update).Bounds();
    return !w->update.Empty();
}

int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (!RegionPixels(rgn)) return ERROR;
    if (erase) EraseNow(hwnd);
    RectSet update;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return ERROR;
        update = ClientToPhysicalLocked(w, w->update);
    }
    return SetRegionPixels(rgn, update);
}

BOOL UpdateWindow(HWND hwnd) {
    bool pending;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return FALSE;
        pending = w->updatePending && (w->style & WS_VISIBLE);
    }
    if (pending) SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    if (!ps) return nullptr;
    *ps = PAINTSTRUCT{};
    RectSet update;
    bool erase;
    RECT origin;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return nullptr;
        update = w->update;
        erase = w->erasePending;
        origin = ScreenRectLocked(w);
        ps->rcPaint = ClientToPhysicalLocked(w, update).Bounds();
        w->update.Clear();
        w->updatePending = false;
        w->erasePending = false;
    }
    update.Offset(origin.left, origin.top);
    HDC dc = GetClippedWindowDC(hwnd, update);
    if (!dc) return nullptr;
    ps->hdc = dc;
    ps->fErase = erase && SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps || !ps->hdc) return FALSE;
    ReleaseDC(hwnd, ps->hdc);
    return TRUE;
}

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL) {
    const RectSet* region = RegionPixels(rgn);
    if (rgn && !region) return 0;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w) return 0;
        const VisibleSnapshot before = SnapshotLocked();
        w->hasShape = region != nullptr;
        w->shape = region ? *region : RectSet();
        ExposeLocked(before, hwnd, false);
    }
    if (rgn) DeleteObject(rgn); // the window keeps its own copy of the pixels
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
    if (!RegionPixels(rgn)) return ERROR;
    RectSet shape;
    {
        std::lock_guard lock(tableMutex);
        Window* w = Find(hwnd);
        if (!w || !w->hasShape) return ERROR;
        shape = w->shape;
    }
    return SetRegionPixels(rgn, shape);
}

HWND WindowFromPoint(POINT point) {
    std::lock_guard lock(tableMutex);
    // The topmost top-level window whose visible pixels hold the point, then its deepest child.
    Window* best = nullptr;
    for (auto& [h, w] : windows)
        if (!w->parent && Shows(w.get()) && AreaLocked(w.get()).Contains(point.x, point.y) &&
            (!best || Above(w.get(), best)))
            best = w.get();
    for (bool deeper = best != nullptr; deeper;) {
        deeper = false;
        Window* child = nullptr;
        for (auto& [h, w] : windows)
            if (w->parent == ToHandle(best) && Shows(w.get()) && AreaLocked(w.get()).Contains(point.x, point.y) &&
                (!child || w->z > child->z))
                child = w.get();
        if (child) best = child, deeper = true;
    }
    return best ? ToHandle(best) : nullptr;
}
