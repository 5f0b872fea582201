#include "toolkit/markup/markup_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include <string>

#include "runtime/file_stream.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/error_report.h"
#include "toolkit/core/box.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_content_handler.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/markup/tests/temp_resources.h"

using namespace markup_test;
using NUBO::RefPtr;
using NUBO::XStream;

namespace {

// Opens a head of markup with the four namespaces declared, so test documents stay short.
std::string Head(const std::string& rootTag) {
    return "<" + rootTag +
           " xmlns=\"http://www.kestrum.com/weftly/box.xsd\""
           " xmlns:r=\"http://www.kestrum.com/weftly/resource.xsd\""
           " xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\""
           " xmlns:x=\"http://www.kestrum.com/weftly/reaction.xsd\"";
}

RefPtr<XStream> MemoryStream(const std::string& data) {
    XStream* raw = nullptr;
    EXPECT_EQ(XStream::Create(&raw), 0);
    RefPtr<XStream> stream(raw);
    uint32_t written = 0;
    if (!data.empty()) {
        EXPECT_EQ(stream->Write(data.data(), uint32_t(data.size()), &written), 0);
    }
    EXPECT_EQ(stream->Seek(0, 0), 0);
    return stream;
}

class MarkupLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }

    // Loads text under a recording container; answers the root element made, or null.
    oxElement* LoadText(const std::string& text, const WCHAR* uri = u"mem.box") {
        loader.Reset();
        container.ClearChildren();
        RefPtr<XStream> stream = MemoryStream(text);
        return loader.Load(uri, stream.get(), &container);
    }

    std::string Dump() const {
        std::string out;
        for (const RecordingElement* child : container.children)
            child->Dump(out);
        return out;
    }

    oxMarkupLoader loader;
    RecordingElement container{0, 0};
};

TEST_F(MarkupLoaderTest, BuildsTreeWithNamespacesAttributesTextAndInstructions) {
    std::string doc = "<?xml version=\"1.0\"?>\n" + Head("vbox") +
                      " id=\"main\" s:color=\"red\" plain=\"1\">\n"
                      "  <?weftly ignored=\"1\"?>\n"
                      "  <?accTheme ignored=\"1\"?>\n"
                      "  <?cmd name=\"ok\"  key = \"v\" stray=\"no end?>\n"
                      "  <hbox x:on=\"click\">one<reject a=\"b\"><box>two</box></reject>three</hbox>\n"
                      "  <r:style id=\"s1\"/>\n"
                      "  <other xmlns=\"urn:unknown\"/>\n"
                      "</vbox>\n";
    oxElement* root = LoadText(doc);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(loader.IsFailed());
    EXPECT_EQ(root, container.children.at(0));
    EXPECT_EQ(root->GetId(), oxAtoms::Find(u"main"));
    // The rejected tag's attributes are not read and the box inside it is not made; its text
    // reaches the nearest accepted ancestor. The instruction's child ends at once and is not
    // stacked; a name that follows white space and an unfinished pair is dropped.
    EXPECT_TRUE(MatchesGolden(Dump(), "recorded_tree.txt"));
}

TEST_F(MarkupLoaderTest, RootRefusedByContainerParsesWithoutElement) {
    EXPECT_EQ(LoadText("<reject><a/></reject>"), nullptr);
    EXPECT_FALSE(loader.IsFailed());
}

TEST_F(MarkupLoaderTest, ReadsUtf16Documents) {
    std::u16string text = u"\uFEFF<a xmlns=\"http://www.kestrum.com/weftly/box.xsd\" t=\"\u0416\u00e9\"/>";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    oxElement* root = LoadText(bytes);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(container.children[0]->attributes.at(0), "0:t=\xd0\x96\xc3\xa9");
    EXPECT_EQ(root->GetNamespace(), kAtomBoxNamespace);
}

struct BadDocument {
    const char* name;
    std::string text;
    const char* message;
    int line;
    int column;
};

