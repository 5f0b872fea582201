#include "toolkit/scripthost/script_helper.h"

#include "runtime/result_codes.h"

using NUBO::XArgList;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

XObject* g_gadgetBox = nullptr;
XObject* g_sceneProxy = nullptr;

int32_t Answer(XObject* object, XObject* stored, XVariant* result) {
    if (!object) return NUBO::XR_INVALID;
    if (stored) {
        result->SetObject(stored);
    } else {
        VariantClear(result);
        result->vt = VT_NULL;
    }
    return 0;
}

int32_t GetGadgetBox(XObject* object, int, XArgList*, XVariant* result) {
    return Answer(object, g_gadgetBox, result);
}

int32_t GetSceneProxy(XObject* object, int, XArgList*, XVariant* result) {
    return Answer(object, g_sceneProxy, result);
}

const NUBO::XMemberEntry kMembers[] = {
    NUBO::XMethod("getGadgetBox", GetGadgetBox),
    NUBO::XMethod("getSceneProxy", GetSceneProxy),
    NUBO::XMemberEnd(),
};

} // namespace

NUBO::XClassDescriptor ScriptHelper::Descriptor = {"ScriptHelper", 3, kMembers, &XObject::Descriptor, 0, {}};

void SetScriptHelperTargets(XObject* gadgetBox, XObject* sceneProxy) {
    g_gadgetBox = gadgetBox;
    g_sceneProxy = sceneProxy;
}
