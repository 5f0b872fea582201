#include "toolkit/style/box_style.h"

#include "toolkit/style/style_element.h"
#include "toolkit/style/style_tables.h"

namespace {

int KindOf(int id) {
    return id >= 0 && id < kStylePropertyCount ? kStyleProperties[id].group : 0;
}

} // namespace

oxStyleGroup* CascadeStyleGroup(int kind, const oxStyleRuleNode* chain, oxStyleGroup* group) {
    for (const oxStyleRuleNode* node = chain; node; node = node->next) {
        if (node->base) group = CascadeStyleGroup(kind, node->base, group);
        const oxStyleDeclaration* declaration = node->GetDeclaration();
        if (declaration && declaration->HasGroupProperties(kind)) {
            if (!group) group = CreateStyleGroup(kind);
            declaration->MergeIntoGroup(group);
        }
        if (node->matched) group = CascadeStyleGroup(kind, node->matched, group);
    }
    return group;
}

oxBoxStyle::oxBoxStyle(oxStyleRuleNode* chain, bool depends, const oxStyleConditionIds* ids) : chain_(chain) {
    if (depends) flags_ |= kDependsOnConditions;
    if (ids) {
        for (oxAtom atom : *ids)
            AppendConditionId(&ids_, atom);
    }
    hash_ = chain_ ? chain_->Hash() : 0;
    if (chain_ && chain_->rule) {
        rule_ = chain_->rule;
        rule_->AddRecord(this);
    }
}

oxBoxStyle::~oxBoxStyle() {
    for (oxStyleGroup*& group : groups_) {
        delete group;
        group = nullptr;
    }
    delete chain_;
}

ULONG oxBoxStyle::Release() {
    uint32_t count = --count_;
    if (count == 0) {
        count_ = kDeletingCount;
        delete this;
    }
    return count;
}

oxStyleGroup* oxBoxStyle::GetGroup(int kind) {
    if (kind < 1 || kind > 15) return nullptr;
    oxStyleGroup*& group = groups_[kind - 1];
    uint32_t resolved = 1u << (kind + 1);
    if (!group && !(flags_ & resolved)) {
        group = CascadeStyleGroup(kind, chain_, nullptr);
        flags_ |= resolved;
    }
    return group;
}

void oxBoxStyle::GetProperty(oxStyleValue* out, int id) {
    if (!out) return;
    out->Clear(true);
    oxStyleGroup* group = GetGroup(KindOf(id));
    if (group) group->GetMember(out, id);
}

void oxBoxStyle::SetProperty(int id, const oxStyleValue& value) {
    int kind = KindOf(id);
    if (!kind) return;
    oxStyleGroup*& group = groups_[kind - 1];
    if (!group) group = CascadeStyleGroup(kind, chain_, nullptr);
    if (!group) group = CreateStyleGroup(kind);
    if (group) group->SetMember(id, value);
}

void oxBoxStyle::ClearProperty(int id) {
    int kind = KindOf(id);
    if (!kind) return;
    delete groups_[kind - 1];
    groups_[kind - 1] = nullptr;
    flags_ &= ~(1u << (kind + 1));
}

void oxBoxStyle::DetachInlineDeclaration(const oxStyleDeclaration* declaration) {
    oxStyleRuleNode* last = chain_;
    while (last && last->next)
        last = last->next;
    if (last && !last->rule && last->declaration == declaration) last->declaration = nullptr;
}

bool oxBoxStyle::DependsOn(oxAtom atom) const {
    for (oxAtom id : ids_)
        if (id == atom) return true;
    return false;
}
