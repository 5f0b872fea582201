#include "platform/win/region.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

std::vector<std::tuple<int, int, int, int>> Rects(HRGN rgn) {
    std::vector<std::tuple<int, int, int, int>> out;
    const DWORD size = GetRegionData(rgn, 0, nullptr);
    std::vector<char> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (GetRegionData(rgn, size, data) != size) return out;
    const auto* r = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i)
        out.emplace_back(r[i].left, r[i].top, r[i].right, r[i].bottom);
    return out;
}

struct Combined {
    int mode;
    int kind;
    std::vector<std::tuple<int, int, int, int>> rects;
};

TEST(RegionTest, CombineGivesBandedRectangles) {
    // Two squares overlapping at a corner: (0,0)-(10,10) and (5,5)-(15,15).
    const Combined cases[] = {
        {RGN_OR, COMPLEXREGION, {{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}},
        {RGN_AND, SIMPLEREGION, {{5, 5, 10, 10}}},
        {RGN_DIFF, COMPLEXREGION, {{0, 0, 10, 5}, {0, 5, 5, 10}}},
        {RGN_XOR, COMPLEXREGION, {{0, 0, 10, 5}, {0, 5, 5, 10}, {10, 5, 15, 10}, {5, 10, 15, 15}}},
    };
    for (const Combined& c : cases) {
        HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), out = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.kind) << c.mode;
        EXPECT_EQ(Rects(out), c.rects) << c.mode;
        for (HRGN r : {a, b, out})
            EXPECT_TRUE(DeleteObject(r));
    }
}

TEST(RegionTest, AdjacentBandsMergeAndBoxesReport) {
    HRGN a = CreateRectRgn(0, 0, 10, 5), b = CreateRectRgn(0, 5, 10, 9);
    ASSERT_EQ(CombineRgn(a, a, b, RGN_OR), SIMPLEREGION); // the destination may be a source
    RECT box;
    EXPECT_EQ(GetRgnBox(a, &box), SIMPLEREGION);
    EXPECT_EQ(std::tie(box.left, box.top, box.right, box.bottom), std::make_tuple(0, 0, 10, 9));
    HRGN same = CreateRectRgn(10, 9, 0, 0); // inverted corners are put in order
    EXPECT_TRUE(EqualRgn(a, same));
    EXPECT_TRUE(PtInRegion(a, 9, 8));
    EXPECT_FALSE(PtInRegion(a, 10, 8));
    EXPECT_EQ(OffsetRgn(a, 5, -1), SIMPLEREGION);
    EXPECT_FALSE(EqualRgn(a, same));
    HRGN empty = CreateRectRgn(3, 3, 3, 8);
    EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
    EXPECT_EQ(CombineRgn(empty, a, same, RGN_DIFF), COMPLEXREGION);
    EXPECT_EQ(GetRegionData(empty, 0, nullptr), sizeof(RGNDATAHEADER) + 2 * sizeof(RECT));
    for (HRGN r : {a, b, same, empty})
        DeleteObject(r);
    EXPECT_FALSE(DeleteObject(a)) << "a region is deleted once";
    EXPECT_EQ(CombineRgn(a, b, same, RGN_OR), ERROR);
}

} // namespace
