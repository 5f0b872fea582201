#pragma once
// The shell's "open this path": a program file is started as a process of its own; a document
// would need the shell's file associations, which this platform does not have, so it fails.
#include "platform/types.h"
#include "platform/win/window.h"

struct SHELLEXECUTEINFO {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
};

// TRUE when the program started; FALSE with the last error ERROR_FILE_NOT_FOUND for a path that
// does not exist and ERROR_NO_ASSOCIATION for one that is no program.
BOOL ShellExecuteEx(SHELLEXECUTEINFO* info);
