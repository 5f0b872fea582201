// domDocument as scripts use it: loading the stream a uriRequest listener received, walking and
// querying the result, the members' failures, and nodes held across a second load.
#include <string>

#include "app/tests/host_script.h"
#include "platform/tests/test_service.h"

namespace {

class DomDocumentScriptTest : public test::HostScriptTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.Ready());
        HostScriptTest::SetUp();
        // Downloads the URL and loads what arrives into `doc`; `loaded` is then the load's outcome.
        Run("var doc = new domDocument(), loaded;"
            "function fetch(url) {"
            "  loaded = undefined;"
            "  new uriRequest().openStream(url, {"
            "    onDataAvailable: function (s) { try { doc.load(s, false); loaded = 'ok'; }"
            "                                    catch (e) { loaded = 'error ' + (e.number >>> 0).toString(16); } },"
            "    onError: function (code) { loaded = 'download ' + code; } });"
            "}");
    }
    test::TestService service;
};

TEST_F(DomDocumentScriptTest, LoadsADownloadedStreamAndWalksIt) {
    Run("fetch('" + service.Http("/xml") + "');");
    ASSERT_TRUE(RunUntil("loaded !== undefined"));
    ASSERT_EQ(Eval("loaded"), "ok");
    EXPECT_EQ(Eval("doc.readyState"), "4");
    EXPECT_EQ(Eval("doc.docType === null"), "true");
    EXPECT_EQ(Eval("doc.namespaceURI"), "");
    EXPECT_EQ(Eval("var root = doc.documentElement; root.nodeName + ' ' + root.childNodes.length"), "inbox 2");
    EXPECT_EQ(Eval("var names = [], n = root.firstChild; while (n) { names.push(n.getAttribute('id')); "
                   "n = n.nextSibling; } names.join()"),
              "7,8");
    EXPECT_EQ(Eval("var list = doc.getElementsByTagName('message'); list.length + ' ' + list.item(1).xml"),
              "2 <message id=\"8\"/>");
    EXPECT_EQ(Eval("root.selectSingleNode('message[from]/from').text"), "Вера");
    EXPECT_EQ(Eval("root.firstChild === root.firstChild && root.firstChild.parentNode === root && "
                   "list.item(0) === root.firstChild"),
              "true")
        << "a node reached again is the same object";
    EXPECT_EQ(Eval("var e = doc.createElement('draft'); e.nodeName + ' ' + (e.parentNode === null)"), "draft true");

    // The first document's nodes stay usable once a second load replaced it.
    Run("var held = root.selectNodes('message');");
    Run("fetch('" + service.Http("/hello") + "');");
    ASSERT_TRUE(RunUntil("loaded !== undefined"));
    EXPECT_EQ(Eval("loaded"), "error 8100004b") << "75: plain text is no document";
    EXPECT_EQ(Eval("doc.documentElement === null"), "true");
    EXPECT_EQ(Eval("held.length + ' ' + held.item(0).firstChild.text + ' ' + held.item(0).ownerDocument.xml.length"),
              "2 Вера 75");
}

TEST_F(DomDocumentScriptTest, MembersAndTheirFailures) {
    struct Case {
        const char* code;
        const char* result;
    } cases[] = {
        // Before the first load every document member fails with 1 (E_FAIL to scripts).
        {"doc.documentElement", "!error 80004005"},
        {"doc.readyState", "!error 80004005"},
        {"doc.createElement('a')", "!error 80004005"},
        {"doc.getElementsByTagName('a')", "!error 80004005"},
        {"doc.docType", "!error 80004005"},
        // A load needs a stream (10, E_INVALIDARG to scripts) and two arguments (12, DISP_E_BADPARAMCOUNT).
        {"doc.load(5, false)", "!error 80070057"},
        {"doc.load('<a/>', false)", "!error 80070057"},
        {"doc.load(null, false)", "!error 80070057"},
        {"doc.load()", "!error 8002000e"},
        {"doc.createElement()", "!error 8002000e"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Eval(c.code), c.result) << c.code;

    Run("fetch('" + service.Http("/xml") + "');");
    ASSERT_TRUE(RunUntil("loaded == 'ok'"));
    EXPECT_EQ(Eval("doc.documentElement = null"), "!error 80004005") << "the document element cannot be set";
    EXPECT_EQ(Eval("doc.documentElement.nodeName"), "inbox");
    EXPECT_EQ(Eval("doc.namespaceURI = 'urn:x'"), "!error 80004001");
    EXPECT_EQ(Eval("doc.createElement('1 bad')"), "!error 80070057");
}

} // namespace
