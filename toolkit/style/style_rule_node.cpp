#include "toolkit/style/style_rule_node.h"

#include <new>

#include "toolkit/style/style_element.h"

namespace {

// Inherited styles nest their own base chains; a style that inherits itself, directly or through
// others, would nest for ever, so base chains stop at this depth.
constexpr int kMaxBaseDepth = 16;

uint32_t Mix(uint32_t h, uintptr_t v) {
    h ^= uint32_t(v) + 0x9E3779B9u + (h << 6) + (h >> 2);
    return h ^ uint32_t(uint64_t(v) >> 32);
}

// Deletes a chain without recursing along it.
void DeleteChain(oxStyleRuleNode* node) {
    while (node) {
        oxStyleRuleNode* following = node->next;
        node->next = nullptr;
        delete node;
        node = following;
    }
}

} // namespace

void AppendConditionId(oxStyleConditionIds* ids, oxAtom atom) {
    if (!ids || !atom) return;
    for (oxAtom id : *ids)
        if (id == atom) return;
    ids->push_back(atom);
}

oxStyleRuleNode::oxStyleRuleNode(oxStyleElement* ruleElement, oxStyleRuleNode* following, oxStyleConditionIds* ids)
    : oxStyleRuleNode(ruleElement, following, ids, 0) {}

oxStyleRuleNode::oxStyleRuleNode(oxStyleElement* ruleElement, oxStyleRuleNode* following, oxStyleConditionIds* ids,
                                 int depth)
    : rule(ruleElement), next(following), depth_(depth) {
    if (rule) rule->CollectAttributeIds(ids);
    BuildBase(ids, depth);
}

void oxStyleRuleNode::BuildBase(oxStyleConditionIds* ids, int depth) {
    if (!rule || depth >= kMaxBaseDepth) return;
    auto prepend = [&](oxStyleElement* style) {
        if (!style) return;
        auto* node = new (std::nothrow) oxStyleRuleNode(style, base, ids, depth + 1);
        if (node) base = node;
    };
    // Put in front from the last named to the first, so the chain reads in the order named: the
    // rule's own inherited styles, then the same-named parts of its enclosing rule's.
    if (oxStyleElement* enclosing = rule->GetEnclosingRule()) {
        const auto& inherited = enclosing->GetInherited();
        for (size_t i = inherited.size(); i-- > 0;)
            prepend(inherited[i]->FindChildRule(rule->GetName()));
    }
    const auto& own = rule->GetInherited();
    for (size_t i = own.size(); i-- > 0;)
        prepend(own[i]);
}

oxStyleRuleNode::~oxStyleRuleNode() {
    DeleteChain(next);
    DeleteChain(base);
    DeleteChain(matched);
}

void oxStyleRuleNode::ClearMatched() {
    DeleteChain(matched);
    matched = nullptr;
}

const oxStyleDeclaration* oxStyleRuleNode::GetDeclaration() const {
    return rule ? static_cast<const oxStyleDeclaration*>(rule) : declaration;
}

bool oxStyleRuleNode::Equals(const oxStyleRuleNode* a, const oxStyleRuleNode* b) {
    for (; a || b; a = a->next, b = b->next) {
        if (!a || !b || a->rule != b->rule) return false;
        if (!Equals(a->base, b->base) || !Equals(a->matched, b->matched)) return false;
    }
    return true;
}

uint32_t oxStyleRuleNode::Hash() const {
    uint32_t h = 0x811C9DC5u;
    for (const oxStyleRuleNode* n = this; n; n = n->next) {
        h = Mix(h, reinterpret_cast<uintptr_t>(n->rule));
        h = Mix(h, n->base ? n->base->Hash() : 1);
        h = Mix(h, n->matched ? n->matched->Hash() : 2);
    }
    return h;
}

oxStyleRuleNode* oxStyleRuleNode::Clone(oxStyleConditionIds* ids) const {
    oxStyleRuleNode* first = nullptr;
    oxStyleRuleNode** tail = &first;
    for (const oxStyleRuleNode* n = this; n; n = n->next) {
        oxStyleRuleNode* copy = n->rule ? new (std::nothrow) oxStyleRuleNode(n->rule, nullptr, ids, n->depth_)
                                        : new (std::nothrow) oxStyleRuleNode(n->declaration);
        if (!copy) break; // the copy is shorter; it then differs from the original
        *tail = copy;
        tail = &copy->next;
        if (!n->rule) break; // a leaf is always the last node
    }
    return first;
}
