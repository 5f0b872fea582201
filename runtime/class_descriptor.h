#pragma once
// Static descriptions of script classes: each class lists its script-visible members once and
// points at its base class's descriptor. Lookup flattens a class's table with its bases' into one
// sorted vector on first use, so a name is found by halving and an id is an index into it.
#include <cstdint>

#include "platform/com/variant.h"
#include "runtime/ptr_vector.h"

namespace NUBO {

class XObject;
class XArgList;
class XVariant;

// Member kinds, also the access kinds searched for and asked of XObject::Access.
constexpr int kXMemberEnd = 0;
constexpr int kXMemberProtocol = 4;
constexpr int kXMemberAny = 0xF00; // a property or a method, never a protocol
constexpr int kXMemberProperty = 0xF10;
constexpr int kXAccessGet = 0xF10;
constexpr int kXAccessPut = 0xF11;
constexpr int kXAccessDelete = 0xF13;
constexpr int kXMemberMethod = 0xF20;

using XMethodFn = int32_t (*)(XObject* object, int argc, XArgList* args, XVariant* result);
using XGetterFn = int32_t (*)(XObject* object, XVariant* result);
using XSetterFn = int32_t (*)(XObject* object, const VARIANT* value);

struct XMemberEntry {
    int kind;
    const char* name; // as scripts write it, case-sensitive
    int isProperty;
    XMethodFn method;
    XGetterFn getter; // null: write-only
    XSetterFn setter; // null: read-only
    unsigned version; // protocol entries
};

// Table rows; every table ends with XMemberEnd().
constexpr XMemberEntry XMethod(const char* name, XMethodFn fn) {
    return {kXMemberMethod, name, 0, fn, nullptr, nullptr, 0};
}
constexpr XMemberEntry XProperty(const char* name, XGetterFn get, XSetterFn set) {
    return {kXMemberProperty, name, 1, nullptr, get, set, 0};
}
constexpr XMemberEntry XProtocol(const char* name, unsigned version) {
    return {kXMemberProtocol, name, 0, nullptr, nullptr, nullptr, version};
}
constexpr XMemberEntry XMemberEnd() {
    return {kXMemberEnd, nullptr, 0, nullptr, nullptr, nullptr, 0};
}

// Dispatch flag bits.
constexpr int kXDispatchPropertiesByName = 1; // property access by id goes by name
constexpr int kXDispatchDynamicByName = 2;    // dynamic member ids are called by name

struct XClassDescriptor {
    const char* name;
    int count; // entries including the terminator
    const XMemberEntry* members;
    XClassDescriptor* parent; // null only for the root "XObject"
    // Run-time state, filled by the first lookup; classes never change their tables afterwards.
    int dispatchFlags;
    PtrVector<const XMemberEntry*> memberVector;
};

// Builds the descriptor's vector (and its bases') when it is empty. 18 when memory ran out.
int32_t BuildMemberVector(XClassDescriptor* descriptor, int dispatchFlags);

// Compares an 8-bit member name with the low 8 bits of each unit of a wide name, as unsigned values.
int CompareMemberName(const char* member, const WCHAR* name);

// Binary search of a built vector: 0 and the index, or 57.
int32_t FindMemberIndex(const XClassDescriptor* descriptor, const WCHAR* name, int kind, int* index);

} // namespace NUBO
