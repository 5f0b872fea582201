// The flow pass runs rows and columns through one routine with a table per axis: "main" is the axis
// a line runs along (x for rows), "cross" the axis the lines stack along. Running positions are kept
// in 64 bits and saturated to 32 when stored, so children of extreme sizes cannot overflow a sum.
#include "toolkit/core/flow_layout.h"

#include <algorithm>
#include <climits>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/style_tables.h"

namespace {

int32_t Sat(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

bool Paintable(const oxBox* child) {
    return !child->TestChangeFlags(kChangeLayered) && !child->IsCollapsed() && !child->IsEffectivelyHidden() &&
           !(child->GetStateFlags() & kStateExcluded);
}

int32_t IntAttribute(oxBox* box, oxAtom atom) {
    const WCHAR* text = box->GetAttributeText(atom);
    return text ? _wtoi(text) : 0;
}

bool BoolAttribute(oxBox* box, oxAtom atom) {
    const WCHAR* text = box->GetAttributeText(atom);
    return text && (_wcsicmp(text, u"true") == 0 || _wcsicmp(text, u"1") == 0);
}

// One axis of a pass: index into {x, y} pairs and the item's fields along it.
struct Axis {
    int i;
    int32_t oxLayoutItem::*pref;
    int32_t oxLayoutItem::*lead;
};
constexpr Axis kX{0, &oxLayoutItem::prefWidth, &oxLayoutItem::marginLeft};
constexpr Axis kY{1, &oxLayoutItem::prefHeight, &oxLayoutItem::marginTop};

} // namespace

struct oxFlowLayout::Pass {
    oxFlowLayout* self;
    oxPlacementRecord* placement;
    oxLayoutItemList list;
    int32_t avail[2];
    int32_t start[2];
    int32_t origin[2];
    int32_t max[2];
    bool overflow[2] = {false, false};
    int64_t content[2] = {0, 0};
    const Axis* M = &kX; // along a line
    const Axis* C = &kY; // across lines
    int32_t gap[2] = {0, 0};
    int align[2] = {-1, -1};
    bool alignAlong = true;

    // Arranges an item at its preferred size (`width` when given) and makes its preferred size the
    // size it took, margins included.
    void Measure(oxLayoutItem& it, int32_t width) {
        int32_t w = width >= 0 ? width : it.prefWidth, h = it.prefHeight;
        it.width = w;
        it.height = h;
        bool noMaxW = it.maxWidth == -1, noMaxH = it.maxHeight == -1;
        oxPlacementRecord rec;
        rec.Construct(false, avail[0], avail[1], Sat(int64_t(it.paddingWidth) + w), Sat(int64_t(it.paddingHeight) + h),
                      it.paddingLeft, it.paddingTop, w, h, noMaxW ? w : it.maxWidth, noMaxH ? h : it.maxHeight, noMaxW,
                      noMaxH, placement->nesting);
        it.box->Arrange(&rec);
        oxPoint size = it.box->GetPacked(1);
        it.prefWidth = Sat(int64_t(size.x) + it.marginLeft + it.marginRight);
        it.prefHeight = Sat(int64_t(size.y) + it.marginTop + it.marginBottom);
    }

    // Places items [first, last) as one line starting `cross` away from the origin.
    void PlaceLine(int first, int last, int64_t length, int64_t cross, int32_t thickness) {
        const Axis &m = *M, &c = *C;
        int64_t pos = origin[m.i];
        if (alignAlong) {
            if (align[m.i] == kKeywordCenter)
                pos += int64_t((double(avail[m.i]) - double(length)) * 0.5);
            else if (align[m.i] == kKeywordEnd)
                pos += avail[m.i] - length;
        }
        for (int k = first; k < last; ++k) {
            oxLayoutItem& it = list.items[k];
            int64_t off = 0;
            if (align[c.i] == kKeywordEnd)
                off = int64_t(thickness) - it.*c.pref;
            else if (align[c.i] == kKeywordCenter)
                off = (int64_t(thickness) - it.*c.pref) / 2;
            int64_t at[2];
            at[m.i] = pos + it.*m.lead;
            at[c.i] = origin[c.i] + cross + it.*c.lead + off;
            it.placeX = Sat(at[0]);
            it.placeY = Sat(at[1]);
            it.box->SetBoxPosition({it.placeX, it.placeY});
            pos += int64_t(it.*m.pref) + (it.*m.pref != 0 ? gap[m.i] : 0);
        }
        self->lines_.push_back(Line{last - first, Sat(length), thickness});
    }

