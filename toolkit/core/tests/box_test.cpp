#include "toolkit/core/box.h"
#include "toolkit/core/box_change_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/wide_string.h"
#include "toolkit/core/box_dump.h"
#include "toolkit/core/box_gadget.h"
#include "toolkit/core/box_scene.h"

namespace {

// A box that reports its own type, records announcements and counts deletions.
class TestBox : public oxBox {
public:
    TestBox(oxAtom tag, oxAtom type = kAtomBox, int* deaths = nullptr) : oxBox(tag), type_(type), deaths_(deaths) {}
    ~TestBox() override {
        if (deaths_) ++*deaths_;
    }
    oxAtom GetBoxType() const override { return type_; }
    void NotifyAttributeChange(oxAtom attribute, bool changed, bool notify) override {
        (void)notify;
        notes.emplace_back(attribute, changed);
    }
    std::vector<std::pair<oxAtom, bool>> notes;

private:
    oxAtom type_;
    int* deaths_;
};

class TestScene : public oxBoxScene {
public:
    oxBox* CreateBox(oxAtom ns, oxAtom tag) override {
        (void)ns;
        return new TestBox(tag, kAtomBox, &deaths);
    }
    oxBox* CreateBoxOfType(oxAtom type, oxAtom tag) override { return new TestBox(tag, type, &deaths); }
    void UnregisterBoxId(oxBox* box, oxAtom id) override { unregistered.emplace_back(box, id); }
    oxBox* FindBoxById(oxAtom id) override { return id == byIdAtom ? byIdBox : nullptr; }
    oxBox* GetRootBox() override { return root; }
    oxElement* GetLibraryElement() override { return &library; }
    bool IsRunning() const override { return running; }
    void OnBoxDestroyed(oxBox* box) override {
        if (onDestroyed) onDestroyed(box);
    }

    int deaths = 0;
    bool running = false;
    oxBox* root = nullptr;
    oxAtom byIdAtom = 0;
    oxBox* byIdBox = nullptr;
    oxElement library;
    std::vector<std::pair<oxBox*, oxAtom>> unregistered;
    std::function<void(oxBox*)> onDestroyed;
};

class oxBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        oxAtoms::Clear();
        oxAtoms::RegisterPredefined();
    }
    void TearDown() override { oxAtoms::Clear(); }

    // A parent with `n` plain children; the caller releases the parent.
    TestBox* MakeParent(int n, std::vector<oxBox*>& kids) {
        auto* parent = new TestBox(kAtomVbox, kAtomBox, &deaths);
        for (int i = 0; i < n; ++i) {
            kids.push_back(new TestBox(kAtomBox, kAtomBox, &deaths));
            parent->AddChild(kids.back());
        }
        return parent;
    }

    static std::vector<int> Indexes(oxBox* parent) {
        std::vector<int> out;
        for (int i = 0; i < parent->GetChildCount(); ++i)
            out.push_back(parent->GetChildAt(i, false)->GetIndex());
        return out;
    }

    static std::string Dump(const oxBox* root) {
        NUBO::TWString text;
        oxDumpBoxTree(root, text);
        std::string out;
        for (int i = 0; i < text.GetLength(); ++i)
            out += char(text.GetAt(i));
        return out;
    }

    int deaths = 0;
};

TEST_F(oxBoxTest, ConstructionByTag) {
    struct Case {
        oxAtom tag;
        uint32_t change;
        uint32_t state;
    };
    const Case cases[] = {
        {kAtomBox, 0x00840217, 0},
        {kAtomHbox, 0x00840217, 0},
        {kAtomRows, 0x00800217, kStateExcluded},
        {kAtomColumns, 0x00800217, 0},
    };
    for (const Case& c : cases) {
        oxBox* box = new oxBox(c.tag);
        EXPECT_EQ(box->GetChangeFlags(), c.change) << c.tag;
        EXPECT_EQ(box->GetStateFlags(), c.state) << c.tag;
        EXPECT_EQ(box->GetFocusMode(), kModeFocusIgnore);
        EXPECT_EQ(box->GetNamespace(), kAtomBoxNamespace);
        EXPECT_EQ(box->GetTag(), c.tag);
        EXPECT_EQ(box->GetBoxType(), kAtomBox);
        EXPECT_EQ(box->GetIndex(), -1);
        EXPECT_EQ(box->GetChildCount(), 0);
        EXPECT_TRUE(box->IsBox());
        EXPECT_EQ(box->GetRefCount(), 1u);
        box->Release();
    }
}

