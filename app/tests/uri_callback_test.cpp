// Asynchronous URI loads as the toolkit starts them: the end of each download reaches the listener's
// target as one "urlLoadComplete" event, with the content or the failure's code; a target that goes
// first stops its download; no file outside the folders scenes may read is loaded.
#include "app/uri_callback.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/crt/wide.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/path_map.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/pump.h"
#include "platform/tests/test_service.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/core/uri_load.h"
#include "toolkit/library/bitmap_element.h"
#include "toolkit/library/library.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace {

// Records every event it is handed: its type, value and the content of its stream.
struct Heard : oxEventTarget {
    int32_t HandleEvent(oxEvent* event) override {
        auto* loaded = static_cast<oxUrlEvent*>(event);
        types.push_back(event->GetType());
        result = loaded->value;
        hadStream = loaded->stream != nullptr;
        content.clear();
        char buffer[4096];
        uint32_t read = 0;
        while (loaded->stream && loaded->stream->Read(buffer, sizeof buffer, &read) == 0 && read)
            content.append(buffer, read);
        return 1;
    }
    std::vector<oxAtom> types;
    int32_t result = -1;
    bool hadStream = false;
    std::string content;
};

// A file in the resources folder, gone with the object; Name() is its name there.
class ResourceFile {
public:
    ResourceFile(const std::string& tag, const std::string& content) {
        name_ = "tandu-test-" + tag + "-" + std::to_string(getpid());
        host_ = platform::HostPathFromDevice(std::u16string(GetResourcesFolder().GetString()) +
                                             platform::WideFromUtf8(name_));
        std::ofstream(host_) << content;
    }
    ~ResourceFile() { std::filesystem::remove(host_); }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string host_;
};

class UriCallbackTest : public ::testing::Test {
protected:
    // The toolkit runs, as in the program: URI schemes are known by their atoms.
    void SetUp() override {
        ASSERT_TRUE(service.Ready());
        setenv("TANDU_CA_FILE", service.CaFile().c_str(), 1);
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
    }
    void TearDown() override {
        app->Shutdown();
        app->Release();
        unsetenv("TANDU_CA_FILE");
        EXPECT_EQ(platform::net::RunningBindings(), 0);
    }
    static std::u16string Wide(const std::string& text) { return platform::WideFromUtf8(text); }

    test::TestService service;
    test::HttpTestServer server;
    oxApplication* app = nullptr;
};

