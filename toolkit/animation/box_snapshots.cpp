#include "toolkit/animation/box_snapshots.h"

#include "graphics/paint/canvas.h"
#include "toolkit/animation/snapshot.h"
#include "toolkit/animation/transition.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/core/box_paint_services.h"

namespace {

uint32_t FlagOf(int layer) {
    return layer ? kChangeSourceSnapshot : kChangeTargetSnapshot;
}

} // namespace

oxSnapshot* oxBoxTakeSnapshot(oxBox* box) {
    oxTransitionHost host;
    if (!oxFindTransitionHost(box, &host) || !host.canvas) return nullptr;
    return oxTakeBoxSnapshot(box, host.canvas);
}

void oxBoxAttachSnapshot(oxBox* box, oxSnapshot* snapshot, int layer) {
    if (!box || !snapshot) return;
    oxSetBoxSnapshot(box, snapshot, layer);
    box->SetChangeFlag(FlagOf(layer), true);
    if (layer) box->RequestRepaint();
}

void oxBoxDetachSnapshot(oxBox* box, int layer) {
    if (!box) return;
    oxRemoveBoxSnapshot(box, layer);
    box->SetChangeFlag(FlagOf(layer), false);
    // The boxes below with windows of their own drop theirs too.
    for (oxBox* b = box->GetNextBox(box, false, false); b; b = b->GetNextBox(box, false, false))
        if (b->TestChangeFlags(kChangeFramed) && b->TestChangeFlags(FlagOf(layer))) {
            oxRemoveBoxSnapshot(b, layer);
            b->SetChangeFlag(FlagOf(layer), false);
        }
    if (layer) box->RequestRepaint();
}

void oxBoxRenderTargetSnapshot(oxBox* box) {
    oxTransitionHost host;
    if (!box || !oxFindBoxSnapshot(box, 0) || !oxFindTransitionHost(box, &host) || !host.canvas) return;
    // The box paints in its parent's coordinates: the canvas's origin moves to the parent.
    const oxPoint at = box->GetParent() ? box->GetParent()->GetFramePosition() : oxPoint{0, 0};
    oxBoxPaintServices& s = oxGetBoxPaintServices();
    s.OffsetOrigin(host.canvas, at.x, at.y);
    box->Paint(host.canvas);
    s.OffsetOrigin(host.canvas, -at.x, -at.y);
}
