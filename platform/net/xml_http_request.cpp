// The XMLHTTP request over libcurl: each `send` is one transfer of the thread's transfer loop.
// Curl's header and write callbacks only record the answer; the ready-state sink hears of it when
// the loop delivers, outside curl. A generation count tells a delivery that the sink's handler
// opened or aborted the exchange meanwhile, so no stale state is reported after that.
#include "platform/net/xml_http_request.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/crt/wide.h"
#include "platform/net/com_object_internal.h"
#include "platform/net/transfer_loop_internal.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/path_map.h"
#include "platform/xml/dom_document.h"

const CLSID CLSID_XMLHTTPRequest = {0xED8C108E, 0x4349, 0x11D2, {0x91, 0xA4, 0x00, 0xC0, 0x4F, 0x79, 0x69, 0xE8}};
const IID IID_IXMLHTTPRequest = {0xED8C108D, 0x4349, 0x11D2, {0x91, 0xA4, 0x00, 0xC0, 0x4F, 0x79, 0x69, 0xE8}};

namespace platform::net {
namespace {

long idleTimeoutSeconds = 60;
// Large reads: fewer trips through the loop for a large body.
constexpr long kReceiveBufferBytes = 128 * 1024;

bool IsTokenChar(char16_t c) {
    if (c <= 0x20 || c >= 0x7F) return false;
    for (const char* s = "()<>@,;:\\\"/[]?={}"; *s; ++s)
        if (c == char16_t(*s)) return false;
    return true;
}

bool IsToken(const WCHAR* text) {
    if (!text || !*text) return false;
    for (; *text; ++text)
        if (!IsTokenChar(*text)) return false;
    return true;
}

bool HasLineBreak(const WCHAR* text) {
    for (; text && *text; ++text)
        if (*text == u'\r' || *text == u'\n') return true;
    return false;
}

bool IsNullOrMissing(const VARIANT& v) {
    return v.vt == VT_EMPTY || v.vt == VT_NULL || v.vt == VT_ERROR;
}

bool EqualNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

std::string Trim(const std::string& text) {
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

// The values of every header line of that name (case does not matter), joined by ", ".
bool FindHeader(const std::string& lines, const std::string& name, std::string* joined) {
    bool found = false;
    for (size_t at = 0; at < lines.size();) {
        size_t end = std::min(lines.find("\r\n", at), lines.size());
        std::string line = lines.substr(at, end - at);
        at = end + 2;
        size_t colon = line.find(':');
        if (colon == std::string::npos || !EqualNoCase(Trim(line.substr(0, colon)), name.c_str())) continue;
        if (found) *joined += ", ";
        *joined += Trim(line.substr(colon + 1));
        found = true;
    }
    return found;
}

BSTR AllocWide(const std::u16string& text) {
    return SysAllocStringLen(text.data(), UINT(text.size()));
}

// The status of a failed exchange, as WinINet names the failure.
LONG FailureStatus(CURLcode code, CURL* easy, bool tooLarge) {
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION: {
        long verify = 0;
        Curl().curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
        if (verify == 9 || verify == 10) return ERROR_INTERNET_SEC_CERT_DATE_INVALID; // not yet or no longer valid
        if (verify == 0 || verify == 62) return ERROR_INTERNET_SEC_CERT_CN_INVALID;   // another host's certificate
        return ERROR_INTERNET_INVALID_CA;
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_WRITE_ERROR:
    case CURLE_PARTIAL_FILE:
        return tooLarge ? ERROR_INTERNET_CONNECTION_ABORTED : ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return ERROR_INTERNET_CONNECTION_RESET;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

class XmlHttpRequest final : public ComObject<IXMLHTTPRequest, IID_IXMLHTTPRequest>, public Transfer {
public:
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 1 && easy_) {
            // Only the loop holds a running exchange: nobody can hear its answer any more. Leaving
            // the loop drops that last hold, and the object with it.
            CURL* easy = easy_;
            easy_ = nullptr;
            LeaveLoop(this, easy);
            Curl().curl_easy_cleanup(easy);
            return 0;
        }
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: the object is driven through its own interface only.
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

    HRESULT open(BSTR method, BSTR url, VARIANT async, VARIANT user, VARIANT password) override;
    HRESULT setRequestHeader(BSTR header, BSTR value) override;
    HRESULT getResponseHeader(BSTR header, BSTR* value) override;
    HRESULT getAllResponseHeaders(BSTR* headers) override;
    HRESULT send(VARIANT body) override;
    HRESULT abort() override;
    HRESULT get_status(LONG* status) override;
    HRESULT get_statusText(BSTR* text) override;
    HRESULT get_responseXML(IDispatch** document) override;
    HRESULT get_responseText(BSTR* text) override;
    HRESULT get_readyState(LONG* state) override {
        if (!state) return E_POINTER;
        *state = state_;
        return S_OK;
    }
    HRESULT put_onreadystatechange(IDispatch* sink) override {
        if (sink) sink->AddRef();
        if (sink_) sink_->Release();
        sink_ = sink;
        return S_OK;
    }

    bool Answers(REFIID riid) const override { return riid == IID_IDispatch; }

    // Transfer
    void Hold() override { AddRef(); }
    void Drop() override { Release(); }
    void DeliverPending() override;
    void Complete(CURL* easy, CURLcode code) override;
    void Cancel() override { Stop(); }

private:
    ~XmlHttpRequest() override {
        Stop();
        if (sink_) sink_->Release();
        if (responseXml_) responseXml_->Release();
        if (headers_) Curl().curl_slist_free_all(headers_);
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    void ReadHeaderLine(std::string line);

    // Ends the running transfer, if any, telling nobody.
    void Stop() {
        CURL* easy = easy_;
        if (!easy) return;
        easy_ = nullptr;
        AddRef();
        LeaveLoop(this, easy);
        Curl().curl_easy_cleanup(easy);
        Release();
    }
    void ClearAnswer() {
        status_ = 0;
        statusText_.clear();
        headerLines_.clear();
        pendingLines_.clear();
        body_.clear();
        if (responseXml_) responseXml_->Release();
        responseXml_ = nullptr;
        headersDone_ = false;
        pendingData_ = false;
        tooLarge_ = false;
        outOfMemory_ = false;
    }
    // Moves to `state` and tells the sink; false when the sink's handler started another exchange
    // or aborted this one meanwhile.
    bool Enter(LONG state) {
        unsigned exchange = exchange_;
        state_ = state;
        if (IDispatch* sink = sink_) {
            sink->AddRef();
            DISPPARAMS none{};
            sink->Invoke(DISPID_VALUE, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                         nullptr);
            sink->Release();
        }
        return exchange == exchange_;
    }
    bool HasAnswer() const { return state_ >= 2; }

    IDispatch* sink_ = nullptr;
    LONG state_ = 0;
    unsigned exchange_ = 0;
    bool sent_ = false;
    std::string method_;
    std::string url_;
    curl_slist* headers_ = nullptr;
    std::string requestBody_;
    CURL* easy_ = nullptr;

    // The answer: the final response's status line and header lines, and the body.
    LONG status_ = 0;
    std::string statusText_;
    std::string headerLines_;
    std::string pendingLines_; // of a response that may still turn out to be a redirect
    bool pendingLocation_ = false;
    long pendingStatus_ = 0;
    std::string pendingStatusText_;
    std::string body_;
    IDispatch* responseXml_ = nullptr; // parsed on first read at state 4
    bool headersDone_ = false;
    bool pendingData_ = false;
    bool tooLarge_ = false;
    bool outOfMemory_ = false; // a callback could not keep what arrived
};

HRESULT XmlHttpRequest::open(BSTR method, BSTR url, VARIANT async, VARIANT user, VARIANT password) {
    if (!IsToken(method)) return E_INVALIDARG;
    if (async.vt == VT_BOOL && !async.boolVal) return E_NOTIMPL;
    if (!IsNullOrMissing(user) || !IsNullOrMissing(password)) return E_INVALIDARG;
    std::u16string wide(url ? url : u"");
    auto startsWith = [&](const char* prefix) {
        size_t n = std::char_traits<char>::length(prefix);
        if (wide.size() < n) return false;
        for (size_t i = 0; i < n; ++i)
            if (towlower(wide[i]) != char16_t(prefix[i])) return false;
        return true;
    };
    if (!startsWith("http://") && !startsWith("https://"))
        return wide.empty() || wide.find(u':') == std::u16string::npos ? INET_E_INVALID_URL : INET_E_UNKNOWN_PROTOCOL;
    std::string target = Utf8FromWide(wide.c_str(), wide.size());
    if (!OpenCurl()) return E_FAIL;
    CURLU* parsed = Curl().curl_url();
    bool wellFormed = parsed && Curl().curl_url_set(parsed, CURLUPART_URL, target.c_str(), 0) == CURLUE_OK;
    if (parsed) Curl().curl_url_cleanup(parsed);
    if (!wellFormed) return INET_E_INVALID_URL;

    Stop();
    ++exchange_;
    ClearAnswer();
    if (headers_) Curl().curl_slist_free_all(headers_);
    headers_ = nullptr;
    requestBody_.clear();
    method_ = Utf8FromWide(method, wcslen(method));
    std::transform(method_.begin(), method_.end(), method_.begin(), [](char c) { return char(std::toupper(c)); });
    url_ = std::move(target);
    sent_ = false;
    AddRef(); // the sink's handler may drop the last other reference
    Enter(1);
    Release();
    return S_OK;
}

HRESULT XmlHttpRequest::setRequestHeader(BSTR header, BSTR value) {
    if (state_ != 1 || sent_) return E_UNEXPECTED;
    if (!IsToken(header) || HasLineBreak(value)) return E_INVALIDARG;
    std::string line = Utf8FromWide(header, wcslen(header));
    std::string text = value ? Utf8FromWide(value, wcslen(value)) : std::string();
    // Curl reads "Name:" as "remove the header" and "Name;" as "send it empty".
    line += text.empty() ? ";" : ": " + text;
    curl_slist* grown = Curl().curl_slist_append(headers_, line.c_str());
    if (!grown) return E_OUTOFMEMORY;
    headers_ = grown;
    return S_OK;
}

HRESULT XmlHttpRequest::send(VARIANT body) {
    if (state_ != 1 || sent_) return E_UNEXPECTED;
    requestBody_.clear();
    if (body.vt == VT_BSTR) {
        if (body.bstrVal) requestBody_ = Utf8FromWide(body.bstrVal, SysStringLen(body.bstrVal));
    } else if (!IsNullOrMissing(body)) {
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeTypeEx(&text, &body, LOCALE_INVARIANT, 0, VT_BSTR))) return E_INVALIDARG;
        if (text.bstrVal) requestBody_ = Utf8FromWide(text.bstrVal, SysStringLen(text.bstrVal));
        VariantClear(&text);
    }

    CURL* easy = Curl().curl_easy_init();
    if (!easy) return E_OUTOFMEMORY;
    ConfigureHttp(easy, url_.c_str());
    Curl().curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
    if (method_ == "GET") {
        Curl().curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method_ == "HEAD") {
        Curl().curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        Curl().curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(requestBody_.size()));
        Curl().curl_easy_setopt(easy, CURLOPT_POSTFIELDS, requestBody_.data());
        if (method_ != "POST") Curl().curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method_.c_str());
    }
    // Bodies go at once: no round trip waiting for "100 Continue".
    curl_slist* grown = Curl().curl_slist_append(headers_, "Expect:");
    if (!grown) {
        Curl().curl_easy_cleanup(easy);
        return E_OUTOFMEMORY;
    }
    headers_ = grown;
    Curl().curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_);
    Curl().curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    Curl().curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    Curl().curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    Curl().curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    Curl().curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    Curl().curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    Curl().curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idleTimeoutSeconds);
    if (!JoinLoop(this, easy)) {
        Curl().curl_easy_cleanup(easy);
        return E_OUTOFMEMORY;
    }
    easy_ = easy;
    sent_ = true;
    return S_OK;
}

