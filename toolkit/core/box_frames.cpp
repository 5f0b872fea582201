// Boxes that own a native frame (`framed`): the frame side table, making and dropping the frame,
// the frame that shows a box, and the marks that tell a box whether frames live below it.
#include <new>

#include "runtime/hash_map.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_frame.h"
#include "toolkit/core/box_scene.h"

namespace {

oxBoxFrameServices gNoFrameServices;
oxBoxFrameServices* gFrameServices = &gNoFrameServices;
// Frames that paint without culling; a paint looks for its frame only while there are some.
int gUnculledFrames = 0;

NUBO::oxPtrHashMap<oxBoxFrame*>& Frames() {
    static NUBO::oxPtrHashMap<oxBoxFrame*> frames;
    return frames;
}

oxBoxFrame* FrameEntryOf(const oxBox* box) {
    if (!box->HasSideTableEntry(kHasFrame)) return nullptr;
    auto* node = Frames().Find(box);
    return node ? node->value : nullptr;
}

} // namespace

oxBoxFrameServices& oxGetBoxFrameServices() {
    return *gFrameServices;
}

void oxSetBoxFrameServices(oxBoxFrameServices* services) {
    gFrameServices = services ? services : &gNoFrameServices;
}

void oxBoxFrame::SetNoCulling(int which, bool on) {
    if (which < 0 || which > 1 || (noCulling[which] != 0) == on) return;
    const bool before = noCulling[0] || noCulling[1];
    noCulling[which] = on;
    const bool after = noCulling[0] || noCulling[1];
    if (before != after) gUnculledFrames += after ? 1 : -1;
}

oxBoxFrame::~oxBoxFrame() {
    if (noCulling[0] || noCulling[1]) --gUnculledFrames;
}

oxBoxFrame* oxBox::GetFrame() {
    if (oxBoxFrame* frame = FrameEntryOf(this)) return frame;
    if (!(changeFlags_ & kChangeFramed)) return nullptr;
    oxBoxFrame* frame = gFrameServices->CreateFrame(this);
    if (!frame) return gFrameServices->FindFrame(this);
    PropagateFlagToAncestors(frame->GetFrameType() != kAtomPopup);
    Frames().Erase(this);
    Frames().Insert(this, frame);
    presence_ |= kHasFrame;
    return frame;
}

oxBoxFrame* oxBox::GetHostFrame() {
    if (oxBoxFrame* own = GetFrame()) return own;
    oxBox* host = FindFrameBox();
    return host ? host->GetFrame() : nullptr;
}

oxBoxFrame* oxBox::FindFrameEntry() const {
    if (oxBoxFrame* own = FrameEntryOf(this)) return own;
    for (oxBox* b = GetLogicalParent(); b; b = b->GetLogicalParent()) {
        if (b->changeFlags_ & kChangeFramed) return FrameEntryOf(b);
    }
    return nullptr;
}

bool oxBox::PaintsUnculled() const {
    if (gUnculledFrames <= 0) return false;
    const oxBoxFrame* frame = FindFrameEntry();
    return frame && frame->IsNoCulling();
}

void oxBox::DropFrame() {
    oxBoxFrame* frame = FrameEntryOf(this);
    Frames().Erase(this);
    presence_ &= uint16_t(~kHasFrame);
    // The frame's destructor destroys its window first.
    delete frame;
    // What the ancestors know of the frames below them no longer holds.
    for (oxBox* b = parent_; b; b = b->parent_)
        b->SetPresence(kMarkFramedKnown | kMarkFramedDescendant, false);
}

void oxBox::SetHasFrame(bool on) {
    if (((changeFlags_ & kChangeFramed) != 0) == on) return;
    SetChangeFlag(kChangeFramed, on);
    if (!on) {
        DropFrame();
        return;
    }
    if (!GetFrame()) return;
    if ((changeFlags_ & kChangeAttached) && scene_) scene_->AddFrameBox(this);
}

// The ancestors learn that a frame lives below them; the climb ends at one that knows it already.
void oxBox::PropagateFlagToAncestors(bool framed) {
    const uint16_t want = kMarkFramedKnown | (framed ? kMarkFramedDescendant : 0);
    for (oxBox* b = parent_; b; b = b->parent_) {
        if ((b->presence_ & (kMarkFramedKnown | kMarkFramedDescendant)) == want) break;
        b->presence_ = uint16_t((b->presence_ & ~(kMarkFramedKnown | kMarkFramedDescendant)) | want);
    }
}

bool oxBox::HasFramedDescendants() {
    if (!(presence_ & kMarkFramedKnown)) {
        presence_ = uint16_t((presence_ | kMarkFramedKnown) & ~kMarkFramedDescendant);
        for (oxBox* b = GetNextBox(this, false, false); b; b = b->GetNextBox(this, false, false)) {
            oxBoxFrame* frame = FrameEntryOf(b);
            if (frame && frame->GetFrameType() != kAtomPopup) {
                presence_ |= kMarkFramedDescendant;
                break;
            }
        }
    }
    return (presence_ & kMarkFramedDescendant) != 0;
}

// Repaints are collected, not done: the box is marked, its ancestors lead the frame's update walk
// down to it, and the frame that shows the box is asked for one update.
void oxBox::UpdateFrameBounds(bool flag) {
    changeFlags_ |= kChangeRepaintPending;
    MarkAncestorsDirty();
    if (oxBoxFrame* host = FindFrameEntry()) {
        host->repaintRequested = flag;
        host->Invalidate(nullptr, false);
    }
    if (scene_) scene_->OnBoxRepaintRequested(this);
}
