#pragma once
// oxCollapsedContainerBox: the placeholder a collapsed box holds as its first child while the markup
// of its children waits unbuilt. The markup is kept as recorded nodes and built into the collapsed
// box the first time it is expanded (or when a search asks for an id or tag inside it).
#include "toolkit/base/markup_node.h"
#include "toolkit/core/box.h"

class oxCollapsedContainerBox : public oxBox {
public:
    explicit oxCollapsedContainerBox(oxAtom tag) : oxBox(tag) {}
    ~oxCollapsedContainerBox() override;

    oxAtom GetBoxType() const override { return kAtomCollapsedContainer; }
    // A new recorded node at the end of the markup held; the loader records the element into it.
    oxMarkupNode* AddDeferred(oxAtom ns, oxAtom tag);
    bool HoldsMarkup() const { return first_ != nullptr; }
    // Builds the markup as children of `into` (once; the nodes go afterwards).
    void BuildDeferredContent(oxBox* into) override;
    // Whether the markup held has an element of that id (tag); when it does, the collapsed box that
    // holds this placeholder is expanded first.
    bool ExpandIfHoldsId(oxAtom id);
    bool ExpandIfHoldsTag(oxAtom tag);

private:
    oxMarkupNode* first_ = nullptr; // owned chain
    oxMarkupNode* last_ = nullptr;
};
