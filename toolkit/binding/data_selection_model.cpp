#include "toolkit/binding/data_selection_model.h"

#include <vector>

#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/binding/repeater.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/core/box.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::XVariant;

namespace {

// Text keys are kept as text, integer keys as integers; other values by their text.
bool IsIntegerKey(const VARIANT& key) {
    int kind = XVariant(key).GetKind();
    return kind == NUBO::XVK_INT32 || kind == NUBO::XVK_INT16 || kind == NUBO::XVK_INT8 || kind == NUBO::XVK_UINT8 ||
           kind == NUBO::XVK_UINT16;
}

std::u16string TextOf(const VARIANT& key) {
    NUBO::TWString text = XVariant(key).ToString();
    return std::u16string(text.GetString());
}

// Removes the keys of one repeater; answers whether there were any.
template <class Map> bool EraseKeysOf(Map& keys, oxRepeater* repeater) {
    bool any = false;
    for (auto it = keys.begin(); it != keys.end();) {
        if (it->first.second != repeater) {
            ++it;
            continue;
        }
        any = true;
        it = keys.erase(it);
    }
    return any;
}

} // namespace

void oxDataSelectionModel::ShowSelected(oxBox* row, bool selected) {
    if (!row) return;
    if (owner_)
        owner_->MarkRowSelected(row, selected);
    else
        row->SetSelected(selected, true);
}

oxDataSelectionModel::oxDataSelectionModel(oxRowTree* tree, oxSelectionOwner* owner) : tree_(tree), owner_(owner) {
    // Rows are selected one by one until a list hands over its mode.
    modeAtom_ = 0;
    textCursor_ = textKeys_.end();
    intCursor_ = intKeys_.end();
}

ULONG oxDataSelectionModel::Release() {
    ULONG n = --refCount_;
    if (n == 0) {
        refCount_ = kDeletingCount;
        delete this;
    }
    return n;
}

bool oxDataSelectionModel::IsKeySelected(const VARIANT& key, oxRepeater* repeater) const {
    if (key.vt == VT_EMPTY) return false;
    if (IsIntegerKey(key)) return intKeys_.count({XVariant(key).ToInt32(), repeater}) != 0;
    return textKeys_.count({TextOf(key), repeater}) != 0;
}

bool oxDataSelectionModel::AddKey(const VARIANT& key, oxRepeater* repeater) {
    if (key.vt == VT_EMPTY) return false;
    if (IsIntegerKey(key)) return intKeys_.insert({{XVariant(key).ToInt32(), repeater}, NUBO::XVK_INT32}).second;
    return textKeys_.insert({{TextOf(key), repeater}, NUBO::XVK_STRING}).second;
}

bool oxDataSelectionModel::RemoveKey(const VARIANT& key, oxRepeater* repeater) {
    if (key.vt == VT_EMPTY) return false;
    if (IsIntegerKey(key)) return intKeys_.erase({XVariant(key).ToInt32(), repeater}) != 0;
    return textKeys_.erase({TextOf(key), repeater}) != 0;
}

void oxDataSelectionModel::RowKey(int row, XVariant* key, oxRepeater** repeater) const {
    *repeater = nullptr;
    int index = -1;
    if (tree_ && tree_->LocateRow(row, repeater, &index)) (*repeater)->GetRowKey(index, key);
}

void oxDataSelectionModel::MarkRow(int row, bool selected) {
    oxRepeater* r = nullptr;
    int index = -1;
    if (!tree_ || !tree_->LocateRow(row, &r, &index)) return;
    oxBox* box = r->GetMadeRowBox(index);
    if (!box) return;
    ShowSelected(box, selected);
}

void oxDataSelectionModel::SetCurrentRow(int row, int action) {
    MakeCurrent(row, current_, action);
}

void oxDataSelectionModel::MakeCurrent(int row, int old, int action) {
    if (!tree_ || row < -1 || row >= tree_->CountRows()) return;
    const Hold hold = Hold::ref(this);
    // Selecting clears the current row: the selection goes first.
    if (FollowsCursor() && row >= 0 && !(IsRowSelected(row) && GetSelectedCount() == 1)) SelectOnly(row, false);
    current_ = row;
    currentKey_.Clear();
    currentRepeater_ = nullptr;
    if (row >= 0) RowKey(row, &currentKey_, &currentRepeater_);
    if (owner_ && (old != row || action != kCursorOnly)) owner_->CursorChanged(row, old, action);
}

