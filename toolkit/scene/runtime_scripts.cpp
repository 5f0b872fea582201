// The runtime's script side: which context a scene's scripts run in, loading script files into it,
// and collecting garbage in every engine.
#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/charset.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/core/box.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/builtin_commands.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_script_context.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_context_manager.h"
#include "toolkit/scripthost/script_helper.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::TWString;

int32_t oxRuntime::GetScriptContext(oxAtom language, oxScene* scene, bool shared, oxScriptContext** out) {
    if (!out) return 1;
    *out = nullptr;
    if (!contextManager_) return 1;
    if (scene && !shared) {
        if (contextManager_->GetContext(scene->GetContextName().GetString(), out) != 0) {
            if (scene->GetContextName().IsEmpty()) {
                TWString name;
                name.Format(kSceneContextNameFormat, int(contextCounter_));
                scene->SetContextName(name.GetString());
            }
            (void)contextManager_->CreateContext(language, scene->GetContextName().GetString(), out);
        }
    } else if (contextManager_->GetGadgetContext(language, out) != 0) {
        (void)contextManager_->CreateGadgetContext(language, out);
    }
    return *out ? 0 : 1;
}

oxSceneScript* oxRuntime::LoadScript(const WCHAR* source, oxAtom language, oxBox* box, bool text) {
    if (language == kAtomNativeObject && box) return nullptr;
    auto* scene = box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
    oxScriptContext* rawContext = nullptr;
    (void)GetScriptContext(language, scene, text, &rawContext);
    RefPtr<oxScriptContext> context(rawContext);
    if (!scene || !context || !source || !box) {
        ReportFileNotFound(source);
        return nullptr;
    }
    auto* script = new (std::nothrow) oxSceneScript();
    if (!script) return nullptr;
    HRESULT hr = 1;
    if (text) {
        hr = context->RunScript(TWString(source), u"", u"");
    } else {
        NUBO::XStream* rawStream = nullptr;
        if (OpenUriStream(source, &rawStream) == 0) {
            RefPtr<NUBO::XStream> stream(rawStream);
            // The scene's scripts reach their scene through __scriptHelper while they are set up.
            SetScriptHelperTargets(nullptr, scene->GetSceneObject());
            hr = oxScriptContext::LoadScriptText(context.get(), stream.get(), u"", source, nullptr);
            SetScriptHelperTargets(nullptr, nullptr);
        }
    }
    script->succeeded = hr == 0;
    if (text) return script;

    oxBox* root = scene->GetRootBox();
    TWString name;
    bool fresh = false;
    if (auto* known = contextNames_.Find(root)) {
        name = known->value;
    } else {
        name.Format(kSceneContextNameFormat, int(contextCounter_));
        ++contextCounter_;
        contextNames_.Insert(root, name);
        fresh = true;
    }
    if (name.IsEmpty()) {
        delete script;
        return nullptr;
    }
    script->name = name;
    NUBO::XObject* sceneObject = nullptr;
    if (fresh && cache_ && cache_->GetSceneObject(scene, &sceneObject)) {
        RefPtr<NUBO::XObject> held(sceneObject);
        cache_->SetSceneContextName(held.get(), name.GetString());
        if (auto* made = new (std::nothrow) oxSceneScriptContext(held.get())) {
            script->context = RefPtr<oxSceneScriptContext>::ref(made);
            (void)context->AddNamedItem(name.GetString(), made);
        }
    }
    return script;
}

oxGadgetInstance* oxRuntime::CreateGadgetInstance(const WCHAR* source, oxAtom language, oxBox* box) {
    if (language == kAtomNativeObject || !box || !source) return nullptr;
    oxScriptContext* raw = nullptr;
    (void)GetScriptContext(language, nullptr, true, &raw);
    RefPtr<oxScriptContext> context(raw);
    return context ? new (std::nothrow) oxGadgetInstance(source, box, true, context.get()) : nullptr;
}

int32_t oxRuntime::RunToolkitBindingScript(const WCHAR* word, const WCHAR* text, VARIANT* result) {
    oxBuiltinCommands* handler = oxGetBuiltinCommands();
    return handler ? handler->ExecuteBindingScript(word, text, result) : 0;
}

void oxRuntime::ForgetSceneContextName(oxBox* root) {
    contextNames_.Erase(root);
}

void oxRuntime::CollectGarbage() {
    if (!contextManager_) return;
    contextManager_->CollectGarbage();
    const TWString collect(u"CollectGarbage();");
    NUBO::PtrVector<oxScriptContext*> held;
    for (oxScene* scene : scenes_) {
        oxScriptContext* context = nullptr;
        if (scene->GetContextName().IsEmpty() ||
            contextManager_->GetContext(scene->GetContextName().GetString(), &context) != 0)
            continue;
        if (!held.PushBack(context)) context->Release();
    }
    for (oxScriptContext* context : held) {
        (void)context->RunScript(collect, u"", u"");
        context->Release();
    }
}

void oxRuntime::ReleaseDefaultEngines() {
    if (!contextManager_) return;
    contextManager_->RemoveGadgetContext(kAtomJavascript);
    contextManager_->RemoveGadgetContext(kAtomJscript);
}
