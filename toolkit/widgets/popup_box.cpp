#include "toolkit/widgets/popup_box.h"

#include <new>

#include "platform/crt/wide.h"
#include "platform/win/input.h"
#include "platform/win/system_params.h"
#include "platform/win/window.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/layout.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/control_box.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/pointer_height.h"
#include "toolkit/widgets/popup_placement.h"

namespace {

constexpr UINT kMsgActivate = 6;

oxPopupBox* NearestPopup(oxBox* box) {
    for (oxBox* b = box; b; b = b->GetParent())
        if (auto* popup = dynamic_cast<oxPopupBox*>(b)) return popup;
    return nullptr;
}

oxPopupBox* NearestAncestorPopup(oxBox* box) {
    return box ? NearestPopup(box->GetParent()) : nullptr;
}

// The screen origin of the client area that paints the box: its popup's window, else the window
// of the scene's window box.
oxPoint FrameScreenOrigin(oxBox* box) {
    if (oxPopupBox* popup = NearestPopup(box)) {
        const oxRect& r = popup->GetScreenRect();
        return {r.x, r.y};
    }
    oxFrameSite* site = GetFrameSite(box);
    oxFrame* host = site ? site->GetWindowBoxFrame() : nullptr;
    // The client area's top-left pixel on the screen, also for a right-to-left window.
    HWND window = host ? host->GetWindow() : nullptr;
    RECT client{0, 0, 0, 0};
    if (window) GetClientRect(window, &client);
    const oxRect area = ClientRectToScreen(window, oxRect{0, 0, client.right, client.bottom});
    return {area.x, area.y};
}

// The box's screen rectangle, from its place in the box that owns its frame.
oxRect ScreenRectOf(oxBox* box) {
    oxFrameSite* site = GetFrameSite(box);
    if (!site || !box) return {};
    oxRect r = site->GetBoxRect(box);
    r.x = r.y = 0;
    for (oxBox* b = box; b && !b->TestChangeFlags(kChangeFramed); b = b->GetParent()) {
        const oxRect placed = site->GetBoxRect(b);
        r.Offset(oxPoint{placed.x, placed.y});
    }
    if (oxPopupBox* popup = NearestPopup(box)) {
        oxPopupFrame* frame = popup->GetPopupFrame();
        if (frame && frame->GetWindow()) return ClientRectToScreen(frame->GetWindow(), r);
        const oxRect& at = popup->GetScreenRect();
        r.Offset(oxPoint{at.x, at.y});
        return r;
    }
    oxFrame* host = site->GetWindowBoxFrame();
    return ClientRectToScreen(host ? host->GetWindow() : nullptr, r);
}

bool Selectable(oxBox* box) {
    return !box->IsEffectivelyHidden() && !box->IsCollapsed() && !box->IsEffectivelyDisabled() &&
           ParseBool(box->GetAttributeText(kAtomSelectablePopupChild));
}

// The first (last) selectable box below `box`, descending into the first child that holds one.
oxBox* FindSelectable(oxBox* box, bool last) {
    const int count = box->GetChildCount();
    for (int k = 0; k < count; ++k) {
        oxBox* child = box->GetChildAt(last ? count - 1 - k : k, false);
        if (!child || child->IsEffectivelyHidden() || child->IsCollapsed()) continue;
        if (Selectable(child)) return child;
        if (child->GetBoxType() == kAtomPopup) continue;
        if (oxBox* inner = FindSelectable(child, last)) return inner;
    }
    return nullptr;
}

void StopEvent(oxEvent* event) {
    event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating));
}

oxFrameInput* FrameInputOf(oxBox* box) {
    oxInputScene* scene = GetInputScene(box);
    return scene ? scene->GetFrameInput() : nullptr;
}

bool InMenuBar(oxBox* box) {
    auto* menu = dynamic_cast<oxMenuBox*>(box);
    return menu && menu->GetMenuBar();
}

oxRect ScreenRect() {
    oxRect r;
    r.Set(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return r;
}

} // namespace

