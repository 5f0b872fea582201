#pragma once
// oxStyleElement: a `style` rule of a library or theme, a declaration and a markup element in one
// object. Its own attributes are style properties, except its keys (`name`, `tag`, `target`,
// `accStyleFor`), the `value` an attribute condition compares and the `inherits` list. Children are
// `part` styles (rules for the named parts of a gadget) and conditional sub-rules: an `attribute`
// child tests an attribute of the box, any other child a state named by its tag.
#include <cstdint>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/base/element.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_rule_node.h"

class oxBoxStyle;
class oxStyleLibrary;

class oxStyleElement : public oxElement, public oxStyleDeclaration {
public:
    // Nesting deeper than this is refused, so walks over nested rules stay shallow.
    static constexpr int kMaxNesting = 32;

    // `parent` is the enclosing rule of a `part` style, null otherwise.
    oxStyleElement(oxAtom tag, oxStyleLibrary* library, oxStyleElement* parent, int nesting = 0);
    ~oxStyleElement() override;

    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;
    // A library's own style adds itself to the library when its end tag is seen.
    void EndElement() override;
    // The same tag and library with a copy of the declaration; children, id and records stay.
    oxElement* Clone() override;
    oxStyleDeclaration* CloneDeclaration() const override;
    void AddToLibraryAtEnd() { addAtEnd_ = true; }

    oxAtom GetName() const { return name_; }
    // The theme the style joined at its end tag, 0 when none.
    oxAtom GetThemeId() const { return joined_ ? theme_ : 0; }
    oxAtom GetTagKey() const { return tagKey_; }
    oxAtom GetTargetKey() const { return target_; }
    oxAtom GetAccStyleFor() const { return accStyleFor_; }
    const WCHAR* GetValueText() const { return hasValue_ ? value_.GetString() : nullptr; }
    oxStyleLibrary* GetLibrary() const { return library_; }
    oxStyleElement* GetEnclosingRule() const { return parent_; }
    const std::vector<oxStyleElement*>& GetPartRules() const { return parts_; }
    const std::vector<oxStyleElement*>& GetSubRules() const { return states_; }
    bool HasSubRules() const { return !states_.empty(); }
    // The name a conditional sub-rule tests: an attribute's `name`, else the state named by the tag.
    oxAtom GetConditionName() const { return tag_ == kAtomAttribute ? name_ : tag_; }
    // Whether an attribute condition compares a `value` (without one, the attribute's presence matches).
    bool HasValue() const { return hasValue_; }

    // The styles named by `inherits`, in the order named, resolved in the library on first use.
    const std::vector<oxStyleElement*>& GetInherited();
    // The last `part` rule named `atom`, or null.
    oxStyleElement* FindChildRule(oxAtom atom) const;
    // Appends the names that the conditional sub-rules below this rule test (gathered once).
    void CollectAttributeIds(oxStyleConditionIds* ids);

    // The style records whose chain starts with this rule, each held with a reference; equal chains
    // are found here and shared.
    void AddRecord(oxBoxStyle* record);
    void RemoveRecord(oxBoxStyle* record);
    oxBoxStyle* FindRecord(const oxStyleRuleNode* chain, uint32_t hash) const;

private:
    void Gather(oxStyleConditionIds* ids, int depth) const;

    oxStyleLibrary* library_;
    oxStyleElement* parent_;
    int nesting_;
    bool addAtEnd_ = false;
    oxAtom name_ = 0;
    oxAtom tagKey_ = 0;
    oxAtom target_ = 0;
    oxAtom accStyleFor_ = 0;
    oxAtom theme_ = 0;
    bool joined_ = false;
    NUBO::TWString value_;
    bool hasValue_ = false;
    NUBO::TWString inheritsText_;
    bool inheritsResolved_ = false;
    bool idsGathered_ = false;
    std::vector<oxStyleElement*> inherited_;
    std::vector<oxStyleElement*> parts_;
    std::vector<oxStyleElement*> states_;
    oxStyleConditionIds ids_;
    std::vector<oxBoxStyle*> records_;
};

// The state bit that a state name selects (hidden 0x1 ... expanded 0x8000), 0 for other names.
uint32_t StyleStateBitOf(oxAtom name);
