// The layout pass on boxes built in code: placement records and their growth reply, arrangement
// events, scroll clamping, factories, the paint order through recording paint services.
#include "toolkit/core/flex_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "toolkit/core/box.h"
#include "toolkit/core/box_factory.h"
#include "toolkit/core/box_paint_services.h"
#include "toolkit/core/box_scene.h"
#include "toolkit/core/event.h"
#include "toolkit/core/layout_factory.h"
#include "toolkit/core/mdi_container_box.h"
#include "toolkit/core/placement_record.h"
#include "toolkit/core/style_rule_maps.h"
#include "toolkit/style/style_tables.h"
#include "toolkit/style/style_value.h"

namespace {

// A box that counts the events sent to it.
class EventBox : public oxBox {
public:
    using oxBox::oxBox;
    int32_t HandleEvent(oxEvent* event) override {
        if (event->GetType() == kAtomInitialized) ++initialized;
        if (event->GetType() == kAtomLayout) ++laidOut;
        return oxBox::HandleEvent(event);
    }
    int initialized = 0;
    int laidOut = 0;
};

class Scene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom, oxAtom tag) override {
        auto* box = new (std::nothrow) EventBox(tag);
        if (box) box->SetScene(this);
        return box;
    }
    oxBoxStyle* BuildBoxStyle(oxBox* box) override { return rules.BuildBoxStyle(box); }
    void CloseTrackedPopup() override { ++popupCloses; }
    oxStyleRuleMaps rules;
    int popupCloses = 0;
};

class FlexLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
    void TearDown() override {
        if (root) root->Release();
    }
    EventBox* Make(oxAtom tag, std::initializer_list<std::pair<const WCHAR*, const WCHAR*>> style = {},
                   oxBox* parent = nullptr) {
        auto* box = static_cast<EventBox*>(scene.CreateBox(kAtomBoxNamespace, tag));
        for (const auto& [name, value] : style)
            box->SetStyle(name, value);
        if (parent) parent->AddChild(box);
        return box;
    }

    Scene scene;
    EventBox* root = nullptr;
};

TEST_F(FlexLayoutTest, PlacementRecordDeltasOnlyWithTheGrowthReply) {
    oxPlacementRecord r;
    r.flags = 0xE0;
    r.Construct(true, 1, 2, 3, 4, 5, 6, 10, 20, 0, 0, true, false, 7);
    EXPECT_EQ(r.flags, 0xE0 | oxPlacementRecord::kHasGeometry | oxPlacementRecord::kNoMaxWidth);
    r.extraWidth = 99;
    EXPECT_EQ(r.GetDeltaX(), 0);
    r.SetExtra(true, true, 15, 23, 0, 0);
    EXPECT_EQ(r.flags, 0xE0 | 0x1 | 0x8 | oxPlacementRecord::kGrew | oxPlacementRecord::kOverflow);
    EXPECT_EQ(r.GetDeltaX(), 5);
    EXPECT_EQ(r.GetDeltaY(), 3);
    r.Construct(false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, false, false, 0);
    EXPECT_EQ(r.flags, 0xE0);
}

// A box whose layout answers that it grew by (5, 3) takes that much more size and content size.
TEST_F(FlexLayoutTest, GrowthReplyGrowsTheBox) {
    class Growing : public oxLayout {
        void Layout(oxPlacementRecord* p, oxBox*) override {
            p->SetExtra(true, false, p->width + 5, p->height + 3, 0, 0);
        }
    };
    root = Make(kAtomBox);
    root->SetLayout(new Growing);
    oxPlacementRecord r;
    r.Construct(true, 50, 50, 12, 12, 1, 1, 10, 10, 0, 0, false, false, 0);
    root->Arrange(&r);
    EXPECT_EQ(root->GetBoxRect(), (oxRect{0, 0, 17, 15}));
    EXPECT_EQ(root->GetContentRect(), (oxRect{1, 1, 15, 13}));
    EXPECT_TRUE(root->GetStateFlags() & kStateGrew);
}

