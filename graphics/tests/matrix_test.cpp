#include "graphics/pixels/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr float kPi = 3.14159265f;

oxMatrix RandomMatrix(std::mt19937& rng) {
    std::uniform_real_distribution<float> d(-3.0f, 3.0f);
    oxMatrix m;
    for (float& v : m.m)
        v = d(rng);
    return m;
}

void ExpectNear(const oxMatrix& a, const oxMatrix& b, float tolerance) {
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}

void Map(const oxMatrix& m, float* p) {
    m.TransformVector(p, true);
}

TEST(Matrix, InverseUndoesTheTransform) {
    std::mt19937 rng(1234);
    int checked = 0;
    for (int n = 0; n < 200; ++n) {
        const oxMatrix m = RandomMatrix(rng);
        oxMatrix inv, product;
        oxMatrix::Invert(m, inv);
        const float det = m.m[0] * (m.m[4] * m.m[8] - m.m[5] * m.m[7]) - m.m[1] * (m.m[3] * m.m[8] - m.m[5] * m.m[6]) +
                          m.m[2] * (m.m[3] * m.m[7] - m.m[4] * m.m[6]);
        if (std::fabs(det) < 0.5f) continue; // badly conditioned: float error would dominate
        ++checked;
        oxMatrix::Multiply(product, m, inv);
        ExpectNear(product, oxMatrix{}, 2e-4f);
        oxMatrix::Multiply(product, inv, m);
        ExpectNear(product, oxMatrix{}, 2e-4f);
        float p[3] = {1.5f, -2.0f, 0.25f};
        Map(m, p);
        Map(inv, p);
        EXPECT_NEAR(p[0], 1.5f, 1e-3f);
        EXPECT_NEAR(p[1], -2.0f, 1e-3f);
        EXPECT_NEAR(p[2], 0.25f, 1e-3f);
    }
    EXPECT_GT(checked, 100);
}

TEST(Matrix, SingularMatricesInvertToZero) {
    oxMatrix zeroColumn;
    zeroColumn.m[1] = zeroColumn.m[4] = zeroColumn.m[7] = 0.0f;
    zeroColumn.m[9] = 5.0f;
    oxMatrix out;
    oxMatrix::Invert(zeroColumn, out);
    for (float v : out.m)
        EXPECT_EQ(v, 0.0f);
    oxMatrix tiny;
    tiny.Scale(1e-20f, 1e-20f, 1e-20f); // the determinant underflows to 0
    oxMatrix::Invert(tiny, out);
    EXPECT_EQ(out.m[0], 0.0f);
}

TEST(Matrix, ProductAppliesTheLeftMatrixFirst) {
    std::mt19937 rng(99);
    for (int n = 0; n < 20; ++n) {
        const oxMatrix a = RandomMatrix(rng), b = RandomMatrix(rng);
        oxMatrix ab;
        oxMatrix::Multiply(ab, a, b);
        float p[3] = {0.5f, 1.25f, -0.75f}, q[3] = {0.5f, 1.25f, -0.75f};
        Map(ab, p);
        Map(a, q);
        Map(b, q);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p[i], q[i], 1e-3f);
        // The output may be one of the inputs.
        oxMatrix alias = a;
        oxMatrix::Multiply(alias, alias, b);
        ExpectNear(alias, ab, 0.0f);
    }
}

TEST(Matrix, OperationsApplyAfterTheExistingTransform) {
    oxMatrix m;
    m.Translate(5, 7, 0);
    m.Scale(2, 3, 1);
    EXPECT_EQ(m.m[9], 10.0f);
    EXPECT_EQ(m.m[10], 21.0f);
    EXPECT_EQ(m.m[11], 0.0f);

    oxMatrix r;
    r.RotateZ(kPi / 2);
    EXPECT_NEAR(r.m[0], 0.0f, 1e-6f);
    EXPECT_EQ(r.m[1], -1.0f);
    EXPECT_EQ(r.m[3], 1.0f);
    float p[3] = {1, 0, 0};
    Map(r, p);
    EXPECT_NEAR(p[0], 0.0f, 1e-6f);
    EXPECT_NEAR(p[1], -1.0f, 1e-6f);

    // Each rotation turns the pair of axes it names and keeps the third; a full turn is the identity.
    for (int axis = 0; axis < 3; ++axis) {
        oxMatrix t;
        t.Translate(1, 2, 3);
        const oxMatrix start = t;
        for (int i = 0; i < 4; ++i) {
            if (axis == 0)
                t.RotateX(kPi / 2);
            else if (axis == 1)
                t.RotateY(kPi / 2);
            else
                t.RotateZ(kPi / 2);
        }
        ExpectNear(t, start, 1e-5f);
        oxMatrix once;
        if (axis == 0)
            once.RotateX(0.3f);
        else if (axis == 1)
            once.RotateY(0.3f);
        else
            once.RotateZ(0.3f);
        EXPECT_EQ(once.m[axis * 4], 1.0f) << "the rotation axis stays fixed";
    }
}

TEST(Matrix, PointsAndBoxes) {
    oxMatrix m;
    m.m[6] = 4.0f, m.m[7] = 5.0f, m.m[8] = 9.0f;
    m.Translate(10, 20, 30);
    const float in2[4] = {1, 2, 3, 4};
    float out[6];
    m.TransformPoints(out, 3, in2, 2, 2, false);
    EXPECT_EQ(out[0], 5.0f) << "2-D points take z = 1, adding m6 and m7";
    EXPECT_EQ(out[1], 7.0f);
    EXPECT_EQ(out[2], 1.0f);
    EXPECT_EQ(out[3], 7.0f);
    m.TransformPoints(out, 3, in2, 2, 1, true);
    EXPECT_EQ(out[0], 15.0f);
    EXPECT_EQ(out[1], 27.0f);

    const float in3[3] = {1, 2, 3};
    m.TransformPoints(out, 3, in3, 3, 1, false);
    EXPECT_EQ(out[0], 13.0f);
    EXPECT_EQ(out[2], 27.0f);

    oxMatrix turn;
    turn.RotateZ(kPi / 2);
    turn.Translate(100, 0, 0);
    float box[6] = {0, 0, 0, 2, 1, 5};
    turn.TransformRect(box, true);
    EXPECT_NEAR(box[0], 100.0f, 1e-5f);
    EXPECT_NEAR(box[1], -2.0f, 1e-5f);
    EXPECT_NEAR(box[3], 101.0f, 1e-5f);
    EXPECT_NEAR(box[4], 0.0f, 1e-5f);
    EXPECT_EQ(box[2], 0.0f) << "flat boxes ignore z1";
    EXPECT_EQ(box[5], 0.0f);
    float deep[6] = {0, 0, 0, 2, 1, 5};
    turn.TransformRect(deep, false);
    EXPECT_EQ(deep[5], 5.0f);
    EXPECT_EQ(Det3(1, 2, 3, 0, 1, 4, 5, 6, 0), 1.0f);
}

} // namespace
