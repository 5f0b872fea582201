#include "toolkit/core/range_layout.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

int32_t IntAttribute(oxBox* box, oxAtom atom, int32_t absent) {
    const WCHAR* text = box->GetAttribute(atom);
    return text ? _wtoi(text) : absent;
}

// float to int, truncating; NaN gives 0 and values beyond 32 bits saturate.
int32_t Truncate(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return int32_t(v);
}

int32_t MinimumOf(oxBox* child, int propertyId) {
    oxStyleValue v;
    child->GetStyleValue(propertyId, &v);
    return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
}

bool Shown(const oxBox* child) {
    return !child->TestChangeFlags(kChangeLayered) && !child->IsCollapsed() && !child->IsEffectivelyHidden() &&
           !(child->GetStateFlags() & kStateExcluded);
}

} // namespace

oxLayout* oxRangeLayout::CreateInstance() const {
    return new (std::nothrow) oxRangeLayout;
}

oxRangeValues oxRangeLayout::ReadRange(oxBox* box) {
    oxRangeValues r;
    if (const auto* source = dynamic_cast<const oxRangeSource*>(box)) {
        r.minimum = source->GetRangeMinimum();
        r.maximum = source->GetRangeMaximum();
        r.pageSize = source->GetRangePageSize();
        r.value = source->GetRangeValue();
        r.reversed = source->IsRangeReversed();
        r.paging = source->GetPagingDirection();
        r.source = source;
        return r;
    }
    r.minimum = IntAttribute(box, kAtomMin, 0);
    r.maximum = IntAttribute(box, kAtomMax, 0);
    r.pageSize = IntAttribute(box, kAtomPageNumRows, IntAttribute(box, kAtomScale, 0));
    r.value = IntAttribute(box, kAtomValue, 0);
    const WCHAR* reversed = box->GetAttribute(kAtomReversed);
    r.reversed = reversed && _wcsicmp(reversed, u"true") == 0;
    return r;
}

oxPoint oxRangeLayout::ThumbOnTrack(const oxRangeValues& r, int32_t track, int32_t minLength, bool reverse) {
    const float span = float(r.maximum) - float(r.minimum);
    const float whole = span + float(r.pageSize);
    // An empty range has a thumb as long as the track, at its start.
    int32_t len = whole != 0.0f ? Truncate(float(r.pageSize) / whole * float(track)) : track;
    len = std::max(len, minLength);
    float f = span != 0.0f ? (float(r.value) - float(r.minimum)) / span : 0.0f;
    if (reverse) f = 1.0f - f;
    const int32_t offset = Truncate((float(track) - float(len)) * f);
    return {offset, len};
}

oxPoint oxRangeLayout::PlaceThumb(const oxRangeValues& r, int32_t track, int32_t minLength, bool reverse) {
    if (!r.source) return ThumbOnTrack(r, track, minLength, reverse);
    oxPoint t = r.source->GetThumbPlacement();
    t.y = std::max(t.y, minLength);
    return t;
}

void oxRangeLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement || box->GetBoxType() != kAtomRange) return;
    const oxPoint content = box->GetPacked(3);
    const int orient = box->GetOrientation();
    const bool vertical = orient == kKeywordVertical, horizontal = orient == kKeywordHorizontal;
    const oxRangeValues range = ReadRange(box);
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        oxPlacementRecord rec;
        int32_t w = 0, h = 0;
        if (child->GetTag() == kAtomThumb && (vertical || horizontal)) {
            const int32_t minLength = MinimumOf(child, vertical ? kStyle_minHeight : kStyle_minWidth);
            oxPoint t = PlaceThumb(range, vertical ? content.y : content.x, minLength, horizontal && range.reversed);
            // Differs on purpose: the thumb spans the track across instead of getting no size there,
            // so that it shows without a size of its own.
            if (vertical) {
                child->SetBoxPosition({0, t.x});
                w = content.x;
                h = t.y;
            } else {
                child->SetBoxPosition({t.x, 0});
                w = t.y;
                h = content.y;
            }
        }
        rec.Construct(false, content.x, content.y, w, h, 0, 0, w, h, 0, 0, false, false, placement->nesting);
        if (oxLayout* own = child->GetLayoutIfMade()) own->ClearValidity();
        child->Arrange(&rec);
        child->InvalidateMeasure();
        child->UpdateFrameBounds(false);
    }
    placement->SetExtra(false, false, 0, 0, 0, 0);
}

void oxRangeLayout::PaintTrackPart(oxCanvas* canvas, oxBox* box, oxAtom part, int32_t from, int32_t to) {
    oxBoxScene* scene = box->GetScene();
    oxBoxStyle* style = scene ? scene->GetSubStyle(box, part) : nullptr;
    if (!style) return;
    const oxRect content = box->GetContentRect();
    const bool vertical = box->GetOrientation() == kKeywordVertical;
    oxRect r = content;
    if (vertical) {
        r.y = from;
        r.height = std::max(0, to - from);
    } else {
        r.x = from;
        r.width = std::max(0, to - from);
    }
    oxBoxPaintServices& paint = oxGetBoxPaintServices();
    paint.PaintBoxShadow(canvas, box, r, style);
    paint.PaintBoxFill(canvas, scene, r, style);
    style->Release();
}

void oxRangeLayout::PaintChildren(oxCanvas* canvas, oxBox* box) {
    if (!box) return;
    // The track's parts run along it inside the padding: "numerator" from its start to the middle of
    // the thumb, "paging" from there towards where the track was pressed.
    const int orient = box->GetOrientation();
    if (orient == kKeywordVertical || orient == kKeywordHorizontal) {
        const bool vertical = orient == kKeywordVertical;
        const oxRect content = box->GetContentRect();
        const int32_t start = vertical ? content.y : content.x, length = vertical ? content.height : content.width;
        const oxRangeValues range = ReadRange(box);
        int32_t minLength = 0;
        for (int i = 0, n = box->GetChildCount(); i < n; ++i)
            if (oxBox* child = box->GetChildAt(i, false); child->GetTag() == kAtomThumb)
                minLength = MinimumOf(child, vertical ? kStyle_minHeight : kStyle_minWidth);
        const oxPoint thumb = PlaceThumb(range, length, minLength, !vertical && range.reversed);
        const int32_t c = Truncate(float(thumb.x) + float(thumb.y) / 2.0f);
        const int32_t end = int32_t(std::min<int64_t>(int64_t(start) + length, INT32_MAX));
        PaintTrackPart(canvas, box, kAtomNumerator, start, c);
        if (range.paging == 1) PaintTrackPart(canvas, box, kAtomPaging, c, end);
        if (range.paging == -1) PaintTrackPart(canvas, box, kAtomPaging, start, c);
    }
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (Shown(child) && !child->TestChangeFlags(kChangeFramed)) oxBox::PaintChild(canvas, child);
    }
}

oxBox* oxRangeLayout::HitTest(const oxPoint& point, oxBox* box) {
    if (!box) return nullptr;
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!Shown(child) || child->TestChangeFlags(kChangeIgnoreEvents)) continue;
        if (oxBox* hit = child->HitTest(point)) return hit;
    }
    return box;
}
