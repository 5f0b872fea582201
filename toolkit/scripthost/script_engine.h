#pragma once
// oxScriptEngine: one started JScript engine and the site through which it finds the host's named
// objects. A script context owns one; the engine itself holds the site's reference from
// SetScriptSite until Close, so the site outlives its context until the engine lets it go.
#include <cstdint>

#include <vector>

#include "platform/script/active_script.h"
#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"

class oxScriptHost;
namespace NUBO {
class XObject;
}

// A name the engine may ask the site for, with the object it stands for (one reference).
struct oxNamedItem {
    NUBO::XObject* object;
    WCHAR* name; // a private, terminated copy
};

class oxScriptEngine final : public IActiveScriptSite {
public:
    // Holds a reference to `owner` for its whole life; the runtime is borrowed.
    oxScriptEngine(NUBO::XObject* owner, oxScriptHost* runtime);
    oxScriptEngine(const oxScriptEngine&) = delete;
    oxScriptEngine& operator=(const oxScriptEngine&) = delete;

    // Makes the engine by the ProgID "JScript", sets this site, starts it; the first failing
    // HRESULT, later steps skipped.
    HRESULT Start();
    // Forgets the runtime, interrupts and closes the engine and drops it.
    void Shutdown();

    IActiveScript* GetScript() const { return script_; }
    IActiveScriptParse* GetParse() const { return parse_; }
    // False when the record could not be made.
    bool AppendNamedItem(const WCHAR* name, NUBO::XObject* object);
    // Runs ParseScriptText; errors that escape the text, or that its functions throw later when
    // native code calls them, are reported with `sourceName`.
    HRESULT Parse(const WCHAR* text, const WCHAR* itemName, DWORD flags, VARIANT* result, const WCHAR* sourceName);
    void SetReportErrors(bool on) { reportErrors_ = on; }
    bool GetReportErrors() const { return reportErrors_; }

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT GetLCID(LCID* lcid) override;
    HRESULT GetItemInfo(LPCOLESTR name, DWORD returnMask, IUnknown** item, ITypeInfo** typeInfo) override;
    HRESULT GetDocVersionString(BSTR* version) override;
    HRESULT OnScriptTerminate(const VARIANT* result, const EXCEPINFO* info) override;
    HRESULT OnStateChange(SCRIPTSTATE state) override;
    // Hands a script error to the runtime's error reporter, with its text's source name, line and
    // position, so the runtime's listeners hear of it; the failing call still fails.
    HRESULT OnScriptError(IActiveScriptError* error) override;
    HRESULT OnEnterScript() override;
    HRESULT OnLeaveScript() override;

private:
    ~oxScriptEngine();

    bool reportErrors_ = false;
    CLSID clsid_{};
    IActiveScript* script_ = nullptr;
    IActiveScriptParse* parse_ = nullptr;
    ULONG refs_ = 0;
    NUBO::PtrVector<oxNamedItem*> items_;
    NUBO::XObject* owner_;
    oxScriptHost* runtime_;
    const WCHAR* runningSource_ = nullptr; // the source name of the text that runs, while it runs
    // Source names by cookie - 1: the engine hands a text's cookie back with the errors its
    // functions throw, long after the text ran.
    std::vector<NUBO::TWString> sources_;
    DWORD_PTR CookieOf(const WCHAR* sourceName);
};