// A child that always wants more room makes its parent run the pass again, but never more than ten
// times per child.
TEST_F(FlexLayoutTest, GrowthPassesAreBounded) {
    struct Greedy : public oxLayout {
        void Layout(oxPlacementRecord* p, oxBox*) override {
            ++calls;
            p->SetExtra(true, false, p->width + 1, p->height, 0, 0);
        }
        int calls = 0;
    };
    root = Make(kAtomHbox);
    auto* child = Make(kAtomBox, {{u"width", u"1"}}, root);
    auto* greedy = new Greedy;
    child->SetLayout(greedy);
    Make(kAtomBox, {{u"flex", u"1"}}, root);
    ArrangeLayoutRoot(root, 100, 10);
    EXPECT_GE(greedy->calls, 1);
    EXPECT_LE(greedy->calls, 20);
}

TEST_F(FlexLayoutTest, OnlyPopupsAndUnflowedChildrenLeaveTheSizeAlone) {
    root = Make(kAtomBox);
    class PopupBox : public oxBox {
    public:
        using oxBox::oxBox;
        oxAtom GetBoxType() const override { return kAtomPopup; }
    };
    oxBox* popup = new PopupBox(kAtomPopup);
    popup->SetScene(&scene);
    popup->SetStyle(u"width", u"500");
    root->AddChild(popup);
    oxBox* fixed = Make(kAtomBox, {{u"width", u"500"}}, root);
    fixed->SetFlowed(false);
    oxPlacementRecord r;
    r.Construct(true, 40, 30, 40, 30, 0, 0, 40, 30, 0, 0, false, false, 0);
    root->Arrange(&r);
    EXPECT_EQ(root->GetBoxRect(), (oxRect{0, 0, 40, 30}));
    EXPECT_FALSE(root->GetStateFlags() & (kStateGrew | kStateOverflowed));
}

TEST_F(FlexLayoutTest, ArrangementSendsInitializedOnceAndLayoutEachTime) {
    root = Make(kAtomVbox);
    ArrangeLayoutRoot(root, 10, 10);
    ArrangeLayoutRoot(root, 20, 10);
    EXPECT_EQ(root->initialized, 1);
    EXPECT_EQ(root->laidOut, 2);
    root->SetBlockUpdate(true);
    ArrangeLayoutRoot(root, 30, 30);
    EXPECT_EQ(root->GetBoxRect().width, 20);
    EXPECT_EQ(root->laidOut, 2);
}

TEST_F(FlexLayoutTest, ScrollOffsetsAreClampedAndZeroWithoutOverflow) {
    root = Make(kAtomVbox);
    oxBox* list = Make(kAtomVbox, {{u"height", u"30"}, {u"maxHeight", u"auto"}}, root);
    for (int i = 0; i < 4; ++i)
        Make(kAtomBox, {{u"height", u"20"}}, list);
    oxBox* plain = Make(kAtomVbox, {{u"height", u"30"}}, root);
    ArrangeLayoutRoot(root, 100, 200);
    list->SetScrollY(500);
    EXPECT_EQ(list->GetScrollY(), 50);
    list->SetScrollY(-5);
    EXPECT_EQ(list->GetScrollY(), 0);
    plain->SetScrollY(10);
    EXPECT_EQ(plain->GetScrollY(), 0);
    // Only a scroll that moved the content closes the tracked popup.
    EXPECT_EQ(scene.popupCloses, 2);
}

TEST_F(FlexLayoutTest, SameBoxSizeKeepsTheMeasuredMarks) {
    root = Make(kAtomBox);
    root->SetBoxSize({10, 10});
    root->SetPresence(kMarkMeasuredWidth | kMarkMeasuredHeight, true);
    root->SetBoxSize({10, 10});
    EXPECT_TRUE(root->HasSideTableEntry(kMarkMeasuredWidth));
    root->SetBoxSize({11, 10});
    EXPECT_FALSE(root->HasSideTableEntry(kMarkMeasuredWidth));
    // Values outside the packed 24-bit range are refused.
    root->SetBoxSize({1 << 23, 10});
    EXPECT_EQ(root->GetPacked(1), (oxPoint{11, 10}));
}