TEST_F(UriCallbackTest, EachLoadEndsInOneUrlLoadCompleteWithItsResult) {
    const ResourceFile boxed("boxed", "boxed content");
    const std::string refused = "http://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/";
    struct Case {
        std::string url;
        int32_t result;
        const char* content;
    } cases[] = {
        {"box://" + boxed.Name(), 0, "boxed content"},
        {service.Https("/hello"), 0, "hello, world"},
        {service.Http("/missing"), int32_t(INET_E_RESOURCE_NOT_FOUND), ""},
        {refused, int32_t(INET_E_CANNOT_CONNECT), ""},
        {service.Untrusted("/hello"), int32_t(INET_E_SECURITY_PROBLEM), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        Heard heard;
        oxUriLoadListener* listener = oxUriLoadListener::Create(&heard);
        ASSERT_NE(listener, nullptr);
        ASSERT_EQ(OpenUriAsync(Wide(c.url).c_str(), listener), 0);
        EXPECT_TRUE(heard.types.empty()) << "nothing is heard inside the call";
        ASSERT_TRUE(test::PumpUntil([&] { return !heard.types.empty(); }));
        test::PumpFor(20);
        EXPECT_EQ(heard.types, std::vector<oxAtom>{kAtomUrlLoadComplete});
        EXPECT_EQ(heard.result, c.result);
        EXPECT_EQ(heard.hadStream, c.result == 0);
        EXPECT_EQ(heard.content, c.content);
        listener->Release();
    }
}

TEST_F(UriCallbackTest, NoFileOutsideTheScenesFoldersIsRead) {
    const std::filesystem::path outside =
        std::filesystem::temp_directory_path() / ("tandu-outside-" + std::to_string(getpid()));
    std::ofstream(outside) << "secret";
    const std::string climb = "box://../../../../../../.." + outside.string();
    for (const std::string& url : {climb, "ee://x/../../../../../../.." + outside.string(),
                                   "file://" + outside.string(), std::string("file:///etc/passwd")}) {
        SCOPED_TRACE(url);
        Heard heard;
        oxUriLoadListener* listener = oxUriLoadListener::Create(&heard);
        // Refused at once, or (a box path's '..' stays at the folder's top) a file that is not there.
        if (OpenUriAsync(Wide(url).c_str(), listener) == 0) {
            ASSERT_TRUE(test::PumpUntil([&] { return !heard.types.empty(); }));
            EXPECT_NE(heard.result, 0);
        }
        test::PumpFor(20);
        EXPECT_EQ(heard.content, "");
        EXPECT_LE(heard.types.size(), 1u);
        listener->Release();
    }
    std::filesystem::remove(outside);
}

// The callback itself, as the request calls it: its arguments are checked, and a listener whose
// target is gone hears nothing.
TEST_F(UriCallbackTest, TheCallbackChecksItsArgumentsAndDeliversOnce) {
    Heard heard;
    oxUriLoadListener* listener = oxUriLoadListener::Create(&heard);
    auto* callback = new XUriCallback(listener);
    callback->AddRef();
    NUBO::XArgList none;
    NUBO::XVariant result;
    EXPECT_EQ(callback->InvokeMethodByName(u"onDataAvailable", &none, &result), NUBO::XR_TOO_FEW_ARGS);
    NUBO::XStream* stream = nullptr;
    ASSERT_EQ(NUBO::XStream::Create(&stream), 0);
    uint32_t written = 0;
    stream->Write("abc", 3, &written);
    stream->Seek(0, 0);
    NUBO::XArgList args;
    NUBO::XVariant value;
    ASSERT_EQ(NUBO::XStreamToVariant(&value, stream), 0);
    args.PushArg(value);
    EXPECT_EQ(callback->InvokeMethodByName(u"onDataAvailable", &args, &result), 0);
    EXPECT_EQ(callback->InvokeMethodByName(u"onDataAvailable", &args, &result), 0);
    EXPECT_EQ(heard.types.size(), 1u) << "one load ends once";
    EXPECT_EQ(heard.content, "abc");
    callback->Release();

    Heard gone;
    oxUriLoadListener* forgotten = oxUriLoadListener::Create(&gone);
    forgotten->Forget();
    callback = new XUriCallback(forgotten);
    callback->AddRef();
    EXPECT_EQ(callback->InvokeMethodByName(u"onDataAvailable", &args, &result), 0);
    EXPECT_TRUE(gone.types.empty());
    callback->Release();
    forgotten->Release();
    listener->Release();
    stream->Release();
}

// A picture whose server never answers: closing its scene destroys the bitmap, which aborts the
// download; nothing reaches the gone bitmap and nothing is left running.
TEST_F(UriCallbackTest, ClosingTheSceneStopsTheDownloadOfItsPicture) {
    const oxUriLoader previous = oxSetUriLoader(&OpenUriAsync);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tandu-uri-callback-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "s.box") << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\" "
                                       "xmlns:r=\"http://www.kestrum.com/weftly/resource.xsd\">"
                                       "<r:library><r:bitmap id=\"far\" src=\""
                                    << platform::Utf8FromWide(server.Url("/silent").c_str(),
                                                              server.Url("/silent").size())
                                    << "\"/></r:library></vbox>";
    std::u16string path = platform::DevicePathFromHost((folder / "s.box").string());
    oxRuntime* runtime = app->GetShell()->GetRuntime();
    oxScene* scene = runtime->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_NE(scene, nullptr);
    auto* bitmap = static_cast<oxBitmapElement*>(scene->FindResourceById(oxAtoms::Intern(u"far"), 0));
    ASSERT_NE(bitmap, nullptr);
    bitmap->Prepare();
    ASSERT_TRUE(test::PumpUntil([&] { return server.Silent(); }));
    EXPECT_EQ(platform::net::RunningBindings(), 1);
    scene->Close(true);
    test::PumpFor(20);
    EXPECT_EQ(platform::net::RunningBindings(), 0);
    std::filesystem::remove_all(folder);
    oxSetUriLoader(previous);
}

} // namespace
