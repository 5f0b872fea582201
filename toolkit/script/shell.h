#pragma once
// Shell: the script object that scene scripts know as "shell", owned by the application object; it
// owns the toolkit runtime. The program drives it through its entry points (listeners, host objects,
// the UI scale, the first scene, key messages); scripts open, find and close scenes through its
// members (shell_members.cpp). A Shell made over a runtime it does not own is lenient: where it
// cannot act it answers 0 with a null or false result instead of failing.
#include <cstdint>

#include "platform/win/window.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"

class oxRuntime;

class Shell : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Shell"

    Shell() = default;
    // The lenient Shell over a borrowed runtime.
    explicit Shell(oxRuntime* runtime) : runtime_(runtime), lenient_(true) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Makes and owns the runtime and registers this Shell with its wrapper cache; 1 when the
    // runtime cannot be made.
    int32_t Initialize() override;
    // Shuts the runtime down and frees it.
    void OnBeforeDestroy() override;
    // Every property assignment, host objects included; 1 without runtime.
    int32_t SetPropertyByName(const WCHAR* name, const VARIANT* value) override;

    // 1 for a null listener or no runtime, else 0.
    int32_t AddListener(NUBO::XObject* listener);
    int32_t RemoveListener(NUBO::XObject* listener);
    // A host object every script context made from now on knows by name: 0, or 1 once a context
    // exists (the object is then not added). 0 and nothing added without runtime or object.
    int32_t AddNamedObject(const NUBO::TWString& name, NUBO::XObject* object);
    // The Shell's property `name` becomes `object` (a global every scene's scripts see); out reads
    // true when that was stored. 1 and nothing stored for an empty name or a null object.
    int32_t AddDOMObject(const NUBO::TWString& name, NUBO::XObject* object, NUBO::XVariant* out);
    // The UI scale becomes percent / 100, kept within 0.5 to 3.0.
    int32_t SetUiScale(const VARIANT& percent);
    // Opens a scene (a URL without a scheme resolves against the parent's) and writes its Scene
    // object to out: 0, or 1 when nothing opened (the listeners heard why).
    int32_t OpenScene(const NUBO::TWString& url, NUBO::XObject* parent, const NUBO::TWString& name,
                      NUBO::XObject* params, NUBO::XObject* listener, bool modal, NUBO::XVariant* out);
    // The toolkit translates no accelerators: out is false, so the caller dispatches the message.
    int32_t PreTranslateAccelerator(HWND window, UINT message, WPARAM wParam, LPARAM lParam, NUBO::XVariant* out);
    // Closes the scene of a Scene object (nothing when it is gone already); 1 for any other object.
    int32_t CloseScene(NUBO::XObject* scene);
    // Closes every scene and drops every script engine.
    void Shutdown();

    oxRuntime* GetRuntime() const { return runtime_; }
    bool IsLenient() const { return lenient_; }
    // The answer of a body that cannot act: 0 for a lenient Shell, else 1.
    int32_t CannotAct() const { return lenient_ ? 0 : 1; }

private:
    oxRuntime* runtime_ = nullptr; // owned unless lenient
    bool lenient_ = false;
};

// What the script host sets around event handlers and gadget calls, for Shell.currentEvent and
// Shell.currentData. The event object is not counted.
void SetCurrentEventObject(NUBO::XObject* event);
NUBO::XObject* GetCurrentEventObject();
void SetCurrentData(const WCHAR* data);
const NUBO::TWString& GetCurrentData();

// A Shell with one reference, initialised, in `out`: 10 for a null out pointer, 18 when memory is
// short, or the failing answer of its initialisation.
int32_t CreateShell(Shell** out);
