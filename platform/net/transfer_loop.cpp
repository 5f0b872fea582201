#include "platform/net/transfer_loop_internal.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/backend/headless.h"
#include "platform/win/message_queue.h"
#include "platform/win/messages.h"
#include "platform/win/timer.h"

namespace platform::net {
namespace {

constexpr long kConnectTimeoutSeconds = 30;
constexpr long kMaxRedirects = 10;
// Where the system keeps its CA bundle when curl does not say.
constexpr const char* kSystemCaBundle = "/etc/ssl/certs/ca-certificates.crt";

// The calling thread's transfers.
struct Loop {
    CURLM* multi = nullptr;
    UINT_PTR timer = 0;
    bool posted = false; // a due call is queued as a message
    bool timing = false; // curl runs its due work
    bool closing = false;
    std::vector<Transfer*> running; // each held while listed
    ~Loop();
};

thread_local std::unique_ptr<Loop> threadLoop;

void Drain(Loop* loop);

void SocketReady(int fd, short revents, void* context) {
    auto* loop = static_cast<Loop*>(context);
    int mask = 0;
    if (revents & POLLIN) mask |= CURL_CSELECT_IN;
    if (revents & POLLOUT) mask |= CURL_CSELECT_OUT;
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) mask |= CURL_CSELECT_ERR;
    int running = 0;
    Curl().curl_multi_socket_action(loop->multi, fd, mask, &running);
    Drain(loop);
}

void TimerFired(HWND, UINT, UINT_PTR, DWORD) {
    Loop* loop = threadLoop.get();
    if (!loop) return;
    if (loop->timer) KillTimer(nullptr, loop->timer);
    loop->timer = 0;
    loop->posted = false;
    int running = 0;
    loop->timing = true;
    Curl().curl_multi_socket_action(loop->multi, CURL_SOCKET_TIMEOUT, 0, &running);
    loop->timing = false;
    Drain(loop);
}

// Curl asks to watch a socket, or to stop. No exception may cross back into curl: memory that
// runs out fails the transfer instead.
int WatchSocket(curl_socket_t fd, int what, Loop* loop);
int OnSocket(CURL*, curl_socket_t fd, int what, void* context, void*) {
    try {
        return WatchSocket(fd, what, static_cast<Loop*>(context));
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int WatchSocket(curl_socket_t fd, int what, Loop* loop) {
    if (loop->closing) return 0;
    if (what == CURL_POLL_REMOVE) {
        headless::RemoveWaitFd(fd);
        return 0;
    }
    short events = 0;
    if (what & CURL_POLL_IN) events |= POLLIN;
    if (what & CURL_POLL_OUT) events |= POLLOUT;
    headless::AddWaitFd(fd, events, SocketReady, loop);
    return 0;
}

int ArmTimer(long timeoutMs, Loop* loop);
int OnTimer(CURLM*, long timeoutMs, void* context) {
    try {
        return ArmTimer(timeoutMs, static_cast<Loop*>(context));
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int ArmTimer(long timeoutMs, Loop* loop) {
    if (loop->closing) return 0;
    if (timeoutMs < 0) {
        if (loop->timer) KillTimer(nullptr, loop->timer);
        loop->timer = 0;
        return 0;
    }
    if (timeoutMs == 0 && !loop->timing) {
        // Due now (a new transfer, the next step of one): a queued timer message runs it at the next
        // turn of the loop, not after the minimum wait of the loop's timers. Due work that asks for
        // more at once waits for a real timer, so it never keeps the loop from its own timers.
        if (!loop->posted) loop->posted = PostMessageW(nullptr, WM_TIMER, 0, reinterpret_cast<LPARAM>(TimerFired));
        if (loop->posted) return 0;
    }
    // The loop's timers cannot run sooner than their minimum; curl only asks to be called again.
    loop->timer = SetTimer(nullptr, loop->timer, UINT(std::min<long>(timeoutMs, 0x7FFFFFFF)), TimerFired);
    return loop->timer ? 0 : -1;
}

// Tells the transfers what curl did, outside curl.
void Drain(Loop* loop) {
    std::vector<Transfer*> snapshot = loop->running;
    for (Transfer* t : snapshot)
        t->Hold();
    for (Transfer* t : snapshot)
        t->DeliverPending();

    // One message at a time: a transfer that a listener stops meanwhile loses its message with it.
    int left = 0;
    while (CURLMsg* msg = Curl().curl_multi_info_read(loop->multi, &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        CURL* easy = msg->easy_handle;
        CURLcode code = msg->data.result;
        Transfer* t = nullptr;
        Curl().curl_easy_getinfo(easy, CURLINFO_PRIVATE, reinterpret_cast<char**>(&t));
        if (!t) continue;
        t->Hold();
        t->Complete(easy, code);
        t->Drop();
    }
    for (Transfer* t : snapshot)
        t->Drop();
}

Loop::~Loop() {
    closing = true;
    while (!running.empty())
        running.back()->Cancel();
    if (multi) Curl().curl_multi_cleanup(multi);
}

Loop* CurrentLoop() {
    if (threadLoop) return threadLoop.get();
    if (!OpenCurl()) return nullptr;
    static std::once_flag once;
    std::call_once(once, [] { Curl().curl_global_init(CURL_GLOBAL_DEFAULT); });
    auto loop = std::make_unique<Loop>();
    loop->multi = Curl().curl_multi_init();
    if (!loop->multi) return nullptr;
    Curl().curl_multi_setopt(loop->multi, CURLMOPT_SOCKETFUNCTION, OnSocket);
    Curl().curl_multi_setopt(loop->multi, CURLMOPT_SOCKETDATA, loop.get());
    Curl().curl_multi_setopt(loop->multi, CURLMOPT_TIMERFUNCTION, OnTimer);
    Curl().curl_multi_setopt(loop->multi, CURLMOPT_TIMERDATA, loop.get());
    threadLoop = std::move(loop);
    return threadLoop.get();
}

bool ReadFile(const char* path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteAll(int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) return false;
        at += size_t(n);
    }
    return true;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*text)) != *prefix) return false;
    return true;
}

// The CA set that TANDU_CA_FILE adds to the system's bundle, made once per file named. It is kept
// in an anonymous in-memory file and handed to curl by path, so that curl builds its certificate
// store once and every connection shares it; a blob would be copied into each request and parsed
// again for each connection.
struct CaSet {
    std::string file;   // as the setting names it
    std::string path;   // what curl reads: /proc/self/fd/N
    std::string bundle; // the bytes, when no in-memory file could be made
    int fd = -1;
};

const CaSet* CaBundleWithExtraFile(CURL* easy) {
    static CaSet current;
    const char* extra = std::getenv("TANDU_CA_FILE");
    if (!extra || !*extra) return nullptr;
    if (current.file == extra && (!current.path.empty() || !current.bundle.empty())) return &current;
    const char* system = nullptr;
    if (Curl().curl_easy_getinfo(easy, CURLINFO_CAINFO, &system) != CURLE_OK || !system) system = kSystemCaBundle;
    std::string added, bundle;
    if (!ReadFile(extra, &added)) {
        std::fprintf(stderr, "tandu: TANDU_CA_FILE %s cannot be read; only the system's CA bundle is trusted\n", extra);
        return nullptr;
    }
    ReadFile(system, &bundle); // a missing system bundle leaves the added certificates alone
    bundle += '\n';
    bundle += added;
    CaSet next;
    next.file = extra;
    next.fd = memfd_create("tandu-ca", MFD_CLOEXEC);
    if (next.fd >= 0 && WriteAll(next.fd, bundle)) {
        next.path = "/proc/self/fd/" + std::to_string(next.fd);
    } else {
        if (next.fd >= 0) close(next.fd);
        next.fd = -1;
        next.bundle = std::move(bundle);
    }
    // The old file stays open: requests configured with its path may not have connected yet, and
    // a path never names another set than the one curl may have cached for it.
    current = std::move(next);
    return &current;
}

} // namespace

const CurlLibrary* OpenCurl() {
    TANDU_OPEN_FUNCTIONS(CurlLibrary, TANDU_CURL_SONAME, TANDU_CURL_FUNCTIONS)
}

bool JoinLoop(Transfer* transfer, CURL* easy) {
    Loop* loop = CurrentLoop();
    if (!loop) return false;
    Curl().curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer);
    if (Curl().curl_multi_add_handle(loop->multi, easy) != CURLM_OK) return false;
    transfer->Hold(); // the loop's
    loop->running.push_back(transfer);
    return true;
}

