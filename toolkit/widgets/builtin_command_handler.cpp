#include "toolkit/widgets/builtin_command_handler.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "platform/com/variant.h"
#include "platform/crt/wide.h"
#include "platform/win/system_params.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/grid_layout.h"
#include "toolkit/scene/scene.h"
#include "toolkit/style/attribute_value.h"
#include "toolkit/widgets/control_box.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/range_box.h"
#include "toolkit/widgets/select_box.h"

namespace {

oxBuiltinCommandHandler* g_instance = nullptr;

constexpr uint32_t kHiddenCollapsedDisabled = kStateHidden | kStateCollapsed | kStateDisabled |
                                              kStateHiddenByAncestor | kStateDisabledByAncestor;
// The event flag a dialog's accept leaves alone.
constexpr uint16_t kEventNoAccept = 0x10;

oxScene* SceneOf(oxBox* box) {
    return box ? dynamic_cast<oxScene*>(box->GetScene()) : nullptr;
}

oxBox* NearestOfType(oxBox* box, oxAtom type) {
    for (oxBox* b = box; b; b = b->GetParent())
        if (b->GetBoxType() == type) return b;
    return nullptr;
}

bool IsDisabled(const oxBox* box) {
    return box->GetStateFlags() & (kStateDisabled | kStateDisabledByAncestor);
}

// "Pop" on a box that is no menu: the popup its `popup` attribute names opens at it.
int32_t PopTargetPopup(oxBox* target) {
    const WCHAR* name = target->GetAttributeText(kAtomPopup);
    if (!name) return 1;
    oxPopupBox* popup = nullptr;
    if (oxAtoms::Find(name) == kAtom_child) {
        for (int i = 0; i < target->GetChildCount() && !popup; ++i)
            popup = dynamic_cast<oxPopupBox*>(target->GetChildAt(i, false));
    } else {
        popup = dynamic_cast<oxPopupBox*>(target->FindPart(oxAtoms::Intern(name)));
    }
    if (!popup || popup->IsOpened()) return 1;
    if (oxInputScene* scene = GetInputScene(target))
        if (oxFrameInput* input = scene->GetFrameInput()) input->CloseTrackedPopup();
    popup->SetAnchor(target);
    popup->SetOpened(true, false);
    return 1;
}

int32_t CloseSiblingPopup(oxBox* target) {
    oxBox* parent = target->GetParent();
    if (!parent) return 1;
    for (int i = 0; i < parent->GetChildCount(); ++i) {
        oxBox* sibling = parent->GetChildAt(i, false);
        if (!sibling || sibling == target) continue;
        for (int k = 0; k < sibling->GetChildCount(); ++k) {
            if (oxPopupBox::IsOpenPopup(sibling->GetChildAt(k, false))) {
                static_cast<oxPopupBox*>(sibling->GetChildAt(k, false))->SetOpened(false, false);
                return 1;
            }
        }
    }
    return 1;
}

// "Command": the control around the box the event started at fires once, when its handlers run.
int32_t RaiseControlCommand(oxEvent* event, oxBox* target) {
    auto* dom = dynamic_cast<oxDOMEvent*>(event);
    auto* origin = dom ? dynamic_cast<oxBox*>(dom->GetSource()) : nullptr;
    oxBox* control = NearestOfType(origin, kAtomControl);
    if (!control || control != dom->GetCurrent()) return 0;
    if (auto* own = dynamic_cast<oxControlBox*>(NearestOfType(target, kAtomControl))) own->Command();
    return 1;
}

int32_t AcceptDialog(oxEvent* event, oxBox* target) {
    oxScene* scene = SceneOf(target);
    if (!scene || (event->GetFlags() & kEventNoAccept)) return 0;
    auto* button = dynamic_cast<oxControlBox*>(scene->GetDefaultButton());
    if (!button || !ParseBool(button->GetAttributeText(kAtomDefaultStyle)) || !button->IsFocusable()) return 0;
    button->Click();
    return 1;
}

int32_t CancelDialog(oxBox* target) {
    oxScene* scene = SceneOf(target);
    auto* button = scene ? dynamic_cast<oxControlBox*>(scene->FindBoxByAttribute(kAtomCancelButton, u"true")) : nullptr;
    if (!button) return 0;
    button->Command();
    return 1;
}

int32_t MouseOutMenuItem(oxBox* target) {
    if (target->GetStateFlags() & kHiddenCollapsedDisabled) return 0;
    for (oxBox* b = target->GetParent(); b; b = b->GetParent()) {
        if (auto* bar = dynamic_cast<oxMenuBarBox*>(b)) {
            auto* menu = dynamic_cast<oxMenuBox*>(target);
            oxPopupBox* popup = menu ? menu->GetPopup() : nullptr;
            if (menu && !(popup && popup->IsOpened())) bar->SetCurrentItem(-1);
            return 0;
        }
        if (auto* popup = dynamic_cast<oxPopupBox*>(b)) {
            auto* menu = dynamic_cast<oxMenuBox*>(target);
            oxPopupBox* own = menu ? menu->GetPopup() : nullptr;
            if (ParseBool(target->GetAttributeText(kAtomSelectablePopupChild)) && !(own && own->IsOpened()))
                popup->SetCurrentPopupChild(nullptr);
            return 0;
        }
    }
    return 0;
}

int32_t MarkInvalidInput(oxBox* target) {
    oxScene* scene = SceneOf(target);
    if (!scene) return 0;
    // Taken off and put back, so that style rules matching it start again.
    target->RemoveAttribute(kAtomInvalidInput);
    scene->Layout();
    target->SetAttribute(kAtomInvalidInput, u"true", true, false);
    return 1;
}

// The editing itself is the input box's: here only whether the target edits text.
int32_t IsTextTarget(oxBox* target) {
    for (oxBox* b = target; b; b = b->GetLogicalParent()) {
        // The input box answers "input" for the nativeText tag too, so either type counts.
        const oxAtom type = b->GetBoxType();
        if (type == kAtomNativeText || type == kAtomInput) return 1;
    }
    return 0;
}

bool Is(const WCHAR* name, const WCHAR* command) {
    return wcscmp(name, command) == 0;
}

constexpr int32_t kHome = int32_t(0xC0000000u);
constexpr int32_t kEnd = 0x40000000;
constexpr int32_t kAll = 0x3FFFFFFF;
constexpr int32_t kPageUp = 0x3FFFFFFE;
constexpr int32_t kPageDown = 0x3FFFFFFD;

struct SelectionMove {
    const WCHAR* name;
    int32_t position;
    int mode;
};

const SelectionMove kSelectionMoves[] = {
    {u"CursorUp", -1, 0},          {u"CursorDown", 1, 0},
    {u"CursorPageUp", kPageUp, 0}, {u"CursorPageDown", kPageDown, 0},
    {u"CursorSelect", 0, 4},       {u"ToggleSelect", 0, 2},
    {u"SelectUp", -1, 1},          {u"SelectDown", 1, 1},
    {u"SelectUpExtend", -1, 3},    {u"SelectDownExtend", 1, 3},
    {u"SelectPageUp", kPageUp, 1}, {u"SelectPageDown", kPageDown, 1},
    {u"SelectPageUpExtend", kPageUp, 3}, {u"SelectPageDownExtend", kPageDown, 3},
    {u"SelectHome", kHome, 1},     {u"SelectEnd", kEnd, 1},
    {u"SelectHomeExtend", kHome, 3}, {u"SelectEndExtend", kEnd, 3},
    {u"SelectAll", kAll, 3},
};

// Moves the cursor and selection of the nearest select box above the target.
int32_t SelectionStep(oxBox* target, int32_t position, int mode) {
    oxSelectBox* select = nullptr;
    for (oxBox* b = target; b; b = b->GetParent()) {
        if (b->GetBoxType() == kAtomSelect) {
            select = dynamic_cast<oxSelectBox*>(b);
            break;
        }
        if (ParseBool(b->GetAttributeText(kAtomStopPropagation))) return 0;
    }
    oxSelectionModel* model = select ? select->GetSelectionModel() : nullptr;
    if (!model) return 0;
    const int cursor = model->GetCursor();
    if (position == kHome) {
        model->MoveCursor(0, mode, true);
    } else if (position == kEnd) {
        model->MoveCursor(select->GetRowCount() - 1, mode, true);
    } else if (position == kAll) {
        model->SelectAll(select->GetRowCount());
    } else if (position == kPageUp) {
        const int first = select->GetFirstVisibleRowIndex();
        int to = first;
        if (cursor == first) to = std::max(0, first + cursor - select->GetLastVisibleRowIndex() + 1);
        model->MoveCursor(to, mode, true);
    } else if (position == kPageDown) {
        int last = select->GetLastVisibleRowIndex();
        if (cursor == last - 1) {
            if (mode != 3) {
                model->UnselectRow(cursor);
                if (oxBox* row = select->GetRowBox(cursor); row && select->GetScene()) {
                    row->RequestRepaint();
                    if (oxScene* scene = SceneOf(select)) scene->Paint();
                }
            }
            select->ScrollToRow(cursor);
            last = select->GetLastVisibleRowIndex();
        }
        model->MoveCursor(last - 1, mode, true);
    } else {
        model->MoveCursor(cursor + position, mode, true);
    }
    return 1;
}

} // namespace

