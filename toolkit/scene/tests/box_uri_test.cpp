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
    EXPECT_NE(Utf8(out.GetString()).find("KestrumToolkit/content/dialog/dialog.box"), std::string::npos);
    EXPECT_EQ(out.GetAt(0), u'\\');
    EXPECT_TRUE(GetBuiltInPath(4).IsEmpty());
}

TEST(BoxUriTest, OpenUriStreamFailsForMissingFiles) {
    NUBO::XStream* stream = nullptr;
    EXPECT_EQ(OpenUriStream(u"\\no\\such\\file.box", &stream), 1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(OpenUriStream(u"box://NoSuchPackage/x.box", &stream), 1);
}

} // namespace