TEST_F(oxBoxTest, InsertPositionsAndIndexes) {
    std::vector<oxBox*> kids;
    TestBox* parent = MakeParent(3, kids);
    auto* first = new TestBox(kAtomBox);
    auto* last = new TestBox(kAtomBox);
    auto* middle = new TestBox(kAtomBox);
    oxBox* add[] = {first, last, middle};
    parent->InsertChildrenAt(0, &add[0], 1, nullptr, false);
    parent->InsertChildrenAt(99, &add[1], 1, nullptr, false);
    parent->InsertChildrenAt(2, &add[2], 1, nullptr, false);
    ASSERT_EQ(parent->GetChildCount(), 6);
    EXPECT_EQ(parent->GetChildAt(0, false), first);
    EXPECT_EQ(parent->GetChildAt(2, false), middle);
    EXPECT_EQ(parent->GetChildAt(5, false), last);
    EXPECT_EQ(parent->GetChildAt(6, false), nullptr);
    EXPECT_EQ(Indexes(parent), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(parent->GetChildAt(i, false)->GetParent(), parent);
    parent->Release();
}

TEST_F(oxBoxTest, CapacityDoublesWithTheInsertedCountAndEmptyingFreesTheArray) {
    std::vector<oxBox*> kids;
    TestBox* parent = MakeParent(1, kids);
    EXPECT_EQ(parent->GetChildCapacity(), 2);
    parent->AddChild(new TestBox(kAtomBox));
    EXPECT_EQ(parent->GetChildCapacity(), 2);
    oxBox* three[] = {new TestBox(kAtomBox), new TestBox(kAtomBox), new TestBox(kAtomBox)};
    parent->InsertChildrenAt(-1, three, 3, nullptr, false);
    EXPECT_EQ(parent->GetChildCapacity(), 10);
    EXPECT_EQ(parent->GetChildCount(), 5);
    while (parent->GetChildCount() > 0)
        parent->RemoveChildAt(0, false)->Release();
    EXPECT_EQ(parent->GetChildCapacity(), 0);
    EXPECT_EQ(parent->RemoveChildAt(0, false), nullptr);
    parent->AddChild(new TestBox(kAtomBox));
    EXPECT_EQ(parent->GetChildCapacity(), 2);
    parent->Release();
}

TEST_F(oxBoxTest, InsertingAChildOfAnotherParentMovesIt) {
    std::vector<oxBox*> a, b;
    TestBox* left = MakeParent(3, a);
    TestBox* right = MakeParent(1, b);
    right->AddChild(a[1]);
    EXPECT_EQ(left->GetChildCount(), 2);
    EXPECT_EQ(Indexes(left), (std::vector<int>{0, 1}));
    EXPECT_EQ(left->GetChildAt(1, false), a[2]);
    EXPECT_EQ(a[1]->GetParent(), right);
    EXPECT_EQ(a[1]->GetIndex(), 1);
    // Moving within one parent: the last child to the front.
    right->InsertChildrenAt(0, &a[1], 1, nullptr, false);
    EXPECT_EQ(right->GetChildAt(0, false), a[1]);
    EXPECT_EQ(right->GetChildAt(1, false), b[0]);
    EXPECT_EQ(Indexes(right), (std::vector<int>{0, 1}));
    left->Release();
    right->Release();
    EXPECT_EQ(deaths, 6);
}

TEST_F(oxBoxTest, RemoveGivesTheChildBackAliveAndRefusesStrangers) {
    std::vector<oxBox*> kids;
    TestBox* parent = MakeParent(3, kids);
    auto* stranger = new TestBox(kAtomBox);
    EXPECT_EQ(parent->RemoveChild(stranger, false), nullptr);
    EXPECT_EQ(parent->RemoveChild(nullptr, false), nullptr);
    oxBox* removed = parent->RemoveChild(kids[0], false);
    EXPECT_EQ(removed, kids[0]);
    EXPECT_EQ(removed->GetParent(), nullptr);
    EXPECT_EQ(removed->GetIndex(), -1);
    EXPECT_EQ(Indexes(parent), (std::vector<int>{0, 1}));
    EXPECT_EQ(deaths, 0);
    removed->Release();
    stranger->Release();
    parent->Release();
}

// A box inserted under itself or a descendant would make the tree a cycle; such inserts are refused.
TEST_F(oxBoxTest, RefusesCyclesAndRepeatedChildren) {
    std::vector<oxBox*> kids;
    TestBox* root = MakeParent(1, kids);
    auto* grand = new TestBox(kAtomBox);
    kids[0]->AddChild(grand);
    grand->AddChild(root);
    kids[0]->AddChild(kids[0]);
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_EQ(grand->GetChildCount(), 0);
    EXPECT_EQ(kids[0]->GetChildCount(), 1);
    auto* twice = new TestBox(kAtomBox);
    oxBox* list[] = {twice, nullptr, twice};
    root->InsertChildrenAt(-1, list, 3, nullptr, false);
    EXPECT_EQ(root->GetChildCount(), 2);
    EXPECT_EQ(Indexes(root), (std::vector<int>{0, 1}));
    // Past four entries the list is gathered on the heap; the same rules hold there.
    auto* a = new TestBox(kAtomBox);
    auto* b = new TestBox(kAtomBox);
    oxBox* longer[] = {twice, a, root, nullptr, b, kids[0], a};
    root->InsertChildrenAt(0, longer, 7, nullptr, false);
    EXPECT_EQ(root->GetChildCount(), 4);
    EXPECT_EQ(Indexes(root), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(root->GetChildAt(0, false), twice);
    EXPECT_EQ(root->GetChildAt(2, false), b);
    EXPECT_EQ(root->GetChildAt(3, false), kids[0]);
    root->Release();
    EXPECT_EQ(deaths, 2); // the root and its first child; the others are plain TestBoxes
}

TEST_F(oxBoxTest, PartNamesSetTheOwner) {
    auto* gadget = new TestBox(kAtomBox);
    auto* part = new TestBox(kAtomBox);
    auto* inner = new TestBox(kAtomBox);
    gadget->AddChild(part, u"part");
    EXPECT_EQ(part->GetOwner(), gadget);
    part->AddChild(inner, u"descendantPart");
    EXPECT_EQ(inner->GetOwner(), gadget);
    EXPECT_EQ(part->FindPart(kAtom_gadget), gadget);
    EXPECT_EQ(inner->FindPart(kAtom_gadgetParent), nullptr);
    // Taking the part out clears that owner on it and below it.
    gadget->RemoveChild(part, false);
    EXPECT_EQ(part->GetOwner(), nullptr);
    EXPECT_EQ(inner->GetOwner(), nullptr);
    part->Release();
    gadget->Release();
}

TEST_F(oxBoxTest, DisabledAndHiddenFlowDownAndLeaveOnRemoval) {
    std::vector<oxBox*> kids;
    TestBox* parent = MakeParent(1, kids);
    auto* grand = new TestBox(kAtomBox);
    kids[0]->AddChild(grand);
    parent->SetDisabled(true, false);
    EXPECT_STREQ(reinterpret_cast<const char*>(grand->GetAttribute(kAtomDisabled)),
                 reinterpret_cast<const char*>(u"true"));
    EXPECT_TRUE(grand->IsEffectivelyDisabled());
    EXPECT_FALSE(grand->GetStateFlags() & kStateDisabled);

    auto* late = new TestBox(kAtomBox);
    parent->AddChild(late);
    EXPECT_TRUE(late->IsEffectivelyDisabled());
    EXPECT_FALSE(late->GetStateFlags() & kStateDisabled);
    parent->RemoveChild(late, false);
    EXPECT_FALSE(late->IsEffectivelyDisabled());

    parent->SetHidden(true);
    EXPECT_TRUE(grand->GetStateFlags() & kStateHiddenByAncestor);
    EXPECT_TRUE(grand->IsEffectivelyHidden());
    EXPECT_FALSE(grand->IsVisibleAndEnabled());
    parent->SetHidden(false);
    EXPECT_FALSE(grand->IsEffectivelyHidden());

    // A box that is itself hidden keeps bit 22 off its own children when its parent hides.
    kids[0]->SetHidden(true);
    parent->SetHidden(true);
    parent->SetHidden(false);
    EXPECT_TRUE(grand->GetStateFlags() & kStateHiddenByAncestor);
    kids[0]->SetHidden(false);
    EXPECT_FALSE(grand->IsEffectivelyHidden());
    late->Release();
    parent->Release();
}

TEST_F(oxBoxTest, StateSettersAnnounce) {
    auto* box = new TestBox(kAtomBox);
    box->SetSelected(true, false);
    box->SetSelected(true, false);
    box->SetOverflowed(false); // unchanged: returns quietly
    box->SetOrnament(true);    // never announced
    box->SetDisabled(true, false);
    box->SetHovered(true, false); // refused on a disabled box
    EXPECT_FALSE(box->GetStateFlags() & kStateHovered);
    EXPECT_TRUE(box->GetStateFlags() & kStateOrnament);
    const std::vector<std::pair<oxAtom, bool>> expected = {
        {kAtomSelected, true}, {kAtomSelected, false}, {kAtomDisabled, true}, {kAtomHovered, false}};
    EXPECT_EQ(box->notes, expected);
    box->Release();
}

TEST_F(oxBoxTest, ModeSettersReplaceOnlyTheirGroup) {
    auto* box = new TestBox(kAtomBox);
    box->SetFocusMode(kModeFocusNormal);
    box->SetDragMode(kModeDragMove);
    box->SetSelectMode(kModeSelectMultiple);
    box->SetSelectMode(kModeSelectMultiple);
    box->SetFocusMode(0x8000); // "cursor": no focus bit, nothing happens
    EXPECT_EQ(box->GetFocusMode(), kModeFocusNormal);
    EXPECT_EQ(box->GetDragMode(), kModeDragMove);
    EXPECT_EQ(box->GetSelectMode(), kModeSelectMultiple);
    EXPECT_EQ(box->GetModeFlags(), kModeFocusNormal | kModeDragMove | kModeSelectMultiple);
    const std::vector<std::pair<oxAtom, bool>> expected = {
        {kAtomFocusMode, true}, {kAtomDragMode, true}, {kAtomSelectMode, true}, {kAtomSelectMode, false}};
    EXPECT_EQ(box->notes, expected);
    EXPECT_TRUE(box->IsFocusable());
    box->SetCollapsed(true, false);
    EXPECT_FALSE(box->IsFocusable());
    box->Release();
}

TEST_F(oxBoxTest, ChangeLogKeepsOneEntryPerIdFromBeforeTheFirstChange) {
    auto* box = new TestBox(kAtomBox);
    box->StoreAttribute(kAtomTitle, u"kept", true);
    box->SetStateFlag(kStateRecordPrior, true);
    box->SetSelected(true, false);
    box->SetSelected(false, false);
    box->StoreAttribute(kAtomLabel, u"one", true); // had none
    box->StoreAttribute(kAtomLabel, u"two", true);
    box->StoreAttribute(kAtomTitle, u"changed", true);
    box->RemoveAttribute(kAtomTitle);
    box->SetDisabled(true, false);
    const oxBoxChangeLog* log = box->GetChangeLog();
    ASSERT_NE(log, nullptr);
    // One entry per state bit and per attribute: the value from before the first change.
    const auto& e = log->GetEntries();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].kind, oxBoxChangeLog::kState);
    EXPECT_EQ(e[0].id, kStateSelected);
    EXPECT_EQ(std::u16string(e[0].text.GetString()), u"false");
    EXPECT_EQ(e[1].kind, oxBoxChangeLog::kRemoveAttribute);
    EXPECT_EQ(e[1].id, kAtomLabel);
    EXPECT_EQ(e[2].kind, oxBoxChangeLog::kAttribute);
    EXPECT_EQ(e[2].id, kAtomTitle);
    EXPECT_EQ(std::u16string(e[2].text.GetString()), u"kept");
    // The bit of "disabled" (1024) and an attribute atom of the same number are two entries.
    EXPECT_EQ(e[3].id, kStateDisabled);
    EXPECT_TRUE(log->Contains(oxBoxChangeLog::kState, kStateDisabled));
    EXPECT_FALSE(log->Contains(oxBoxChangeLog::kAttribute, kStateDisabled));

    // Replaying puts the box back as it was before the changes and empties the log.
    box->ReplayChangeLog();
    EXPECT_EQ(box->GetChangeLog(), nullptr);
    EXPECT_EQ(box->GetAttributeText(kAtomLabel), nullptr);
    EXPECT_EQ(std::u16string(box->GetAttributeText(kAtomTitle)), u"kept");
    EXPECT_FALSE(box->GetStateFlags() & (kStateSelected | kStateDisabled));
    EXPECT_TRUE(box->GetStateFlags() & kStateRecordPrior);
    // A child inserted under a recording box records too.
    auto* child = new TestBox(kAtomBox);
    box->AddChild(child);
    EXPECT_TRUE(child->GetStateFlags() & kStateRecordPrior);
    box->Release();
}

