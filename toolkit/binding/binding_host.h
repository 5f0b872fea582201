#pragma once
// What data binding asks of the runtime and of the scene its boxes live in. Both live above binding:
// the runtime and the scene install themselves as these interfaces.
#include "platform/com/variant.h"
#include "platform/types.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"
#include "toolkit/library/resource_host.h"

class oxBindingElement;
class oxScriptContextManager;
class oxScriptRegistry;
struct oxSceneScript;
namespace NUBO {
class XObject;
}

class oxBindingRuntime : public oxResourceRuntime {
public:
    // The data sources scripts registered by name.
    virtual oxScriptRegistry* GetScriptRegistry() const = 0;
    virtual oxScriptContextManager* GetScriptContextManager() const = 0;
    virtual bool GetDebugOutput() const = 0;
    // Runs a validation word of the toolkit's own script (the built-in command handler) on the
    // text: 1 when the word is known and `result` got its boolean, else 0.
    virtual int32_t RunToolkitBindingScript(const WCHAR* word, const WCHAR* text, VARIANT* result) = 0;

protected:
    ~oxBindingRuntime() = default;
};

class oxBindingScene : public oxResourceScene {
public:
    virtual oxBindingRuntime* GetBindingRuntime() const = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual bool IsOpen() const = 0;
    // Its markup is still being read: bindings made meanwhile wait for it.
    virtual bool IsLoading() const = 0;
    virtual void AddPendingBinding(oxBindingElement* binding) = 0;
    virtual void RemovePendingBinding(oxBindingElement* binding) = 0;
    virtual oxSceneScript* GetScriptById(oxAtom id) = 0;
    virtual const NUBO::TWString& GetContextName() const = 0;
    virtual NUBO::XObject* GetSceneObject() const = 0;

protected:
    ~oxBindingScene() = default;
};