TEST_F(MarkupLoaderTest, MalformedDocumentsReportMessageLineAndColumn) {
    const BadDocument cases[] = {
        {"unclosed tag", Head("vbox") + ">\n  <hbox>\n    <box/>\n", "no element found", 4, 0},
        {"mismatched tag", Head("vbox") + ">\n<hbox>\n</vbox>", "mismatched tag", 3, 2},
        {"unbound prefix", Head("vbox") + ">\n  <q:box/>\n</vbox>", "unbound prefix", 2, 2},
        // In an attribute expat points at the tag, in content at the reference.
        {"undefined entity in attribute", Head("vbox") + ">\n<box a=\"&nope;\"/>", "undefined entity", 2, 0},
        {"undefined entity in text", Head("vbox") + ">\n<box>ab&nope;</box>", "undefined entity", 2, 7},
        {"bad entity syntax", Head("vbox") + ">\na &amp b</vbox>", "not well-formed (invalid token)", 2, 6},
        {"not xml", "hello, world\n", "syntax error", 1, 0},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11), "not well-formed (invalid token)", 1, 0},
        {"empty", "", "no element found", 1, 0},
        {"two roots", "<a/><b/>", "junk after document element", 1, 4},
    };
    for (const BadDocument& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadText(c.text, u"box://pkg/scenes/bad.box"), nullptr);
        EXPECT_TRUE(loader.IsFailed());
        EXPECT_EQ(loader.GetErrorCode(), kErrorParseOrScript);
        EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), c.message);
        EXPECT_EQ(loader.GetErrorLine(), c.line);
        EXPECT_EQ(loader.GetErrorColumn(), c.column);
    }
}

TEST_F(MarkupLoaderTest, ErrorReportText) {
    ASSERT_EQ(LoadText("<a>\n<b></a>", u"box://pkg/bad.box"), nullptr);
    oxSourceErrorReport report(loader.GetErrorCode(), loader.GetErrorText().GetString(),
                               loader.GetDocumentUri().GetString(), loader.GetErrorLine(), loader.GetErrorColumn());
    EXPECT_EQ(Utf8(FormatMarkupError(report).GetString()), "mismatched tag. File:box://pkg/bad.box. Line#2 Column#5");
}

TEST_F(MarkupLoaderTest, LargeDocumentLoadsAndReportsLateErrorLine) {
    // About 10 MB of sibling elements, one per line.
    std::string doc = Head("vbox") + ">\n";
    const std::string line = "<box a=\"0123456789012345678901234567890123456789\"/>\n";
    int lines = 0;
    while (doc.size() < 10u * 1024 * 1024) {
        doc += line;
        ++lines;
    }
    ASSERT_NE(LoadText(doc + "</vbox>"), nullptr);
    EXPECT_EQ(container.children[0]->children.size(), size_t(lines));

    container.ClearChildren();
    EXPECT_EQ(LoadText(doc + "<box>"), nullptr);
    EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), "no element found");
    EXPECT_EQ(loader.GetErrorLine(), lines + 2);
}

// The tree a document builds is walked by recursion: a document may nest as deep as boxes may, and
// one that goes deeper fails where it does, one tag a line. Reading itself needs no deep stack.
TEST_F(MarkupLoaderTest, DocumentsNestAsDeepAsBoxesMayAndNoDeeper) {
    auto nested = [](int depth, bool closed) {
        std::string doc = Head("box") + ">\n";
        for (int i = 1; i < depth; ++i)
            doc += "  <box>\n";
        for (int i = 1; closed && i < depth; ++i)
            doc += "</box>";
        return closed ? doc + "</box>" : doc;
    };
    oxElement* root = LoadText(nested(oxBox::kMaxDepth, true));
    ASSERT_NE(root, nullptr);
    int depth = 0;
    for (const RecordingElement* at = container.children[0]; at; at = at->children.empty() ? nullptr : at->children[0])
        ++depth;
    EXPECT_EQ(depth, oxBox::kMaxDepth);

    for (bool closed : {true, false}) {
        EXPECT_EQ(LoadText(nested(100000, closed)), nullptr);
        EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), "Elements nested too deeply (more than 256 levels)");
        EXPECT_EQ(loader.GetErrorLine(), oxBox::kMaxDepth + 1);
        EXPECT_EQ(loader.GetErrorColumn(), 2);
    }
    // The depth counts from each document's first tag.
    EXPECT_NE(LoadText(nested(oxBox::kMaxDepth, true)), nullptr);
}

