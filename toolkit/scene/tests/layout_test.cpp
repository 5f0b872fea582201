// Scenes from tests/data/layout/*.box laid out at a fixed size and compared, as text dumps, with
// tests/data/layout/*.txt; hit tests at given points of those scenes; a box of 10,000 children.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "platform/crt/wide.h"
#include "runtime/ref_ptr.h"
#include "runtime/stream.h"
#include "toolkit/base/atoms.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/layout.h"
#include "toolkit/core/layout_dump.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/markup/box_uri.h"
#include "toolkit/markup/markup_loader.h"
#include "toolkit/markup/tests/markup_test_support.h"

using namespace markup_test;

namespace {

// A scene that resolves each box's inline style and makes 8-pixel scroll bars.
class LayoutScene : public PlainBoxScene {
public:
    oxBox* CreateBox(oxAtom ns, oxAtom tag) override {
        // Kinds that layouts tell apart by type come from the box factory.
        oxBox* box = nullptr;
        if (tag == kAtomDeck || tag == kAtomRange || tag == kAtomMDIContainer) {
            oxBoxFactory factory;
            box = factory.CreateBox(tag, 0, tag);
            if (box) box->SetScene(this);
        } else {
            box = PlainBoxScene::CreateBox(ns, tag);
        }
        if (box && tag == kAtomScrollbar) {
            box->SetStyle(u"width", u"8");
            box->SetStyle(u"height", u"8");
        }
        return box;
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    oxBox* GetRootBox() override { return root; }

    oxStyleRuleMaps rules;
    oxBox* root = nullptr;
};

// Loads a scene file, reverses the children of "rtl" boxes as the scene does when it builds the
// tree, lays the root out at the size its attributes `testWidth`/`testHeight` give, and applies the
// scroll offsets of `testScrollX`/`testScrollY`.
class LoadedScene {
public:
    explicit LoadedScene(const std::string& name) : holder_(&scene_) {
        std::u16string uri = Wide(DataPath("layout/" + name + ".box"));
        for (char16_t& c : uri)
            if (c == u'/') c = u'\\';
        NUBO::XStream* raw = nullptr;
        if (OpenUriStream(uri.c_str(), &raw) != 0) return;
        NUBO::RefPtr<NUBO::XStream> stream(raw);
        oxMarkupLoader loader;
        loader.Load(uri.c_str(), stream.get(), &holder_);
        error_ = Utf8(loader.GetErrorText().GetString());
        root = holder_.root;
        scene_.root = root;
        if (!root) return;
        for (oxBox* b = root; b; b = b->GetNextBox(root, false, false))
            b->ApplyRtlOrder();
        ArrangeLayoutRoot(root, Number(root, u"testWidth"), Number(root, u"testHeight"));
        for (oxBox* b = root; b; b = b->GetNextBox(root, false, false)) {
            if (const WCHAR* y = b->GetAttributeText(oxAtoms::Intern(u"testScrollY"))) b->SetScrollY(_wtoi(y));
            if (const WCHAR* x = b->GetAttributeText(oxAtoms::Intern(u"testScrollX"))) b->SetScrollX(_wtoi(x));
        }
    }
    std::string Dump() {
        NUBO::TWString text;
        oxDumpLayout(root, text);
        return Utf8(text.GetString());
    }
    oxBox* Find(const char* id) {
        oxAtom atom = oxAtoms::Intern(Wide(id).c_str());
        for (oxBox* b = root; b; b = b->GetNextBox(root, false, false))
            if (b->GetId() == atom) return b;
        return nullptr;
    }
    const std::string& Error() const { return error_; }

    oxBox* root = nullptr;

private:
    static int32_t Number(oxBox* box, const WCHAR* name) {
        const WCHAR* text = box->GetAttributeText(oxAtoms::Intern(name));
        return text ? _wtoi(text) : 0;
    }