TEST_F(FlexLayoutTest, RightToLeftReversesChildrenAndIndexes) {
    root = Make(kAtomHbox);
    oxBox* kids[3];
    for (oxBox*& k : kids)
        k = Make(kAtomBox, {}, root);
    root->SetAttribute(kAtomDir, u"rtl", true, false);
    root->ApplyRtlOrder();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(root->GetChildAt(i, false), kids[2 - i]);
        EXPECT_EQ(kids[2 - i]->GetIndex(), i);
    }
}

// Opposite flexes sum to zero: nothing is shared and nothing divides by it.
TEST_F(FlexLayoutTest, FlexesThatCancelOutShareNothing) {
    root = Make(kAtomHbox);
    oxBox* a = Make(kAtomBox, {{u"flex", u"1"}}, root);
    oxBox* b = Make(kAtomBox, {{u"flex", u"-1"}}, root);
    ArrangeLayoutRoot(root, 100, 10);
    EXPECT_EQ(a->GetBoxRect().width, 0);
    EXPECT_EQ(b->GetBoxRect().width, 0);
}

// A turned or scaled child of a row makes room for its turned bounds through its margins.
TEST_F(FlexLayoutTest, TransformedChildGetsItsTurnedBoundsAsMargins) {
    struct Case {
        const WCHAR* rotation;
        const WCHAR* scale;
        int applied, left, top, right, bottom;
    } cases[] = {
        {u"90", nullptr, 1, -40, 40, -40, 40},   // 100x20 turned to 20x100
        {nullptr, u"100", 0, 0, 0, 0, 0},        // identity
        {nullptr, u"200", 1, 50, 10, 50, 10},    // 200x40 around the centre
        {u"180", u"50", 1, -25, -5, -25, -5},    // half size
        {nullptr, u"2000000000", 0, 0, 0, 0, 0}, // overflowing scale keeps the plain bounds
    };
    for (const Case& c : cases) {
        root = Make(kAtomHbox);
        oxBox* child = Make(kAtomBox, {{u"width", u"100"}, {u"height", u"20"}}, root);
        if (c.rotation) child->SetStyle(u"rotation", c.rotation);
        if (c.scale) child->SetStyle(u"scale", c.scale);
        oxLayoutItemList list;
        oxLayoutItem item;
        ASSERT_EQ(FillLayoutItem(child, &item, &list, false), 1);
        item.marginLeft = item.marginTop = item.marginRight = item.marginBottom = 0;
        EXPECT_EQ(ApplyTransformToLayoutItem(child->ResolveStyle(), &item), c.applied);
        EXPECT_EQ(item.marginLeft, c.left);
        EXPECT_EQ(item.marginTop, c.top);
        EXPECT_EQ(item.marginRight, c.right);
        EXPECT_EQ(item.marginBottom, c.bottom);
        root->Release();
        root = nullptr;
    }
}

int32_t MarginOf(oxBox* box, int id) {
    oxStyleValue v;
    box->GetStyleValue(id, &v);
    return v.GetType() == kStyleKeyword ? 0 : v.GetInt();
}