TEST_F(MarkupLoaderTest, ExternalDtdIsReadRelativeToTheDocumentAndAMissingOneIsSkipped) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    resources.Write("scenes/with_dtd.dtd", ReadFile(DataPath("with_dtd.dtd")));
    resources.Write("scenes/part.ent", "<!ENTITY part \"from a parameter entity\">");
    resources.Write("scenes/text.ent", "general text");
    std::u16string path = resources.Write("scenes/with_dtd.box", ReadFile(DataPath("with_dtd.box")));
    // By device path and by box URI; either way from the document's folder, not the working folder.
    for (const std::u16string& uri : {path, resources.BoxUri("scenes/with_dtd.box")}) {
        SCOPED_TRACE(Utf8(uri.c_str()));
        XStream* raw = nullptr;
        ASSERT_EQ(OpenUriStream(uri.c_str(), &raw), 0);
        RefPtr<XStream> stream(raw);
        loader.Reset();
        container.ClearChildren();
        oxElement* root = loader.Load(uri.c_str(), stream.get(), &container);
        ASSERT_NE(root, nullptr) << Utf8(loader.GetErrorText().GetString());
        EXPECT_EQ(container.children[0]->attributes.at(0), "0:title=from the dtd");

        std::string doc = "<!DOCTYPE a [<!ENTITY % p SYSTEM \"part.ent\"> %p; <!ENTITY t SYSTEM \"text.ent\">]>"
                          "<a b=\"&part;\">&t;</a>";
        ASSERT_NE(LoadText(doc, uri.c_str()), nullptr) << Utf8(loader.GetErrorText().GetString());
        EXPECT_EQ(container.children[0]->attributes.at(0), "0:b=from a parameter entity");
        EXPECT_EQ(Utf8(container.children[0]->text.c_str()), "general text");

        EXPECT_NE(LoadText("<!DOCTYPE a SYSTEM \"missing.dtd\"><a/>", uri.c_str()), nullptr);
        EXPECT_FALSE(loader.IsFailed());
    }
}

// A host file outside the resources folder, with text that must never reach a document.
class SecretFile {
public:
    SecretFile() {
        char name[] = "/tmp/markup-secret-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) {
            (void)!write(fd, "SECRET", 6);
            close(fd);
            host_ = name;
        }
    }
    ~SecretFile() {
        if (!host_.empty()) unlink(host_.c_str());
    }
    const std::string& Host() const { return host_; }

private:
    std::string host_;
};

// Entities used to be read from anywhere: "/etc/passwd", "\etc\passwd", "file:////etc/passwd" or
// enough "../" put a host file's text into the document.
TEST_F(MarkupLoaderTest, ExternalEntitiesOutsideTheResourcesFolderAreRefused) {
    TempResources resources;
    SecretFile secret;
    ASSERT_TRUE(resources.Ok());
    ASSERT_FALSE(secret.Host().empty());
    std::string climb;
    for (int i = 0; i < 40; ++i)
        climb += "../";
    std::string absolute = secret.Host();
    std::string backslashed = absolute;
    for (char& c : backslashed)
        if (c == '/') c = '\\';
    const std::u16string inFolder = resources.Write("doc.box", "");
    const std::u16string boxDoc = resources.BoxUri("doc.box");

    struct Case {
        std::string systemId;
        std::u16string document;
        bool refused; // else it resolves inside the folder, where there is no such file
    } cases[] = {
        {absolute, u"mem.box", true},
        {backslashed, u"mem.box", true},
        {"file:///" + absolute, u"mem.box", true},
        {"FILE:///" + backslashed, u"mem.box", true},
        {climb + absolute.substr(1), inFolder, true},
        {"sub\\..\\" + climb + absolute.substr(1), inFolder, true},
        {climb + absolute.substr(1), u"mem.box", false},
        {climb + absolute.substr(1), boxDoc, false},
        {"box://" + resources.Name() + "/" + climb + absolute.substr(1), inFolder, false},
    };
    // An external DTD subset (refused at the DOCTYPE), a parameter entity and a general entity in
    // content (refused at the reference).
    const std::pair<std::string, int> kinds[] = {
        {"<!DOCTYPE a SYSTEM \"@\">\n<a>&x;</a>", 1},
        {"<!DOCTYPE a [<!ENTITY % p SYSTEM \"@\">\n%p;]><a>&x;</a>", 2},
        {"<!DOCTYPE a [<!ENTITY x SYSTEM \"@\">]>\n<a>&x;</a>", 2},
    };
    for (const Case& c : cases) {
        for (const auto& [kind, line] : kinds) {
            std::string doc = kind;
            doc.replace(doc.find('@'), 1, c.systemId);
            SCOPED_TRACE(doc + " in " + Utf8(c.document.c_str()));
            oxElement* root = LoadText(doc, c.document.c_str());
            if (c.refused) {
                EXPECT_EQ(root, nullptr);
                EXPECT_EQ(Utf8(loader.GetErrorText().GetString()),
                          "External entity outside the resources folder: " + c.systemId);
                EXPECT_EQ(loader.GetErrorLine(), line);
                EXPECT_EQ(Utf8(loader.GetErrorSource().GetString()), Utf8(c.document.c_str()));
            } else if (root) {
                EXPECT_EQ(Utf8(container.children[0]->text.c_str()).find("SECRET"), std::string::npos);
            } else {
                // The entity is skipped, so "&x;" stays undefined where nothing declares it.
                EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), "undefined entity");
            }
        }
    }
}

