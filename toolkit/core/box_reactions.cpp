#include "toolkit/core/box_reactions.h"

#include <new>

#include "runtime/hash_map.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/style/attribute_value.h"

namespace {

NUBO::oxPtrHashMap<oxBehaviorElement*>& Behaviors() {
    static NUBO::oxPtrHashMap<oxBehaviorElement*> table;
    return table;
}

oxReactionRunner g_runner = nullptr;
oxKeyNameReader g_keyNames = nullptr;
int g_nesting = 0; // reaction passes on the stack, all boxes together

// A keyPress of Enter with no modifier is the target's to veto: its wantEnter "false" keeps the
// reactions from it.
bool EnterVetoed(const oxEvent* event) {
    auto* key = dynamic_cast<const oxKeyEvent*>(event);
    if (!key || event->GetType() != kAtomKeyPress || key->virtualKeyCode != 13 || key->shift || key->ctrl || key->alt)
        return false;
    auto* target = dynamic_cast<oxBox*>(event->GetTarget());
    const WCHAR* wantEnter = target ? target->GetAttributeText(kAtomWantEnter) : nullptr;
    return wantEnter && !ParseBool(wantEnter);
}

} // namespace

void oxSetKeyNameReader(oxKeyNameReader reader) {
    g_keyNames = reader;
}

oxReactionElement::oxReactionElement(oxAtom type, bool inBehavior)
    : oxElement(kAtomBoxNamespace, kAtomReaction), type_(type), inBehavior_(inBehavior) {}

int32_t oxReactionElement::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomEvent:
        type_ = value ? oxAtoms::Intern(value) : 0;
        break;
    case kAtomAction:
        action_.Parse(value);
        break;
    case kAtomOverride:
        override_ = ParseBool(value);
        break;
    default:
        (void)AddConditionText(attribute, value);
        break;
    }
    return 0;
}

void oxReactionElement::EndElement() {
    oxElement::EndElement();
    if (type_ != kAtomKeyDown && type_ != kAtomKeyPress && type_ != kAtomKeyUp) return;
    for (oxAtom modifier : {kAtomShift, kAtomAlt, kAtomCtrl})
        if (!HasCondition(modifier)) (void)AddCondition(modifier, 0);
}

bool oxReactionElement::HasCondition(oxAtom attribute) const {
    for (const Condition& c : conditions_)
        if (c.attribute == attribute) return true;
    return false;
}

bool oxReactionElement::AddConditionText(oxAtom attribute, const WCHAR* text) {
    if (!text) return false;
    switch (attribute) {
    case kAtomPart:
    case kAtomMessage:
    case kAtomAttributeName:
        return AddCondition(attribute, int32_t(oxAtoms::Intern(text)));
    case kAtomButton:
    case kAtomDetail:
        return AddCondition(attribute, ParseInt(text));
    case kAtomKeyCode:
        return AddCondition(attribute, g_keyNames ? g_keyNames(text) : 0);
    case kAtomShift:
    case kAtomCtrl:
    case kAtomAlt:
        return AddCondition(attribute, ParseBool(text) ? 1 : 0);
    default:
        return false;
    }
}

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
    auto* mouse = dynamic_cast<const oxMouseEvent*>(event);
    for (const Condition& c : conditions_) {
        switch (c.attribute) {
        case kAtomPart: {
            auto* target = dynamic_cast<const oxBox*>(event->GetTarget());
            if (!target || !target->GetOwner() || target->GetId() != oxAtom(c.value)) return false;
            break;
        }
        case kAtomMessage: {
            auto* command = dynamic_cast<const oxCommandEvent*>(event);
            if (!command || command->message != oxAtom(c.value)) return false;
            break;
        }
        case kAtomButton:
            if (!mouse || mouse->button != c.value) return false;
            break;
        case kAtomDetail:
            if (!mouse || mouse->detail != c.value) return false;
            break;
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
    copy->override_ = override_;
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

bool oxRunReactions(const NUBO::PtrVector<oxReactionElement*>& reactions, oxBox* box, oxEvent* event, bool* stopped) {
    if (stopped) *stopped = false;
    if (!box || !event || !g_runner) return false;
    oxAtom type = event->GetType();
    // Handlers may add and remove reactions: the pass walks those present now, each held.
    NUBO::PtrVector<oxReactionElement*> held;
    for (oxReactionElement* reaction : reactions) {
        if (reaction->GetType() == type && !reaction->IsRemoved() && held.PushBack(reaction)) reaction->AddRef();
    }
    if (held.size() == 0) return false;
    ++g_nesting;
    oxReactionRunner runner = g_runner;
    bool consumed = false;
    for (oxReactionElement* reaction : held) {
        if (g_nesting > kMaxReactionNesting) break;
        if (!reaction->MatchConditions(event)) continue;
        if (!EnterVetoed(event)) {
            runner(box, reaction->GetAction(), event);
            event->AddFlags(kEventHandledByReaction);
        }
        if (event->GetFlags() & kEventStopped) {
            consumed = true;
            if (stopped) *stopped = true;
            break;
        }
        consumed = reaction->IsOverride();
    }
    --g_nesting;
    for (oxReactionElement* reaction : held)
        reaction->Release();
    return consumed;
}

bool oxBehaviorElement::Dispatch(oxBox* box, oxEvent* event) {
    if (!box || !event || !g_runner) return false;
    // The box's list may go with the box while handlers run: it is swept only when the box is
    // known alive and still has it.
    box->AddRef();
    ++dispatching_;
    bool consumed = oxRunReactions(reactions_, box, event, nullptr);
    if (oxBehaviorElement* self = For(box, false); self == this) {
        if (--dispatching_ == 0) Sweep();
    }
    box->Release();
    return consumed;
}
