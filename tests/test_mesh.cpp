// Mesh loading: file layout and axes, normals, several objects, and damaged entries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/startup_error.h"
#include "engine/mesh.h"
#include "mesh_writer.h"

namespace {

const char *const EntryName = "ball\\ball.3d";

void put_i32(std::vector<uint8_t> &out, int32_t value)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

std::vector<uint8_t> counts(std::initializer_list<int32_t> values)
{
    std::vector<uint8_t> out;
    for (int32_t value : values)
        put_i32(out, value);
    return out;
}

MeshObjectSource triangle(float offset)
{
    return {{{offset, 0, 0, 0.1f, 0.2f}, {offset + 1, 0, 0, 0.3f, 0.4f}, {offset, 1, 0, 0.5f, 0.6f}}, {{0, 1, 2}}};
}

MeshObjectSource square()
{
    return {{{0, 0, 0, 0, 0}, {2, 0, 0, 1, 0}, {2, 2, 0, 1, 1}, {0, 2, 0, 0, 1}}, {{0, 1, 2}, {0, 2, 3}}};
}

struct Loaded {
    Mesh mesh{};
    int error = 0;
    std::string failure;
};

// Loads `bytes` as the only entry of a fresh archive; the caller frees the mesh.
Loaded load_bytes(const std::vector<uint8_t> &bytes)
{
    ScopedArchive archive({{EntryName, bytes}});
    Loaded result;
    result.mesh.object_count = -1;  // must be overwritten
    load_mesh(EntryName, &result.mesh);
    result.error = StartupError;
    result.failure = StartupFailure;
    return result;
}

// Every face points into its own object's real vertices and at its own normal record.
void expect_consistent(const Mesh &mesh)
{
    for (int i = 0; i < mesh.object_count; i++) {
        const Object3D &obj = mesh.objects[i];
        int real = obj.vertex_count - obj.face_count;
        for (int j = 0; j < obj.face_count; j++) {
            for (const Vertex *vertex : obj.faces[j].v)
                EXPECT_TRUE(vertex >= obj.vertices && vertex < obj.vertices + real);
            EXPECT_EQ(obj.faces[j].normal, obj.vertices + real + j);
        }
    }
}

// --- Layout --------------------------------------------------------------

TEST(MeshLoad, OneTriangleGetsItsNormalRecordAndZeroedFields)
{
    Loaded loaded = load_bytes(encode_mesh({triangle(0)}));
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    const Object3D &obj = loaded.mesh.objects[0];
    EXPECT_EQ(obj.vertex_count, 4);
    EXPECT_EQ(obj.face_count, 1);
    expect_consistent(loaded.mesh);
    EXPECT_EQ(obj.faces[0].v[1], &obj.vertices[1]);
    EXPECT_EQ(obj.faces[0].v[2], &obj.vertices[2]);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(obj.vertices[i].is_normal, i == 3 ? 1 : 0);
        EXPECT_EQ(obj.vertices[i].outside | obj.vertices[i].scene_data | obj.vertices[i].sx, 0);
        EXPECT_EQ(obj.vertices[i].vz, 0.0f);
    }
    EXPECT_EQ(obj.faces[0].texture, nullptr);
    EXPECT_EQ(obj.faces[0].visible, 0);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(obj.matrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    free_mesh(&loaded.mesh);
    EXPECT_EQ(loaded.mesh.object_count, 0);
}

TEST(MeshLoad, FileStoresDepthBeforeHeightAndAbsoluteCoordinates)
{
    // By hand: the file's (1, 2, 3) is the engine's x = 1, y = 3, z = 2.
    std::vector<uint8_t> bytes = counts({1, 3, 1});
    const float floats[] = {1, 2, 3, -0.25f, 0.25f, 4, 0, 0, 0.75f, -3.5f, 0, 0, 5, -0.0f, 0};
    for (float value : floats) {
        int32_t bits;
        memcpy(&bits, &value, sizeof bits);
        put_i32(bytes, bits);
    }
    bytes.insert(bytes.end(), {0, 0, 1, 0, 2, 0, 0, 0});
    Loaded loaded = load_bytes(bytes);
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    const Vertex *vertices = loaded.mesh.objects[0].vertices;
    EXPECT_EQ(vertices[0].x, 1.0f);
    EXPECT_EQ(vertices[0].y, 3.0f);
    EXPECT_EQ(vertices[0].z, 2.0f);
    EXPECT_EQ(vertices[2].y, 5.0f);
    EXPECT_EQ(vertices[0].u, 0.25f);
    EXPECT_EQ(vertices[0].v, 0.25f);
    EXPECT_EQ(vertices[1].u, 0.75f);
    EXPECT_EQ(vertices[1].v, 3.5f);
    EXPECT_FALSE(std::signbit(vertices[2].u));
    free_mesh(&loaded.mesh);

    // The writer takes engine axes and writes the same bytes.
    MeshObjectSource object = {{{1, 3, 2, -0.25f, 0.25f}, {4, 0, 0, 0.75f, -3.5f}, {0, 5, 0, -0.0f, 0}}, {{0, 1, 2}}};
    EXPECT_EQ(encode_mesh({object}), bytes);
}

TEST(MeshLoad, TwoObjectsBackToBackAndTheFourthFaceValueIgnored)
{
    std::vector<uint8_t> bytes = encode_mesh({square(), triangle(10)});
    bytes[4 + 8 + 4 * 20 + 6] = 0xFF;  // fourth value of the square's first face
    bytes[4 + 8 + 4 * 20 + 7] = 0xFF;
    Loaded loaded = load_bytes(bytes);
    ASSERT_EQ(loaded.mesh.object_count, 2) << loaded.failure;
    const Object3D &first = loaded.mesh.objects[0], &second = loaded.mesh.objects[1];
    EXPECT_EQ(first.vertex_count, 6);
    EXPECT_EQ(first.face_count, 2);
    EXPECT_EQ(first.faces[0].v[2], &first.vertices[2]);
    EXPECT_EQ(first.faces[1].v[2], &first.vertices[3]);
    EXPECT_EQ(second.vertex_count, 4);
    EXPECT_EQ(second.vertices[0].x, 10.0f);
    EXPECT_EQ(second.vertices[1].u, 0.3f);
    expect_consistent(loaded.mesh);
    free_mesh(&loaded.mesh);

    Loaded empty = load_bytes(encode_mesh({}));
    EXPECT_EQ(empty.error, 0) << empty.failure;
    EXPECT_EQ(empty.mesh.object_count, 0);
    free_mesh(&empty.mesh);
}

TEST(MeshNormals, FollowTheWindingAndStayFiniteForFlatFaces)
{
    MeshObjectSource object = {{{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 5, 0, 0}, {3, 4, 0, 0, 0}},
                               {{0, 1, 2}, {0, 2, 1}, {0, 3, 1}, {0, 2, 3}, {1, 4, 2}}};
    Loaded loaded = load_bytes(encode_mesh({object}));
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    Object3D &obj = loaded.mesh.objects[0];
    const float expected[4][3] = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}};
    for (int j = 0; j < 4; j++) {
        EXPECT_FLOAT_EQ(obj.faces[j].normal->x, expected[j][0]) << "face " << j;
        EXPECT_FLOAT_EQ(obj.faces[j].normal->y, expected[j][1]) << "face " << j;
        EXPECT_FLOAT_EQ(obj.faces[j].normal->z, expected[j][2]) << "face " << j;
    }
    EXPECT_FLOAT_EQ(obj.faces[4].normal->z, 1.0f);  // unequal sides, still unit length

    // Moved onto one line, a face has no direction: its normal becomes zero, not NaN.
    obj.vertices[4] = obj.vertices[1];
    obj.vertices[4].x = 7;
    obj.vertices[2].y = 0;
    obj.vertices[2].x = -1;
    compute_face_normals(&obj);
    for (float value : {obj.faces[4].normal->x, obj.faces[4].normal->y, obj.faces[4].normal->z})
        EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(obj.faces[4].normal->is_normal, 1);
    EXPECT_FLOAT_EQ(obj.faces[2].normal->y, 1.0f);  // untouched faces keep theirs
    free_mesh(&loaded.mesh);
}

