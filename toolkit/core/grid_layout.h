#pragma once
// oxGridLayout: arranges a table. The box's "columns" child defines the columns (and, with `header`
// true, is a header row whose cells give the column widths); the "rows" child's children are the
// rows, and each row's children are its cells, placed in the columns with `colspan` joining
// neighbours. A row may hold a nested "rows" box of its own, indented by `treeIndent` and opened or
// closed by the `expanded` state of its first cell. Narrow tables collapse columns by weight, and
// rows of a fixed height scroll by whole rows. The layout keeps one record per row between passes;
// they are rebuilt when the box's layout is out of date.
#include <vector>

#include "runtime/bstr_string.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/row_source.h"

class oxGridRowListener;

// One row, owned by the layout. The position is the row's top inside the table; the ancestor
// offset the summed positions of the boxes between the row and the grid box.
struct oxGridRowRecord {
    oxGridRowRecord() = default;
    oxGridRowRecord(const oxGridRowRecord&) = delete;
    oxGridRowRecord& operator=(const oxGridRowRecord&) = delete;
    virtual ~oxGridRowRecord() = default;
    // The row's height with its padding.
    virtual int32_t GetHeight() const { return height; }
    virtual void SetHeight(int32_t h) { height = h; }

    int16_t level = 0;
    int32_t height = 0;
    int16_t topGap = 0;
    int16_t bottomGap = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t ancestorX = 0;
    int32_t ancestorY = 0;
    oxBox* row = nullptr;
    oxBox* rows = nullptr; // the enclosing "rows" box
    oxLayoutItem item;
    int32_t baseHeight = 0; // the height the row asks for, before cells and flex
    bool listening = false; // the grid's listener is on the row's first cell
};

// It tells the repeater that fills its rows which rows are in view (oxRowViewport), so that a
// repeater that recycles can reuse the boxes of rows that scrolled out.
class oxGridLayout : public oxLayout, public oxRowViewport {
public:
    oxGridLayout();
    // `enable`: see oxGridRowListener.
    explicit oxGridLayout(bool listenerEnabled);
    ~oxGridLayout() override;

    oxAtom GetLayoutType() const override { return kAtomGrid; }
    oxLayout* CreateInstance() const override;
    int32_t GetScrollX() const override;
    void SetScrollX(int32_t x) override;
    int32_t GetScrollY() const override { return fixedHeight_ ? 0 : pixelScrollY_; }
    // Scrolls so that `row` is the first visible row.
    void SetScrollY(int32_t row) override;
    void ScrollToRow(oxBox* box, int32_t row) override {
        (void)box;
        SetScrollY(row);
    }
    int32_t GetContentWidth() const override { return overflowX_ ? contentWidth_ : 0; }
    int32_t GetContentHeight() const override { return overflowY_ ? contentHeight_ : 0; }
    void Layout(oxPlacementRecord* placement, oxBox* box) override;
    void PaintChildren(oxCanvas* canvas, oxBox* box) override;
    oxBox* HitTest(const oxPoint& point, oxBox* box) override;
    void UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) override;
    bool RefreshesMovedChildren() const override { return true; }
    int32_t FindSelectableIndex(oxBox* box, oxBox* row) override;
    oxBox* FindSelectableAt(oxBox* box, int32_t index) override;
    int32_t CountSelectable(oxBox* box) override;
    void RemoveRow(oxBox* box, oxBox* row) override;
    void RemoveSelectedRows(oxBox* box) override;
    void RemoveAllRows(oxBox* box) override;

    // Row services.
    bool HasFixedRowHeight() const { return fixedHeight_; }
    // Hands min(row, largest first row) to the vertical scroll bar.
    void SetScrollbarRow(int32_t row);
    void EnsureRowVisible(int32_t row);
    bool IsRowVisible(int32_t row) const { return firstVisibleRow_ <= row && row <= firstVisibleRow_ + rowsPerPage_; }
    int GetFirstVisibleRow() override { return firstVisibleRow_; }
    int GetLastVisibleRow() override { return firstVisibleRow_ + rowsPerPage_; }
    int32_t GetRowsPerPage() const { return rowsPerPage_; }
    int32_t GetRowCount() const { return rowCount_; }
    int32_t GetLargestFirstRow() const { return largestFirstRow_; }
    void ToggleRowControl(oxBox* row);
    void ExpandRow(oxBox* row, bool animate, bool keepSelection);
    void CollapseRow(oxBox* row, bool animate, bool keepSelection);
    oxBox* GetFirstRow();
    // The next row in tree order: into a row's open nested rows unless `skipNested`, else onwards.
    oxBox* GetNextRow(oxBox* row, bool skipNested);
    int32_t GetRowLevel(int32_t row);
    bool HasNestedRows(oxBox* row) const;
    // Of the rows box that holds the row: the rows shown, those before it, and its own nested rows.
    void GetRowSiblingInfo(int32_t row, int32_t* before, int32_t* siblings, int32_t* nested);
    bool IsRowExpanded(oxBox* row) const;
    void CollectSnapshotItems(oxSnapshotItemList* items) override;
    int GetRowScrollDirection() override { return rowScrollDirection_; }
    int32_t GetSortColumn() const { return sortColumn_; }
    void SetSortColumn(int32_t column);
    // Orders the rows by the text of their cell in the sort column: 1 ascending, 0 descending.
    void SortRows(int32_t direction);

    virtual oxBox* GetRecordRowBox(int32_t row);
    virtual oxBox* GetRowBox(int32_t row);
    virtual oxGridRowRecord* GetRowRecord(int32_t row);
    oxGridRowRecord* FindRowRecord(oxBox* rowBox, int32_t* index);
    virtual void MeasureRows();
    virtual int32_t CountRows();
    int32_t GetFirstVisibleColumn() const { return firstVisibleColumn_; }
    int32_t GetColumnCount() const { return columnItems_.count; }
    int32_t GetColumnWidth(int32_t column) const;
    bool IsColumnCollapsed(int32_t column) const;
    int32_t GetHeaderHeight() const { return headerHeight_; }
    // The box the layout last laid out.
    oxBox* GetOwner() const { return owner_; }

