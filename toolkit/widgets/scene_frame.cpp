#include "toolkit/widgets/scene_frame.h"

#include <new>
#include <vector>

#include "graphics/paint/canvas.h"
#include "platform/shell/task_bar.h"
#include "platform/win/screen.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/widgets/frame_input.h"

namespace {

oxSceneWindow* MakeSceneFrame(oxScene* scene) {
    return new (std::nothrow) oxSceneFrame(scene);
}

oxSceneInput* MakeFrameInput() {
    return new (std::nothrow) oxFrameInput();
}

// What the box tree asks of the frames: frames for framed boxes, the frame input's hover, the
// cursor.
class BoxFrameServices : public oxBoxFrameServices {
public:
    oxBoxFrame* CreateFrame(oxBox* box) override {
        // Windows and popups make frames of their own kinds; a scene's root shows in the scene's window.
        const oxAtom type = box->GetBoxType();
        if (type == kAtomWindow || type == kAtomPopup) return nullptr;
        oxBoxScene* scene = box->GetScene();
        if (scene && scene->GetRootBox() == box) return nullptr;
        return new (std::nothrow) oxFrame(box);
    }
    oxBoxFrame* FindFrame(oxBox* box) override {
        oxSceneFrame* window = oxSceneFrame::Of(box->GetScene());
        oxFrame* frame = window ? window->GetFrame() : nullptr;
        return frame && frame->GetOwnerBox() == box ? frame : nullptr;
    }
    void ForgetHoveredBox(oxBox* box) override {
        auto* scene = dynamic_cast<oxScene*>(box->GetScene());
        oxRuntime* runtime = scene ? scene->GetSceneRuntime() : nullptr;
        auto* input = runtime ? dynamic_cast<oxFrameInput*>(runtime->GetFrameInput()) : nullptr;
        oxBox* hovered = input ? input->GetHoveredBox() : nullptr;
        if (hovered && (hovered == box || box->IsAncestorOf(hovered))) input->SetHoveredBox(nullptr);
    }
    bool GetCursorPosition(oxBox* box, oxPoint* screen, oxPoint* client) override {
        oxBoxFrame* host = box->GetHostFrame();
        return host && host->GetCursorPosition(screen, client);
    }
};

BoxFrameServices gBoxFrameServices;

// The frame of a box that owns one in the frame side table, or null.
oxFrame* OwnFrameOf(oxBox* box) {
    return box->HasSideTableEntry(kHasFrame) ? dynamic_cast<oxFrame*>(box->GetFrame()) : nullptr;
}

} // namespace

oxSceneWindowMaker oxSceneFrame::Install() {
    SetSceneInputMaker(MakeFrameInput);
    oxSetBoxFrameServices(&gBoxFrameServices);
    return SetSceneWindowMaker(MakeSceneFrame);
}

void oxSceneFrame::Uninstall() {
    SetSceneInputMaker(nullptr);
    oxSetBoxFrameServices(nullptr);
    SetSceneWindowMaker(nullptr);
}

oxSceneFrame* oxSceneFrame::Of(oxBoxScene* scene) {
    auto* s = dynamic_cast<oxScene*>(scene);
    return s ? dynamic_cast<oxSceneFrame*>(s->GetWindow()) : nullptr;
}

oxSceneFrame::oxSceneFrame(oxScene* scene) : scene_(scene) {
    oxBox* root = scene->GetRootBox();
    if (root) {
        root->SetChangeFlag(kChangeFramed, true);
        frame_.reset(new (std::nothrow) oxWindowFrame(root));
    }
}

oxSceneFrame::~oxSceneFrame() {
    frame_.reset();
}

void oxSceneFrame::Show() {
    if (!frame_) return;
    if (frame_->GetWindow()) {
        frame_->Show();
        return;
    }
    frame_->Create(false);
    // The window now has its size: the root box is laid out in it.
    scene_->QueueLayout(scene_->GetRootBox());
    Invalidate();
}

void oxSceneFrame::SetEnabled(bool on) {
    if (!frame_) return;
    if (on)
        frame_->Enable();
    else
        frame_->Disable();
}

bool oxSceneFrame::IsEnabled() const {
    return frame_ && !frame_->IsDisabled();
}

void oxSceneFrame::Update() {
    if (frame_ && frame_->GetWindow()) frame_->Update(true);
}

void oxSceneFrame::Invalidate() {
    if (frame_) frame_->Invalidate(nullptr, true);
}

void oxSceneFrame::ScheduleUpdate() {
    if (frame_) frame_->Invalidate(nullptr, false);
}

oxRect oxSceneFrame::GetClientRect() const {
    if (frame_ && frame_->GetWindow()) return frame_->GetClientRect();
    const ScreenConfig& screen = GetScreen().config;
    return oxRect().Set(0, 0, screen.width, screen.height);
}

void oxSceneFrame::RunModalLoop() {
    if (frame_) frame_->RunModalLoop();
}

void oxSceneFrame::EndModal() {
    if (frame_) frame_->EndModal();
}

bool oxSceneFrame::IsModal() const {
    return frame_ && frame_->IsModal();
}

