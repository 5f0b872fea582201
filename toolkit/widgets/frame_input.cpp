#include "toolkit/widgets/frame_input.h"

#include <cstdlib>
#include <memory>

#include "platform/crt/wide.h"
#include "platform/win/clock.h"
#include "platform/win/cursor.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/scene_input_adapter.h"
#include "toolkit/widgets/text_box.h"

namespace {

// A box whose change flag 0x800 is set ends the search for a retargeting ancestor and bounds where
// hover may go while a box holds the capture.
constexpr uint32_t kChangeStopsRetargeting = 0x800;
constexpr uint32_t kHoverInvisible =
    kStateHidden | kStateCollapsed | kStateHiddenByAncestor | kStateExcluded | kStateOrnament;
constexpr uint32_t kPressRepeatFirstMs = 500;
constexpr uint32_t kPressRepeatMs = 50;

oxBox* BoxOf(oxReferenced* target) {
    return dynamic_cast<oxBox*>(target);
}

bool Disabled(const oxBox* box) {
    return box->IsEffectivelyDisabled() || (box->GetStateFlags() & kStateDisabledByAncestor);
}

// The nearest box, from `box` up, of a box type.
oxBox* AncestorOfType(oxBox* box, oxAtom type) {
    for (; box; box = box->GetParent())
        if (box->GetBoxType() == type) return box;
    return nullptr;
}

bool Propagating(const oxEvent* event) {
    return (event->GetFlags() & kEventPropagating) != 0;
}

oxPoint CursorPosition() {
    POINT p{0, 0};
    GetCursorPos(&p);
    return {p.x, p.y};
}

} // namespace

oxInputScene* GetInputScene(oxBoxScene* scene) {
    if (!scene) return nullptr;
    if (auto* input = dynamic_cast<oxInputScene*>(scene)) return input;
    // A markup scene cannot know the frames: the frame input's record of it answers for it.
    auto* markup = dynamic_cast<oxScene*>(scene);
    return markup ? dynamic_cast<oxInputScene*>(markup->GetInputState()) : nullptr;
}

void GiveBackSavedFocus(oxInputScene* scene) {
    oxBox* saved = scene ? scene->GetSavedFocus() : nullptr;
    if (!saved) return;
    saved->AddRef();
    scene->SetFocusedBox(saved);
    scene->SetSavedFocus(nullptr);
    saved->Release();
}

bool IsSceneRootActive(oxInputScene* scene) {
    oxBox* root = scene ? scene->GetWindowBox() : nullptr;
    return root && (root->GetStateFlags() & kStateActive);
}

oxInputScene* GetInputScene(const oxBox* box) {
    return box ? GetInputScene(box->GetScene()) : nullptr;
}

oxFrameInput::oxFrameInput() = default;

oxFrameInput::~oxFrameInput() {
    hoverHold_.Cancel();
    pressHold_.Cancel();
    mousePress_.Cancel();
    if (queueAcquired_) oxTimerQueue::ReleaseInstance();
}

bool oxFrameInput::EnsureTimerQueue() {
    if (!queueAcquired_) queueAcquired_ = oxTimerQueue::Acquire();
    return queueAcquired_;
}

// Timed events.

void oxFrameInput::TimerRecord::Arm(oxFrameInput* owner, oxAtom type, oxBox* target, const oxMouseEvent* from,
                                    uint32_t delayMs, uint32_t repeatMs) {
    Cancel();
    if (delayMs < 1 || !target || !owner->EnsureTimerQueue()) return;
    owner_ = owner;
    type_ = type;
    box = target;
    if (from) {
        button_ = from->button;
        detail_ = from->detail;
        client_ = from->framePoint;
        screen_ = from->secondPoint;
        shift_ = from->shift, ctrl_ = from->ctrl, alt_ = from->alt;
    }
    first_ = true;
    repeatMs_ = repeatMs;
    entry_ = oxTimerEntry::Create();
    if (!entry_) return;
    if (repeatMs)
        entry_->StartRepeating(delayMs, this);
    else
        entry_->StartOnce(delayMs, this);
}

void oxFrameInput::TimerRecord::Cancel() {
    // The queue drops a cancelled entry when it next comes due.
    if (entry_) entry_->Cancel();
    entry_ = nullptr;
    box = nullptr;
}