// Errors inside an entity used to read as a generic failure at the DOCTYPE.
TEST_F(MarkupLoaderTest, ErrorsInsideAnExternalEntityReportItsOwnMessageFileLineAndColumn) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    std::u16string dtd = resources.Write("bad.dtd", "<!ENTITY ok \"fine\">\n  <!ENTITY broken \"no end>\n");
    std::u16string ent = resources.Write("bad.ent", "text\n<open>");
    std::u16string doc = resources.Write("doc.box", "");
    struct Case {
        std::string text;
        std::u16string source;
        const char* message;
        int line;
        int column;
    } cases[] = {
        {"<!DOCTYPE a SYSTEM \"bad.dtd\">\n<a/>", dtd, "unclosed token", 2, 18},
        {"<!DOCTYPE a [<!ENTITY e SYSTEM \"bad.ent\">]>\n<a>&e;</a>", ent, "asynchronous entity", 2, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LoadText(c.text, doc.c_str()), nullptr);
        EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), c.message);
        EXPECT_EQ(Utf8(loader.GetErrorSource().GetString()), Utf8(c.source.c_str()));
        EXPECT_EQ(loader.GetErrorLine(), c.line);
        EXPECT_EQ(loader.GetErrorColumn(), c.column);
    }
    // An error in the document itself names the document.
    EXPECT_EQ(LoadText("<a>\n</b>", doc.c_str()), nullptr);
    EXPECT_EQ(Utf8(loader.GetErrorSource().GetString()), Utf8(doc.c_str()));
}

// 100,000 distinct attributes on one element cost seconds in the attribute map's sorted buckets.
TEST_F(MarkupLoaderTest, TooManyAttributesOnOneElementFailTheDocument) {
    auto element = [](int count) {
        std::string text = "\n<a";
        for (int i = 0; i < count; ++i)
            text += " n" + std::to_string(i) + "=\"v\"";
        return text;
    };
    ASSERT_NE(LoadText("<r>" + element(4096) + "/></r>"), nullptr);
    EXPECT_EQ(container.children[0]->children[0]->attributes.size(), 4096u);

    for (const std::string& doc :
         {"<r>" + element(100000) + "/></r>", "<r>\n<?pi" + element(5000).substr(3) + "?></r>"}) {
        EXPECT_EQ(LoadText(doc), nullptr);
        EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), "Too many attributes on one element (more than 4096)");
        EXPECT_EQ(loader.GetErrorLine(), 2);
    }
}

// One document could use up the atom space for the whole process, or keep a 50 MB id for good.
TEST_F(MarkupLoaderTest, DocumentsCannotUseUpTheNames) {
    std::string longId(1 << 20, 'i');
    EXPECT_EQ(LoadText("<a>\n<b id=\"" + longId + "\"/></a>"), nullptr);
    EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), "Name too long");
    EXPECT_EQ(loader.GetErrorLine(), 2);
    std::u16string wideId(longId.begin(), longId.end());
    EXPECT_EQ(oxAtoms::Find(wideId.c_str()), 0);

    // Names of more than 255 units are found again: repeating one takes no new id.
    std::string name(300, 'n');
    ASSERT_NE(LoadText("<" + name + "><" + name + "/><" + name + "/></" + name + ">"), nullptr);
    oxAtom atom = container.children[0]->GetTag();
    EXPECT_EQ(container.children[0]->children[1]->GetTag(), atom);

    // A document that would take every id fails, and gives back the names it added.
    std::string many = "<r>";
    for (int i = 0; i < 0x10000; ++i)
        many += "<t" + std::to_string(i) + "/>";
    many += "</r>";
    oxAtom before = oxAtoms::Intern(u"beforeMany");
    EXPECT_EQ(LoadText(many), nullptr);
    EXPECT_EQ(Utf8(loader.GetErrorText().GetString()), "Too many names");
    container.ClearChildren();
    EXPECT_EQ(oxAtoms::Find(u"t0"), 0);
    EXPECT_EQ(oxAtoms::Intern(u"afterMany"), before + 1);
}

TEST_F(MarkupLoaderTest, FailedReadKeepsFailureWithPreviousError) {
    loader.Reset();
    oxElement* root = loader.Load(u"x.box", nullptr, &container);
    EXPECT_EQ(root, nullptr);
    EXPECT_TRUE(loader.IsFailed());
    EXPECT_EQ(loader.GetErrorCode(), kErrorParseOrScript);
}

} // namespace
