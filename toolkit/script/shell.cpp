#include "toolkit/script/shell.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_variant.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/script/data_source.h"
#include "toolkit/script/scene.h"
#include "toolkit/script/script_class.h"
#include "toolkit/script/script_wrapper_cache.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/style/ui_scale.h"

int32_t Shell::Initialize() {
    if (lenient_) return 0;
    oxScriptWrapperCache::Install();
    auto* runtime = new (std::nothrow) oxRuntime();
    if (!runtime) return 1;
    if (!runtime->Init()) {
        delete runtime;
        return 1;
    }
    runtime_ = runtime;
    runtime_->GetScriptObjectCache()->SetShellObject(this);
    return runtime_->InitStateAttributes();
}

void Shell::OnBeforeDestroy() {
    if (lenient_ || !runtime_) return;
    oxRuntime* runtime = runtime_;
    runtime->Shutdown();
    runtime_ = nullptr;
    delete runtime;
}

int32_t Shell::AddListener(NUBO::XObject* listener) {
    if (!listener || !runtime_) return 1;
    runtime_->AddListener(listener);
    return 0;
}

int32_t Shell::RemoveListener(NUBO::XObject* listener) {
    if (!listener || !runtime_) return 1;
    runtime_->RemoveListener(listener);
    return 0;
}

int32_t Shell::AddNamedObject(const NUBO::TWString& name, NUBO::XObject* object) {
    if (!runtime_ || !object) return 0;
    return runtime_->GetScriptContextManager()->AddGlobalObject(name, object) ? 0 : 1;
}

int32_t Shell::AddDOMObject(const NUBO::TWString& name, NUBO::XObject* object, NUBO::XVariant* out) {
    if (!object || name.IsEmpty()) return CannotAct();
    NUBO::XVariant value(object);
    bool stored = SetPropertyByName(name.GetString(), &value) == 0;
    if (out) *out = stored;
    return 0;
}

int32_t Shell::SetUiScale(const VARIANT& percent) {
    NUBO::XVariant value(percent);
    ::SetUiScale(float(value.ToInt32()) * 0.01f);
    // Scaled sizes change everywhere: every open scene measures, lays out and paints again.
    for (int i = 0; runtime_ && i < runtime_->GetSceneCount(); ++i) {
        oxScene* scene = runtime_->GetSceneAt(i);
        if (!scene || !scene->IsRunning() || (scene->GetState() & oxScene::kClosing)) continue;
        scene->BeginUpdate();
        scene->EndUpdate();
        if (oxSceneWindow* window = scene->GetWindow()) window->Invalidate();
        scene->Paint();
    }
    return 0;
}

int32_t Shell::OpenScene(const NUBO::TWString& url, NUBO::XObject* parent, const NUBO::TWString& name,
                         NUBO::XObject* params, NUBO::XObject* listener, bool modal, NUBO::XVariant* out) {
    if (lenient_ && out) out->SetObject(nullptr);
    if (!runtime_ || url.IsEmpty()) return CannotAct();
    oxScene* opener = nullptr;
    if (NUBO::XObject::IsKindOf(parent, &Scene::Descriptor)) opener = static_cast<Scene*>(parent)->GetScene();
    oxScene* scene = runtime_->OpenSceneSimple(url.GetString(), opener, name.IsEmpty() ? nullptr : name.GetString(),
                                               params, listener, modal);
    NUBO::XObject* wrapper = nullptr;
    oxScriptObjectCache* cache = runtime_->GetScriptObjectCache();
    if (!scene || !cache || !cache->GetSceneObject(scene, &wrapper)) return CannotAct();
    if (out) out->SetObject(wrapper);
    wrapper->Release();
    return 0;
}

int32_t Shell::PreTranslateAccelerator(HWND, UINT, WPARAM, LPARAM, NUBO::XVariant* out) {
    if (out) *out = false;
    return 0;
}

int32_t Shell::CloseScene(NUBO::XObject* scene) {
    if (!NUBO::XObject::IsKindOf(scene, &Scene::Descriptor)) return CannotAct();
    if (oxScene* native = static_cast<Scene*>(scene)->GetScene()) native->Close(false);
    return 0;
}

void Shell::Shutdown() {
    if (!runtime_) return;
    runtime_->CloseAllScenes();
    runtime_->ReleaseDefaultEngines();
    // Every engine holds this Shell as "shell": a context left over (one not tied to a scene)
    // would keep the Shell, and with it the runtime that owns the context, alive for good.
    runtime_->GetScriptContextManager()->RemoveAllContexts();
}

int32_t Shell::SetPropertyByName(const WCHAR* name, const VARIANT* value) {
    if (!runtime_) return NUBO::XR_FAIL;
    NUBO::RefPtr<XObject> old(StoredObject(this, name));
    int32_t rc = XObject::SetPropertyByName(name, value);
    // An object stored on the Shell becomes a global data source bindings find by its name.
    if (rc == 0) OnNamedObjectStored(runtime_, nullptr, nullptr, name, old.get(), value);
    return rc;
}

int32_t CreateShell(Shell** out) {
    return script_class::CreateInstance<Shell>(out);
}
