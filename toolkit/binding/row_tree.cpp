#include "toolkit/binding/row_tree.h"

#include <algorithm>

#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/data_selection_model.h"
#include "toolkit/binding/row_template.h"
#include "toolkit/core/box.h"

oxRowTree::oxRowTree(oxBindingElement* binding) : oxRepeater(this, nullptr, -1, -1) {
    binding_ = binding;
    flat_.push_back(this);
}

oxRowTree::~oxRowTree() {
    if (container_) oxSetRowSource(container_, nullptr);
    DestroyChildren();
    if (selection_) {
        selection_->ForgetTree();
        selection_->Release();
    }
    // The base destructor lets go of the source; the row boxes stay with their container.
}

void oxRowTree::SetSource(oxBindingSource* source) {
    DestroyChildren();
    SetSourceObject(source);
    Reset(false);
}

void oxRowTree::Detach() {
    RemoveRowBoxes();
    DestroyChildren();
    rows_.clear();
    SetSourceObject(nullptr);
    if (container_) oxSetRowSource(container_, nullptr);
    container_ = nullptr;
    Reset(false);
    Renumber();
}

void oxRowTree::Reset(bool keepSelection) {
    if (!keepSelection && selection_) selection_->Clear(false);
    flat_.clear();
    flat_.push_back(this);
}

void oxRowTree::Populate(oxBox* container, oxBindingElement* binding) {
    firstRow_ = -1;
    depth_ = -1;
    if (container) oxSetRowSource(container, this);
    oxRepeater::Populate(container, binding);
    Renumber();
}

void oxRowTree::AttachToList(oxBox* list, oxSelectionOwner* owner) {
    (void)list;
    if (!owner) return;
    oxDataSelectionModel* model = GetSelectionModel(true);
    if (!model) return;
    model->SetOwner(owner);
    oxSelectionModel* held = owner->GetSelectionModel();
    if (held == model) return;
    // The list's modes carry over, so the rows behave as the markup asked of the list.
    if (held) {
        model->SetModeAtom(held->GetModeAtom());
        model->SetSelectMode(held->GetSelectMode());
        model->SetCursorMode(held->GetCursorMode());
    }
    owner->SetSelectionModel(model);
}

oxDataSelectionModel* oxRowTree::GetSelectionModel(bool create) {
    if (!selection_ && create) {
        selection_ = new (std::nothrow) oxDataSelectionModel(this, nullptr);
        if (selection_) selection_->AddRef();
    }
    return selection_;
}

int oxRowTree::Number(oxRepeater* repeater, int first) {
    repeater->firstRow_ = first;
    flat_.push_back(repeater);
    // Rows are numbered from first + 1; an open child's rows follow the row that holds it.
    int last = first;
    int done = 0;
    for (oxRepeater* child : repeater->children_) {
        last += child->rowIndex_ + 1 - done;
        done = child->rowIndex_ + 1;
        if (child->collapsed_ || child->hidden_) {
            child->firstRow_ = last;
            child->span_ = child->GetRowCount();
            continue;
        }
        last = Number(child, last);
    }
    last += repeater->GetRowCount() - done;
    repeater->span_ = last - first;
    return last;
}

void oxRowTree::Renumber() {
    flat_.clear();
    Number(this, -1);
}

int oxRowTree::CountRows() {
    return span_;
}

bool oxRowTree::LocateRow(int flatRow, oxRepeater** repeater, int* index) {
    if (flatRow < 0 || flatRow >= span_) return false;
    // The last repeater that starts before the row; its ancestors when the row lies past its span.
    auto it = std::upper_bound(flat_.begin(), flat_.end(), flatRow,
                               [](int row, const oxRepeater* r) { return row <= r->firstRow_; });
    if (it == flat_.begin()) return false;
    oxRepeater* r = *(it - 1);
    while (r && flatRow > r->firstRow_ + r->span_)
        r = r->parent_;
    if (!r) return false;
    int local = flatRow - r->firstRow_ - 1;
    for (oxRepeater* child : r->children_) {
        if (child->collapsed_ || child->hidden_ || child->firstRow_ >= flatRow) continue;
        local -= child->span_;
    }
    if (local < 0 || local >= r->GetRowCount()) return false;
    *repeater = r;
    *index = local;
    return true;
}

int oxRowTree::FlatRowOf(const oxRepeater* repeater, int index) const {
    if (!repeater || index < 0 || index >= repeater->GetRowCount()) return -1;
    for (const oxRepeater* r = repeater; r->parent_; r = r->parent_)
        if (r->collapsed_ || r->hidden_) return -1;
    int flat = repeater->firstRow_ + 1 + index;
    for (oxRepeater* child : repeater->children_) {
        if (child->rowIndex_ >= index) break;
        if (!child->collapsed_ && !child->hidden_) flat += child->span_;
    }
    return flat;
}

