// The scene's side of event routing: its own handlers, which the frame input hands bubbling events
// and events sent to the scene before their target, and the command a key press runs (a key
// binding, else the default button on Enter). The frame input does the rest.
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"

namespace {

constexpr uint16_t kKeyEnter = 13;

} // namespace

void oxScene::AddEventListener(oxAtom type, oxSceneEventListener* listener) {
    if (!listener) return;
    for (const Handler& h : handlers_)
        if (h.type == type && h.listener == listener) return;
    if (handlers_.PushBack(Handler{type, listener})) listener->AddRef();
}

void oxScene::RemoveEventListener(oxAtom type, oxSceneEventListener* listener) {
    for (size_t i = 0; i < handlers_.size(); ++i) {
        if (handlers_[i].type == type && handlers_[i].listener == listener) {
            handlers_.Erase(i);
            listener->Release();
            return;
        }
    }
}

void oxScene::DispatchToHandlers(oxEvent* event) {
    // Handlers may add and remove handlers while they run: call a held copy.
    NUBO::PtrVector<oxSceneEventListener*> called;
    for (const Handler& h : handlers_) {
        if (h.type == event->GetType() && called.PushBack(h.listener)) h.listener->AddRef();
    }
    bool go = true;
    for (oxSceneEventListener* listener : called) {
        if (go) go = listener->HandleEvent(event) != 0;
        listener->Release();
    }
}

oxCommandElement* oxScene::FindKeyCommand(const oxKeyEvent* key, oxBox* target, oxBox** where) {
    *where = nullptr;
    if (!key || key->GetType() != kAtomKeyPress) return nullptr;
    oxCommandElement* command = nullptr;
    if (oxKeyElement* binding = MatchKeyCode(key, focused_ ? focused_ : target, where)) {
        command = FindCommand(binding->GetCommand(), *where);
    } else if (key->keyCode == kKeyEnter && !key->shift && !key->ctrl && !key->alt) {
        oxBox* button = GetDefaultButton();
        if (!button || button->IsEffectivelyDisabled()) return nullptr;
        if (focused_ && focused_ != button && focused_->HandleAccelerator(key)) return nullptr;
        const WCHAR* id = button->GetAttribute(kAtomCommand);
        command = id ? FindCommand(oxAtoms::Find(id), button) : nullptr;
        *where = button;
    }
    if (!command || ParseBool(command->GetCommandAttribute(kAtomDisabled))) return nullptr;
    return command;
}
