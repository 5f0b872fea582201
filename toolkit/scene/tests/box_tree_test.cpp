// Scene files from tests/data/*.box loaded into box trees and compared with tests/data/*.txt.
#include <gtest/gtest.h>

#include <string>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/core/atoms.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/scene/box_uri.h"
#include "toolkit/scene/markup_loader.h"
#include "toolkit/scene/tests/markup_test_support.h"

using namespace markup_test;

namespace {

class BoxTreeTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
};

TEST_P(BoxTreeTest, MatchesExpectedDump) {
    std::string name = GetParam();
    std::u16string uri = Wide(DataPath(name + ".box"));
    for (char16_t& c : uri)
        if (c == u'/') c = u'\\';
    NUBO::XStream* raw = nullptr;
    ASSERT_EQ(OpenUriStream(uri.c_str(), &raw), 0);
    NUBO::RefPtr<NUBO::XStream> stream(raw);

    PlainBoxScene scene;
    RootHolder holder(&scene);
    oxMarkupLoader loader;
    oxElement* root = loader.Load(uri.c_str(), stream.get(), &holder);
    ASSERT_FALSE(loader.IsFailed()) << Utf8(loader.GetErrorText().GetString());
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->IsBox());
    EXPECT_EQ(root, holder.root);

    NUBO::TWString dump;
    oxDumpBoxTree(holder.root, dump);
    EXPECT_TRUE(MatchesGolden(Utf8(dump.GetString()), name + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Scenes, BoxTreeTest, ::testing::Values("simple", "states"));

} // namespace
