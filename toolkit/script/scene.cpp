// The Scene object's own state: params, context name, imported scripts, the boxes it made and the
// help box, and how it lets go of them when the scene goes. The members are in scene_members.cpp.
#include "toolkit/script/scene.h"

#include <new>

#include "platform/crt/wide.h"
#include "runtime/object_dictionary_view.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_dictionary.h"
#include "runtime/script_variant.h"
#include "toolkit/binding/script_registry.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/data_source.h"

using NUBO::XObject;

Scene::Scene(oxScene* scene) : oxNativeWrapper(&Descriptor, scene) {}

Scene::~Scene() {
    ReleaseMadeBoxes();
    SetHelpBox(nullptr);
    if (params_) params_->Release();
    for (LoadedScript* entry : loaded_)
        delete entry;
    loaded_.Clear();
}

void Scene::Detach() {
    // The data objects registered under the scene leave the script registry with it.
    oxScene* scene = GetScene();
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    if (oxScriptRegistry* registry = runtime ? runtime->GetScriptRegistry() : nullptr)
        registry->RemoveSceneObjects(scene);
    oxNativeWrapper::Detach();
    ReleaseMadeBoxes();
    SetHelpBox(nullptr);
}

int32_t Scene::Initialize() {
    XObject* dictionary = nullptr;
    if (NUBO::CreateXDictionary(&dictionary) != 0 || !dictionary) return NUBO::XR_OUT_OF_MEMORY;
    if (params_) params_->Release();
    params_ = dictionary;
    return 0;
}

void Scene::CreateParamsView(XObject* params) {
    auto* view = new (std::nothrow) XObjectDictionaryView(params);
    if (!view) return;
    view->AddRef();
    if (params_) params_->Release();
    params_ = view;
}

int32_t Scene::SetPropertyByName(const WCHAR* name, const VARIANT* value) {
    oxScene* scene = GetScene();
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    oxScriptRegistry* registry = runtime ? runtime->GetScriptRegistry() : nullptr;
    if (!registry) return NUBO::XR_FAIL;
    // An object, or nothing, stored under a name replaces the data source registered under it: the
    // old one goes first, and its bindings wait for the next source of the name.
    const int kind = value ? static_cast<const NUBO::XVariant*>(value)->GetKind() : int(NUBO::XVK_EMPTY);
    const bool replaces = kind == NUBO::XVK_OBJECT || kind == NUBO::XVK_EMPTY || kind == NUBO::XVK_NULL;
    if (replaces) registry->RemoveSceneObjectByName(scene, name);
    const int32_t rc = XObject::SetPropertyByName(name, value);
    if (rc != 0 || !replaces) return rc;
    // An object stored in the scene's namespace becomes a data source bindings find by its name.
    NUBO::RefPtr<XObject> object(kind == NUBO::XVK_OBJECT ? static_cast<const NUBO::XVariant*>(value)->ToXObject()
                                                          : nullptr);
    RegisterNamedSource(runtime, scene, nullptr, name, nullptr, object.get());
    return rc;
}

bool Scene::IsScriptLoaded(oxAtom key, oxAtom language, const WCHAR* path) const {
    if (!language || !path) return false;
    for (const LoadedScript* entry : loaded_) {
        if (entry->key == key && entry->language == language && wcscmp(entry->path.GetString(), path) == 0) return true;
    }
    return false;
}

void Scene::AddLoadedScript(oxAtom key, oxAtom language, const WCHAR* path) {
    if (!language || !path) return;
    auto* entry = new (std::nothrow) LoadedScript{key, language, NUBO::TWString(path)};
    if (entry && !loaded_.PushBack(entry)) delete entry;
}

void Scene::RemoveLoadedScript(oxAtom key, oxAtom language, const WCHAR* path) {
    if (!path) return;
    for (LoadedScript* entry : loaded_) {
        if (entry->key == key && entry->language == language && wcscmp(entry->path.GetString(), path) == 0) {
            loaded_.Remove(entry);
            delete entry;
            return;
        }
    }
}

void Scene::KeepMadeBox(oxBox* box) {
    if (box && made_.PushBack(box)) box->AddRef();
}

void Scene::DropMadeBox(oxBox* box) {
    if (box && made_.Remove(box)) box->Release();
}

void Scene::ReleaseMadeBoxes() {
    while (!made_.empty()) {
        oxBox* box = made_.Back();
        made_.PopBack();
        box->Release();
    }
}

void Scene::SetHelpBox(Scene* helpBox) {
    if (helpBox == helpBox_) return;
    Scene* old = helpBox_;
    helpBox_ = helpBox;
    if (helpBox_) helpBox_->AddRef();
    if (old) old->Release();
}
