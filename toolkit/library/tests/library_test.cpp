#include "toolkit/library/library.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/base/uri.h"
#include "toolkit/library/resource_reference.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/library/tests/file_runtime.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/markup/tests/temp_resources.h"

using namespace markup_test;

namespace {

oxElement* Resource(oxAtom tag, const WCHAR* id) {
    auto* element = new oxElement(kAtomResourceNamespace, tag);
    element->SetId(oxAtoms::Intern(id));
    return element;
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }

    oxLibrary* NewLibrary(const WCHAR* uri) {
        auto* library = new oxLibrary(kAtomLibrary, uri, &runtime);
        library->AddRef();
        owned.push_back(library);
        return library;
    }
    void TearDown() override {
        for (oxLibrary* library : owned)
            library->Release();
    }

    FileRuntime runtime;
    std::vector<oxLibrary*> owned;
};

TEST_F(LibraryTest, UriIsKeptInLibraryForm) {
    struct Case {
        const WCHAR* uri;
        const char* kept;
        const char* base;
    } cases[] = {
        {u"box://Pkg/content/lib.box", "box://Pkg/content/lib.box", "box://Pkg/content"},
        {u"file:///dir/sub/lib.box", "dir\\sub\\lib.box", "dir\\sub"},
        {u"\\dir/lib.box", "\\dir\\lib.box", "\\dir"},
        {u"http://host/a/lib.box", "http:\\\\host\\a\\lib.box", "http:\\\\host\\a"},
        {nullptr, "", ""},
    };
    for (const Case& c : cases) {
        oxLibrary library(kAtomLibrary, c.uri, nullptr);
        EXPECT_EQ(Utf8(library.GetUri().GetString()), c.kept);
        EXPECT_EQ(Utf8(library.GetBase().GetString()), c.base);
    }
}

TEST_F(LibraryTest, ResourcesById) {
    oxLibrary* lib = NewLibrary(u"box://P/lib.box");
    oxElement* first = Resource(kAtomStyle, u"a");
    oxElement* second = Resource(kAtomGadget, u"a");
    oxElement* gadget2 = Resource(kAtomGadget, u"a");
    lib->AddResource(first);
    lib->AddResource(second);
    lib->AddResource(gadget2);
    lib->AddResource(nullptr);
    EXPECT_EQ(lib->GetResourceCount(), 3u);
    EXPECT_EQ(lib->FindResourceById(oxAtoms::Find(u"a"), 0), first);
    EXPECT_EQ(lib->FindResourceById(oxAtoms::Find(u"a"), kAtomGadget), second);
    EXPECT_EQ(lib->FindResourceById(0, 0), nullptr);
    // The last gadget of an id defines the tag.
    EXPECT_EQ(lib->FindGadgetByTag(oxAtoms::Find(u"a")), gadget2);

    int walked = 0;
    void* position = nullptr;
    for (oxElement* at = lib->FirstResource(&position); at; at = lib->NextResource(&position))
        ++walked;
    EXPECT_EQ(walked, 3);

    // Removing the defining gadget leaves no dangling gadget entry.
    lib->RemoveResource(gadget2);
    EXPECT_EQ(lib->GetResourceCount(), 2u);
    EXPECT_EQ(lib->FindGadgetByTag(oxAtoms::Find(u"a")), nullptr);
}

TEST_F(LibraryTest, ReferencesSearchTheNamedLibraryOrThisOneAndItsImports) {
    oxLibrary* scene = NewLibrary(u"box://P/scene.box");
    oxLibrary* imported = NewLibrary(u"box://P/imported.box");
    oxLibrary* deep = NewLibrary(u"box://P/deep.box");
    oxLibrary* other = runtime.libraries["box://P/other.box"] =
        new oxLibrary(kAtomLibrary, u"box://P/other.box", &runtime);
    other->AddRef();
    scene->AppendImport(imported);
    imported->AppendImport(deep);
    oxElement* own = Resource(kAtomStyle, u"own");
    oxElement* far = Resource(kAtomStyle, u"far");
    oxElement* elsewhere = Resource(kAtomStyle, u"elsewhere");
    scene->AddResource(own);
    deep->AddResource(far);
    other->AddResource(elsewhere);

    struct Case {
        const WCHAR* reference;
        oxElement* found;
    } cases[] = {
        {u"#own", own},
        {u"#far", far},
        {u"BOX://p/SCENE.box#own", own},
        {u"box://P/deep.box#far", far},
        {u"box://P/other.box#elsewhere", elsewhere},
        {u"box://P/missing.box#own", nullptr},
        {u"#", nullptr},
        {u"#nothing", nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.reference));
        EXPECT_EQ(scene->FindResourceByUri(c.reference), c.found);
    }
    EXPECT_EQ(scene->FindLibrary(u"box://P/deep.box", true), deep);
    EXPECT_EQ(scene->FindLibrary(u"box://P/other.box", true), nullptr);
    EXPECT_EQ(scene->FindLibrary(u"box://P/other.box", false), other);
    EXPECT_EQ(scene->FindLibrary(u"", false), nullptr);
}

