// The box's child list, tree operations, navigation and attachment to a scene.
#include <cstdlib>
#include <cstring>

#include "platform/crt/wide.h"
#include "runtime/ptr_vector.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/collapsed_container_box.h"
#include "toolkit/core/event.h"

oxBox::ChildArray* oxBox::EmptyChildren() {
    static ChildArray empty = {0, 0, 0, {}};
    return &empty;
}

int oxBox::GetChildCount() const {
    return children_->count;
}

int oxBox::GetChildCapacity() const {
    return children_->capacity;
}

oxBox* oxBox::GetChildAt(int index, bool expand) {
    if (expand && (stateFlags_ & kStateContentPending)) ExpandCollapsedContent();
    if (index < 0 || index >= children_->count) return nullptr;
    return children_->Items()[index];
}

oxBox* oxBox::GetFirstChild(bool expand) {
    return GetChildAt(0, expand);
}

oxBox* oxBox::GetLastChild(bool expand) {
    if (expand && (stateFlags_ & kStateContentPending)) ExpandCollapsedContent();
    return GetChildAt(children_->count - 1, false);
}

void oxBox::AddChild(oxBox* child, const WCHAR* partName, bool expand) {
    InsertChildrenAt(-1, &child, 1, partName, expand);
}

// Grows the block to 2 x (capacity + extra) when `count` + extra does not fit; false when memory ran out.
bool oxBox::EnsureChildCapacity(int count, int extra) {
    ChildArray* old = children_;
    if (int64_t(count) + extra <= old->capacity) return true;
    int64_t capacity = 2 * (int64_t(old->capacity) + extra);
    if (capacity > 0x10000000) return false;
    auto* block = static_cast<ChildArray*>(std::malloc(sizeof(ChildArray) + size_t(capacity) * sizeof(oxBox*)));
    if (!block) return false;
    if (old == EmptyChildren()) {
        block->count = 0;
        block->contentIndex = 0;
        block->rect = bounds_;
    } else {
        block->count = old->count;
        block->contentIndex = old->contentIndex;
        block->rect = old->rect;
        std::memcpy(block->Items(), old->Items(), size_t(old->count) * sizeof(oxBox*));
        std::free(old);
    }
    block->capacity = int32_t(capacity);
    children_ = block;
    return true;
}

int oxBox::GetDepth() const {
    int depth = 1;
    for (const oxBox* b = parent_; b; b = b->parent_)
        ++depth;
    return depth;
}

namespace {

// Whether the levels of the subtree under `root` (itself counting 1) stay within `levels`. Walks
// the subtree without recursion and stops at the first box too deep.
bool SubtreeFits(const oxBox* root, int levels) {
    if (levels < 1) return false;
    int level = 1;
    for (const oxBox* b = root; b;) {
        if (b->GetChildCount() > 0) {
            if (++level > levels) return false;
            b = const_cast<oxBox*>(b)->GetChildAt(0, false);
            continue;
        }
        // Up to the first ancestor below the root with a next sibling.
        while (b != root) {
            oxBox* parent = b->GetParent();
            if (oxBox* next = parent->GetChildAt(b->GetIndex() + 1, false)) {
                b = next;
                break;
            }
            b = parent;
            --level;
        }
        if (b == root) break;
    }
    return true;
}

} // namespace

bool oxBox::CanTakeChild(const oxBox* child) const {
    return child && SubtreeFits(child, kMaxDepth - GetDepth());
}

namespace {

// Children came or went below `from`: the nearest select box hears it, as its rows may have changed.
void TellSelectBox(oxBox* from) {
    for (oxBox* b = from; b; b = b->GetParent()) {
        if (b->GetBoxType() != kAtomSelect) continue;
        if (!b->IsBeingDeleted()) b->SetChangeFlag(kChangeLayoutStale, true);
        return;
    }
}

} // namespace

