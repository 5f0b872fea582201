#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/ole_time.h"
#include "platform/com/safearray.h"
#include "platform/crt/wide.h"

namespace {

VARIANT Empty() {
    VARIANT v;
    VariantInit(&v);
    return v;
}
VARIANT I4(LONG n) {
    VARIANT v = Empty();
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}
VARIANT R8(double d) {
    VARIANT v = Empty();
    v.vt = VT_R8;
    v.dblVal = d;
    return v;
}
VARIANT Bool(bool b) {
    VARIANT v = Empty();
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
VARIANT Null() {
    VARIANT v = Empty();
    v.vt = VT_NULL;
    return v;
}
// The caller clears it (the table below clears every source).
VARIANT Str(const char16_t* s) {
    VARIANT v = Empty();
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

std::u16string Text(const VARIANT& v) {
    return v.bstrVal ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : u"";
}

// An automation object whose value property answers a fixed value, or fails.
class ValueObject : public IDispatch {
public:
    explicit ValueObject(VARIANT value, HRESULT answer = S_OK) : value_(value), answer_(answer) {}
    ~ValueObject() { VariantClear(&value_); }
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        ++calls;
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(answer_)) return answer_;
        return VariantCopy(result, &value_);
    }
    ULONG refs = 1;
    int calls = 0;

private:
    VARIANT value_;
    HRESULT answer_;
};

struct Conversion {
    const char* name;
    VARIANT (*make)();
    VARTYPE to;
    HRESULT hr;
    double number;        // expected numeric value (booleans: -1/0)
    const char16_t* text; // expected text for VT_BSTR targets
};

double Number(const VARIANT& v) {
    switch (v.vt) {
    case VT_I4:
        return v.lVal;
    case VT_UI4:
        return v.ulVal;
    case VT_I2:
        return v.iVal;
    case VT_UI1:
        return v.bVal;
    case VT_BOOL:
        return v.boolVal;
    case VT_R8:
        return v.dblVal;
    case VT_I8:
        return static_cast<double>(v.llVal);
    default:
        return -12345;
    }
}

const Conversion kConversions[] = {
    {"blanks around digits", [] { return Str(u"  12 "); }, VT_I4, S_OK, 12, nullptr},
    {"exponent", [] { return Str(u"1e3"); }, VT_I4, S_OK, 1000, nullptr},
    {"sign and fraction", [] { return Str(u"-2.5"); }, VT_R8, S_OK, -2.5, nullptr},
    {"text fraction rounds to even", [] { return Str(u"\t+4.5"); }, VT_I4, S_OK, 4, nullptr},
    {"leading point", [] { return Str(u".5e1"); }, VT_R8, S_OK, 5, nullptr},
    {"not a number", [] { return Str(u"abc"); }, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"digits then letters", [] { return Str(u"12a"); }, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"blank text", [] { return Str(u"   "); }, VT_R8, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"exponent without digits", [] { return Str(u"1e"); }, VT_R8, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"text above int32", [] { return Str(u"2147483648"); }, VT_I4, DISP_E_OVERFLOW, 0, nullptr},
    {"int32 limit", [] { return Str(u"-2147483648"); }, VT_I4, S_OK, -2147483648.0, nullptr},
    {"negative to unsigned", [] { return Str(u"-1"); }, VT_UI4, DISP_E_OVERFLOW, 0, nullptr},
    {"huge exponent", [] { return Str(u"1e400"); }, VT_R8, DISP_E_OVERFLOW, 0, nullptr},
    {"tiny exponent is zero", [] { return Str(u"-1e-400"); }, VT_R8, S_OK, 0, nullptr},
    // Out of range either way: where the first digit stands decides, not the exponent's sign.
    {"tiny without exponent", [] { return Str((u"0." + std::u16string(400, u'0') + u"1").c_str()); }, VT_R8, S_OK, 0,
     nullptr},
    {"huge with negative exponent", [] { return Str((u"1" + std::u16string(400, u'0') + u"e-5").c_str()); }, VT_R8,
     DISP_E_OVERFLOW, 0, nullptr},
    {"2.5 rounds down to even", [] { return R8(2.5); }, VT_I4, S_OK, 2, nullptr},
    {"3.5 rounds up to even", [] { return R8(3.5); }, VT_I4, S_OK, 4, nullptr},
    {"-2.5 rounds to even", [] { return R8(-2.5); }, VT_I4, S_OK, -2, nullptr},
    {"2.51 rounds up", [] { return R8(2.51); }, VT_I4, S_OK, 3, nullptr},
    {"double above int32", [] { return R8(3e9); }, VT_I4, DISP_E_OVERFLOW, 0, nullptr},
    {"double fits uint32", [] { return R8(3e9); }, VT_UI4, S_OK, 3e9, nullptr},
    {"int32 above byte", [] { return I4(256); }, VT_UI1, DISP_E_OVERFLOW, 0, nullptr},
    {"int32 to int16", [] { return I4(-300); }, VT_I2, S_OK, -300, nullptr},
    {"true to int", [] { return Bool(true); }, VT_I4, S_OK, -1, nullptr},
    {"false to int", [] { return Bool(false); }, VT_I4, S_OK, 0, nullptr},
    {"number to bool", [] { return I4(7); }, VT_BOOL, S_OK, -1, nullptr},
    {"zero to bool", [] { return R8(0); }, VT_BOOL, S_OK, 0, nullptr},
    {"text true to bool", [] { return Str(u"TRUE"); }, VT_BOOL, S_OK, -1, nullptr},
    {"text false to bool", [] { return Str(u" false "); }, VT_BOOL, S_OK, 0, nullptr},
    {"numeric text to bool", [] { return Str(u"0"); }, VT_BOOL, S_OK, 0, nullptr},
    {"other text to bool", [] { return Str(u"yes"); }, VT_BOOL, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"empty to int", [] { return Empty(); }, VT_I4, S_OK, 0, nullptr},
    {"empty to double", [] { return Empty(); }, VT_R8, S_OK, 0, nullptr},
    {"empty to bool", [] { return Empty(); }, VT_BOOL, S_OK, 0, nullptr},
    {"empty to text", [] { return Empty(); }, VT_BSTR, S_OK, 0, u""},
    {"null to int", [] { return Null(); }, VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"null to text", [] { return Null(); }, VT_BSTR, DISP_E_TYPEMISMATCH, 0, nullptr},
    {"int to text", [] { return I4(-1234567); }, VT_BSTR, S_OK, 0, u"-1234567"},
    {"true to text", [] { return Bool(true); }, VT_BSTR, S_OK, 0, u"True"},
    {"false to text", [] { return Bool(false); }, VT_BSTR, S_OK, 0, u"False"},
    {"double to text", [] { return R8(2.5); }, VT_BSTR, S_OK, 0, u"2.5"},
    {"large double to text", [] { return R8(1e21); }, VT_BSTR, S_OK, 0, u"1E+21"},
    {"unknown target type", [] { return I4(1); }, 99, DISP_E_BADVARTYPE, 0, nullptr},
};

class ChangeTypeTable : public testing::TestWithParam<Conversion> {};

TEST_P(ChangeTypeTable, Converts) {
    const Conversion& c = GetParam();
    VARIANT src = c.make();
    VARIANT dst = Empty();
    HRESULT hr = VariantChangeTypeEx(&dst, &src, LOCALE_INVARIANT, 0, c.to);
    EXPECT_EQ(hr, c.hr);
    if (c.hr == S_OK) {
        EXPECT_EQ(dst.vt, c.to);
        if (c.text)
            EXPECT_EQ(Text(dst), std::u16string(c.text));
        else
            EXPECT_DOUBLE_EQ(Number(dst), c.number);
    } else {
        EXPECT_EQ(dst.vt, VT_EMPTY) << "a failed conversion leaves the destination alone";
    }
    VariantClear(&src);
    VariantClear(&dst);
}

INSTANTIATE_TEST_SUITE_P(Variant, ChangeTypeTable, testing::ValuesIn(kConversions),
                         [](const testing::TestParamInfo<Conversion>& param) {
                             std::string name;
                             for (const char* p = param.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(Variant, ChangeTypeInPlaceFreesTheOldString) {
    VARIANT v = Str(u" 42 ");
    ASSERT_EQ(VariantChangeTypeEx(&v, &v, LOCALE_INVARIANT, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 42);
}

TEST(Variant, ObjectsConvertThroughTheirValueProperty) {
    ValueObject obj(I4(17));
    VARIANT src = Empty();
    src.vt = VT_UNKNOWN;
    src.punkVal = &obj;
    VARIANT dst = Empty();
    ASSERT_EQ(VariantChangeTypeEx(&dst, &src, LOCALE_INVARIANT, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Text(dst), u"17");
    EXPECT_EQ(obj.calls, 1);
    EXPECT_EQ(obj.refs, 1u) << "the conversion keeps no reference";
    VariantClear(&dst);

    ValueObject failing(Empty(), DISP_E_MEMBERNOTFOUND);
    src.vt = VT_DISPATCH;
    src.pdispVal = &failing;
    EXPECT_EQ(VariantChangeTypeEx(&dst, &src, LOCALE_INVARIANT, 0, VT_I4), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(VariantChangeTypeEx(&dst, &src, LOCALE_INVARIANT, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(failing.calls, 1);

    // Object to object keeps the object and takes a reference.
    ASSERT_EQ(VariantChangeTypeEx(&dst, &src, LOCALE_INVARIANT, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(dst.punkVal, static_cast<IUnknown*>(&failing));
    EXPECT_EQ(failing.refs, 2u);
    VariantClear(&dst);
    EXPECT_EQ(failing.refs, 1u);
}

TEST(Variant, ByReferenceSourcesAreRead) {
    LONG n = 9;
    VARIANT src = Empty();
    src.vt = VT_BYREF | VT_I4;
    src.plVal = &n;
    VARIANT dst = Empty();
    ASSERT_EQ(VariantChangeTypeEx(&dst, &src, LOCALE_INVARIANT, 0, VT_R8), S_OK);
    EXPECT_EQ(dst.dblVal, 9.0);

    // A by-reference variant is followed one level; one that points back at itself must not loop.
    VARIANT inner = I4(4);
    VARIANT outer = Empty();
    outer.vt = VT_BYREF | VT_VARIANT;
    outer.pvarVal = &inner;
    ASSERT_EQ(VariantChangeTypeEx(&dst, &outer, LOCALE_INVARIANT, 0, VT_BSTR), S_OK);
    EXPECT_EQ(Text(dst), u"4");
    VariantClear(&dst);
    VARIANT loop = Empty();
    loop.vt = VT_BYREF | VT_VARIANT;
    loop.pvarVal = &loop;
    EXPECT_EQ(VariantChangeTypeEx(&dst, &loop, LOCALE_INVARIANT, 0, VT_I4), E_INVALIDARG);

    // A by-reference empty has no value behind it to read.
    BYTE one = 1;
    VARIANT empty = Empty();
    empty.vt = VT_BYREF | VT_EMPTY;
    empty.byref = &one;
    ASSERT_EQ(VariantChangeTypeEx(&dst, &empty, LOCALE_INVARIANT, 0, VT_I4), S_OK);
    EXPECT_EQ(dst.lVal, 0);
}

TEST(Variant, CopyIsDeep) {
    VARIANT a = Str(u"text");
    VARIANT b = I4(3);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_EQ(Text(b), u"text");
    EXPECT_EQ(VariantCopy(&a, &a), S_OK) << "self copy";
    VariantClear(&a);
    EXPECT_EQ(Text(b), u"text");
    VariantClear(&b);

    // Strings with embedded zeros keep their length.
    VARIANT z = Empty();
    z.vt = VT_BSTR;
    z.bstrVal = SysAllocStringLen(u"a\0b", 3);
    VARIANT zc = Empty();
    ASSERT_EQ(VariantCopy(&zc, &z), S_OK);
    EXPECT_EQ(SysStringLen(zc.bstrVal), 3u);
    VariantClear(&z);
    VariantClear(&zc);

    // Arrays are copied, never shared.
    VARIANT arr = Empty();
    arr.vt = VT_ARRAY | VT_VARIANT;
    arr.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(arr.parray, nullptr);
    VARIANT item = Str(u"x");
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(arr.parray, &index, &item), S_OK);
    VariantClear(&item);
    VARIANT arrCopy = Empty();
    ASSERT_EQ(VariantCopy(&arrCopy, &arr), S_OK);
    EXPECT_NE(arrCopy.parray, arr.parray);
    VariantClear(&arr);
    VARIANT got = Empty();
    ASSERT_EQ(SafeArrayGetElement(arrCopy.parray, &index, &got), S_OK);
    EXPECT_EQ(Text(got), u"x");
    VariantClear(&got);
    VariantClear(&arrCopy);
}

TEST(OleTime, SplitsAndJoinsDates) {
    struct Case {
        DATE date;
        WORD y, mo, d, h, mi, s, dow;
    } cases[] = {
        {0.0, 1899, 12, 30, 0, 0, 0, 6},   {25569.0, 1970, 1, 1, 0, 0, 0, 4},   {25569.75, 1970, 1, 1, 18, 0, 0, 4},
        {-1.25, 1899, 12, 29, 6, 0, 0, 5}, {36950.5, 2001, 2, 28, 12, 0, 0, 3}, {2958465.0, 9999, 12, 31, 0, 0, 0, 5},
    };
    for (const Case& c : cases) {
        SYSTEMTIME st{};
        ASSERT_TRUE(VariantTimeToSystemTime(c.date, &st)) << c.date;
        EXPECT_EQ(st.wYear, c.y) << c.date;
        EXPECT_EQ(st.wMonth, c.mo) << c.date;
        EXPECT_EQ(st.wDay, c.d) << c.date;
        EXPECT_EQ(st.wHour, c.h) << c.date;
        EXPECT_EQ(st.wMinute, c.mi) << c.date;
        EXPECT_EQ(st.wSecond, c.s) << c.date;
        EXPECT_EQ(st.wDayOfWeek, c.dow) << c.date;
        DATE back = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
        EXPECT_DOUBLE_EQ(back, c.date);
    }
    SYSTEMTIME st{};
    // Half a second rounds up, into the next day when it must.
    ASSERT_TRUE(VariantTimeToSystemTime(1.0 - 0.4 / 86400.0, &st));
    EXPECT_EQ(st.wDay, 31);
    EXPECT_EQ(st.wSecond, 0);
    EXPECT_FALSE(VariantTimeToSystemTime(-700000.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(3e6, &st));
    SYSTEMTIME bad{2001, 2, 0, 29, 0, 0, 0, 0};
    DATE d = 0;
    EXPECT_FALSE(SystemTimeToVariantTime(&bad, &d));
}

} // namespace
