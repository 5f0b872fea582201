// The flex pass works on both axes through one table per axis, so the horizontal and the vertical
// box share every line: "main" is the axis the children line up along, "cross" the other one.
#include "toolkit/core/flex_layout.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/style_tables.h"

namespace {

struct Axis {
    int index; // 0 x, 1 y
    int32_t oxLayoutItem::*size;
    int32_t oxLayoutItem::*pref;
    int32_t oxLayoutItem::*lead; // margin before
    int32_t oxLayoutItem::*trail;
    int32_t oxLayoutItem::*padding;
    int32_t oxLayoutItem::*intrinsic;
    int32_t oxLayoutItem::*place;
    uint8_t oxLayoutItem::*stretch;
    bool (oxLayoutItem::*clamp)();
};

constexpr Axis kAxisX{0,
                      &oxLayoutItem::width,
                      &oxLayoutItem::prefWidth,
                      &oxLayoutItem::marginLeft,
                      &oxLayoutItem::marginRight,
                      &oxLayoutItem::paddingWidth,
                      &oxLayoutItem::intrinsicWidth,
                      &oxLayoutItem::placeX,
                      &oxLayoutItem::stretchX,
                      &oxLayoutItem::ClampWidth};
constexpr Axis kAxisY{1,
                      &oxLayoutItem::height,
                      &oxLayoutItem::prefHeight,
                      &oxLayoutItem::marginTop,
                      &oxLayoutItem::marginBottom,
                      &oxLayoutItem::paddingHeight,
                      &oxLayoutItem::intrinsicHeight,
                      &oxLayoutItem::placeY,
                      &oxLayoutItem::stretchY,
                      &oxLayoutItem::ClampHeight};

// Margins and padding along an axis.
int32_t Around(const oxLayoutItem& it, const Axis& a) {
    return it.*a.padding + it.*a.lead + it.*a.trail;
}

// trunc(flex / total x free + 0.5), kept inside the 32-bit range.
int32_t Share(int32_t flex, int32_t total, int32_t free) {
    double share = double(flex) / double(total) * double(free) + 0.5;
    share = std::clamp(share, -2147483648.0, 2147483647.0);
    return int32_t(share);
}

int32_t Sign31(int32_t v) {
    return int32_t(uint32_t(v) << 1) >> 1;
}

// Sizes an item for the run as measuring does: along the run its preferred size, across it
// stretched to the room or at its preferred size, each within its limits.
void SizeItem(oxLayoutItem& it, const Axis& m, const Axis& c, int crossAlign, int32_t roomAcross) {
    it.*m.size = it.*m.pref;
    (it.*m.clamp)();
    if (crossAlign == kKeywordStretch && it.*c.stretch) {
        int32_t room = oxLengthSum(int64_t(roomAcross) - Around(it, c));
        it.*c.size = it.*c.pref == 0 ? room : std::max(it.*c.pref, room);
    } else {
        it.*c.size = it.*c.pref;
    }
    (it.*c.clamp)();
}

// Where an item lies across the run: the room it leaves, split by the alignment.
int32_t OffsetAcross(const oxLayoutItem& it, const Axis& c, int crossAlign, int32_t roomAcross) {
    int32_t diff = oxLengthSum(int64_t(roomAcross) - it.*c.size - Around(it, c));
    if (diff <= 0) return 0;
    if (crossAlign == kKeywordCenter) return diff / 2;
    if (crossAlign == kKeywordEnd) return diff;
    return 0;
}

// Arranges an item's box at the item's size in a box whose room is `avail`; the box's answer.
oxPlacementRecord ArrangeItem(oxLayoutItem& it, const int32_t avail[2], int32_t nesting) {
    oxPlacementRecord rec;
    bool noMaxW = it.maxWidth == -1, noMaxH = it.maxHeight == -1;
    rec.Construct(false, avail[0], avail[1], oxLengthSum(int64_t(it.paddingWidth) + it.width),
                  oxLengthSum(int64_t(it.paddingHeight) + it.height), it.paddingLeft, it.paddingTop, it.width,
                  it.height, noMaxW ? it.width : it.maxWidth, noMaxH ? it.height : it.maxHeight, noMaxW, noMaxH,
                  nesting);
    it.box->Arrange(&rec);
    return rec;
}

// One Layout call.
struct Pass {
    oxBox* box;
    oxPlacementRecord* placement;
    oxLayoutItemList list;
    const Axis* M;
    const Axis* C;
    int32_t avail[2];
    int32_t origin[2];
    int32_t max[2];
    bool hasMax[2];
    int32_t content[2] = {0, 0};
    int32_t flexBase = 0;
    int32_t space = 0;
    int mainAlign = -1;
    int crossAlign = -1;
    int32_t start = 0;
    int stretchCount[2] = {0, 0}; // items with stretchX, stretchY
    bool shared = false;          // the free space went to flexible items

