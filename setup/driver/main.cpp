// Installs or removes Tandu with the setup extension, as the device's installer would, on the
// emulated screen (an SDL window when a display exists, else headless). Folders are device paths
// under TANDU_ROOT; the stored values are those of TANDU_REGISTRY.
//   fernset-driver LIBRARY install FOLDER PROGRAM [RESOURCES] [--fail FOLDERS/FILES/KEYS/VALUES/SHORTCUTS] [--press ID]
//   fernset-driver LIBRARY remove FOLDER [--press ID]
// --press ID answers every box and dialog that comes up with a tap on its control ID (or its OK
// button when it has none), for runs with no one at the screen.
// Exit status: 0 installed or removed, 1 cancelled, 2 removed again after a failed installation,
// 3 bad arguments or a library that cannot be loaded.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/backend/sdl.h"
#include "platform/shell/path_map.h"
#include "platform/tests/modal_answerer.h"
#include "platform/win/gdi.h"
#include "platform/win/messages.h"
#include "platform/win/screen.h"
#include "platform/win/window_paint.h"
#include "setup/driver/installer.h"

namespace {

// The installer's own window, behind the extension's dialogs.
LRESULT InstallerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(hwnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    PatBlt(dc, 0, 0, r.right, r.bottom, WHITENESS);
    EndPaint(hwnd, &ps);
    return 0;
}

HWND MakeInstallerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = InstallerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"FernsetInstaller";
    if (!RegisterClassW(&wc)) return nullptr;
    const auto& screen = GetScreen().config;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"", WS_POPUP, 0, 0, screen.width, screen.height, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

int Usage() {
    std::fprintf(stderr, "usage: fernset-driver LIBRARY install FOLDER PROGRAM [RESOURCES] [--fail a/b/c/d/e] "
                         "[--press ID]\n"
                         "       fernset-driver LIBRARY remove FOLDER [--press ID]\n");
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    const std::string command = argv[2];
    const std::u16string folder = platform::WideFromUtf8(argv[3]);
    fernset_driver::Package package;
    fernset_driver::Failures extra{};
    int press = 0;
    if (command != "install" && command != "remove") return Usage();
    const bool install = command == "install";
    if (install && argc < 5) return Usage();
    if (install) package.program = argv[4];
    for (int i = install ? 5 : 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--press") == 0 && i + 1 < argc) {
            press = std::atoi(argv[++i]);
            if (press <= 0) return Usage();
        } else if (install && std::strcmp(argv[i], "--fail") == 0 && i + 1 < argc) {
            unsigned a, b, c, d, e;
            if (std::sscanf(argv[++i], "%u/%u/%u/%u/%u", &a, &b, &c, &d, &e) != 5) return Usage();
            extra = {WORD(a), WORD(b), WORD(c), WORD(d), WORD(e)};
        } else if (install && package.resources.empty()) {
            package.resources = argv[i];
        } else {
            return Usage();
        }
    }
    fernset_driver::Installer installer;
    std::string error;
    if (!installer.Load(argv[1], &error)) {
        std::fprintf(stderr, "fernset-driver: %s\n", error.c_str());
        return 3;
    }
    const bool shown = platform::backend::ChooseFromEnvironment();
    HWND parent = MakeInstallerWindow();
    std::unique_ptr<test::ModalAnswerer> answerer;
    if (press)
        answerer = std::make_unique<test::ModalAnswerer>(
            [press](HWND box) { test::ModalAnswerer::Tap(GetDlgItem(box, press) ? press : IDOK)(box); });
    int status = 0;
    if (command == "remove") {
        installer.Remove(parent, folder);
    } else {
        const fernset_driver::Outcome outcome = installer.Install(parent, folder, package, extra);
        status = outcome == fernset_driver::Outcome::kInstalled   ? 0
                 : outcome == fernset_driver::Outcome::kCancelled ? 1
                                                                  : 2;
    }
    answerer.reset();
    if (parent) DestroyWindow(parent);
    if (shown) platform::sdl::Stop();
    return status;
}