void oxBox::InsertChildrenAt(int index, oxBox* const* children, int count, const WCHAR* partName, bool expand) {
    if (expand && (stateFlags_ & kStateContentPending)) ExpandCollapsedContent();
    if (!children || count <= 0) return;
    // A box cannot become its own descendant, and one child enters once; such entries are skipped.
    // A few children, as markup adds them one at a time, are gathered without a heap block.
    oxBox* inlineList[4];
    NUBO::PtrVector<oxBox*> heapList;
    oxBox** list = inlineList;
    if (count > 4) {
        if (!heapList.InsertN(0, size_t(count), nullptr)) return;
        list = heapList.data();
    }
    int n = 0;
    int ownChildren = 0;
    const int room = kMaxDepth - GetDepth(); // the levels a child's subtree may take
    for (int i = 0; i < count; ++i) {
        oxBox* c = children[i];
        // Only a box with children can be an ancestor: markup adds leaves, and skips the walk to the root.
        if (!c || c == this || c->IsBeingDeleted() || (c->children_->count > 0 && c->IsAncestorOf(this))) continue;
        if (c->parent_ != this && !SubtreeFits(c, room)) continue;
        bool seen = false;
        for (int k = 0; k < n; ++k)
            seen = seen || list[k] == c;
        if (seen) continue;
        list[n++] = c;
        if (c->parent_ == this) ++ownChildren;
    }
    if (n == 0) return;
    // Grow before anything moves, so a failure leaves the tree as it was.
    if (!EnsureChildCapacity(children_->count - ownChildren, n)) return;
    // Taking out every present child frees the array on the way; its replacement is made first.
    ChildArray* spare = nullptr;
    if (ownChildren > 0 && ownChildren == children_->count) {
        spare = static_cast<ChildArray*>(std::malloc(sizeof(ChildArray) + size_t(2 * n) * sizeof(oxBox*)));
        if (!spare) return;
        spare->count = 0;
        spare->capacity = 2 * n;
        spare->contentIndex = 0;
        spare->rect = bounds_;
    }
    for (int k = 0; k < n; ++k) {
        if (list[k]->parent_) list[k]->parent_->RemoveChild(list[k], false);
    }
    if (children_ == EmptyChildren())
        children_ = spare;
    else
        std::free(spare);
    ChildArray* a = children_;
    if (index < 0 || index > a->count) index = a->count;
    oxBox** items = a->Items();
    std::memmove(items + index + n, items + index, size_t(a->count - index) * sizeof(oxBox*));
    for (int i = index + n; i < a->count + n; ++i)
        items[i]->index_ = i;
    bool owned = partName && wcscmp(partName, u"part") == 0;
    bool descendantPart = partName && wcscmp(partName, u"descendantPart") == 0;
    for (int k = 0; k < n; ++k) {
        oxBox* child = list[k];
        child->index_ = index + k;
        items[index + k] = child;
        a->count++;
        child->SetStateFlag(kStateRecordPrior, (stateFlags_ & kStateRecordPrior) != 0);
        child->parent_ = this;
        if (owned) {
            child->owner_ = this;
            ownsParts_ = true;
        }
        if (descendantPart) child->owner_ = owner_;
        if (IsEffectivelyHidden() || IsCollapsed()) child->SetHiddenByAncestor(true);
        if (IsEffectivelyDisabled()) {
            child->SetStateFlag(kStateDisabledByAncestor, true);
            child->PropagateDisabled(true);
        }
        if (!scene_) continue;
        oxBoxScene* from = child->scene_;
        child->AttachSubtreeToScene(scene_);
        // A hidden child from another scene drops the records that scene's rules made. Restyled once
        // it stands in this scene: restyled before the move, it would resolve by the old rules again.
        if (from && from != scene_ && (child->stateFlags_ & kStateHiddenByAncestor)) child->RestyleTree();
    }
    TellSelectBox(this);
    if (scene_ && n == 1 && list[0]->GetBoxType() == kAtomPopup) return;
    InvalidateUpToPopup();
    if (scene_) {
        if (changeFlags_ & kChangePainted) {
            RefreshDependants();
            InvalidateSubtree(true, true);
        }
        RequestLayout();
        RequestRepaint();
        scene_->SetUpdateFlag(0x80);
    }
}

oxBox* oxBox::RemoveChild(oxBox* child, bool expand) {
    if (expand && (stateFlags_ & kStateContentPending)) ExpandCollapsedContent();
    if (!child || child->parent_ != this) return nullptr;
    int i = child->index_;
    if (i < 0 || i >= children_->count || children_->Items()[i] != child) {
        // The index should always be right; fall back to a search rather than trust it.
        for (i = 0; i < children_->count && children_->Items()[i] != child; ++i) {
        }
        if (i == children_->count) return nullptr;
    }
    return RemoveChildAt(i, false);
}

