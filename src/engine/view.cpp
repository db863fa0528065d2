// The view pipeline: object-space frustum test, view transform, projection
// and the farthest-first hand-over of visible faces to the draw callback.
#include "engine/view.h"

#include <algorithm>
#include <cmath>
#include <vector>

int32_t NearPlane = 500;
int32_t FarPlane = 2000;
Plane FrustumPlanes[6];
DrawCallback CurrentDrawCallback = nullptr;

enum { PlaneLeft, PlaneRight, PlaneBottom, PlaneTop, PlaneNear, PlaneFar };

// Pixels per unit of x / z at depth 1.
constexpr double FocalLength = 256.0;
// Narrows each half-angle of the frustum so that every inside vertex
// projects a fraction of a pixel inside the view.
constexpr double FrustumMargin = 0.001;
// Screen positions are kept within this range before truncation: far beyond
// the view, and small enough for any later 16.16 arithmetic to stay in int32.
constexpr double ScreenLimit = 1 << 24;

void set_near_plane(int z)
{
    NearPlane = z;
}

void set_far_plane(int z)
{
    FarPlane = z;
}

void set_draw_callback(DrawCallback cb)
{
    CurrentDrawCallback = cb;
}

void build_frustum(const Matrix view_to_object)
{
    double ax = std::atan2(static_cast<double>(ViewWidth / 2), FocalLength) - FrustumMargin;
    double ay = static_cast<float>(std::atan2(static_cast<double>(ViewHeight / 2), FocalLength) - FrustumMargin);
    float cos_x = static_cast<float>(std::cos(ax)), sin_x = static_cast<float>(std::sin(ax));
    float cos_y = static_cast<float>(std::cos(ay)), sin_y = static_cast<float>(std::sin(ay));

    const Plane view_planes[6] = {
        {cos_x, 0.0f, sin_x, 0.0f},
        {-cos_x, 0.0f, sin_x, 0.0f},
        {0.0f, cos_y, sin_y, 0.0f},
        {0.0f, -cos_y, sin_y, 0.0f},
        {0.0f, 0.0f, 1.0f, -static_cast<float>(NearPlane)},
        {0.0f, 0.0f, -1.0f, static_cast<float>(FarPlane)},
    };
    for (int i = 0; i < 6; i++)
        transform_plane(view_planes[i], FrustumPlanes[i], view_to_object);
}

void cull_object(Object3D *obj, const Matrix camera)
{
    Matrix object_inverse, view_to_object;
    invert_matrix(obj->matrix, object_inverse);
    matrix_multiply(object_inverse, camera, view_to_object);
    build_frustum(view_to_object);

    // The cheap depth tests first: they reject most outside vertices.
    static const int test_order[6] = {PlaneNear, PlaneFar, PlaneLeft, PlaneRight, PlaneBottom, PlaneTop};
    int real_vertices = obj->vertex_count - obj->face_count;
    for (int i = 0; i < real_vertices; i++) {
        Vertex &vertex = obj->vertices[i];
        const float position[3] = {vertex.x, vertex.y, vertex.z};
        vertex.outside = 0;
        for (int plane : test_order) {
            // A position that gives no distance (NaN) cannot be placed on
            // screen, so it counts as outside too.
            if (!(plane_distance(FrustumPlanes[plane], position) >= 0.0f)) {
                vertex.outside = 1;
                break;
            }
        }
    }
    for (int i = 0; i < obj->face_count; i++) {
        Face &face = obj->faces[i];
        face.visible = !(face.v[0]->outside || face.v[1]->outside || face.v[2]->outside);
    }
}