void oxRegisterPopupBoxKind() {
    oxBoxFactory::RegisterKind(kAtomPopup, [](oxAtom tag) -> oxBox* { return new (std::nothrow) oxPopupBox(tag); });
}

// -- the frame -------------------------------------------------------------------------------------

oxPopupFrame::oxPopupFrame(oxPopupBox* popup) : oxFrame(popup), popup_(popup) {}

LRESULT oxPopupFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // A popup never takes the activation from its scene's window.
    if (message == kMsgActivate) return 0;
    // The scene's update repaints its window frames only: the popup repaints its own window too.
    if (message == kMsgFrameUpdate) {
        LRESULT result = oxFrame::HandleMessage(message, wParam, lParam);
        Update(true);
        return result;
    }
    return oxFrame::HandleMessage(message, wParam, lParam);
}

oxRect oxPopupFrame::ComputeWindowRect(bool* positionDiffers, bool* sizeDiffers) const {
    const oxRect r = popup_->GetScreenRect();
    const oxRect w = GetWindowRect();
    if (positionDiffers) *positionDiffers = r.x != w.x || r.y != w.y;
    if (sizeDiffers) *sizeDiffers = r.width != w.width || r.height != w.height;
    return r;
}

void oxPopupFrame::ShowPlaced() {
    if (!window_) {
        Create(false);
        return;
    }
    PositionWindow();
    positioning_ = true;
    ShowWindow(window_, SW_SHOWNA);
    positioning_ = false;
    Invalidate(nullptr, true);
}

// -- the box ---------------------------------------------------------------------------------------

oxPopupBox::oxPopupBox(oxAtom tag) : oxBox(tag) {
    SetPopupCollapsed(true);
    // The popup keeps a frame of its own kind, not one of the frame side table.
    SetChangeFlag(kChangeFramed, true);
}

oxPopupBox::~oxPopupBox() {
    if (childPopup_ && childPopup_->parentPopup_ == this) childPopup_->parentPopup_ = nullptr;
    if (parentPopup_ && parentPopup_->childPopup_ == this) parentPopup_->childPopup_ = nullptr;
    if (contextChild_ && contextChild_->contextParent_ == this) contextChild_->contextParent_ = nullptr;
    if (contextParent_ && contextParent_->contextChild_ == this) contextParent_->contextChild_ = nullptr;
    frame_.reset();
}

oxPopupFrame* oxPopupBox::GetPopupFrame() {
    if (!frame_) frame_ = std::make_unique<oxPopupFrame>(this);
    return frame_.get();
}

const WCHAR* oxPopupBox::GetAttribute(oxAtom attribute) {
    static const WCHAR* const kSides[] = {u"none", u"top", u"right", u"bottom", u"left"};
    if (attribute == kAtomOpened) return opened_ ? u"true" : u"false";
    if (attribute == kAtomOverflowX) return kSides[overflowX_ >= 0 && overflowX_ <= 4 ? overflowX_ : 0];
    if (attribute == kAtomOverflowY) return kSides[overflowY_ >= 0 && overflowY_ <= 4 ? overflowY_ : 0];
    return oxBox::GetAttribute(attribute);
}

int32_t oxPopupBox::HandleEvent(oxEvent* event) {
    const int32_t result = oxBox::HandleEvent(event);
    const oxAtom type = event->GetType();
    if (type == kAtomCommand && opened_) {
        SetOpened(false, false);
    } else if (type == kAtomKeyPress) {
        auto* key = dynamic_cast<oxKeyEvent*>(event);
        if (key && NearestPopup(dynamic_cast<oxBox*>(event->GetTarget())) == this)
            HandleKey(event, key->virtualKeyCode);
    } else if (type == kAtomMouseMove && opened_) {
        auto* mouse = dynamic_cast<oxMouseEvent*>(event);
        oxBox* target = dynamic_cast<oxBox*>(event->GetTarget());
        if (mouse && !(mouse->secondPoint == pointer_)) {
            pointer_ = mouse->secondPoint;
            if (target && target != current_ && NearestPopup(target) == this && Selectable(target)) {
                SetCurrentPopupChild(target);
                if (auto* menu = dynamic_cast<oxMenuBox*>(target))
                    menu->OpenChained();
                else if (childPopup_ && childPopup_->GetAnchor() != target)
                    childPopup_->SetOpened(false, false);
            }
        }
        StopEvent(event);
    } else if (type == kAtomBoxDestroyed && event->GetTarget() == current_) {
        current_ = nullptr;
    }
    return result;
}

