// The grid pass: measuring (columns, row records, default sizes), the header row, column sizing and
// collapsing, and the row walk that places the cells of each row in the columns. Rows keep records
// between passes, so a pass over fixed-height rows touches only the rows of the visible page (and,
// for a scrolling grid, the last page, to know how far it may scroll).
#include "toolkit/core/grid_layout.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/grid_row_listener.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_tables.h"

namespace {

int32_t IntAttribute(oxBox* box, oxAtom atom) {
    const WCHAR* text = box ? box->GetAttributeText(atom) : nullptr;
    return text ? _wtoi(text) : 0;
}

bool BoolAttribute(oxBox* box, oxAtom atom) {
    const WCHAR* text = box ? box->GetAttributeText(atom) : nullptr;
    return text && (_wcsicmp(text, u"true") == 0 || _wcsicmp(text, u"1") == 0);
}

oxAtom AlternateRowStylesAtom() {
    static const oxAtom atom = oxAtoms::Intern(u"alternateRowStyles");
    return atom;
}

int32_t Quotient(int32_t a, int32_t b) {
    // A "rows" box with a height but no rows gives no fixed row height.
    if (b <= 0) return 0;
    return oxLengthSum(int64_t(double(a) / double(b) + 0.5));
}

// The style width and height of a box (0 for "aspect" or none).
oxPoint PreferredSize(oxBox* box) {
    oxBoxStyle* style = box->ResolveStyle();
    oxStyleGroup* metrics = style ? style->GetMetricsGroup() : nullptr;
    auto read = [&](int id) {
        const oxStyleValue* v = metrics ? metrics->Member(id) : nullptr;
        return v && v->GetType() != kStyleKeyword ? oxClampLength(v->GetInt()) : 0;
    };
    return {read(kStyle_width), read(kStyle_height)};
}

void SetDecimal(oxBox* box, oxAtom atom, int32_t value) {
    if (!box) return;
    WCHAR text[16];
    swprintf(text, 16, u"%d", value);
    box->SetAttribute(atom, text, true, false);
}

} // namespace

oxBox* oxFindChildByTag(oxBox* box, oxAtom tag) {
    if (!box) return nullptr;
    for (int i = 0, n = box->GetChildCount(); i < n; ++i) {
        oxBox* child = box->GetChildAt(i, false);
        if (child->GetTag() == tag) return child;
    }
    return nullptr;
}

oxBox* oxFindColumnsBox(oxBox* grid) {
    if (!grid) return nullptr;
    oxBox* found = grid->GetBoxByTag(kAtomColumns);
    if (found != grid) return found;
    // A grid tagged "columns" does not define its own columns: look on below it.
    oxBox* below = grid->GetNextBox(grid, false, false);
    return below ? grid->FindBoxByType(kAtomColumns, below) : nullptr;
}

void oxGridFillRowAlignment(oxBox* box, oxLayoutItemList* list) {
    oxBoxStyle* style = box ? box->ResolveStyle() : nullptr;
    oxStyleGroup* layout = style ? style->GetLayoutGroup() : nullptr;
    auto keyword = [&](int id) {
        const oxStyleValue* v = layout->Member(id);
        return v && v->GetType() == kStyleKeyword ? v->GetValue() : -1;
    };
    list->hAlign = layout ? keyword(kStyle_hAlign) : kKeywordStretch;
    list->vAlign = layout ? keyword(kStyle_vAlign) : kKeywordStretch;
}

oxGridLayout::oxGridLayout() : oxGridLayout(true) {}

oxGridLayout::oxGridLayout(bool listenerEnabled)
    : listener_(new (std::nothrow) oxGridRowListener(this, listenerEnabled)) {}

oxGridLayout::~oxGridLayout() {
    DestroyRecords();
    if (listener_) {
        listener_->Detach();
        listener_->Release();
    }
}

oxLayout* oxGridLayout::CreateInstance() const {
    return new (std::nothrow) oxGridLayout;
}

int32_t oxGridLayout::GetScrollX() const {
    return defaultColumnWidth_ ? firstVisibleColumn_ : pixelScrollX_;
}

void oxGridLayout::SetScrollX(int32_t x) {
    (defaultColumnWidth_ ? requestedFirstColumn_ : pixelScrollX_) = x;
}

int32_t oxGridLayout::GetColumnWidth(int32_t column) const {
    return column >= 0 && column < int32_t(columns_.size()) ? columns_[size_t(column)].width : 0;
}

bool oxGridLayout::IsColumnCollapsed(int32_t column) const {
    return column >= 0 && column < int32_t(columns_.size()) && columns_[size_t(column)].collapsed;
}

void oxGridLayout::DestroyRecords() {
    for (oxGridRowRecord* rec : records_)
        delete rec;
    records_.clear();
}

oxBox* oxGridLayout::GetRecordRowBox(int32_t row) {
    oxGridRowRecord* rec = oxGridLayout::GetRowRecord(row);
    return rec ? rec->row : nullptr;
}

