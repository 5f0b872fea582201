// The DataBinding script class. Every member reads or writes the binding element; without one the
// getters and setters answer 1 and the methods do nothing.
#include <iterator>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_variant.h"
#include "toolkit/base/atoms.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/box.h"
#include "toolkit/script/data_classes.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/script_class.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;
using script_class::ArgBool;

namespace {

oxBindingElement* BindingOf(oxNativeWrapper* self) {
    return static_cast<oxBindingElement*>(static_cast<oxElement*>(self->GetNative()));
}

TWString NameOf(oxAtom atom) {
    WCHAR name[oxAtoms::kLookupUnits] = {};
    if (atom) oxAtoms::GetName(atom, name, oxAtoms::kLookupUnits);
    return TWString(name);
}

oxAtom AtomOf(const VARIANT& value) {
    TWString text = XVariant(value).ToString();
    return text.IsEmpty() ? 0 : oxAtoms::Intern(text.GetString());
}

// The Box object of a box (a new reference into `out`), null without one.
void PutBox(oxBox* box, XVariant* out) {
    out->SetObject(nullptr);
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr;
    XObject* object = nullptr;
    if (cache && cache->GetBoxObject(box, &object)) script_class::PutObject(out, object);
}

// -- methods ---------------------------------------------------------------------------------------

int32_t Update(oxNativeWrapper* self, XArgList* args, XVariant*) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding || !binding->GetSource()) return 0;
    oxBox* target = binding->GetTargetBox();
    if (ArgBool(args, 0)) {
        binding->Transfer(target, 0, true);
        return 0;
    }
    // The way back runs as the target's own changes do: validator, then target transformer. The
    // defer flag holds it back.
    if (target && !binding->IsUpdating()) binding->Transfer(target, 0, false);
    return 0;
}

int32_t Connect(oxNativeWrapper* self, XArgList*, XVariant*) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return 0;
    if (binding->GetBindType() == oxBindingElement::kNotSet) binding->SetBindType(oxBindingElement::kElementSource);
    binding->Connect(true);
    return 0;
}

int32_t Disconnect(oxNativeWrapper* self, XArgList*, XVariant*) {
    if (oxBindingElement* binding = BindingOf(self)) binding->Unbind();
    return 0;
}

int32_t Validate(oxNativeWrapper* self, XArgList*, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return 0;
    *out = binding->RunValidator();
    return 0;
}

// -- properties ------------------------------------------------------------------------------------

int32_t GetId(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    if (binding->GetId()) *out = NameOf(binding->GetId());
    return 0;
}
int32_t SetId(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    binding->SetId(AtomOf(value));
    return 0;
}

template <oxAtom (oxBindingElement::*Get)() const> int32_t GetAtom(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    *out = NameOf((binding->*Get)());
    return 0;
}
template <void (oxBindingElement::*Set)(oxAtom)> int32_t SetAtom(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    (binding->*Set)(AtomOf(value));
    return 0;
}

int32_t GetBindType(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    *out = int(binding->GetBindType());
    return 0;
}

int32_t GetDefer(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    *out = binding->IsUpdating();
    return 0;
}
int32_t SetDefer(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    binding->SetUpdating(XVariant(value).ToBool());
    return 0;
}

int32_t GetTargetProperty(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    const WCHAR* text = binding->GetTargetProperty();
    if (text && *text) *out = text;
    return 0;
}
int32_t SetTargetProperty(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    binding->SetTargetProperty(text.GetString());
    return 0;
}

// The source id setters: a binding of another kind keeps its kind and its source.
bool SetSourceIdOfType(oxBindingElement* binding, int32_t type, const TWString& text) {
    if (binding->GetBindType() != oxBindingElement::kNotSet && binding->GetBindType() != type) return false;
    binding->SetBindType(type);
    binding->SetSourceId(text.GetString(), true);
    return true;
}

template <int32_t kType> int32_t GetSourceIdOfType(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    if (binding->GetBindType() == kType)
        *out = binding->GetSourceId();
    else if (kType != oxBindingElement::kObjectSource)
        *out = u""; // an object source id of another kind reads as empty instead
    return 0;
}
template <int32_t kType> int32_t SetSourceIdOfTypeProperty(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    (void)SetSourceIdOfType(binding, kType, XVariant(value).ToString());
    return 0;
}

int32_t GetTargetId(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    *out = binding->GetTargetId();
    return 0;
}
int32_t SetTargetId(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    binding->SetTargetId(text.GetString());
    return 0;
}

template <int32_t kType> int32_t GetSourceObject(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    if (binding->GetBindType() == kType) out->SetObject(binding->GetSourceObject());
    return 0;
}

// A source of a kind: text names it, a Box gives an element source, any other object is the
// source object itself.
template <int32_t kType> int32_t SetSource(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    XVariant v(value);
    if (v.GetKind() == NUBO::XVK_STRING) {
        (void)SetSourceIdOfType(binding, kType, v.ToString());
        return 0;
    }
    if (binding->GetBindType() != oxBindingElement::kNotSet && binding->GetBindType() != kType) return 0;
    binding->SetBindType(kType);
    RefPtr<XObject> object(v.GetKind() == NUBO::XVK_OBJECT ? v.ToXObject() : nullptr);
    if (object && XObject::IsKindOf(object.get(), &wrapper_class::Box)) {
        if (oxBox* box = static_cast<Box*>(object.get())->GetBox()) binding->SetElementSource(box);
        return 0;
    }
    binding->SetSourceObject(object.get());
    return 0;
}

