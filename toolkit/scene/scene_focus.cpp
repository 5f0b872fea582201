// Which box of a scene has the focus, the tab order, and the default button's look.
//
// The tab order is the boxes in tree order that can take the focus, grouped by their "tabIndex"
// (0 when absent). Stepping the current index forward finds the smallest index above it, wrapping
// to the smallest of all; backward the largest below it, else 0, and from 0 the largest of all.
// Within an index,
// boxes are met in tree order from where the search starts.
#include <climits>

#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/scene_input.h"
#include "toolkit/style/attribute_value.h"

namespace {

int32_t TabIndexOf(oxBox* box) {
    return ParseInt(box->GetAttribute(kAtomTabIndex));
}

oxBox* NextInTreeOrder(oxBox* box) {
    if (oxBox* child = box->GetFirstChild(false)) return child;
    for (oxBox* b = box; b; b = b->GetParent()) {
        oxBox* parent = b->GetParent();
        if (parent && b->GetIndex() + 1 < parent->GetChildCount()) return parent->GetChildAt(b->GetIndex() + 1, false);
    }
    return nullptr;
}

oxBox* LastDescendant(oxBox* box) {
    while (oxBox* last = box->GetLastChild(false))
        box = last;
    return box;
}

oxBox* PreviousInTreeOrder(oxBox* box) {
    oxBox* parent = box->GetParent();
    if (!parent) return nullptr;
    if (box->GetIndex() > 0) return LastDescendant(parent->GetChildAt(box->GetIndex() - 1, false));
    return parent;
}

bool IsTabCandidate(oxBox* box) {
    return box->IsFocusable() && box->GetBoxType() != kAtomMenu;
}

// The next tab index after `current` among the candidates below `root`.
int32_t StepTabIndex(oxBox* root, int32_t current, bool forward) {
    bool any = false, found = false;
    int32_t best = 0, extreme = 0;
    for (oxBox* b = root; b; b = b->GetNextBox(root, false, false)) {
        if (!IsTabCandidate(b)) continue;
        int32_t index = TabIndexOf(b);
        if (!any || (forward ? index < extreme : index > extreme)) extreme = index;
        any = true;
        bool beyond = forward ? index > current : (current == 0 || index < current);
        if (beyond && (!found || (forward ? index < best : index > best))) {
            best = index;
            found = true;
        }
    }
    if (found) return best;
    // Forward wraps to the smallest index; backward past the smallest gives 0, which the next step
    // backward takes as above every index.
    return any && forward ? extreme : 0;
}

bool InMenuBar(oxBox* box) {
    if (!box || box->GetBoxType() != kAtomMenu) return false;
    for (oxBox* b = box->GetParent(); b; b = b->GetParent())
        if (b->GetBoxType() == kAtomMenuBar) return true;
    return false;
}

} // namespace

void oxScene::SetFocusedBox(oxBox* box) {
    if (box == focused_ || (state_ & kFocusChanging)) return;
    oxBox* old = focused_;
    focused_ = box;
    const bool wasActiveNativeText = box && box == activeNativeText_;
    if (!(state_ & kOpen) && root_) root_->ResolveStyle();
    bool oldInBar = InMenuBar(old), newInBar = InMenuBar(box);
    if (oldInBar && !newInBar) SetActiveNativeText(nullptr);
    if (!oldInBar && newInBar && !activeNativeText_) SetActiveNativeText(old);
    if (oxSceneInput* input = runtime_ ? runtime_->GetFrameInput() : nullptr) input->OnFocusMoved(old, newInBar);

    // Events below may release either box.
    if (old) old->AddRef();
    if (box) box->AddRef();
    if (old) old->SetFocused(false, false, false);
    if (box) box->SetFocused(true, false, false);
    if (old) {
        state_ |= kFocusChanging;
        oxDOMEvent blur(kAtomBlur, old, nullptr);
        DispatchEvent(&blur);
        state_ &= ~kFocusChanging;
    }
    UpdateDefaultStyle();
    if (oxBox* now = focused_) {
        now->AddRef();
        oxDOMEvent focus(kAtomFocus, now, nullptr);
        DispatchEvent(&focus);
        if (focused_ == now) tabIndex_ = TabIndexOf(now);
        now->Release();
    }
    if (box && !wasActiveNativeText && !box->IsMdiChild()) {
        for (oxBox* b = box->GetParent(); b; b = b->GetParent()) {
            if (!b->IsOverflowScroll()) continue;
            b->ScrollToBox(box);
            break;
        }
    }
    if (box) box->Release();
    if (old) old->Release();
}

