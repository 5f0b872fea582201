#include "toolkit/binding/row_template.h"

#include <new>

#include "platform/crt/wide.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/style/style_tables.h"

using NUBO::TWString;
using NUBO::XVariant;

namespace {

// `match`: the condition of a template. It writes into the template and goes at its end tag.
class MatchElement final : public oxElement {
public:
    MatchElement(bool* presence, TWString* field, TWString* value)
        : oxElement(kAtomBoxNamespace, kAtomMatch), presence_(presence), field_(field), value_(value) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* text) override {
        (void)ns;
        if (attribute == kAtomProperty || attribute == kAtomHasProperty) {
            *field_ = text ? text : u"";
            *presence_ = attribute == kAtomHasProperty;
        } else if (attribute == kAtomValue) {
            *value_ = text ? text : u"";
        }
        return 0;
    }
    void EndElement() override { delete this; }

private:
    bool* presence_;
    TWString* field_;
    TWString* value_;
};

// `recurse`: names the row's field that holds its nested collection and the key of those rows. It
// marks the template nested at its end tag and goes.
class RecurseElement final : public oxElement {
public:
    RecurseElement(oxRowTemplate* owner, std::vector<int> path)
        : oxElement(kAtomBoxNamespace, kAtomRecurse), owner_(owner), path_(std::move(path)) {}
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* text) override {
        (void)ns;
        if (attribute == kAtomProperty)
            field_ = text ? text : u"";
        else if (attribute == kAtomKey)
            key_ = text && *text ? oxAtoms::Intern(text) : 0;
        return 0;
    }
    void EndElement() override {
        owner_->SetRecurse(path_, field_.GetString(), key_);
        owner_->SetNested();
        delete this;
    }

private:
    oxRowTemplate* owner_;
    std::vector<int> path_;
    TWString field_;
    oxAtom key_ = 0;
};

// "{field}" gives "field"; an empty "{}" stands for the row itself. False for a literal.
bool ParseExpression(const WCHAR* text, TWString* out) {
    if (!text || text[0] != u'{') return false;
    size_t n = 0;
    while (text[n])
        ++n;
    if (n < 2 || text[n - 1] != u'}') return false;
    if (n == 2) {
        *out = u"_self";
        return true;
    }
    out->Assign(text + 1, int(n - 2));
    return true;
}

void WriteValue(oxBox* box, const oxExpressionUse& use, const WCHAR* text) {
    if (use.styleId >= 0)
        box->SetStylePropertyText(use.styleId, text, 0);
    else
        box->SetAttribute(use.attribute, text, true, false);
}

} // namespace

oxBoxDescription::oxBoxDescription(oxAtom ns, oxAtom tag, oxRowTemplate* owner, std::vector<int> path)
    : oxElement(ns, tag), owner_(owner), path_(std::move(path)) {}

oxBoxDescription::~oxBoxDescription() {
    for (oxBoxDescription* child : children_)
        delete child;
}

int32_t oxBoxDescription::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    TWString expression;
    if (ParseExpression(value, &expression)) {
        oxExpressionUse use{path_, ns, attribute, -1};
        if (ns == kAtomStyleNamespace) {
            WCHAR name[oxAtoms::kLookupUnits];
            if (!oxAtoms::GetName(attribute, name, oxAtoms::kLookupUnits)) return 0;
            use.styleId = StylePropertyIdFromName(name);
            if (use.styleId < 0) return 0;
        }
        owner_->AddExpression(expression.GetString(), use);
        return 0;
    }
    literals_.push_back({ns, attribute, TWString(value ? value : u"")});
    return 0;
}

int32_t oxBoxDescription::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    if (out) *out = nullptr;
    if (!out) return kElementNotHandled;
    std::vector<int> path = path_;
    path.push_back(int(children_.size()));
    if (tag == kAtomRecurse) {
        *out = new (std::nothrow) RecurseElement(owner_, std::move(path));
        return *out ? 0 : kElementNotHandled;
    }
    auto* child = new (std::nothrow) oxBoxDescription(ns, tag, owner_, std::move(path));
    if (!child) return kElementNotHandled;
    children_.push_back(child);
    *out = child;
    return 0;
}

