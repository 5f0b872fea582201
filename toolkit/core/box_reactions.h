#pragma once
// The event handlers of a box: reactions, each an event type, conditions on the event and an action
// (a handler name, prefix:name). A box's reactions live in its behaviour element, made on first use
// and kept in a side table, in the order they were added. A dispatch holds every reaction present
// when it starts and walks only those, so handlers may add and remove handlers while they run.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/element.h"
#include "toolkit/base/qualified_name.h"

class oxBox;
class oxEvent;

// Reactions nested deeper than this (a reaction whose action fires another, and so on) do not run:
// reactions that trigger each other end there instead of exhausting the stack.
inline constexpr int kMaxReactionNesting = 32;

class oxReactionElement : public oxElement {
public:
    // The count starts at 1: the creator's. `inBehavior`: made inside a `behavior` element.
    explicit oxReactionElement(oxAtom type, bool inBehavior = false);
    oxReactionElement(const oxReactionElement&) = delete;
    oxReactionElement& operator=(const oxReactionElement&) = delete;

    void AddRef() { ++refCount_; }
    void Release() {
        if (--refCount_ == 0) delete this;
    }

    // `event`, `action` and `override`; the condition attributes add conditions; any other
    // attribute (`id` among them) is ignored. Always 0.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // A key reaction without a modifier condition fires only with that modifier up.
    void EndElement() override;

    // "keyCode" takes a virtual-key code, "ctrl", "alt" and "shift" 1 or 0, "attributeName",
    // "part" and "message" an atom, "button" and "detail" a number; the caller converts script
    // text. False when memory ran out.
    bool AddCondition(oxAtom attribute, int32_t value);
    // Converts the markup text of a condition attribute and adds the condition; false for an
    // attribute that names no condition or a null text.
    bool AddConditionText(oxAtom attribute, const WCHAR* text);
    // True when every condition accepts the event.
    bool MatchConditions(const oxEvent* event) const;
    bool IsOverride() const { return override_; }
    bool IsInBehavior() const { return inBehavior_; }

    oxAtom GetType() const { return type_; }
    const oxQualifiedName& GetAction() const { return action_; }
    void SetAction(const WCHAR* text) { action_.Parse(text); }
    // Once removed from its list the reaction only waits for the dispatches that still hold it.
    bool IsRemoved() const { return removed_; }
    void MarkRemoved() { removed_ = true; }
    // A copy with the same type, conditions and action, for a copied box.
    oxReactionElement* Clone() const;

private:
    struct Condition {
        oxAtom attribute;
        int32_t value;
    };
    ~oxReactionElement() override = default;
    bool HasCondition(oxAtom attribute) const;

    oxAtom type_;
    NUBO::PtrVector<Condition> conditions_;
    oxQualifiedName action_;
    uint16_t refCount_ = 1;
    bool removed_ = false;
    bool inBehavior_ = false;
    bool override_ = false;
};

class oxBehaviorElement {
public:
    // The box's handler list; made when `create` and missing, else null when there is none.
    static oxBehaviorElement* For(const oxBox* box, bool create);
    // The box is going: its reactions are released.
    static void DropFor(const oxBox* box);

    // Takes over the caller's reference; false (and released) when memory ran out.
    bool AddReaction(oxReactionElement* reaction);
    // Drops the list's reference on the reaction. Outside a dispatch it leaves the list at once;
    // during one it stays, still runs if its turn comes, and leaves when the dispatch ends.
    void RemoveReaction(oxReactionElement* reaction);
    // The first reaction not yet removed of the type whose action has that prefix and name.
    oxReactionElement* FindReaction(oxAtom type, const oxQualifiedName& action) const;
    // The first reaction not yet removed of the type whose conditions accept the event (any event
    // when null).
    oxReactionElement* FindMatch(oxAtom type, const oxEvent* event) const;
    int GetCount() const { return int(reactions_.size()); }
    oxReactionElement* GetAt(int index) const { return reactions_[size_t(index)]; }
    // Runs the reactions of the event's type for `box` through the installed runner. True when a
    // reaction consumed the event: it stopped it, or the last one that ran overrides.
    bool Dispatch(oxBox* box, oxEvent* event);

private:
    oxBehaviorElement() = default;
    ~oxBehaviorElement();
    void Sweep();

    NUBO::PtrVector<oxReactionElement*> reactions_; // one reference each
    int dispatching_ = 0;
};

// Runs the reactions of the list that answer the event, in order, for `box`, each held for the
// pass. True when one consumed the event; `stopped` (may be null) tells whether it was stopped.
bool oxRunReactions(const NUBO::PtrVector<oxReactionElement*>& reactions, oxBox* box, oxEvent* event, bool* stopped);

// Who runs a reaction's action with the event; the script API installs it. Null runs nothing.
using oxReactionRunner = void (*)(oxBox* box, const oxQualifiedName& action, oxEvent* event);
void oxSetReactionRunner(oxReactionRunner runner);
oxReactionRunner oxGetReactionRunner();

// Reads a key name of markup ("ENTER", "F5", "Q") as its virtual-key code; the scene installs it.
using oxKeyNameReader = uint16_t (*)(const WCHAR* name);
void oxSetKeyNameReader(oxKeyNameReader reader);