    void Measure();
    bool Grow();
    void Distribute();
    void Leave(oxLayoutItem& it, int32_t& free);
    int32_t CrossOffset(const oxLayoutItem& it) const;
    void PlaceAt(oxLayoutItem& it, int32_t pos);
    int32_t Advance(const oxLayoutItem& it, int32_t pos) const;
    // Places the items up to `last` again from the start of the run.
    void Reposition(int last);
    // Places every item, arranging those not yet placed; true when the pass must run again.
    bool Place();
    bool TakeGrowth(oxLayoutItem& it, const oxPlacementRecord& rec, bool* widthCase, bool* heightCase, bool* reshare);
};

void Pass::Measure() {
    content[0] = content[1] = 0;
    flexBase = 0;
    const Axis& m = *M;
    const Axis& c = *C;
    int32_t prevExtent = 0;
    for (int i = 0; i < list.count; ++i) {
        oxLayoutItem& it = list.items[i];
        if (it.flex && it.*m.pref != 0 && it.*m.intrinsic == 0) it.*m.pref = 0;
        SizeItem(it, m, c, crossAlign, avail[c.index]);
        int32_t outer = it.*m.lead + it.*m.trail + it.*m.size;
        int32_t extent = outer + it.*m.padding;
        int32_t gap = (i > 0 && prevExtent != 0 && extent != 0) ? space : 0;
        content[m.index] = oxLengthSum(int64_t(content[m.index]) + gap + outer);
        if (it.flex)
            flexBase = oxLengthSum(int64_t(flexBase) + it.*m.size);
        else
            content[m.index] = oxLengthSum(int64_t(content[m.index]) + it.*m.padding);
        prevExtent = extent;
        content[c.index] = std::max(content[c.index], oxLengthSum(int64_t(Around(it, c)) + it.*c.size));
    }
}

bool Pass::Grow() {
    bool changed = false;
    for (int a = 0; a < 2; ++a) {
        if (content[a] <= avail[a] || (hasMax[a] && avail[a] >= max[a])) continue;
        int32_t grown = (hasMax[a] && max[a] < content[a]) ? max[a] : content[a];
        if (grown != avail[a]) {
            avail[a] = grown;
            changed = true;
        }
    }
    return changed;
}

void Pass::Leave(oxLayoutItem& it, int32_t& free) {
    const Axis& m = *M;
    content[m.index] = oxLengthSum(int64_t(content[m.index]) + it.*m.size);
    free = oxLengthSum(int64_t(free) - it.*m.padding - it.*m.size);
    it.*m.pref = it.*m.size;
    list.totalFlex -= it.flex;
    it.flex = 0;
}

void Pass::Distribute() {
    const Axis& m = *M;
    int32_t free = oxLengthSum(int64_t(avail[m.index]) - std::max<int64_t>(0, int64_t(content[m.index]) - flexBase));
    start = origin[m.index];
    shared = false;
    if (free < 1) return;
    if (list.totalFlex < 1) {
        if (mainAlign == kKeywordCenter)
            start = oxLengthSum(int64_t(start) + avail[m.index] / 2 - content[m.index] / 2);
        else if (mainAlign == kKeywordEnd)
            start = oxLengthSum(int64_t(start) + avail[m.index] - content[m.index]);
        return;
    }
    // Differs on purpose: the flexible items' measured sizes leave the content before their shares
    // join it, so that a run that fills its box does not count as wider than the box.
    content[m.index] = oxLengthSum(int64_t(content[m.index]) - flexBase);
    shared = true;
    // Each round ends either with every share in place or with one item leaving the flexible set,
    // so there are at most as many rounds as flexible items.
    for (;;) {
        if (list.totalFlex < 1) break;
        int64_t sum = 0;
        oxLayoutItem* last = nullptr;
        int32_t lastShare = 0;
        bool again = false;
        for (int i = 0; i < list.count && !again; ++i) {
            oxLayoutItem& it = list.items[i];
            if (!it.flex) continue;
            int32_t share = Share(it.flex, list.totalFlex, free);
            sum += share;
            it.*m.size = oxLengthSum(int64_t(share) - it.*m.padding);
            if ((it.*m.clamp)()) {
                Leave(it, free);
                again = true;
                break;
            }
            last = &it;
            lastShare = share;
        }
        if (again) continue;
        if (last && sum != free) {
            last->*m.size = oxLengthSum(lastShare + (free - sum) - last->*m.padding);
            if ((last->*m.clamp)()) {
                Leave(*last, free);
                continue;
            }
        }
        break;
    }
    for (int i = 0; i < list.count; ++i)
        if (list.items[i].flex) content[m.index] = oxLengthSum(int64_t(content[m.index]) + list.items[i].*m.size);
}

int32_t Pass::CrossOffset(const oxLayoutItem& it) const {
    return OffsetAcross(it, *C, crossAlign, avail[C->index]);
}

void Pass::PlaceAt(oxLayoutItem& it, int32_t pos) {
    const Axis& c = *C;
    it.*M->place = pos;
    it.*c.place = oxLengthSum(int64_t(origin[c.index]) + it.*c.lead + CrossOffset(it));
    // A place past what a box can keep stops at the edge of that range.
    it.box->SetBoxPosition({oxClampLength(it.placeX), oxClampLength(it.placeY)});
}

int32_t Pass::Advance(const oxLayoutItem& it, int32_t pos) const {
    const Axis& m = *M;
    int64_t outer = int64_t(it.*m.padding) + it.*m.size;
    return oxLengthSum(pos + int64_t(it.*m.trail) + (outer != 0 ? space : 0) + outer);
}

void Pass::Reposition(int last) {
    int32_t pos = start;
    for (int i = 0; i <= last; ++i) {
        oxLayoutItem& it = list.items[i];
        pos = oxLengthSum(int64_t(pos) + it.*M->lead);
        PlaceAt(it, pos);
        pos = Advance(it, pos);
    }
}

bool Pass::TakeGrowth(oxLayoutItem& it, const oxPlacementRecord& rec, bool* widthCase, bool* heightCase,
                      bool* reshare) {
    bool vertical = list.vertical != 0;
    bool any = false;
    // Differs on purpose: growth along the run first comes out of the flexible items' shares (the
    // run is measured and shared again) instead of growing the box by the whole growth.
    auto takesShares = [&] {
        list.totalFlex -= it.flex;
        it.flex = 0;
        if (!shared || list.totalFlex < 1) return false;
        *reshare = true;
        return true;
    };
    if (int32_t dx = rec.GetDeltaX(); dx > 0) {
        any = true;
        it.prefWidth = it.width = rec.extraWidth;
        if (!vertical) {
            if (!takesShares()) content[0] = oxLengthSum(int64_t(content[0]) + dx);
        } else {
            content[0] = std::max(content[0], oxLengthSum(int64_t(Around(it, kAxisX)) + it.width));
        }
        bool grew = false;
        if (content[0] > avail[0]) {
            int32_t n = (max[0] != 0 && max[0] < content[0]) ? max[0] : content[0];
            grew = n != avail[0];
            avail[0] = n;
        }
        *widthCase = !vertical || (grew && list.hAlign != kKeywordStart);
    }
    if (int32_t dy = rec.GetDeltaY(); dy > 0) {
        any = true;
        it.prefHeight = it.height = rec.extraHeight;
        if (vertical) {
            if (!takesShares()) content[1] = oxLengthSum(int64_t(content[1]) + dy);
        } else {
            content[1] = std::max(content[1], oxLengthSum(int64_t(Around(it, kAxisY)) + it.height));
        }
        bool grew = false;
        if (content[1] > avail[1]) {
            int32_t n = (max[1] > 0 && max[1] < content[1]) ? max[1] : content[1];
            grew = n != avail[1];
            avail[1] = n;
        }
        *heightCase = vertical || (grew && list.vAlign != kKeywordStart);
    }
    return any;
}

bool Pass::Place() {
    int32_t pos = start;
    bool reshared = false;
    for (int i = 0; i < list.count; ++i) {
        oxLayoutItem& it = list.items[i];
        pos = oxLengthSum(int64_t(pos) + it.*M->lead);
        PlaceAt(it, pos);
        if (!it.placed) {
            oxPlacementRecord rec = ArrangeItem(it, avail, placement->nesting);
            it.placed = 1;
            bool widthCase = false, heightCase = false, reshare = false;
            int32_t crossRoom = avail[C->index];
            if ((rec.flags & oxPlacementRecord::kGrew) && TakeGrowth(it, rec, &widthCase, &heightCase, &reshare)) {
                // The flexible items take new shares: they are arranged again at their sizes.
                for (int j = 0; reshare && j < list.count; ++j)
                    if (list.items[j].flex) list.items[j].placed = 0;
                // The items after this one are placed by the walk itself; those before it move only
                // across, when the room across changed.
                if (avail[C->index] != crossRoom) Reposition(i);
                if (widthCase || heightCase) {
                    bool stretched = false;
                    // Only walk the items when another one stretches along a grown axis.
                    int others = (widthCase ? stretchCount[0] - it.stretchX : 0) +
                                 (heightCase ? stretchCount[1] - it.stretchY : 0);
                    for (int j = 0; others > 0 && j < list.count; ++j) {
                        oxLayoutItem& other = list.items[j];
                        if (j != i && ((widthCase && other.stretchX) || (heightCase && other.stretchY))) {
                            other.placed = 0;
                            stretched = true;
                        }
                    }
                    // Differs on purpose: the pass restarts only when a stretched item must be sized
                    // again or the run is packed to the centre or end; otherwise a restart would give
                    // the same places, and a column of growing children would cost quadratic time.
                    if (stretched || mainAlign == kKeywordCenter || mainAlign == kKeywordEnd) return true;
                }
                // The walk goes on, so that every growing item is measured before the one new pass.
                reshared = reshared || reshare;
            }
        }
        pos = Advance(it, pos);
    }
    return reshared;
}

} // namespace

