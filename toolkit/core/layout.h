#pragma once
// oxLayout: the object a box arranges its children with. A layout places and sizes the children,
// reports the room its box needs to the parent's layout, keeps the scroll offsets and content size of
// an overflowing box, and paints and hit-tests the children in its own order. A box owns its layout
// (made on first use, never shared). Most layouts work on one oxLayoutItemList per pass: one
// oxLayoutItem per laid-out child, built from the child's style, committed and freed at the end.
#include <cstdint>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"

class oxBox;
class oxBoxStyle;
class oxCanvas;
struct oxPlacementRecord;
struct oxSnapshotItem;
using oxSnapshotItemList = std::vector<oxSnapshotItem>;

class oxLayout {
public:
    oxLayout() = default;
    oxLayout(const oxLayout&) = delete;
    oxLayout& operator=(const oxLayout&) = delete;
    virtual ~oxLayout() = default;

    // The layout's kind; the base answers "view".
    virtual oxAtom GetLayoutType() const { return kAtomView; }
    // A new layout of the same kind with every field zero; null when memory ran out.
    virtual oxLayout* CreateInstance() const { return nullptr; }
    virtual int32_t GetScrollX() const { return 0; }
    virtual void SetScrollX(int32_t x) { (void)x; }
    virtual int32_t GetScrollY() const { return 0; }
    virtual void SetScrollY(int32_t y) { (void)y; }
    virtual int32_t GetContentWidth() const { return 0; }
    virtual int32_t GetContentHeight() const { return 0; }
    virtual void ScrollToBox(oxBox* target) { (void)target; }
    // Layouts that arrange rows make the row the first visible one; the others scroll to the box a
    // row source made for the row, when the box has one.
    virtual void ScrollToRow(oxBox* box, int32_t row);
    // The pass: places the box's children within the placement and answers through it.
    virtual void Layout(oxPlacementRecord* placement, oxBox* box) { (void)placement, (void)box; }
    virtual void PaintChildren(oxCanvas* canvas, oxBox* box) { (void)canvas, (void)box; }
    // The child under a point given in the box's coordinates, or the box itself.
    virtual oxBox* HitTest(const oxPoint& point, oxBox* box) {
        (void)point;
        return box;
    }
    // The box's style changed.
    virtual void OnStyleChanged(oxBox* box) { (void)box; }
    virtual void UpdateScrollbar(oxPlacementRecord* placement, bool vertical, oxBox* scrollbar) {
        (void)placement, (void)vertical, (void)scrollbar;
    }
    // One child alone changed (its style or its content): arranges it again and places the children
    // after it, without a whole pass, when the last pass allows it. False when only a whole pass of
    // the box will do; the child may have been arranged meanwhile.
    virtual bool FollowChild(oxPlacementRecord* placement, oxBox* box, oxBox* child) {
        (void)placement, (void)box, (void)child;
        return false;
    }
    // The index of the one child shown, for layouts that show one at a time; -1 for the others.
    virtual int32_t GetCurrentIndex(oxBox* box) const {
        (void)box;
        return -1;
    }

    // Rows: the selectable "control" boxes below the box, depth-first, not inside "select" boxes.
    // The row index of `row`, or -1.
    virtual int32_t FindSelectableIndex(oxBox* box, oxBox* row);
    // The row at an index, or null.
    virtual oxBox* FindSelectableAt(oxBox* box, int32_t index);
    virtual int32_t CountSelectable(oxBox* box);
    virtual void RemoveRow(oxBox* box, oxBox* row) { (void)box, (void)row; }
    // Removes and destroys the selected rows.
    virtual void RemoveSelectedRows(oxBox* box);
    virtual void RemoveAllRows(oxBox* box);
    // True when the layout itself refreshes the cached positions of the children it moves, so that a
    // scroll need not walk the whole subtree (a grid's rows off the page are never placed).
    virtual bool RefreshesMovedChildren() const { return false; }
    // Appends the rectangles a row transition moves: the grid's header, scroll bars and rows, the
    // flow layout's shown children and scroll bars.
    virtual void CollectSnapshotItems(oxSnapshotItemList* items) { (void)items; }
    // The parent's item building clears it on the child's layout.
    void ClearValidity() { validity_ = 0; }
    uint32_t GetValidity() const { return validity_; }

protected:
    uint32_t validity_ = 0;
};