TEST_F(oxBoxTest, StoredAttributes) {
    auto* box = new TestBox(kAtomBox);
    EXPECT_TRUE(box->StoreAttribute(kAtomLabel, u"Hello", true));
    EXPECT_FALSE(box->StoreAttribute(kAtomLabel, u"Hello", true));
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomLabel)), u"Hello");
    EXPECT_TRUE(box->StoreAttribute(kAtomLabel, u"", true));
    EXPECT_EQ(box->GetAttribute(kAtomLabel), nullptr);
    EXPECT_EQ(box->GetAttribute(kAtomId), nullptr);
    box->SetMarkupAttribute(kAtomBoxNamespace, kAtomId, u"main");
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomId)), u"main");
    EXPECT_EQ(box->GetAttributeText(kAtomId), nullptr);
    box->StoreAttribute(kAtomAnchor, u"x", true);
    EXPECT_TRUE(box->TestChangeFlags(kChangeHasAnchor));
    box->Release();
}

TEST_F(oxBoxTest, SpecialPartsAndNavigation) {
    TestScene scene;
    auto* control = new TestBox(kAtomBox, kAtomControl);
    auto* select = new TestBox(kAtomBox, kAtomSelect);
    auto* a = new TestBox(kAtomBox);
    auto* b = new TestBox(kAtomBox);
    auto* c = new TestBox(kAtomBox);
    control->AddChild(select);
    select->AddChild(a);
    select->AddChild(b);
    a->AddChild(c);
    control->AttachSubtreeToScene(&scene);
    scene.root = control;
    scene.byIdAtom = oxAtoms::Intern(u"target");
    scene.byIdBox = b;

    EXPECT_EQ(c->GetSpecialPart(kAtom_control), select);
    EXPECT_EQ(a->GetSpecialPart(kAtom_nextSibling), b);
    EXPECT_EQ(b->GetSpecialPart(kAtom_prevSibling), a);
    EXPECT_EQ(a->GetSpecialPart(kAtom_prevSibling), nullptr);
    EXPECT_EQ(c->GetSpecialPart(kAtom_root), control);
    EXPECT_EQ(c->GetSpecialPart(kAtom_self), c);
    EXPECT_EQ(c->GetSpecialPart(kAtom_parent), a);
    EXPECT_EQ(c->FindPart(scene.byIdAtom), b);
    EXPECT_EQ(c->GetSpecialPart(0), nullptr);
    EXPECT_TRUE(control->IsAncestorOf(c));
    EXPECT_FALSE(c->IsAncestorOf(c));

    std::vector<oxBox*> order;
    for (oxBox* x = control; x; x = x->GetNextBox(nullptr, false, false))
        order.push_back(x);
    EXPECT_EQ(order, (std::vector<oxBox*>{control, select, a, c, b}));
    std::vector<oxBox*> back;
    for (oxBox* x = b; x; x = x->GetPreviousBox())
        back.push_back(x);
    // Backwards each step prefers the last child, so it is not document order reversed.
    EXPECT_EQ(back, (std::vector<oxBox*>{b, a, c}));
    a->SetCollapsed(true, false);
    EXPECT_EQ(a->GetNextBox(nullptr, false, true), b);
    EXPECT_EQ(c->GetNextBox(a, false, false), nullptr); // never climbs past stopAt
    control->Release();
    EXPECT_EQ(scene.deaths, 0); // the boxes were not made by the scene's factory
}

