#include "platform/shell/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/shell/handles.h"
#include "platform/shell/path_map.h"
#include "platform/win/last_error.h"

extern char** environ;

namespace {

// A handle of a started process (or of its main thread). Closing it collects the exit of a
// process that has ended, so that none is left behind as a zombie.
class ProcessObject : public platform::KernelObject {
public:
    explicit ProcessObject(pid_t pid) : pid_(pid) {}
    ~ProcessObject() override { waitpid(pid_, nullptr, WNOHANG); }

private:
    pid_t pid_;
};

// Splits the arguments at spaces; double quotes keep spaces in one. False for an unclosed quote.
bool SplitArguments(const std::u16string& line, std::vector<std::u16string>* out) {
    std::u16string word;
    bool quoted = false, inWord = false;
    for (char16_t c : line) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (inWord) out->push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) out->push_back(word);
    return !quoted;
}

} // namespace

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*, BOOL,
                    DWORD, LPVOID, LPCWSTR, STARTUPINFOW*, LPPROCESS_INFORMATION info) {
    std::vector<std::u16string> words;
    if (commandLine && !SplitArguments(commandLine, &words)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string program;
    if (applicationName && *applicationName) {
        program = applicationName;
    } else if (!words.empty()) {
        program = words.front();
        words.erase(words.begin());
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = platform::HostPathFromDevice(program);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), X_OK) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::vector<std::string> args{path};
    for (const std::u16string& w : words)
        args.push_back(platform::Utf8FromWide(w.data(), w.size()));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (info) {
        info->hProcess = platform::RegisterHandle(new ProcessObject(pid));
        info->hThread = platform::RegisterHandle(new ProcessObject(pid));
        info->dwProcessId = DWORD(pid);
        info->dwThreadId = DWORD(pid);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
