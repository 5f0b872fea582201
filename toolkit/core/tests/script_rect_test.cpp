#include "toolkit/core/script_rect.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/result_codes.h"

namespace {

using NUBO::XVariant;

int32_t Read(NUBO::XObject* object, const WCHAR* name) {
    XVariant out;
    EXPECT_EQ(object->GetPropertyByName(name, &out), 0);
    return out.ToInt32();
}

TEST(XRectTest, PropertiesReadAndWriteTheFields) {
    auto* rect = new XRect;
    rect->AddRef();
    rect->x = 5;
    rect->width = 10;
    EXPECT_EQ(Read(rect, u"right"), 15);
    XVariant seven(7), text(u"12");
    EXPECT_EQ(rect->SetPropertyByName(u"left", &seven), 0);
    EXPECT_EQ(rect->x, 7);
    EXPECT_EQ(rect->SetPropertyByName(u"height", &text), 0); // converted to an integer
    EXPECT_EQ(rect->height, 12);
    EXPECT_EQ(Read(rect, u"bottom"), 12);
    EXPECT_EQ(Read(rect, u"top"), 0);
    // right is read-only: a write does not reach the field it is computed from.
    XVariant ninetyNine(99);
    (void)rect->SetPropertyByName(u"right", &ninetyNine);
    EXPECT_EQ(Read(rect, u"right"), 17);
    EXPECT_EQ(rect->width, 10);
    rect->Release();

    auto* point = new XPoint;
    point->AddRef();
    XVariant minus(-3);
    EXPECT_EQ(point->SetPropertyByName(u"y", &minus), 0);
    EXPECT_EQ(Read(point, u"y"), -3);
    point->Release();
}

TEST(XRectTest, MissingNativeObject) {
    NUBO::XMemberEntry const* right = nullptr;
    for (const NUBO::XMemberEntry* m = XRect::Descriptor.members; m->kind; ++m)
        if (std::string(m->name) == "right") right = m;
    ASSERT_NE(right, nullptr);
    XVariant out;
    EXPECT_EQ(right->getter(nullptr, &out), NUBO::XR_NO_NATIVE_OBJECT);
    EXPECT_EQ(right->setter, nullptr);
}

} // namespace
