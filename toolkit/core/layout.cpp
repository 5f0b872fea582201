#include "toolkit/core/layout.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

namespace {

// Every number a layout reads from a style (lengths, spaces, flex) counts at most kMaxLength.
int32_t MemberInt(const oxStyleGroup* group, int id) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    return v ? oxClampLength(v->GetInt()) : 0;
}

int32_t KeywordOf(const oxStyleGroup* group, int id, int32_t absent) {
    const oxStyleValue* v = group ? group->Member(id) : nullptr;
    if (!v) return absent;
    return v->GetType() == kStyleKeyword ? v->GetValue() : -1;
}

bool IsKeyword(const oxStyleValue* v, int keyword) {
    return v && v->GetType() == kStyleKeyword && v->GetValue() == keyword;
}

// A length of the box for layout; a percentage is of the content size of the box's logical parent,
// as that parent was last arranged (0 for a box without one).
int32_t Length(const oxStyleGroup* metrics, int id, const oxBox* box) {
    const oxStyleValue* v = metrics->Member(id);
    if (v->GetType() != kStylePercent) return oxClampLength(v->GetInt());
    const oxBox* parent = box->GetLogicalParent();
    int32_t n = 0;
    oxMetricsGroup::ResolveEdge(id, *v, box->GetPacked(3), parent ? parent->GetPacked(3) : oxPoint{}, &n);
    return oxClampLength(n);
}

// A preferred size: the style value unless it is "aspect", the intrinsic size when that gives 0.
int32_t Preferred(const oxStyleGroup* metrics, int id, int32_t intrinsic, const oxBox* box) {
    int32_t n = IsKeyword(metrics->Member(id), kKeywordAspect) ? 0 : Length(metrics, id, box);
    return n ? n : oxClampLength(intrinsic);
}

int32_t Maximum(const oxStyleGroup* metrics, int id, const oxBox* box) {
    return IsKeyword(metrics->Member(id), kKeywordAuto) ? -1 : Length(metrics, id, box);
}

} // namespace

namespace {

// Raises a size to the minimum, else lowers it to a positive maximum; true when it changed.
bool Clamp(int32_t& size, int32_t min, int32_t max) {
    int32_t was = size;
    if (size < min)
        size = min;
    else if (max > 0 && max < size)
        size = max;
    return size != was;
}

} // namespace

bool oxLayoutItem::ClampWidth() {
    return Clamp(width, minWidth, maxWidth);
}

bool oxLayoutItem::ClampHeight() {
    return Clamp(height, minHeight, maxHeight);
}

oxLayoutItemList::~oxLayoutItemList() {
    Free();
}

void oxLayoutItemList::Free() {
    delete[] items;
    items = nullptr;
    count = 0;
}

void BuildLayoutItems(oxBox* box, oxLayoutItemList* list, bool includeCollapsed) {
    if (!box || !list) return;
    int children = box->GetChildCount();
    if (children == 0) return;
    oxBoxStyle* style = box->ResolveStyle();
    oxStyleGroup* layout = style ? style->GetLayoutGroup() : nullptr;
    if (box->GetTag() == kAtomVbox)
        list->vertical = 1;
    else if (layout)
        list->vertical = KeywordOf(layout, kStyle_orient, -1) == kKeywordVertical;
    list->hAlign = layout ? KeywordOf(layout, kStyle_hAlign, -1) : kKeywordStretch;
    list->vAlign = layout ? KeywordOf(layout, kStyle_vAlign, -1) : kKeywordStretch;
    list->hSpace = MemberInt(layout, kStyle_hSpace);
    list->vSpace = MemberInt(layout, kStyle_vSpace);
    list->items = new (std::nothrow) oxLayoutItem[size_t(children)];
    if (!list->items) return;
    for (int i = 0; i < children; ++i) {
        if (FillLayoutItem(box->GetChildAt(i, false), &list->items[list->count], list, includeCollapsed)) ++list->count;
    }
}

