#include "toolkit/library/behavior_resource.h"

#include <new>

#include "toolkit/base/atoms.h"
#include "toolkit/base/qualified_name.h"
#include "toolkit/core/box_reactions.h"
#include "toolkit/style/attribute_value.h"

oxBehaviorResource::~oxBehaviorResource() {
    for (oxReactionElement* reaction : reactions_) {
        reaction->MarkRemoved();
        reaction->Release();
    }
}

int32_t oxBehaviorResource::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomRecurse) {
        recurse_ = ParseBool(value);
        return 0;
    }
    return oxBindableElement::SetMarkupAttribute(ns, attribute, value);
}

int32_t oxBehaviorResource::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (tag != kAtomReaction) return 0;
    auto* reaction = new (std::nothrow) oxReactionElement(0, true);
    if (!reaction) return 0;
    if (!reactions_.PushBack(reaction)) {
        reaction->Release();
        return 0;
    }
    *out = reaction;
    return 0;
}

oxReactionElement* oxBehaviorResource::GetReactionAt(int index) const {
    return index >= 0 && size_t(index) < reactions_.size() ? reactions_[size_t(index)] : nullptr;
}

void oxBehaviorResource::AddReaction(oxReactionElement* reaction) {
    if (reaction && !reactions_.PushBack(reaction)) reaction->Release();
}

void oxBehaviorResource::RemoveReaction(const WCHAR* eventName, const WCHAR* actionText) {
    oxAtom type = eventName ? oxAtoms::Intern(eventName) : 0;
    oxQualifiedName action;
    action.Parse(actionText);
    for (size_t i = 0; i < reactions_.size(); ++i) {
        oxReactionElement* reaction = reactions_[i];
        const oxQualifiedName& own = reaction->GetAction();
        if (reaction->GetType() != type || own.GetPrefix() != action.GetPrefix() || own.GetName() != action.GetName())
            continue;
        reaction->MarkRemoved();
        reactions_.Erase(i);
        reaction->Release(); // a pass that still holds it frees it when it ends
        return;
    }
}

bool oxBehaviorResource::HandleEvent(oxBox* box, oxEvent* event) {
    bool stopped = false;
    bool consumed = oxRunReactions(reactions_, box, event, &stopped);
    if (!recurse_ || stopped) return consumed;
    // Rings of inheritance are refused when the list is resolved, so this walk ends.
    for (oxBindableElement* base : ResolveInherits(kAtomBehavior))
        if (auto* behavior = dynamic_cast<oxBehaviorResource*>(base)) (void)behavior->HandleEvent(box, event);
    return consumed;
}
