// Copying boxes and subtrees.
#include <utility>
#include <vector>

#include "toolkit/core/box.h"
#include "toolkit/core/box_binding.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/layout.h"
#include "toolkit/style/style_declaration.h"

oxBox* oxBox::Duplicate(bool deep, bool expand) {
    if (!scene_) return nullptr;
    if (expand && (stateFlags_ & kStateContentPending)) ExpandCollapsedContent();
    oxBox* copy = scene_->CreateBoxOfType(GetBoxType(), tag_);
    if (!copy) return nullptr;
    CloneInto(copy, false);
    if (deep) CloneChildren(this, copy, this, copy);
    copy->changeFlags_ |= kChangeConstructed;
    return copy;
}

namespace {

// Gives `to` a copy of each binding of `from` that is aimed at `from`. An element source that was
// the box itself or its parent becomes the copy's counterpart; any other stays as it was.
void CopyBindings(oxBox* from, oxBox* to, bool start) {
    for (int i = 0; i < from->GetDataBindingCount(); ++i) {
        oxDataBinding* binding = from->GetDataBindingAt(i);
        if (binding->GetTargetBox() != from) continue;
        oxDataBinding* copy = binding->CloneFor(to);
        if (!copy) continue;
        oxBox* source = binding->GetElementSourceBox();
        if (source == from)
            copy->SetElementSourceBox(to);
        else if (source && source == from->GetParent() && to->GetParent())
            copy->SetElementSourceBox(to->GetParent());
        else if (source)
            copy->SetElementSourceBox(source);
        to->AddDataBinding(copy);
        if (start) copy->Start();
        copy->Release();
    }
}

} // namespace

void oxBox::CloneInto(oxBox* target, bool keepBindingsIdle) {
    (void)keepBindingsIdle;
    if (!target || target == this) return;
    target->id_ = id_;
    target->tag_ = tag_;
    target->styleId_ = styleId_;
    // Constructed, attached, painted and content-pending marks stay with the original; the copy
    // needs styling, layout, a first paint and a report to its scene.
    target->changeFlags_ = (changeFlags_ & 0xDFF7FF3Fu) | 0x00800007u;
    target->MarkAncestorsDirty();
    target->stateFlags_ = stateFlags_ & ~kStateHiddenByAncestor;
    target->modeFlags_ = modeFlags_;
    target->SetGadget(gadget_);
    target->scene_ = scene_;
    if (inlineStyle_) {
        delete target->inlineStyle_;
        target->inlineStyle_ = inlineStyle_->CloneDeclaration();
    }
    if (oxBehaviorElement* handlers = oxBehaviorElement::For(this, false)) {
        if (oxBehaviorElement* into = oxBehaviorElement::For(target, true)) {
            for (int i = 0; i < handlers->GetCount(); ++i) {
                oxReactionElement* reaction = handlers->GetAt(i);
                if (!reaction->IsRemoved()) into->AddReaction(reaction->Clone());
            }
        }
    }
    // A layout of the same kind, fields zero.
    if (layout_) target->SetLayout(layout_->CreateInstance());
    CopyBindings(this, target, !keepBindingsIdle);
    if (attributes_) {
        auto* map = new (std::nothrow) oxAttributeMap;
        if (map) {
            for (const auto& node : *attributes_)
                map->Insert(node.key, node.value);
        }
        delete target->attributes_;
        target->attributes_ = map;
    }
}

// Copies the subtree below `source` under `target`, one level at a time from an explicit stack so
// deep trees copy without deep recursion.
void oxBox::CloneChildren(oxBox* source, oxBox* target, oxBox* sourceRoot, oxBox* targetRoot) {
    (void)sourceRoot;
    std::vector<std::pair<oxBox*, oxBox*>> work;
    work.emplace_back(source, target);
    while (!work.empty()) {
        auto [from, to] = work.back();
        work.pop_back();
        oxBoxScene* scene = to->scene_ ? to->scene_ : from->scene_;
        if (!scene) continue;
        if (from->stateFlags_ & kStateContentPending) from->ExpandCollapsedContent();
        for (int i = 0; i < from->GetChildCount(); ++i) {
            oxBox* child = from->children_->Items()[i];
            oxBox* copy = scene->CreateBoxOfType(child->GetBoxType(), child->tag_);
            if (!copy) continue;
            child->CloneInto(copy, true);
            copy->changeFlags_ |= kChangeConstructed;
            // Parts of the source root's gadget become parts of the copy's root.
            copy->owner_ = child->owner_ ? targetRoot : nullptr;
            if (copy->owner_) targetRoot->ownsParts_ = true;
            to->AddChild(copy, nullptr, false);
            if (copy->parent_ != to) {
                copy->Release();
                continue;
            }
            // Idle while the copy was made; it has its place now.
            for (int b = 0; b < copy->GetDataBindingCount(); ++b)
                copy->GetDataBindingAt(b)->Start();
            work.emplace_back(child, copy);
        }
    }
}
