// View pipeline: culling, view transform, projection, depth order and callbacks.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "engine/matrix.h"
#include "engine/mesh.h"
#include "engine/view.h"

namespace {

struct Point {
    float x, y, z;
};
using Triangles = std::vector<std::array<int, 3>>;

// An object with the loader's layout: real vertices, then one normal record per face.
struct TestObject {
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    Object3D object{};
};

std::unique_ptr<TestObject> make_object(const std::vector<Point> &points, const Triangles &triangles = {})
{
    auto t = std::make_unique<TestObject>();
    t->vertices.resize(points.size() + triangles.size());
    t->faces.resize(triangles.size());
    for (size_t i = 0; i < points.size(); i++) {
        t->vertices[i].x = points[i].x;
        t->vertices[i].y = points[i].y;
        t->vertices[i].z = points[i].z;
    }
    for (size_t j = 0; j < triangles.size(); j++) {
        for (int k = 0; k < 3; k++)
            t->faces[j].v[k] = &t->vertices[triangles[j][k]];
        t->faces[j].normal = &t->vertices[points.size() + j];
    }
    matrix_identity(t->object.matrix);
    t->object.vertex_count = static_cast<int32_t>(t->vertices.size());
    t->object.face_count = static_cast<int32_t>(t->faces.size());
    t->object.vertices = t->vertices.data();
    t->object.faces = t->faces.data();
    compute_face_normals(&t->object);
    return t;
}

std::vector<Face *> Drawn, DrawnBySecond;
void record(Face *face) { Drawn.push_back(face); }
void record_second(Face *face) { DrawnBySecond.push_back(face); }
void record_then_switch(Face *face)
{
    Drawn.push_back(face);
    set_draw_callback(record_second);
}

const double TanHalfX = std::tan(std::atan2(320.0, 256.0) - 0.001);
const double TanHalfY = std::tan(std::atan2(160.0, 256.0) - 0.001);

// Each test starts from the program's starting state, camera at the origin looking along +z.
class View : public testing::Test {
protected:
    void SetUp() override
    {
        set_near_plane(500);
        set_far_plane(2000);
        set_draw_callback(nullptr);
        matrix_identity(camera);
        Drawn.clear();
        DrawnBySecond.clear();
    }
    void TearDown() override { set_draw_callback(nullptr); }

    void run_pipeline(Object3D *obj)
    {
        cull_object(obj, camera);
        transform_object(obj, camera);
        project_object(obj);
        draw_object(obj);
    }

    Matrix camera;
};

// --- Culling -------------------------------------------------------------

TEST_F(View, EachPlaneHidesOnlyTheFacesOfItsOutsideVertices)
{
    // A fan around an inside centre; each outer vertex leaves by a different plane.
    const float z = 1000, side = float(z * TanHalfX), height = float(z * TanHalfY);
    auto t = make_object({{0, 0, z}, {10, 10, z}, {0, 0, 499.9f}, {0, 0, 2000.1f}, {-side - 5, 0, z},
                          {side + 5, 0, z}, {0, -height - 5, z}, {0, height + 5, z}, {NAN, 0, z},
                          {0, 0, 500}, {0, 0, 2000}},
                         {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}, {0, 1, 5}, {0, 1, 6}, {0, 1, 7}, {0, 1, 8}, {0, 1, 9},
                          {0, 1, 10}});
    set_draw_callback(record);
    run_pipeline(&t->object);
    for (int i = 0; i < 11; i++)
        EXPECT_EQ(t->vertices[i].outside, (i >= 2 && i <= 8) ? 1 : 0) << "vertex " << i;
    for (int j = 0; j < 9; j++)
        EXPECT_EQ(t->faces[j].visible, j >= 7 ? 1 : 0) << "face " << j;
    ASSERT_EQ(Drawn.size(), 2u);
    EXPECT_EQ(Drawn[0], &t->faces[8]);  // depth 2000 before depth 1000
    EXPECT_EQ(Drawn[1], &t->faces[7]);
}