oxBox* oxGridLayout::GetRowBox(int32_t row) {
    if (!sortList_.empty() && row >= 0 && row < int32_t(sortList_.size())) return sortList_[size_t(row)].row;
    return GetRecordRowBox(row);
}

oxGridRowRecord* oxGridLayout::GetRowRecord(int32_t row) {
    return row >= 0 && row < int32_t(records_.size()) ? records_[size_t(row)] : nullptr;
}

oxGridRowRecord* oxGridLayout::FindRowRecord(oxBox* rowBox, int32_t* index) {
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i] && records_[i]->row == rowBox) {
            if (index) *index = int32_t(i);
            return records_[i];
        }
    }
    if (index) *index = -1;
    return nullptr;
}

int32_t oxGridLayout::CountShownRows(oxBox* rows, bool nested) {
    int32_t n = 0;
    if (nested) rows->SetChangeFlag(kChangeLayoutRoot, false);
    for (int i = 0, count = rows->GetChildCount(); i < count; ++i) {
        oxBox* row = rows->GetChildAt(i, false);
        row->SetChangeFlag(kChangeLayoutRoot, false);
        oxBox* inner = oxFindChildByTag(row, kAtomRows);
        if (inner) {
            oxBox* first = row->GetFirstChild(false);
            bool expanded = first && first != inner && (first->GetStateFlags() & kStateExpanded);
            if (inner->IsCollapsed() == expanded) inner->SetCollapsed(!expanded, true);
        }
        if (row->IsCollapsed()) continue;
        ++n;
        if (inner && !inner->IsCollapsed()) n += CountShownRows(inner, true);
    }
    return n;
}

int32_t oxGridLayout::CountRows() {
    if (!owner_) return 0;
    if (!owner_->TestChangeFlags(kChangeLayoutStale)) return rowCount_;
    oxBox* rows = oxFindChildByTag(owner_, kAtomRows);
    return rows ? CountShownRows(rows, false) : 0;
}

void oxGridLayout::FillNewRecord(oxGridRowRecord* rec, const oxLayoutItem& item) {
    rec->baseHeight = oxLengthSum(int64_t(fixedRowHeight_ ? fixedRowHeight_ : (item.flex ? 0 : item.prefHeight)) +
                                  item.paddingHeight);
    rec->SetHeight(rec->baseHeight);
    rec->topGap = int16_t(std::clamp(item.marginTop, -32768, 32767));
    rec->bottomGap = int16_t(std::clamp(item.marginBottom, -32768, 32767));
}

void oxGridLayout::BuildRowRecords(oxBox* rows, int32_t* count, int32_t level) {
    oxGridRowRecord* last = nullptr;
    for (int i = 0, n = rows->GetChildCount(); i < n && *count < int32_t(records_.size()); ++i) {
        oxBox* row = rows->GetChildAt(i, false);
        if (row->IsCollapsed()) continue;
        oxGridRowRecord*& slot = records_[size_t(*count)];
        bool made = false;
        if (!slot) {
            slot = new (std::nothrow) oxGridRowRecord;
            if (!slot) continue;
            slot->level = int16_t(level);
            slot->row = row;
            slot->rows = rows;
            made = true;
        }
        oxGridRowRecord* rec = slot;
        oxLayoutItemList list;
        oxGridFillRowAlignment(row, &list);
        if (FillLayoutItem(row, &rec->item, &list, false)) {
            ++*count;
            if (made) {
                FillNewRecord(rec, rec->item);
                totalRowFlex_ = oxLengthSum(int64_t(totalRowFlex_) + list.totalFlex);
            }
        } else if (made) {
            delete rec;
            slot = nullptr;
            continue;
        }
        oxBox* inner = oxFindChildByTag(row, kAtomRows);
        if (inner) {
            inner->SetStateFlag(kStateExcluded, true);
            if (!inner->IsCollapsed()) BuildRowRecords(inner, count, level + 1);
        }
        if (made && !inner) last = rec;
    }
    if (autoMargin_ && last)
        last->bottomGap =
            int16_t(std::clamp(int64_t(autoMargin_) + last->item.marginBottom, int64_t(-32768), int64_t(32767)));
}

void oxGridLayout::RefillRowItem(oxBox* rows, int32_t index) {
    (void)rows;
    oxGridRowRecord* rec = GetRowRecord(index);
    if (!rec || !rec->row) return;
    oxLayoutItemList list;
    oxGridFillRowAlignment(rec->row, &list);
    FillLayoutItem(rec->row, &rec->item, &list, false);
}

int32_t oxGridLayout::ClampFirstRow(int32_t requested) const {
    if (rowCount_ <= 0 || requested < 0) return 0;
    return std::min(requested, rowCount_ - 1);
}

