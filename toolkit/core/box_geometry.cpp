// The box's geometry: its packed entries, arrangement by its layout, hit testing, right-to-left
// child order and bounds.
#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/layout_factory.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

namespace {

constexpr int32_t kPackedMin = -(1 << 23);
constexpr int32_t kPackedMax = (1 << 23) - 1;

bool Fits(int32_t v) {
    return v >= kPackedMin && v <= kPackedMax;
}

// A box that cannot be hit, painted or traversed where it stands.
bool Unreachable(const oxBox* box) {
    return box->IsCollapsed() || box->IsEffectivelyHidden() ||
           (box->GetStateFlags() & (kStateExcluded | kStateOrnament)) != 0;
}

} // namespace

bool oxBox::SetPacked(int entry, const oxPoint& value) {
    if (entry < 0 || entry > 5 || !Fits(value.x) || !Fits(value.y)) return false;
    if (geometry_[entry] == value) return false;
    geometry_[entry] = value;
    return true;
}

void oxBox::SetBoxSize(const oxPoint& size) {
    if (SetPacked(1, size)) InvalidateMeasure();
}

void oxBox::SetContentSize(const oxPoint& size) {
    SetPacked(3, size);
}

void oxBox::SetBoxPosition(const oxPoint& position) {
    if (!SetPacked(0, position)) return;
    InvalidateMeasure();
    InvalidateSubtree(true, false);
}

oxRect oxBox::GetBoxRect() const {
    return {geometry_[0].x, geometry_[0].y, geometry_[1].x, geometry_[1].y};
}

oxRect oxBox::GetContentRect() const {
    return {geometry_[2].x, geometry_[2].y, geometry_[3].x, geometry_[3].y};
}

// Computed up the logical-parent chain on every call: a cached value would go stale when an
// ancestor moves, and the walk is short.
oxPoint oxBox::GetFramePosition() {
    oxPoint at{0, 0};
    for (oxBox* b = this; b; b = b->GetLogicalParent()) {
        if (b != this && b->TestChangeFlags(kChangeFramed)) break;
        at.x += b->geometry_[0].x;
        at.y += b->geometry_[0].y;
        if (b->TestChangeFlags(kChangeFramed)) break;
    }
    return at;
}

namespace {

// The positions of `box` and its logical parents up to the first ancestor that `stop` accepts.
template <class Stop> oxPoint OffsetUpTo(const oxBox* box, Stop stop) {
    int64_t x = 0, y = 0;
    for (const oxBox* b = box; b; b = b->GetLogicalParent()) {
        x += b->GetPacked(0).x;
        y += b->GetPacked(0).y;
        const oxBox* up = b->GetLogicalParent();
        if (!up || stop(up)) break;
    }
    return {oxClampLength(x), oxClampLength(y)};
}

} // namespace

oxPoint oxBox::GetLayerOffset() const {
    return OffsetUpTo(this, [](const oxBox* b) { return b->TestChangeFlags(kChangeLayered) != 0; });
}

oxPoint oxBox::GetLayerRootOffset() const {
    return OffsetUpTo(this, [](const oxBox* b) {
        return b->TestChangeFlags(kChangeLayered) && b->TestChangeFlags(kChangeLayerStack);
    });
}

// Computed up the logical-parent chain like the frame position, less what each ancestor below the
// frame box has scrolled: where the box shows in its frame's window.
oxRect oxBox::GetFrameClientRect() {
    const oxPoint size = geometry_[1];
    if (changeFlags_ & kChangeFramed) return {0, 0, size.x, size.y};
    int64_t x = 0, y = 0;
    for (oxBox* b = this; b; b = b->GetLogicalParent()) {
        x += b->geometry_[0].x;
        y += b->geometry_[0].y;
        oxBox* up = b->GetLogicalParent();
        if (!up || (up->changeFlags_ & kChangeFramed)) break;
        // Only a layout that exists can have scrolled; asking would make one for every ancestor.
        if (oxLayout* layout = up->GetLayoutIfMade()) {
            x -= layout->GetScrollX();
            y -= layout->GetScrollY();
        }
    }
    return {oxClampLength(x), oxClampLength(y), size.x, size.y};
}

