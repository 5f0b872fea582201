#pragma once
// Compares a rectangle of the emulated screen with an RGB PNG in the test data folder. On a
// mismatch it writes <name>_actual.png in the working directory; with TANDU_UPDATE_GOLDENS=1 in
// the environment it rewrites the golden instead.
#include <string>

#include <gtest/gtest.h>

#include "platform/types.h"

// `tolerance` is per channel.
::testing::AssertionResult MatchesScreenGoldenIn(const std::string& dataDir, const RECT& area, const std::string& name,
                                                 int tolerance);
#ifdef TEST_DATA_DIR
// Goldens of the test program's own data folder.
inline ::testing::AssertionResult MatchesScreenGolden(const RECT& area, const std::string& name, int tolerance = 0) {
    return MatchesScreenGoldenIn(TEST_DATA_DIR, area, name, tolerance);
}
#endif
