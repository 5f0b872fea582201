#include "toolkit/binding/element_source.h"

#include <cstdlib>
#include <new>

#include "runtime/hash_map.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

NUBO::oxPtrHashMap<oxElementSource*>& Sources() {
    static NUBO::oxPtrHashMap<oxElementSource*> sources;
    return sources;
}

// A binding's path names the source property: "$name" a style property, else an attribute.
bool PropertyOfPath(const NUBO::TWString& path, bool* isStyle, int* property) {
    const WCHAR* text = path.GetString();
    if (text[0] == u'$') {
        *isStyle = true;
        *property = StylePropertyIdFromName(text + 1);
        return *property >= 0;
    }
    *isStyle = false;
    *property = *text ? int(oxAtoms::Intern(text)) : 0;
    return *property != 0;
}

} // namespace

oxElementSource* oxElementSource::For(oxBox* box, bool create) {
    if (!box) return nullptr;
    if (auto* node = Sources().Find(box)) return node->value;
    if (!create) return nullptr;
    auto* source = new (std::nothrow) oxElementSource();
    if (!source) return nullptr;
    source->SetSourceBox(box); // the box's listener reference keeps it
    return source;
}

void oxElementSource::ForgetBox(oxBox* box) {
    if (Sources().IsEmpty()) return;
    auto* node = Sources().Find(box);
    if (!node) return;
    oxElementSource* source = node->value;
    Sources().Erase(box);
    source->box_ = nullptr;
    // Its bindings must not find the box again when they connect.
    for (const Record& r : source->records_)
        r.binding->ForgetBox(box);
}

ULONG oxElementSource::Release() {
    ULONG n = --refCount_;
    if (n == 0) {
        refCount_ = kDeletingCount;
        delete this;
    }
    return n;
}

oxElementSource::~oxElementSource() {
    if (box_) {
        auto* node = Sources().Find(box_);
        if (node && node->value == this) Sources().Erase(box_);
    }
    for (Record& r : records_)
        r.binding->Release();
}

void oxElementSource::SetSourceBox(oxBox* box) {
    if (box == box_) return;
    AddRef(); // the old box may hold the last reference
    if (box_) {
        Sources().Erase(box_);
        box_->RemoveChangeListener(this);
    }
    box_ = box;
    if (box_) {
        Sources().Insert(box_, this);
        box_->AddChangeListener(this);
    }
    Release();
}

void oxElementSource::SetName(const WCHAR* name) {
    name_ = name ? name : u"";
}

bool oxElementSource::GetName(NUBO::TWString* out) {
    if (out) *out = name_;
    return !name_.IsEmpty();
}

void oxElementSource::Attach(oxBindingElement* binding) {
    if (!binding || !binding->ResolveTarget()) return;
    Record r{binding, binding->GetTargetBox(), false, 0};
    if (!PropertyOfPath(binding->GetPath(), &r.isStyle, &r.property)) return;
    binding->AddRef();
    records_.push_back(r);
}

void oxElementSource::Detach(oxBindingElement* binding) {
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i].binding != binding) continue;
        records_.erase(records_.begin() + long(i));
        binding->Release();
        return;
    }
}

void oxElementSource::DetachAll() {
    std::vector<Record> records;
    records.swap(records_);
    for (Record& r : records)
        r.binding->Release();
}

WCHAR* oxElementSource::ValueOf(const Record& r) const {
    if (!box_) return nullptr;
    if (r.isStyle) return GetBoundStyleText(box_, r.property);
    const WCHAR* text = box_->GetAttribute(oxAtom(r.property));
    return DupWideString(text ? text : u"");
}

void oxElementSource::PushToTarget(oxBindingElement* binding, oxAtom key) {
    (void)key;
    for (const Record& r : records_) {
        if (r.binding != binding) continue;
        WCHAR* value = ValueOf(r);
        binding->SetTargetValue(value);
        std::free(value);
        return;
    }
}

void oxElementSource::Push(bool isStyle, int property) {
    if (records_.empty()) return;
    // A binding may go while it is told: tell the ones recorded now, each held.
    std::vector<Record> told;
    for (const Record& r : records_) {
        if (r.isStyle != isStyle || r.property != property || r.binding->GetUpdateMethod() == kAtomOnDemand) continue;
        r.binding->AddRef();
        told.push_back(r);
    }
    for (const Record& r : told) {
        WCHAR* value = ValueOf(r);
        r.binding->SetTargetValue(value);
        std::free(value);
    }
    for (const Record& r : told)
        r.binding->Release();
}

void oxElementSource::OnSourceAttributeChanged(oxBox* box, oxAtom attribute) {
    if (box == box_) Push(false, int(attribute));
}

void oxElementSource::OnSourceStyleChanged(oxBox* box, int propertyId) {
    if (box == box_) Push(true, propertyId);
}

void oxElementSource::SetSourceValue(oxBox* box, oxBindingElement* binding, const WCHAR* value, const WCHAR* field,
                                     bool isStyle) {
    (void)field, (void)isStyle;
    if (!box_) return;
    for (const Record& r : records_) {
        if (r.binding != binding || r.target != box) continue;
        if (r.isStyle)
            box_->SetStylePropertyText(r.property, value ? value : u"", 0);
        else
            box_->SetAttribute(oxAtom(r.property), value ? value : u"", true, false);
        return;
    }
}
