#include "app/uri_request.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/uri_callback.h"
#include "platform/backend/headless.h"
#include "platform/crt/wide.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/path_map.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/pump.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_constructors.h"
#include "toolkit/core/uri_load.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/markup/box_uri.h"

namespace {

// The script listener of a download: records "data <content>" and "error <code>".
class Listener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    std::vector<std::string> calls;
    std::string content;
    int32_t error = 0;
};

int32_t OnData(NUBO::XObject* object, int, NUBO::XArgList* args, NUBO::XVariant*) {
    auto* self = static_cast<Listener*>(object);
    const VARIANT* arg = args->GetArg(0);
    IStream* stream = nullptr;
    if (arg->vt == VT_UNKNOWN && arg->punkVal)
        arg->punkVal->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream));
    self->content.clear();
    if (stream) {
        char buffer[65536];
        ULONG read = 0;
        while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read)
            self->content.append(buffer, read);
        stream->Release();
    }
    self->calls.push_back("data");
    return 0;
}

int32_t OnError(NUBO::XObject* object, int, NUBO::XArgList* args, NUBO::XVariant*) {
    auto* self = static_cast<Listener*>(object);
    self->error = args->GetArg(0)->ToInt32();
    self->calls.push_back("error");
    return 0;
}

const NUBO::XMemberEntry kListenerMembers[] = {
    NUBO::XMethod("onDataAvailable", OnData),
    NUBO::XMethod("onError", OnError),
    NUBO::XMemberEnd(),
};
NUBO::XClassDescriptor Listener::Descriptor = {"Listener", 3, kListenerMembers, &NUBO::XObject::Descriptor, 0, {}};

// A link in the resources folder to a file elsewhere, gone with the object; Url() names it.
class ResourceFile {
public:
    ResourceFile(const std::string& name, const std::string& target) {
        const NUBO::TWString& folder = GetResourcesFolder();
        device_ = std::u16string(folder.GetString()) + u"tandu-test-" + platform::WideFromUtf8(name) + u"-" +
                  platform::WideFromUtf8(std::to_string(getpid()));
        host_ = platform::HostPathFromDevice(device_);
        std::filesystem::remove(host_);
        std::filesystem::create_symlink(target, host_);
    }
    ~ResourceFile() { std::filesystem::remove(host_); }
    std::u16string Url() const {
        std::u16string url = u"file://" + device_;
        for (char16_t& c : url)
            if (c == u'\\') c = u'/';
        return url;
    }

private:
    std::u16string device_;
    std::string host_;
};

class UriRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        NUBO::XObject* made = nullptr;
        ASSERT_EQ(CreateXUriRequest(&made), 0);
        request = static_cast<XUriRequest*>(made);
    }
    void TearDown() override {
        platform::headless::UseRealClock();
        request->Release();
        EXPECT_EQ(platform::net::RunningBindings(), 0);
    }
    // openStream(url, listener) as scripts call it.
    int32_t OpenStream(const std::u16string& url, const NUBO::XVariant& listener) {
        NUBO::XArgList args;
        args.PushArg(NUBO::XVariant(url.c_str()));
        args.PushArg(listener);
        NUBO::XVariant result;
        return request->InvokeMethodByName(u"openStream", &args, &result);
    }
    static Listener* NewListener() {
        auto* listener = new Listener();
        listener->AddRef();
        return listener;
    }

    test::HttpTestServer server;
    XUriRequest* request = nullptr;
};

TEST_F(UriRequestTest, TheListenerHearsTheWholeContentOnceOrOneError) {
    std::string big(test::HttpTestServer::kBigSize, 0);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = test::HttpTestServer::BigByte(i);
    std::string refused = "http://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/";
    struct Case {
        std::u16string url;
        const char* call;
        const std::string* content;
        int32_t error;
    } cases[] = {
        {server.Url("/hello"), "data", nullptr, 0},
        {server.Url("/big"), "data", &big, 0},
        {server.Url("/missing"), "error", nullptr, int32_t(INET_E_RESOURCE_NOT_FOUND)},
        {std::u16string(refused.begin(), refused.end()), "error", nullptr, int32_t(INET_E_CANNOT_CONNECT)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.url.begin(), c.url.end()));
        Listener* listener = NewListener();
        ASSERT_EQ(OpenStream(c.url, NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), 0);
        EXPECT_TRUE(listener->calls.empty()) << "nothing is called inside openStream";
        ASSERT_TRUE(test::PumpUntil([&] { return !listener->calls.empty(); }));
        test::PumpFor(20);
        EXPECT_EQ(listener->calls, (std::vector<std::string>{c.call}));
        if (c.error)
            EXPECT_EQ(listener->error, c.error);
        else
            EXPECT_EQ(listener->content, c.content ? *c.content : "hello, world");
        EXPECT_EQ(listener->GetRefCount(), 1) << "the finished download let go of its listener";
        listener->Release();
    }
}

