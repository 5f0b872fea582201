#include "setup/fernset.h"

#include "platform/crt/wide.h"
#include "platform/shell/files.h"
#include "platform/shell/folders.h"
#include "platform/shell/process.h"
#include "platform/shell/registry.h"
#include "platform/win/dialog.h"
#include "platform/win/messages.h"
#include "platform/win/module.h"
#include "platform/win/resources.h"
#include "setup/setup_module.h"

namespace {

constexpr DWORD kBaseRequirementKb = 2886;
constexpr int kTextBuffer = 260;
constexpr REGSAM kAllAccess = 0xF003F;
constexpr WCHAR kVendorKey[] = u"Software\\Kestrum";
constexpr WCHAR kStorageRoot[] = u"XKeyValueStorage";
constexpr WCHAR kProgramStorage[] = u"mobileTandu";
constexpr WCHAR kShortcut[] = u"tandu.lnk";
constexpr WCHAR kStartMenu[] = u"Start Menu";

// Shows `text` in an OK box captioned with the setup's caption.
void Tell(HWND parent, const WCHAR* text) {
    WCHAR caption[kTextBuffer];
    LoadStringW(fernset::ModuleInstance(), fernset::kTextCaption, caption, kTextBuffer);
    MessageBoxW(parent, text, caption, MB_OK);
}

// The room the installed program takes: a fixed part and this library's own image.
DWORD RequiredKb() {
    MODULEINFO info{};
    DWORD imageKb = 0;
    if (GetModuleInformation(GetCurrentProcess(), fernset::ModuleInstance(), &info, sizeof(info)))
        imageKb = info.SizeOfImage / 1024;
    return kBaseRequirementKb + imageKb;
}

INT_PTR InstalledDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND) return 0;
    EndDialog(dialog, LOWORD(wParam) == fernset::kButtonStart ? IDYES : IDNO);
    return 1;
}

void StartProgram(LPCWSTR installFolder) {
    WCHAR path[MAX_PATH];
    // A folder too long for the path starts nothing: a cut path could name another program.
    if (swprintf(path, MAX_PATH, u"%s\\tandu.exe", installFolder ? installFolder : u"") < 0) return;
    CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, nullptr, nullptr);
}

// Subkeys and values of an open key; false when the query fails.
bool CountsOf(HKEY key, DWORD* subKeys, DWORD* values) {
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

// The program's storage goes, then the storage root and the vendor's key when nothing else is
// left in them. Every failure is silent.
void DeleteStoredValues() {
    HKEY vendor = nullptr, root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kVendorKey, 0, kAllAccess, &vendor) != ERROR_SUCCESS) return;
    if (RegOpenKeyExW(vendor, kStorageRoot, 0, kAllAccess, &root) == ERROR_SUCCESS) {
        RegDeleteKeyW(root, kProgramStorage);
        DWORD subKeys = 0;
        if (CountsOf(root, &subKeys, nullptr) && subKeys == 0) {
            RegCloseKey(root);
            root = nullptr;
            RegDeleteKeyW(vendor, kStorageRoot);
        }
    }
    DWORD subKeys = 0, values = 0;
    if (CountsOf(vendor, &subKeys, &values) && subKeys == 0 && values == 0) {
        RegCloseKey(vendor);
        vendor = nullptr;
        RegDeleteKeyW(HKEY_CURRENT_USER, kVendorKey);
    }
    if (root) RegCloseKey(root);
    if (vendor) RegCloseKey(vendor);
}

// The shortcut lies in the Start Menu of the Windows folder. A failed folder query that left the
// path empty still deletes it from the root's Start Menu; one that left text deletes nothing.
void DeleteShortcut(HWND parent) {
    WCHAR path[MAX_PATH] = {};
    const BOOL found = SHGetSpecialFolderPath(parent, path, CSIDL_WINDOWS, FALSE);
    if (!found && path[0]) return;
    if (wcslen(path) + 1 + wcslen(kStartMenu) + 1 + wcslen(kShortcut) >= MAX_PATH) return;
    wcscat(path, u"\\");
    wcscat(path, kStartMenu);
    wcscat(path, u"\\");
    wcscat(path, kShortcut);
    DeleteFileW(path);
}

} // namespace

codeINSTALL_INIT Install_Init(HWND parent, BOOL firstCall, BOOL, LPCWSTR installFolder) {
    if (!firstCall) return codeINSTALL_INIT_CONTINUE;
    const DWORD required = RequiredKb();
    ULARGE_INTEGER freeBytes{};
    if (GetDiskFreeSpaceExW(installFolder, &freeBytes, nullptr, nullptr) && freeBytes.QuadPart / 1024 >= required)
        return codeINSTALL_INIT_CONTINUE;
    WCHAR format[kTextBuffer], text[kTextBuffer];
    LoadStringW(fernset::ModuleInstance(), fernset::kTextNoRoom, format, kTextBuffer);
    const float megabytes = float(required) / 1024.0f;
    swprintf(text, kTextBuffer, format, double(megabytes));
    Tell(parent, text);
    return codeINSTALL_INIT_CANCEL;
}

codeINSTALL_EXIT Install_Exit(HWND parent, LPCWSTR installFolder, WORD failedFolders, WORD failedFiles,
                              WORD failedRegistryKeys, WORD failedRegistryValues, WORD failedShortcuts) {
    if (failedFolders || failedFiles || failedRegistryKeys || failedRegistryValues || failedShortcuts) {
        if (fernset::ModuleInstance()) {
            WCHAR failed[kTextBuffer], text[2 * kTextBuffer];
            LoadStringW(fernset::ModuleInstance(), fernset::kTextInstallFailed, failed, kTextBuffer);
            swprintf(text, 2 * kTextBuffer, u"%s\n(%d/%d/%d/%d/%d)", failed, int(failedFolders), int(failedFiles),
                     int(failedRegistryKeys), int(failedRegistryValues), int(failedShortcuts));
            Tell(parent, text);
        }
        return codeINSTALL_EXIT_UNINSTALL;
    }
    if (!fernset::ModuleInstance()) return codeINSTALL_EXIT_DONE;
    const INT_PTR answer = DialogBoxParamW(fernset::ModuleInstance(), MAKEINTRESOURCEW(fernset::kDialogInstalled),
                                           parent, InstalledDialogProc, 0);
    if (answer == IDYES) StartProgram(installFolder);
    return codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND, LPCWSTR) {
    return codeUNINSTALL_INIT_CONTINUE;
}

codeUNINSTALL_EXIT Uninstall_Exit(HWND parent) {
    DeleteStoredValues();
    DeleteShortcut(parent);
    return codeUNINSTALL_EXIT_DONE;
}