void oxPopupBox::HandleKey(oxEvent* event, uint16_t key) {
    switch (key) {
    case 13:
        if (auto* control = dynamic_cast<oxControlBox*>(current_)) {
            control->Command();
        } else if (oxFrameInput* input = FrameInputOf(this)) {
            input->ClosePopups(false);
        }
        break;
    case 27:
        SetOpened(false, false);
        break;
    case 35:
        SelectLastChild();
        break;
    case 36:
        SelectFirstChild();
        break;
    case 37:
    case 39:
        if (!HandleMenuKey(dynamic_cast<oxBox*>(event->GetTarget()), key)) return;
        break;
    default:
        return;
    }
    StopEvent(event);
}

bool oxPopupBox::HandleMenuKey(oxBox* target, uint16_t key) {
    oxMenuBarBox* bar = nullptr;
    if (key == 37) {
        auto* menu = dynamic_cast<oxMenuBox*>(GetAnchor());
        if (!menu) return false;
        bar = menu->GetMenuBar();
        if (!bar) {
            // A submenu closes back to the menu that opened it.
            SetOpened(false, false);
            return true;
        }
        bar->SelectPrevious();
    } else {
        auto* current = dynamic_cast<oxMenuBox*>(current_);
        if (oxPopupBox* sub = current ? current->GetPopup() : nullptr) {
            current->OpenPopup();
            sub->SelectFirstChild();
            return true;
        }
        bar = FindMenuBarOf(target);
        if (!bar) return false;
        bar->SelectNext();
    }
    // The open popups close and the bar's new menu opens in their place.
    oxMenuBox* next = bar->GetCurrentMenu();
    oxPopupBox* popup = next ? next->GetPopup() : nullptr;
    oxFrameInput* input = FrameInputOf(bar);
    bar->AddRef();
    if (input) {
        input->SetKeepMenu(popup && !IsShowNoActivate(popup));
        input->ClosePopups(false);
        input->SetKeepMenu(false);
    }
    bar->FocusCurrent();
    if (next && popup) {
        next->OpenPopup();
        if (popup->IsOpened()) popup->SelectFirstChild();
    }
    bar->Release();
    return true;
}

oxBox* oxPopupBox::RemoveChildAt(int index, bool expand) {
    oxBox* child = GetChildAt(index, false);
    if (child && child == current_) current_ = nullptr;
    return oxBox::RemoveChildAt(index, expand);
}

void oxPopupBox::SetCurrentPopupChild(oxBox* box) {
    if (box == current_) return;
    oxBox* old = current_;
    current_ = box;
    if (old) {
        old->SetAttribute(kAtomCurrent, u"false", true, false);
        old->InvalidateUpToPopup();
    }
    if (box) {
        box->SetAttribute(kAtomCurrent, u"true", true, false);
        box->InvalidateUpToPopup();
    }
}

oxBox* oxPopupBox::GetFirstPopupChild() {
    return FindSelectable(GetContentPart() ? GetContentPart() : this, false);
}

void oxPopupBox::SelectFirstChild() {
    if (oxBox* box = GetFirstPopupChild()) SetCurrentPopupChild(box);
}

void oxPopupBox::SelectLastChild() {
    oxBox* from = GetContentPart() ? GetContentPart() : this;
    if (oxBox* box = FindSelectable(from, true)) SetCurrentPopupChild(box);
}

