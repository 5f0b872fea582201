// Declarations, property groups and style records without a scene.
#include "toolkit/style/style_declaration.h"

#include <gtest/gtest.h>

#include "toolkit/style/box_style.h"
#include "toolkit/style/style_group.h"
#include "toolkit/style/style_parser.h"
#include "toolkit/style/style_tables.h"

namespace {

oxStyleValue Num(int n) {
    return oxStyleValue(n, kStyleNumber);
}

oxStyleValue Sides(const WCHAR* text) {
    oxStyleValue v;
    EXPECT_TRUE(ParseStylePropertyValue(kStyle_margin, text, &v));
    return v;
}

TEST(StyleDeclarationTest, SortedValuesBitsAndShorthands) {
    oxStyleDeclaration d;
    d.StoreProperty(40, Num(1));
    d.StoreProperty(12, Num(2));
    d.StoreProperty(90, Num(3));
    d.StoreProperty(200, Num(4)); // ignored
    ASSERT_EQ(d.GetCount(), 3);
    EXPECT_EQ(d.At(0).GetPropertyId(), 12);
    EXPECT_EQ(d.IndexOf(40), 1);
    d.RemoveProperty(12);
    EXPECT_EQ(d.IndexOf(40), 0);
    EXPECT_LT(d.IndexOf(12), 0);

    oxStyleDeclaration pad;
    pad.SetProperty(kStyle_padding, Sides(u"1 2 3 4"));
    EXPECT_FALSE(pad.HasProperty(kStyle_padding));
    for (int id = kStyle_paddingTop; id <= kStyle_paddingLeft; ++id)
        EXPECT_TRUE(pad.HasProperty(id));
    pad.SetProperty(kStyle_margin, Num(5)); // a shorthand takes only four sides
    EXPECT_FALSE(pad.HasGroupProperties(1));
    EXPECT_TRUE(pad.HasGroupProperties(3));
    EXPECT_FALSE(pad.HasProperty(kStyle_marginTop));
}

TEST(StyleDeclarationTest, MergeOverwritesOnlyWhatItSets) {
    oxStyleGroup* group = CreateStyleGroup(3);
    group->AssignMember(kStyle_marginTop, Num(1));
    group->AssignMember(kStyle_marginLeft, Num(2));
    oxStyleDeclaration d;
    d.StoreProperty(kStyle_marginTop, Num(5));
    d.MergeIntoGroup(group);
    EXPECT_EQ(group->Member(kStyle_marginTop)->GetInt(), 5);
    EXPECT_EQ(group->Member(kStyle_marginLeft)->GetInt(), 2);
    // A clone keeps the set members only.
    oxStyleGroup* copy = group->Clone();
    EXPECT_EQ(copy->GetSetFlags(), group->GetSetFlags());
    delete copy;
    delete group;
}

TEST(StyleDeclarationTest, GroupShorthandsDefaultsAndBlur) {
    oxStyleGroup* metrics = CreateStyleGroup(3);
    EXPECT_EQ(metrics->Member(kStyle_top)->GetType(), kStyleKeyword); // auto
    EXPECT_FALSE(metrics->IsSet(kStyle_top));
    metrics->SetMember(kStyle_margin, Sides(u"1 2 3 4"));
    EXPECT_EQ(metrics->Member(kStyle_marginRight)->GetInt(), 2);
    EXPECT_TRUE(metrics->IsSet(kStyle_margin) && metrics->IsSet(kStyle_marginLeft));
    metrics->SetMember(kStyle_margin, Num(5)); // ignored
    EXPECT_EQ(metrics->Member(kStyle_marginTop)->GetInt(), 1);
    metrics->SetMember(kStyle_margin, oxStyleValue());
    EXPECT_FALSE(metrics->IsSet(kStyle_margin) || metrics->IsSet(kStyle_marginTop));
    delete metrics;

    auto* color = static_cast<oxColorGroup*>(CreateStyleGroup(2));
    struct Case {
        oxStyleValue blur;
        int level;
    } cases[] = {{oxStyleValue(50, kStylePercent), 10}, {Num(30), 20}, {Num(-5), -5}};
    for (const Case& c : cases) {
        color->SetMember(kStyle_blur, c.blur);
        EXPECT_EQ(color->GetBlurLevel(), c.level);
    }
    delete color;
    EXPECT_EQ(CreateStyleGroup(0), nullptr);
    EXPECT_EQ(CreateStyleGroup(16), nullptr);
}

TEST(StyleDeclarationTest, RecordCascadesLaterNodesOverEarlierAndClearDropsTheGroup) {
    oxStyleDeclaration inlineStyle;
    inlineStyle.StoreProperty(kStyle_opacity, Num(20));
    inlineStyle.StoreProperty(kStyle_fill, oxStyleValue::Color(0xFF00FF00));
    auto* record = new oxBoxStyle(new oxStyleRuleNode(&inlineStyle), false, nullptr);
    EXPECT_EQ(record->GetMetricsGroup(), nullptr);
    oxStyleValue v;
    record->GetProperty(&v, kStyle_fillRepeat);
    EXPECT_EQ(v.GetValue(), kKeywordNone);
    record->SetProperty(kStyle_opacity, Num(50));
    record->SetProperty(kStyle_blur, Num(5));
    record->ClearProperty(kStyle_opacity);
    record->GetProperty(&v, kStyle_opacity);
    EXPECT_EQ(v.GetInt(), 20); // read again from the chain
    record->GetProperty(&v, kStyle_blur);
    EXPECT_TRUE(v.IsNull()); // lost with its group
    record->DetachInlineDeclaration(&inlineStyle);
    record->ClearProperty(kStyle_opacity);
    EXPECT_EQ(record->GetColorGroup(), nullptr);
    record->Release();
}

} // namespace
