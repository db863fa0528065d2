// Mesh writer: engine-axis objects to the bytes of a ".3d" file.
#include "mesh_writer.h"

#include <cstring>

static void put_u32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

static void put_u16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

static void put_float(std::vector<uint8_t> &out, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    put_u32(out, bits);
}

std::vector<uint8_t> encode_mesh(const std::vector<MeshObjectSource> &objects)
{
    std::vector<uint8_t> out;
    put_u32(out, static_cast<uint32_t>(objects.size()));
    for (const MeshObjectSource &object : objects) {
        put_u32(out, static_cast<uint32_t>(object.vertices.size()));
        put_u32(out, static_cast<uint32_t>(object.faces.size()));
        for (const MeshVertexSource &vertex : object.vertices) {
            // The file keeps depth before height.
            put_float(out, vertex.x);
            put_float(out, vertex.z);
            put_float(out, vertex.y);
            put_float(out, vertex.u);
            put_float(out, vertex.v);
        }
        for (const std::array<uint16_t, 3> &face : object.faces) {
            put_u16(out, face[0]);
            put_u16(out, face[1]);
            put_u16(out, face[2]);
            put_u16(out, 0);  // unused by the reader
        }
    }
    return out;
}
