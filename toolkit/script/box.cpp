// The Box object's own state: the attribute fallback of names it does not declare, pinning, and how
// it lets go when its box dies. The members are in box_properties.cpp and box_methods.cpp.
#include "toolkit/script/box.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/data_source.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/style_value_classes.h"

using NUBO::XObject;
using NUBO::XVariant;

oxBox* BoxOfObject(XObject* object) {
    if (!object || !XObject::IsKindOf(object, &wrapper_class::Box)) return nullptr;
    return static_cast<Box*>(object)->GetBox();
}

Box::~Box() {
    if (styleProxy_) {
        static_cast<StyleProxy*>(styleProxy_)->ForgetBox();
        styleProxy_->Release();
    }
}

void Box::Detach() {
    // The data objects registered under the box leave the script registry with it.
    oxBox* box = GetBox();
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    if (oxScriptRegistry* registry = runtime ? runtime->GetScriptRegistry() : nullptr) registry->RemoveBoxObjects(box);
    oxNativeWrapper::Detach();
    if (styleProxy_) static_cast<StyleProxy*>(styleProxy_)->ForgetBox();
    if (pinned_) {
        pinned_ = false;
        Release();
    }
}

XObject* Box::GetStyleProxy() {
    if (!styleProxy_) {
        auto* proxy = new (std::nothrow) StyleProxy(GetBox());
        if (!proxy) return nullptr;
        proxy->AddRef();
        styleProxy_ = proxy;
    }
    return styleProxy_;
}

Scene* Box::GetSceneObject() const {
    oxBox* box = GetBox();
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    XObject* object = scene ? scene->GetSceneObject() : nullptr;
    return XObject::IsKindOf(object, &Scene::Descriptor) ? static_cast<Scene*>(object) : nullptr;
}

int32_t Box::GetPropertyByName(const WCHAR* name, XVariant* result) {
    int index = 0;
    if (!name || FindMember(name, NUBO::kXMemberAny, &index) == 0) return XObject::GetPropertyByName(name, result);
    if (oxBox* box = GetBox()) {
        // A name never interned is no attribute of any box.
        oxAtom atom = oxAtoms::Find(name);
        if (const WCHAR* text = atom ? box->GetAttribute(atom) : nullptr) {
            *result = text;
            return 0;
        }
    }
    (void)XObject::GetPropertyByName(name, result);
    return 0;
}

int32_t Box::SetPropertyByName(const WCHAR* name, const VARIANT* value) {
    oxBox* box = GetBox();
    if (!box || !name || !value) return NUBO::XR_FAIL;
    bool existed = false;
    (void)XObject::HasDynamicProperty(name, &existed);
    int index = 0;
    int32_t rc = 0;
    const XVariant& v = *static_cast<const XVariant*>(value);
    bool isObject = v.GetKind() == NUBO::XVK_OBJECT;
    XObject* object = isObject ? v.ToXObject() : nullptr;
    NUBO::TWString text;
    bool hasText = !isObject && v.vt != VT_EMPTY && v.vt != VT_NULL && v.GetString(&text) == 0;
    if (FindMember(name, NUBO::kXMemberAny, &index) == 0) {
        rc = XObject::SetPropertyByName(name, value);
    } else if (object || !hasText) {
        rc = XObject::SetPropertyByName(name, value);
    } else {
        oxAtom atom = oxAtoms::Intern(name);
        if (!box->GetAttribute(atom)) (void)XObject::SetPropertyByName(name, value);
        // The store may run handlers that destroy the box: the object stays, the box may not.
        NUBO::RefPtr<XObject> self = NUBO::RefPtr<XObject>::ref(this);
        box->SetAttribute(atom, text.GetString(), true, true);
    }
    if (!existed && !pinned_ && GetBox()) {
        pinned_ = true;
        AddRef();
    }
    // An object stored on a pinned box in a scene becomes a data source of the box.
    oxBox* now = GetBox();
    oxScene* scene = now ? dynamic_cast<oxScene*>(now->GetScene()) : nullptr;
    if (object && rc == 0 && pinned_ && scene)
        RegisterNamedSource(scene->GetSceneRuntime(), scene, now, name, nullptr, object);
    if (object) object->Release();
    return rc;
}

int32_t Box::HasDynamicProperty(const WCHAR* name, bool* out) {
    XObject::HasDynamicProperty(name, out);
    // The box's attributes answer as properties, so scripts reach them through dispatch as well as
    // by name.
    if (!*out && name) {
        oxBox* box = GetBox();
        oxAtom atom = box ? oxAtoms::Find(name) : 0;
        *out = atom && box->GetAttribute(atom);
    }
    return 0;
}
