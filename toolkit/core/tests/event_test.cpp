#include "toolkit/core/event.h"

#include <gtest/gtest.h>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_dictionary.h"
#include "toolkit/core/dom_event.h"
#include "toolkit/base/referenced.h"

namespace {

// Counts its references; the test checks that every event gives back what it took.
class Counted : public oxReferenced {
public:
    explicit Counted(oxPoint position = {}) : position_(position) {}
    ULONG AddRef() override { return ULONG(++count); }
    ULONG Release() override {
        EXPECT_GT(count, 0) << "released more than held";
        return ULONG(--count);
    }
    oxPoint GetPositionInFrame() const override { return position_; }
    int count = 0;

private:
    oxPoint position_;
};

TEST(oxEventTest, EventsHoldTheirParticipantsAndReleaseThemAtTheEnd) {
    Counted target, related, other;
    {
        oxDOMEvent e(kAtomClick, &target, &related);
        EXPECT_EQ(target.count, 1);
        EXPECT_EQ(related.count, 1);
        e.SetCurrent(&other);
        e.SetSource(&target);
        EXPECT_EQ(target.count, 2);
        e.SetTarget(&target); // the same target stays held once
        EXPECT_EQ(target.count, 2);
        e.SetTarget(&other);
        EXPECT_EQ(target.count, 1);
        EXPECT_EQ(other.count, 2);
        e.SetTarget(nullptr);
        EXPECT_EQ(e.GetTarget(), nullptr);
        NUBO::XObject* params = reinterpret_cast<NUBO::XObject*>(1);
        e.GetParams(&params);
        EXPECT_EQ(params, nullptr);
    }
    EXPECT_EQ(target.count, 0);
    EXPECT_EQ(related.count, 0);
    EXPECT_EQ(other.count, 0);
}

// A target whose last reference goes with the event's: it must not be used after it was released.
class SelfDeleting final : public oxReferenced {
public:
    ULONG AddRef() override { return ULONG(++count); }
    ULONG Release() override {
        if (--count == 0) delete this;
        return 0;
    }
    int count = 0;
};

TEST(oxEventTest, ResettingTheOnlyHolderOfATargetKeepsItAlive) {
    auto* target = new SelfDeleting;
    oxEvent e(kAtomClick, target);
    EXPECT_EQ(target->count, 1);
    e.SetTarget(target); // a release before the new add-ref would delete it here
    EXPECT_EQ(target->count, 1);
}

TEST(oxEventTest, BubblingBitByKindAndType) {
    Counted t;
    struct Case {
        const char* name;
        oxEvent* event;
        bool bubbles;
    };
    oxPoint p{1, 2};
    Case cases[] = {
        {"click as DOM event", new oxDOMEvent(kAtomClick, &t, nullptr), false},
        {"focus", new oxDOMEvent(kAtomFocus, &t, nullptr), true},
        {"blur", new oxDOMEvent(kAtomBlur, &t, nullptr), true},
        {"ui", new oxUIEvent(kAtomClick, &t, nullptr, false, false, false), false},
        {"mouse", new oxMouseEvent(kAtomClick, &t, nullptr, 1, nullptr, 1, p, p, false, false, false), true},
        {"command", new oxCommandEvent(kAtomClick, &t, nullptr, nullptr, 0, nullptr, false, false, false), true},
        {"key", new oxKeyEvent(kAtomKeyDown, &t, nullptr, 13, false, false, false, 13), true},
        {"context menu", new oxContextMenuEvent(kAtomContextMenu, &t, true, false, false, false, p, p), true},
        {"drag", new oxDragEvent(kAtomDragMove, &t, nullptr, nullptr, p, p, false, false, false, 1, 2, 1, true), true},
        {"notification", new oxNotificationEvent(kAtomModified, &t), true},
        {"selection", new oxSelectionEvent(kAtomSelect, &t, nullptr, 2, 1), false},
        {"menu", new oxMenuEvent(kAtomMenuCommand, &t, 7), false},
        {"message", new oxMessageEvent(42, &t), false},
        {"mutation", new oxMutationEvent(kAtomAttributeSet, &t, kAtomId), false},
        {"animation", new oxAnimationEvent(kAtomAnimationExit, &t, nullptr), false},
        {"url", new oxUrlEvent(kAtomUrlLoadComplete, &t, 1, u"box://a", 2), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((c.event->GetFlags() & kEventBubbles) != 0, c.bubbles) << c.name;
        delete c.event;
    }
    EXPECT_EQ(t.count, 0);
}

int ReadInt(NUBO::XObject* dictionary, const char16_t* key) {
    NUBO::XVariant v;
    EXPECT_EQ(dictionary->GetPropertyByName(key, &v), NUBO::XR_SUCCESS) << "no key";
    return v.ToInt32();
}

NUBO::RefPtr<NUBO::XObject> Params(const oxDOMEvent& e) {
    NUBO::XObject* params = nullptr;
    e.GetParams(&params);
    return NUBO::RefPtr<NUBO::XObject>(params);
}

TEST(oxEventTest, SetParamMakesOneDictionaryThatTheEventReleases) {
    NUBO::RefPtr<NUBO::XObject> kept;
    {
        oxDOMEvent e(kAtomClick, nullptr, nullptr);
        EXPECT_EQ(e.SetParam(nullptr, NUBO::XVariant(1)), NUBO::XR_INVALID);
        EXPECT_EQ(Params(e).get(), nullptr);
        ASSERT_EQ(e.SetParam(u"a", NUBO::XVariant(1)), NUBO::XR_SUCCESS);
        kept = Params(e);
        ASSERT_NE(kept.get(), nullptr);
        EXPECT_TRUE(NUBO::XObject::IsKindOf(kept.get(), &NUBO::XDictionary::Descriptor));
        ASSERT_EQ(e.SetParam(u"b", NUBO::XVariant(2)), NUBO::XR_SUCCESS);
        ASSERT_EQ(e.SetParam(u"a", NUBO::XVariant(3)), NUBO::XR_SUCCESS);
        EXPECT_EQ(Params(e).get(), kept.get());
        EXPECT_EQ(static_cast<NUBO::XDictionary*>(kept.get())->Count(), 2);
        EXPECT_EQ(ReadInt(kept.get(), u"a"), 3);
        EXPECT_EQ(ReadInt(kept.get(), u"b"), 2);
        EXPECT_EQ(kept->GetRefCount(), 2);
    }
    EXPECT_EQ(kept->GetRefCount(), 1);
}

TEST(oxEventTest, ParamsObjectIsSeenThroughAViewAndWrittenThrough) {
    NUBO::XObject* raw = nullptr;
    ASSERT_EQ(NUBO::CreateXDictionary(&raw), NUBO::XR_SUCCESS);
    NUBO::RefPtr<NUBO::XObject> object(raw);
    NUBO::XVariant seven(7);
    ASSERT_EQ(object->SetPropertyByName(u"x", &seven), NUBO::XR_SUCCESS);
    NUBO::RefPtr<NUBO::XObject> first;
    {
        oxDOMEvent e(kAtomClick, nullptr, nullptr);
        ASSERT_EQ(e.SetParam(u"old", NUBO::XVariant(1)), NUBO::XR_SUCCESS);
        first = Params(e);
        ASSERT_EQ(e.SetParamsObject(object.get()), NUBO::XR_SUCCESS);
        EXPECT_EQ(first->GetRefCount(), 1); // the replaced dictionary was released
        EXPECT_EQ(object->GetRefCount(), 2);

        NUBO::RefPtr<NUBO::XObject> params = Params(e);
        ASSERT_NE(params.get(), nullptr);
        EXPECT_NE(params.get(), object.get());
        NUBO::XObject* behind = nullptr;
        ASSERT_EQ(params->GetObject(&behind), NUBO::XR_SUCCESS);
        EXPECT_EQ(behind, object.get());
        behind->Release();

        // Later parameters reach the object, not a new dictionary.
        ASSERT_EQ(e.SetParam(u"y", NUBO::XVariant(8)), NUBO::XR_SUCCESS);
        EXPECT_EQ(Params(e).get(), params.get());
        EXPECT_EQ(ReadInt(object.get(), u"y"), 8);
        EXPECT_EQ(ReadInt(object.get(), u"x"), 7);
    }
    EXPECT_EQ(object->GetRefCount(), 1);
}

TEST(oxEventTest, KindsCarryTheirFields) {
    Counted t({30, 40});
    oxMouseEvent down(kAtomMouseDown, &t, nullptr, 2, nullptr, 1, {35, 47}, {1, 1}, true, false, true);
    EXPECT_EQ(down.GetSource(), &t); // input events arise at their target
    EXPECT_EQ(down.GetBoxPosition(), (oxPoint{5, 7}));

    oxMouseEvent* up = oxMouseEvent::InitFrom(kAtomMouseUp, &t, nullptr, nullptr, down);
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->GetType(), kAtomMouseUp);
    EXPECT_EQ(up->button, 2);
    EXPECT_EQ(up->framePoint, (oxPoint{35, 47}));
    EXPECT_TRUE(up->shift);
    EXPECT_FALSE(up->ctrl);
    EXPECT_TRUE(up->alt);
    delete up;

    oxMouseEvent untargeted(kAtomMouseMove, nullptr, nullptr, 0, nullptr, 0, {35, 47}, {}, false, false, false);
    EXPECT_EQ(untargeted.GetBoxPosition(), (oxPoint{}));
    oxContextMenuEvent menu(kAtomContextMenu, &t, false, false, false, false, {31, 41}, {});
    EXPECT_EQ(menu.GetBoxPosition(), (oxPoint{1, 1}));

    oxMessageEvent message(99, &t);
    EXPECT_EQ(message.GetType(), kAtomMessage);
    EXPECT_EQ(message.result, 0);

    oxUrlEvent url(kAtomUrlLoadComplete, &t, 1, u"box://a", 2);
    EXPECT_EQ(std::u16string(url.text.GetString()), u"box://a");
}

} // namespace
