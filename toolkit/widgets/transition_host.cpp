#include "toolkit/widgets/transition_host.h"

#include "graphics/paint/canvas.h"
#include "toolkit/animation/transition.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_flags.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/scene_frame.h"
#include "toolkit/widgets/window_box.h"

namespace {

// The frame of the nearest box above (or at) the box that has one: a popup's or a window box's,
// else the scene's window frame.
oxFrame* HostFrameOf(oxBox* box, oxScene* scene) {
    for (oxBox* b = box; b; b = b->GetLogicalParent()) {
        if (!b->TestChangeFlags(kChangeFramed)) continue;
        if (auto* popup = dynamic_cast<oxPopupBox*>(b); popup && popup->GetPopupFrame()) return popup->GetPopupFrame();
        if (auto* window = dynamic_cast<oxWindowBox*>(b); window && window->GetWindowFrame())
            return window->GetWindowFrame();
    }
    auto* sceneFrame = scene ? dynamic_cast<oxSceneFrame*>(scene->GetWindow()) : nullptr;
    return sceneFrame ? sceneFrame->GetFrame() : nullptr;
}

bool FindHost(oxBox* box, oxTransitionHost* host) {
    auto* scene = dynamic_cast<oxScene*>(box->GetScene());
    oxFrame* frame = HostFrameOf(box, scene);
    if (!frame || !scene) return false;
    host->window = frame->GetWindow();
    host->canvas = frame->GetCanvas();
    oxRuntime* runtime = scene->GetSceneRuntime();
    if (auto* input = runtime ? dynamic_cast<oxFrameInput*>(runtime->GetFrameInput()) : nullptr) {
        host->pressed = input->GetPressedBox() || input->GetRightPressedBox();
        host->pressPoint = POINT{input->GetPressScreenPoint().x, input->GetPressScreenPoint().y};
    }
    return true;
}

} // namespace

void oxInstallTransitionHost() {
    oxSetTransitionHostFinder(FindHost);
}