TEST_F(oxBoxTest, ScrollBarsLeaveTheSceneWithTheBoxTheyScroll) {
    TestScene scene;
    auto* root = new TestBox(kAtomVbox, kAtomBox);
    auto* list = new TestBox(kAtomBox);
    root->AddChild(list);
    root->AttachSubtreeToScene(&scene);
    oxBox* bar = list->CreateScrollbar(true);
    ASSERT_NE(bar, nullptr);
    bar->SetScene(&scene); // as a markup scene makes it
    // A box that outlives its scene (an event still holds it) must not leave its bars naming it.
    root->AttachSubtreeToScene(nullptr);
    EXPECT_EQ(list->GetScene(), nullptr);
    EXPECT_EQ(bar->GetScene(), nullptr);
    root->Release();
}

TEST_F(oxBoxTest, DestroyingTheChildrenDropsTheScrollBars) {
    TestScene scene;
    auto* list = new TestBox(kAtomBox);
    list->AddChild(new TestBox(kAtomBox));
    list->AttachSubtreeToScene(&scene);
    oxBox* vertical = list->CreateScrollbar(true);
    ASSERT_NE(vertical, nullptr);
    ASSERT_NE(list->CreateScrollbar(false), nullptr);
    vertical->AddRef();
    list->DestroyChildren();
    EXPECT_EQ(list->GetChildCount(), 0);
    EXPECT_EQ(list->FindVScrollBar(), nullptr);
    EXPECT_EQ(list->FindHScrollBar(), nullptr);
    EXPECT_EQ(vertical->GetRefCount(), 1) << "the list let go of its bar";
    vertical->Release();
    list->AttachSubtreeToScene(nullptr);
    list->Release();
}

