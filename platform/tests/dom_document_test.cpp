// The DOM document on libxml2: loading from a stream, the node surface by name, node lifetime
// across loads, and hostile documents that must fail without reading anything outside.
#include "platform/xml/dom_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/com/class_registry.h"
#include "platform/crt/wide.h"
#include "platform/net/memory_stream.h"

namespace {

IStream* StreamOf(const std::string& bytes) {
    auto* stream = platform::net::MemoryStream::Create();
    stream->Append(bytes.data(), bytes.size());
    return stream;
}

IXMLDOMDocument* NewDocument() {
    IXMLDOMDocument* document = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, 1, IID_IXMLDOMDocument, reinterpret_cast<void**>(&document)),
              S_OK);
    return document;
}

// Loads the bytes; true when the document was well formed.
bool Load(IXMLDOMDocument* document, const std::string& bytes) {
    IStream* stream = StreamOf(bytes);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream;
    VARIANT_BOOL ok = VARIANT_TRUE;
    HRESULT hr = document->load(source, &ok);
    stream->Release();
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE);
    EXPECT_EQ(hr == S_OK, ok == VARIANT_TRUE);
    return ok == VARIANT_TRUE;
}

// A member by name: a property read, or a method call with text or number arguments.
struct Value {
    VARIANT v;
    Value() { VariantInit(&v); }
    ~Value() { VariantClear(&v); }
    Value(const Value&) = delete;
    IDispatch* Object() const { return v.vt == VT_DISPATCH ? v.pdispVal : nullptr; }
    std::u16string Text() const { return v.vt == VT_BSTR ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u"?"; }
    LONG Number() const { return v.vt == VT_I4 ? v.lVal : -999; }
};

HRESULT Call(IDispatch* object, const char16_t* name, WORD flags, Value* out, VARIANT* args = nullptr, UINT count = 0) {
    DISPID id = 0;
    auto* text = const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(name));
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &text, 1, 0, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS params{args, nullptr, count, 0};
    return object->Invoke(id, IID_NULL, 0, flags, &params, &out->v, nullptr, nullptr);
}

void Get(IDispatch* object, const char16_t* name, Value* out) {
    ASSERT_EQ(Call(object, name, DISPATCH_PROPERTYGET, out), S_OK) << "reading a member";
}

void CallText(IDispatch* object, const char16_t* name, const char16_t* arg, Value* out) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(arg);
    HRESULT hr = Call(object, name, DISPATCH_METHOD, out, &a, 1);
    VariantClear(&a);
    ASSERT_EQ(hr, S_OK) << "calling a method";
}

void CallIndex(IDispatch* object, const char16_t* name, LONG index, Value* out) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_I4;
    a.lVal = index;
    ASSERT_EQ(Call(object, name, DISPATCH_METHOD, out, &a, 1), S_OK);
}

std::u16string Text(IDispatch* object, const char16_t* name) {
    Value v;
    Get(object, name, &v);
    return v.Text();
}

const char kMessages[] = R"(<?xml version="1.0" encoding="utf-8"?>
<!-- the inbox -->
<inbox owner="Аня" xmlns:x="urn:x">
  <message id="1" unread="true"><from>Борис</from><body>Привет &amp; пока</body></message>
  <message id="2"><from>Вера</from><body><![CDATA[<b>bold</b>]]></body></message>
  <x:note>side</x:note>
</inbox>)";

