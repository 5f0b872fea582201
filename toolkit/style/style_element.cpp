#include "toolkit/style/style_element.h"

#include <algorithm>
#include <new>

#include "platform/crt/wide.h"
#include "toolkit/base/list_text.h"
#include "toolkit/style/box_style.h"
#include "toolkit/style/style_library.h"
#include "toolkit/style/style_parser.h"

namespace {

struct StateName {
    oxAtom atom;
    uint32_t bit;
};

// The states that style rules select on.
constexpr StateName kStyleStates[] = {
    {kAtomHidden, 0x1},     {kAtomCollapsed, 0x2},   {kAtomDeflated, 0x4},    {kAtomOverflowed, 0x8},
    {kAtomHovered, 0x20},   {kAtomPressed, 0x40},    {kAtomDragged, 0x80},    {kAtomDragHovered, 0x100},
    {kAtomFocused, 0x200},  {kAtomDisabled, 0x400},  {kAtomEngaged, 0x800},   {kAtomPopped, 0x1000},
    {kAtomToggled, 0x2000}, {kAtomSelected, 0x4000}, {kAtomExpanded, 0x8000},
};

} // namespace

uint32_t StyleStateBitOf(oxAtom name) {
    for (const StateName& s : kStyleStates)
        if (s.atom == name) return s.bit;
    return 0;
}

oxStyleElement::oxStyleElement(oxAtom tag, oxStyleLibrary* library, oxStyleElement* parent, int nesting)
    : oxElement(kAtomResourceNamespace, tag), library_(library), parent_(parent), nesting_(nesting) {}

oxStyleElement::~oxStyleElement() {
    if (joined_ && library_) library_->LeaveTheme(this, theme_);
    for (oxStyleElement* child : parts_)
        delete child;
    for (oxStyleElement* child : states_)
        delete child;
    // Records still held by boxes outlive the rule only in a tree that is being torn down.
    std::vector<oxBoxStyle*> records;
    records.swap(records_);
    for (oxBoxStyle* record : records) {
        record->ForgetRegisteredRule();
        record->Release();
    }
}

int32_t oxStyleElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomId:
        return oxElement::SetMarkupAttribute(ns, attribute, value);
    case kAtomInherits:
        inheritsText_ = value;
        inheritsResolved_ = false;
        return 0;
    case kAtomTheme:
        theme_ = value && *value ? oxAtoms::Intern(value) : 0;
        return 0;
    case kAtomName:
        name_ = oxAtoms::Intern(value);
        return 0;
    case kAtomTag:
        tagKey_ = oxAtoms::Intern(value);
        return 0;
    case kAtomTarget:
        target_ = oxAtoms::Intern(value);
        return 0;
    case kAtomAccStyleFor:
        accStyleFor_ = oxAtoms::Intern(value);
        return 0;
    case kAtomValue:
        value_ = value;
        hasValue_ = value != nullptr;
        return 0;
    default: {
        WCHAR name[256];
        if (!oxAtoms::GetName(attribute, name, 256)) return 0;
        oxStyleValue parsed;
        (void)ParseStyleAttribute(name, value, &parsed, this, library_);
        return 0;
    }
    }
}

int32_t oxStyleElement::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (nesting_ + 1 >= kMaxNesting) return kElementNotHandled;
    bool part = tag == kAtomPart;
    auto* child = new (std::nothrow) oxStyleElement(tag, library_, part ? this : nullptr, nesting_ + 1);
    if (!child) return kElementNotHandled;
    std::vector<oxStyleElement*>& list = part ? parts_ : states_;
    list.push_back(child);
    *out = child;
    return 0;
}

void oxStyleElement::EndElement() {
    oxElement::EndElement();
    if (addAtEnd_ && library_) {
        addAtEnd_ = false;
        if (theme_ && !joined_) joined_ = library_->JoinTheme(this, theme_);
        library_->AddResource(this);
    }
}

oxElement* oxStyleElement::Clone() {
    auto* copy = new (std::nothrow) oxStyleElement(tag_, library_, nullptr);
    if (!copy) return nullptr;
    for (int i = 0; i < GetCount(); ++i)
        copy->StoreProperty(At(i).GetPropertyId(), At(i));
    return copy;
}

oxStyleDeclaration* oxStyleElement::CloneDeclaration() const {
    return oxStyleDeclaration::CloneDeclaration();
}

const std::vector<oxStyleElement*>& oxStyleElement::GetInherited() {
    if (inheritsResolved_) return inherited_;
    inheritsResolved_ = true;
    inherited_.clear();
    if (inheritsText_.IsEmpty() || !library_) return inherited_;
    // A comma-separated list of style names: ids in the library, or full resource references.
    for (const NUBO::TWString& name : SplitListText(inheritsText_.GetString(), inheritsText_.GetLength())) {
        if (name.IsEmpty()) continue;
        oxElement* found = wcschr(name.GetString(), u'#')
                               ? library_->FindResourceByUri(name.GetString(), kAtomStyle)
                               : library_->FindResourceById(oxAtoms::Intern(name.GetString()), kAtomStyle);
        if (auto* style = dynamic_cast<oxStyleElement*>(found)) inherited_.push_back(style);
    }
    return inherited_;
}

oxStyleElement* oxStyleElement::FindChildRule(oxAtom atom) const {
    for (size_t i = parts_.size(); i-- > 0;)
        if (parts_[i]->name_ == atom) return parts_[i];
    return nullptr;
}

void oxStyleElement::Gather(oxStyleConditionIds* ids, int depth) const {
    if (depth >= kMaxNesting) return;
    for (const oxStyleElement* sub : states_) {
        AppendConditionId(ids, sub->GetConditionName());
        sub->Gather(ids, depth + 1);
    }
    for (const oxStyleElement* part : parts_)
        part->Gather(ids, depth + 1);
}

void oxStyleElement::CollectAttributeIds(oxStyleConditionIds* ids) {
    if (!idsGathered_) {
        idsGathered_ = true;
        Gather(&ids_, 0);
    }
    if (!ids) return;
    for (oxAtom atom : ids_)
        AppendConditionId(ids, atom);
}

void oxStyleElement::AddRecord(oxBoxStyle* record) {
    if (!record) return;
    record->AddRef();
    records_.push_back(record);
}

void oxStyleElement::RemoveRecord(oxBoxStyle* record) {
    auto it = std::find(records_.begin(), records_.end(), record);
    if (it == records_.end()) return;
    records_.erase(it);
    record->ForgetRegisteredRule();
    record->Release();
}

oxBoxStyle* oxStyleElement::FindRecord(const oxStyleRuleNode* chain, uint32_t hash) const {
    for (oxBoxStyle* record : records_) {
        if (record->GetChainHash() == hash && !record->HasInline() &&
            oxStyleRuleNode::Equals(record->GetChain(), chain))
            return record;
    }
    return nullptr;
}
