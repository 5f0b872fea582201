#pragma once
// oxScene: one open markup document. The scene is the container the document's root tag is parsed
// under, owns the root box and the boxes made while it loads, runs its scripts in its script
// context and tells its listener and the runtime how it opens and closes. It is also a library,
// so it holds resources and imports like one.
//
// This is the part the runtime needs to open, load, report and close scenes: plain boxes, script
// elements and the listener calls. Construction of the box tree, styles, layout, the frame window,
// dialogs, focus and event dispatch come with the rest of the scene.
#include <cstdint>

#include "runtime/hash_map.h"
#include "runtime/ptr_vector.h"
#include "runtime/string_map.h"
#include "runtime/wide_string.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/scene/library.h"

class oxBox;
class oxRuntime;
class oxScriptElement;
class Scene;
struct oxSceneScript;
namespace NUBO {
class XObject;
}

class oxScene : public oxLibrary, public oxBoxScene {
public:
    // State flags.
    static constexpr uint32_t kCloseRequested = 0x1;
    static constexpr uint32_t kDialog = 0x100;
    static constexpr uint32_t kModal = 0x200;
    static constexpr uint32_t kAttached = 0x400;
    static constexpr uint32_t kClosing = 0x800;
    static constexpr uint32_t kConstructed = 0x1000;
    static constexpr uint32_t kOpen = 0x2000;
    static constexpr uint32_t kInitialState = 0xE0; // needs layout, bindings pending, windows not shown

    // The count starts at 0, as for every library.
    oxScene(oxRuntime* runtime, const WCHAR* uri, NUBO::XObject* params, int32_t embedded, int32_t windowSubFlag);
    ~oxScene() override;

    // "state" "off" switches the runtime's debug output off, any other value on.
    int32_t SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) override;
    // A box-namespace tag becomes the root box; "trace" is the scene itself; the rest as a library.
    int32_t CreateChildElement(oxAtom ns, oxAtom tag, oxElement** out) override;

    void Open(oxScene* opener, const WCHAR* name, NUBO::XObject* listener, bool dialog, bool modal,
              bool shareLibraries);
    // Unless forced, the listeners hear "beforeSceneClose" first. The runtime then lets the scene go,
    // which may destroy it before the call returns.
    void Close(bool forced);
    // 1 when the script was loaded into the scene's context and ran.
    int32_t AddScript(oxAtom id, oxAtom language, const WCHAR* source, oxBox* element);
    // Calls the method of that name on the listener object, then tells the runtime.
    void NotifyListeners(const WCHAR* eventName);

    oxBox* CreateBox(oxAtom ns, oxAtom tag) override;
    oxBox* GetRootBox() override { return root_; }
    oxElement* GetLibraryElement() override { return this; }
    bool IsRunning() const override { return (state_ & kOpen) != 0; }
    oxElement* CreateScriptElement(oxBox* owner, oxAtom tag) override;
    // A script element reached its end tag.
    void ForgetOpenScript(oxScriptElement* element);

    const NUBO::TWString& GetName() const { return name_; }
    const NUBO::TWString& GetContextName() const { return contextName_; }
    void SetContextName(const WCHAR* name) { contextName_ = name; }
    oxRuntime* GetSceneRuntime() const { return runtime_; }
    Scene* GetSceneObject() const { return sceneObject_; }
    oxScene* GetOpener() const { return opener_; }
    uint32_t GetState() const { return state_; }
    int GetOpenState() const { return openState_; }
    oxSceneScript* GetDefaultScript() const { return defaultScript_; }

private:
    oxRuntime* runtime_;
    NUBO::TWString name_;
    oxScene* opener_ = nullptr;
    oxBox* root_ = nullptr; // one reference
    int32_t embedded_;
    int32_t windowSubFlag_;
    NUBO::XObject* listener_ = nullptr; // one reference
    Scene* sceneObject_ = nullptr;      // one reference
    int openState_ = 0;                 // 0 new, 1 opening, 2 open
    NUBO::TWString contextName_;
    NUBO::oxIdHashMap<oxSceneScript*> scripts_; // owned
    oxSceneScript* defaultScript_ = nullptr;
    NUBO::oxStringMap<int> loadedScripts_; // "id language source" of every script loaded
    uint32_t state_ = kInitialState;
    NUBO::PtrVector<oxScriptElement*> openScripts_; // freed with the scene when a document breaks off
};