TEST_F(FlexLayoutTest, CornerMarginsGrowWhenBothBarsShowAndCancelWhenTheyStop) {
    struct Case {
        const WCHAR* dir;
        int horizontalMargin; // the side the horizontal bar keeps free
    };
    for (const Case& c :
         {Case{nullptr, kStyle_marginRight}, Case{u"ltr", kStyle_marginRight}, Case{u"rtl", kStyle_marginLeft}}) {
        SCOPED_TRACE(c.dir ? std::string(c.dir, c.dir + 3) : "none");
        root = Make(kAtomBox, {{u"marginBottom", u"3"}, {u"marginRight", u"4"}, {u"marginLeft", u"5"}});
        if (c.dir) root->SetAttribute(kAtomDir, c.dir, true, false);
        oxBox* v = root->CreateScrollbar(true);
        oxBox* h = root->CreateScrollbar(false);
        ASSERT_TRUE(v && h);
        for (oxBox* bar : {v, h}) {
            for (const WCHAR* side : {u"marginBottom", u"marginRight", u"marginLeft"})
                bar->SetStyle(side, u"2");
        }
        v->SetAttribute(kAtomScrollBoth, u"12", true, false);
        h->SetAttribute(kAtomScrollBoth, u"7", true, false);
        UpdateScrollbarCornerMargins(v, h, true, root);
        EXPECT_EQ(MarginOf(v, kStyle_marginBottom), 14);
        EXPECT_EQ(MarginOf(h, c.horizontalMargin), 9);
        int other = c.horizontalMargin == kStyle_marginLeft ? kStyle_marginRight : kStyle_marginLeft;
        EXPECT_EQ(MarginOf(h, other), 2);
        EXPECT_EQ(MarginOf(h, kStyle_marginBottom), 2);
        EXPECT_EQ(MarginOf(v, kStyle_marginRight), 2);
        UpdateScrollbarCornerMargins(v, h, false, root);
        for (oxBox* bar : {v, h}) {
            for (int side : {kStyle_marginBottom, kStyle_marginRight, kStyle_marginLeft})
                EXPECT_EQ(MarginOf(bar, side), 2);
        }
        // A missing bar or amount changes nothing of the other.
        h->RemoveAttribute(kAtomScrollBoth);
        UpdateScrollbarCornerMargins(nullptr, h, true, root);
        EXPECT_EQ(MarginOf(h, c.horizontalMargin), 2);
        EXPECT_EQ(MarginOf(v, kStyle_marginBottom), 2);
        root->Release();
        root = nullptr;
    }
}

TEST_F(FlexLayoutTest, ArrangingKeepsTheCornerFreeOnlyWhileBothBarsShow) {
    root = Make(kAtomVbox);
    oxBox* list = Make(kAtomVbox,
                       {{u"width", u"40"},
                        {u"height", u"30"},
                        {u"maxWidth", u"auto"},
                        {u"maxHeight", u"auto"},
                        {u"overflow", u"scroll"}},
                       root);
    oxBox* content = Make(kAtomBox, {{u"width", u"20"}, {u"height", u"100"}}, list);
    oxBox* v = list->CreateScrollbar(true);
    oxBox* h = list->CreateScrollbar(false);
    ASSERT_TRUE(v && h);
    v->SetStyle(u"width", u"6");
    h->SetStyle(u"height", u"6");
    v->SetAttribute(kAtomScrollBoth, u"6", true, false);
    h->SetAttribute(kAtomScrollBoth, u"6", true, false);

    ArrangeLayoutRoot(root, 100, 200); // only the content's height overflows
    EXPECT_FALSE(v->IsEffectivelyHidden());
    EXPECT_TRUE(h->IsEffectivelyHidden());
    EXPECT_EQ(MarginOf(v, kStyle_marginBottom), 0);
    EXPECT_EQ(v->GetBoxRect().height, 30);

    content->SetStyle(u"width", u"100");
    for (int pass = 0; pass < 2; ++pass) { // arranging again keeps the margins once
        ArrangeLayoutRoot(root, 100, 200);
        ASSERT_FALSE(v->IsEffectivelyHidden());
        ASSERT_FALSE(h->IsEffectivelyHidden());
        EXPECT_EQ(MarginOf(v, kStyle_marginBottom), 6);
        EXPECT_EQ(MarginOf(h, kStyle_marginRight), 6);
        EXPECT_EQ(v->GetBoxRect().height, 24);
        EXPECT_EQ(h->GetBoxRect().width, 34);
    }

    content->SetStyle(u"width", u"20");
    ArrangeLayoutRoot(root, 100, 200);
    EXPECT_TRUE(h->IsEffectivelyHidden());
    EXPECT_EQ(MarginOf(v, kStyle_marginBottom), 0);
    EXPECT_EQ(MarginOf(h, kStyle_marginRight), 0);
    EXPECT_EQ(v->GetBoxRect().height, 30);
}