// A box's content area for a pass: its content size and its content origin in the box.
struct oxContentArea {
    int32_t width = 0;
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
    static oxContentArea Of(const oxBox* box);
};

// One laid-out child.
struct oxLayoutItem {
    oxBox* box = nullptr;
    uint8_t placed = 0;
    uint8_t stretchX = 0;
    uint8_t stretchY = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t oldX = 0;
    int32_t oldY = 0;
    uint32_t oldWidth = 0;
    uint32_t oldHeight = 0;
    int32_t marginTop = 0;
    int32_t marginRight = 0;
    int32_t marginBottom = 0;
    int32_t marginLeft = 0;
    int32_t paddingLeft = 0;
    int32_t paddingTop = 0;
    int32_t paddingWidth = 0;
    int32_t paddingHeight = 0;
    int32_t prefWidth = 0;
    int32_t prefHeight = 0;
    int32_t minWidth = 0;
    int32_t minHeight = 0;
    int32_t maxWidth = 0; // -1: none
    int32_t maxHeight = 0;
    int32_t intrinsicWidth = 0;
    int32_t intrinsicHeight = 0;
    int32_t flex = 0;
    int32_t placeX = 0;
    int32_t placeY = 0;
    int32_t colspan = 1;

    // Raises the width to the minimum, else lowers it to a positive maximum; true when it changed.
    bool ClampWidth();
    bool ClampHeight();
};

// The items of one pass, with the box's orientation, alignment and gaps.
struct oxLayoutItemList {
    oxLayoutItemList() = default;
    oxLayoutItemList(const oxLayoutItemList&) = delete;
    oxLayoutItemList& operator=(const oxLayoutItemList&) = delete;
    ~oxLayoutItemList();
    // Frees the items (DeleteLayoutItemArray).
    void Free();

    int32_t count = 0;
    oxLayoutItem* items = nullptr;
    uint8_t vertical = 0;
    int32_t hSpace = 0;
    int32_t vSpace = 0;
    int32_t hAlign = -1; // keyword ids; -1 when the value is not a keyword
    int32_t vAlign = -1;
    int32_t totalFlex = 0;
    int32_t firstFlexIndex = 0;
};

// Fills the list from the box's style and one item per child that takes part; an empty list when
// the box has no children or memory ran out.
void BuildLayoutItems(oxBox* box, oxLayoutItemList* list, bool includeCollapsed);
// 1 when the child takes part (and the item is filled), else 0.
int FillLayoutItem(oxBox* child, oxLayoutItem* item, oxLayoutItemList* list, bool includeCollapsed);
// Widens the margins of a rotated or scaled item to its turned bounds and stops it stretching; 1
// when adjusted.
int ApplyTransformToLayoutItem(oxBoxStyle* style, oxLayoutItem* item);
// Publishes the new geometry of a child that moved or changed size.
void CommitLayoutItem(oxLayoutItem* item);
void CommitLayoutItems(oxLayoutItemList* list);
// Shows (or creates) a scroll bar of the box and sets its "max", "scale" and "value".
void UpdateScrollbarBox(oxPlacementRecord* placement, oxBox* box, oxBox* scrollbar, int32_t max, int32_t scale,
                        int32_t value, int orientation);

// The last child, skipping layered ones, whose own hit test takes the point; else the box.
oxBox* HitTestChildrenLastFirst(const oxPoint& point, oxBox* box);

// Keeps the two scroll bars out of their shared corner: each bar's far margin (the vertical one's
// bottom, the horizontal one's right, or left for a right-to-left box) grows by the bar's
// "scrollBoth" amount when both show, and shrinks by it again when they stop, so the calls cancel.
void UpdateScrollbarCornerMargins(oxBox* vertical, oxBox* horizontal, bool bothShown, oxBox* box);

// The size a box takes from its children, laid out along its orientation at their preferred
// sizes with its gaps and padding; the box's own width and height win where its style sets them.
// For boxes that no layout places, such as popups.
oxPoint MeasureNaturalSize(oxBox* box);
// Lays a layout root out in an area of the given size, as the scene's layout pass does: the box
// takes the whole area, less its padding for its content, and may not grow beyond it.
void ArrangeLayoutRoot(oxBox* box, int32_t width, int32_t height);
// Lays a box out again in the placement its parent's layout last gave it, as the scene does for a
// box whose content changed while its parent's did not; false when the box was never placed.
bool ArrangeInLastPlacement(oxBox* box);