void oxFrameInput::TimerRecord::OnTimer(oxTimerEntry* entry) {
    if (entry != entry_ || !box) return;
    oxBox* target = box;
    if (!repeatMs_) {
        entry_ = nullptr; // the queue deletes a one-shot entry once it has fired
        box = nullptr;
    } else if (first_) {
        first_ = false;
        entry->StartRepeating(repeatMs_, this);
    }
    oxInputScene* scene = GetInputScene(target);
    if (!scene) return;
    oxMouseEvent event(type_, target, nullptr, button_, nullptr, detail_, client_, screen_, shift_, ctrl_, alt_);
    target->AddRef();
    scene->DispatchEvent(&event);
    target->Release();
}

// State.

void oxFrameInput::SetHoverPath(oxBox* box, bool on, oxBox* stopAt) {
    const oxPoint cursor = CursorPosition();
    for (oxBox* b = box; b; b = b->GetParent()) {
        oxInputScene* scene = GetInputScene(b);
        if (on) {
            if (!(b->GetStateFlags() & kHoverInvisible) && scene && scene->ContainsScreenPoint(b, cursor))
                b->SetHovered(true, false);
            else if (b == box)
                b->SetHovered(true, false);
        } else if (b == stopAt) {
            // The common ancestor stays hovered while the cursor is still inside it.
            if (!scene || !scene->ContainsScreenPoint(b, cursor)) b->SetHovered(false, false);
            return;
        } else {
            b->SetHovered(false, false);
        }
    }
}

void oxFrameInput::SetHoveredBox(oxBox* box) {
    if (box == hovered_) return;
    oxBox* old = hovered_;
    if (old) {
        oxBox* common = old;
        while (common && box && !common->IsAncestorOf(box) && common != box)
            common = common->GetParent();
        if (!box) common = nullptr;
        SetHoverPath(old, false, common);
    }
    hovered_ = box;
    if (box) SetHoverPath(box, true, nullptr);
    hoverHold_.Cancel();
    ShowCursor();
}

int32_t oxFrameInput::GetCursor() const {
    int depth = 0;
    for (oxBox* b = hovered_; b && depth < oxBox::kMaxDepth; b = b->GetParent(), ++depth) {
        oxStyleValue v;
        b->GetStyleValue(kStyle_cursor, &v);
        const oxStyleType type = v.GetType();
        const int32_t kind = type == kStyleKeyword                           ? v.GetValue()
                             : type == kStyleNull                            ? 0
                             : type == kStyleNumber || type == kStyleInteger ? v.GetInt()
                                                                             : -1;
        if (kind) return kind;
        if (const int32_t own = b->GetDefaultCursor()) return own;
    }
    return 0;
}

void oxFrameInput::ShowCursor() {
    const int32_t kind = GetCursor();
    const WCHAR* id = IDC_ARROW;
    switch (kind) {
    case kKeywordNone:
        SetCursor(nullptr);
        pointerKind_ = kind;
        return;
    case kKeywordText:
        id = IDC_IBEAM;
        break;
    case kKeywordPointer:
        id = IDC_HAND;
        break;
    case kKeywordCrosshair:
        id = IDC_CROSS;
        break;
    case kKeywordHelp:
        id = IDC_HELP;
        break;
    case kKeywordMove:
        id = IDC_SIZEALL;
        break;
    case kKeywordWait:
    case kKeywordHourglass:
        id = IDC_WAIT;
        break;
    // A "splitterv" handle moves its split up and down (it shares heights), a "splitterh" one
    // sideways.
    case kKeywordEResize:
    case kKeywordWResize:
    case kKeywordSplitterh:
        id = IDC_SIZEWE;
        break;
    case kKeywordNResize:
    case kKeywordSResize:
    case kKeywordSplitterv:
        id = IDC_SIZENS;
        break;
    case kKeywordNeResize:
    case kKeywordSwResize:
        id = IDC_SIZENESW;
        break;
    case kKeywordNwResize:
    case kKeywordSeResize:
        id = IDC_SIZENWSE;
        break;
    default:
        break;
    }
    SetCursor(LoadCursorW(nullptr, id));
    if (kind > 0) pointerKind_ = kind;
}

void oxFrameInput::SetPressedBox(oxBox* box) {
    if (pressed_ && pressed_ != box) pressed_->SetPressed(false, false);
    pressed_ = box;
    if (box) box->SetPressed(true, false);
    mousePress_.Cancel();
    pressHold_.Cancel();
}