oxLayout* oxFlexLayout::CreateInstance() const {
    return new (std::nothrow) oxFlexLayout;
}

void oxFlexLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement) return;
    box_ = box;
    Pass pass{};
    pass.box = box;
    pass.placement = placement;
    oxPoint size = box->GetPacked(3), origin = box->GetPacked(2);
    pass.avail[0] = size.x;
    pass.avail[1] = size.y;
    pass.origin[0] = origin.x;
    pass.origin[1] = origin.y;
    pass.max[0] = placement->maxWidth;
    pass.max[1] = placement->maxHeight;
    pass.hasMax[0] = placement->maxWidth != 0 || (placement->flags & oxPlacementRecord::kNoMaxWidth);
    pass.hasMax[1] = placement->maxHeight != 0 || (placement->flags & oxPlacementRecord::kNoMaxHeight);
    const int32_t startW = size.x, startH = size.y;
    contentWidth_ = contentHeight_ = 0;
    BuildLayoutItems(box, &pass.list, false);
    bool vertical = pass.list.vertical != 0;
    pass.M = vertical ? &kAxisY : &kAxisX;
    pass.C = vertical ? &kAxisX : &kAxisY;
    pass.space = vertical ? pass.list.vSpace : pass.list.hSpace;
    pass.mainAlign = vertical ? pass.list.vAlign : pass.list.hAlign;
    pass.crossAlign = vertical ? pass.list.hAlign : pass.list.vAlign;
    bool anyFlex = false;
    for (int i = 0; i < pass.list.count; ++i) {
        pass.stretchCount[0] += pass.list.items[i].stretchX;
        pass.stretchCount[1] += pass.list.items[i].stretchY;
        anyFlex = anyFlex || pass.list.items[i].flex != 0;
    }

    const int limit = std::max(1, pass.list.count * 10);
    int rounds = 0;
    for (int n = 0; n < limit; ++n) {
        ++rounds;
        pass.Measure();
        if (pass.Grow()) continue;
        pass.Distribute();
        if (!pass.Place()) break;
    }
    contentWidth_ = pass.content[0];
    contentHeight_ = pass.content[1];
    CommitLayoutItems(&pass.list);

    overflowX_ = pass.hasMax[0] && pass.max[0] < pass.content[0];
    overflowY_ = pass.hasMax[1] && pass.max[1] < pass.content[1];
    bool grew = pass.avail[0] > startW || pass.avail[1] > startH;
    // A later change of one child can be followed without a pass only after a pass that ran once,
    // shared no space, grew nothing and left the run at the box's start.
    followable_ = GetLayoutType() == kAtomFlex && rounds == 1 && !grew && !anyFlex && placement->nesting == 0 &&
                  pass.mainAlign != kKeywordCenter && pass.mainAlign != kKeywordEnd &&
                  int64_t(pass.origin[pass.M->index]) + pass.content[pass.M->index] < kMaxLength &&
                  KeepRun(box, pass.list);
    if (followable_) {
        runVertical_ = pass.list.vertical;
        runSpace_ = pass.space;
        runHAlign_ = pass.list.hAlign;
        runVAlign_ = pass.list.vAlign;
        for (int a = 0; a < 2; ++a) {
            runAvail_[a] = pass.avail[a];
            runOrigin_[a] = pass.origin[a];
            runMax_[a] = pass.max[a];
            runHasMax_[a] = pass.hasMax[a];
        }
    }
    pass.list.Free();
    placement->SetExtra(grew, overflowX_ || overflowY_, pass.avail[0], pass.avail[1], overflowX_ ? pass.content[0] : 0,
                        overflowY_ ? pass.content[1] : 0);
}