oxPopupBox* oxPopupBox::NamedBy(oxBox* box, oxAtom attribute) {
    const WCHAR* name = box ? box->GetAttributeText(attribute) : nullptr;
    if (!name || !*name) return nullptr;
    const oxAtom id = oxAtoms::Intern(name);
    if (id == kAtom_child) {
        for (int i = 0; i < box->GetChildCount(); ++i)
            if (auto* popup = dynamic_cast<oxPopupBox*>(box->GetChildAt(i, false))) return popup;
        return nullptr;
    }
    if (auto* part = dynamic_cast<oxPopupBox*>(box->FindPart(id))) return part;
    oxInputScene* scene = GetInputScene(box);
    return scene ? dynamic_cast<oxPopupBox*>(scene->FindBoxById(id)) : nullptr;
}

void oxPopupBox::LinkContextChild(oxPopupBox* child) {
    if (!child || child == this) return;
    contextChild_ = child;
    child->contextParent_ = this;
}

bool oxPopupBox::IsOpenPopup(oxBox* box) {
    auto* popup = dynamic_cast<oxPopupBox*>(box);
    return popup && popup->opened_;
}

bool oxPopupBox::IsShowNoActivate(oxBox* box) {
    const WCHAR* text = box ? box->GetAttributeText(kAtomShowNoActivate) : nullptr;
    return text && (_wcsicmp(text, u"ignoreinput") == 0 || ParseBool(text));
}

void oxPopupBox::SetPopupCollapsed(bool collapsed) {
    if (IsCollapsed() != collapsed) {
        SetCollapsed(collapsed, false);
        if (!collapsed) ExpandCollapsedContent();
        RequestLayout();
    }
    NotifyAttributeChange(kAtomCollapsed, false);
}

oxPopupBox* oxPopupBox::GetOutermostPopup() {
    oxPopupBox* outermost = this;
    // Up through the popups around this one, and on from a context menu to the popup it was
    // opened in; a bound keeps a broken ring of links from looping.
    for (int guard = 0; guard < 64; ++guard) {
        oxPopupBox* up = NearestAncestorPopup(outermost);
        if (!up) up = outermost->contextParent_;
        if (!up || up == this) break;
        outermost = up;
    }
    return outermost;
}

void oxPopupBox::ForgetBox(oxBox* box) {
    for (oxPopupBox* p = this; p; p = p->parentPopup_) {
        if (p->current_ == box) p->SetCurrentPopupChild(nullptr);
        if (p->childPopup_ == box) p->childPopup_ = nullptr;
        if (p->parentPopup_ == box) p->parentPopup_ = nullptr;
        if (p->contextChild_ == box) p->contextChild_ = nullptr;
        if (p->contextParent_ == box) p->contextParent_ = nullptr;
    }
}

void oxPopupBox::Raise(oxAtom type) {
    oxInputScene* scene = GetInputScene(this);
    if (!scene) return;
    oxDOMEvent event(type, this, GetAnchor());
    if (independent_ && type != kAtomShutting) event.AddFlags(kEventIndependentPopup);
    scene->DispatchEvent(&event);
}

bool oxPopupBox::HasVisibleChild() {
    oxBox* content = GetContentPart() ? GetContentPart() : this;
    for (int i = 0; i < content->GetChildCount(); ++i) {
        oxBox* child = content->GetChildAt(i, false);
        if (child && !child->IsEffectivelyHidden() && !child->IsCollapsed()) return true;
    }
    return false;
}

void oxPopupBox::LinkIntoChain() {
    oxPopupBox* parent = NearestAncestorPopup(this);
    if (parent && parent->opened_) {
        parentPopup_ = parent;
        parent->childPopup_ = this;
    } else {
        parentPopup_ = nullptr;
    }
    oxFrameInput* input = FrameInputOf(this);
    if (!input) return;
    if (independent_) {
        input->SetTrackedPopup(this);
        return;
    }
    if (input->GetPopupChain() && GetOutermostPopup() == this) input->ClosePopups(false);
    input->SetPopupChain(this);
}

