#pragma once
// The native frame of a box as the box tree sees it, and the services through which the tree
// reaches the frames and the frame input. Frames live far above the tree (with the widgets), so
// the tree declares what it asks of them here and the frames install the answers; until they do,
// no box gets a frame and every service does nothing.
#include <cstdint>

#include "toolkit/base/atoms.h"
#include "toolkit/base/rect.h"

class oxBox;
class oxCanvas;

// Presence bit of a box whose frame the frame side table holds.
constexpr uint16_t kHasFrame = 0x400;

class oxBoxFrame {
public:
    virtual ~oxBoxFrame();

    virtual oxAtom GetFrameType() const = 0;
    virtual oxBox* GetOwnerBox() const = 0;
    // Takes or drops the keyboard focus.
    virtual void SetFocus(bool on) = 0;
    // Paints what is dirty.
    virtual void Update(bool notify) = 0;
    // Clips the window to what the painting canvas's clip leaves visible of the box.
    virtual void UpdateWindowShape(const oxCanvas* painting) = 0;
    // Marks a rectangle of the frame (all of it for null) for the next update.
    virtual void Invalidate(const oxRect* rect, bool full) = 0;
    // The owner box is collapsed exactly when the frame has no window.
    virtual void SyncCollapsed() = 0;
    // Shows or hides the window as the owner box shows, laying the scene out first when asked.
    virtual void Refresh(bool relayout) = 0;
    // Moves and sizes the window to the owner box when either differs.
    virtual void PositionWindow() = 0;
    // Makes the window a child of the scene's window.
    virtual void AttachToParentFrame() = 0;
    virtual bool IsRightToLeft() const = 0;
    // The cursor on the screen and in the frame's client area; false without a window.
    virtual bool GetCursorPosition(oxPoint* screen, oxPoint* client) const = 0;

    // While either flag (0 or 1) is set, boxes painting in the frame are not culled against the
    // canvas clip.
    void SetNoCulling(int which, bool on);
    bool IsNoCulling() const { return noCulling[0] || noCulling[1]; }
    // A box asked the frame to repaint it (oxBox::UpdateFrameBounds).
    bool repaintRequested = false;

private:
    friend class oxBox;
    uint8_t noCulling[2] = {0, 0};
};

class oxBoxFrameServices {
public:
    virtual ~oxBoxFrameServices() = default;
    // A new frame for a box that owns one (the box's side table takes it), or null when the box's
    // kind or scene keeps its frame elsewhere.
    virtual oxBoxFrame* CreateFrame(oxBox* box) {
        (void)box;
        return nullptr;
    }
    // The frame that a framed box's kind or scene keeps for it elsewhere (the scene's window for its
    // root box), or null.
    virtual oxBoxFrame* FindFrame(oxBox* box) {
        (void)box;
        return nullptr;
    }
    // The frame input forgets a hovered box that leaves the tree.
    virtual void ForgetHoveredBox(oxBox* box) { (void)box; }
    // The cursor on the screen and in the client area of the frame that shows the box.
    virtual bool GetCursorPosition(oxBox* box, oxPoint* screen, oxPoint* client) {
        (void)box, (void)screen, (void)client;
        return false;
    }
};

// The installed services (a do-nothing set until one is installed). Null restores the default.
oxBoxFrameServices& oxGetBoxFrameServices();
void oxSetBoxFrameServices(oxBoxFrameServices* services);
