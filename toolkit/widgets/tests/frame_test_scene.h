#pragma once
// A scene for the frame tests: boxes are plain rectangles of one colour each, painted in tree order;
// the root box's frame is a top-level window that clips its children, as a window box's is.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "graphics/paint/canvas.h"
#include "platform/backend/headless.h"
#include "platform/win/region.h"
#include "platform/win/screen.h"
#include "platform/win/window_paint.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/event.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"

namespace test {

// The canvas of a size, clipped to a rectangle.
inline void ClipTo(oxCanvas& canvas, const RECT& clip) {
    canvas.IntersectClip(oxCanvasRect{clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top});
}

// Checks that a window's shape, the region it is clipped to, has the bounds given.
inline void ExpectShape(HWND window, const RECT& expected) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, region), ERROR);
    RECT bounds{};
    GetRgnBox(region, &bounds);
    DeleteObject(region);
    EXPECT_EQ(bounds.left, expected.left);
    EXPECT_EQ(bounds.top, expected.top);
    EXPECT_EQ(bounds.right, expected.right);
    EXPECT_EQ(bounds.bottom, expected.bottom);
}

class HostFrame : public oxFrame {
public:
    using oxFrame::oxFrame;
    oxAtom GetFrameType() const override { return kAtomWindowFrame; }
    void Create(bool hidden) override {
        if (window_) return;
        const oxRect r = GetFrameSite(owner_)->GetBoxRect(owner_);
        window_ = CreateWindowExW(0, kFrameWindowClass, nullptr, WS_POPUP | WS_CLIPCHILDREN, r.x, r.y, r.width,
                                  r.height, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!hidden) ShowWindow(window_, SW_SHOWNA);
    }
};

class Scene : public oxBoxScene, public oxFrameSite {
public:
    struct Look {
        oxRect rect; // in the parent's coordinates
        uint32_t colour;
        oxRect painted; // in the frame's coordinates, as last painted
    };

    Scene() {
        RegisterFrameWindowClass();
        root = Add(nullptr, {0, 0, 60, 50}, 0xFF202020);
        root->SetChangeFlag(kChangeFramed, true);
        host = std::make_unique<HostFrame>(root);
    }
    ~Scene() {
        frames.clear();
        host.reset();
        root->Release();
        UnregisterFrameWindowClass();
    }

    oxBox* Add(oxBox* parent, oxRect rect, uint32_t colour) {
        auto* box = new oxBox(kAtomBox);
        if (parent) parent->AddChild(box); // the parent takes the creation reference
        box->AttachSubtreeToScene(this);
        looks[box] = Look{rect, colour, {}};
        return box;
    }
    // A box with a child frame of its own.
    oxFrame* AddFramed(oxBox* box) {
        box->SetChangeFlag(kChangeFramed, true);
        frames.push_back(std::make_unique<oxFrame>(box));
        return frames.back().get();
    }
    // Changes a box's look and marks it for repaint, as a style change would.
    void Restyle(oxBox* box, uint32_t colour) {
        looks[box].colour = colour;
        box->SetChangeFlag(kChangeRepaintPending, true);
        for (oxBox* p = box->GetParent(); p; p = p->GetParent())
            p->SetChangeFlag(kChangeSubtreeDirty, true);
    }

    // oxBoxScene.
    oxBox* GetRootBox() override { return root; }

    // oxFrameSite.
    bool IsSceneOpen() override { return open; }
    void LayoutScene() override { ++layouts; }
    void DispatchEvent(oxEvent* event) override { events.push_back(event->GetType()); }
    oxFrame* GetWindowBoxFrame() override { return host.get(); }
    void UpdateWindowFrames() override {
        ++updates;
        if (host->GetWindow()) host->Update(true);
        for (auto& f : frames)
            if (f->GetWindow()) f->Update(true);
    }
    void OnPaintFinished() override { ++paintsFinished; }
    oxRect GetBoxRect(oxBox* box) override { return looks[box].rect; }
    oxPoint GetFramePosition(oxBox* box) override {
        oxPoint p{};
        for (oxBox* b = box; b && b != root; b = b->GetParent())
            p.Offset(looks[b].rect.x, looks[b].rect.y);
        return p;
    }
    void GetRepaintRects(oxBox* box, oxRect* previous, oxRect* current) override {
        *previous = looks[box].painted;
        *current = InFrame(box);
    }
    void PaintBox(oxBox* box, oxCanvas* canvas) override {
        if (onPaint) onPaint();
        for (oxBox* b = box; b; b = b->GetNextBox(box, false, false)) {
            if (b != box && b->TestChangeFlags(kChangeFramed)) continue; // it paints in its own frame
            const oxRect r = InFrameOf(b, box);
            canvas->SetColor(looks[b].colour & 0xFFFFFF);
            canvas->FillRectI(RECT{r.x, r.y, int(r.Right()), int(r.Bottom())}, 0);
            looks[b].painted = InFrame(b);
        }
    }
    oxBox* HitTest(oxBox* from, const oxPoint& point) override {
        oxBox* hit = from;
        for (oxBox* b = from; b; b = b->GetNextBox(from, false, false))
            if (InFrameOf(b, from).Contains(point)) hit = b;
        return hit;
    }
    void StoreWindowGeometry(oxBox*, const oxRect&, bool, bool) override { ++stores; }

    // The box's rectangle relative to `frameBox`'s origin.
    oxRect InFrameOf(oxBox* box, oxBox* frameBox) {
        oxRect r = looks[box].rect;
        r.x = r.y = 0;
        for (oxBox* b = box; b && b != frameBox; b = b->GetParent())
            r.Offset(oxPoint{looks[b].rect.x, looks[b].rect.y});
        return r;
    }
    oxRect InFrame(oxBox* box) {
        oxBox* frameBox = box;
        while (frameBox->GetParent() && !frameBox->TestChangeFlags(kChangeFramed))
            frameBox = frameBox->GetParent();
        return InFrameOf(box, frameBox);
    }

    oxBox* root;
    std::unique_ptr<HostFrame> host;
    std::vector<std::unique_ptr<oxFrame>> frames;
    std::map<oxBox*, Look> looks;
    std::vector<oxAtom> events;
    std::function<void()> onPaint;
    bool open = true;
    int layouts = 0, updates = 0, paintsFinished = 0, stores = 0;
};

} // namespace test
