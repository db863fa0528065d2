// Row-major 4x4 matrices and planes in 32-bit floats; points are row vectors.
#pragma once

using Matrix = float[16];  // element (r, c) is [4r + c]; row 3 holds the translation
using Plane = float[4];    // a, b, c, d: a*x + b*y + c*z + d >= 0 is inside

// Slots the scenes set directly: how much x adds to y and to z (row 0), the
// translation (row 3) and row 3's homogeneous weight, set by matrix_scale_w.
constexpr int MatrixShearYByX = 1, MatrixShearZByX = 2;
constexpr int MatrixTranslateX = 12, MatrixTranslateY = 13, MatrixTranslateZ = 14;
constexpr int MatrixWeight = 15;

void matrix_identity(Matrix m);
void matrix_multiply(const Matrix a, const Matrix b, Matrix out);  // out = b * a; out may alias
void matrix_rotate_x(Matrix m, float angle);
void matrix_rotate_y(Matrix m, float angle);
void matrix_rotate_z(Matrix m, float angle);
void matrix_translate(Matrix m, float x, float y, float z);
void matrix_scale_w(Matrix m, float s);
void invert_matrix(const Matrix m, Matrix out);  // ends the process on det == 0
void transform_plane(const Plane in, Plane out, const Matrix m);
// Inline: the frustum test asks it for every vertex of every object, every frame.
inline float plane_distance(const Plane p, const float point[3])
{
    double sum = static_cast<double>(p[0]) * point[0] + static_cast<double>(p[1]) * point[1] +
                 static_cast<double>(p[2]) * point[2] + p[3];
    return static_cast<float>(sum);
}
