#include "runtime/result_codes.h"

#include <gtest/gtest.h>

#include "platform/com/excepinfo.h"
#include "platform/com/hresult.h"

using namespace NUBO;

namespace {

constexpr HRESULT H(uint32_t value) {
    return static_cast<HRESULT>(value);
}

} // namespace

TEST(ResultCodes, CodeToHResult) {
    const struct {
        int32_t code;
        uint32_t hr;
    } cases[] = {
        {0, 0x00000000},
        {1, 0x80004005},
        {2, 0x80004001},
        {3, 0x81000001},
        {4, 0x80040111},
        {6, 0x81000006},
        {7, 0x80020003},
        {8, 0x81000002},
        {10, 0x80070057},
        {12, 0x8002000E},
        {18, 0x81000012},
        {29, 0x80010002},
        {45, 0x80070026},
        {46, 0x8100002E},
        {57, 0x80020003},
        {115, 0x80010105},
        // HRESULTs carried as codes pass unchanged
        {-2147467259, 0x80004005},
        {-123456, 0xFFFE1DC0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HResultFromResult(c.code), H(c.hr)) << c.code;
}

TEST(ResultCodes, HResultToCode) {
    const struct {
        uint32_t hr;
        int32_t code;
    } cases[] = {
        {0x00000000, 0},
        {0x00000001, 0},
        {0x00000002, 0},
        {0x7FFFFFFF, 0}, // every success is 0
        {0x80070057, 10},
        {0x80020004, 10},
        {0x80004001, 2},
        {0x80020003, 7},
        {0x800706F4, 10},
        {0x800706BF, 4},
        {0x80070026, 45},
        {0x81000001, 3},
        {0x81000002, 8},
        {0x81000003, 3},
        {0x81000006, 6},
        {0x81000012, 18},
        {0x8100FFFF, 0xFFFF},
        {0x80004002, H(0x80004002)}, // failures outside the table pass unchanged
        {0x81010000, H(0x81010000)}, // just outside the private range
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResultFromHResult(H(c.hr)), c.code) << std::hex << c.hr;
}

TEST(ResultCodes, UnpairedCodesComeBackThroughThePrivateRange) {
    for (int32_t code : {5, 6, 9, 11, 13, 17, 18, 46, 47, 89, 92, 128, 0xFFFF})
        EXPECT_EQ(ResultFromHResult(HResultFromResult(code)), code) << code;
}

// A success HRESULT whose facility bits match the private range must not turn into a failure.
TEST(ResultCodes, SuccessWithPrivateFacilityIsSuccess) {
    EXPECT_EQ(ResultFromHResult(H(0x01000005)), 0);
}

TEST(ResultCodes, ResultFromException) {
    EXCEPINFO info{};
    EXPECT_EQ(ResultFromException(E_FAIL, &info), E_FAIL);
    EXPECT_EQ(ResultFromException(DISP_E_EXCEPTION, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(ResultFromException(DISP_E_EXCEPTION, &info), DISP_E_EXCEPTION);
    info.wCode = 0x200;
    EXPECT_EQ(ResultFromException(DISP_E_EXCEPTION, &info), H(0x80040200));
    info.scode = H(0x81000006); // scode wins over wCode
    EXPECT_EQ(ResultFromException(DISP_E_EXCEPTION, &info), H(0x81000006));
    EXPECT_EQ(ResultFromHResult(ResultFromException(DISP_E_EXCEPTION, &info)), 6);
    EXPECT_EQ(ResultFromException(E_INVALIDARG, &info), E_INVALIDARG);
}
