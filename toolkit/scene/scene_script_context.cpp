#include "toolkit/scene/scene_script_context.h"

#include "runtime/result_codes.h"

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

oxSceneScriptContext::oxSceneScriptContext(NUBO::XObject* scene) : scene_(NUBO::RefPtr<NUBO::XObject>::ref(scene)) {}
