// Mesh writer: engine-axis objects to the bytes of a ".3d" file.
#include "mesh_writer.h"

#include "little_endian.h"

std::vector<uint8_t> encode_mesh(const std::vector<MeshObjectSource> &objects)
{
    std::vector<uint8_t> out;
    append_u32(out, static_cast<uint32_t>(objects.size()));
    for (const MeshObjectSource &object : objects) {
        append_u32(out, static_cast<uint32_t>(object.vertices.size()));
        append_u32(out, static_cast<uint32_t>(object.faces.size()));
        for (const MeshVertexSource &vertex : object.vertices) {
            // The file keeps depth before height.
            append_f32(out, vertex.x);
            append_f32(out, vertex.z);
            append_f32(out, vertex.y);
            append_f32(out, vertex.u);
            append_f32(out, vertex.v);
        }
        for (const std::array<uint16_t, 3> &face : object.faces) {
            append_u16(out, face[0]);
            append_u16(out, face[1]);
            append_u16(out, face[2]);
            append_u16(out, 0);  // unused by the reader
        }
    }
    return out;
}
