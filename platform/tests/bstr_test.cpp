#include "platform/com/bstr.h"

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/com/hresult.h"

namespace {

uint32_t PrefixOf(BSTR s) {
    uint32_t prefix;
    memcpy(&prefix, reinterpret_cast<const char*>(s) - sizeof(prefix), sizeof(prefix));
    return prefix;
}

} // namespace

TEST(Bstr, LayoutIsByteLengthTextAndTerminator) {
    BSTR s = SysAllocString(u"abc");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(PrefixOf(s), 6u);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(memcmp(s, u"abc", 4 * sizeof(OLECHAR)), 0);
    SysFreeString(s);
}

TEST(Bstr, NullReadsAsEmpty) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);
}

TEST(Bstr, EmbeddedZerosKeepTheLength) {
    const OLECHAR text[] = {u'a', 0, u'b', 0};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], u'b');
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);
}

TEST(Bstr, AllocLenWithoutSourceIsZeroedAndTerminated) {
    BSTR s = SysAllocStringLen(nullptr, 5);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 5u);
    for (int i = 0; i <= 5; ++i)
        EXPECT_EQ(s[i], 0) << i;
    SysFreeString(s);
}

TEST(Bstr, ByteLenKeepsOddCounts) {
    BSTR s = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(SysStringLen(s), 1u);
    const char* bytes = reinterpret_cast<const char*>(s);
    EXPECT_EQ(memcmp(bytes, "abc", 4), 0); // text then a zero byte
    SysFreeString(s);
}

TEST(Bstr, HugeRequestsFailWithNull) {
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT32_MAX), nullptr);
}

TEST(Bstr, WidenedBytesAreUnitsOfTheirValue) {
    // Bytes above 0x7F are their own units (Latin-1), not sign-extended; zeros keep the length.
    const char bytes[] = {'a', '\0', char(0xE9), char(0xFF)};
    BSTR s = AllocBstrWidened(bytes, 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(PrefixOf(s), 8u);
    const OLECHAR expected[] = {u'a', 0, 0xE9, 0xFF, 0};
    EXPECT_EQ(memcmp(s, expected, sizeof(expected)), 0);
    SysFreeString(s);
    BSTR empty = AllocBstrWidened(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);
    EXPECT_EQ(AllocBstrWidened(nullptr, 3), nullptr);
    EXPECT_EQ(AllocBstrWidened(bytes, 0x80000000u), nullptr);
}

TEST(Bstr, ReAllocReplacesText) {
    BSTR s = SysAllocString(u"first");
    ASSERT_TRUE(SysReAllocString(&s, u"second text"));
    EXPECT_EQ(SysStringLen(s), 11u);
    EXPECT_EQ(memcmp(s, u"second text", 12 * sizeof(OLECHAR)), 0);

    // The source may lie inside the string being replaced.
    ASSERT_TRUE(SysReAllocStringLen(&s, s + 7, 4));
    EXPECT_EQ(SysStringLen(s), 4u);
    EXPECT_EQ(memcmp(s, u"text", 5 * sizeof(OLECHAR)), 0);

    ASSERT_TRUE(SysReAllocString(&s, nullptr));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 0u);
    SysFreeString(s);
}

TEST(Bstr, FailedReAllocKeepsTheOldText) {
    BSTR s = SysAllocString(u"keep");
    EXPECT_FALSE(SysReAllocStringLen(&s, nullptr, 0x80000000u));
    EXPECT_EQ(SysStringLen(s), 4u);
    EXPECT_EQ(memcmp(s, u"keep", 5 * sizeof(OLECHAR)), 0);
    EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
    SysFreeString(s);
}

TEST(HResult, MacrosAndPublishedValues) {
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_FALSE(FAILED(S_OK));
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DISPATCH, 3), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x154), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(HRESULT_FROM_WIN32(87), E_INVALIDARG);
    EXPECT_EQ(HRESULT_FROM_WIN32(14), E_OUTOFMEMORY);
    EXPECT_EQ(HRESULT_FROM_WIN32(38), static_cast<HRESULT>(0x80070026));
    EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
    EXPECT_EQ(HRESULT_FROM_WIN32(0x80004005u), E_FAIL); // already an HRESULT
}
