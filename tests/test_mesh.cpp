// Mesh loading: file layout and axes, normals, several objects, and damaged entries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/image.h"
#include "data/startup.h"
#include "engine/mesh.h"
#include "mesh_writer.h"

namespace {

const char *const EntryName = "ball\\ball.3d";

// Little-endian builders for hand-made entries.
void put_i32(std::vector<uint8_t> &out, int32_t value)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

void put_float(std::vector<uint8_t> &out, float value)
{
    int32_t bits;
    memcpy(&bits, &value, sizeof bits);
    put_i32(out, bits);
}

void put_face(std::vector<uint8_t> &out, uint16_t a, uint16_t b, uint16_t c, uint16_t unused)
{
    for (uint16_t value : {a, b, c, unused}) {
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    }
}

MeshObjectSource triangle_object(float offset)
{
    MeshObjectSource object;
    object.vertices = {{offset, 0, 0, 0.1f, 0.2f}, {offset + 1, 0, 0, 0.3f, 0.4f}, {offset, 1, 0, 0.5f, 0.6f}};
    object.faces = {{0, 1, 2}};
    return object;
}

// Loads `bytes` as the only entry of a fresh archive; the mesh is freed by the caller.
struct LoadedMesh {
    Mesh mesh{};
    int error = 0;
    std::string failure;
};

LoadedMesh load_bytes(const std::vector<uint8_t> &bytes)
{
    ScopedArchive archive({{EntryName, bytes}});
    LoadedMesh result;
    result.mesh.object_count = -1;  // must be overwritten
    load_mesh(EntryName, &result.mesh);
    result.error = StartupError;
    result.failure = StartupFailure;
    return result;
}

// Every face must point into its own object's vertex array.
void expect_consistent(const Mesh &mesh)
{
    for (int i = 0; i < mesh.object_count; i++) {
        const Object3D &obj = mesh.objects[i];
        int real = obj.vertex_count - obj.face_count;
        for (int j = 0; j < obj.face_count; j++) {
            const Face &face = obj.faces[j];
            for (const Vertex *vertex : face.v) {
                EXPECT_GE(vertex, obj.vertices);
                EXPECT_LT(vertex, obj.vertices + real);
            }
            EXPECT_EQ(face.normal, obj.vertices + real + j);
        }
    }
}

// --- Layout --------------------------------------------------------------

TEST(MeshLoad, OneTriangleGetsItsNormalRecord)
{
    LoadedMesh loaded = load_bytes(encode_mesh({triangle_object(0)}));
    ASSERT_EQ(loaded.error, 0) << loaded.failure;
    ASSERT_EQ(loaded.mesh.object_count, 1);
    const Object3D &obj = loaded.mesh.objects[0];
    EXPECT_EQ(obj.vertex_count, 4);
    EXPECT_EQ(obj.face_count, 1);
    const Face &face = obj.faces[0];
    EXPECT_EQ(face.v[0], &obj.vertices[0]);
    EXPECT_EQ(face.v[1], &obj.vertices[1]);
    EXPECT_EQ(face.v[2], &obj.vertices[2]);
    EXPECT_EQ(face.normal, &obj.vertices[3]);
    EXPECT_EQ(obj.vertices[3].is_normal, 1);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(obj.vertices[i].is_normal, 0);
    // What the loader does not fill starts at zero, and the matrix at the identity.
    EXPECT_EQ(face.texture, nullptr);
    EXPECT_EQ(face.visible, 0);
    EXPECT_EQ(face.depth, 0.0f);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(obj.vertices[i].outside, 0);
        EXPECT_EQ(obj.vertices[i].scene_data, 0);
        EXPECT_EQ(obj.vertices[i].sx, 0);
        EXPECT_EQ(obj.vertices[i].vz, 0.0f);
    }
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(obj.matrix[i], i % 5 == 0 ? 1.0f : 0.0f);
    free_mesh(&loaded.mesh);
    EXPECT_EQ(loaded.mesh.object_count, 0);
}

