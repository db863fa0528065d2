// The generated archive holds every entry the scene loaders ask for, each
// decoding to the shape its scene indexes, and the meshes fit their scenes' views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "data/archive.h"
#include "data/image.h"
#include "data/startup.h"
#include "engine/mesh.h"

namespace {

enum class Entry { Grey, Words, Mesh };

struct ManifestRow {
    const char *scene;
    const char *name;
    Entry type;
    int width;     // pictures: exact width
    int min_rows;  // pictures: least height
};

// One row per entry a loader asks for; later scenes add theirs.
const ManifestRow Manifest[] = {
    {"box", "box\\box_txt.tga", Entry::Words, 256, 1023},
    {"box", "box\\box_offset.tga", Entry::Grey, 960, 480},
    {"box", "box\\box_3d.3d", Entry::Mesh, 0, 0},
    {"box", "box\\box_3d_.3d", Entry::Mesh, 0, 0},
    {"box", "box\\box_title.tga", Entry::Words, 640, 160},
    {"box", "box\\box_title_fade.tga", Entry::Grey, 1280, 127},
    {"box", "box\\box_flash.tga", Entry::Grey, 640, 320},
    {"title", "orvanti\\orvanti.3d", Entry::Mesh, 0, 0},
    {"title", "orvanti\\orvanti_txt.tga", Entry::Words, 256, 511},
    {"title", "orvanti\\orvanti_back1.tga", Entry::Words, 640, 639},
    {"title", "orvanti\\orvanti_back2.tga", Entry::Words, 640, 639},
    {"title", "orvanti\\orvanti_back3.tga", Entry::Words, 640, 639},
    {"title", "orvanti\\orvanti_col.tga", Entry::Words, 640, 320},
    {"title", "orvanti\\orvanti_fade.tga", Entry::Grey, 640, 320},
    {"title", "orvanti\\orvanti_flash.tga", Entry::Grey, 640, 320},
};

class ManifestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static const std::string path = std::string(ORVANTI_DATA_DIR) + "/orvanti.dat";
        ArchivePath = path.c_str();
        reset_startup_error();
        read_archive_directory();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
    }
    void TearDown() override { reset_startup_error(); }
};

// The largest distance of a real vertex from the object's origin, and its extents.
struct Extent {
    double radius = 0, max_x = 0, max_y = 0, max_z = 0;
};

Extent extent_of(const Object3D &o)
{
    Extent e;
    for (int k = 0; k < o.vertex_count - o.face_count; k++) {
        const Vertex &v = o.vertices[k];
        e.radius = std::max(e.radius, std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z));
        e.max_x = std::max(e.max_x, std::fabs(double(v.x)));
        e.max_y = std::max(e.max_y, std::fabs(double(v.y)));
        e.max_z = std::max(e.max_z, std::fabs(double(v.z)));
    }
    return e;
}

} // namespace

TEST_F(ManifestTest, EveryEntryDecodesToTheShapeItsSceneIndexes)
{
    for (const ManifestRow &row : Manifest) {
        SCOPED_TRACE(std::string(row.scene) + ": " + row.name);
        reset_startup_error();
        if (row.type == Entry::Mesh) {
            Mesh mesh{};
            load_mesh(row.name, &mesh);
            EXPECT_EQ(StartupError, 0) << StartupFailure;
            EXPECT_GE(mesh.object_count, 1);
            if (mesh.object_count >= 1) {
                EXPECT_GT(mesh.objects[0].face_count, 0);
                for (int k = 0; k < mesh.objects[0].vertex_count; k++) {
                    ASSERT_GE(mesh.objects[0].vertices[k].u, 0.0f);
                    ASSERT_TRUE(std::isfinite(mesh.objects[0].vertices[k].x));
                }
            }
            free_mesh(&mesh);
            continue;
        }
        Image image{};
        load_image(row.name, &image);
        EXPECT_EQ(StartupError, 0) << StartupFailure;
        EXPECT_NE(image.pixels, nullptr);
        EXPECT_EQ(image.kind, row.type == Entry::Grey ? 1 : 2);
        EXPECT_EQ(image.width, row.width);
        EXPECT_GE(image.height, row.min_rows);
        free_image(&image);
    }
}

TEST_F(ManifestTest, RandomBoxHasAtLeastTheBoxsVertexRecords)
{
    Mesh box{}, random{};
    load_mesh("box\\box_3d.3d", &box);
    load_mesh("box\\box_3d_.3d", &random);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_GE(random.objects[0].vertex_count, box.objects[0].vertex_count);
    EXPECT_GT(box.objects[0].face_count, 500) << "the box must break into many small triangles";
    free_mesh(&box);
    free_mesh(&random);
}

TEST_F(ManifestTest, BoxNeverTurnsACornerPastTheNearDistance)
{
    // Culled as if 512 in front against a near distance of 450, at any rotation.
    Mesh box{};
    load_mesh("box\\box_3d.3d", &box);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_LT(extent_of(box.objects[0]).radius, 512.0 - 450.0);
    free_mesh(&box);
}

TEST_F(ManifestTest, TitleWordFitsTheFlatRenderingAtEveryTurn)
{
    // Camera 100 in front, near 0: a vertex turned toward the camera keeps a
    // positive depth while its distance from the vertical axis stays below
    // 100, and stays inside the side planes up to about 78.
    Mesh word{};
    load_mesh("orvanti\\orvanti.3d", &word);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    const Object3D &o = word.objects[0];
    double axis = 0, height = 0;
    for (int k = 0; k < o.vertex_count - o.face_count; k++) {
        const Vertex &v = o.vertices[k];
        axis = std::max(axis, std::hypot(double(v.x), double(v.z)));
        height = std::max(height, std::fabs(double(v.y)));
    }
    EXPECT_LT(axis, 78.0);
    EXPECT_LT(height, 0.625 * (100.0 - axis));  // top and bottom planes, nearest turn
    EXPECT_GT(axis, 30.0) << "the word should fill a good part of the band";
    free_mesh(&word);
}
