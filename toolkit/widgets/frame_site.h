#pragma once
// What a frame asks of its owner box's scene and of the layout and painter stages: layout, event
// dispatch, the scene's window-box frame, box geometry and painting. The scene implements it
// beside oxBoxScene; the frame finds it from the box's scene.
#include "toolkit/base/rect.h"

class oxBox;
class oxCanvas;
class oxEvent;
class oxFrame;

class oxFrameSite {
public:
    // Scene flag 0x2000: open.
    virtual bool IsSceneOpen() = 0;
    // Scene flag 0x20: a layout is wanted.
    virtual bool WantsLayout() { return true; }
    virtual void LayoutScene() = 0;
    virtual void DispatchEvent(oxEvent* event) = 0;
    // The frame of the scene's window box, or null.
    virtual oxFrame* GetWindowBoxFrame() = 0;
    virtual bool IsRightToLeft() { return false; }
    // Shown inside a box of another scene.
    virtual bool IsEmbedded() { return false; }
    // Message 1246: every frame of the scene's window boxes that has a window updates.
    virtual void UpdateWindowFrames() = 0;
    virtual void OnPaintFinished() {}
    virtual void FlushChangeNotifications() {}
    virtual void OnDisplayChanged() {}

    // The box's rectangle in its parent's coordinates.
    virtual oxRect GetBoxRect(oxBox* box) = 0;
    virtual oxPoint GetFramePosition(oxBox* box) = 0;
    // The rectangle a box covered when it was last painted and the one it covers now, in its
    // frame's coordinates.
    virtual void GetRepaintRects(oxBox* box, oxRect* previous, oxRect* current) = 0;
    // Paints the box and its subtree onto the canvas, within the canvas's clip.
    virtual void PaintBox(oxBox* box, oxCanvas* canvas) = 0;
    // The box under a point of the frame's client area.
    virtual oxBox* HitTest(oxBox* root, const oxPoint& point) = 0;
    // The window moved or was sized by someone else: its geometry goes into the box's styles.
    virtual void StoreWindowGeometry(oxBox* box, const oxRect& windowRect, bool position, bool size) {
        (void)box, (void)windowRect, (void)position, (void)size;
    }

protected:
    ~oxFrameSite() = default;
};

// The site of the box's scene, or null when the box has no scene or the scene gives none.
oxFrameSite* GetFrameSite(const oxBox* box);