TEST_F(oxBoxTest, MarkupChildrenAreMadeThroughTheScene) {
    TestScene scene;
    auto* root = new TestBox(kAtomVbox, kAtomBox, &deaths);
    oxElement* out = nullptr;
    EXPECT_EQ(root->CreateChildElement(kAtomBoxNamespace, kAtomHbox, &out), kElementNotHandled); // no scene
    root->AttachSubtreeToScene(&scene);
    EXPECT_EQ(root->CreateChild(kAtomBoxNamespace, kAtomHbox, &out, true), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->IsBox());
    EXPECT_EQ(out->GetTag(), kAtomHbox);
    EXPECT_EQ(static_cast<oxBox*>(out)->GetParent(), root);
    EXPECT_EQ(static_cast<oxBox*>(out)->GetScene(), &scene);
    EXPECT_EQ(root->CreateChildElement(kAtomBoxNamespace, kAtomContent, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(root->CreateChildElement(kAtomResourceNamespace, kAtomLibrary, &out), 0);
    EXPECT_EQ(out, &scene.library);
    EXPECT_EQ(root->CreateChildElement(kAtomStyleNamespace, kAtomBox, &out), kElementNotHandled);
    EXPECT_EQ(root->GetChildCount(), 1);
    root->Release();
    EXPECT_EQ(deaths + scene.deaths, 2);
}

TEST_F(oxBoxTest, SettingAnIdUnregistersTheOldOne) {
    TestScene scene;
    auto* box = new TestBox(kAtomBox);
    box->AttachSubtreeToScene(&scene);
    box->SetMarkupAttribute(kAtomBoxNamespace, kAtomId, u"first");
    box->SetMarkupAttribute(kAtomBoxNamespace, kAtomId, u"second");
    box->SetId(0);
    ASSERT_EQ(scene.unregistered.size(), 1u);
    EXPECT_EQ(scene.unregistered[0].second, oxAtoms::Find(u"first"));
    box->Release();
    ASSERT_EQ(scene.unregistered.size(), 2u);
    EXPECT_EQ(scene.unregistered[1].second, oxAtoms::Find(u"second"));
}

TEST_F(oxBoxTest, DuplicateCopiesFieldsAndSubtree) {
    TestScene scene;
    scene.running = true;
    auto* root = new TestBox(kAtomVbox, kAtomBox, &deaths);
    auto* part = new TestBox(kAtomHbox, kAtomBox, &deaths);
    auto* leaf = new TestBox(kAtomBox, kAtomControl, &deaths);
    root->AddChild(part, u"part");
    part->AddChild(leaf);
    root->SetMarkupAttribute(kAtomBoxNamespace, kAtomId, u"main");
    root->StoreAttribute(kAtomLabel, u"Title", true);
    root->SetFocusMode(kModeFocusNormal);
    root->AttachSubtreeToScene(&scene);
    root->SetHidden(true);
    ASSERT_TRUE(root->TestChangeFlags(kChangeAttached));
    oxBox* loose = new oxBox(kAtomBox);
    EXPECT_EQ(loose->Duplicate(true, false), nullptr); // no scene, no copy
    loose->Release();

    oxBox* copy = part->Duplicate(false, false);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetChildCount(), 0);
    EXPECT_FALSE(copy->GetStateFlags() & kStateHiddenByAncestor);
    EXPECT_FALSE(copy->TestChangeFlags(kChangeAttached));
    EXPECT_TRUE(copy->TestChangeFlags(kChangeConstructed | kChangeStyleDirty));
    copy->Release();

    oxBox* deep = root->Duplicate(true, false);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(Dump(deep), Dump(root));
    EXPECT_EQ(deep->GetChildAt(0, false)->GetOwner(), deep);
    EXPECT_EQ(deep->GetChildAt(0, false)->GetChildAt(0, false)->GetBoxType(), kAtomControl);
    EXPECT_TRUE(deep->GetChildAt(0, false)->TestChangeFlags(kChangeConstructed));
    deep->Release();
    root->Release();
    EXPECT_EQ(deaths, 3);
    EXPECT_EQ(scene.deaths, 4);
}

TEST_F(oxBoxTest, DumpShowsTagTypeIdAttributesAndStates) {
    auto* root = new TestBox(kAtomVbox, kAtomBox);
    auto* row = new TestBox(kAtomHbox, kAtomBox);
    auto* text = new TestBox(kAtomBox, kAtomControl);
    root->AddChild(row);
    root->AddChild(text);
    row->AddChild(new TestBox(kAtomRows));
    root->SetMarkupAttribute(kAtomBoxNamespace, kAtomId, u"main");
    row->StoreAttribute(kAtomLabel, u"Hi", true);
    row->SetDisabled(true, false);
    text->SetFocusMode(kModeFocusNormal);
    EXPECT_EQ(Dump(root), "vbox (box) #main\n"
                          "  hbox (box) label=\"Hi\" [disabled]\n"
                          "    rows (box) [excluded disabledByAncestor]\n"
                          "  box (control) mode=0x2\n");
    EXPECT_EQ(Dump(nullptr), "");
    root->Release();
}

// Trees stop at the depth limit: a child whose subtree would reach deeper stays where it was. Boxes
// die one at a time and the other walks (hiding, disabling, copying) do not recurse either.
TEST_F(oxBoxTest, TreesStopAtTheDepthLimit) {
    TestScene scene;
    auto* root = new TestBox(kAtomBox, kAtomBox, &deaths);
    std::vector<oxBox*> chain{root};
    while (int(chain.size()) < oxBox::kMaxDepth) {
        auto* next = new TestBox(kAtomBox, kAtomBox, &deaths);
        chain.back()->AddChild(next);
        ASSERT_EQ(next->GetParent(), chain.back()) << chain.size();
        chain.push_back(next);
    }
    oxBox* tip = chain.back();
    EXPECT_EQ(tip->GetDepth(), oxBox::kMaxDepth);

    auto* leaf = new TestBox(kAtomBox, kAtomBox, &deaths);
    EXPECT_FALSE(tip->CanTakeChild(leaf));
    tip->AddChild(leaf);
    EXPECT_EQ(leaf->GetParent(), nullptr);
    EXPECT_EQ(tip->GetChildCount(), 0);

    // A two-level subtree fits two levels above the tip only; refused, it keeps its parent. In one
    // list, the children that fit go in and the others stay out.
    auto* pair = new TestBox(kAtomBox, kAtomBox, &deaths);
    chain[0]->AddChild(pair);
    pair->AddChild(leaf);
    oxBox* aboveTip = chain[chain.size() - 2];
    aboveTip->AddChild(pair);
    EXPECT_EQ(pair->GetParent(), chain[0]);
    auto* single = new TestBox(kAtomBox, kAtomBox, &deaths);
    oxBox* list[] = {pair, single};
    aboveTip->InsertChildrenAt(0, list, 2, nullptr, false);
    EXPECT_EQ(pair->GetParent(), chain[0]);
    EXPECT_EQ(single->GetParent(), aboveTip);
    EXPECT_EQ(single->GetIndex(), 0);
    chain[chain.size() - 3]->AddChild(pair);
    EXPECT_EQ(pair->GetParent(), chain[chain.size() - 3]);
    EXPECT_EQ(leaf->GetDepth(), oxBox::kMaxDepth);

    root->SetHidden(true);
    EXPECT_TRUE(tip->IsEffectivelyHidden());
    root->SetDisabled(true, false);
    EXPECT_TRUE(tip->IsEffectivelyDisabled());
    root->AttachSubtreeToScene(&scene);
    oxBox* copy = root->Duplicate(true, false);
    ASSERT_NE(copy, nullptr);
    copy->Release();
    EXPECT_EQ(scene.deaths, oxBox::kMaxDepth + 3);
    root->Release();
    EXPECT_EQ(deaths, oxBox::kMaxDepth + 3);
}

TEST_F(oxBoxTest, DeletionInsideItsOwnCallbacksReturnsEarly) {
    TestScene scene;
    auto* root = new TestBox(kAtomBox, kAtomBox, &deaths);
    auto* child = new TestBox(kAtomBox, kAtomBox, &deaths);
    auto* sibling = new TestBox(kAtomBox, kAtomBox, &deaths);
    root->AddChild(child);
    root->AddChild(sibling);
    root->AttachSubtreeToScene(&scene);
    int calls = 0;
    scene.onDestroyed = [&](oxBox* dying) {
        ++calls;
        EXPECT_TRUE(dying->IsBeingDeleted());
        // A reference taken and dropped and an extra release of the dying box: neither may start a
        // second deletion.
        dying->AddRef();
        dying->Release();
        dying->Release();
        // The children were already unlinked; taking them out again finds nothing.
        if (dying == root) {
            EXPECT_EQ(root->RemoveChild(child, false), nullptr);
        }
    };
    root->Release();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(deaths, 3);
}

// A box released while it still stands in a tree leaves it instead of leaving a dangling child.
TEST_F(oxBoxTest, ReleasingAnAttachedChildTakesItOut) {
    std::vector<oxBox*> kids;
    TestBox* parent = MakeParent(3, kids);
    kids[1]->Release();
    EXPECT_EQ(parent->GetChildCount(), 2);
    EXPECT_EQ(Indexes(parent), (std::vector<int>{0, 1}));
    EXPECT_EQ(parent->GetChildAt(1, false), kids[2]);
    parent->Release();
    EXPECT_EQ(deaths, 4);
}

TEST_F(oxBoxTest, AttributeSinkWritesBoxAttributes) {
    auto* box = new TestBox(kAtomBox);
    oxAttributeSink* sink = box;
    EXPECT_EQ(sink->SetBoxAttribute(kAtomLabel, u"via sink"), 0);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomLabel)), u"via sink");
    box->Release();
}