oxBox* oxDataSelectionModel::GetCursorRow() {
    oxRepeater* r = nullptr;
    int index = -1;
    return tree_ && tree_->LocateRow(current_, &r, &index) ? r->GetMadeRowBox(index) : nullptr;
}

void oxDataSelectionModel::MoveCursor(int index, int action, bool skipUnselectable) {
    // Data rows are not skipped: a hidden or disabled row still names its data.
    (void)skipUnselectable;
    const Hold hold = Hold::ref(this);
    const int rows = tree_ ? tree_->CountRows() : 0;
    if (rows == 0) {
        ClearCurrent(true);
        return;
    }
    const int old = current_;
    int n = index;
    if (n >= rows) n = IsWrap() ? 0 : rows - 1;
    if (n < 0) n = IsWrap() ? rows - 1 : 0;
    if (!FollowsCursor()) {
        switch (action) {
        case kSelectOnly:
            SelectOnly(n, false);
            break;
        case kToggle:
            if (IsRowSelected(n))
                UnselectRow(n);
            else
                AddRow(n);
            anchor_ = n;
            break;
        case kExtend:
            if (IsSingle() || anchor_ < 0) {
                SelectOnly(n, false);
            } else {
                const int anchor = anchor_;
                SelectRange(anchor, n);
                anchor_ = anchor;
            }
            break;
        case kAdd:
            if (!IsRowSelected(n)) AddRow(n);
            break;
        default:
            break;
        }
    }
    MakeCurrent(n, old, action);
}

bool oxDataSelectionModel::SetCursorData(const VARIANT& value, void* group) {
    return SelectByData(value, static_cast<oxRepeater*>(group));
}

bool oxDataSelectionModel::GetCursorData(XVariant* value, void** group) {
    if (currentKey_.vt == VT_EMPTY || !currentRepeater_) return false;
    *value = currentKey_;
    *group = currentRepeater_;
    return true;
}

const XVariant& oxDataSelectionModel::GetCurrentKey(oxRepeater** repeater) const {
    if (repeater) *repeater = currentRepeater_;
    return currentKey_;
}

oxDataSelectionModel::~oxDataSelectionModel() {
    if (scriptCache_) scriptCache_->ForgetSelectionObject(static_cast<oxSelectionModel*>(this));
}

int oxDataSelectionModel::GetSelectionIndex() {
    return FirstSelectedRow();
}

void oxDataSelectionModel::SetSelectionIndex(int row) {
    if (row < 0) {
        Clear(true);
        return;
    }
    if (!IsRowSelected(row)) MoveCursor(row, kSelectOnly, false);
}

bool oxDataSelectionModel::GetFirstSelectedData(XVariant* value, void** group) {
    oxRepeater* r = nullptr;
    bool found = GetFirstSelectedKey(value, &r);
    *group = r;
    return found;
}

bool oxDataSelectionModel::GetNextSelectedData(XVariant* value, void** group) {
    oxRepeater* r = nullptr;
    bool found = GetNextSelectedKey(value, &r);
    *group = r;
    return found;
}

void* oxDataSelectionModel::FindRowGroup(const VARIANT& collection) {
    if (!tree_) return nullptr;
    XVariant v(collection);
    if (v.GetKind() != NUBO::XVK_OBJECT) return tree_;
    NUBO::XObject* object = v.ToXObject();
    oxRepeater* r = object ? tree_->FindRepeaterOfObject(object) : tree_;
    if (object) object->Release();
    return r;
}

bool oxDataSelectionModel::SelectData(const VARIANT& value, void* group) {
    return SelectKey(value, static_cast<oxRepeater*>(group));
}

bool oxDataSelectionModel::UnselectData(const VARIANT& value, void* group) {
    return UnselectKey(value, static_cast<oxRepeater*>(group), false);
}

NUBO::XObject* oxDataSelectionModel::GetRowGroupObject(void* group) {
    auto* r = static_cast<oxRepeater*>(group);
    return r && r->GetSource() ? r->GetSource()->GetDataObject() : nullptr;
}

