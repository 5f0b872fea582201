#include "runtime/script_constructors.h"

#include <gtest/gtest.h>

#include "runtime/live_array.h"
#include "runtime/ref_ptr.h"
#include "runtime/script_dictionary.h"

namespace NUBO {
namespace {

TEST(XScriptObjectConstructor, CreatesOnlyWhenConstructed) {
    const struct {
        int32_t (*make)(XObject**);
        const XClassDescriptor* kind;
    } cases[] = {{CreateXArrayConstructor, &XArray::Descriptor},
                 {CreateXDictionaryConstructor, &XDictionary::Descriptor},
                 {CreateLiveArrayConstructor, &XLiveArray::Descriptor}};
    for (const auto& c : cases) {
        XObject* raw = nullptr;
        ASSERT_EQ(c.make(&raw), 0);
        RefPtr<XObject> ctor(raw);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        XVariant result(7);
        EXPECT_EQ(ctor->InvokeEx(0, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_FALSE);
        EXPECT_EQ(result.ToInt32(), 7);
        EXPECT_EQ(ctor->InvokeEx(0, 0, DISPATCH_CONSTRUCT, &none, &result, nullptr, nullptr), S_OK);
        RefPtr<XObject> made(result.ToXObject());
        EXPECT_TRUE(XObject::IsKindOf(made.get(), c.kind)) << c.kind->name;
        XVariant second;
        ctor->InvokeEx(0, 0, DISPATCH_CONSTRUCT, &none, &second, nullptr, nullptr);
        RefPtr<XObject> other(second.ToXObject());
        EXPECT_NE(made.get(), other.get());
        EXPECT_EQ(ctor->InvokeEx(0, 0, DISPATCH_CONSTRUCT, &none, nullptr, nullptr, nullptr), S_OK);
    }
}

} // namespace
} // namespace NUBO
