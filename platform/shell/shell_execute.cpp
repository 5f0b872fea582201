#include "platform/shell/shell_execute.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/shell/path_map.h"
#include "platform/win/last_error.h"

extern char** environ;

namespace {

std::mutex g_lock;
std::vector<std::u16string> g_opened;

// "http:", "mailto:", "box:": letters before a colon, more than one of them (not a drive).
bool HasScheme(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && ((text[i] >= u'a' && text[i] <= u'z') || (text[i] >= u'A' && text[i] <= u'Z')))
        ++i;
    return i > 1 && i < text.size() && text[i] == u':';
}

// Starts the opener on the target and lets it run; its exit is not waited for.
bool Launch(const char* opener, const std::string& target) {
    const std::string command = std::string(opener) + " \"$1\" >/dev/null 2>&1 &";
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command.c_str()),
                    const_cast<char*>("sh"), const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
    waitpid(pid, nullptr, 0);
    return true;
}

void Record(const std::u16string& file) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_opened.push_back(file);
}

} // namespace

BOOL ShellExecuteEx(SHELLEXECUTEINFOW* info) {
    if (!info || !info->lpFile || !*info->lpFile) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const std::u16string file = info->lpFile;
    std::string target;
    if (HasScheme(file)) {
        target = platform::Utf8FromWide(file.data(), file.size());
    } else {
        target = platform::HostPathFromDevice(file);
        struct stat status {};
        if (stat(target.c_str(), &status) != 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        if (S_ISREG(status.st_mode) && access(target.c_str(), X_OK) == 0) {
            pid_t child = 0;
            char* argv[] = {const_cast<char*>(target.c_str()), nullptr};
            if (posix_spawn(&child, target.c_str(), nullptr, nullptr, argv, environ) != 0) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            Record(file);
            return TRUE;
        }
    }
    const char* opener = std::getenv("TANDU_SHELL_OPEN");
    if (!opener || !*opener) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    if (!Launch(opener, target)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Record(file);
    return TRUE;
}

namespace platform::shell {

std::vector<std::u16string> OpenedDocuments() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_opened;
}

void ResetOpenedDocuments() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_opened.clear();
}

} // namespace platform::shell