bool oxFlexLayout::KeepRun(oxBox* box, const oxLayoutItemList& list) {
    const int32_t children = box->GetChildCount();
    if (children > followedCapacity_) {
        followed_.reset(new (std::nothrow) Followed[size_t(children)]);
        followedCapacity_ = followed_ ? children : 0;
        if (!followed_) return false;
    }
    followedCount_ = children;
    for (int32_t i = 0; i < children; ++i)
        followed_[i] = Followed{};
    const Axis& m = list.vertical ? kAxisY : kAxisX;
    const Axis& c = list.vertical ? kAxisX : kAxisY;
    for (int i = 0; i < list.count; ++i) {
        const oxLayoutItem& it = list.items[i];
        followed_[it.box->GetIndex()] = Followed{it.*m.lead, oxLengthSum(int64_t(it.*m.padding) + it.*m.size), it.*m.trail,
                                                 oxLengthSum(int64_t(Around(it, c)) + it.*c.size), 1};
    }
    return true;
}

bool oxFlexLayout::FollowChild(oxPlacementRecord* placement, oxBox* box, oxBox* child) {
    if (!followable_ || !placement || !box || box != box_ || !child || child->GetParent() != box ||
        box->GetChildCount() != followedCount_)
        return false;
    const int32_t index = child->GetIndex();
    if (index < 0 || index >= followedCount_ || !followed_[index].inRun) return false;
    const Followed was = followed_[index];
    // The child is measured alone, with the run's orientation and alignment.
    oxLayoutItemList run;
    run.vertical = runVertical_;
    run.hAlign = runHAlign_;
    run.vAlign = runVAlign_;
    oxLayoutItem it;
    if (!FillLayoutItem(child, &it, &run, false) || it.flex != 0) return false;
    const Axis& m = runVertical_ ? kAxisY : kAxisX;
    const Axis& c = runVertical_ ? kAxisX : kAxisY;
    const int crossAlign = runVertical_ ? runHAlign_ : runVAlign_;
    SizeItem(it, m, c, crossAlign, runAvail_[c.index]);
    const oxPlacementRecord rec = ArrangeItem(it, runAvail_, placement->nesting);
    // Growth along the run lengthens it, as in a pass; growth across could widen the box.
    if (rec.flags & oxPlacementRecord::kGrew) {
        const int32_t along = m.index ? rec.GetDeltaY() : rec.GetDeltaX();
        const int32_t across = m.index ? rec.GetDeltaX() : rec.GetDeltaY();
        if (across > 0) return false;
        if (along > 0) it.*m.size = m.index ? rec.extraHeight : rec.extraWidth;
    }
    const Followed now{it.*m.lead, oxLengthSum(int64_t(it.*m.padding) + it.*m.size), it.*m.trail,
                       oxLengthSum(int64_t(Around(it, c)) + it.*c.size), 1};
    // A child with no length, before or after, changes the gaps around it.
    auto hasLength = [](const Followed& f) { return f.outer != 0 && int64_t(f.lead) + f.trail + f.outer != 0; };
    if (!hasLength(was) || !hasLength(now)) return false;
    int32_t& contentAcross = c.index ? contentHeight_ : contentWidth_;
    if (now.across != was.across && (now.across > contentAcross || was.across >= contentAcross)) return false;
    int32_t& contentAlong = m.index ? contentHeight_ : contentWidth_;
    const int64_t delta = (int64_t(now.lead) + now.outer + now.trail) - (int64_t(was.lead) + was.outer + was.trail);
    const int64_t along = int64_t(contentAlong) + delta;
    const int32_t avail = runAvail_[m.index], max = runMax_[m.index];
    const bool atMax = runHasMax_[m.index] && max > 0 && max == avail;
    if (along < 0 || int64_t(runOrigin_[m.index]) + along >= kMaxLength || (along > avail && !atMax)) return false;
    bool& overflow = m.index ? overflowY_ : overflowX_;
    if ((runHasMax_[m.index] && max < along) != overflow) return false;

    oxPoint pos = child->GetPacked(0);
    int32_t* at[2] = {&pos.x, &pos.y};
    *at[m.index] = oxClampLength(int64_t(*at[m.index]) - was.lead + now.lead);
    *at[c.index] = oxClampLength(int64_t(runOrigin_[c.index]) + it.*c.lead +
                                 OffsetAcross(it, c, crossAlign, runAvail_[c.index]));
    child->SetBoxPosition(pos);
    CommitLayoutItem(&it);
    followed_[index] = now;
    contentAlong = int32_t(along);
    if (delta != 0) {
        for (int32_t i = index + 1; i < followedCount_; ++i) {
            if (!followed_[i].inRun) continue;
            oxLayoutItem moved;
            moved.box = box->GetChildAt(i, false);
            const oxPoint old = moved.box->GetPacked(0);
            const oxPoint size = moved.box->GetPacked(1);
            moved.oldX = old.x;
            moved.oldY = old.y;
            moved.oldWidth = uint32_t(size.x);
            moved.oldHeight = uint32_t(size.y);
            moved.box->SetBoxPosition(m.index ? oxPoint{old.x, int32_t(old.y + delta)} : oxPoint{int32_t(old.x + delta), old.y});
            CommitLayoutItem(&moved);
        }
    }
    placement->SetExtra(false, overflowX_ || overflowY_, runAvail_[0], runAvail_[1], overflowX_ ? contentWidth_ : 0,
                        overflowY_ ? contentHeight_ : 0);
    return true;
}

