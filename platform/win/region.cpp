#include "platform/win/region.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>

#include "platform/win/region_internal.h"

namespace platform::detail {
namespace {

struct Span {
    LONG left;
    LONG right;
};

// The spans of the set's band that covers [top, bottom); the set's bands never straddle an edge
// of the band asked for, because the band edges come from both sets.
void SpansIn(const std::vector<RECT>& rects, LONG top, LONG bottom, std::vector<Span>& out) {
    out.clear();
    for (const RECT& r : rects) {
        if (r.top > top) break;
        if (r.top <= top && r.bottom >= bottom) out.push_back({r.left, r.right});
    }
}

bool Keep(bool inA, bool inB, RectSet::Op op) {
    switch (op) {
    case RectSet::kAnd:
        return inA && inB;
    case RectSet::kOr:
        return inA || inB;
    case RectSet::kXor:
        return inA != inB;
    default:
        return inA && !inB;
    }
}

// Combines two sorted span lists.
void CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b, RectSet::Op op, std::vector<Span>& out) {
    out.clear();
    std::vector<LONG> xs;
    for (const Span& s : a)
        xs.push_back(s.left), xs.push_back(s.right);
    for (const Span& s : b)
        xs.push_back(s.left), xs.push_back(s.right);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        const LONG x = xs[i];
        while (ia < a.size() && a[ia].right <= x)
            ++ia;
        while (ib < b.size() && b[ib].right <= x)
            ++ib;
        const bool inA = ia < a.size() && a[ia].left <= x;
        const bool inB = ib < b.size() && b[ib].left <= x;
        if (!Keep(inA, inB, op)) continue;
        if (!out.empty() && out.back().right == x)
            out.back().right = xs[i + 1];
        else
            out.push_back({x, xs[i + 1]});
    }
}

} // namespace

RectSet::RectSet(const RECT& r) {
    RECT n{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
    if (n.left < n.right && n.top < n.bottom) rects_.push_back(n);
}

RectSet RectSet::Combine(const RectSet& a, const RectSet& b, Op op) {
    // Quick answers that keep the common cases (adding to an empty set, clipping) cheap.
    if (op == kOr || op == kXor) {
        if (a.Empty()) return b;
        if (b.Empty()) return a;
    }
    if ((op == kAnd && (a.Empty() || b.Empty())) || (op == kDiff && a.Empty())) return RectSet();
    if (op == kDiff && b.Empty()) return a;

    std::vector<LONG> ys;
    for (const RECT& r : a.rects_)
        ys.push_back(r.top), ys.push_back(r.bottom);
    for (const RECT& r : b.rects_)
        ys.push_back(r.top), ys.push_back(r.bottom);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    RectSet out;
    std::vector<Span> sa, sb, spans, previous;
    size_t previousFirst = 0; // index in out.rects_ of the last band written
    LONG previousBottom = 0;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        const LONG top = ys[i], bottom = ys[i + 1];
        SpansIn(a.rects_, top, bottom, sa);
        SpansIn(b.rects_, top, bottom, sb);
        CombineSpans(sa, sb, op, spans);
        if (spans.empty()) continue;
        const bool same = previousBottom == top && spans.size() == previous.size() &&
                          std::equal(spans.begin(), spans.end(), previous.begin(), [](const Span& p, const Span& q) {
                              return p.left == q.left && p.right == q.right;
                          });
        if (same && !out.rects_.empty()) {
            for (size_t k = previousFirst; k < out.rects_.size(); ++k)
                out.rects_[k].bottom = bottom;
        } else {
            previousFirst = out.rects_.size();
            for (const Span& s : spans)
                out.rects_.push_back({s.left, top, s.right, bottom});
            previous = spans;
        }
        previousBottom = bottom;
    }
    return out;
}