HRESULT XmlHttpRequest::abort() {
    Stop();
    ++exchange_;
    ClearAnswer();
    state_ = 0;
    sent_ = false;
    return S_OK;
}

size_t XmlHttpRequest::OnHeader(char* data, size_t size, size_t count, void* context) {
    auto* self = static_cast<XmlHttpRequest*>(context);
    size_t n = size * count;
    try {
        self->ReadHeaderLine(std::string(data, n));
        return n;
    } catch (const std::bad_alloc&) {
        self->outOfMemory_ = true;
        return 0; // ends the transfer
    }
}

void XmlHttpRequest::ReadHeaderLine(std::string line) {
    if (line.compare(0, 5, "HTTP/") == 0) {
        // A new response: an interim one, a redirect, or the answer.
        size_t code = line.find(' ');
        size_t reason = code == std::string::npos ? code : line.find(' ', code + 1);
        pendingStatus_ = code == std::string::npos ? 0 : std::strtol(line.c_str() + code + 1, nullptr, 10);
        pendingStatusText_ = reason == std::string::npos ? std::string() : Trim(line.substr(reason + 1));
        pendingLines_.clear();
        pendingLocation_ = false;
        return;
    }
    if (Trim(line).empty()) {
        long status = pendingStatus_;
        bool followed =
            pendingLocation_ && (status == 301 || status == 302 || status == 303 || status == 307 || status == 308);
        if (status >= 200 && !followed) {
            status_ = LONG(status);
            statusText_ = pendingStatusText_;
            headerLines_ = pendingLines_;
            headersDone_ = true;
            // The body grows as it arrives: an announced length is only a claim.
        }
        return;
    }
    size_t colon = line.find(':');
    if (colon != std::string::npos && EqualNoCase(Trim(line.substr(0, colon)), "location")) pendingLocation_ = true;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    pendingLines_ += line;
    pendingLines_ += "\r\n";
}

