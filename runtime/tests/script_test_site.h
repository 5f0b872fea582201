#pragma once
// A script engine made as the host makes it, with a site that answers named items from a table of
// native objects, for tests that run script against the runtime's objects.
#include <map>
#include <string>
#include <vector>

#include "platform/script/active_script.h"
#include "runtime/script_variant.h"

namespace NUBO::test {

// Lives in the test's frame: counting only checks that the engine lets it go.
class ScriptTestSite final : public IActiveScriptSite {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    HRESULT GetLCID(LCID*) override { return S_OK; }
    HRESULT GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override;
    HRESULT GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError* error) override;
    HRESULT OnEnterScript() override { return S_OK; }
    HRESULT OnLeaveScript() override { return S_OK; }

    ULONG refs = 0;
    std::map<std::u16string, IUnknown*> items; // borrowed
    std::vector<std::u16string> errors;        // descriptions of the errors reported
};

// A started JScript engine on `site`, every item of the site added as a visible named item.
class ScriptTestEngine {
public:
    ScriptTestEngine() = default;
    ScriptTestEngine(const ScriptTestEngine&) = delete;
    ScriptTestEngine& operator=(const ScriptTestEngine&) = delete;
    ~ScriptTestEngine() { Close(); }

    // S_OK, or the first failing step's HRESULT.
    HRESULT Open(ScriptTestSite* site);
    // Closes and releases the engine; S_OK when there was none.
    HRESULT Close();

    HRESULT Run(const char16_t* code);
    // The expression's value; VT_ERROR carrying the HRESULT when it failed.
    XVariant Eval(const char16_t* code);
    IActiveScript* engine() const { return engine_; }

private:
    IActiveScript* engine_ = nullptr;
    IActiveScriptParse* parse_ = nullptr;
};

} // namespace NUBO::test
