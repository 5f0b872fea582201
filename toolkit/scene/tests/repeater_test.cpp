// Repeaters through real scenes: rows made from templates over script arrays and live arrays, kept
// in step with the array's changes box by box, nested rows that expand and collapse, and the
// selection that follows its rows by key.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_array.h"
#include "toolkit/binding/binding_element.h"
#include "toolkit/binding/data_selection_model.h"
#include "toolkit/binding/row_template.h"
#include "toolkit/binding/row_tree.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/row_source.h"
#include "toolkit/scene/tests/binding_test_support.h"

using namespace toolkit_test;
using NUBO::RefPtr;
using NUBO::XObject;
using NUBO::XVariant;

namespace {

const char* kList = "<vbox id=\"list\">\n"
                    "  <box id=\"heading\" value=\"People\"/>\n"
                    "  <binding collectionSource=\"people\" key=\"id\">\n"
                    "    <template><hbox label=\"{name}\" tag=\"{id}\"><box value=\"{name}\"/></hbox></template>\n"
                    "  </binding>\n"
                    "</vbox>\n";

class RepeaterTest : public BindingTest {
protected:
    void SetUp() override {
        BindingTest::SetUp();
        XObject* raw = nullptr;
        NUBO::CreateXLiveArray(&raw);
        people = RefPtr<NUBO::XArray>(static_cast<NUBO::XArray*>(raw));
    }
    void TearDown() override {
        people = RefPtr<NUBO::XArray>();
        BindingTest::TearDown();
    }
    void Add(const char* id, const char* name, int at = -1) {
        RefPtr<XObject> row(Row({{"id", id}, {"name", name}}));
        XVariant v(row.get());
        if (at < 0)
            people->AddValue(v);
        else
            people->InsertValue(at, v);
    }
    oxRowTree* Tree() const {
        oxBox* list = Box("list");
        auto* binding = list ? static_cast<oxBindingElement*>(list->GetDataBindingAt(0)) : nullptr;
        return binding ? binding->GetRowTree() : nullptr;
    }
    // The row boxes in the list, in order (the heading is no row).
    std::vector<oxBox*> Rows() const {
        std::vector<oxBox*> rows;
        oxBox* list = Box("list");
        for (int i = 0; list && i < list->GetChildCount(); ++i)
            if (oxBox* b = list->GetChildAt(i, false); b->GetId() == 0) rows.push_back(b);
        return rows;
    }
    static std::string Label(oxBox* box) {
        const WCHAR* text = box ? box->GetAttribute(kAtomLabel) : nullptr;
        return text ? Utf8(text) : "(none)";
    }
    std::string Labels() const {
        std::string out;
        for (oxBox* b : Rows())
            out += (out.empty() ? "" : ",") + Label(b);
        return out;
    }

    RefPtr<NUBO::XArray> people;
};

TEST_F(RepeaterTest, AnEmptyCollectionLeavesTheTargetWithItsOwnChildren) {
    ASSERT_TRUE(Open(kList));
    Publish("people", people.get());
    EXPECT_EQ(Box("list")->GetChildCount(), 1);
    ASSERT_NE(Tree(), nullptr);
    EXPECT_EQ(Tree()->CountRows(), 0);
}

TEST_F(RepeaterTest, RowsFollowALiveArrayBoxByBox) {
    Add("a", "Ann");
    Add("b", "Bob");
    Add("c", "Cy");
    ASSERT_TRUE(Open(kList));
    Publish("people", people.get());
    ASSERT_EQ(Labels(), "Ann,Bob,Cy");
    EXPECT_EQ(Box("list")->GetChildAt(0, false), Box("heading")) << "the markup child stays first";
    std::vector<oxBox*> before = Rows();
    EXPECT_EQ(Utf8(before[0]->GetChildAt(0, false)->GetAttribute(kAtomValue)), "Ann") << "nested fields are written";

    // An insert adds one box; the others are the same boxes.
    Add("d", "Dee", 1);
    std::vector<oxBox*> after = Rows();
    ASSERT_EQ(Labels(), "Ann,Dee,Bob,Cy");
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[2], before[1]);
    EXPECT_EQ(after[3], before[2]);