    // Rows (or columns): fills each line while the children fit along it, growing the box up to its
    // maximum, and starts the next line past the last one.
    // Differs on purpose: positions are measured from the content origin, so that padding does not
    // count against the room of a line; a child too long for an empty line starts no empty line
    // before it; and the gap between two lines counts only when both are thick.
    void Run(int32_t width) {
        const Axis &m = *M, &c = *C;
        int64_t along = 0, cross = 0, length = 0;
        int32_t thickness = 0;
        int first = 0;
        for (int i = 0; i < list.count; ++i) {
            oxLayoutItem& it = list.items[i];
            Measure(it, width);
            const int32_t size = it.*m.pref;
            const bool prevNonZero = i > first && list.items[i - 1].*m.pref != 0;
            const int64_t g = (size != 0 && prevNonZero) ? gap[m.i] : 0;
            const int64_t need = along + g + size;
            bool fits = need <= avail[m.i];
            if (!fits) {
                if (max[m.i] != 0 && max[m.i] < need) {
                    avail[m.i] = std::max(avail[m.i], max[m.i]);
                } else {
                    avail[m.i] = Sat(need);
                    fits = true;
                }
            }
            if (fits && i > first) {
                thickness = std::max(thickness, it.*c.pref);
                along += g + size;
                length += g + size;
            } else {
                if (i > first) {
                    PlaceLine(first, i, length, cross, thickness);
                    const bool spaced = thickness != 0 && it.*c.pref != 0;
                    cross += int64_t(thickness) + (spaced ? gap[c.i] : 0);
                }
                if (max[m.i] != 0 && size > max[m.i] && align[m.i] != kKeywordEnd && align[m.i] != kKeywordCenter) {
                    content[m.i] = std::max<int64_t>(content[m.i], size);
                    overflow[m.i] = true;
                }
                first = i;
                length = size;
                along = size;
                thickness = std::max(0, it.*c.pref);
            }
            const int64_t reach = cross + thickness;
            if (max[c.i] != 0 && max[c.i] < reach)
                overflow[c.i] = true;
            else if (avail[c.i] < reach)
                avail[c.i] = Sat(reach);
        }
        if (list.count > 0) PlaceLine(first, list.count, length, cross, thickness);
        content[c.i] = cross + thickness;
    }

