#include "toolkit/scripthost/script_context.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/charset.h"
#include "runtime/stream.h"
#include "toolkit/scripthost/script_engine.h"

using NUBO::TWString;
using NUBO::XObject;

HRESULT oxScriptContext::Create(XObject* owner, oxScriptHost* runtime, oxScriptContext** out) {
    if (!out) return 1;
    auto* context = new (std::nothrow) oxScriptContext();
    if (!context) return 1;
    context->AddRef();
    HRESULT hr = context->CreateEngine(owner, runtime);
    *out = context;
    return hr;
}

HRESULT oxScriptContext::CreateEngine(XObject* owner, oxScriptHost* runtime) {
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

HRESULT oxScriptContext::LoadScriptText(oxScriptContext* context, NUBO::XStream* stream, const WCHAR* itemName,
                                        const WCHAR* sourceName, const WCHAR* appended) {
    if (!context || !stream) return 1;
    int64_t size = 0;
    if (stream->GetSize(&size) != 0 || size < 0 || size > INT32_MAX - 3) return 1;
    auto* bytes = static_cast<char*>(std::malloc(size_t(size) + 3));
    if (!bytes) return 1;
    uint32_t done = 0;
    while (done < uint32_t(size)) {
        uint32_t got = 0;
        if (stream->Read(bytes + done, uint32_t(size) - done, &got) != 0 || got == 0) break;
        done += got;
    }
    std::memcpy(bytes + done, "\r\n", 3); // the engine always sees the text end with CR LF
    bool utf8 = done >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0;
    TWString text(bytes, utf8 ? u"utf-8" : u"x-system");
    std::free(bytes);
    if (appended) text += appended;
    return context->RunScript(text, itemName ? itemName : u"", sourceName ? sourceName : u"");
}