TEST(DomDocumentTest, WalksNodesByName) {
    IXMLDOMDocument* document = NewDocument();
    ASSERT_TRUE(Load(document, kMessages));
    IXMLDOMElement* root = nullptr;
    ASSERT_EQ(document->get_documentElement(&root), S_OK);

    EXPECT_EQ(Text(root, u"nodeName"), u"inbox");
    EXPECT_EQ(Text(root, u"nodeTypeString"), u"element");
    Value owner;
    CallText(root, u"getAttribute", u"owner", &owner);
    EXPECT_EQ(owner.Text(), u"Аня");
    Value missing;
    CallText(root, u"getAttribute", u"nobody", &missing);
    EXPECT_EQ(missing.v.vt, VT_NULL);

    // childNodes keeps whitespace text, as the document has it.
    Value children;
    Get(root, u"childNodes", &children);
    Value length;
    Get(children.Object(), u"length", &length);
    EXPECT_EQ(length.Number(), 7);

    Value messages;
    CallText(root, u"getElementsByTagName", u"message", &messages);
    Value second;
    CallIndex(messages.Object(), u"item", 1, &second);
    Value body;
    CallText(second.Object(), u"selectSingleNode", u"body", &body);
    EXPECT_EQ(Text(body.Object(), u"text"), u"<b>bold</b>");
    Value cdata;
    Get(body.Object(), u"firstChild", &cdata);
    Value type;
    Get(cdata.Object(), u"nodeType", &type);
    EXPECT_EQ(type.Number(), 4);

    // nextNode walks the list once, then gives null until reset.
    Value first, next, end, again;
    Call(messages.Object(), u"nextNode", DISPATCH_METHOD, &first);
    Call(messages.Object(), u"nextNode", DISPATCH_METHOD, &next);
    Call(messages.Object(), u"nextNode", DISPATCH_METHOD, &end);
    EXPECT_EQ(end.v.vt, VT_NULL);
    Value reset;
    Call(messages.Object(), u"reset", DISPATCH_METHOD, &reset);
    Call(messages.Object(), u"nextNode", DISPATCH_METHOD, &again);
    EXPECT_EQ(Text(again.Object(), u"xml").substr(0, 15), u"<message id=\"1\"");

    // Items by index as property names, as `list[0]` reads them.
    Value byIndex;
    Get(messages.Object(), u"0", &byIndex);
    Value id;
    CallText(byIndex.Object(), u"getAttribute", u"id", &id);
    EXPECT_EQ(id.Text(), u"1");

    Value note;
    CallText(root, u"selectSingleNode", u"*[3]", &note);
    EXPECT_EQ(Text(note.Object(), u"nodeName"), u"x:note");
    EXPECT_EQ(Text(note.Object(), u"baseName"), u"note");
    EXPECT_EQ(Text(note.Object(), u"prefix"), u"x");
    EXPECT_EQ(Text(note.Object(), u"namespaceURI"), u"urn:x");

    Value unread;
    CallText(root, u"selectNodes", u"//message[@unread='true']/from", &unread);
    Value count;
    Get(unread.Object(), u"length", &count);
    EXPECT_EQ(count.Number(), 1);
    Value from;
    CallIndex(unread.Object(), u"item", 0, &from);
    EXPECT_EQ(Text(from.Object(), u"text"), u"Борис");
    Value outOfRange;
    CallIndex(unread.Object(), u"item", 5, &outOfRange);
    EXPECT_EQ(outOfRange.v.vt, VT_NULL);

    Value attributes;
    Get(byIndex.Object(), u"attributes", &attributes);
    Value unreadAttr;
    CallText(attributes.Object(), u"getNamedItem", u"unread", &unreadAttr);
    EXPECT_EQ(Text(unreadAttr.Object(), u"value"), u"true");
    Value attrParent;
    Get(unreadAttr.Object(), u"parentNode", &attrParent);
    EXPECT_EQ(attrParent.v.vt, VT_NULL);

    // A broken expression fails the call rather than answering nothing.
    Value broken;
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(u"//[");
    EXPECT_TRUE(FAILED(Call(root, u"selectNodes", DISPATCH_METHOD, &broken, &a, 1)));
    VariantClear(&a);
    // Properties cannot be written and unknown names are unknown.
    Value none;
    EXPECT_EQ(Call(root, u"nodeName", DISPATCH_PROPERTYPUT, &none), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(root, u"appendChildren", DISPATCH_METHOD, &none), DISP_E_UNKNOWNNAME);

    root->Release();
    document->Release();
}

