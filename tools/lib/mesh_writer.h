// Writer of the ".3d" mesh format: object count, then per object the vertex
// and face counts, 20-byte vertex records and 8-byte face records.
//
// Positions are given in the engine's axes (x right, y up, z into the
// screen); the writer stores them as the file wants them (x, z, y).
// Face indices are 0-based within their object and must be below 65536.
// The result is the whole file's bytes.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

struct MeshVertexSource {
    float x, y, z;
    float u, v;
};

struct MeshObjectSource {
    std::vector<MeshVertexSource> vertices;
    std::vector<std::array<uint16_t, 3>> faces;
};

std::vector<uint8_t> encode_mesh(const std::vector<MeshObjectSource> &objects);
