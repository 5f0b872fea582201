#pragma once
// What the grid layouts ask of the modules above the box tree: the row boxes a data binding makes
// for a "rows" (or "columns") box, the commands and values of control boxes, the selection of a
// "select" box, and the transition that animates a row opening or closing. The upper modules install
// their implementations; until they do, a bound box has no rows and every other call does nothing.
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "toolkit/base/rect.h"

class oxBox;

// The rows a binding keeps for a box, numbered in display order; boxes may be made on demand.
class oxBoundRows {
public:
    virtual ~oxBoundRows() = default;
    // The visible rows (rows of collapsed branches not counted).
    virtual int32_t CountRows() = 0;
    // The row box of a row number, made now when it is not made yet; null outside the rows.
    virtual oxBox* GetRowBox(int32_t row) = 0;
    // The row number of the row whose box is `box` or holds it, or -1.
    virtual int32_t FindRowOfBox(oxBox* box) = 0;
    // The nesting level of a row: 0 for the top rows, 1 for their nested rows, and so on.
    virtual int32_t GetRowLevel(int32_t row) = 0;
    // The list took a row box out and is destroying it: it must not be handed out again (the row's
    // data stays, so a new box is made when the row is asked for).
    virtual void RowBoxRemoved(oxBox* box) = 0;
};

// The binding that fills a box registers its rows here while it is connected.
void oxRegisterBoundRows(oxBox* box, oxBoundRows* source);
void oxUnregisterBoundRows(oxBox* box);
oxBoundRows* oxFindBoundRows(const oxBox* box);

// One rectangle of a transition between two pictures of a box: flag 1 for parts that stay put
// (header, scroll bars), 0 for rows that move.
struct oxSnapshotItem {
    oxRect rect;
    int32_t flag = 0;
    oxBox* box = nullptr;
};
using oxSnapshotItemList = std::vector<oxSnapshotItem>;

// The row change a transition animates; the grid applies it between the two item lists.
class oxRowToggle {
public:
    virtual void Apply() = 0;
    virtual void CollectItems(oxSnapshotItemList* items) = 0;

protected:
    ~oxRowToggle() = default;
};

class oxGridServices {
public:
    virtual ~oxGridServices() = default;
    // Raises the command of a "control" box, as a tap on it would.
    virtual void RaiseCommand(oxBox* control) { (void)control; }
    // The value text of a "control" or "text" box, the key it sorts by; null when it has none.
    virtual const WCHAR* GetValueText(oxBox* box) {
        (void)box;
        return nullptr;
    }
    // The selection of a "select" (or datagrid) box.
    virtual oxBox* GetSelection(oxBox* select) {
        (void)select;
        return nullptr;
    }
    virtual void SetSelection(oxBox* select, oxBox* row) { (void)select, (void)row; }
    virtual int32_t GetCurrentIndex(oxBox* select) {
        (void)select;
        return -1;
    }
    virtual void SelectIndex(oxBox* select, int32_t index) { (void)select, (void)index; }
    // The select box moves its selection out of rows about to collapse.
    virtual void MoveSelectionOutOf(oxBox* select, oxBox* rows) { (void)select, (void)rows; }
    // Whether a "select" box lets its rows animate.
    virtual bool AnimatesRows(oxBox* select) {
        (void)select;
        return true;
    }
    // Animates a row change of a grid box: snapshots of the box before and after, the item lists
    // collected around `toggle.Apply()`, and a transition with the effect, duration (ms), motion
    // curve and background colour (-1: none) given. False when it cannot animate; the change is
    // then not applied and the caller applies it directly.
    virtual bool AnimateRowToggle(oxBox* grid, oxRowToggle& toggle, const WCHAR* effect, int32_t duration,
                                  const WCHAR* curve, int32_t background) {
        (void)grid, (void)toggle, (void)effect, (void)duration, (void)curve, (void)background;
        return false;
    }
};

// The installed services (a do-nothing set until one is installed). Null restores the default.
oxGridServices& oxGetGridServices();
void oxSetGridServices(oxGridServices* services);