void oxGridLayout::MeasureRows() {
    if (!owner_) return;
    recordsRebuilt_ = false;
    const bool stale = owner_->TestChangeFlags(kChangeLayoutStale);
    if (stale) {
        owner_->RequestLayout();
        DestroyRecords();
    }
    columnItems_.Free();
    queue_.clear();
    // Differs on purpose: the "rows" box, which every box of that tag starts excluded from layout,
    // still takes part in measuring (else a grid could never count its rows nor size them).
    oxBox* parts[2] = {};
    int nparts = 0;
    for (int i = 0, n = owner_->GetChildCount(); i < n && nparts < 2; ++i) {
        oxBox* child = owner_->GetChildAt(i, false);
        if ((child->GetTag() == kAtomColumns || child->GetTag() == kAtomRows) && !child->IsCollapsed())
            parts[nparts++] = child;
    }
    if (nparts > 0) {
        if (oxBox* columns = oxFindColumnsBox(owner_)) {
            wholeRow_ = false;
            header_ = BoolAttribute(columns, kAtomHeader) ? columns : nullptr;
            BuildLayoutItems(columns, &columnItems_, true);
            columns_.assign(size_t(columnItems_.count), Column{});
            totalColumnFlex_ = 0;
            collapsing_ = BoolAttribute(columns, kAtomCollapsable);
            for (int c = 0; c < columnItems_.count; ++c) {
                const oxLayoutItem& it = columnItems_.items[c];
                Column& col = columns_[size_t(c)];
                col.flex = it.flex;
                col.fixed = defaultColumnWidth_ != 0 || it.prefWidth != 0;
                col.collapsed = it.box->IsCollapsed();
                col.width =
                    oxLengthSum(int64_t(defaultColumnWidth_ ? defaultColumnWidth_ : (it.flex ? 0 : it.prefWidth)) +
                                it.paddingWidth);
                totalColumnFlex_ += it.flex;
                if (col.collapsed) collapsing_ = true;
            }
            if (BoolAttribute(columns, kAtomCollapsable)) {
                // Lightest first; of equal weights the column queued last goes first.
                for (int c = std::max(0, firstVisibleColumn_); c < columnItems_.count; ++c) {
                    QueueEntry e{c, IntAttribute(columnItems_.items[c].box, kAtomCollapseWeight)};
                    auto at = std::find_if(queue_.begin(), queue_.end(),
                                           [&](const QueueEntry& q) { return q.weight >= e.weight; });
                    queue_.insert(at, e);
                }
            }
            if (clearsLayoutRoots_) columns->SetChangeFlag(kChangeLayoutRoot, false);
        } else {
            header_ = nullptr;
            columns_.clear();
        }
        if (oxBox* rows = oxFindChildByTag(owner_, kAtomRows)) {
            rowCount_ = CountRows();
            if (rowCount_ > 0 && stale) {
                recordsRebuilt_ = true;
                totalRowFlex_ = 0;
                records_.assign(size_t(rowCount_), nullptr);
                int32_t count = 0;
                BuildRowRecords(rows, &count, 0);
            }
            if (clearsLayoutRoots_) rows->SetChangeFlag(kChangeLayoutRoot, false);
        } else {
            rowCount_ = 0;
        }
        // Default sizes: a height on the "rows" box shares out among the rows, a width on the
        // "columns" box among the columns.
        const int32_t ncols = columnItems_.count;
        const oxPoint first = PreferredSize(parts[0]), second = nparts > 1 ? PreferredSize(parts[1]) : oxPoint{};
        if (parts[0]->GetTag() == kAtomRows) {
            fixedRowHeight_ = Quotient(first.y, rowCount_);
            if (nparts > 1) defaultColumnWidth_ = Quotient(second.x, ncols);
        } else {
            defaultColumnWidth_ = Quotient(first.x, ncols);
            if (nparts > 1) fixedRowHeight_ = Quotient(second.y, rowCount_);
        }
        fixedHeight_ = fixedRowHeight_ != 0;
    }
    wasStale_ = stale;
    owner_->SetChangeFlag(kChangeLayoutStale, false);
    if (stale && !sortList_.empty()) SortRows(sortDirection_);
    firstVisibleRow_ = ClampFirstRow(requestedFirstRow_);
    const int32_t ncols = columnItems_.count;
    firstVisibleColumn_ = (ncols <= 0 || requestedFirstColumn_ < 0) ? 0 : std::min(requestedFirstColumn_, ncols - 1);
}

void oxGridLayout::ShowCollapsedHeaderCells() {
    for (int32_t c : collapsedHeaderCells_) {
        if (c < columnItems_.count && columnItems_.items[c].box->IsCollapsed())
            columnItems_.items[c].box->SetCollapsed(false, true);
    }
    collapsedHeaderCells_.clear();
}

