#include "platform/net/url_moniker.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/shell/path_map.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/pump.h"

namespace {

// Records every call; keeps the binding as the system's own binder does.
class RecordingCallback final : public IBindStatusCallback {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IBindStatusCallback) {
            *out = static_cast<IBindStatusCallback*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; } // lives on the test's stack

    HRESULT OnStartBinding(DWORD, IBinding* b) override {
        calls.push_back("start");
        binding = b;
        binding->AddRef();
        return S_OK;
    }
    HRESULT GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    HRESULT OnStopBinding(HRESULT hr, LPCWSTR) override {
        calls.push_back("stop");
        result = hr;
        ++stops;
        if (binding) binding->Release();
        binding = nullptr;
        return S_OK;
    }
    HRESULT GetBindInfo(DWORD* flags, BINDINFO*) override {
        calls.push_back("info");
        *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE;
        return S_OK;
    }
    HRESULT OnDataAvailable(DWORD flags, DWORD size, FORMATETC*, STGMEDIUM* medium) override {
        ++dataCalls;
        lastFlags = flags;
        sizes.push_back(size);
        if (flags & BSCF_FIRSTDATANOTIFICATION) ++firsts;
        if (flags & BSCF_LASTDATANOTIFICATION) {
            ++lasts;
            content.clear();
            std::vector<char> buffer(1 << 16);
            ULONG read = 0;
            while (SUCCEEDED(medium->pstm->Read(buffer.data(), ULONG(buffer.size()), &read)) && read)
                content.append(buffer.data(), read);
        }
        return S_OK;
    }
    HRESULT OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

    ULONG refs = 0;
    IBinding* binding = nullptr;
    std::vector<std::string> calls;
    std::vector<DWORD> sizes;
    int dataCalls = 0, firsts = 0, lasts = 0, stops = 0;
    DWORD lastFlags = 0;
    HRESULT result = S_OK;
    std::string content;
};

HRESULT Bind(const std::u16string& url, RecordingCallback& callback) {
    IMoniker* moniker = nullptr;
    HRESULT hr = CreateURLMonikerEx(nullptr, url.c_str(), &moniker, 0);
    if (FAILED(hr)) return hr;
    IBindCtx* ctx = nullptr;
    hr = CreateAsyncBindCtx(0, &callback, nullptr, &ctx);
    if (SUCCEEDED(hr)) {
        void* stream = reinterpret_cast<void*>(1);
        hr = moniker->BindToStorage(ctx, nullptr, IID_IStream, &stream);
        EXPECT_EQ(stream, nullptr);
        ctx->Release();
    }
    moniker->Release();
    return hr;
}

class UrlMonikerTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(platform::net::RunningBindings(), 0);
        platform::net::CancelAllBindings();
    }
    test::HttpTestServer server;
};

TEST_F(UrlMonikerTest, DownloadsEndWithTheWholeContentOrOneFailure) {
    ASSERT_NE(server.Port(), 0);
    std::string big(test::HttpTestServer::kBigSize, 0);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = test::HttpTestServer::BigByte(i);
    std::string refused = "http://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/hello";
    struct Case {
        std::u16string url;
        HRESULT result;
        const std::string* content;
    } cases[] = {
        {server.Url("/hello"), S_OK, nullptr},
        {server.Url("/big"), S_OK, &big},
        {server.Url("/missing"), INET_E_RESOURCE_NOT_FOUND, nullptr},
        {std::u16string(refused.begin(), refused.end()), INET_E_CANNOT_CONNECT, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.url.begin(), c.url.end()));
        RecordingCallback callback;
        ASSERT_EQ(Bind(c.url, callback), MK_S_ASYNCHRONOUS);
        // Only the start is heard inside the call.
        EXPECT_EQ(callback.calls, (std::vector<std::string>{"info", "start"}));
        ASSERT_TRUE(test::PumpUntil([&] { return callback.stops > 0; }));
        EXPECT_EQ(callback.stops, 1);
        EXPECT_EQ(callback.result, c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(callback.firsts, 1);
            EXPECT_EQ(callback.lasts, 1);
            EXPECT_TRUE(callback.lastFlags & BSCF_LASTDATANOTIFICATION) << "the last data comes last";
            EXPECT_EQ(callback.content, c.content ? *c.content : "hello, world");
            EXPECT_EQ(callback.sizes.back(), callback.content.size());
        } else {
            EXPECT_EQ(callback.lasts, 0);
        }
        EXPECT_EQ(callback.refs, 0u) << "the binding let go of its callback";
    }
}

