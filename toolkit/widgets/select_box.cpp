#include "toolkit/widgets/select_box.h"

#include <cstring>
#include <new>

#include "platform/crt/wide.h"
#include "platform/win/window.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/number_text.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/grid_layout.h"
#include "toolkit/core/grid_services.h"
#include "toolkit/core/layout.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"

namespace {

constexpr uint32_t kRightMouseCursor = 0x8000;
constexpr uint32_t kRightMouseSelect = 0x10000;
// The second "select" event, at the select box itself.
constexpr uint16_t kEventAtList = 0x20;

// A press on a row of a multiple selection waits for the release; shared by every select box.
int g_pendingRow = -1;
int g_pendingAction = 0;

oxBox* MakeSelectBox(oxAtom tag) {
    return new (std::nothrow) oxSelectBox(tag);
}

// The grid or datagrid layout that arranges the box's rows, or null.
oxGridLayout* GridOf(oxBox* box) {
    return dynamic_cast<oxGridLayout*>(box->GetLayout());
}

bool ReadsTrue(const WCHAR* text) {
    return text && (wcscmp(text, u"1") == 0 || _wcsicmp(text, u"true") == 0);
}

// The row rules of layouts that do not arrange rows themselves.
oxLayout* RowLayout(oxBox* box) {
    static oxLayout flex;
    oxLayout* layout = box->GetLayout();
    return layout ? layout : &flex;
}

// A row built from markup or placed in a scene.
bool IsLiveRow(const oxBox* row) {
    return row->TestChangeFlags(kChangeConstructed | kChangeAttached);
}

bool IsRowBox(const oxBox* b) {
    return b->GetBoxType() == kAtomControl && b->GetSelectableMode() == kModeSelectableItem;
}

// The ancestor-or-self of a select box's row that carries the row's value, and its label.
void RowValueAndLabel(oxBox* row, const WCHAR** value, const WCHAR** label) {
    const oxAtom type = row->GetBoxType();
    auto* control = dynamic_cast<oxControlBox*>(row);
    if (control && (type == kAtomText || type == kAtomControl || type == kAtomRange || type == kAtomSelect)) {
        *value = control->GetValue();
        *label = control->GetLabel();
        return;
    }
    *value = row->GetAttribute(kAtomValue);
    *label = row->GetAttribute(kAtomLabel);
}

// The box under the pointer in the window of the box's scene, or null.
oxBox* BoxUnderPointer(oxBox* box) {
    oxFrameSite* site = GetFrameSite(box);
    oxFrame* frame = site ? site->GetWindowBoxFrame() : nullptr;
    POINT p{0, 0};
    if (!frame || !frame->GetWindow() || !frame->GetOwnerBox() || !GetCursorPos(&p)) return nullptr;
    ScreenToClient(frame->GetWindow(), &p);
    return site->HitTest(frame->GetOwnerBox(), oxPoint{p.x, p.y});
}

} // namespace

void oxRegisterSelectBoxKinds() {
    oxBoxFactory::RegisterKind(kAtomSelect, &MakeSelectBox);
    oxBoxFactory::RegisterKind(kAtomDatagrid, &MakeSelectBox);
}

oxSelectBox::oxSelectBox(oxAtom tag) : oxControlBox(tag) {
    model_ = new (std::nothrow) oxListSelectionModel(this);
    if (model_) {
        model_->AddRef();
        model_->SetSelectMode(kModeSelectSingle);
    }
}

oxSelectBox::~oxSelectBox() {
    if (!model_) return;
    // Whoever still holds the model finds it without rows; the last release tells scripts.
    model_->ForgetOwner();
    model_->Release();
}

void oxSelectBox::SetSelectionModel(oxSelectionModel* model) {
    if (model == model_) return;
    if (model) model->AddRef();
    oxSelectionModel* old = model_;
    model_ = model;
    if (!old) return;
    old->ForgetOwner();
    old->Release();
}

void oxSelectBox::MarkModelStale() {
    if (auto* list = dynamic_cast<oxListSelectionModel*>(model_)) list->MarkStale();
}

void oxSelectBox::OnSceneAttached() {
    const WCHAR* value = oxControlBox::GetValue();
    if (model_ && value && *value) {
        const int row = FindRowByValue(value);
        if (row >= 0) model_->MoveCursor(row, 1, false);
    }
    oxControlBox::OnSceneAttached();
}

