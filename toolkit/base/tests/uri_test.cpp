#include "toolkit/base/uri.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/wide_string.h"

namespace {

class oxUriTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::Clear();
        oxAtoms::RegisterPredefined();
    }
    void TearDown() override { oxAtoms::Clear(); }
};

std::u16string Or(const WCHAR* text, const char16_t* absent = u"<null>") {
    return text ? std::u16string(text) : std::u16string(absent);
}

struct ParseCase {
    const char16_t* input;
    const char16_t* scheme; // name whose atom the scheme must be; null: no scheme
    const char16_t* authority;
    const char16_t* path;
    const char16_t* fragment;
    const char16_t* withoutFragment;
};

void ExpectParse(const oxUri& uri, const ParseCase& c) {
    SCOPED_TRACE(std::string(c.input, c.input + std::char_traits<char16_t>::length(c.input)));
    EXPECT_EQ(uri.GetScheme(), c.scheme ? oxAtoms::Find(c.scheme) : 0);
    if (c.scheme) {
        EXPECT_NE(uri.GetScheme(), 0);
    }
    EXPECT_EQ(Or(uri.GetAuthority()), Or(c.authority));
    EXPECT_EQ(Or(uri.GetPath()), Or(c.path));
    EXPECT_EQ(Or(uri.GetFragment()), Or(c.fragment));
    EXPECT_EQ(Or(uri.GetWithoutFragment()), Or(c.withoutFragment));
}

TEST_F(oxUriTest, SplitsSchemeAuthorityPathAndFragment) {
    const ParseCase cases[] = {
        // schemes become atoms, without case
        {u"box://weftlyToolkit/content/menu.box#main", u"box", u"weftlyToolkit", u"content/menu.box", u"main",
         u"box://weftlyToolkit/content/menu.box"},
        {u"BOX://Pkg/a.box", u"box", u"Pkg", u"a.box", nullptr, u"BOX://Pkg/a.box"},
        {u"ee://kestrum/basics/array", u"ee", u"kestrum", u"array", nullptr, u"ee://kestrum/basics/array"},
        {u"ee://kestrum/basics", u"ee", u"kestrum", u"basics", nullptr, u"ee://kestrum/basics"},
        {u"ee://kestrum", u"ee", u"kestrum", nullptr, nullptr, u"ee://kestrum"},
        {u"file:///x/y", u"file", u"", u"x/y", nullptr, u"file:///x/y"},
        {u"box:/a/b", u"box", u"", u"a/b", nullptr, u"box:/a/b"},
        // schemes outside the vocabulary split the same way but have no atom
        {u"http://host:8080/a?q=1#top", nullptr, u"host:8080", u"a?q=1", u"top", u"http://host:8080/a?q=1"},
        {u"verylongscheme:/x", nullptr, u"", u"x", nullptr, u"verylongscheme:/x"},
        {u"abcdefghijklmnopqrst://h/p", nullptr, u"h", u"p", nullptr, u"abcdefghijklmnopqrst://h/p"},
        // relative paths: the first segment reads as the authority
        {u"images/a.png", nullptr, u"images", u"a.png", nullptr, u"images/a.png"},
        {u"a.png#frag", nullptr, u"a.png", nullptr, u"frag", u"a.png"},
        // '.' and '..' are kept as written; resolving them is the caller's business
        {u"../images/a.png", nullptr, u"..", u"images/a.png", nullptr, u"../images/a.png"},
        {u"./a.box", nullptr, u".", u"a.box", nullptr, u"./a.box"},
        {u"box://pkg/../x/./y.box", u"box", u"pkg", u"../x/./y.box", nullptr, u"box://pkg/../x/./y.box"},
        // only the "//" after the scheme opens the authority; later ones stay in the path
        {u"box://pkg/dir//file.box", u"box", u"pkg", u"dir//file.box", nullptr, u"box://pkg/dir//file.box"},
        // backslash paths are not split; a '#' in a drive path's folder names is no fragment
        {u"C:\\dir#1\\f.box#b", nullptr, u"C:\\dir#1\\f.box", nullptr, u"b", u"C:\\dir#1\\f.box"},
        {u"C:\\a\\b#c", nullptr, u"C:\\a\\b", nullptr, u"c", u"C:\\a\\b"},
        {u"\\resources\\main.box", nullptr, u"\\resources\\main.box", nullptr, nullptr, u"\\resources\\main.box"},
        {u"box://pkg\\dir\\a.box", u"box", u"pkg\\dir\\a.box", nullptr, nullptr, u"box://pkg\\dir\\a.box"},
        {u"dir#1\\f.box", nullptr, u"dir", nullptr, u"1\\f.box", u"dir"}, // not a drive path: every '#' counts
        // empty and malformed
        {u"", nullptr, nullptr, nullptr, nullptr, u""},
        {u"#", nullptr, nullptr, nullptr, u"", u""},
        {u"box://", u"box", nullptr, nullptr, nullptr, u"box://"},
        {u"box://#frag", u"box", nullptr, nullptr, u"frag", u"box://"},
        {u"box:", nullptr, u"box:", nullptr, nullptr, u"box:"},
        {u"://", nullptr, u"", u"/", nullptr, u"://"},
        {u"//server/share", nullptr, u"", u"/server/share", nullptr, u"//server/share"},
        {u"a:/b:/c", nullptr, u"", u"b:/c", nullptr, u"a:/b:/c"}, // the first ":/" alone is the scheme's
        {u"box://a#b#c", u"box", u"a", nullptr, u"b#c", u"box://a"},
    };
    for (const ParseCase& c : cases) {
        oxUri uri(c.input);
        ExpectParse(uri, c);
    }
}

