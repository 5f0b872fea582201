#include "toolkit/style/ui_scale.h"

namespace {
float gUiScale = 1.0f;
}

float GetUiScale() {
    return gUiScale;
}

void SetUiScale(float scale) {
    // Written so that a NaN ends at the lower bound instead of slipping through both tests.
    if (!(scale > 0.5f))
        scale = 0.5f;
    else if (scale > 3.0f)
        scale = 3.0f;
    gUiScale = scale;
}
