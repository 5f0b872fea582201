#pragma once
// oxScriptObjectCache: the runtime's cache of script wrappers of native toolkit objects. This is
// the part the runtime and the script host need now: the one Shell and each scene's Scene object;
// the box, command, library and theme wrappers join it with the script API.
#include "runtime/hash_map.h"

class oxRuntime;
class oxScene;
class Scene;
namespace NUBO {
class XObject;
}

class oxScriptObjectCache {
public:
    oxScriptObjectCache() = default;
    oxScriptObjectCache(const oxScriptObjectCache&) = delete;
    oxScriptObjectCache& operator=(const oxScriptObjectCache&) = delete;
    ~oxScriptObjectCache() { Clear(); }

    // The Shell that scripts see. Borrowed: the Shell owns the runtime that owns this cache. A null
    // Shell is never stored.
    void SetShellObject(NUBO::XObject* shell);
    // 1 and the Shell with one added reference; 0 when none is registered.
    int GetShellObject(oxRuntime* runtime, NUBO::XObject** out);
    // 1 and the scene's Scene object with one added reference (made on first use); 0 for a null
    // scene or when it cannot be made.
    int GetSceneObject(oxScene* scene, Scene** out);
    // Detaches the scene's Scene object, which stays valid but inert, and drops the cache's reference.
    void ForgetSceneObject(oxScene* scene);
    // Called when the runtime shuts down.
    void Clear();

private:
    NUBO::XObject* shell_ = nullptr;
    NUBO::oxPtrHashMap<Scene*> scenes_;
};