    // A removal takes exactly that box.
    people->RemoveValueAt(2);
    std::vector<oxBox*> removed = Rows();
    ASSERT_EQ(Labels(), "Ann,Dee,Cy");
    EXPECT_EQ(removed[0], after[0]);
    EXPECT_EQ(removed[1], after[1]);
    EXPECT_EQ(removed[2], after[3]);

    // A changed row is written again in its own box.
    RefPtr<XObject> renamed(Row({{"id", "c"}, {"name", "Cyd"}}));
    people->ReplaceValue(2, XVariant(renamed.get()));
    EXPECT_EQ(Labels(), "Ann,Dee,Cyd");
    EXPECT_EQ(Rows()[2], removed[2]);

    // A move (remove, then insert elsewhere) keeps the untouched boxes.
    XVariant moved;
    people->GetValueAt(0, &moved);
    XVariant keep(moved);
    people->RemoveValueAt(0);
    people->AddValue(keep);
    EXPECT_EQ(Labels(), "Dee,Cyd,Ann");
    EXPECT_EQ(Rows()[0], removed[1]);
    EXPECT_EQ(Rows()[1], removed[2]);

    people->RemoveAll();
    EXPECT_EQ(Labels(), "");
    EXPECT_EQ(Box("list")->GetChildCount(), 1);
}

TEST_F(RepeaterTest, AScriptArrayIsReplicatedOnceAndRowsWriteBack) {
    XObject* raw = nullptr;
    NUBO::CreateXArray(&raw);
    RefPtr<NUBO::XArray> plain(static_cast<NUBO::XArray*>(raw));
    for (const char* name : {"x", "y"}) {
        RefPtr<XObject> row(Row({{"id", name}, {"name", name}}));
        plain->AddValue(XVariant(row.get()));
    }
    ASSERT_TRUE(Open(kList));
    Publish("people", plain.get());
    EXPECT_EQ(Labels(), "x,y");
    // Two-way: a row box's bound attribute goes back into its row's field.
    Rows()[1]->SetAttribute(kAtomLabel, u"why", true, false);
    XVariant row;
    plain->GetValueAt(1, &row);
    RefPtr<XObject> object(row.ToXObject());
    XVariant name;
    object->GetPropertyByName(u"name", &name);
    EXPECT_EQ(Utf8(name.ToString().GetString()), "why");
}

TEST_F(RepeaterTest, PublishingAnotherCollectionUnderTheNameReplacesTheRows) {
    Add("a", "Ann");
    ASSERT_TRUE(Open(kList));
    Publish("people", people.get());
    ASSERT_EQ(Labels(), "Ann");
    XObject* raw = nullptr;
    NUBO::CreateXLiveArray(&raw);
    RefPtr<NUBO::XArray> others(static_cast<NUBO::XArray*>(raw));
    for (const char* name : {"Xi", "Yu"}) {
        RefPtr<XObject> row(Row({{"id", name}, {"name", name}}));
        others->AddValue(XVariant(row.get()));
    }
    Publish("people", others.get());
    EXPECT_EQ(Labels(), "Xi,Yu");
    Add("b", "Bob");
    EXPECT_EQ(Labels(), "Xi,Yu") << "the old array is heard no more";
    EXPECT_EQ(people->GetRefCount(), 1u) << "nothing but the test holds the old array";
}

TEST_F(RepeaterTest, DisconnectingRemovesOnlyTheRows) {
    Add("a", "Ann");
    ASSERT_TRUE(Open(kList));
    Publish("people", people.get());
    ASSERT_EQ(Box("list")->GetChildCount(), 2);
    auto* binding = static_cast<oxBindingElement*>(Box("list")->GetDataBindingAt(0));
    binding->Unbind();
    EXPECT_EQ(Box("list")->GetChildCount(), 1);
    EXPECT_EQ(Box("list")->GetChildAt(0, false), Box("heading"));
}