TEST_F(oxUriTest, NullTextGivesAnEmptyUri) {
    oxUri uri(nullptr);
    ExpectParse(uri, {u"(null)", nullptr, nullptr, nullptr, nullptr, u""});
    EXPECT_TRUE(uri.Parse(nullptr));
}

TEST_F(oxUriTest, LongInputsMoveToTheHeapAndParseLikeShortOnes) {
    for (size_t total : {258u, 259u, 260u, 261u, 300u, 5000u}) {
        SCOPED_TRACE(total);
        const std::u16string head = u"box://pkg/";
        const std::u16string name = std::u16string(total - head.size() - 4, u'a') + u".box";
        const std::u16string input = head + name;
        ASSERT_EQ(input.size(), total);
        oxUri uri(input.c_str());
        ExpectParse(uri, {input.c_str(), u"box", u"pkg", name.c_str(), nullptr, input.c_str()});
    }
}

TEST_F(oxUriTest, LongInputKeepsItsFragmentOutOfWithoutFragment) {
    const std::u16string path = std::u16string(400, u'p');
    const std::u16string before = u"box://pkg/" + path;
    const std::u16string input = before + u"#frag";
    oxUri uri(input.c_str());
    ExpectParse(uri, {input.c_str(), u"box", u"pkg", path.c_str(), u"frag", before.c_str()});

    // A short URI with a long fragment.
    const std::u16string fragment(600, u'f');
    const std::u16string second = u"box://pkg/a.box#" + fragment;
    EXPECT_TRUE(uri.Parse(second.c_str())); // parsing again replaces the heap copies
    ExpectParse(uri, {second.c_str(), u"box", u"pkg", u"a.box", fragment.c_str(), u"box://pkg/a.box"});

    // A long drive path with a '#' in a folder name.
    const std::u16string folder = u"C:\\" + std::u16string(300, u'd') + u"#1\\f.box";
    const std::u16string drive = folder + u"#b";
    EXPECT_TRUE(uri.Parse(drive.c_str()));
    ExpectParse(uri, {drive.c_str(), nullptr, folder.c_str(), nullptr, u"b", folder.c_str()});

    EXPECT_TRUE(uri.Parse(u"ee://k/a/b"));
    ExpectParse(uri, {u"ee://k/a/b", u"ee", u"k", u"b", nullptr, u"ee://k/a/b"});
}

