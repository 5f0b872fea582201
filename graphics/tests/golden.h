#pragma once
// Compares a rendered buffer with a small PNG in the test data folder. On a mismatch it reports the
// first differing pixel and writes <name>_actual.png next to the test's working directory; with
// TANDU_UPDATE_GOLDENS=1 in the environment it rewrites the golden instead.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "graphics/pixels/pixel_buffer.h"

// `tolerance` is per channel. 16-bit buffers are compared in the layout of their layout code.
::testing::AssertionResult MatchesGoldenIn(const std::string& dataDir, const oxPixelBuffer& image,
                                           const std::string& name, int tolerance);
#ifdef TEST_DATA_DIR
// Goldens of the test program's own data folder.
inline ::testing::AssertionResult MatchesGolden(const oxPixelBuffer& image, const std::string& name, int tolerance = 0) {
    return MatchesGoldenIn(TEST_DATA_DIR, image, name, tolerance);
}
#endif

// Straight RGBA bytes of a buffer (32-bit words are taken as they are: premultiplied, with alpha).
std::string BufferToRgba(const oxPixelBuffer& image);
bool WritePng(const std::string& path, const std::string& rgba, int width, int height);
bool ReadPng(const std::string& path, std::string& rgba, int& width, int& height);
