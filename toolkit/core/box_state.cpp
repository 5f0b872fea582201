// The box's state flags, their setters, the mode word and the prior-value side table.
#include <vector>

#include "runtime/hash_map.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_change_log.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/box_internal.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/event.h"
#include "toolkit/style/attribute_value.h"

namespace {

struct StateName {
    uint32_t mask;
    oxAtom atom;
};

// The states that carry an attribute atom, in bit order.
constexpr StateName kStateNames[] = {
    {kStateHidden, kAtomHidden},         {kStateCollapsed, kAtomCollapsed}, {kStateDeflated, kAtomDeflated},
    {kStateOverflowed, kAtomOverflowed}, {kStateGrew, kAtomGrew},           {kStateHovered, kAtomHovered},
    {kStatePressed, kAtomPressed},       {kStateDragged, kAtomDragged},     {kStateDragHovered, kAtomDragHovered},
    {kStateFocused, kAtomFocused},       {kStateDisabled, kAtomDisabled},   {kStateEngaged, kAtomEngaged},
    {kStatePopped, kAtomPopped},         {kStateToggled, kAtomToggled},     {kStateSelected, kAtomSelected},
    {kStateExpanded, kAtomExpanded},     {kStateMinimized, kAtomMinimized}, {kStateMaximized, kAtomMaximized},
    {kStateActive, kAtomActive},         {kStateOrnament, kAtomOrnament},   {kStateCaptured, kAtomBoxCaptured},
};

NUBO::oxPtrHashMap<oxBoxChangeLog*>& ChangeLogTable() {
    static NUBO::oxPtrHashMap<oxBoxChangeLog*> table;
    return table;
}

oxBoxChangeLog* ChangeLogOf(const oxBox* box, bool create) {
    auto& table = ChangeLogTable();
    if (auto* node = table.Find(box)) return node->value;
    if (!create) return nullptr;
    auto* log = new (std::nothrow) oxBoxChangeLog;
    if (log) table.Insert(box, log);
    return log;
}

// Whether the state reads as set: `hidden` and `disabled` count their ancestor bits too.
bool ReadState(uint32_t flags, uint32_t mask) {
    if (mask == kStateHidden) mask |= kStateHiddenByAncestor;
    if (mask == kStateDisabled) mask |= kStateDisabledByAncestor;
    return (flags & mask) != 0;
}

} // namespace

void oxRecordPriorAttribute(oxBox* box, oxAtom atom, const WCHAR* text) {
    if (oxBoxChangeLog* log = ChangeLogOf(box, true))
        log->Record(text ? oxBoxChangeLog::kAttribute : oxBoxChangeLog::kRemoveAttribute, atom, box, false, text);
}

void oxBox::SetStateFlag(uint32_t mask, bool on) {
    if ((stateFlags_ & kStateRecordPrior) && mask != kStateRecordPrior) {
        if (oxBoxChangeLog* log = ChangeLogOf(this, true)) {
            for (uint32_t bits = mask & ~kStateRecordPrior; bits; bits &= bits - 1)
                log->Record(oxBoxChangeLog::kState, bits & (0u - bits), this, false, nullptr);
        }
    }
    if (on)
        stateFlags_ |= mask;
    else
        stateFlags_ &= ~mask;
}

const oxBoxChangeLog* oxBox::GetChangeLog() const {
    oxBoxChangeLog* log = ChangeLogOf(this, false);
    return log && !log->GetEntries().empty() ? log : nullptr;
}

void oxBox::ReplayChangeLog() {
    if (oxBoxChangeLog* log = ChangeLogOf(this, false)) log->Replay(this);
}

void oxBox::ClearChangeLog() {
    auto& table = ChangeLogTable();
    if (table.IsEmpty()) return;
    if (auto* node = table.Find(this)) {
        delete node->value;
        table.Erase(this);
    }
}

const WCHAR* oxStateAttributeText(const oxBox* box, oxAtom attribute) {
    for (const StateName& s : kStateNames) {
        if (s.atom == attribute) return ReadState(box->GetStateFlags(), s.mask) ? u"true" : u"false";
    }
    return nullptr;
}

void oxBox::SetChangeFlag(uint32_t mask, bool on) {
    if (on)
        changeFlags_ |= mask;
    else
        changeFlags_ &= ~mask;
}

void oxBox::SetPresence(uint16_t mask, bool on) {
    presence_ = on ? uint16_t(presence_ | mask) : uint16_t(presence_ & ~mask);
}

bool oxBox::IsVisibleAndEnabled() const {
    for (const oxBox* b = this; b; b = b->parent_) {
        if (b->IsEffectivelyHidden() || b->IsCollapsed() || b->IsEffectivelyDisabled()) return false;
    }
    return true;
}