TEST(DomDocumentTest, DocumentMembers) {
    IXMLDOMDocument* document = NewDocument();
    LONG state = 0;
    EXPECT_EQ(document->get_readyState(&state), S_OK);
    EXPECT_EQ(state, READYSTATE_COMPLETE);
    ASSERT_TRUE(Load(document, "<a><b/><b/><c><b/></c></a>"));
    IXMLDOMNode* doctype = reinterpret_cast<IXMLDOMNode*>(1);
    EXPECT_EQ(document->get_doctype(&doctype), S_FALSE);
    EXPECT_EQ(doctype, nullptr);
    IXMLDOMNodeList* list = nullptr;
    BSTR b = SysAllocString(u"b");
    ASSERT_EQ(document->getElementsByTagName(b, &list), S_OK);
    SysFreeString(b);
    Value length;
    Get(list, u"length", &length);
    EXPECT_EQ(length.Number(), 3);
    list->Release();

    BSTR tag = SysAllocString(u"made");
    IXMLDOMElement* made = nullptr;
    ASSERT_EQ(document->createElement(tag, &made), S_OK);
    SysFreeString(tag);
    EXPECT_EQ(Text(made, u"xml"), u"<made/>");
    Value parent;
    Get(made, u"parentNode", &parent);
    EXPECT_EQ(parent.v.vt, VT_NULL);
    BSTR bad = SysAllocString(u"1 bad");
    IXMLDOMElement* refused = nullptr;
    EXPECT_EQ(document->createElement(bad, &refused), E_INVALIDARG);
    SysFreeString(bad);
    made->Release();

    ASSERT_TRUE(Load(document, "<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]><a>x</a>"));
    ASSERT_EQ(document->get_doctype(&doctype), S_OK);
    EXPECT_EQ(Text(doctype, u"nodeName"), u"a");
    // Every kind of node answers the whole surface, queries from it included.
    IXMLDOMElement* a = nullptr;
    ASSERT_EQ(document->get_documentElement(&a), S_OK);
    Value text;
    Get(a, u"firstChild", &text);
    for (IDispatch* node : {static_cast<IDispatch*>(doctype), text.Object(), static_cast<IDispatch*>(document)}) {
        for (const char16_t* name : {u"nodeName", u"nodeValue", u"text", u"xml", u"baseName", u"prefix",
                                     u"namespaceURI", u"parentNode", u"attributes", u"childNodes", u"ownerDocument"}) {
            Value v;
            EXPECT_EQ(Call(node, name, DISPATCH_PROPERTYGET, &v), S_OK);
        }
        Value found;
        CallText(node, u"selectNodes", u"ancestor-or-self::node()", &found);
    }
    a->Release();
    Value doctypeType;
    Get(doctype, u"nodeType", &doctypeType);
    EXPECT_EQ(doctypeType.Number(), 10);
    doctype->Release();

    VARIANT notStream;
    VariantInit(&notStream);
    notStream.vt = VT_I4;
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(document->load(notStream, &ok), E_INVALIDARG);
    EXPECT_EQ(ok, VARIANT_FALSE);
    document->Release();
}

TEST(DomDocumentTest, NodesOutliveTheNextLoadAndTheDocument) {
    IXMLDOMDocument* document = NewDocument();
    ASSERT_TRUE(Load(document, "<first><item>one</item></first>"));
    IXMLDOMElement* oldRoot = nullptr;
    ASSERT_EQ(document->get_documentElement(&oldRoot), S_OK);
    Value oldItems;
    CallText(oldRoot, u"selectNodes", u"item", &oldItems);

    ASSERT_TRUE(Load(document, "<second/>"));
    IXMLDOMElement* newRoot = nullptr;
    ASSERT_EQ(document->get_documentElement(&newRoot), S_OK);
    EXPECT_EQ(Text(newRoot, u"nodeName"), u"second");
    newRoot->Release();
    document->Release();

    EXPECT_EQ(Text(oldRoot, u"nodeName"), u"first");
    Value item;
    CallIndex(oldItems.Object(), u"item", 0, &item);
    EXPECT_EQ(Text(item.Object(), u"text"), u"one");
    Value owner;
    Get(item.Object(), u"ownerDocument", &owner);
    EXPECT_EQ(Text(owner.Object(), u"xml"), u"<first><item>one</item></first>");
    oldRoot->Release();
}

