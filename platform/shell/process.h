#pragma once
// Starting programs as processes of their own. As on the device, the first argument names the
// program file (a device path) and the command line holds only its arguments; without a program
// name the command line's first word is the program. The new process inherits the environment
// and runs on when its handles are closed.
#include "platform/types.h"

struct STARTUPINFOW;
struct SECURITY_ATTRIBUTES;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// Creation flags. A console means nothing here; the flag is taken and has no effect.
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;

// TRUE when the program started; `info` (may be null) receives a handle of the process and one of
// its main thread, each closed with CloseHandle. FALSE with ERROR_FILE_NOT_FOUND when there is no
// such program file or it cannot be run, ERROR_INVALID_PARAMETER for a command line with an
// unclosed quote or no program at all.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, SECURITY_ATTRIBUTES* processAttributes,
                    SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, STARTUPINFOW* startupInfo, LPPROCESS_INFORMATION info);