bool oxBox::IsFocusable() const {
    return GetFocusMode() == kModeFocusNormal && IsVisibleAndEnabled();
}

void oxBox::SetSimpleState(uint32_t mask, oxAtom attribute, bool value, bool announce, bool restyle) {
    if (((stateFlags_ & mask) != 0) == value) {
        if (announce) NotifyAttributeChange(attribute, false);
        return;
    }
    SetStateFlag(mask, value);
    if (announce) NotifyAttributeChange(attribute, true);
    if (restyle) UpdateStateStyles(attribute);
}

// A part to which its gadget box forwards the state takes the gadget box's value, unless forced.
bool oxBox::OwnerMappedState(oxAtom state, bool value, bool forced) {
    if (forced || !owner_ || !owner_->gadget_ || !owner_->gadget_->IsPartWithKey(owner_, this, state)) return value;
    return ParseBool(oxStateAttributeText(owner_, state));
}

void oxBox::SetHovered(bool value, bool forced) {
    value = OwnerMappedState(kAtomHovered, value, forced);
    if (value && IsEffectivelyDisabled()) {
        NotifyAttributeChange(kAtomHovered, false);
        return;
    }
    SetSimpleState(kStateHovered, kAtomHovered, value, true, true);
}

void oxBox::SetPressed(bool value, bool forced) {
    value = OwnerMappedState(kAtomPressed, value, forced);
    if (value && IsEffectivelyDisabled()) {
        NotifyAttributeChange(kAtomPressed, false);
        return;
    }
    SetSimpleState(kStatePressed, kAtomPressed, value, true, true);
}

void oxBox::SetDragged(bool value, bool forced) {
    value = OwnerMappedState(kAtomDragged, value, forced);
    SetSimpleState(kStateDragged, kAtomDragged, value, true, true);
}

void oxBox::SetDragHovered(bool value, bool forced) {
    value = OwnerMappedState(kAtomDragHovered, value, forced);
    SetSimpleState(kStateDragHovered, kAtomDragHovered, value, true, true);
}

void oxBox::SetEngaged(bool value, bool forced) {
    value = OwnerMappedState(kAtomEngaged, value, forced);
    SetSimpleState(kStateEngaged, kAtomEngaged, value, true, true);
}

void oxBox::SetToggled(bool value, bool forced) {
    value = OwnerMappedState(kAtomToggled, value, forced);
    SetSimpleState(kStateToggled, kAtomToggled, value, true, true);
}

void oxBox::SetSelected(bool value, bool forced) {
    value = OwnerMappedState(kAtomSelected, value, forced);
    SetSimpleState(kStateSelected, kAtomSelected, value, true, true);
}

void oxBox::SetExpanded(bool value, bool forced) {
    value = OwnerMappedState(kAtomExpanded, value, forced);
    SetSimpleState(kStateExpanded, kAtomExpanded, value, true, true);
}

void oxBox::SetPopped(bool value) {
    SetSimpleState(kStatePopped, kAtomPopped, value, true, true);
}

void oxBox::SetGrew(bool value) {
    SetSimpleState(kStateGrew, kAtomGrew, value, true, false);
}

void oxBox::SetAnimating(bool value) {
    SetStateFlag(kStateAnimating, value);
}

void oxBox::SetStateBit17(bool value) {
    SetStateFlag(kStateBit17, value);
}

void oxBox::SetNoScrollbarArrange(bool value) {
    SetStateFlag(kStateNoScrollbarArrange, value);
}

void oxBox::SetModeBit14(bool value) {
    modeFlags_ = value ? (modeFlags_ | kModeBit14) : (modeFlags_ & ~kModeBit14);
}

void oxBox::SetOverflowed(bool value) {
    if (((stateFlags_ & kStateOverflowed) != 0) == value) return;
    SetSimpleState(kStateOverflowed, kAtomOverflowed, value, true, true);
}

void oxBox::SetMaximized(bool value) {
    if (((stateFlags_ & kStateMaximized) != 0) == value) return;
    SetSimpleState(kStateMaximized, kAtomMaximized, value, true, true);
}

void oxBox::SetMinimized(bool value) {
    if (((stateFlags_ & kStateMinimized) != 0) == value) return;
    SetSimpleState(kStateMinimized, kAtomMinimized, value, true, true);
}

void oxBox::SetActive(bool value) {
    // The root's window keeps its geometry from the root box: leaving it is a change it must hear of.
    if (!value && (stateFlags_ & kStateActive) && scene_ && scene_->GetRootBox() == this) scene_->RefitWindow();
    SetSimpleState(kStateActive, kAtomActive, value, true, true);
}