void oxSceneFrame::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (frame_) frame_->LetGoOfActivation();
    if (frame_) frame_->EndModal();
    frame_.reset();
    // The runtime may let the scene, and with it this window, go.
    if (oxRuntime* runtime = scene_->GetSceneRuntime()) runtime->OnSceneClosed(scene_);
}

bool oxSceneFrame::IsSceneOpen() {
    return (scene_->GetState() & oxScene::kOpen) != 0 && !destroyed_;
}

bool oxSceneFrame::IsRightToLeft() {
    return scene_->IsRightToLeft();
}

void oxSceneFrame::LayoutScene() {
    scene_->Layout();
}

void oxSceneFrame::DispatchEvent(oxEvent* event) {
    scene_->DispatchEvent(event);
}

void oxSceneFrame::UpdateWindowFrames() {
    Update();
    // The boxes with frames of their own paint in their windows after the scene's window. An update
    // may run handlers that drop boxes: walk a copy, held.
    std::vector<oxBox*> boxes = scene_->GetFrameBoxes();
    for (oxBox* b : boxes)
        b->AddRef();
    for (oxBox* b : boxes) {
        oxFrame* frame = b->GetScene() == scene_ ? OwnFrameOf(b) : nullptr;
        if (frame && frame->GetWindow() && !destroyed_) frame->Update(true);
        b->Release();
    }
}

void oxSceneFrame::Refit() {
    // The next update lays the scene out and moves the window onto the root box.
    if (frame_ && frame_->GetWindow()) frame_->Invalidate(nullptr, false);
}

void oxSceneFrame::OnPaintFinished() {
    scene_->PresentBoxes();
}

oxRect oxSceneFrame::GetBoxRect(oxBox* box) {
    return box->GetBoxRect();
}

oxPoint oxSceneFrame::GetFramePosition(oxBox* box) {
    if (box != (frame_ ? frame_->GetOwnerBox() : nullptr) && box->HasSideTableEntry(kHasFrame)) {
        // A box's own window is a child of the scene's window: it stands where the box shows in the
        // root, moved by what the boxes above it scrolled.
        oxPoint at{0, 0};
        for (oxBox* b = box; b && b->GetParent(); b = b->GetLogicalParent()) {
            at.Offset(b->GetPacked(0).x, b->GetPacked(0).y);
            if (oxBox* up = b->GetLogicalParent(); up && up->GetLayoutIfMade()) {
                at.x -= up->GetScrollX();
                at.y -= up->GetScrollY();
            }
        }
        return at;
    }
    oxPoint at = box->GetFramePosition();
    if (frame_ && box == frame_->GetOwnerBox()) {
        // The window box's place is kept relative to the work area.
        const RECT work = platform::shell::GetWorkArea();
        at.Offset(work.left, work.top);
    }
    return at;
}

void oxSceneFrame::GetRepaintRects(oxBox* box, oxRect* previous, oxRect* current) {
    oxRect r = box->GetPaintArea();
    const oxRect own = box->GetBoxRect();
    if (OwnFrameOf(box)) {
        // The box stands at the origin of its own window.
        r.Offset(oxPoint{-own.x, -own.y});
        *previous = *current = r;
        return;
    }
    oxPoint at = box->GetFramePosition();
    // Boxes keep their unscrolled places; a scrolled ancestor paints them moved by its offsets.
    for (oxBox* b = box->GetParent(); b && !b->TestChangeFlags(kChangeFramed); b = b->GetParent()) {
        if (!b->GetLayoutIfMade()) continue;
        at.x -= b->GetScrollX();
        at.y -= b->GetScrollY();
    }
    r.Offset(oxPoint{at.x - own.x, at.y - own.y});
    *previous = *current = r;
}

void oxSceneFrame::PaintBox(oxBox* box, oxCanvas* canvas) {
    // A box paints on a canvas that stands at its parent: in its own window the parent's origin lies
    // up and left of the window's by the box's place.
    const oxPoint at = OwnFrameOf(box) ? box->GetPacked(0) : oxPoint{0, 0};
    canvas->OffsetOrigin(float(-at.x), float(-at.y));
    box->Paint(canvas);
    canvas->OffsetOrigin(float(at.x), float(at.y));
}

oxBox* oxSceneFrame::HitTest(oxBox* root, const oxPoint& point) {
    oxBox* hit = root->HitTest(point);
    return hit ? hit : root;
}

void oxSceneFrame::StoreWindowGeometry(oxBox* box, const oxRect& windowRect, bool, bool size) {
    // The scene's root is laid out in the window's client area: a window that the platform sized
    // (the screen turned, the work area changed) makes the scene lay out again at once, before the
    // frame would put the window back to the box's old size.
    if (!size || !box || !scene_) return;
    const oxRect now = box->GetBoxRect();
    if (now.width == windowRect.width && now.height == windowRect.height) return;
    box->RequestLayout();
    scene_->Layout();
}

oxWindowFrame* oxSceneFrame::GetOwnerWindowFrame() {
    oxScene* opener = (scene_->GetState() & oxScene::kDialog) ? scene_->GetOpener() : nullptr;
    auto* owner = opener ? dynamic_cast<oxSceneFrame*>(opener->GetWindow()) : nullptr;
    return owner ? owner->GetFrame() : nullptr;
}

void oxSceneFrame::Close(bool forced) {
    scene_->Close(forced);
}
