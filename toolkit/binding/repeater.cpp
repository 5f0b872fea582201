#include "toolkit/binding/repeater.h"

#include <algorithm>
#include <new>

#include "runtime/script_object.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/data_selection_model.h"
#include "toolkit/binding/row_template.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/row_source.h"

using NUBO::XVariant;

namespace {

// Beyond this many rows a "full" repeater makes its boxes as the layout asks for them, like a
// "lazy" one: a million boxes made at once would take the machine.
constexpr int kMaxEagerRows = 100000;

const std::vector<oxRowTemplate*> kNoTemplates;

// The layout that shows the rows: the container's, else the nearest layout root's above it.
oxRowViewport* ViewportOf(oxBox* container) {
    for (oxBox* b = container; b; b = b->GetParent()) {
        if (auto* viewport = dynamic_cast<oxRowViewport*>(b->GetLayoutIfMade())) return viewport;
        if (b != container && b->TestChangeFlags(kChangeLayoutRoot)) break;
    }
    return nullptr;
}

} // namespace

// Hears the collapsed state of the row box that holds a child repeater.
class oxRepeater::CollapseListener final : public oxChangeListener {
public:
    explicit CollapseListener(oxRepeater* repeater) : repeater_(repeater) {}
    ULONG AddRef() override { return ++count_; }
    ULONG Release() override {
        ULONG n = --count_;
        if (n == 0) delete this;
        return n;
    }
    void OnAttributeChanged(oxBox* box, oxAtom attribute) override {
        if (attribute != kAtomCollapsed || !repeater_ || !repeater_->tree_) return;
        if (box->IsCollapsed() == repeater_->IsCollapsed()) return;
        if (box->IsCollapsed())
            repeater_->tree_->Collapse(repeater_);
        else
            repeater_->tree_->Expand(repeater_);
    }
    void OnStyleChanged(oxBox*, int) override {}
    void Forget() { repeater_ = nullptr; }

private:
    ULONG count_ = 0;
    oxRepeater* repeater_;
};

oxRepeater::oxRepeater(oxRowTree* tree, oxRepeater* parent, int rowIndex, int depth)
    : tree_(tree), rowIndex_(rowIndex), parent_(parent), depth_(depth) {}

oxRepeater::~oxRepeater() {
    DestroyChildren();
    if (collapseListener_) {
        collapseListener_->Forget();
        if (holder_) holder_->RemoveChangeListener(collapseListener_);
        collapseListener_->Release();
    }
    SetSourceObject(nullptr);
}

void oxRepeater::SetSourceObject(oxBindingSource* source) {
    if (source == source_) return;
    if (source_) {
        source_->RemoveListener(this);
        source_->ReleaseSourceRef();
    }
    source_ = source;
    if (source_) {
        source_->AddSourceRef();
        source_->AddListener(this);
    }
}

const std::vector<oxRowTemplate*>& oxRepeater::Templates() const {
    return binding_ ? binding_->GetTemplates() : kNoTemplates;
}

int oxRepeater::ChooseTemplate(int index) const {
    // The first template whose condition holds wins; one without a condition always holds.
    const std::vector<oxRowTemplate*>& templates = Templates();
    for (size_t t = 0; t < templates.size(); ++t)
        if (!templates[t]->HasMatch() || templates[t]->Matches(source_, index)) return int(t);
    return -1;
}

const oxRowTemplate* oxRepeater::GetRowTemplate(int index) const {
    if (index < 0 || index >= int(rows_.size())) return nullptr;
    int t = rows_[size_t(index)].templateIndex;
    const std::vector<oxRowTemplate*>& templates = Templates();
    return t >= 0 && t < int(templates.size()) ? templates[size_t(t)] : nullptr;
}

oxRepeater* oxRepeater::GetChildAtRow(int index) const {
    for (oxRepeater* c : children_)
        if (c->rowIndex_ == index) return c;
    return nullptr;
}

void oxRepeater::AttachSource() {
    RemoveRowBoxes();
    DestroyChildren();
    int count = source_ ? source_->GetCount() : 0;
    rows_.assign(size_t(std::max(count, 0)), Row{});
}

