#pragma once
// What loading a scene's script file leaves behind: the script's record (its context name and
// whether it ran), and the oxSceneScriptContext that the scene's context knows by that name, whose
// `scene` property is the scene's Scene object.
#include "runtime/ref_ptr.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"


class oxSceneScriptContext : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "SceneScriptContext"

    // Holds a reference to the scene's object.
    explicit oxSceneScriptContext(NUBO::XObject* scene);
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    NUBO::XObject* GetSceneObject() const { return scene_.get(); }

private:
    NUBO::RefPtr<NUBO::XObject> scene_;
};

// One script loaded into a scene.
struct oxSceneScript {
    NUBO::TWString name;    // the scene context name, for a script loaded from a file
    bool succeeded = false; // the text ran without an error
    NUBO::RefPtr<oxSceneScriptContext> context;
};
