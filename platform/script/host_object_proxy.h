#pragma once
// Native objects seen from script, called as JScript calls them: a Proxy per COM object whose
// traps turn reads into GetDispID + InvokeEx(DISPATCH_PROPERTYGET), calls into
// InvokeEx(DISPATCH_METHOD) with the arguments last first, assignments into GetDispID with
// fdexNameEnsure + InvokeEx(DISPATCH_PROPERTYPUT), `delete` into DeleteMemberByName and `new` into
// InvokeEx(DISPID_VALUE, DISPATCH_CONSTRUCT). A failing HRESULT is thrown as an Error whose
// `number` is the HRESULT. Objects read as "object" to `typeof`, except those whose
// GetMemberProperties(DISPID_VALUE) says they can be called or constructed: those are functions.
// Objects of a class whose members are fixed (IFixedMemberNames) are no proxies but plain objects
// over one frozen prototype per class, whose accessors read and write by id and whose methods are
// stubs made per object on first read; the names they lack read undefined, and script values put
// on them under other names stay script values.
#include <duktape.h>

#include "platform/com/dispatch.h"
#include "platform/script/host_member_kind.h"

namespace script {

struct HostRecord;

// Installs the traps in a new heap.
void InitHostObjects(duk_context* ctx);
// Pushes the proxy of a COM object: the same proxy for the same identity while it is alive.
// Raises only when memory runs out.
void PushHostObject(duk_context* ctx, IDispatch* dispatch);
// The record when the value at idx is a host object, else null. Never raises.
HostRecord* HostRecordOf(duk_context* ctx, duk_idx_t idx);
// Throws an Error carrying hr as its `number`; takes the description (may be null).
duk_ret_t RaiseHResult(duk_context* ctx, HRESULT hr, BSTR description);

} // namespace script
