#include "toolkit/scene/shell.h"

#include <new>

#include "runtime/result_codes.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/script_context_manager.h"
#include "toolkit/scene/script_object_cache.h"

namespace {

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Shell::Descriptor = {"Shell", 1, kMembers, &NUBO::XObject::Descriptor, 0, {}};

int32_t Shell::Initialize() {
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
    if (!runtime_) return;
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

void Shell::Shutdown() {
    if (!runtime_) return;
    runtime_->CloseAllScenes();
    runtime_->ReleaseDefaultEngines();
    // Every engine holds this Shell as "shell": a context left over (one not tied to a scene)
    // would keep the Shell, and with it the runtime that owns the context, alive for good.
    runtime_->GetScriptContextManager()->RemoveAllContexts();
}

int32_t CreateShell(Shell** out) {
    if (!out) return NUBO::XR_INVALID;
    auto* shell = new (std::nothrow) Shell();
    if (!shell) return NUBO::XR_OUT_OF_MEMORY;
    shell->AddRef();
    int32_t rc = shell->Initialize();
    if (rc != 0) {
        shell->Release();
        return rc;
    }
    *out = shell;
    return 0;
}