TEST_F(View, CullingAgreesWithTheViewSpaceTest)
{
    // Camera and object both moved and turned; object-space marks must match a
    // direct test of each point in view space (points within rounding of a plane skipped).
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-900, 900), angle(-0.6f, 0.6f);
    for (int round = 0; round < 20; round++) {
        matrix_identity(camera);
        matrix_translate(camera, spread(random) * 0.2f, spread(random) * 0.2f, -300);
        matrix_rotate_y(camera, angle(random));
        matrix_rotate_x(camera, angle(random));
        std::vector<Point> points(200);
        for (Point &p : points)
            p = {spread(random), spread(random), spread(random)};
        auto t = make_object(points);
        matrix_translate(t->object.matrix, 0, 0, 900);
        matrix_rotate_z(t->object.matrix, angle(random) * 3);
        matrix_rotate_y(t->object.matrix, angle(random) * 3);
        cull_object(&t->object, camera);
        transform_object(&t->object, camera);  // view positions of the inside points

        Matrix camera_inverse, mv;
        invert_matrix(camera, camera_inverse);
        matrix_multiply(camera_inverse, t->object.matrix, mv);
        int inside = 0, checked = 0;
        for (size_t i = 0; i < points.size(); i++) {
            const Point &p = points[i];
            double vx = p.x * mv[0] + p.y * mv[4] + p.z * mv[8] + mv[12];
            double vy = p.x * mv[1] + p.y * mv[5] + p.z * mv[9] + mv[13];
            double vz = p.x * mv[2] + p.y * mv[6] + p.z * mv[10] + mv[14];
            double margins[] = {vz - 500, 2000 - vz, vz * TanHalfX - std::fabs(vx), vz * TanHalfY - std::fabs(vy)};
            bool near_edge = false, expect_inside = true;
            for (double m : margins) {
                near_edge = near_edge || std::fabs(m) < 0.05;
                expect_inside = expect_inside && m >= 0;
            }
            if (near_edge)
                continue;
            checked++;
            inside += expect_inside;
            EXPECT_EQ(t->vertices[i].outside, expect_inside ? 0 : 1) << "round " << round << " point " << i;
            if (expect_inside) {
                EXPECT_NEAR(t->vertices[i].vz, vz, 1e-2);
            }
        }
        EXPECT_GT(checked, 190);
        EXPECT_GT(inside, 0);
        EXPECT_LT(inside, checked);
    }
}

TEST_F(View, WeightedObjectIsCulledAsIfUnweighted)
{
    // Camera 1000 back; m15 = 0.5 halves that distance in the model-view
    // product, but the frustum marks follow the plain placement.
    matrix_translate(camera, 0, 0, -1000);
    auto t = make_object({{0, 0, -600}, {0, 0, -300}, {0, 0, 1100}, {0, 0, 900}});
    matrix_scale_w(t->object.matrix, 0.5f);
    cull_object(&t->object, camera);
    transform_object(&t->object, camera);
    EXPECT_EQ(t->vertices[0].outside, 1);  // plain depth 400
    EXPECT_EQ(t->vertices[1].outside, 0);  // plain depth 700, weighted 200
    EXPECT_EQ(t->vertices[2].outside, 1);  // plain depth 2100, weighted 1600
    EXPECT_EQ(t->vertices[3].outside, 0);  // plain depth 1900
    EXPECT_FLOAT_EQ(t->vertices[1].vz, 200.0f);
    EXPECT_FLOAT_EQ(t->vertices[3].vz, 1400.0f);
}

