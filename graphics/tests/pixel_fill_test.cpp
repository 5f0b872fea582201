// Pattern fills and row copies against the plain byte-by-byte answer: every phase, length and
// alignment, with the bytes around the run left alone.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/pixels/pixel_fill.h"

namespace {

TEST(PixelFill, EveryPhaseLengthAndAlignmentWritesThePatternAndNothingElse) {
    uint8_t period[16];
    for (int i = 0; i < 16; ++i)
        period[i] = uint8_t(0x10 + i * 7);
    oxFillPattern pattern;
    pattern.Set(period);
    alignas(64) uint8_t buffer[768];
    int failures = 0;
    for (size_t count : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(63), size_t(64), size_t(100),
                         size_t(255), size_t(256), size_t(257), size_t(319), size_t(640)}) {
        for (size_t offset = 0; offset < 64 && failures < 5; ++offset) {
            for (size_t phase = 0; phase < 16 && failures < 5; ++phase) {
                std::fill(std::begin(buffer), std::end(buffer), uint8_t(0xEE));
                FillPattern(buffer + offset, count, pattern, phase);
                for (size_t i = 0; i < sizeof buffer; ++i) {
                    const bool inside = i >= offset && i < offset + count;
                    const uint8_t want = inside ? period[(phase + i - offset) % 16] : 0xEE;
                    if (buffer[i] != want) {
                        ADD_FAILURE() << "count " << count << ", offset " << offset << ", phase " << phase << ": byte "
                                      << i << " is " << int(buffer[i]) << ", not " << int(want);
                        ++failures;
                        break;
                    }
                }
            }
        }
    }
}

TEST(PixelFill, ColoursRepeatTheirPixel) {
    oxFillPattern wide, narrow;
    wide.Set32(0x11223344u);
    narrow.Set16(0xABCD);
    std::vector<uint32_t> row32(37, 0);
    std::vector<uint16_t> row16(301, 0);
    FillPattern(reinterpret_cast<uint8_t*>(row32.data() + 1), 35 * 4, wide, 0);
    FillPattern(reinterpret_cast<uint8_t*>(row16.data() + 1), 299 * 2, narrow, 0);
    for (size_t i = 0; i < row32.size(); ++i)
        EXPECT_EQ(row32[i], i == 0 || i == 36 ? 0u : 0x11223344u) << i;
    for (size_t i = 0; i < row16.size(); ++i)
        EXPECT_EQ(row16[i], i == 0 || i == 300 ? 0 : 0xABCD) << i;
}

TEST(PixelFill, CopiesAtEveryAlignment) {
    alignas(64) uint8_t source[700], target[768];
    for (size_t i = 0; i < sizeof source; ++i)
        source[i] = uint8_t(i * 13 + 5);
    for (size_t count : {size_t(0), size_t(5), size_t(31), size_t(32), size_t(47), size_t(63), size_t(64), size_t(65),
                         size_t(96), size_t(129), size_t(512), size_t(640)})
        for (size_t to = 0; to < 64; to += 7)
            for (size_t from = 0; from < 48; from += 5) {
                std::fill(std::begin(target), std::end(target), uint8_t(0xEE));
                CopyPixels(target + to, source + from, count);
                for (size_t i = 0; i < sizeof target; ++i) {
                    const bool inside = i >= to && i < to + count;
                    ASSERT_EQ(target[i], inside ? source[from + i - to] : 0xEE)
                        << "count " << count << ", to " << to << ", from " << from << ", byte " << i;
                }
            }
}

} // namespace
