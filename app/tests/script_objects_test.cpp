// setTimeoutObject and uriRequest as scene scripts use them, through the script engine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/script_function.h"
#include "app/timer.h"
#include "app/uri_request.h"
#include "platform/net/url_moniker.h"
#include "platform/shell/path_map.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/pump.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_constructors.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/scene/script_context.h"
#include "toolkit/scene/script_context_manager.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace {

class ScriptObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        setTimeout = new XScriptFunction(u"setTimeoutObject");
        setTimeout->AddRef();
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXUriRequest, &uriRequest), 0);
        ASSERT_EQ(app->GetShell()->AddNamedObject(NUBO::TWString(u"setTimeoutObject"), setTimeout), 0);
        ASSERT_EQ(app->GetShell()->AddNamedObject(NUBO::TWString(u"uriRequest"), uriRequest), 0);
        folder = std::filesystem::temp_directory_path() / ("tandu-script-objects-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        platform::net::CancelAllBindings();
        Timer::CancelAll();
        app->Shutdown();
        app->Release();
        setTimeout->Release();
        uriRequest->Release();
        std::filesystem::remove_all(folder);
    }

    oxScene* OpenSceneWithScript(const std::string& script) {
        std::ofstream(folder / "s.js") << script;
        std::ofstream(folder / "s.box") << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\">"
                                           "<script language=\"javascript\" src=\"s.js\"/></vbox>";
        std::u16string path = platform::DevicePathFromHost((folder / "s.box").string());
        return app->GetShell()->GetRuntime()->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
    }

    std::string Eval(oxScene* scene, const WCHAR* expression) {
        oxScriptContext* raw = nullptr;
        auto* manager = app->GetShell()->GetRuntime()->GetScriptContextManager();
        if (manager->GetContext(scene->GetContextName().GetString(), &raw) != 0) return "!context";
        NUBO::RefPtr<oxScriptContext> context(raw);
        NUBO::XVariant value;
        if (FAILED(context->Evaluate(NUBO::TWString(expression), u"", &value))) return "!failed";
        NUBO::TWString text = value.ToString();
        return platform::Utf8FromWide(text.GetString(), size_t(text.GetLength()));
    }

    oxApplication* app = nullptr;
    XScriptFunction* setTimeout = nullptr;
    NUBO::XObject* uriRequest = nullptr;
    std::filesystem::path folder;
};

TEST_F(ScriptObjectsTest, ScriptsScheduleCallsAndDownload) {
    test::HttpTestServer server;
    std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/hello";
    oxScene* scene = OpenSceneWithScript(
        "var log = [];\n"
        "var target = { first: function () { log.push('first'); }, second: function () { log.push('second'); } };\n"
        // Scheduled in the order they are due: on a loaded machine both may be due in one pass of
        // the timer queue, which fires them in the order they were added.
        "setTimeoutObject(target, 'first', 0);\n"
        "var later = setTimeoutObject(target, 'second', 30);\n"
        "setTimeoutObject(target, 'second', 10).cancel();\n"
        "log.push(typeof setTimeoutObject(target, 'first') + ' ' + typeof uriRequest());\n"
        "var request = new uriRequest();\n"
        "request.openStream('" +
        url +
        "', { onDataAvailable: function (stream) { log.push('data ' + typeof stream); },\n"
        "     onError: function (code) { log.push('error ' + code); } });\n"
        "new uriRequest().openStream('" +
        "http://127.0.0.1:" + std::to_string(server.Port()) + "/missing" +
        "', { onDataAvailable: function () { log.push('missing data'); },\n"
        "     onError: function (code) { log.push('missing error ' + (code >>> 0).toString(16)); } });\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Eval(scene, u"log.join()"), "undefined undefined") << "nothing fires inside the script";
    ASSERT_TRUE(test::PumpUntil([&] { return Eval(scene, u"log.length") == "5"; }));
    test::PumpFor(50);
    std::string log = Eval(scene, u"log.join()");
    EXPECT_NE(log.find("first"), std::string::npos) << log;
    EXPECT_LT(log.find("first"), log.find("second")) << log;
    EXPECT_NE(log.find("data object"), std::string::npos) << log;
    EXPECT_NE(log.find("missing error 800c0005"), std::string::npos) << log;
    EXPECT_EQ(Eval(scene, u"log.length"), "5") << log;
}

} // namespace