TEST_F(RepeaterTest, TheSelectionKeepsItsRowsWhenRowsAboveComeAndGo) {
    for (const char* id : {"a", "b", "c", "d"})
        Add(id, id);
    ASSERT_TRUE(Open(kList));
    Publish("people", people.get());
    oxDataSelectionModel* selection = Tree()->GetSelectionModel(true);
    selection->Select(2); // "c"
    selection->SetCurrentRow(2);
    EXPECT_TRUE(Rows()[2]->GetStateFlags() & kStateSelected);
    Add("z", "z", 0);
    EXPECT_EQ(selection->GetSelectionIndex(), 3);
    EXPECT_EQ(selection->GetCurrentRow(), 3);
    EXPECT_TRUE(selection->IsRowSelected(3));
    people->RemoveValueAt(0);
    people->RemoveValueAt(0);
    EXPECT_EQ(selection->GetSelectionIndex(), 1);
    EXPECT_EQ(selection->GetCurrentRow(), 1);

    // Its row goes: nothing is selected, and the current row is the one that took its place.
    people->RemoveValueAt(1);
    EXPECT_EQ(selection->GetSelectedCount(), 0);
    EXPECT_EQ(selection->GetSelectionIndex(), -1);
    EXPECT_EQ(selection->GetCurrentRow(), 1);
    people->RemoveValueAt(1);
    EXPECT_EQ(selection->GetCurrentRow(), 0) << "the last row was removed: the new last row";
    people->RemoveValueAt(0);
    EXPECT_EQ(selection->GetCurrentRow(), -1);
}

// Without a list that hands over mode "current", the cursor actions select rows by data as a list
// selects its rows: toggle, extend from the anchor, add.
TEST_F(RepeaterTest, CursorActionsSelectRowsByData) {
    for (const char* id : {"a", "b", "c", "d", "e"})
        Add(id, id);
    ASSERT_TRUE(Open(kList));
    Publish("people", people.get());
    oxDataSelectionModel* selection = Tree()->GetSelectionModel(true);
    selection->SetSelectMode(kModeSelectMultiple);
    const struct {
        int row, action;
        std::vector<int> selected;
        int cursor;
    } steps[] = {
        {1, oxSelectionModel::kSelectOnly, {1}, 1},
        {3, oxSelectionModel::kExtend, {1, 2, 3}, 3},
        {2, oxSelectionModel::kToggle, {1, 3}, 2},
        {4, oxSelectionModel::kAdd, {1, 3, 4}, 4},
        {0, oxSelectionModel::kCursorOnly, {1, 3, 4}, 0},
        {9, oxSelectionModel::kSelectOnly, {4}, 4}, // past the end: the last row
    };
    for (const auto& step : steps) {
        selection->MoveCursor(step.row, step.action, false);
        std::vector<int> selected;
        for (int row = 0; row < 5; ++row) {
            if (selection->IsSelected(row)) selected.push_back(row);
            EXPECT_EQ(selection->IsSelected(row), (Rows()[size_t(row)]->GetStateFlags() & kStateSelected) != 0)
                << "row " << row << " is shown as it is selected";
        }
        EXPECT_EQ(selected, step.selected) << "to row " << step.row << " by action " << step.action;
        EXPECT_EQ(selection->GetCursor(), step.cursor);
    }
}

TEST_F(RepeaterTest, IndexKeysShiftWithTheRows) {
    for (const char* id : {"a", "b", "c"})
        Add(id, id);
    ASSERT_TRUE(Open("<vbox id=\"list\"><binding collectionSource=\"people\" key=\"_none\">"
                     "<template><hbox label=\"{name}\"/></template></binding></vbox>\n"));
    Publish("people", people.get());
    oxDataSelectionModel* selection = Tree()->GetSelectionModel(true);
    selection->Select(1);
    Add("z", "z", 0);
    EXPECT_EQ(selection->GetSelectionIndex(), 2) << "an index key moves with its row";
    people->RemoveValueAt(0);
    EXPECT_EQ(selection->GetSelectionIndex(), 1);
}

