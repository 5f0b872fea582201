#include "toolkit/widgets/scene_input_adapter.h"

#include <new>

#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/command_group.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_window.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/scene_frame.h"

oxSceneInputAdapter* oxSceneInputAdapter::For(oxScene* scene, oxFrameInput* input) {
    if (!scene) return nullptr;
    if (auto* own = dynamic_cast<oxSceneInputAdapter*>(scene->GetInputState())) return own;
    auto* made = new (std::nothrow) oxSceneInputAdapter(scene, input);
    if (made) scene->SetInputState(made);
    return made;
}

oxSceneInputAdapter* oxSceneInputAdapter::For(oxScene* scene) {
    oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
    auto* input = runtime ? dynamic_cast<oxFrameInput*>(runtime->GetFrameInput()) : nullptr;
    return input ? For(scene, input) : nullptr;
}

void oxSceneInputAdapter::DispatchEvent(oxEvent* event) {
    scene_->DispatchEvent(event);
}

oxBox* oxSceneInputAdapter::GetFocusedBox() {
    return scene_->GetFocusedBox();
}

void oxSceneInputAdapter::SetFocusedBox(oxBox* box) {
    scene_->SetFocusedBox(box);
}

void oxSceneInputAdapter::AdvanceFocus() {
    (void)scene_->AdvanceFocus();
}

void oxSceneInputAdapter::RewindFocus() {
    (void)scene_->RewindFocus();
}

oxBox* oxSceneInputAdapter::GetWindowBox() {
    return scene_->GetRootBox();
}

oxBox* oxSceneInputAdapter::FindBoxById(oxAtom id) {
    return scene_->GetBoxById(id, false);
}

bool oxSceneInputAdapter::IsRightToLeft() {
    return scene_->IsRightToLeft();
}

bool oxSceneInputAdapter::IsWindowDisabled() {
    oxSceneWindow* window = scene_->GetWindow();
    return window && !window->IsEnabled();
}

oxBox* oxSceneInputAdapter::GetTooltipPopup() {
    return scene_->GetTooltipPopup();
}

oxBox* oxSceneInputAdapter::GetSavedFocus() {
    return scene_->GetActiveNativeText();
}

void oxSceneInputAdapter::SetSavedFocus(oxBox* box) {
    scene_->SetActiveNativeText(box);
}

void oxSceneInputAdapter::HandleSceneEvent(oxEvent* event) {
    scene_->DispatchToHandlers(event);
}

oxInputScene* oxSceneInputAdapter::GetEnclosingScene() {
    return For(scene_->GetOpener(), input_);
}

oxKeyCommand* oxSceneInputAdapter::FindKeyBinding(oxKeyEvent* event) {
    oxBox* where = nullptr;
    keyCommand_.command = scene_->FindKeyCommand(event, dynamic_cast<oxBox*>(event->GetTarget()), &where);
    keyCommand_.box = where;
    return keyCommand_.command ? &keyCommand_ : nullptr;
}

bool oxSceneInputAdapter::KeyCommand::IsDisabled() {
    return ParseBool(command->GetCommandAttribute(kAtomDisabled));
}

void oxSceneInputAdapter::KeyCommand::Execute(oxCommandEvent* event) {
    command->Execute(nullptr, box, event);
}

bool oxSceneInputAdapter::ContainsScreenPoint(oxBox* box, const oxPoint& point) {
    // The box's place in the window of the frame that shows it (a popup's own, else the scene's), as
    // hit testing finds it: positions down from that frame's box, less what each parent has scrolled.
    oxRect r = box->GetFrameClientRect();
    HWND window = nullptr;
    if (auto* host = dynamic_cast<oxFrame*>(box->GetHostFrame())) {
        window = host->GetWindow();
    } else if (auto* frame = dynamic_cast<oxSceneFrame*>(scene_->GetWindow()); frame && frame->GetFrame()) {
        window = frame->GetFrame()->GetWindow();
    }
    if (window) r = ClientRectToScreen(window, r);
    return r.Contains(point);
}

oxBoxEdges oxSceneInputAdapter::GetBoxEdges(oxBox* box) {
    const oxRect r = box->GetBoxRect();
    oxBoxEdges e;
    e.left = r.x, e.top = r.y;
    if (oxBox* parent = box->GetParent()) {
        const oxRect p = parent->GetBoxRect();
        e.right = p.width - int32_t(r.Right());
        e.bottom = p.height - int32_t(r.Bottom());
    }
    return e;
}

void oxSceneInputAdapter::SetBoxEdges(oxBox* box, const oxBoxEdges& e, uint32_t which) {
    if (which & 1) box->SetTop(e.top);
    if (which & 2) box->SetLeft(e.left);
    if (which & 4) box->SetRight(e.right);
    if (which & 8) box->SetBottom(e.bottom);
}

void oxSceneInputAdapter::GetMoveModes(oxBox* box, int32_t* vertical, int32_t* horizontal) {
    int v = 1, h = 4;
    box->GetEdgeAnchoring(&v, &h);
    *vertical = v;
    *horizontal = h;
}

// The scene's controls.

oxElement* oxSceneInputAdapter::ControlSite::FindCommandInGroups(oxBox* box, oxAtom id) {
    return scene_->FindCommand(id, box);
}

void oxSceneInputAdapter::ControlSite::AddCommandControl(oxElement* command, oxBox* control) {
    if (auto* element = dynamic_cast<oxCommandElement*>(command)) element->AttachBox(control);
}

void oxSceneInputAdapter::ControlSite::RemoveCommandControl(oxElement* command, oxBox* control) {
    if (auto* element = dynamic_cast<oxCommandElement*>(command)) element->DetachBox(control);
}

void oxSceneInputAdapter::ControlSite::AdoptCommand(oxElement* command, oxBox* control) {
    // Commands stay with the groups of the scene that made them.
    (void)command, (void)control;
}

void oxSceneInputAdapter::ControlSite::ApplyCommandAttributes(oxElement* command, oxBox* control) {
    if (auto* element = dynamic_cast<oxCommandElement*>(command)) element->ApplyAttributesToBox(control);
}

void oxSceneInputAdapter::ControlSite::ExecuteCommand(oxElement* command, oxEvent* event, oxBox* owner) {
    if (auto* element = dynamic_cast<oxCommandElement*>(command)) element->Execute(nullptr, owner, event);
}

bool oxSceneInputAdapter::ControlSite::DispatchEvent(oxEvent* event) {
    scene_->DispatchEvent(event);
    return true;
}

void oxSceneInputAdapter::ControlSite::GetModifierKeyStates(bool* shift, bool* control, bool* alt) {
    scene_->GetModifierKeyStates(shift, control, alt);
}
