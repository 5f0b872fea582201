#include "runtime/ref_ptr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using NUBO::RefPtr;

// Counts its references and logs each operation, so tests can check order as well as balance.
struct Counted {
    Counted(std::string* out, char id) : log(out), name(id) {}
    void AddRef() {
        ++refs;
        *log += '+';
        *log += name;
    }
    void Release() {
        --refs;
        *log += '-';
        *log += name;
    }
    std::string* log;
    char name;
    int refs = 1;
};

TEST(RefPtr, AssignOfTheHeldObjectDoesNothing) {
    std::string log;
    Counted a(&log, 'a');
    Counted* slot = &a;
    EXPECT_EQ(&RefPtr<Counted>::Assign(slot, &a), &slot);
    EXPECT_EQ(log, "");
    EXPECT_EQ(a.refs, 1);
}

TEST(RefPtr, AssignReleasesTheOldBeforeTakingTheNew) {
    std::string log;
    Counted a(&log, 'a'), b(&log, 'b');
    Counted* slot = &a;
    RefPtr<Counted>::Assign(slot, &b);
    EXPECT_EQ(log, "-a+b");
    EXPECT_EQ(slot, &b);
    RefPtr<Counted>::Assign(slot, nullptr);
    EXPECT_EQ(log, "-a+b-b");
    EXPECT_EQ(slot, nullptr);
    RefPtr<Counted>::Assign(slot, &a);
    EXPECT_EQ(log, "-a+b-b+a");
}

TEST(RefPtr, ConstructionAdoptsAndRefShares) {
    std::string log;
    Counted a(&log, 'a');
    {
        RefPtr<Counted> adopted(&a); // takes over the reference the object started with
        EXPECT_EQ(log, "");
        RefPtr<Counted> shared = RefPtr<Counted>::ref(&a);
        EXPECT_EQ(a.refs, 2);
        RefPtr<Counted> moved(std::move(shared));
        EXPECT_EQ(a.refs, 2);
        EXPECT_FALSE(shared);
    }
    EXPECT_EQ(a.refs, 0);
    EXPECT_EQ(log, "+a-a-a");
}

TEST(RefPtr, CopyAssignmentBalancesAndDetachHandsOver) {
    std::string log;
    Counted a(&log, 'a'), b(&log, 'b');
    RefPtr<Counted> x(&a), y(&b);
    x = y;
    EXPECT_EQ(a.refs, 0);
    EXPECT_EQ(b.refs, 2);
    x = y; // the same object: no traffic
    EXPECT_EQ(log, "+b-a");
    Counted* raw = x.detach();
    EXPECT_EQ(raw, &b);
    EXPECT_FALSE(x);
    EXPECT_EQ(b.refs, 2);
    raw->Release();
    y = nullptr;
    EXPECT_EQ(b.refs, 0);
}

TEST(FreeAndNull, FreesAndClears) {
    char* block = static_cast<char*>(std::malloc(8));
    NUBO::FreeAndNull(block);
    EXPECT_EQ(block, nullptr);
    NUBO::FreeAndNull(block); // a null slot is harmless
}

} // namespace
