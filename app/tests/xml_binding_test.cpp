// Bindings whose source is a DOM document that a script made: a list shows the nodes the path
// selects and follows every change of them, a single value shows the first node's text, and values
// written on the boxes go back into the nodes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/dom_document.h"
#include "platform/crt/wide.h"
#include "platform/shell/path_map.h"
#include "platform/xml/dom_document.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "runtime/stream_adapter.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/scene/scene.h"
#include "toolkit/script/application.h"
#include "toolkit/script/shell.h"

namespace {

// A DOM member by name: a read, a method with arguments (first first) or a write of `text`.
struct Dom {
    static VARIANT Text(const char16_t* text) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
        return v;
    }
    static VARIANT Node(IDispatch* node) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_DISPATCH;
        v.pdispVal = node;
        node->AddRef();
        return v;
    }
    // The object the member answers (a new reference), or null.
    static IDispatch* Call(IDispatch* object, const char16_t* name, WORD flags, std::vector<VARIANT> args = {}) {
        DISPID id = 0;
        auto* text = const_cast<LPOLESTR>(name);
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &text, 1, 0, &id), S_OK);
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr, UINT(reversed.size()),
                          flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(object->Invoke(id, IID_NULL, 0, flags, &params, &result, nullptr, nullptr), S_OK) << "calling";
        for (VARIANT& v : args)
            VariantClear(&v);
        IDispatch* out = nullptr;
        if ((result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) && result.punkVal)
            result.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out));
        VariantClear(&result);
        return out;
    }
    static NUBO::RefPtr<IDispatch> Select(IDispatch* from, const char16_t* path) {
        return NUBO::RefPtr<IDispatch>(Call(from, u"selectSingleNode", DISPATCH_METHOD, {Text(path)}));
    }
    static void SetText(IDispatch* node, const char16_t* text) {
        IDispatch* none = Call(node, u"text", DISPATCH_PROPERTYPUT, {Text(text)});
        if (none) none->Release();
    }
    static std::string Read(IDispatch* node, const char16_t* name) {
        DISPID id = 0;
        auto* text = const_cast<LPOLESTR>(name);
        node->GetIDsOfNames(IID_NULL, &text, 1, 0, &id);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        node->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
        std::string out =
            result.vt == VT_BSTR ? platform::Utf8FromWide(result.bstrVal, SysStringLen(result.bstrVal)) : "?";
        VariantClear(&result);
        return out;
    }
};

class XmlBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = new oxApplication();
        app->AddRef();
        ASSERT_EQ(app->Init(), 1);
        folder = std::filesystem::temp_directory_path() / ("tandu-xml-binding-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        NUBO::XObject* made = nullptr;
        ASSERT_EQ(CreateXDomDocument(&made), 0);
        document = NUBO::RefPtr<XDomDocument>(static_cast<XDomDocument*>(made));
        ASSERT_EQ(Load("<inbox owner=\"Anna\"><message id=\"1\"><from>Boris</from></message>"
                       "<message id=\"2\"><from>Vera</from></message><note/></inbox>"),
                  0);
    }
    void TearDown() override {
        if (scene) scene->Close(true);
        document = NUBO::RefPtr<XDomDocument>();
        app->Shutdown();
        app->Release();
        std::filesystem::remove_all(folder);
    }
    int32_t Load(const std::string& xml) {
        NUBO::XStream* stream = nullptr;
        if (NUBO::XStream::Create(&stream) != 0) return -1;
        uint32_t written = 0;
        stream->Write(xml.data(), uint32_t(xml.size()), &written);
        stream->Seek(0, 0);
        NUBO::XVariant value;
        NUBO::XStreamToVariant(&value, stream);
        stream->Release();
        return document->Load(&value, false);
    }
    oxScene* Open(const std::string& markup) {
        std::ofstream(folder / "s.box") << "<vbox xmlns=\"http://www.kestrum.com/weftly/box.xsd\">" << markup
                                        << "</vbox>";
        std::u16string path = platform::DevicePathFromHost((folder / "s.box").string());
        scene = app->GetShell()->GetRuntime()->OpenSceneSimple(path.c_str(), nullptr, nullptr, nullptr, nullptr, false);
        return scene;
    }
    // Stores the document in the scene's namespace, as `scene.inbox = document` does.
    void Publish() {
        NUBO::XVariant value(static_cast<NUBO::XObject*>(document.get()));
        scene->GetSceneObject()->SetPropertyByName(u"inbox", &value);
    }
    oxBox* Box(const char16_t* id) { return scene->GetBoxById(oxAtoms::Intern(id), false); }
    std::string Attr(oxBox* box, const char16_t* name) {
        const WCHAR* text = box ? box->GetAttribute(oxAtoms::Intern(name)) : nullptr;
        return text ? platform::Utf8FromWide(text, wcslen(text)) : "(none)";
    }
    // The rows of the list: "label/tag" each.
    std::string Rows() {
        std::string out;
        oxBox* list = Box(u"list");
        for (int i = 0; list && i < list->GetChildCount(); ++i) {
            oxBox* row = list->GetChildAt(i, false);
            out += (out.empty() ? "" : ",") + Attr(row, u"label") + "/" + Attr(row, u"tag");
        }
        return out;
    }
    NUBO::RefPtr<IDispatch> Root() {
        return NUBO::RefPtr<IDispatch>(Dom::Call(document->Document(), u"documentElement", DISPATCH_PROPERTYGET));
    }

    oxApplication* app = nullptr;
    std::filesystem::path folder;
    NUBO::RefPtr<XDomDocument> document;
    oxScene* scene = nullptr;
};

