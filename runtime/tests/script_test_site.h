#pragma once
// A script engine made as the host makes it, with a site that answers named items from a table of
// native objects, for tests that run script against the runtime's objects.
#include "platform/script/active_script.h"
#include "platform/tests/test_script_site.h"
#include "runtime/script_variant.h"

namespace NUBO::test {

using ScriptTestSite = jscript_test::TestSite;

// A started JScript engine on `site`, every item of the site added as a visible named item.
class ScriptTestEngine {
public:
    ScriptTestEngine() = default;
    ScriptTestEngine(const ScriptTestEngine&) = delete;
    ScriptTestEngine& operator=(const ScriptTestEngine&) = delete;
    ~ScriptTestEngine() { Close(); }

    // S_OK, or the HRESULT of the first step that did not answer S_OK.
    HRESULT Open(ScriptTestSite* site);
    // Closes and releases the engine; S_OK when there was none.
    HRESULT Close();

    // Runs `code` in the context of the named item `item`, or the global one.
    HRESULT Run(const char16_t* code, const char16_t* item = nullptr);
    // The expression's value; VT_ERROR carrying the HRESULT when it failed.
    XVariant Eval(const char16_t* code);
    IActiveScript* engine() const { return engine_; }

private:
    IActiveScript* engine_ = nullptr;
    IActiveScriptParse* parse_ = nullptr;
};

} // namespace NUBO::test
