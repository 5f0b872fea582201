#include "toolkit/base/element.h"

#include <gtest/gtest.h>

#include "runtime/wide_string.h"

namespace {

class oxElementTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::Clear();
        oxAtoms::RegisterPredefined();
    }
    void TearDown() override { oxAtoms::Clear(); }
};

TEST_F(oxElementTest, ConstructorsKeepNamespaceAndTagAndClearTheId) {
    oxElement plain;
    EXPECT_EQ(plain.GetNamespace(), 0);
    EXPECT_EQ(plain.GetTag(), 0);
    EXPECT_EQ(plain.GetId(), 0);
    oxElement tagged(kAtomResourceNamespace, kAtomStyle);
    EXPECT_EQ(tagged.GetNamespace(), kAtomResourceNamespace);
    EXPECT_EQ(tagged.GetTag(), kAtomStyle);
    EXPECT_EQ(tagged.GetId(), 0);
    EXPECT_FALSE(tagged.IsBox());
}

TEST_F(oxElementTest, OnlyIdIsHandledAsAnAttribute) {
    oxElement e(kAtomBoxNamespace, kAtomBox);
    EXPECT_EQ(e.SetMarkupAttribute(kAtomBoxNamespace, kAtomId, u"header"), 0);
    EXPECT_EQ(e.GetId(), oxAtoms::Find(u"header"));
    EXPECT_NE(e.GetId(), 0);
    EXPECT_EQ(e.SetMarkupAttribute(kAtomBoxNamespace, kAtomHidden, u"true"), kElementNotHandled);
}

TEST_F(oxElementTest, BaseOperationsAreNotSupported) {
    oxElement e(kAtomBoxNamespace, kAtomBox);
    oxElement* out = &e;
    EXPECT_EQ(e.CreateChild(kAtomBoxNamespace, kAtomBox, &out, true), kElementNotSupported);
    EXPECT_EQ(e.CreateChildElement(kAtomBoxNamespace, kAtomBox, &out), kElementNotSupported);
    EXPECT_EQ(e.AddText(u"text", 4), kElementNotSupported);
    EXPECT_EQ(e.Clone(), nullptr);
}

TEST_F(oxElementTest, OpenElementBaseLivesUntilTheEndTag) {
    oxElement a, b;
    EXPECT_EQ(oxElement::FindOpenElementBase(&a), nullptr);
    oxElement::EnterOpenElementBase(&a, u"box://lib/");
    oxElement::EnterOpenElementBase(&b, u"box://other/");
    oxElement::EnterOpenElementBase(&a, u"box://again/");
    ASSERT_NE(oxElement::FindOpenElementBase(&a), nullptr);
    EXPECT_EQ(oxElement::FindOpenElementBase(&a)->Compare(u"box://again/"), 0);
    a.EndElement();
    EXPECT_EQ(oxElement::FindOpenElementBase(&a), nullptr);
    ASSERT_NE(oxElement::FindOpenElementBase(&b), nullptr);
    b.EndElement();
    EXPECT_EQ(oxElement::FindOpenElementBase(&b), nullptr);
}

} // namespace