// A node reached twice is one object while it is held; once let go, the node gets a new one, and a
// node held past its document's next load and the document's end still reads its old tree.
TEST(DomDocumentTest, ANodeReachedAgainIsTheSameObjectWhileHeld) {
    IXMLDOMDocument* document = NewDocument();
    ASSERT_TRUE(Load(document, "<list><a>1</a><b>2</b></list>"));
    IXMLDOMElement* root = nullptr;
    ASSERT_EQ(document->get_documentElement(&root), S_OK);
    Value first, again, fromList, all;
    Get(root, u"firstChild", &first);
    Get(root, u"firstChild", &again);
    ASSERT_NE(first.Object(), nullptr);
    EXPECT_EQ(first.Object(), again.Object());
    CallText(document, u"getElementsByTagName", u"a", &all);
    CallIndex(all.Object(), u"item", 0, &fromList);
    EXPECT_EQ(fromList.Object(), first.Object());
    Value back;
    Get(first.Object(), u"parentNode", &back);
    EXPECT_EQ(back.Object(), static_cast<IDispatch*>(root));

    // Every reference let go: the node is reached again through a fresh wrapper.
    VariantClear(&first.v);
    VariantClear(&again.v);
    VariantClear(&fromList.v);
    VariantClear(&back.v);
    Value fresh;
    Get(root, u"firstChild", &fresh);
    EXPECT_EQ(Text(fresh.Object(), u"text"), u"1");

    // The tree goes away under the held nodes: they still read it, and the next tree's nodes are others.
    root->Release();
    ASSERT_TRUE(Load(document, "<list><a>3</a></list>"));
    IXMLDOMElement* newRoot = nullptr;
    ASSERT_EQ(document->get_documentElement(&newRoot), S_OK);
    Value newFirst;
    Get(newRoot, u"firstChild", &newFirst);
    EXPECT_NE(newFirst.Object(), fresh.Object());
    document->Release();
    newRoot->Release();
    EXPECT_EQ(Text(newFirst.Object(), u"text"), u"3");
    Value sibling;
    Get(fresh.Object(), u"nextSibling", &sibling);
    EXPECT_EQ(Text(sibling.Object(), u"text"), u"2");
    VariantClear(&fresh.v);
    EXPECT_EQ(Text(sibling.Object(), u"nodeName"), u"b");
}

TEST(DomDocumentTest, MalformedDocumentsFailAndLeaveAnEmptyDocument) {
    const char* cases[] = {
        "",          "<a>", "<a></b>", "text only", "<a x='1' x='2'/>", "<?xml version='1.0' encoding='nonesuch'?><a/>",
        "\xff\xfe<",
    };
    IXMLDOMDocument* document = NewDocument();
    for (const char* bytes : cases) {
        ASSERT_TRUE(Load(document, "<old/>"));
        EXPECT_FALSE(Load(document, bytes)) << bytes;
        IXMLDOMElement* root = reinterpret_cast<IXMLDOMElement*>(1);
        EXPECT_EQ(document->get_documentElement(&root), S_FALSE) << bytes;
        EXPECT_EQ(root, nullptr);
    }
    // Validation against the document's own type: an element it does not declare fails.
    document->put_validateOnParse(VARIANT_TRUE);
    EXPECT_TRUE(Load(document, "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a/>"));
    EXPECT_FALSE(Load(document, "<!DOCTYPE a [<!ELEMENT a EMPTY>]><a><b/></a>"));
    document->Release();
}