    // Balanced columns: more columns than `n` are redistributed into `n` of about equal height.
    void Balanced(int n, bool colFlex) {
        int32_t colWidth = -1;
        if (colFlex) colWidth = Sat((int64_t(avail[0]) - int64_t(gap[0]) * (n - 1)) / n);
        auto childWidth = [&](const oxLayoutItem& it) {
            return colWidth < 0 ? -1
                                : std::max<int32_t>(
                                      0, Sat(int64_t(colWidth) - it.paddingWidth - it.marginLeft - it.marginRight));
        };
        // The columns stack the children as a plain column flow would; each item is measured at its
        // column width first.
        for (int i = 0; i < list.count; ++i) {
            oxLayoutItem& it = list.items[i];
            if (colWidth >= 0) it.prefWidth = childWidth(it);
        }
        Run(-1);
        if (int(self->lines_.size()) > n) {
            overflow[1] = true;
            int64_t total = 0;
            for (int i = 0; i < list.count; ++i)
                total += list.items[i].prefHeight;
            const int64_t target = total / n;
            self->lines_.clear();
            int64_t x = 0, tallest = 0;
            int first = 0;
            int64_t height = 0;
            int32_t thickness = 0;
            for (int i = 0; i < list.count; ++i) {
                oxLayoutItem& it = list.items[i];
                height += int64_t(i > first && it.prefHeight != 0 && list.items[i - 1].prefHeight != 0 ? gap[1] : 0) +
                          it.prefHeight;
                thickness = std::max(thickness, it.prefWidth);
                if (height >= target || i == list.count - 1) {
                    PlaceLine(first, i + 1, height, x, thickness);
                    tallest = std::max(tallest, height);
                    x += int64_t(thickness) + (i + 1 < list.count ? gap[0] : 0);
                    first = i + 1;
                    height = 0;
                    thickness = 0;
                }
            }
            content[1] = tallest;
            content[0] = x;
            overflow[0] = overflow[0] || (max[0] != 0 && max[0] < x);
        } else if (colWidth >= 0) {
            int k = 0;
            for (int col = 0; col < int(self->lines_.size()); ++col) {
                const int64_t x = origin[0] + (int64_t(colWidth) + gap[0]) * col;
                for (int j = 0; j < self->lines_[col].count; ++j, ++k) {
                    oxLayoutItem& it = list.items[k];
                    it.placeX = Sat(x + it.marginLeft);
                    it.box->SetBoxPosition({it.placeX, it.placeY});
                }
            }
        }
        // Columns shorter than the tallest are aligned down when `vAlign` asks for it.
        if (align[1] == kKeywordCenter || align[1] == kKeywordEnd) {
            int64_t tallest = 0;
            for (const Line& l : self->lines_)
                tallest = std::max<int64_t>(tallest, l.length);
            int k = 0;
            for (const Line& l : self->lines_) {
                int64_t shift = tallest - l.length;
                if (align[1] == kKeywordCenter) shift /= 2;
                for (int j = 0; j < l.count; ++j, ++k) {
                    oxLayoutItem& it = list.items[k];
                    it.placeY = Sat(int64_t(it.placeY) + shift);
                    it.box->SetBoxPosition({it.placeX, it.placeY});
                }
            }
        }
    }
};

oxLayout* oxFlowLayout::CreateInstance() const {
    return new (std::nothrow) oxFlowLayout;
}

void oxFlowLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement) return;
    box_ = box;
    Pass pass{};
    pass.self = this;
    pass.placement = placement;
    const oxPoint size = box->GetPacked(3), origin = box->GetPacked(2);
    pass.avail[0] = pass.start[0] = size.x;
    pass.avail[1] = pass.start[1] = size.y;
    pass.origin[0] = origin.x;
    pass.origin[1] = origin.y;
    pass.max[0] = placement->maxWidth;
    pass.max[1] = placement->maxHeight;
    BuildLayoutItems(box, &pass.list, false);
    if (pass.list.count == 0 && !lines_.empty()) box->RequestRepaint();
    contentWidth_ = 0;
    lines_.clear();
    pass.gap[0] = pass.list.hSpace;
    pass.gap[1] = pass.list.vSpace;
    pass.align[0] = pass.list.hAlign;
    pass.align[1] = pass.list.vAlign;
    maxColumns_ = IntAttribute(box, kAtomMaxColumns);
    rows_ = box->GetOrientation() == kKeywordHorizontal;
    if (rows_) {
        pass.Run(-1);
    } else {
        pass.M = &kY;
        pass.C = &kX;
        pass.alignAlong = maxColumns_ == 0;
        if (maxColumns_ >= 1)
            pass.Balanced(maxColumns_, BoolAttribute(box, kAtomColFlex));
        else
            pass.Run(-1);
    }
    CommitLayoutItems(&pass.list);
    pass.list.Free();
    overflowX_ = pass.overflow[0];
    overflowY_ = pass.overflow[1];
    contentWidth_ = Sat(pass.content[0]);
    contentHeight_ = Sat(pass.content[1]);
    const bool grew = pass.avail[0] > pass.start[0] || pass.avail[1] > pass.start[1];
    placement->SetExtra(grew, overflowX_ || overflowY_, pass.avail[0], pass.avail[1], overflowX_ ? contentWidth_ : 0,
                        overflowY_ ? contentHeight_ : 0);
}

