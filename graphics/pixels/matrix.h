#pragma once
// The affine transform of drawing: a 3 x 4 matrix of floats acting on row vectors, so that the
// product a * b applies a first and b second. Rows 0 to 2 are the linear part (the images of the
// x, y and z axes), row 3 the translation:
//   x' = x m0 + y m3 + z m6 + m9,  y' = x m1 + y m4 + z m7 + m10,  z' = x m2 + y m5 + z m8 + m11.

struct oxMatrix {
    float m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

    // Each of these applies after the existing transform.
    void Scale(float sx, float sy, float sz);
    void Translate(float tx, float ty, float tz);
    void RotateX(float angle); // radians
    void RotateY(float angle);
    void RotateZ(float angle);

    // out = a * b; out may be a or b.
    static void Multiply(oxMatrix& out, const oxMatrix& a, const oxMatrix& b);
    // The inverse; all zeros when the linear part is singular.
    static void Invert(const oxMatrix& source, oxMatrix& out);

    // Maps a point in place, with or without the translation.
    void TransformVector(float* point, bool withTranslation) const;
    // Strides are in floats. An input stride of 2 takes 2-D points as (x, y, 1) and writes z = 1.
    void TransformPoints(float* out, int outStride, const float* in, int inStride, int count,
                         bool withTranslation) const;
    // Maps a box {x0, y0, z0, x1, y1, z1} in place to the bounds of its mapped corners; `flat`
    // maps only the four corners at z0.
    void TransformRect(float* box, bool flat) const;
};

// Determinant of the 3 x 3 matrix with rows (a, b, c), (d, e, f), (g, h, i).
float Det3(float a, float b, float c, float d, float e, float f, float g, float h, float i);