// A file only this test writes, to see that no external entity reads it.
std::string SecretFile() {
    std::string path = std::string(::testing::TempDir()) + "dom_secret_" + std::to_string(getpid()) + ".txt";
    std::ofstream(path) << "SECRET-CONTENT";
    return path;
}

TEST(DomDocumentTest, HostileDocumentsFailWithoutReadingOutside) {
    const std::string secret = SecretFile();
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    laughs += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int i = 2; i <= 9; i++) {
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; j++)
            laughs += "&lol" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><lolz>&lol9;</lolz>";

    std::string deep;
    for (int i = 0; i < 100000; i++)
        deep += "<d>";
    for (int i = 0; i < 100000; i++)
        deep += "</d>";

    std::string huge = "<big>";
    while (huge.size() < 50u << 20)
        huge += "<row>0123456789012345678901234567890123456789</row>";
    huge += "</big>";

    const std::string cases[] = {
        laughs,
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + secret + "\">]><a>&x;</a>",
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"" + secret + "\">]><a>&x;</a>",
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
        "<!DOCTYPE a [<!ENTITY % p SYSTEM \"file://" + secret + "\"> %p;]><a/>",
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]><a>&x;</a>",
        deep,
        huge,
    };
    IXMLDOMDocument* document = NewDocument();
    for (bool validate : {false, true}) {
        document->put_validateOnParse(validate ? VARIANT_TRUE : VARIANT_FALSE);
        document->put_resolveExternals(validate ? VARIANT_TRUE : VARIANT_FALSE);
        for (const std::string& bytes : cases)
            EXPECT_FALSE(Load(document, bytes)) << bytes.substr(0, 120);
        // An external document type is never fetched; validating against it therefore fails.
        const std::string external = "<!DOCTYPE a SYSTEM \"file://" + secret + "\"><a/>";
        EXPECT_EQ(Load(document, external), !validate);
    }
    document->Release();
    std::remove(secret.c_str());
}

TEST(DomDocumentTest, AQueryThatWouldWalkForHoursFailsAndAnOrdinaryOneOnTheSameDocumentDoesNot) {
    constexpr int kElements = 60000;
    std::string bytes = "<r>";
    for (int i = 0; i < kElements; i++)
        bytes += "<e/>";
    bytes += "</r>";
    IXMLDOMDocument* document = NewDocument();
    ASSERT_TRUE(Load(document, bytes));
    Value root;
    Get(document, u"documentElement", &root);
    const struct {
        const char16_t* expression;
        bool fails;
    } cases[] = {
        {u"//*[count(//*) > 0]", true}, // every element counts every element: 3.6 billion steps
        {u"e[last()]", false},
        {u"//e", false},
    };
    for (const auto& c : cases) {
        Value found;
        VARIANT a;
        VariantInit(&a);
        a.vt = VT_BSTR;
        a.bstrVal = SysAllocString(c.expression);
        const HRESULT hr = Call(root.Object(), u"selectNodes", DISPATCH_METHOD, &found, &a, 1);
        VariantClear(&a);
        EXPECT_EQ(FAILED(hr), c.fails) << std::string(c.expression,
                                                      c.expression + std::char_traits<char16_t>::length(c.expression));
        if (!c.fails) {
            Value length;
            Get(found.Object(), u"length", &length);
            EXPECT_GT(length.Number(), 0);
        }
    }
    document->Release();
}

