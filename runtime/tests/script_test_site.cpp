#include "script_test_site.h"

#include "platform/com/bstr.h"
#include "platform/com/class_registry.h"

namespace NUBO::test {

HRESULT ScriptTestEngine::Open(ScriptTestSite* site) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(u"JScript", &clsid);
    if (hr == S_OK)
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                              reinterpret_cast<void**>(&engine_));
    if (hr == S_OK) hr = engine_->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse_));
    if (hr == S_OK) hr = engine_->SetScriptSite(site);
    if (hr == S_OK) hr = parse_->InitNew();
    if (hr == S_OK) hr = engine_->SetScriptState(SCRIPTSTATE_STARTED);
    for (auto it = site->items.begin(); hr == S_OK && it != site->items.end(); ++it)
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

HRESULT ScriptTestEngine::Run(const char16_t* code, const char16_t* item) {
    if (!parse_) return E_UNEXPECTED;
    return parse_->ParseScriptText(code, item, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
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
