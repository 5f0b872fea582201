#include "runtime/script_array.h"

#include <gtest/gtest.h>

#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "runtime/result_codes.h"
#include "runtime/tests/dispatch_call.h"

namespace NUBO {
namespace {

using test::Get;
using test::Method;

RefPtr<XArray> NewArray(std::initializer_list<int> values = {}) {
    XArray* a = nullptr;
    EXPECT_EQ(CreateXArray(&a), 0);
    for (int v : values)
        a->AddValue(XVariant(v));
    return RefPtr<XArray>(a);
}

std::vector<int> Values(XArray* a) {
    std::vector<int> out;
    for (int i = 0; i < a->Count(); ++i)
        out.push_back(static_cast<const XVariant&>(a->Items()[i]).ToInt32());
    return out;
}

TEST(XArray, IndexAndRangeErrors) {
    RefPtr<XArray> a = NewArray({10, 20, 30});
    const struct {
        const char16_t* method;
        std::initializer_list<XVariant> args;
        int32_t code;
    } cases[] = {
        {u"insertValueAtIndex", {XVariant(1), XVariant(4)}, XR_BEFORE_START},
        {u"getValueAt", {XVariant(1), XVariant(0)}, XR_INVALID},
        {u"getValueAt", {XVariant(2), XVariant(1)}, XR_INVALID},
        {u"removeValuesInRange", {XVariant(2), XVariant(1)}, XR_INVALID},
        {u"removeValuesInRange", {XVariant(0), XVariant(3)}, XR_BEFORE_START},
        {u"valueAtIndex", {XVariant(-1)}, XR_BEFORE_START},
        {u"indexOfValueInRange", {XVariant(1), XVariant(2), XVariant(1)}, XR_INVALID},
        {u"addValue", {}, XR_TOO_FEW_ARGS},
        {u"isEqualToArray", {XVariant()}, XR_INVALID},
        {u"sort", {XVariant(1), XVariant(2)}, XR_NOT_IMPLEMENTED},
        {u"toJSON", {XVariant()}, XR_NOT_IMPLEMENTED},
        {u"fromXML", {XVariant()}, XR_NOT_IMPLEMENTED},
        {u"writeJSONStream", {XVariant()}, XR_NOT_IMPLEMENTED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Method(a.get(), c.method, c.args), HResultFromResult(c.code)) << std::string(c.method, c.method + 5);
    EXPECT_EQ(Values(a.get()), (std::vector<int>{10, 20, 30}));

    RefPtr<XArray> empty = NewArray();
    EXPECT_EQ(Method(empty.get(), u"lastValue"), E_FAIL);
}

TEST(XArray, MethodsThroughDispatch) {
    RefPtr<XArray> a = NewArray({10, 20, 30});
    XVariant r;
    ASSERT_EQ(Method(a.get(), u"insertValueAtIndex", {XVariant(40), XVariant(3)}), S_OK);
    ASSERT_EQ(Method(a.get(), u"getValueAt", {XVariant(1), XVariant(1)}, &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 10);
    ASSERT_EQ(Get(a.get(), u"count", &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 4);
    ASSERT_EQ(Method(a.get(), u"getColumnCount", {}, &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 4);
    ASSERT_EQ(Method(a.get(), u"getRowCount", {}, &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 1);
    ASSERT_EQ(Method(a.get(), u"exchangeValuesAtIndex", {XVariant(0), XVariant(3)}), S_OK);
    EXPECT_EQ(Values(a.get()), (std::vector<int>{40, 20, 30, 10}));
    ASSERT_EQ(Method(a.get(), u"indexOfValue", {XVariant(30)}, &r), S_OK);
    EXPECT_EQ(r.ToInt32(), 2);
    ASSERT_EQ(Method(a.get(), u"containsValue", {XVariant(99)}, &r), S_OK);
    EXPECT_FALSE(r.ToBool());

    RefPtr<XArray> block = NewArray({1, 2});
    ASSERT_EQ(Method(a.get(), u"insertArrayAtIndex", {XVariant(static_cast<XObject*>(block.get())), XVariant(1)}),
              S_OK);
    EXPECT_EQ(Values(a.get()), (std::vector<int>{40, 1, 2, 20, 30, 10}));
    ASSERT_EQ(Method(a.get(), u"replaceValuesInRange",
                     {XVariant(0), XVariant(1), XVariant(static_cast<XObject*>(block.get()))}),
              S_OK);
    EXPECT_EQ(Values(a.get()), (std::vector<int>{1, 2, 2, 20, 30, 10}));
    ASSERT_EQ(Method(a.get(), u"removeValuesInArray", {XVariant(static_cast<XObject*>(block.get()))}), S_OK);
    EXPECT_EQ(Values(a.get()), (std::vector<int>{20, 30, 10}));

    ASSERT_EQ(Method(a.get(), u"subarrayWithRange", {XVariant(1), XVariant(2)}, &r), S_OK);
    RefPtr<XObject> sub(r.ToXObject());
    ASSERT_TRUE(sub);
    EXPECT_EQ(Values(static_cast<XArray*>(sub.get())), (std::vector<int>{30, 10}));
    ASSERT_EQ(Method(sub.get(), u"isEqualToArray", {XVariant(static_cast<XObject*>(a.get()))}, &r), S_OK);
    EXPECT_FALSE(r.ToBool());
    ASSERT_EQ(Method(a.get(), u"getXArray", {}, &r), S_OK);
    RefPtr<XObject> copy(r.ToXObject());
    ASSERT_EQ(Method(copy.get(), u"isEqualToArray", {XVariant(static_cast<XObject*>(a.get()))}, &r), S_OK);
    EXPECT_TRUE(r.ToBool());
}

TEST(XArray, InsertingAnArrayIntoItselfInsertsItsOldValues) {
    const struct {
        const char16_t* method;
        std::vector<int> expected;
    } cases[] = {
        {u"insertArrayAtIndex", {1, 2, 3, 1, 2, 3}},
        {u"insertXArrayAtIndex", {1, 2, 3, 1, 2, 3}},
        {u"replaceValuesInRange", {1, 2, 3, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        RefPtr<XArray> a = NewArray({1, 2, 3});
        XVariant self(static_cast<XObject*>(a.get()));
        HRESULT hr = std::u16string(c.method) == u"replaceValuesInRange"
                         ? Method(a.get(), c.method, {XVariant(0), XVariant(1), self})
                         : Method(a.get(), c.method, {self, XVariant(0)});
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(Values(a.get()), c.expected);
    }
}

TEST(XArray, GetXmlStringWritesTypedValues) {
    RefPtr<XArray> a = NewArray({5});
    a->AddValue(XVariant(u"a<b"));
    XVariant r;
    ASSERT_EQ(Method(a.get(), u"getXmlString", {}, &r), S_OK);
    EXPECT_EQ(std::u16string(r.GetStringPtr()), u"<array><int32>5</int32><string><![CDATA[a<b]]></string></array>");
}

// A list that is no XArray: "count", "getValue" (index * 10) and "getXArrayWithRange", which gives
// a text instead of an array.
class ListLike : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    static int32_t Count(XObject*, XVariant* result) {
        *result = 3;
        return 0;
    }
    static int32_t GetValue(XObject*, int, XArgList* args, XVariant* result) {
        *result = args->GetArg(0)->ToInt32() * 10;
        return 0;
    }
    static int32_t Range(XObject*, int, XArgList*, XVariant* result) {
        *result = u"not an array";
        return 0;
    }
};
const XMemberEntry kListLikeMembers[] = {XProperty("count", ListLike::Count, nullptr),
                                         XMethod("getValue", ListLike::GetValue),
                                         XMethod("getXArrayWithRange", ListLike::Range), XMemberEnd()};
XClassDescriptor ListLike::Descriptor = {"ListLike", 4, kListLikeMembers, &XObject::Descriptor, 0, {}};

TEST(XArrayAccess, ArraysAnswerThemselvesAndOtherObjectsGetACountedAdapter) {
    RefPtr<XArray> a = NewArray({1, 2});
    XArrayAccess* access = nullptr;
    ASSERT_EQ(XArrayAccessFor(a.get(), &access), XR_SUCCESS);
    EXPECT_EQ(access, static_cast<XArrayAccess*>(a.get()));
    EXPECT_EQ(a->GetRefCount(), 2);
    XObject* behind = nullptr;
    ASSERT_EQ(access->GetObject(&behind), XR_SUCCESS);
    EXPECT_EQ(behind, a.get());
    behind->Release();
    access->Release();
    EXPECT_EQ(XArrayAccessFor(nullptr, &access), XR_INVALID);

    RefPtr<ListLike> list = RefPtr<ListLike>::ref(new ListLike);
    ASSERT_EQ(XArrayAccessFor(list.get(), &access), XR_SUCCESS);
    RefPtr<XArrayAccess> adapter(access);
    EXPECT_EQ(list->GetRefCount(), 2) << "the adapter holds the object";
    int n = 0;
    ASSERT_EQ(adapter->GetCount(&n), XR_SUCCESS);
    EXPECT_EQ(n, 3);
    XVariant v;
    ASSERT_EQ(adapter->GetValueAt(2, &v), XR_SUCCESS);
    EXPECT_EQ(v.ToInt32(), 20);
    XArray* range = nullptr;
    EXPECT_EQ(adapter->GetRange(0, 1, &range), XR_NOT_OBJECT) << "only an XArray answer counts";
    EXPECT_EQ(range, nullptr);
    adapter = nullptr;
    EXPECT_EQ(list->GetRefCount(), 1);

    // Script methods that take any array read it through the adapter.
    ASSERT_EQ(Method(a.get(), u"addValuesFromArray", {XVariant(static_cast<XObject*>(list.get()))}), S_OK);
    EXPECT_EQ(Values(a.get()), (std::vector<int>{1, 2, 0, 10, 20}));
    EXPECT_EQ(list->GetRefCount(), 1);
}

// Records the notifications a live array sends, in order.
class Recorder : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    std::vector<std::pair<int, int>> seen;
    std::u16string tag;
    static int32_t OnArrayModified(XObject* o, int argc, XArgList* args, XVariant*) {
        auto* self = static_cast<Recorder*>(o);
        EXPECT_EQ(argc, 4);
        self->seen.emplace_back(args->GetArg(1)->ToInt32(), args->GetArg(2)->ToInt32());
        self->tag = args->GetArg(3)->ToString().GetString();
        return 0;
    }
};
const XMemberEntry kRecorderMembers[] = {XMethod("onArrayModified", Recorder::OnArrayModified), XMemberEnd()};
XClassDescriptor Recorder::Descriptor = {"Recorder", 2, kRecorderMembers, &XObject::Descriptor, 0, {}};

RefPtr<XArray> NewLiveArray(Recorder* listener, std::initializer_list<int> values = {}) {
    XObject* o = nullptr;
    EXPECT_EQ(CreateXLiveArray(&o), 0);
    RefPtr<XArray> a(static_cast<XArray*>(o));
    for (int v : values)
        a->AddValue(XVariant(v));
    EXPECT_EQ(Method(a.get(), u"addListener", {XVariant(static_cast<XObject*>(listener)), XVariant(u"ctx")}), S_OK);
    return a;
}

TEST(XLiveArray, ListenersAreToldEveryChangeInOrder) {
    RefPtr<Recorder> rec = RefPtr<Recorder>::ref(new Recorder);
    RefPtr<XArray> a = NewLiveArray(rec.get(), {7, 8, 7});
    ASSERT_EQ(Method(a.get(), u"addValue", {XVariant(9)}), S_OK);
    EXPECT_EQ(rec->seen, (std::vector<std::pair<int, int>>{{1, 3}}));
    EXPECT_EQ(rec->tag, u"ctx");
    rec->seen.clear();
    ASSERT_EQ(Method(a.get(), u"removeValue", {XVariant(7)}), S_OK);
    EXPECT_EQ(rec->seen, (std::vector<std::pair<int, int>>{{4, 2}, {3, 2}, {4, 0}, {3, 0}}));
    rec->seen.clear();
    ASSERT_EQ(Method(a.get(), u"setArray", {XVariant(static_cast<XObject*>(a.get()))}), S_OK);
    EXPECT_TRUE(rec->seen.empty());
    RefPtr<XArray> other = NewArray({1, 2, 3});
    ASSERT_EQ(Method(a.get(), u"setArray", {XVariant(static_cast<XObject*>(other.get()))}), S_OK);
    EXPECT_EQ(rec->seen, (std::vector<std::pair<int, int>>{{0, -1}}));
    rec->seen.clear();
    ASSERT_EQ(Method(a.get(), u"removeValuesInRange", {XVariant(0), XVariant(1)}), S_OK);
    EXPECT_EQ(rec->seen, (std::vector<std::pair<int, int>>{{4, 0}, {4, 1}, {3, 0}, {3, 1}}));

    ASSERT_EQ(Method(a.get(), u"removeListener", {XVariant(static_cast<XObject*>(rec.get()))}), S_OK);
    EXPECT_EQ(Method(a.get(), u"removeListener", {XVariant(static_cast<XObject*>(rec.get()))}),
              HResultFromResult(XR_NOT_FOUND));
    EXPECT_EQ(Method(a.get(), u"addListener", {XVariant(5)}), HResultFromResult(XR_INVALID));
}

// Empties the array it listens to when told a removal is coming.
class Clearer : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    static int32_t OnArrayModified(XObject*, int, XArgList* args, XVariant*) {
        if (args->GetArg(1)->ToInt32() != kArrayAboutToRemove) return 0;
        RefPtr<XObject> array(args->GetArg(0)->ToXObject());
        return Method(array.get(), u"removeAllValues", {}) == S_OK ? 0 : 1;
    }
};
const XMemberEntry kClearerMembers[] = {XMethod("onArrayModified", Clearer::OnArrayModified), XMemberEnd()};
XClassDescriptor Clearer::Descriptor = {"Clearer", 2, kClearerMembers, &XObject::Descriptor, 0, {}};

TEST(XLiveArray, RangeRemovalSurvivesAListenerThatEmptiesTheArray) {
    XObject* o = nullptr;
    ASSERT_EQ(CreateXLiveArray(&o), 0);
    RefPtr<XArray> a(static_cast<XArray*>(o));
    for (const WCHAR* text : {u"a", u"b", u"c", u"d"})
        a->AddValue(XVariant(text));
    RefPtr<Clearer> clearer = RefPtr<Clearer>::ref(new Clearer);
    ASSERT_EQ(Method(a.get(), u"addListener", {XVariant(static_cast<XObject*>(clearer.get())), XVariant(0)}), S_OK);
    EXPECT_EQ(Method(a.get(), u"removeValuesInRange", {XVariant(1), XVariant(2)}), S_OK);
    EXPECT_EQ(a->Count(), 0);
}

// An owner that is told when the live array goes away.
class Owner : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    int told = 0;
    static int32_t BeforeDestroyed(XObject* o, int, XArgList*, XVariant*) {
        ++static_cast<Owner*>(o)->told;
        return 0;
    }
};
const XMemberEntry kOwnerMembers[] = {XMethod("beforeCollectionDestroyed", Owner::BeforeDestroyed), XMemberEnd()};
XClassDescriptor Owner::Descriptor = {"Owner", 2, kOwnerMembers, &XObject::Descriptor, 0, {}};

TEST(XLiveArray, OwnerIsToldWhenReplacedAndWhenTheArrayDies) {
    RefPtr<Recorder> rec = RefPtr<Recorder>::ref(new Recorder);
    RefPtr<Owner> first = RefPtr<Owner>::ref(new Owner), second = RefPtr<Owner>::ref(new Owner);
    {
        RefPtr<XArray> a = NewLiveArray(rec.get());
        ASSERT_EQ(test::Put(a.get(), u"collectionOwner", XVariant(static_cast<XObject*>(first.get()))), S_OK);
        ASSERT_EQ(test::Put(a.get(), u"collectionOwner", XVariant(static_cast<XObject*>(second.get()))), S_OK);
        EXPECT_EQ(first->told, 1);
        XVariant r;
        ASSERT_EQ(Get(a.get(), u"collectionOwner", &r), S_OK);
        RefPtr<XObject> got(r.ToXObject());
        EXPECT_EQ(got.get(), second.get());
    }
    EXPECT_EQ(second->told, 1);
    EXPECT_EQ(first->GetRefCount(), 1);
    EXPECT_EQ(second->GetRefCount(), 1);
    EXPECT_EQ(rec->GetRefCount(), 1);
}

} // namespace
} // namespace NUBO