const WCHAR* oxSelectBox::GetAttribute(oxAtom attribute) {
    static WCHAR buffer[256];
    switch (attribute) {
    case kAtomCursorIndex:
    case kAtomSelectedIndex: {
        const int n = !model_ ? -1 : attribute == kAtomCursorIndex ? model_->GetCursor() : model_->GetFirstSelected();
        IntToText(n, buffer, 256, 10);
        return buffer;
    }
    case kAtomSelectOnMouseUp:
        return selectOnMouseUp_ ? u"true" : u"false";
    case kAtomRightMouseMode: {
        const uint32_t mode = GetModeFlags();
        return mode & kRightMouseCursor ? u"cursor" : mode & kRightMouseSelect ? u"select" : u"none";
    }
    default:
        return oxControlBox::GetAttribute(attribute);
    }
}

int32_t oxSelectBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    switch (attribute) {
    case kAtomCursorIndex:
    case kAtomSelectedIndex: {
        int32_t n = 0;
        if (!value || !ParseDecimalInt(value, &n, 0) || !model_) return 0;
        if (attribute == kAtomCursorIndex)
            model_->SetCursor(n);
        else
            model_->SelectIndex(n);
        return 0;
    }
    case kAtomSelectOnMouseUp:
        selectOnMouseUp_ = ReadsTrue(value);
        return 0;
    case kAtomEnableTransitions:
        enableTransitions_ = ReadsTrue(value);
        return 0;
    case kAtomRightMouseMode: {
        uint32_t bit = 0;
        if (value && wcscmp(value, u"cursor") == 0) bit = kRightMouseCursor;
        if (value && wcscmp(value, u"select") == 0) bit = kRightMouseSelect;
        if (!bit) return 0;
        SetMode(kRightMouseCursor | kRightMouseSelect, bit, kAtomRightMouseMode);
        return 0;
    }
    default:
        return oxControlBox::SetAttribute(attribute, value, notify, forced);
    }
}

void oxSelectBox::SetSelectMode(uint32_t value) {
    oxControlBox::SetSelectMode(value);
    if (model_) model_->SetSelectMode(GetSelectMode());
}

void oxSelectBox::SetCursorMode(uint32_t value) {
    oxControlBox::SetCursorMode(value);
    if (model_) model_->SetCursorMode(GetCursorMode());
}

void oxSelectBox::SetChangeFlag(uint32_t mask, bool on) {
    // Rows came or went: the model reads the rows again before it next answers.
    if ((mask & kChangeLayoutStale) && on) {
        rowsValid_ = false;
        if (GetScene()) MarkModelStale();
    }
    oxControlBox::SetChangeFlag(mask, on);
}

void oxSelectBox::SetValue(const WCHAR* text) {
    oxControlBox::SetValue(text);
    if (!TestChangeFlags(kChangeAttached) || !model_ || !text) return;
    const int row = FindRowByValue(text);
    if (row >= 0) model_->MoveCursor(row, 1, false);
}

oxBox* oxSelectBox::GetSelectedBox() {
    return model_ ? GetRowBox(model_->GetFirstSelected()) : nullptr;
}

void oxSelectBox::MoveCursorToBox(oxBox* row, int action) {
    const int index = GetRowIndex(row);
    if (index >= 0 && model_) model_->MoveCursor(index, action, false);
}

void oxSelectBox::ExpandRow(int row, bool animate, bool keepSelection) {
    if (oxGridLayout* grid = GridOf(this))
        grid->ExpandRow(GetRowBox(row), animate && enableTransitions_, keepSelection);
}

void oxSelectBox::ContractRow(int row, bool animate, bool keepSelection) {
    if (oxGridLayout* grid = GridOf(this))
        grid->CollapseRow(GetRowBox(row), animate && enableTransitions_, keepSelection);
}

void oxSelectBox::ToggleRow(int row) {
    if (oxGridLayout* grid = GridOf(this)) grid->ToggleRowControl(GetRowBox(row));
}

int32_t oxSelectBox::GetSortColumn() {
    oxGridLayout* grid = GridOf(this);
    return grid ? grid->GetSortColumn() : 0;
}

void oxSelectBox::SetSortColumn(int32_t column) {
    if (oxGridLayout* grid = GridOf(this)) grid->SetSortColumn(column);
}

