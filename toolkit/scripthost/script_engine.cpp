#include "toolkit/scripthost/script_engine.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/class_registry.h"
#include "platform/com/excepinfo.h"
#include "platform/crt/wide.h"
#include "runtime/script_object.h"
#include "toolkit/scripthost/script_host.h"

oxScriptEngine::oxScriptEngine(NUBO::XObject* owner, oxScriptHost* runtime) : owner_(owner), runtime_(runtime) {
    if (owner_) owner_->AddRef();
}

oxScriptEngine::~oxScriptEngine() {
    for (oxNamedItem* item : items_) {
        if (item->object) item->object->Release();
        std::free(item->name);
        delete item;
    }
    items_.Clear();
    if (parse_) parse_->Release();
    if (owner_) owner_->Release();
}

HRESULT oxScriptEngine::Start() {
    CLSIDFromProgID(u"JScript", &clsid_); // a failure shows at the next step
    HRESULT hr =
        CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, reinterpret_cast<void**>(&script_));
    if (FAILED(hr)) return hr;
    hr = script_->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse_));
    if (FAILED(hr)) return hr;
    hr = script_->SetScriptSite(this);
    if (FAILED(hr)) return hr;
    hr = parse_->InitNew();
    if (FAILED(hr)) return hr;
    return script_->SetScriptState(SCRIPTSTATE_STARTED);
}

void oxScriptEngine::Shutdown() {
    runtime_ = nullptr;
    IActiveScript* script = script_;
    script_ = nullptr;
    if (!script) return;
    script->InterruptScriptThread(SCRIPTTHREADID_ALL, nullptr, 0);
    script->Close();
    script->Release();
}

bool oxScriptEngine::AppendNamedItem(const WCHAR* name, NUBO::XObject* object) {
    size_t units = wcslen(name) + 1;
    auto* item = new (std::nothrow) oxNamedItem{object, static_cast<WCHAR*>(std::malloc(units * sizeof(WCHAR)))};
    if (!item || !item->name || !items_.PushBack(item)) {
        if (item) std::free(item->name);
        delete item;
        return false;
    }
    std::memcpy(item->name, name, units * sizeof(WCHAR));
    object->AddRef();
    return true;
}

HRESULT oxScriptEngine::Parse(const WCHAR* text, const WCHAR* itemName, DWORD flags, VARIANT* result,
                              const WCHAR* sourceName) {
    const WCHAR* outer = runningSource_; // texts run inside texts: each reports under its own name
    runningSource_ = sourceName;
    AddRef();
    HRESULT hr =
        parse_->ParseScriptText(text, itemName, nullptr, nullptr, CookieOf(sourceName), 0, flags, result, nullptr);
    runningSource_ = outer;
    Release();
    return hr;
}

DWORD_PTR oxScriptEngine::CookieOf(const WCHAR* sourceName) {
    if (!sourceName || !*sourceName) return 0;
    for (size_t i = 0; i < sources_.size(); ++i) {
        if (wcscmp(sources_[i].GetString(), sourceName) == 0) return DWORD_PTR(i + 1);
    }
    sources_.emplace_back(sourceName);
    return DWORD_PTR(sources_.size());
}

HRESULT oxScriptEngine::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite)) {
        *out = static_cast<IActiveScriptSite*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG oxScriptEngine::Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT oxScriptEngine::GetLCID(LCID*) {
    return S_OK;
}

HRESULT oxScriptEngine::GetItemInfo(LPCOLESTR name, DWORD returnMask, IUnknown** item, ITypeInfo** typeInfo) {
    HRESULT provisional = S_OK;
    if (returnMask & SCRIPTINFO_ITYPEINFO) {
        if (typeInfo) {
            *typeInfo = nullptr;
            provisional = E_NOTIMPL;
        } else {
            provisional = E_INVALIDARG;
        }
    }
    if (!(returnMask & SCRIPTINFO_IUNKNOWN)) return provisional;
    if (!item) return E_INVALIDARG;
    *item = nullptr;
    if (!name) return TYPE_E_ELEMENTNOTFOUND;
    for (oxNamedItem* named : items_) {
        if (wcscmp(named->name, name) != 0) continue;
        named->object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(item));
        return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT oxScriptEngine::GetDocVersionString(BSTR*) {
    return S_OK;
}

HRESULT oxScriptEngine::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) {
    return S_OK;
}

HRESULT oxScriptEngine::OnStateChange(SCRIPTSTATE) {
    return S_OK;
}

HRESULT oxScriptEngine::OnScriptError(IActiveScriptError* error) {
    // The site also tells the runtime, whose error reporter is fed by nothing else; the failing
    // parse call still answers its caller as before.
    if (!error || !runtime_) return S_OK;
    EXCEPINFO info{};
    if (FAILED(error->GetExceptionInfo(&info))) info = EXCEPINFO{};
    DWORD cookie = 0;
    ULONG line = 0;
    LONG position = 0;
    if (FAILED(error->GetSourcePosition(&cookie, &line, &position))) line = 0, position = 0;
    const WCHAR* source = cookie > 0 && cookie <= sources_.size() ? sources_[cookie - 1].GetString() : runningSource_;
    oxScriptErrorSink* reporter = runtime_->GetErrorReporter();
    if (reporter) {
        reporter->SetLocation(source, int32_t(line) + 1, position);
        reporter->ReportScriptError(info.bstrDescription);
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return S_OK;
}

HRESULT oxScriptEngine::OnEnterScript() {
    return S_OK;
}

HRESULT oxScriptEngine::OnLeaveScript() {
    return S_OK;
}
