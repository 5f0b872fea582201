#pragma once
// XPoint and XRect: the script classes through which scripts read and write a point or a rect.
#include <cstdint>

#include "runtime/script_object.h"

class XPoint : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "XPoint": x, y
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    int32_t x = 0;
    int32_t y = 0;
};

class XRect : public NUBO::XObject {
public:
    // "XRect": x, y, width, height; left and top as x and y; right and bottom read-only.
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};