RECT RectSet::Bounds() const {
    if (rects_.empty()) return RECT{0, 0, 0, 0};
    RECT b = rects_.front();
    for (const RECT& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

void RectSet::Offset(int dx, int dy) {
    for (RECT& r : rects_) {
        r.left += dx, r.right += dx;
        r.top += dy, r.bottom += dy;
    }
}

RectSet RectSet::MirroredX(int width) const {
    RectSet out;
    for (const RECT& r : rects_)
        out |= RectSet(RECT{LONG(std::clamp<int64_t>(int64_t(width) - r.right, INT32_MIN, INT32_MAX)), r.top,
                            LONG(std::clamp<int64_t>(int64_t(width) - r.left, INT32_MIN, INT32_MAX)), r.bottom});
    return out;
}

bool RectSet::Contains(int x, int y) const {
    for (const RECT& r : rects_)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

bool RectSet::operator==(const RectSet& other) const {
    return rects_.size() == other.rects_.size() &&
           std::equal(rects_.begin(), rects_.end(), other.rects_.begin(), [](const RECT& p, const RECT& q) {
               return p.left == q.left && p.top == q.top && p.right == q.right && p.bottom == q.bottom;
           });
}

} // namespace platform::detail

namespace {

using platform::detail::RectSet;

constexpr int kRegionKind = 2;

struct Region : HRGN__ {
    RectSet pixels;
};

std::unordered_set<const void*>& LiveRegions() {
    static std::unordered_set<const void*> live;
    return live;
}

Region* Check(HGDIOBJ object) {
    return object && LiveRegions().count(object) && object->kind == kRegionKind ? static_cast<Region*>(object)
                                                                                : nullptr;
}

int Kind(const RectSet& s) {
    if (s.Empty()) return NULLREGION;
    return s.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Coordinates far enough inside the 32-bit range that offsets and +1 edges cannot wrap.
LONG Clamp(int64_t v) {
    return LONG(std::clamp<int64_t>(v, -0x3FFFFFFF, 0x3FFFFFFF));
}

} // namespace

namespace platform::detail {

const RectSet* RegionPixels(HGDIOBJ rgn) {
    Region* r = Check(rgn);
    return r ? &r->pixels : nullptr;
}

HRGN NewRegion(const RectSet& pixels) {
    auto* r = new (std::nothrow) Region;
    if (!r) return nullptr;
    r->kind = kRegionKind;
    r->pixels = pixels;
    LiveRegions().insert(static_cast<HGDIOBJ>(r));
    return r;
}

int SetRegionPixels(HRGN rgn, const RectSet& pixels) {
    Region* r = Check(rgn);
    if (!r) return ERROR;
    r->pixels = pixels;
    return Kind(r->pixels);
}

bool DeleteRegionObject(HGDIOBJ object) {
    Region* r = Check(object);
    if (!r) return false;
    LiveRegions().erase(static_cast<HGDIOBJ>(r));
    delete r;
    return true;
}

} // namespace platform::detail

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    return platform::detail::NewRegion(RectSet(RECT{Clamp(left), Clamp(top), Clamp(right), Clamp(bottom)}));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    Region* r = Check(rgn);
    if (!r) return FALSE;
    r->pixels = RectSet(RECT{Clamp(left), Clamp(top), Clamp(right), Clamp(bottom)});
    return TRUE;
}

int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
    Region* d = Check(dst);
    Region* a = Check(src1);
    if (!d || !a) return ERROR;
    if (mode == RGN_COPY) {
        d->pixels = a->pixels;
        return Kind(d->pixels);
    }
    Region* b = Check(src2);
    if (!b || mode < RGN_AND || mode > RGN_DIFF) return ERROR;
    d->pixels = RectSet::Combine(a->pixels, b->pixels, RectSet::Op(mode));
    return Kind(d->pixels);
}

int GetRgnBox(HRGN rgn, RECT* rect) {
    Region* r = Check(rgn);
    if (!r || !rect) return ERROR;
    *rect = r->pixels.Bounds();
    return Kind(r->pixels);
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    Region* r = Check(rgn);
    if (!r) return ERROR;
    const RECT b = r->pixels.Bounds();
    if (!r->pixels.Empty() &&
        (Clamp(int64_t(b.left) + dx) != int64_t(b.left) + dx ||
         Clamp(int64_t(b.bottom) + dy) != int64_t(b.bottom) + dy ||
         Clamp(int64_t(b.right) + dx) != int64_t(b.right) + dx || Clamp(int64_t(b.top) + dy) != int64_t(b.top) + dy))
        return ERROR;
    r->pixels.Offset(dx, dy);
    return Kind(r->pixels);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    Region* p = Check(a);
    Region* q = Check(b);
    return p && q && p->pixels == q->pixels;
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    Region* r = Check(rgn);
    return r && r->pixels.Contains(x, y);
}

DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data) {
    Region* r = Check(rgn);
    if (!r) return 0;
    const auto& rects = r->pixels.Rects();
    const DWORD needed = DWORD(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!data || count < needed) return needed;
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = DWORD(rects.size());
    data->rdh.nRgnSize = DWORD(rects.size() * sizeof(RECT));
    data->rdh.rcBound = r->pixels.Bounds();
    if (!rects.empty()) std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return needed;
}
