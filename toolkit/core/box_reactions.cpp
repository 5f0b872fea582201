#include "toolkit/core/box_reactions.h"

#include <new>

#include "runtime/hash_map.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"

namespace {

NUBO::oxPtrHashMap<oxBehaviorElement*>& Behaviors() {
    static NUBO::oxPtrHashMap<oxBehaviorElement*> table;
    return table;
}

oxReactionRunner g_runner = nullptr;

} // namespace

void oxSetReactionRunner(oxReactionRunner runner) {
    g_runner = runner;
}

oxReactionRunner oxGetReactionRunner() {
    return g_runner;
}

bool oxReactionElement::AddCondition(oxAtom attribute, int32_t value) {
    return conditions_.PushBack(Condition{attribute, value});
}

bool oxReactionElement::MatchConditions(const oxEvent* event) const {
    if (conditions_.size() == 0) return true;
    if (!event) return false;
    auto* ui = dynamic_cast<const oxUIEvent*>(event);
    auto* key = dynamic_cast<const oxKeyEvent*>(event);
    auto* mutation = dynamic_cast<const oxMutationEvent*>(event);
    for (const Condition& c : conditions_) {
        switch (c.attribute) {
        case kAtomKeyCode:
            if (!key || key->virtualKeyCode != uint16_t(c.value)) return false;
            break;
        case kAtomCtrl:
            if (!ui || ui->ctrl != (c.value != 0)) return false;
            break;
        case kAtomAlt:
            if (!ui || ui->alt != (c.value != 0)) return false;
            break;
        case kAtomShift:
            if (!ui || ui->shift != (c.value != 0)) return false;
            break;
        case kAtomAttributeName:
            if (!mutation || mutation->attribute != uint32_t(c.value)) return false;
            break;
        default:
            break;
        }
    }
    return true;
}

oxReactionElement* oxReactionElement::Clone() const {
    auto* copy = new (std::nothrow) oxReactionElement(type_);
    if (!copy) return nullptr;
    copy->action_ = action_;
    for (const Condition& c : conditions_) {
        if (!copy->conditions_.PushBack(c)) {
            copy->Release();
            return nullptr;
        }
    }
    return copy;
}

oxBehaviorElement* oxBehaviorElement::For(const oxBox* box, bool create) {
    if (!box) return nullptr;
    auto& table = Behaviors();
    if (oxBehaviorElement* found = table.Lookup(box)) return found;
    if (!create) return nullptr;
    auto* behavior = new (std::nothrow) oxBehaviorElement();
    if (behavior) table.Insert(box, behavior);
    return behavior;
}

void oxBehaviorElement::DropFor(const oxBox* box) {
    auto& table = Behaviors();
    if (table.IsEmpty()) return;
    oxBehaviorElement* behavior = table.Lookup(box);
    if (!behavior) return;
    table.Erase(box);
    delete behavior;
}

oxBehaviorElement::~oxBehaviorElement() {
    for (oxReactionElement* reaction : reactions_) {
        reaction->MarkRemoved();
        reaction->Release();
    }
}

bool oxBehaviorElement::AddReaction(oxReactionElement* reaction) {
    if (!reaction) return false;
    if (!reactions_.PushBack(reaction)) {
        reaction->Release();
        return false;
    }
    return true;
}

void oxBehaviorElement::RemoveReaction(oxReactionElement* reaction) {
    if (!reaction || reaction->IsRemoved()) return;
    reaction->MarkRemoved();
    if (dispatching_ == 0) Sweep();
}

void oxBehaviorElement::Sweep() {
    for (size_t i = reactions_.size(); i-- > 0;) {
        oxReactionElement* reaction = reactions_[i];
        if (!reaction->IsRemoved()) continue;
        reactions_.Erase(i);
        reaction->Release();
    }
}

oxReactionElement* oxBehaviorElement::FindReaction(oxAtom type, const oxQualifiedName& action) const {
    for (oxReactionElement* reaction : reactions_) {
        if (reaction->IsRemoved() || reaction->GetType() != type) continue;
        const oxQualifiedName& own = reaction->GetAction();
        if (own.GetPrefix() == action.GetPrefix() && own.GetName() == action.GetName()) return reaction;
    }
    return nullptr;
}

oxReactionElement* oxBehaviorElement::FindMatch(oxAtom type, const oxEvent* event) const {
    for (oxReactionElement* reaction : reactions_) {
        if (reaction->IsRemoved() || reaction->GetType() != type) continue;
        if (!event || reaction->MatchConditions(event)) return reaction;
    }
    return nullptr;
}

void oxBehaviorElement::Dispatch(oxBox* box, oxEvent* event) {
    if (!event || !g_runner) return;
    oxAtom type = event->GetType();
    NUBO::PtrVector<oxReactionElement*> held;
    for (oxReactionElement* reaction : reactions_) {
        if (reaction->GetType() == type && !reaction->IsRemoved() && held.PushBack(reaction)) reaction->AddRef();
    }
    if (held.size() == 0) return;
    // The box's list may go with the box while handlers run: only the held reactions are touched
    // until the box is known alive again.
    box->AddRef();
    ++dispatching_;
    oxReactionRunner runner = g_runner;
    for (oxReactionElement* reaction : held) {
        if (reaction->MatchConditions(event)) runner(box, reaction->GetAction(), event);
    }
    if (oxBehaviorElement* self = For(box, false); self == this) {
        if (--dispatching_ == 0) Sweep();
    }
    for (oxReactionElement* reaction : held)
        reaction->Release();
    box->Release();
}
