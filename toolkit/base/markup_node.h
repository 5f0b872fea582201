#pragma once
// Recorded markup: a tree of nodes, each holding the namespace, tag and attributes of an element as
// the markup gave them, kept to be replayed later onto live elements (a gadget's content on every
// box of its tag, a collapsed box's content when it is first shown). Replaying goes through the
// element interface only, so a replayed tree is built exactly as the markup would build it.
// oxStylePropsElement is the `styleProps`/`property` child that sets attributes on its parent.
#include <cstdint>
#include <vector>

#include "toolkit/base/element.h"
#include "toolkit/base/shared_string.h"

class oxMarkupNode : public oxElement {
public:
    // Replays nested deeper than this are cut off there.
    static constexpr int kMaxReplayDepth = 256;

    oxMarkupNode(oxAtom ns, oxAtom tag) : oxElement(ns, tag) {}
    // Destroys the subtree and the following siblings.
    ~oxMarkupNode() override;

    // Records the attribute (`id` also sets the node's id). Always 0.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // `property` and `styleProps` children record into this node; any other child becomes a node.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // A new node of the kind this kind records its children as.
    virtual oxMarkupNode* CreateNode(oxAtom ns, oxAtom tag);

    // The text of the first attribute of that atom in any namespace, or null.
    const WCHAR* FindAttribute(oxAtom attribute) const;
    oxMarkupNode* GetFirstChild() const { return firstChild_; }
    oxMarkupNode* GetNextSibling() const { return next_; }
    // Links a node after this one (the chain's owner keeps the first node).
    void SetNextSibling(oxMarkupNode* node) { next_ = node; }
    size_t GetAttributeCount() const { return attributes_.size(); }

    // Makes the node's element under `target` (as a box child with `asBox`, else as an element
    // child), replays its attributes and children onto it and ends it. The box made, or null when
    // the node made no box.
    static oxElement* Instantiate(const oxMarkupNode* node, oxElement* target, bool asBox);

private:
    struct Attribute {
        oxAtom ns;
        oxAtom attribute;
        oxSharedString value;
    };
    static oxElement* InstantiateAt(const oxMarkupNode* node, oxElement* target, bool asBox, int depth);
    void AppendChild(oxMarkupNode* child);

    std::vector<Attribute> attributes_;
    oxMarkupNode* next_ = nullptr;       // owned
    oxMarkupNode* firstChild_ = nullptr; // owned
    oxMarkupNode* lastChild_ = nullptr;
};

class oxStylePropsElement : public oxElement {
public:
    enum Mode { kProperty = 0, kStyleProps = 1, kUnset = 2 };

    // `target` receives the attributes: style properties in the style namespace (styleProps), or
    // one attribute named by `name` with `value` (property).
    oxStylePropsElement(oxElement* target, Mode mode) : target_(target), mode_(mode) {}

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // Sets the property's attribute on the target, then destroys the element.
    void EndElement() override;

private:
    oxElement* target_;
    Mode mode_;
    oxAtom name_ = 0;
    std::vector<WCHAR> value_;
};