TEST_F(LibraryTest, ImportChangesReachEveryDepth) {
    oxLibrary* top = NewLibrary(u"box://P/top.box");
    oxLibrary* middle = NewLibrary(u"box://P/middle.box");
    oxLibrary* old = NewLibrary(u"box://P/old.box");
    oxLibrary* replacement = NewLibrary(u"box://P/new.box");
    top->AppendImport(old);
    top->AppendImport(middle);
    middle->AppendImport(old);
    top->AppendImport(nullptr);
    EXPECT_EQ(top->GetImportCount(), 2);
    EXPECT_EQ(top->GetImportAt(2), nullptr);

    top->ReplaceImport(u"BOX://P/OLD.BOX", replacement);
    EXPECT_EQ(top->GetImportAt(0), replacement);
    EXPECT_EQ(middle->GetImportAt(0), replacement);

    // Removal ends at the first hit: the direct import goes, the one inside middle stays ...
    top->RemoveImport(replacement, true);
    EXPECT_EQ(top->GetImportCount(), 1);
    EXPECT_EQ(top->GetImportAt(0), middle);
    EXPECT_EQ(middle->GetImportCount(), 1);
    // ... until a second removal reaches it through middle.
    top->RemoveImport(replacement, true);
    EXPECT_EQ(middle->GetImportCount(), 0);
    EXPECT_EQ(top->GetImportCount(), 1);
}

// An import that leads back to the importer would make every search loop for ever.
TEST_F(LibraryTest, ImportsThatCloseALoopAreRefused) {
    oxLibrary* a = NewLibrary(u"box://P/a.box");
    oxLibrary* b = NewLibrary(u"box://P/b.box");
    oxLibrary* c = NewLibrary(u"box://P/c.box");
    a->AppendImport(a);
    EXPECT_EQ(a->GetImportCount(), 0);
    a->AppendImport(b);
    b->AppendImport(c);
    c->AppendImport(a);
    EXPECT_EQ(c->GetImportCount(), 0);
    b->ReplaceImport(u"box://P/c.box", a);
    EXPECT_EQ(b->GetImportAt(0), c);
    EXPECT_EQ(a->FindResourceByUri(u"#missing"), nullptr);
    EXPECT_EQ(a->FindGadgetByTag(kAtomStyle), nullptr);
    EXPECT_EQ(a->FindLibrary(u"box://P/missing.box", true), nullptr);
}

TEST_F(LibraryTest, LoadsFromMarkupWithImportsAndNestedLibraryTags) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    std::u16string uri = resources.Write("lib/base.box", ReadFile(DataPath("lib/base.box")));
    std::u16string shared = resources.Write("lib/shared.box", ReadFile(DataPath("lib/shared.box")));
    oxLibrary* lib = runtime.LoadLibrary(uri.c_str());
    ASSERT_NE(lib, nullptr);
    // The id on the library tag is ignored; the nested library tag adds to the same library, and
    // the unknown resource kind is skipped with its subtree.
    EXPECT_EQ(lib->GetId(), 0);
    EXPECT_TRUE(lib->GetPersists());
    EXPECT_EQ(lib->GetResourceCount(), 0u);
    ASSERT_EQ(lib->GetImportCount(), 1);
    EXPECT_EQ(Utf8(lib->GetImportAt(0)->GetUri().GetString()), Utf8(shared.c_str()));
    EXPECT_EQ(Utf8(lib->GetAccStyles().GetString()), Utf8(resources.DevicePath("lib/acc.box").c_str()));

    lib->LoadAccessibilityStyles();
    lib->LoadAccessibilityStyles();
    EXPECT_EQ(runtime.loadedInto.size(), 1u);
}

const std::string kLibraryHead = "<library xmlns=\"http://www.kestrum.com/weftly/resource.xsd\""
                                 " xmlns:b=\"http://www.kestrum.com/weftly/box.xsd\">\n";

std::string ImportOf(const std::string& href) {
    return kLibraryHead + "<b:import href=\"" + href + "\"/>\n</library>\n";
}

// A library that imported itself, or a ring of them, loaded again at every import until the stack
// ran out: the loop check ran only after the nested load returned.
TEST_F(LibraryTest, AnImportOfALibraryStillLoadingFailsWithAClearError) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    resources.Write("self.box", ImportOf("SELF.box"));
    resources.Write("a.box", ImportOf("b.box"));
    resources.Write("b.box", ImportOf("./sub/../A.BOX"));

    // The same file in another spelling is the same library.
    EXPECT_EQ(runtime.LoadLibrary(resources.BoxUri("self.box").c_str()), nullptr);
    ASSERT_EQ(runtime.errors.size(), 1u);
    EXPECT_EQ(runtime.errors[0].rfind("Import of a library that is still loading: ", 0), 0u) << runtime.errors[0];

    // In a ring the import that closes it fails its library; the first one loads without it.
    oxLibrary* a = runtime.LoadLibrary(resources.DevicePath("a.box").c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetImportCount(), 0);
    ASSERT_EQ(runtime.errors.size(), 2u);
    EXPECT_EQ(runtime.errors[1].rfind("Import of a library that is still loading: ", 0), 0u) << runtime.errors[1];
    EXPECT_FALSE(a->IsLoading());
}

