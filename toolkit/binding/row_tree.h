#pragma once
// oxRowTree: the root repeater of a collection binding. Besides its own rows it keeps the flat
// order of all its repeaters (the visible rows of the whole tree numbered depth first, branches
// under collapsed rows left out), answers the list layouts' questions about rows, and owns the
// selection model of the list the rows are shown in.
//
// Numbering is recomputed from the repeaters, not from the rows: a level's first row number and
// its span (visible rows with its open descendants) follow from its parent's and from the spans of
// the children before it, so a change costs as many steps as there are repeaters, and a flat list
// (one repeater) renumbers in constant time.
#include <cstdint>
#include <vector>

#include "toolkit/binding/repeater.h"
#include "toolkit/core/row_source.h"

class oxDataSelectionModel;
class oxSelectionOwner;
struct oxExpressionRecord;

class oxRowTree final : public oxRepeater, public oxRowSource {
public:
    explicit oxRowTree(oxBindingElement* binding);
    ~oxRowTree() override;

    void SetBinding(oxBindingElement* binding) { binding_ = binding; }
    oxBindingElement* GetBinding() const { return binding_; }

    // Drops the current source (its child repeaters go) and holds the new one; then Reset.
    void SetSource(oxBindingSource* source);
    // Removes the rows made and lets go of the source and the container.
    void Detach();
    // Empties the flat list down to the root; the selection is cleared unless kept.
    void Reset(bool keepSelection);
    // The root populate: numbers from the start, and keeps collapsed branches out.
    void Populate(oxBox* container, oxBindingElement* binding) override;
    // The binding connects below a list: the list's owner gets this tree's selection model.
    void AttachToList(oxBox* list, oxSelectionOwner* owner);
    oxDataSelectionModel* GetSelectionModel(bool create);
    oxDataSelectionModel* GetSelectionModelIfMade() const { return selection_; }

    // oxRowSource.
    int CountRows() override;
    oxBox* GetRowBoxAt(int flatRow) override;
    int GetRowLevel(int flatRow) override;
    int FindRowOfBox(oxBox* box, bool flat) override;

    // The repeater and its row index of a flat row number; false when none.
    bool LocateRow(int flatRow, oxRepeater** repeater, int* index);
    // The flat number of a repeater's row, or -1 when it is not visible.
    int FlatRowOf(const oxRepeater* repeater, int index) const;
    bool FindRepeaterRowOfBox(oxBox* box, oxRepeater** repeater, int* index);
    // The flat row of a key value (in the repeater given, else the root), or -1.
    int FindRowOfKeyIn(oxRepeater* repeater, const VARIANT& value);
    // The expression record that writes `attribute` into `box` (a box of some row), or null.
    const oxExpressionRecord* GetKeyRecord(oxBox* box, oxAtom attribute, bool* isStyle);
    const std::vector<oxRepeater*>& GetFlatList() const { return flat_; }
    // The repeater whose source's object is `collection`, or null.
    oxRepeater* FindRepeaterOfObject(NUBO::XObject* collection) const;

    // Recomputes first row numbers and spans, and the flat list.
    void Renumber();
    void Collapse(oxRepeater* repeater);
    void Expand(oxRepeater* repeater);
    // The selection hears of rows inserted (0), removed (1), collapsed (2) or expanded (3).
    void NotifySelection(int kind, int firstRow, int count, oxRepeater* repeater);
    // A repeater is about to be destroyed: its keys leave the selection.
    void RemoveRepeater(oxRepeater* repeater);

private:
    int Number(oxRepeater* repeater, int first);

    oxDataSelectionModel* selection_ = nullptr; // one reference
    std::vector<oxRepeater*> flat_;             // display order, the root first
    bool populating_ = false;
};