oxBuiltinCommandHandler* oxBuiltinCommandHandler::GetInstance() {
    if (!g_instance) g_instance = new (std::nothrow) oxBuiltinCommandHandler();
    return g_instance;
}

void oxBuiltinCommandHandler::ReleaseInstance() {
    if (g_instance) g_instance->Release();
}

oxBuiltinCommandHandler::oxBuiltinCommandHandler() {
    UINT lines = 0;
    if (SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) wheelStep_ = int32_t(lines);
}

oxBuiltinCommandHandler::~oxBuiltinCommandHandler() {
    if (g_instance == this) g_instance = nullptr;
}

ULONG oxBuiltinCommandHandler::Release() {
    const int32_t left = --refs_;
    if (left == 0) {
        refs_ = int32_t(0xC0000001);
        delete this;
    }
    return ULONG(left);
}

int32_t oxBuiltinCommandHandler::ScrollStep(oxBox* target, int32_t delta, int32_t factor) {
    for (oxBox* b = target; b; b = b->GetLogicalParent()) {
        if (!(b->GetStateFlags() & kStateOverflowed) || !b->IsOverflowScroll()) continue;
        // A layout that arranges rows scrolls by rows.
        if (auto* grid = dynamic_cast<oxGridLayout*>(b->GetLayout())) {
            b->ScrollToRow(grid->GetFirstVisibleRow() + delta);
            return 1;
        }
        b->ScrollByY(delta * factor);
        return 1;
    }
    return 1;
}