size_t XmlHttpRequest::OnBody(char* data, size_t size, size_t count, void* context) {
    auto* self = static_cast<XmlHttpRequest*>(context);
    size_t n = size * count;
    if (self->body_.size() + n > kMaxResponseBytes) {
        self->tooLarge_ = true;
        return 0; // ends the transfer
    }
    try {
        self->body_.append(data, n);
    } catch (const std::bad_alloc&) {
        self->outOfMemory_ = true;
        return 0;
    }
    if (n) self->pendingData_ = true;
    return n;
}

void XmlHttpRequest::DeliverPending() {
    if (!easy_) return;
    AddRef();
    bool current = true;
    if (headersDone_ && state_ < 2) current = Enter(2);
    if (current && pendingData_ && (state_ == 2 || state_ == 3)) {
        pendingData_ = false;
        Enter(3);
    }
    Release();
}

void XmlHttpRequest::Complete(CURL* easy, CURLcode code) {
    if (!easy_ || easy != easy_) return; // an exchange that was stopped or replaced meanwhile
    AddRef();
    if (code == CURLE_OK && !headersDone_ && pendingStatus_ >= 200) {
        // A redirect that was not followed is the answer itself.
        status_ = LONG(pendingStatus_);
        statusText_ = pendingStatusText_;
        headerLines_ = pendingLines_;
        headersDone_ = true;
    }
    bool failed = code != CURLE_OK || !headersDone_;
    if (failed) {
        LONG status = outOfMemory_
                          ? ERROR_INTERNET_INTERNAL_ERROR
                          : FailureStatus(code == CURLE_OK ? CURLE_WEIRD_SERVER_REPLY : code, easy_, tooLarge_);
        ClearAnswer();
        status_ = status;
    }
    Stop();
    bool current = true;
    if (!failed) {
        if (state_ < 2) current = Enter(2);
        if (current && state_ < 3) current = Enter(3);
    }
    if (current) Enter(4);
    Release();
}

