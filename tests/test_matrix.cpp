// Matrix and plane math: products, builders' order and directions, inverse, planes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/matrix.h"

namespace {

constexpr float HalfTurn = std::numbers::pi_v<float> / 2;

struct Point {
    float x, y, z;
};

Point carry(const Matrix m, Point p)
{
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

void expect_point(Point got, Point want, float tolerance = 1e-5f)
{
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

void expect_matrix(const Matrix got, const Matrix want, float tolerance)
{
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(got[i], want[i], tolerance) << "element " << i;
}

// Every element distinct and the whole 4x4 used.
void fill_pattern(Matrix m, float base)
{
    for (int i = 0; i < 16; i++)
        m[i] = base + static_cast<float>(i * i % 7) - 0.5f * static_cast<float>(i);
}

TEST(MatrixProduct, SecondArgumentFirstAndAnyAliasing)
{
    Matrix a, b, id, out;
    fill_pattern(a, 2.0f);
    fill_pattern(b, -1.0f);
    matrix_identity(id);
    matrix_multiply(a, id, out);
    expect_matrix(out, a, 0.0f);
    matrix_multiply(id, a, out);
    expect_matrix(out, a, 0.0f);

    // out = b * a, written out.
    matrix_multiply(a, b, out);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += double(b[4 * r + k]) * a[4 * k + c];
            EXPECT_FLOAT_EQ(out[4 * r + c], static_cast<float>(sum)) << r << "," << c;
        }

    Matrix alias_a, alias_b, square, square_alias;
    memcpy(alias_a, a, sizeof a);
    matrix_multiply(alias_a, b, alias_a);
    expect_matrix(alias_a, out, 0.0f);
    memcpy(alias_b, b, sizeof b);
    matrix_multiply(a, alias_b, alias_b);
    expect_matrix(alias_b, out, 0.0f);
    matrix_multiply(a, a, square);
    memcpy(square_alias, a, sizeof a);
    matrix_multiply(square_alias, square_alias, square_alias);
    expect_matrix(square_alias, square, 0.0f);
}

TEST(MatrixBuilders, DirectionsAndNeutralValues)
{
    Matrix m, original;
    fill_pattern(m, 3.0f);
    memcpy(original, m, sizeof m);
    matrix_rotate_x(m, 0);
    matrix_rotate_y(m, 0);
    matrix_rotate_z(m, 0);
    matrix_scale_w(m, 1);
    expect_matrix(m, original, 0.0f);

    matrix_identity(m);
    matrix_rotate_x(m, HalfTurn);
    expect_point(carry(m, {0, 1, 0}), {0, 0, 1});
    matrix_identity(m);
    matrix_rotate_y(m, HalfTurn);
    expect_point(carry(m, {0, 0, 1}), {1, 0, 0});
    matrix_identity(m);
    matrix_rotate_z(m, HalfTurn);
    expect_point(carry(m, {1, 0, 0}), {0, 1, 0});
    matrix_identity(m);
    matrix_translate(m, 1, 2, 3);
    expect_point(carry(m, {0, 0, 0}), {1, 2, 3});

    // The weight scales row 3 only.
    fill_pattern(m, 1.0f);
    memcpy(original, m, sizeof m);
    matrix_scale_w(m, 0.5f);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m[i], i < 12 ? original[i] : original[i] * 0.5f) << "element " << i;
}

TEST(MatrixBuilders, NewTransformActsFirstInTheObjectFrame)
{
    // Placed at x = 10, then turned: the turn is about the object's own origin.
    Matrix m;
    matrix_identity(m);
    matrix_translate(m, 10, 0, 0);
    matrix_rotate_z(m, HalfTurn);
    expect_point(carry(m, {0, 0, 0}), {10, 0, 0});
    expect_point(carry(m, {1, 0, 0}), {10, 1, 0});

    // x turn then y turn: a point goes through the y turn first.
    matrix_identity(m);
    matrix_rotate_x(m, HalfTurn);
    matrix_rotate_y(m, HalfTurn);
    expect_point(carry(m, {0, 0, 1}), {1, 0, 0});
    expect_point(carry(m, {0, 1, 0}), {0, 0, 1});
}

TEST(MatrixInverse, UndoesPlacementsInPlaceToo)
{
    Matrix m, inverse, product, id;
    matrix_identity(m);
    matrix_translate(m, 1, 2, 3);
    invert_matrix(m, inverse);
    expect_point(carry(inverse, {1, 2, 3}), {0, 0, 0});

    matrix_identity(m);
    matrix_translate(m, -40, 7, 250);
    matrix_rotate_x(m, 0.3f);
    matrix_rotate_y(m, -1.1f);
    matrix_rotate_z(m, 2.0f);
    invert_matrix(m, inverse);
    matrix_multiply(m, inverse, product);
    matrix_identity(id);
    expect_matrix(product, id, 1e-4f);

    // A general (not rotation) linear part; column 3 comes out as 0, 0, 0, 1.
    Matrix general = {2, 1, 0, 0.5f, 0, 3, 1, 0.5f, 1, 0, 4, 0.5f, 5, -6, 7, 3};
    invert_matrix(general, inverse);
    for (Point p : {Point{1, 0, 0}, Point{0.5f, -2, 3}})
        expect_point(carry(inverse, carry(general, p)), p);
    EXPECT_EQ(inverse[3], 0.0f);
    EXPECT_EQ(inverse[7], 0.0f);
    EXPECT_EQ(inverse[11], 0.0f);
    EXPECT_EQ(inverse[15], 1.0f);

    invert_matrix(general, general);
    expect_matrix(general, inverse, 0.0f);
}

TEST(MatrixInverse, IgnoresTheWeightAndDividesTinyDeterminants)
{
    Matrix m, weighted, plain_inverse, weighted_inverse;
    matrix_identity(m);
    matrix_translate(m, 3, -4, 5);
    matrix_rotate_y(m, 0.7f);
    memcpy(weighted, m, sizeof m);
    weighted[15] = 0.5f;
    invert_matrix(m, plain_inverse);
    invert_matrix(weighted, weighted_inverse);
    expect_matrix(weighted_inverse, plain_inverse, 0.0f);

    matrix_identity(m);
    m[0] = m[5] = m[10] = 1e-4f;  // det 1e-12
    invert_matrix(m, plain_inverse);
    EXPECT_NEAR(plain_inverse[0], 1e4f, 1.0f);
}

void invert_with_output_on_stderr(const Matrix m)
{
    // The message goes to standard output; death tests only see standard error.
    fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    Matrix out;
    invert_matrix(m, out);
}

TEST(MatrixInverseDeathTest, ZeroDeterminantEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Matrix singular = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 1, 1, 1, 1};
    EXPECT_EXIT(invert_with_output_on_stderr(singular), testing::ExitedWithCode(1),
                "^invert_matrix: det = 0 !\n$");
}

