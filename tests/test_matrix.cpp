// Matrix and plane math: products, builders' order and directions, inverse, planes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/matrix.h"

namespace {

constexpr float Tolerance = 1e-5f;
constexpr float HalfTurn = std::numbers::pi_v<float> / 2;

struct Point {
    float x, y, z;
};

Point carry(const Matrix m, Point p)
{
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

void expect_point(Point got, Point want, float tolerance = Tolerance)
{
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

void expect_matrix(const Matrix got, const Matrix want, float tolerance = Tolerance)
{
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(got[i], want[i], tolerance) << "element " << i;
}

// A matrix with every element distinct and the full 4x4 used.
void fill_pattern(Matrix m, float base)
{
    for (int i = 0; i < 16; i++)
        m[i] = base + static_cast<float>(i * i % 7) - 0.5f * static_cast<float>(i);
}

TEST(MatrixProduct, IdentityIsNeutralOnBothSides)
{
    Matrix a, id, out;
    fill_pattern(a, 1.5f);
    matrix_identity(id);
    matrix_multiply(a, id, out);
    expect_matrix(out, a, 0.0f);
    matrix_multiply(id, a, out);
    expect_matrix(out, a, 0.0f);
}

TEST(MatrixProduct, SecondArgumentIsAppliedFirst)
{
    // out = b * a: rows of b combine rows of a. Checked against the sum written out.
    Matrix a, b, out;
    fill_pattern(a, 2.0f);
    fill_pattern(b, -1.0f);
    b[3] = 0.25f;
    matrix_multiply(a, b, out);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += double(b[4 * r + k]) * a[4 * k + c];
            EXPECT_FLOAT_EQ(out[4 * r + c], static_cast<float>(sum)) << r << "," << c;
        }
    // In point terms: translate by b first, then rotate by a.
    Matrix rotate, translate, both;
    matrix_identity(rotate);
    matrix_rotate_z(rotate, HalfTurn);
    matrix_identity(translate);
    matrix_translate(translate, 1, 0, 0);
    matrix_multiply(rotate, translate, both);
    expect_point(carry(both, {0, 0, 0}), {0, 1, 0});
}

TEST(MatrixProduct, OutputMayAliasEitherInput)
{
    Matrix a, b, separate;
    fill_pattern(a, 0.75f);
    fill_pattern(b, -2.25f);
    matrix_multiply(a, b, separate);

    Matrix alias_a, alias_b;
    memcpy(alias_a, a, sizeof a);
    matrix_multiply(alias_a, b, alias_a);
    expect_matrix(alias_a, separate, 0.0f);
    memcpy(alias_b, b, sizeof b);
    matrix_multiply(a, alias_b, alias_b);
    expect_matrix(alias_b, separate, 0.0f);

    Matrix square, square_alias;
    matrix_multiply(a, a, square);
    memcpy(square_alias, a, sizeof a);
    matrix_multiply(square_alias, square_alias, square_alias);
    expect_matrix(square_alias, square, 0.0f);
}

TEST(MatrixBuilders, ZeroTurnsAndUnitWeightChangeNothing)
{
    Matrix m, original;
    fill_pattern(m, 3.0f);
    memcpy(original, m, sizeof m);
    matrix_rotate_x(m, 0);
    matrix_rotate_y(m, 0);
    matrix_rotate_z(m, 0);
    matrix_scale_w(m, 1);
    matrix_translate(m, 0, 0, 0);
    expect_matrix(m, original, 0.0f);
}

TEST(MatrixBuilders, RotationsTurnTheNamedAxes)
{
    Matrix m;
    matrix_identity(m);
    matrix_rotate_x(m, HalfTurn);
    expect_point(carry(m, {0, 1, 0}), {0, 0, 1});
    matrix_identity(m);
    matrix_rotate_y(m, HalfTurn);
    expect_point(carry(m, {0, 0, 1}), {1, 0, 0});
    matrix_identity(m);
    matrix_rotate_z(m, HalfTurn);
    expect_point(carry(m, {1, 0, 0}), {0, 1, 0});
    // A small positive angle turns +y a little towards +z, not away.
    matrix_identity(m);
    matrix_rotate_x(m, 0.1f);
    Point p = carry(m, {0, 1, 0});
    EXPECT_NEAR(p.y, std::cos(0.1f), Tolerance);
    EXPECT_NEAR(p.z, std::sin(0.1f), Tolerance);
}

TEST(MatrixBuilders, NewTransformIsAppliedInTheObjectFrame)
{
    // Placed at x = 10, then turned: the turn happens about the object's own
    // origin, so the origin stays at x = 10 and the local x axis ends up on +y.
    Matrix m;
    matrix_identity(m);
    matrix_translate(m, 10, 0, 0);
    matrix_rotate_z(m, HalfTurn);
    expect_point(carry(m, {0, 0, 0}), {10, 0, 0});
    expect_point(carry(m, {1, 0, 0}), {10, 1, 0});

    // Turns accumulate about the object's axes: x then y.
    Matrix turns;
    matrix_identity(turns);
    matrix_rotate_x(turns, HalfTurn);
    matrix_rotate_y(turns, HalfTurn);
    // (0,0,1) -> y turn -> (1,0,0) -> x turn -> (1,0,0)
    expect_point(carry(turns, {0, 0, 1}), {1, 0, 0});
    // (0,1,0) -> y turn -> (0,1,0) -> x turn -> (0,0,1)
    expect_point(carry(turns, {0, 1, 0}), {0, 0, 1});
}

TEST(MatrixBuilders, TranslateMovesTheOriginAndScaleWeighsRowThree)
{
    Matrix m;
    matrix_identity(m);
    matrix_translate(m, 1, 2, 3);
    expect_point(carry(m, {0, 0, 0}), {1, 2, 3});

    Matrix weighted;
    fill_pattern(weighted, 1.0f);
    Matrix before;
    memcpy(before, weighted, sizeof weighted);
    matrix_scale_w(weighted, 0.5f);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(weighted[i], before[i]) << "element " << i;
    for (int i = 12; i < 16; i++)
        EXPECT_FLOAT_EQ(weighted[i], before[i] * 0.5f) << "element " << i;
}

TEST(MatrixInverse, UndoesTranslationAndTurns)
{
    Matrix m, inverse;
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
    Matrix product, id;
    matrix_multiply(m, inverse, product);
    matrix_identity(id);
    expect_matrix(product, id, 1e-4f);
    for (Point p : {Point{1, 2, 3}, Point{-50, 0, 400}})
        expect_point(carry(inverse, carry(m, p)), p, 1e-3f);
}

TEST(MatrixInverse, HandlesAGeneralLinearPart)
{
    Matrix m = {2, 1, 0, 0, 0, 3, 1, 0, 1, 0, 4, 0, 5, -6, 7, 1};
    Matrix inverse;
    invert_matrix(m, inverse);
    for (Point p : {Point{1, 0, 0}, Point{0.5f, -2, 3}})
        expect_point(carry(inverse, carry(m, p)), p);
    EXPECT_EQ(inverse[3], 0.0f);
    EXPECT_EQ(inverse[7], 0.0f);
    EXPECT_EQ(inverse[11], 0.0f);
    EXPECT_EQ(inverse[15], 1.0f);
}

TEST(MatrixInverse, InPlaceGivesTheSameResult)
{
    Matrix m, separate;
    matrix_identity(m);
    matrix_translate(m, 9, -8, 70);
    matrix_rotate_x(m, 1.2f);
    matrix_rotate_z(m, -0.4f);
    invert_matrix(m, separate);
    invert_matrix(m, m);
    expect_matrix(m, separate, 0.0f);
}

TEST(MatrixInverse, IgnoresTheWeight)
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
    EXPECT_EQ(weighted_inverse[15], 1.0f);
}

TEST(MatrixInverse, TinyDeterminantIsStillDivided)
{
    Matrix m;
    matrix_identity(m);
    m[0] = m[5] = m[10] = 1e-4f;  // det 1e-12
    Matrix inverse;
    invert_matrix(m, inverse);
    EXPECT_NEAR(inverse[0], 1e4f, 1.0f);
    EXPECT_NEAR(inverse[10], 1e4f, 1.0f);
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
    Matrix flat;
    matrix_identity(flat);
    flat[10] = 0.0f;
    EXPECT_EXIT(invert_with_output_on_stderr(flat), testing::ExitedWithCode(1), "invert_matrix: det = 0 !");
}

TEST(Planes, TranslatedPlaneMovesWithThePoints)
{
    Matrix m;
    matrix_identity(m);
    matrix_translate(m, 0, 0, 100);
    Plane near = {0, 0, 1, -500}, out;
    transform_plane(near, out, m);
    EXPECT_FLOAT_EQ(out[0], 0);
    EXPECT_FLOAT_EQ(out[1], 0);
    EXPECT_FLOAT_EQ(out[2], 1);
    EXPECT_FLOAT_EQ(out[3], -600);
}

TEST(Planes, TurnedPlaneKeepsPointsOnTheirSide)
{
    // Every plane form: through the origin, and off it with the first
    // non-zero coefficient on each of the three axes.
    const Plane planes[] = {{0.6f, 0, 0.8f, 0}, {0.6f, 0, 0.8f, -20}, {0, 1, 0, 35}, {0, 0, -1, 1000}};
    Matrix m;
    matrix_identity(m);
    matrix_translate(m, 10, -20, 30);
    matrix_rotate_y(m, 0.9f);
    matrix_rotate_x(m, -0.4f);
    const Point probes[] = {{0, 0, 0}, {50, -5, 17}, {-30, 80, 1200}, {0, 0, 999}};
    for (const Plane &plane : planes) {
        Plane carried;
        transform_plane(plane, carried, m);
        for (Point p : probes) {
            float before = plane_distance(plane, &p.x);
            Point q = carry(m, p);
            float after = plane_distance(carried, &q.x);
            EXPECT_NEAR(after, before, 1e-3f * (1 + std::fabs(before)));
        }
    }
}

TEST(Planes, DistanceIsTheSignedPlaneValue)
{
    Plane p = {0, 0, 1, -500};
    float inside[3] = {3, 4, 500}, outside[3] = {0, 0, 499.9f}, far[3] = {1, 1, 800};
    EXPECT_EQ(plane_distance(p, inside), 0.0f);
    EXPECT_LT(plane_distance(p, outside), 0.0f);
    EXPECT_FLOAT_EQ(plane_distance(p, far), 300.0f);
    Plane q = {1, 2, 3, 4};
    float point[3] = {1, 1, 1};
    EXPECT_FLOAT_EQ(plane_distance(q, point), 10.0f);
}

}  // namespace
