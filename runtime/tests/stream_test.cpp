#include "runtime/stream.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"

namespace NUBO {
namespace {

RefPtr<XStream> NewStream() {
    XStream* s = nullptr;
    EXPECT_EQ(XStream::Create(&s), 0);
    return RefPtr<XStream>(s);
}

TEST(XStream, OpenRoundsCapacityToPagesStrictlyAboveTheSize) {
    const struct { int64_t size, capacity; } cases[] = {{0, 4096}, {4096, 8192}, {5000, 8192}};
    for (const auto& c : cases) {
        RefPtr<XStream> s = NewStream();
        ASSERT_EQ(s->Close(), 0);
        EXPECT_EQ(s->Close(), XR_STREAM_CLOSED);
        std::string data(size_t(c.size), 'x');
        ASSERT_EQ(s->Open(data.data(), c.size, false), 0);
        EXPECT_EQ(s->GetCapacity(), c.capacity) << c.size;
        int64_t size = -1;
        EXPECT_EQ(s->GetSize(&size), 0);
        EXPECT_EQ(size, c.size);
    }
}

TEST(XStream, SetSizeGrowsByPagesAndZeroesWhatItCuts) {
    // Each from a new stream of one page.
    const struct { int64_t size, capacity; } cases[] = {{4096, 4096}, {4097, 8192}, {8192, 12288}};
    for (const auto& c : cases) {
        RefPtr<XStream> s = NewStream();
        EXPECT_EQ(s->SetSize(c.size), 0);
        EXPECT_EQ(s->GetCapacity(), c.capacity) << c.size;
    }

    RefPtr<XStream> t = NewStream();
    ASSERT_EQ(t->Write("abcdef", 6, nullptr), 0);
    ASSERT_EQ(t->SetSize(2), 0);
    ASSERT_EQ(t->SetSize(6), 0);
    char back[6];
    ASSERT_EQ(t->Seek(0, 0), 0);
    uint32_t n = 0;
    ASSERT_EQ(t->Read(back, 6, &n), 0);
    EXPECT_EQ(std::memcmp(back, "ab\0\0\0\0", 6), 0);
}

TEST(XStream, SeekPastTheEndThenWriteLeavesZeros) {
    RefPtr<XStream> s = NewStream();
    ASSERT_EQ(s->Write("abcd", 4, nullptr), 0);
    EXPECT_EQ(s->Seek(-1, 0), XR_BEFORE_START);
    EXPECT_EQ(s->Seek(0, 3), XR_INVALID);
    ASSERT_EQ(s->Seek(10, 2), 0);
    uint32_t n = 0;
    ASSERT_EQ(s->Write("z", 1, &n), 0);
    EXPECT_EQ(n, 1u);
    int64_t size = 0;
    s->GetSize(&size);
    EXPECT_EQ(size, 15);
    char back[15];
    s->Seek(0, 0);
    ASSERT_EQ(s->Read(back, 15, &n), 0);
    EXPECT_EQ(std::memcmp(back, "abcd\0\0\0\0\0\0\0\0\0\0z", 15), 0);
}

TEST(XStream, WriteAfterAFarSeekFailsWithoutOverflow) {
    RefPtr<XStream> s = NewStream();
    ASSERT_EQ(s->Seek(INT64_MAX, 0), 0);
    uint32_t n = 7;
    EXPECT_EQ(s->Write("z", 1, &n), XR_OUT_OF_MEMORY);
    EXPECT_EQ(n, 0u);
    int64_t size = -1;
    s->GetSize(&size);
    EXPECT_EQ(size, 0);
}

TEST(XStream, ReadingPastTheEndGivesEndOfStream) {
    RefPtr<XStream> s = NewStream();
    ASSERT_EQ(s->Write("abcdef", 6, nullptr), 0);
    ASSERT_EQ(s->Seek(3, 0), 0);
    char back[10];
    uint32_t n = 99;
    EXPECT_EQ(s->Read(back, 10, &n), 0);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(s->Read(back, 10, &n), XR_END_OF_STREAM);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(s->Read(nullptr, 10, &n), XR_INVALID);
    EXPECT_EQ(s->Write(nullptr, 1, &n), XR_INVALID);
    EXPECT_EQ(s->GetPosition(nullptr), XR_INVALID);
}

TEST(XStream, FixedStreamRefusesChangesAndClosedStreamRefusesAll) {
    RefPtr<XStream> s = NewStream();
    s->Close();
    ASSERT_EQ(s->Open("abc", 3, true), 0);
    EXPECT_EQ(s->Write("x", 1, nullptr), XR_FIXED_SIZE);
    EXPECT_EQ(s->SetSize(10), XR_FIXED_SIZE);
    char c;
    EXPECT_EQ(s->Read(&c, 1, nullptr), 0);
    EXPECT_EQ(c, 'a');
    ASSERT_EQ(s->Close(), 0);
    int64_t at = 0;
    EXPECT_EQ(s->Read(&c, 1, nullptr), XR_STREAM_CLOSED);
    EXPECT_EQ(s->Write("x", 1, nullptr), XR_STREAM_CLOSED);
    EXPECT_EQ(s->Seek(0, 0), XR_STREAM_CLOSED);
    EXPECT_EQ(s->GetPosition(&at), XR_STREAM_CLOSED);
    EXPECT_EQ(s->SetSize(1), XR_STREAM_CLOSED);
}

TEST(XStream, OpenOnAnOpenStreamWritesAtThePosition) {
    RefPtr<XStream> s = NewStream();
    ASSERT_EQ(s->Open("hello", 5, false), 0);
    ASSERT_EQ(s->Open(nullptr, 8, true), 0); // no data: sets the size, then fixed
    int64_t size = 0;
    s->GetSize(&size);
    EXPECT_EQ(size, 8);
    EXPECT_EQ(s->Write("x", 1, nullptr), XR_FIXED_SIZE);
}

TEST(XStream, ScriptMembersGiveTheContentType) {
    RefPtr<XStream> s = NewStream();
    XArgList args;
    XVariant type;
    ASSERT_EQ(s->InvokeMethodByName(u"GetType", &args, &type), 0);
    EXPECT_EQ(std::u16string(type.GetStringPtr()), u"application/octet-stream");
    bool yes = false;
    s->implementsProtocol(u"EEStream", 1, &yes);
    EXPECT_TRUE(yes);
    ASSERT_EQ(s->InvokeMethodByName(u"Close", &args, &type), 0);
    EXPECT_EQ(s->InvokeMethodByName(u"Close", &args, &type), XR_STREAM_CLOSED);
}

} // namespace
} // namespace NUBO
