// Requests and answers are one line each over a Unix stream socket:
//   "F" US class US title LF   ->  the owner's window handle in decimal, 0 for none
//   "A" US handle LF           ->  "1" when the window came to the front, else "0"
// where a class or title is "-" for none or "=" followed by the UTF-8 text, and US is 0x1F.
#include "platform/shell/single_instance.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/shell/path_map.h"
#include "platform/win/window.h"

namespace platform {
namespace {

constexpr char kSeparator = '\x1F';
constexpr int kAnswerTimeoutMs = 1000;
constexpr size_t kMaxRequest = 4096;
constexpr uintptr_t kForeignHandleBase = 0x7F000002; // never a multiple of 4, unlike our own handles

struct ForeignWindow {
    pid_t pid;
    unsigned long long handle;
};

std::mutex foreignMutex;
std::vector<ForeignWindow> foreign;

thread_local bool answering = false;

std::string RuntimeFolder() {
    if (const char* dir = getenv("TANDU_RUNTIME_DIR"); dir && *dir) return dir;
    if (const char* dir = getenv("XDG_RUNTIME_DIR"); dir && *dir) return std::string(dir) + "/tandu";
    return "/tmp/tandu-" + std::to_string(getuid());
}

std::string SocketPath(const std::string& folder, pid_t pid) {
    return folder + "/windows-" + std::to_string(pid) + ".sock";
}

bool MakeAddress(const std::string& path, sockaddr_un* addr) {
    if (path.size() >= sizeof addr->sun_path) return false;
    *addr = sockaddr_un{};
    addr->sun_family = AF_UNIX;
    std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

// The listening socket of this process, removed when the process ends normally.
struct Listener {
    int fd = -1;
    pid_t pid = 0;
    std::string path;
    ~Listener() {
        if (fd < 0 || pid != getpid()) return;
        close(fd);
        unlink(path.c_str());
    }
};
Listener listener;

std::string Encode(LPCWSTR text) {
    if (!text) return "-";
    return "=" + Utf8FromWide(text, std::char_traits<char16_t>::length(text));
}

bool Decode(const std::string& field, std::u16string* out) {
    if (field == "-") return false;
    *out = WideFromUtf8(field.substr(1));
    return true;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        size_t next = line.find(kSeparator, at);
        fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) return fields;
        at = next + 1;
    }
}

bool ReadLine(int fd, std::string* line) {
    char c;
    while (line->size() < kMaxRequest) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kAnswerTimeoutMs) <= 0) return false;
        ssize_t n = read(fd, &c, 1);
        if (n <= 0) return false;
        if (c == '\n') return true;
        *line += c;
    }
    return false;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string Answer(const std::string& request) {
    std::vector<std::string> fields = Split(request);
    answering = true;
    std::string reply = "0";
    if (fields.size() == 3 && fields[0] == "F") {
        std::u16string cls, title;
        bool hasClass = Decode(fields[1], &cls), hasTitle = Decode(fields[2], &title);
        HWND found = FindWindowW(hasClass ? cls.c_str() : nullptr, hasTitle ? title.c_str() : nullptr);
        // Hidden windows (timer and listener windows, a program still starting) are nobody's to find.
        if (found && !IsWindowVisible(found)) found = nullptr;
        reply = std::to_string(reinterpret_cast<uintptr_t>(found));
    } else if (fields.size() == 2 && fields[0] == "A") {
        HWND hwnd = reinterpret_cast<HWND>(uintptr_t(strtoull(fields[1].c_str(), nullptr, 10)));
        reply = IsWindow(hwnd) && SetForegroundWindow(hwnd) == TRUE ? "1" : "0";
    }
    answering = false;
    return reply;
}

void OnRequest(int fd, short, void*) {
    for (;;) {
        int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        std::string request;
        if (ReadLine(client, &request)) WriteAll(client, Answer(request) + "\n");
        close(client);
    }
}