void oxRepeater::Populate(oxBox* container, oxBindingElement* binding) {
    binding_ = binding;
    container_ = container;
    if (!container || Templates().empty() || !source_) return;
    // A script that the rows' reads run may change the collection meanwhile: the rows are then
    // built again from what the collection holds once this pass is over.
    if (populating_) {
        changedWhilePopulating_ = true;
        return;
    }
    populating_ = true;
    for (int pass = 0; pass < 3; ++pass) {
        changedWhilePopulating_ = false;
        BuildRows();
        if (!changedWhilePopulating_) break;
    }
    populating_ = false;
}

void oxRepeater::BuildRows() {
    AttachSource();
    const int count = int(rows_.size());
    const bool eager = replication_ == kAtomFull && count <= kMaxEagerRows;
    oxBoxScene* scene = container_->GetScene();
    // The boxes are made first and go into the container together: a painted container looks its
    // whole subtree over for every insertion, which row by row would cost the square of the rows.
    std::vector<oxBox*> made;
    std::vector<int> madeRows;
    for (int i = 0; i < count && i < int(rows_.size()) && !changedWhilePopulating_ && scene; ++i) {
        int t = ChooseTemplate(i);
        bool nested = t >= 0 && Templates()[size_t(t)]->HasNested();
        if (!eager && !nested) continue;
        if (t < 0) continue;
        oxBox* box = Templates()[size_t(t)]->MakeRowBox(scene, source_, i);
        if (!box) continue;
        rows_[size_t(i)] = {box, t};
        made.push_back(box);
        madeRows.push_back(i);
        if (nested) MakeChildRepeater(i);
    }
    if (changedWhilePopulating_) {
        // The rows read so far describe a collection that has changed since: they are dropped.
        DestroyChildren();
        for (oxBox* box : made)
            box->Release();
        for (Row& row : rows_)
            row = Row{};
        return;
    }
    if (made.empty()) return;
    oxBox* owner = container_->GetGadgetElement() ? container_ : container_->GetOwner();
    for (oxBox* box : made)
        box->SetOwner(owner);
    if (container_->GetContentPart()) {
        for (oxBox* box : made)
            container_->AddContentChild(box, nullptr, false);
    } else {
        container_->InsertChildrenAt(container_->GetChildCount(), made.data(), int(made.size()), nullptr, false);
    }
    for (size_t k = 0; k < made.size(); ++k) {
        if (!made[k]->GetParent()) {
            // The container refused it (too deep): the row stays without a box.
            rows_[size_t(madeRows[k])] = Row{};
            made[k]->Release();
            continue;
        }
        OnRowBoxAdded(made[k], madeRows[k]);
    }
}

oxBox* oxRepeater::GetRowBox(int index) {
    if (index < 0 || index >= int(rows_.size())) return nullptr;
    if (oxBox* box = rows_[size_t(index)].box) return box;
    if (!container_ || !source_ || Templates().empty()) return nullptr;
    return MakeRow(index);
}

oxBox* oxRepeater::MakeRow(int index) {
    int t = ChooseTemplate(index);
    if (t < 0 || !container_ || !container_->GetScene()) return nullptr;
    const oxRowTemplate* tpl = Templates()[size_t(t)];
    oxBox* box = replication_ == kAtomRecycle ? Recycle(index, t) : nullptr;
    if (box) return box;
    box = tpl->MakeRowBox(container_->GetScene(), source_, index);
    if (!box) return nullptr;
    rows_[size_t(index)] = {box, t};
    AddRowBox(box, index);
    if (box->GetParent() == nullptr) {
        // The container refused it (too deep): the row stays without a box.
        rows_[size_t(index)] = {};
        box->Release();
        return nullptr;
    }
    return box;
}