// --- Damaged entries -----------------------------------------------------

struct BadMesh {
    const char *what;
    std::vector<uint8_t> bytes;
    const char *reason;  // part of the failure line
};

std::vector<BadMesh> bad_meshes()
{
    const std::vector<uint8_t> good = encode_mesh({triangle(0)});
    auto changed = [&](size_t at, std::initializer_list<uint8_t> values) {
        std::vector<uint8_t> bytes = good;
        std::copy(values.begin(), values.end(), bytes.begin() + static_cast<long>(at));
        return bytes;
    };
    std::vector<uint8_t> short_face(good.begin(), good.end() - 1);
    std::vector<uint8_t> short_vertices(good.begin(), good.begin() + 12 + 2 * 20);
    std::vector<uint8_t> overflow = counts({1, 0x7FFFFFFF, 0x7FFFFFFF});  // 20 times that passes 32 bits
    overflow.resize(80);
    std::vector<uint8_t> short_second = encode_mesh({triangle(0), triangle(1)});
    short_second.resize(short_second.size() - 10);
    MeshObjectSource broken = triangle(0);
    broken.faces.push_back({2, 1, 7});

    return {
        {"empty entry", {}, "too short"},
        {"half a count", {1, 0}, "too short"},
        {"negative object count", counts({-1}), "object count -1"},
        {"object count beyond the entry", counts({0x7FFFFFFF, 3, 1}), "object count 2147483647"},
        {"second object announced, none there", changed(0, {2}), "object 1: entry ends before its counts"},
        {"negative vertex count", counts({1, -3, 1}), "negative count"},
        {"negative face count", counts({1, 0, INT32_MIN}), "negative count"},
        {"counts whose sizes overflow", overflow, "need"},
        {"last face record cut short", short_face, "need 68 bytes, 67 left"},
        {"vertex records cut short", short_vertices, "need"},
        {"face index at the vertex count", changed(good.size() - 4, {3}), "BALL\\BALL.3D: face 0 uses vertex 3 of 3"},
        {"face index far beyond", changed(good.size() - 8, {0xA0, 0x0F}), "face 0 uses vertex 4000 of 3"},
        {"bad face in the second object", encode_mesh({triangle(5), broken}), "object 1: face 1 uses vertex 7"},
        {"second object cut short", short_second, "object 1"},
    };
}