void oxGridLayout::MeasureHeader() {
    if (!header_) {
        headerHeight_ = 0;
        return;
    }
    oxRect pad = header_->GetPadding();
    const int32_t padW = oxLengthSum(int64_t(pad.x) + pad.width), padH = oxLengthSum(int64_t(pad.y) + pad.height);
    oxPlacementRecord rec;
    // Differs on purpose: the header's content width leaves out its padding, so that a padded header
    // row is no wider than the grid.
    rec.Construct(false, area_.width, area_.height, area_.width, padH, pad.x, pad.y, std::max(0, area_.width - padW), 0,
                  0, 0, false, false, 0);
    header_->SetBoxPosition({area_.x, area_.y});
    if (oxLayout* own = header_->GetLayoutIfMade()) own->ClearValidity();
    header_->Arrange(&rec);
    headerHeight_ = header_->GetPacked(1).y;
    for (int c = std::max(0, firstVisibleColumn_); c < columnItems_.count; ++c) {
        oxBox* cell = columnItems_.items[c].box;
        if (cell->IsCollapsed()) continue;
        cell->SetChangeFlag(kChangeLayoutRoot, false);
        const int32_t w = cell->GetPacked(1).x;
        if (w != columns_[size_t(c)].width) owner_->RequestRepaint();
        columns_[size_t(c)].width = w;
        columnItems_.items[c].prefWidth = w;
    }
}

int32_t oxGridLayout::SumTableWidth() const {
    int64_t sum = 0;
    for (size_t c = size_t(std::max(0, firstVisibleColumn_)); c < columns_.size(); ++c)
        if (!columns_[c].collapsed) sum += columns_[c].width;
    return oxLengthSum(sum);
}

bool oxGridLayout::CollapseFromQueue(int32_t* tableWidth) {
    bool any = false;
    while (area_.width < *tableWidth && !queue_.empty()) {
        QueueEntry e = queue_.front();
        queue_.erase(queue_.begin());
        if (e.column >= columnItems_.count || columns_[size_t(e.column)].collapsed) continue;
        oxBox* cell = columnItems_.items[e.column].box;
        cell->SetCollapsed(true, true);
        columns_[size_t(e.column)].collapsed = true;
        collapsedHeaderCells_.push_back(e.column);
        *tableWidth = oxLengthSum(int64_t(*tableWidth) - columns_[size_t(e.column)].width);
        any = true;
    }
    return any;
}

void oxGridLayout::ShareFlexibleColumns() {
    for (int round = 0; round < 2; ++round) {
        std::vector<int32_t> flex(columns_.size());
        int64_t total = 0;
        for (size_t c = 0; c < columns_.size(); ++c) {
            flex[c] = columns_[c].collapsed ? 0 : columns_[c].flex;
            total += flex[c];
        }
        int32_t table = SumTableWidth();
        const int32_t free = std::max(0, area_.width - table);
        std::vector<int32_t> base(columns_.size());
        for (size_t c = 0; c < columns_.size(); ++c)
            base[c] = columns_[c].width;
        // A column clamped by its minimum or maximum leaves the flexible set and the rest share again.
        for (bool again = total > 0 && free > 0; again;) {
            again = false;
            for (size_t c = 0; c < columns_.size() && total > 0; ++c) {
                if (!flex[c]) continue;
                oxLayoutItem& def = columnItems_.items[c];
                def.width = oxLengthSum(int64_t(base[c] + double(flex[c]) / double(total) * double(free)));
                bool clamped = def.ClampWidth();
                columns_[c].width = def.width;
                if (clamped) {
                    total -= flex[c];
                    flex[c] = 0;
                    again = true;
                }
            }
            if (again)
                for (size_t c = 0; c < columns_.size(); ++c)
                    if (flex[c]) columns_[c].width = base[c];
        }
        table = SumTableWidth();
        contentWidth_ = table;
        if (round == 1 || !CollapseFromQueue(&table)) break;
        // Columns collapsed: the remaining ones share the room again from their own widths.
        for (size_t c = 0; c < columns_.size(); ++c)
            if (columns_[c].flex && !columns_[c].collapsed && !header_)
                columns_[c].width = columnItems_.items[c].paddingWidth;
    }
}

void oxGridLayout::PositionRow(oxGridRowRecord* rec, int32_t top) {
    oxBox* row = rec->row;
    rec->x = 0;
    rec->y = top;
    int64_t ax = 0, ay = 0;
    for (oxBox* b = row->GetParent(); b && b != owner_; b = b->GetParent()) {
        if (b->GetStateFlags() & kStateExcluded) continue;
        oxPoint p = b->GetPacked(0);
        ax += p.x;
        ay += p.y;
    }
    rec->ancestorX = oxLengthSum(ax);
    rec->ancestorY = oxLengthSum(ay);
    const oxPoint at{rec->level == 0 ? area_.x : 0, oxLengthSum(int64_t(top) - ay + area_.y)};
    if (row->GetPacked(0) != at) {
        row->SetBoxPosition(at);
        row->InvalidateSubtree(true, true);
    }
    if (!wholeRow_) {
        row->SetBoxSize({contentWidth_, rec->GetHeight()});
        row->SetContentSize({contentWidth_, rec->GetHeight()});
    }
}