TEST_F(XmlBindingTest, AListShowsTheSelectedNodesAndFollowsTheirChanges) {
    ASSERT_TRUE(Open("<vbox id=\"list\"><binding xmlSource=\"inbox\" path=\"message\">"
                     "<template><hbox label=\"{from}\" tag=\"{@id}\"/></template></binding></vbox>"));
    EXPECT_EQ(Rows(), "") << "nothing is named yet";
    Publish();
    EXPECT_EQ(Rows(), "Boris/1,Vera/2");

    NUBO::RefPtr<IDispatch> root = Root();
    Dom::SetText(Dom::Select(root.get(), u"message[@id='2']/from").get(), u"Галя");
    EXPECT_EQ(Rows(), "Boris/1,Галя/2") << "a changed text";

    IDispatch* made = Dom::Call(document->Document(), u"createElement", DISPATCH_METHOD, {Dom::Text(u"message")});
    ASSERT_NE(made, nullptr);
    IDispatch* none = Dom::Call(made, u"setAttribute", DISPATCH_METHOD, {Dom::Text(u"id"), Dom::Text(u"3")});
    EXPECT_EQ(Rows(), "Boris/1,Галя/2") << "a node outside the tree is no row";
    IDispatch* appended = Dom::Call(root.get(), u"appendChild", DISPATCH_METHOD, {Dom::Node(made)});
    EXPECT_EQ(Rows(), "Boris/1,Галя/2,(none)/3") << "an appended node: it has no sender";
    NUBO::RefPtr<IDispatch> first = Dom::Select(root.get(), u"message[@id='1']");
    IDispatch* removed = Dom::Call(root.get(), u"removeChild", DISPATCH_METHOD, {Dom::Node(first.get())});
    EXPECT_EQ(Rows(), "Галя/2,(none)/3") << "a removed node";
    for (IDispatch* d : {none, appended, removed, made})
        if (d) d->Release();

    // A row box's value goes back into its node.
    oxBox* list = Box(u"list");
    list->GetChildAt(0, false)->SetAttribute(oxAtoms::Intern(u"label"), u"Дина", true, false);
    EXPECT_EQ(Dom::Read(Dom::Select(root.get(), u"message[@id='2']/from").get(), u"text"), "Дина");
    EXPECT_EQ(Rows(), "Дина/2,(none)/3");

    // The document loads anew: the list shows the new one, an empty one after a failed load, and
    // follows the next.
    ASSERT_EQ(Load("<inbox><message id=\"9\"><from>Ян</from></message></inbox>"), 0);
    EXPECT_EQ(Rows(), "Ян/9");
    EXPECT_NE(Load("<inbox><unclosed></inbox>"), 0);
    EXPECT_EQ(Rows(), "");
    ASSERT_EQ(Load("<inbox><message id=\"10\"/></inbox>"), 0);
    EXPECT_EQ(Rows(), "(none)/10");
}

TEST_F(XmlBindingTest, ASingleValueIsTheFirstNodesTextBothWays) {
    ASSERT_TRUE(Open("<box id=\"owner\"><binding xmlSource=\"inbox\" path=\"@owner\" targetProperty=\"title\"/></box>"
                     "<box id=\"missing\"><binding xmlSource=\"inbox\" path=\"nothing\" targetProperty=\"title\"/>"
                     "</box>"));
    Publish();
    EXPECT_EQ(Attr(Box(u"owner"), u"title"), "Anna");
    EXPECT_EQ(Attr(Box(u"missing"), u"title"), "(none)") << "no node: an empty value";
    NUBO::RefPtr<IDispatch> root = Root();
    IDispatch* none = Dom::Call(root.get(), u"setAttribute", DISPATCH_METHOD, {Dom::Text(u"owner"), Dom::Text(u"Ира")});
    EXPECT_EQ(Attr(Box(u"owner"), u"title"), "Ира");
    Box(u"owner")->SetAttribute(oxAtoms::Intern(u"title"), u"Лев", true, false);
    EXPECT_EQ(Dom::Read(Dom::Select(root.get(), u"@owner").get(), u"text"), "Лев");
    if (none) none->Release();
}

} // namespace
