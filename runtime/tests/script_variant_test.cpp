#include "runtime/script_variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/com/safearray.h"
#include "runtime/result_codes.h"
#include "runtime/script_args.h"
#include "runtime/wide_string.h"

using namespace NUBO;

namespace {

std::u16string S(const TWString& s) {
    return s.GetString();
}

XVariant OfType(VARTYPE vt) {
    XVariant v;
    v.vt = vt;
    v.llVal = 0;
    return v;
}

TEST(XVariant, KindsFollowTheTable) {
    struct Row {
        VARTYPE vt;
        int kind;
    } rows[] = {{VT_EMPTY, 0},    {VT_BOOL, 1},    {VT_I1, 3},           {VT_UI1, 2},  {VT_I2, 4},    {VT_UI2, 14},
                {VT_I4, 5},       {VT_UI4, 15},    {VT_R8, 18},          {VT_BSTR, 6}, {VT_DATE, 12}, {VT_NULL, 19},
                {VT_DISPATCH, 9}, {VT_UNKNOWN, 9}, {VT_VARIANT, 13},     {0x2010, 16}, {0x2011, 17},  {0x200C, 10},
                {VT_R4, 0},       {VT_I8, 0},      {VT_BYREF | VT_I4, 0}};
    for (const Row& r : rows)
        EXPECT_EQ(VariantKindOf(r.vt), r.kind) << r.vt;
    EXPECT_EQ(VarTypeOfKind(9), VT_DISPATCH) << "the first row of a kind wins";
    EXPECT_EQ(VarTypeOfKind(7), VT_EMPTY);
}

TEST(XVariant, SettersReplaceAndOwnTheirValue) {
    XVariant v(u"text");
    EXPECT_EQ(v.vt, VT_BSTR);
    v = 5;
    EXPECT_EQ(v.vt, VT_I4);
    v = true;
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    v = 7u;
    EXPECT_EQ(v.vt, VT_UI4);
    v.SetDouble(1.5);
    EXPECT_EQ(v.vt, VT_R8);
    v.SetInt8(-3);
    EXPECT_EQ(v.vt, VT_I1);
    v.SetUInt16(65535);
    EXPECT_EQ(v.vt, VT_UI2);
    TWString none;
    v = none;
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_NE(v.bstrVal, nullptr) << "a string without a buffer gives an empty BSTR";
    XVariant copy(v);
    EXPECT_NE(copy.bstrVal, v.bstrVal);
    copy = copy;
    EXPECT_EQ(copy.vt, VT_BSTR);
    v.SetObject(nullptr);
    EXPECT_EQ(v.vt, VT_UNKNOWN);
    EXPECT_EQ(v.punkVal, nullptr);
}

TEST(XVariant, ReadersConvertWithTheInvariantRules) {
    EXPECT_EQ(XVariant(u"12").ToInt32(), 12);
    int32_t n = -1;
    EXPECT_NE(XVariant(u"twelve").GetInt32(&n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(XVariant(u"-1").ToUInt32(), 0u) << "overflow reads as 0";
    XVariant r4 = OfType(VT_R4);
    r4.fltVal = 2.5f;
    EXPECT_EQ(r4.GetKind(), 0);
    EXPECT_EQ(r4.ToDouble(), 2.5) << "kind 0 still converts";
    EXPECT_TRUE(XVariant(u"true").ToBool());
    EXPECT_FALSE(XVariant(u"maybe").ToBool());
    EXPECT_TRUE(XVariant(3).ToBool());

    TWString s(u"kept");
    EXPECT_EQ(XVariant(true).GetString(&s), 0);
    EXPECT_EQ(S(s), u"1");
    EXPECT_EQ(XVariant(false).ToString().GetString(), std::u16string(u"0"));
    XVariant d;
    d.SetDouble(1.5);
    s = u"kept";
    EXPECT_EQ(d.GetString(&s), 0);
    EXPECT_EQ(S(s), u"1.5") << "a double keeps its value as text";
    XVariant null = OfType(VT_NULL);
    EXPECT_NE(null.GetString(&s), 0);
    EXPECT_EQ(S(s), u"");
    EXPECT_EQ(std::u16string(XVariant(4).GetStringPtr()), u"") << "no conversion";

    XVariant bytes = OfType(VT_ARRAY | VT_UI1);
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, 12);
    EXPECT_EQ(bytes.GetInt32(&n), ResultFromHResult(E_FAIL)) << "byte arrays are never converted";
    EXPECT_EQ(XVariant(1).ChangeType(XVK_INT64, &null), ResultFromHResult(E_FAIL));
}

// Values already of the wanted type skip the conversion; they must read exactly as converted ones.
TEST(XVariant, SameTypeReadsMatchTheConversion) {
    XVariant odd = OfType(VT_BOOL);
    odd.boolVal = 1; // not VARIANT_TRUE, still true
    XVariant nan;
    nan.SetDouble(std::numeric_limits<double>::quiet_NaN());
    XVariant big(0xFFFFFFFFu);
    XVariant minInt(static_cast<int>(INT32_MIN));
    XVariant nullText = OfType(VT_BSTR);
    XVariant inner = OfType(VT_BSTR);
    inner.bstrVal = SysAllocStringLen(u"a\0b", 3);
    const XVariant* values[] = {&odd, &nan, &big, &minInt, &nullText, &inner};
    for (const XVariant* v : values) {
        XVariant viaConversion;
        bool b = true;
        EXPECT_EQ(v->GetBool(&b), v->ChangeType(XVK_BOOL, &viaConversion)) << v->vt;
        EXPECT_EQ(b, viaConversion.vt == VT_BOOL && viaConversion.boolVal != 0) << v->vt;
        viaConversion.Clear();
        int32_t n = 7;
        EXPECT_EQ(v->GetInt32(&n), v->ChangeType(XVK_INT32, &viaConversion)) << v->vt;
        EXPECT_EQ(n, viaConversion.vt == VT_I4 ? viaConversion.lVal : 0) << v->vt;
        viaConversion.Clear();
        uint32_t u = 7;
        EXPECT_EQ(v->GetUInt32(&u), v->ChangeType(XVK_UINT32, &viaConversion)) << v->vt;
        EXPECT_EQ(u, viaConversion.vt == VT_UI4 ? viaConversion.ulVal : 0u) << v->vt;
        viaConversion.Clear();
        double d = 7;
        EXPECT_EQ(v->GetDouble(&d), v->ChangeType(XVK_DOUBLE, &viaConversion)) << v->vt;
        if (viaConversion.vt == VT_R8 && std::isnan(viaConversion.dblVal))
            EXPECT_TRUE(std::isnan(d));
        else
            EXPECT_EQ(d, viaConversion.vt == VT_R8 ? viaConversion.dblVal : 0.0) << v->vt;
    }
    TWString s(u"old");
    EXPECT_EQ(nullText.GetString(&s), 0);
    EXPECT_EQ(S(s), u"") << "a null BSTR reads as empty";
    EXPECT_EQ(inner.GetString(&s), 0);
    EXPECT_EQ(s.GetLength(), 3) << "the whole BSTR, past an inner NUL";
    EXPECT_EQ(std::u16string(s.GetString(), 3), std::u16string(u"a\0b", 3));
    EXPECT_EQ(big.ToUInt32(), 0xFFFFFFFFu);
    EXPECT_EQ(big.ToInt32(), 0) << "an unsigned value past INT32_MAX overflows the signed read";
    EXPECT_EQ(minInt.ToInt32(), INT32_MIN);
}

TEST(XVariant, DatesBecomeSecondsSince1970) {
    setenv("TZ", "UTC", 1);
    tzset();
    XVariant d = OfType(VT_DATE);
    d.date = 25569.5; // 1970-01-01 12:00
    EXPECT_EQ(d.ToDate(), 43200.0);
    double t = 0;
    EXPECT_EQ(XVariant(1).GetDate(&t), 1);
    d.date = 1e9;
    EXPECT_EQ(d.GetDate(&t), 1) << "outside what the split covers";
}

TEST(XVariant, Equality) {
    EXPECT_FALSE(XVariant::Equals(XVariant(), XVariant())) << "empty is unequal, also to itself";
    EXPECT_TRUE(XVariant::Equals(XVariant(3), XVariant(3)));
    EXPECT_FALSE(XVariant::Equals(XVariant(3), XVariant(3u))) << "different types";
    EXPECT_TRUE(XVariant::Equals(XVariant(u"a"), XVariant(u"a")));
    EXPECT_FALSE(XVariant::Equals(XVariant(u"a"), XVariant(u"A")));
    XVariant x, y;
    x.SetDouble(0.5);
    y.SetDouble(0.5);
    EXPECT_TRUE(XVariant::Equals(x, y));
    XVariant nullA = OfType(VT_UNKNOWN), nullB = OfType(VT_DISPATCH);
    EXPECT_TRUE(XVariant::Equals(nullA, nullB));

    // Byte arrays: equal by length and bytes, whatever their size.
    XVariant a = OfType(VT_ARRAY | VT_I1), b = OfType(VT_ARRAY | VT_I1);
    a.parray = SafeArrayCreateVector(VT_I1, 0, 3);
    b.parray = SafeArrayCreateVector(VT_I1, 0, 3);
    EXPECT_TRUE(XVariant::Equals(a, b));
    static_cast<char*>(b.parray->pvData)[2] = 1;
    EXPECT_FALSE(XVariant::Equals(a, b));
    uint32_t words[2];
    EXPECT_EQ(SafeArrayReadWords(a.parray, words, XVK_INT64), E_FAIL) << "too short for the two words";
    XVariant big = OfType(VT_ARRAY | VT_UI1);
    big.parray = SafeArrayCreateVector(VT_UI1, 0, 12);
    static_cast<BYTE*>(big.parray->pvData)[4] = 7;
    ASSERT_EQ(SafeArrayReadWords(big.parray, words, XVK_UINT64), S_OK);
    EXPECT_EQ(words[0], 7u);
    EXPECT_EQ(SafeArrayReadWords(big.parray, words, XVK_INT32), E_FAIL);
    EXPECT_EQ(big.parray->cLocks, 0u);
}

TEST(XArgList, HoldsArgumentsLastFirst) {
    XArgList list;
    EXPECT_EQ(list.GetArg(0)->vt, VT_EMPTY);
    list.SetDefaultInt32(5);
    for (int i = 0; i < 10; ++i)
        list.PushArg(XVariant(i));
    EXPECT_EQ(list.GetCount(), 9) << "a full list ignores more";
    EXPECT_EQ(list.GetArg(0)->lVal, 0);
    EXPECT_EQ(list.GetArg(8)->lVal, 8);
    EXPECT_EQ(list.GetArg(9)->lVal, 5) << "the default";
    EXPECT_EQ(list.GetArg(-1)->lVal, 5);
    EXPECT_EQ(list.FirstArgSlot()[0].lVal, 8) << "rgvarg order: last argument first";

    list.Reset(2);
    EXPECT_EQ(list.GetCount(), 2);
    *list.GetArg(0) = u"first";
    *list.GetArg(1) = 2;
    EXPECT_EQ(list.FirstArgSlot()[1].vt, VT_BSTR);

    VARIANT rgvarg[3];
    for (int i = 0; i < 3; ++i) {
        VariantInit(&rgvarg[i]);
        rgvarg[i].vt = VT_I4;
        rgvarg[i].lVal = 10 + i;
    }
    list.Attach(rgvarg, 3);
    EXPECT_EQ(list.GetArg(0), &rgvarg[2]);
    EXPECT_EQ(list.GetArg(2)->lVal, 10);
    list.Attach(rgvarg, 1);
    EXPECT_EQ(list.GetCount(), 3) << "ignored while attached";
    list.PushArg(XVariant(1));
    list.Clear();
    EXPECT_EQ(rgvarg[0].lVal, 10) << "a lent array is left to its owner";
    list.Detach();
    list.SetDefaultString(u"none");
    EXPECT_EQ(std::u16string(list.GetArg(0)->GetStringPtr()), u"none");
}

TEST(XArgString, BorrowsTextAndConvertsTheRest) {
    XVariant text(u"abc");
    {
        XArgString view(&text);
        EXPECT_EQ(view.GetString(), text.bstrVal) << "no copy";
        EXPECT_EQ(view.GetLength(), 3);
    }
    EXPECT_EQ(std::u16string(text.bstrVal), u"abc") << "the view did not free it";
    XVariant number(42);
    XArgString converted(&number);
    EXPECT_EQ(std::u16string(converted.GetString()), u"42");
    XArgBstr b(&number);
    EXPECT_EQ(std::u16string(b.GetString()), u"42");
    XArgBstr borrowed(&text);
    EXPECT_EQ(borrowed.GetString(), text.bstrVal);
    XArgString none(nullptr);
    EXPECT_EQ(none.GetLength(), 0);
}

} // namespace