TEST_F(View, TransformSkipsOutsideVerticesAndOnlyTurnsNormals)
{
    matrix_translate(camera, 0, 0, -1000);
    auto t = make_object({{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {1000, 0, 0}}, {{0, 1, 2}});
    matrix_translate(t->object.matrix, 50, 0, 0);
    matrix_rotate_y(t->object.matrix, std::numbers::pi_v<float> / 2);  // +x turns to -z
    t->vertices[3].vz = 9;
    cull_object(&t->object, camera);
    transform_object(&t->object, camera);
    ASSERT_EQ(t->vertices[3].outside, 1);  // lands at depth 0
    EXPECT_EQ(t->vertices[3].vz, 9);
    EXPECT_NEAR(t->vertices[0].vx, 50, 1e-3);
    EXPECT_NEAR(t->vertices[0].vz, 1000, 1e-3);
    EXPECT_NEAR(t->vertices[1].vx, 50, 1e-3);
    EXPECT_NEAR(t->vertices[1].vz, 900, 1e-3);
    // The face normal (0, 0, 1) turns to (1, 0, 0) and is not moved.
    const Vertex &normal = *t->faces[0].normal;
    EXPECT_NEAR(normal.vx, 1, 1e-6);
    EXPECT_NEAR(normal.vy, 0, 1e-6);
    EXPECT_NEAR(normal.vz, 0, 1e-6);
}

// --- Projection ----------------------------------------------------------

TEST_F(View, ProjectsThroughTheViewCentre)
{
    set_near_plane(0);
    auto t = make_object({{0, 0, 256}, {256, 256, 256}, {-128, 64, 512}});
    cull_object(&t->object, camera);
    transform_object(&t->object, camera);
    project_object(&t->object);
    EXPECT_EQ(t->vertices[0].sx, 320);
    EXPECT_EQ(t->vertices[0].sy, 160);
    EXPECT_EQ(t->vertices[2].sx, 256);
    EXPECT_EQ(t->vertices[2].sy, 128);
    // (256, 256, 256) would land at (576, -96): out by the top plane.
    EXPECT_EQ(t->vertices[1].outside, 1);
    const float position[3] = {256, 256, 256};
    EXPECT_LT(plane_distance(FrustumPlanes[3], position), 0);
    EXPECT_GE(plane_distance(FrustumPlanes[1], position), 0);
}

TEST_F(View, InsideVerticesAtTheEdgesProjectInsideTheView)
{
    std::vector<Point> points;
    for (float z = 500; z <= 2000; z += 125)
        for (double shrink : {1.0, 1.0 - 1e-7, 0.999}) {
            float x = float(z * TanHalfX * shrink), y = float(z * TanHalfY * shrink);
            for (Point p : {Point{-x, 0, z}, Point{x, 0, z}, Point{0, -y, z}, Point{0, y, z}, Point{x, y, z},
                            Point{-x, -y, z}})
                points.push_back(p);
        }
    auto t = make_object(points);
    cull_object(&t->object, camera);
    transform_object(&t->object, camera);
    project_object(&t->object);
    int inside = 0, at_left = 0, at_right = 0, at_top = 0;
    for (size_t i = 0; i < points.size(); i++) {
        const Vertex &vertex = t->vertices[i];
        if (vertex.outside)
            continue;
        inside++;
        at_left += vertex.sx == 0;
        at_right += vertex.sx == 639;
        at_top += vertex.sy == 0;
        EXPECT_TRUE(vertex.sx >= 0 && vertex.sx <= 639 && vertex.sy >= 0 && vertex.sy <= 319)
            << "point " << i << " at " << vertex.sx << ", " << vertex.sy;
    }
    EXPECT_GE(inside, static_cast<int>(points.size()) / 3);
    EXPECT_GT(at_left, 0);
    EXPECT_GT(at_right, 0);
    EXPECT_GT(at_top, 0);
}

TEST_F(View, DegenerateDepthsProjectToDefinedPositions)
{
    // With the near plane at 0 the eye point itself is inside and drawn.
    set_near_plane(0);
    auto t = make_object({{0, 0, 0}, {0, 0, 1e-30f}, {5, 5, 10}}, {{0, 1, 2}});
    set_draw_callback(record);
    run_pipeline(&t->object);
    EXPECT_EQ(Drawn.size(), 1u);
    EXPECT_EQ(t->vertices[2].sx, 448);
    EXPECT_EQ(t->vertices[2].sy, 32);

    // View positions set by hand: beyond any int, at and behind the eye, non-finite.
    const Point views[] = {{1e30f, -1e30f, 1e-20f}, {3, 4, 0}, {0, 0, 0}, {5, 5, -1}, {INFINITY, 0, 1}, {NAN, NAN, 1}};
    auto h = make_object(std::vector<Point>(6));
    for (int i = 0; i < 6; i++) {
        h->vertices[i].vx = views[i].x;
        h->vertices[i].vy = views[i].y;
        h->vertices[i].vz = views[i].z;
    }
    project_object(&h->object);
    const int limit = 1 << 24;
    const int expected[6][2] = {{limit, limit}, {limit, -limit}, {-limit, -limit}, {-960, 1440}, {limit, 160},
                                {-limit, -limit}};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(h->vertices[i].sx, expected[i][0]) << "vertex " << i;
        EXPECT_EQ(h->vertices[i].sy, expected[i][1]) << "vertex " << i;
    }
}