void oxRepeater::AddRowBox(oxBox* box, int index) {
    box->SetOwner(container_->GetGadgetElement() ? container_ : container_->GetOwner());
    // Rows keep their order among the container's children; markup children stay where they are.
    oxBox* next = nullptr;
    for (size_t j = size_t(index) + 1; j < rows_.size() && !next; ++j)
        next = rows_[j].box && rows_[j].box->GetParent() ? rows_[j].box : nullptr;
    if (container_->GetContentPart()) {
        if (!next) {
            container_->AddContentChild(box, nullptr, false);
        } else {
            int before = 0;
            for (int c = 0; c < container_->GetContentChildCount(); ++c)
                if (container_->GetContentChildAt(c) == next) before = c;
            container_->InsertContentChildAt(before, box, nullptr, false);
        }
    } else if (next && next->GetParent() == container_) {
        container_->InsertChildrenAt(next->GetIndex(), &box, 1, nullptr, false);
    } else {
        container_->AddChild(box, nullptr, false);
    }
    if (box->GetParent()) OnRowBoxAdded(box, index);
}

void oxRepeater::OnRowBoxAdded(oxBox* box, int index) {
    // Two-way bindings hear the row boxes that carry fields.
    const oxRowTemplate* tpl = GetRowTemplate(index);
    if (binding_ && binding_->IsTwoWay() && tpl && tpl->HasExpressions()) box->AddChangeListener(binding_);
    if (oxRowViewport* viewport = ViewportOf(container_)) viewport->OnRowBoxAdded(box);
    if (oxDataSelectionModel* selection = tree_ ? tree_->GetSelectionModelIfMade() : nullptr) {
        XVariant key;
        GetRowKey(index, &key);
        selection->OnRowCreated(box, key, this);
    }
}

oxBox* oxRepeater::Recycle(int index, int templateIndex) {
    const oxRowTemplate* tpl = Templates()[size_t(templateIndex)];
    oxRowViewport* viewport = ViewportOf(container_);
    if (!viewport || tpl->HasNested() || !tree_) return nullptr;
    int direction = viewport->GetRowScrollDirection();
    int from = 0, to = -1;
    if (direction == 1) {
        from = 0;
        to = viewport->GetFirstVisibleRow() - 1;
    } else if (direction == 2) {
        from = viewport->GetLastVisibleRow() + 1;
        to = tree_->CountRows() - 1;
    } else {
        return nullptr;
    }
    for (int flat = from; flat <= to; ++flat) {
        oxRepeater* owner = nullptr;
        int local = -1;
        if (!tree_->LocateRow(flat, &owner, &local) || owner->IsCollapsed()) continue;
        Row& row = owner->rows_[size_t(local)];
        if (!row.box || row.templateIndex != templateIndex || (owner == this && local == index)) continue;
        oxBox* box = row.box;
        row = Row{};
        if (oxBox* parent = box->GetParent()) parent->RemoveChild(box, false);
        rows_[size_t(index)] = {box, templateIndex};
        AddRowBox(box, index);
        if (!box->GetParent()) {
            rows_[size_t(index)] = {};
            box->Release();
            return nullptr;
        }
        RefreshRow(index, nullptr);
        return box;
    }
    return nullptr;
}

void oxRepeater::MakeChildRepeater(int index) {
    const oxRowTemplate* tpl = GetRowTemplate(index);
    oxBox* rowBox = GetMadeRowBox(index);
    if (!tpl || !tpl->HasNested() || !rowBox || !source_) return;
    XVariant value;
    if (source_->GetValueAt(index, tpl->GetNestedField().GetString(), &value) != 0) return;
    NUBO::XObject* object = value.ToXObject();
    if (!object) return; // not a collection: the row gets no child repeater
    oxBindingSource* nested = nullptr;
    bool made = CreateObjectSourceFor(object, &nested);
    object->Release();
    if (!made || !nested) return;
    auto* child = new (std::nothrow) oxRepeater(tree_, this, index, depth_ + 1);
    if (!child) {
        nested->ReleaseSourceRef();
        return;
    }
    child->binding_ = binding_;
    child->replication_ = replication_;
    child->key_ = tpl->GetNestedKey() ? tpl->GetNestedKey() : key_;
    const std::vector<int>& path = tpl->GetRecursePath();
    oxBox* container = oxRowTemplate::Descend(rowBox, path, path.empty() ? 0 : path.size() - 1);
    if (container && container->GetContentPart()) container = container->GetContentPart();
    auto at = std::find_if(children_.begin(), children_.end(), [&](oxRepeater* c) { return c->rowIndex_ > index; });
    children_.insert(at, child);
    child->SetSourceObject(nested);
    nested->ReleaseSourceRef();
    child->holder_ = rowBox;
    child->collapsed_ = rowBox->IsCollapsed();
    child->collapseListener_ = new (std::nothrow) CollapseListener(child);
    if (child->collapseListener_) {
        child->collapseListener_->AddRef();
        rowBox->AddChangeListener(child->collapseListener_);
    }
    child->Populate(container ? container : rowBox, binding_);
}

