// The wrapper cache: which class each native object gets, when an object is found again, and what
// happens to it when its native object goes.
#include "toolkit/script/script_wrapper_cache.h"

#include <gtest/gtest.h>

#include <memory>

#include "runtime/ref_ptr.h"
#include "toolkit/core/box.h"
#include "toolkit/core/event.h"
#include "toolkit/scene/runtime.h"
#include "toolkit/script/native_wrapper.h"
#include "toolkit/script/shell.h"
#include "toolkit/script/tests/script_api_fixture.h"

using NUBO::RefPtr;
using NUBO::XObject;

namespace script_api_test {
namespace {

class KindBox : public oxBox {
public:
    KindBox(oxAtom tag, oxAtom type) : oxBox(tag), type_(type) {}
    oxAtom GetBoxType() const override { return type_; }

private:
    oxAtom type_;
};

// A native element standing for commands, themes and resources: the cache only keys on it.
class Native : public oxElement {
public:
    explicit Native(oxAtom tag) : oxElement(0, tag) {}
};

class ScriptObjectCacheTest : public ScriptApiTest {
protected:
    // Made after the toolkit started, as runtimes make theirs: it interns event types.
    void SetUp() override {
        ScriptApiTest::SetUp();
        cache = std::make_unique<oxScriptWrapperCache>();
    }
    void TearDown() override {
        cache.reset();
        ScriptApiTest::TearDown();
    }
    std::unique_ptr<oxScriptWrapperCache> cache;