oxBox* oxRowTree::GetRowBoxAt(int flatRow) {
    oxRepeater* r = nullptr;
    int index = -1;
    return LocateRow(flatRow, &r, &index) ? r->GetRowBox(index) : nullptr;
}

int oxRowTree::GetRowLevel(int flatRow) {
    oxRepeater* r = nullptr;
    int index = -1;
    return LocateRow(flatRow, &r, &index) ? r->depth_ + 1 : 0;
}

bool oxRowTree::FindRepeaterRowOfBox(oxBox* box, oxRepeater** repeater, int* index) {
    // The innermost repeater whose container holds the box owns its row.
    for (oxBox* b = box; b; b = b->GetParent()) {
        for (oxRepeater* r : flat_) {
            if (r->container_ != b->GetParent() &&
                !(r->container_ && b->GetParent() && b->GetParent() == r->container_->GetContentPart()))
                continue;
            for (int i = 0; i < r->GetRowCount(); ++i) {
                if (r->rows_[size_t(i)].box == b) {
                    *repeater = r;
                    *index = i;
                    return true;
                }
            }
        }
    }
    return false;
}

int oxRowTree::FindRowOfBox(oxBox* box, bool flat) {
    oxRepeater* r = nullptr;
    int index = -1;
    if (!FindRepeaterRowOfBox(box, &r, &index)) return -1;
    return flat ? FlatRowOf(r, index) : index;
}

int oxRowTree::FindRowOfKeyIn(oxRepeater* repeater, const VARIANT& value) {
    oxRepeater* r = repeater ? repeater : this;
    return FlatRowOf(r, r->FindRowOfKey(value));
}

const oxExpressionRecord* oxRowTree::GetKeyRecord(oxBox* box, oxAtom attribute, bool* isStyle) {
    oxRepeater* r = nullptr;
    int index = -1;
    if (!FindRepeaterRowOfBox(box, &r, &index)) return nullptr;
    const oxRowTemplate* tpl = r->GetRowTemplate(index);
    oxBox* rowBox = r->GetMadeRowBox(index);
    if (!tpl || !rowBox) return nullptr;
    std::vector<int> path;
    for (oxBox* b = box; b && b != rowBox; b = b->GetParent())
        path.insert(path.begin(), b->GetIndex());
    return tpl->FindRecord(path, attribute, isStyle);
}

oxRepeater* oxRowTree::FindRepeaterOfObject(NUBO::XObject* collection) const {
    for (oxRepeater* r : flat_)
        if (r->source_ && r->source_->GetDataObject() == collection) return r;
    return nullptr;
}

void oxRowTree::Collapse(oxRepeater* repeater) {
    if (!repeater || repeater == this || repeater->collapsed_) return;
    int holder = FlatRowOf(repeater->parent_, repeater->rowIndex_);
    if (selection_) {
        bool any = false;
        std::vector<oxRepeater*> branch{repeater};
        for (size_t i = 0; i < branch.size(); ++i) {
            for (oxRepeater* c : branch[i]->children_)
                branch.push_back(c);
            any = selection_->ForgetRepeater(branch[i]) || any;
        }
        if (any && holder >= 0) selection_->SelectRow(holder);
    }
    int count = repeater->span_;
    repeater->collapsed_ = true;
    Renumber();
    if (holder >= 0) NotifySelection(2, holder + 1, count, repeater);
}

void oxRowTree::Expand(oxRepeater* repeater) {
    if (!repeater || !repeater->collapsed_) return;
    repeater->collapsed_ = false;
    Renumber();
    int holder = FlatRowOf(repeater->parent_, repeater->rowIndex_);
    if (holder >= 0) NotifySelection(3, holder + 1, repeater->span_, repeater);
}

void oxRowTree::NotifySelection(int kind, int firstRow, int count, oxRepeater* repeater) {
    (void)repeater;
    if (selection_) selection_->OnRowsChanged(kind, firstRow, count);
}

void oxRowTree::RemoveRepeater(oxRepeater* repeater) {
    if (selection_) {
        std::vector<oxRepeater*> branch{repeater};
        for (size_t i = 0; i < branch.size(); ++i) {
            for (oxRepeater* c : branch[i]->children_)
                branch.push_back(c);
            selection_->ForgetRepeater(branch[i]);
        }
    }
    auto it = std::find(flat_.begin(), flat_.end(), repeater);
    if (it != flat_.end()) flat_.erase(it);
}
