#pragma once
// Scene: the script object of an open scene, as listeners and scripts receive it. This is the
// least of it that the runtime needs: the scene it stands for, detached when the scene goes, and
// the name of the scene's script context; the script class's members come with the script API.
#include "runtime/script_object.h"
#include "runtime/wide_string.h"

class oxScene;

class Scene : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "Scene"

    explicit Scene(oxScene* scene) : scene_(scene) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    // Null once the scene is gone: the object stays valid but inert.
    oxScene* GetScene() const { return scene_; }
    void Detach() { scene_ = nullptr; }
    void SetContextName(const WCHAR* name) { contextName_ = name; }
    const NUBO::TWString& GetContextName() const { return contextName_; }

private:
    oxScene* scene_;
    NUBO::TWString contextName_;
};
