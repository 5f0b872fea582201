#pragma once
// What the script engine asks the object model about native objects: whether a member is a method,
// so that `o.m()` reaches a declared method even where reading `m` by name gives a dictionary key.
#include "platform/com/dispatch.h"

namespace NUBO {

// 1 when the member `id` of an XObject is a declared method, 2 when it is a declared property (its
// id then holds for the class), 0 when it is an expando, -1 when the object is no XObject or the id names nothing the
// class declares (a dynamic member: the engine then decides by reading it).
int ScriptMemberKind(IUnknown* object, DISPID id);

// Hands the engine its hooks. Called on the runtime's first start; calling it again changes nothing.
void InstallScriptEngineHooks();

} // namespace NUBO