TEST_F(FlexLayoutTest, FactoriesMakeBoxesAndLayoutsByAtom) {
    auto* boxes = new oxBoxFactory;
    boxes->AddRef();
    for (oxAtom kind : {oxAtom(kAtomBox), oxAtom(kAtomHbox), oxAtom(kAtomVbox), oxAtom(kAtomRows), oxAtom(0),
                        oxAtom(kAtomNativeText), oxAtom(kAtomDatagrid)}) {
        oxBox* box = boxes->CreateBox(kind, 0, kAtomNativeText);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->GetTag(), kAtomNativeText);
        EXPECT_EQ(box->GetRefCount(), 1u);
        box->Release();
    }
    EXPECT_EQ(boxes->Release(), 0u);

    oxLayoutFactory layouts;
    oxLayout* out = nullptr;
    EXPECT_EQ(layouts.CreateDefaultLayout(0, &out), 0);
    EXPECT_EQ(layouts.CreateDefaultLayout(kAtomSelect, &out), 1);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->GetLayoutType(), kAtomFlex);
    oxLayout* kept = out;
    oxLayoutName name{0, kAtomBox};
    EXPECT_EQ(layouts.CreateLayout(&name, &out), 1);
    EXPECT_EQ(out, kept);
    delete out;
}

// Records what the paint pass asks of the painter, in order.
class Recorder : public oxBoxPaintServices {
public:
    bool GetClipRect(oxCanvas*, oxRect* out) override {
        if (!clip) return false;
        *out = *clip;
        return true;
    }
    void BeginBoxPaint(oxCanvas*, oxBox* box) override {
        Log("begin", box);
        painting.push_back(box);
    }
    void EndBoxPaint(oxCanvas*, oxBox* box) override {
        painting.pop_back();
        Log("end", box);
    }
    void PaintBoxFill(oxCanvas*, oxBoxScene*, const oxRect&, oxBoxStyle*) override { Log("fill", painting.back()); }
    void PaintBoxStroke(oxCanvas*, oxBoxScene*, const oxRect&, oxBoxStyle*) override { Log("stroke", painting.back()); }
    oxCanvas* CreateBoxLayerCanvas(oxBox* box, int32_t, int32_t) override {
        Log("layer", box);
        return nullptr;
    }
    void OffsetOrigin(oxCanvas*, int32_t dx, int32_t dy) override { origin.x += dx, origin.y += dy; }
    void Log(const char* what, oxBox* box) {
        WCHAR name[64] = u"?";
        oxAtoms::GetName(box ? box->GetId() : 0, name, 64);
        std::string text = what;
        text += ":";
        for (const WCHAR* p = name; *p; ++p)
            text += char(*p);
        log.push_back(text);
    }
    std::vector<std::string> log;
    const oxRect* clip = nullptr;
    std::vector<oxBox*> painting; // the boxes between their begin and end
    oxPoint origin;               // where the origin offsets have moved the canvas
};

class BoxPaintTest : public FlexLayoutTest {
protected:
    void SetUp() override {
        FlexLayoutTest::SetUp();
        oxSetBoxPaintServices(&recorder);
    }
    void TearDown() override {
        oxSetBoxPaintServices(nullptr);
        FlexLayoutTest::TearDown();
    }
    Recorder recorder;
};