void oxFrameInput::ForgetBox(oxBox* box) {
    if (!box) return;
    oxBox** slots[] = {&hovered_, &previousHovered_, &pressed_, &rightPressed_, &dragSource_, &dragOver_, &moved_};
    for (oxBox** slot : slots)
        if (*slot == box) *slot = nullptr;
    for (TimerRecord* t : {&hoverHold_, &pressHold_, &mousePress_})
        if (t->box == box) t->Cancel();
    ForgetFrameGlobals(box);
    if (popupChain_) popupChain_->ForgetBox(box);
    if (trackedPopup_ == box) trackedPopup_ = nullptr;
    if (popupChain_ == box) popupChain_ = nullptr;
    // A chain whose opener goes away closes.
    if (popupChain_ && popupChain_->GetOutermostPopup()->GetAnchor() == box) {
        popupChain_->GetOutermostPopup()->SetOpened(false, false);
        popupChain_ = nullptr;
    }
    if (trackedPopup_ && trackedPopup_->GetAnchor() == box) CloseTrackedPopup();
}

void oxFrameInput::ForgetScene(oxBoxScene* scene) {
    if (!scene) return;
    oxBox** slots[] = {&hovered_, &previousHovered_, &pressed_, &rightPressed_, &dragSource_, &dragOver_, &moved_};
    for (oxBox** slot : slots)
        if (*slot && (*slot)->GetScene() == scene) *slot = nullptr;
    for (TimerRecord* t : {&hoverHold_, &pressHold_, &mousePress_})
        if (t->box && t->box->GetScene() == scene) t->Cancel();
    if (popupChain_ && popupChain_->GetScene() == scene) popupChain_ = nullptr;
    if (trackedPopup_ && trackedPopup_->GetScene() == scene) trackedPopup_ = nullptr;
}

void oxFrameInput::CloseTrackedPopup() {
    oxPopupBox* popup = trackedPopup_;
    if (!popup) return;
    popup->SetOpened(false, false);
    trackedPopup_ = nullptr;
    tooltipAnchor_.Clear();
}

void oxFrameInput::ClosePopups(bool keepTracked) {
    if (!keepTracked) CloseTrackedPopup();
    if (!popupChain_) return;
    oxPopupBox* outermost = popupChain_->GetOutermostPopup();
    outermost->SetOpened(false, false);
    popupChain_ = nullptr;
}

void oxFrameInput::ForgetFrameGlobals(oxBox* box) {
    if (oxFrame::capturedBox == box) oxFrame::capturedBox = nullptr;
    if (oxFrame::lastLeftDownBox == box) oxFrame::lastLeftDownBox = nullptr;
    if (oxFrame::keyDownOwner == box) oxFrame::keyDownOwner = nullptr;
}

oxBox* oxFrameInput::GetKeyPopup(oxInputScene* scene) {
    oxPopupBox* popup = trackedPopup_ ? trackedPopup_ : popupChain_;
    if (!popup || GetInputScene(popup) != scene) return nullptr;
    const WCHAR* show = popup->GetAttributeText(kAtomShowNoActivate);
    return show && _wcsicmp(show, u"ignoreinput") == 0 ? nullptr : popup;
}

oxBox* oxFrameInput::GetKeyTarget(oxInputScene* scene) {
    if (!scene) return nullptr;
    if (oxBox* popup = GetKeyPopup(scene)) return popup;
    if (oxBox* focused = scene->GetFocusedBox()) return focused;
    return scene->GetWindowBox();
}

int32_t oxFrameInput::BeginDragSource(int32_t dropEffect, oxBox* box) {
    dropEffect_ = dropEffect;
    dragSource_ = box;
    if (box) {
        box->SetHovered(false, false);
        box->SetPressed(false, false);
        box->SetDragged(true, false);
        if (dragSource_ == box) box->SetDragged(false, false);
    }
    pressed_ = nullptr;
    return 0;
}

// Dispatch.

void oxFrameInput::Raise(oxAtom type, oxBox* target, oxBox* related, int32_t detail, const oxMouseEvent& from) {
    oxInputScene* scene = GetInputScene(target);
    if (!scene) return;
    std::unique_ptr<oxMouseEvent> event(oxMouseEvent::InitFrom(type, target, related, from.capture, from));
    if (!event) return;
    event->detail = detail;
    scene->DispatchEvent(event.get());
}