TEST(DomDocumentTest, AnElementWithTensOfThousandsOfAttributesFailsAtOnce) {
    // Each attribute checked against every other: 40,000 of them held the thread for seconds.
    auto element = [](size_t attributes, const std::string& name = "e") {
        std::string tag = "<" + name;
        for (size_t i = 0; i < attributes; i++)
            tag += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
        return tag + "/>";
    };
    std::string declared = "<!DOCTYPE r [<!ATTLIST e";
    for (int i = 0; i < 40000; i++)
        declared += " d" + std::to_string(i) + " CDATA 'v'";
    declared += ">]><r><e/></r>";
    const struct {
        std::string bytes;
        bool loads;
    } cases[] = {
        {"<r>" + element(platform::xml::kMaxAttributes) + "</r>", true},
        {"<r>" + element(40000) + "</r>", false},
        {"<r>" + element(10) + element(40000, "f") + element(10) + "</r>", false},
        {"<!DOCTYPE r [<!ENTITY e \"" + element(40000) + "\">]><r>&e;</r>", false},
        {declared, false},
    };
    IXMLDOMDocument* document = NewDocument();
    for (const auto& c : cases) {
        EXPECT_EQ(Load(document, c.bytes), c.loads) << c.bytes.substr(0, 60);
        IDispatch* fromBytes = nullptr;
        EXPECT_EQ(platform::xml::LoadDocumentFromBytes(c.bytes.data(), c.bytes.size(), &fromBytes),
                  c.loads ? S_OK : S_FALSE);
        if (fromBytes) fromBytes->Release();
    }
    document->Release();
}

TEST(DomDocumentTest, DocumentFromBytes) {
    IDispatch* document = nullptr;
    ASSERT_EQ(platform::xml::LoadDocumentFromBytes("<r>ok</r>", 9, &document), S_OK);
    Value root;
    Get(document, u"documentElement", &root);
    EXPECT_EQ(Text(root.Object(), u"text"), u"ok");
    document->Release();
    EXPECT_EQ(platform::xml::LoadDocumentFromBytes("not xml", 7, &document), S_FALSE);
    EXPECT_EQ(document, nullptr);
}

} // namespace

namespace {

// Counts the changes it hears.
struct Watcher : platform::xml::DomWatcher {
    void OnDomChanged() override { ++changes; }
    int changes = 0;
};

HRESULT CallNode(IDispatch* object, const char16_t* name, IDispatch* node, Value* out) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_DISPATCH;
    a.pdispVal = node;
    return Call(object, name, DISPATCH_METHOD, out, &a, 1);
}

HRESULT PutText(IDispatch* object, const char16_t* name, const char16_t* text) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(text);
    Value none;
    HRESULT hr = Call(object, name, DISPATCH_PROPERTYPUT, &none, &a, 1);
    VariantClear(&a);
    return hr;
}