int32_t oxBuiltinCommandHandler::ExecuteCommand(const WCHAR* name, oxEvent* event) {
    if (!name || !event) return 0;
    oxBox* target = dynamic_cast<oxBox*>(event->GetTarget());
    if (!target) return 0;
    NUBO::RefPtr<oxBox> hold = NUBO::RefPtr<oxBox>::ref(target); // actions may close its scene
    const oxAtom type = target->GetBoxType();
    auto* menu = dynamic_cast<oxMenuBox*>(target);
    auto* control = dynamic_cast<oxControlBox*>(target);
    if (Is(name, u"Focus")) {
        if (oxInputScene* scene = GetInputScene(target)) scene->SetFocusedBox(target);
        return 1;
    }
    if (Is(name, u"Blur")) {
        oxInputScene* scene = GetInputScene(target);
        if (scene && scene->GetFocusedBox() == target) scene->SetFocusedBox(nullptr);
        target->Blur();
        return 1;
    }
    if (Is(name, u"ScrollUp")) return ScrollStep(target, -1, 1);
    if (Is(name, u"ScrollDown")) return ScrollStep(target, 1, 1);
    if (Is(name, u"MouseWheelScrollUp")) return ScrollStep(target, -wheelStep_, 12);
    if (Is(name, u"MouseWheelScrollDown")) return ScrollStep(target, wheelStep_, 12);
    if (Is(name, u"Expand") || Is(name, u"Contract")) {
        target->SetExpanded(Is(name, u"Expand"), false);
        return 1;
    }
    if (Is(name, u"Pop")) {
        if (menu && !IsDisabled(menu)) {
            menu->Open();
            return 1;
        }
        return PopTargetPopup(target);
    }
    if (Is(name, u"PopChained")) {
        if (!menu) return 0;
        menu->OpenChained();
        return 1;
    }
    if (Is(name, u"CloseSiblingPopup")) return CloseSiblingPopup(target);
    if (Is(name, u"Shut")) {
        if (!menu) return 0;
        menu->Shut();
        return 1;
    }
    if (Is(name, u"Command")) return RaiseControlCommand(event, target);
    if (Is(name, u"PopupCommand") || Is(name, u"Toggle")) {
        if (!control) return 0;
        Is(name, u"Toggle") ? control->Toggle() : control->Command();
        return 1;
    }
    if (Is(name, u"SetMax") || Is(name, u"SetMin") || Is(name, u"NudgeUp") || Is(name, u"NudgeDown") ||
        Is(name, u"NudgePageUp") || Is(name, u"NudgePageDown")) {
        auto* range = type == kAtomRange ? dynamic_cast<oxRangeBox*>(target) : nullptr;
        if (!range) return 0;
        if (Is(name, u"SetMax"))
            range->SetPosition(range->GetMaximum());
        else if (Is(name, u"SetMin"))
            range->SetPosition(range->GetMinimum());
        else if (Is(name, u"NudgeUp"))
            range->MoveBy(range->GetAxis() == kAtomX ? 1 : -1);
        else if (Is(name, u"NudgeDown"))
            range->MoveBy(range->GetAxis() == kAtomX ? -1 : 1);
        else
            range->Page(Is(name, u"NudgePageUp") ? 1 : -1);
        return 1;
    }
    if (Is(name, u"Close")) {
        if (oxScene* scene = SceneOf(target)) scene->Close(false);
        return 1;
    }
    if (Is(name, u"ExpandRow") || Is(name, u"ContractRow") || Is(name, u"ToggleRow")) {
        auto* select = dynamic_cast<oxSelectBox*>(NearestOfType(target, kAtomSelect));
        oxSelectionModel* model = select ? select->GetSelectionModel() : nullptr;
        const int row = model ? model->GetCursor() : -1;
        if (row == -1) return 1;
        if (Is(name, u"ExpandRow"))
            select->ExpandRow(row, true, false);
        else if (Is(name, u"ContractRow"))
            select->ContractRow(row, true, false);
        else
            select->ToggleRow(row);
        return 1;
    }
    for (const SelectionMove& move : kSelectionMoves)
        if (Is(name, move.name)) return SelectionStep(target, move.position, move.mode);
    if (Is(name, u"AcceptDialog")) return AcceptDialog(event, target);
    if (Is(name, u"CancelDialog")) return CancelDialog(target);
    if (Is(name, u"MouseOutMenuItem")) return MouseOutMenuItem(target);
    if (Is(name, u"StopEventPropagation")) {
        event->SetFlags(uint16_t(event->GetFlags() & ~kEventPropagating));
        return 1;
    }
    if (Is(name, u"EnableEventPropagation")) {
        event->AddFlags(kEventBubbles);
        return 1;
    }
    if (Is(name, u"InvalidInput")) return MarkInvalidInput(target);
    for (const WCHAR* text : {u"UndoText", u"CutText", u"CopyText", u"PasteText", u"DeleteText", u"SelectAllText"})
        if (Is(name, text)) return IsTextTarget(target);
    return 0;
}

int32_t oxBuiltinCommandHandler::ExecuteBindingScript(const WCHAR* word, const WCHAR* text, VARIANT* result) {
    if (!word) return 0;
    const auto starts = [word](const WCHAR* prefix) { return _wcsnicmp(word, prefix, wcslen(prefix)) == 0; };
    const bool empty = !text || !*text;
    bool value;
    if (starts(u"notEmpty")) {
        value = !empty;
    } else if (starts(u"empty")) {
        value = empty;
    } else if (starts(u"not")) {
        value = !ParseBool(text);
    } else if (starts(u"numeric")) {
        WCHAR* end = nullptr;
        if (!empty) (void)wcstol(text, &end, 10);
        value = empty || (end && *end == 0);
    } else if (starts(u"ascii")) {
        value = true;
        for (const WCHAR* p = text; !empty && *p; ++p)
            if (*p < 32 || *p > 127) value = false;
    } else {
        return 0;
    }
    if (result) {
        VariantClear(result);
        result->vt = VT_BOOL;
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return 1;
}
