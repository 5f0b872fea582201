// Scrolling a box's content through its layout, and the box's two scroll bar boxes. The scroll bars
// are boxes of their own, made by the scene, kept beside the box (not among its children) and laid
// over the far edges of its content area.
#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "runtime/hash_map.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

namespace {

struct Scrollbars {
    oxBox* vertical = nullptr; // each held with a reference
    oxBox* horizontal = nullptr;
    bool bothShown = false; // the corner margins are in place
};

NUBO::oxPtrHashMap<Scrollbars*>& ScrollbarTable() {
    static NUBO::oxPtrHashMap<Scrollbars*> table;
    return table;
}

// Scroll bars have no parent: this finds the box a bar scrolls.
NUBO::oxPtrHashMap<oxBox*>& ScrolledBoxTable() {
    static NUBO::oxPtrHashMap<oxBox*> table;
    return table;
}

Scrollbars* FindScrollbars(const oxBox* box) {
    auto& table = ScrollbarTable();
    if (table.IsEmpty()) return nullptr;
    auto* node = table.Find(box);
    return node ? node->value : nullptr;
}

int KeywordOf(oxBox* box, int id) {
    oxStyleValue v;
    box->GetStyleValue(id, &v);
    return v.GetType() == kStyleKeyword ? v.GetValue() : -1;
}

bool Visible(const oxBox* bar) {
    return bar && !bar->IsEffectivelyHidden();
}

int32_t StyleInt(oxBox* box, int id) {
    oxStyleValue v;
    box->GetStyleValue(id, &v);
    return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
}

// The scroll bar's thickness: its own width (vertical) or height (horizontal) style.
int32_t Thickness(oxBox* bar, bool vertical) {
    return StyleInt(bar, vertical ? kStyle_width : kStyle_height);
}

} // namespace

void oxBox::SetScrollX(int32_t x) {
    InvalidateSubtree(true, true);
    InvalidateMeasure();
    if (oxLayout* layout = GetLayout()) layout->SetScrollX(x);
    RequestRepaint();
}

void oxBox::SetScrollY(int32_t y) {
    InvalidateSubtree(true, !(layout_ && layout_->RefreshesMovedChildren()));
    if (oxLayout* layout = GetLayout()) layout->SetScrollY(y);
}

void oxBox::ScrollByX(int32_t delta) {
    if (delta == 0) return;
    if (oxLayout* layout = GetLayout()) layout->SetScrollX(layout->GetScrollX() + delta);
    RequestLayout();
}

void oxBox::ScrollByY(int32_t delta) {
    if (delta == 0) return;
    InvalidateSubtree(true, true);
    oxLayout* layout = GetLayout();
    if (!layout) return;
    // The layout scrolls at once (and repaints) rather than through a layout pass; the scroll bar is
    // told the offset it took, so that a later write of its value compares with the truth.
    layout->SetScrollY(layout->GetScrollY() + delta);
    if (oxBox* bar = FindVScrollBar()) {
        WCHAR text[16];
        swprintf(text, 16, u"%d", int(layout->GetScrollY()));
        bar->SetAttribute(kAtomValue, text, true, false);
    }
}

void oxBox::ScrollToBox(oxBox* target) {
    if (oxLayout* layout = GetLayout()) layout->ScrollToBox(target);
}

void oxBox::ScrollToRow(int32_t row) {
    if (oxLayout* layout = GetLayout()) layout->ScrollToRow(this, row);
}

int32_t oxBox::GetScrollX() {
    oxLayout* layout = GetLayout();
    return layout ? layout->GetScrollX() : 0;
}

int32_t oxBox::GetScrollY() {
    oxLayout* layout = GetLayout();
    return layout ? layout->GetScrollY() : 0;
}

int32_t oxBox::GetScrollRangeX() {
    oxLayout* layout = GetLayout();
    return layout ? layout->GetContentWidth() : 0;
}

int32_t oxBox::GetScrollRangeY() {
    oxLayout* layout = GetLayout();
    return layout ? layout->GetContentHeight() : 0;
}

void oxBox::ScrollPaintedContent(const oxPoint& delta) {
    (void)delta;
    InvalidateSubtree(true, !(layout_ && layout_->RefreshesMovedChildren()));
    RequestRepaint();
}

bool oxBox::IsOverflowHidden() {
    return KeywordOf(this, kStyle_overflow) == kKeywordHidden;
}

bool oxBox::IsOverflowScroll() {
    return KeywordOf(this, kStyle_overflow) == kKeywordScroll;
}

oxBox* oxBox::FindVScrollBar() const {
    Scrollbars* bars = FindScrollbars(this);
    return bars ? bars->vertical : nullptr;
}

oxBox* oxBox::FindHScrollBar() const {
    Scrollbars* bars = FindScrollbars(this);
    return bars ? bars->horizontal : nullptr;
}

oxBox* oxBox::CreateScrollbar(bool vertical) {
    if (!scene_) return nullptr;
    Scrollbars* bars = FindScrollbars(this);
    if (!bars) {
        bars = new (std::nothrow) Scrollbars;
        if (!bars) return nullptr;
        ScrollbarTable().Insert(this, bars);
    }
    oxBox* bar = scene_->CreateBox(kAtomBoxNamespace, kAtomScrollbar);
    if (!bar) return nullptr;
    bar->SetAttribute(kAtomAxis, vertical ? u"y" : u"x", true, false);
    oxBox*& slot = vertical ? bars->vertical : bars->horizontal;
    if (slot) {
        ScrolledBoxTable().Erase(slot);
        slot->Release();
    }
    slot = bar;
    ScrolledBoxTable().Insert(bar, this);
    const WCHAR* dir = GetAttributeText(kAtomDir);
    if (dir && _wcsicmp(dir, u"rtl") == 0) bar->SetAttribute(kAtomRtl, u"true", true, false);
    if (const WCHAR* style = GetAttributeText(kAtomScrollbarStyle)) bar->SetStyleId(oxAtoms::Intern(style), false);
    if (!bar->TestChangeFlags(kChangeAttached)) bar->OnSceneAttached();
    bar->ResolveStyle();
    if (oxChangeListener* listener = scene_->GetScrollbarListener()) bar->AddChangeListener(listener);
    return bar;
}

