// The per-frame path from an object and a camera to sorted faces handed to
// the current draw callback: cull, transform, project, draw.
#pragma once
#include <cstdint>

#include "engine/matrix.h"
#include "engine/mesh.h"

constexpr int32_t ViewWidth = 640;
constexpr int32_t ViewHeight = 320;

extern int32_t NearPlane;  // starts at 500
extern int32_t FarPlane;   // starts at 2000
extern Plane FrustumPlanes[6];  // left, right, bottom, top, near, far, in object space

using DrawCallback = void (*)(Face *face);

// Read again before every face, so a callback may install its successor.
extern DrawCallback CurrentDrawCallback;  // none at start

void set_near_plane(int z);
void set_far_plane(int z);
void set_draw_callback(DrawCallback cb);
void build_frustum(const Matrix view_to_object);
void cull_object(Object3D *obj, const Matrix camera);
void transform_object(Object3D *obj, const Matrix camera);
void project_object(Object3D *obj);
void draw_object(Object3D *obj);
// The whole path for one object: sets the near and far planes, installs
// `callback`, then culls, transforms, projects and draws `obj` as seen from
// `camera`.
void render_object(Object3D *obj, const Matrix camera, DrawCallback callback, int near_plane, int far_plane);
void face_depth(Face *f);
int compare_face_depth(const Face *a, const Face *b);
