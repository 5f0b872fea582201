#pragma once
// oxFrame: the toolkit's native window. One platform window hosts one owner box (a window box or a
// popup box) and everything below it. The frame creates and destroys the window, turns window
// messages into toolkit events, keeps the window in step with the box's geometry, and repaints:
// changed areas collect in a dirty region, one posted update paints them into an offscreen canvas
// and copies them onto the window. The frame never owns its box; the box's side table owns it.
#include <cstdint>
#include <memory>

#include "platform/win/window.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/widgets/event_listener_map.h"

class oxBox;
class oxCanvas;
class oxEvent;
class oxRuntime;
class oxFrameSite;
class oxRegion;

// Private messages of frame windows.
constexpr UINT kMsgForwardedMouse = 1126;
constexpr UINT kMsgFrameUpdate = 1246;
constexpr UINT kMsgFrameDestroy = 1247;

// The window class of every frame.
inline constexpr const WCHAR* kFrameWindowClass = u"__oxFrame.class__";

// The toolkit's start registers one use of the class, its shutdown drops it.
bool RegisterFrameWindowClass();

// A rectangle of a window's client area on the screen. A right-to-left window counts client x from
// its right edge, so there the rectangle lands mirrored. A null window leaves it as it is.
oxRect ClientRectToScreen(HWND window, const oxRect& r);
// The other way: a rectangle on the screen in the window's client coordinates.
oxRect ScreenRectToClient(HWND window, const oxRect& r);
void UnregisterFrameWindowClass();
LRESULT FrameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

class oxFrame : public oxBoxFrame {
public:
    explicit oxFrame(oxBox* owner);
    ~oxFrame() override;
    oxFrame(const oxFrame&) = delete;
    oxFrame& operator=(const oxFrame&) = delete;

