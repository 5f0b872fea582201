#include "graphics/image/frame_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/image/jpeg_source.h"
#include "graphics/image/mem_stream.h"
#include "graphics/pixels/dib_bitmap.h"
#include "graphics/pixels/image_memory.h"

namespace {

oxDibBitmap* Bitmap(int w, int h) {
    return new oxDibBitmap(w, h, 32, false, false);
}

// Three frames of 100 ms; returns the delays seen while stepping `steps` times.
std::vector<int32_t> Play(int32_t loopCount, int steps) {
    oxFrameList list;
    for (int i = 0; i < 3; ++i)
        list.AddFrame(Bitmap(1, 1), 100, 32);
    list.loopCount = loopCount;
    std::vector<int32_t> seen;
    for (int i = 0; i < steps; ++i) {
        seen.push_back(list.GetFrameDelay(-1));
        list.Advance();
    }
    return seen;
}

TEST(FrameList, LoopCountsDecideWhenTheLastFrameStays) {
    // Played once: the last frame has no delay, so the animation stops on it.
    EXPECT_EQ(Play(0, 5), (std::vector<int32_t>{100, 100, -1, -1, -1}));
    // A count of 2 plays the frames three times in all.
    EXPECT_EQ(Play(2, 10), (std::vector<int32_t>{100, 100, 100, 100, 100, 100, 100, 100, -1, -1}));
    EXPECT_EQ(Play(-1, 7), (std::vector<int32_t>(7, 100)));
}

TEST(FrameList, EntriesImagesAndSelection) {
    oxFrameList list;
    EXPECT_EQ(list.loopCount, -1);
    EXPECT_EQ(list.GetFrame(0), nullptr);
    EXPECT_EQ(list.GetFrameDelay(-1), -1);
    int32_t w = 7, h = 7;
    list.GetCurrentFrameSize(&w, &h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);

    oxDibBitmap* small = Bitmap(2, 2); // 128
    ASSERT_EQ(list.AddFrame(small, -1, 32), 1);
    ASSERT_EQ(list.AddFrame(small, -1, 32), 1); // the same image is listed once
    EXPECT_EQ(list.GetFrameCount(), 1u);
    list.AddFrame(Bitmap(8, 8), -1, 8);  // 512
    list.AddFrame(Bitmap(2, 8), -1, 32); // 512 again: the first of equals wins
    list.AddFrame(nullptr, -1, 32);
    EXPECT_EQ(list.GetFrame(3), nullptr);
    EXPECT_EQ(list.GetFrameDelay(3), -1);
    EXPECT_EQ(list.GetFrame(-2), nullptr);

    list.SelectLargest();
    EXPECT_EQ(list.current, 0u); // not an icon file
    list.pickLargest = 1;
    list.SelectLargest();
    EXPECT_EQ(list.current, 1u);
    list.GetCurrentFrameSize(&w, &h);
    EXPECT_EQ(w, 8);
    list.SetCurrent(9);
    EXPECT_EQ(list.current, 1u);

    // A converted bitmap takes the place of the one it consumed.
    oxDibBitmap* converted = ConvertDibDepth(list.frames[0]->image, 16);
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(list.SetFrameImage(converted, 0), 1);
    EXPECT_EQ(list.GetFrame(0), converted);
    EXPECT_EQ(list.SetFrameImage(converted, 4), 0);

    list.Advance();
    list.Clear();
    EXPECT_EQ(list.GetFrameCount(), 0u);
    EXPECT_EQ(list.current, 0u);
    EXPECT_EQ(list.loopsPlayed, 0);
}

void* Block(const char* text) {
    void* block = ImageAlloc(std::strlen(text), 0);
    std::memcpy(block, text, std::strlen(text));
    return block;
}

TEST(MemStream, ReadsSeeksAndViews) {
    oxMemStream s;
    ASSERT_EQ(s.Open(Block("abcdef"), 6, 0), 1); // adopted
    char out[8] = {};
    EXPECT_EQ(s.ReadAt(out, 4), 4u);
    EXPECT_EQ(s.position, 0u);
    EXPECT_EQ(s.Read(out, 4), 4u);
    EXPECT_EQ(s.Read(out, 4), 2u); // what is left
    EXPECT_EQ(std::memcmp(out, "efcd", 4), 0);
    s.Seek(100);
    EXPECT_EQ(s.position, 6u);
    s.Seek(2);
    EXPECT_NE(s.PointerAt(4), nullptr);
    EXPECT_EQ(s.PointerAt(5), nullptr);
    EXPECT_EQ(s.View(0).size, 4u);
    EXPECT_EQ(s.View(5).data, nullptr);
    {
        oxMemStreamPosition keep(s);
        s.Seek(5);
    }
    EXPECT_EQ(s.position, 2u);
}

TEST(MemStream, WritesGrowByTheGranularity) {
    oxMemStream s;
    ASSERT_EQ(s.Open(nullptr, 3, 1), 1); // three zero bytes
    EXPECT_EQ(s.GetSize(), 3u);
    EXPECT_EQ(s.capacity, 512u);
    std::vector<uint8_t> big(700, 7);
    s.Seek(1);
    ASSERT_EQ(s.Write(big.data(), big.size()), 1);
    EXPECT_EQ(s.position, 701u);
    EXPECT_EQ(s.GetSize(), 701u);
    EXPECT_EQ(s.capacity, 1024u); // 512 * (701 / 512 + 1)
    s.Seek(0);
    ASSERT_EQ(s.Append("xy", 2), 1);
    EXPECT_EQ(s.position, 0u);
    EXPECT_EQ(s.data[0], 0);
    EXPECT_EQ(s.data[701], 'x');

    oxMemStream other;
    ASSERT_EQ(other.Open(const_cast<char*>("12345"), 5, 1), 1); // copied
    other.Seek(3);
    ASSERT_EQ(s.AppendStream(other), 1);
    EXPECT_EQ(s.GetSize(), 705u);
    EXPECT_EQ(s.data[704], '5');
    s.Reset();
    EXPECT_EQ(s.GetSize(), 0u);
    EXPECT_EQ(s.capacity, 0u);
}

TEST(JpegSource, SkipsBeyondTheHeldBytesComeOutOfTheNextFill) {
    const uint8_t bytes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    oxJpegSource source;
    ASSERT_TRUE(source.Open(bytes, sizeof bytes));
    j_decompress_ptr d = &source.decompressor;
    oxJpegSource::SkipInputData(d, 0);
    oxJpegSource::SkipInputData(d, 5); // nothing is held yet: all of it waits
    EXPECT_EQ(source.pendingSkip, 5);
    ASSERT_TRUE(oxJpegSource::FillInputBuffer(d));
    EXPECT_EQ(source.pendingSkip, 0);
    ASSERT_EQ(source.manager.bytes_in_buffer, 7u);
    EXPECT_EQ(source.manager.next_input_byte[0], 5);
    oxJpegSource::SkipInputData(d, 3);
    EXPECT_EQ(source.manager.next_input_byte[0], 8);
    oxJpegSource::SkipInputData(d, 10);
    EXPECT_EQ(source.manager.bytes_in_buffer, 0u);
    EXPECT_EQ(source.pendingSkip, 6);
    EXPECT_FALSE(oxJpegSource::FillInputBuffer(d)); // the input is spent
}

} // namespace
