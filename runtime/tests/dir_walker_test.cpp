#include "runtime/dir_walker.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/shell/path_map.h"

namespace fs = std::filesystem;

namespace {

class DirWalkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("TANDU_ROOT");
        std::string templ = (fs::temp_directory_path() / "tandu-walk-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        host_ = templ;
        base_ = platform::WideFromUtf8(host_.string());
        for (char16_t& c : base_)
            if (c == u'/') c = u'\\';
    }
    void TearDown() override { fs::remove_all(host_); }

    std::u16string Path(const char16_t* rest) const { return base_ + u"\\" + rest; }

    // name -> flags of every entry the walker gives for `pattern`.
    std::map<std::u16string, DWORD> Walk(const std::u16string& pattern) {
        std::map<std::u16string, DWORD> seen;
        NUBO::TDirWalker walker;
        if (!walker.Open(pattern.c_str())) {
            EXPECT_FALSE(walker.IsOpen());
            return seen;
        }
        NUBO::TDirEntry entry = NUBO::TDirEntry();
        seen[walker.GetEntry().name.GetString()] = walker.GetEntry().flags;
        while (walker.FindNext(&entry))
            seen[entry.name.GetString()] = entry.flags;
        EXPECT_EQ(walker.FindNext(&entry), 0);
        return seen;
    }

    fs::path host_;
    std::u16string base_;
};

} // namespace

TEST_F(DirWalkerTest, ListsEntriesWithoutDotsAndWithFlags) {
    std::ofstream(host_ / "a.txt") << "12345";
    std::ofstream(host_ / "B.TTF") << "x";
    std::ofstream(host_ / ".secret") << "";
    fs::create_directory(host_ / "sub");
    fs::permissions(host_ / "B.TTF", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    std::map<std::u16string, DWORD> expected = {
        {u"a.txt", 0},
        {u"B.TTF", NUBO::kDirEntryReadOnly},
        {u".secret", NUBO::kDirEntryHidden},
        {u"sub", NUBO::kDirEntryDirectory},
    };
    EXPECT_EQ(Walk(Path(u"*")), expected);
    EXPECT_EQ(Walk(Path(u"*.ttf")), (std::map<std::u16string, DWORD>{{u"B.TTF", NUBO::kDirEntryReadOnly}}));

    NUBO::TDirWalker walker;
    ASSERT_EQ(walker.Open(Path(u"A.TXT").c_str()), 1);
    const NUBO::TDirEntry& entry = walker.GetEntry();
    EXPECT_EQ(entry.sizeLow, 5u);
    EXPECT_EQ(entry.sizeHigh, 0u);
    EXPECT_NEAR(entry.lastWriteTime, double(time(nullptr)), 60);
    EXPECT_EQ(walker.GetFolder().Compare(base_.c_str()), 0);
    EXPECT_EQ(walker.GetNamePattern().Compare(u"A.TXT"), 0);
}

TEST_F(DirWalkerTest, OnlyDotEntriesOrNothingLeavesTheWalkerClosed) {
    fs::create_directory(host_ / "empty");
    EXPECT_TRUE(Walk(Path(u"empty\\*")).empty());
    EXPECT_TRUE(Walk(Path(u"*.none")).empty());
    EXPECT_TRUE(Walk(Path(u"missing\\*")).empty());

    NUBO::TDirWalker walker;
    NUBO::TDirEntry entry;
    entry.name = u"stale";
    EXPECT_EQ(walker.FindFirst(u"", &entry), 0);
    EXPECT_TRUE(entry.name.IsEmpty());
    EXPECT_EQ(entry.flags, NUBO::kDirEntryDirectory);
    EXPECT_FALSE(walker.IsOpen());
    EXPECT_EQ(walker.FindNext(&entry), 0);
}

TEST_F(DirWalkerTest, EmptyPatternListsTheWorkingFolder) {
    std::ofstream(host_ / "only.txt") << "";
    fs::path old = fs::current_path();
    fs::current_path(host_);
    std::map<std::u16string, DWORD> seen = Walk(u"");
    fs::current_path(old);
    EXPECT_EQ(seen, (std::map<std::u16string, DWORD>{{u"only.txt", 0}}));
}

TEST_F(DirWalkerTest, ReopeningReplacesTheSearch) {
    std::ofstream(host_ / "a") << "";
    std::ofstream(host_ / "b") << "";
    NUBO::TDirWalker walker;
    ASSERT_EQ(walker.Open(Path(u"a").c_str()), 1);
    ASSERT_EQ(walker.Open(Path(u"*").c_str()), 1);
    EXPECT_EQ(std::u16string(walker.GetEntry().name.GetString()), u"a");
    NUBO::TDirEntry entry;
    ASSERT_EQ(walker.FindNext(&entry), 1);
    EXPECT_EQ(std::u16string(entry.name.GetString()), u"b");
    walker.Close();
    EXPECT_EQ(walker.FindNext(&entry), 0);
}
