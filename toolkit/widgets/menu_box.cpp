#include "toolkit/widgets/menu_box.h"

#include <new>

#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/popup_box.h"

namespace {

constexpr UINT kSysCommand = 0x112;
constexpr WPARAM kKeyMenu = 0xF100;
constexpr uint16_t kKeyTab = 9, kKeyEnter = 13, kKeyAlt = 18, kKeyEscape = 27, kKeySpace = 32, kKeyEnd = 35,
                   kKeyHome = 36, kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;

void StopEvent(oxEvent* event) {
    event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating));
}

bool Unusable(const oxBox* box) {
    return box->IsEffectivelyDisabled() || (box->GetStateFlags() & kStateDisabledByAncestor) ||
           box->IsEffectivelyHidden() || box->IsCollapsed();
}

} // namespace

void oxRegisterMenuBoxKinds() {
    oxBoxFactory::RegisterKind(kAtomMenu, [](oxAtom tag) -> oxBox* { return new (std::nothrow) oxMenuBox(tag); });
    oxBoxFactory::RegisterKind(kAtomMenuBar, [](oxAtom tag) -> oxBox* { return new (std::nothrow) oxMenuBarBox(tag); });
}

oxMenuBarBox* FindMenuBarOf(oxBox* box) {
    for (oxBox* b = box; b; b = b->GetParent())
        if (auto* bar = dynamic_cast<oxMenuBarBox*>(b)) return bar;
    return nullptr;
}

oxMenuBarBox* FindMenuBarChild(oxBox* box) {
    for (int i = 0; i < box->GetChildCount(); ++i)
        if (auto* bar = dynamic_cast<oxMenuBarBox*>(box->GetChildAt(i, false))) return bar;
    return nullptr;
}

// -- menu ------------------------------------------------------------------------------------------

bool oxMenuBox::IsUnusable() const {
    return Unusable(this);
}

namespace {

// The frame of the nearest box that has one: the popup's own, else the scene's window's.
oxFrame* HostFrameOf(oxBox* box) {
    oxBox* framed = box->FindFrameBox();
    if (auto* popup = dynamic_cast<oxPopupBox*>(framed)) return popup->GetPopupFrame();
    oxFrameSite* site = GetFrameSite(box);
    return site ? site->GetWindowBoxFrame() : nullptr;
}

} // namespace

int32_t oxMenuBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    if (attribute != kAtomAccessKey) return oxBox::SetAttribute(attribute, value, notify, forced);
    oxFrame* frame = HostFrameOf(this);
    if (frame) frame->UnregisterAccessKey(this);
    const int32_t result = oxBox::SetAttribute(attribute, value, notify, forced);
    if (frame) frame->RegisterAccessKey(this);
    return result;
}

void oxMenuBox::OnSceneAttached() {
    oxBox::OnSceneAttached();
    if (!GetAttributeText(kAtomAccessKey)) return;
    if (oxFrame* frame = HostFrameOf(this)) frame->RegisterAccessKey(this);
}

oxPopupBox* oxMenuBox::GetPopup() {
    return oxPopupBox::NamedBy(this, kAtomPopup);
}

oxMenuBarBox* oxMenuBox::GetMenuBar() const {
    for (oxBox* b = GetParent(); b; b = b->GetParent()) {
        if (b->GetBoxType() == kAtomPopup) return nullptr;
        if (auto* bar = dynamic_cast<oxMenuBarBox*>(b)) return bar;
    }
    return nullptr;
}

void oxMenuBox::OpenPopup() {
    oxPopupBox* popup = GetPopup();
    if (!popup || popup->IsOpened()) return;
    popup->SetAnchor(this);
    popup->SetOpened(true, false);
}

void oxMenuBox::Open() {
    if (!IsEffectivelyDisabled() && !(GetStateFlags() & kStateDisabledByAncestor)) OpenPopup();
}

void oxMenuBox::OpenChained() {
    if (IsUnusable()) return;
    AddRef();
    if (oxPopupBox* other = FindOtherOpenPopup()) other->SetOpened(false, false);
    OpenPopup();
    Release();
}

