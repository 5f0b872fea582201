#include "toolkit/scene/key_group.h"

#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/key_names.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scripthost/script_object_cache.h"
#include "toolkit/style/attribute_value.h"

uint16_t KeyCodeFromText(const WCHAR* text) {
    if (!text || !*text) return 0;
    if (uint16_t code = VirtualKeyFromName(text)) return code;
    return uint16_t(towupper(text[0]));
}

oxKeyElement::oxKeyElement(oxKeyGroupElement* group) : oxElement(kAtomBoxNamespace, kAtomKey), group_(group) {}

oxKeyElement::~oxKeyElement() {
    // A later key at this address must not find the script object.
    oxScene* scene = group_ ? group_->GetScene() : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    if (oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr) cache->ForgetKeyObject(this);
}

int32_t oxKeyElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomCommand:
        command_ = value ? oxAtoms::Intern(value) : 0;
        return 0;
    case kAtomAlt:
        alt_ = ParseBool(value);
        return 0;
    case kAtomCtrl:
        ctrl_ = ParseBool(value);
        return 0;
    case kAtomShift:
        shift_ = ParseBool(value);
        return 0;
    case kAtomKey:
        keyCode_ = KeyCodeFromText(value);
        return 0;
    default:
        return oxElement::SetMarkupAttribute(ns, attribute, value);
    }
}

// A key names a virtual key, which the event carries beside its character: the character of a
// function key is 0, and of a letter its lower case, so that comparing it found no typed key.
bool oxKeyElement::Matches(const oxKeyEvent& event) const {
    return event.shift == shift_ && event.ctrl == ctrl_ && event.alt == alt_ && event.virtualKeyCode == keyCode_;
}

oxKeyGroupElement::oxKeyGroupElement(bool gadget) : oxElement(kAtomBoxNamespace, kAtomKeyGroup), gadget_(gadget) {}

oxKeyGroupElement::~oxKeyGroupElement() {
    for (oxKeyElement* key : keys_)
        delete key;
}

int32_t oxKeyGroupElement::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (tag != kAtomKey) return kElementNotHandled;
    auto* key = new (std::nothrow) oxKeyElement(this);
    if (!key) return kElementNotHandled;
    if (!keys_.PushBack(key)) {
        delete key;
        return kElementNotHandled;
    }
    *out = key;
    return 0;
}

oxKeyElement* oxKeyGroupElement::FindKey(oxAtom id) const {
    for (oxKeyElement* key : keys_)
        if (key->GetId() == id) return key;
    return nullptr;
}

oxKeyElement* oxKeyGroupElement::FindKeyForEvent(const oxKeyEvent* event) const {
    if (!event) return nullptr;
    for (oxKeyElement* key : keys_)
        if (key->Matches(*event)) return key;
    return nullptr;
}

void oxKeyGroupElement::AddKey(oxKeyElement* key) {
    if (key && !keys_.PushBack(key)) delete key;
}

void oxKeyGroupElement::RemoveKey(oxKeyElement* key) {
    if (key && keys_.Remove(key)) delete key;
}
