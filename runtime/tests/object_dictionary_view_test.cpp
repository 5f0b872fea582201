#include "runtime/object_dictionary_view.h"

#include <gtest/gtest.h>

#include <new>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"

namespace {

using NUBO::RefPtr;
using NUBO::XObject;
using NUBO::XVariant;

RefPtr<XObjectDictionaryView> NewView(XObject* target) {
    auto* view = new (std::nothrow) XObjectDictionaryView(target);
    view->AddRef();
    return RefPtr<XObjectDictionaryView>(view);
}

TEST(XObjectDictionaryView, WithoutTargetEveryOperationRefuses) {
    RefPtr<XObjectDictionaryView> view = NewView(nullptr);
    XObject* object = nullptr;
    IUnknown* unknown = nullptr;
    EXPECT_EQ(view->GetObject(&object), NUBO::XR_INVALID);
    EXPECT_EQ(view->QueryUnknown(&unknown), NUBO::XR_INVALID);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(unknown, nullptr);
    XVariant value;
    EXPECT_EQ(view->AllKeys(&object), NUBO::XR_NO_NATIVE_OBJECT);
    EXPECT_EQ(view->ValueForKey(u"a", &value), NUBO::XR_NO_NATIVE_OBJECT);
    EXPECT_EQ(view->SetValueForKey(XVariant(1), u"a"), NUBO::XR_NO_NATIVE_OBJECT);
}

TEST(XObjectDictionaryView, ReadsAndWritesTheTargetAndStandsForIt) {
    XObject* raw = nullptr;
    ASSERT_EQ(NUBO::CreateXDictionary(&raw), NUBO::XR_SUCCESS);
    RefPtr<XObject> target(raw);
    {
        RefPtr<XObjectDictionaryView> view = NewView(target.get());
        EXPECT_EQ(target->GetRefCount(), 2);

        ASSERT_EQ(view->SetValueForKey(XVariant(5), u"k"), NUBO::XR_SUCCESS);
        XVariant value;
        ASSERT_EQ(view->ValueForKey(u"k", &value), NUBO::XR_SUCCESS);
        EXPECT_EQ(value.ToInt32(), 5);
        EXPECT_EQ(view->ValueForKey(u"missing", &value), NUBO::XR_NO_PROPERTY); // the target's own code

        XObject* keys = nullptr;
        ASSERT_EQ(view->AllKeys(&keys), NUBO::XR_SUCCESS);
        RefPtr<XObject> held(keys);
        ASSERT_TRUE(XObject::IsKindOf(keys, &NUBO::XArray::Descriptor));
        EXPECT_EQ(static_cast<NUBO::XArray*>(keys)->Count(), 1);

        // A value made from the view carries the target, so scripts see the object itself.
        XVariant asValue(static_cast<XObject*>(view.get()));
        EXPECT_EQ(asValue.ToXObject(), target.get());
        target->Release(); // the reference ToXObject added
    }
    EXPECT_EQ(target->GetRefCount(), 1);
}

TEST(XObjectDictionaryView, ATargetWithoutAllKeysGivesNoKeys) {
    // An XArray has no allKeys method: the call's failure comes back unchanged.
    XObject* raw = nullptr;
    ASSERT_EQ(NUBO::CreateXArray(&raw), NUBO::XR_SUCCESS);
    RefPtr<XObject> array(raw);
    RefPtr<XObjectDictionaryView> view = NewView(array.get());
    XObject* keys = reinterpret_cast<XObject*>(1);
    EXPECT_NE(view->AllKeys(&keys), NUBO::XR_SUCCESS);
    EXPECT_EQ(keys, nullptr);
}

} // namespace