int FillLayoutItem(oxBox* child, oxLayoutItem* item, oxLayoutItemList* list, bool includeCollapsed) {
    if (!child || child->GetBoxType() == kAtomPopup || !child->TestChangeFlags(kChangeFlowed)) return 0;
    if (child->IsCollapsed() && !includeCollapsed) return 0;
    if (child->GetStateFlags() & kStateExcluded) return 0;
    oxBoxStyle* style = child->ResolveStyle();
    *item = oxLayoutItem{};
    item->box = child;
    // Only a layout the child already has: the pass must not make layouts for leaves.
    if (oxLayout* own = child->GetLayoutIfMade()) own->ClearValidity();
    oxPoint pos = child->GetPacked(0), size = child->GetPacked(1);
    item->oldX = pos.x;
    item->oldY = pos.y;
    item->oldWidth = uint32_t(size.x);
    item->oldHeight = uint32_t(size.y);
    oxPoint intrinsic = child->GetIntrinsicSize();
    oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr;
    if (metrics) {
        item->marginTop = MemberInt(metrics, kStyle_marginTop);
        item->marginRight = MemberInt(metrics, kStyle_marginRight);
        item->marginBottom = MemberInt(metrics, kStyle_marginBottom);
        item->marginLeft = MemberInt(metrics, kStyle_marginLeft);
        item->paddingLeft = MemberInt(metrics, kStyle_paddingLeft);
        item->paddingTop = MemberInt(metrics, kStyle_paddingTop);
        item->paddingWidth = MemberInt(metrics, kStyle_paddingRight) + item->paddingLeft;
        item->paddingHeight = MemberInt(metrics, kStyle_paddingBottom) + item->paddingTop;
        item->prefWidth = Preferred(metrics, kStyle_width, intrinsic.x, child);
        item->prefHeight = Preferred(metrics, kStyle_height, intrinsic.y, child);
        item->minWidth = Length(metrics, kStyle_minWidth, child);
        item->minHeight = Length(metrics, kStyle_minHeight, child);
        item->maxWidth = Maximum(metrics, kStyle_maxWidth, child);
        item->maxHeight = Maximum(metrics, kStyle_maxHeight, child);
    } else {
        item->prefWidth = oxClampLength(intrinsic.x);
        item->prefHeight = oxClampLength(intrinsic.y);
    }
    item->intrinsicWidth = oxClampLength(intrinsic.x);
    item->intrinsicHeight = oxClampLength(intrinsic.y);
    if (const WCHAR* colspan = child->GetAttributeText(kAtomColspan)) item->colspan = _wtoi(colspan);
    oxStyleGroup* layout = style ? style->GetLayoutGroup() : nullptr;
    item->flex = MemberInt(layout, kStyle_flex);
    if (item->flex != 0) {
        if (list->vertical)
            item->stretchY = 1;
        else
            item->stretchX = 1;
        if (!child->IsCollapsed()) list->totalFlex = oxLengthSum(int64_t(list->totalFlex) + item->flex);
        if (list->firstFlexIndex == -1) list->firstFlexIndex = list->count;
    }
    if (list->vertical && list->hAlign == kKeywordStretch && item->prefWidth == 0) item->stretchX = 1;
    if (!list->vertical && list->vAlign == kKeywordStretch && item->prefHeight == 0) item->stretchY = 1;
    if (item->flex == 0) ApplyTransformToLayoutItem(style, item);
    return 1;
}

