#pragma once
// oxScriptContext: one JScript engine as a script-visible object. It owns an oxScriptEngine and
// offers the ways the toolkit talks to script: add a named item, run a text, evaluate an
// expression, fetch a script-defined object. Which contexts exist is the context manager's
// business; a context does what it is asked. Answers are HRESULTs from the engine, or 1 when there
// is nothing to act on (no engine, no parse interface, no name, empty text).
#include <cstdint>

#include "platform/script/active_script.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"

class oxBox;
class oxScriptHost;
class oxScriptEngine;
namespace NUBO {
class XStream;
} // namespace NUBO

class oxScriptContext : public NUBO::XObject {
public:
    // The new context with one reference in `out`, also when its engine failed to start (then the
    // failing HRESULT is answered and the caller releases the context); 1 for a null out pointer,
    // a failed allocation or a null owner.
    static HRESULT Create(NUBO::XObject* owner, oxScriptHost* runtime, oxScriptContext** out);
    // Runs a stream's text (UTF-8 with a byte-order mark, else the system code page) followed by
    // CR LF and `appended`; `sourceName` names it in error reports. 1 without context or stream.
    static HRESULT LoadScriptText(oxScriptContext* context, NUBO::XStream* stream, const WCHAR* itemName,
                                  const WCHAR* sourceName, const WCHAR* appended);

    // A null object announces a code-only item and records nothing.
    virtual HRESULT AddNamedItem(const WCHAR* name, NUBO::XObject* object);
    // `sourceName` names the text in error reports (the script's file, or empty).
    virtual HRESULT RunScript(const NUBO::TWString& text, const WCHAR* itemName, const WCHAR* sourceName);
    virtual HRESULT Evaluate(const NUBO::TWString& expression, const WCHAR* itemName, VARIANT* result);
    // The script's object for an item name (the global object for an empty name), as a native
    // object in `result`.
    virtual HRESULT GetScriptObject(const WCHAR* itemName, NUBO::XVariant* result);
    // S_OK when the engine knows the item.
    virtual HRESULT HasScriptItem(const WCHAR* itemName);
    // A gadget instance for the box, bound to this context (the caller owns it); null when memory ran out.
    // Every context is JScript, whatever language it was asked for.
    virtual oxAtom GetLanguage() { return kAtomJscript; }
    virtual void SetReportErrors(bool on);

    bool GetReportErrors() const { return reportErrors_; }
    oxScriptEngine* GetEngine() const { return engine_; }

protected:
    ~oxScriptContext() override;

private:
    oxScriptContext() = default;
    HRESULT CreateEngine(NUBO::XObject* owner, oxScriptHost* runtime);

    bool reportErrors_ = false;
    oxScriptEngine* engine_ = nullptr;
};