int32_t GetElementSource(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    binding->ResolveElementSource();
    PutBox(binding->GetElementSourceBox(), out);
    return 0;
}

int32_t GetTarget(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    binding->ResolveTarget();
    PutBox(binding->GetTargetBox(), out);
    return 0;
}
int32_t SetTarget(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    XVariant v(value);
    if (v.GetKind() == NUBO::XVK_STRING) {
        TWString text = v.ToString();
        binding->SetTargetId(text.GetString());
        return 0;
    }
    RefPtr<XObject> object(v.GetKind() == NUBO::XVK_OBJECT ? v.ToXObject() : nullptr);
    if (object && XObject::IsKindOf(object.get(), &wrapper_class::Box)) {
        if (oxBox* box = static_cast<Box*>(object.get())->GetBox()) binding->SetTarget(box);
    }
    return 0;
}

int32_t GetPath(oxNativeWrapper* self, XVariant* out) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    *out = binding->GetPath();
    return 0;
}
int32_t SetPath(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    binding->SetPath(text.GetString());
    return 0;
}

template <void (oxBindingElement::*Set)(const WCHAR*)> int32_t SetName(oxNativeWrapper* self, const VARIANT& value) {
    oxBindingElement* binding = BindingOf(self);
    if (!binding) return NUBO::XR_FAIL;
    TWString text = XVariant(value).ToString();
    (binding->*Set)(text.GetString());
    return 0;
}
template <int32_t (*Body)(oxNativeWrapper*, const VARIANT&)> int32_t Setter(XObject* object, const VARIANT* value) {
    return script_class::Setter<oxNativeWrapper, Body>(object, value);
}

using script_class::MethodRow;
using script_class::ObjectPropertyRow;
using script_class::PropertyRow;
using B = oxBindingElement;

const NUBO::XMemberEntry kDataBindingMembers[] = {
    MethodRow<1, Update>("update"),
    MethodRow<0, Connect>("connect"),
    MethodRow<0, Disconnect>("disconnect"),
    MethodRow<0, Validate>("validate"),
    PropertyRow<GetId, SetId>("id"),
    PropertyRow<GetAtom<&B::GetBindMethod>, SetAtom<&B::SetBindMethod>>("bindMethod"),
    PropertyRow<GetBindType>("bindType"),
    PropertyRow<GetDefer, SetDefer>("defer"),
    PropertyRow<GetTargetProperty, SetTargetProperty>("targetProperty"),
    PropertyRow<GetSourceIdOfType<B::kCollectionSource>, SetSourceIdOfTypeProperty<B::kCollectionSource>>(
        "collectionSourceId"),
    PropertyRow<GetSourceIdOfType<B::kElementSource>, SetSourceIdOfTypeProperty<B::kElementSource>>("elementSourceId"),
    PropertyRow<GetSourceIdOfType<B::kObjectSource>, SetSourceIdOfTypeProperty<B::kObjectSource>>("objectSourceId"),
    PropertyRow<GetTargetId, SetTargetId>("targetId"),
    ObjectPropertyRow<GetSourceObject<B::kCollectionSource>, SetSource<B::kCollectionSource>>("collectionSource"),
    ObjectPropertyRow<GetElementSource, SetSource<B::kElementSource>>("elementSource"),
    ObjectPropertyRow<GetElementSource, SetSource<B::kElementSource>>("elementSourceBox"),
    ObjectPropertyRow<GetSourceObject<B::kObjectSource>, SetSource<B::kObjectSource>>("objectSource"),
    ObjectPropertyRow<GetTarget, SetTarget>("target"),
    ObjectPropertyRow<GetTarget, SetTarget>("targetBox"),
    PropertyRow<GetPath, SetPath>("path"),
    PropertyRow<GetAtom<&B::GetUpdateMethod>, SetAtom<&B::SetUpdateMethod>>("updateMethod"),
    PropertyRow<GetAtom<&B::GetReplication>, SetAtom<&B::SetReplication>>("replicationMethod"),
    NUBO::XProperty("sourceTransformer", nullptr, Setter<SetName<&B::SetSourceTransformer>>),
    NUBO::XProperty("targetTransformer", nullptr, Setter<SetName<&B::SetTargetTransformer>>),
    NUBO::XProperty("validator", nullptr, Setter<SetName<&B::SetValidator>>),
    NUBO::XMemberEnd(),
};

} // namespace

namespace wrapper_class {
NUBO::XClassDescriptor DataBinding = {
    "DataBinding", int(std::size(kDataBindingMembers)), kDataBindingMembers, &XObject::Descriptor, 0, {}};
} // namespace wrapper_class

XObject* DataBindingObjectOf(oxBox* box, oxBindingElement* binding) {
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr;
    XObject* object = nullptr;
    if (cache && binding) cache->GetDataBindingObject(binding, &object);
    return object;
}
