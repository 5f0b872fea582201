#pragma once
// oxBehaviorResource: a `behavior` element of a library, a named set of reactions that gadgets
// attach to their boxes. A behaviour may inherit others (`inherits`); unless `recurse` is false they
// hear the event after its own reactions, when none of those stopped it.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "toolkit/library/bindable_element.h"

class oxBox;
class oxEvent;
class oxReactionElement;

// The box tree's own handler list of a box is oxBehaviorElement; the library's kind lives here,
// above it, as a resource element.
class oxBehaviorResource : public oxBindableElement {
public:
    explicit oxBehaviorResource(oxLibrary* library) : oxBindableElement(kAtomBehavior, library) {}
    ~oxBehaviorResource() override;

    // `recurse`; the rest goes to the bindable base.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // `reaction` children, in any namespace; other tags are skipped.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    int GetReactionCount() const { return int(reactions_.size()); }
    oxReactionElement* GetReactionAt(int index) const;
    // Takes over the caller's reference; null is ignored.
    void AddReaction(oxReactionElement* reaction);
    // Drops the first reaction of the event with that action.
    void RemoveReaction(const WCHAR* eventName, const WCHAR* actionText);
    // Runs the matching reactions for the box, then the inherited behaviours; true when one of its
    // own reactions consumed the event.
    bool HandleEvent(oxBox* box, oxEvent* event);

private:
    NUBO::PtrVector<oxReactionElement*> reactions_; // one reference each
    bool recurse_ = true;
};
