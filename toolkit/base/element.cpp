#include "toolkit/base/element.h"

#include "runtime/hash_map.h"
#include "runtime/wide_string.h"

namespace {

using BaseMap = NUBO::oxPtrHashMap<NUBO::TWString>;

BaseMap& OpenElementBases() {
    static BaseMap map;
    return map;
}

} // namespace

void oxElement::SetId(oxAtom id) {
    id_ = id;
}

int32_t oxElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    (void)ns;
    if (attribute != kAtomId) return kElementNotHandled;
    SetId(oxAtoms::Intern(value));
    return 0;
}

int32_t oxElement::CreateChild(oxAtom ns, oxAtom tag, oxElement** out, bool direct) {
    (void)ns, (void)tag, (void)out, (void)direct;
    return kElementNotSupported;
}

int32_t oxElement::CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) {
    (void)ns, (void)tag, (void)out;
    return kElementNotSupported;
}

int32_t oxElement::AddText(const WCHAR* text, int length) {
    (void)text, (void)length;
    return kElementNotSupported;
}

void oxElement::EndElement() {
    ForgetOpenElementBase(this);
}

oxElement* oxElement::Clone() {
    return nullptr;
}

void oxElement::EnterOpenElementBase(const oxElement* element, const WCHAR* base) {
    if (!element) return;
    OpenElementBases().GetOrInsert(element) = NUBO::TWString(base);
}

const NUBO::TWString* oxElement::FindOpenElementBase(const oxElement* element) {
    auto* node = OpenElementBases().Find(element);
    return node ? &node->value : nullptr;
}

void oxElement::ForgetOpenElementBase(const oxElement* element) {
    BaseMap& map = OpenElementBases();
    if (!map.IsEmpty()) map.Erase(element);
}
