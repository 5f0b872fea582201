#pragma once
// Scene: the script object of one open scene. Scene scripts reach their own scene through it, and
// other scripts get it from the Shell, from Scene.parentScene and from scene events. Besides its
// members it keeps what belongs to the scene's script side: the params dictionary (a view over the
// params the scene was opened with), the name of the scene's script context, the script files
// already imported, the boxes it made that no parent holds yet, and the open help box.
#include <cstdint>

#include "runtime/ptr_vector.h"
#include "runtime/wide_string.h"
#include "toolkit/base/atoms.h"
#include "toolkit/script/native_wrapper.h"

class oxBox;
class oxScene;

class Scene : public oxNativeWrapper {
public:
    static NUBO::XClassDescriptor Descriptor; // "Scene"

    explicit Scene(oxScene* scene);

    // Null once the scene is gone.
    oxScene* GetScene() const { return static_cast<oxScene*>(GetNative()); }
    // The scene is going: the boxes it made and its help box go with it.
    void Detach() override;

    // An empty dictionary as params; 18 when it cannot be made.
    int32_t Initialize() override;
    // Every property assignment; 1 without a scene.
    int32_t SetPropertyByName(const WCHAR* name, const VARIANT* value) override;
    // Properties go by name, so every assignment reaches SetPropertyByName.
    int GetDispatchFlags() override { return NUBO::kXDispatchPropertiesByName; }

    // Installs a dictionary view over the params object (also over none).
    void CreateParamsView(NUBO::XObject* params);
    NUBO::XObject* GetParamsDictionary() const { return params_; }
    void SetContextName(const WCHAR* name) { contextName_ = name ? name : u""; }
    const NUBO::TWString& GetContextName() const { return contextName_; }

    // The list of imported script files, keyed by {context key, language, exact path}. A zero
    // language or a null path never matches and is never added.
    bool IsScriptLoaded(oxAtom key, oxAtom language, const WCHAR* path) const;
    void AddLoadedScript(oxAtom key, oxAtom language, const WCHAR* path);
    void RemoveLoadedScript(oxAtom key, oxAtom language, const WCHAR* path);

    // A box made by Scene.createBox stays alive here until it gets a parent or the scene goes.
    void KeepMadeBox(oxBox* box);
    void DropMadeBox(oxBox* box);
    // True when the box was kept here; the caller now holds that reference.
    bool TakeMadeBox(oxBox* box) { return box && made_.Remove(box); }
    // The open help box's Scene object, held; null when none.
    Scene* GetHelpBox() const { return helpBox_; }
    void SetHelpBox(Scene* helpBox);

protected:
    ~Scene() override;

private:
    struct LoadedScript {
        oxAtom key;
        oxAtom language;
        NUBO::TWString path;
    };

    void ReleaseMadeBoxes();

    NUBO::XObject* params_ = nullptr; // one reference
    NUBO::TWString contextName_;
    NUBO::PtrVector<LoadedScript*> loaded_; // owned
    NUBO::PtrVector<oxBox*> made_;          // one reference each
    Scene* helpBox_ = nullptr;              // one reference
};