void oxPopupBox::UnlinkFromChain() {
    oxFrameInput* input = FrameInputOf(this);
    if (input && input->GetTrackedPopup() && input->GetPopupChain() == this) input->CloseTrackedPopup();
    if (parentPopup_ && parentPopup_->childPopup_ == this) parentPopup_->childPopup_ = nullptr;
    parentPopup_ = nullptr;
    if (!input) return;
    if (independent_) {
        if (input->GetTrackedPopup() == this) input->SetTrackedPopup(nullptr);
        return;
    }
    oxPopupBox* ancestor = NearestAncestorPopup(this);
    if (input->GetPopupChain() == this) {
        oxPopupBox* next = ancestor && ancestor->opened_ ? ancestor : nullptr;
        // A context menu's chain goes back to the innermost popup below the one it was opened in.
        if (!next && contextParent_) {
            next = contextParent_;
            for (int guard = 0; guard < 64 && next->childPopup_ && next->childPopup_ != this; ++guard)
                next = next->childPopup_;
        }
        input->SetPopupChain(next);
    }
    if (contextParent_ && contextParent_->contextChild_ == this) contextParent_->contextChild_ = nullptr;
    contextParent_ = nullptr;
}

void oxPopupBox::Place(bool atAnchor) {
    oxFrameSite* site = GetFrameSite(this);
    const oxRect own = site ? site->GetBoxRect(this) : oxRect{};
    const oxPoint size{own.width, own.height};
    const WCHAR* alignText = GetAttributeText(kAtomPopupAlign);
    const oxAtom align = alignText ? oxAtoms::Find(alignText) : 0;
    oxBox* anchor = GetAnchor();
    const bool rtl = site && site->IsRightToLeft();
    oxPopupPlacement placed;
    oxPoint origin{};
    if (IsPointerAlignment(align) && !parentPopup_ && !(atAnchor && anchor)) {
        oxPointerPlacementInput in;
        in.alignment = align;
        in.rightToLeft = rtl;
        in.pointer = pointer_;
        // Below the pointer means below the tip of its image, not its hot spot.
        if (align == kAtomAfter_point) in.pointerHeight = GetPointerHeight(dynamic_cast<oxScene*>(GetScene()));
        in.popup = size;
        in.screen = ScreenRect();
        in.parent = FrameScreenOrigin(GetParent());
        placed = PlacePopupAtPointer(in);
        origin = in.parent;
    } else if (anchor) {
        oxAnchorPlacementInput in;
        in.alignment = IsPointerAlignment(align) ? oxAtom(kAtomAfter_start) : align;
        in.chained = parentPopup_ != nullptr;
        if (rtl) {
            // The anchor's rectangle is where it shows on the screen, mirrored with its window; the
            // alignment is mirrored, so that its start is the anchor's right edge, and the popup is
            // placed in plain screen coordinates without the right-to-left x.
            oxAtom a = in.alignment;
            if (in.chained && (a == 0 || a == kAtomNone || a == kAtomMenu)) a = kAtomEnd_before;
            if (a == 0) a = kAtomAfter_start;
            if (a != kAtomNone) in.alignment = MirrorPopupAlignment(a);
        }
        in.parentOverflowX = parentPopup_ ? parentPopup_->overflowX_ : 0;
        in.anchor = ScreenRectOf(anchor);
        in.popup = size;
        in.screen = ScreenRect();
        placed = PlacePopupAtAnchor(in);
        origin = {in.anchor.x, in.anchor.y};
    }
    if (!placed.placed) {
        screenRect_.Set(origin.x + own.x, origin.y + own.y, size.x, size.y);
        return;
    }
    overflowX_ = placed.overflowX;
    overflowY_ = placed.overflowY;
    squeezed_ = placed.squeezed;
    rtlX_ = placed.rtlX;
    // The popup's window takes its place from the screen rectangle: the box stays at the origin of
    // its own window, where its frame paints it. Its `left` and `top` keep the offsets from its
    // anchor (or its parent's screen position) for scripts and style rules to read.
    screenRect_.Set(origin.x + placed.left, origin.y + placed.top, size.x, size.y);
    SetOffsets(placed.left, placed.top);
}

