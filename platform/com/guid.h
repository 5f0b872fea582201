#pragma once
// 128-bit interface and class ids, compared by value.
#include <cstring>

#include "platform/types.h"

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IDispatchEx;
extern const IID IID_ITypeInfo;
extern const IID IID_IServiceProvider;