TEST(Planes, CarriedPlanesKeepPointsOnTheirSide)
{
    Matrix m;
    matrix_identity(m);
    matrix_translate(m, 0, 0, 100);
    Plane near = {0, 0, 1, -500}, out;
    transform_plane(near, out, m);
    EXPECT_EQ(out[2], 1.0f);
    EXPECT_EQ(out[3], -600.0f);
    float on_plane[3] = {3, 4, 600}, before[3] = {0, 0, 599.9f};
    EXPECT_EQ(plane_distance(out, on_plane), 0.0f);
    EXPECT_LT(plane_distance(out, before), 0.0f);

    // Through the origin, and off it with the first non-zero coefficient on each axis.
    const Plane planes[] = {{0.6f, 0, 0.8f, 0}, {0.6f, 0, 0.8f, -20}, {0, 1, 0, 35}, {0, 0, -1, 1000}};
    matrix_identity(m);
    matrix_translate(m, 10, -20, 30);
    matrix_rotate_y(m, 0.9f);
    matrix_rotate_x(m, -0.4f);
    for (const Plane &plane : planes) {
        transform_plane(plane, out, m);
        for (Point p : {Point{0, 0, 0}, Point{50, -5, 17}, Point{-30, 80, 1200}}) {
            float distance = plane_distance(plane, &p.x);
            Point q = carry(m, p);
            EXPECT_NEAR(plane_distance(out, &q.x), distance, 1e-3f * (1 + std::fabs(distance)));
        }
    }
}

}  // namespace