oxPopupBox* oxMenuBox::FindOtherOpenPopup() {
    for (oxBox* b = GetParent(); b; b = b->GetParent()) {
        if (auto* popup = dynamic_cast<oxPopupBox*>(b)) {
            oxPopupBox* child = popup->IsOpened() ? popup->GetChildPopup() : nullptr;
            return child && child->GetAnchor() != this ? child : nullptr;
        }
        if (b->GetBoxType() == kAtomMenuBar) {
            for (int i = 0; i < b->GetChildCount(); ++i) {
                auto* menu = dynamic_cast<oxMenuBox*>(b->GetChildAt(i, false));
                if (!menu || menu == this) continue;
                oxPopupBox* popup = menu->GetPopup();
                if (popup && popup->IsOpened()) return popup;
            }
            return nullptr;
        }
    }
    return nullptr;
}

void oxMenuBox::Shut() {
    if (oxPopupBox* popup = GetPopup()) popup->SetOpened(false, false);
}

int32_t oxMenuBox::HandleEvent(oxEvent* event) {
    const int32_t result = oxBox::HandleEvent(event);
    auto* key = dynamic_cast<oxKeyEvent*>(event);
    if (!key || event->GetType() != kAtomKeyPress) return result;
    const bool disabled = IsEffectivelyDisabled() || (GetStateFlags() & kStateDisabledByAncestor);
    if (key->virtualKeyCode == kKeyEnter && !disabled) {
        AddRef();
        OpenChained();
        if (oxPopupBox* popup = GetPopup()) popup->SelectFirstChild();
        StopEvent(event);
        Release();
    } else if (key->virtualKeyCode == kKeySpace && event->GetTarget() == this && !key->shift && !key->ctrl &&
               !key->alt) {
        oxMenuBarBox* bar = GetMenuBar();
        oxFrameSite* site = GetFrameSite(this);
        oxFrame* root = site ? site->GetWindowBoxFrame() : nullptr;
        if (!bar || !root || !root->GetWindow()) return result;
        bar->SetCurrentItem(-1);
        GiveBackSavedFocus(GetInputScene(this));
        StopEvent(event);
        SendMessageW(root->GetWindow(), kSysCommand, kKeyMenu, 0);
    }
    return result;
}

// -- menu bar --------------------------------------------------------------------------------------

oxMenuBox* oxMenuBarBox::UsableMenuAt(int32_t index) {
    auto* menu = index >= 0 ? dynamic_cast<oxMenuBox*>(GetChildAt(index, false)) : nullptr;
    return menu && !menu->IsUnusable() ? menu : nullptr;
}

void oxMenuBarBox::SetCurrentItem(int32_t index) {
    if (index == current_) return;
    const int32_t old = current_;
    if (oxBox* child = old >= 0 ? GetChildAt(old, false) : nullptr) {
        child->SetAttribute(kAtomCurrent, u"false", true, false);
        child->InvalidateUpToPopup();
    }
    if (oxBox* child = index >= 0 ? GetChildAt(index, false) : nullptr) {
        child->SetAttribute(kAtomCurrent, u"true", true, false);
        child->InvalidateUpToPopup();
    }
    current_ = index;
    oxInputScene* scene = GetInputScene(this);
    if (!scene) return;
    AddRef();
    if (old >= 0 && index < 0) {
        oxDOMEvent ending(kAtomMenuEnding, this, nullptr);
        scene->DispatchEvent(&ending);
    } else if (index >= 0 && old < 0) {
        oxDOMEvent starting(kAtomMenuStarting, this, nullptr);
        scene->DispatchEvent(&starting);
    }
    Release();
}

oxMenuBox* oxMenuBarBox::GetCurrentMenu() {
    return current_ >= 0 ? dynamic_cast<oxMenuBox*>(GetChildAt(current_, false)) : nullptr;
}

void oxMenuBarBox::FocusCurrent() {
    oxMenuBox* menu = GetCurrentMenu();
    oxInputScene* scene = GetInputScene(this);
    if (menu && scene) scene->SetFocusedBox(menu);
}

int32_t oxMenuBarBox::FirstItemIndex() {
    for (int32_t i = 0; i < GetChildCount(); ++i)
        if (UsableMenuAt(i)) return i;
    return -1;
}

