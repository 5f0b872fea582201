#include "runtime/file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/shell/path_map.h"

namespace fs = std::filesystem;

namespace {

// A fresh host folder per test, named by its device path (the device root is "/").
class RuntimeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("TANDU_ROOT");
        std::string templ = (fs::temp_directory_path() / "tandu-rtfile-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        host_ = templ;
    }
    void TearDown() override { fs::remove_all(host_); }
    std::u16string Path(const char16_t* name) const {
        std::u16string path = platform::WideFromUtf8(host_.string());
        for (char16_t& c : path)
            if (c == u'/') c = u'\\';
        return path + u"\\" + name;
    }
    std::string Content(const char* name) const {
        std::ifstream in(host_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path host_;
};

} // namespace

TEST_F(RuntimeFileTest, CreateReplacesAndMissingFileGivesNull) {
    std::u16string path = Path(u"f.bin");
    EXPECT_EQ(NUBO::FileOpenHandle(path.c_str(), NUBO::kFileRead, false), nullptr);

    std::ofstream(host_ / "f.bin") << "old contents";
    HANDLE h = NUBO::FileOpenHandle(path.c_str(), NUBO::kFileWrite | NUBO::kFileShareRead, true);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(NUBO::FileWrite(h, "new", 3), 3u);
    EXPECT_TRUE(NUBO::FileCloseHandle(h));
    EXPECT_EQ(Content("f.bin"), "new");
}

TEST_F(RuntimeFileTest, ReadSeekTellSizeAndSetEnd) {
    std::ofstream(host_ / "f.bin") << "0123456789";
    HANDLE h = NUBO::FileOpenHandle(Path(u"F.BIN").c_str(), NUBO::kFileRead | NUBO::kFileWrite, false);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(NUBO::FileGetSize(h), 10u);
    char buf[16];
    EXPECT_TRUE(NUBO::FileSeek(h, -3, NUBO::kSeekEnd));
    EXPECT_EQ(NUBO::FileTell(h), 7u);
    EXPECT_EQ(NUBO::FileRead(h, buf, sizeof buf), 3u);
    EXPECT_EQ(NUBO::FileRead(h, buf, sizeof buf), 0u); // at the end
    EXPECT_TRUE(NUBO::FileSeek(h, 4, NUBO::kSeekStart));
    EXPECT_TRUE(NUBO::FileSeek(h, -1, NUBO::kSeekCurrent));
    EXPECT_EQ(NUBO::FileTell(h), 3u);
    EXPECT_FALSE(NUBO::FileSeek(h, -1, NUBO::kSeekStart));
    EXPECT_FALSE(NUBO::FileSeek(h, 0, 3));
    EXPECT_EQ(NUBO::FileTell(h), 3u);

    // Setting the end moves to the end first, so the size stays.
    EXPECT_TRUE(NUBO::FileSetEnd(h));
    EXPECT_EQ(NUBO::FileGetSize(h), 10u);
    EXPECT_EQ(NUBO::FileTell(h), 10u);
    EXPECT_TRUE(NUBO::FileCloseHandle(h));

    // A closed or made-up handle fails with 0 or false.
    for (HANDLE bad : {h, HANDLE(nullptr), HANDLE(buf)}) {
        EXPECT_EQ(NUBO::FileRead(bad, buf, 1), 0u);
        EXPECT_EQ(NUBO::FileWrite(bad, "x", 1), 0u);
        EXPECT_EQ(NUBO::FileTell(bad), 0u);
        EXPECT_FALSE(NUBO::FileSeek(bad, 0, NUBO::kSeekStart));
        EXPECT_EQ(NUBO::FileGetSize(bad), 0u);
        EXPECT_FALSE(NUBO::FileSetEnd(bad));
        EXPECT_FALSE(NUBO::FileCloseHandle(bad));
    }
}

TEST_F(RuntimeFileTest, AccessFollowsFlags) {
    std::ofstream(host_ / "f.bin") << "abc";
    HANDLE reader = NUBO::FileOpenHandle(Path(u"f.bin").c_str(), NUBO::kFileRead, false);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(NUBO::FileWrite(reader, "x", 1), 0u);
    NUBO::FileCloseHandle(reader);
    HANDLE writer = NUBO::FileOpenHandle(Path(u"f.bin").c_str(), NUBO::kFileWrite, false);
    ASSERT_NE(writer, nullptr);
    char c;
    EXPECT_EQ(NUBO::FileRead(writer, &c, 1), 0u);
    NUBO::FileCloseHandle(writer);
    EXPECT_EQ(Content("f.bin"), "abc");
}

TEST_F(RuntimeFileTest, TempDirectoryIsUsable) {
    NUBO::TWString temp = NUBO::GetTempDirectory();
    ASSERT_GT(temp.GetLength(), 0);
    EXPECT_EQ(temp.GetAt(temp.GetLength() - 1), u'\\');
    temp += u"nubo-rt-test.tmp";
    HANDLE h = NUBO::FileOpenHandle(temp.GetString(), NUBO::kFileWrite, true);
    ASSERT_NE(h, nullptr);
    NUBO::FileCloseHandle(h);
    fs::remove(platform::HostPathFromDevice(temp.GetString()));
}