int ApplyTransformToLayoutItem(oxBoxStyle* style, oxLayoutItem* item) {
    oxTransformGroup* transform = style ? style->GetTransformGroup() : nullptr;
    if (!transform || !item) return 0;
    // Angles and scales are no lengths: they are read whole, and a scale too large is refused below.
    const double r = transform->IsSet(kStyle_rotation) ? double(transform->Member(kStyle_rotation)->GetInt()) : 0.0;
    const double s = transform->IsSet(kStyle_scale) ? double(transform->Member(kStyle_scale)->GetInt()) * 0.01 : 1.0;
    if (r == 0.0 && s == 1.0) return 0;
    int32_t w = item->prefWidth, h = item->prefHeight;
    if (w == 0) {
        item->ClampWidth();
        w = item->width;
    }
    if (h == 0) {
        item->ClampHeight();
        h = item->height;
    }
    if (w <= 0 || h <= 0) return 0;
    // The bounds of the centred rectangle turned and scaled, as the painter draws it.
    const double a = r * 3.14159265358979 / 180.0, c = std::fabs(std::cos(a) * s), n = std::fabs(std::sin(a) * s);
    const double mw = c * w + n * h, mh = n * w + c * h;
    // Huge scales would overflow the margins; such a box keeps its plain bounds.
    if (!std::isfinite(mw) || !std::isfinite(mh) || mw > 1e7 || mh > 1e7) return 0;
    const int32_t W = int32_t(std::lround(mw)), H = int32_t(std::lround(mh));
    const double gx = double(W) / w, gy = double(H) / h;
    const int32_t dw = W - w, dh = H - h;
    auto grown = [](int32_t margin, double g) { return int64_t(std::clamp(margin * g, -1e9, 1e9)); };
    item->marginLeft = oxClampLength(grown(item->marginLeft, gx) + dw - dw / 2);
    item->marginRight = oxClampLength(dw / 2 + grown(item->marginRight, gx));
    item->marginTop = oxClampLength(grown(item->marginTop, gy) + dh - dh / 2);
    item->marginBottom = oxClampLength(dh / 2 + grown(item->marginBottom, gy));
    item->stretchX = 0;
    item->stretchY = 0;
    return 1;
}

void CommitLayoutItem(oxLayoutItem* item) {
    oxBox* child = item->box;
    oxPoint pos = child->GetPacked(0), size = child->GetPacked(1);
    bool moved = pos.x != item->oldX || pos.y != item->oldY;
    bool resized = uint32_t(size.x) != item->oldWidth || uint32_t(size.y) != item->oldHeight;
    if (!moved && !resized) return;
    if (moved) child->InvalidateSubtree(true, true);
    child->InvalidateMeasure();
    child->UpdateFrameBounds(false);
}

void CommitLayoutItems(oxLayoutItemList* list) {
    for (int i = 0; i < list->count; ++i)
        CommitLayoutItem(&list->items[i]);
}

void UpdateScrollbarBox(oxPlacementRecord* placement, oxBox* box, oxBox* scrollbar, int32_t max, int32_t scale,
                        int32_t value, int orientation) {
    if (!box) return;
    bool existed = scrollbar != nullptr;
    bool wasVisible = existed && !scrollbar->IsEffectivelyHidden();
    if (scrollbar && scrollbar->IsEffectivelyHidden()) scrollbar->SetHidden(false);
    if (!scrollbar) scrollbar = box->CreateScrollbar(orientation == 1);
    if (!scrollbar) return;
    WCHAR text[16];
    swprintf(text, 16, u"%d", max);
    scrollbar->SetAttribute(kAtomMax, text, true, false);
    swprintf(text, 16, u"%d", scale);
    scrollbar->SetAttribute(kAtomScale, text, true, false);
    const WCHAR* dir = box->GetAttributeText(kAtomDir);
    swprintf(text, 16, u"%d", dir && _wcsicmp(dir, u"rtl") == 0 ? max : value);
    scrollbar->SetAttribute(kAtomValue, text, true, false);
    if (existed && wasVisible && orientation == 0 && placement && placement->outerHeight == 0) {
        oxPoint size = box->GetPacked(1);
        size.y += scrollbar->GetPacked(1).y;
        box->SetBoxSize(size);
    }
}

