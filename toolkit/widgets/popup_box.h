#pragma once
// oxPopupBox: the box of the `popup` tag. It stays collapsed until opened, then shows in a native
// window of its own (an oxPopupFrame) next to its anchor or at the pointer. Open popups chain: a
// popup opened from a box inside another popup is that popup's child and closes with it. The
// frame input keeps the innermost popup of the chain so that a tap elsewhere closes the chain.
#include <cstdint>
#include <memory>

#include "toolkit/base/rect.h"
#include "toolkit/core/box.h"
#include "toolkit/widgets/frame.h"

class oxPopupBox;

// The "popping" and "popped" events of an independent popup (a tooltip) carry this flag, so that
// handlers can tell them from the popups of the chain.
constexpr uint16_t kEventIndependentPopup = 0x20;

class oxPopupFrame : public oxFrame {
public:
    explicit oxPopupFrame(oxPopupBox* popup);
    oxAtom GetFrameType() const override { return kAtomPopup; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The placed screen rectangle of the popup.
    oxRect ComputeWindowRect(bool* positionDiffers, bool* sizeDiffers) const override;
    // The window only moves where the placement puts it, and the placement keeps the popup's
    // offsets from its anchor: a move is not written back into the box.
    void StoreWindowPosition() override {}
    // Makes or moves the window onto the placed rectangle and shows it.
    void ShowPlaced();

private:
    oxPopupBox* popup_;
};

class oxPopupBox : public oxBox {
public:
    explicit oxPopupBox(oxAtom tag = kAtomPopup);
    ~oxPopupBox() override;

    oxAtom GetBoxType() const override { return kAtomPopup; }
    const WCHAR* GetAttribute(oxAtom attribute) override;
    int32_t HandleEvent(oxEvent* event) override;
    oxBox* RemoveChildAt(int index, bool expand) override;

    // 1 on success, also when the popup already is in the asked state; 0 when it did not open.
    int32_t SetOpened(bool open, bool atAnchor);
    bool IsOpened() const { return opened_; }
    static bool IsOpenPopup(oxBox* box);
    // The popup that the box's attribute (`popup`, `context`) names: "_child" its first child
    // popup, another text the popup of that id; null when there is none.
    static oxPopupBox* NamedBy(oxBox* box, oxAtom attribute);
    // The box's "showNoActivate" is "ignoreinput" (any case) or true: it shows without taking
    // the focus or the keys.
    static bool IsShowNoActivate(oxBox* box);
    void SetPopupCollapsed(bool collapsed);

    oxPopupBox* GetParentPopup() const { return parentPopup_; }
    oxPopupBox* GetChildPopup() const { return childPopup_; }
    // The popup opened by a context menu on a box inside this one, and the other way round.
    oxPopupBox* GetContextChild() const { return contextChild_; }
    oxPopupBox* GetContextParent() const { return contextParent_; }
    // Links the popup below this one as its context menu (undone when it closes).
    void LinkContextChild(oxPopupBox* child);
    // The outermost popup among this box and its ancestors.
    oxPopupBox* GetOutermostPopup();
    bool IsIndependent() const { return independent_; }
    void SetIndependent(bool on) { independent_ = on; }
    void SetPopAnchor(bool on) { popAnchor_ = on; }
    int32_t GetOverflowX() const { return overflowX_; }
    int32_t GetOverflowY() const { return overflowY_; }
    bool IsSqueezed() const { return squeezed_; }
    // The selectable child under the pointer or chosen by the keyboard, marked "current".
    oxBox* GetCurrentPopupChild() const { return current_; }
    void SetCurrentPopupChild(oxBox* box);
    // The first selectable child, the one SelectFirstChild makes current; null when none.
    oxBox* GetFirstPopupChild();
    void SelectFirstChild();
    void SelectLastChild();
    // Clears every reference of the chain to a box that goes away.
    void ForgetBox(oxBox* box);

    // Where the last placement put the popup on the screen.
    const oxRect& GetScreenRect() const { return screenRect_; }
    oxPopupFrame* GetPopupFrame();
    // The popup frame once made; the popup's own kind of frame.
    oxBoxFrame* GetFrame() override { return frame_.get(); }

private:
    void LinkIntoChain();
    void UnlinkFromChain();
    void Place(bool atAnchor);
    // Writes the placement's offsets into the `left` and `top` style values where they differ.
    void SetOffsets(int32_t left, int32_t top);
    void Raise(oxAtom type);
    bool HasVisibleChild();
    void HandleKey(oxEvent* event, uint16_t key);
    // Left and Right: through the menus of a menu bar, or into and out of submenus.
    bool HandleMenuKey(oxBox* target, uint16_t key);
    // The focus leaves for the popup, and comes back when the chain closes.
    void SaveFocus();
    void RestoreFocus();

    bool opened_ = false;
    int32_t overflowX_ = 0;
    int32_t overflowY_ = 0;
    bool squeezed_ = false;
    bool popAnchor_ = true;
    oxPopupBox* parentPopup_ = nullptr;
    oxPopupBox* childPopup_ = nullptr;
    oxPopupBox* contextChild_ = nullptr;
    oxPopupBox* contextParent_ = nullptr;
    oxBox* current_ = nullptr;
    bool independent_ = false;
    int32_t rtlX_ = 0;
    oxPoint pointer_;
    oxRect screenRect_;
    std::unique_ptr<oxPopupFrame> frame_;
};

// Makes the box factory build popup boxes for the `popup` tag.
void oxRegisterPopupBoxKind();
