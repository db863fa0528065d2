// The textured UV sphere of the whole-frame benchmarks, shared so that the
// peer renderer's benchmark draws exactly the mesh, texture and view ours does.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"
#include "raster/raster.h"

// A texture with a checker of holes (zero texels) for the transparent cases.
inline Image &texture()
{
    static std::vector<uint32_t> words;
    static Image image{};
    if (words.empty()) {
        words.resize(TextureSide * TextureSide);
        for (int r = 0; r < TextureSide; ++r)
            for (int c = 0; c < TextureSide; ++c)
                words[r * TextureSide + c] = ((r / 8 + c / 8) % 2) ? 0 : 0x00402010u + r * 256 + c;
        image.kind = ImageWords;
        image.width = image.height = TextureSide;
        image.pixels = reinterpret_cast<uint8_t *>(words.data());
    }
    return image;
}

// A UV sphere of 1,008 faces: two poles, 21 rings of 24 vertices.
constexpr int SphereSlices = 24, SphereRings = 21;
constexpr float SphereRadius = 100.0f;

// The view of every sphere frame: the camera this far back on z, these depth
// planes, and the sphere turned about y by this much more each frame.
constexpr float SphereCameraZ = -165.0f;  // about 190 pixels of radius on screen, so the band cuts off top and bottom
constexpr int SphereNearPlane = 10, SphereFarPlane = 2000;
constexpr float SphereTurnPerFrame = 0.01f;

inline void build_sphere(Object3D &obj, std::vector<Vertex> &vertices, std::vector<Face> &faces)
{
    const float pi = 3.14159265f;
    const int real = 2 + SphereRings * SphereSlices;
    const int face_count = 2 * SphereSlices + 2 * SphereSlices * (SphereRings - 1);
    vertices.assign(real + face_count, Vertex{});
    faces.assign(face_count, Face{});
    auto place = [&](int index, float theta, float phi, float u, float v) {
        Vertex &p = vertices[index];
        p.x = SphereRadius * std::sin(theta) * std::cos(phi);
        p.y = SphereRadius * std::cos(theta);
        p.z = SphereRadius * std::sin(theta) * std::sin(phi);
        p.u = u;
        p.v = v;
    };
    place(0, 0.0f, 0.0f, 0.5f, 0.0f);
    place(1, pi, 0.0f, 0.5f, 2.0f);
    auto ring_vertex = [](int ring, int slice) { return 2 + ring * SphereSlices + slice % SphereSlices; };
    for (int ring = 0; ring < SphereRings; ++ring)
        for (int slice = 0; slice < SphereSlices; ++slice)
            place(ring_vertex(ring, slice), pi * (ring + 1) / (SphereRings + 1),
                  2 * pi * slice / SphereSlices, 3.0f * slice / SphereSlices,
                  2.0f * (ring + 1) / (SphereRings + 1));
    int f = 0;
    auto add = [&](int a, int b, int c) {
        faces[f].v[0] = &vertices[a];
        faces[f].v[1] = &vertices[b];
        faces[f].v[2] = &vertices[c];
        faces[f].normal = &vertices[real + f];
        faces[f].texture = &texture();
        ++f;
    };
    for (int s = 0; s < SphereSlices; ++s) {
        add(0, ring_vertex(0, s + 1), ring_vertex(0, s));
        add(1, ring_vertex(SphereRings - 1, s), ring_vertex(SphereRings - 1, s + 1));
        for (int ring = 0; ring + 1 < SphereRings; ++ring) {
            add(ring_vertex(ring, s), ring_vertex(ring, s + 1), ring_vertex(ring + 1, s));
            add(ring_vertex(ring + 1, s), ring_vertex(ring, s + 1), ring_vertex(ring + 1, s + 1));
        }
    }
    matrix_identity(obj.matrix);
    obj.vertex_count = real + face_count;
    obj.face_count = face_count;
    obj.vertices = vertices.data();
    obj.faces = faces.data();
    compute_face_normals(&obj);
}