void oxBox::SetFocused(bool value, bool keepFrameFocus, bool quiet) {
    const bool was = (stateFlags_ & kStateFocused) != 0;
    SetSimpleState(kStateFocused, kAtomFocused, value, true, true);
    if (was == value || quiet || !(presence_ & kHasFrame)) return;
    oxBoxFrame* frame = GetFrame();
    if (!frame) return;
    frame->SetFocus(value);
    if (value || keepFrameFocus) return;
    oxBox* host = FindFrameBox();
    if (oxBoxFrame* outer = host ? host->GetFrame() : nullptr) outer->SetFocus(true);
}

void oxBox::SetCaptured(bool value) {
    const bool was = (stateFlags_ & kStateCaptured) != 0;
    SetSimpleState(kStateCaptured, kAtomBoxCaptured, value, true, true);
    if (value || !was) return;
    oxPoint screen, client;
    oxGetBoxFrameServices().GetCursorPosition(this, &screen, &client);
    oxMouseEvent released(kAtomCaptureReleased, this, nullptr, 0, nullptr, 0, client, screen, false, false, false);
    HandleEvent(&released);
}

void oxBox::RefreshOwnFrame() {
    if (!(presence_ & kHasFrame)) return;
    if (oxBoxFrame* frame = GetFrame()) frame->Refresh(false);
}

// The three quiet states: no announcement, and unchanged only while the box is attached.
void oxBox::SetOrnament(bool value) {
    if ((changeFlags_ & kChangeAttached) && ((stateFlags_ & kStateOrnament) != 0) == value) return;
    SetStateFlag(kStateOrnament, value);
}

void oxBox::SetBlockUpdate(bool value) {
    if ((changeFlags_ & kChangeAttached) && ((stateFlags_ & kStateBlockUpdate) != 0) == value) return;
    SetStateFlag(kStateBlockUpdate, value);
    if (value) return;
    RequestRepaint();
    RefreshOwnFrame();
}

void oxBox::SetExcluded(bool value) {
    if ((changeFlags_ & kChangeAttached) && ((stateFlags_ & kStateExcluded) != 0) == value) return;
    SetStateFlag(kStateExcluded, value);
    RequestRepaint();
    RefreshOwnFrame();
}

void oxBox::SetDisabled(bool value, bool forced) {
    value = OwnerMappedState(kAtomDisabled, value, forced);
    if (IsEffectivelyDisabled() == value) {
        SetStateFlag(kStateDisabled, value);
        NotifyAttributeChange(kAtomDisabled, false);
        return;
    }
    SetStateFlag(kStateDisabled, value);
    NotifyAttributeChange(kAtomDisabled, true);
    PropagateDisabled(value);
    if (value && (stateFlags_ & kStateFocused)) Blur();
    UpdateStateStyles(kAtomDisabled);
}

// Sets or clears bit 30 on every descendant, walking the subtree without recursion.
void oxBox::PropagateDisabled(bool on) {
    for (oxBox* b = GetNextBox(this, false, false); b; b = b->GetNextBox(this, false, false))
        b->SetStateFlag(kStateDisabledByAncestor, on);
}

void oxBox::SetHidden(bool value) {
    if ((changeFlags_ & kChangeAttached) && ((stateFlags_ & kStateHidden) != 0) == value) {
        NotifyAttributeChange(kAtomHidden, false);
        return;
    }
    SetStateFlag(kStateHidden, value);
    UpdateFrameBounds(!(changeFlags_ & kChangePainted));
    if (!value) InvalidateMeasure();
    if (value || !(IsEffectivelyHidden() || IsCollapsed())) PropagateHiddenToChildren(value);
    RefreshOwnFrame();
    if (value) CloseAnchoredPopup();
    NotifyAttributeChange(kAtomHidden, true);
    UpdateStateStyles(kAtomHidden);
}

void oxBox::SetHiddenByAncestor(bool value) {
    if (((stateFlags_ & kStateHiddenByAncestor) != 0) == value) return;
    SetStateFlag(kStateHiddenByAncestor, value);
    UpdateFrameBounds(!(changeFlags_ & kChangePainted));
    if (!value) InvalidateMeasure();
    if (value) CloseAnchoredPopup();
    if (!(stateFlags_ & (kStateHidden | kStateCollapsed))) PropagateHiddenToChildren(value);
    RefreshOwnFrame();
}

// Applies bit 22 down the subtree with an explicit walk: a box that did not change, or that is
// itself hidden or collapsed, keeps its children as they are.
void oxBox::PropagateHiddenToChildren(bool value) {
    oxBox* b = GetFirstChild(false);
    while (b) {
        bool descend = false;
        if (((b->stateFlags_ & kStateHiddenByAncestor) != 0) != value) {
            b->SetStateFlag(kStateHiddenByAncestor, value);
            b->UpdateFrameBounds(!(b->changeFlags_ & kChangePainted));
            if (!value) b->InvalidateMeasure();
            if (value) b->CloseAnchoredPopup();
            b->RefreshOwnFrame();
            descend = !(b->stateFlags_ & (kStateHidden | kStateCollapsed));
        }
        b = b->GetNextBox(this, !descend, false);
    }
}