const char* kTree = "<vbox id=\"list\">\n"
                    "  <binding collectionSource=\"people\" key=\"id\">\n"
                    "    <template><vbox label=\"{name}\"><recurse property=\"kids\" key=\"id\"/></vbox></template>\n"
                    "  </binding>\n"
                    "</vbox>\n";

TEST_F(RepeaterTest, NestedRowsNumberDepthFirstAndCollapse) {
    XObject* raw = nullptr;
    NUBO::CreateXLiveArray(&raw);
    RefPtr<NUBO::XArray> kids(static_cast<NUBO::XArray*>(raw));
    for (const char* id : {"a1", "a2"}) {
        RefPtr<XObject> kid(Row({{"id", id}, {"name", id}}));
        kids->AddValue(XVariant(kid.get()));
    }
    RefPtr<XObject> a(Row({{"id", "a"}, {"name", "a"}}));
    XVariant kidsValue(static_cast<XObject*>(kids.get()));
    a->SetPropertyByName(u"kids", &kidsValue);
    people->AddValue(XVariant(a.get()));
    Add("b", "b");

    ASSERT_TRUE(Open(kTree));
    Publish("people", people.get());
    oxRowTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->CountRows(), 4);
    const char* order[] = {"a", "a1", "a2", "b"};
    const int levels[] = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Label(tree->GetRowBoxAt(i)), order[i]) << i;
        EXPECT_EQ(tree->GetRowLevel(i), levels[i]) << i;
        EXPECT_EQ(tree->FindRowOfBox(tree->GetRowBoxAt(i), true), i);
    }
    oxBox* aBox = tree->GetRowBoxAt(0);
    EXPECT_EQ(tree->GetRowBoxAt(1)->GetParent(), aBox) << "nested rows go under their row's box";

    // A selected row inside a branch that collapses hands its selection to the branch's row.
    oxDataSelectionModel* selection = tree->GetSelectionModel(true);
    selection->Select(2);
    aBox->SetCollapsed(true, true);
    EXPECT_EQ(tree->CountRows(), 2);
    EXPECT_EQ(Label(tree->GetRowBoxAt(1)), "b");
    EXPECT_TRUE(selection->IsRowSelected(0));
    EXPECT_EQ(selection->GetSelectedCount(), 1);
    aBox->SetCollapsed(false, true);
    ASSERT_EQ(tree->CountRows(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Label(tree->GetRowBoxAt(i)), order[i]) << "the same order after expanding";
    EXPECT_TRUE(selection->IsRowSelected(0));

    // A nested insert renumbers the rows after it.
    RefPtr<XObject> kid(Row({{"id", "a3"}, {"name", "a3"}}));
    kids->AddValue(XVariant(kid.get()));
    EXPECT_EQ(tree->CountRows(), 5);
    EXPECT_EQ(Label(tree->GetRowBoxAt(3)), "a3");
    EXPECT_EQ(Label(tree->GetRowBoxAt(4)), "b");
}

TEST_F(RepeaterTest, AMillionRowsAreMadeOnlyAsTheyAreAsked) {
    for (int i = 0; i < 1000000; ++i)
        people->AddValue(XVariant(i));
    ASSERT_TRUE(Open("<vbox id=\"list\"><binding collectionSource=\"people\">"
                     "<template><hbox label=\"{}\"/></template></binding></vbox>\n"));
    Publish("people", people.get());
    oxRowTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->CountRows(), 1000000);
    EXPECT_EQ(Box("list")->GetChildCount(), 0) << "no box is made before it is asked for";
    EXPECT_EQ(Label(tree->GetRowBoxAt(999999)), "999999");
    EXPECT_EQ(Box("list")->GetChildCount(), 1);
}

