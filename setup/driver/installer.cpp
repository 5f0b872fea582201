#include "setup/driver/installer.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/shell/path_map.h"

namespace fernset_driver {
namespace {

namespace fs = std::filesystem;

fs::path Host(const std::u16string& devicePath) {
    return platform::HostPathFromDevice(devicePath);
}

std::string Narrow(const std::u16string& text) {
    return platform::Utf8FromWide(text.data(), text.size());
}

} // namespace

std::u16string ShortcutPath() {
    return u"\\Windows\\Start Menu\\tandu.lnk";
}

Installer::~Installer() {
    if (library_) dlclose(library_);
}

bool Installer::Load(const std::string& libraryPath, std::string* error) {
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        if (error) *error = dlerror();
        return false;
    }
    installInit = reinterpret_cast<InstallInitEntry>(dlsym(library_, "Install_Init"));
    installExit = reinterpret_cast<InstallExitEntry>(dlsym(library_, "Install_Exit"));
    uninstallInit = reinterpret_cast<UninstallInitEntry>(dlsym(library_, "Uninstall_Init"));
    uninstallExit = reinterpret_cast<UninstallExitEntry>(dlsym(library_, "Uninstall_Exit"));
    if (installInit && installExit && uninstallInit && uninstallExit) return true;
    if (error) *error = "the library lacks an entry point of a setup extension";
    return false;
}

Outcome Installer::Install(HWND parent, const std::u16string& folder, const Package& package, const Failures& extra) {
    const fs::path target = Host(folder);
    std::error_code ec;
    const bool before = fs::exists(target / "tandu.exe", ec);
    fs::create_directories(target, ec);
    if (installInit(parent, TRUE, before, folder.c_str()) != codeINSTALL_INIT_CONTINUE) return Outcome::kCancelled;

    Failures failed = extra;
    if (!fs::copy_file(package.program, target / "tandu.exe", fs::copy_options::overwrite_existing, ec)) ++failed[1];
    if (!package.resources.empty()) {
        fs::copy(package.resources, target / "resources",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) ++failed[1];
    }
    // A shortcut of the device's kind: the target's length, "#" and the quoted target.
    const std::u16string program = folder + u"\\tandu.exe";
    const fs::path shortcut = Host(ShortcutPath());
    fs::create_directories(shortcut.parent_path(), ec);
    std::ofstream link(shortcut);
    link << program.size() + 2 << "#\"" << Narrow(program) << "\"\n";
    if (!link.flush()) ++failed[4];
    link.close();

    if (installExit(parent, folder.c_str(), failed[0], failed[1], failed[2], failed[3], failed[4]) ==
        codeINSTALL_EXIT_DONE)
        return Outcome::kInstalled;
    Remove(parent, folder);
    return Outcome::kRemovedAgain;
}

void Installer::Remove(HWND parent, const std::u16string& folder) {
    if (uninstallInit(parent, folder.c_str()) != codeUNINSTALL_INIT_CONTINUE) return;
    const fs::path target = Host(folder);
    std::error_code ec;
    fs::remove(target / "tandu.exe", ec);
    fs::remove_all(target / "resources", ec);
    fs::remove(target, ec); // only when nothing else is left in it
    uninstallExit(parent);
}

} // namespace fernset_driver
