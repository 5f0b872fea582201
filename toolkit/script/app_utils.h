#pragma once
// AppUtils: the `appUtils` script item of utility members: screen and work-area metrics, the
// cursor, box URLs as file paths, resource streams, sounds, file dialogs and a few platform
// services. Members kept for scripts of other platforms answer fixed values. No state of its own.
#include "runtime/script_object.h"

class AppUtils : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor; // "AppUtils"
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
};
