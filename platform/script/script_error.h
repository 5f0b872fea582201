#pragma once
// Script errors as the site hears of them. A text runs under its caller's cookie, which its
// functions keep as their file name, so an error thrown later by a function that native code
// calls still tells the site which text it came from and on which line.
#include <duktape.h>

#include "platform/script/active_script.h"

namespace script {

// [] -> [file name]: the name a text is compiled under for its cookie.
void PushSourceName(duk_context* ctx, DWORD_PTR cookie);

// Tells the site (when there is one) of the script error at idx and fills `excepinfo` when given.
// `code` is the text that ran, for the error's line text; null when not known. Answers the error's
// number, or SCRIPT_E_REPORTED when it carries none. Never raises.
HRESULT ReportScriptError(IActiveScriptSite* site, duk_context* ctx, duk_idx_t idx, const OLECHAR* code,
                          EXCEPINFO* excepinfo);

} // namespace script
