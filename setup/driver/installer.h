#pragma once
// The installer's side of the setup extension, as the device's CAB installer drives it: it loads
// the library, asks it before placing the program's files, tells it afterwards what failed, and
// calls it again around a removal. Paths are device paths (platform/shell/path_map.h), so a
// TANDU_ROOT of a test's own holds the whole installation. A test fixture, not part of Fernset.
#include <array>
#include <string>

#include "platform/types.h"
#include "platform/win/window.h"
#include "setup/fernset.h"

namespace fernset_driver {

// What failed while the files were placed: folders, files, registry keys, registry values,
// shortcuts, as the installer counts them.
using Failures = std::array<WORD, 5>;

// What the installer places: the program as "tandu.exe", its resources folder beside it (if
// any) and a Start Menu shortcut to it.
struct Package {
    std::string program;   // host path of the program file
    std::string resources; // host path of a resources folder, or empty
};

enum class Outcome { kInstalled, kCancelled, kRemovedAgain };

class Installer {
public:
    Installer() = default;
    ~Installer();
    Installer(const Installer&) = delete;
    Installer& operator=(const Installer&) = delete;

    // Loads the library and finds its four entry points; false with a reason when it cannot.
    bool Load(const std::string& libraryPath, std::string* error);

    // The whole installation into `folder`. `extra` adds to what really failed, so that the
    // failure road can be taken on purpose.
    Outcome Install(HWND parent, const std::u16string& folder, const Package& package, const Failures& extra = {});
    // The whole removal: the library is asked first, the files go, then the library cleans up.
    void Remove(HWND parent, const std::u16string& folder);

    // The entry points, for callers that take the steps one by one.
    InstallInitEntry installInit = nullptr;
    InstallExitEntry installExit = nullptr;
    UninstallInitEntry uninstallInit = nullptr;
    UninstallExitEntry uninstallExit = nullptr;

private:
    void* library_ = nullptr;
};

// The shortcut's device path: "\Windows\Start Menu\tandu.lnk".
std::u16string ShortcutPath();

} // namespace fernset_driver
