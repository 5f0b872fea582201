#include "platform/net/xml_http_request.h"

#include <gtest/gtest.h>
#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of the bytes allocated and not yet freed.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/com/class_registry.h"
#include "platform/net/com_object_internal.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/path_map.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/pump.h"
#include "platform/tests/test_service.h"

namespace {

// A ready-state sink that records the state it finds at each call, and may act on the request.
class Sink final : public platform::net::ComObject<IDispatch, IID_IDispatch> {
public:
    explicit Sink(IXMLHTTPRequest* request) : request_(request) {}
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        EXPECT_EQ(id, DISPID_VALUE);
        EXPECT_EQ(flags, DISPATCH_METHOD);
        EXPECT_EQ(params ? params->cArgs : 0u, 0u);
        LONG state = -1;
        request_->get_readyState(&state);
        if (states.empty() || states.back() != state || state != 3) states.push_back(state);
        if (onCall) onCall(state);
        return S_OK;
    }

    std::vector<LONG> states; // repeated 3s collapsed
    std::function<void(LONG)> onCall;

private:
    ~Sink() override = default;
    IXMLHTTPRequest* request_;
};

std::u16string Wide(const std::string& text) {
    return platform::WideFromUtf8(text);
}

std::string Narrow(BSTR text) {
    return text ? platform::Utf8FromWide(text, SysStringLen(text)) : std::string("(null)");
}

VARIANT Null() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return v;
}

VARIANT True() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    return v;
}

class XmlHttpRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Ready()) << "the test service did not start";
        setenv("TANDU_CA_FILE", service.CaFile().c_str(), 1);
        request = New();
        sink = new Sink(request);
        ASSERT_EQ(request->put_onreadystatechange(sink), S_OK);
    }
    void TearDown() override {
        if (request) request->Release();
        sink->Release();
        EXPECT_EQ(platform::net::RunningBindings(), 0);
        unsetenv("TANDU_CA_FILE");
        platform::net::SetRequestIdleTimeout(60);
    }

    static IXMLHTTPRequest* New() {
        IXMLHTTPRequest* made = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_XMLHTTPRequest, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLHTTPRequest,
                                   reinterpret_cast<void**>(&made)),
                  S_OK);
        return made;
    }

    static HRESULT Open(IXMLHTTPRequest* r, const char* method, const std::string& url) {
        BSTR m = SysAllocString(Wide(method).c_str());
        BSTR u = SysAllocString(Wide(url).c_str());
        HRESULT hr = r->open(m, u, True(), Null(), Null());
        SysFreeString(m);
        SysFreeString(u);
        return hr;
    }
    static HRESULT Header(IXMLHTTPRequest* r, const char* name, const char* value) {
        BSTR n = SysAllocString(Wide(name).c_str());
        BSTR v = SysAllocString(Wide(value).c_str());
        HRESULT hr = r->setRequestHeader(n, v);
        SysFreeString(n);
        SysFreeString(v);
        return hr;
    }
    static HRESULT Send(IXMLHTTPRequest* r, const std::string& body = "") {
        VARIANT v;
        VariantInit(&v);
        if (!body.empty()) {
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(Wide(body).c_str());
        }
        HRESULT hr = r->send(v);
        VariantClear(&v);
        return hr;
    }
    // GET the URL and run the loop until the exchange is done.
    bool Get(const std::string& url) {
        if (Open(request, "GET", url) != S_OK || Send(request) != S_OK) return false;
        return test::PumpUntil([&] { return !sink->states.empty() && sink->states.back() == 4; }, 30000);
    }
    LONG Status() {
        LONG status = -1;
        EXPECT_EQ(request->get_status(&status), S_OK);
        return status;
    }
    std::string Text(HRESULT expect = S_OK) {
        BSTR text = nullptr;
        EXPECT_EQ(request->get_responseText(&text), expect);
        std::string out = text ? Narrow(text) : std::string();
        SysFreeString(text);
        return out;
    }
    std::string ResponseHeader(const char* name) {
        BSTR n = SysAllocString(Wide(name).c_str());
        BSTR value = nullptr;
        EXPECT_EQ(request->getResponseHeader(n, &value), S_OK);
        std::string out = Narrow(value);
        SysFreeString(n);
        SysFreeString(value);
        return out;
    }

    test::TestService service;
    IXMLHTTPRequest* request = nullptr;
    Sink* sink = nullptr;
};

