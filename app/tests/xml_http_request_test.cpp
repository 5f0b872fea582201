// XMLHttpRequest as scripts use it, against the local test service: handlers of every kind, the
// values scripts read, and exchanges that fail, time out or are abandoned.
#include <cstdlib>
#include <string>

#include "app/tests/host_script.h"
#include "platform/net/xml_http_request.h"
#include "platform/tests/http_test_server.h"
#include "platform/tests/test_service.h"

namespace {

class XmlHttpRequestScriptTest : public test::HostScriptTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Ready());
        setenv("TANDU_CA_FILE", service.CaFile().c_str(), 1);
        HostScriptTest::SetUp();
        // Each exchange logs its states and, when done, what the script reads of it.
        Run("function get(url, method, body) {"
            "  var x = new XMLHttpRequest(); x.log = [];"
            "  x.onreadystatechange = function () {"
            "    var s = x.readyState;"
            "    if (s != 3 || x.log[x.log.length - 1] != 3) x.log.push(s);"
            "    if (s == 4) x.done = true;"
            "  };"
            "  x.open(method || 'GET', url); x.send(body === undefined ? '' : body); return x;"
            "}");
    }
    void TearDown() override {
        HostScriptTest::TearDown();
        unsetenv("TANDU_CA_FILE");
        platform::net::SetRequestIdleTimeout(60);
    }
    std::string Quoted(const std::string& url) { return "'" + url + "'"; }

    test::TestService service;
};

TEST_F(XmlHttpRequestScriptTest, AFunctionHandlerSeesEveryStateAndReadsTheAnswer) {
    Run("var x = get(" + Quoted(service.Http("/utf8")) + ");");
    EXPECT_EQ(Eval("x.log.join()"), "1") << "open reports state 1; nothing is called inside send";
    ASSERT_TRUE(RunUntil("x.done === true"));
    EXPECT_EQ(Eval("x.log.join()"), "1,2,3,4");
    EXPECT_EQ(Eval("x.status"), "200");
    EXPECT_EQ(Eval("x.statusText"), "OK");
    EXPECT_EQ(Eval("x.responseText"), "Привет, мир! € 😀 ünïcödé");
    EXPECT_EQ(Eval("x.getResponseHeader('Content-Type')"), "text/plain; charset=utf-8");
    EXPECT_EQ(Eval("typeof x.getResponseHeader('X-Absent')"), "undefined");
    EXPECT_EQ(Eval("x.getAllResponseHeaders().indexOf('Content-Length: ') >= 0"), "true");
    EXPECT_EQ(Eval("typeof x.responseXML"), "undefined") << "a text answer is no document";

    Run("var d = get(" + Quoted(service.Http("/xml")) + ");");
    ASSERT_TRUE(RunUntil("d.done === true"));
    EXPECT_EQ(Eval("var m = d.responseXML.documentElement.selectNodes('message'); m.length + ' ' + "
                   "m.item(0).getAttribute('id') + ' ' + m.item(0).text"),
              "2 7 Вера");
    EXPECT_EQ(Eval("d.responseXML === d.responseXML || d.responseXML.xml == d.responseXML.xml"), "true");

    Run("var e = get(" + Quoted(service.Http("/empty")) + ");");
    ASSERT_TRUE(RunUntil("e.done === true"));
    EXPECT_EQ(Eval("typeof e.responseText + ' ' + e.responseText"), "number 0") << "an empty body reads as 0";
}

