// Content children: what markup puts inside a box whose gadget has a content part goes into that
// part box, marked with change flag 0x200000, from the part's content insertion index on.
#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_scene.h"

#include <algorithm>

oxBox* oxBox::GetContentPart() const {
    if (!gadget_ || !(changeFlags_ & kChangeHoldsContent)) return nullptr;
    return gadget_->FindContentPart(const_cast<oxBox*>(this));
}

int oxBox::GetContentInsertIndex() const {
    return children_->count > 0 ? children_->contentIndex : 0;
}

// A gadget marks where content goes while it builds the part, before the part has children: the
// child array is made for it then.
void oxBox::SetContentInsertIndex(int index) {
    if (index < 0 || !EnsureChildCapacity(children_->count, 1)) return;
    children_->contentIndex = std::min(index, children_->count);
}

oxBox* oxBox::GetContentInsertionChild(bool expand) {
    oxBox* part = GetContentPart();
    if (!part) return nullptr;
    oxBox* child = part->GetChildAt(part->GetContentInsertIndex(), expand);
    return child && (child->changeFlags_ & kChangeContentChild) ? child : nullptr;
}

int oxBox::GetContentChildCount() const {
    oxBox* part = GetContentPart();
    if (!part) return 0;
    int n = 0;
    for (int i = part->children_->contentIndex; i < part->children_->count; ++i)
        if (part->children_->Items()[i]->changeFlags_ & kChangeContentChild) ++n;
    return n;
}

oxBox* oxBox::GetContentChildAt(int index) const {
    oxBox* part = GetContentPart();
    if (!part || index < 0) return nullptr;
    for (int i = part->children_->contentIndex; i < part->children_->count; ++i) {
        oxBox* c = part->children_->Items()[i];
        if ((c->changeFlags_ & kChangeContentChild) && index-- == 0) return c;
    }
    return nullptr;
}

// The content insertion index marks where content starts in the part; it stays put, so content
// children keep their order after the part's own children.
void oxBox::InsertContentChildAt(int index, oxBox* child, const WCHAR* partName, bool expand) {
    oxBox* part = GetContentPart();
    if (!part || !child) return;
    int count = GetContentChildCount();
    if (index < 0 || index > count) index = count;
    part->InsertChildrenAt(part->children_->contentIndex + index, &child, 1, nullptr, expand);
    if (child->parent_ != part) return;
    child->changeFlags_ |= kChangeContentChild;
    if (partName && wcscmp(partName, u"descendantPart") == 0) child->owner_ = owner_;
}

void oxBox::AddContentChild(oxBox* child, const WCHAR* partName, bool expand) {
    InsertContentChildAt(-1, child, partName, expand);
}

oxBox* oxBox::RemoveContentChild(oxBox* child) {
    oxBox* part = GetContentPart();
    if (!part || !child || child->parent_ != part || !(child->changeFlags_ & kChangeContentChild)) return nullptr;
    return part->RemoveChild(child, false);
}

oxBox* oxBox::RemoveContentChildAt(int index) {
    return RemoveContentChild(GetContentChildAt(index));
}

void oxBox::DeleteContentChildren() {
    while (oxBox* child = RemoveContentChildAt(GetContentChildCount() - 1)) {
        if (scene_)
            scene_->DestroyBox(child);
        else
            child->Release();
    }
}