void oxRepeater::DestroyChildren() {
    std::vector<oxRepeater*> children;
    children.swap(children_);
    for (oxRepeater* c : children) {
        if (tree_) tree_->RemoveRepeater(c);
        delete c;
    }
}

void oxRepeater::DestroyRowBox(oxBox* box) {
    if (!box) return;
    oxBoxScene* scene = box->GetScene();
    // The box is unlinked first: its parent's child array holds the only reference to it.
    if (oxBox* parent = box->GetParent()) {
        if (parent->RemoveChild(box, false) != box) return;
    }
    if (scene)
        scene->DestroyBox(box);
    else
        box->Release();
}

void oxRepeater::RemoveRowBoxes() {
    for (size_t i = rows_.size(); i-- > 0;) {
        oxBox* box = rows_[i].box;
        rows_[i] = Row{};
        DestroyRowBox(box);
    }
}

int oxRepeater::FindRowIndexOfBox(oxBox* box) const {
    for (oxBox* b = box; b; b = b->GetParent()) {
        if (b == container_) return -1;
        if (b->GetParent() != container_ && !(container_ && b->GetParent() == container_->GetContentPart())) continue;
        for (size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].box == b) return int(i);
        return -1;
    }
    return -1;
}

void oxRepeater::GetRowKey(int index, XVariant* out) {
    if (!source_ || index < 0) return;
    if (HasIndexKeys()) {
        *out = index;
        return;
    }
    WCHAR name[oxAtoms::kLookupUnits];
    if (!oxAtoms::GetName(key_, name, oxAtoms::kLookupUnits)) return;
    XVariant value;
    if (source_->GetValueAt(index, name, &value) == 0) *out = value;
}

int oxRepeater::FindRowOfKey(const VARIANT& value) {
    if (HasIndexKeys()) return XVariant(value).ToInt32();
    if (!source_) return -1;
    WCHAR name[oxAtoms::kLookupUnits];
    if (!oxAtoms::GetName(key_, name, oxAtoms::kLookupUnits)) return -1;
    return source_->FindIndexOfValue(name, value);
}

void oxRepeater::RefreshRow(int index, const WCHAR* field) {
    oxBox* box = GetMadeRowBox(index);
    const oxRowTemplate* tpl = GetRowTemplate(index);
    if (!box || !tpl || !source_) return;
    // The values written are the source's own: they must not travel back to it.
    bool was = binding_ && binding_->IsUpdating();
    if (binding_) binding_->SetUpdating(true);
    source_->ClearRowCache();
    tpl->Refresh(box, source_, index, field);
    if (binding_) binding_->SetUpdating(was);
}

void oxRepeater::Relayout() {
    if (!container_) return;
    container_->InvalidateUpToPopup();
    container_->RequestLayout();
    container_->RequestRepaint();
}

void oxRepeater::OnArrayModified(oxBindingSource* source, int kind, int index) {
    (void)source;
    if (binding_ && binding_->IsUpdating() && kind != kRowRemoved && kind != kRowAboutToBeRemoved &&
        kind != kRowInserted && kind != kRowsReset)
        return;
    OnChange(kind, index, nullptr);
}

void oxRepeater::OnTableModified(oxBindingSource* source, int kind, int index, const WCHAR* field) {
    (void)source;
    if ((kind == kRowRemoved || kind == kRowAboutToBeRemoved) && index < 1) return;
    OnChange(kind, index - 1, kind == kRowChanged ? field : nullptr);
}

