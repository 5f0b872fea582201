#include "toolkit/widgets/window_box.h"

#include <new>

#include "platform/crt/wide.h"
#include "platform/shell/task_bar.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/menu_element.h"
#include "toolkit/widgets/native_menu.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

oxBox* MakeWindowBox(oxAtom tag) {
    return new (std::nothrow) oxWindowBox(tag);
}

constexpr uint32_t kHiddenOrCollapsed = kStateHidden | kStateHiddenByAncestor | kStateCollapsed;

} // namespace

void oxRegisterWindowBoxKind() {
    oxBoxFactory::RegisterKind(kAtomWindow, &MakeWindowBox);
}

oxWindowBox::oxWindowBox(oxAtom tag) : oxBox(tag), dockAffinity_(kAtomDesktop) {
    // The window's frame belongs to its scene's window, not to the frame side table.
    SetChangeFlag(kChangeFramed, true);
}

oxWindowBox::~oxWindowBox() {
    if (menu_) menu_->Release();
}

bool oxWindowBox::SetMenu(oxNativeMenu* menu) {
    oxWindowFrame* frame = GetWindowFrame();
    if (menu == menu_ || !frame || !menu) return false;
    if (!frame->SetMenuBar(menu->GetHandle())) return false;
    menu->AddRef();
    if (menu_) menu_->Release();
    menu_ = menu;
    return true;
}

bool oxWindowBox::RefreshMenu() {
    oxScene* scene = SceneOf();
    const WCHAR* text = GetAttributeText(kAtomMenu);
    if (!scene || scene->IsEmbedded() || !text) return false;
    oxStyleValue value;
    if (!ParseStyleValue(text, kStyleMaskReference, &value) || value.GetType() != kStyleUrl) return false;
    auto* menu = dynamic_cast<oxMenuElement*>(value.ResolveResource(scene->GetStyleLibrary()));
    if (!menu) return false;
    menu->ResolveSubmenus();
    return menu->BuildNativeMenu(false) && SetMenu(menu->GetNativeMenu());
}

oxScene* oxWindowBox::SceneOf() const {
    return dynamic_cast<oxScene*>(GetScene());
}

bool oxWindowBox::IsEmbeddedScene() const {
    oxScene* scene = SceneOf();
    return scene && scene->IsEmbedded();
}

oxWindowFrame* oxWindowBox::GetWindowFrame() const {
    oxSceneFrame* site = oxSceneFrame::Of(GetScene());
    oxWindowFrame* frame = site ? site->GetFrame() : nullptr;
    if (!frame || frame->GetOwnerBox() != this || !frame->GetWindow()) return nullptr;
    return frame;
}

bool oxWindowBox::IsChromeless() {
    return IsEmbeddedScene() || chromeless_;
}

void oxWindowBox::SetChromeless(bool on) {
    chromeless_ = on;
    Changed(kAtomChromeless);
}

void oxWindowBox::Changed(oxAtom attribute) {
    oxWindowFrame* frame = GetWindowFrame();
    if (!frame) return;
    switch (attribute) {
    case kAtomAlwaysOnTop:
        frame->SetTopmost(alwaysOnTop_);
        break;
    case kAtomFloating:
        frame->SetToolWindow(floating_);
        break;
    case kAtomFullScreen:
        frame->SetFullScreen(fullScreen_);
        break;
    case kAtomResizable:
        frame->SetResizable(resizable_);
        break;
    case kAtomDockAffinity:
        frame->SetDockAffinity(dockAffinity_);
        break;
    default:
        // Chrome, closing and the size buttons act through styles and script only.
        break;
    }
    NotifyAttributeChange(attribute, true, true);
    UpdateStateStyles(attribute);
}

void oxWindowBox::SetTitle(const WCHAR* text) {
    title_ = text ? text : u"";
    if (oxWindowFrame* frame = GetWindowFrame()) frame->SetTitle(title_.c_str());
}

void oxWindowBox::SetAlwaysOnTop(bool on) {
    alwaysOnTop_ = on;
    Changed(kAtomAlwaysOnTop);
}

void oxWindowBox::SetFloating(bool on) {
    floating_ = on;
    Changed(kAtomFloating);
}

void oxWindowBox::SetFullScreen(bool on) {
    fullScreen_ = on;
    Changed(kAtomFullScreen);
}

void oxWindowBox::SetResizable(bool on) {
    resizable_ = on;
    Changed(kAtomResizable);
}

void oxWindowBox::SetMovable(bool on) {
    movable_ = on;
    Changed(kAtomMovable);
}

void oxWindowBox::SetMaximizable(bool on) {
    maximizable_ = on;
    Changed(kAtomMaximizable);
}

void oxWindowBox::SetMinimizable(bool on) {
    minimizable_ = on;
    Changed(kAtomMinimizable);
}

void oxWindowBox::SetClosable(bool on) {
    closable_ = on;
    Changed(kAtomClosable);
}

void oxWindowBox::SetDockAffinity(const WCHAR* text) {
    dockAffinity_ = text && _wcsicmp(text, u"monitor") == 0 ? kAtomMonitor : kAtomDesktop;
    Changed(kAtomDockAffinity);
}