bool LeaveLoop(Transfer* transfer, CURL* easy) {
    Loop* loop = threadLoop.get();
    if (!loop) return false;
    auto it = std::find(loop->running.begin(), loop->running.end(), transfer);
    if (it == loop->running.end()) return false;
    loop->running.erase(it);
    Curl().curl_multi_remove_handle(loop->multi, easy);
    transfer->Drop();
    return true;
}

void ConfigureHttp(CURL* easy, const char* url) {
    Curl().curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // What went out protected never follows a redirect into the clear.
    Curl().curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                            StartsWithNoCase(url, "https:") ? "https" : "http,https");
    Curl().curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    Curl().curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    Curl().curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    Curl().curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    Curl().curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const CaSet* set = CaBundleWithExtraFile(easy)) {
        if (!set->path.empty()) {
            Curl().curl_easy_setopt(easy, CURLOPT_CAINFO, set->path.c_str());
            // Curl shares a store it built only when no CA folder is searched beside the file.
            Curl().curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
        } else {
            curl_blob blob{const_cast<char*>(set->bundle.data()), set->bundle.size(), CURL_BLOB_COPY};
            Curl().curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
        }
    }
    Curl().curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    Curl().curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
}

int RunningTransfers() {
    Loop* loop = threadLoop.get();
    return loop ? int(loop->running.size()) : 0;
}

int CancelAllTransfers() {
    Loop* loop = threadLoop.get();
    if (!loop) return 0;
    int count = 0;
    while (!loop->running.empty()) {
        loop->running.back()->Cancel();
        ++count;
    }
    return count;
}

} // namespace platform::net