TEST_F(UriRequestTest, AnAbortedDownloadCallsOnErrorOnceAndNothingAfter) {
    Listener* listener = NewListener();
    ASSERT_EQ(OpenStream(server.Url("/stall"), NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), 0);
    ASSERT_TRUE(test::PumpUntil([&] { return server.Stalled(); }));
    test::PumpFor(20);
    NUBO::XArgList none;
    NUBO::XVariant result;
    EXPECT_EQ(request->InvokeMethodByName(u"abort", &none, &result), 0);
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"error"}));
    EXPECT_EQ(listener->error, int32_t(0x80004004)) << "E_ABORT passes through";
    test::PumpFor(100);
    EXPECT_EQ(listener->calls.size(), 1u);
    EXPECT_EQ(request->InvokeMethodByName(u"abort", &none, &result), 0) << "nothing running";
    EXPECT_EQ(listener->GetRefCount(), 1);
    listener->Release();
}

TEST_F(UriRequestTest, ARequestLetGoOfKeepsItsDownloadAndItsListener) {
    Listener* listener = NewListener();
    ASSERT_EQ(OpenStream(server.Url("/hello"), NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), 0);
    request->Release();
    ASSERT_EQ(CreateXUriRequest(reinterpret_cast<NUBO::XObject**>(&request)), 0);
    ASSERT_TRUE(test::PumpUntil([&] { return !listener->calls.empty(); }));
    EXPECT_EQ(listener->content, "hello, world");
    listener->Release();
}

TEST_F(UriRequestTest, AFileOutsideTheScenesFoldersIsRefusedAtOnce) {
    const std::string secret = std::filesystem::temp_directory_path() / ("tandu-secret-" + std::to_string(getpid()));
    std::ofstream(secret) << "secret";
    const ResourceFile inside("inside", secret);
    const std::u16string secretUrl = u"file://" + platform::WideFromUtf8(secret);
    std::u16string climb = inside.Url();
    climb = climb.substr(0, climb.rfind(u'/')) + u"/%2e%2e/%2E%2E/%2e%2e" + platform::WideFromUtf8(secret);
    for (const std::u16string& url : {secretUrl, climb, std::u16string(u"file:///etc/passwd")}) {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        Listener* listener = NewListener();
        EXPECT_EQ(OpenStream(url, NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), NUBO::XR_FAIL);
        test::PumpFor(20);
        EXPECT_TRUE(listener->calls.empty());
        listener->Release();
    }
    // Named inside the resources folder the same file reads (the folder is trusted as it stands).
    Listener* listener = NewListener();
    ASSERT_EQ(OpenStream(inside.Url(), NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), 0);
    ASSERT_TRUE(test::PumpUntil([&] { return !listener->calls.empty(); }));
    EXPECT_EQ(listener->content, "secret");
    listener->Release();
    std::filesystem::remove(secret);
}

TEST_F(UriRequestTest, StartFailuresAreAnsweredAtOnce) {
    Listener* listener = NewListener();
    NUBO::XVariant object(static_cast<NUBO::XObject*>(listener));
    EXPECT_EQ(OpenStream(server.Url("/hello"), NUBO::XVariant(7)), NUBO::XR_INVALID) << "a number is no listener";
    EXPECT_EQ(OpenStream(u"gopher://x/", object), NUBO::ResultFromHResult(INET_E_UNKNOWN_PROTOCOL));
    EXPECT_EQ(OpenStream(u"", object), NUBO::ResultFromHResult(MK_E_SYNTAX));
    NUBO::XArgList one;
    one.PushArg(NUBO::XVariant(u"http://127.0.0.1/"));
    NUBO::XVariant result;
    EXPECT_EQ(request->InvokeMethodByName(u"openStream", &one, &result), NUBO::XR_TOO_FEW_ARGS);
    test::PumpFor(20);
    EXPECT_TRUE(listener->calls.empty());
    object.Clear();
    EXPECT_EQ(listener->GetRefCount(), 1);
    listener->Release();

    // Scripts make requests with `new uriRequest()`; a plain call makes nothing.
    NUBO::XObject* constructor = nullptr;
    ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXUriRequest, &constructor), 0);
    NUBO::XVariant made;
    DISPPARAMS noArgs{nullptr, nullptr, 0, 0};
    EXPECT_EQ(constructor->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_CONSTRUCT, &noArgs, &made, nullptr, nullptr),
              S_OK);
    NUBO::RefPtr<NUBO::XObject> madeObject(made.ToXObject());
    EXPECT_TRUE(NUBO::XObject::IsKindOf(madeObject.get(), &XUriRequest::Descriptor));
    madeObject = nullptr;
    NUBO::XVariant plain;
    EXPECT_EQ(constructor->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &noArgs, &plain, nullptr, nullptr),
              S_FALSE);
    EXPECT_EQ(plain.vt, VT_EMPTY);
    made.Clear();
    constructor->Release();
}

