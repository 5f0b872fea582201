#include "toolkit/scripthost/script_context_manager.h"

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "toolkit/scripthost/script_context.h"
#include "toolkit/scripthost/script_helper.h"
#include "toolkit/scripthost/script_host.h"
#include "toolkit/scripthost/script_object_cache.h"

using NUBO::RefPtr;
using NUBO::TWString;
using NUBO::XObject;

namespace {

bool IsScriptLanguage(oxAtom language) {
    return language == kAtomJavascript || language == kAtomJscript;
}

// The object a context's engine holds for its whole life.
class ContextOwner : public XObject {};

} // namespace

oxScriptContextManager::~oxScriptContextManager() {
    RemoveAllContexts();
    for (GlobalObject* global : globals_) {
        if (global->object) global->object->Release();
        delete global;
    }
    globals_.Clear();
}

bool oxScriptContextManager::AddGlobalObject(const TWString& name, XObject* object) {
    if (started_) return false;
    auto* global = new (std::nothrow) GlobalObject{name, object};
    if (!global) return true;
    if (!globals_.PushBack(global)) {
        delete global;
        return true;
    }
    if (object) object->AddRef();
    return true;
}

int32_t oxScriptContextManager::BuildContext(oxAtom, oxScriptContext** out) {
    oxScriptObjectCache* cache = runtime_->GetScriptObjectCache();
    if (!cache) return 0;
    XObject* rawShell = nullptr;
    if (!cache->GetShellObject(runtime_, &rawShell) || !rawShell) return 0;
    RefPtr<XObject> shell(rawShell);

    RefPtr<ScriptHelper> helper;
    if (auto* made = new (std::nothrow) ScriptHelper()) helper = RefPtr<ScriptHelper>::ref(made);
    RefPtr<XObject> owner;
    if (auto* made = new (std::nothrow) ContextOwner()) owner = RefPtr<XObject>::ref(made);

    oxScriptContext* rawContext = nullptr;
    HRESULT hr = oxScriptContext::Create(owner.get(), runtime_, &rawContext);
    RefPtr<oxScriptContext> context(rawContext);
    if (hr != 0) return hr;
    context->SetReportErrors(reportErrors_ != 0);
    hr = context->AddNamedItem(u"shell", shell.get());
    if (hr != 0) return hr;
    if (helper) {
        hr = context->AddNamedItem(u"__scriptHelper", helper.get());
        if (hr != 0) return hr;
    }
    for (GlobalObject* global : globals_)
        (void)context->AddNamedItem(global->name.GetString(), global->object);
    *out = context.detach();
    return 0;
}

int32_t oxScriptContextManager::CreateContext(oxAtom language, const WCHAR* name, oxScriptContext** out) {
    if (!out || !language || !runtime_ || !name || contexts_.Find(name) || !IsScriptLanguage(language)) return 1;
    oxScriptContext* context = nullptr;
    int32_t rc = BuildContext(language, &context);
    if (rc != 0 || !context) return rc;
    contexts_.Insert(name, context); // the build's reference
    context->AddRef();
    *out = context;
    started_ = true;
    return 0;
}

int32_t oxScriptContextManager::GetContext(const WCHAR* name, oxScriptContext** out) {
    if (!name || !out) return 1;
    oxScriptContext* context = contexts_.Lookup(name);
    if (!context) return 1;
    context->AddRef();
    *out = context;
    return 0;
}

int32_t oxScriptContextManager::RemoveContext(const WCHAR* name) {
    if (!name) return 1;
    auto* node = contexts_.Find(name);
    if (!node) return 1;
    oxScriptContext* context = node->value;
    contexts_.Erase(name); // out of the map before its engine closes and may call back
    context->Release();
    return 0;
}

int32_t oxScriptContextManager::CreateGadgetContext(oxAtom language, oxScriptContext** out) {
    if (!IsScriptLanguage(language)) return 1;
    return CreateContext(language, kGadgetContextName, out);
}

int32_t oxScriptContextManager::GetGadgetContext(oxAtom language, oxScriptContext** out) {
    if (!IsScriptLanguage(language)) return 1;
    return GetContext(kGadgetContextName, out);
}

int32_t oxScriptContextManager::RemoveGadgetContext(oxAtom language) {
    if (!IsScriptLanguage(language)) return 1;
    return RemoveContext(kGadgetContextName);
}

void oxScriptContextManager::SetReportErrors(int32_t flag) {
    reportErrors_ = flag;
    for (auto& node : contexts_)
        node.value->SetReportErrors(flag != 0);
}

int32_t oxScriptContextManager::CollectGarbage() {
    // The texts may open or close contexts: walk a held copy of the map's contexts.
    NUBO::PtrVector<oxScriptContext*> held;
    for (auto& node : contexts_) {
        if (held.PushBack(node.value)) node.value->AddRef();
    }
    const TWString collect(u"CollectGarbage();");
    for (oxScriptContext* context : held) {
        if (context->GetLanguage() == kAtomJscript) (void)context->RunScript(collect, u"", u"");
        context->Release();
    }
    return 0;
}

void oxScriptContextManager::RemoveAllContexts() {
    while (!contexts_.IsEmpty()) {
        auto first = contexts_.begin();
        oxScriptContext* context = first->value;
        contexts_.Erase(first);
        context->Release();
    }
}
