// A datagrid whose rows a binding makes from a live array of 10,000 numbers: under "lazy"
// replication only the rows of the pages shown are made, a page down makes the next page, and an
// item inserted into the array shows in the grid at its place. Under "recycle" the boxes of the rows
// scrolled out are reused for the rows that come into view.
#include <gtest/gtest.h>

#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "toolkit/core/datagrid_layout.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/row_source.h"
#include "toolkit/scene/tests/binding_test_support.h"

using namespace toolkit_test;
using NUBO::RefPtr;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

class DataGridBindingTest : public BindingTest {
protected:
    void SetUp() override {
        BindingTest::SetUp();
        XObject* raw = nullptr;
        NUBO::CreateXLiveArray(&raw);
        numbers = RefPtr<NUBO::XArray>(static_cast<NUBO::XArray*>(raw));
        for (int i = 0; i < 10000; ++i)
            numbers->AddValue(XVariant(i));
    }
    void TearDown() override {
        numbers = RefPtr<NUBO::XArray>();
        BindingTest::TearDown();
    }
    // A grid 100 x 50 of rows 10 high, scrolling by rows.
    oxDataGridLayout* OpenGrid(const char* replication) {
        std::string markup = std::string("<box id=\"grid\" view=\"datagrid\" s:overflow=\"scroll\"\n"
                                         "     xmlns:s=\"http://www.kestrum.com/weftly/style.xsd\">\n"
                                         "  <columns><box s:width=\"100\"/></columns>\n"
                                         "  <rows id=\"list\" s:height=\"100000\">\n"
                                         "    <binding collectionSource=\"numbers\" replication=\"") +
                             replication +
                             "\">\n"
                             "      <template><box label=\"{}\"><box s:flex=\"1\" value=\"{}\"/></box></template>\n"
                             "    </binding>\n"
                             "  </rows>\n"
                             "</box>\n";
        if (!Open(markup)) return nullptr;
        Publish("numbers", numbers.get());
        ArrangeLayoutRoot(Box("grid"), 100, 50);
        return dynamic_cast<oxDataGridLayout*>(Box("grid")->GetLayout());
    }
    // The label of the row box at a flat row, and whether it lies at the given top in the grid.
    std::string Shown(oxDataGridLayout* grid, int row) {
        oxBox* box = grid->GetRowBox(row);
        const WCHAR* label = box ? box->GetAttribute(kAtomLabel) : nullptr;
        return label ? Utf8(label) + "@" + std::to_string(box->GetBoxRect().y) : "(none)";
    }

    RefPtr<NUBO::XArray> numbers;
};

TEST_F(DataGridBindingTest, LazyRowsArePagedInAndFollowTheArray) {
    oxDataGridLayout* grid = OpenGrid("lazy");
    ASSERT_NE(grid, nullptr);
    oxBox* list = Box("list");
    EXPECT_EQ(grid->GetRowCount(), 10000);
    EXPECT_EQ(grid->GetRowsPerPage(), 5);
    EXPECT_EQ(Shown(grid, 0), "0@0");
    EXPECT_EQ(Shown(grid, 4), "4@40");
    // The first page, the row after it and the last page (which tells how far the grid scrolls).
    const int made = list->GetChildCount();
    EXPECT_LE(made, 14);
    Box("grid")->SetScrollY(5000);
    EXPECT_EQ(grid->GetFirstVisibleRow(), 5000);
    EXPECT_EQ(Shown(grid, 5000), "5000@0");
    EXPECT_EQ(Shown(grid, 5004), "5004@40");
    // The new page, the row that passes the height and one more are made.
    EXPECT_EQ(list->GetChildCount(), made + 7);
    // An item inserted before the page moves the page's rows down the array by one.
    numbers->InsertValue(4000, XVariant(-1));
    ArrangeLayoutRoot(Box("grid"), 100, 50);
    EXPECT_EQ(grid->GetRowCount(), 10001);
    EXPECT_EQ(Shown(grid, 5000), "4999@0");
    EXPECT_EQ(Shown(grid, 5001), "5000@10");
    // One inserted on the page shows at its place.
    numbers->InsertValue(5002, XVariant(-2));
    ArrangeLayoutRoot(Box("grid"), 100, 50);
    EXPECT_EQ(Shown(grid, 5002), "-2@20");
    EXPECT_EQ(Shown(grid, 5003), "5001@30");
}

TEST_F(DataGridBindingTest, RecycledRowsReuseTheBoxesScrolledOut) {
    oxDataGridLayout* grid = OpenGrid("recycle");
    ASSERT_NE(grid, nullptr);
    oxBox* list = Box("list");
    Box("grid")->SetScrollY(5);
    const int made = list->GetChildCount();
    for (int first = 10; first < 200; first += 5)
        Box("grid")->SetScrollY(first);
    EXPECT_EQ(grid->GetFirstVisibleRow(), 195);
    EXPECT_EQ(Shown(grid, 195), "195@0");
    EXPECT_EQ(Shown(grid, 199), "199@40");
    // Paging on took the boxes of the rows scrolled out: no more boxes than one page's worth.
    EXPECT_LE(list->GetChildCount(), made + 7);
}

} // namespace
