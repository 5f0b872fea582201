#pragma once
// The system's result codes: 0 for success, small positive integers for failures, and negative
// values that are HRESULTs carried unchanged. They become HRESULTs only at the COM boundary.
#include <cstdint>

#include "platform/types.h"

struct EXCEPINFO;

namespace NUBO {

constexpr int32_t XR_SUCCESS = 0;
constexpr int32_t XR_FAIL = 1;
constexpr int32_t XR_NOT_IMPLEMENTED = 2;
constexpr int32_t XR_NO_METHOD = 6;
constexpr int32_t XR_NOT_FOUND = 7;
constexpr int32_t XR_NO_PROPERTY = 8;
constexpr int32_t XR_INVALID = 10; // null pointer, missing native object, invalid argument
constexpr int32_t XR_TOO_FEW_ARGS = 12;
constexpr int32_t XR_BEFORE_START = 13;
constexpr int32_t XR_NOT_OBJECT = 17;
constexpr int32_t XR_OUT_OF_MEMORY = 18;
constexpr int32_t XR_END_OF_STREAM = 45;
constexpr int32_t XR_STREAM_CLOSED = 46;
constexpr int32_t XR_FIXED_SIZE = 47;
constexpr int32_t XR_NAME_NOT_FOUND = 57;
constexpr int32_t XR_NOT_STREAM = 89;
constexpr int32_t XR_NO_NATIVE_OBJECT = 92;
constexpr int32_t XR_CLOSE_FAILED = 128;

// Codes without a pair in the table travel as 0x81000000 + code, so they come back unchanged.
constexpr uint32_t kPrivateHResultBase = 0x81000000;

struct XResultPair {
    int32_t code;
    HRESULT hr;
};

// Searched from the top in both directions: where a value stands twice, the earlier row wins.
extern const XResultPair kResultPairs[20];

HRESULT HResultFromResult(int32_t code);
int32_t ResultFromHResult(HRESULT hr);
// The HRESULT behind an automation call's failure, for ResultFromHResult. An exception's
// description is kept as the thread's error object (platform/com/error_info.h).
HRESULT ResultFromException(HRESULT hr, const EXCEPINFO* info);

} // namespace NUBO