oxRect oxBox::GetVisibleRect() {
    oxRect r = GetFrameClientRect();
    for (oxBox* b = GetLogicalParent(); b && r.width > 0 && r.height > 0; b = b->GetLogicalParent()) {
        if ((b->stateFlags_ & kStateOverflowed) && (b->IsOverflowHidden() || b->IsOverflowScroll()))
            r.Intersect(b->GetFrameClientRect());
        if (b->changeFlags_ & kChangeFramed) break;
    }
    if (r.width <= 0 || r.height <= 0) return {0, 0, 0, 0};
    return r;
}

oxLayout* oxBox::GetLayout() {
    if (!layout_) {
        oxLayoutFactory factory;
        (void)factory.CreateDefaultLayout(GetBoxType(), &layout_);
    }
    return layout_;
}

void oxBox::SetLayout(oxLayout* layout) {
    if (layout == layout_) return;
    delete layout_;
    layout_ = layout;
}

void oxBox::Arrange(oxPlacementRecord* placement) {
    if (!placement || (stateFlags_ & kStateBlockUpdate)) return;
    // A box arranged again from inside its own arrangement counts the nesting in the record.
    bool nested = (changeFlags_ & kChangeArranging) != 0;
    if (nested) ++placement->nesting;
    changeFlags_ |= kChangeArranging;
    ApplyPlacementToStyle(placement);
    if (presence_ & kHasFrame) {
        if (oxBoxFrame* frame = GetFrame()) frame->PositionWindow();
    }
    oxLayout* layout = GetLayout();
    if (layout) layout->Layout(placement, this);
    if (placement->flags & oxPlacementRecord::kGrew) {
        int32_t dx = placement->GetDeltaX(), dy = placement->GetDeltaY();
        oxPoint size = geometry_[1], content = geometry_[3];
        SetBoxSize({oxClampLength(int64_t(size.x) + dx), oxClampLength(int64_t(size.y) + dy)});
        SetContentSize({oxClampLength(int64_t(content.x) + dx), oxClampLength(int64_t(content.y) + dy)});
        // A box placed by its own edges places itself again at its new size ("center", "end").
        PlaceByStyle({placement->availWidth, placement->availHeight});
    }
    if (placement->nesting == 0) {
        if (!placement_) placement_ = new (std::nothrow) oxPlacementRecord;
        if (placement_) placement_->CopyFrom(*placement);
    }
    SetOverflowed((placement->flags & oxPlacementRecord::kOverflow) != 0);
    SetGrew((placement->flags & oxPlacementRecord::kGrew) != 0);
    if (layout) ArrangeScrollbars(placement);
    // Layers are placed in this box's area but not by its layout.
    for (int i = 0; i < GetLayerCount(); ++i) {
        oxBox* layer = GetLayerAt(i);
        if (layer == this || layer->GetBoxType() == kAtomPopup || layer->IsCollapsed() ||
            layer->TestChangeFlags(kChangeFlowed))
            continue;
        if (oxLayout* own = layer->GetLayoutIfMade()) own->ClearValidity();
        oxPlacementRecord rec;
        oxPoint size = geometry_[1];
        rec.Construct(false, size.x, size.y, 0, 0, 0, 0, 0, 0, 0, 0, false, false, placement->nesting);
        layer->Arrange(&rec);
    }
    if (nested) {
        --placement->nesting;
    } else {
        changeFlags_ &= ~(kChangeLayoutStale | kChangeLayoutQueued | kChangeReported | kChangeArranging);
    }
    if (!(changeFlags_ & kChangeArranged)) {
        changeFlags_ |= kChangeArranged;
        if (!scene_ || scene_->GetRootBox() != this) {
            oxDOMEvent initialized(kAtomInitialized, this, nullptr);
            HandleEvent(&initialized);
        }
    }
    oxDOMEvent laidOut(kAtomLayout, this, nullptr);
    HandleEvent(&laidOut);
}

