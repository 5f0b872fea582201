#pragma once
// What the grid layouts ask of the modules above the box tree beside the rows a binding makes (the
// row sources): the commands and values of control boxes, the selection of a "select" box, and the
// transition that animates a row opening or closing. The upper modules install their
// implementations; until they do, every call does nothing.
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "toolkit/base/rect.h"

class oxBox;

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

// The background a row transition of the grid box fills uncovered places with: the colour of its
// fill style, -1 for none.
int32_t oxRowTransitionBackground(oxBox* grid);

// The installed services (a do-nothing set until one is installed). Null restores the default.
oxGridServices& oxGetGridServices();
void oxSetGridServices(oxGridServices* services);