void oxFrameInput::Deliver(oxEvent* event, oxInputScene* scene, oxBox* target) {
    auto* dom = dynamic_cast<oxDOMEvent*>(event);
    // A box is in this scene when the scene is its own.
    if (target && GetInputScene(target) == scene) {
        target->AddRef();
        if (dom) dom->SetCurrent(target);
        target->HandleEvent(event);
        if (event->GetFlags() & kEventBubbles)
            for (oxBox* b = target->GetParent(); b && Propagating(event); b = b->GetParent()) {
                if (dom) dom->SetCurrent(b);
                b->HandleEvent(event);
            }
        if (dom) dom->SetCurrent(nullptr);
        target->Release();
    } else if (oxBox* window = scene->GetWindowBox(); window && window != target) {
        if (dom) dom->SetCurrent(window);
        window->HandleEvent(event);
        if (dom) dom->SetCurrent(nullptr);
    }
}

void oxFrameInput::DispatchSceneEvent(oxEvent* event, oxScene* scene) {
    DispatchEvent(event, oxSceneInputAdapter::For(scene, this));
}

void oxFrameInput::DispatchEvent(oxEvent* event, oxInputScene* scene) {
    if (!event || !scene) return;
    event->AddFlags(kEventPropagating);
    oxBox* target = BoxOf(event->GetTarget());
    // A mouse event would move to a "blockEvents" ancestor only for a target whose event-forwarding
    // word asks for it, and no box ever sets that word: events stay with their target and reach
    // such an ancestor by bubbling.
    if (event->GetFlags() & (kEventBubbles | kEventToScene)) scene->HandleSceneEvent(event);
    if (Propagating(event)) Deliver(event, scene, target);
    if ((event->GetFlags() & kEventToScene) && Propagating(event))
        if (oxInputScene* outer = scene->GetEnclosingScene()) {
            outer->HandleSceneEvent(event);
            if (Propagating(event)) Deliver(event, outer, target);
        }
    if ((event->GetFlags() & kEventDefaultPrevented) || !target || GetInputScene(target) != scene) return;
    target->AddRef();
    PressAndHover(event, scene, target);
    MoveBoxes(event, scene);
    DragAndDrop(event, scene);
    Popups(event, scene, target);
    Tooltips(event, scene, target);
    FocusAndTab(event, scene, target);
    KeyBindings(event, scene);
    target->Release();
}

// Press and hover.

void oxFrameInput::PressAndHover(oxEvent* event, oxInputScene* scene, oxBox* target) {
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (!mouse) return;
    const oxAtom type = event->GetType();
    if (type == kAtomMouseDown) {
        pressScreen_ = mouse->secondPoint;
        pressClient_ = mouse->framePoint;
        if (mouse->button == 1) {
            pressTime_ = GetTickCount();
            SetPressedBox(target);
            mousePress_.Arm(this, kAtomMousePress, target, mouse, kPressRepeatFirstMs, kPressRepeatMs);
            const WCHAR* delay = target->GetAttributeText(kAtomPressHoldDelay);
            pressHold_.Arm(this, kAtomPressHold, target, mouse,
                           delay ? uint32_t(ParseInt(delay)) : GetDoubleClickTime(), 0);
        } else if (mouse->button == 2) {
            rightPressed_ = target;
        }
    } else if (type == kAtomMouseUp) {
        if (mouse->button == 1 && pressed_) {
            oxBox* was = pressed_;
            was->AddRef();
            SetPressedBox(nullptr);
            pressTime_ = 0;
            moved_ = nullptr;
            if (target == was) {
                clickTime_ = GetTickCount();
                Raise(kAtomClick, was, nullptr, 1, *mouse);
            }
            Raise(kAtomMouseReleased, was, nullptr, 0, *mouse);
            was->Release();
        } else if (mouse->button == 2 && rightPressed_) {
            oxBox* was = rightPressed_;
            rightPressed_ = nullptr;
            Raise(kAtomMouseReleased, was, nullptr, 0, *mouse);
        }
    } else if (type == kAtomMouseMove) {
        if (scene->IsWindowDisabled()) return;
        if (pressed_) Raise(kAtomMouseDrag, pressed_, nullptr, 0, *mouse);
        if (dragOver_ || dragPayload_) return;
        oxBox* under = target;
        if (oxBox* captured = oxFrame::capturedBox; captured && under) {
            // While a box holds the capture, hover stays on it or its ancestors below the bound.
            bool allowed = false;
            for (oxBox* b = captured; b; b = b->GetParent()) {
                if (b == under) {
                    allowed = true;
                    break;
                }
                if (b->TestChangeFlags(kChangeStopsRetargeting)) break;
            }
            if (!allowed) return;
        }
        if (under == hovered_) return;
        oxBox* old = hovered_;
        if (old) old->AddRef();
        if (under) under->AddRef();
        if (old) {
            previousHovered_ = old;
            Raise(kAtomMouseOut, old, under, 0, *mouse);
        }
        SetHoveredBox(under);
        if (under && hovered_ == under) {
            const bool instant = under->GetAttributeText(kAtomInstantTooltip) != nullptr;
            hoverHold_.Arm(this, kAtomHoverHold, under, mouse, instant ? 1 : GetDoubleClickTime(), 0);
            Raise(kAtomMouseOver, under, old, 0, *mouse);
        }
        if (under) under->Release();
        if (old) old->Release();
    }
}