// --- Depth order ---------------------------------------------------------

TEST_F(View, FarthestFirstAndEqualDepthsBothDrawn)
{
    // Depths 800, 1500, 800, 1100 in face order; depth is the farthest vertex.
    auto t = make_object({{-50, 0, 800}, {50, 0, 800}, {0, 50, 800}, {-50, 0, 600}, {50, 0, 1500}, {0, 50, 900},
                          {0, -50, 800}, {-50, 0, 1100}, {50, 0, 700}, {0, 50, 1000}},
                         {{0, 1, 2}, {3, 4, 5}, {0, 6, 1}, {7, 8, 9}});
    set_draw_callback(record);
    run_pipeline(&t->object);
    ASSERT_EQ(Drawn.size(), 4u);
    EXPECT_EQ(Drawn[0], &t->faces[1]);
    EXPECT_EQ(Drawn[1], &t->faces[3]);
    EXPECT_TRUE((Drawn[2] == &t->faces[0] && Drawn[3] == &t->faces[2]) ||
                (Drawn[2] == &t->faces[2] && Drawn[3] == &t->faces[0]));
    EXPECT_EQ(t->faces[1].depth, 1500);
    EXPECT_EQ(t->faces[3].depth, 1100);
    EXPECT_EQ(compare_face_depth(&t->faces[1], &t->faces[3]), -1);
    EXPECT_EQ(compare_face_depth(&t->faces[3], &t->faces[1]), 1);
    EXPECT_EQ(compare_face_depth(&t->faces[0], &t->faces[2]), 0);
}

TEST_F(View, DepthOrderIsTheStableOrderOfTheComparison)
{
    // Enough faces for the sort to partition, with many ties, unknown depths,
    // both zeros and both infinities: drawn exactly as a stable sort by
    // compare_face_depth would order them, NaN first and ties in mesh order.
    const int count = 300;
    std::vector<Point> points(3 * count);
    Triangles triangles;
    for (int j = 0; j < count; j++)
        triangles.push_back({3 * j, 3 * j + 1, 3 * j + 2});
    auto t = make_object(points, triangles);
    const float odd[] = {NAN, 0.0f, -0.0f, INFINITY, -INFINITY, -3.5f, 1e-40f};
    std::mt19937 random(3);
    for (int j = 0; j < count; j++) {
        float depth = random() % 3 == 0 ? odd[random() % 7] : static_cast<float>(random() % 50) - 10.0f;
        for (int k = 0; k < 3; k++)
            t->vertices[3 * j + k].vz = depth;
        t->faces[j].visible = 1;
    }
    set_draw_callback(record);
    draw_object(&t->object);
    std::vector<Face *> expected;
    for (int j = 0; j < count; j++)
        expected.push_back(&t->faces[j]);
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Face *a, const Face *b) { return compare_face_depth(a, b) < 0; });
    EXPECT_EQ(Drawn, expected);
    EXPECT_TRUE(std::isnan(Drawn[0]->depth));
}

