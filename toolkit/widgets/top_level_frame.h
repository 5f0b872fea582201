#pragma once
// oxWindowFrame: the frame of a window box, a top-level window with a title, the shell's soft-key
// menu bar, full-screen handling, a modal loop, and fitting to the part of the screen that the
// input panel and the menu bar leave free. Painting, input and invalidation are the base frame's.
#include <cstdint>
#include <string>

#include "toolkit/widgets/frame.h"

class oxWindowFrame;

// What the top-level frame asks of its window box. The window box kind implements it; a box that
// does not answers as a plain, titled, undocked window without a menu of its own.
class oxWindowBoxInfo {
public:
    virtual const WCHAR* GetTitle() { return nullptr; }
    virtual bool IsChromeless() { return false; }
    virtual void SetChromeless(bool on) { (void)on; }
    virtual oxAtom GetDockAffinity() { return 0; }
    virtual bool IsFloating() { return false; }
    virtual bool IsAlwaysOnTop() { return false; }
    virtual int32_t GetDockSide() { return 0; }
    virtual void SetDockSide(int32_t side) { (void)side; }
    // Installs the window box's menu as the window's menu bar; false when there is none.
    virtual bool RefreshMenu() { return false; }
    // The work area moved: the window box lays itself out again.
    virtual void Relayout() {}
    // Snapping: the class (null when none), the margins (left, top, right, bottom in x, y, width,
    // height) and the order of the window among the windows it snaps to.
    virtual const std::u16string* GetSnapToBoxClass() const { return nullptr; }
    virtual const oxRect& GetSnapToOffset() const;
    virtual int32_t GetSnapToBoxOrder() const { return 0; }

protected:
    ~oxWindowBoxInfo() = default;
};

// What the top-level frame asks of its scene, beside the frame site and the input scene.
class oxWindowScene {
public:
    // Scene option bit 4: shown without activation.
    virtual bool ShowsWithoutActivation() { return false; }
    // The window frame of the owner scene when this scene is owned, else null.
    virtual oxWindowFrame* GetOwnerWindowFrame() { return nullptr; }
    // Asks the scene to close (listeners may refuse).
    virtual void Close(bool forced) = 0;
    // Inside an event dispatch: the window's destruction waits until the outermost one ends.
    virtual bool IsDispatching() { return false; }
    virtual void DeferDestroy() {}
    virtual void SetActive(bool on) { (void)on; }
    virtual void OnWindowGone() {}

protected:
    ~oxWindowScene() = default;
};

// Private message posted after the work area changed.
constexpr UINT kMsgDisplayChanged = 1125;

class oxWindowFrame : public oxFrame {
public:
    explicit oxWindowFrame(oxBox* owner);
    ~oxWindowFrame() override;

    oxAtom GetFrameType() const override { return kAtomWindowFrame; }
    void RequestDestroy() override;
    void BringToFront() override;
    void StoreWindowPosition() override;
    void StoreWindowSize() override;
    void PositionWindow() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void TrackMouseLeave() override;
    void Create(bool hidden) override;
    void OnWindowDestroyed() override;
    void Hide() override;
    LRESULT HandleMouseMessageTopLevel(oxAtom atom, int32_t button, const oxPoint& point);

    void SetFlashing(bool on);
    void SetFullScreen(bool on);
    void SetToolWindow(bool on);
    void SetResizable(bool on);
    void FitToVisibleArea();
    void AdjustForWorkArea(int32_t* x, int32_t* y) const;
    void SetDockSide(int32_t side);
    int32_t GetDockSide() const { return dockSide_; }
    void SetDockAffinity(oxAtom atom);
    oxAtom GetDockAffinity() const { return dockAffinity_; }
    void SetTitle(const WCHAR* text);
    // Gives the window the shell's menu bar built from the menu (its first two items are the soft
    // keys); the menu stays the caller's. False without a window.
    bool SetMenuBar(HMENU menu);
    // Runs the window's own message loop until EndModal or a quit message (which it consumes).
    void RunModalLoop();
    void EndModal();
    // A window that goes away hears no deactivation: while it is the active one, its scene's focused
    // box is blurred (and lets go of the input panel it opened) before the next window is activated.
    void LetGoOfActivation();
    bool IsModal() const { return (windowFlags_ & kModal) != 0; }
    bool IsPositioned() const { return (windowFlags_ & kPositioned) != 0; }
    void SetDeferDoubleClick(bool on);
    const RECT& GetSavedWorkArea() const { return savedWorkArea_; }
    // Refits a chromeless window to its monitor; reports no placement (0).
    int32_t GetPlacement();
    // The platform keeps no placement to restore: does nothing.
    int32_t SetPlacement() { return 0; }
    // A chromeless window exactly as large as its monitor becomes one unit shorter.
    void FitChromelessToMonitor();

    // Snap groups: the matching windows that touch this one and come after it in snap order are
    // attached to it and move with it from then on.
    void AttachSnapGroup();
    // Every matching window lets go of its anchor, then each (but this one when it goes away)
    // gathers its own followers again.
    void ReleaseSnapGroup(bool destroying);
    oxWindowFrame* GetSnapAnchor() const { return snapAnchor_; }
    // The window's rectangle on the screen grown by the snap margins; empty without a window.
    oxRect GetSnapRect() const;

private:
    static constexpr uint8_t kPositioned = 0x1, kFlashing = 0x2, kDeferDoubleClick = 0x4, kDoubleClickDeferred = 0x8,
                             kModal = 0x10, kMenuPopupSeen = 0x20, kHadTopmost = 0x40,
                             kWorkAreaChangedWhileDocked = 0x80;

    oxWindowBoxInfo* Info() const;
    bool HasSnapClass() const;
    bool SnapsWith(const oxWindowFrame* other) const;
    int32_t SnapOrder() const;
    void MoveSnapFollowers();
    oxWindowScene* WindowScene() const;
    void Activate(bool on, HWND other);
    void ApplyWorkArea();
    bool IsPopupFrameOfThisThread(HWND hwnd) const;

    uint8_t windowFlags_ = 0;
    oxPoint lastClientOrigin_{-4095, -4095};
    int32_t dockSide_ = 0;
    UINT deferredMessage_ = 0;
    WPARAM deferredWParam_ = 0;
    LPARAM deferredLParam_ = 0;
    oxAtom dockAffinity_;
    RECT savedWorkArea_{0, 0, 0, 0};
    // The empty soft-key bar's menu, made for a window without a menu of its own.
    HMENU softKeyMenu_ = nullptr;
    // The box that had the focus when the window was last deactivated.
    oxBox* focusAtDeactivation_ = nullptr;
    // Cleared by the destructor, so that a modal loop notices the frame went away under it.
    bool* alive_ = nullptr;
    // The window this one moves with, and its offset from it.
    oxWindowFrame* snapAnchor_ = nullptr;
    oxPoint snapOffset_{};
};
