#pragma once
// ShellListener: the program's listener on the Shell. It shows nothing of what the toolkit tells
// it; when the last scene has closed it posts the quit message that ends the message loop.
#include <cstdint>

#include "runtime/script_object.h"

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

class ShellListener : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "ShellListener"

    explicit ShellListener(HINSTANCE instance) : instance_(instance) {}
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }

private:
    HINSTANCE instance_; // kept, not used
};

// A listener with one reference in `out`: 10 for a null out pointer, 18 when memory is short.
int32_t CreateShellListener(HINSTANCE instance, ShellListener** out);
