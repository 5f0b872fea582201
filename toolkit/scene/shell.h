#pragma once
// Shell: the script object that scene scripts know as "shell", owned by the application object; it
// owns the toolkit runtime. This is the part the toolkit's start and stop need: the runtime, the
// program's entry points for listeners and named host objects, and the stop. The script class's
// members come with the script API.
#include <cstdint>

#include "runtime/script_object.h"
#include "runtime/wide_string.h"

class oxRuntime;

class Shell : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Shell"

    Shell() = default;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Makes and owns the runtime and registers this Shell with its wrapper cache; 1 when the
    // runtime cannot be made.
    int32_t Initialize() override;
    // Shuts the runtime down and frees it.
    void OnBeforeDestroy() override;

    // 1 for a null listener or no runtime, else 0.
    int32_t AddListener(NUBO::XObject* listener);
    int32_t RemoveListener(NUBO::XObject* listener);
    // A host object every script context made from now on knows by name: 0, or 1 once a context
    // exists (the object is then not added). 0 and nothing added without runtime or object.
    int32_t AddNamedObject(const NUBO::TWString& name, NUBO::XObject* object);
    // Closes every scene and drops every script engine.
    void Shutdown();

    oxRuntime* GetRuntime() const { return runtime_; }

private:
    oxRuntime* runtime_ = nullptr;
};

// A Shell with one reference, initialised, in `out`: 10 for a null out pointer, 18 when memory is
// short, or the failing answer of its initialisation.
int32_t CreateShell(Shell** out);