TEST_F(BoxPaintTest, StrokeLayerOrdersTheStrokeAroundTheChildren) {
    root = Make(kAtomVbox, {{u"fill", u"#ff0000"}, {u"stroke", u"#000000"}, {u"strokeLayer", u"above"}});
    root->SetId(oxAtoms::Intern(u"root"));
    oxBox* child = Make(kAtomBox, {{u"fill", u"#00ff00"}, {u"stroke", u"#000000"}}, root);
    child->SetId(oxAtoms::Intern(u"kid"));
    ArrangeLayoutRoot(root, 50, 50);
    root->Paint(nullptr);
    // The child's stroke lies below its content ("below" is the default); the root's comes last.
    std::vector<std::string> want = {"begin:root", "fill:root", "begin:kid",   "fill:kid",
                                     "stroke:kid", "end:kid",   "stroke:root", "end:root"};
    EXPECT_EQ(recorder.log, want);
    EXPECT_FALSE(root->TestChangeFlags(kChangeRepaintPending));
}

// A box's layers in zIndex order: the negative ones between its content and its children, the others
// over the children.
TEST_F(BoxPaintTest, LayersBelowZeroPaintUnderTheChildren) {
    root = Make(kAtomVbox, {{u"fill", u"#ff0000"}});
    root->SetId(oxAtoms::Intern(u"root"));
    oxBox* kid = Make(kAtomBox, {{u"fill", u"#00ff00"}, {u"height", u"10"}}, root);
    kid->SetId(oxAtoms::Intern(u"kid"));
    struct Layer {
        const char* id;
        const WCHAR* z;
    } layers[] = {{"over", u"1"}, {"under", u"-1"}, {"zero", u"0"}, {"deep", u"-5"}};
    for (const Layer& l : layers) {
        oxBox* b = Make(kAtomBox, {{u"fill", u"#0000ff"}, {u"zIndex", l.z}}, root);
        b->SetId(oxAtoms::Intern(std::u16string(l.id, l.id + strlen(l.id)).c_str()));
        b->ResolveStyle();
        b->SetChangeFlag(kChangeLayered, true);
        oxBox::AddLayer(root, b);
    }
    EXPECT_EQ(root->GetLayerBoundary(), 2);
    ArrangeLayoutRoot(root, 50, 50);
    root->Paint(nullptr);
    std::vector<std::string> want = {"begin:root", "fill:root", "begin:deep", "fill:deep", "end:deep",
                                     "begin:under", "fill:under", "end:under", "begin:kid", "fill:kid",
                                     "end:kid", "begin:zero", "fill:zero", "end:zero", "begin:over",
                                     "fill:over", "end:over", "end:root"};
    EXPECT_EQ(recorder.log, want);
}

TEST_F(BoxPaintTest, BoxOnlyTouchingTheClipIsCulledAndStillCleared) {
    root = Make(kAtomBox, {{u"fill", u"#ff0000"}});
    ArrangeLayoutRoot(root, 10, 10);
    oxRect clip{10, 0, 5, 5};
    recorder.clip = &clip;
    root->Paint(nullptr);
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_FALSE(root->TestChangeFlags(kChangeRepaintPending | kChangeSubtreeDirty));
}

TEST_F(BoxPaintTest, OwnCanvasOnlyForBoxesThatCompositeAsAWhole) {
    root = Make(kAtomBox, {{u"opacity", u"100"}});
    EXPECT_FALSE(root->NeedsOwnCanvas());
    root->SetStyle(u"opacity", u"50");
    EXPECT_TRUE(root->NeedsOwnCanvas());
}

TEST_F(BoxPaintTest, StrokeReachesHalfItsWidthOutside) {
    root = Make(kAtomBox, {{u"stroke", u"#000000"}, {u"strokeWidth", u"5"}});
    const int16_t* o = root->GetPaintOutsets();
    EXPECT_EQ(std::vector<int>(o, o + 4), (std::vector<int>{2, 2, 2, 2}));
}

} // namespace