TEST(MeshLoad, FileStoresDepthBeforeHeight)
{
    // By hand: the file's (1, 2, 3) is the engine's x = 1, y = 3, z = 2.
    std::vector<uint8_t> bytes;
    put_i32(bytes, 1);
    put_i32(bytes, 3);
    put_i32(bytes, 1);
    for (float value : {1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 4.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 5.0f, 0.0f, 0.0f})
        put_float(bytes, value);
    put_face(bytes, 0, 1, 2, 0);
    LoadedMesh loaded = load_bytes(bytes);
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    const Vertex &vertex = loaded.mesh.objects[0].vertices[0];
    EXPECT_EQ(vertex.x, 1.0f);
    EXPECT_EQ(vertex.y, 3.0f);
    EXPECT_EQ(vertex.z, 2.0f);
    EXPECT_EQ(loaded.mesh.objects[0].vertices[1].x, 4.0f);
    EXPECT_EQ(loaded.mesh.objects[0].vertices[2].y, 5.0f);
    free_mesh(&loaded.mesh);

    // The writer takes engine axes and produces the same file order.
    MeshObjectSource object;
    object.vertices = {{1, 3, 2, 0, 0}, {4, 0, 0, 0, 0}, {0, 5, 0, 0, 0}};
    object.faces = {{0, 1, 2}};
    EXPECT_EQ(encode_mesh({object}), bytes);
}

TEST(MeshLoad, TextureCoordinatesAreMadeAbsolute)
{
    MeshObjectSource object = triangle_object(0);
    object.vertices[0].u = -0.25f;
    object.vertices[0].v = 0.25f;
    object.vertices[1].u = 0.75f;
    object.vertices[1].v = -3.5f;
    object.vertices[2].u = -0.0f;
    LoadedMesh loaded = load_bytes(encode_mesh({object}));
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    const Vertex *vertices = loaded.mesh.objects[0].vertices;
    EXPECT_EQ(vertices[0].u, 0.25f);
    EXPECT_EQ(vertices[0].v, 0.25f);
    EXPECT_EQ(vertices[1].u, 0.75f);
    EXPECT_EQ(vertices[1].v, 3.5f);
    EXPECT_FALSE(std::signbit(vertices[2].u));
    free_mesh(&loaded.mesh);
}

TEST(MeshLoad, TwoObjectsBackToBack)
{
    MeshObjectSource quad;
    quad.vertices = {{0, 0, 0, 0, 0}, {2, 0, 0, 1, 0}, {2, 2, 0, 1, 1}, {0, 2, 0, 0, 1}};
    quad.faces = {{0, 1, 2}, {0, 2, 3}};
    LoadedMesh loaded = load_bytes(encode_mesh({quad, triangle_object(10)}));
    ASSERT_EQ(loaded.error, 0) << loaded.failure;
    ASSERT_EQ(loaded.mesh.object_count, 2);
    const Object3D &first = loaded.mesh.objects[0], &second = loaded.mesh.objects[1];
    EXPECT_EQ(first.vertex_count, 6);
    EXPECT_EQ(first.face_count, 2);
    EXPECT_EQ(first.faces[1].v[2], &first.vertices[3]);
    EXPECT_EQ(first.faces[1].normal, &first.vertices[5]);
    EXPECT_EQ(second.vertex_count, 4);
    EXPECT_EQ(second.face_count, 1);
    EXPECT_EQ(second.vertices[0].x, 10.0f);
    EXPECT_EQ(second.vertices[1].u, 0.3f);
    EXPECT_EQ(second.faces[0].v[1], &second.vertices[1]);
    expect_consistent(loaded.mesh);
    free_mesh(&loaded.mesh);
}

TEST(MeshLoad, FourthFaceValueIsIgnored)
{
    std::vector<uint8_t> plain = encode_mesh({triangle_object(0)});
    std::vector<uint8_t> marked = plain;
    marked[marked.size() - 2] = 0xFF;  // the fourth value of the only face
    marked[marked.size() - 1] = 0xFF;
    LoadedMesh a = load_bytes(plain), b = load_bytes(marked);
    ASSERT_EQ(b.error, 0) << b.failure;
    ASSERT_EQ(b.mesh.object_count, 1);
    const Object3D &oa = a.mesh.objects[0], &ob = b.mesh.objects[0];
    ASSERT_EQ(oa.vertex_count, ob.vertex_count);
    for (int k = 0; k < 3; k++)
        EXPECT_EQ(ob.faces[0].v[k] - ob.vertices, oa.faces[0].v[k] - oa.vertices);
    EXPECT_EQ(memcmp(oa.vertices, ob.vertices, sizeof(Vertex) * oa.vertex_count), 0);
    free_mesh(&a.mesh);
    free_mesh(&b.mesh);
}

TEST(MeshLoad, EmptyMeshIsValid)
{
    LoadedMesh loaded = load_bytes(encode_mesh({}));
    EXPECT_EQ(loaded.error, 0) << loaded.failure;
    EXPECT_EQ(loaded.mesh.object_count, 0);
    free_mesh(&loaded.mesh);
}

// --- Normals and textures ------------------------------------------------

