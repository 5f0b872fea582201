#pragma once
// Fernset, the setup extension: the four entry points that the installer calls while it installs
// or removes Tandu, in this order. The library shares no code with the program; it starts it after
// installation and deletes what it stored when it is removed.
#include "platform/types.h"
#include "platform/win/window.h"

enum codeINSTALL_INIT { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL = 1 };
enum codeINSTALL_EXIT { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL = 1 };
enum codeUNINSTALL_INIT { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL = 1 };
enum codeUNINSTALL_EXIT { codeUNINSTALL_EXIT_DONE = 0 };

#define FERNSET_EXPORT __attribute__((visibility("default")))

extern "C" {
// Before the files are copied: cancels when the install folder's volume lacks the room.
FERNSET_EXPORT codeINSTALL_INIT Install_Init(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                                             LPCWSTR installFolder);
// After the files are copied, with the counts of what failed: reports a failure (and asks for the
// removal), or offers to start the program.
FERNSET_EXPORT codeINSTALL_EXIT Install_Exit(HWND parent, LPCWSTR installFolder, WORD failedFolders, WORD failedFiles,
                                             WORD failedRegistryKeys, WORD failedRegistryValues, WORD failedShortcuts);
FERNSET_EXPORT codeUNINSTALL_INIT Uninstall_Init(HWND parent, LPCWSTR installFolder);
// After the files are removed: deletes the program's stored values and its Start Menu shortcut.
FERNSET_EXPORT codeUNINSTALL_EXIT Uninstall_Exit(HWND parent);
}

// How the installer finds them after loading the library.
using InstallInitEntry = decltype(&Install_Init);
using InstallExitEntry = decltype(&Install_Exit);
using UninstallInitEntry = decltype(&Uninstall_Init);
using UninstallExitEntry = decltype(&Uninstall_Exit);