namespace {

// The sort, applied between the two pictures of the transition that slides the rows to their new
// places; the rows' rectangles are read from the grid laid out again.
class SortToggle final : public oxRowToggle {
public:
    SortToggle(oxSelectBox* box, oxGridLayout* grid, bool ascending) : box_(box), grid_(grid), ascending_(ascending) {}
    void Apply() override {
        grid_->SortRows(ascending_ ? 1 : 0);
        box_->MarkModelStale();
        box_->InvalidateUpToPopup();
        box_->RequestLayout();
    }
    void CollectItems(oxSnapshotItemList* items) override {
        if (box_->TestChangeFlags(kChangeLayoutStale)) ArrangeInLastPlacement(box_);
        grid_->CollectSnapshotItems(items);
    }

private:
    oxSelectBox* box_;
    oxGridLayout* grid_;
    bool ascending_;
};

} // namespace

void oxSelectBox::SortByValue(bool animate, bool ascending) {
    oxGridLayout* grid = GridOf(this);
    if (!grid) return;
    SortToggle sort(this, grid, ascending);
    const bool slide = animate && enableTransitions_ && !IsCollapsed() && !IsEffectivelyHidden() &&
                       !(GetStateFlags() & (kStateHiddenByAncestor | kStateExcluded));
    // Without a picture to start from (no frame, no memory) the rows are sorted at once.
    if (!slide || !oxGetGridServices().AnimateRowToggle(this, sort, u"rectSorter", 400, u"smoothSpline",
                                                        oxRowTransitionBackground(this)))
        sort.Apply();
    RequestRepaint();
}

void oxSelectBox::MoveSelectionOutOf(oxBox* rows) {
    if (!rows || !model_) return;
    oxBox* contracted = rows->GetParent();
    bool current = false, selected = false;
    for (oxBox* row : std::vector<oxBox*>(Rows())) {
        if (!rows->IsAncestorOf(row)) continue;
        const WCHAR* mark = row->GetAttributeText(kAtomCurrent);
        current = current || (mark && mark[0] == u't');
        selected = selected || (row->GetStateFlags() & kStateSelected);
        SetRowCurrent(row, false);
        SetRowSelected(row, false);
    }
    MarkModelStale();
    if (current && contracted) MoveCursorToBox(contracted, selected ? 1 : 0);
}

// A list laid out by the flex layout shows the rows that its scroll offset and height take in; the
// paging commands would otherwise have no page to move by.
void oxSelectBox::FindVisibleRows(int* first, int* last) {
    if (oxGridLayout* grid = GridOf(this)) {
        *first = grid->GetFirstVisibleRow();
        *last = grid->GetLastVisibleRow();
        return;
    }
    *first = *last = -1;
    const std::vector<oxBox*>& rows = Rows();
    const int64_t top = GetScrollY(), bottom = top + GetPacked(1).y;
    for (size_t i = 0; i < rows.size(); ++i) {
        int64_t y = 0;
        for (oxBox* b = rows[i]; b && b != this; b = b->GetParent())
            y += b->GetPacked(0).y;
        const int64_t height = rows[i]->GetPacked(1).y;
        if (height > 0 && y + height > top && y < bottom) {
            if (*first < 0) *first = int(i);
            *last = int(i);
        } else if (*first >= 0 && height > 0) {
            break;
        }
    }
}

void oxSelectBox::ScrollToRow(int32_t index) {
    if (GridOf(this)) {
        oxControlBox::ScrollToRow(index);
        return;
    }
    oxBox* row = GetRowBox(index);
    if (!row) return;
    int64_t y = 0;
    for (oxBox* b = row; b && b != this; b = b->GetParent())
        y += b->GetPacked(0).y;
    // By a delta, which keeps the scroll bar's value in step.
    ScrollByY(int32_t(y - GetScrollY()));
}

int oxSelectBox::GetFirstVisibleRowIndex() {
    int first, last;
    FindVisibleRows(&first, &last);
    return first;
}

int oxSelectBox::GetLastVisibleRowIndex() {
    int first, last;
    FindVisibleRows(&first, &last);
    return last;
}

const std::vector<oxBox*>& oxSelectBox::Rows() {
    if (rowsValid_) return rows_;
    rows_.clear();
    rowIndexes_.clear();
    for (oxBox* b = GetNextBox(this, false, false); b;) {
        if (IsRowBox(b)) rows_.push_back(b);
        b = b->GetNextBox(this, b->GetBoxType() == kAtomSelect, false);
    }
    rowsValid_ = true;
    return rows_;
}

// The flex layout's rows are kept at hand, as each cursor step asks for rows by index several times;
// a grid layout keeps its own.
int oxSelectBox::GetRowCount() {
    if (oxGridLayout* grid = GridOf(this)) return grid->CountSelectable(this);
    return int(Rows().size());
}

