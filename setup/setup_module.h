#pragma once
// The library's own module: its handle, kept by its entry point, and the ids of its resources.
#include "platform/types.h"
#include "platform/win/window.h"

namespace fernset {

// Texts of the string table.
constexpr UINT kTextInstalled = 1000;
constexpr UINT kTextInstallFailed = 1001;
constexpr UINT kTextCaption = 1002;
constexpr UINT kTextSettingsFailed = 1003;
constexpr UINT kTextRemoval = 1004;
constexpr UINT kTextNoRoom = 1005;

// The dialog that offers to start the program, and its buttons.
constexpr UINT kDialogInstalled = 103;
constexpr WORD kButtonStart = 1000;
constexpr WORD kButtonClose = 1001;

// Null until the library's entry point has run.
HINSTANCE ModuleInstance();

} // namespace fernset