void oxFlexLayout::SetScrollX(int32_t x) {
    if (overflowX_) scrollX_ = Sign31(x);
}

void oxFlexLayout::SetScrollY(int32_t y) {
    if (!box_) return;
    int32_t limit = GetContentHeight() - box_->GetPacked(3).y;
    y = std::clamp(y, 0, std::max(0, limit));
    int32_t old = scrollY_;
    scrollY_ = Sign31(y);
    if (scrollY_ != old) {
        if (oxBoxScene* scene = box_->GetScene()) scene->CloseTrackedPopup();
        box_->ScrollPaintedContent({0, scrollY_ - old});
    }
}

void oxFlexLayout::ScrollToBox(oxBox* target) {
    if (!box_ || !target) return;
    oxPoint rel{0, 0};
    oxBox* b = target;
    for (; b && b != box_; b = b->GetParent()) {
        oxPoint p = b->GetPacked(0);
        rel.x = oxLengthSum(int64_t(rel.x) + p.x);
        rel.y = oxLengthSum(int64_t(rel.y) + p.y);
    }
    if (b != box_) return;
    oxPoint size = target->GetPacked(1), boxSize = box_->GetPacked(1);
    auto into = [this](int32_t top, int32_t h, int32_t view, int32_t s) { return ScrollInto(top, h, view, s); };
    int32_t sy = GetScrollY();
    int32_t ny = into(rel.y, size.y, boxSize.y - box_->GetHScrollBarRect().height, sy);
    WCHAR text[16];
    if (ny != sy) {
        oxBox* bar = box_->FindVScrollBar();
        if (bar && !bar->IsEffectivelyHidden()) {
            swprintf(text, 16, u"%d", ny);
            bar->SetAttribute(kAtomValue, text, true, false);
        }
    }
    int32_t sx = GetScrollX();
    int32_t nx = into(rel.x, size.x, boxSize.x - box_->GetVScrollBarRect().width, sx);
    if (nx != sx) {
        oxBox* bar = box_->FindHScrollBar();
        if (bar && !bar->IsEffectivelyHidden()) {
            swprintf(text, 16, u"%d", nx);
            bar->SetAttribute(kAtomValue, text, true, false);
        }
    }
}

