#include "toolkit/scene/scene_window.h"

#include <new>

#include "platform/win/message_queue.h"
#include "platform/win/screen.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"

namespace {

oxSceneWindowMaker gMaker = nullptr;

} // namespace

oxSceneWindowMaker SetSceneWindowMaker(oxSceneWindowMaker maker) {
    oxSceneWindowMaker old = gMaker;
    gMaker = maker;
    return old;
}

oxSceneWindow* MakeSceneWindow(oxScene* scene) {
    if (gMaker) return gMaker(scene);
    return new (std::nothrow) oxStandInSceneWindow(scene);
}

oxRect oxStandInSceneWindow::GetClientRect() const {
    const ScreenConfig& screen = GetScreen().config;
    return oxRect().Set(0, 0, screen.width, screen.height);
}

void oxStandInSceneWindow::RunModalLoop() {
    modal_ = true;
    MSG msg;
    while (modal_) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The quit message belongs to the outer loop: leave it for that loop.
            PostQuitMessage(int(msg.wParam));
            break;
        }
        if (got < 0) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    modal_ = false;
}

void oxStandInSceneWindow::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    modal_ = false;
    if (oxRuntime* runtime = scene_->GetSceneRuntime()) runtime->OnSceneClosed(scene_);
}
