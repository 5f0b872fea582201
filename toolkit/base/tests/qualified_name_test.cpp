#include "toolkit/base/qualified_name.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/wide_string.h"
#include "toolkit/base/error_report.h"

namespace {

std::u16string ToString(const oxQualifiedName& name) {
    NUBO::TWString out;
    name.ToString(out);
    return out.GetString();
}

class oxQualifiedNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::Clear();
        oxAtoms::RegisterPredefined();
    }
    void TearDown() override { oxAtoms::Clear(); }
};

TEST_F(oxQualifiedNameTest, SplitsOnlyAfterALetterOrDigitPrefix) {
    struct Case {
        const char16_t* text;
        oxAtom prefix; // 0: none
        const char16_t* local;
        const char16_t* shown;
    } cases[] = {
        {u"box:item", kAtomBox, u"item", u"box:item"},
        {u"BOX:Item", kAtomBox, u"Item", u"box:Item"}, // the prefix reads back as registered
        {u"a-b:c", 0, u"a-b:c", u"a-b:c"},             // '-' is not a letter or digit
        {u"x:", 0, u"x:", u"x:"},                      // nothing after the ':'
        {u":name", 0, u"name", u"name"},               // an empty prefix passes and is no atom
        {u"box:a:b", kAtomBox, u"a:b", u"box:a:b"},    // the first ':' splits
        {u"plain", 0, u"plain", u"plain"},
        {u"", 0, u"", u""},
    };
    for (const Case& c : cases) {
        oxQualifiedName name(c.text);
        std::string label(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(name.GetPrefix(), c.prefix) << label;
        EXPECT_EQ(std::u16string(name.GetText()), c.local) << label;
        EXPECT_EQ(name.GetName(), oxAtoms::Find(c.local)) << label;
        EXPECT_EQ(ToString(name), c.shown) << label;
    }
    EXPECT_EQ(oxQualifiedName(u"box:window").GetName(), kAtomWindow);
}

TEST_F(oxQualifiedNameTest, ReparsingKeepsAPrefixAndNullClears) {
    oxQualifiedName name(u"box:first");
    name.Set(u"second");
    EXPECT_EQ(name.GetPrefix(), kAtomBox);
    EXPECT_EQ(ToString(name), u"box:second");
    name.Parse(nullptr);
    EXPECT_EQ(name.GetPrefix(), 0);
    EXPECT_EQ(name.GetName(), 0);
    EXPECT_EQ(std::u16string(name.GetText()), u"");
}

TEST_F(oxQualifiedNameTest, LongPrefixesAreCutTo255Units) {
    std::u16string text = std::u16string(300, u'p') + u":x";
    oxQualifiedName name(text.c_str());
    WCHAR prefix[256];
    ASSERT_EQ(oxAtoms::GetName(name.GetPrefix(), prefix, 256), 1);
    EXPECT_EQ(std::u16string(prefix), std::u16string(255, u'p'));
    EXPECT_EQ(std::u16string(name.GetText()), u"x");
}

TEST_F(oxQualifiedNameTest, CopiesShareOneText) {
    auto original = std::make_unique<oxQualifiedName>(u"box:item");
    oxQualifiedName copy(*original);
    oxQualifiedName assigned;
    assigned = *original;
    assigned = assigned;
    EXPECT_EQ(copy.GetText(), original->GetText());
    EXPECT_EQ(assigned.GetText(), original->GetText());
    original.reset(); // the survivors keep the block; the sanitizers catch a double free or a leak
    EXPECT_EQ(std::u16string(copy.GetText()), u"item");
    EXPECT_EQ(assigned.GetPrefix(), kAtomBox);
}

TEST(oxSharedString, EmptyTextHasNoBlock) {
    EXPECT_TRUE(oxSharedString(u"").IsNull());
    EXPECT_TRUE(oxSharedString(nullptr).IsNull());
    oxSharedString s(u"abc", 2);
    EXPECT_EQ(std::u16string(s.GetString()), u"ab");
    oxSharedString t = s;
    s = oxSharedString();
    EXPECT_EQ(std::u16string(t.GetString()), u"ab");
    EXPECT_EQ(std::u16string(s.GetString()), u"");
}

TEST(oxErrorReport, KindsAndFields) {
    std::unique_ptr<oxErrorReport> plain = std::make_unique<oxErrorReport>(kErrorParseOrScript, nullptr);
    std::unique_ptr<oxErrorReport> located =
        std::make_unique<oxSourceErrorReport>(kErrorFileNotFound, kNoRootBoxText, u"box://main.box", 0, 0);
    EXPECT_FALSE(plain->HasLocation());
    EXPECT_TRUE(plain->message.IsEmpty());
    ASSERT_TRUE(located->HasLocation());
    auto* source = static_cast<oxSourceErrorReport*>(located.get());
    EXPECT_EQ(source->code, int32_t(0x80000005));
    EXPECT_EQ(std::u16string(source->message.GetString()), u"File not found or invalid scene (no root box)");
    EXPECT_EQ(std::u16string(source->source.GetString()), u"box://main.box");
    oxSourceErrorReport noSource(kErrorParseOrScript, kScriptErrorText, nullptr, 3, 7);
    EXPECT_TRUE(noSource.source.IsEmpty());
    EXPECT_EQ(noSource.line, 3);
    EXPECT_EQ(noSource.column, 7);
}

} // namespace
