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

// One member of a class whose members are the same for all its objects.
struct FixedMember {
    const char16_t* name;
    DISPID id;
    bool method; // called; the others are properties read and written by id
};

// Answered by objects whose members are the same names, ids and kinds for every object of their
// class, for as long as the process runs, and which take no members of their own (the DOM's nodes):
// scripts see them as plain objects whose class lays its members out once, so an access costs no
// name look-up and an object no trap.
extern const IID IID_IFixedMemberNames;
struct IFixedMemberNames : IUnknown {
    // The class's members, in a table that lives as long as the process.
    virtual HRESULT GetFixedMembers(const FixedMember** members, UINT* count) = 0;
};