void oxGridLayout::Listen(oxGridRowRecord* rec, oxBox* cell) {
    // Only a row that holds nested rows has anything for its first cell to open or close; a row that
    // gains some makes the grid build its records afresh.
    if (rec->listening || !listener_ || !oxFindChildByTag(rec->row, kAtomRows)) return;
    cell->AddChangeListener(listener_);
    rec->listening = true;
}

void oxGridLayout::PlaceCells(oxGridRowRecord* rec, int32_t rowIndex, int mode, int32_t rowHeight) {
    (void)rowIndex;
    oxBox* row = rec->row;
    oxLayoutItemList cells;
    BuildLayoutItems(row, &cells, false);
    const int32_t ncols = int32_t(columns_.size());
    const int32_t indent = oxLengthSum(int64_t(treeIndent_) * rec->level);
    int64_t x = 0;
    int32_t tallest = 0;
    int32_t col = 0;
    for (int k = 0; k < cells.count; ++k) {
        oxLayoutItem& it = cells.items[k];
        const int32_t span = std::max(1, it.colspan);
        const int32_t from = col;
        col = oxLengthSum(int64_t(col) + span);
        if (from < firstVisibleColumn_) {
            // Scrolled out to the left.
            it.box->SetCollapsed(true, true);
            continue;
        }
        if (from >= ncols) {
            // A cell past the last column has no room.
            it.box->SetCollapsed(true, true);
            continue;
        }
        int64_t spanned = 0;
        bool shown = false;
        for (int32_t c = from; c < ncols && c < col; ++c) {
            if (columns_[size_t(c)].collapsed) continue;
            spanned += columns_[size_t(c)].width;
            shown = true;
        }
        if (!shown) {
            it.box->SetCollapsed(true, true);
            continue;
        }
        const bool firstCell = from == firstVisibleColumn_;
        int32_t cellX = oxLengthSum(x);
        int32_t room = oxLengthSum(spanned);
        if (firstCell) {
            // Differs on purpose: the indented first cell narrows by the indent instead of also
            // growing its left padding, so that it stays within its column.
            cellX = oxLengthSum(int64_t(cellX) + indent);
            room = std::max(0, room - indent);
            Listen(rec, it.box);
        }
        const int32_t w = it.flex ? std::max(0, room - it.paddingWidth) : it.prefWidth;
        const int32_t h = rowHeight > 0 ? std::max(0, rowHeight - it.paddingHeight) : it.prefHeight;
        const bool noMaxW = it.maxWidth == -1, noMaxH = it.maxHeight == -1;
        oxPlacementRecord p;
        p.Construct(false, room, rowHeight > 0 ? rowHeight : area_.height, oxLengthSum(int64_t(w) + it.paddingWidth),
                    oxLengthSum(int64_t(h) + it.paddingHeight), it.paddingLeft, it.paddingTop, w, h,
                    noMaxW ? w : it.maxWidth, noMaxH ? h : it.maxHeight, noMaxW, noMaxH, 0);
        it.box->SetBoxPosition({cellX, 0});
        it.placeX = cellX;
        it.box->Arrange(&p);
        const oxPoint size = it.box->GetPacked(1);
        tallest = std::max(tallest, size.y);
        if (mode == kPlaceAll && !it.flex) {
            const int32_t need = firstCell ? oxLengthSum(int64_t(size.x) + indent) : size.x;
            if (span > 1)
                spans_.push_back(Span{from, span, need});
            else if (!columns_[size_t(from)].fixed)
                columns_[size_t(from)].width = std::max(columns_[size_t(from)].width, need);
        }
        x += spanned;
    }
    CommitLayoutItems(&cells);
    rec->SetHeight(std::max(rec->GetHeight(), tallest));
}