void oxWindowBox::SetDock(int32_t side) {
    dockSide_ = side;
    oxWindowFrame* frame = GetWindowFrame();
    oxScene* scene = SceneOf();
    if (!frame || !scene || frame->GetDockSide() == side) return;
    RequestLayout();
    scene->Layout();
    frame->SetDockSide(side);
    NotifyAttributeChange(kAtomDock, true, true);
    UpdateStateStyles(kAtomDock);
}

void oxWindowBox::SetActive(bool value) {
    oxWindowFrame* frame = GetWindowFrame();
    if (!frame) return;
    frame->SetFocus(value);
    oxBox::SetActive(value);
}

void oxWindowBox::Arrange(oxPlacementRecord* placement) {
    if (!resizable_ && !IsEmbeddedScene() && !ParseBool(GetAttributeText(kAtomNoScale))) {
        for (int id : {kStyle_width, kStyle_height}) {
            oxStyleValue current;
            GetStyleValue(id, &current);
            // Only a scaled value follows the interface scale; pixels, keywords and shares do not.
            if (current.GetType() == kStyleScaled) SetStyleValue(id, oxStyleValue(current.GetInt(), kStylePx), 0);
        }
    }
    oxBox::Arrange(placement);
}

void oxWindowBox::SetHidden(bool value) {
    const bool wasHidden = (GetStateFlags() & (kStateHidden | kStateHiddenByAncestor)) != 0;
    oxBox::SetHidden(value);
    oxScene* scene = SceneOf();
    if (value || !wasHidden || !scene || (GetStateFlags() & kStateMinimized)) return;
    RequestLayout();
    scene->Layout();
}

oxRect oxWindowBox::GetSnapRect() const {
    oxWindowFrame* frame = GetWindowFrame();
    return frame ? frame->GetSnapRect() : oxRect{};
}

void oxWindowBox::BringToFront() {
    if (oxWindowFrame* frame = GetWindowFrame()) frame->BringToFront();
}

void oxWindowBox::WindowCommand() {
    if (!SceneOf() || IsEmbeddedScene() || (GetStateFlags() & kHiddenOrCollapsed)) return;
    // The frame's minimise, maximise and restore are empty on this platform.
}

void oxWindowBox::Close() {
    if (oxScene* scene = SceneOf()) scene->Close(false);
}

void oxWindowBox::Relayout() {
    RequestLayout();
    if (oxScene* scene = SceneOf()) scene->Layout();
}

void oxWindowBox::ApplyRtlOrder() {
    // A window's children keep their order; the first arrangement only marks it realised.
    realised_ = true;
}

bool oxWindowBox::FitOnScreen() {
    if (dockSide_ != 0) return false;
    const oxRect r = GetBoxRect();
    const RECT work = platform::shell::GetWorkArea();
    // The box's left and top are kept relative to the work area (the frame stores them so), so the
    // area is measured from 0 here rather than from its place on the screen.
    const int32_t area[2][2] = {{0, work.right - work.left}, {0, work.bottom - work.top}};
    const int32_t pos[2] = {r.x, r.y}, size[2] = {r.width, r.height};
    static const WCHAR* const kNear[2] = {u"left", u"top"};
    static const WCHAR* const kFar[2] = {u"right", u"bottom"};
    bool changed = false;
    for (int axis = 1; axis >= 0; --axis) {
        const int32_t overflow = pos[axis] + size[axis] - area[axis][0] - area[axis][1];
        const int32_t offset = pos[axis] - area[axis][0];
        const WCHAR* moved;
        const WCHAR* pinned;
        if (overflow > 0) {
            moved = kNear[axis], pinned = kFar[axis];
        } else if (offset < 0) {
            moved = kFar[axis], pinned = kNear[axis];
        } else {
            continue;
        }
        WCHAR text[16];
        FormatInt(offset < overflow ? 0 : offset - overflow, text, 16);
        SetStyle(moved, text);
        SetStyle(pinned, u"0");
        changed = true;
    }
    return changed;
}

const WCHAR* oxWindowBox::GetAttribute(oxAtom attribute) {
    // One process-wide buffer, as callers copy the text at once.
    static WCHAR buffer[20];
    auto flag = [](bool on) { return on ? u"true" : u"false"; };
    switch (attribute) {
    case kAtomActive:
        return flag(GetStateFlags() & kStateActive);
    case kAtomAlwaysOnTop:
        return flag(alwaysOnTop_);
    case kAtomChromeless:
        return flag(IsChromeless());
    case kAtomClosable:
        return flag(closable_);
    case kAtomFloating:
        return flag(floating_);
    case kAtomFullScreen:
        return flag(fullScreen_);
    case kAtomMaximizable:
        return flag(maximizable_);
    case kAtomMinimizable:
        return flag(minimizable_);
    case kAtomMovable:
        return flag(movable_);
    case kAtomResizable:
        return flag(resizable_);
    case kAtomTranslucent:
        return flag(TestChangeFlags(kChangeTranslucent));
    case kAtomDir: {
        oxFrameSite* site = GetFrameSite(this);
        return (dir_ == kAtomRtl || GetScene()) && site && site->IsRightToLeft() ? u"rtl" : u"none";
    }
    case kAtomDock:
        SideToString(dockSide_, buffer, 20);
        return buffer;
    case kAtomTitle:
        return title_.c_str();
    case kAtomDockAffinity:
        return dockAffinity_ == kAtomMonitor ? u"monitor" : u"desktop";
    default:
        return oxBox::GetAttribute(attribute);
    }
}

