// Matrix and plane operations; every new transform is pre-multiplied.
#include "engine/matrix.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// Sums are carried in double (a product of two floats is exact there) and
// every stored element is rounded once to float, so results do not depend on
// how the compiler orders the float operations.

void matrix_identity(Matrix m)
{
    for (int i = 0; i < 16; i++)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void matrix_multiply(const Matrix a, const Matrix b, Matrix out)
{
    float product[16];
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            double sum = 0.0;
            for (int k = 0; k < 4; k++)
                sum += static_cast<double>(b[4 * r + k]) * a[4 * k + c];
            product[4 * r + c] = static_cast<float>(sum);
        }
    memcpy(out, product, sizeof product);
}

static void apply_first(Matrix m, const Matrix transform)
{
    matrix_multiply(m, transform, m);
}

// A turn by `angle` in the plane of axes `a` and `b`: entries (a, a) and
// (b, b) hold the cosine, (a, b) the sine and (b, a) its negation.
static void rotate_in_plane(Matrix m, float angle, int a, int b)
{
    float c = std::cos(angle), s = std::sin(angle);
    Matrix rotation;
    matrix_identity(rotation);
    rotation[a * 4 + a] = c;
    rotation[a * 4 + b] = s;
    rotation[b * 4 + a] = -s;
    rotation[b * 4 + b] = c;
    apply_first(m, rotation);
}

void matrix_rotate_x(Matrix m, float angle)
{
    rotate_in_plane(m, angle, 1, 2);
}

void matrix_rotate_y(Matrix m, float angle)
{
    rotate_in_plane(m, angle, 2, 0);
}

void matrix_rotate_z(Matrix m, float angle)
{
    rotate_in_plane(m, angle, 0, 1);
}

void matrix_translate(Matrix m, float x, float y, float z)
{
    Matrix translation;
    matrix_identity(translation);
    translation[MatrixTranslateX] = x;
    translation[MatrixTranslateY] = y;
    translation[MatrixTranslateZ] = z;
    apply_first(m, translation);
}

void matrix_scale_w(Matrix m, float s)
{
    Matrix weight;
    matrix_identity(weight);
    weight[MatrixWeight] = s;
    apply_first(m, weight);
}

static double cofactor(const Matrix m, int a, int b, int c, int d)
{
    return static_cast<double>(m[a]) * m[b] - static_cast<double>(m[c]) * m[d];
}

void invert_matrix(const Matrix m, Matrix out)
{
    double c0 = cofactor(m, 5, 10, 9, 6);
    double c1 = cofactor(m, 9, 2, 10, 1);
    double c2 = cofactor(m, 6, 1, 5, 2);
    double det = m[0] * c0 + m[4] * c1 + m[8] * c2;
    if (det == 0.0) {
        fputs("invert_matrix: det = 0 !\n", stdout);
        fflush(stdout);
        // Leave at once, as the process would on a fatal error: no exit handlers.
        _exit(1);
    }
    // Built aside, so that a caller passing the same array twice still gets the inverse.
    float inverse[16];
    inverse[0] = static_cast<float>(c0 / det);
    inverse[1] = static_cast<float>(c1 / det);
    inverse[2] = static_cast<float>(c2 / det);
    inverse[4] = static_cast<float>(cofactor(m, 8, 6, 4, 10) / det);
    inverse[5] = static_cast<float>(cofactor(m, 0, 10, 8, 2) / det);
    inverse[6] = static_cast<float>(cofactor(m, 4, 2, 0, 6) / det);
    inverse[8] = static_cast<float>(cofactor(m, 9, 4, 5, 8) / det);
    inverse[9] = static_cast<float>(cofactor(m, 8, 1, 9, 0) / det);
    inverse[10] = static_cast<float>(cofactor(m, 5, 0, 4, 1) / det);
    // The translation is carried back through the stored (float) linear part.
    for (int c = 0; c < 3; c++) {
        double sum = static_cast<double>(m[12]) * inverse[c] + static_cast<double>(m[13]) * inverse[4 + c] +
                     static_cast<double>(m[14]) * inverse[8 + c];
        inverse[12 + c] = static_cast<float>(-sum);
    }
    inverse[3] = inverse[7] = inverse[11] = 0.0f;
    inverse[15] = 1.0f;
    memcpy(out, inverse, sizeof inverse);
}

void transform_plane(const Plane in, Plane out, const Matrix m)
{
    double a = in[0], b = in[1], c = in[2], d = in[3];

    // A point of the plane, carried through m.
    double point[3] = {m[12], m[13], m[14]};
    if (d != 0.0) {
        int axis = (a != 0.0) ? 0 : (b != 0.0) ? 1 : 2;
        double t = -d / in[axis];
        for (int k = 0; k < 3; k++)
            point[k] = t * m[4 * axis + k] + m[12 + k];
    }

    float normal[3];
    for (int k = 0; k < 3; k++)
        normal[k] = static_cast<float>(a * m[k] + b * m[4 + k] + c * m[8 + k]);
    double offset = point[0] * normal[0] + point[1] * normal[1] + point[2] * normal[2];
    out[0] = normal[0];
    out[1] = normal[1];
    out[2] = normal[2];
    out[3] = static_cast<float>(-offset);
}