TEST(MeshNormals, FollowTheWindingInEngineAxes)
{
    MeshObjectSource object;
    object.vertices = {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 5, 0, 0}, {3, 4, 0, 0, 0}};
    object.faces = {{0, 1, 2}, {0, 2, 1}, {0, 3, 1}, {1, 4, 2}, {0, 2, 3}};
    LoadedMesh loaded = load_bytes(encode_mesh({object}));
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    const Object3D &obj = loaded.mesh.objects[0];
    auto normal = [&](int face) { return *obj.faces[face].normal; };
    EXPECT_FLOAT_EQ(normal(0).z, 1.0f);
    EXPECT_FLOAT_EQ(normal(1).z, -1.0f);
    // (0,0,0), (0,0,5), (1,0,0): e1 = +z, e2 = +x, so the normal is +y.
    EXPECT_FLOAT_EQ(normal(2).y, 1.0f);
    EXPECT_FLOAT_EQ(normal(2).x, 0.0f);
    // (0,0,0), (0,1,0), (0,0,5): e1 = +y, e2 = +z, so the normal is +x.
    EXPECT_FLOAT_EQ(normal(4).x, 1.0f);
    for (int j = 0; j < obj.face_count; j++) {
        const Vertex &n = normal(j);
        EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-6) << "face " << j;
        EXPECT_EQ(n.is_normal, 1);
    }
    free_mesh(&loaded.mesh);
}

TEST(MeshNormals, RecomputedAfterVerticesMoveAndZeroForFlatFaces)
{
    LoadedMesh loaded = load_bytes(encode_mesh({triangle_object(0)}));
    ASSERT_EQ(loaded.mesh.object_count, 1) << loaded.failure;
    Object3D &obj = loaded.mesh.objects[0];
    // Tip the triangle over: (0,0,0), (1,0,0), (0,0,1) faces -y.
    obj.vertices[2].y = 0;
    obj.vertices[2].z = 1;
    compute_face_normals(&obj);
    EXPECT_FLOAT_EQ(obj.faces[0].normal->y, -1.0f);
    // Three points on one line leave no direction: the normal is zero, not NaN.
    obj.vertices[2].x = 2;
    obj.vertices[2].z = 0;
    compute_face_normals(&obj);
    EXPECT_EQ(obj.faces[0].normal->x, 0.0f);
    EXPECT_EQ(obj.faces[0].normal->y, 0.0f);
    EXPECT_EQ(obj.faces[0].normal->z, 0.0f);
    free_mesh(&loaded.mesh);
}

TEST(MeshTexture, SetOnEveryFace)
{
    MeshObjectSource quad;
    quad.vertices = {{0, 0, 0, 0, 0}, {2, 0, 0, 1, 0}, {2, 2, 0, 1, 1}, {0, 2, 0, 0, 1}};
    quad.faces = {{0, 1, 2}, {0, 2, 3}};
    LoadedMesh loaded = load_bytes(encode_mesh({quad, triangle_object(0)}));
    ASSERT_EQ(loaded.mesh.object_count, 2) << loaded.failure;
    Image pictures[2] = {};
    Image *first = &pictures[0], *second = &pictures[1];
    set_object_texture(&loaded.mesh.objects[0], first);
    EXPECT_EQ(loaded.mesh.objects[0].faces[0].texture, first);
    EXPECT_EQ(loaded.mesh.objects[0].faces[1].texture, first);
    EXPECT_EQ(loaded.mesh.objects[1].faces[0].texture, nullptr);
    set_object_texture(&loaded.mesh.objects[0], second);
    EXPECT_EQ(loaded.mesh.objects[0].faces[1].texture, second);
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
    std::vector<BadMesh> cases;
    std::vector<uint8_t> good = encode_mesh({triangle_object(0)});

    cases.push_back({"empty entry", {}, "too short"});
    cases.push_back({"half a count", {1, 0}, "too short"});

    std::vector<uint8_t> bytes;
    put_i32(bytes, -1);
    cases.push_back({"negative object count", bytes, "object count -1"});

    bytes.clear();
    put_i32(bytes, 0x7FFFFFFF);
    put_i32(bytes, 3);
    put_i32(bytes, 1);
    cases.push_back({"object count beyond the entry", bytes, "object count 2147483647"});

    bytes = good;
    bytes[0] = 2;  // a second object is announced but nothing follows the first
    cases.push_back({"object without counts", bytes, "object 1: entry ends before its counts"});

    bytes.clear();
    put_i32(bytes, 1);
    put_i32(bytes, -3);
    put_i32(bytes, 1);
    cases.push_back({"negative vertex count", bytes, "negative count"});

    bytes.clear();
    put_i32(bytes, 1);
    put_i32(bytes, 0);
    put_i32(bytes, INT32_MIN);
    cases.push_back({"negative face count", bytes, "negative count"});

    bytes.clear();
    put_i32(bytes, 1);
    put_i32(bytes, 0x7FFFFFFF);  // 20 times this overflows 32 bits
    put_i32(bytes, 0x7FFFFFFF);
    bytes.resize(bytes.size() + 64, 0);
    cases.push_back({"counts whose sizes overflow", bytes, "need"});

    bytes = good;
    bytes.pop_back();
    cases.push_back({"last face record cut short", bytes, "need 68 bytes, 67 left"});

    bytes = good;
    bytes.resize(12 + 2 * 20);
    cases.push_back({"vertex records cut short", bytes, "need"});

    bytes = good;
    bytes[bytes.size() - 4] = 3;  // third index = vertex count
    cases.push_back({"face index at the vertex count", bytes, "BALL\\BALL.3D: face 0 uses vertex 3 of 3"});

    bytes = good;
    bytes[bytes.size() - 8] = 0xA0;  // first index 4000
    bytes[bytes.size() - 7] = 0x0F;
    cases.push_back({"face index far beyond", bytes, "face 0 uses vertex 4000 of 3"});

    MeshObjectSource broken = triangle_object(0);
    broken.faces.push_back({2, 1, 7});
    cases.push_back(
        {"bad face in the second object", encode_mesh({triangle_object(5), broken}), "object 1: face 1 uses vertex 7"});

    bytes = encode_mesh({triangle_object(0), triangle_object(1)});
    bytes.resize(bytes.size() - 10);
    cases.push_back({"second object cut short", bytes, "object 1"});
    return cases;
}