protected:
    // How many rows out of view on each side get items that slide in, rows `mean` high apart.
    virtual int32_t OffViewRowLimit(int64_t mean) const {
        (void)mean;
        return rowCount_;
    }
    struct Column {
        int32_t width = 0;
        bool fixed = false;
        int32_t flex = 0;
        bool collapsed = false;
    };
    struct QueueEntry {
        int32_t column;
        int32_t weight;
    };
    struct SortEntry {
        NUBO::TBstr key;
        oxBox* row;
    };
    enum Mode { kPlaceAll = 1, kStopAtMax = 2, kMeasureOnly = 4 };

    // Places rows from `first` towards `end` (backwards when first > end); the rows placed and the
    // content height come back.
    virtual void PlaceRows(int32_t first, int32_t end, int32_t* rowsPerPage, int32_t* contentHeight, int mode,
                           int32_t firstTop);
    virtual void BuildRowRecords(oxBox* rows, int32_t* count, int32_t level);
    virtual void RefillRowItem(oxBox* rows, int32_t index);
    // Called before a row is placed.
    virtual void PrepareRow(oxGridRowRecord* rec, int32_t index) { (void)rec, (void)index; }
    // Hands the layout's own fields to a new record once it was made.
    void FillNewRecord(oxGridRowRecord* rec, const oxLayoutItem& item);
    void DestroyRecords();
    void RemoveRecordAt(int32_t index);
    // The measuring found the layout out of date: the new count of the rows box's shown rows.
    int32_t CountShownRows(oxBox* rows, bool nested);
    void PlaceCells(oxGridRowRecord* rec, int32_t rowIndex, int mode, int32_t rowHeight);
    void PositionRow(oxGridRowRecord* rec, int32_t top);
    void Listen(oxGridRowRecord* rec, oxBox* cell);
    void RowPass(oxPlacementRecord* placement);
    void ShareFlexibleColumns();
    void MeasureHeader();
    bool CollapseFromQueue(int32_t* tableWidth);
    void ShowCollapsedHeaderCells();
    void ComputeLargestFirstRow();
    int32_t ClampFirstRow(int32_t requested) const;
    int32_t SumTableWidth() const;
    // Pixel distance between the tops of two first rows.
    int32_t RowDistance(int32_t from, int32_t to);
    // Removal: the index of a row box, the row at an index of the walk over the selected rows, and
    // what happens once that walk is over.
    virtual int32_t FindRowToRemove(oxBox* row);
    virtual oxBox* GetRemovableRow(int32_t index);
    virtual void FinishSelectedRemoval(oxBox* box);
    void BeginRemoval(oxBox* box);
    // Removes a row box and its record; the answer is the selection candidate.
    oxBox* RemoveRowAt(int32_t index, oxBox* rowBox, bool sortEntryAtIndex);
    void ApplyRowToggle(oxBox* cell);
    oxBox* HitTestRows(const oxPoint& point, oxBox* box);
    friend class oxGridRowListener;
    friend class GridRowToggle;

    int32_t stamp_ = 0;
    int32_t savedScrollY_ = 0;
    int32_t savedScrollX_ = 0;
    int32_t rowCount_ = 0;
    std::vector<oxGridRowRecord*> records_;
    oxLayoutItemList columnItems_;
    oxBox* owner_ = nullptr;
    oxContentArea area_;
    int32_t contentWidth_ = 0;
    int32_t contentHeight_ = 0;
    bool wholeRow_ = true;
    std::vector<Column> columns_;
    bool collapsing_ = false;
    bool collapsingBefore_ = false;
    bool columnsScrolled_ = false; // the first visible column was not 0 in the last pass
    std::vector<QueueEntry> queue_;
    int32_t fixedRowHeight_ = 0;
    int32_t defaultColumnWidth_ = 0;
    int32_t totalRowFlex_ = 0;
    int32_t totalColumnFlex_ = 0;
    int32_t freeHeight_ = 0;
    bool overflowX_ = false;
    bool overflowY_ = false;
    bool grew_ = false;
    bool fixedHeight_ = true;
    int32_t requestedFirstRow_ = 0;
    int32_t firstVisibleRow_ = 0;
    int32_t requestedFirstColumn_ = 0;
    int32_t firstVisibleColumn_ = 0;
    int32_t rowsPerPage_ = 0;
    int32_t columnsPerPage_ = 0;
    int32_t pixelScrollY_ = 0;
    int32_t pixelScrollX_ = 0;
    oxBox* header_ = nullptr;
    int32_t headerHeight_ = 0;
    int32_t maxWidth_ = 0;
    int32_t maxHeight_ = 0;
    int32_t treeIndent_ = 0;
    int32_t autoMargin_ = 0;
    bool allFixed_ = false;
    bool recordsRebuilt_ = false;
    int32_t rowScrollDirection_ = 0;
    int32_t largestFirstRow_ = 0;
    int32_t rowsFitAtEnd_ = 0;
    int32_t sortColumn_ = 0;
    std::vector<SortEntry> sortList_;
    int32_t sortDirection_ = 1;
    oxGridRowListener* listener_ = nullptr;
    bool alternateRowStyles_ = false;
    bool animateRowToggles_ = true;
    bool wasStale_ = false;
    std::vector<int32_t> collapsedHeaderCells_;
    // Cells spanning several unfixed columns, met while measuring: {first column, span, width}.
    struct Span {
        int32_t column, span, width;
    };
    std::vector<Span> spans_;
    // The second placement keeps the heights the flexible rows gave.
    bool keepHeights_ = false;
    // Rows placed (not counted) after the one that passes the maximum height.
    int32_t extraRowsPastMax_ = 0;
    // Removing rows leaves the row count to the bound rows.
    bool removalKeepsCount_ = false;
    // Measuring takes the layout-root flag from the "columns" and "rows" boxes.
    bool clearsLayoutRoots_ = true;
};

// The alignment a row's item is filled with: the row's own hAlign and vAlign keywords.
void oxGridFillRowAlignment(oxBox* box, oxLayoutItemList* list);

// A child of `box` with the tag, or null.
oxBox* oxFindChildByTag(oxBox* box, oxAtom tag);

// The box that defines a grid's columns: the first "columns" box below `grid`, depth-first.
oxBox* oxFindColumnsBox(oxBox* grid);
