#include "toolkit/widgets/transition_host.h"

#include "toolkit/animation/transition.h"
#include "toolkit/core/box.h"
#include "graphics/paint/canvas.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_input.h"
#include "toolkit/widgets/scene_frame.h"

namespace {

bool FindHost(oxBox* box, oxTransitionHost* host) {
    // FIXME: a box in a popup paints into its scene's window frame until popups give their frames.
    auto* scene = dynamic_cast<oxScene*>(box->GetScene());
    auto* sceneFrame = scene ? dynamic_cast<oxSceneFrame*>(scene->GetWindow()) : nullptr;
    oxFrame* frame = sceneFrame ? sceneFrame->GetFrame() : nullptr;
    if (!frame) return false;
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