// Moving boxes (drag mode 16).

void oxFrameInput::MoveBoxes(oxEvent* event, oxInputScene* scene) {
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (!mouse) return;
    const oxAtom type = event->GetType();
    if (type == kAtomMouseUp) {
        moved_ = nullptr;
        movePending_ = false;
        return;
    }
    if (type != kAtomMouseMove || !pressed_) return;
    const int32_t dx0 = mouse->secondPoint.x - pressScreen_.x, dy = mouse->secondPoint.y - pressScreen_.y;
    if (!moved_) {
        if (pressed_->GetDragMode() != kModeDragMove || pressed_->GetFocusMode() == kModeFocusNormal) return;
        oxBox* box = pressed_;
        if (const WCHAR* id = pressed_->GetAttributeText(kAtomMove); id && *id) {
            oxInputScene* own = GetInputScene(pressed_);
            if (oxBox* named = own ? own->FindBoxById(oxAtoms::Find(id)) : nullptr) box = named;
        }
        oxInputScene* boxScene = GetInputScene(box);
        if (!boxScene) return;
        moved_ = box;
        movedStart_ = boxScene->GetBoxEdges(box);
        boxScene->GetMoveModes(box, &verticalMode_, &horizontalMode_);
        // Moving starts with the next move, or now when the pointer already went a unit.
        movePending_ = dx0 == 0 && dy == 0;
        if (movePending_) return;
    } else if (movePending_) {
        movePending_ = false;
    }
    oxInputScene* boxScene = GetInputScene(moved_);
    if (!boxScene) return;
    const int32_t dx = scene->IsRightToLeft() ? -dx0 : dx0;
    oxBoxEdges e = movedStart_;
    uint32_t which = 0;
    if (verticalMode_ == 1 || verticalMode_ == 5) e.top = movedStart_.top + dy, which |= 1;
    if (verticalMode_ == 3 || verticalMode_ == 5) e.bottom = movedStart_.bottom - dy, which |= 8;
    if (horizontalMode_ == 4 || horizontalMode_ == 5) e.left = movedStart_.left + dx, which |= 2;
    if (horizontalMode_ == 2 || horizontalMode_ == 5) e.right = movedStart_.right - dx, which |= 4;
    boxScene->SetBoxEdges(moved_, e, which);
}

// Drag and drop (drag mode 8).

void oxFrameInput::DragAndDrop(oxEvent* event, oxInputScene* scene) {
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (!mouse || event->GetType() != kAtomMouseMove || !pressed_ || dragging_) return;
    if (pressed_->GetDragMode() != kModeDragData) return;
    const int32_t dx = mouse->secondPoint.x - pressScreen_.x, dy = mouse->secondPoint.y - pressScreen_.y;
    if (std::abs(dx) <= 1 && std::abs(dy) <= 1) return;
    oxBox* source = pressed_;
    source->AddRef();
    dragSource_ = source;
    dragging_ = true;
    oxDragEvent start(kAtomDragStart, source, nullptr, source, mouse->framePoint, mouse->secondPoint, mouse->shift,
                      mouse->ctrl, mouse->alt, 0, 0, 0, false);
    scene->DispatchEvent(&start);
    if (scene->BeginDrag(&start)) BeginDragSource(start.operation, source);
    oxDragEvent stop(kAtomDragStop, source, nullptr, source, mouse->framePoint, mouse->secondPoint, mouse->shift,
                     mouse->ctrl, mouse->alt, 0, 0, 0, false);
    scene->DispatchEvent(&stop);
    scene->EndDrag();
    dragSource_ = nullptr;
    dragging_ = false;
    source->Release();
}

