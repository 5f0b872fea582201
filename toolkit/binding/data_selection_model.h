#pragma once
// oxDataSelectionModel: the selection of a list whose rows a collection binding makes. Rows are
// remembered by their key values (with the repeater they belong to), not by position, so the
// selection survives rows being inserted, removed, collapsed or made again. It also keeps the
// current row, and follows it by key when rows change.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "runtime/ref_ptr.h"
#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/binding/selection_model.h"

class oxBox;
class oxRepeater;
class oxRowTree;

// The list that shows the selection and holds the model: a bound list takes the row tree's model
// in place of its own. Without an owner the model marks the row boxes selected itself.
class oxSelectionOwner {
public:
    // The model the list holds now, and another put in its place (the list holds a reference).
    virtual oxSelectionModel* GetSelectionModel() const = 0;
    virtual void SetSelectionModel(oxSelectionModel* model) = 0;
    virtual void MarkRowSelected(oxBox* row, bool selected) = 0;
    virtual void MarkRowCurrent(oxBox* row, bool current) = 0;
    // The cursor moved from old to now (-1 none) by a cursor action; 0 moves the cursor only.
    virtual void CursorChanged(int now, int old, int action) = 0;

protected:
    ~oxSelectionOwner() = default;
};

class oxDataSelectionModel final : public oxSelectionModel {
public:
    static constexpr uint32_t kDeletingCount = 0xC0000001u;

    oxDataSelectionModel(oxRowTree* tree, oxSelectionOwner* owner);
    ULONG AddRef() override { return ++refCount_; }
    ULONG Release() override;

    // oxSelectionModel, the cursor side: rows are the flat rows of the tree.
    int GetCursor() override { return current_; }
    oxBox* GetCursorRow() override;
    int GetFirstSelected() override { return FirstSelectedRow(); }
    void SelectIndex(int row) override { SetSelectionIndex(row); }
    bool IsSelected(int row) override { return IsRowSelected(row); }
    // Applies the action by key (in mode "current" the selection follows the cursor instead), then
    // makes the row current.
    void MoveCursor(int index, int action, bool skipUnselectable) override;
    void SelectAll(int last) override { SelectUpTo(last); }
    bool ClearAll(bool updateRows) override { return Clear(updateRows); }
    bool HasMultipleSelected() override { return HasMultipleSelection(); }
    void ForgetOwner() override { owner_ = nullptr; }
    // The cursor data is the current key with its repeater.
    void ResetCursorData() override { ClearCurrent(true); }
    bool SetCursorData(const VARIANT& value, void* group) override;
    bool GetCursorData(NUBO::XVariant* value, void** group) override;

    // oxSelectionModel, for scripts: row groups are repeaters.
    int GetSelectionIndex() override;
    void SetSelectionIndex(int row) override;
    int GetSelectedCount() override { return int(textKeys_.size() + intKeys_.size()); }
    void ClearSelection() override { Clear(true); }
    int GetFirstSelectedRow() override { return current_; }
    int GetNextSelectedRow() override { return -1; }
    bool GetFirstSelectedData(NUBO::XVariant* value, void** group) override;
    bool GetNextSelectedData(NUBO::XVariant* value, void** group) override;
    void* FindRowGroup(const VARIANT& collection) override;
    bool SelectData(const VARIANT& value, void* group) override;
    bool UnselectData(const VARIANT& value, void* group) override;
    NUBO::XObject* GetRowGroupObject(void* group) override;

    void SetOwner(oxSelectionOwner* owner) { owner_ = owner; }
    // The tree is going; the model stays for whoever still holds it, inert.
    void ForgetTree() { tree_ = nullptr; }

