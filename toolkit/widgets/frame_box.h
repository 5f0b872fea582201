#pragma once
// oxFrameBox: a box that shows a platform child window inside its scene's window. It keeps the
// window at the box's place on screen, shows, hides and focuses it with the box, and clips it to
// the part of the box the scene's paint leaves visible. oxDHTMLBox (tag `dhtml`) hosts the HTML
// control in it and turns the control's notifications into "navigate", "readyStateChanged" and
// "keyDown" events.
#include "platform/types.h"
#include "platform/win/window.h"
#include "runtime/wide_string.h"
#include "toolkit/core/box.h"

class oxCanvas;

class oxFrameBox : public oxBox {
public:
    using oxBox::oxBox;
    ~oxFrameBox() override;

    oxAtom GetBoxType() const override { return kAtomFrameBox; }
    void OnSceneAttached() override;
    void SetScene(oxBoxScene* scene) override;
    void SetFocused(bool value, bool keepFrameFocus, bool quiet) override;
    // The scene laid out: the window follows the box.
    void RefreshFrame() override;

    // Makes the hosted window when there is none (shown unless `hidden`). Kinds make their own.
    virtual void CreateWindow(bool hidden) { (void)hidden; }
    virtual void ShowWindow();
    virtual void HideWindow();
    // Moves and sizes the window to the box when either changed.
    virtual void SyncPosition();
    // Hides the window of a box that does not show, else shows it, laying the scene out first
    // when `relayout` and a layout is pending.
    virtual void UpdateVisibility(bool relayout);
    // The box's content rectangle on screen, and whether its place or size differ from the window's.
    virtual void GetWindowRect(oxRect* rect, bool* moved, bool* resized);
    // Keeps the window inside the part of the box that the canvas's clip leaves, then repaints it.
    virtual void UpdateClip(oxCanvas* canvas, int flags);

    HWND GetWindow() const { return window_; }
    bool IsClipped() const { return clipped_; }

protected:
    // Destroys the window and gives the keyboard focus back to the scene's window.
    void DestroyHostedWindow();
    // The window of the scene's root frame, which hosted windows are children of.
    HWND GetRootWindow() const;
    // Hidden, collapsed or excluded: the window must not show.
    bool IsOutOfSight() const;

    HWND window_ = nullptr;
    bool moving_ = false;
    bool clipped_ = false;
};

class oxDHTMLBox : public oxFrameBox {
public:
    using oxFrameBox::oxFrameBox;
    ~oxDHTMLBox() override;

    oxAtom GetBoxType() const override { return kAtomDhtml; }
    void CreateWindow(bool hidden) override;
    void Paint(oxCanvas* canvas) override;
    void SetHidden(bool value) override;
    void SetHiddenByAncestor(bool value) override;
    void SetCollapsed(bool value, bool forced) override;

    // Loads text as the page and keeps it as the `value` attribute; null drops both.
    void SetContent(const WCHAR* text);
    const NUBO::TWString& GetHref() const { return href_; }
    // Keeps the address and asks the control to go there.
    void SetHref(const WCHAR* href);
    // 0 without a control.
    LRESULT StopNavigate();

private:
    static LRESULT ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Turns the control's notification into the box's event; false for one it does not raise.
    void OnNotify(const struct NMHDR* hdr);
    void RaiseNavigate(const WCHAR* url);
    // The box became hidden, collapsed or visible again.
    void ApplyVisibility();
    void DestroyControl();

    WNDPROC previousProc_ = nullptr;
    NUBO::TWString href_;
};

void oxRegisterDHTMLBoxKind();