int oxDataSelectionModel::FirstSelectedRow() const {
    if (!tree_ || textKeys_.size() + intKeys_.size() == 0) return -1;
    // The first selected key in row order: look each selected key's row up.
    int best = -1;
    for (const auto& [key, kind] : textKeys_) {
        int row = tree_->FindRowOfKeyIn(key.second, XVariant(key.first.c_str()));
        if (row >= 0 && (best < 0 || row < best)) best = row;
    }
    for (const auto& [key, kind] : intKeys_) {
        int row = tree_->FindRowOfKeyIn(key.second, XVariant(int(key.first)));
        if (row >= 0 && (best < 0 || row < best)) best = row;
    }
    return best;
}

bool oxDataSelectionModel::IsRowSelected(int row) const {
    XVariant key;
    oxRepeater* r = nullptr;
    RowKey(row, &key, &r);
    return r && IsKeySelected(key, r);
}

bool oxDataSelectionModel::SelectByData(const VARIANT& key, oxRepeater* repeater) {
    if (!tree_) return false;
    int row = tree_->FindRowOfKeyIn(repeater, key);
    if (row < 0) return false;
    SetCurrentRow(row);
    return true;
}

void oxDataSelectionModel::Select(int row) {
    if (FollowsCursor())
        SetCurrentRow(row);
    else
        SelectOnly(row);
}

void oxDataSelectionModel::SelectOnly(int row, bool tellCursor) {
    ClearKeys(true, tellCursor);
    AddRow(row);
    anchor_ = row;
}

void oxDataSelectionModel::UnselectRow(int row) {
    if (FollowsCursor()) return;
    XVariant key;
    oxRepeater* r = nullptr;
    RowKey(row, &key, &r);
    if (r && RemoveKey(key, r)) MarkRow(row, false);
}

void oxDataSelectionModel::SelectRow(int row) {
    if (FollowsCursor())
        SetCurrentRow(row);
    else
        AddRow(row);
}

void oxDataSelectionModel::AddRow(int row) {
    XVariant key;
    oxRepeater* r = nullptr;
    RowKey(row, &key, &r);
    if (!r) return;
    MarkRow(row, true);
    AddKey(key, r);
}

void oxDataSelectionModel::SelectRange(int from, int to) {
    Clear(true);
    if (from > to) std::swap(from, to);
    for (int row = from; row <= to; ++row)
        AddRow(row);
}

void oxDataSelectionModel::SelectUpTo(int count) {
    if (FollowsCursor()) return;
    Clear(true);
    for (int row = 0; row <= count; ++row)
        AddRow(row);
}

bool oxDataSelectionModel::GetFirstSelectedKey(XVariant* value, oxRepeater** repeater) {
    walkingText_ = true;
    textCursor_ = textKeys_.begin();
    intCursor_ = intKeys_.begin();
    return GetNextSelectedKey(value, repeater);
}

bool oxDataSelectionModel::GetNextSelectedKey(XVariant* value, oxRepeater** repeater) {
    if (walkingText_) {
        if (textCursor_ != textKeys_.end()) {
            *value = XVariant(textCursor_->first.first.c_str());
            *repeater = textCursor_->first.second;
            ++textCursor_;
            return true;
        }
        walkingText_ = false;
    }
    if (intCursor_ != intKeys_.end()) {
        *value = XVariant(int(intCursor_->first.first));
        *repeater = intCursor_->first.second;
        ++intCursor_;
        return true;
    }
    return false;
}

bool oxDataSelectionModel::SelectKey(const VARIANT& key, oxRepeater* repeater) {
    if (!tree_) return false;
    int row = tree_->FindRowOfKeyIn(repeater, key);
    if (row < 0) return false;
    MarkRow(row, false);
    AddRow(row);
    SetCurrentRow(row);
    return true;
}

bool oxDataSelectionModel::UnselectKey(const VARIANT& key, oxRepeater* repeater, bool byRow) {
    (void)byRow;
    if (!RemoveKey(key, repeater)) return false;
    if (tree_) {
        int row = tree_->FindRowOfKeyIn(repeater, key);
        if (row >= 0) MarkRow(row, false);
    }
    return true;
}

bool oxDataSelectionModel::Clear(bool notify) {
    return ClearKeys(notify, notify);
}