    int GetCurrentRow() const { return current_; }
    // The owner hears the move with the action; in mode "current" the row becomes the selection.
    void SetCurrentRow(int row, int action = kCursorOnly);
    // The key value and repeater of the current row.
    const NUBO::XVariant& GetCurrentKey(oxRepeater** repeater) const;
    // The first flat row whose key is selected, -1 when none.
    int FirstSelectedRow() const;
    bool IsRowSelected(int row) const;
    bool SelectByData(const VARIANT& key, oxRepeater* repeater);
    // Only this row.
    void Select(int row) override;
    // In mode "current" the selection is the cursor row's: removing or adding rows does nothing,
    // and adding one moves the cursor there.
    void UnselectRow(int row) override;
    // Adds the row.
    void SelectRow(int row) override;
    void SelectRange(int from, int to);
    void SelectUpTo(int count);
    bool GetFirstSelectedKey(NUBO::XVariant* value, oxRepeater** repeater);
    bool GetNextSelectedKey(NUBO::XVariant* value, oxRepeater** repeater);
    bool SelectKey(const VARIANT& key, oxRepeater* repeater);
    bool UnselectKey(const VARIANT& key, oxRepeater* repeater, bool byRow);
    // Forgets the current row and every key; with notify the owner hears each row unselected.
    // Answers whether anything had been selected.
    bool Clear(bool notify);
    bool HasMultipleSelection() const { return textKeys_.size() + intKeys_.size() > 1; }

    // A row box was made: it is marked selected or current by its key.
    void OnRowCreated(oxBox* row, const VARIANT& key, oxRepeater* repeater);
    // Every key of the repeater goes, its rows shown unselected. Answers whether any was selected.
    bool ForgetRepeater(oxRepeater* repeater);
    // Index keys of the repeater at or above `from` move by `delta`.
    void ShiftIndexKeys(oxRepeater* repeater, int from, int delta);
    void ClearCurrent(bool notify);
    // The rows changed (insert 0, remove 1, collapse 2, expand 3 from `first`, `count` rows): the
    // current row is found again by its key, else kept within the rows.
    void OnRowsChanged(int kind, int first, int count);
    // The source was reset: the current row is forgotten.
    void OnReset();
    bool IsKeySelected(const VARIANT& key, oxRepeater* repeater) const;

private:
    // The owner hears every change, and what it runs may let go of the list and its binding: the
    // model keeps itself alive until it is done.
    using Hold = NUBO::RefPtr<oxDataSelectionModel>;
    using TextKey = std::pair<std::u16string, oxRepeater*>;
    using IntKey = std::pair<int32_t, oxRepeater*>;

    ~oxDataSelectionModel();
    bool FollowsCursor() const { return modeAtom_ == kAtomCurrent; }
    void MakeCurrent(int row, int old, int action);
    // Only this row, whatever the mode; and one row more. The list hears of the cursor leaving
    // its row only when told to: a cursor move tells it once, at its end.
    void SelectOnly(int row, bool tellCursor = true);
    bool ClearKeys(bool notify, bool tellCursor);
    void AddRow(int row);
    bool AddKey(const VARIANT& key, oxRepeater* repeater);
    bool RemoveKey(const VARIANT& key, oxRepeater* repeater);
    void MarkRow(int row, bool selected);
    // The owner shows the row box selected or not; without an owner the box's own state does.
    void ShowSelected(oxBox* row, bool selected);
    void RowKey(int row, NUBO::XVariant* key, oxRepeater** repeater) const;

    uint32_t refCount_ = 0;
    oxRowTree* tree_;
    oxSelectionOwner* owner_;
    int current_ = -1;
    int anchor_ = -1;
    NUBO::XVariant currentKey_;
    oxRepeater* currentRepeater_ = nullptr;
    std::map<TextKey, int> textKeys_; // key -> value kind
    std::map<IntKey, int> intKeys_;
    // Walk over the selected data: text keys first, then integer keys.
    bool walkingText_ = true;
    std::map<TextKey, int>::const_iterator textCursor_;
    std::map<IntKey, int>::const_iterator intCursor_;
};
