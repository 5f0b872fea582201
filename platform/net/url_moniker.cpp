// URL monikers over libcurl: each binding is one transfer of the thread's transfer loop, which
// drives curl from the message loop and tells the binding outside curl, so a bind-status callback
// may abort or start bindings freely.
#include "platform/net/url_moniker.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/net/com_object_internal.h"
#include "platform/net/memory_stream.h"
#include "platform/net/transfer_loop_internal.h"
#include "platform/shell/path_map.h"
#include "platform/win/clock.h"
#include "platform/win/timer.h"

const IID IID_IBinding = {0x79EAC9C0, 0xBAF9, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};
const IID IID_IBindStatusCallback = {0x79EAC9C1, 0xBAF9, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};
const IID IID_IBindCtx = {0x0000000E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IMoniker = {0x0000000F, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace platform::net {
namespace {

// Answered only by this file's bind context, so a foreign one is never taken for ours.
const IID kIID_OwnBindCtx = {0x5A1D7C3E, 0x4B8E, 0x4F60, {0x9A, 0x21, 0x6E, 0x0B, 0x3C, 0x77, 0x52, 0x19}};

class Binding;

// The inactivity time-out: the thread's running bindings, and one timer due when the quietest of
// them reaches kDownloadIdleTimeoutMs. The list goes when the last binding ends.
thread_local std::vector<Binding*>* idleWatch = nullptr;
thread_local UINT_PTR idleTimer = 0;
void ArmIdleTimer();

class Binding final : public ComObject<IBinding, IID_IBinding>, public Transfer {
public:
    Binding(CURL* easy, MemoryStream* stream) : easy_(easy), stream_(stream) {}
    void Hold() override { AddRef(); }
    void Drop() override { Release(); }
    void Cancel() override { Finish(E_ABORT, false); }
    HRESULT Abort() override {
        if (done_) return S_FALSE;
        Finish(E_ABORT, true);
        return S_OK;
    }

    // Starts the transfer on the thread's loop; false when curl refuses it.
    bool Start(IBindStatusCallback* callback) {
        callback_ = callback;
        callback_->AddRef();
        if (!JoinLoop(this, easy_)) {
            callback_->Release();
            callback_ = nullptr;
            return false;
        }
        if (!idleWatch) idleWatch = new (std::nothrow) std::vector<Binding*>();
        if (idleWatch) idleWatch->push_back(this);
        lastActive_ = NowMs();
        ArmIdleTimer();
        return true;
    }

    // Curl's write callback: keep the bytes, tell the callback later.
    static size_t Received(char* data, size_t size, size_t count, void* self) {
        auto* binding = static_cast<Binding*>(self);
        size_t n = size * count;
        if (binding->done_) return 0; // ends the transfer
        if (n > kMaxDownloadBytes - binding->stream_->Size()) {
            binding->tooLarge_ = true;
            return 0;
        }
        if (!binding->stream_->Append(data, n)) return 0;
        if (n) {
            binding->pendingData_ = true;
            binding->lastActive_ = NowMs();
        }
        return n;
    }

    void DeliverPending() override {
        if (pendingData_ && !done_) {
            pendingData_ = false;
            Deliver(0);
        }
    }

    // The transfer has ended with curl's result.
    void Complete(CURL*, CURLcode code) override {
        if (done_) return;
        HRESULT hr = ResultOf(code);
        if (SUCCEEDED(hr)) {
            pendingData_ = false;
            Deliver(BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE);
        }
        Finish(hr, true);
    }

    uint64_t LastActive() const { return lastActive_; }

    // Leaves the loop and lets go of the callback, telling it the result when `notify`.
    void Finish(HRESULT hr, bool notify) {
        if (done_) return;
        done_ = true;
        AddRef(); // leaving the loop and the callback may drop the last other references
        LeaveLoop(this, easy_);
        if (idleWatch) {
            std::erase(*idleWatch, this);
            if (idleWatch->empty()) {
                delete idleWatch;
                idleWatch = nullptr;
                ArmIdleTimer();
            }
        }
        IBindStatusCallback* callback = callback_;
        callback_ = nullptr;
        if (callback) {
            if (notify) callback->OnStopBinding(hr, nullptr);
            callback->Release();
        }
        Release();
    }

private:
    ~Binding() override {
        if (easy_) Curl().curl_easy_cleanup(easy_);
        if (stream_) stream_->Release();
    }

    void Deliver(DWORD last) {
        if (!callback_) return;
        DWORD flags = last | (sentFirst_ ? BSCF_INTERMEDIATEDATANOTIFICATION : BSCF_FIRSTDATANOTIFICATION);
        sentFirst_ = true;
        FORMATETC format{0, nullptr, 1, -1, TYMED_ISTREAM};
        STGMEDIUM medium{TYMED_ISTREAM, stream_, nullptr};
        AddRef();
        IBindStatusCallback* callback = callback_;
        callback->AddRef();
        HRESULT hr =
            callback->OnDataAvailable(flags, DWORD(std::min<size_t>(stream_->Size(), 0xFFFFFFFFu)), &format, &medium);
        callback->Release();
        if (FAILED(hr)) Finish(hr, true);
        Release();
    }

    HRESULT ResultOf(CURLcode code) const {
        long status = 0;
        Curl().curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        switch (code) {
        case CURLE_OK:
            return S_OK;
        case CURLE_HTTP_RETURNED_ERROR:
            return status == 404 || status == 410 ? INET_E_RESOURCE_NOT_FOUND : INET_E_DOWNLOAD_FAILURE;
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return INET_E_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return INET_E_CONNECTION_TIMEOUT;
        case CURLE_FILE_COULDNT_READ_FILE:
            return INET_E_RESOURCE_NOT_FOUND;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return INET_E_INVALID_URL;
        case CURLE_OUT_OF_MEMORY:
            return E_OUTOFMEMORY;
        case CURLE_WRITE_ERROR:
            return tooLarge_ ? INET_E_DOWNLOAD_FAILURE : done_ ? E_ABORT : E_OUTOFMEMORY;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
            return INET_E_SECURITY_PROBLEM;
        default:
            return INET_E_DOWNLOAD_FAILURE;
        }
    }

    CURL* easy_;
    MemoryStream* stream_;
    IBindStatusCallback* callback_ = nullptr;
    bool sentFirst_ = false;
    bool pendingData_ = false;
    bool done_ = false;
    bool tooLarge_ = false;
    uint64_t lastActive_ = 0; // when content last arrived, or the start
};

// Bindings that heard nothing for kDownloadIdleTimeoutMs end; the timer is set again for the
// earliest deadline of the rest, and stops when none runs.
void IdleTimerFired(HWND, UINT, UINT_PTR, DWORD) {
    if (!idleWatch) return ArmIdleTimer();
    const uint64_t now = NowMs();
    std::vector<Binding*> quiet;
    for (Binding* b : *idleWatch) {
        if (now - b->LastActive() >= kDownloadIdleTimeoutMs) {
            b->AddRef();
            quiet.push_back(b);
        }
    }
    for (Binding* b : quiet) {
        b->Finish(INET_E_CONNECTION_TIMEOUT, true);
        b->Release();
    }
    ArmIdleTimer();
}

void ArmIdleTimer() {
    if (!idleWatch || idleWatch->empty()) {
        if (idleTimer) KillTimer(nullptr, idleTimer);
        idleTimer = 0;
        return;
    }
    uint64_t earliest = idleWatch->front()->LastActive();
    for (Binding* b : *idleWatch)
        earliest = std::min(earliest, b->LastActive());
    const uint64_t due = earliest + kDownloadIdleTimeoutMs, now = NowMs();
    idleTimer = SetTimer(nullptr, idleTimer, UINT(due > now ? due - now : 0), IdleTimerFired);
}

bool StartsWithNoCase(const std::u16string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() || towlower(text[i]) != WCHAR(prefix[i])) return false;
    }
    return true;
}

// "file:" URLs name device paths: "file:///dir/a.box", "file://\dir\a.box", "file:\dir\a.box".
// Curl reads the host file, its path escaped segment by segment.
std::string FileUrlForCurl(CURL* easy, const std::u16string& url) {
    std::u16string path = url.substr(5);
    if (path.size() >= 2 && (path[0] == u'/' || path[0] == u'\\') && (path[1] == u'/' || path[1] == u'\\'))
        path = path.substr(2);
    std::string utf8 = Utf8FromWide(path.c_str(), path.size());
    int decodedLength = 0;
    char* decoded = Curl().curl_easy_unescape(easy, utf8.c_str(), int(utf8.size()), &decodedLength);
    if (!decoded) return {};
    std::string host = HostPathFromDevice(WideFromUtf8(std::string(decoded, size_t(decodedLength))));
    Curl().curl_free(decoded);
    if (host.empty() || host[0] != '/') return {};
    std::string out = "file://";
    size_t at = 0;
    while (at < host.size()) {
        size_t slash = host.find('/', at);
        out += '/';
        if (slash == at) {
            ++at;
            continue;
        }
        size_t end = slash == std::string::npos ? host.size() : slash;
        char* escaped = Curl().curl_easy_escape(easy, host.c_str() + at, int(end - at));
        if (!escaped) return {};
        out += escaped;
        Curl().curl_free(escaped);
        at = end + 1;
        if (slash == std::string::npos) break;
    }
    return out;
}

// Curl takes any text as a URL and fails later: a malformed one must fail the bind itself.
bool IsWellFormed(const std::string& url) {
    if (url.empty() || !OpenCurl()) return false;
    CURLU* parsed = Curl().curl_url();
    bool ok = parsed && Curl().curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    if (parsed) Curl().curl_url_cleanup(parsed);
    return ok;
}

class Moniker final : public ComObject<IMoniker, IID_IMoniker> {
public:
    explicit Moniker(std::u16string url) : url_(std::move(url)) {}

    HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID riid, void** out) override;

private:
    std::u16string url_;
};

class BindCtx final : public ComObject<IBindCtx, IID_IBindCtx> {
public:
    explicit BindCtx(IBindStatusCallback* callback) : callback_(callback) {
        if (callback_) callback_->AddRef();
    }

    IBindStatusCallback* Callback() const { return callback_; }

private:
    ~BindCtx() override {
        if (callback_) callback_->Release();
    }
    bool Answers(REFIID riid) const override { return riid == kIID_OwnBindCtx; }

    IBindStatusCallback* callback_;
};

HRESULT Moniker::BindToStorage(IBindCtx* context, IMoniker*, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!(riid == IID_IStream)) return E_NOINTERFACE;
    void* own = nullptr;
    if (!context || FAILED(context->QueryInterface(kIID_OwnBindCtx, &own))) return E_INVALIDARG;
    auto* ctx = static_cast<BindCtx*>(static_cast<IBindCtx*>(own));
    IBindStatusCallback* callback = ctx->Callback();
    ctx->Release();
    if (!callback) return E_INVALIDARG;
    if (!OpenCurl()) return E_FAIL;

    CURL* easy = Curl().curl_easy_init();
    MemoryStream* stream = MemoryStream::Create();
    if (!easy || !stream) {
        if (easy) Curl().curl_easy_cleanup(easy);
        if (stream) stream->Release();
        return E_OUTOFMEMORY;
    }
    auto* binding = new (std::nothrow) Binding(easy, stream);
    if (!binding) {
        Curl().curl_easy_cleanup(easy);
        stream->Release();
        return E_OUTOFMEMORY;
    }
    std::string target;
    if (StartsWithNoCase(url_, "file:")) {
        target = FileUrlForCurl(easy, url_);
        Curl().curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "file");
    } else {
        target = Utf8FromWide(url_.c_str(), url_.size());
        ConfigureHttp(easy, target.c_str());
        Curl().curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    }
    if (!IsWellFormed(target) || Curl().curl_easy_setopt(easy, CURLOPT_URL, target.c_str()) != CURLE_OK) {
        binding->Release();
        return INET_E_INVALID_URL;
    }
    Curl().curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    Curl().curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Binding::Received);
    Curl().curl_easy_setopt(easy, CURLOPT_WRITEDATA, binding);

    DWORD flags = 0;
    BINDINFO info{};
    info.cbSize = sizeof info;
    callback->GetBindInfo(&flags, &info);
    HRESULT hr = callback->OnStartBinding(0, binding);
    if (FAILED(hr)) {
        binding->Release();
        return hr;
    }
    if (!binding->Start(callback)) {
        binding->Finish(E_OUTOFMEMORY, false);
        return E_OUTOFMEMORY;
    }
    binding->Release(); // the loop and the callback hold it now
    return MK_S_ASYNCHRONOUS;
}

} // namespace

int CancelAllBindings() {
    return CancelAllTransfers();
}

int RunningBindings() {
    return RunningTransfers();
}

} // namespace platform::net

HRESULT CreateURLMonikerEx(IMoniker*, LPCWSTR url, IMoniker** out, DWORD) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!url || !*url) return MK_E_SYNTAX;
    std::u16string text(url);
    using platform::net::StartsWithNoCase;
    if (!StartsWithNoCase(text, "http://") && !StartsWithNoCase(text, "https://") && !StartsWithNoCase(text, "file:"))
        return INET_E_UNKNOWN_PROTOCOL;
    auto* moniker = new (std::nothrow) platform::net::Moniker(std::move(text));
    if (!moniker) return E_OUTOFMEMORY;
    *out = moniker;
    return S_OK;
}

HRESULT CreateAsyncBindCtx(DWORD, IBindStatusCallback* callback, void*, IBindCtx** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!callback) return E_INVALIDARG;
    auto* ctx = new (std::nothrow) platform::net::BindCtx(callback);
    if (!ctx) return E_OUTOFMEMORY;
    *out = ctx;
    return S_OK;
}
