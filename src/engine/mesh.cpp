// Mesh loading from ".3d" archive entries, face normals and textures.
#include "engine/mesh.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "data/archive.h"
#include "data/startup_error.h"
#include "engine/random.h"

constexpr int64_t FileVertexSize = 20;
constexpr int64_t FileFaceSize = 8;
constexpr int64_t CountsSize = 8;  // vertex count and face count of an object

// The entry's bytes and a read position; every read is checked against the end.
struct MeshReader {
    const uint8_t *bytes;
    int64_t size;
    int64_t position;
};

static int64_t bytes_left(const MeshReader &reader)
{
    return reader.size - reader.position;
}

static int32_t take_i32(MeshReader &reader)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; i++)
        value |= static_cast<uint32_t>(reader.bytes[reader.position + i]) << (8 * i);
    reader.position += 4;
    return static_cast<int32_t>(value);
}

static uint16_t take_u16(MeshReader &reader)
{
    uint16_t value = static_cast<uint16_t>(reader.bytes[reader.position] | reader.bytes[reader.position + 1] << 8);
    reader.position += 2;
    return value;
}

static float take_float(MeshReader &reader)
{
    uint32_t bits = static_cast<uint32_t>(take_i32(reader));
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// The name as the archive stores it, for failure lines.
static void stored_name(const char *name, char *out, size_t out_size)
{
    size_t i = 0;
    for (; name[i] != '\0' && i + 1 < out_size; i++)
        out[i] = upper_case_ascii(name[i]);
    out[i] = '\0';
}

static void free_object(Object3D *obj)
{
    free(obj->vertices);
    free(obj->faces);
    obj->vertices = nullptr;
    obj->faces = nullptr;
    obj->vertex_count = 0;
    obj->face_count = 0;
}

void free_mesh(Mesh *mesh)
{
    for (int i = 0; i < mesh->object_count; i++)
        free_object(&mesh->objects[i]);
    free(mesh->objects);
    mesh->objects = nullptr;
    mesh->object_count = 0;
}

// Reads the whole entry; false (with the failure reported) when it cannot.
static bool read_entry(const char *name, const char *label, uint8_t **bytes, int64_t *size)
{
    *bytes = nullptr;
    int fd = open_entry(name);
    if (fd < 0) {
        report_startup_failure("%s: cannot open the mesh entry", label);
        return false;
    }
    // The directory holds names upper-cased, as the label already is.
    uint32_t entry_size = find_entry_size(label);
    alloc_cleared(bytes, entry_size);
    bool ok = *bytes != nullptr;
    uint32_t done = 0;
    while (ok && done < entry_size) {
        ssize_t got = read(fd, *bytes + done, entry_size - done);
        if (got <= 0) {
            report_startup_failure("%s: read stopped after %u of %u bytes", label, done, entry_size);
            ok = false;
        } else {
            done += static_cast<uint32_t>(got);
        }
    }
    close(fd);
    if (!ok) {
        free(*bytes);
        *bytes = nullptr;
        return false;
    }
    *size = entry_size;
    return true;
}

// Reads one object block into obj; false (with the failure reported) on bad data.
static bool read_object(MeshReader &reader, const char *label, int index, Object3D *obj)
{
    matrix_identity(obj->matrix);
    if (bytes_left(reader) < CountsSize) {
        report_startup_failure("%s: object %d: entry ends before its counts", label, index);
        return false;
    }
    int32_t vertices = take_i32(reader);
    int32_t faces = take_i32(reader);
    if (vertices < 0 || faces < 0) {
        report_startup_failure("%s: object %d: negative count (%d vertices, %d faces)", label, index, vertices,
                               faces);
        return false;
    }
    // Both counts are below 2^31, so these products fit in 64 bits.
    int64_t needed = vertices * FileVertexSize + faces * FileFaceSize;
    if (needed > bytes_left(reader)) {
        report_startup_failure("%s: object %d: %d vertices and %d faces need %lld bytes, %lld left", label, index,
                               vertices, faces, static_cast<long long>(needed),
                               static_cast<long long>(bytes_left(reader)));
        return false;
    }

    // Checked before anything is allocated, so a bad face leaves no half-built object.
    int64_t face_start = reader.position + vertices * FileVertexSize;
    for (int32_t j = 0; j < faces; j++) {
        MeshReader face_reader = {reader.bytes, reader.size, face_start + j * FileFaceSize};
        for (int k = 0; k < 3; k++) {
            uint16_t used = take_u16(face_reader);
            if (used >= vertices) {
                if (index == 0)
                    report_startup_failure("%s: face %d uses vertex %u of %d", label, j, used, vertices);
                else
                    report_startup_failure("%s: object %d: face %d uses vertex %u of %d", label, index, j, used,
                                           vertices);
                return false;
            }
        }
    }

    // vertices + faces fits: the entry holds at least 8 bytes for each.
    int32_t records = vertices + faces;
    alloc_cleared(&obj->vertices, static_cast<size_t>(records) * sizeof(Vertex));
    alloc_cleared(&obj->faces, static_cast<size_t>(faces) * sizeof(Face));
    if (!obj->vertices || !obj->faces) {
        free_object(obj);
        return false;
    }
    obj->vertex_count = vertices;
    obj->face_count = faces;

    for (int32_t k = 0; k < vertices; k++) {
        Vertex &vertex = obj->vertices[k];
        // The file stores depth before height.
        vertex.x = take_float(reader);
        vertex.z = take_float(reader);
        vertex.y = take_float(reader);
        vertex.u = std::fabs(take_float(reader));
        vertex.v = std::fabs(take_float(reader));
    }
    for (int32_t j = 0; j < faces; j++) {
        Face &face = obj->faces[j];
        for (int k = 0; k < 3; k++)
            face.v[k] = &obj->vertices[take_u16(reader)];
        take_u16(reader);  // the fourth value carries nothing
        face.normal = &obj->vertices[obj->vertex_count];
        obj->vertex_count++;
    }
    compute_face_normals(obj);
    return true;
}

void load_mesh(const char *name, Mesh *mesh)
{
    mesh->object_count = 0;
    mesh->objects = nullptr;
    char label[256];
    stored_name(name, label, sizeof label);

    uint8_t *bytes;
    int64_t size;
    if (!read_entry(name, label, &bytes, &size))
        return;
    MeshReader reader = {bytes, size, 0};

    if (bytes_left(reader) < 4) {
        report_startup_failure("%s: %lld bytes, too short for the object count", label,
                               static_cast<long long>(size));
        free(bytes);
        return;
    }
    // Every object needs at least its two counts, which bounds the allocation.
    int32_t count = take_i32(reader);
    if (count < 0 || count > bytes_left(reader) / CountsSize) {
        report_startup_failure("%s: object count %d does not fit in %lld bytes", label, count,
                               static_cast<long long>(size));
        free(bytes);
        return;
    }

    Object3D *objects = nullptr;
    if (count > 0) {
        alloc_cleared(&objects, static_cast<size_t>(count) * sizeof(Object3D));
        if (!objects) {
            free(bytes);
            return;
        }
    }
    int built = 0;
    while (built < count && read_object(reader, label, built, &objects[built]))
        built++;
    free(bytes);

    if (built < count) {
        Mesh partial = {built, objects};
        free_mesh(&partial);
        return;
    }
    mesh->object_count = count;
    mesh->objects = objects;
}

void compute_face_normals(Object3D *obj)
{
    for (int j = 0; j < obj->face_count; j++) {
        Face &face = obj->faces[j];
        const Vertex &p0 = *face.v[0], &p1 = *face.v[1], &p2 = *face.v[2];
        double e1x = double(p1.x) - p0.x, e1y = double(p1.y) - p0.y, e1z = double(p1.z) - p0.z;
        double e2x = double(p2.x) - p0.x, e2y = double(p2.y) - p0.y, e2z = double(p2.z) - p0.z;
        double nx = e1y * e2z - e1z * e2y;
        double ny = e1z * e2x - e1x * e2z;
        double nz = e1x * e2y - e1y * e2x;
        double length = std::sqrt(nx * nx + ny * ny + nz * nz);
        Vertex &normal = *face.normal;
        // A face with no area has no direction; it keeps a zero normal rather
        // than the non-finite values a division would leave for shading code.
        if (length > 0.0 && std::isfinite(length)) {
            normal.x = static_cast<float>(nx / length);
            normal.y = static_cast<float>(ny / length);
            normal.z = static_cast<float>(nz / length);
        } else {
            normal.x = normal.y = normal.z = 0.0f;
        }
        normal.is_normal = 1;
    }
}

void set_object_texture(Object3D *obj, Image *texture)
{
    for (int j = 0; j < obj->face_count; j++)
        obj->faces[j].texture = texture;
}

void roughen_object(Object3D *obj, int span_xy, int span_z)
{
    for (int i = 0; i < obj->vertex_count; i++) {
        Vertex &v = obj->vertices[i];
        v.x += static_cast<float>(random_next() % span_xy - span_xy / 2);
        v.y += static_cast<float>(random_next() % span_xy - span_xy / 2);
        v.z += static_cast<float>(random_next() % span_z - span_z / 2);
    }
}