int32_t oxWindowBox::SetAttribute(oxAtom attribute, const WCHAR* value, bool notify, bool forced) {
    const bool on = ParseBool(value);
    switch (attribute) {
    case kAtomActive:
        SetActive(on);
        return 0;
    case kAtomAlwaysOnTop:
        SetAlwaysOnTop(on);
        return 0;
    case kAtomChromeless:
        SetChromeless(on);
        return 0;
    case kAtomClosable:
        SetClosable(on);
        return 0;
    case kAtomClosed:
        Close();
        return 0;
    case kAtomDir:
        dir_ = oxAtoms::Intern(value);
        return 0;
    case kAtomDock:
        SetDock(SideFromAtom(value));
        return 0;
    case kAtomFloating:
        SetFloating(on);
        return 0;
    case kAtomFullScreen:
        SetFullScreen(on);
        return 0;
    case kAtomMaximizable:
        SetMaximizable(on);
        return 0;
    case kAtomMaximized:
        on ? Maximize() : Restore();
        return 0;
    case kAtomMinimizable:
        SetMinimizable(on);
        return 0;
    case kAtomMinimized:
        on ? Minimize() : Restore();
        return 0;
    case kAtomMovable:
        SetMovable(on);
        return 0;
    case kAtomResizable:
        SetResizable(on);
        return 0;
    case kAtomSnapToBox:
    case kAtomSnapToOffset:
    case kAtomSnapToWorkspace: {
        oxRect& field = attribute == kAtomSnapToBox      ? snapToBox_
                        : attribute == kAtomSnapToOffset ? snapToOffset_
                                                         : snapToWorkspace_;
        field = ParseIntRect(value);
        return oxBox::SetAttribute(attribute, value, notify, forced);
    }
    case kAtomSnapToBoxClass:
        hasSnapClass_ = value && *value;
        snapToBoxClass_ = hasSnapClass_ ? value : u"";
        return oxBox::SetAttribute(attribute, value, notify, forced);
    case kAtomSnapToBoxOrder:
        snapToBoxOrder_ = ParseInt(value);
        return oxBox::SetAttribute(attribute, value, notify, forced);
    case kAtomTitle:
        SetTitle(value);
        return 0;
    case kAtomMenu: {
        const int32_t result = oxBox::SetAttribute(attribute, value, notify, forced);
        if (realised_) RefreshMenu();
        return result;
    }
    case kAtomDockAffinity:
        SetDockAffinity(value);
        return 0;
    default:
        return oxBox::SetAttribute(attribute, value, notify, forced);
    }
}

namespace {

constexpr uint16_t kKeyAlt = 18, kKeyMenu = 136;

} // namespace

void oxWindowBox::HandleMenuKey(oxEvent* event) {
    auto* key = dynamic_cast<oxKeyEvent*>(event);
    oxInputScene* scene = GetInputScene(this);
    oxFrameInput* input = scene ? scene->GetFrameInput() : nullptr;
    if (!key || !input) return;
    const oxAtom type = event->GetType();
    const uint16_t code = key->virtualKeyCode;
    const auto stop = [event] { event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating)); };
    if (type == kAtomKeyDown && code == kKeyAlt) {
        oxMenuBarBox* bar = FindMenuBarChild(this);
        if ((bar && input->IsMenuBarEngaged() && bar->GetCurrentItem() >= 0) || input->GetPopupChain())
            input->SetAltUsed(true);
        input->ClosePopups(false);
        GiveBackSavedFocus(scene);
        stop();
    } else if (type == kAtomKeyUp && code == kKeyAlt) {
        input->SetAltUsed(false);
        stop();
    } else if (type == kAtomKeyUp && code == kKeyMenu) {
        oxMenuBarBox* bar = input->IsAltUsed() ? nullptr : FindMenuBarChild(this);
        if (bar) {
            scene->SetSavedFocus(scene->GetFocusedBox());
            bar->ActivateFirst();
            bar->FocusCurrent();
            stop();
        }
        input->SetAltUsed(false);
    }
}

int32_t oxWindowBox::HandleEvent(oxEvent* event) {
    const int32_t result = oxBox::HandleEvent(event);
    AddRef();
    HandleMenuKey(event);
    Release();
    if (event->GetType() == kAtomCommand) {
        if (auto* command = dynamic_cast<oxCommandEvent*>(event)) {
            const oxAtom m = command->message;
            if (m == kAtomClose || m == kAtomExit)
                Close();
            else if (m == kAtomMaximize)
                Maximize();
            else if (m == kAtomMinimize)
                Minimize();
            else if (m == kAtomRestore)
                Restore();
        }
    }
    return result;
}
