#pragma once
// oxScriptRegistry: the data sources that scripts handed to the toolkit under a name, kept per
// scene, per box and globally, so that bindings find a source by name and sources are detached
// and released when their scene or box goes. The runtime owns it.
#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "runtime/hash_map.h"

class oxBindingElement;
class oxBindingSource;
class oxBox;
class oxBindingRuntime;
class oxBindingScene;
namespace NUBO {
class XObject;
}

class oxScriptRegistry {
public:
    explicit oxScriptRegistry(oxBindingRuntime* runtime) : runtime_(runtime) {}
    ~oxScriptRegistry() { Clear(); }
    oxScriptRegistry(const oxScriptRegistry&) = delete;
    oxScriptRegistry& operator=(const oxScriptRegistry&) = delete;

    // Each keeps a reference to the source; null arguments do nothing.
    void AddSceneObject(oxBindingScene* scene, oxBindingSource* source);
    void AddBoxObject(oxBox* box, oxBindingSource* source);
    void AddGlobalObject(oxBindingSource* source);

    // Removing by the script object the source stands for: the source's bindings let go of it.
    void RemoveSceneObject(oxBindingScene* scene, NUBO::XObject* object);
    void RemoveSceneObjectByName(oxBindingScene* scene, const WCHAR* name);
    void RemoveSceneObjects(oxBindingScene* scene);
    void RemoveBoxObject(oxBox* box, NUBO::XObject* object);
    void RemoveBoxObjects(oxBox* box);
    void RemoveGlobalObject(NUBO::XObject* object);

    // The source a binding names: the target box's named item, else the scene's, else the Shell's.
    // True with the source (a new reference) in `out`.
    bool FindSource(oxBindingElement* binding, const WCHAR* name, oxBindingSource** out);
    // Every source is detached and released.
    void Clear();

    size_t GetCount() const;

private:
    using Sources = std::vector<oxBindingSource*>;
    static bool Remove(Sources& list, NUBO::XObject* object, bool detach);
    static void DetachAll(Sources& list);
    static oxBindingSource* Match(const Sources* list, NUBO::XObject* item);

    oxBindingRuntime* runtime_;
    NUBO::oxPtrHashMap<Sources> scenes_;
    NUBO::oxPtrHashMap<Sources> boxes_;
    Sources globals_;
};
