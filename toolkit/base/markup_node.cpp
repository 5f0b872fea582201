#include "toolkit/base/markup_node.h"

#include <new>

#include "platform/crt/wide.h"
#include "toolkit/base/atoms.h"

namespace {

// The predefined style property names.
constexpr oxAtom kFirstStyleProperty = 1136;
constexpr oxAtom kLastStyleProperty = 1264;

} // namespace

oxMarkupNode::~oxMarkupNode() {
    // Siblings go in a loop, not by recursion, so a long chain cannot exhaust the stack.
    oxMarkupNode* sibling = next_;
    next_ = nullptr;
    while (sibling) {
        oxMarkupNode* following = sibling->next_;
        sibling->next_ = nullptr;
        delete sibling;
        sibling = following;
    }
    delete firstChild_;
}

int32_t oxMarkupNode::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    (void)oxElement::SetMarkupAttribute(ns, attribute, value);
    attributes_.push_back(Attribute{ns, attribute, oxSharedString(value ? value : u"")});
    return 0;
}

int32_t oxMarkupNode::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (tag == kAtomProperty || tag == kAtomStyleProps) {
        *out = new (std::nothrow) oxStylePropsElement(this, tag == kAtomProperty ? oxStylePropsElement::kProperty
                                                                                 : oxStylePropsElement::kStyleProps);
        return 0;
    }
    oxMarkupNode* child = CreateNode(ns, tag);
    if (child) AppendChild(child);
    *out = child;
    return 0;
}

oxMarkupNode* oxMarkupNode::CreateNode(oxAtom ns, oxAtom tag) {
    return new (std::nothrow) oxMarkupNode(ns, tag);
}

void oxMarkupNode::AppendChild(oxMarkupNode* child) {
    if (lastChild_)
        lastChild_->next_ = child;
    else
        firstChild_ = child;
    lastChild_ = child;
}

const WCHAR* oxMarkupNode::FindAttribute(oxAtom attribute) const {
    if (!attribute) return nullptr;
    for (const Attribute& a : attributes_)
        if (a.attribute == attribute) return a.value.GetString();
    return nullptr;
}

oxElement* oxMarkupNode::Instantiate(const oxMarkupNode* node, oxElement* target, bool asBox) {
    return InstantiateAt(node, target, asBox, 0);
}

oxElement* oxMarkupNode::InstantiateAt(const oxMarkupNode* node, oxElement* target, bool asBox, int depth) {
    if (!node || !target || depth >= kMaxReplayDepth) return nullptr;
    oxAtom ns = node->GetNamespace();
    oxAtom tag = node->GetTag();
    if (tag == kAtomInstance || tag == kAtomPart) {
        ns = kAtomBoxNamespace;
        const WCHAR* gid = node->FindAttribute(kAtomGid);
        tag = gid && *gid ? oxAtoms::Intern(gid) : 0;
    }
    oxElement* child = nullptr;
    if (asBox)
        (void)target->CreateChild(ns, tag, &child, true);
    else
        (void)target->CreateChildElement(ns, tag, &child);
    if (!child) return nullptr;
    for (const Attribute& a : node->attributes_)
        (void)child->SetMarkupAttribute(a.ns, a.attribute, a.value.GetString());
    for (const oxMarkupNode* c = node->firstChild_; c; c = c->next_)
        InstantiateAt(c, child, asBox, depth + 1);
    // Some elements destroy themselves at their end tag: ask first.
    bool isBox = child->IsBox();
    child->EndElement();
    return isBox ? child : nullptr;
}

int32_t oxStylePropsElement::SetMarkupAttribute(oxAtom, oxAtom attribute, const WCHAR* value) {
    if (!target_ || !attribute || !value) return 0;
    switch (mode_) {
    case kStyleProps:
        if (attribute < kFirstStyleProperty || attribute > kLastStyleProperty) return kElementNotHandled;
        return target_->SetMarkupAttribute(kAtomStyleNamespace, attribute, value);
    case kProperty:
        if (attribute == kAtomName) {
            name_ = oxAtoms::Intern(value);
            return 0;
        }
        if (attribute == kAtomValue) {
            value_.assign(value, value + wcslen(value) + 1);
            return 0;
        }
        return kElementNotHandled;
    default:
        return 0;
    }
}

int32_t oxStylePropsElement::CreateChildElement(oxAtom, oxAtom, oxElement** out) {
    *out = nullptr;
    return kElementNotHandled;
}

void oxStylePropsElement::EndElement() {
    if (mode_ == kProperty && target_ && name_ && value_.size() > 1)
        (void)target_->SetMarkupAttribute(kAtomBoxNamespace, name_, value_.data());
    oxElement::EndElement();
    delete this;
}
