// The z-ordered child list: insertion by `zIndex` keeping equal values in arrival order, the
// boundary before the first child at or above zero through insertions and removals, and counting.
#include "toolkit/core/z_order_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "toolkit/core/box.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/style_rule_maps.h"

namespace {

class Scene : public oxBoxScene {
public:
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxStyleRuleMaps rules;
};

class ZOrderListTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
    void TearDown() override {
        for (oxBox* b : made)
            b->Release();
    }
    oxBox* Child(int z) {
        auto* box = new oxBox(kAtomBox);
        box->SetScene(&scene);
        box->SetZIndex(z);
        box->ResolveStyle(); // the list reads the current record
        made.push_back(box);
        return box;
    }
    std::vector<oxBox*> Order(const oxZOrderList& list) {
        std::vector<oxBox*> out;
        for (int i = 0; i < list.GetCount(); ++i)
            out.push_back(list.At(i));
        return out;
    }

    Scene scene;
    std::vector<oxBox*> made;
};

TEST_F(ZOrderListTest, InsertsByZIndexAndKeepsTheBoundary) {
    oxZOrderList list(nullptr);
    EXPECT_EQ(list.GetBoundary(), -1);
    oxBox *a = Child(0), *b = Child(-1), *c = Child(5), *d = Child(0);
    for (oxBox* x : {a, b, c, d})
        ASSERT_TRUE(list.Insert(x));
    EXPECT_EQ(Order(list), (std::vector<oxBox*>{b, a, d, c})); // equal values keep their arrival order
    EXPECT_EQ(list.GetBoundary(), 1);
    EXPECT_EQ(list.IndexOf(d), 2);
    EXPECT_EQ(list.IndexOf(Child(3)), -1);
    EXPECT_EQ(list.At(4), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_TRUE(list.Insert(nullptr));
    EXPECT_EQ(list.GetCount(), 4);

    list.Remove(b); // before the boundary: it moves down
    EXPECT_EQ(list.GetBoundary(), 0);
    list.Remove(a); // at the boundary but not last: the next child takes its place
    EXPECT_EQ(list.GetBoundary(), 0);
    list.Remove(d);
    list.Remove(c); // the only non-negative child, and the last one
    EXPECT_EQ(list.GetBoundary(), -1);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(ZOrderListTest, OnlyNegativeChildrenLeaveNoBoundary) {
    oxZOrderList list(nullptr);
    oxBox *a = Child(-3), *b = Child(-7);
    list.Insert(a);
    list.Insert(b);
    EXPECT_EQ(list.GetBoundary(), -1);
    EXPECT_EQ(Order(list), (std::vector<oxBox*>{b, a}));
    oxBox* c = Child(2);
    list.Insert(c);
    EXPECT_EQ(list.GetBoundary(), 2);
}

TEST_F(ZOrderListTest, CountsOnlyShownChildren) {
    oxZOrderList list(nullptr);
    oxBox *shown = Child(0), *hidden = Child(1), *collapsed = Child(2), *excluded = Child(3), *byAncestor = Child(4);
    hidden->SetHidden(true);
    collapsed->SetCollapsed(true, true);
    excluded->SetExcluded(true);
    byAncestor->SetHiddenByAncestor(true);
    for (oxBox* x : {shown, hidden, collapsed, excluded, byAncestor})
        list.Insert(x);
    EXPECT_EQ(list.CountShown(), 1);
}

} // namespace
