// The generated archive holds every entry the scene loaders ask for, each
// decoding to the shape its scene indexes, and the meshes fit their scenes' views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "data/archive.h"
#include "data/image.h"
#include "data/startup_error.h"
#include "engine/mesh.h"
#include "scenes/asset_table.h"

namespace {

// Pictures the loaders take at any size but the scenes draw at one: the
// figure's middle column meets the ring's centre, the scroller fills its
// strip, the ring sprite is placed by its corner.
struct DrawnSize {
    const char *name;
    int width, min_rows;
};
constexpr DrawnSize DrawnSizes[] = {
    {BuddhaPictureAsset.name, 116, 1},
    {BuddhaScrollerAsset.name, 56, 107},
    {BuddhaRingAsset.name, 26, 26},
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

// Of the vertices the faces use: spare records no face draws may lie anywhere.
Extent extent_of(const Object3D &o)
{
    Extent e;
    for (int f = 0; f < o.face_count; f++)
        for (const Vertex *p : o.faces[f].v) {
            const Vertex &v = *p;
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
    for (const AssetEntry *row : AssetTable) {
        SCOPED_TRACE(row->purpose);
        SCOPED_TRACE(row->name);
        reset_startup_error();
        if (row->kind == AssetRaw) {
            char stored[ArchiveNameSlot];
            ASSERT_TRUE(upper_case_entry_name(row->name, stored));
            EXPECT_GE(find_entry_size(stored), uint32_t(row->width) * row->min_rows);
            EXPECT_EQ(StartupError, 0) << StartupFailure;
            continue;
        }
        if (row->kind == AssetMesh) {
            Mesh mesh{};
            load_mesh(row->name, &mesh);
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
        load_image(row->name, &image);
        EXPECT_EQ(StartupError, 0) << StartupFailure;
        EXPECT_NE(image.pixels, nullptr);
        EXPECT_EQ(image.kind, row->kind == AssetGrey ? ImageBytes : ImageWords);
        if (row->width > 0) {
            EXPECT_EQ(image.width, row->width);
        }
        EXPECT_GE(image.height, row->min_rows);
        for (const DrawnSize &drawn : DrawnSizes)
            if (std::string(drawn.name) == row->name) {
                EXPECT_EQ(image.width, drawn.width);
                EXPECT_GE(image.height, drawn.min_rows);
            }
        free_image(&image);
    }
}

TEST_F(ManifestTest, RandomBoxHasAtLeastTheBoxsVertexRecords)
{
    Mesh box{}, random{};
    load_mesh(BoxMeshAsset.name, &box);
    load_mesh(BoxRandomMeshAsset.name, &random);
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
    load_mesh(BoxMeshAsset.name, &box);
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
    load_mesh(TitleMeshAsset.name, &word);
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

namespace {

// Source coordinates wrap modulo 255: the step between two map bytes taken
// the short way round.
int wrapped_step(int from, int to)
{
    int step = (to - from) % 255;
    if (step > 127)
        step -= 255;
    if (step < -127)
        step += 255;
    return step;
}

// A swirl turns the picture about the centre (the columns sampled go round a
// whole number of times along a circle) and draws it inward (the rows
// sampled grow steadily outward along a ray).
void expect_swirl(const char *map_x_name, const char *map_y_name, int width, double cx, double cy)
{
    SCOPED_TRACE(map_x_name);
    Image map_x{}, map_y{};
    load_image(map_x_name, &map_x);
    load_image(map_y_name, &map_y);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    auto at = [&](const Image &map, double x, double y) {
        return int(map.pixels[int(y) * width + int(x)]);
    };
    for (double radius : {40.0, 90.0}) {
        constexpr int Steps = 720;
        int turned = 0;
        int first = at(map_x, cx + radius, cy), previous = first;
        for (int k = 1; k < Steps; k++) {
            double a = k * 2 * 3.14159265358979 / Steps;
            int now = at(map_x, cx + radius * std::cos(a), cy + radius * std::sin(a));
            turned += wrapped_step(previous, now);
            previous = now;
        }
        turned += wrapped_step(previous, first);
        EXPECT_NE(turned, 0) << "radius " << radius << ": the columns do not go round";
        EXPECT_EQ(std::abs(turned) % 255, 0) << "radius " << radius << ": a seam in the swirl";
    }
    for (double a : {0.3, 2.0, 4.4}) {
        int grown = 0;
        int previous = at(map_y, cx + 8 * std::cos(a), cy + 8 * std::sin(a));
        for (double r = 9; r < 120; r += 1) {
            int now = at(map_y, cx + r * std::cos(a), cy + r * std::sin(a));
            int step = wrapped_step(previous, now);
            EXPECT_GE(step, 0) << "angle " << a << ", radius " << r;
            grown += step;
            previous = now;
        }
        EXPECT_GT(grown, 100) << "angle " << a << ": the rows hardly change outward";
    }
    free_image(&map_x);
    free_image(&map_y);
}

} // namespace

TEST_F(ManifestTest, VortexMapsSwirlAboutTheirCentres)
{
    expect_swirl(BallMapXAsset.name, BallMapYAsset.name, 640, 320.0, 160.0);
    expect_swirl(PlaneMapXAsset.name, PlaneMapYAsset.name, 256, 128.0, 128.0);
}

TEST_F(ManifestTest, BallIsARoundSphereThatStaysWholeAtTheStoppedCamera)
{
    Mesh ball{};
    load_mesh(BallMeshAsset.name, &ball);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    const Object3D &o = ball.objects[0];
    EXPECT_GE(o.face_count, 300);
    EXPECT_LE(o.face_count, 1000);
    double nearest = 1e9, farthest = 0;  // of the faces' corners: spare records lie out of view
    for (int f = 0; f < o.face_count; f++)
        for (const Vertex *p : o.faces[f].v) {
            const Vertex &v = *p;
            double r = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
            nearest = std::min(nearest, r);
            farthest = std::max(farthest, r);
            ASSERT_LE(v.u, 1.0f);
            ASSERT_LE(v.v, 1.0f);
        }
    EXPECT_LT(farthest - nearest, 0.01 * farthest) << "not a sphere";
    // Culled at its unscaled placement: a camera stopped at -125 with near 75
    // keeps every vertex within 50 of the centre.
    EXPECT_LE(farthest, 50.0);
    EXPECT_GE(farthest, 30.0) << "the ball should fill a good part of the band";
    free_mesh(&ball);
}

TEST_F(ManifestTest, PlaneSheetStaysInFrontOfItsCameraThroughTheWholeBlend)
{
    // Roughening moves z by -64 to 63 and the blend runs from -1 to 0.75, so
    // a vertex may come 63 nearer or go 64 farther. Shown through w 0.6 the
    // sheet's origin lies 78 deep; culled unscaled it lies 130 deep, with
    // the far plane at 200.
    Mesh sheet{};
    load_mesh(PlaneMeshAsset.name, &sheet);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    const Object3D &o = sheet.objects[0];
    EXPECT_GE(o.face_count, 100) << "the sheet should be subdivided to bend";
    double low = 1e9, high = -1e9;  // of the vertices faces use: spares lie out of view
    for (int f = 0; f < o.face_count; f++)
        for (const Vertex *v : o.faces[f].v) {
            low = std::min(low, double(v->z));
            high = std::max(high, double(v->z));
        }
    EXPECT_GT(low - 63 + 78, 8.0) << "a vertex can come too near the camera";
    EXPECT_LE(high + 64 + 130, 200.0) << "a vertex can pass the far plane";
    EXPECT_GT(high - low, 2.0) << "the sheet should be curved";
    free_mesh(&sheet);
}

TEST_F(ManifestTest, BelieveObjectsKeepTheirBodiesInsideTheNearDistance)
{
    // Culled as if 500 in front against a near distance of 450: the ring
    // never loses a face, and the star loses at most the spikes turned at
    // the viewer, never its core.
    Mesh osma{}, gula{};
    load_mesh(BelieveOsmaAsset.name, &osma);
    load_mesh(GulaAsset.name, &gula);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_LT(extent_of(osma.objects[0]).radius, 500.0 - 450.0);
    const Object3D &star = gula.objects[0];
    int core = 0;
    for (int k = 0; k < star.vertex_count - star.face_count; k++) {
        const Vertex &v = star.vertices[k];
        core += std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z) < 500.0 - 450.0;
    }
    EXPECT_GE(core, 4);
    EXPECT_GT(extent_of(star).radius, extent_of(osma.objects[0]).radius)
        << "the star must reach past the ring, which is drawn over it";
    free_mesh(&osma);
    free_mesh(&gula);
}

TEST_F(ManifestTest, TunnelOutlastsTheFlightAndKeepsItsTextureInRange)
{
    // The flight: 7.1 units a tick from (17,24) to (21,62), 6 ticks a row and
    // 64 rows an order, seen up to 1,800 ahead of the tube's own origin (far
    // 2,000 against a camera culled as if 200 behind).
    constexpr double Ticks = ((21 * 64 + 62) - (17 * 64 + 24)) * 6.0;
    constexpr double Flight = Ticks * 7.1;
    Mesh tube{};
    load_mesh(TunnelMeshAsset.name, &tube);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    const Object3D &o = tube.objects[0];
    double min_z = 1e9, max_z = -1e9, max_uv = 0, min_radius = 1e9;
    std::set<float> rings;
    for (int k = 0; k < o.vertex_count - o.face_count; k++) {
        const Vertex &v = o.vertices[k];
        rings.insert(v.z);
        min_z = std::min(min_z, double(v.z));
        max_z = std::max(max_z, double(v.z));
        max_uv = std::max({max_uv, double(v.u), double(v.v)});
        min_radius = std::min(min_radius, std::hypot(double(v.x), double(v.y)));
    }
    EXPECT_LT(min_z, 120.0 - 200.0) << "the flight should start inside the tube";
    EXPECT_GT(max_z, Flight + 1800.0) << "the tube ends before the scene does";
    // The mapper holds width * coordinate / depth in 8.24: below 128 down to
    // the nearest textured depth of about 50.
    EXPECT_LT(max_uv * 256.0 / 50.0, 128.0);
    EXPECT_GT(min_radius, 100.0) << "the ball must fit inside the tube";
    // Rings in view ahead: enough to read as a tube, few enough that the far
    // ones stand apart around the vanishing point instead of merging.
    ASSERT_GT(rings.size(), 2u);
    double spacing = 1e9;
    for (auto a = rings.begin(), b = std::next(a); b != rings.end(); ++a, ++b)
        spacing = std::min(spacing, double(*b - *a));
    EXPECT_GE(1800.0 / spacing, 4.0) << "too few rings ahead to read as a tube";
    EXPECT_LE(1800.0 / spacing, 12.0) << "the far rings crowd into one disc";
    free_mesh(&tube);
}

TEST_F(ManifestTest, BuddhaBoxesKeepEveryFaceAndTheCrossfadeGrowsAcrossItsColumns)
{
    // Culled unscaled 300 in front: the first box against a near distance
    // of 256, the second against 210.
    Mesh box{}, box2{};
    Image crossfade{};
    load_mesh(BuddhaBoxAsset.name, &box);
    load_mesh(BuddhaBox2Asset.name, &box2);
    load_image(BuddhaCrossfadeAsset.name, &crossfade);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_LT(extent_of(box.objects[0]).radius, 300.0 - 256.0);
    EXPECT_LT(extent_of(box2.objects[0]).radius, 300.0 - 210.0);
    // Column c sets how often the choice falls one way at fade value c.
    int previous = 0;
    for (int c = 0; c < 256; c++) {
        int set = 0;
        for (int r = 0; r < 64; r++)
            set += crossfade.pixels[r * 256 + c] != 0;
        ASSERT_GE(set, previous) << "column " << c;
        previous = set;
        if (c == 0) {
            EXPECT_EQ(set, 0);
        }
    }
    EXPECT_EQ(previous, 64);
    free_mesh(&box);
    free_mesh(&box2);
    free_image(&crossfade);
}

TEST_F(ManifestTest, SystemAndCreditsDataFitTheirCamerasAndTheDiscTextureRepeats)
{
    // The copies are culled as if 300 in front against a near distance of
    // 250; the gem as if 512 in front against 500, at any turn.
    Mesh disc{}, gem{}, grid{};
    Image texture{};
    load_mesh(SystemMeshAsset.name, &disc);
    load_mesh(CreditsMeshAsset.name, &gem);
    load_mesh(SystemPlaneAsset.name, &grid);
    load_image(SystemTextureAsset.name, &texture);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    // The copies turn about z only: depth may grow away from the camera, up
    // to the far distance of 3000, but never reach 50 toward it.
    const Object3D &copy = disc.objects[0];
    for (int f = 0; f < copy.face_count; f++)
        for (const Vertex *v : copy.faces[f].v) {
            EXPECT_GT(v->z, 250.0 - 300.0) << "face " << f;
            EXPECT_LT(v->z, 3000.0 - 300.0) << "face " << f;
        }
    EXPECT_LT(extent_of(gem.objects[0]).radius, 512.0 - 500.0);
    EXPECT_EQ(grid.objects[0].vertex_count - grid.objects[0].face_count, 2500);

    // The window jumps from row 30 back to row 0: rows 32 apart must match.
    const uint32_t *words = image_words(&texture);
    for (int r = 0; r + 32 < texture.height; r++)
        for (int c = 0; c < 256; c++)
            ASSERT_EQ(words[r * 256 + c], words[(r + 32) * 256 + c]) << "row " << r << ", column " << c;
    EXPECT_GT(std::count(words, words + 256 * 32, 0u), 0) << "the copies need clear texels";
    free_mesh(&disc);
    free_mesh(&gem);
    free_mesh(&grid);
    free_image(&texture);
}
