#include "toolkit/widgets/control_box.h"

#include <cstdint>

#include <new>

#include "toolkit/base/atoms.h"
#include "toolkit/base/number_text.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/scene.h"
#include "toolkit/widgets/scene_input_adapter.h"
#include "toolkit/widgets/select_box.h"

namespace {

// Holds a box across calls that run handlers, which may drop its last reference.
class KeepAlive {
public:
    explicit KeepAlive(oxBox* box) : box_(box) { box_->AddRef(); }
    ~KeepAlive() { box_->Release(); }
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

private:
    oxBox* box_;
};

int32_t ParseValue(const WCHAR* text) {
    int32_t n = 0;
    if (text) ParseDecimalInt(text, &n, 0);
    return n;
}

oxBox* MakeControlBox(oxAtom tag) {
    return new (std::nothrow) oxControlBox(tag);
}

} // namespace

void oxRegisterControlBoxKind() {
    oxBoxFactory::RegisterKind(kAtomControl, &MakeControlBox);
}

oxControlSite* GetControlSite(const oxBox* box) {
    oxBoxScene* scene = box ? box->GetScene() : nullptr;
    if (auto* site = dynamic_cast<oxControlSite*>(scene)) return site;
    // A markup scene cannot know the controls: its input adapter answers for it.
    oxSceneInputAdapter* adapter = oxSceneInputAdapter::For(dynamic_cast<oxScene*>(scene));
    return adapter ? adapter->GetControlSite() : nullptr;
}

oxControlBox::oxControlBox(oxAtom tag) : oxBox(tag) {
    SetChangeFlag(kChangeBlockEvents, true);
    SetFocusMode(kModeFocusNormal);
    SetEngaged(true, false);
}

oxControlBox::~oxControlBox() {
    // A command's list of controls must not keep a control that is gone.
    if (oxControlSite* site = GetControlSite(this)) {
        if (oxElement* command = FindCommand(nullptr)) site->RemoveCommandControl(command, this);
    }
}

void oxControlBox::CloneInto(oxBox* target, bool keepBindingsIdle) {
    oxBox::CloneInto(target, keepBindingsIdle);
    auto* control = dynamic_cast<oxControlBox*>(target);
    if (!control) return;
    control->SetAttribute(kAtomLabel, GetLabel(), true, false);
    control->SetAttribute(kAtomValue, GetValue(), true, false);
    control->SetMessage(messageId_);
}

oxBox* oxControlBox::FindSelectBox() {
    if (const WCHAR* part = oxBox::GetAttribute(kAtomControl)) {
        oxBox* box = GetSpecialPart(oxAtoms::Intern(part));
        if (box && box->GetBoxType() == kAtomSelect) return box;
    }
    for (oxBox* b = GetParent(); b; b = b->GetParent())
        if (b->GetBoxType() == kAtomSelect) return b;
    return nullptr;
}

oxElement* oxControlBox::FindCommand(oxBox** owner) {
    oxControlSite* site = GetControlSite(this);
    if (!commandId_ || !site) return nullptr;
    if (oxElement* command = site->FindCommandInGroups(this, commandId_)) {
        if (owner) *owner = this;
        return command;
    }
    for (oxBox* b = GetParent(); b; b = b->GetParent()) {
        if (oxElement* command = site->FindCommandInGroups(b, commandId_)) {
            if (owner) *owner = b;
            return command;
        }
    }
    return site->FindCommandInGroups(nullptr, commandId_);
}

oxElement* oxControlBox::SetCommand(oxAtom id) {
    oxControlSite* site = GetControlSite(this);
    if (site) {
        if (oxElement* old = FindCommand(nullptr)) site->RemoveCommandControl(old, this);
    }
    commandId_ = id;
    oxElement* command = FindCommand(nullptr);
    if (site && command) site->AddCommandControl(command, this);
    return command;
}

void oxControlBox::SetMessage(oxAtom message) {
    messageId_ = message;
    NotifyAttributeChange(kAtomMessage, true);
}

const WCHAR* oxControlBox::GetLabel() {
    return oxBox::GetAttribute(kAtomLabel);
}

void oxControlBox::SetLabel(const WCHAR* text) {
    SetPlainText(kAtomLabel, text);
}

const WCHAR* oxControlBox::GetValue() {
    return oxBox::GetAttribute(kAtomValue);
}

void oxControlBox::SetValue(const WCHAR* text) {
    SetPlainText(kAtomValue, text);
}

void oxControlBox::SetPlainText(oxAtom attribute, const WCHAR* text) {
    if (text) {
        StoreAttribute(attribute, text, false);
        return;
    }
    RemoveAttribute(attribute);
    NotifyAttributeChange(attribute, true);
}

void oxControlBox::SetTristate(int n) {
    tristateState_ = uint8_t(n);
    SetToggled(n != 0, false);
}

const WCHAR* oxControlBox::GetAttribute(oxAtom attribute) {
    if (attribute == kAtomLabel) return GetLabel();
    if (attribute == kAtomValue) return GetValue();
    if (attribute == kAtomTristate) {
        // One process-wide buffer, as callers copy the text at once.
        static WCHAR buffer[2];
        IntToText(tristateState_ % 10, buffer, 2, 10);
        return buffer;
    }
    return oxBox::GetAttribute(attribute);
}

