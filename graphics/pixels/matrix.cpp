#include "graphics/pixels/matrix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Recombines columns u and v of every row, the translation row included.
void Rotate(float* m, int u, int v, float angle) {
    const float c = float(std::cos(double(angle)));
    const float s = float(std::sin(double(angle)));
    float t[12];
    std::memcpy(t, m, sizeof t);
    for (int row = 0; row < 4; ++row) {
        const float a = m[row * 3 + u], b = m[row * 3 + v];
        t[row * 3 + u] = a * c + b * s;
        t[row * 3 + v] = b * c - a * s;
    }
    std::memcpy(m, t, sizeof t);
}

} // namespace

float Det3(float a, float b, float c, float d, float e, float f, float g, float h, float i) {
    return b * f * g + c * d * h + a * e * i - c * e * g - b * d * i - a * f * h;
}

void oxMatrix::Scale(float sx, float sy, float sz) {
    for (int row = 0; row < 4; ++row) {
        m[row * 3] *= sx;
        m[row * 3 + 1] *= sy;
        m[row * 3 + 2] *= sz;
    }
}

void oxMatrix::Translate(float tx, float ty, float tz) {
    m[9] += tx;
    m[10] += ty;
    m[11] += tz;
}

void oxMatrix::RotateX(float angle) {
    Rotate(m, 1, 2, angle);
}
void oxMatrix::RotateY(float angle) {
    Rotate(m, 0, 2, angle);
}
void oxMatrix::RotateZ(float angle) {
    Rotate(m, 0, 1, angle);
}

void oxMatrix::Multiply(oxMatrix& out, const oxMatrix& a, const oxMatrix& b) {
    float t[12];
    const float* x = a.m;
    const float* y = b.m;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) {
            float v = x[row * 3] * y[col] + x[row * 3 + 1] * y[3 + col] + x[row * 3 + 2] * y[6 + col];
            if (row == 3) v += y[9 + col];
            t[row * 3 + col] = v;
        }
    }
    std::memcpy(out.m, t, sizeof t);
}

void oxMatrix::Invert(const oxMatrix& source, oxMatrix& out) {
    const float* m = source.m;
    const float det =
        m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
    const float r = det == 0.0f ? 0.0f : 1.0f / det;
    if (det == 0.0f || r == 0.0f) {
        std::fill_n(out.m, 12, 0.0f);
        return;
    }
    float t[12];
    t[0] = (m[4] * m[8] - m[5] * m[7]) * r;
    t[1] = -(m[1] * m[8] - m[2] * m[7]) * r;
    t[2] = (m[1] * m[5] - m[2] * m[4]) * r;
    t[3] = -(m[3] * m[8] - m[5] * m[6]) * r;
    t[4] = (m[0] * m[8] - m[2] * m[6]) * r;
    t[5] = -(m[0] * m[5] - m[2] * m[3]) * r;
    t[6] = (m[3] * m[7] - m[4] * m[6]) * r;
    t[7] = -(m[0] * m[7] - m[1] * m[6]) * r;
    t[8] = (m[0] * m[4] - m[1] * m[3]) * r;
    t[9] = -Det3(m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11]) * r;
    t[10] = Det3(m[0], m[1], m[2], m[6], m[7], m[8], m[9], m[10], m[11]) * r;
    t[11] = -Det3(m[0], m[1], m[2], m[3], m[4], m[5], m[9], m[10], m[11]) * r;
    std::memcpy(out.m, t, sizeof t);
}

void oxMatrix::TransformVector(float* p, bool withTranslation) const {
    const float x = p[0], y = p[1], z = p[2];
    p[0] = x * m[0] + y * m[3] + z * m[6];
    p[1] = x * m[1] + y * m[4] + z * m[7];
    p[2] = x * m[2] + y * m[5] + z * m[8];
    if (withTranslation) {
        p[0] += m[9];
        p[1] += m[10];
        p[2] += m[11];
    }
}

void oxMatrix::TransformPoints(float* out, int outStride, const float* in, int inStride, int count,
                               bool withTranslation) const {
    for (int i = 0; i < count; ++i, out += outStride, in += inStride) {
        if (inStride == 2) {
            const float x = in[0], y = in[1];
            out[0] = x * m[0] + y * m[3] + m[6] + (withTranslation ? m[9] : 0.0f);
            out[1] = x * m[1] + y * m[4] + m[7] + (withTranslation ? m[10] : 0.0f);
            out[2] = 1.0f;
        } else {
            float p[3] = {in[0], in[1], in[2]};
            TransformVector(p, withTranslation);
            out[0] = p[0], out[1] = p[1], out[2] = p[2];
        }
    }
}

void oxMatrix::TransformRect(float* box, bool flat) const {
    const float x0 = box[0], y0 = box[1], z0 = box[2], x1 = box[3], y1 = box[4], z1 = box[5];
    float corners[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x0, y1, z0}, {x1, y1, z0},
                           {x0, y0, z1}, {x1, y0, z1}, {x0, y1, z1}, {x1, y1, z1}};
    const int n = flat ? 4 : 8;
    TransformPoints(&corners[0][0], 3, &corners[0][0], 3, n, true);
    float lo[3] = {corners[0][0], corners[0][1], corners[0][2]};
    float hi[3] = {lo[0], lo[1], lo[2]};
    for (int i = 1; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], corners[i][c]);
            hi[c] = std::max(hi[c], corners[i][c]);
        }
    box[0] = lo[0], box[1] = lo[1], box[2] = lo[2];
    box[3] = hi[0], box[4] = hi[1], box[5] = hi[2];
}
