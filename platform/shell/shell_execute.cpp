#include "platform/shell/shell_execute.h"

#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/shell/path_map.h"
#include "platform/win/last_error.h"

extern char** environ;

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info) {
    if (!info || !info->lpFile || !info->lpFile[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = platform::HostPathFromDevice(info->lpFile);
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!S_ISREG(status.st_mode) || access(path.c_str(), X_OK) != 0) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    pid_t child = 0;
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}
