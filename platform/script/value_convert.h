#pragma once
// Values crossing between script and native code. Numbers that are 32-bit integers go out as
// VT_I4 and others as VT_R8, booleans as -1/0, null as VT_NULL, undefined as VT_EMPTY, objects as
// VT_DISPATCH (the host object itself, or the script object's stable wrapper). Coming in, an
// object without IDispatch and kinds scripts have no type for stay opaque and go back out as they
// came. Strings keep UTF-16 units: surrogate pairs travel as two units both ways.
#include <duktape.h>

#include "platform/com/variant.h"

namespace script {

// Pushes a text of 16-bit units as a script string.
void PushWide(duk_context* ctx, const OLECHAR* text, size_t length);
// The string at idx as 16-bit units into buf; the number of units, or -1 when it does not fit or
// the value is not a string. Never raises.
int ReadWide(duk_context* ctx, duk_idx_t idx, OLECHAR* buf, int capacity);
// The string at idx as a new BSTR; null when it is not a string or memory ran out. Never raises.
BSTR ToBstr(duk_context* ctx, duk_idx_t idx);

// Pushes the value a VARIANT carries. Raises a script error only when memory runs out.
void PushVariant(duk_context* ctx, const VARIANT* value);
// The value at idx as a VARIANT that the caller clears. Never raises.
HRESULT ToVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out);

} // namespace script
