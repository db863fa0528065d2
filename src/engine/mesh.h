// Mesh records: the working store of the whole 3D pipeline.
#pragma once
#include <cstdint>

#include "engine/matrix.h"

struct Image;

struct Vertex {
    float x, y, z;        // object space (normal records: the face's unit normal)
    float vx, vy, vz;     // view space, written by transform_object
    int32_t sx, sy;       // screen position, written by project_object
    float u, v;           // texture coordinates, never negative after loading
    uint8_t is_normal;    // 1 for a face-normal record
    uint8_t outside;      // 1 when outside the frustum at the last cull_object
    int32_t scene_data;   // the scene's own per-vertex value; the engine never touches it
};

struct Face {
    Vertex *v[3];
    Vertex *normal;       // the face's normal record at the end of the vertex array
    float depth;          // sort key written by draw_object
    Image *texture;       // set by set_object_texture
    uint8_t visible;      // 1 when all three vertices were inside at the last cull_object
};

struct Object3D {
    Matrix matrix;
    int32_t vertex_count;  // real vertices plus one normal record per face
    int32_t face_count;
    Vertex *vertices;
    Face *faces;
};

struct Mesh {
    int32_t object_count;
    Object3D *objects;
};

void load_mesh(const char *name, Mesh *mesh);
void compute_face_normals(Object3D *obj);
void set_object_texture(Object3D *obj, Image *texture);
// Moves every vertex record in order (face-normal records too) by whole
// random amounts: x, then y, by (random mod span_xy) - span_xy / 2, then z
// likewise with span_z; three draws a record from the one generator.
void roughen_object(Object3D *obj, int span_xy, int span_z);
// Frees what load_mesh allocated and leaves the mesh empty (tests and tools;
// the program keeps its meshes to the end).
void free_mesh(Mesh *mesh);