int32_t oxControlBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    switch (attribute) {
    case kAtomCommand:
        // Outside a scene the binding waits for the attachment.
        if (GetScene()) SetCommand(oxAtoms::Intern(value));
        return oxBox::SetAttribute(attribute, value, notify, forced);
    case kAtomLabel:
        // SetLabel stores and announces the label: storing it again would announce one change twice.
        SetLabel(value);
        return 0;
    case kAtomValue:
        SetValue(value);
        return 0;
    case kAtomMessage:
        SetMessage(oxAtoms::Intern(value));
        return 0;
    case kAtomTristate:
        SetTristate(ParseValue(value));
        return 0;
    default:
        return oxBox::SetAttribute(attribute, value, notify, forced);
    }
}

void oxControlBox::OnSceneAttached() {
    oxControlSite* site = GetControlSite(this);
    if (oxElement* found = FindCommand(nullptr); found && site) site->AdoptCommand(found, this);
    oxElement* command = SetCommand(oxAtoms::Intern(oxBox::GetAttribute(kAtomCommand)));
    if (command && site) site->ApplyCommandAttributes(command, this);
    // A row built selected becomes its list's selection unless the list already shows one.
    if (GetStateFlags() & kStateSelected) {
        if (auto* select = dynamic_cast<oxSelectBox*>(FindSelectBox())) {
            oxBox* current = select->GetSelectedBox();
            if (!current || !current->GetScene()) select->SelectRowBox(this);
        }
    }
    oxBox::OnSceneAttached();
}

void oxControlBox::Command() {
    if (GetStateFlags() & (kStateDisabled | kStateDisabledByAncestor)) return;
    oxControlSite* site = GetControlSite(this);
    if (!site) return;
    KeepAlive keep(this);
    bool shift = false, control = false, alt = false;
    site->GetModifierKeyStates(&shift, &control, &alt);
    oxBox* owner = nullptr;
    oxElement* command = FindCommand(&owner);
    const intptr_t value = ParseValue(GetValue());
    oxCommandEvent event(kAtomCommand, this, nullptr, command, messageId_, reinterpret_cast<void*>(value), shift,
                         control, alt);
    if (command) site->ExecuteCommand(command, &event, owner);
    if (event.GetFlags() & kEventDefaultPrevented) return;
    site->DispatchEvent(&event);
    if (!(event.GetFlags() & kEventDefaultPrevented)) Toggle();
}

void oxControlBox::Toggle() {
    const uint32_t mode = GetToggleMode();
    if (mode == kModeToggleTwo) {
        const bool on = !(GetStateFlags() & kStateToggled);
        SetToggled(on, false);
        tristateState_ = on ? 1 : 0;
    } else if (mode == kModeToggleThree) {
        SetToggled(tristateState_ == 0, false);
        tristateState_ = uint8_t((tristateState_ + 1) % 3);
    }
    if (oxControlSite* site = GetControlSite(this)) {
        KeepAlive keep(this);
        oxDOMEvent toggle(kAtomToggle, this, nullptr);
        site->DispatchEvent(&toggle);
    }
}

void oxControlBox::Click() {
    oxControlSite* site = GetControlSite(this);
    if (!site) return;
    KeepAlive keep(this);
    oxMouseEvent down(kAtomMouseDown, this, nullptr, 1, nullptr, 0, oxPoint{}, oxPoint{}, false, false, false);
    if (!site->DispatchEvent(&down)) return;
    oxMouseEvent up(kAtomMouseUp, this, nullptr, 1, nullptr, 0, oxPoint{}, oxPoint{}, false, false, false);
    site->DispatchEvent(&up);
}

void oxControlBox::DoubleClick() {
    oxControlSite* site = GetControlSite(this);
    if (!site) return;
    KeepAlive keep(this);
    oxMouseEvent down(kAtomMouseDown, this, nullptr, 1, nullptr, 0, oxPoint{}, oxPoint{}, false, false, false);
    if (!site->DispatchEvent(&down)) return;
    oxMouseEvent twice(kAtomDoubleClick, this, nullptr, 1, nullptr, 0, oxPoint{}, oxPoint{}, false, false, false);
    if (!site->DispatchEvent(&twice)) return;
    oxMouseEvent up(kAtomMouseUp, this, nullptr, 1, nullptr, 0, oxPoint{}, oxPoint{}, false, false, false);
    site->DispatchEvent(&up);
}

void oxControlBox::SetValueFromNumber(int32_t n) {
    WCHAR text[10];
    IntToText(n, text, 10, 10);
    SetValue(text);
}

int32_t oxControlBox::HandleEvent(oxEvent* event) {
    const oxAtom type = event ? event->GetType() : 0;
    if (type == kAtomCommand && event->GetTarget() != static_cast<oxReferenced*>(this)) {
        // A child control's command: `change` and `increase` carry a number for this control.
        auto* command = dynamic_cast<oxCommandEvent*>(event);
        if (command && (command->message == kAtomChange || command->message == kAtomIncrease)) {
            const auto data = int32_t(reinterpret_cast<intptr_t>(command->data));
            SetValueFromNumber(command->message == kAtomChange ? data : ParseValue(GetValue()) + data);
            event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating));
            return 0;
        }
    } else if (type == kAtomKeyUp || type == kAtomKeyDown) {
        auto* key = dynamic_cast<oxKeyEvent*>(event);
        // The virtual key: a key-up carries no character, so Space up would never let go.
        if (key && key->virtualKeyCode == 32 && (type == kAtomKeyUp || !key->alt))
            SetPressed(type == kAtomKeyDown, false);
    }
    return oxBox::HandleEvent(event);
}
