#include "runtime/enumerator.h"

#include <gtest/gtest.h>

#include <functional>

#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/script_array.h"
#include "runtime/script_dictionary.h"
#include "runtime/tests/dispatch_call.h"

namespace NUBO {
namespace {

using test::Get;
using test::Method;

RefPtr<XObject> EnumeratorOf(XObject* collection) {
    XVariant r;
    EXPECT_EQ(Method(collection, u"getEnumerator", {}, &r), S_OK);
    return RefPtr<XObject>(r.ToXObject());
}

// moveNext until false, reading current after each step; `change` runs after the given step.
std::vector<int> Walk(XObject* e, int at, const std::function<void()>& change) {
    std::vector<int> seen;
    for (int step = 0; step < 20; ++step) {
        XVariant more, cur;
        EXPECT_EQ(Method(e, u"moveNext", {}, &more), S_OK);
        if (!more.ToBool()) break;
        EXPECT_EQ(Get(e, u"current", &cur), S_OK);
        seen.push_back(cur.ToInt32());
        if (step == at) change();
    }
    return seen;
}

TEST(XArrayEnumerator, SurvivesChangesOfTheArray) {
    XArray* raw = nullptr;
    CreateXArray(&raw);
    RefPtr<XArray> a(raw);
    for (int v : {1, 2, 3, 4})
        a->AddValue(XVariant(v));
    RefPtr<XObject> e = EnumeratorOf(a.get());
    XVariant cur;
    EXPECT_EQ(Get(e.get(), u"current", &cur), E_FAIL);
    EXPECT_EQ(Walk(e.get(), 1, [&] { a->RemoveValueAt(0); }), (std::vector<int>{1, 2, 3, 4}));
    Method(e.get(), u"reset");
    EXPECT_EQ(Walk(e.get(), 1, [&] { a->InsertValue(0, XVariant(9)); }), (std::vector<int>{2, 3, 4}));
    Method(e.get(), u"reset");
    EXPECT_EQ(Walk(e.get(), 0, [&] { a->RemoveAll(); }), (std::vector<int>{9}));
    a->AddValue(XVariant(5));
    XVariant more;
    Method(e.get(), u"moveNext", {}, &more);
    EXPECT_FALSE(more.ToBool()); // stays finished until reset
    Method(e.get(), u"reset");
    Method(e.get(), u"moveNext", {}, &more);
    EXPECT_TRUE(more.ToBool());
    e = nullptr;
    EXPECT_EQ(a->GetRefCount(), 1); // the enumerator let go and left the list
}

TEST(XDictionaryEnumerator, VisitsKeysAddedDuringTheWalkAndSkipsRemovedOnes) {
    XObject* raw = nullptr;
    CreateXDictionary(&raw);
    RefPtr<XObject> d(raw);
    for (const char16_t* k : {u"a", u"b", u"c"})
        Method(d.get(), u"setValueForKey", {XVariant(int(k[0])), XVariant(k)});
    RefPtr<XObject> e = EnumeratorOf(d.get());
    std::u16string keys;
    for (int step = 0; step < 10; ++step) {
        XVariant more, cur, key, value;
        Method(e.get(), u"moveNext", {}, &more);
        if (!more.ToBool()) break;
        Get(e.get(), u"current", &cur);
        RefPtr<XObject> entry(cur.ToXObject());
        ASSERT_EQ(entry->GetPropertyByName(u"key", &key), 0);
        ASSERT_EQ(entry->GetPropertyByName(u"value", &value), 0);
        EXPECT_EQ(value.ToInt32(), int(key.GetStringPtr()[0]));
        keys += key.GetStringPtr();
        if (step == 0) {
            Method(d.get(), u"setValueForKey", {XVariant(int(u'z')), XVariant(u"z")});
            Method(d.get(), u"removeValueForKey", {XVariant(u"c")});
        }
    }
    EXPECT_EQ(keys, u"abz");
    e = nullptr;
    EXPECT_EQ(d->GetRefCount(), 1);
}

} // namespace
} // namespace NUBO