    static std::string ClassOf(XObject* object) { return object ? object->GetClassDescriptor()->name : "none"; }
    static void* NativeOf(XObject* object) { return static_cast<oxNativeWrapper*>(object)->GetNative(); }
};

TEST_F(ScriptObjectCacheTest, BoxesGetTheClassOfTheirKind) {
    const struct {
        oxAtom type;
        const char* name;
    } kinds[] = {
        {kAtomText, "TextBox"},
        {kAtomInput, "TextBox"},
        {kAtomNativeText, "TextBox"},
        {kAtomSimpleText, "TextBox"},
        {kAtomVectorText, "TextBox"},
        {kAtomControl, "ControlBox"},
        {kAtomDhtml, "DHTMLBox"},
        {kAtomHandle, "HandleBox"},
        {kAtomImage, "ImageBox"},
        {kAtomPopup, "PopupBox"},
        {kAtomRange, "RangeBox"},
        {kAtomSelect, "SelectBox"},
        {kAtomWindow, "WindowBox"},
        {kAtomBox, "Box"},
        {kAtomCollapsedContainer, "Box"},
        {kAtomHbox, "Box"},
        {kAtomVbox, "Box"},
    };
    for (const auto& kind : kinds) {
        RefPtr<oxBox> box(new KindBox(kAtomBox, kind.type));
        XObject* object = nullptr;
        ASSERT_EQ(cache->GetBoxObject(box.get(), &object), 1);
        EXPECT_EQ(ClassOf(object), kind.name);
        EXPECT_TRUE(XObject::IsKindOf(object, &wrapper_class::Box));
        object->Release();
    }
}

TEST_F(ScriptObjectCacheTest, ABoxObjectLivesWhileHeldAndIsDetachedWhenTheBoxDies) {
    RefPtr<oxBox> box(new KindBox(kAtomBox, kAtomBox));
    XObject *first = nullptr, *second = nullptr;
    ASSERT_EQ(cache->GetBoxObject(box.get(), &first), 1);
    ASSERT_EQ(cache->GetBoxObject(box.get(), &second), 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->GetRefCount(), 2) << "the cache holds none";
    second->Release();
    first->Release();
    EXPECT_FALSE(cache->HasBoxObject(box.get())) << "the last release erased the entry";

    ASSERT_EQ(cache->GetBoxObject(box.get(), &first), 1);
    cache->ForgetBoxObject(box.get());
    EXPECT_EQ(NativeOf(first), nullptr);
    EXPECT_FALSE(cache->HasBoxObject(box.get()));
    ASSERT_EQ(cache->GetBoxObject(box.get(), &second), 1);
    EXPECT_NE(first, second) << "a fresh object for the box";
    first->Release();
    second->Release();
    EXPECT_EQ(cache->GetBoxObject(nullptr, &first), 0);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(cache->GetBoxObject(box.get(), nullptr), 0);
}

TEST_F(ScriptObjectCacheTest, KeptObjectsAreTheSameUntilForgottenThenInert) {
    Native command(0), theme(0), bitmap(kAtomBitmap), image(kAtomImageElement), gadget(kAtomGadget), other(kAtomBox);
    using Get = int (oxScriptWrapperCache::*)(oxElement*, XObject**);
    using Forget = void (oxScriptWrapperCache::*)(oxElement*);
    const struct {
        Get get;
        Forget forget;
        oxElement* native;
        const char* name;
    } kinds[] = {
        {&oxScriptWrapperCache::GetCommandObject, &oxScriptWrapperCache::ForgetCommandObject, &command, "Command"},
        {&oxScriptWrapperCache::GetCommandGroupObject, &oxScriptWrapperCache::ForgetCommandGroupObject, &command,
         "CommandGroup"},
        {&oxScriptWrapperCache::GetKeyObject, &oxScriptWrapperCache::ForgetKeyObject, &command, "Key"},
        {&oxScriptWrapperCache::GetKeyGroupObject, &oxScriptWrapperCache::ForgetKeyGroupObject, &command, "KeyGroup"},
        {&oxScriptWrapperCache::GetThemeObject, &oxScriptWrapperCache::ForgetThemeObject, &theme, "Theme"},
        {&oxScriptWrapperCache::GetDataBindingObject, &oxScriptWrapperCache::ForgetDataBindingObject, &theme,
         "DataBinding"},
        {&oxScriptWrapperCache::GetResourceObject, &oxScriptWrapperCache::ForgetResourceObject, &bitmap, "Bitmap"},
        {&oxScriptWrapperCache::GetResourceObject, &oxScriptWrapperCache::ForgetResourceObject, &image, "ImageElement"},
        {&oxScriptWrapperCache::GetResourceObject, &oxScriptWrapperCache::ForgetResourceObject, &gadget, "Gadget"},
        {&oxScriptWrapperCache::GetResourceObject, &oxScriptWrapperCache::ForgetResourceObject, &other, "Resource"},
    };
    for (const auto& kind : kinds) {
        XObject *first = nullptr, *second = nullptr;
        ASSERT_EQ(((*cache).*kind.get)(kind.native, &first), 1);
        EXPECT_EQ(ClassOf(first), kind.name);
        NUBO::XVariant seven(7);
        first->SetPropertyByName(u"note", &seven);
        first->Release();
        ASSERT_EQ(((*cache).*kind.get)(kind.native, &second), 1);
        EXPECT_EQ(first, second) << kind.name << ": the cache kept it, expandos and all";
        NUBO::XVariant note;
        EXPECT_EQ(second->GetPropertyByName(u"note", &note), 0);
        EXPECT_EQ(note.ToInt32(), 7);
        ((*cache).*kind.forget)(kind.native);
        EXPECT_EQ(NativeOf(second), nullptr) << kind.name;
        EXPECT_EQ(second->GetRefCount(), 1) << kind.name << ": only the script's reference is left";
        second->Release();
        EXPECT_EQ(((*cache).*kind.get)(nullptr, &first), 0);
    }
}

TEST_F(ScriptObjectCacheTest, UserEventsKeepTheirObjectOtherEventsGetANewOne) {
    RefPtr<oxBox> box(new KindBox(kAtomBox, kAtomBox));
    oxEvent click(oxAtoms::Intern(u"click"), box.get());
    XObject *a = nullptr, *b = nullptr;
    ASSERT_EQ(cache->GetEventObject(&click, &a), 1);
    ASSERT_EQ(cache->GetEventObject(&click, &b), 1);
    EXPECT_NE(a, b);
    EXPECT_EQ(ClassOf(a), "MouseEvent");
    a->Release();
    b->Release();
    oxEvent other(oxAtoms::Intern(u"someOtherEvent"), box.get());
    ASSERT_EQ(cache->GetEventObject(&other, &a), 1);
    EXPECT_EQ(ClassOf(a), "Event");
    a->Release();

    auto* user = new oxEvent(0, box.get()); // the object owns it from here
    user->AddFlags(kEventUser);
    ASSERT_EQ(cache->GetEventObject(user, &a), 1);
    ASSERT_EQ(cache->GetEventObject(user, &b), 1);
    EXPECT_EQ(a, b);
    EXPECT_EQ(ClassOf(a), "UserEvent");
    EXPECT_EQ(a->GetRefCount(), 2) << "the cache holds none";
    b->Release();
    a->Release(); // frees the record; ASan would see a leak or a double free
}

TEST_F(ScriptObjectCacheTest, TheShellIsTheRegisteredOneOrALenientOneMadeOnce) {
    XObject* shell = nullptr;
    ASSERT_EQ(runtime()->GetScriptObjectCache()->GetShellObject(runtime(), &shell), 1);
    EXPECT_EQ(shell, app->GetShell());
    shell->Release();

    XObject *made = nullptr, *again = nullptr;
    ASSERT_EQ(cache->GetShellObject(runtime(), &made), 1);
    ASSERT_EQ(cache->GetShellObject(runtime(), &again), 1);
    EXPECT_EQ(made, again);
    EXPECT_TRUE(static_cast<Shell*>(made)->IsLenient());
    made->Release();
    again->Release();
    EXPECT_EQ(cache->SetShellObject(nullptr), 1);
    XObject *tm = nullptr, *tm2 = nullptr;
    ASSERT_EQ(cache->GetThemeManagerObject(&tm), 1);
    ASSERT_EQ(cache->GetThemeManagerObject(&tm2), 1);
    EXPECT_EQ(tm, tm2);
    EXPECT_EQ(ClassOf(tm), "ThemeManager");
    tm->Release();
    tm2->Release();
}

} // namespace
} // namespace script_api_test
