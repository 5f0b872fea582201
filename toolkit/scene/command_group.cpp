#include "toolkit/scene/command_group.h"

#include <new>

#include "platform/crt/wide.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/library/gadget_instance.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scripthost/script_object_cache.h"

oxCommandElement::oxCommandElement(oxCommandGroupElement* group)
    : oxElement(kAtomBoxNamespace, kAtomCommand), group_(group) {}

oxCommandElement::~oxCommandElement() {
    delete attributes_;
    // Its script object goes inert: a later command at this address must not find it.
    oxScene* scene = group_ ? group_->GetScene() : nullptr;
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    if (oxScriptObjectCache* cache = runtime ? runtime->GetScriptObjectCache() : nullptr)
        cache->ForgetCommandObject(this);
}

int32_t oxCommandElement::SetMarkupAttribute(oxAtom ns, oxAtom attribute, const WCHAR* value) {
    switch (attribute) {
    case kAtomDisabled:
    case kAtomToggled:
        SetCommandAttribute(attribute, value);
        return 0;
    case kAtomAction:
        action_.Parse(value);
        return 0;
    case kAtomUpdate:
        update_.Parse(value);
        return 0;
    default:
        return oxElement::SetMarkupAttribute(ns, attribute, value);
    }
}

const WCHAR* oxCommandElement::GetCommandAttribute(oxAtom attribute) const {
    if (!attributes_) return nullptr;
    const auto* node = attributes_->Find(attribute);
    return node ? node->value.GetString() : nullptr;
}

void oxCommandElement::SetCommandAttribute(oxAtom attribute, const WCHAR* value) {
    const WCHAR* current = GetCommandAttribute(attribute);
    if (current && value && wcscmp(current, value) == 0) return;
    if (!attributes_) attributes_ = new (std::nothrow) NUBO::oxIdHashMap<oxSharedString>();
    if (attributes_) {
        attributes_->Erase(attribute);
        if (value && *value) attributes_->Insert(attribute, oxSharedString(value));
    }
    // A box may detach itself while it takes the attribute: work from a copy.
    NUBO::PtrVector<oxBox*> boxes;
    for (oxBox* box : boxes_)
        (void)boxes.PushBack(box);
    for (oxBox* box : boxes)
        box->SetAttribute(attribute, value, true, false);
}

void oxCommandElement::SetDisabled(bool on) {
    SetCommandAttribute(kAtomDisabled, on ? u"true" : u"false");
}

void oxCommandElement::AttachBox(oxBox* box) {
    if (box) (void)boxes_.PushBack(box);
}

void oxCommandElement::DetachBox(oxBox* box) {
    boxes_.Remove(box);
}

void oxCommandElement::ApplyAttributesToBox(oxBox* box) {
    if (!box || !attributes_ || attributes_->IsEmpty()) return;
    bool attached = false;
    for (oxBox* b : boxes_)
        attached = attached || b == box;
    if (!attached) return;
    for (const auto& entry : *attributes_)
        box->SetAttribute(entry.key, entry.value.GetString(), true, false);
}

void oxCommandElement::Execute(const VARIANT* data, oxBox* box, oxEvent* event) {
    if (!group_) return;
    if (action_.GetPrefix() == kAtomToolkit) {
        oxScene* scene = group_->GetScene();
        if (!scene) return;
        if (event && event->GetTarget()) {
            scene->RunBuiltinCommand(action_, event);
            return;
        }
        bool shift = false, ctrl = false, alt = false;
        scene->GetModifierKeyStates(&shift, &ctrl, &alt);
        oxCommandEvent made(kAtomCommand, box, nullptr, this, 0, nullptr, shift, ctrl, alt);
        scene->RunBuiltinCommand(action_, &made);
        return;
    }
    if (action_.GetPrefix() == kAtomGadget && box && group_->IsGadgetGroup()) {
        if (oxBoxGadget* gadget = box->GetGadget()) gadget->EnsureScriptObject(box);
        if (oxGadgetInstance* instance = oxGadgetInstance::For(box))
            (void)instance->CallMethod(action_.GetText(), data);
        return;
    }
    if (oxScene* scene = group_->GetScene()) scene->RunHandler(action_, data, data ? 1 : 0);
}

void oxCommandElement::Update() {
    oxScene* scene = group_ ? group_->GetScene() : nullptr;
    if (!scene || update_.GetName() == 0) return;
    bool shift = false, ctrl = false, alt = false;
    scene->GetModifierKeyStates(&shift, &ctrl, &alt);
    oxCommandEvent event(kAtomCommand, nullptr, nullptr, this, 0, nullptr, shift, ctrl, alt);
    scene->RunEventHandler(update_, &event);
}

oxCommandGroupElement::oxCommandGroupElement(oxScene* scene, bool gadget)
    : oxElement(kAtomBoxNamespace, kAtomCommandGroup), gadget_(gadget), scene_(scene) {}

oxCommandGroupElement::~oxCommandGroupElement() {
    for (oxCommandElement* command : commands_)
        delete command;
}

int32_t oxCommandGroupElement::CreateChildElement(oxAtom, oxAtom tag, oxElement** out) {
    *out = nullptr;
    if (tag != kAtomCommand) return kElementNotHandled;
    auto* command = new (std::nothrow) oxCommandElement(this);
    if (!command) return kElementNotHandled;
    if (!commands_.PushBack(command)) {
        delete command;
        return kElementNotHandled;
    }
    *out = command;
    return 0;
}

oxCommandElement* oxCommandGroupElement::FindCommand(oxAtom id) const {
    if (id == 0) return nullptr;
    for (size_t i = commands_.size(); i-- > 0;)
        if (commands_[i]->GetId() == id) return commands_[i];
    return nullptr;
}

void oxCommandGroupElement::AddCommand(oxCommandElement* command) {
    if (command && !commands_.PushBack(command)) delete command;
}

void oxCommandGroupElement::RemoveCommand(oxCommandElement* command) {
    if (command && commands_.Remove(command)) delete command;
}

void oxCommandGroupElement::UpdateCommands() {
    for (size_t i = 0; i < commands_.size(); ++i)
        commands_[i]->Update();
}
