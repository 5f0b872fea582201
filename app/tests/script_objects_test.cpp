// setTimeoutObject and uriRequest as scene scripts use them, through the script engine.
#include <string>

#include "app/script_function.h"
#include "app/tests/script_scene.h"
#include "app/timer.h"
#include "app/uri_request.h"
#include "platform/backend/headless.h"
#include "platform/net/url_moniker.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/pump.h"
#include "runtime/script_constructors.h"

namespace {

class ScriptObjectsTest : public test::ScriptSceneTest {
protected:
    void SetUp() override {
        test::ScriptSceneTest::SetUp();
        setTimeout = new XScriptFunction(u"setTimeoutObject");
        setTimeout->AddRef();
        ASSERT_EQ(NUBO::CreateScriptObjectConstructor(CreateXUriRequest, &uriRequest), 0);
        ASSERT_EQ(GetShell()->AddNamedObject(NUBO::TWString(u"setTimeoutObject"), setTimeout), 0);
        ASSERT_EQ(GetShell()->AddNamedObject(NUBO::TWString(u"uriRequest"), uriRequest), 0);
    }
    void TearDown() override {
        platform::net::CancelAllBindings();
        Timer::CancelAll();
        test::ScriptSceneTest::TearDown();
        setTimeout->Release();
        uriRequest->Release();
    }

    XScriptFunction* setTimeout = nullptr;
    NUBO::XObject* uriRequest = nullptr;
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

TEST_F(ScriptObjectsTest, ATimerThatStartsTheNextOneLetsTheLoopRunAndLeavesNothingBehind) {
    platform::headless::UseVirtualClock(1000);
    oxScene* scene =
        OpenSceneWithScript("var ticks = 0;\n"
                            "var target = { tick: function () { ticks++; setTimeoutObject(target, 'tick', 0); } };\n"
                            "setTimeoutObject(target, 'tick', 0);\n");
    ASSERT_NE(scene, nullptr);
    // Each tick of the queue's window timer hands the loop back; the run bound is never reached.
    EXPECT_GE(platform::headless::AdvanceAndRun(10000, 100000), 0);
    int ticks = std::stoi(Eval(scene, u"ticks"));
    EXPECT_GE(ticks, 1000);
    EXPECT_LE(ticks, 2 * 1001);
    // A fired Timer is no longer pending: only the one started last is.
    EXPECT_EQ(Timer::PendingCount(), 1);
    EXPECT_EQ(Timer::CancelAll(), 1);
    EXPECT_EQ(Timer::PendingCount(), 0);
    platform::headless::UseRealClock();
}

} // namespace