TEST_F(LibraryTest, ImportsNestedTooDeepFailTheDeepestLoad) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    constexpr int kChain = 40;
    for (int i = 0; i < kChain; ++i)
        resources.Write("l" + std::to_string(i) + ".box", ImportOf("l" + std::to_string(i + 1) + ".box"));
    resources.Write("l" + std::to_string(kChain) + ".box", kLibraryHead + "</library>");
    oxLibrary* first = runtime.LoadLibrary(resources.BoxUri("l0.box").c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(runtime.errors.size(), 1u);
    EXPECT_EQ(runtime.errors[0].rfind("Imports nested more than 32 deep: ", 0), 0u) << runtime.errors[0];
    int depth = 0;
    for (oxLibrary* at = first; at->GetImportCount(); at = at->GetImportAt(0))
        ++depth;
    EXPECT_EQ(depth, 30); // the 32nd load failed, so the 31st has no import
}

// Relative and file paths of imports used to open any file on the host.
TEST_F(LibraryTest, ImportsOutsideTheResourcesFolderAreRefused) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    std::string climb;
    for (int i = 0; i < 30; ++i)
        climb += "../";
    struct Case {
        std::string href;
        bool refused;
    } cases[] = {
        {climb + "etc/passwd", true},
        {"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\tmp\\x.box", true},
        {"file:////etc/passwd", true},
        {"/etc/passwd", false}, // taken from the document's folder: stays inside
        {"missing.box", false},
        {"box://" + resources.Name() + "/" + climb + "etc/passwd", false}, // stays inside: not found
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.href);
        runtime.errors.clear();
        std::u16string uri = resources.Write("outside.box", ImportOf(c.href));
        oxLibrary* lib = runtime.LoadLibrary(uri.c_str());
        EXPECT_EQ(lib == nullptr, c.refused);
        if (c.refused) {
            ASSERT_EQ(runtime.errors.size(), 1u);
            EXPECT_EQ(runtime.errors[0], "Import outside the resources folder: " + c.href);
        } else {
            EXPECT_EQ(lib->GetImportCount(), 0);
            runtime.libraries.erase(Utf8(uri.c_str()));
            lib->Release();
        }
    }
}

TEST_F(LibraryTest, ImportLeftOpenByABrokenDocumentIsFreed) {
    oxLibrary* lib = NewLibrary(u"\\x\\lib.box");
    std::string text = "<library xmlns=\"http://www.kestrum.com/weftly/resource.xsd\">"
                       "<import xmlns=\"http://www.kestrum.com/weftly/box.xsd\" href=\"nowhere.box\">";
    NUBO::XStream* raw = nullptr;
    ASSERT_EQ(NUBO::XStream::Create(&raw), 0);
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    uint32_t written = 0;
    ASSERT_EQ(stream->Write(text.data(), uint32_t(text.size()), &written), 0);
    ASSERT_EQ(stream->Seek(0, 0), 0);
    oxMarkupLoader loader;
    EXPECT_EQ(loader.Load(u"\\x\\lib.box", stream.get(), lib), nullptr);
    EXPECT_TRUE(loader.IsFailed());
    EXPECT_EQ(lib->GetImportCount(), 0);
    // The sanitizer build reports the import element if the library does not free it.
}

} // namespace

namespace {

// An import that finds no library, and an element of the resource namespace that makes no
// resource (an import there, say), used to leave the library without a word.
TEST_F(LibraryTest, AnImportThatLoadsNothingAndAnUnknownResourceAreReported) {
    TempResources resources;
    ASSERT_TRUE(resources.Ok());
    std::u16string uri = resources.Write(
        "quiet.box", kLibraryHead + "<b:import href=\"missing.box\"/>\n<import href=\"theme.box\"/>\n</library>\n");
    resources.Write("theme.box", kLibraryHead + "</library>\n");
    testing::internal::CaptureStderr();
    oxLibrary* lib = runtime.LoadLibrary(uri.c_str());
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->GetImportCount(), 0);
    EXPECT_NE(said.find("Cannot import the library \""), std::string::npos) << said;
    EXPECT_NE(said.find("missing.box\""), std::string::npos) << said;
    EXPECT_NE(said.find("No resource is made of <import>: skipped"), std::string::npos) << said;
}

} // namespace
