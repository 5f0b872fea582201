#pragma once
// Opening a program, document or address through the device's shell. A program file starts as a
// process of its own. Documents and addresses need the shell's file associations, which this
// platform stands in for with the command in TANDU_SHELL_OPEN (say "xdg-open"); without it they
// fail with ERROR_NO_ASSOCIATION. Tests read what was opened.
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
using SHELLEXECUTEINFO = SHELLEXECUTEINFOW;

// TRUE when the program started or the opener took the document. FALSE with the last error
// ERROR_FILE_NOT_FOUND for no path or one that is not there, ERROR_NO_ASSOCIATION for a document
// or address without an opener, ERROR_ACCESS_DENIED when the process could not start.
BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info);

namespace platform::shell {
// What ShellExecuteEx opened since the last reset, as given.
std::vector<std::u16string> OpenedDocuments();
void ResetOpenedDocuments();
} // namespace platform::shell