    LayoutScene scene_;
    RootHolder holder_;
    std::string error_;
};

class LayoutTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
};

TEST_P(LayoutTest, MatchesExpectedDump) {
    std::string name = GetParam();
    LoadedScene scene(name);
    ASSERT_NE(scene.root, nullptr) << scene.Error();
    EXPECT_TRUE(MatchesGolden(scene.Dump(), "layout/" + name + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Scenes, LayoutTest,
                         ::testing::Values("horizontal", "vertical", "shares", "packing", "align", "minmax", "hidden",
                                           "overflow", "nested", "rtl", "zero_size", "lines", "flow_rows",
                                           "flow_columns", "deck", "range", "mdi", "grid_header", "grid_measured",
                                           "grid_tree", "grid_wide", "grid_rtl", "grid_scroll"));

struct HitCase {
    const char* scene;
    int x, y;             // in the root's coordinates
    const char* expected; // id of the box hit; "" for the root, null for nothing
};

class HitTestTest : public ::testing::TestWithParam<HitCase> {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
};

TEST_P(HitTestTest, AnswersTheBoxUnderThePoint) {
    const HitCase& c = GetParam();
    LoadedScene scene(c.scene);
    ASSERT_NE(scene.root, nullptr) << scene.Error();
    oxBox* hit = scene.root->HitTest({c.x, c.y});
    if (!c.expected) {
        EXPECT_EQ(hit, nullptr);
        return;
    }
    // "id|vbar" names the vertical scroll bar of a box.
    std::string expected = c.expected;
    bool bar = expected.size() > 5 && expected.compare(expected.size() - 5, 5, "|vbar") == 0;
    if (bar) expected.resize(expected.size() - 5);
    oxBox* want = expected.empty() ? scene.root : scene.Find(expected.c_str());
    if (bar && want) want = want->FindVScrollBar();
    ASSERT_NE(want, nullptr) << c.expected;
    WCHAR name[oxAtoms::kLookupUnits] = u"nothing";
    if (hit && !oxAtoms::GetName(hit->GetId(), name, oxAtoms::kLookupUnits)) name[0] = 0;
    EXPECT_EQ(hit, want) << "hit " << Utf8(name);
}

INSTANTIATE_TEST_SUITE_P(Points, HitTestTest,
                         ::testing::Values(
                             // Last child wins where children overlap; gaps answer the parent.
                             HitCase{"horizontal", 5, 5, "a"}, HitCase{"horizontal", 45, 5, "b"},
                             HitCase{"horizontal", 199, 99, ""}, HitCase{"horizontal", 200, 5, nullptr},
                             // A hidden box still takes space but is never hit; a box that ignores
                             // events lets the hit through to what lies under it.
                             HitCase{"hidden", 15, 5, ""}, HitCase{"hidden", 35, 5, "shown"},
                             HitCase{"hidden", 55, 5, ""},
                             // Scrolled by 30: the point lands 30 pixels further down the content.
                             HitCase{"overflow", 5, 5, "row2"}, HitCase{"overflow", 5, 45, "row4"},
                             // The scroll bar lies over the right edge of the scrolled box.
                             HitCase{"overflow", 46, 5, "list|vbar"},
                             // Nested boxes answer the deepest one.
                             HitCase{"nested", 5, 55, "leaf1"}, HitCase{"nested", 150, 5, "r1"},
                             HitCase{"nested", 150, 50, "right"},
                             // A grid tries its header cells first, then its rows; nested rows by
                             // their offsets in the tree.
                             HitCase{"grid_header", 50, 5, "h2"}, HitCase{"grid_header", 50, 30, "a2"},
                             HitCase{"grid_header", 180, 30, "r1"}, HitCase{"grid_tree", 15, 25, "q1a"},
                             HitCase{"grid_tree", 25, 45, "t1a"}, HitCase{"grid_tree", 5, 45, "t1"},
                             HitCase{"grid_tree", 5, 85, ""}));

// 10,000 rows of 3 pixels in a 100 x 600 list: every row in place, the list overflowing by the rest.
TEST(LayoutLargeTest, TenThousandChildren) {
    oxAtoms::RegisterPredefined();
    LayoutScene scene;
    oxBox* root = scene.CreateBox(kAtomBoxNamespace, kAtomVbox);
    ASSERT_NE(root, nullptr);
    scene.root = root;
    constexpr int kRows = 10000;
    for (int i = 0; i < kRows; ++i) {
        oxBox* row = scene.CreateBox(kAtomBoxNamespace, kAtomBox);
        ASSERT_NE(row, nullptr);
        row->SetStyle(u"height", u"3");
        root->AddChild(row);
    }
    ArrangeLayoutRoot(root, 100, 600);
    for (int i = 0; i < kRows; ++i) {
        oxRect r = root->GetChildAt(i, false)->GetBoxRect();
        ASSERT_EQ(r, (oxRect{0, 3 * i, 100, 3})) << "row " << i;
    }
    EXPECT_TRUE(root->GetStateFlags() & kStateOverflowed);
    EXPECT_EQ(root->GetScrollRangeY(), 3 * kRows);
    root->SetScrollY(1000000);
    EXPECT_EQ(root->GetScrollY(), 3 * kRows - 600);
    root->Release();
}

} // namespace
