// Malformed and hostile pictures give the failure result without crashing, leaking or allocating
// beyond the decoder's limits. Under AddressSanitizer the library allocations of each decode are
// tracked through the allocator's hooks and their peak is held to a bound.
#include "graphics/image/image_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <zlib.h>

#include "graphics/image/frame_list.h"
#include "graphics/tests/image_test_util.h"

#if defined(__SANITIZE_ADDRESS__)
// The runtime has these, but not every compiler ships their header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);
#define TANDU_TRACK_ALLOCATIONS 1
#endif

namespace {

#ifdef TANDU_TRACK_ALLOCATIONS
size_t gLive = 0;
size_t gPeak = 0;

void OnMalloc(const volatile void*, size_t size) {
    gLive += size;
    if (gLive > gPeak) gPeak = gLive;
}

void OnFree(const volatile void* p) {
    const size_t size = __sanitizer_get_allocated_size(p);
    gLive = size < gLive ? gLive - size : 0;
}
#endif

// Decodes and reports the peak of heap memory taken meanwhile (0 where it cannot be measured).
int DecodeMeasured(const std::vector<uint8_t>& bytes, size_t* peak) {
#ifdef TANDU_TRACK_ALLOCATIONS
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    (void)installed;
    gLive = gPeak = 0;
#endif
    oxFrameList list;
    const int result = DecodeBytes(bytes, &list);
#ifdef TANDU_TRACK_ALLOCATIONS
    *peak = gPeak;
#else
    *peak = 0;
#endif
    return result;
}

void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

void PutLe(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

// A PNG whose header claims another size, with its CRC made right again so that only the size is wrong.
std::vector<uint8_t> PngWithSize(uint32_t width, uint32_t height) {
    std::vector<uint8_t> png = ReadImageFixture("png_c2_d8.png");
    PutBe32(png, 16, width);
    PutBe32(png, 20, height);
    PutBe32(png, 29, uint32_t(crc32(0, png.data() + 12, 17)));
    return png;
}

size_t FindMarker(const std::vector<uint8_t>& b, uint8_t marker) {
    for (size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == marker) return i;
    return 0;
}

const char* const kFixtures[] = {"png_c2_d8.png",     "png_c6_d8_i9x9.png", "png_c3_d4_trns.png",
                                 "gif_disposals.gif", "gif_interlaced.gif", "jpeg_progressive.jpg",
                                 "jpeg_baseline.jpg", "ico_sizes.ico",      "bmp_2x2.bmp"};

// Work memory of the libraries for the fixtures is small; hostile files must stay within it too.
constexpr size_t kSmallPeak = 1 << 20;

TEST(HostileImages, TruncatedFilesFailCleanly) {
    for (const char* name : kFixtures) {
        const std::vector<uint8_t> whole = ReadImageFixture(name);
        ASSERT_FALSE(whole.empty()) << name;
        const std::string file = name;
        const bool partialAllowed = file.ends_with(".ico") || file.ends_with(".bmp");
        for (int tenth = 0; tenth < 10; ++tenth) {
            const std::vector<uint8_t> part(whole.begin(), whole.begin() + whole.size() * tenth / 10);
            size_t peak = 0;
            oxFrameList list;
            const int result = DecodeBytes(part, &list);
            if (!partialAllowed) {
                EXPECT_EQ(result, 0) << name << " cut at " << tenth << "0%";
            }
            // An icon file keeps the images that were whole; never more than the file holds.
            if (file.ends_with(".ico")) {
                EXPECT_LT(list.GetFrameCount(), 5u) << name << " cut at " << tenth << "0%";
            }
            DecodeMeasured(part, &peak);
            EXPECT_LT(peak, kSmallPeak) << name << " cut at " << tenth << "0%";
        }
    }
}

TEST(HostileImages, DamagedAndOversizedHeadersAreRefusedBeforeAllocating) {
    struct Case {
        std::string what;
        std::vector<uint8_t> bytes;
        int result;
    };
    std::vector<Case> cases;
    cases.push_back({"zero bytes", {}, 0});

    std::vector<uint8_t> png = ReadImageFixture("png_c2_d8.png");
    png[29] ^= 1; // the header's CRC
    cases.push_back({"png header crc", png, 0});
    png = ReadImageFixture("png_c2_d8.png");
    png[png.size() - 13] ^= 0x55; // the image data's CRC, just before the end chunk
    cases.push_back({"png data crc", png, 0});
    cases.push_back({"png 100000 x 100000", PngWithSize(100000, 100000), 0});
    cases.push_back({"png just over the pixel limit", PngWithSize(4097, 4096), 0});
    cases.push_back({"png 1 x 40000", PngWithSize(1, 40000), 0});

    std::vector<uint8_t> gif = ReadImageFixture("gif_disposals.gif");
    PutLe(gif, 6, 65535, 2);
    PutLe(gif, 8, 65535, 2);
    cases.push_back({"gif screen 65535 x 65535", gif, 0});
    gif = ReadImageFixture("gif_outside.gif");
    const size_t descriptor = 13 + 3 * 8; // after the screen and its eight colours
    ASSERT_EQ(gif[descriptor], 0x2C);
    PutLe(gif, descriptor + 5, 65535, 2);
    PutLe(gif, descriptor + 7, 65535, 2);
    cases.push_back({"gif frame 65535 x 65535", gif, 0});

    std::vector<uint8_t> jpeg = ReadImageFixture("jpeg_progressive.jpg");
    const size_t sof = FindMarker(jpeg, 0xC2);
    ASSERT_NE(sof, 0u);
    jpeg[sof + 5] = jpeg[sof + 6] = jpeg[sof + 7] = jpeg[sof + 8] = 0xFF;
    cases.push_back({"jpeg 65535 x 65535", jpeg, 0});

    std::vector<uint8_t> ico = ReadImageFixture("ico_sizes.ico");
    for (int i = 0; i < 5; ++i) {
        const size_t at = ico[6 + 16 * i + 12] | ico[6 + 16 * i + 13] << 8;
        PutLe(ico, at + 4, 100000, 4);
        PutLe(ico, at + 8, 200000, 4);
    }
    cases.push_back({"ico 100000 x 100000", ico, 0});
    std::vector<uint8_t> manyIcons = {0, 0, 1, 0, 0xFF, 0xFF};
    cases.push_back({"ico directory past the end", manyIcons, 0});

#ifdef TANDU_TRACK_ALLOCATIONS
    size_t measured = 0;
    ASSERT_EQ(DecodeMeasured(ReadImageFixture("png_c2_d8.png"), &measured), 1);
    EXPECT_GT(measured, 0u); // the hooks see the library's allocations
#endif
    for (const Case& c : cases) {
        size_t peak = 0;
        EXPECT_EQ(DecodeMeasured(c.bytes, &peak), c.result) << c.what;
        EXPECT_LT(peak, kSmallPeak) << c.what;
    }
}

TEST(HostileImages, RandomBytesBehindEachSignature) {
    const std::vector<std::vector<uint8_t>> heads = {{},
                                                     {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
                                                     {'G', 'I', 'F', '8', '9', 'a'},
                                                     {0xFF, 0xD8},
                                                     {0, 0, 1, 0},
                                                     {'B', 'M'}};
    std::mt19937 random(2024);
    for (const auto& head : heads) {
        for (int round = 0; round < 200; ++round) {
            std::vector<uint8_t> bytes = head;
            const size_t n = random() % 600;
            for (size_t i = 0; i < n; ++i)
                bytes.push_back(uint8_t(random()));
            size_t peak = 0;
            DecodeMeasured(bytes, &peak);
            ASSERT_LT(peak, size_t(kMaxDecodeBytes)) << "head " << head.size() << " round " << round;
        }
    }
}

// Fixtures with one byte changed at a time, which reaches deeper than random bytes do.
TEST(HostileImages, EverySingleByteChangeOfTheFixtures) {
    for (const char* name : kFixtures) {
        const std::vector<uint8_t> whole = ReadImageFixture(name);
        for (size_t i = 0; i < whole.size(); ++i) {
            for (uint8_t flip : {uint8_t(0xFF), uint8_t(0x80)}) {
                std::vector<uint8_t> bytes = whole;
                bytes[i] ^= flip;
                oxFrameList list;
                DecodeBytes(bytes, &list);
                for (size_t f = 0; f < list.GetFrameCount(); ++f) {
                    int32_t w = 0, h = 0;
                    list.SetCurrent(uint32_t(f));
                    list.GetCurrentFrameSize(&w, &h);
                    ASSERT_LE(int64_t(w) * h, kMaxImagePixels) << name << " byte " << i;
                }
            }
        }
    }
}

// A GIF89a of `frames` one-pixel images on a width x height screen, each behind a control
// extension of 100 ms with disposal 1.
std::vector<uint8_t> Animation(uint32_t width, uint32_t height, int frames) {
    std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    PutLe(b, 6, width, 2);
    PutLe(b, 8, height, 2);
    for (int i = 0; i < frames; ++i) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0x04, 10, 0, 0, 0});                     // control extension
        b.insert(b.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0}); // clear, 0, end
    }
    b.push_back(0x3B);
    return b;
}

// An animation past the decode budget used to play as if whole with the frames that fitted.
TEST(HostileImages, AnAnimationOverTheBudgetIsRefusedWholeBeforeComposing) {
    struct Case {
        uint32_t side;
        int frames;
        size_t kept;
    } cases[] = {
        {1024, 80, 0}, // 320 MiB of frames
        {1024, 4, 4},  // a large screen, few frames
        {256, 80, 80}, // many frames, a small screen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.side) + " x " + std::to_string(c.side) + ", " + std::to_string(c.frames));
        oxFrameList list;
        EXPECT_EQ(DecodeBytes(Animation(c.side, c.side, c.frames), &list), c.kept ? 1 : 0);
        EXPECT_EQ(list.GetFrameCount(), c.kept);
        if (c.kept) {
            EXPECT_EQ(list.Entry(int32_t(c.kept) - 1)->delay, 100);
        }
    }
    size_t peak = 0;
    EXPECT_EQ(DecodeMeasured(Animation(1024, 1024, 80), &peak), 0);
    EXPECT_LT(peak, kSmallPeak) << "refused before a frame was made";
}

} // namespace
