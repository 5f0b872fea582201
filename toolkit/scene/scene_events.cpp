// How an event travels through a scene: the scene's own handlers first (for bubbling events and
// events sent to the scene), then the target box and, while it bubbles, its ancestors, then the
// opener scene for events sent across scenes, and last the default rules unless a handler
// prevented them. This is the frame input's road; the scene runs it itself until the frame input
// exists, and with it the default rules the scene's own parts need: focus on a press, Tab, key
// bindings and the default button on Enter.
#include "runtime/ref_ptr.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/key_group.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"

namespace {

constexpr uint16_t kKeyTab = 9;
constexpr uint16_t kKeyEnter = 13;

// Holds a box across handler calls, which may drop its last reference.
class BoxHold {
public:
    explicit BoxHold(oxBox* box) : box_(box) {
        if (box_) box_->AddRef();
    }
    ~BoxHold() {
        if (box_) box_->Release();
    }
    BoxHold(const BoxHold&) = delete;
    BoxHold& operator=(const BoxHold&) = delete;

private:
    oxBox* box_;
};

oxBox* TargetBox(oxEvent* event) {
    return dynamic_cast<oxBox*>(event->GetTarget());
}

bool Propagating(const oxEvent* event) {
    return (event->GetFlags() & kEventPropagating) != 0;
}

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

void oxScene::DeliverToBoxes(oxEvent* event) {
    oxBox* target = TargetBox(event);
    if (!target || target->GetScene() != this || !target->TestChangeFlags(kChangeConstructed)) {
        // A target outside the scene leaves the event to the scene's window box.
        if (root_) {
            BoxHold hold(root_);
            root_->HandleEvent(event);
        }
        return;
    }
    BoxHold hold(target);
    oxDOMEvent* dom = dynamic_cast<oxDOMEvent*>(event);
    if (dom) dom->SetCurrent(target);
    target->HandleEvent(event);
    if (!(event->GetFlags() & kEventBubbles)) return;
    for (oxBox* b = target->GetParent(); b && Propagating(event); b = b->GetParent()) {
        BoxHold up(b);
        if (dom) dom->SetCurrent(b);
        b->HandleEvent(event);
    }
}

void oxScene::RouteEvent(oxEvent* event) {
    event->AddFlags(kEventPropagating);
    if (auto* key = dynamic_cast<oxKeyEvent*>(event)) {
        if (key->GetType() == kAtomKeyDown || key->GetType() == kAtomKeyPress) {
            lastKeyCode_ = key->keyCode;
            lastShift_ = key->shift;
            lastCtrl_ = key->ctrl;
            lastAlt_ = key->alt;
        }
    }
    if (event->GetFlags() & (kEventBubbles | kEventToScene)) DispatchToHandlers(event);
    if (Propagating(event)) DeliverToBoxes(event);
    if ((event->GetFlags() & kEventToScene) && Propagating(event) && opener_) {
        NUBO::RefPtr<oxScene> opener = NUBO::RefPtr<oxScene>::ref(opener_);
        opener->DispatchToHandlers(event);
        if (Propagating(event) && opener->root_) {
            BoxHold hold(opener->root_);
            opener->root_->HandleEvent(event);
        }
    }
    oxBox* target = TargetBox(event);
    if (!(event->GetFlags() & kEventDefaultPrevented) && target && target->TestChangeFlags(kChangeAttached))
        RunDefaultRules(event);
}

void oxScene::RunDefaultRules(oxEvent* event) {
    oxBox* target = TargetBox(event);
    BoxHold hold(target);
    if (event->GetType() == kAtomMouseDown) {
        oxBox* box = target;
        if (box->GetFocusMode() == kModeFocusDefer) {
            while (box && box->GetFocusMode() != kModeFocusNormal)
                box = box->GetParent();
        }
        if (!box || box->GetFocusMode() == 0)
            SetFocusedBox(nullptr);
        else if (box->GetFocusMode() == kModeFocusNormal && !box->IsEffectivelyDisabled())
            SetFocusedBox(box);
        return;
    }
    auto* key = dynamic_cast<oxKeyEvent*>(event);
    if (!key || key->GetType() != kAtomKeyPress) return;
    if (key->keyCode == kKeyTab && !key->ctrl) {
        if (key->shift)
            RewindFocus();
        else
            AdvanceFocus();
        return;
    }
    oxBox* where = nullptr;
    if (oxKeyElement* binding = MatchKeyCode(key, focused_ ? focused_ : target, &where)) {
        oxCommandElement* command = FindCommand(binding->GetCommand(), where);
        if (command && !ParseBool(command->GetCommandAttribute(kAtomDisabled))) FireCommand(command, where, key);
        return;
    }
    if (key->keyCode == kKeyEnter && !key->shift && !key->ctrl && !key->alt) {
        // FIXME: a focused box that takes Enter itself (its accelerator) keeps it once boxes answer
        // for their accelerators.
        oxBox* button = GetDefaultButton();
        if (!button || button->IsEffectivelyDisabled()) return;
        const WCHAR* id = button->GetAttribute(kAtomCommand);
        oxCommandElement* command = id ? FindCommand(oxAtoms::Find(id), button) : nullptr;
        if (command && !ParseBool(command->GetCommandAttribute(kAtomDisabled))) FireCommand(command, button, key);
    }
}

void oxScene::FireCommand(oxCommandElement* command, oxBox* box, const oxKeyEvent* key) {
    BoxHold hold(box);
    oxCommandEvent event(kAtomCommand, box ? static_cast<oxReferenced*>(box) : nullptr, nullptr, command, 0, nullptr,
                         key && key->shift, key && key->ctrl, key && key->alt);
    command->Execute(nullptr, box);
    if (!(event.GetFlags() & kEventDefaultPrevented) && box) DispatchEvent(&event);
}
