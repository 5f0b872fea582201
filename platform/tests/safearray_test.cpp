#include "platform/com/safearray.h"

#include <gtest/gtest.h>

#include <string>

TEST(SafeArray, BoundsAndElements) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_I4, 5, 3);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(SafeArrayGetDim(a), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(a), 4u);
    LONG lo = 0, hi = 0;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &hi), S_OK);
    EXPECT_EQ(lo, 5);
    EXPECT_EQ(hi, 7);
    EXPECT_EQ(SafeArrayGetLBound(a, 2, &lo), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(a, 0, &lo), DISP_E_BADINDEX);

    for (LONG i = 5; i <= 7; ++i) {
        LONG value = i * 10;
        ASSERT_EQ(SafeArrayPutElement(a, &i, &value), S_OK);
    }
    LONG outside[] = {4, 8};
    LONG value = 0;
    for (LONG index : outside) {
        EXPECT_EQ(SafeArrayGetElement(a, &index, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayPutElement(a, &index, &value), DISP_E_BADINDEX);
    }
    LONG six = 6;
    ASSERT_EQ(SafeArrayGetElement(a, &six, &value), S_OK);
    EXPECT_EQ(value, 60);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    EXPECT_EQ(static_cast<LONG*>(data)[2], 70);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED) << "a locked array stays";
    EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnlock(a), E_UNEXPECTED) << "unbalanced unlock";
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(SafeArray, MultipleDimensions) {
    SAFEARRAYBOUND bounds[] = {{2, 0}, {3, 1}};
    SAFEARRAY* a = SafeArrayCreate(VT_R8, 2, bounds);
    ASSERT_NE(a, nullptr);
    LONG at[] = {1, 3};
    double d = 2.5;
    ASSERT_EQ(SafeArrayPutElement(a, at, &d), S_OK);
    LONG bad[] = {2, 1};
    EXPECT_EQ(SafeArrayPutElement(a, bad, &d), DISP_E_BADINDEX);
    double back = 0;
    ASSERT_EQ(SafeArrayGetElement(a, at, &back), S_OK);
    EXPECT_EQ(back, 2.5);
    LONG hi = 0;
    EXPECT_EQ(SafeArrayGetUBound(a, 2, &hi), S_OK);
    EXPECT_EQ(hi, 3);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(SafeArray, StringsAreOwnedAndCopied) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_BSTR, 0, 2);
    ASSERT_NE(a, nullptr);
    BSTR s = SysAllocString(u"abc");
    LONG i = 0;
    ASSERT_EQ(SafeArrayPutElement(a, &i, s), S_OK);
    SysFreeString(s); // the array holds its own copy
    ASSERT_EQ(SafeArrayPutElement(a, &i, nullptr), S_OK) << "replacing frees the old string";
    i = 1;
    s = SysAllocString(u"xyz");
    ASSERT_EQ(SafeArrayPutElement(a, &i, s), S_OK);
    SysFreeString(s);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(a, &copy), S_OK);
    ASSERT_EQ(SafeArrayDestroy(a), S_OK);
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(copy, &i, &got), S_OK);
    EXPECT_EQ(std::u16string(got), u"xyz");
    SysFreeString(got);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

TEST(SafeArray, RefusesWhatItCannotHold) {
    SAFEARRAYBOUND bound{1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    SAFEARRAYBOUND huge[] = {{0x10000, 0}, {0x10000, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 2, huge), nullptr) << "size overflow";
    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 0, 0);
    ASSERT_NE(empty, nullptr);
    LONG i = 0;
    BYTE b = 0;
    EXPECT_EQ(SafeArrayGetElement(empty, &i, &b), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
}