int32_t oxFlexLayout::ScrollInto(int32_t top, int32_t size, int32_t view, int32_t scroll) const {
    if (top < scroll) return oxLengthSum(top);
    if (int64_t(top) + size <= int64_t(scroll) + view) return oxLengthSum(scroll);
    return oxLengthSum(size >= view ? int64_t(top) : int64_t(top) + size - view);
}

bool oxFlexLayout::ScrollsX(oxBox* box) const {
    return (box->GetStateFlags() & kStateOverflowed) && overflowX_ && contentWidth_ != 0;
}

bool oxFlexLayout::ScrollsY(oxBox* box) const {
    return (box->GetStateFlags() & kStateOverflowed) && overflowY_ && contentHeight_ != 0;
}

namespace {

bool Paintable(const oxBox* child) {
    return !child->TestChangeFlags(kChangeLayered) && !child->IsCollapsed() && !child->IsEffectivelyHidden() &&
           !(child->GetStateFlags() & kStateExcluded);
}

// How far a child reaches along the axis that ends the scrolled walk, and where the visible part ends.
int32_t FarEdge(const oxBox* child, bool alongY) {
    oxPoint pos = child->GetPacked(0), size = child->GetPacked(1);
    return alongY ? pos.y + size.y : pos.x + size.x;
}

} // namespace

