#pragma once
// oxScriptWrapperCache: the wrapper cache the script API gives every runtime. Twelve maps from a
// native object to its script object, then the Shell and the ThemeManager. Scenes, commands,
// groups, keys, libraries, resources, selections, bindings and themes keep their object while
// the native object lives (the map holds a reference), so scripts always get the same object,
// expandos included. Boxes and user events are only found here: their objects live while scripts
// hold them and erase their own entry when they go. Other events get a new object each time.
#include <unordered_map>

#include "runtime/hash_map.h"
#include "toolkit/scripthost/script_object_cache.h"

namespace NUBO {
struct XClassDescriptor;
}
class oxNativeWrapper;

class oxScriptWrapperCache final : public oxScriptObjectCache {
public:
    oxScriptWrapperCache();
    ~oxScriptWrapperCache() override;
    oxScriptWrapperCache(const oxScriptWrapperCache&) = delete;
    oxScriptWrapperCache& operator=(const oxScriptWrapperCache&) = delete;

    // Installs the maker of this cache for every runtime made from now on.
    static void Install();

    int SetShellObject(NUBO::XObject* shell) override;
    int GetShellObject(oxScriptHost* runtime, NUBO::XObject** out) override;

    int GetSceneObject(oxScene* scene, NUBO::XObject** out) override;
    void ForgetSceneObject(oxScene* scene) override;
    void CreateParamsView(NUBO::XObject* sceneObject, NUBO::XObject* params) override;
    void SetSceneContextName(NUBO::XObject* sceneObject, const WCHAR* name) override;

    int GetBoxObject(oxBox* box, NUBO::XObject** out) override;
    void ForgetBoxObject(oxBox* box) override;
    bool HasBoxObject(oxBox* box) override;

    int GetLibraryObject(oxLibrary* library, NUBO::XObject** out) override;
    void ForgetLibraryObject(oxLibrary* library) override;
    int GetResourceObject(oxElement* resource, NUBO::XObject** out) override;
    void ForgetResourceObject(oxElement* resource) override;
    int GetCommandObject(oxElement* command, NUBO::XObject** out) override;
    void ForgetCommandObject(oxElement* command) override;
    int GetCommandGroupObject(oxElement* group, NUBO::XObject** out) override;
    void ForgetCommandGroupObject(oxElement* group) override;
    int GetKeyObject(oxElement* key, NUBO::XObject** out) override;
    void ForgetKeyObject(oxElement* key) override;
    int GetKeyGroupObject(oxElement* group, NUBO::XObject** out) override;
    void ForgetKeyGroupObject(oxElement* group) override;
    int GetThemeObject(oxElement* theme, NUBO::XObject** out) override;
    void ForgetThemeManagerObject() override;
    void ForgetThemeObject(oxElement* theme) override;
    int GetDataBindingObject(oxElement* binding, NUBO::XObject** out) override;
    void ForgetDataBindingObject(oxElement* binding) override;
    int GetSelectionObject(oxSelectionModel* selection, NUBO::XObject** out) override;
    void ForgetSelectionObject(oxSelectionModel* selection) override;
    int GetEventObject(oxEvent* event, NUBO::XObject** out) override;
    void ForgetEventObject(oxEvent* event) override;
    NUBO::XObject* EnterEventHandler(oxEvent* event, NUBO::XObject** previous) override;
    void SetCurrentData(const WCHAR* data) override;
    void LeaveEventHandler(NUBO::XObject* object, NUBO::XObject* previous) override;
    int GetThemeManagerObject(NUBO::XObject** out) override;

    void Clear() override;

    // A box's or user event's object is going: its entry goes with it (and a user event's record).
    void OnWrapperDestroyed(oxNativeWrapper* wrapper);

private:
    enum Map {
        kBoxes,
        kScenes,
        kCommands,
        kCommandGroups,
        kLibraries,
        kResources,
        kSelections,
        kDataBindings,
        kEvents,
        kKeys,
        kKeyGroups,
        kThemes,
        kMapCount
    };

    // Get-or-create for the maps that hold their objects.
    int GetKept(Map map, const void* native, NUBO::XClassDescriptor* descriptor, NUBO::XObject** out);
    void ForgetKept(Map map, const void* native);

    NUBO::oxPtrHashMap<oxNativeWrapper*> maps_[kMapCount];
    // Boxes come in thousands and their addresses share their low bits, which the 16-bucket maps
    // hash by: they get a map whose lookups stay constant-time.
    std::unordered_map<const void*, oxNativeWrapper*> boxes_;
    NUBO::oxIdHashMap<NUBO::XClassDescriptor*> eventClasses_;
    NUBO::XObject* shell_ = nullptr; // borrowed when registered; one reference when made here
    bool ownShell_ = false;
    oxNativeWrapper* themeManager_ = nullptr; // one reference
};