bool oxDataSelectionModel::ClearKeys(bool notify, bool tellCursor) {
    const Hold hold = Hold::ref(this);
    bool had = GetSelectedCount() > 0;
    // The usual selection is the cursor row alone: its box is found at once instead of in a walk.
    const int cursor = current_;
    const bool onlyCursor = GetSelectedCount() == 1 && cursor >= 0 && currentRepeater_ &&
                            IsKeySelected(currentKey_, currentRepeater_);
    ClearCurrent(tellCursor);
    if (notify && tree_ && had && onlyCursor) {
        MarkRow(cursor, false);
    } else if (notify && tree_ && had) {
        for (oxRepeater* r : tree_->GetFlatList()) {
            if (r->IsCollapsed()) continue;
            for (int i = 0; i < r->GetRowCount(); ++i) {
                oxBox* box = r->GetMadeRowBox(i);
                if (!box || !(box->GetStateFlags() & kStateSelected)) continue;
                ShowSelected(box, false);
            }
        }
    }
    textKeys_.clear();
    intKeys_.clear();
    textCursor_ = textKeys_.end();
    intCursor_ = intKeys_.end();
    return had;
}

void oxDataSelectionModel::OnRowCreated(oxBox* row, const VARIANT& key, oxRepeater* repeater) {
    if (!row) return;
    if (IsKeySelected(key, repeater)) {
        ShowSelected(row, true);
    }
    if (owner_ && repeater == currentRepeater_ && currentKey_.vt != VT_EMPTY && XVariant::Equals(key, currentKey_))
        owner_->MarkRowCurrent(row, true);
}

bool oxDataSelectionModel::ForgetRepeater(oxRepeater* repeater) {
    bool any = EraseKeysOf(textKeys_, repeater);
    any = EraseKeysOf(intKeys_, repeater) || any;
    if (any) {
        for (int i = 0; i < repeater->GetRowCount(); ++i)
            ShowSelected(repeater->GetMadeRowBox(i), false);
    }
    if (repeater == currentRepeater_) currentRepeater_ = nullptr;
    textCursor_ = textKeys_.end();
    intCursor_ = intKeys_.end();
    return any;
}

void oxDataSelectionModel::ShiftIndexKeys(oxRepeater* repeater, int from, int delta) {
    std::vector<std::pair<IntKey, int>> moved;
    for (auto it = intKeys_.begin(); it != intKeys_.end();) {
        if (it->first.second == repeater && it->first.first >= from) {
            moved.push_back({{it->first.first + delta, repeater}, it->second});
            it = intKeys_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& m : moved)
        intKeys_.insert(m);
    if (repeater == currentRepeater_ && currentKey_.vt == VT_I4 && currentKey_.lVal >= from)
        currentKey_ = int(currentKey_.lVal + delta);
    intCursor_ = intKeys_.end();
}

void oxDataSelectionModel::ClearCurrent(bool notify) {
    int old = current_;
    current_ = -1;
    currentKey_.Clear();
    currentRepeater_ = nullptr;
    if (notify && owner_ && old != -1) owner_->CursorChanged(-1, old, kCursorOnly);
}

void oxDataSelectionModel::OnReset() {
    ClearCurrent(true);
}

void oxDataSelectionModel::OnRowsChanged(int kind, int first, int count) {
    (void)count;
    if (!tree_ || current_ < 0) return;
    const Hold hold = Hold::ref(this);
    int old = current_;
    int rows = tree_->CountRows();
    int found = currentRepeater_ ? tree_->FindRowOfKeyIn(currentRepeater_, currentKey_) : -1;
    if (found >= 0 && currentRepeater_) {
        current_ = found;
    } else if (kind == 1 || kind == 2) {
        // The current row went (or its branch closed): the row that took its place.
        current_ = rows == 0 ? -1 : std::min(std::max(first, 0), rows - 1);
        currentKey_.Clear();
        currentRepeater_ = nullptr;
        if (current_ >= 0) RowKey(current_, &currentKey_, &currentRepeater_);
    } else {
        current_ = rows == 0 ? -1 : std::min(current_, rows - 1);
    }
    if (current_ != old && owner_) owner_->CursorChanged(current_, old, kCursorOnly);
}
