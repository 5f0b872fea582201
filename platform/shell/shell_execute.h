#pragma once
// Opening a document or address through the device's shell. The layer accepts a path that exists
// or an address with a scheme, and hands it to the command in TANDU_SHELL_OPEN (say "xdg-open")
// when that is set; tests read what was opened.
#include <string>
#include <vector>

#include "platform/types.h"

struct HWND__;
struct HINSTANCE__;

struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND__* hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE__* hInstApp;
};

// FALSE (ERROR_FILE_NOT_FOUND) for no file or one that is not there.
BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info);

namespace platform::shell {
// What ShellExecuteEx accepted since the last reset, as given.
std::vector<std::u16string> OpenedDocuments();
void ResetOpenedDocuments();
} // namespace platform::shell
