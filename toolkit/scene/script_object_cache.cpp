#include "toolkit/scene/script_object_cache.h"

#include <new>

#include "toolkit/scene/scene_script_object.h"

void oxScriptObjectCache::SetShellObject(NUBO::XObject* shell) {
    if (shell) shell_ = shell;
}

int oxScriptObjectCache::GetShellObject(oxRuntime*, NUBO::XObject** out) {
    if (!out || !shell_) return 0;
    shell_->AddRef();
    *out = shell_;
    return 1;
}

int oxScriptObjectCache::GetSceneObject(oxScene* scene, Scene** out) {
    if (!out || !scene) return 0;
    Scene* object = scenes_.Lookup(scene);
    if (!object) {
        object = new (std::nothrow) Scene(scene);
        if (!object) return 0;
        object->AddRef();
        scenes_.Insert(scene, object);
    }
    object->AddRef();
    *out = object;
    return 1;
}

void oxScriptObjectCache::ForgetSceneObject(oxScene* scene) {
    auto* node = scenes_.Find(scene);
    if (!node) return;
    Scene* object = node->value;
    scenes_.Erase(scene);
    object->Detach();
    object->Release();
}

void oxScriptObjectCache::Clear() {
    for (auto it = scenes_.begin(); it != scenes_.end(); it = scenes_.Erase(it)) {
        it->value->Detach();
        it->value->Release();
    }
    shell_ = nullptr;
}
