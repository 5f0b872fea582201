#include "toolkit/scene/box_uri.h"

#include <gtest/gtest.h>

#include "runtime/stream.h"
#include "toolkit/core/atoms.h"
#include "toolkit/scene/tests/markup_test_support.h"

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
        {u"file:///x/y.box", u"\\ignored", "x/y.box"},
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

TEST(BoxUriTest, OpenUriStreamFailsForMissingFiles) {
    NUBO::XStream* stream = nullptr;
    EXPECT_EQ(OpenUriStream(u"\\no\\such\\file.box", &stream), 1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(OpenUriStream(u"box://NoSuchPackage/x.box", &stream), 1);
}

} // namespace