// Popups. A left press on a box whose "popup" attribute names a popup shows it, a context menu the
// popup its "context" attribute names; a press outside every popup closes them all.

namespace {

oxPopupBox* NearestPopupOf(oxBox* box) {
    for (oxBox* b = box; b; b = b->GetParent())
        if (auto* popup = dynamic_cast<oxPopupBox*>(b)) return popup;
    return nullptr;
}

// The popup that the attribute names, searched from the target up. The
// popup holding the target is never the one named.
oxPopupBox* FindNamedPopup(oxBox* target, oxAtom attribute, oxBox** anchor) {
    for (oxBox* b = target; b; b = b->GetParent()) {
        const WCHAR* name = b->GetAttributeText(attribute);
        if (!name || !*name) continue;
        oxPopupBox* popup = oxPopupBox::NamedBy(b, attribute);
        if (!popup || popup == NearestPopupOf(target)) return nullptr;
        *anchor = b;
        return popup;
    }
    return nullptr;
}

} // namespace

void oxFrameInput::Popups(oxEvent* event, oxInputScene* scene, oxBox* target) {
    (void)scene;
    const oxAtom type = event->GetType();
    if (type == kAtomContextMenu) {
        auto* context = dynamic_cast<oxContextMenuEvent*>(event);
        oxBox* anchor = nullptr;
        if (oxPopupBox* named = FindNamedPopup(target, kAtomContext, &anchor))
            ShowPopup(named, anchor, target, context && context->byKeyboard ? kShowByKeyboard : kShowByPointer);
        return;
    }
    if (type != kAtomMouseDown && type != kAtomDoubleClick) return;
    if (Disabled(target) || target == trackedPopup_) return;
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    oxBox* anchor = nullptr;
    oxPopupBox* named = mouse && mouse->button == 1 ? FindNamedPopup(target, kAtomPopup, &anchor) : nullptr;
    if (named) {
        ShowPopup(named, anchor, target, kShowByClick);
        return;
    }
    if (IsPopupOpen() && !NearestPopupOf(target)) ClosePopups(false);
}

void oxFrameInput::ShowPopup(oxPopupBox* popup, oxBox* anchor, oxBox* target, ShowKind kind) {
    if (popup->IsOpened() && popup->GetParentPopup() && popup->GetAnchor() &&
        popup->GetAnchor()->GetBoxType() == kAtomMenu)
        return;
    popup->AddRef();
    bool open = true;
    if (popupChain_) {
        oxPopupBox* around = NearestPopupOf(target);
        if (around && around->IsOpened()) {
            CloseTrackedPopup();
            CloseNestedPopup();
            if (kind == kShowByPointer) {
                // A context menu inside a popup hangs below it and joins its chain.
                around->LinkContextChild(popup);
                popup->SetAnchor(anchor);
                if (popup->SetOpened(true, false))
                    popupChain_ = popup;
                else if (around->GetContextChild() == popup)
                    around->LinkContextChild(nullptr);
                popup->Release();
                return;
            }
            if (kind == kShowByKeyboard) {
                popup->Release();
                return;
            }
            if (oxPopupBox* child = around->GetChildPopup()) child->SetOpened(false, false);
            popup->SetAnchor(anchor);
            if (popup->SetOpened(true, false)) popupChain_ = popup;
            open = false;
        } else if (popup == popupChain_->GetOutermostPopup()) {
            // A second click on a popup's opener closes it.
            ClosePopups(false);
            open = false;
            if (kind != kShowByClick) {
                popup->Release();
                return;
            }
        } else {
            keepMenu_ = !oxPopupBox::IsShowNoActivate(popup);
            ClosePopups(false);
            keepMenu_ = false;
        }
    } else {
        CloseTrackedPopup();
    }
    if (open) {
        popup->SetAnchor(anchor);
        if (popup->SetOpened(true, kind == kShowByKeyboard)) popupChain_ = popup;
        if (kind != kShowByClick) {
            popup->Release();
            return;
        }
    }
    // A menu of a menu bar becomes the bar's current item.
    if (target->GetBoxType() == kAtomMenu && target->GetParent())
        if (auto* bar = static_cast<oxMenuBox*>(target)->GetMenuBar(); bar && target->GetParent() == bar)
            bar->SetCurrentItem(target->GetIndex());
    popup->Release();
}