void oxScene::SetActiveNativeText(oxBox* box) {
    // The box of the `nativeText` tag is an input box that draws and edits its text itself: it holds
    // no system input focus to let go of or take back, so recording it is all there is to do.
    activeNativeText_ = box;
}

bool oxScene::FocusByTabIndex(oxBox* from, oxBox* stop, bool forward) {
    for (oxBox* b = from; b && b != stop; b = forward ? NextInTreeOrder(b) : PreviousInTreeOrder(b)) {
        if (b->GetScene() != this || !IsTabCandidate(b) || TabIndexOf(b) != tabIndex_) continue;
        if (windowFlags_ & kNoActivate)
            SetActiveNativeText(b);
        else
            SetFocusedBox(b);
        return true;
    }
    return false;
}

int32_t oxScene::AdvanceFocus() {
    if (!root_) return 1;
    oxBox* start = focused_ ? NextInTreeOrder(focused_) : root_;
    if (!focused_) tabIndex_ = StepTabIndex(root_, tabIndex_, true);
    if (FocusByTabIndex(start, nullptr, true)) return 1;
    tabIndex_ = StepTabIndex(root_, tabIndex_, true);
    if (tabIndex_ == 0 && embedded_) return 0;
    // The next index is searched for over the whole tree, from the root; then the one after it.
    if (!FocusByTabIndex(root_, start, true) && !FocusByTabIndex(start, nullptr, true)) {
        tabIndex_ = StepTabIndex(root_, tabIndex_, true);
        FocusByTabIndex(root_, nullptr, true);
    }
    return 1;
}

int32_t oxScene::RewindFocus() {
    if (!root_) return 1;
    oxBox* start = focused_ ? PreviousInTreeOrder(focused_) : nullptr;
    if (!focused_) tabIndex_ = StepTabIndex(root_, tabIndex_, false);
    if (FocusByTabIndex(start, nullptr, false)) return 1;
    tabIndex_ = StepTabIndex(root_, tabIndex_, false);
    if (tabIndex_ == 0 && embedded_) return 0;
    // The previous index over the whole tree, from its last box back; then the one before it.
    if (!FocusByTabIndex(LastDescendant(root_), start, false) && !(start && FocusByTabIndex(start, root_, false))) {
        tabIndex_ = StepTabIndex(root_, tabIndex_, false);
        FocusByTabIndex(LastDescendant(root_), nullptr, false);
    }
    return 1;
}

void oxScene::SeekFocus(bool last) {
    if (!root_) return;
    oxBox* found = nullptr;
    int32_t best = 0;
    for (oxBox* b = root_; b; b = b->GetNextBox(root_, false, false)) {
        if (!IsTabCandidate(b)) continue;
        int32_t index = TabIndexOf(b);
        // The first box of the smallest index, or the last box of the largest.
        if (!found || (last ? index >= best : index < best)) {
            found = b;
            best = index;
        }
    }
    if (found) SetFocusedBox(found);
}

oxBox* oxScene::GetDefaultButton() {
    if (!defaultButton_) defaultButton_ = FindBoxByAttribute(kAtomDefaultButton, u"true");
    return defaultButton_;
}

void oxScene::SetDefaultButton(oxBox* box) {
    if (!box || box->GetBoxType() != kAtomControl || box == GetDefaultButton()) return;
    if (defaultButton_) {
        defaultButton_->SetAttribute(kAtomDefaultButton, u"false", true, false);
        defaultButton_->SetAttribute(kAtomDefaultStyle, u"false", true, false);
    }
    defaultButton_ = box;
    box->SetAttribute(kAtomDefaultButton, u"true", true, false);
    UpdateDefaultStyle();
}

void oxScene::UpdateDefaultStyle() {
    oxBox* button = GetDefaultButton();
    if (!button) return;
    bool takesEnter = false;
    if (focused_ && focused_ != button) {
        oxKeyEvent enter(kAtomKeyPress, focused_, nullptr, 13, false, false, false, 13);
        takesEnter = focused_->HandleAccelerator(&enter);
    }
    button->SetAttribute(kAtomDefaultStyle, takesEnter ? u"false" : u"true", true, false);
}