// An endless body or a compression bomb used to grow the content until memory ran out.
TEST_F(UriRequestTest, ContentPastTheSizeCapEndsTheRequestWithOneError) {
    static_assert(test::HttpTestServer::kBombSize > platform::net::kMaxDownloadBytes);
    // A file without end, named inside the resources folder.
    const ResourceFile zero("zero", "/dev/zero");
    for (const std::u16string& url : {server.Url("/endless"), server.Url("/bomb"), zero.Url()}) {
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        Listener* listener = NewListener();
        ASSERT_EQ(OpenStream(url, NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), 0);
        ASSERT_TRUE(test::PumpUntil([&] { return !listener->calls.empty(); }, 60000));
        EXPECT_EQ(listener->calls, (std::vector<std::string>{"error"}));
        EXPECT_EQ(listener->error, int32_t(INET_E_DOWNLOAD_FAILURE));
        EXPECT_EQ(listener->GetRefCount(), 1) << "the ended download let go of its listener";
        listener->Release();
    }
}

// A server that took the request and never answered used to keep it forever. The loop runs on the
// virtual clock, so the time-out passes without being waited for.
TEST_F(UriRequestTest, ASilentServerEndsTheRequestAtTheIdleTimeOut) {
    platform::VirtualClock& clock = platform::headless::UseVirtualClock(1000);
    Listener* listener = NewListener();
    ASSERT_EQ(OpenStream(server.Url("/silent"), NUBO::XVariant(static_cast<NUBO::XObject*>(listener))), 0);
    // Until the request has reached the server, the clock moves a millisecond a turn while the
    // server's thread gets real time to read it.
    for (int turn = 0; turn < 5000 && !server.Silent(); ++turn) {
        ASSERT_GE(platform::headless::AdvanceAndRun(1), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(server.Silent());
    const uint64_t used = clock.NowMs() - 1000;
    ASSERT_LT(used, platform::net::kDownloadIdleTimeoutMs);
    ASSERT_GE(platform::headless::AdvanceAndRun(platform::net::kDownloadIdleTimeoutMs - 1 - used), 0);
    EXPECT_TRUE(listener->calls.empty()) << "still waiting a millisecond before the time-out";
    ASSERT_GE(platform::headless::AdvanceAndRun(1), 0);
    EXPECT_EQ(listener->calls, (std::vector<std::string>{"error"}));
    EXPECT_EQ(listener->error, int32_t(INET_E_CONNECTION_TIMEOUT));
    EXPECT_EQ(platform::net::RunningBindings(), 0);
    EXPECT_EQ(listener->GetRefCount(), 1);
    listener->Release();
}

// A bitmap whose source has another scheme downloads it through the program's loader; what comes is
// decoded (text is no picture: no frames), and the bitmap's listeners hear when it ends either way.
TEST_F(UriRequestTest, BitmapsOfOtherSchemesDownloadThroughARequest) {
    const oxUriLoader previous = oxSetUriLoader(&OpenUriAsync);
    struct Heard : oxBitmapListener {
        void OnBitmapChanged(oxBitmapElement*) override { ++changes; }
        void OnBitmapDestroyed(oxBitmapElement*) override {}
        int changes = 0;
    };
    for (const char* path : {"/hello", "/missing"}) {
        SCOPED_TRACE(path);
        oxBitmapElement bitmap(server.Url(path).c_str());
        Heard heard;
        bitmap.AddListener(&heard);
        bitmap.Prepare();
        ASSERT_TRUE(test::PumpUntil([&] { return heard.changes > 0; }));
        EXPECT_EQ(bitmap.GetFrameCount(), 0);
        bitmap.RemoveListener(&heard);
    }
    EXPECT_EQ(platform::net::RunningBindings(), 0);
    oxSetUriLoader(previous);
}

} // namespace