namespace {

bool IsPlacingKeyword(const oxStyleValue& v) {
    if (v.GetType() != kStyleKeyword) return false;
    const int k = v.GetValue();
    return k == kKeywordCenter || k == kKeywordStart || k == kKeywordEnd;
}

// `area` stands in for the logical parent's content when there is none.
bool ResolveIn(oxBox* box, int id, const oxPoint& area, int32_t* out) {
    oxBoxStyle* style = box->ResolveStyle();
    oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr;
    if (!metrics || !metrics->IsSet(id)) return false;
    const oxStyleValue& v = *metrics->Member(id);
    // Other keywords ("auto", "aspect", "none") leave the edge to layout.
    if (v.GetType() == kStyleKeyword && !IsPlacingKeyword(v)) return false;
    const oxBox* parent = box->GetLogicalParent();
    // Differs on purpose: "center" and "end" measure the whole box, not its content, so that a
    // padded box sits centred.
    int32_t n = 0;
    if (!oxMetricsGroup::ResolveEdge(id, v, box->GetPacked(1), parent ? parent->GetPacked(3) : area, &n)) return false;
    *out = oxClampLength(n);
    return true;
}

} // namespace

void oxBox::ApplyPlacementToStyle(oxPlacementRecord* placement) {
    if (!placement) return;
    // A box out of the flow is given no size by its parent's layout: its own `width` and `height`
    // size it, and its content grows it from there. The record takes them too, so that growth is
    // measured from them.
    if (!(changeFlags_ & kChangeFlowed)) {
        const oxRect padding = GetPadding();
        const oxPoint area{placement->availWidth, placement->availHeight};
        int32_t n = 0;
        if (ResolveIn(this, kStyle_width, area, &n) && n > 0) {
            placement->width = n;
            placement->paddingLeft = padding.x;
            placement->outerWidth = oxClampLength(int64_t(n) + padding.x + padding.width);
        }
        if (ResolveIn(this, kStyle_height, area, &n) && n > 0) {
            placement->height = n;
            placement->paddingTop = padding.y;
            placement->outerHeight = oxClampLength(int64_t(n) + padding.y + padding.height);
        }
    }
    // Sizes past what a box can keep stop at the edge of that range.
    SetBoxSize({oxClampLength(placement->outerWidth), oxClampLength(placement->outerHeight)});
    SetPacked(2, {oxClampLength(placement->paddingLeft), oxClampLength(placement->paddingTop)});
    SetContentSize({oxClampLength(placement->width), oxClampLength(placement->height)});
    PlaceByStyle({placement->availWidth, placement->availHeight});
}

bool oxBox::ResolveEdgeValue(int propertyId, int32_t* out) {
    return out && ResolveIn(this, propertyId, {0, 0}, out);
}

void oxBox::ResolvePercentGeometry() {
    oxBoxStyle* style = ResolveStyle();
    oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr;
    if (!metrics) return;
    for (int id : {kStyle_top, kStyle_right, kStyle_left, kStyle_bottom, kStyle_width, kStyle_height}) {
        // Plain pixel values stay as they are: writing them again would only unshare the record.
        const oxStyleValue* v = metrics->IsSet(id) ? metrics->Member(id) : nullptr;
        if (!v || (v->GetType() != kStylePercent && !IsPlacingKeyword(*v))) continue;
        int32_t n = 0;
        if (ResolveIn(this, id, {0, 0}, &n)) SetStyleValue(id, oxStyleValue(n, kStylePx), 0);
    }
}