oxBox* oxBox::RemoveChildAt(int index, bool expand) {
    if (expand && (stateFlags_ & kStateContentPending)) ExpandCollapsedContent();
    if (index < 0 || index >= children_->count) return nullptr;
    oxBox* child = children_->Items()[index];
    child->SetLayered(false);
    child->ReleaseLayerList();
    if (child->stateFlags_ & kStateHovered) oxGetBoxFrameServices().ForgetHoveredBox(child);
    if (child->stateFlags_ & kStateHiddenByAncestor) child->SetHiddenByAncestor(false);
    if (child->stateFlags_ & kStateDisabledByAncestor) {
        child->SetStateFlag(kStateDisabledByAncestor, false);
        child->PropagateDisabled(false);
    }
    child->index_ = -1;
    child->parent_ = nullptr;
    if (oxBox* owner = child->owner_) ClearOwnerBelow(child, owner);
    ChildArray* a = children_;
    oxBox** items = a->Items();
    std::memmove(items + index, items + index + 1, size_t(a->count - index - 1) * sizeof(oxBox*));
    a->count--;
    for (int i = index; i < a->count; ++i)
        items[i]->index_ = i;
    if (a->count == 0) {
        std::free(a);
        children_ = EmptyChildren();
    }
    child->changeFlags_ &= ~kChangeContentChild;
    TellSelectBox(this);
    InvalidateUpToPopup();
    if (scene_) {
        RequestLayout();
        RequestRepaint();
    }
    return child;
}

// Clears `owner` on the box and on every box below it that has it. A box that never owned a part
// has nothing to clear, so tearing down a deep tree does not walk each level's subtree.
void oxBox::ClearOwnerBelow(oxBox* box, oxBox* owner) {
    if (!owner->ownsParts_) return;
    for (oxBox* b = box; b; b = b->GetNextBox(box, false, false)) {
        if (b->owner_ == owner) b->owner_ = nullptr;
    }
}

void oxBox::DestroyChildren() {
    DestroyChildrenNow();
    if (!IsBeingDeleted()) TellSelectBox(this);
    if ((changeFlags_ & kChangeConstructed) && !IsBeingDeleted()) {
        InvalidateUpToPopup();
        RequestLayout();
    }
}

void oxBox::DestroyChildrenNow() {
    while (children_->count > 0) {
        ChildArray* a = children_;
        oxBox* child = a->Items()[a->count - 1];
        a->Items()[a->count - 1] = nullptr;
        a->count--;
        child->parent_ = nullptr;
        child->index_ = -1;
        ClearOwnerBelow(child, child);
        // Outside a scene nothing else holds the children, so the parent's reference goes.
        if (scene_)
            scene_->DestroyBox(child);
        else
            child->Release();
    }
    // The scroll bars scrolled what was there: the layout makes new ones when the new content needs them.
    oxDropScrollbars(this);
    if (children_ != EmptyChildren()) {
        std::free(children_);
        children_ = EmptyChildren();
    }
}

void oxBox::ExpandCollapsedContent() {
    stateFlags_ &= ~kStateContentPending;
    oxBox* first = GetChildAt(0, false);
    if (!first || first->GetBoxType() != kAtomCollapsedContainer) return;
    RemoveChildAt(0, false);
    first->BuildDeferredContent(this);
    if (scene_)
        scene_->DestroyBox(first);
    else
        first->Release();
}

oxBox* oxBox::GetNextBox(const oxBox* stopAt, bool skipChildren, bool skipHidden) const {
    bool skip = skipChildren || (skipHidden && (IsCollapsed() || IsEffectivelyHidden() ||
                                                (stateFlags_ & kStateExcluded) || (changeFlags_ & kChangeBlockEvents)));
    if (!skip && children_->count > 0) return children_->Items()[0];
    for (const oxBox* b = this; b && b != stopAt; b = b->parent_) {
        oxBox* p = b->parent_;
        if (p && b->index_ + 1 < p->children_->count) return p->children_->Items()[b->index_ + 1];
    }
    return nullptr;
}

oxBox* oxBox::GetPreviousBox() const {
    if (children_->count > 0 && !(IsCollapsed() || IsEffectivelyHidden() || (stateFlags_ & kStateExcluded) ||
                                  (changeFlags_ & kChangeBlockEvents)))
        return children_->Items()[children_->count - 1];
    for (const oxBox* b = this; b; b = b->parent_) {
        if (b->parent_ && b->index_ > 0) return b->parent_->children_->Items()[b->index_ - 1];
    }
    return nullptr;
}