// Elements change through attributes, children and their text; watchers hear each change, and the
// nodes that left the tree, or whose text was replaced, stay readable.
TEST(DomDocumentTest, ElementsChangeAndWatchersHearIt) {
    IXMLDOMDocument* document = NewDocument();
    ASSERT_TRUE(Load(document, kMessages));
    Value root;
    Get(document, u"documentElement", &root);
    Watcher watcher;
    ASSERT_TRUE(platform::xml::WatchTree(root.Object(), &watcher));
    Watcher onDocument;
    EXPECT_TRUE(platform::xml::WatchTree(document, &onDocument)) << "a document is watched as its nodes are";
    platform::xml::StopWatching(&onDocument);
    IStream* stream = StreamOf("x");
    EXPECT_FALSE(platform::xml::WatchTree(stream, &onDocument)) << "not ours";
    stream->Release();

    // setAttribute: a new one and a changed one.
    Value first, none;
    CallText(root.Object(), u"selectSingleNode", u"message", &first);
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[1].vt = VT_BSTR; // the name comes first
    args[1].bstrVal = SysAllocString(u"unread");
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(u"false");
    EXPECT_EQ(Call(first.Object(), u"setAttribute", DISPATCH_METHOD, &none, args, 2), S_OK);
    VariantClear(&args[1]);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(u"1 bad name");
    EXPECT_EQ(Call(first.Object(), u"setAttribute", DISPATCH_METHOD, &none, args, 2), E_INVALIDARG);
    VariantClear(&args[0]);
    VariantClear(&args[1]);
    Value unread;
    CallText(first.Object(), u"getAttribute", u"unread", &unread);
    EXPECT_EQ(unread.Text(), u"false");
    EXPECT_EQ(watcher.changes, 1);

    // Text written replaces the children, which stay readable loose.
    Value from;
    CallText(first.Object(), u"selectSingleNode", u"from/text()", &from);
    ASSERT_NE(from.Object(), nullptr);
    ASSERT_EQ(PutText(first.Object(), u"text", u"Снова"), S_OK);
    EXPECT_EQ(Text(first.Object(), u"xml"), u"<message id=\"1\" unread=\"false\">Снова</message>");
    EXPECT_EQ(Text(from.Object(), u"text"), u"Борис");
    EXPECT_EQ(watcher.changes, 2);

    // appendChild of a new element and of one already in the tree (it moves); removeChild.
    Value made, appended;
    CallText(document, u"createElement", u"message", &made);
    ASSERT_EQ(CallNode(root.Object(), u"appendChild", made.Object(), &appended), S_OK);
    ASSERT_EQ(PutText(made.Object(), u"text", u"new"), S_OK);
    Value count;
    CallText(root.Object(), u"selectNodes", u"message", &count);
    Value length;
    Get(count.Object(), u"length", &length);
    EXPECT_EQ(length.Number(), 3);
    Value removed;
    ASSERT_EQ(CallNode(root.Object(), u"removeChild", first.Object(), &removed), S_OK);
    EXPECT_EQ(Text(first.Object(), u"text"), u"Снова") << "a removed node stays usable";
    EXPECT_EQ(watcher.changes, 5);

    // Refused: a node into itself or its own child, a text node, a node of another document, a
    // child that is not the parent's.
    Value text, other, stranger;
    CallText(root.Object(), u"selectSingleNode", u"message/from", &stranger);
    Get(stranger.Object(), u"firstChild", &text);
    EXPECT_EQ(CallNode(made.Object(), u"appendChild", root.Object(), &none), E_INVALIDARG);
    EXPECT_EQ(CallNode(made.Object(), u"appendChild", made.Object(), &none), E_INVALIDARG);
    EXPECT_EQ(CallNode(made.Object(), u"appendChild", text.Object(), &none), E_INVALIDARG);
    EXPECT_EQ(CallNode(root.Object(), u"removeChild", text.Object(), &none), E_INVALIDARG);
    IXMLDOMDocument* second = NewDocument();
    CallText(second, u"createElement", u"x", &other);
    EXPECT_EQ(CallNode(root.Object(), u"appendChild", other.Object(), &none), E_INVALIDARG);
    EXPECT_EQ(watcher.changes, 5);

    // Put back what was removed: it is no longer loose, and the tree frees it once.
    Value back, out, under;
    ASSERT_EQ(CallNode(root.Object(), u"appendChild", first.Object(), &back), S_OK);
    ASSERT_EQ(CallNode(root.Object(), u"removeChild", first.Object(), &out), S_OK);
    ASSERT_EQ(CallNode(made.Object(), u"appendChild", first.Object(), &under), S_OK);
    platform::xml::StopWatching(&watcher);
    ASSERT_EQ(PutText(made.Object(), u"text", u"quiet"), S_OK);
    EXPECT_EQ(watcher.changes, 8);

    // A document that loads again takes its watchers to the new tree.
    ASSERT_TRUE(platform::xml::WatchTree(root.Object(), &onDocument));
    ASSERT_TRUE(Load(document, "<inbox/>"));
    EXPECT_EQ(onDocument.changes, 1);
    Value fresh;
    Get(document, u"documentElement", &fresh);
    ASSERT_EQ(PutText(fresh.Object(), u"text", u"new tree"), S_OK);
    ASSERT_EQ(PutText(made.Object(), u"text", u"old tree"), S_OK);
    EXPECT_EQ(onDocument.changes, 2);
    platform::xml::StopWatching(&onDocument);
    second->Release();
    document->Release();
}

} // namespace