void oxBox::PlaceByStyle(const oxPoint& area) {
    if (changeFlags_ & kChangeFlowed) return;
    const oxBox* parent = GetLogicalParent();
    const oxPoint room = parent ? parent->GetPacked(3) : area, size = geometry_[1];
    oxPoint at = geometry_[0];
    int32_t n = 0;
    if (ResolveIn(this, kStyle_left, area, &n))
        at.x = n;
    else if (ResolveIn(this, kStyle_right, area, &n))
        at.x = oxClampLength(int64_t(room.x) - n - size.x);
    if (ResolveIn(this, kStyle_top, area, &n))
        at.y = n;
    else if (ResolveIn(this, kStyle_bottom, area, &n))
        at.y = oxClampLength(int64_t(room.y) - n - size.y);
    SetBoxPosition(at);
}

bool oxBox::FollowChildChange(oxBox* child) {
    if (!placement_ || (stateFlags_ & kStateBlockUpdate) || (changeFlags_ & kChangeArranging)) return false;
    oxLayout* layout = GetLayoutIfMade();
    if (!layout || !layout->FollowChild(placement_, this, child)) return false;
    // As after an arrangement: the scroll bars take the new content extent.
    ArrangeScrollbars(placement_);
    return true;
}

void oxBox::AnnounceLayout() {
    oxDOMEvent laidOut(kAtomLayout, this, nullptr);
    HandleEvent(&laidOut);
}

oxBox* oxBox::HitTest(const oxPoint& point) {
    if (Unreachable(this)) return nullptr;
    // The root of a window is where its window is: its own position is the window's on the screen.
    const bool windowRoot = (changeFlags_ & kChangeFramed) && !GetLogicalParent();
    const oxPoint at = windowRoot ? oxPoint{0, 0} : geometry_[0];
    if (!oxRect{at.x, at.y, geometry_[1].x, geometry_[1].y}.Contains(point)) return nullptr;
    oxPoint local{point.x - at.x, point.y - at.y};
    oxBox* hit = nullptr;
    for (oxBox* bar : {FindVScrollBar(), FindHScrollBar()}) {
        if (bar && (hit = bar->HitTest(local))) return hit;
    }
    // Layers lie above the children unless they are "below" layers; the last registered is on top.
    auto layers = [&](bool below) -> oxBox* {
        for (int i = GetLayerCount() - 1; i >= 0; --i) {
            oxBox* layer = GetLayerAt(i);
            if (layer == this || layer->TestChangeFlags(kChangeLayerBelow) != below) continue;
            // The layer stands in its logical parent (a "stack" layer in its anchor, somewhere below
            // this root); move the point there.
            oxPoint in = local;
            if (oxBox* parent = layer->GetLogicalParent(); parent != this) {
                if (!layer->TestChangeFlags(kChangeLayerStack) || layer->FindLayerRoot() != this) continue;
                const oxPoint offset = parent->GetLayerRootOffset();
                in = {int32_t(int64_t(in.x) - offset.x), int32_t(int64_t(in.y) - offset.y)};
            }
            if (oxBox* h = layer->HitTest(in)) return h;
        }
        return nullptr;
    };
    if ((hit = layers(false))) return hit;
    if (GetChildCount() > 0) {
        oxLayout* layout = GetLayout();
        hit = layout ? layout->HitTest(local, this) : this;
        if (hit && hit != this) return hit;
    }
    if ((hit = layers(true))) return hit;
    return (changeFlags_ & kChangeIgnoreEvents) ? nullptr : this;
}

void oxBox::ApplyRtlOrder() {
    const WCHAR* dir = GetAttributeText(kAtomDir);
    if (!dir || oxAtoms::Find(dir) != kAtomRtl) return;
    int n = children_->count;
    oxBox** items = children_->Items();
    std::reverse(items, items + n);
    for (int i = 0; i < n; ++i)
        items[i]->index_ = i;
}

const oxRect& oxBox::UpdateBounds() {
    if (!(presence_ & kMarkMeasuredWidth)) {
        presence_ |= kMarkMeasuredWidth;
        oxPoint at = GetFramePosition();
        bounds_.Set(at.x, at.y, geometry_[1].x, geometry_[1].y);
        const int16_t* out = GetPaintOutsets();
        bounds_.InflateBy(out[0], out[1], out[2], out[3]);
    }
    return bounds_;
}