// Every URI a document names would otherwise take an atom for good.
TEST_F(oxUriTest, UnknownSchemesAreNotInterned) {
    oxAtom before = oxAtoms::Intern(u"probe");
    oxUri uri(u"myscheme://x/y");
    EXPECT_EQ(uri.GetScheme(), 0);
    EXPECT_EQ(Or(uri.GetAuthority()), u"x");
    EXPECT_EQ(oxUri::SchemeAtom(u"other://x"), 0);
    EXPECT_EQ(oxAtoms::Find(u"myscheme"), 0);
    EXPECT_EQ(oxAtoms::Intern(u"probe2"), before + 1);
    // A scheme that is a known name, dynamic or fixed, still has its atom.
    EXPECT_EQ(oxUri(u"PROBE://x").GetScheme(), before);
}

TEST_F(oxUriTest, SchemeAtomAndHasSchemeLookOnlyAtTheFirstTenUnits) {
    struct Case {
        const char16_t* text;
        const char16_t* scheme; // null: 0
        bool hasScheme;
    } cases[] = {
        {u"box://a", u"box", true},
        {u"ee:/a", u"ee", true},
        {u"file:\\x", nullptr, true}, // a backslash counts only for HasScheme
        {u"verylongscheme:/x", nullptr, false},
        {u"123456789:/x", u"123456789", true}, // ':' at position 9
        {u"1234567890:/x", nullptr, false},    // ':' at position 10
        {u"box:", nullptr, false},
        {u":/x", nullptr, true}, // an empty name is no atom
        {u"", nullptr, false},
        {u"images/a.png", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)));
        oxAtom scheme = oxUri::SchemeAtom(c.text);
        EXPECT_EQ(scheme, c.scheme ? oxAtoms::Find(c.scheme) : 0);
        EXPECT_EQ(oxUri::HasScheme(c.text), c.hasScheme);
    }
    EXPECT_EQ(oxUri::SchemeAtom(u"box://a"), kAtomBox);
    EXPECT_EQ(oxUri::SchemeAtom(nullptr), 0);
    EXPECT_FALSE(oxUri::HasScheme(nullptr));
}

TEST_F(oxUriTest, DirectoriesAndRelativeJoins) {
    struct Dir {
        const char16_t* text;
        const char16_t* directory;
    } dirs[] = {
        {u"a\\b/c", u"a\\b"}, {u"a/b\\c", u"a/b"}, {u"box://pkg/dir/a.box", u"box://pkg/dir"}, {u"a.box", u""},
        {u"/a", u""},         {u"", u""},          {u"\\resources\\x", u"\\resources"},
    };
    for (const Dir& d : dirs)
        EXPECT_EQ(std::u16string(oxUri::GetDirectory(d.text).GetString()), d.directory);
    EXPECT_TRUE(oxUri::GetDirectory(nullptr).IsEmpty());

    struct Join {
        const char16_t* base;
        const char16_t* relative;
        const char16_t* joined;
    } joins[] = {
        {u"a/", u"b", u"a/b"},    {u"", u"b", u"b"},
        {u"a", u"b", u"a/b"},     {u"box://pkg/dir", u"../x.box", u"box://pkg/dir/../x.box"},
        {u"a\\", u"b", u"a\\/b"}, // only '/' counts as an ending separator
        {u"a", u"", u"a/"},
    };
    for (const Join& j : joins)
        EXPECT_EQ(std::u16string(oxUri::JoinPath(j.base, j.relative).GetString()), j.joined);

    // A long directory joins like a short one.
    const std::u16string longBase(400, u'd');
    EXPECT_EQ(std::u16string(oxUri::JoinPath(longBase.c_str(), u"f").GetString()), longBase + u"/f");

    struct Combine {
        const char16_t* base;
        const char16_t* relative;
        const char16_t* combined;
    } combines[] = {
        {u"\\resources", u"main.box", u"\\resources\\main.box"},
        {u"\\resources\\", u"main.box", u"\\resources\\main.box"},
        {u"", u"main.box", u"main.box"},
        {u"dir/", u"a", u"dir/\\a"},
    };
    for (const Combine& c : combines) {
        NUBO::TWString base(c.base);
        oxUri::Combine(base, NUBO::TWString(c.relative));
        EXPECT_EQ(std::u16string(base.GetString()), c.combined);
    }
}

} // namespace
