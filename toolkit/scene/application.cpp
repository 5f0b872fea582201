#include "toolkit/scene/application.h"

#include "platform/com/class_registry.h"
#include "runtime/startup.h"
#include "toolkit/core/atoms.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/scene/shell.h"
#include "toolkit/style/box_painter.h"
#include "toolkit/style/style_tables.h"

namespace {

int32_t g_startCount = 0;

void StartServices() {
    // FIXME: the display scale, the UI scale and the frame window class join here with graphics
    // and frames.
    NUBO::Initialize(nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    oxTimerQueue::Acquire();
    oxAtoms::RegisterPredefined();
    EnsureStyleNameTables();
    oxBoxPainter::InstallPaintServices();
}

void StopServices() {
    oxTimerQueue::ReleaseInstance();
    oxAtoms::Clear();
    CoUninitialize();
    NUBO::Shutdown();
}

} // namespace

oxApplication::~oxApplication() {
    if (shell_) shell_->Release();
}

int32_t oxApplication::GetStartCount() {
    return g_startCount;
}

int oxApplication::EnsureShell() {
    if (shell_) return 0;
    return CreateShell(&shell_) == 0 ? 1 : 0;
}

int oxApplication::Init() {
    if (g_startCount != 0) {
        ++g_startCount;
    } else {
        StartServices();
        g_startCount = 1;
    }
    if (EnsureShell() == 1) return 1;
    if (--g_startCount == 0) StopServices();
    return 0;
}

int oxApplication::Shutdown() {
    if (shell_) {
        shell_->Shutdown();
        Shell* shell = shell_;
        shell_ = nullptr;
        shell->Release();
    }
    if (g_startCount == 1) {
        g_startCount = 0;
        StopServices();
    } else if (g_startCount > 0) {
        --g_startCount;
    }
    return 1;
}
