#pragma once
// The rule tree of one box: a chain of oxStyleRuleNodes, one per style rule that matches the box
// (tag rules first, then named styles, id and part rules, and the box's inline declaration as the
// last node, a leaf). Under each rule node hang its base chain (the styles it inherits) and the list
// of its conditional sub-rules (state and attribute styles) that match the box now. A box's style
// record owns its chain; groups are computed by walking it (CascadeStyleGroup).
#include <cstdint>
#include <vector>

#include "toolkit/base/atoms.h"

class oxStyleDeclaration;
class oxStyleElement;

// The state and attribute names that a chain's conditional sub-rules test, without duplicates.
using oxStyleConditionIds = std::vector<oxAtom>;
void AppendConditionId(oxStyleConditionIds* ids, oxAtom atom);

class oxStyleRuleNode {
public:
    // A leaf holding a declaration (a box's inline style); it is always the last node.
    explicit oxStyleRuleNode(const oxStyleDeclaration* leaf) : declaration(leaf) {}
    // A node for `rule` in front of `following`; collects the rule's condition names into `ids` and
    // builds the base chain of the styles it inherits.
    oxStyleRuleNode(oxStyleElement* ruleElement, oxStyleRuleNode* following, oxStyleConditionIds* ids);
    oxStyleRuleNode(const oxStyleRuleNode&) = delete;
    oxStyleRuleNode& operator=(const oxStyleRuleNode&) = delete;
    // Deletes the following nodes, the base chain and the matched list.
    ~oxStyleRuleNode();

    void ClearMatched();
    // The same rules in the same places, recursively; leaves are equal whatever they hold.
    static bool Equals(const oxStyleRuleNode* a, const oxStyleRuleNode* b);
    // A copy of the chain from this node with empty matched lists; null when memory ran out.
    oxStyleRuleNode* Clone(oxStyleConditionIds* ids) const;
    // A hash of the chain's shape, equal for chains that Equals calls equal.
    uint32_t Hash() const;
    // The declaration this node contributes: the rule's own, or the leaf's.
    const oxStyleDeclaration* GetDeclaration() const;

    oxStyleElement* rule = nullptr;
    const oxStyleDeclaration* declaration = nullptr;
    oxStyleRuleNode* next = nullptr;
    oxStyleRuleNode* base = nullptr;
    oxStyleRuleNode* matched = nullptr;

    // A node for a matched sub-rule `depth` levels below its chain's rule.
    oxStyleRuleNode(oxStyleElement* ruleElement, oxStyleRuleNode* following, oxStyleConditionIds* ids, int depth);
    int GetDepth() const { return depth_; }

private:
    void BuildBase(oxStyleConditionIds* ids, int depth);

    int depth_ = 0;
};
