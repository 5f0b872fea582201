#include "toolkit/scene/scene_script_object.h"

namespace {

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor Scene::Descriptor = {"Scene", 1, kMembers, &NUBO::XObject::Descriptor, 0, {}};
