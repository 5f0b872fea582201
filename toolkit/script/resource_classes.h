#pragma once
// The script objects of libraries and their resources. A Library object keeps a walk over its
// library's resources; Resource objects (and the Bitmap, ImageElement and Gadget kinds under it)
// answer a resource's identity.
#include "toolkit/script/native_wrapper.h"

class LibraryObject : public oxNativeWrapper {
public:
    explicit LibraryObject(void* library);

    // The position of the walk, counted from the first resource; -1 before firstResource.
    int cursor = -1;
};
