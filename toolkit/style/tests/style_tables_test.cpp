#include "toolkit/style/style_tables.h"

#include <gtest/gtest.h>

#include "platform/crt/wide.h"

TEST(StyleTables, NamesAndIdsTurnIntoEachOther) {
    struct Case {
        const char16_t* name;
        int property;
        int keyword;
    };
    const Case cases[] = {
        {u"animate", 0, -1},       {u"offsetLeft", 127, -1},  {u"zIndex", 92, -1},
        {u"zindex", -1, -1},       {u"Fill", -1, -1},         {u"fill", 38, -1},
        {u"stroke", 93, -1},       {u"auto", -1, 0},          {u"*", -1, 72},
        {u"splitterv", -1, 25},    {u"left", 15, 64},         {u"right", 13, 62},
        {u"mediumDotted", -1, 52}, {u"mediumdotted", -1, -1}, {u"", -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StylePropertyIdFromName(c.name), c.property);
        EXPECT_EQ(StyleKeywordIdFromName(c.name), c.keyword);
    }
    EXPECT_EQ(StylePropertyIdFromName(nullptr), -1);
    EXPECT_EQ(StyleKeywordIdFromName(nullptr), -1);
}

TEST(StyleTables, EveryIdRoundTripsThroughItsName) {
    for (int id = 0; id < kStylePropertyCount; ++id)
        EXPECT_EQ(StylePropertyIdFromName(StylePropertyNameFromId(id)), id);
    for (int id = 0; id < kStyleKeywordCount; ++id)
        EXPECT_EQ(StyleKeywordIdFromName(StyleKeywordNameFromId(id)), id);
    EXPECT_EQ(StyleKeywordNameFromId(73), nullptr);
    EXPECT_EQ(StylePropertyNameFromId(-1), nullptr);
    EXPECT_EQ(StylePropertyNameFromId(128), nullptr);
}

TEST(StyleTables, BuildingTwiceKeepsOneEntryPerName) {
    BuildStyleNameTables();
    BuildStyleNameTables();
    EXPECT_EQ(StylePropertyNameMap().Count(), 128u);
    EXPECT_EQ(StyleKeywordNameMap().Count(), 73u);
}

TEST(StyleTables, ShorthandsAreFollowedByTheirFourSides) {
    const int shorthands[] = {kStyle_margin,
                              kStyle_padding,
                              kStyle_clip,
                              kStyle_fillSlice,
                              kStyle_fillCornerRadius,
                              kStyle_regionSlice,
                              kStyle_strokeCornerRadius,
                              kStyle_bevelCornerRadius,
                              kStyle_offset};
    const char16_t* suffixes[] = {u"Top", u"Right", u"Bottom", u"Left"};
    for (int id : shorthands) {
        EXPECT_EQ(kStyleProperties[id].mask, 0x200) << id;
        for (int side = 0; side < 4; ++side) {
            const WCHAR* name = kStyleProperties[id + 1 + side].name;
            size_t base = wcslen(kStyleProperties[id].name);
            EXPECT_EQ(wcsncmp(name, kStyleProperties[id].name, base), 0) << id;
            EXPECT_EQ(wcscmp(name + base, suffixes[side]), 0) << id;
            EXPECT_EQ(kStyleProperties[id + 1 + side].group, kStyleProperties[id].group);
        }
    }
}
