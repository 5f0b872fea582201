#include "toolkit/core/box.h"

#include "toolkit/core/box_gadget.h"

#include "platform/crt/wide.h"
#include "runtime/ptr_vector.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/fill_cross_fade.h"

oxBox::oxBox(oxAtom tag) : oxElement(kAtomBoxNamespace, tag), children_(EmptyChildren()) {
    MarkAncestorsDirty();
    changeFlags_ |= 0x00800216;
    modeFlags_ = kModeFocusIgnore;
    if (tag == kAtomRows) {
        stateFlags_ |= kStateExcluded;
        return;
    }
    if (tag == kAtomColumns) return;
    changeFlags_ |= kChangeLayoutRoot;
}

void oxBox::SetFillCrossFade(oxFillCrossFade* fade) {
    if (fade == fillFade_) return;
    delete fillFade_;
    fillFade_ = fade;
    RequestRepaint();
}

oxBox::~oxBox() {
    // A box released while still in a tree would leave its parent pointing at freed memory.
    if (parent_) parent_->RemoveChild(this, false);
    if (scene_ && id_) scene_->UnregisterBoxId(this, id_);
    if (oxBoxSnapshotRegistry* snapshots = oxGetBoxSnapshotRegistry()) snapshots->ForgetBox(this);
    DropSideTables();
    DropDataBindings();
    StopFillTimer();
    delete fillFade_;
    fillFade_ = nullptr;
    DestroyChildrenNow();
    delete attributes_;
    attributes_ = nullptr;
    if (presence_ & kHasFrame) DropFrame();
    if (style_) {
        DetachStyleRecord(style_);
        style_->Release();
        style_ = nullptr;
    }
    delete inlineStyle_;
    inlineStyle_ = nullptr;
    if (scene_) scene_->OnBoxDestroyed(this);
    SetGadget(nullptr);
    ClearChangeLog();
    oxDropScrollbars(this);
    delete layout_;
    layout_ = nullptr;
    delete placement_;
    placement_ = nullptr;
    scene_ = nullptr;
}

ULONG oxBox::AddRef() {
    return refCount_++;
}

ULONG oxBox::Release() {
    uint32_t count = --refCount_;
    if (count == 0) {
        refCount_ = kDeletingCount;
        DeleteBox(this);
    }
    return count;
}

// Deletion runs one box at a time: children that a dying box lets go are queued and deleted after it,
// so a tree of any depth is destroyed without recursion.
void oxBox::DeleteBox(oxBox* box) {
    static NUBO::PtrVector<oxBox*> pending;
    static bool draining = false;
    if (draining) {
        if (pending.PushBack(box)) return;
        delete box; // no memory to queue it: fall back to deleting it in place
        return;
    }
    draining = true;
    delete box;
    while (!pending.empty()) {
        oxBox* next = pending.Back();
        pending.PopBack();
        delete next;
    }
    draining = false;
}

int32_t oxBox::SetBoxAttribute(oxAtom attribute, const WCHAR* value) {
    return SetMarkupAttribute(kAtomBoxNamespace, attribute, value);
}

int32_t oxBox::SetStyleProperty(oxAtom property, const WCHAR* value) {
    return SetMarkupAttribute(kAtomStyleNamespace, property, value);
}

void oxBox::SetId(oxAtom id) {
    if (id == 0 || id == id_) return;
    if (id_ && scene_) scene_->UnregisterBoxId(this, id_);
    id_ = id;
}

oxElement* oxBox::GetGadgetElement() const {
    return gadget_ ? gadget_->GetGadgetElement() : nullptr;
}

void oxBox::SetGadget(oxBoxGadget* gadget) {
    if (gadget == gadget_) return;
    if (gadget_) gadget_->DetachBox(this);
    gadget_ = gadget;
    if (gadget_) gadget_->AttachBox(this);
}