// A connection to another process's socket, or -1. It never waits: a process that does not take
// its connections (stopped, or busy in a loop) has a full backlog, and is passed over.
int Connect(const std::string& path) {
    sockaddr_un addr;
    if (!MakeAddress(path, &addr)) return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends one request to the process `pid` and reads its answer; false when it did not answer.
bool Ask(const std::string& folder, pid_t pid, const std::string& request, std::string* reply) {
    int fd = Connect(SocketPath(folder, pid));
    if (fd < 0) return false;
    bool ok = WriteAll(fd, request + "\n") && ReadLine(fd, reply);
    close(fd);
    return ok;
}

// The live processes with a socket in the folder, except this one; sockets of ended ones go.
std::vector<pid_t> OtherProcesses(const std::string& folder) {
    std::vector<pid_t> out;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return out;
    while (dirent* entry = readdir(dir)) {
        int pid = 0;
        char tail[8] = {};
        if (sscanf(entry->d_name, "windows-%d.%7s", &pid, tail) != 2 || std::strcmp(tail, "sock") != 0) continue;
        if (pid <= 0 || pid == getpid()) continue;
        if (kill(pid, 0) != 0 && errno == ESRCH) {
            unlink((folder + "/" + entry->d_name).c_str());
            continue;
        }
        out.push_back(pid);
    }
    closedir(dir);
    return out;
}

} // namespace

void PublishWindows() {
    std::string folder = RuntimeFolder();
    std::string path = SocketPath(folder, getpid());
    struct stat info;
    if (listener.fd >= 0 && listener.pid == getpid()) {
        // Still there: nothing to do. A socket whose file went (its folder was cleared or another
        // one is named now) is made again.
        if (listener.path == path && stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return;
        headless::RemoveWaitFd(listener.fd);
        close(listener.fd);
        listener.fd = -1;
    }
    mkdir(folder.c_str(), 0700);
    sockaddr_un addr;
    if (!MakeAddress(path, &addr)) return;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return;
    }
    listener.fd = fd;
    listener.pid = getpid();
    listener.path = path;
    headless::AddWaitFd(fd, POLLIN, OnRequest, nullptr);
}

HWND FindWindowOfOtherProcess(LPCWSTR className, LPCWSTR windowName) {
    // Only a search by title alone looks further: that is how a program finds its running self.
    if (answering || className || !windowName || !*windowName) return nullptr;
    std::string folder = RuntimeFolder();
    std::string request = std::string("F") + kSeparator + Encode(className) + kSeparator + Encode(windowName) + "\n";
    // Every process is asked at once, so a busy one costs one wait, not one each.
    struct Pending {
        pid_t pid;
        int fd;
        std::string reply;
    };
    std::vector<Pending> asked;
    for (pid_t pid : OtherProcesses(folder)) {
        int fd = Connect(SocketPath(folder, pid));
        if (fd < 0) continue;
        if (!WriteAll(fd, request)) {
            close(fd);
            continue;
        }
        asked.push_back({pid, fd, {}});
    }
    HWND found = nullptr;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    while (!found && !asked.empty()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        std::vector<pollfd> fds;
        for (const Pending& p : asked)
            fds.push_back({p.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), int(left.count())) <= 0) break;
        for (size_t i = fds.size(); i-- > 0;) {
            if (!fds[i].revents) continue;
            Pending& p = asked[i];
            char buffer[64];
            ssize_t n = read(p.fd, buffer, sizeof buffer);
            if (n > 0) p.reply.append(buffer, size_t(n));
            bool complete = p.reply.find('\n') != std::string::npos;
            if (complete && !found) {
                unsigned long long handle = strtoull(p.reply.c_str(), nullptr, 10);
                if (handle) {
                    std::lock_guard lock(foreignMutex);
                    foreign.push_back({p.pid, handle});
                    found = reinterpret_cast<HWND>(kForeignHandleBase + (foreign.size() - 1) * 4);
                }
            }
            if (complete || n <= 0 || p.reply.size() > kMaxRequest) {
                close(p.fd);
                asked.erase(asked.begin() + long(i));
            }
        }
    }
    for (const Pending& p : asked)
        close(p.fd);
    return found;
}

bool IsWindowOfOtherProcess(HWND hwnd) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
    std::lock_guard lock(foreignMutex);
    return value >= kForeignHandleBase && (value - kForeignHandleBase) % 4 == 0 &&
           (value - kForeignHandleBase) / 4 < foreign.size();
}

BOOL ActivateWindowOfOtherProcess(HWND hwnd) {
    if (!IsWindowOfOtherProcess(hwnd)) return FALSE;
    ForeignWindow window;
    {
        std::lock_guard lock(foreignMutex);
        window = foreign[(reinterpret_cast<uintptr_t>(hwnd) - kForeignHandleBase) / 4];
    }
    std::string reply;
    std::string request = std::string("A") + kSeparator + std::to_string(window.handle);
    return Ask(RuntimeFolder(), window.pid, request, &reply) && reply == "1" ? TRUE : FALSE;
}

} // namespace platform