// Tooltips.

namespace {

// The box's place on the screen, as its frame shows it.
oxRect ScreenRectOfBox(oxBox* box) {
    oxFrameSite* site = GetFrameSite(box);
    if (!site) return {};
    oxRect r = site->GetBoxRect(box);
    const oxPoint at = site->GetFramePosition(box);
    r.x = at.x, r.y = at.y;
    if (oxFrame* frame = site->GetWindowBoxFrame(); frame && frame->GetWindow())
        r = ClientRectToScreen(frame->GetWindow(), r);
    return r;
}

} // namespace

const WCHAR* oxFrameInput::CutOffText(oxBox* box) {
    const WCHAR* name = box ? box->GetAttributeText(kAtomAutoTooltip) : nullptr;
    if (!name || _wcsicmp(name, u"none") == 0) return nullptr;
    oxBoxScene* scene = box->GetScene();
    oxBox* named = *name && scene ? scene->FindBoxById(oxAtoms::Intern(name)) : nullptr;
    if (!named) named = box;
    auto* text = dynamic_cast<oxTextBox*>(named);
    if (!text || !text->IsTextOverflowed()) return nullptr;
    return text->GetAttribute(kAtomValue);
}

void oxFrameInput::Tooltips(oxEvent* event, oxInputScene* scene, oxBox* target) {
    const oxAtom type = event->GetType();
    auto* mouse = dynamic_cast<oxMouseEvent*>(event);
    if (type == kAtomHoverHold) {
        if (trackedPopup_ && (target == trackedPopup_ || trackedPopup_->IsAncestorOf(target))) return;
        if (popupChain_) {
            // Over an open chain only the boxes inside it show their tooltips.
            oxPopupBox* around = NearestPopupOf(target);
            bool inside = false;
            for (oxPopupBox* p = popupChain_; p && !inside; p = p->GetParentPopup())
                inside = p == around;
            if (!inside) return;
        }
        ShowTooltip(scene, target);
    } else if ((type == kAtomMouseMove || type == kAtomMouseOut) && trackedPopup_ && mouse) {
        if ((type == kAtomMouseMove && !event->GetTarget()) || !tooltipAnchor_.Contains(mouse->secondPoint))
            CloseTrackedPopup();
    } else if ((type == kAtomMouseDown || type == kAtomDoubleClick) && trackedPopup_ && mouse &&
               (target == trackedPopup_ || trackedPopup_->IsAncestorOf(target))) {
        // A tap on the tooltip goes to what lies under it.
        oxBox* anchor = trackedPopup_->GetAnchor();
        CloseTrackedPopup();
        oxFrameSite* site = anchor ? GetFrameSite(anchor) : nullptr;
        oxFrame* frame = site ? site->GetWindowBoxFrame() : nullptr;
        if (!frame || !frame->GetWindow()) return;
        POINT p{mouse->secondPoint.x, mouse->secondPoint.y};
        ScreenToClient(frame->GetWindow(), &p);
        const UINT message = mouse->button == 2 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
        PostMessageW(frame->GetWindow(), message, mouse->button == 2 ? MK_RBUTTON : MK_LBUTTON,
                     LPARAM(uint32_t(uint16_t(p.x)) | uint32_t(uint16_t(p.y)) << 16));
    }
}

