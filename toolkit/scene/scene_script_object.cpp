#include "toolkit/scene/scene_script_object.h"

#include "toolkit/scene/scene.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

// The members the toolkit's own scenes use (the built-in dialog closes itself and reads its
// params); the script class's others come with the script API.
int32_t Close(XObject* object, int, XArgList*, XVariant*) {
    oxScene* scene = object ? static_cast<Scene*>(object)->GetScene() : nullptr;
    if (scene) scene->Close(false);
    return 0;
}

// FIXME: a dictionary view over the params object, once the script API makes one.
int32_t GetParamsDictionary(XObject* object, XVariant* result) {
    oxScene* scene = object ? static_cast<Scene*>(object)->GetScene() : nullptr;
    if (scene && scene->GetParams()) result->SetObject(scene->GetParams());
    return 0;
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("close", Close),
    NUBO::XProperty("paramsDictionary", GetParamsDictionary, nullptr),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Scene::Descriptor = {"Scene", 3, kMembers, &NUBO::XObject::Descriptor, 0, {}};
