#pragma once
// The object model's say in how scripts reach its members, kept apart from the engine's internals
// so that callers need no engine headers.
#include "platform/com/dispatch.h"

// Whether a member is a method (1), a property (0), a declared property (2: its id means the same
// member for as long as the object lives), or not known (-1). The object model answers it
// for its own objects, so that `o.m()` reaches a declared method even where a read of `m` by name
// would give another value (a dictionary key of that name). Without an answer, a member whose
// property read fails as "no such property" is taken for a method.
enum HostMemberKind : int {
    kHostMemberUnknown = -1,
    kHostMemberProperty = 0,
    kHostMemberMethod = 1,
    kHostMemberDeclaredProperty = 2,
};
using HostMemberKindQuery = int (*)(IUnknown* object, DISPID id);
void SetHostMemberKindQuery(HostMemberKindQuery query);

// Answered by objects whose member names map to the same ids and kinds for every object of their
// class, for as long as the process runs (the DOM's nodes): the engine looks each name up once per
// class instead of once per object. A marker: it has only IUnknown's members.
extern const IID IID_IFixedMemberNames;