void oxFrameInput::ShowTooltip(oxInputScene* scene, oxBox* box) {
    oxPopupBox* tip = nullptr;
    if (const WCHAR* custom = box->GetAttributeText(kAtomCustomTooltip); custom && *custom) {
        tip = dynamic_cast<oxPopupBox*>(scene->FindBoxById(oxAtoms::Intern(custom)));
        CloseTrackedPopup();
    } else {
        const WCHAR* text = box->GetAttributeText(kAtomInstantTooltip);
        if (!text) text = box->GetAttributeText(kAtomTooltip);
        if (!text) text = CutOffText(box);
        if (!text || !*text) return;
        tip = dynamic_cast<oxPopupBox*>(scene->GetTooltipPopup());
        if (!tip) return;
        const WCHAR* align = box->GetAttributeText(kAtomTooltipAlign);
        tip->SetAttribute(kAtomPopupAlign, align ? align : u"after_point", true, false);
        tip->SetAttribute(kAtomTooltipText, text, true, false);
    }
    if (!tip || tip == box || tip->IsAncestorOf(box)) return;
    tip->AddRef();
    if (tip->IsOpened()) tip->SetOpened(false, false);
    tip->SetIndependent(true);
    tip->SetPopAnchor(false);
    tip->SetAnchor(box);
    if (tip->SetOpened(true, false)) {
        trackedPopup_ = tip;
        tooltipAnchor_ = ScreenRectOfBox(box);
    }
    tip->Release();
}

void oxFrameInput::CloseNestedPopup() {
    if (!popupChain_) return;
    int guard = 0;
    for (oxPopupBox* p = popupChain_->GetOutermostPopup(); p && guard < 64; p = p->GetChildPopup(), ++guard) {
        if (oxPopupBox* context = p->GetContextChild()) {
            context->SetOpened(false, false);
            return;
        }
    }
}

void oxFrameInput::OnFocusMoved(oxBox* old, bool newInMenuBar) {
    menuBarEngaged_ = newInMenuBar;
    if (newInMenuBar || !old) return;
    if (auto* menu = dynamic_cast<oxMenuBox*>(old))
        if (oxMenuBarBox* bar = menu->GetMenuBar()) bar->SetCurrentItem(-1);
}

// Focus and Tab.

void oxFrameInput::FocusAndTab(oxEvent* event, oxInputScene* scene, oxBox* target) {
    const oxAtom type = event->GetType();
    if (type == kAtomMouseDown) {
        // A box that defers its focus passes it up to the nearest box that takes it, unless a box
        // on the way stops the search.
        oxBox* box = target;
        while (box && box->GetFocusMode() == kModeFocusDefer && !ParseBool(box->GetAttributeText(kAtomStopPropagation)))
            box = box->GetParent();
        if (!box) return;
        const uint32_t mode = box->GetFocusMode();
        if (mode == 0) {
            scene->SetFocusedBox(nullptr);
        } else if (mode == kModeFocusNormal && !Disabled(box)) {
            // A menu takes the focus only while its popup is open.
            auto* menu = dynamic_cast<oxMenuBox*>(box);
            oxPopupBox* popup = menu ? menu->GetPopup() : nullptr;
            if (!menu || (popup && popup->IsOpened())) scene->SetFocusedBox(box);
        } else {
            menuBarEngaged_ = AncestorOfType(target, kAtomMenuBar) != nullptr;
        }
        return;
    }
    auto* key = dynamic_cast<oxKeyEvent*>(event);
    if (type != kAtomKeyPress || !key || key->keyCode != 9 || key->ctrl || !Propagating(event)) return;
    // Over an open chain, Tab moves the focus only when the chain takes no input.
    if (popupChain_) {
        const WCHAR* show = popupChain_->GetAttributeText(kAtomShowNoActivate);
        if (!show || _wcsicmp(show, u"ignoreInput") != 0) return;
    }
    if (key->shift)
        scene->RewindFocus();
    else
        scene->AdvanceFocus();
}

// Key bindings.

void oxFrameInput::KeyBindings(oxEvent* event, oxInputScene* scene) {
    auto* key = dynamic_cast<oxKeyEvent*>(event);
    if (event->GetType() != kAtomKeyPress || !key) return;
    oxKeyCommand* command = scene->FindKeyBinding(key);
    if (!command || command->IsDisabled()) return;
    oxCommandEvent fired(kAtomCommand, event->GetTarget(), nullptr, command->GetCommandElement(), 0, nullptr,
                         key->shift, key->ctrl, key->alt);
    fired.AddFlags(kEventPropagating);
    command->Execute(&fired);
    if (!Propagating(&fired)) event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating));
    if (!(fired.GetFlags() & kEventDefaultPrevented)) scene->DispatchEvent(&fired);
}