// --- Callbacks -----------------------------------------------------------

TEST_F(View, NoCallbackOrNoVisibleFaceDrawsNothing)
{
    auto t = make_object({{0, 0, 1000}, {50, 0, 1000}, {0, 50, 1000}}, {{0, 1, 2}});
    run_pipeline(&t->object);
    EXPECT_EQ(t->faces[0].visible, 1);
    EXPECT_TRUE(Drawn.empty());

    auto hidden = make_object({{0, 0, 100}, {50, 0, 1000}, {0, 50, 1000}}, {{0, 1, 2}});
    set_draw_callback(record);
    run_pipeline(&hidden->object);
    EXPECT_TRUE(Drawn.empty());
}

TEST_F(View, CallbackMayHandOverMidObject)
{
    auto t = make_object({{0, 0, 900}, {50, 0, 900}, {0, 50, 900}, {0, 0, 1300}, {50, 0, 1300}, {0, 50, 1300},
                          {0, 0, 700}, {50, 0, 700}, {0, 50, 700}},
                         {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}});
    set_draw_callback(record_then_switch);
    run_pipeline(&t->object);
    ASSERT_EQ(Drawn.size(), 1u);
    EXPECT_EQ(Drawn[0], &t->faces[1]);
    ASSERT_EQ(DrawnBySecond.size(), 2u);
    EXPECT_EQ(DrawnBySecond[0], &t->faces[0]);
    EXPECT_EQ(DrawnBySecond[1], &t->faces[2]);
}

TEST_F(View, EveryVisibleFaceIsDrawnExactlyOnce)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> spread(-700, 700), angle(-3, 3);
    size_t drawn_total = 0, hidden_total = 0;
    for (int round = 0; round < 30; round++) {
        std::vector<Point> points(120);
        for (Point &p : points)
            p = {spread(random), spread(random), spread(random)};
        Triangles triangles(200);
        for (auto &triangle : triangles)
            for (int &index : triangle)
                index = static_cast<int>(random() % points.size());
        auto t = make_object(points, triangles);
        matrix_translate(t->object.matrix, 0, 0, 1100);
        matrix_rotate_x(t->object.matrix, angle(random));
        matrix_rotate_z(t->object.matrix, angle(random));
        matrix_identity(camera);
        matrix_rotate_y(camera, angle(random) * 0.1f);
        Drawn.clear();
        set_draw_callback(record);
        run_pipeline(&t->object);

        std::map<const Face *, int> times;
        for (Face *face : Drawn)
            times[face]++;
        for (const Face &face : t->faces) {
            bool all_inside = !face.v[0]->outside && !face.v[1]->outside && !face.v[2]->outside;
            EXPECT_EQ(face.visible, all_inside ? 1 : 0);
            EXPECT_EQ(times.count(&face) ? times[&face] : 0, all_inside ? 1 : 0);
            hidden_total += !all_inside;
        }
        drawn_total += Drawn.size();
        for (size_t i = 0; i < Drawn.size(); i++) {
            if (i > 0) {
                EXPECT_GE(Drawn[i - 1]->depth, Drawn[i]->depth);
            }
            for (const Vertex *vertex : Drawn[i]->v)
                EXPECT_TRUE(vertex->sx >= 0 && vertex->sx <= 639 && vertex->sy >= 0 && vertex->sy <= 319);
        }
    }
    EXPECT_GT(drawn_total, 100u);
    EXPECT_GT(hidden_total, 100u);
}

}  // namespace