void oxFlexLayout::PaintChildren(oxCanvas* canvas, oxBox* box) {
    if (!box) return;
    bool sx = ScrollsX(box), sy = ScrollsY(box);
    int n = box->GetChildCount();
    if (!sx && !sy) {
        for (int i = 0; i < n; ++i) {
            oxBox* child = box->GetChildAt(i, false);
            if (Paintable(child)) oxBox::PaintChild(canvas, child);
        }
        return;
    }
    oxBoxPaintServices& paint = oxGetBoxPaintServices();
    int32_t ox = sx ? GetScrollX() : 0, oy = sy ? GetScrollY() : 0;
    paint.OffsetOrigin(canvas, -ox, -oy);
    // The far edge that culls is the bottom, or the right when only horizontal scrolling is on.
    bool alongY = sy;
    int32_t scroll = alongY ? oy : ox;
    bool vertical = box->GetOrientation() == kKeywordVertical;
    oxPoint view = box->GetPacked(3);
    int32_t viewEnd = (vertical ? oy + view.y : ox + view.x);
    // Children out of view are not painted, but one with a native frame still hears of the paint,
    // so that its window is clipped away with the rest of it.
    const bool frames = box->HasFramedDescendants();
    for (int i = 0; i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!child->TestChangeFlags(kChangeFlowed) || !Paintable(child)) continue;
        oxPoint pos = child->GetPacked(0);
        const bool beyond = (vertical ? pos.y : pos.x) > viewEnd;
        if (beyond && !frames) break;
        if (!beyond && FarEdge(child, alongY) > scroll)
            oxBox::PaintChild(canvas, child);
        else if (child->TestChangeFlags(kChangeFramed))
            oxBox::PaintChild(canvas, child);
    }
    paint.OffsetOrigin(canvas, ox, oy);
}

