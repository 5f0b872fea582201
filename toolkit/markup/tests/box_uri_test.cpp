#include "toolkit/markup/box_uri.h"

#include <gtest/gtest.h>

#include "platform/shell/files.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/markup/tests/markup_test_support.h"
#include "toolkit/markup/tests/temp_resources.h"

using markup_test::Utf8;

namespace {

TEST(BoxUriTest, ResolvesAgainstBases) {
    oxAtoms::RegisterPredefined();
    struct Case {
        const WCHAR* uri;
        const WCHAR* base;
        const char* path;
    } cases[] = {
        {u"ent.dtd", u"\\dir\\sub", "\\dir\\sub\\ent.dtd"},
        {u"ent.dtd", u"box://Pkg/content", "Pkg\\content\\ent.dtd"},
        // relative results are opened from the program folder: no '..' climbs out of it
        {u"../../../../etc/passwd", u"box://Pkg/content", "etc\\passwd"},
        {u"..\\..\\x", u"dir", "x"},
        {u"ent.dtd", u"", "ent.dtd"},
        {u"file:///x/y.box", u"\\ignored", "\\x/y.box"},
        {u"http://host/a.box", nullptr, "http://host/a.box"},
    };
    for (const Case& c : cases) {
        NUBO::TWString out;
        EXPECT_EQ(ResolveUriToPath(c.uri, c.base, out), 1);
        EXPECT_EQ(Utf8(out.GetString()), c.path) << Utf8(c.uri);
    }
    NUBO::TWString out;
    EXPECT_EQ(ResolveUriToPath(nullptr, u"\\x", out), 0);

    // box URIs land under the program folder, with the authority first.
    EXPECT_EQ(ResolveUriToPath(GetBuiltInPath(1).GetString(), nullptr, out), 1);
    EXPECT_NE(Utf8(out.GetString()).find("KestrumToolkit\\content\\dialog\\dialog.box"), std::string::npos);
    EXPECT_EQ(out.GetAt(0), u'\\');
    EXPECT_TRUE(GetBuiltInPath(4).IsEmpty());
}

// box:// and ee:// paths, whatever their '..', '.', '\\', '/' and case, stay in the resources folder;
// any path can be asked whether it lies inside it.
TEST(BoxUriTest, PathsStayInsideTheResourcesFolder) {
    oxAtoms::RegisterPredefined();
    const std::string folder = Utf8(GetResourcesFolder().GetString());
    ASSERT_FALSE(folder.empty());
    struct Resolved {
        const WCHAR* uri;
        const char* inside; // the path after the folder
    } resolved[] = {
        {u"box://Pkg/../../../../etc/passwd", "etc\\passwd"},
        {u"box://Pkg\\..\\..\\etc\\passwd", "etc\\passwd"},
        {u"BOX://pkg/./a/../b.box", "pkg\\b.box"},
        {u"ee://k/proto/../../../../x", "x"},
        {u"box://../../..", ""},
    };
    for (const Resolved& c : resolved) {
        NUBO::TWString out;
        EXPECT_EQ(ResolveUriToPath(c.uri, nullptr, out), 1);
        EXPECT_EQ(Utf8(out.GetString()), folder + c.inside) << Utf8(c.uri);
    }

    std::u16string upper(GetResourcesFolder().GetString());
    for (char16_t& ch : upper)
        if (ch >= u'a' && ch <= u'z') ch = char16_t(ch - u'a' + u'A');
    const std::string upperFolder = Utf8(upper.c_str());
    struct Confined {
        std::u16string path;
        bool inside;
        std::string settled;
    } confined[] = {
        {u"pkg/a.box", true, folder + "pkg\\a.box"},
        {upper + u"pkg/./x/../a.box", true, upperFolder + "pkg\\a.box"},
        {u"..\\outside", false, ""},
        {std::u16string(GetResourcesFolder().GetString()) + u"pkg\\..\\..\\x", false, ""},
        {u"\\etc\\passwd", false, "\\etc\\passwd"},
        {u"/etc//passwd", false, "\\etc\\passwd"},
        {u"\\\\host\\share", false, "\\host\\share"},
        {std::u16string(GetResourcesFolder().GetString()), false, ""},
    };
    for (const Confined& c : confined) {
        NUBO::TWString path(c.path.c_str());
        EXPECT_EQ(ConfineToResources(path), c.inside) << Utf8(c.path.c_str());
        if (!c.settled.empty()) {
            EXPECT_EQ(Utf8(path.GetString()), c.settled);
        }
    }
}

// The resources folder is "resources" beside the program; every form of name reaches a file there.
TEST(BoxUriTest, EveryFormOpensFromTheResourcesFolder) {
    oxAtoms::RegisterPredefined();
    WCHAR program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    std::u16string folder(program);
    folder.resize(folder.rfind(u'\\') + 1);
    EXPECT_EQ(Utf8(GetResourcesFolder().GetString()), Utf8((folder + u"resources\\").c_str()));

    markup_test::TempResources temp;
    ASSERT_TRUE(temp.Ok());
    const std::u16string device = temp.Write("content/a.box", "scene");
    const std::u16string name = platform::WideFromUtf8(temp.Name());
    const std::u16string forms[] = {
        temp.BoxUri("content/a.box"),                // box://package/path
        u"ee://" + name + u"/proto/content/a.box",   // ee://provider/protocol/name
        name + u"\\content\\a.box",                  // a bare relative name
        u"box://" + name + u"/x/../content/./a.box", // settled by name
        device,                                      // a path that begins with '\\' opens as it is
        u"file:///" + device.substr(1),              // a file URI names its path
    };
    for (const std::u16string& form : forms) {
        NUBO::XStream* raw = nullptr;
        ASSERT_EQ(OpenUriStream(form.c_str(), &raw), 0) << Utf8(form.c_str());
        char text[8] = {};
        uint32_t count = 0;
        raw->Read(text, sizeof text, &count);
        EXPECT_EQ(std::string(text, count), "scene") << Utf8(form.c_str());
        raw->Release();
    }
    // Relative names against a box:// base and against a path.
    NUBO::TWString out;
    ResolveUriToPath(u"a.box", (u"box://" + name + u"/content").c_str(), out);
    EXPECT_EQ(Utf8(out.GetString()), temp.Name() + "\\content\\a.box");
    NUBO::XStream* raw = nullptr;
    ASSERT_EQ(OpenUriStream(out.GetString(), &raw), 0);
    raw->Release();
    // Nothing outside the folder is reached through '..'.
    std::filesystem::path outside = std::filesystem::path(temp.HostPath()).parent_path().parent_path() / "outside.box";
    std::ofstream(outside) << "secret";
    for (const WCHAR* climb : {u"box://x/../../outside.box", u"../outside.box", u"ee://../outside.box"}) {
        raw = nullptr;
        EXPECT_EQ(OpenUriStream(climb, &raw), 1) << Utf8(climb);
        NUBO::TWString resolved;
        ResolveUriToPath(climb, u"box://pkg", resolved);
        if (resolved.GetAt(0) == u'\\') {
            EXPECT_TRUE(ConfineToResources(resolved)) << Utf8(climb);
        }
    }
    std::filesystem::remove(outside);
}

TEST(BoxUriTest, OpenUriStreamFailsForMissingFiles) {
    NUBO::XStream* stream = nullptr;
    EXPECT_EQ(OpenUriStream(u"\\no\\such\\file.box", &stream), 1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(OpenUriStream(u"box://NoSuchPackage/x.box", &stream), 1);
}

} // namespace
