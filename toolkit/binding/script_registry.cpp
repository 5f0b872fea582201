#include "toolkit/binding/script_registry.h"

#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/binding_host.h"
#include "toolkit/binding/binding_source.h"
#include "toolkit/core/box.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// The object a script object holds under `name`, with a reference; null when none.
XObject* NamedItem(XObject* holder, const WCHAR* name) {
    if (!holder || !name) return nullptr;
    XVariant value;
    if (holder->GetPropertyByName(name, &value) != 0) return nullptr;
    return value.ToXObject();
}

} // namespace

void oxScriptRegistry::AddSceneObject(oxBindingScene* scene, oxBindingSource* source) {
    if (!scene || !source) return;
    source->AddSourceRef();
    scenes_.GetOrInsert(scene).push_back(source);
}

void oxScriptRegistry::AddBoxObject(oxBox* box, oxBindingSource* source) {
    if (!box || !source) return;
    source->AddSourceRef();
    boxes_.GetOrInsert(box).push_back(source);
}

void oxScriptRegistry::AddGlobalObject(oxBindingSource* source) {
    if (!source) return;
    source->AddSourceRef();
    globals_.push_back(source);
}

bool oxScriptRegistry::Remove(Sources& list, XObject* object, bool detach) {
    for (size_t i = 0; i < list.size(); ++i) {
        oxBindingSource* source = list[i];
        if (source->GetDataObject() != object) continue;
        list.erase(list.begin() + long(i));
        // Its bindings let go of it, then it lets go of its object.
        source->RefreshBindings();
        if (detach) source->SetObject(nullptr);
        source->ReleaseSourceRef();
        return true;
    }
    return false;
}

void oxScriptRegistry::DetachAll(Sources& list) {
    Sources taken;
    taken.swap(list);
    for (oxBindingSource* source : taken) {
        source->SetObject(nullptr);
        source->ReleaseSourceRef();
    }
}

void oxScriptRegistry::RemoveSceneObject(oxBindingScene* scene, XObject* object) {
    if (auto* node = scene ? scenes_.Find(scene) : nullptr) Remove(node->value, object, false);
}

void oxScriptRegistry::RemoveSceneObjectByName(oxBindingScene* scene, const WCHAR* name) {
    if (!scene) return;
    RefPtr<XObject> item(NamedItem(scene->GetSceneObject(), name));
    if (item) RemoveSceneObject(scene, item.get());
}

void oxScriptRegistry::RemoveSceneObjects(oxBindingScene* scene) {
    auto* node = scene ? scenes_.Find(scene) : nullptr;
    if (!node) return;
    Sources taken;
    taken.swap(node->value);
    scenes_.Erase(scene);
    DetachAll(taken);
}

void oxScriptRegistry::RemoveBoxObject(oxBox* box, XObject* object) {
    if (auto* node = box ? boxes_.Find(box) : nullptr) Remove(node->value, object, true);
}

void oxScriptRegistry::RemoveBoxObjects(oxBox* box) {
    auto* node = box && !boxes_.IsEmpty() ? boxes_.Find(box) : nullptr;
    if (!node) return;
    Sources taken;
    taken.swap(node->value);
    boxes_.Erase(box);
    DetachAll(taken);
}

void oxScriptRegistry::RemoveGlobalObject(XObject* object) {
    Remove(globals_, object, true);
}

oxBindingSource* oxScriptRegistry::Match(const Sources* list, XObject* item) {
    if (!list || !item) return nullptr;
    for (oxBindingSource* source : *list)
        if (source->GetDataObject() == item) return source;
    return nullptr;
}

bool oxScriptRegistry::FindSource(oxBindingElement* binding, const WCHAR* name, oxBindingSource** out) {
    if (!binding || !name || !out) return false;
    *out = nullptr;
    oxBox* box = binding->GetTargetBox();
    oxScriptObjectCache* cache = runtime_ ? runtime_->GetScriptObjectCache() : nullptr;
    oxBindingSource* found = nullptr;
    if (box && cache && cache->HasBoxObject(box)) {
        XObject* raw = nullptr;
        if (cache->GetBoxObject(box, &raw)) {
            RefPtr<XObject> boxObject(raw);
            RefPtr<XObject> item(NamedItem(boxObject.get(), name));
            auto* node = boxes_.Find(box);
            found = Match(node ? &node->value : nullptr, item.get());
        }
    }
    oxBindingScene* scene = binding->GetScene();
    if (!found && scene) {
        RefPtr<XObject> item(NamedItem(scene->GetSceneObject(), name));
        auto* node = scenes_.Find(scene);
        found = Match(node ? &node->value : nullptr, item.get());
    }
    if (!found && cache && !globals_.empty()) {
        XObject* raw = nullptr;
        if (cache->GetShellObject(runtime_, &raw)) {
            RefPtr<XObject> shell(raw);
            RefPtr<XObject> item(NamedItem(shell.get(), name));
            found = Match(&globals_, item.get());
        }
    }
    if (!found) return false;
    found->AddSourceRef();
    *out = found;
    return true;
}

void oxScriptRegistry::Clear() {
    for (auto it = boxes_.begin(); it != boxes_.end(); it = boxes_.Erase(it))
        DetachAll(it->value);
    for (auto it = scenes_.begin(); it != scenes_.end(); it = scenes_.Erase(it))
        DetachAll(it->value);
    DetachAll(globals_);
}

size_t oxScriptRegistry::GetCount() const {
    size_t n = globals_.size();
    for (const auto& node : boxes_)
        n += node.value.size();
    for (const auto& node : scenes_)
        n += node.value.size();
    return n;
}
