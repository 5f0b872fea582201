#include "platform/script/script_error.h"

#include <new>

#include "platform/script/script_dispatch.h"

namespace script {
namespace {

// What OnScriptError hands the site: the error's text, number, line and its text's cookie.
class ScriptError final : public IActiveScriptError {
public:
    ScriptError(const EXCEPINFO& error, ULONG errorLine, DWORD_PTR errorCookie, BSTR text)
        : info(error), line(errorLine), cookie(errorCookie), lineText(text) {}

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptError)) {
            *out = static_cast<IActiveScriptError*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetExceptionInfo(EXCEPINFO* out) override {
        if (!out) return E_POINTER;
        *out = info;
        out->bstrSource = SysAllocString(info.bstrSource);
        out->bstrDescription = SysAllocString(info.bstrDescription);
        out->bstrHelpFile = nullptr;
        return S_OK;
    }
    // Duktape keeps no column: the character position is always 0.
    HRESULT GetSourcePosition(DWORD* context, ULONG* outLine, LONG* charPosition) override {
        if (context) *context = static_cast<DWORD>(cookie);
        if (outLine) *outLine = line > 0 ? line - 1 : 0;
        if (charPosition) *charPosition = 0;
        return S_OK;
    }
    HRESULT GetSourceLineText(BSTR* out) override {
        if (!out) return E_POINTER;
        *out = SysAllocStringLen(lineText, SysStringLen(lineText));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ScriptError() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        SysFreeString(lineText);
    }

    ULONG refs = 1;
    EXCEPINFO info;
    ULONG line;
    DWORD_PTR cookie;
    BSTR lineText;
};

// Line `line` (1-based) of a text, or null.
BSTR LineOf(const OLECHAR* code, ULONG line) {
    if (!code || line == 0) return nullptr;
    const OLECHAR* start = code;
    for (ULONG n = 1; n < line && *start; start++)
        if (*start == u'\n') n++;
    const OLECHAR* end = start;
    while (*end && *end != u'\n' && *end != u'\r')
        end++;
    return SysAllocStringLen(start, static_cast<UINT>(end - start));
}

} // namespace

void PushSourceName(duk_context* ctx, DWORD_PTR cookie) {
    if (cookie == 0)
        duk_push_string(ctx, "script");
    else
        duk_push_sprintf(ctx, "%lu", static_cast<unsigned long>(cookie));
}

HRESULT ReportScriptError(IActiveScriptSite* site, duk_context* ctx, duk_idx_t idx, const OLECHAR* code,
                          EXCEPINFO* excepinfo) {
    EXCEPINFO info{};
    ULONG line = 0;
    DWORD_PTR cookie = 0;
    HRESULT number = DescribeScriptError(ctx, idx, &info, &line, &cookie);
    if (excepinfo) {
        *excepinfo = info;
        excepinfo->bstrSource = SysAllocString(info.bstrSource);
        excepinfo->bstrDescription = SysAllocString(info.bstrDescription);
    }
    auto* error = site ? new (std::nothrow) ScriptError(info, line, cookie, LineOf(code, line)) : nullptr;
    if (error) {
        site->OnScriptError(error);
        error->Release();
    } else {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
    }
    return number != S_OK ? number : SCRIPT_E_REPORTED;
}

} // namespace script
