#include "toolkit/core/style_rule_maps.h"

#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_element.h"

namespace {

void Register(NUBO::oxIdHashMap<std::vector<oxStyleElement*>>& map, oxAtom key, oxStyleElement* rule) {
    if (key) map.GetOrInsert(key).push_back(rule);
}

// The part rules keyed by `atom` under a chain, in the order found: each node's rule's last part of
// that name, or where the rule has none, the same search under the node's matched sub-rules.
void CollectChildRules(const oxStyleRuleNode* chain, oxAtom atom, std::vector<oxStyleElement*>* out, int depth) {
    if (depth >= oxStyleElement::kMaxNesting) return;
    for (const oxStyleRuleNode* n = chain; n; n = n->next) {
        if (!n->rule) continue;
        if (oxStyleElement* part = n->rule->FindChildRule(atom))
            out->push_back(part);
        else
            CollectChildRules(n->matched, atom, out, depth + 1);
    }
}

// Whether a conditional sub-rule matches the box's attributes or states now.
bool MatchesBox(const oxStyleElement* sub, const oxBox* box) {
    if (sub->GetTag() == kAtomAttribute) {
        const WCHAR* text = box->GetAttributeText(sub->GetName());
        if (!text) return false;
        if (!sub->HasValue()) return true;
        const WCHAR* value = sub->GetValueText();
        return wcscmp(value ? value : u"", text) == 0;
    }
    uint32_t bit = StyleStateBitOf(sub->GetConditionName());
    if (!bit) return false;
    uint32_t flags = box->GetStateFlags();
    if (bit == kStateDisabled && (flags & kStateDisabledByAncestor)) return true;
    return (flags & bit) != 0;
}

// Rebuilds the matched lists of `node` for `box` (with `follow`, of the following nodes too).
// Nonzero when a rule met on the way has conditional sub-rules.
int MatchSubRules(oxStyleRuleNode* node, oxBox* box, oxStyleConditionIds* ids, bool follow) {
    if (!box) return 0;
    int result = 0;
    if (node->rule) {
        node->ClearMatched();
        result = node->rule->HasSubRules() ? 1 : 0;
        // The state of the gadget a part belongs to applies to the part.
        oxBox* owner = box->GetOwner();
        if (owner && owner != box && owner->TestChangeFlags(kChangeBlockEvents))
            result |= MatchSubRules(node, owner, ids, true);
        if (node->base) result |= MatchSubRules(node->base, box, ids, true);
        const auto& subRules = node->rule->GetSubRules();
        for (size_t i = subRules.size(); i-- > 0;) {
            oxStyleElement* sub = subRules[i];
            if (!MatchesBox(sub, box)) continue;
            auto* matched = new (std::nothrow) oxStyleRuleNode(sub, node->matched, ids, node->GetDepth() + 1);
            if (!matched) continue;
            node->matched = matched;
            result |= MatchSubRules(matched, box, ids, false);
        }
    }
    if (follow) {
        for (oxStyleRuleNode* n = node->next; n; n = n->next)
            result |= MatchSubRules(n, box, ids, false);
    }
    return result;
}

// Puts each rule in front of the chain, from the last to the first, matching its sub-rules.
oxStyleRuleNode* PrependRules(const std::vector<oxStyleElement*>* rules, oxStyleRuleNode* chain, oxBox* box,
                              oxStyleConditionIds* ids, int* depends) {
    if (!rules) return chain;
    for (size_t i = rules->size(); i-- > 0;) {
        auto* node = new (std::nothrow) oxStyleRuleNode((*rules)[i], chain, ids);
        if (!node) continue;
        chain = node;
        *depends |= MatchSubRules(node, box, ids, false);
    }
    return chain;
}

// A record for a chain: shared from the first rule's records when an equal one exists.
oxBoxStyle* MakeRecord(oxStyleRuleNode* chain, int depends, const oxStyleConditionIds& ids, bool hasInline) {
    if (!hasInline && chain && chain->rule) {
        if (oxBoxStyle* shared = chain->rule->FindRecord(chain, chain->Hash())) {
            delete chain;
            shared->AddRef();
            return shared;
        }
    }
    auto* record = new (std::nothrow) oxBoxStyle(chain, depends != 0, &ids);
    if (!record) {
        delete chain;
        return nullptr;
    }
    record->SetInline(hasInline);
    return record;
}

} // namespace

void oxStyleRuleMaps::AddStyleRule(oxStyleElement* rule) {
    if (!rule) return;
    Register(byName_, rule->GetName(), rule);
    Register(byTag_, rule->GetTagKey(), rule);
    Register(byTarget_, rule->GetTargetKey(), rule);
}

void oxStyleRuleMaps::Clear() {
    byName_.ClearNodes();
    byTag_.ClearNodes();
    byTarget_.ClearNodes();
}

oxBoxStyle* oxStyleRuleMaps::BuildBoxStyle(oxBox* box) {
    if (!box) return nullptr;
    oxStyleConditionIds ids;
    int depends = 0;
    const oxStyleDeclaration* inlineStyle = box->GetInlineStyle();
    if (oxBoxStyle* old = box->GetStyleRecord()) {
        // Only states or attributes can have changed: match the same rules again.
        oxStyleRuleNode* copy = old->GetChain() ? old->GetChain()->Clone(&ids) : nullptr;
        if (copy) depends = MatchSubRules(copy, box, &ids, true);
        if (oxStyleRuleNode::Equals(copy, old->GetChain())) {
            delete copy;
            old->AddRef();
            return old;
        }
        return MakeRecord(copy, depends, ids, old->HasInline());
    }

    oxStyleRuleNode* chain = nullptr;
    if (inlineStyle) chain = new (std::nothrow) oxStyleRuleNode(inlineStyle);
    if (oxAtom id = box->GetId()) {
        oxBox* owner = box->GetOwner();
        if (owner && owner != box) {
            std::vector<oxStyleElement*> parts;
            if (oxBoxStyle* ownerStyle = owner->GetStyleRecord())
                CollectChildRules(ownerStyle->GetChain(), id, &parts, 0);
            chain = PrependRules(&parts, chain, box, &ids, &depends);
        } else if (auto* node = byTarget_.Find(id)) {
            chain = PrependRules(&node->value, chain, box, &ids, &depends);
        }
    }
    if (oxAtom name = box->GetStyleId()) {
        if (auto* node = byName_.Find(name)) chain = PrependRules(&node->value, chain, box, &ids, &depends);
    }
    if (auto* node = byTag_.Find(box->GetTag())) chain = PrependRules(&node->value, chain, box, &ids, &depends);
    return MakeRecord(chain, depends, ids, inlineStyle != nullptr);
}

oxBoxStyle* oxStyleRuleMaps::GetSubStyle(oxBox* box, oxAtom atom) {
    oxBoxStyle* own = box ? box->GetStyleRecord() : nullptr;
    if (!own) return nullptr;
    std::vector<oxStyleElement*> parts;
    CollectChildRules(own->GetChain(), atom, &parts, 0);
    if (parts.empty()) return nullptr;
    oxStyleConditionIds ids;
    int depends = 0;
    oxStyleRuleNode* chain = PrependRules(&parts, nullptr, box, &ids, &depends);
    return MakeRecord(chain, depends, ids, false);
}