TEST(MeshDamage, EveryBadEntryRaisesStartupErrorAndLeavesNoObjects)
{
    for (const BadMesh &bad : bad_meshes()) {
        SCOPED_TRACE(bad.what);
        LoadedMesh loaded = load_bytes(bad.bytes);
        EXPECT_EQ(loaded.error, 1);
        EXPECT_EQ(loaded.mesh.object_count, 0);
        EXPECT_EQ(loaded.mesh.objects, nullptr);
        EXPECT_EQ(loaded.failure.rfind("BALL\\BALL.3D: ", 0), 0u) << loaded.failure;
        EXPECT_NE(loaded.failure.find(bad.reason), std::string::npos) << loaded.failure;
        free_mesh(&loaded.mesh);
    }
}

TEST(MeshDamage, MissingEntryRaisesStartupError)
{
    ScopedArchive archive({{"other.3d", encode_mesh({triangle_object(0)})}});
    Mesh mesh{};
    mesh.object_count = 7;
    load_mesh(EntryName, &mesh);
    EXPECT_EQ(StartupError, 1);
    EXPECT_EQ(mesh.object_count, 0);
    EXPECT_EQ(mesh.objects, nullptr);
    EXPECT_NE(std::string(StartupFailure).find("BALL\\BALL.3D"), std::string::npos) << StartupFailure;
}

TEST(MeshDamage, EveryShorterPrefixFailsTheWholeLoads)
{
    MeshObjectSource quad;
    quad.vertices = {{0, 0, 0, 0, 0}, {2, 0, 0, 1, 0}, {2, 2, 0, 1, 1}, {0, 2, 0, 0, 1}};
    quad.faces = {{0, 1, 2}, {0, 2, 3}};
    std::vector<uint8_t> whole = encode_mesh({quad, triangle_object(3)});
    for (size_t length = 0; length <= whole.size(); length++) {
        std::vector<uint8_t> prefix(whole.begin(), whole.begin() + static_cast<long>(length));
        LoadedMesh loaded = load_bytes(prefix);
        bool complete = length == whole.size();
        EXPECT_EQ(loaded.error, complete ? 0 : 1) << "length " << length;
        EXPECT_EQ(loaded.mesh.object_count, complete ? 2 : 0) << "length " << length;
        free_mesh(&loaded.mesh);
    }
}

TEST(MeshDamage, CorruptedBytesLoadSafelyOrFailCleanly)
{
    MeshObjectSource quad;
    quad.vertices = {{0, 0, 0, 0, 0}, {2, 0, 0, 1, 0}, {2, 2, 0, 1, 1}, {0, 2, 0, 0, 1}};
    quad.faces = {{0, 1, 2}, {0, 2, 3}, {1, 2, 3}};
    const std::vector<uint8_t> whole = encode_mesh({quad, triangle_object(3)});
    std::mt19937 random(5);
    int loaded_count = 0, failed_count = 0;
    for (int round = 0; round < 300; round++) {
        std::vector<uint8_t> bytes = whole;
        int flips = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < flips; i++)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        LoadedMesh loaded = load_bytes(bytes);
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
