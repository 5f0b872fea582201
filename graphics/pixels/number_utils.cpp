#include "graphics/pixels/number_utils.h"

#include <cstdlib>
#include <cstring>

#include "graphics/pixels/matrix.h"

namespace {

// Nearest integer (ties to even) through the double's low word once 1.5 * 2^52 is added.
int32_t RoundNearest(double v) {
    volatile double sum = v + 6755399441055744.0;
    const double held = sum;
    uint64_t bits;
    std::memcpy(&bits, &held, sizeof bits);
    return int32_t(uint32_t(bits));
}

int32_t Round(double v) {
    return RoundNearest(v + 1.5e-8);
}

} // namespace

int32_t RoundToInt(double x) {
    if (x < 0) return RoundNearest(x + 0.500000014986);
    return RoundNearest(x - 0.499999999986 + 1.5e-8);
}

void RoundRectOutward(float left, float top, float right, float bottom, RECT* out) {
    if (!out) return;
    out->left = Round(double(left - 0.5f));
    out->top = Round(double(top - 0.5f));
    out->right = Round(double(right + 0.5f));
    out->bottom = Round(double(bottom + 0.5f));
}

float RoundMatrixTranslation(oxMatrix* matrix) {
    float last = 0;
    for (int i = 9; i < 12; ++i) {
        last = float(Round(double(matrix->m[i])));
        matrix->m[i] = last;
    }
    return last;
}

int Random() {
    return std::rand() & 0x7fff;
}

float RandomUnit() {
    return float(Random()) * (1.0f / 32767.0f);
}