oxBox* oxBox::GetPartById(oxAtom id) {
    if (!id) return nullptr;
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false))
        if (b->GetId() == id) return b;
    // Markup waiting under a collapsed box is built only when it holds the id.
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false)) {
        if (!(b->stateFlags_ & kStateContentPending)) continue;
        auto* holder = dynamic_cast<oxCollapsedContainerBox*>(b->GetChildAt(0, false));
        if (holder && holder->ExpandIfHoldsId(id)) return GetPartById(id);
    }
    return nullptr;
}

oxBox* oxBox::GetBoxByTag(oxAtom tag) {
    return FindBoxByType(tag, nullptr);
}

oxBox* oxBox::FindBoxByType(oxAtom tag, oxBox* start) {
    if (!tag) return nullptr;
    // A start outside this box's subtree finds nothing rather than walking off into another tree.
    if (start && start != this && !IsAncestorOf(start)) return nullptr;
    oxBox* from = start ? start : this;
    for (oxBox* b = from; b; b = b->GetNextBox(this, false, false))
        if (b->GetTag() == tag) return b;
    // Markup waiting under a collapsed box is built only when it holds the tag.
    for (oxBox* b = from; b; b = b->GetNextBox(this, false, false)) {
        if (!(b->stateFlags_ & kStateContentPending)) continue;
        auto* holder = dynamic_cast<oxCollapsedContainerBox*>(b->GetChildAt(0, false));
        if (holder && holder->ExpandIfHoldsTag(tag)) return FindBoxByType(tag, start);
    }
    return nullptr;
}

oxBox* oxBox::FindPartByTag(oxAtom tag, oxBox* root) {
    if (!tag) return nullptr;
    for (oxBox* b = GetNextBox(this, false, false); b; b = b->GetNextBox(this, false, false)) {
        if (b->GetTag() == tag && b->FindAncestorWithFlag() == root) return b;
    }
    return nullptr;
}

oxBox* oxBox::GetSpecialPart(oxAtom atom) {
    switch (atom) {
    case 0:
        return nullptr;
    case kAtom_control:
        for (oxBox* b = parent_; b; b = b->parent_) {
            oxAtom t = b->GetBoxType();
            if (t == kAtomControl || t == kAtomRange || t == kAtomSelect) return b;
        }
        return nullptr;
    case kAtom_gadget:
        return owner_;
    case kAtom_gadgetParent:
        return owner_ ? owner_->parent_ : nullptr;
    case kAtom_nextSibling:
        return parent_ ? parent_->GetChildAt(index_ + 1, false) : nullptr;
    case kAtom_prevSibling:
        return parent_ ? parent_->GetChildAt(index_ - 1, false) : nullptr;
    case kAtom_parent:
        return parent_;
    case kAtom_root:
        return scene_ ? scene_->GetRootBox() : nullptr;
    case kAtom_self:
        return this;
    default:
        return scene_ ? scene_->FindBoxById(atom) : nullptr;
    }
}

oxBox* oxBox::FindPart(oxAtom atom) {
    if (oxBox* b = GetSpecialPart(atom)) return b;
    if (oxBox* b = GetPartById(atom)) return b;
    return owner_ ? owner_->GetPartById(atom) : nullptr;
}

bool oxBox::IsAncestorOf(const oxBox* box) const {
    for (const oxBox* b = box ? box->parent_ : nullptr; b; b = b->parent_) {
        if (b == this) return true;
    }
    return false;
}

oxBox* oxBox::GetLogicalParent() const {
    if ((changeFlags_ & kChangeLayered) && (presence_ & 0x8000)) {
        if (oxBox* anchor = const_cast<oxBox*>(this)->GetAnchor()) return anchor;
    }
    return parent_;
}

oxBox* oxBox::FindFrameBox() const {
    for (oxBox* b = GetLogicalParent(); b; b = b->GetLogicalParent()) {
        if (b->changeFlags_ & kChangeFramed) return b;
    }
    return nullptr;
}

oxBox* oxBox::FindLayerRoot() const {
    for (oxBox* b = GetLogicalParent(); b; b = b->GetLogicalParent()) {
        if ((b->changeFlags_ & (kChangeLayered | kChangeLayerStack)) == (kChangeLayered | kChangeLayerStack)) return b;
    }
    return nullptr;
}

oxBox* oxBox::GetLayerRoot() const {
    if (changeFlags_ & kChangeLayered) return (changeFlags_ & kChangeLayerStack) ? FindLayerRoot() : GetLogicalParent();
    for (oxBox* b = GetLogicalParent(); b; b = b->GetLogicalParent()) {
        if (b->changeFlags_ & kChangeLayered) return b;
    }
    return nullptr;
}