HRESULT XmlHttpRequest::get_status(LONG* status) {
    if (!status) return E_POINTER;
    if (!HasAnswer()) return E_PENDING;
    *status = status_;
    return S_OK;
}

HRESULT XmlHttpRequest::get_statusText(BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (!HasAnswer()) return E_PENDING;
    *text = AllocWide(WideFromUtf8(statusText_));
    return S_OK;
}

HRESULT XmlHttpRequest::getAllResponseHeaders(BSTR* headers) {
    if (!headers) return E_POINTER;
    *headers = nullptr;
    if (!HasAnswer()) return E_PENDING;
    *headers = AllocWide(WideFromUtf8(headerLines_));
    return S_OK;
}

HRESULT XmlHttpRequest::getResponseHeader(BSTR header, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!header || !*header) return E_INVALIDARG;
    if (!HasAnswer()) return E_PENDING;
    std::string joined;
    if (FindHeader(headerLines_, Utf8FromWide(header, wcslen(header)), &joined))
        *value = AllocWide(WideFromUtf8(joined));
    return S_OK;
}

HRESULT XmlHttpRequest::get_responseXML(IDispatch** document) {
    if (!document) return E_POINTER;
    *document = nullptr;
    if (!HasAnswer()) return E_PENDING;
    if (state_ != 4 || body_.empty()) return S_OK;
    if (!responseXml_) {
        std::string type;
        FindHeader(headerLines_, "content-type", &type);
        type = type.substr(0, type.find(';'));
        while (!type.empty() && type.back() == ' ')
            type.pop_back();
        for (char& c : type)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool xml = type.size() >= 4 && (type.compare(type.size() - 4, 4, "/xml") == 0 ||
                                              type.compare(type.size() - 4, 4, "+xml") == 0);
        // Only an XML answer is parsed; anything else, or a body that is no document, gives none.
        if (!xml || platform::xml::LoadDocumentFromBytes(body_.data(), body_.size(), &responseXml_) != S_OK)
            return S_OK;
    }
    responseXml_->AddRef();
    *document = responseXml_;
    return S_OK;
}

