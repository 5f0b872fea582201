#pragma once
// oxBoxStyle: the computed style record of a box: the chain of rules that match it and up to 15
// property groups, each built from the chain the first time one of its properties is read. Layout,
// painting and scripts read values through it; animations, bindings and scripts write straight into
// it. Counted; boxes whose chains are equal share one record.
#include <cstdint>

#include "platform/types.h"
#include "toolkit/style/style_declaration.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_rule_node.h"

class oxStyleElement;

class oxBoxStyle {
public:
    static constexpr uint32_t kDeletingCount = 0xC0000001u;
    // Flag bit 0: the chain has conditional sub-rules, so state and attribute changes restyle.
    static constexpr uint32_t kDependsOnConditions = 0x1;

    // Takes over `chain`. A chain that starts with a rule registers the record with that rule.
    // The count starts at 1, the creator's.
    oxBoxStyle(oxStyleRuleNode* chain, bool depends, const oxStyleConditionIds* ids);
    oxBoxStyle(const oxBoxStyle&) = delete;
    oxBoxStyle& operator=(const oxBoxStyle&) = delete;

    ULONG AddRef() { return count_++; }
    ULONG Release();
    uint32_t GetRefCount() const { return count_; }

    // The group of kind 1..15, built from the chain on first use; null when no rule sets any of its
    // properties (remembered, so an empty kind is not searched again).
    oxStyleGroup* GetGroup(int kind);
    oxAnimationGroup* GetAnimationGroup() { return static_cast<oxAnimationGroup*>(GetGroup(1)); }
    oxColorGroup* GetColorGroup() { return static_cast<oxColorGroup*>(GetGroup(2)); }
    oxMetricsGroup* GetMetricsGroup() { return static_cast<oxMetricsGroup*>(GetGroup(3)); }
    oxClipGroup* GetClipGroup() { return static_cast<oxClipGroup*>(GetGroup(4)); }
    oxFillGroup* GetFillGroup() { return static_cast<oxFillGroup*>(GetGroup(6)); }
    oxTextGroup* GetTextGroup() { return static_cast<oxTextGroup*>(GetGroup(8)); }
    oxLayoutGroup* GetLayoutGroup() { return static_cast<oxLayoutGroup*>(GetGroup(10)); }
    oxStrokeGroup* GetStrokeGroup() { return static_cast<oxStrokeGroup*>(GetGroup(11)); }
    oxShadowGroup* GetShadowGroup() { return static_cast<oxShadowGroup*>(GetGroup(12)); }
    oxBevelGroup* GetBevelGroup() { return static_cast<oxBevelGroup*>(GetGroup(13)); }
    oxTransformGroup* GetTransformGroup() { return static_cast<oxTransformGroup*>(GetGroup(14)); }
    oxOffsetGroup* GetOffsetGroup() { return static_cast<oxOffsetGroup*>(GetGroup(15)); }
    // The group of a kind as it stands, without building it.
    oxStyleGroup* PeekGroup(int kind) const { return kind >= 1 && kind <= 15 ? groups_[kind - 1] : nullptr; }

    // A copy of the computed value; null for ids outside 0..127 or a group no rule sets.
    void GetProperty(oxStyleValue* out, int id);
    // Writes a value over the cascade (the group is built or made empty first).
    void SetProperty(int id, const oxStyleValue& value);
    // Drops the whole group holding the id, so it is rebuilt from the rules on the next read.
    void ClearProperty(int id);
    // The box's inline declaration goes away: the chain's leaf forgets it.
    void DetachInlineDeclaration(const oxStyleDeclaration* declaration);

    oxStyleRuleNode* GetChain() const { return chain_; }
    uint32_t GetChainHash() const { return hash_; }
    uint32_t GetFlags() const { return flags_; }
    bool DependsOnConditions() const { return (flags_ & kDependsOnConditions) != 0; }
    // Whether a state or attribute of this name is tested by the chain's sub-rules.
    bool DependsOn(oxAtom atom) const;
    const oxStyleConditionIds& GetConditionIds() const { return ids_; }
    bool HasInline() const { return inline_; }
    void SetInline(bool on) { inline_ = on; }
    // The rule whose record list holds this record, or null.
    oxStyleElement* GetRegisteredRule() const { return rule_; }
    void ForgetRegisteredRule() { rule_ = nullptr; }

private:
    ~oxBoxStyle();

    uint32_t count_ = 1;
    oxStyleGroup* groups_[15] = {};
    oxStyleRuleNode* chain_;
    uint32_t flags_ = 0;
    bool inline_ = false;
    oxStyleConditionIds ids_;
    uint32_t hash_ = 0;
    oxStyleElement* rule_ = nullptr;
};

// Builds the group of `kind` from `chain` into `group` (made when a declaration first sets one of
// its properties): base chains first, then each node's declaration, then its matched sub-rules.
oxStyleGroup* CascadeStyleGroup(int kind, const oxStyleRuleNode* chain, oxStyleGroup* group);