TEST_F(RepeaterTest, RowsRemovedWhileTheRepeaterReadsThemAreBuiltFromWhatIsLeft) {
    for (const char* id : {"a", "b", "c"})
        Add(id, id);
    ASSERT_TRUE(Open(kList));
    NUBO::XArray* list = people.get();
    // A row whose field reads remove rows from the same array while the repeater builds.
    class Hostile : public NUBO::XDictionary {
    public:
        NUBO::XArray* array = nullptr;
        int32_t GetPropertyByName(const WCHAR* key, XVariant* out) override {
            if (array && array->Count() > 1) array->RemoveValueAt(array->Count() - 1);
            return NUBO::XDictionary::GetPropertyByName(key, out);
        }
    };
    auto* hostile = new Hostile();
    hostile->AddRef();
    hostile->array = list;
    XVariant name(u"h");
    hostile->SetPropertyByName(u"name", &name);
    people->InsertValue(0, XVariant(static_cast<XObject*>(hostile)));
    Publish("people", people.get());
    EXPECT_EQ(int(Rows().size()), list->Count()) << "one box per row that is left";
    hostile->array = nullptr;
    hostile->Release();
}

} // namespace

namespace {

// A layout that says which rows are in view, so that rows scrolled out may lend their boxes.
class ScrolledRows final : public oxLayout, public oxRowViewport {
public:
    int GetRowScrollDirection() override { return direction; }
    int GetFirstVisibleRow() override { return first; }
    int GetLastVisibleRow() override { return last; }
    int direction = 1, first = 0, last = 0;
};

TEST_F(RepeaterTest, LazyRowsAreMadeWhenAskedAndRecycledRowsLendTheirBoxes) {
    for (const char* id : {"a", "b", "c", "d"})
        Add(id, id);
    ASSERT_TRUE(Open("<vbox id=\"list\"><binding collectionSource=\"people\" key=\"id\" replication=\"recycle\">"
                     "<template><hbox label=\"{name}\"/></template></binding></vbox>\n"));
    auto* layout = new ScrolledRows();
    Box("list")->SetLayout(layout);
    Publish("people", people.get());
    oxRowTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(Box("list")->GetChildCount(), 0) << "no row is made before the layout asks";
    oxBox* first = tree->GetRowBoxAt(0);
    EXPECT_EQ(Label(first), "a");
    EXPECT_EQ(Box("list")->GetChildCount(), 1);

    // Scrolled towards later rows with row 0 above the view: row 3 takes row 0's box.
    layout->first = 2;
    layout->last = 3;
    oxBox* fourth = tree->GetRowBoxAt(3);
    EXPECT_EQ(fourth, first);
    EXPECT_EQ(Label(fourth), "d") << "the lent box shows its new row";
    EXPECT_EQ(Box("list")->GetChildCount(), 1);
    EXPECT_EQ(Label(tree->GetRowBoxAt(0)), "a") << "row 0 gets a box again when asked";
    EXPECT_EQ(Box("list")->GetChildCount(), 2);
}

TEST_F(RepeaterTest, ATemplateKeepsItsFirstBoxAndChoosesByMatch) {
    Add("a", "Ann");
    Add("b", "Bob");
    ASSERT_TRUE(Open("<vbox id=\"list\"><binding collectionSource=\"people\" key=\"id\">"
                     "<template><match property=\"id\" value=\"b\"/><hbox label=\"{name}\"/></template>"
                     "<template><vbox label=\"{name}\"/><hbox label=\"second\"/></template>"
                     "</binding></vbox>\n"));
    Publish("people", people.get());
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Rows()[0]->GetTag(), kAtomVbox) << "the first template without a match that holds";
    EXPECT_EQ(Rows()[1]->GetTag(), kAtomHbox) << "the matching template";
    EXPECT_EQ(Label(Rows()[1]), "Bob");
    oxRowTemplate probe;
    oxElement* child = nullptr;
    EXPECT_EQ(probe.CreateChildElement(kAtomBoxNamespace, kAtomHbox, &child), 0);
    EXPECT_EQ(probe.CreateChildElement(kAtomBoxNamespace, kAtomVbox, &child), kElementNotHandled);
}

} // namespace