TEST(MeshDamage, EveryBadEntryRaisesStartupErrorAndLeavesNoObjects)
{
    for (const BadMesh &bad : bad_meshes()) {
        SCOPED_TRACE(bad.what);
        Loaded loaded = load_bytes(bad.bytes);
        EXPECT_EQ(loaded.error, 1);
        EXPECT_EQ(loaded.mesh.object_count, 0);
        EXPECT_EQ(loaded.mesh.objects, nullptr);
        EXPECT_EQ(loaded.failure.rfind("BALL\\BALL.3D: ", 0), 0u) << loaded.failure;
        EXPECT_NE(loaded.failure.find(bad.reason), std::string::npos) << loaded.failure;
    }

    ScopedArchive archive({{"other.3d", encode_mesh({triangle(0)})}});
    Mesh mesh{7, nullptr};
    load_mesh(EntryName, &mesh);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(mesh.object_count, 0);
    EXPECT_NE(std::string(StartupFailure).find("BALL\\BALL.3D"), std::string::npos) << StartupFailure;
}

TEST(MeshDamage, EveryShorterPrefixFailsWhole)
{
    std::vector<uint8_t> whole = encode_mesh({square(), triangle(3)});
    for (size_t length = 0; length <= whole.size(); length++) {
        Loaded loaded = load_bytes(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(length)));
        bool complete = length == whole.size();
        EXPECT_EQ(loaded.error, complete ? 0 : 1) << "length " << length;
        EXPECT_EQ(loaded.mesh.object_count, complete ? 2 : 0) << "length " << length;
        free_mesh(&loaded.mesh);
    }
}

TEST(MeshDamage, FlippedBitsLoadSafelyOrFailCleanly)
{
    MeshObjectSource shape = square();
    shape.faces.push_back({1, 2, 3});
    const std::vector<uint8_t> whole = encode_mesh({shape, triangle(3)});
    std::mt19937 random(5);
    int loaded_count = 0, failed_count = 0;
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> bytes = whole;
        for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; flips--)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        Loaded loaded = load_bytes(bytes);
        if (loaded.error) {
            failed_count++;
            EXPECT_EQ(loaded.mesh.object_count, 0);
            EXPECT_FALSE(loaded.failure.empty());
        } else {
            loaded_count++;
            expect_consistent(loaded.mesh);
        }
        free_mesh(&loaded.mesh);
    }
    EXPECT_GT(loaded_count, 0);
    EXPECT_GT(failed_count, 0);
}

}  // namespace