void oxPopupBox::SetOffsets(int32_t left, int32_t top) {
    // A percentage or keyword is no offset, whatever number it holds: 50% is not 50 pixels.
    auto differs = [](const oxStyleValue& v, int32_t n) {
        return v.IsNull() || v.GetType() == kStylePercent || v.GetType() == kStyleKeyword || v.GetInt() != n;
    };
    oxStyleValue current;
    GetStyleValue(kStyle_left, &current);
    if (differs(current, left)) SetLeft(left);
    GetStyleValue(kStyle_top, &current);
    if (differs(current, top)) SetTop(top);
}

void oxPopupBox::SaveFocus() {
    oxInputScene* scene = GetInputScene(this);
    if (!scene || independent_ || GetOutermostPopup() != this || IsShowNoActivate(this)) return;
    oxBox* focused = scene->GetFocusedBox();
    if (!focused || scene->GetSavedFocus() || !IsSceneRootActive(scene) || InMenuBar(focused)) return;
    scene->SetSavedFocus(focused);
    scene->SetFocusedBox(nullptr);
}

void oxPopupBox::RestoreFocus() {
    oxInputScene* scene = GetInputScene(this);
    oxFrameInput* input = scene ? scene->GetFrameInput() : nullptr;
    if (!scene || GetOutermostPopup() != this || (input && input->IsKeepMenu())) return;
    AddRef();
    if (oxMenuBarBox* bar = FindMenuBarOf(this)) bar->SetCurrentItem(-1);
    if (!independent_ && IsSceneRootActive(scene) && !IsShowNoActivate(this)) GiveBackSavedFocus(scene);
    Release();
}

int32_t oxPopupBox::SetOpened(bool open, bool atAnchor) {
    if (opened_ == open) return 1;
    AddRef();
    int32_t result = 1;
    SetCurrentPopupChild(nullptr);
    if (open) {
        squeezed_ = false;
        POINT cursor{0, 0};
        GetCursorPos(&cursor);
        pointer_ = {cursor.x, cursor.y};
        LinkIntoChain();
        if (GetStateFlags() & kStateAnimating) {
            // While a style animation runs the popup only changes its mark: no layout, placement or
            // window, so that the animation shows it.
            opened_ = true;
            RequestRepaint();
            SaveFocus();
            Raise(kAtomPopped);
            Release();
            return 1;
        }
        SetAttribute(kAtomOverflowYAfterAdjust, u"false", true, false);
        SetPopupCollapsed(false);
        if (oxFrameSite* site = GetFrameSite(this)) site->LayoutScene();
        // No layout places a popup: it takes the size of its content (or its own width and height).
        const oxPoint natural = MeasureNaturalSize(this);
        ArrangeLayoutRoot(this, natural.x, natural.y);
        Raise(kAtomPopping);
        if (!HasVisibleChild()) {
            Raise(kAtomShutting);
            UnlinkFromChain();
            SetPopupCollapsed(true);
            Release();
            return 0;
        }
        opened_ = true;
        NotifyAttributeChange(kAtomOpened, true);
        Place(atAnchor);
        if (popAnchor_)
            if (oxBox* anchor = GetAnchor()) anchor->SetPopped(true);
        if (squeezed_) SetAttribute(kAtomOverflowYAfterAdjust, u"true", true, false);
        GetPopupFrame()->ShowPlaced();
        SaveFocus();
        Raise(kAtomPopped);
    } else {
        Raise(kAtomShutting);
        squeezed_ = false;
        opened_ = false;
        NotifyAttributeChange(kAtomOpened, true);
        if (GetStateFlags() & kStateAnimating) {
            RequestRepaint();
        } else {
            SetPopupCollapsed(true);
            if (oxBox* anchor = GetAnchor()) anchor->SetPopped(false);
            if (contextChild_) contextChild_->SetOpened(false, false);
            if (childPopup_) childPopup_->SetOpened(false, false);
            if (frame_) frame_->Hide();
            if (overflowX_ || overflowY_) SetOffsets(0, 0);
            overflowX_ = overflowY_ = 0;
        }
        RestoreFocus();
        UnlinkFromChain();
        SetAnchor(nullptr);
        pointer_ = {};
    }
    Release();
    return result;
}