TEST_F(XmlHttpRequestScriptTest, FailuresEndAtStateFourWithTheirStatus) {
    platform::net::SetRequestIdleTimeout(1);
    std::string refused = "http://127.0.0.1:" + std::to_string(test::HttpTestServer::RefusingPort()) + "/";
    struct Case {
        std::string url;
        const char* status;
    } cases[] = {
        {service.Http("/missing"), "404"},  {service.Http("/redirect"), "200"},     {refused, "12029"},
        {service.Http("/silent"), "12002"}, {service.Untrusted("/hello"), "12045"}, {service.Https("/hello"), "200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        Run("var x = get(" + Quoted(c.url) + ");");
        ASSERT_TRUE(RunUntil("x.done === true"));
        EXPECT_EQ(Eval("x.status"), c.status);
    }
    EXPECT_EQ(Eval("typeof x.responseText"), "string");
}

TEST_F(XmlHttpRequestScriptTest, PlainObjectAndNullHandlersAndEdgeCases) {
    // An object without a default member is called by name.
    Run("var calls = 0, o = new XMLHttpRequest();"
        "o.onreadystatechange = { onReadyStateChanged: function () { calls++; } };"
        "o.open('GET', " +
        Quoted(service.Http("/hello")) + "); o.send('');");
    ASSERT_TRUE(RunUntil("o.readyState == 4"));
    EXPECT_EQ(Eval("calls >= 4"), "true");

    // A null handler calls nothing, and the exchange still ends.
    Run("var n = new XMLHttpRequest(); n.onreadystatechange = null;"
        "n.open('GET', " +
        Quoted(service.Http("/hello")) + "); n.send('');");
    ASSERT_TRUE(RunUntil("n.readyState == 4"));
    EXPECT_EQ(Eval("n.responseText"), "hello, world");

    // Before open: send does nothing, and the readers answer 0.
    Run("var b = new XMLHttpRequest(); b.send('x');");
    EXPECT_EQ(Eval("b.readyState + ' ' + b.status + ' ' + b.responseText + ' ' + b.statusText.length"), "0 0 0 0");
    EXPECT_EQ(Eval("b.open('GET', '')"), "!error 80070057") << "an empty URL is refused";
    EXPECT_EQ(Eval("b.open('GET', 'ftp://127.0.0.1/')"), "!error 800c000d");
    EXPECT_EQ(Eval("b.open('GET')"), "!error 8002000e");
    EXPECT_EQ(Eval("XMLHttpRequest()"), "") << "without new nothing is made";

    // Empty names and values send nothing; the rest goes as given.
    Run("var h = new XMLHttpRequest(); h.open('POST', " + Quoted(service.Http("/echo")) +
        ");"
        "h.setRequestHeader('X-Empty', ''); h.setRequestHeader('', 'v'); h.setRequestHeader('X-Set', 'yes');"
        "h.send('a=1&b=é');");
    ASSERT_TRUE(RunUntil("h.readyState == 4"));
    EXPECT_EQ(Eval("h.responseText.indexOf('X-Empty')"), "-1");
    EXPECT_EQ(Eval("h.responseText.indexOf('X-Set: yes') > 0"), "true");
    EXPECT_EQ(Eval("h.responseText.split('\\n\\n')[1]"), "a=1&b=é");
}

TEST_F(XmlHttpRequestScriptTest, AbortAndReuseFromTheHandler) {
    // Aborted mid-transfer: nothing is called afterwards, while another exchange runs to its end.
    Run("var s = get(" + Quoted(service.Http("/stall")) + ");");
    ASSERT_TRUE(RunUntil("s.log[s.log.length - 1] == 3"));
    Run("s.abort(); var seen = s.log.join();");
    EXPECT_EQ(Eval("s.readyState"), "0");
    Run("var other = get(" + Quoted(service.Http("/big")) + ");");
    ASSERT_TRUE(RunUntil("other.done === true"));
    EXPECT_EQ(Eval("s.log.join() == seen"), "true");
    EXPECT_EQ(Eval("other.responseText.length"), "10485760");

    // The handler opens the same object again for a second exchange.
    Run("var r = new XMLHttpRequest(), bodies = [];"
        "r.onreadystatechange = function () {"
        "  if (r.readyState != 4) return;"
        "  bodies.push(r.responseText);"
        "  if (bodies.length == 1) { r.open('GET', " +
        Quoted(service.Http("/missing")) +
        "); r.send(''); }"
        "};"
        "r.open('GET', " +
        Quoted(service.Http("/hello")) + "); r.send('');");
    ASSERT_TRUE(RunUntil("bodies.length == 2"));
    EXPECT_EQ(Eval("bodies.join('|')"), "hello, world|not found");

    // A request the script lets go of mid-transfer ends its transfer.
    Run("var dropped = get(" + Quoted(service.Http("/stall")) + ");");
    ASSERT_TRUE(RunUntil("dropped.log[dropped.log.length - 1] == 3"));
    Run("dropped.onreadystatechange = null; dropped = null; CollectGarbage();");
    EXPECT_EQ(platform::net::RunningBindings(), 0);
}

} // namespace
