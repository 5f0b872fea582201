#pragma once
// oxScriptObjectCache: the runtime's cache of the script objects of native toolkit objects. Each
// native box, scene, command, group, key, library, resource, selection, binding, theme and user
// event reaches scripts as one script object found here. The runtime owns the cache; the script
// classes live above the scenes, so the script API makes the cache and installs its maker before
// the first runtime starts. "Get" operations answer 1 with the object and a reference for the
// caller in `out`, or 0 with null; "Forget" operations detach the object of a dying native object.
#include <cstdint>

#include "platform/types.h"

class oxBox;
class oxEvent;
class oxElement;
class oxLibrary;
class oxScriptHost;
class oxScene;
class oxSelectionModel;
namespace NUBO {
class XObject;
}

class oxScriptObjectCache {
public:
    virtual ~oxScriptObjectCache() = default;

    // The Shell scripts see; a null one is never stored. Answers 1.
    virtual int SetShellObject(NUBO::XObject* shell) = 0;
    // The registered Shell, or one made over the runtime once when none is.
    virtual int GetShellObject(oxScriptHost* runtime, NUBO::XObject** out) = 0;

    virtual int GetSceneObject(oxScene* scene, NUBO::XObject** out) = 0;
    virtual void ForgetSceneObject(oxScene* scene) = 0;
    // The dictionary view over the params a scene was opened with becomes its Scene object's
    // params dictionary; also for null params.
    virtual void CreateParamsView(NUBO::XObject* sceneObject, NUBO::XObject* params) = 0;
    // The name of the script context a scene's imported scripts run under.
    virtual void SetSceneContextName(NUBO::XObject* sceneObject, const WCHAR* name) = 0;

    virtual int GetBoxObject(oxBox* box, NUBO::XObject** out) = 0;
    virtual void ForgetBoxObject(oxBox* box) = 0;
    virtual bool HasBoxObject(oxBox* box) = 0;

    virtual int GetLibraryObject(oxLibrary* library, NUBO::XObject** out) = 0;
    virtual void ForgetLibraryObject(oxLibrary* library) = 0;
    // Bitmaps, image elements, gadgets and other resources, by the element's tag.
    virtual int GetResourceObject(oxElement* resource, NUBO::XObject** out) = 0;
    virtual void ForgetResourceObject(oxElement* resource) = 0;
    virtual int GetCommandObject(oxElement* command, NUBO::XObject** out) = 0;
    virtual void ForgetCommandObject(oxElement* command) = 0;
    virtual int GetCommandGroupObject(oxElement* group, NUBO::XObject** out) = 0;
    virtual void ForgetCommandGroupObject(oxElement* group) = 0;
    virtual int GetKeyObject(oxElement* key, NUBO::XObject** out) = 0;
    virtual void ForgetKeyObject(oxElement* key) = 0;
    virtual int GetKeyGroupObject(oxElement* group, NUBO::XObject** out) = 0;
    virtual void ForgetKeyGroupObject(oxElement* group) = 0;
    virtual int GetThemeObject(oxElement* theme, NUBO::XObject** out) = 0;
    virtual void ForgetThemeObject(oxElement* theme) = 0;
    virtual int GetDataBindingObject(oxElement* binding, NUBO::XObject** out) = 0;
    virtual void ForgetDataBindingObject(oxElement* binding) = 0;
    // A selection model is no element.
    virtual int GetSelectionObject(oxSelectionModel* selection, NUBO::XObject** out) = 0;
    virtual void ForgetSelectionObject(oxSelectionModel* selection) = 0;
    // User events keep one object while they live; every other event gets a new one per call.
    virtual int GetEventObject(oxEvent* event, NUBO::XObject** out) = 0;
    virtual void ForgetEventObject(oxEvent* event) = 0;
    // Around a script handler run with an event: the event's script object (with a reference for
    // the caller, null when none could be made), made the current event; `previous` receives the
    // current event before. Afterwards the object lets go of the record, which lives only for its
    // dispatch, the previous current event comes back and the caller's reference is released.
    virtual NUBO::XObject* EnterEventHandler(oxEvent* event, NUBO::XObject** previous) = 0;
    virtual void LeaveEventHandler(NUBO::XObject* object, NUBO::XObject* previous) = 0;
    // The text a binding script sees as the Shell's current data while it runs; null clears it.
    virtual void SetCurrentData(const WCHAR* data) { (void)data; }
    virtual int GetThemeManagerObject(NUBO::XObject** out) = 0;
    // The themes element is going: the ThemeManager object lets go of it.
    virtual void ForgetThemeManagerObject() {}

    // The runtime shuts down: every object is detached and let go.
    virtual void Clear() = 0;
};

// What makes a new runtime's cache. Until one is installed runtimes have none, and scenes open
// without script objects.
using oxScriptObjectCacheMaker = oxScriptObjectCache* (*)();
void SetScriptObjectCacheMaker(oxScriptObjectCacheMaker maker);
oxScriptObjectCache* MakeScriptObjectCache();
