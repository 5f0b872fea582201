#include "toolkit/scene/script_context.h"

#include <new>

#include "toolkit/scene/gadget_instance.h"
#include "toolkit/scene/script_engine.h"

using NUBO::TWString;
using NUBO::XObject;

HRESULT oxScriptContext::Create(XObject* owner, oxRuntime* runtime, oxScriptContext** out) {
    if (!out) return 1;
    auto* context = new (std::nothrow) oxScriptContext();
    if (!context) return 1;
    context->AddRef();
    HRESULT hr = context->CreateEngine(owner, runtime);
    *out = context;
    return hr;
}

HRESULT oxScriptContext::CreateEngine(XObject* owner, oxRuntime* runtime) {
    if (!owner) return 1;
    engine_ = new (std::nothrow) oxScriptEngine(owner, runtime);
    if (!engine_) return 1;
    // The context keeps a reference of its own: an engine that never reached SetScriptSite would
    // otherwise have no owner at all and never be freed.
    engine_->AddRef();
    HRESULT hr = engine_->Start();
    engine_->SetReportErrors(reportErrors_);
    return hr;
}

oxScriptContext::~oxScriptContext() {
    if (!engine_) return;
    engine_->Shutdown();
    engine_->Release();
    engine_ = nullptr;
}

HRESULT oxScriptContext::AddNamedItem(const WCHAR* name, XObject* object) {
    if (!name || !*name) return 1;
    if (!engine_ || !engine_->GetScript()) return 1;
    if (object) engine_->AppendNamedItem(name, object); // announced even when the record failed
    return engine_->GetScript()->AddNamedItem(name, object ? SCRIPTITEM_ISVISIBLE : SCRIPTITEM_CODEONLY);
}

HRESULT oxScriptContext::RunScript(const TWString& text, const WCHAR* itemName, const WCHAR* sourceName) {
    if (!engine_ || !engine_->GetParse() || text.IsEmpty()) return 1;
    return engine_->Parse(text.GetString(), itemName, SCRIPTTEXT_ISVISIBLE, nullptr, sourceName);
}

HRESULT oxScriptContext::Evaluate(const TWString& expression, const WCHAR* itemName, VARIANT* result) {
    if (!engine_ || !engine_->GetParse()) return 1;
    if (result) VariantClear(result);
    return engine_->Parse(expression.GetString(), itemName, SCRIPTTEXT_ISEXPRESSION, result, nullptr);
}

HRESULT oxScriptContext::GetScriptObject(const WCHAR* itemName, NUBO::XVariant* result) {
    if (!engine_ || !engine_->GetScript()) return 1;
    IDispatch* dispatch = nullptr;
    HRESULT hr = engine_->GetScript()->GetScriptDispatch(itemName, &dispatch);
    if (dispatch) {
        XObject* object = nullptr;
        if (NUBO::XObjectFromUnknown(dispatch, &object) == 0 && object) {
            if (result) result->SetObject(object);
            object->Release();
        }
        dispatch->Release();
    }
    return hr;
}

HRESULT oxScriptContext::HasScriptItem(const WCHAR* itemName) {
    if (!engine_ || !engine_->GetScript()) return 1;
    IDispatch* dispatch = nullptr;
    HRESULT hr = engine_->GetScript()->GetScriptDispatch(itemName, &dispatch);
    if (dispatch) dispatch->Release();
    return hr;
}

void oxScriptContext::SetReportErrors(bool on) {
    reportErrors_ = on;
    if (engine_) engine_->SetReportErrors(on);
}

oxGadgetInstance* oxScriptContext::CreateGadgetInstance(const WCHAR* src, oxBox* box, bool language) {
    return new (std::nothrow) oxGadgetInstance(src, box, language, this);
}