namespace {

int32_t StyleInt(oxBox* box, int propertyId) {
    oxStyleValue v;
    box->GetStyleValue(propertyId, &v);
    return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
}

void ShiftMargin(oxBox* bar, int propertyId, bool bothShown) {
    const WCHAR* text = bar->GetAttributeText(kAtomScrollBoth);
    int32_t n = text ? _wtoi(text) : 0;
    int32_t margin = oxClampLength(int64_t(StyleInt(bar, propertyId)) + (bothShown ? n : -int64_t(n)));
    bar->SetStyleValue(propertyId, oxStyleValue(margin, kStylePx), 0);
}

} // namespace

void UpdateScrollbarCornerMargins(oxBox* vertical, oxBox* horizontal, bool bothShown, oxBox* box) {
    if (vertical) ShiftMargin(vertical, kStyle_marginBottom, bothShown);
    if (!horizontal) return;
    const WCHAR* dir = box ? box->GetAttributeText(kAtomDir) : nullptr;
    bool rtl = dir && _wcsicmp(dir, u"rtl") == 0;
    ShiftMargin(horizontal, rtl ? kStyle_marginLeft : kStyle_marginRight, bothShown);
}

oxBox* HitTestChildrenLastFirst(const oxPoint& point, oxBox* box) {
    for (int i = box->GetChildCount() - 1; i >= 0; --i) {
        oxBox* child = box->GetChildAt(i, false);
        if (child->TestChangeFlags(kChangeLayered)) continue;
        if (oxBox* hit = child->HitTest(point)) return hit;
    }
    return box;
}

oxPoint MeasureNaturalSize(oxBox* box) {
    if (!box) return {};
    oxLayoutItemList list;
    BuildLayoutItems(box, &list, false);
    int64_t along = 0, across = 0;
    for (int i = 0; i < list.count; ++i) {
        const oxLayoutItem& it = list.items[i];
        const int64_t w =
            int64_t(std::max({it.prefWidth, it.minWidth, 0})) + it.paddingWidth + it.marginLeft + it.marginRight;
        const int64_t h =
            int64_t(std::max({it.prefHeight, it.minHeight, 0})) + it.paddingHeight + it.marginTop + it.marginBottom;
        along += (list.vertical ? h : w) + (i > 0 ? (list.vertical ? list.vSpace : list.hSpace) : 0);
        across = std::max(across, list.vertical ? w : h);
    }
    const oxRect padding = box->GetPadding();
    oxPoint size{oxClampLength((list.vertical ? across : along) + padding.x + padding.width),
                 oxClampLength((list.vertical ? along : across) + padding.y + padding.height)};
    // The box's own width and height, where its style gives them, win over its content's.
    oxBoxStyle* style = box->ResolveStyle();
    if (oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr) {
        if (int32_t w = Preferred(metrics, kStyle_width, 0, box); w > 0) size.x = w;
        if (int32_t h = Preferred(metrics, kStyle_height, 0, box); h > 0) size.y = h;
    }
    return size;
}

void ArrangeLayoutRoot(oxBox* box, int32_t width, int32_t height) {
    if (!box) return;
    oxRect padding = box->GetPadding();
    oxPlacementRecord record;
    int32_t w = oxClampLength(int64_t(width) - padding.x - padding.width);
    int32_t h = oxClampLength(int64_t(height) - padding.y - padding.height);
    // The root never grows: its maximum is its size even when that is 0.
    record.Construct(true, width, height, width, height, padding.x, padding.y, w, h, w, h, true, true, 0);
    box->SetBoxPosition({0, 0});
    box->Arrange(&record);
}

bool ArrangeInLastPlacement(oxBox* box) {
    const oxPlacementRecord* last = box ? box->GetPlacement() : nullptr;
    if (!last) return false;
    // The box answers afresh: the copy keeps what it was given and drops what it said last time.
    oxPlacementRecord record = *last;
    record.SetExtra(false, false, 0, 0, 0, 0);
    record.nesting = 0;
    box->Arrange(&record);
    return true;
}

oxContentArea oxContentArea::Of(const oxBox* box) {
    const oxPoint size = box->GetPacked(3), origin = box->GetPacked(2);
    return {size.x, size.y, origin.x, origin.y};
}