oxBox* oxBoxDescription::Build(oxBoxScene* scene) const {
    oxBox* box = scene->CreateBox(namespace_, tag_);
    if (!box) return nullptr;
    for (const Attribute& a : literals_)
        box->SetMarkupAttribute(a.ns, a.attribute, a.literal.GetString());
    for (const oxBoxDescription* child : children_) {
        oxBox* made = child->Build(scene);
        if (!made) continue;
        box->AddChild(made, nullptr, false);
        if (made->GetParent() != box) made->Release(); // too deep for the tree
    }
    return box;
}

oxRowTemplate::oxRowTemplate() : oxElement(kAtomBoxNamespace, kAtomTemplate) {}

oxRowTemplate::~oxRowTemplate() {
    delete description_;
}

int32_t oxRowTemplate::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    if (attribute == kAtomKey) {
        key_ = value && *value ? oxAtoms::Intern(value) : 0;
        return 0;
    }
    return oxElement::SetMarkupAttribute(ns, attribute, value);
}

int32_t oxRowTemplate::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    if (out) *out = nullptr;
    if (!out) return kElementNotHandled;
    if (tag == kAtomMatch && !hasMatch_) {
        hasMatch_ = true;
        *out = new (std::nothrow) MatchElement(&matchPresence_, &matchField_, &matchValue_);
        return *out ? 0 : kElementNotHandled;
    }
    if (description_) return kElementNotHandled;
    description_ = new (std::nothrow) oxBoxDescription(ns, tag, this, {});
    *out = description_;
    return description_ ? 0 : kElementNotHandled;
}

bool oxRowTemplate::Matches(oxBindingSource* source, int row) const {
    if (!hasMatch_) return true;
    XVariant value;
    if (source->GetValueAt(row, matchField_.GetString(), &value) != 0) return false;
    if (matchPresence_) return value.vt != VT_EMPTY;
    TWString text = value.ToString();
    return wcscmp(text.GetString() ? text.GetString() : u"", matchValue_.GetString() ? matchValue_.GetString() : u"") ==
           0;
}

void oxRowTemplate::AddExpression(const WCHAR* expression, const oxExpressionUse& use) {
    for (oxExpressionRecord& r : records_) {
        if (wcscmp(r.expression.GetString(), expression) == 0) {
            r.uses.push_back(use);
            return;
        }
    }
    records_.push_back({TWString(expression), {use}});
}

void oxRowTemplate::SetRecurse(std::vector<int> path, const WCHAR* field, oxAtom key) {
    recursePath_ = std::move(path);
    nestedField_ = field ? field : u"";
    nestedKey_ = key;
}

oxBox* oxRowTemplate::Descend(oxBox* rowBox, const std::vector<int>& path, size_t length) {
    oxBox* box = rowBox;
    for (size_t i = 0; box && i < length && i < path.size(); ++i)
        box = box->GetChildAt(path[i], false);
    return box;
}

oxBox* oxRowTemplate::MakeRowBox(oxBoxScene* scene, oxBindingSource* source, int row) const {
    if (!description_ || !scene) return nullptr;
    oxBox* box = description_->Build(scene);
    if (box) Refresh(box, source, row, nullptr);
    return box;
}

bool oxRowTemplate::Refresh(oxBox* rowBox, oxBindingSource* source, int row, const WCHAR* field) const {
    if (!rowBox || !source) return false;
    bool wrote = false;
    source->CacheRow(row);
    for (const oxExpressionRecord& r : records_) {
        if (field && *field && wcscmp(r.expression.GetString(), field) != 0) continue;
        XVariant value;
        if (source->GetValueAt(row, r.expression.GetString(), &value) != 0) continue;
        TWString text = value.ToString();
        for (const oxExpressionUse& use : r.uses) {
            if (oxBox* box = Descend(rowBox, use.path, use.path.size())) {
                WriteValue(box, use, text.GetString());
                wrote = true;
            }
        }
    }
    return wrote;
}

const oxExpressionRecord* oxRowTemplate::FindRecord(const std::vector<int>& path, oxAtom attribute,
                                                    bool* isStyle) const {
    for (const oxExpressionRecord& r : records_) {
        for (const oxExpressionUse& use : r.uses) {
            if (use.path != path || use.attribute != attribute) continue;
            if (isStyle) *isStyle = use.ns == kAtomStyleNamespace;
            return &r;
        }
    }
    return nullptr;
}
