#include "runtime/string_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using NUBO::TStringTokenizer;

namespace {

std::vector<std::u16string> Tokens(const WCHAR* text, WCHAR separator, bool trim) {
    std::vector<std::u16string> out;
    TStringTokenizer tokenizer(text, separator, trim);
    while (tokenizer.HasMoreTokens()) {
        NUBO::TWString token = tokenizer.NextToken();
        out.emplace_back(token.GetString(), size_t(token.GetLength()));
    }
    return out;
}

} // namespace

TEST(StringTokenizer, Splits) {
    using V = std::vector<std::u16string>;
    struct Case {
        const WCHAR* text;
        WCHAR separator;
        bool trim;
        V tokens;
    } cases[] = {
        {u"a = b", u'=', true, V{u"a", u"b"}},
        {u"a = b", u'=', false, V{u"a ", u" b"}},
        {u"x,y,z", u',', false, V{u"x", u"y", u"z"}},
        {u"x,,z", u',', false, V{u"x", u"", u"z"}},
        {u"x,", u',', false, V{u"x"}},
        {u",x", u',', false, V{u"", u"x"}},
        {u",", u',', false, V{u""}},
        {u"only", u',', true, V{u"only"}},
        {u" \t a b ;\n c ; ", u';', true, V{u"a b", u"c"}},
        {u"", u',', false, V{}},
        {nullptr, u',', false, V{}},
        {u"a,b", 0, false, V{}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Tokens(c.text, c.separator, c.trim), c.tokens) << (c.text ? c.text[0] : 0);
}

TEST(StringTokenizer, ExhaustedGivesEmptyTokens) {
    TStringTokenizer tokenizer(u"a", u',', false);
    EXPECT_EQ(std::u16string(tokenizer.NextToken().GetString()), u"a");
    EXPECT_FALSE(tokenizer.HasMoreTokens());
    EXPECT_TRUE(tokenizer.NextToken().IsEmpty());
    TStringTokenizer none(u"a", 0, false);
    EXPECT_TRUE(none.NextToken().IsEmpty());
}
