#include "runtime/script_dictionary.h"

#include <gtest/gtest.h>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/tests/dispatch_call.h"

namespace NUBO {
namespace {

using test::Get;
using test::Method;
using test::Put;

RefPtr<XObject> NewDictionary() {
    XObject* d = nullptr;
    EXPECT_EQ(CreateXDictionary(&d), 0);
    return RefPtr<XObject>(d);
}

std::u16string Keys(XObject* d) {
    XVariant r;
    EXPECT_EQ(Method(static_cast<IDispatchEx*>(d), u"allKeys", {}, &r), S_OK);
    RefPtr<XObject> keys(r.ToXObject());
    std::u16string out;
    auto* a = static_cast<XArray*>(keys.get());
    for (int i = 0; i < a->Count(); ++i)
        out += std::u16string(static_cast<const XVariant&>(a->Items()[i]).GetStringPtr()) + u",";
    return out;
}

TEST(XDictionary, DeclaredMethodsWinOverKeysAndKeysAreProperties) {
    RefPtr<XObject> d = NewDictionary();
    ASSERT_EQ(Method(d.get(), u"setValueForKey", {XVariant(1), XVariant(u"allKeys")}), S_OK);
    ASSERT_EQ(Put(d.get(), u"a.b", XVariant(2)), S_OK); // the whole text is one key
    XVariant r;
    ASSERT_EQ(Method(d.get(), u"valueForKey", {XVariant(u"allKeys")}, &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 1);
    EXPECT_EQ(Keys(d.get()), u"a.b,allKeys,");
    ASSERT_EQ(Get(d.get(), u"a.b", &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 2);
    EXPECT_EQ(Method(d.get(), u"valueForKey", {XVariant(u"zz")}), HResultFromResult(XR_NO_PROPERTY));
    EXPECT_EQ(Method(d.get(), u"removeValueForKey", {XVariant(u"zz")}), HResultFromResult(XR_NO_PROPERTY));
    ASSERT_EQ(Method(d.get(), u"getDynPropertyCount", {}, &r), S_OK);
    EXPECT_EQ(r.vt, VT_UI4);
    EXPECT_EQ(r.ToInt32(), 2);
    EXPECT_EQ(Method(d.get(), u"getDynPropertyNameByIndex", {XVariant(2)}), HResultFromResult(XR_BEFORE_START));
    BSTR name = SysAllocString(u"a.b");
    EXPECT_EQ(d->DeleteMemberByName(name, 0), S_OK);
    SysFreeString(name);
    EXPECT_EQ(Keys(d.get()), u"allKeys,");
}

TEST(XDictionary, EnumerationFollowsBucketOrder) {
    RefPtr<XObject> d = NewDictionary();
    for (const char16_t* key : {u"b", u"q", u"a"})
        ASSERT_EQ(Method(d.get(), u"setValueForKey", {XVariant(0), XVariant(key)}), S_OK);
    EXPECT_EQ(Keys(d.get()), u"a,q,b,");
}

TEST(XDictionary, ComparisonAndLookupsOfSeveralKeys) {
    RefPtr<XObject> x = NewDictionary(), y = NewDictionary();
    Method(x.get(), u"setValueForKey", {XVariant(1), XVariant(u"k")});
    Method(y.get(), u"setValueForKey", {XVariant(u"1"), XVariant(u"k")});
    XVariant r;
    ASSERT_EQ(Method(x.get(), u"isEqualToDictionary", {XVariant(static_cast<XObject*>(y.get()))}, &r), S_OK);
    EXPECT_FALSE(r.ToBool());
    Method(y.get(), u"setValueForKey", {XVariant(1), XVariant(u"k")});
    ASSERT_EQ(Method(x.get(), u"isEqualToDictionary", {XVariant(static_cast<XObject*>(y.get()))}, &r), S_OK);
    EXPECT_TRUE(r.ToBool());

    RefPtr<XObject> d = NewDictionary();
    Method(d.get(), u"setValueForKey", {XVariant(1), XVariant(u"a")});
    XArray* keys = nullptr;
    CreateXArray(&keys);
    RefPtr<XArray> held(keys);
    keys->AddValue(XVariant(u"a"));
    keys->AddValue(XVariant(u"zz"));
    VARIANT null;
    VariantInit(&null);
    null.vt = VT_NULL;
    ASSERT_EQ(Method(d.get(), u"valuesForKeysWithNotFoundMarker",
                     {XVariant(static_cast<XObject*>(keys)), XVariant(null)}, &r),
              S_OK);
    RefPtr<XObject> values(r.ToXObject());
    auto* a = static_cast<XArray*>(values.get());
    ASSERT_EQ(a->Count(), 2);
    EXPECT_EQ(a->Items()[0].vt, VT_I4);
    EXPECT_EQ(a->Items()[1].vt, VT_NULL);

    ASSERT_EQ(Method(d.get(), u"getXmlString", {}, &r), S_OK);
    EXPECT_EQ(std::u16string(r.GetStringPtr()), u"<dictionary><int32 key=\"a\">1</int32></dictionary>");
    ASSERT_EQ(Method(x.get(), u"setDictionary", {XVariant(static_cast<XObject*>(d.get()))}), S_OK);
    EXPECT_EQ(Keys(x.get()), u"a,");
    EXPECT_EQ(Method(x.get(), u"addEntriesFromDictionary", {XVariant()}), HResultFromResult(XR_INVALID));
}

TEST(XDictionary, NativeAccessFaceReadsWritesAndListsKeys) {
    XObject* o = nullptr;
    ASSERT_EQ(CreateXDictionary(&o), 0);
    RefPtr<XDictionary> d(static_cast<XDictionary*>(o));
    XDictionaryAccess* access = d.get();
    XVariant seven(7), x(u"x"), v;
    ASSERT_EQ(access->SetValueForKey(&seven, u"b"), XR_SUCCESS);
    ASSERT_EQ(access->SetValueForKey(&x, u"a.c"), XR_SUCCESS) << "a key is taken as it stands";
    ASSERT_EQ(access->GetValueForKey(u"b", &v), XR_SUCCESS);
    EXPECT_EQ(v.ToInt32(), 7);
    EXPECT_EQ(access->GetValueForKey(u"zz", &v), XR_NO_PROPERTY);
    EXPECT_EQ(d->GetRefCount(), 1);

    XArrayAccess* keys = nullptr;
    ASSERT_EQ(access->AllKeys(&keys), XR_SUCCESS);
    RefPtr<XArrayAccess> held(keys);
    int n = 0;
    ASSERT_EQ(keys->GetCount(&n), XR_SUCCESS);
    ASSERT_EQ(n, 2);
    ASSERT_EQ(keys->GetValueAt(0, &v), XR_SUCCESS);
    EXPECT_EQ(std::u16string(v.GetStringPtr()), u"a.c");
    EXPECT_EQ(keys->GetValueAt(2, &v), XR_BEFORE_START);
}

} // namespace
} // namespace NUBO
