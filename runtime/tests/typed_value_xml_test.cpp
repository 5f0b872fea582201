#include "runtime/typed_value_xml.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <new>
#include <string>

#include "platform/com/safearray.h"
#include "runtime/calendar.h"
#include "runtime/result_codes.h"
#include "runtime/script_object.h"
#include "runtime/wide_string.h"

using namespace NUBO;

namespace {

XVariant OfType(VARTYPE vt) {
    XVariant v;
    v.vt = vt;
    v.llVal = 0;
    return v;
}

std::u16string Write(const VARIANT& v, const WCHAR* attributes = u"") {
    TWString out(u"untouched");
    int32_t rc = WriteTypedValue(v, attributes, &out);
    return rc == 0 ? std::u16string(out.GetString()) : u"#" + std::u16string(out.GetString());
}

// An object that answers getXmlString with fixed text.
class XmlObject : public XObject {
public:
    static XClassDescriptor Descriptor;
    XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};
int32_t GetXml(XObject*, int, XArgList*, XVariant* r) {
    *r = u"<array><int32>1</int32></array>";
    return 0;
}
const XMemberEntry kXmlMembers[] = {XMethod("getXmlString", GetXml), XMemberEnd()};
XClassDescriptor XmlObject::Descriptor = {"XmlObject", 2, kXmlMembers, &XObject::Descriptor, 0, {}};

class PlainObject : public XObject {};

class TypedValueXml : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(TypedValueXml, EveryWritableKind) {
    XVariant i1, ui2, r8;
    i1.SetInt8(-5);
    ui2.SetUInt16(65535);
    r8.SetDouble(2.5);
    XVariant ui1 = OfType(VT_UI1), i2 = OfType(VT_I2), date = OfType(VT_DATE);
    ui1.bVal = 200;
    i2.iVal = -300;
    date.date = 25570.0; // 1970-01-02
    struct Case {
        XVariant v;
        const char16_t* xml;
    } cases[] = {
        {XVariant(true), u"<bool>true</bool>"},
        {XVariant(false), u"<bool>false</bool>"},
        {ui1, u"<uint08>200</uint08>"},
        {i1, u"<int08>-5</int08>"},
        {i2, u"<int16>-300</int16>"},
        {XVariant(-7), u"<int32>-7</int32>"},
        {ui2, u"<uint16>65535</uint16>"},
        {XVariant(4000000000u), u"<uint32>4000000000</uint32>"},
        {XVariant(u"plain"), u"<string>plain</string>"},
        {r8, u"<double>2.500000</double>"},
        {date, u"<time>86400.000000</time>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Write(c.v), c.xml);
    EXPECT_EQ(Write(XVariant(5), u" key=\"k\""), u"<int32 key=\"k\">5</int32>");
}

TEST_F(TypedValueXml, KindsThatCannotBeWrittenFailAndWriteNothing) {
    XVariant bytes = OfType(VT_ARRAY | VT_I1);
    bytes.parray = SafeArrayCreateVector(VT_I1, 0, 12);
    XVariant variants = OfType(VT_ARRAY | VT_VARIANT);
    variants.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    XVariant empty, null = OfType(VT_NULL);
    for (const XVariant* v : {&empty, &null, &bytes, &variants})
        EXPECT_EQ(Write(*v), u"#untouched");
    TWString out;
    EXPECT_EQ(WriteTypedValue(XVariant(), u"", &out), 1);
    XVariant nullObject = OfType(VT_UNKNOWN);
    EXPECT_EQ(WriteTypedValue(nullObject, u"", &out), 4);
}

TEST_F(TypedValueXml, StringsAreWrittenPlainAsCdataOrEscaped) {
    EXPECT_EQ(Write(XVariant(u"a<b")), u"<string><![CDATA[a<b]]></string>");
    EXPECT_EQ(Write(XVariant(u"x]]>\"y'")), u"<string>x]]&gt;&quot;y&apos;</string>");
    EXPECT_EQ(Write(XVariant(u"&]]>")), u"<string>&amp;]]&gt;</string>");
}

TEST_F(TypedValueXml, Containers) {
    XmlObject* inner = new XmlObject;
    inner->AddRef();
    XVariant values[] = {XVariant(5), XVariant(true), XVariant(u"a<b"), XVariant(static_cast<XObject*>(inner))};
    TWString out;
    ASSERT_EQ(WriteTypedArrayXml(values, 3, &out), 0);
    EXPECT_EQ(std::u16string(out.GetString()),
              u"<array><int32>5</int32><bool>true</bool><string><![CDATA[a<b]]></string></array>");
    ASSERT_EQ(WriteTypedArrayXml(values + 3, 1, &out), 0);
    EXPECT_EQ(std::u16string(out.GetString()), u"<array><array><int32>1</int32></array></array>");
    ASSERT_EQ(WriteTypedArrayXml(values, 0, &out), 0);
    EXPECT_EQ(std::u16string(out.GetString()), u"<array></array>");

    XVariant half;
    half.SetDouble(2.5);
    TWString keys[] = {TWString(u"k"), TWString(u"list")};
    XVariant dict[] = {half, values[3]};
    ASSERT_EQ(WriteTypedDictionaryXml(keys, dict, 2, &out), 0);
    EXPECT_EQ(std::u16string(out.GetString()),
              u"<dictionary><double key=\"k\">2.500000</double>"
              u"<compound key=\"list\"><array><int32>1</int32></array></compound></dictionary>");

    XVariant bad[] = {XVariant(1), XVariant()};
    out = u"old";
    EXPECT_EQ(WriteTypedArrayXml(bad, 2, &out), 1);
    EXPECT_EQ(std::u16string(out.GetString()), u"old");

    // An object without getXmlString fails with that call's code.
    XObject* plain = new PlainObject;
    plain->AddRef();
    XVariant noXml(plain);
    EXPECT_EQ(WriteTypedValue(noXml, u"", &out), XR_NO_METHOD);
    noXml.Clear();
    plain->Release();
    for (XVariant& v : values)
        v.Clear();
    inner->Release();
}

TEST(Calendar, EquivalentYears) {
    struct {
        int year, equivalent;
    } cases[] = {{2030, 1974}, {2032, 1976}, {1969, 1975}, {1968, 1996}, {1970, 1970}, {2000, 2000}, {2029, 2029}};
    for (auto c : cases)
        EXPECT_EQ(EquivalentYear(c.year), c.equivalent) << c.year;
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
}

TEST(Calendar, UtcFieldsAndFileTimes) {
    XTimeFields epoch{0, 0, 0, 1, 0, 70, -1};
    EXPECT_EQ(TimeFromUtcFields(epoch), 0.0);
    XTimeFields second{0, 0, 0, 2, 0, 70, -1};
    EXPECT_EQ(TimeFromUtcFields(second), 86400.0);
    XTimeFields before{0, 0, 0, 31, 11, 69, -1};
    EXPECT_EQ(TimeFromUtcFields(before), -86400.0);
    XTimeFields leap{0, 0, 25, 29, 1, 100, -1}; // 2000-02-29, hours not normalised
    EXPECT_EQ(TimeFromUtcFields(leap), 951782400.0 + 25 * 3600.0);
    XTimeFields badMonth{0, 0, 0, 1, 12, 70, -1};
    EXPECT_TRUE(IsInvalidTime(TimeFromUtcFields(badMonth)));
    XTimeFields early{0, 0, 0, 1, 0, -301, -1};
    EXPECT_TRUE(IsInvalidTime(TimeFromUtcFields(early)));
    EXPECT_EQ(TimeFromFileTime(116444736000000000ull), 0.0);

    setenv("TZ", "UTC", 1);
    tzset();
    double t = 0;
    ASSERT_TRUE(MakeTime(&t, 2040, 1, 1, 0, 0, 0));
    EXPECT_EQ(t, 2208988800.0);
    EXPECT_FALSE(MakeTime(&t, 3000, 1, 1, 0, 0, 0));
}

} // namespace