void oxGridLayout::PlaceRows(int32_t first, int32_t end, int32_t* rowsPerPage, int32_t* contentHeight, int mode,
                             int32_t firstTop) {
    int64_t y = firstTop, content = firstTop;
    int32_t count = 0, passed = 0;
    const int step = first <= end ? 1 : -1;
    const oxAtom alternate = kAtomAlternateRow;
    for (int32_t i = first; i != end; i += step) {
        oxBox* row = GetRowBox(i);
        oxGridRowRecord* rec = GetRowRecord(i);
        if (!row || !rec || row->IsCollapsed()) continue;
        PrepareRow(rec, i);
        if (collapsing_ || collapsingBefore_ || columnsScrolled_) {
            for (int c = 0, n = row->GetChildCount(); c < n; ++c) {
                oxBox* cell = row->GetChildAt(c, false);
                if (cell->IsCollapsed() && cell->GetTag() != kAtomRows) cell->SetCollapsed(false, true);
            }
        }
        if (!keepHeights_) rec->SetHeight(rec->baseHeight);
        const int32_t top = oxLengthSum(y + rec->topGap);
        if (wholeRow_) {
            const oxLayoutItem& it = rec->item;
            const int32_t indent = oxLengthSum(int64_t(treeIndent_) * rec->level);
            // Differs on purpose: the row is given the height it asks for (fixed or its own) rather
            // than none, so that a row laid out whole is as tall as it is stacked.
            const int32_t h = std::max(0, rec->GetHeight() - it.paddingHeight);
            oxPlacementRecord p;
            p.Construct(false, area_.width, area_.height, area_.width, rec->GetHeight(),
                        oxLengthSum(int64_t(it.paddingLeft) + indent), it.paddingTop, area_.width, h, 0, 0, false,
                        false, 0);
            row->SetBoxPosition({0, top});
            if (oxLayout* own = row->GetLayoutIfMade()) own->ClearValidity();
            row->Arrange(&p);
            rec->SetHeight(std::max(rec->GetHeight(), row->GetPacked(1).y));
            if (oxBox* cell = row->GetFirstChild(false)) Listen(rec, cell);
        } else {
            const int32_t own =
                fixedRowHeight_ ? fixedRowHeight_ : oxLengthSum(int64_t(rec->GetHeight()) - rec->item.paddingHeight);
            PlaceCells(rec, i, mode, own);
        }
        if (alternateRowStyles_) {
            if (i % 2)
                row->SetAttribute(alternate, u"true", true, false);
            else
                row->RemoveAttribute(alternate);
        }
        const int32_t height = rec->GetHeight();
        if (mode != kMeasureOnly) PositionRow(rec, top);
        content += int64_t(height) + rec->topGap + rec->bottomGap;
        if (mode == kPlaceAll) {
            ++count;
        } else if (maxHeight_ != 0 && maxHeight_ < content) {
            if (mode != kMeasureOnly) overflowY_ = true;
            if (passed++ >= extraRowsPastMax_) break;
        } else {
            ++count;
        }
        y = int64_t(top) + height + rec->bottomGap;
    }
    if (rowsPerPage) *rowsPerPage = count;
    if (contentHeight) *contentHeight = oxLengthSum(content);
}

void oxGridLayout::ComputeLargestFirstRow() {
    int32_t fit = 0, height = 0;
    PlaceRows(rowCount_ - 1, -1, &fit, &height, kMeasureOnly, headerHeight_);
    rowsFitAtEnd_ = fit;
    largestFirstRow_ = std::max(0, rowCount_ - fit);
    firstVisibleRow_ = std::min(ClampFirstRow(requestedFirstRow_), largestFirstRow_);
}

void oxGridLayout::RowPass(oxPlacementRecord* placement) {
    overflowX_ = false;
    maxWidth_ = placement->maxWidth;
    maxHeight_ = placement->maxHeight;
    ++stamp_;
    overflowY_ = false;
    rowsPerPage_ = 0;
    contentHeight_ = 0;
    const int32_t firstBefore = firstVisibleRow_, largestBefore = largestFirstRow_;

    allFixed_ = true;
    for (size_t c = size_t(std::max(0, firstVisibleColumn_)); c < columns_.size(); ++c) {
        Column& col = columns_[c];
        const oxLayoutItem& def = columnItems_.items[c];
        col.fixed = defaultColumnWidth_ != 0 || (def.prefWidth != 0 && !def.flex);
        if (!col.fixed && !col.flex) allFixed_ = false;
        if (col.fixed && !header_)
            col.width =
                oxLengthSum(int64_t(defaultColumnWidth_ ? defaultColumnWidth_ : def.prefWidth) + def.paddingWidth);
        if (col.flex && !header_) col.width = def.paddingWidth;
    }
    if ((allFixed_ || header_) && !wholeRow_) {
        contentWidth_ = SumTableWidth();
        if (!header_) ShareFlexibleColumns();
    }
    if (wholeRow_) contentWidth_ = area_.width;
    if (owner_->IsOverflowScroll() && fixedHeight_) ComputeLargestFirstRow();

    if (allFixed_ || wholeRow_ || header_) {
        PlaceRows(firstVisibleRow_, rowCount_, &rowsPerPage_, &contentHeight_, kStopAtMax, headerHeight_);
    } else {
        for (Column& col : columns_)
            if (!col.fixed && !col.flex) col.width = 0;
        spans_.clear();
        PlaceRows(0, rowCount_, &rowsPerPage_, &contentHeight_, kPlaceAll, headerHeight_);
        // A cell spanning unfixed columns raises each of them to its share of what the fixed ones
        // leave.
        for (const Span& s : spans_) {
            int64_t fixedSum = 0;
            int unfixed = 0;
            for (int32_t c = s.column; c < s.column + s.span && c < int32_t(columns_.size()); ++c) {
                if (columns_[size_t(c)].collapsed) continue;
                if (columns_[size_t(c)].fixed)
                    fixedSum += columns_[size_t(c)].width;
                else
                    ++unfixed;
            }
            if (!unfixed || s.width <= fixedSum) continue;
            const int32_t share = oxLengthSum(int64_t(double(s.width - fixedSum) / unfixed + 0.5));
            for (int32_t c = s.column; c < s.column + s.span && c < int32_t(columns_.size()); ++c) {
                Column& col = columns_[size_t(c)];
                if (!col.collapsed && !col.fixed) col.width = std::max(col.width, share);
            }
        }
        contentWidth_ = SumTableWidth();
        ShareFlexibleColumns();
    }
    // The columns that fit from the first visible one.
    columnsPerPage_ = 0;
    for (int64_t c = std::max(0, firstVisibleColumn_), x = 0; c < int64_t(columns_.size()); ++c) {
        if (columns_[size_t(c)].collapsed) continue;
        x += columns_[size_t(c)].width;
        if (x > area_.width) break;
        ++columnsPerPage_;
    }
    // A table wider than the grid scrolls sideways.
    if (!wholeRow_ && maxWidth_ > 0 && contentWidth_ > maxWidth_) overflowX_ = true;

    if (firstVisibleRow_ != 0) overflowY_ = true;
    freeHeight_ = std::max(0, area_.height - contentHeight_);
    const bool placeAgain = (!allFixed_ && !wholeRow_ && !header_) || (totalRowFlex_ > 0 && freeHeight_ > 0);
    if (placeAgain) {
        if (totalRowFlex_ > 0 && freeHeight_ > 0) {
            for (int32_t i = firstVisibleRow_; i < rowCount_; ++i) {
                oxGridRowRecord* rec = GetRowRecord(i);
                if (!rec || !rec->item.flex) continue;
                rec->SetHeight(oxLengthSum(int64_t(rec->GetHeight()) +
                                           int64_t(double(rec->item.flex) / totalRowFlex_ * freeHeight_)));
            }
        }
        keepHeights_ = true;
        const bool all = !(allFixed_ || wholeRow_ || header_);
        PlaceRows(all ? 0 : firstVisibleRow_, rowCount_, &rowsPerPage_, &contentHeight_, all ? kPlaceAll : kStopAtMax,
                  headerHeight_);
        keepHeights_ = false;
    }
    if (firstVisibleRow_ != firstBefore || largestFirstRow_ != largestBefore)
        SetDecimal(owner_, kAtomScrollRowChanged, firstVisibleRow_);
}

