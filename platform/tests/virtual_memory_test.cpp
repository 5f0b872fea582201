#include "platform/win/virtual_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(VirtualMemory, ReserveCommitDecommitRelease) {
    constexpr SIZE_T kSize = 1 << 20;
    auto* base = static_cast<BYTE*>(VirtualAlloc(nullptr, kSize, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(base, nullptr);
    ASSERT_EQ(VirtualAlloc(base + 4096, 8192, MEM_COMMIT, PAGE_READWRITE), base + 4096);
    EXPECT_EQ(base[4096], 0) << "first commit reads zero";
    std::memset(base + 4096, 0x5A, 8192);

    EXPECT_TRUE(VirtualFree(base, 0, MEM_DECOMMIT));
    ASSERT_EQ(VirtualAlloc(base + 4096, 1, MEM_COMMIT, PAGE_READWRITE), base + 4096);
    EXPECT_EQ(base[4096], 0) << "a decommitted page comes back zeroed";

    // Ranges outside the reservation, or wrapping round the address space, are refused.
    EXPECT_EQ(VirtualAlloc(base + kSize - 4096, 8192, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(base + 4096, SIZE_MAX - 100, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_RESERVE, PAGE_NOACCESS), nullptr);

    EXPECT_FALSE(VirtualFree(base, 4096, MEM_RELEASE)) << "a release gives back the whole reservation";
    EXPECT_FALSE(VirtualFree(base + 4096, 0, MEM_RELEASE)) << "only by its base";
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(base, 0, MEM_RELEASE)) << "already released";
}

} // namespace
