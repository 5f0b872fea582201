#pragma once
// oxSceneFrame: the window of an open scene. It owns the top-level frame of the scene's root box
// and answers the frame's questions (layout, geometry, painting, hit testing, dispatch) for the
// scene, which cannot know the frames: the frames sit above the scene library.
#include <memory>

#include "toolkit/scene/scene_window.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/top_level_frame.h"

class oxBoxScene;

class oxSceneFrame : public oxSceneWindow, public oxFrameSite, public oxWindowScene {
public:
    explicit oxSceneFrame(oxScene* scene);
    ~oxSceneFrame() override;

    // Makes the scenes opened from now on show in top-level frames, and the runtimes started from
    // now on route their scenes' input through a frame input; answers the previous window maker.
    static oxSceneWindowMaker Install();
    // Takes both makers back.
    static void Uninstall();
    // The scene frame of a box scene that is an open scene with one, or null.
    static oxSceneFrame* Of(oxBoxScene* scene);

    oxWindowFrame* GetFrame() const { return frame_.get(); }

    // oxSceneWindow.
    void Show() override;
    void SetEnabled(bool on) override;
    bool IsEnabled() const override;
    void Update() override;
    void Invalidate() override;
    void ScheduleUpdate() override;
    oxRect GetClientRect() const override;
    void RunModalLoop() override;
    void EndModal() override;
    bool IsModal() const override;
    void Destroy() override;
    void Refit() override;

    // oxFrameSite.
    bool IsSceneOpen() override;
    void LayoutScene() override;
    void DispatchEvent(oxEvent* event) override;
    oxFrame* GetWindowBoxFrame() override { return frame_.get(); }
    bool IsRightToLeft() override;
    void UpdateWindowFrames() override;
    void OnPaintFinished() override;
    oxRect GetBoxRect(oxBox* box) override;
    oxPoint GetFramePosition(oxBox* box) override;
    void GetRepaintRects(oxBox* box, oxRect* previous, oxRect* current) override;
    void PaintBox(oxBox* box, oxCanvas* canvas) override;
    oxBox* HitTest(oxBox* root, const oxPoint& point) override;
    void StoreWindowGeometry(oxBox* box, const oxRect& windowRect, bool position, bool size) override;

    // oxWindowScene.
    // A dialog's window is owned by its opener's: the opener is active again when it goes.
    oxWindowFrame* GetOwnerWindowFrame() override;
    void Close(bool forced) override;

private:
    oxScene* scene_;
    std::unique_ptr<oxWindowFrame> frame_;
    bool destroyed_ = false;
};