oxBox* oxBox::FindAncestorWithFlag() {
    for (oxBox* b = this; b; b = b->parent_) {
        if (b->changeFlags_ & kChangeLayoutRoot) return b;
    }
    return nullptr;
}

bool oxBox::IsMdiChild() const {
    return parent_ && parent_->GetBoxType() == kAtomMDIContainer && !(changeFlags_ & kChangeFlowed) &&
           tag_ != kAtomScrollbar;
}

// The mark always goes up to the popup and layout clears it from the top down, so an ancestor that
// has it already has it above too: the walk stops there, and adding a child costs the same at any depth.
void oxBox::InvalidateUpToPopup() {
    changeFlags_ |= kChangeLayoutStale;
    if (GetBoxType() == kAtomPopup) return;
    for (oxBox* b = parent_; b && !(b->changeFlags_ & kChangeLayoutStale); b = b->parent_) {
        b->changeFlags_ |= kChangeLayoutStale;
        if (b->GetBoxType() == kAtomPopup) break;
    }
}

void oxBox::MarkAncestorsDirty() {
    for (oxBox* b = parent_; b && !(b->changeFlags_ & kChangeSubtreeDirty); b = b->parent_)
        b->changeFlags_ |= kChangeSubtreeDirty;
}

void oxBox::InvalidateSubtree(bool self, bool deep) {
    if (self) presence_ &= uint16_t(~kMarkFramePosition);
    if (!deep) return;
    for (oxBox* b = GetNextBox(this, false, false); b; b = b->GetNextBox(this, false, false))
        b->presence_ &= uint16_t(~kMarkFramePosition);
}

// Clears the measured and frame-position marks on every box of the subtree that is not collapsed
// or hidden.
void oxBox::ClearMeasureMarks() {
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false)) {
        if (!b->IsCollapsed() && !b->IsEffectivelyHidden())
            b->presence_ &= uint16_t(~(kMarkMeasuredWidth | kMarkMeasuredHeight | kMarkFramePosition));
    }
}

void oxBox::SetScene(oxBoxScene* scene) {
    if (scene == scene_) return;
    oxBoxScene* old = scene_;
    if (old) InvalidateSubtree(true, true);
    scene_ = scene;
    if ((changeFlags_ & (kChangeLayered | kChangeLayerStack)) == (kChangeLayered | kChangeLayerStack) && old) {
        SetLayered(false);
        SetLayered(true);
    }
    if (old && scene) {
        scene->OnBoxChangedScene(this);
        oxEvent changed(kAtomSceneChanged, this);
        HandleEvent(&changed);
    }
}

void oxBox::OnSceneAttached() {
    bool attachedBefore = (changeFlags_ & kChangeAttached) != 0;
    changeFlags_ |= kChangeAttached;
    if (stateFlags_ & kStateDeflated) {
        stateFlags_ &= ~kStateDeflated;
        SetDeflated(true);
    }
    // A box with a frame of its own joins the scene's window boxes and shows with it; moved in from
    // elsewhere, its window becomes a child of this scene's window.
    if ((changeFlags_ & kChangeFramed) && scene_ && GetFrame() && (presence_ & kHasFrame)) {
        oxBoxFrame* frame = GetFrame();
        scene_->AddFrameBox(this);
        if (!(stateFlags_ & kStateCollapsed)) {
            frame->Refresh(false);
            if (attachedBefore) frame->AttachToParentFrame();
        }
    }
    if ((changeFlags_ & kChangeLayered) && !attachedBefore) {
        changeFlags_ &= ~kChangeLayered;
        SetLayered(true);
    }
}

void oxBox::AttachSubtreeToScene(oxBoxScene* scene) {
    for (oxBox* b = this; b; b = b->GetNextBox(this, false, false)) {
        if (b->scene_ && b->scene_ != scene) b->scene_->OnBoxLeftScene(b);
        b->SetScene(scene);
        if (scene && scene->IsRunning()) b->OnSceneAttached();
        // Scroll bars are no children: they go along with the box they scroll, or a box that
        // outlives its scene would leave them naming it.
        for (oxBox* bar : {b->FindVScrollBar(), b->FindHScrollBar()})
            if (bar && bar != this) bar->AttachSubtreeToScene(scene);
    }
}