oxBox* oxSelectBox::GetRowBox(int index) {
    if (oxGridLayout* grid = GridOf(this)) return grid->FindSelectableAt(this, index);
    const std::vector<oxBox*>& rows = Rows();
    return index >= 0 && index < int(rows.size()) ? rows[size_t(index)] : nullptr;
}

int oxSelectBox::GetRowIndex(oxBox* row) {
    if (!row) return -1;
    if (oxGridLayout* grid = GridOf(this)) return grid->FindSelectableIndex(this, row);
    const std::vector<oxBox*>& rows = Rows();
    if (rowIndexes_.empty())
        for (size_t i = 0; i < rows.size(); ++i)
            rowIndexes_.emplace(rows[i], int(i));
    auto it = rowIndexes_.find(row);
    return it == rowIndexes_.end() ? -1 : it->second;
}

int oxSelectBox::CountRowsIn(oxBox* box) {
    return box ? RowLayout(box)->CountSelectable(box) : 0;
}

void oxSelectBox::CollectRows(std::vector<oxBox*>* rows) {
    if (GridOf(this)) {
        // A grid orders its rows itself (sorted, nested rows open or closed).
        const int n = GetRowCount();
        rows->clear();
        for (int i = 0; i < n; ++i)
            rows->push_back(GetRowBox(i));
        return;
    }
    *rows = Rows();
}

int oxSelectBox::FindRowByValue(const WCHAR* text) {
    if (!text) return -1;
    int index = 0;
    for (oxBox* b = GetNextBox(this, false, false); b; b = b->GetNextBox(this, false, false)) {
        if (b->GetBoxType() != kAtomControl) continue;
        auto* control = dynamic_cast<oxControlBox*>(b);
        const WCHAR* value = control ? control->GetValue() : b->GetAttribute(kAtomValue);
        if (value && wcscmp(value, text) == 0) return index;
        ++index;
    }
    return -1;
}

bool oxSelectBox::SetRowSelected(oxBox* row, bool on) {
    if (!row || row->GetSelectableMode() == kModeSelectableBlock) return false;
    row->SetSelected(on, true);
    const WCHAR* text = on ? u"true" : u"false";
    for (oxBox* b = row->GetNextBox(row, false, false); b;) {
        const bool rows = b->GetTag() == kAtomRows;
        if (!rows) b->SetAttribute(kAtomItemSelected, text, true, false);
        b = b->GetNextBox(row, rows, false);
    }
    return true;
}

void oxSelectBox::SetRowCurrent(oxBox* row, bool on) {
    if (!row) return;
    row->SetAttribute(kAtomCurrent, on ? u"true" : u"false", true, false);
    if (IsFocusedBox() || !on) row->SetFocused(on, true, true);
}

void oxSelectBox::CursorChanged(int now, int old, int action) {
    // An open tooltip belongs to the box under the pointer: when the rows scroll to the cursor and
    // another box comes under it, the tooltip closes.
    oxInputScene* scene = GetInputScene(this);
    oxFrameInput* input = scene ? scene->GetFrameInput() : nullptr;
    oxBox* under = input && input->GetTrackedPopup() ? BoxUnderPointer(this) : nullptr;
    if (!under) {
        ShowCursorChange(now, old, action);
        return;
    }
    // The select events may let go of the box.
    AddRef();
    ShowCursorChange(now, old, action);
    if (input->GetTrackedPopup() && BoxUnderPointer(this) != under) input->CloseTrackedPopup();
    Release();
}

void oxSelectBox::ShowCursorChange(int now, int old, int action) {
    if (old >= 0) {
        oxBox* row = GetRowBox(old);
        if (row && IsLiveRow(row)) SetRowCurrent(row, false);
    }
    NotifyAttributeChange(kAtomCursorIndex, true);
    oxBox* row = now >= 0 ? GetRowBox(now) : nullptr;
    if (!row || !IsLiveRow(row)) return;
    SetRowCurrent(row, true);
    if (GetStateFlags() & kStateOverflowed) ScrollToBox(row);
    if (action == 0) return;
    const WCHAR* value = nullptr;
    const WCHAR* label = nullptr;
    RowValueAndLabel(row, &value, &label);
    oxControlBox::SetValue(value);
    if (label) SetLabel(label);
    FireSelect(now, old, row);
}

void oxSelectBox::FireSelect(int now, int old, oxBox* row) {
    oxControlSite* site = GetControlSite(this);
    if (!GetScene() || !site) return;
    AddRef();
    if (row) {
        oxSelectionEvent atRow(kAtomSelect, row, nullptr, now, old);
        site->DispatchEvent(&atRow);
    }
    oxSelectionEvent atList(kAtomSelect, this, nullptr, now, old);
    atList.AddFlags(kEventAtList);
    site->DispatchEvent(&atList);
    Release();
}