void oxGridLayout::Layout(oxPlacementRecord* placement, oxBox* box) {
    if (!box || !placement) return;
    const bool restore = placement->nesting != 0;
    if (box->FindVScrollBar() && !fixedHeight_) {
        if (restore)
            pixelScrollY_ = savedScrollY_;
        else
            savedScrollY_ = pixelScrollY_;
    }
    if (box->FindHScrollBar()) {
        int32_t& x = defaultColumnWidth_ ? requestedFirstColumn_ : pixelScrollX_;
        if (restore)
            x = savedScrollX_;
        else
            savedScrollX_ = x;
    }
    area_ = oxContentArea::Of(box);
    owner_ = box;
    treeIndent_ = IntAttribute(box, kAtomTreeIndent);
    autoMargin_ = IntAttribute(box, kAtomAutoMargin);
    alternateRowStyles_ = BoolAttribute(box, AlternateRowStylesAtom());

    ShowCollapsedHeaderCells();
    MeasureRows();
    if (wasStale_ || box->TestChangeFlags(kChangeLayoutStale)) {
        box->InvalidateSubtree(true, true);
        wasStale_ = false;
    }
    MeasureHeader();
    if (header_ && collapsing_) {
        int32_t table = SumTableWidth();
        if (CollapseFromQueue(&table)) {
            const std::vector<int32_t> collapsed = collapsedHeaderCells_;
            MeasureRows();
            collapsedHeaderCells_ = collapsed;
            MeasureHeader();
        }
    }
    // Cells of columns scrolled out were collapsed by the last pass and are shown again first.
    const bool scrolledNow = firstVisibleColumn_ > 0;
    columnsScrolled_ = columnsScrolled_ || scrolledNow;
    RowPass(placement);
    collapsingBefore_ = collapsing_;
    columnsScrolled_ = scrolledNow;

    int32_t w = area_.width, h = area_.height;
    const bool grew = contentWidth_ > w || contentHeight_ > h;
    w = std::max(w, contentWidth_);
    h = std::max(h, contentHeight_);
    if (overflowX_ && maxWidth_ > 0) w = maxWidth_;
    if (overflowY_ && maxHeight_ > 0) h = maxHeight_;
    grew_ = grew;
    if (oxBox* bar = box->FindVScrollBar()) SetDecimal(bar, kAtomPageNumRows, rowsPerPage_);
    placement->SetExtra(grew, overflowX_ || overflowY_, w, h, overflowX_ ? contentWidth_ : 0,
                        overflowY_ ? contentHeight_ : 0);
}

