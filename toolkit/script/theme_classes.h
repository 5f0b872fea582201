#pragma once
// The Theme script object: a wrapper of a theme entry with its walk over the theme's libraries.
#include "toolkit/script/native_wrapper.h"

class oxThemeObject : public oxNativeWrapper {
public:
    explicit oxThemeObject(void* theme);

    int cursor = -1;
    bool cursorValid = false;
};
