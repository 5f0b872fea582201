#include "runtime/file_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"

namespace NUBO {
namespace {

class XFileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tandu-fsXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = TWString((dir + "/data.bin").c_str(), u"utf-8");
        XFileStream* s = nullptr;
        ASSERT_EQ(XFileStream::Create(&s), 0);
        stream = RefPtr<XFileStream>(s);
    }
    void TearDown() override {
        stream = nullptr;
        std::remove((dir + "/data.bin").c_str());
        rmdir(dir.c_str());
    }

    std::string dir;
    TWString path;
    RefPtr<XFileStream> stream;
};

TEST_F(XFileStreamTest, WriteThenReadBack) {
    ASSERT_EQ(stream->Open(path.GetString(), u"w", u""), 0);
    uint32_t n = 0;
    ASSERT_EQ(stream->Write("hello", 5, &n), 0);
    EXPECT_EQ(n, 5u);
    ASSERT_EQ(stream->Close(), 0);
    EXPECT_EQ(stream->Close(), 0); // closing a closed file is fine

    ASSERT_EQ(stream->Open(path.GetString(), u"a", u"rw"), 0);
    ASSERT_EQ(stream->Write("!", 1, &n), 0);
    stream->Close();

    ASSERT_EQ(stream->Open(path.GetString(), u"r", u"r"), 0);
    int64_t size = 0;
    ASSERT_EQ(stream->GetSize(&size), 0);
    EXPECT_EQ(size, 6);
    char back[16];
    ASSERT_EQ(stream->Read(back, sizeof back, &n), 0);
    EXPECT_EQ(std::string(back, n), "hello!");
    EXPECT_EQ(stream->Read(back, sizeof back, &n), XR_END_OF_STREAM);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(stream->Read(back, 0, &n), 0);
    EXPECT_EQ(stream->Write("x", 1, &n), 128); // opened for reading only
}

TEST_F(XFileStreamTest, ModesAndMissingFiles) {
    EXPECT_EQ(stream->Open(path.GetString(), u"x", u""), 129);
    EXPECT_EQ(stream->Open(path.GetString(), u"r", u""), 128);
    char c;
    EXPECT_EQ(stream->Read(&c, 1, nullptr), XR_STREAM_CLOSED);
    EXPECT_EQ(stream->Seek(0, 0), XR_STREAM_CLOSED);
    XArgList args;
    args.PushArg(XVariant(path));
    XVariant result;
    EXPECT_EQ(stream->InvokeMethodByName(u"open", &args, &result), XR_TOO_FEW_ARGS);
    args.PushArg(XVariant(u"w+"));
    args.PushArg(XVariant(u""));
    ASSERT_EQ(stream->InvokeMethodByName(u"open", &args, &result), 0);
    ASSERT_EQ(stream->Write("abcdef", 6, nullptr), 0);
    ASSERT_EQ(stream->Seek(2, 0), 0);
    ASSERT_EQ(stream->Read(&c, 1, nullptr), 0);
    EXPECT_EQ(c, 'c');
}

TEST_F(XFileStreamTest, SetSizeCutsTheFileAndKeepsThePosition) {
    ASSERT_EQ(stream->Open(path.GetString(), u"w+", u""), 0);
    ASSERT_EQ(stream->Write("abcdef", 6, nullptr), 0);
    ASSERT_EQ(stream->SetSize(3), 0);
    int64_t size = 0, at = 0;
    stream->GetSize(&size);
    stream->GetPosition(&at);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(at, 6);
}

TEST_F(XFileStreamTest, FileRemovedWhileOpenReadsToItsEnd) {
    ASSERT_EQ(stream->Open(path.GetString(), u"w", u""), 0);
    ASSERT_EQ(stream->Write("abc", 3, nullptr), 0);
    stream->Close();
    ASSERT_EQ(stream->Open(path.GetString(), u"r", u""), 0);
    std::remove((dir + "/data.bin").c_str());
    char back[8];
    uint32_t n = 0;
    EXPECT_EQ(stream->Read(back, 8, &n), 0);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(stream->Read(back, 8, &n), XR_END_OF_STREAM);
    stream->Close();
    EXPECT_EQ(stream->Open(path.GetString(), u"r", u""), 128);
    EXPECT_FALSE(TFile::Exists(path.GetString(), 0));
}

TEST(FilePaths, JoinAndSplit) {
    EXPECT_EQ(std::u16string(AddTrailingBackslash(u"a").GetString()), u"a\\");
    EXPECT_EQ(std::u16string(AddTrailingBackslash(u"a\\").GetString()), u"a\\");
    EXPECT_EQ(std::u16string(AddTrailingBackslash(u"").GetString()), u"");
    EXPECT_EQ(std::u16string(CombinePath(u"dir", u"f.txt").GetString()), u"dir\\f.txt");
    EXPECT_EQ(std::u16string(GetParentPath(u"a\\b\\c").GetString()), u"a\\b");
    EXPECT_EQ(std::u16string(GetParentPath(u"c").GetString()), u"");
    EXPECT_EQ(std::u16string(GetFileName(u"a\\b\\c").GetString()), u"c");
    EXPECT_EQ(std::u16string(GetFileName(u"c").GetString()), u"c");
    EXPECT_EQ(std::u16string(TrimTrailingBackslashes(u"a\\\\").GetString()), u"a");
    TWString temp = MakeTempFileName();
    std::u16string name = GetFileName(temp.GetString()).GetString();
    ASSERT_EQ(name.size(), 12u);
    EXPECT_EQ(name.substr(0, 4), u"nubo");
    EXPECT_EQ(name.substr(8), u".tmp");
}

} // namespace
} // namespace NUBO