oxBox* oxFlexLayout::HitTest(const oxPoint& point, oxBox* box) {
    if (!box) return nullptr;
    bool sx = ScrollsX(box), sy = ScrollsY(box);
    int n = box->GetChildCount();
    if (!sx && !sy) return HitTestChildrenLastFirst(point, box);
    oxPoint p{point.x + (sx ? GetScrollX() : 0), point.y + (sy ? GetScrollY() : 0)};
    bool vertical = box->GetOrientation() == kKeywordVertical;
    oxPoint view = box->GetPacked(3);
    int32_t viewEnd = vertical ? GetScrollY() + view.y : GetScrollX() + view.x;
    for (int i = 0; i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!child->TestChangeFlags(kChangeFlowed) || !Paintable(child)) continue;
        oxPoint pos = child->GetPacked(0);
        if ((vertical ? pos.y : pos.x) > viewEnd) return box;
        if (oxBox* hit = child->HitTest(p)) return hit;
    }
    return box;
}

void oxFlexLayout::UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) {
    if (!box_) return;
    oxPoint view = box_->GetPacked(3);
    if (vertical) {
        if (placement && placement->nesting != 0)
            scrollY_ = savedScrollY_;
        else
            savedScrollY_ = scrollY_;
        UpdateScrollbarBox(placement, box_, scrollbar, GetContentHeight() - view.y, view.y, GetScrollY(), 1);
    } else {
        if (placement && placement->nesting != 0)
            scrollX_ = savedScrollX_;
        else
            savedScrollX_ = scrollX_;
        UpdateScrollbarBox(placement, box_, scrollbar, GetContentWidth() - view.x, view.x, GetScrollX(), 0);
    }
}