// A "stack" layer is listed by the nearest stack layer root above its anchor and stands where its
// anchor stands below that root: hit testing and painting find it there. The root of a window is
// taken where its window is.
TEST(BoxLayerOffsets, AStackLayerStandsAtItsAnchorsOffsetInItsRoot) {
    oxAtoms::RegisterPredefined();
    auto* root = new oxBox(kAtomBox);
    auto* mid = new oxBox(kAtomBox);
    auto* anchor = new oxBox(kAtomBox);
    auto* layer = new oxBox(kAtomBox);
    root->AddChild(mid);
    mid->AddChild(anchor);
    root->AddChild(layer);
    root->SetBoxSize({200, 200});
    mid->SetBoxPosition({10, 20});
    mid->SetBoxSize({100, 100});
    anchor->SetBoxPosition({5, 7});
    anchor->SetBoxSize({50, 50});
    layer->SetBoxPosition({1, 2});
    layer->SetBoxSize({10, 10});
    root->SetChangeFlag(kChangeLayered, true);
    root->SetChangeFlag(kChangeLayerStack, true);
    layer->SetAnchor(anchor);
    layer->SetChangeFlag(kChangeLayered, true);
    layer->SetChangeFlag(kChangeLayerStack, true);
    oxBox::AddLayer(root, layer);
    ASSERT_EQ(layer->FindLayerRoot(), root);

    const struct {
        const char* what;
        oxBox* box;
        bool layerRoot; // GetLayerRootOffset, else GetLayerOffset
        oxPoint expected;
    } cases[] = {
        {"the anchor in the stack root", anchor, true, {15, 27}},
        {"the layer through its anchor", layer, true, {16, 29}},
        {"the anchor in the nearest layered box", anchor, false, {15, 27}},
        {"a box right under its root", mid, true, {10, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const oxPoint got = c.layerRoot ? c.box->GetLayerRootOffset() : c.box->GetLayerOffset();
        EXPECT_EQ(got.x, c.expected.x);
        EXPECT_EQ(got.y, c.expected.y);
    }
    // A layered box between them is where the plain layer offset stops, not the stack one.
    mid->SetChangeFlag(kChangeLayered, true);
    EXPECT_EQ(anchor->GetLayerOffset().x, 5);
    EXPECT_EQ(anchor->GetLayerRootOffset().x, 15);
    mid->SetChangeFlag(kChangeLayered, false);

    EXPECT_EQ(root->HitTest({16, 29}), layer) << "the layer's top-left pixel";
    EXPECT_EQ(root->HitTest({25, 38}), layer) << "its bottom-right pixel";
    EXPECT_NE(root->HitTest({26, 39}), layer);
    EXPECT_NE(root->HitTest({2, 3}), layer) << "not where its own position alone would put it";

    // A window's root stands at its window's origin whatever its own position.
    root->SetBoxPosition({300, 400});
    EXPECT_EQ(root->HitTest({5, 5}), nullptr);
    root->SetChangeFlag(kChangeFramed, true);
    EXPECT_EQ(root->HitTest({5, 5}), root);
    EXPECT_EQ(root->HitTest({16, 29}), layer);
    root->SetChangeFlag(kChangeFramed, false);

    layer->SetLayered(false);
    layer->SetAnchor(nullptr);
    root->Release();
}

} // namespace

namespace {

// A gadget whose content goes into one part box.
class ContentGadget : public oxBoxGadget {
public:
    oxElement* GetGadgetElement() override { return nullptr; }
    void AttachBox(oxBox*) override {}
    void DetachBox(oxBox*) override {}
    void OnAttributeChanged(oxBox*, oxAtom, bool) override {}
    bool HandleEvent(oxBox*, oxEvent*) override { return false; }
    bool IsPartWithKey(oxBox*, oxBox*, oxAtom) override { return false; }
    void EnsureScriptObject(oxBox*) override {}
    void AdoptPart(oxBox*, oxBox*) override {}
    oxBox* FindContentPart(oxBox*) override { return part; }
    oxBox* part = nullptr;
};

// The part's own children come first and content starts at its insertion index, which reads 0 while
// the part has no children; the insertion child is the first content child, none without content.
TEST_F(oxBoxTest, ContentGoesInAtThePartsInsertIndex) {
    std::vector<oxBox*> own;
    TestBox* part = MakeParent(0, own);
    EXPECT_EQ(part->GetContentInsertIndex(), 0);
    part->SetContentInsertIndex(5);
    EXPECT_EQ(part->GetContentInsertIndex(), 0) << "clamped to the children there are";
    part->SetContentInsertIndex(-1);
    EXPECT_EQ(part->GetContentInsertIndex(), 0);
    auto* header = new TestBox(kAtomBox);
    auto* footer = new TestBox(kAtomBox);
    part->AddChild(header);
    part->AddChild(footer);
    part->SetContentInsertIndex(1);
    EXPECT_EQ(part->GetContentInsertIndex(), 1);

    ContentGadget gadget;
    gadget.part = part;
    TestBox holder(kAtomBox);
    holder.SetGadget(&gadget);
    holder.SetChangeFlag(kChangeHoldsContent, true);
    EXPECT_EQ(holder.GetContentInsertionChild(false), nullptr) << "the footer is the part's own";
    auto* a = new TestBox(kAtomBox);
    auto* b = new TestBox(kAtomBox);
    holder.AddContentChild(a);
    holder.InsertContentChildAt(0, b, nullptr, false);
    EXPECT_EQ(Indexes(part), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(part->GetChildAt(1, false), b);
    EXPECT_EQ(part->GetChildAt(2, false), a);
    EXPECT_EQ(part->GetChildAt(3, false), footer);
    EXPECT_EQ(holder.GetContentInsertionChild(false), b);
    holder.SetGadget(nullptr);
    EXPECT_EQ(holder.GetContentInsertionChild(false), nullptr) << "no content part";
    part->Release();
}

} // namespace
