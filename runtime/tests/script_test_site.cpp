#include "script_test_site.h"

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"

namespace NUBO::test {

HRESULT ScriptTestSite::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
        *out = static_cast<IActiveScriptSite*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT ScriptTestSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) {
    if (info) *info = nullptr;
    if (!(mask & SCRIPTINFO_IUNKNOWN) || !item) return E_INVALIDARG;
    *item = nullptr;
    auto found = items.find(name);
    if (found == items.end()) return TYPE_E_ELEMENTNOTFOUND;
    *item = found->second;
    (*item)->AddRef();
    return S_OK;
}

HRESULT ScriptTestSite::OnScriptError(IActiveScriptError* error) {
    EXCEPINFO info{};
    error->GetExceptionInfo(&info);
    errors.emplace_back(info.bstrDescription ? info.bstrDescription : u"");
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return S_OK;
}

HRESULT ScriptTestEngine::Open(ScriptTestSite* site) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(u"JScript", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                              reinterpret_cast<void**>(&engine_));
    if (SUCCEEDED(hr)) hr = engine_->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse_));
    if (SUCCEEDED(hr)) hr = engine_->SetScriptSite(site);
    if (SUCCEEDED(hr)) hr = parse_->InitNew();
    if (SUCCEEDED(hr)) hr = engine_->SetScriptState(SCRIPTSTATE_STARTED);
    for (auto it = site->items.begin(); SUCCEEDED(hr) && it != site->items.end(); ++it)
        hr = engine_->AddNamedItem(it->first.c_str(), SCRIPTITEM_ISVISIBLE);
    return hr;
}

HRESULT ScriptTestEngine::Close() {
    HRESULT hr = S_OK;
    if (engine_) hr = engine_->Close();
    if (parse_) parse_->Release();
    if (engine_) engine_->Release();
    parse_ = nullptr;
    engine_ = nullptr;
    return hr;
}

HRESULT ScriptTestEngine::Run(const char16_t* code) {
    if (!parse_) return E_UNEXPECTED;
    return parse_->ParseScriptText(code, nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
}

XVariant ScriptTestEngine::Eval(const char16_t* code) {
    XVariant v;
    HRESULT hr =
        parse_ ? parse_->ParseScriptText(code, nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISEXPRESSION, &v, nullptr)
               : E_UNEXPECTED;
    if (FAILED(hr)) {
        v.Clear();
        v.vt = VT_ERROR;
        v.scode = hr;
    }
    return v;
}

} // namespace NUBO::test