int32_t oxFlowLayout::ScrollInto(int32_t top, int32_t size, int32_t view, int32_t scroll) const {
    int64_t now = scroll;
    const int64_t bottom = int64_t(top) + size;
    if (bottom > now + view) now = bottom - view;
    if (top < now) now = top;
    return Sat(now);
}

template <class Visit> void oxFlowLayout::ForVisibleChildren(oxBox* box, bool scrolled, Visit visit) {
    const int n = box->GetChildCount();
    if (!scrolled) {
        for (int i = 0; i < n; ++i)
            if (!visit(box->GetChildAt(i, false))) return;
        return;
    }
    // Lines run across the scrolling axis: rows (and balanced columns) stack down, columns right.
    const bool down = rows_ || maxColumns_ >= 1;
    const oxPoint view = box->GetPacked(3);
    const int64_t end = down ? int64_t(GetScrollY()) + view.y : int64_t(GetScrollX()) + view.x;
    size_t line = 0;
    int32_t left = lines_.empty() ? INT32_MAX : lines_[0].count;
    bool lineStart = true;
    for (int i = 0; i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!child->TestChangeFlags(kChangeFlowed) || child->IsCollapsed() ||
            (child->GetStateFlags() & kStateExcluded) || child->GetBoxType() == kAtomPopup) {
            if (!visit(child)) return;
            continue;
        }
        if (lineStart) {
            const oxPoint pos = child->GetPacked(0);
            if ((down ? pos.y : pos.x) > end) return;
            lineStart = false;
        }
        if (!visit(child)) return;
        if (--left == 0 && ++line < lines_.size()) {
            left = lines_[line].count;
            lineStart = true;
        }
    }
}

void oxFlowLayout::PaintChildren(oxCanvas* canvas, oxBox* box) {
    if (!box) return;
    const bool scrolled = ScrollsX(box) || ScrollsY(box);
    if (scrolled && (box->GetStateFlags() & kStateGrew)) return;
    oxBoxPaintServices& paint = oxGetBoxPaintServices();
    const int32_t ox = scrolled ? GetScrollX() : 0, oy = scrolled ? GetScrollY() : 0;
    if (scrolled) paint.OffsetOrigin(canvas, -ox, -oy);
    ForVisibleChildren(box, scrolled, [&](oxBox* child) {
        if (Paintable(child)) oxBox::PaintChild(canvas, child);
        return true;
    });
    if (scrolled) paint.OffsetOrigin(canvas, ox, oy);
}

oxBox* oxFlowLayout::HitTest(const oxPoint& point, oxBox* box) {
    if (!box) return nullptr;
    const bool scrolled = ScrollsX(box) || ScrollsY(box);
    if (!scrolled) return HitTestChildrenLastFirst(point, box);
    if (box->GetStateFlags() & kStateGrew) return nullptr;
    const oxPoint p{Sat(int64_t(point.x) + GetScrollX()), Sat(int64_t(point.y) + GetScrollY())};
    oxBox* hit = nullptr;
    ForVisibleChildren(box, true, [&](oxBox* child) {
        if (Paintable(child)) hit = child->HitTest(p);
        return hit == nullptr;
    });
    return hit ? hit : box;
}

void oxFlowLayout::CollectSnapshotItems(oxSnapshotItemList* items) {
    oxBox* box = box_;
    if (!box || !items) return;
    const oxRect vbar = box->GetVScrollBarRect(), hbar = box->GetHScrollBarRect();
    if (vbar.width || vbar.height) items->push_back({vbar, 1, box->FindVScrollBar()});
    if (hbar.width || hbar.height) items->push_back({hbar, 1, box->FindHScrollBar()});
    const oxPoint origin = box->GetFramePosition();
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (!Paintable(child)) continue;
        const oxPoint at = child->GetFramePosition(), size = child->GetPacked(1);
        items->push_back({oxRect{at.x - origin.x, at.y - origin.y, size.x, size.y}, 0, child});
    }
}
