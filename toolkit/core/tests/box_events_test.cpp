// Change notification, listeners, events, the box's own attributes read back, anchors and layers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/base/atoms.h"
#include "toolkit/core/box.h"
#include "toolkit/core/dom_event.h"

namespace {

// Records attributeSet events.
class EventBox : public oxBox {
public:
    explicit EventBox(oxAtom tag = kAtomBox) : oxBox(tag) {}
    int32_t HandleEvent(oxEvent* event) override {
        if (event->GetType() == kAtomAttributeSet) events.push_back(static_cast<oxMutationEvent*>(event)->attribute);
        return oxBox::HandleEvent(event);
    }
    std::vector<uint32_t> events;
};

class Listener : public oxChangeListener {
public:
    ULONG AddRef() override { return count++; }
    ULONG Release() override { return --count; }
    void OnAttributeChanged(oxBox* box, oxAtom attribute) override {
        (void)box;
        attributes.push_back(attribute);
        if (removeSelf) box->RemoveChangeListener(this);
    }
    void OnStyleChanged(oxBox*, int propertyId) override { styles.push_back(propertyId); }
    uint32_t count = 0;
    bool removeSelf = false;
    std::vector<oxAtom> attributes;
    std::vector<int> styles;
};

class oxBoxEventsTest : public ::testing::Test {
protected:
    void SetUp() override { oxAtoms::RegisterPredefined(); }
};

TEST_F(oxBoxEventsTest, ListenersHearChangesAndEventsHearEveryStore) {
    auto* box = new EventBox;
    Listener listener;
    box->AddChangeListener(&listener);
    box->AddChangeListener(&listener);
    EXPECT_EQ(box->GetChangeListenerCount(), 1);
    EXPECT_EQ(listener.count, 1u);
    box->SetAttribute(kAtomHidden, u"true", true, false);
    box->StoreAttribute(kAtomLabel, u"a", true);
    box->StoreAttribute(kAtomLabel, u"a", true); // unchanged: an event but no listener call
    EXPECT_EQ(listener.attributes, (std::vector<oxAtom>{kAtomHidden, kAtomLabel}));
    EXPECT_EQ(box->events, (std::vector<uint32_t>{kAtomHidden, kAtomLabel, kAtomLabel}));
    listener.removeSelf = true;
    box->StoreAttribute(kAtomLabel, u"b", true);
    EXPECT_EQ(box->GetChangeListenerCount(), 0);
    EXPECT_EQ(listener.count, 0u);

    // "stopPropagation" keeps an event from bubbling.
    box->StoreAttribute(kAtomStopPropagation, u"TRUE", true);
    oxEvent click(kAtomClick, box);
    click.SetFlags(kEventPropagating | kEventBubbles);
    box->HandleEvent(&click);
    EXPECT_EQ(click.GetFlags(), kEventBubbles);
    box->Release();
}

TEST_F(oxBoxEventsTest, OwnAttributesAreFieldsAndReadBackComputed) {
    auto* box = new oxBox(kAtomBox);
    struct Case {
        oxAtom attribute;
        const WCHAR* set;
        const char* read;
    } cases[] = {
        {kAtomHidden, u"true", "true"},
        {kAtomBlockEvents, u"1", "true"},
        {kAtomTranslucent, u"no", "false"},
        {kAtomFocusMode, u"normal", "normal"},
        {kAtomSelectMode, u"multiple", "multiple"},
        {kAtomDragMode, u"Move", "none"},
        {kAtomFramed, u"true", "true"},
        {kAtomOrnament, u"true", "true"},
    };
    for (const Case& c : cases) {
        box->SetAttribute(c.attribute, c.set, true, false);
        const WCHAR* text = box->GetAttribute(c.attribute);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::u16string(text), std::u16string(c.read, c.read + std::char_traits<char>::length(c.read)));
        EXPECT_EQ(box->GetAttributeText(c.attribute), nullptr); // nothing stored
    }
    EXPECT_TRUE(box->TestChangeFlags(kChangeBlockEvents | kChangeFramed));
    box->SetAttribute(kAtomStyle, u"big", true, false);
    EXPECT_EQ(std::u16string(box->GetAttribute(kAtomStyle)), u"big");
    box->Release();
}

TEST_F(oxBoxEventsTest, AnchorsAndLayers) {
    auto* root = new oxBox(kAtomBox);
    auto* a = new oxBox(kAtomBox);
    auto* b = new oxBox(kAtomBox);
    root->AddChild(a);
    root->AddChild(b);
    b->SetAnchor(a);
    b->SetAnchor(a);
    EXPECT_EQ(b->GetAnchor(), a);
    b->SetChangeFlag(kChangeLayered, true);
    EXPECT_EQ(b->GetLogicalParent(), a);
    oxBox::AddLayer(a, b);
    oxBox::AddLayer(a, b);
    EXPECT_EQ(a->GetLayerCount(), 1);
    b->SetLayered(false);
    EXPECT_EQ(a->GetLayerCount(), 0);
    b->SetAnchor(nullptr);
    EXPECT_EQ(b->GetAnchor(), nullptr);
    // A box that dies lets go of the boxes anchored to it.
    b->SetAnchor(a);
    root->RemoveChild(a, false)->Release();
    EXPECT_EQ(b->GetAnchor(), nullptr);
    root->Release();
}

} // namespace