TEST_F(XmlHttpRequestTest, AnExchangeGoesThroughEveryStateOnTheLoop) {
    ASSERT_EQ(Open(request, "GET", service.Http("/utf8")), S_OK);
    EXPECT_EQ(sink->states, (std::vector<LONG>{1})) << "open reports state 1 at once";
    LONG status = 0;
    EXPECT_EQ(request->get_status(&status), E_PENDING) << "no status before an answer";
    ASSERT_EQ(Send(request), S_OK);
    EXPECT_EQ(sink->states, (std::vector<LONG>{1})) << "nothing is called inside send";
    ASSERT_TRUE(test::PumpUntil([&] { return sink->states.back() == 4; }));
    EXPECT_EQ(sink->states, (std::vector<LONG>{1, 2, 3, 4}));
    EXPECT_EQ(Status(), 200);
    BSTR text = nullptr;
    ASSERT_EQ(request->get_statusText(&text), S_OK);
    EXPECT_EQ(Narrow(text), "OK");
    SysFreeString(text);
    EXPECT_EQ(Text(), "Привет, мир! € 😀 ünïcödé");
    EXPECT_EQ(ResponseHeader("CONTENT-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(ResponseHeader("X-Absent"), "(null)");
}

TEST_F(XmlHttpRequestTest, EveryKindOfAnswerEndsAtStateFourWithItsStatus) {
    std::string refused = "http://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/";
    struct Case {
        std::string url;
        LONG status;
        const char* text;
        std::vector<LONG> states;
    } cases[] = {
        {service.Http("/hello"), 200, "hello, world", {1, 2, 3, 4}},
        {service.Http("/latin1"), 200, "café", {1, 2, 3, 4}},
        {service.Http("/empty"), 200, "", {1, 2, 3, 4}},
        {service.Http("/missing"), 404, "not found", {1, 2, 3, 4}},
        {service.Http("/status/500"), 500, "status 500", {1, 2, 3, 4}},
        {service.Http("/redirect"), 200, "hello, world", {1, 2, 3, 4}},
        {service.Https("/hello"), 200, "hello, world", {1, 2, 3, 4}},
        {service.Http("/redirect-loop"), ERROR_HTTP_REDIRECT_FAILED, "", {1, 4}},
        {refused, ERROR_INTERNET_CANNOT_CONNECT, "", {1, 4}},
        {service.Http("/endless"), ERROR_INTERNET_CONNECTION_ABORTED, "", {1, 2, 3, 4}},
        {service.Untrusted("/hello"), ERROR_INTERNET_INVALID_CA, "", {1, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        sink->states.clear();
        ASSERT_TRUE(Get(c.url));
        EXPECT_EQ(sink->states, c.states);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(Text(), c.text);
    }
}

std::string Escaped(const std::string& url) {
    std::string out;
    for (char c : url)
        out += c == ':' ? std::string("%3A") : c == '/' ? std::string("%2F") : std::string(1, c);
    return out;
}

TEST_F(XmlHttpRequestTest, WhatWentOutProtectedIsNeverRedirectedIntoTheClear) {
    struct Case {
        std::string from, to;
        LONG status;
    } cases[] = {
        {service.Https("/redirect-to?"), service.Http("/echo"), ERROR_HTTP_REDIRECT_FAILED},
        {service.Https("/redirect-to?"), service.Https("/echo"), 200},
        {service.Http("/redirect-to?"), service.Https("/echo"), 200},
        {service.Http("/redirect-to?"), service.Http("/echo"), 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from + " to " + c.to);
        sink->states.clear();
        ASSERT_EQ(Open(request, "POST", c.from + Escaped(c.to)), S_OK);
        ASSERT_EQ(Send(request, "name=ann&pwd=weft"), S_OK);
        ASSERT_TRUE(test::PumpUntil([&] { return sink->states.back() == 4; }, 30000));
        EXPECT_EQ(Status(), c.status);
        std::string echo = Text();
        EXPECT_EQ(echo.find("pwd=weft") != std::string::npos, c.status == 200) << echo;
    }
}

// The process's reserved address space, or its resident memory, in KiB.
long ProcessKiB(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') kib = std::atol(line + length + 1);
    std::fclose(status);
    return kib;
}

// The heap in use, in KiB: what is allocated and not freed (freed memory the sanitizer holds back
// does not count).
long LiveHeapKiB() {
#if defined(__SANITIZE_ADDRESS__)
    return long(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
#endif
}

// Starts `count` GETs of the URL and runs the loop until each has reached at least `state`.
std::vector<IXMLHTTPRequest*> StartMany(int count, const std::string& url, LONG state, std::vector<Sink*>* sinks) {
    std::vector<IXMLHTTPRequest*> requests;
    for (int i = 0; i < count; ++i) {
        IXMLHTTPRequest* r = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_XMLHTTPRequest, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLHTTPRequest,
                                   reinterpret_cast<void**>(&r)),
                  S_OK);
        Sink* s = new Sink(r);
        r->put_onreadystatechange(s);
        BSTR m = SysAllocString(u"GET");
        BSTR u = SysAllocString(Wide(url).c_str());
        EXPECT_EQ(r->open(m, u, True(), Null(), Null()), S_OK);
        SysFreeString(m);
        SysFreeString(u);
        VARIANT none;
        VariantInit(&none);
        EXPECT_EQ(r->send(none), S_OK);
        requests.push_back(r);
        sinks->push_back(s);
    }
    EXPECT_TRUE(test::PumpUntil(
        [&] {
            for (Sink* s : *sinks)
                if (s->states.back() < state) return false;
            return true;
        },
        60000));
    return requests;
}

void ReleaseAll(std::vector<IXMLHTTPRequest*>& requests, std::vector<Sink*>& sinks) {
    for (IXMLHTTPRequest* r : requests)
        r->Release();
    for (Sink* s : sinks)
        s->Release();
}

TEST_F(XmlHttpRequestTest, AnAnnouncedLengthReservesNothingBeforeTheBytesCome) {
    // Each answer announces 32 MiB and sends 10 bytes: the announcement must cost nothing.
    constexpr int kAnswers = 24;
    const long before = ProcessKiB("VmSize");
    std::vector<Sink*> sinks;
    std::vector<IXMLHTTPRequest*> requests = StartMany(kAnswers, service.Http("/liar"), 3, &sinks);
    const long grown = ProcessKiB("VmSize") - before;
    EXPECT_LT(grown, 256L * 1024) << "KiB reserved for " << kAnswers << " answers of 10 bytes";
    BSTR text = nullptr;
    ASSERT_EQ(requests[0]->get_responseText(&text), S_OK);
    EXPECT_EQ(Narrow(text), "0123456789");
    SysFreeString(text);
    ReleaseAll(requests, sinks);
}

TEST_F(XmlHttpRequestTest, RequestsInFlightShareOneCaSet) {
    // With TANDU_CA_FILE set each connection checks against the system's bundle and the file; the
    // set is loaded once, not held again by every request.
    constexpr int kRequests = 24;
    const long before = LiveHeapKiB();
    std::vector<Sink*> sinks;
    std::vector<IXMLHTTPRequest*> requests = StartMany(kRequests, service.Https("/liar"), 3, &sinks);
    const long grown = LiveHeapKiB() - before;
    // Each connection's own state is a few hundred KiB; a copy of the set would add over a MiB.
    EXPECT_LT(grown, 512L * kRequests) << "KiB for " << kRequests << " requests in flight";
    ReleaseAll(requests, sinks);
}

TEST_F(XmlHttpRequestTest, HeadersAndBodyGoAsGivenAndComeBackWhole) {
    ASSERT_EQ(Header(request, "X-Early", "1"), E_UNEXPECTED) << "headers wait for open";
    ASSERT_EQ(Open(request, "post", service.Http("/echo")), S_OK);
    EXPECT_EQ(Header(request, "Content-Type", "application/x-www-form-urlencoded"), S_OK);
    EXPECT_EQ(Header(request, "User-Agent", "mobileTandu/1.0"), S_OK);
    EXPECT_EQ(Header(request, "X-Split", "a\r\nX-Injected: 1"), E_INVALIDARG);
    EXPECT_EQ(Header(request, "Bad Name", "1"), E_INVALIDARG);
    std::string body(3000, 'x');
    body += "&é=1";
    ASSERT_EQ(Send(request, body), S_OK);
    EXPECT_EQ(Send(request, body), E_UNEXPECTED) << "one send per open";
    EXPECT_EQ(Header(request, "X-Late", "1"), E_UNEXPECTED);
    ASSERT_TRUE(test::PumpUntil([&] { return sink->states.back() == 4; }));
    std::string echo = Text();
    EXPECT_EQ(echo.substr(0, echo.find('\n')), "POST /echo");
    EXPECT_NE(echo.find("\nContent-Type: application/x-www-form-urlencoded\n"), std::string::npos) << echo;
    EXPECT_NE(echo.find("\nUser-Agent: mobileTandu/1.0\n"), std::string::npos) << echo;
    EXPECT_EQ(echo.find("X-Injected"), std::string::npos) << echo;
    EXPECT_EQ(echo.find("Expect"), std::string::npos) << "the body goes without waiting for 100 Continue";
    EXPECT_EQ(echo.substr(echo.find("\n\n") + 2), body);

    sink->states.clear();
    ASSERT_TRUE(Get(service.Http("/headers")));
    EXPECT_EQ(ResponseHeader("x-twice"), "a, b");
    BSTR all = nullptr;
    ASSERT_EQ(request->getAllResponseHeaders(&all), S_OK);
    std::string lines = Narrow(all);
    SysFreeString(all);
    EXPECT_NE(lines.substr(0, 5), "HTTP/") << "no status line";
    EXPECT_NE(lines.find("X-One: 1\r\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("X-Twice: a\r\nX-Twice: b\r\n"), std::string::npos) << lines;
}

TEST_F(XmlHttpRequestTest, BadArgumentsAreRefusedBeforeAnythingStarts) {
    EXPECT_EQ(Open(request, "GET", "ftp://127.0.0.1/x"), INET_E_UNKNOWN_PROTOCOL);
    EXPECT_EQ(Open(request, "GET", "no url"), INET_E_INVALID_URL);
    EXPECT_EQ(Open(request, "GET", ""), INET_E_INVALID_URL);
    EXPECT_EQ(Open(request, "GE T", service.Http("/hello")), E_INVALIDARG);
    EXPECT_EQ(Open(request, "", service.Http("/hello")), E_INVALIDARG);
    EXPECT_TRUE(sink->states.empty());
    EXPECT_EQ(Send(request), E_UNEXPECTED) << "send before open";
    LONG state = -1;
    EXPECT_EQ(request->get_readyState(&state), S_OK);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(Text(E_PENDING), "");
}

TEST_F(XmlHttpRequestTest, TenMegabytesArriveWhole) {
    ASSERT_TRUE(Get(service.Http("/big")));
    EXPECT_EQ(Status(), 200);
    std::string body = Text();
    ASSERT_EQ(body.size(), 10u * 1024 * 1024);
    const std::string pattern = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/";
    size_t wrong = 0;
    for (size_t i = 0; i < body.size(); ++i)
        wrong += body[i] != pattern[i % pattern.size()];
    EXPECT_EQ(wrong, 0u);
}

TEST_F(XmlHttpRequestTest, AbortMidTransferCallsNothingAfterwards) {
    ASSERT_EQ(Open(request, "GET", service.Http("/stall")), S_OK);
    ASSERT_EQ(Send(request), S_OK);
    ASSERT_TRUE(test::PumpUntil([&] { return sink->states.back() == 3; }));
    ASSERT_EQ(request->abort(), S_OK);
    LONG state = -1;
    request->get_readyState(&state);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(platform::net::RunningBindings(), 0);
    std::vector<LONG> seen = sink->states;

    // Another exchange runs to its end on the same loop; the aborted one stays silent.
    IXMLHTTPRequest* other = New();
    Sink* otherSink = new Sink(other);
    other->put_onreadystatechange(otherSink);
    ASSERT_EQ(Open(other, "GET", service.Http("/hello")), S_OK);
    ASSERT_EQ(Send(other), S_OK);
    ASSERT_TRUE(test::PumpUntil([&] { return otherSink->states.back() == 4; }));
    EXPECT_EQ(sink->states, seen);
    other->Release();
    otherSink->Release();
}

TEST_F(XmlHttpRequestTest, ASilentServerTimesOut) {
    platform::net::SetRequestIdleTimeout(1);
    ASSERT_TRUE(Get(service.Http("/silent")));
    EXPECT_EQ(sink->states, (std::vector<LONG>{1, 4}));
    EXPECT_EQ(Status(), ERROR_INTERNET_TIMEOUT);
    EXPECT_EQ(Text(), "");
}

TEST_F(XmlHttpRequestTest, TheHandlerMayReplaceTheSinkOrReleaseTheRequest) {
    // A handler that puts another sink at state 2: the old one hears nothing more.
    Sink* second = new Sink(request);
    sink->onCall = [&](LONG state) {
        if (state == 2) request->put_onreadystatechange(second);
    };
    ASSERT_EQ(Open(request, "GET", service.Http("/hello")), S_OK);
    ASSERT_EQ(Send(request), S_OK);
    ASSERT_TRUE(test::PumpUntil([&] { return !second->states.empty() && second->states.back() == 4; }));
    EXPECT_EQ(sink->states, (std::vector<LONG>{1, 2}));
    EXPECT_EQ(second->states, (std::vector<LONG>{3, 4}));
    second->Release();

    // The last reference let go mid-transfer ends the transfer.
    sink->onCall = nullptr;
    sink->states.clear();
    request->put_onreadystatechange(sink);
    ASSERT_EQ(Open(request, "GET", service.Http("/stall")), S_OK);
    ASSERT_EQ(Send(request), S_OK);
    ASSERT_TRUE(test::PumpUntil([&] { return sink->states.back() == 3; }));
    request->Release();
    request = nullptr;
    EXPECT_EQ(platform::net::RunningBindings(), 0);
}

} // namespace
