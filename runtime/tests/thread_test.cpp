#include "runtime/thread.h"

#include <gtest/gtest.h>

TEST(RuntimeThreadTest, SlotsAndThreadId) {
    int slot = NUBO::TlsAllocSlot();
    ASSERT_GE(slot, 0);
    EXPECT_EQ(NUBO::TlsGet(slot), nullptr);
    int value;
    EXPECT_TRUE(NUBO::TlsSet(slot, &value));
    EXPECT_EQ(NUBO::TlsGet(slot), &value);
    NUBO::TlsFreeSlot(slot);
    EXPECT_FALSE(NUBO::TlsSet(slot, &value));
    EXPECT_FALSE(NUBO::TlsSet(-1, &value));
    EXPECT_NE(NUBO::CurrentThreadId(), 0u);
    NUBO::SleepMs(0);
}
