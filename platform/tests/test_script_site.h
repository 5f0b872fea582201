#pragma once
// A script site for tests that drive the script engine: answers GetItemInfo from a table of named
// objects and keeps the descriptions of the script errors it is told of.
#include <map>
#include <string>
#include <vector>

#include "platform/com/bstr.h"
#include "platform/script/active_script.h"

namespace jscript_test {

// Lives in the test's frame: counting only checks that the engine lets it go.
class TestSite final : public IActiveScriptSite {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite)) {
            *out = static_cast<IActiveScriptSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    HRESULT GetLCID(LCID*) override { return S_OK; }
    HRESULT GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
        itemLookups++;
        if (info) *info = nullptr;
        if (!(mask & SCRIPTINFO_IUNKNOWN) || !item) return E_INVALIDARG;
        *item = nullptr;
        auto found = items.find(name);
        if (found == items.end()) return TYPE_E_ELEMENTNOTFOUND;
        *item = found->second;
        (*item)->AddRef();
        return S_OK;
    }
    HRESULT GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError* error) override {
        EXCEPINFO info{};
        error->GetExceptionInfo(&info);
        errors.emplace_back(info.bstrDescription ? info.bstrDescription : u"");
        DWORD cookie = 0;
        ULONG line = 0;
        LONG position = 0;
        error->GetSourcePosition(&cookie, &line, &position);
        places.push_back({cookie, line});
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        return S_OK;
    }
    HRESULT OnEnterScript() override { return S_OK; }
    HRESULT OnLeaveScript() override { return S_OK; }

    ULONG refs = 0;
    std::map<std::u16string, IUnknown*> items; // borrowed
    std::vector<std::u16string> errors;        // descriptions of the errors reported
    struct Place {
        DWORD cookie;
        ULONG line; // 0-based
    };
    std::vector<Place> places; // where each reported error came from
    int itemLookups = 0;
};

} // namespace jscript_test
