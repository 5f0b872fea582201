// Scene files from tests/data/*.box loaded into box trees and compared with tests/data/*.txt.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/markup/tests/markup_test_support.h"

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

// A document as deep as boxes may nest loads and frees without a deep stack; a part added at the
// bottom, held past the tree, loses its owner with the tree.
TEST(DeepBoxTreeTest, LoadsAndFreesATreeAtTheDepthLimit) {
    oxAtoms::RegisterPredefined();
    constexpr int kDepth = oxBox::kMaxDepth - 1; // room for the part below
    std::string doc = "<box xmlns=\"http://www.kestrum.com/weftly/box.xsd\">";
    doc.reserve(size_t(kDepth) * 12);
    for (int i = 1; i < kDepth; ++i)
        doc += "<box>";
    for (int i = 1; i < kDepth; ++i)
        doc += "</box>";
    doc += "</box>";
    NUBO::XStream* raw = nullptr;
    ASSERT_EQ(NUBO::XStream::Create(&raw), 0);
    NUBO::RefPtr<NUBO::XStream> stream(raw);
    uint32_t written = 0;
    ASSERT_EQ(stream->Write(doc.data(), uint32_t(doc.size()), &written), 0);
    ASSERT_EQ(stream->Seek(0, 0), 0);

    PlainBoxScene scene;
    auto holder = std::make_unique<RootHolder>(&scene);
    oxMarkupLoader loader;
    ASSERT_NE(loader.Load(u"deep.box", stream.get(), holder.get()), nullptr);
    int depth = 0;
    oxBox* last = nullptr;
    for (oxBox* b = holder->root; b; b = b->GetFirstChild(false)) {
        last = b;
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    // A part deep down, held past the tree as a script would hold it, loses its owner with the tree.
    auto* part = new oxBox(kAtomBox);
    part->AddRef();
    last->AddChild(part, u"part", false);
    EXPECT_EQ(part->GetOwner(), last);
    holder.reset();
    EXPECT_EQ(part->GetParent(), nullptr);
    EXPECT_EQ(part->GetOwner(), nullptr);
    part->Release();
}

} // namespace
