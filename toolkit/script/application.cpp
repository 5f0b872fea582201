#include "toolkit/script/application.h"

#include "platform/com/class_registry.h"
#include "platform/win/gdi.h"
#include "runtime/startup.h"
#include "toolkit/animation/animation_services.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/timer_queue.h"
#include "toolkit/paint/box_painter.h"
#include "toolkit/script/file_dialog_scene.h"
#include "toolkit/script/shell.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/ui_scale.h"
#include "toolkit/widgets/builtin_command_handler.h"
#include "toolkit/widgets/control_box.h"
#include "toolkit/widgets/frame.h"
#include "toolkit/widgets/frame_box.h"
#include "toolkit/widgets/grid_services.h"
#include "toolkit/widgets/handle_box.h"
#include "toolkit/widgets/image_box.h"
#include "toolkit/widgets/menu_box.h"
#include "toolkit/widgets/menu_element.h"
#include "toolkit/widgets/popup_box.h"
#include "toolkit/widgets/range_box.h"
#include "toolkit/widgets/scene_frame.h"
#include "toolkit/widgets/select_box.h"
#include "toolkit/widgets/text_box.h"
#include "toolkit/widgets/transition_host.h"
#include "toolkit/widgets/window_box.h"

namespace {

int32_t g_startCount = 0;

// The desktop's logical dots per inch over 96, never below 1.
float ComputeDpiScale() {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi <= 96 ? 1.0f : float(double(dpi) * (1.0 / 96));
}

void StartServices() {
    NUBO::Initialize(nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetUiScale(ComputeDpiScale());
    oxTimerQueue::Acquire();
    oxAtoms::RegisterPredefined();
    EnsureStyleNameTables();
    oxBoxPainter::InstallPaintServices();
    oxRegisterAnimationElements();
    oxRegisterTextBoxKinds();
    oxRegisterControlBoxKind();
    oxRegisterRangeBoxKind();
    oxRegisterHandleBoxKind();
    oxRegisterSelectBoxKinds();
    oxInstallGridServices();
    oxRegisterImageBoxKind();
    oxRegisterWindowBoxKind();
    oxRegisterPopupBoxKind();
    oxRegisterMenuElements();
    oxRegisterMenuBoxKinds();
    oxRegisterDHTMLBoxKind();
    oxSetBuiltinCommands(oxBuiltinCommandHandler::GetInstance());
    RegisterFrameWindowClass();
    // Scenes show in top-level frames.
    oxSceneFrame::Install();
    oxInstallTransitionHost();
}

void StopServices() {
    oxSetBuiltinCommands(nullptr);
    oxBuiltinCommandHandler::ReleaseInstance();
    oxTimerQueue::ReleaseInstance();
    oxSceneFrame::Uninstall();
    UnregisterFrameWindowClass();
    oxTextBox::ClearFontCache(); // the text boxes' fonts are shared by all scenes until the last stop
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
    if (EnsureShell() == 1) {
        InstallFileDialogScene(shell_->GetRuntime());
        return 1;
    }
    if (--g_startCount == 0) StopServices();
    return 0;
}

int oxApplication::Shutdown() {
    if (shell_) {
        InstallFileDialogScene(nullptr);
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