namespace {

// Where sizes add up they saturate: style lengths count at most kMaxLength and a run's sum stops at
// kMaxLengthSum, so extreme values never wrap into sizes or places of the wrong sign.
TEST_F(FlexLayoutTest, ExtremeLengthsSaturateWhereTheyAddUp) {
    const WCHAR* names[] = {u"width", u"minWidth", u"marginLeft", u"marginRight", u"paddingLeft", u"hSpace"};
    const WCHAR* values[] = {u"2000000000", u"2147483647", u"-2000000000", u"-2147483648"};
    for (int n = 0; n < 6; ++n) {
        for (int v = 0; v < 4; ++v) {
            const WCHAR *name = names[n], *value = values[v];
            SCOPED_TRACE(testing::Message() << "property " << n << ", value " << v);
            if (root) root->Release();
            root = Make(kAtomHbox, {{u"marginLeft", value}, {u"marginRight", value}, {name, value}});
            oxBox* first = Make(kAtomBox, {{name, value}, {u"marginRight", value}}, root);
            oxBox* second = Make(kAtomBox, {{name, value}}, root);
            ArrangeLayoutRoot(root, 480, 100);
            const bool positive = value[0] != u'-';
            for (oxBox* child : {static_cast<oxBox*>(root), first, second}) {
                EXPECT_GE(child->GetPacked(1).x, positive ? 0 : -kMaxLength);
                EXPECT_LE(child->GetPacked(1).x, kMaxLength);
            }
            // Lengths that push the second child on never bring it back before the first.
            if (positive) {
                EXPECT_GE(second->GetPacked(0).x, first->GetPacked(0).x);
            }
            auto* layout = static_cast<oxFlexLayout*>(root->GetLayout());
            EXPECT_GE(layout->GetContentWidth(), positive ? 0 : -kMaxLengthSum);
            EXPECT_LE(layout->GetContentWidth(), kMaxLengthSum);
        }
    }
}

} // namespace

namespace {

// An embedded scene's box, whose background notes where the canvas origin stood.
class EmbeddedSceneBox : public oxBox {
public:
    EmbeddedSceneBox(oxAtom tag, Recorder* recorder) : oxBox(tag), recorder_(recorder) {}
    oxAtom GetBoxType() const override { return kAtomEmbeddedScene; }
    void PaintBackground(oxCanvas*) override {
        WCHAR name[16] = u"?";
        oxAtoms::GetName(GetId(), name, 16);
        std::string text = "background:";
        for (const WCHAR* p = name; *p; ++p)
            text += char(*p);
        recorder_->log.push_back(text + "@" + std::to_string(recorder_->origin.x) + "," +
                                 std::to_string(recorder_->origin.y));
    }

private:
    Recorder* recorder_;
};

TEST_F(BoxPaintTest, AnMDIContainerPaintsItsEmbeddedScenesBackgroundsWhereTheyStand) {
    root = Make(kAtomVbox);
    auto* desk = new oxMDIContainerBox(kAtomMDIContainer);
    desk->SetScene(&scene);
    root->AddChild(desk);
    desk->SetBoxPosition({5, 7});
    struct Child {
        const char16_t* id;
        oxPoint at;
        bool hidden, embedded;
    } children[] = {{u"a", {10, 20}, false, true}, {u"h", {1, 1}, true, true}, {u"p", {2, 2}, false, false},
                    {u"b", {40, 30}, false, true}};
    for (const Child& c : children) {
        oxBox* child = c.embedded ? new EmbeddedSceneBox(kAtomBox, &recorder) : new oxBox(kAtomBox);
        child->SetScene(&scene);
        child->SetId(oxAtoms::Intern(c.id));
        desk->AddChild(child);
        child->SetBoxPosition(c.at);
        if (c.hidden) child->SetHidden(true);
    }
    recorder.log.clear();
    desk->Paint(nullptr);
    // Each shown embedded scene twice: in its own paint, and by the container at the offset of its
    // place in the frame from the container's, with the origin put back after each.
    std::vector<std::string> backgrounds;
    for (const std::string& line : recorder.log)
        if (line.rfind("background:", 0) == 0) backgrounds.push_back(line);
    const std::vector<std::string> want = {"background:a@0,0", "background:b@0,0", "background:a@10,20",
                                           "background:b@40,30"};
    EXPECT_EQ(backgrounds, want);
    EXPECT_EQ(recorder.origin.x, 0);
    EXPECT_EQ(recorder.origin.y, 0);
}

} // namespace
