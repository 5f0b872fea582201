#pragma once
// What a scene asks of the frame window of its root box: show it, enable or disable it, paint its
// dirty parts, give the size its root box is laid out in, run and end a modal loop, and close it.
// Closing the window leads to oxRuntime::OnSceneClosed, which lets the scene go.
//
// The frames supply the real window; until a scene is given one it uses a stand-in that has no
// platform window: it records what it was asked, pumps the thread's messages for a modal loop,
// and tells the runtime at once when it is closed.
#include <cstdint>

#include "toolkit/base/rect.h"

class oxScene;

class oxSceneWindow {
public:
    virtual ~oxSceneWindow() = default;

    virtual void Show() = 0;
    virtual void SetEnabled(bool on) = 0;
    virtual bool IsEnabled() const = 0;
    // Paints what is dirty.
    virtual void Update() = 0;
    // Everything is painted again at the next update (the layout moved boxes).
    virtual void Invalidate() {}
    // One update (layout, then the boxes marked for repaint) at the next turn of the message loop;
    // asking again before it runs adds nothing.
    virtual void ScheduleUpdate() {}
    // The client area the root box is arranged in.
    virtual oxRect GetClientRect() const = 0;
    // Returns when EndModal was called.
    virtual void RunModalLoop() = 0;
    virtual void EndModal() = 0;
    virtual bool IsModal() const = 0;
    // Destroys the window; the scene may be gone when this returns.
    virtual void Destroy() = 0;
    virtual void SetWaitCursor(bool on) { (void)on; }
    // The root box's geometry changed: the window fits itself to it again at its next update.
    virtual void Refit() {}
};

// The window made for a scene when it opens. Answers the previous maker; null restores the stand-in.
using oxSceneWindowMaker = oxSceneWindow* (*)(oxScene* scene);
oxSceneWindowMaker SetSceneWindowMaker(oxSceneWindowMaker maker);
oxSceneWindow* MakeSceneWindow(oxScene* scene);

// The stand-in window, open so that tests can read what it was asked.
class oxStandInSceneWindow : public oxSceneWindow {
public:
    explicit oxStandInSceneWindow(oxScene* scene) : scene_(scene) {}

    void Show() override { shown = true; }
    void SetEnabled(bool on) override { enabled = on; }
    bool IsEnabled() const override { return enabled; }
    void Update() override { ++updates; }
    void Refit() override { ++refits; }
    oxRect GetClientRect() const override;
    void RunModalLoop() override;
    void EndModal() override { modal_ = false; }
    bool IsModal() const override { return modal_; }
    void Destroy() override;

    bool shown = false;
    bool enabled = true;
    int updates = 0;
    int refits = 0;

private:
    oxScene* scene_;
    bool modal_ = false;
    bool destroyed_ = false;
};
