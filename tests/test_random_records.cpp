// Meshes laid out for the draws their records get on the show's own
// start-up: the box's border vertices on records whose random u is small,
// the ball's and the plane's vertices on records whose roughening offsets
// are small.
// Both hold only while the loaders draw exactly as many values, in the order,
// that the generator counted. Loaded this way the box keeps its dark outline
// through the morph, the rough wire ball stays a ball and the plane's sheet
// breathes inside the band.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "data/archive.h"
#include "data/startup_error.h"
#include "engine/random.h"
#include "raster/render_target.h"
#include "scene_fixture.h"
#include "scenes/ball.h"
#include "scenes/box.h"
#include "scenes/plane.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"
#include "shell/startup.h"

namespace {

// The vertices the faces of `calm` use.
std::set<const Vertex *> face_corners(const Object3D &calm)
{
    std::set<const Vertex *> corners;
    for (int f = 0; f < calm.face_count; f++)
        corners.insert(calm.faces[f].v, calm.faces[f].v + 3);
    return corners;
}

// How many of those the same records of `rough` move further than `across`
// in x or y, or than `depth` in z.
int moved_corners(const Object3D &calm, const Object3D &rough, float across, float depth)
{
    int moved = 0;
    for (const Vertex *p : face_corners(calm)) {
        const Vertex &r = rough.vertices[p - calm.vertices];
        moved += std::fabs(r.x - p->x) > across || std::fabs(r.y - p->y) > across || std::fabs(r.z - p->z) > depth;
    }
    return moved;
}

TEST(RandomRecords, ShowStartUpKeepsTheBoxOutlineDarkTheBallRoundAndThePlaneSheetCalm)
{
    reset_startup_error();
    ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
    RandomState = 1;  // as the show starts
    ASSERT_EQ(startup_load(640 * 4, 0, [](void *) { return 0u; }, nullptr), 1) << StartupFailure;

    const Object3D &box = BoxReferenceMesh.objects[0], &random_box = BoxRandomMesh.objects[0];
    std::set<const Vertex *> border;
    for (int f = 0; f < box.face_count; f++)
        for (const Vertex *p : box.faces[f].v)
            if (p->u == 0.0f)
                border.insert(p);
    ASSERT_GT(border.size(), 100u);
    int bright = 0;
    for (const Vertex *p : border)
        bright += random_box.vertices[p - box.vertices].u > 0.1f;  // by chance nine in ten would be
    EXPECT_EQ(bright, 0) << "the box's border no longer sits on records with a small random u: the box "
                            "loader is no longer the first to draw, or draws differently";

    // By chance alone six records in seven would move further.
    const Object3D &ball = BallVortexMesh.objects[0], &rough_ball = BallRoughMesh.objects[0];
    ASSERT_GT(face_corners(ball).size(), 100u);
    EXPECT_EQ(moved_corners(ball, rough_ball, 16, 16), 0)
        << "the ball's vertices no longer sit on calm records: the box loader draws a different number of "
           "values, or the load order changed";

    // By chance alone fewer than one record in ten would be this calm.
    const Object3D &rest = PlaneRestMesh.objects[0], &rough = PlaneRoughMesh.objects[0];
    ASSERT_GT(face_corners(rest).size(), 100u);
    EXPECT_EQ(moved_corners(rest, rough, 8, 16), 0)
        << "the sheet's vertices no longer sit on calm records: a loader before the plane now draws a "
           "different number of random values, or the load order changed; the sheet will shatter";

    // A whole swing of the blend, both ends included, one tick per frame.
    std::vector<uint32_t> band(640 * 320);
    RenderTarget.pixels = band.data();
    FadeKind = 0;
    FadeValue = 0;
    plane_scene_handler(1, 0, 0);
    int touching = 0, first_touch = -1;
    for (int tick = 1; tick <= 300; tick++) {
        plane_scene_handler(0, 1, 0);
        bool edge = false;
        for (int x = 0; x < 640; x++)
            edge |= band[x] != 0 || band[319 * 640 + x] != 0;
        for (int y = 0; y < 320; y++)
            edge |= band[y * 640] != 0 || band[y * 640 + 639] != 0;
        if (edge && first_touch < 0)
            first_touch = tick;
        touching += edge;
    }
    EXPECT_EQ(touching, 0) << "the sheet reached the band's edge, first at tick " << first_touch;
    int lit = 0;
    for (uint32_t word : band)
        lit += word != 0;
    EXPECT_GT(lit, 640 * 320 / 3) << "the sheet should still fill most of the band";
    save_band_on_failure("RandomRecords.plane", band.data(), 640);
    RenderTarget.pixels = nullptr;
    free_startup_buffers();
}

} // namespace