TEST_F(UrlMonikerTest, AbortEndsAtOnceAndNothingFollows) {
    RecordingCallback callback;
    ASSERT_EQ(Bind(server.Url("/stall"), callback), MK_S_ASYNCHRONOUS);
    ASSERT_TRUE(test::PumpUntil([&] { return server.Stalled() && callback.dataCalls > 0; }));
    ASSERT_NE(callback.binding, nullptr);
    int dataCalls = callback.dataCalls;
    EXPECT_EQ(callback.binding->Abort(), S_OK);
    EXPECT_EQ(callback.stops, 1);
    EXPECT_EQ(callback.result, E_ABORT);
    test::PumpFor(100);
    EXPECT_EQ(callback.stops, 1);
    EXPECT_EQ(callback.dataCalls, dataCalls);
    EXPECT_EQ(callback.lasts, 0);
    EXPECT_EQ(callback.refs, 0u);
}

TEST_F(UrlMonikerTest, AbortRightAfterTheStartCallsNothingLater) {
    RecordingCallback callback;
    ASSERT_EQ(Bind(server.Url("/hello"), callback), MK_S_ASYNCHRONOUS);
    ASSERT_NE(callback.binding, nullptr);
    callback.binding->Abort();
    test::PumpFor(100);
    EXPECT_EQ(callback.calls, (std::vector<std::string>{"info", "start", "stop"}));
    EXPECT_EQ(callback.dataCalls, 0);
}

TEST_F(UrlMonikerTest, CancellingEveryBindingReleasesCallbacksSilently) {
    RecordingCallback callback;
    ASSERT_EQ(Bind(server.Url("/stall"), callback), MK_S_ASYNCHRONOUS);
    IBinding* binding = callback.binding;
    callback.binding = nullptr;
    EXPECT_EQ(platform::net::CancelAllBindings(), 1);
    EXPECT_EQ(callback.stops, 0);
    EXPECT_EQ(callback.refs, 0u);
    EXPECT_EQ(binding->Abort(), S_FALSE) << "already ended";
    binding->Release();
}

TEST_F(UrlMonikerTest, FileUrlsReadDevicePaths) {
    std::string host = std::filesystem::temp_directory_path() / ("tandu-moniker-" + std::to_string(getpid()));
    std::filesystem::create_directories(host + "/a b");
    std::ofstream(host + "/a b/scene.box") << "<box/>";
    std::u16string device = platform::DevicePathFromHost(host);
    ASSERT_FALSE(device.empty());
    for (std::u16string url : {u"file://" + device + u"/a%20b/scene.box", u"file:" + device + u"\\a b\\scene.box"}) {
        RecordingCallback callback;
        ASSERT_EQ(Bind(url, callback), MK_S_ASYNCHRONOUS);
        ASSERT_TRUE(test::PumpUntil([&] { return callback.stops > 0; }));
        EXPECT_EQ(callback.result, S_OK);
        EXPECT_EQ(callback.content, "<box/>");
    }
    RecordingCallback missing;
    ASSERT_EQ(Bind(u"file://" + device + u"/none.box", missing), MK_S_ASYNCHRONOUS);
    ASSERT_TRUE(test::PumpUntil([&] { return missing.stops > 0; }));
    EXPECT_EQ(missing.result, INET_E_RESOURCE_NOT_FOUND);
    std::filesystem::remove_all(host);
}

TEST_F(UrlMonikerTest, BadUrlsFailAtOnce) {
    IMoniker* moniker = nullptr;
    EXPECT_EQ(CreateURLMonikerEx(nullptr, u"", &moniker, 0), MK_E_SYNTAX);
    EXPECT_EQ(CreateURLMonikerEx(nullptr, u"ftp://host/x", &moniker, 0), INET_E_UNKNOWN_PROTOCOL);
    EXPECT_EQ(CreateURLMonikerEx(nullptr, u"box://pkg/x", &moniker, 0), INET_E_UNKNOWN_PROTOCOL);
    EXPECT_EQ(moniker, nullptr);
    RecordingCallback callback;
    EXPECT_EQ(Bind(u"http://[bad", callback), INET_E_INVALID_URL);
    EXPECT_TRUE(callback.calls.empty());
}

} // namespace
