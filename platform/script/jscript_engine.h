#pragma once
// The "JScript" engine: Duktape behind IActiveScript and IActiveScriptParse. Visible named items
// become globals whose objects come from the site; code-only items are namespaces whose top-level
// `var` and `function` stay there while unresolved names reach the globals. Scripts run
// synchronously inside ParseScriptText and the calls that native code makes on script objects.
#include "platform/script/active_script.h"

// A fresh engine asked for `riid`; what CoCreateInstance makes for CLSID_JScript.
HRESULT CreateJScriptEngine(REFIID riid, void** out);
