// The frame's repaint: invalidated areas collect in the dirty region, one posted message asks for
// one update, and the update paints the merged dirty rectangles into the canvas and copies each
// onto the window.
#include "graphics/paint/box_drawing.h"
#include "graphics/paint/canvas.h"
#include "platform/win/message_queue.h"
#include "toolkit/core/box.h"
#include "toolkit/core/layout.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_site.h"
#include "toolkit/widgets/region.h"

namespace {

// Rectangles closer than this are painted as one.
constexpr int32_t kMergeDistance = 128;

bool HiddenForRepaint(const oxBox* box) {
    return box->IsEffectivelyHidden() || box->IsCollapsed() || (box->GetStateFlags() & kStateDeflated) ||
           (box->GetStateFlags() & (kStateHiddenByAncestor | kStateExcluded));
}

// Merges every later rectangle that comes within the distance of an earlier one into it.
void MergeClose(oxRectVector& rects) {
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].width == 0 || rects[i].height == 0) continue;
        for (size_t j = i + 1; j < rects.size(); ++j) {
            if (rects[j].width == 0 || rects[j].height == 0) continue;
            oxRect grown = rects[j];
            grown.Inflate(kMergeDistance);
            if (!grown.Intersects(rects[i])) continue;
            rects[i].Union(rects[j]);
            rects[j].Clear();
        }
    }
}

} // namespace

void oxFrame::Invalidate(const oxRect* rect, bool full) {
    if (painting_) return;
    if (rect && dirty_ && !fullRepaint_) dirty_->AddRect(*rect);
    if (full) fullRepaint_ = true;
    if (window_ && !updatePosted_) {
        PostMessageW(window_, kMsgFrameUpdate, 0, 0);
        updatePosted_ = true;
    }
}

bool oxFrame::EnsureCanvas() {
    // The canvas follows the client size, its width rounded up to even.
    const oxRect client = GetClientRect();
    const int32_t width = (client.width + 1) & ~1, height = client.height;
    if (!canvas_) {
        canvas_.reset(new (std::nothrow) oxCanvas());
        if (!canvas_) return false;
    }
    if (width <= 0 || height <= 0) return true;
    const oxPixelBuffer& target = canvas_->Target();
    if (!canvas_->HasTarget() || target.width != width || target.height != height) {
        canvas_->SetSize(width, height);
        // A new target holds nothing: it is painted whole.
        fullRepaint_ = true;
    }
    return canvas_->HasTarget();
}

namespace {

bool IsCurrentChild(oxBox* box) {
    oxBox* parent = box->GetParent();
    oxLayout* layout = parent ? parent->GetLayoutIfMade() : nullptr;
    const int32_t current = layout ? layout->GetCurrentIndex(parent) : -1;
    return current < 0 || current == box->GetIndex();
}

} // namespace

void oxFrame::CollectDirtyBoxes(oxBox* box) {
    oxFrameSite* site = Site();
    if (!site) return;
    for (oxBox* b = box; b;) {
        // A box with a frame of its own repaints in its own window.
        if (b != box && b->HasSideTableEntry(kHasFrame)) {
            b = b->GetNextBox(box, true, false);
            continue;
        }
        // A hidden box adds its area too: what it leaves must be painted over. Under a layout that
        // shows one child at a time (a deck) only the shown child counts.
        if (b->TestChangeFlags(kChangeRepaintPending) && IsCurrentChild(b)) {
            oxRect previous, current;
            site->GetRepaintRects(b, &previous, &current);
            if (dirty_) {
                dirty_->AddRect(previous);
                dirty_->AddRect(current);
            }
            b->SetChangeFlag(kChangeRepaintPending, false);
        }
        const bool descend = b->TestChangeFlags(kChangeSubtreeDirty);
        b->SetChangeFlag(kChangeSubtreeDirty, false);
        b = b->GetNextBox(box, !descend, false);
    }
}

void oxFrame::PaintRect(const oxRect* clip) {
    oxFrameSite* site = Site();
    canvas_->ResetTransform();
    canvas_->ResetClip();
    if (clip) canvas_->IntersectClip(oxCanvasRect{clip->x, clip->y, clip->width, clip->height});
    const oxRect client = GetClientRect();
    BeginFramePaint(canvas_.get(), client.width, client.height, false);
    site->PaintBox(owner_, canvas_.get());
    EndFramePaint(canvas_.get(), window_, true);
    paintPending_ = false;
}

void oxFrame::Update(bool notify) {
    updatePosted_ = false;
    oxFrameSite* site = Site();
    if (!window_ || !EnsureCanvas()) return;
    if (!dirty_ || !owner_ || !site || !site->IsSceneOpen()) return;
    if (HiddenForRepaint(owner_)) {
        owner_->SetChangeFlag(kChangeRepaintPending, false);
        return;
    }
    // What the layout invalidates is painted by this update, not by another one posted for it.
    updatePosted_ = true;
    site->LayoutScene();
    updatePosted_ = false;
    PositionWindow();
    EnsureCanvas(); // the layout may have sized the window
    painting_ = true;
    const bool full = fullRepaint_;
    if (full) {
        dirty_->Clear();
        dirty_->AddRect(GetClientRect());
    } else {
        CollectDirtyBoxes(owner_);
    }
    oxRectVector rects;
    dirty_->GetRects(&rects);
    dirty_->Clear();
    MergeClose(rects);
    if (full) {
        PaintRect(nullptr);
    } else {
        for (const oxRect& r : rects)
            if (r.width > 0 && r.height > 0) PaintRect(&r);
    }
    painting_ = false;
    fullRepaint_ = false;
    firstUpdate_ = false;
    if (notify && site) site->OnPaintFinished();
}

void oxFrame::ScrollContent(oxBox* box, int32_t delta, const oxRect* rect) {
    oxFrameSite* site = Site();
    if (!canvas_ || !box || delta == 0 || !site || !window_) return;
    // The canvas follows the client size first, as before every paint.
    if (!EnsureCanvas()) return;
    const oxRect area = rect ? *rect : site->GetBoxRect(box);
    const oxRect client = GetClientRect();
    canvas_->ResetTransform();
    BeginFramePaint(canvas_.get(), client.width, client.height, false);
    canvas_->ResetClip();
    canvas_->IntersectClip(oxCanvasRect{area.x, area.y, area.width, area.height});
    // A positive delta moves the content up: the rows that stay are read below where they land.
    canvas_->ScrollRect(oxCanvasRect{area.x, area.y, area.width, area.height}, POINT{0, -delta});
    EndFramePaint(canvas_.get(), window_, true);
}