void transform_object(Object3D *obj, const Matrix camera)
{
    Matrix camera_inverse, mv;
    invert_matrix(camera, camera_inverse);
    matrix_multiply(camera_inverse, obj->matrix, mv);

    for (int i = 0; i < obj->vertex_count; i++) {
        Vertex &vertex = obj->vertices[i];
        if (vertex.outside)
            continue;
        double x = vertex.x, y = vertex.y, z = vertex.z;
        // Normals turn with the object but do not move with it.
        double shift = vertex.is_normal ? 0.0 : 1.0;
        vertex.vx = static_cast<float>(x * mv[0] + y * mv[4] + z * mv[8] + shift * mv[12]);
        vertex.vy = static_cast<float>(x * mv[1] + y * mv[5] + z * mv[9] + shift * mv[13]);
        vertex.vz = static_cast<float>(x * mv[2] + y * mv[6] + z * mv[10] + shift * mv[14]);
    }
}

// Truncation towards zero that is defined for every input: values beyond
// the limit (infinities included) are held at it, NaN goes to the far left/top.
static int32_t truncate_to_screen(double value)
{
    if (!(value >= -ScreenLimit))
        return -static_cast<int32_t>(ScreenLimit);
    if (value > ScreenLimit)
        return static_cast<int32_t>(ScreenLimit);
    return static_cast<int32_t>(value);
}

void project_object(Object3D *obj)
{
    const double centre_x = ViewWidth * 0.5f, centre_y = ViewHeight * 0.5f;
    // Only what a face can be drawn with: a vertex outside the view (whose
    // view position transform_object left alone) or a normal record has no
    // place on screen.
    for (int i = 0; i < obj->vertex_count; i++) {
        Vertex &vertex = obj->vertices[i];
        if (vertex.outside || vertex.is_normal)
            continue;
        double vz = vertex.vz;
        vertex.sx = truncate_to_screen(vertex.vx * FocalLength / vz + centre_x);
        vertex.sy = truncate_to_screen(centre_y - vertex.vy * FocalLength / vz);
    }
}

void face_depth(Face *f)
{
    float depth = f->v[0]->vz;
    if (f->v[1]->vz > depth)
        depth = f->v[1]->vz;
    if (f->v[2]->vz > depth)
        depth = f->v[2]->vz;
    f->depth = depth;
}

int compare_face_depth(const Face *a, const Face *b)
{
    // A NaN depth has no place among the others: such faces all go first,
    // so that the order stays total and the sort well defined.
    bool a_nan = std::isnan(a->depth), b_nan = std::isnan(b->depth);
    if (a_nan || b_nan)
        return a_nan == b_nan ? 0 : (a_nan ? -1 : 1);
    if (a->depth > b->depth)
        return -1;
    if (a->depth == b->depth)
        return 0;
    return 1;
}

void draw_object(Object3D *obj)
{
    int visible_count = 0;
    for (int i = 0; i < obj->face_count; i++)
        visible_count += obj->faces[i].visible ? 1 : 0;
    if (visible_count == 0)
        return;

    // Kept between calls: the scenes draw thousands of objects a second and
    // none draws another object from inside a face callback.
    static std::vector<Face *> order;
    order.clear();
    order.reserve(visible_count);
    for (int i = 0; i < obj->face_count; i++) {
        Face *face = &obj->faces[i];
        if (face->visible) {
            face_depth(face);
            order.push_back(face);
        }
    }
    // Stable: faces of equal depth keep their mesh order, the same in every
    // build (std::sort leaves their order to the library).
    std::stable_sort(order.begin(), order.end(),
                     [](const Face *a, const Face *b) { return compare_face_depth(a, b) < 0; });

    // The callback may replace itself while the object is drawn.
    for (Face *face : order) {
        DrawCallback callback = CurrentDrawCallback;
        if (callback)
            callback(face);
    }
}

void render_object(Object3D *obj, const Matrix camera, DrawCallback callback, int near_plane, int far_plane)
{
    set_near_plane(near_plane);
    set_far_plane(far_plane);
    set_draw_callback(callback);
    cull_object(obj, camera);
    transform_object(obj, camera);
    project_object(obj);
    draw_object(obj);
}
