#include "toolkit/scene/scene_script_context.h"

#include "runtime/result_codes.h"
#include "toolkit/scene/scene_script_object.h"

namespace {

int32_t GetScene(NUBO::XObject* object, NUBO::XVariant* result) {
    auto* self = static_cast<oxSceneScriptContext*>(object);
    if (!self) return NUBO::XR_NO_NATIVE_OBJECT;
    result->SetObject(self->GetSceneObject());
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XProperty("scene", GetScene, nullptr),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor oxSceneScriptContext::Descriptor = {"SceneScriptContext",       2, kMembers,
                                                           &NUBO::XObject::Descriptor, 0, {}};

oxSceneScriptContext::oxSceneScriptContext(Scene* scene) : scene_(NUBO::RefPtr<Scene>::ref(scene)) {}
