#pragma once
// ScriptHelper: the object every script context knows as "__scriptHelper". Generated script texts
// reach the gadget box being instantiated and the scene being set up through it.
#include "runtime/script_object.h"

class ScriptHelper : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "ScriptHelper"

    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};

// Stores what ScriptHelper.getGadgetBox and getSceneProxy answer next (borrowed; either may be
// null). Called around gadget instantiation and scene script set-up.
void SetScriptHelperTargets(NUBO::XObject* gadgetBox, NUBO::XObject* sceneProxy);