void oxRepeater::OnChange(int kind, int index, const WCHAR* field) {
    if (!container_ || Templates().empty() || !source_ || !tree_) return;
    if (populating_) {
        changedWhilePopulating_ = true;
        return;
    }
    source_->ClearRowCache();
    oxDataSelectionModel* selection = tree_->GetSelectionModelIfMade();
    switch (kind) {
    case kRowsReset:
    case kRowsResetKeepCurrent: {
        XVariant currentKey;
        oxRepeater* currentOwner = nullptr;
        if (selection) {
            currentKey = selection->GetCurrentKey(&currentOwner);
            if (kind == kRowsReset || currentOwner != this) selection->OnReset();
        }
        if (this == tree_) tree_->Reset(kind == kRowsResetKeepCurrent);
        Populate(container_, binding_);
        tree_->Renumber();
        if (replication_ != kAtomFull) Relayout();
        if (kind == kRowsResetKeepCurrent && selection && currentOwner == this)
            selection->SelectByData(currentKey, this);
        break;
    }
    case kRowInserted:
        if (index < 0 || index > int(rows_.size())) return;
        InsertRow(index);
        break;
    case kRowChanged:
        if (index < 0 || index >= int(rows_.size())) return;
        RefreshRow(index, field);
        if (replication_ != kAtomFull && GetMadeRowBox(index)) Relayout();
        break;
    case kRowRemoved:
        if (index < 0 || index >= int(rows_.size())) return;
        RemoveRow(index);
        break;
    case kRowAboutToBeRemoved: {
        if (index < 0 || index >= int(rows_.size())) return;
        if (selection) {
            XVariant key;
            GetRowKey(index, &key);
            selection->UnselectKey(key, this, false);
        }
        removalPending_ = true;
        break;
    }
    default:
        break;
    }
}

void oxRepeater::InsertRow(int index) {
    rows_.insert(rows_.begin() + index, Row{});
    for (oxRepeater* c : children_)
        if (c->rowIndex_ >= index) ++c->rowIndex_;
    oxDataSelectionModel* selection = tree_->GetSelectionModelIfMade();
    if (selection && HasIndexKeys()) selection->ShiftIndexKeys(this, index, 1);
    int t = ChooseTemplate(index);
    bool nested = t >= 0 && Templates()[size_t(t)]->HasNested();
    if ((replication_ == kAtomFull && int(rows_.size()) <= kMaxEagerRows) || nested) {
        MakeRow(index);
        if (nested) MakeChildRepeater(index);
    }
    tree_->Renumber();
    int flat = tree_->FlatRowOf(this, index);
    if (flat >= 0) tree_->NotifySelection(0, flat, 1, this);
    if (replication_ != kAtomFull) Relayout();
}

void oxRepeater::RemoveRow(int index) {
    int flat = tree_->FlatRowOf(this, index);
    oxDataSelectionModel* selection = tree_->GetSelectionModelIfMade();
    if (selection && !removalPending_) {
        XVariant key;
        GetRowKey(index, &key);
        selection->UnselectKey(key, this, false);
    }
    removalPending_ = false;
    int removedRows = 1;
    if (oxRepeater* child = GetChildAtRow(index)) {
        if (!child->IsCollapsed()) removedRows += child->GetSpan();
        children_.erase(std::find(children_.begin(), children_.end(), child));
        tree_->RemoveRepeater(child);
        delete child;
    }
    oxBox* box = rows_[size_t(index)].box;
    rows_.erase(rows_.begin() + index);
    for (oxRepeater* c : children_)
        if (c->rowIndex_ > index) --c->rowIndex_;
    if (selection && HasIndexKeys()) selection->ShiftIndexKeys(this, index + 1, -1);
    DestroyRowBox(box);
    if (replication_ != kAtomFull) Relayout();
    tree_->Renumber();
    if (flat >= 0) tree_->NotifySelection(1, flat, removedRows, this);
}