void oxBox::SetCollapsed(bool value, bool forced) {
    value = OwnerMappedState(kAtomCollapsed, value, forced);
    if (IsCollapsed() == value) {
        NotifyAttributeChange(kAtomCollapsed, false);
        return;
    }
    if (value) {
        UpdateFrameBounds(!(changeFlags_ & kChangePainted));
        if (stateFlags_ & kStateFocused) SetFocused(false, false, false);
        if (stateFlags_ & kStateSelected) SetSelected(false, true);
    } else if (stateFlags_ & kStateContentPending) {
        ExpandCollapsedContent();
    }
    SetStateFlag(kStateCollapsed, value);
    if (value || !IsEffectivelyHidden()) PropagateHiddenToChildren(value);
    if (!value) {
        InvalidateSubtree(true, true);
        ClearMeasureMarks();
        if (parent_) parent_->RequestLayout();
        UpdateFrameBounds(!(changeFlags_ & kChangePainted));
    } else if (scene_) {
        RequestLayout();
        RequestRepaint();
    }
    RefreshOwnFrame();
    NotifyAttributeChange(kAtomCollapsed, true);
    InvalidateUpToPopup();
    if (value) CloseAnchoredPopup();
    UpdateStateStyles(kAtomCollapsed);
}

void oxBox::SetDeflated(bool value) {
    if (((stateFlags_ & kStateDeflated) != 0) == value) {
        NotifyAttributeChange(kAtomDeflated, false);
        return;
    }
    for (int i = 0; i < GetChildCount(); ++i) {
        oxBox* child = GetChildAt(i, false);
        if (child->changeFlags_ & kChangeFlowed) child->SetCollapsed(value, false);
    }
    SetStateFlag(kStateDeflated, value);
    NotifyAttributeChange(kAtomDeflated, true);
}

void oxBox::SetMode(uint32_t group, uint32_t value, oxAtom attribute) {
    uint32_t bits = value & group;
    if (!bits) return;
    if ((modeFlags_ & bits) == bits) {
        NotifyAttributeChange(attribute, false);
        return;
    }
    modeFlags_ = (modeFlags_ & ~group) | bits;
    NotifyAttributeChange(attribute, true);
}

// Repaints are collected, not done: the box is marked, its ancestors lead the frame's update walk
// down to it, and the scene asks its window for one update per turn of the message loop.
// The request goes on even when the repaint mark is already set: a box that was not painted last
// time (scrolled out, under a collapsed box) keeps its mark, and skipping it would lose the repaint.
void oxBox::RequestRepaint() {
    if (!scene_ || !scene_->IsRunning()) return;
    // A layer paints over its logical parent's area, which repaints with it.
    if ((changeFlags_ & (kChangeLayered | kChangeFramed)) == kChangeLayered) {
        if (oxBox* parent = GetLogicalParent()) parent->RequestRepaint();
    }
    UpdateFrameBounds(false);
}

// The nearest layout root is queued once per pass; the scene's update lays the tree out.
void oxBox::RequestLayout() {
    if (!scene_) return;
    if (oxBox* root = FindAncestorWithFlag()) scene_->NotifySceneOfChange(root);
}

void oxBox::RefreshFrame() {
    // Anchors may form a ring: the walk stops at the depth a tree may have.
    static int forwarding = 0;
    if ((changeFlags_ & kChangeHasAnchor) && !IsEffectivelyHidden() && forwarding < kMaxDepth) {
        if (oxBox* anchor = GetAnchor(); anchor && anchor != this) {
            ++forwarding;
            anchor->RefreshFrame();
            --forwarding;
        }
    }
    if (stateFlags_ & kStateDeflated) return;
    // The box's own frame follows it: shown or hidden, then moved onto it.
    if (presence_ & kHasFrame) {
        if (oxBoxFrame* frame = GetFrame()) {
            frame->Refresh(false);
            frame->PositionWindow();
            return;
        }
    }
    UpdateFrameBounds(false);
}
void oxBox::CloseAnchoredPopup() {}
void oxBox::Blur() {}
void oxBox::RefreshDependants() {
    SetPresence(kMarkFramedKnown | kMarkFramedDescendant, false);
}
void oxBox::InvalidateMeasure() {
    SetPresence(kMarkMeasuredWidth | kMarkMeasuredHeight, false);
}