HRESULT XmlHttpRequest::get_responseText(BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (!HasAnswer()) return E_PENDING;
    const std::string& bytes = body_;
    auto has = [&](const char* bom, size_t n) { return bytes.size() >= n && bytes.compare(0, n, bom, n) == 0; };
    std::string charset;
    size_t at = 0;
    std::string contentType;
    FindHeader(headerLines_, "content-type", &contentType);
    for (char& c : contentType)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if ((at = contentType.find("charset=")) != std::string::npos) {
        charset = contentType.substr(at + 8);
        charset = Trim(charset.substr(0, charset.find(';')));
        if (charset.size() >= 2 && charset.front() == '"') charset = charset.substr(1, charset.size() - 2);
    }
    bool littleEndian = true;
    bool utf16 = false;
    size_t skip = 0;
    if (has("\xEF\xBB\xBF", 3)) {
        skip = 3;
        charset = "utf-8";
    } else if (has("\xFF\xFE", 2) || has("\xFE\xFF", 2)) {
        utf16 = true;
        littleEndian = bytes[0] == '\xFF';
        skip = 2;
    } else if (charset == "utf-16" || charset == "utf-16le" || charset == "utf-16be") {
        utf16 = true;
        littleEndian = charset != "utf-16be";
    }
    std::u16string wide;
    if (utf16) {
        wide.reserve((bytes.size() - skip) / 2);
        for (size_t i = skip; i + 1 < bytes.size(); i += 2) {
            auto lo = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
            auto hi = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
            wide += char16_t(lo | hi << 8);
        }
    } else if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii" || charset == "ascii") {
        wide.resize(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            wide[i] = char16_t(static_cast<unsigned char>(bytes[i]));
    } else if (std::all_of(bytes.begin() + std::ptrdiff_t(skip), bytes.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        // ASCII, the common case of a large body: each byte is its character.
        BSTR out = AllocBstrWidened(bytes.data() + skip, UINT(bytes.size() - skip));
        if (!out) return E_OUTOFMEMORY;
        *text = out;
        return S_OK;
    } else {
        int length = int(std::min<size_t>(bytes.size() - skip, 0x7FFFFFFF));
        BSTR out = nullptr;
        int n = length ? MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, length, nullptr, 0) : 0;
        out = SysAllocStringLen(nullptr, UINT(n > 0 ? n : 0));
        if (!out) return E_OUTOFMEMORY;
        if (n > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data() + skip, length, out, n);
        *text = out;
        return S_OK;
    }
    *text = AllocWide(wide);
    return *text || wide.empty() ? S_OK : E_OUTOFMEMORY;
}

} // namespace

void SetRequestIdleTimeout(long seconds) {
    idleTimeoutSeconds = seconds > 0 ? seconds : 1;
}

} // namespace platform::net

HRESULT CreateXMLHTTPRequest(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* request = new (std::nothrow) platform::net::XmlHttpRequest();
    if (!request) return E_OUTOFMEMORY;
    HRESULT hr = request->QueryInterface(riid, out);
    request->Release();
    return hr;
}