oxBox* oxBox::GetScrolledBox() const {
    auto& table = ScrolledBoxTable();
    if (table.IsEmpty()) return nullptr;
    auto* node = table.Find(this);
    return node ? node->value : nullptr;
}

oxRect oxBox::GetHScrollBarRect() const {
    oxBox* bar = FindHScrollBar();
    return Visible(bar) ? bar->GetBoxRect() : oxRect{};
}

oxRect oxBox::GetVScrollBarRect() const {
    oxBox* bar = FindVScrollBar();
    return Visible(bar) ? bar->GetBoxRect() : oxRect{};
}

oxRect oxBox::GetContentRectWithScrollbars() {
    oxRect r = GetContentRect();
    ScrollbarSpace space;
    GetScrollbarSpace(nullptr, &space);
    r.width += space.width;
    r.height += space.height;
    return r;
}

// Scroll bars lie over the content area's far edges: the vertical one along the right, the
// horizontal one along the bottom, each as thick as its own style says.
void oxBox::ArrangeScrollbars(oxPlacementRecord* placement) {
    if (stateFlags_ & kStateNoScrollbarArrange) return;
    // Most boxes neither overflow nor ever had a scroll bar.
    if (!(placement->flags & oxPlacementRecord::kOverflow) && !FindScrollbars(this)) return;
    oxLayout* layout = GetLayoutIfMade();
    bool scroll = IsOverflowScroll();
    bool wanted[2];
    for (bool vertical : {true, false}) {
        bool& want = wanted[vertical];
        want = scroll && layout && (vertical ? placement->extraContentHeight : placement->extraContentWidth) != 0 &&
               (placement->flags & oxPlacementRecord::kOverflow);
        oxBox* bar = vertical ? FindVScrollBar() : FindHScrollBar();
        if (want)
            layout->UpdateScrollbar(placement, vertical, bar);
        else if (Visible(bar))
            bar->SetHidden(true);
    }
    Scrollbars* bars = FindScrollbars(this);
    if (!bars) return;
    // The corner margins go on when the pair starts showing together and come off when it stops.
    bool both = Visible(bars->vertical) && Visible(bars->horizontal);
    if (both != bars->bothShown) {
        bars->bothShown = both;
        UpdateScrollbarCornerMargins(bars->vertical, bars->horizontal, both, this);
    }
    // The bars that are not wanted were hidden above: the shown ones are the wanted ones.
    PlaceScrollbars(placement);
}

void oxBox::PlaceScrollbars(oxPlacementRecord* placement) {
    Scrollbars* bars = FindScrollbars(this);
    if (!bars) return;
    for (bool vertical : {true, false}) {
        oxBox* bar = vertical ? bars->vertical : bars->horizontal;
        if (!Visible(bar)) continue;
        oxRect content = GetContentRect();
        int32_t t = Thickness(bar, vertical);
        oxRect r = vertical ? oxRect{content.x + content.width - t, content.y, t, content.height}
                            : oxRect{content.x, content.y + content.height - t, content.width, t};
        // The bar's margins along its length keep it out of the shared corner.
        if (vertical) {
            r.height = std::max(0, r.height - StyleInt(bar, kStyle_marginBottom));
        } else {
            int32_t left = StyleInt(bar, kStyle_marginLeft);
            r.x += left;
            r.width = std::max(0, r.width - left - StyleInt(bar, kStyle_marginRight));
        }
        bar->SetBoxPosition({r.x, r.y});
        oxPlacementRecord rec;
        rec.Construct(false, r.width, r.height, r.width, r.height, 0, 0, r.width, r.height, r.width, r.height, false,
                      false, placement ? placement->nesting : 0);
        bar->Arrange(&rec);
    }
}

void oxBox::GetScrollbarSpace(oxPlacementRecord* placement, ScrollbarSpace* out) {
    if (!out) return;
    *out = ScrollbarSpace{};
    Scrollbars* bars = FindScrollbars(this);
    if (!bars || (!Visible(bars->vertical) && !Visible(bars->horizontal))) return;
    if (placement) PlaceScrollbars(placement);
    // Placing arranges the bars, whose reactions may have dropped them; look them up again.
    if (!(bars = FindScrollbars(this))) return;
    if (Visible(bars->vertical)) {
        out->vertical = true;
        out->width = bars->vertical->GetPacked(1).x;
    }
    if (Visible(bars->horizontal)) {
        out->horizontal = true;
        out->height = bars->horizontal->GetPacked(1).y;
    }
}

// The destructor's part: the scroll bars go with their box.
void oxDropScrollbars(oxBox* box) {
    Scrollbars* bars = FindScrollbars(box);
    if (!bars) return;
    ScrollbarTable().Erase(box);
    for (oxBox* bar : {bars->vertical, bars->horizontal}) {
        if (!bar) continue;
        ScrolledBoxTable().Erase(bar);
        bar->Release();
    }
    delete bars;
}