    oxAtom GetFrameType() const override { return kAtomFrame; }
    virtual void SetMouseCapture(bool on);
    virtual void Enable();
    virtual void Disable();
    virtual bool IsDisabled() const;
    virtual bool HasFocus() const;
    void SetFocus(bool on) override;
    virtual bool GetUserFlag() const { return userFlag_; }
    virtual void SetUserFlag(bool on) { userFlag_ = on; }
    virtual void RequestDestroy();
    virtual void BringToFront() {}
    // The repaint: lays out, paints the dirty rectangles and copies them onto the window.
    void Update(bool notify) override;
    // Gives the window a shape of the part of it that the painting context's clip leaves visible.
    void UpdateWindowShape(const oxCanvas* painting) override;
    // Adds a rectangle (client coordinates) to the dirty region and asks for one update.
    void Invalidate(const oxRect* rect, bool full) override;
    void SyncCollapsed() override;
    void Refresh(bool relayout) override;
    virtual void StoreWindowPosition();
    virtual void StoreWindowSize();
    void PositionWindow() override;
    virtual oxRect GetBoxRectInFrame() const;
    virtual oxRect GetClientRect() const;
    // Each reports whether the position and the size differ from the window's.
    virtual oxRect ComputeWindowRect(bool* positionDiffers, bool* sizeDiffers) const;
    virtual oxRect ComputeWindowRectMirrored(bool* positionDiffers, bool* sizeDiffers) const;
    virtual oxPoint GetNonClientSize() const;
    virtual oxRect GetBoundsRect() const;
    virtual void ClearBoundsRect();
    virtual void ExtendBounds(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void TrackMouseLeave();
    virtual LRESULT HandleMouseMessage(oxAtom atom, int32_t button, const oxPoint& point, bool outside);
    // WM_CONTEXTMENU: a "contextMenu" event at the box under the screen point, or from the keyboard
    // (lParam -1) at the focused box's centre.
    void HandleContextMenu(LPARAM lParam);
    virtual int32_t HandleKeyMessage(oxAtom atom, UINT keyCode, LPARAM lParam, bool* allowed);
    virtual int32_t HandleMenuCommand(oxAtom atom, int32_t id);
    virtual void BeginBoxCapture();
    virtual void EndBoxCapture();
    // Moves the canvas pixels of the box's rectangle up by `delta` and copies them onto the window.
    virtual void ScrollContent(oxBox* box, int32_t delta, const oxRect* rect);
    virtual void SetScale(float scale);
    // After an interface scale change: every open scene of the runtime lays out and repaints its
    // window box, all marked first and then laid out, so that no scene measures against stale ones.
    static void RelayoutAllScenes(oxRuntime* runtime);
    virtual oxRect GetWindowRect() const;
    virtual void Create(bool hidden);
    virtual void OnWindowDestroyed();
    virtual void Show();
    virtual void Hide();

    // The character of the next WM_CHAR waiting in the queue, looked at without taking it.
    static WCHAR GetKeyCharacter(UINT keyCode);
    void SetTopmost(bool on);
    bool IsTopmost() const;
    bool HasCapture() const;
    void AttachToParentFrame() override;
    bool IsRightToLeft() const override;
    bool GetCursorPosition(oxPoint* screen, oxPoint* client) const override;
    void DestroyFrameWindow();
    // Gives the owner box the "flip" style "x" (when on).
    void MirrorOwnerBox(bool on);
    // The frame keeps no registry of access keys: registering answers the box's "accessKey" text
    // (null without a box), withdrawing answers 0. No key press is matched against them.
    const WCHAR* RegisterAccessKey(oxBox* box);
    int32_t UnregisterAccessKey(oxBox* box);

    HWND GetWindow() const { return window_; }
    oxBox* GetOwnerBox() const override { return owner_; }
    oxCanvas* GetCanvas() const { return canvas_.get(); }
    oxRegion* GetDirtyRegion() const { return dirty_.get(); }
    oxEventListenerMap& GetListeners() { return listeners_; }
    bool IsUpdatePosted() const { return updatePosted_; }
    bool IsPainting() const { return painting_; }

    // Process-wide input state shared by all frames.
    static oxBox* capturedBox;
    static oxBox* lastLeftDownBox;
    static oxBox* keyDownOwner;

protected:
    oxFrameSite* Site() const;
    void Dispatch(oxEvent* event);
    // Marks the boxes of the subtree for repaint into the dirty region (the walk of the update).
    void CollectDirtyBoxes(oxBox* box);
    void PaintRect(const oxRect* clip);
    bool EnsureCanvas();

    HWND window_ = nullptr;
    oxBox* owner_;
    std::unique_ptr<oxCanvas> canvas_;
    std::unique_ptr<oxRegion> dirty_;
    RECT bounds_{0, 0, 0, 0};
    bool updatePosted_ = false;
    bool userFlag_ = false;
    bool positioning_ = false;
    bool boxCaptured_ = false;
    bool trackingMouseLeave_ = false;
    bool painting_ = false;
    bool fullRepaint_ = true;
    bool firstUpdate_ = true;
    bool paintPending_ = false;
    oxEventListenerMap listeners_;
    uint8_t flags_ = 0; // bit 0: handling a mouse message; bit 1: the window has a shape of its own
    bool keyDefaultAllowed_ = true;

    // Lives on the stack of a handler that dispatches events: a handler may close the scene and
    // with it the frame, which then marks every guard so that nothing touches it afterwards.
    struct DispatchGuard {
        explicit DispatchGuard(oxFrame* f) : frame(f), outer(f->guard_) { f->guard_ = this; }
        ~DispatchGuard() {
            if (!gone) frame->guard_ = outer;
        }
        DispatchGuard(const DispatchGuard&) = delete;
        DispatchGuard& operator=(const DispatchGuard&) = delete;
        oxFrame* frame;
        DispatchGuard* outer;
        bool gone = false;
    };
    DispatchGuard* guard_ = nullptr;
};