void oxGridLayout::PaintChildren(oxCanvas* canvas, oxBox* box) {
    if (!box || !canvas || box->TestChangeFlags(kChangeLayoutQueued)) return;
    // Mended: rows may have gone since the records were made; they are not walked until a pass.
    if (box->TestChangeFlags(kChangeLayoutStale)) return;
    oxBoxPaintServices& paint = oxGetBoxPaintServices();
    int64_t bandTop = overflowY_ ? pixelScrollY_ : 0;
    int64_t bandEnd = bandTop + area_.height;
    if (overflowX_) paint.OffsetOrigin(canvas, -pixelScrollX_, 0);
    for (int32_t i = firstVisibleRow_; i < rowCount_; ++i) {
        oxBox* row = GetRowBox(i);
        oxGridRowRecord* rec = GetRowRecord(i);
        if (!row || !rec) continue;
        const int64_t bottom = int64_t(rec->y) + rec->GetHeight() + rec->bottomGap + area_.y;
        if (bottom < bandTop || row->IsCollapsed()) continue;
        if (rec->level == 0 || row->TestChangeFlags(kChangeLayered)) {
            oxBox::PaintChild(canvas, row);
        } else {
            paint.PushMatrix(canvas);
            paint.OffsetOrigin(canvas, rec->ancestorX, rec->ancestorY);
            oxBox::PaintChild(canvas, row);
            paint.PopMatrix(canvas);
        }
        if (overflowY_ && bottom > bandEnd) break;
    }
    if (header_ && !header_->IsCollapsed()) oxBox::PaintChild(canvas, header_);
    if (overflowX_) paint.OffsetOrigin(canvas, pixelScrollX_, 0);
}

oxBox* oxGridLayout::HitTest(const oxPoint& point, oxBox* box) {
    if (!box) return nullptr;
    if (box->TestChangeFlags(kChangeLayoutStale) && !box->TestChangeFlags(kChangeArranging))
        ArrangeInLastPlacement(box);
    return HitTestRows(point, box);
}

oxBox* oxGridLayout::HitTestRows(const oxPoint& point, oxBox* box) {
    if (box->TestChangeFlags(kChangeLayoutStale)) return box;
    oxPoint p = point;
    if (overflowX_) p.x = oxLengthSum(int64_t(p.x) + pixelScrollX_);
    if (header_ && !header_->IsCollapsed()) {
        const oxPoint at = header_->GetPacked(0);
        const oxPoint local{p.x - at.x, p.y - at.y};
        for (int c = std::max(0, firstVisibleColumn_); c < columnItems_.count; ++c)
            if (oxBox* hit = columnItems_.items[c].box->HitTest(local)) return hit;
    }
    if (overflowY_) p.y = oxLengthSum(int64_t(p.y) + pixelScrollY_);
    const int64_t scroll = overflowY_ ? pixelScrollY_ : 0;
    for (int32_t i = firstVisibleRow_; i < rowCount_; ++i) {
        oxBox* row = GetRowBox(i);
        oxGridRowRecord* rec = GetRowRecord(i);
        if (!row || !rec) continue;
        const int64_t bottom = int64_t(rec->y) + rec->GetHeight() + rec->topGap + rec->bottomGap;
        if (bottom < scroll) continue;
        if (oxBox* hit = row->HitTest({p.x - rec->ancestorX, p.y - rec->ancestorY})) return hit;
        if (overflowY_ && bottom >= scroll + area_.height) break;
    }
    return box;
}

void oxGridLayout::UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) {
    if (!owner_) return;
    if (vertical) {
        if (fixedHeight_)
            UpdateScrollbarBox(placement, owner_, scrollbar, largestFirstRow_, rowsFitAtEnd_, firstVisibleRow_, 1);
        else
            UpdateScrollbarBox(placement, owner_, scrollbar, contentHeight_ - area_.height, area_.height, pixelScrollY_,
                               1);
    } else if (defaultColumnWidth_) {
        UpdateScrollbarBox(placement, owner_, scrollbar, columnItems_.count, columnsPerPage_, requestedFirstColumn_, 0);
    } else {
        UpdateScrollbarBox(placement, owner_, scrollbar, contentWidth_ - area_.width, area_.width, pixelScrollX_, 0);
    }
}

int32_t oxGridLayout::FindSelectableIndex(oxBox* box, oxBox* row) {
    if (!owner_) return oxLayout::FindSelectableIndex(box, row);
    for (int32_t i = 0; i < rowCount_; ++i)
        if (GetRowBox(i) == row) return i;
    return -1;
}

oxBox* oxGridLayout::FindSelectableAt(oxBox* box, int32_t index) {
    if (!owner_) return oxLayout::FindSelectableAt(box, index);
    return index >= 0 && index < rowCount_ ? GetRowBox(index) : nullptr;
}

int32_t oxGridLayout::CountSelectable(oxBox* box) {
    if (!owner_) return oxLayout::CountSelectable(box);
    return CountRows();
}