void oxSelectBox::DeleteRow(oxBox* row) {
    if (row) RowLayout(this)->RemoveRow(this, row);
}

void oxSelectBox::DeleteSelectedRows() {
    if (model_) model_->ClearAll(false);
    RowLayout(this)->RemoveSelectedRows(this);
}

void oxSelectBox::DeleteAllRows() {
    RowLayout(this)->RemoveAllRows(this);
}

void oxSelectBox::SelectAllRows() {
    if (model_) model_->SelectAll(GetRowCount() - 1);
}

oxBox* oxSelectBox::FindClickedRow(oxEvent* event, int* action, bool* block) {
    auto* target = dynamic_cast<oxBox*>(event->GetTarget());
    const WCHAR* ignore = oxControlBox::GetAttribute(kAtomIgnoreMouseDown);
    if ((ignore && wcscmp(ignore, u"true") == 0) || !target || target == this) return nullptr;
    oxBox* row = nullptr;
    for (oxBox* b = target; b && b != this; b = b->GetParent()) {
        const uint32_t mode = b->GetSelectableMode();
        if (mode == kModeSelectableItem || mode == kModeSelectableBlock) {
            row = b;
            *block = mode == kModeSelectableBlock;
            break;
        }
    }
    auto* mouse = dynamic_cast<oxUIEvent*>(event);
    *action = mouse && mouse->shift ? 3 : mouse && mouse->ctrl ? 2 : 1;
    return row;
}

void oxSelectBox::ApplyClick(int index, int action, bool block, int button, bool skip) {
    if (!model_) return;
    if (button == 2) {
        const uint32_t mode = GetModeFlags();
        if (mode & kRightMouseCursor) {
            model_->MoveCursor(index, 0, true);
        } else if ((mode & kRightMouseSelect) && !block) {
            model_->MoveCursor(index, model_->IsSelected(index) ? 0 : 1, skip);
        }
        return;
    }
    if (!block) model_->MoveCursor(index, action, true);
}

void oxSelectBox::OnMouseDown(oxEvent* event) {
    g_pendingRow = -1;
    int action = 1;
    bool block = false;
    oxBox* row = FindClickedRow(event, &action, &block);
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    const int button = mouse ? mouse->button : 1;
    if (row) {
        if (row->IsEffectivelyDisabled() || !model_) return;
        const int index = GetRowIndex(row);
        if (index < 0) return;
        if (model_->IsSelected(index) && model_->HasMultipleSelected()) {
            g_pendingRow = index;
            g_pendingAction = action;
            return;
        }
        ApplyClick(index, action, block, button, false);
        return;
    }
    if (model_ && event->GetTarget() == static_cast<oxReferenced*>(this) &&
        ReadsTrue(oxControlBox::GetAttribute(kAtomClearSelectionOnBlankClick))) {
        const int cursor = model_->GetCursor();
        model_->ClearSelection();
        model_->MoveCursor(cursor, 0, true);
    }
}

void oxSelectBox::OnMouseUp(oxEvent* event) {
    int action = 1;
    bool block = false;
    int index;
    if (selectOnMouseUp_) {
        oxBox* row = FindClickedRow(event, &action, &block);
        if (!row || row->IsEffectivelyDisabled()) return;
        index = GetRowIndex(row);
    } else {
        if (g_pendingRow < 0) return;
        index = g_pendingRow;
        action = g_pendingAction;
        g_pendingRow = -1;
        oxBox* row = GetRowBox(index);
        block = row && row->GetSelectableMode() == kModeSelectableBlock;
    }
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (index >= 0) ApplyClick(index, action, block, mouse ? mouse->button : 1, true);
}

int32_t oxSelectBox::HandleEvent(oxEvent* event) {
    const int32_t result = oxControlBox::HandleEvent(event);
    const oxAtom type = event ? event->GetType() : 0;
    if (type == kAtomMouseDown && !selectOnMouseUp_) {
        OnMouseDown(event);
    } else if (type == kAtomMouseUp) {
        OnMouseUp(event);
    } else if (type == kAtomFocus && model_) {
        if (oxBox* row = model_->GetCursorRow())
            row->SetFocused(true, true, true);
        else
            model_->MoveCursor(0, 0, true);
    } else if (type == kAtomBlur && model_) {
        if (oxBox* row = model_->GetCursorRow()) row->SetFocused(false, true, true);
    }
    return result;
}
