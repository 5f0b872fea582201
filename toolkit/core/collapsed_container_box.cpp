#include "toolkit/core/collapsed_container_box.h"

#include <new>
#include <vector>

#include "toolkit/core/box_gadget.h"
#include "toolkit/core/box_scene.h"

namespace {

// Searches the recorded subtree without recursion, so a deep record cannot exhaust the stack.
bool Find(const oxMarkupNode* first, oxAtom value, bool byTag) {
    std::vector<const oxMarkupNode*> pending;
    for (const oxMarkupNode* n = first; n; n = n->GetNextSibling())
        pending.push_back(n);
    while (!pending.empty()) {
        const oxMarkupNode* node = pending.back();
        pending.pop_back();
        if (byTag ? node->GetTag() == value : node->GetId() == value) return true;
        for (const oxMarkupNode* c = node->GetFirstChild(); c; c = c->GetNextSibling())
            pending.push_back(c);
    }
    return false;
}

} // namespace

oxCollapsedContainerBox::~oxCollapsedContainerBox() {
    delete first_;
}

oxMarkupNode* oxCollapsedContainerBox::AddDeferred(oxAtom ns, oxAtom tag) {
    auto* node = new (std::nothrow) oxMarkupNode(ns, tag);
    if (!node) return nullptr;
    if (last_)
        last_->SetNextSibling(node);
    else
        first_ = node;
    last_ = node;
    return node;
}

void oxCollapsedContainerBox::BuildDeferredContent(oxBox* into) {
    if (!into || !first_) return;
    oxMarkupNode* nodes = first_;
    first_ = last_ = nullptr;
    oxBoxScene* scene = into->GetScene();
    // The boxes made now hear of their scene together, after the whole content stands.
    bool deferred = scene && scene->SetDeferConstruction(true);
    oxBox* gadgetBox = into->GetOwner();
    for (const oxMarkupNode* node = nodes; node; node = node->GetNextSibling()) {
        oxElement* made = oxMarkupNode::Instantiate(node, into, true);
        if (made && gadgetBox && gadgetBox->GetGadget())
            gadgetBox->GetGadget()->AdoptPart(gadgetBox, static_cast<oxBox*>(made));
    }
    delete nodes;
    if (scene && !deferred) scene->SetDeferConstruction(false);
}

bool oxCollapsedContainerBox::ExpandIfHoldsId(oxAtom id) {
    if (!id || !Find(first_, id, false)) return false;
    if (oxBox* owner = GetParent()) owner->ExpandCollapsedContent();
    return true;
}

bool oxCollapsedContainerBox::ExpandIfHoldsTag(oxAtom tag) {
    if (!tag || !Find(first_, tag, true)) return false;
    if (oxBox* owner = GetParent()) owner->ExpandCollapsedContent();
    return true;
}