int32_t oxMenuBarBox::LastItemIndex() {
    for (int32_t i = GetChildCount() - 1; i >= 0; --i)
        if (UsableMenuAt(i)) return i;
    return -1;
}

void oxMenuBarBox::SelectNext() {
    if (current_ >= 0)
        for (int32_t i = current_ + 1; i < GetChildCount(); ++i)
            if (UsableMenuAt(i)) return SetCurrentItem(i);
    SetCurrentItem(FirstItemIndex());
}

void oxMenuBarBox::SelectPrevious() {
    if (current_ >= 0)
        for (int32_t i = current_ - 1; i >= 0; --i)
            if (UsableMenuAt(i)) return SetCurrentItem(i);
    SetCurrentItem(LastItemIndex());
}

int32_t oxMenuBarBox::HandleEvent(oxEvent* event) {
    const int32_t result = oxBox::HandleEvent(event);
    auto* target = dynamic_cast<oxBox*>(event->GetTarget());
    if (!target) return result;
    AddRef();
    if (event->GetType() == kAtomKeyPress)
        HandleKey(event, target);
    else if (event->GetType() == kAtomMouseMove)
        HandlePointer(event, target);
    Release();
    return result;
}

void oxMenuBarBox::HandleKey(oxEvent* event, oxBox* target) {
    auto* key = dynamic_cast<oxKeyEvent*>(event);
    if (!key) return;
    auto* menu = dynamic_cast<oxMenuBox*>(target);
    const uint16_t code = key->virtualKeyCode;
    if (current_ < 0 && menu && code != kKeyAlt && menu->GetParent() == this) SetCurrentItem(menu->GetIndex());
    if (!menu) return;
    oxInputScene* scene = GetInputScene(this);
    switch (code) {
    case kKeyTab: {
        oxBox* saved = scene ? scene->GetSavedFocus() : nullptr;
        if (saved && saved->GetBoxType() != kAtomMenu) {
            StopEvent(event);
            event->AddFlags(kEventDefaultPrevented);
        }
        return;
    }
    case kKeyEnter:
        menu->OpenPopup();
        break;
    case kKeyEscape:
        if (current_ >= 0) SetCurrentItem(-1);
        GiveBackSavedFocus(scene);
        break;
    case kKeyEnd:
    case kKeyHome:
        SetCurrentItem(code == kKeyEnd ? LastItemIndex() : FirstItemIndex());
        FocusCurrent();
        break;
    case kKeyLeft:
    case kKeyRight:
        code == kKeyLeft ? SelectPrevious() : SelectNext();
        FocusCurrent();
        break;
    case kKeyUp:
    case kKeyDown: {
        oxPopupBox* popup = menu->GetPopup();
        if (!popup) break;
        const bool wasOpen = popup->IsOpened();
        menu->OpenPopup();
        if (!wasOpen && popup->IsOpened()) popup->SelectFirstChild();
        break;
    }
    default:
        return;
    }
    StopEvent(event);
}

void oxMenuBarBox::HandlePointer(oxEvent* event, oxBox* target) {
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (!mouse || mouse->secondPoint == pointer_) return;
    pointer_ = mouse->secondPoint;
    oxInputScene* scene = GetInputScene(this);
    oxFrameInput* input = scene ? scene->GetFrameInput() : nullptr;
    if (!input || input->IsDragActive()) return;
    auto* menu = dynamic_cast<oxMenuBox*>(target);
    if (!menu || menu == GetCurrentMenu() || menu->IsUnusable() || menu->GetParent() != this) return;
    const int32_t index = menu->GetIndex();
    if (input->IsMenuBarEngaged() && IsSceneRootActive(scene)) {
        oxPopupBox* popup = menu->GetPopup();
        const bool keep = popup && !oxPopupBox::IsShowNoActivate(popup);
        input->SetKeepMenu(keep);
        menu->OpenChained();
        input->SetKeepMenu(false);
        SetCurrentItem(index);
        scene->SetFocusedBox(menu);
    } else {
        SetCurrentItem(index);
    }
}
