#pragma once
// The object model's say in how scripts reach its members, kept apart from the engine's internals
// so that callers need no engine headers.
#include "platform/com/dispatch.h"

// Whether a member is a method (1), a property (0), or not known (-1). The object model answers it
// for its own objects, so that `o.m()` reaches a declared method even where a read of `m` by name
// would give another value (a dictionary key of that name). Without an answer, a member whose
// property read fails as "no such property" is taken for a method.
using HostMemberKindQuery = int (*)(IUnknown* object, DISPID id);
void SetHostMemberKindQuery(HostMemberKindQuery query);
