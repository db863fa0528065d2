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

    const Object3D &ball = BallVortexMesh.objects[0], &rough_ball = BallRoughMesh.objects[0];
    std::set<const Vertex *> corners;
    for (int f = 0; f < ball.face_count; f++)
        corners.insert(ball.faces[f].v, ball.faces[f].v + 3);
    ASSERT_GT(corners.size(), 100u);
    int hairy = 0;
    for (const Vertex *p : corners) {
        const Vertex &r = rough_ball.vertices[p - ball.vertices];
        // By chance alone six records in seven would move further.
        hairy += std::fabs(r.x - p->x) > 16 || std::fabs(r.y - p->y) > 16 || std::fabs(r.z - p->z) > 16;
    }
    EXPECT_EQ(hairy, 0) << "the ball's vertices no longer sit on calm records: the box loader draws a "
                           "different number of values, or the load order changed";

    const Object3D &rest = PlaneRestMesh.objects[0], &rough = PlaneRoughMesh.objects[0];
    std::set<const Vertex *> used;
    for (int f = 0; f < rest.face_count; f++)
        used.insert(rest.faces[f].v, rest.faces[f].v + 3);
    ASSERT_GT(used.size(), 100u);
    int wild = 0;
    for (const Vertex *p : used) {
        const Vertex &r = rough.vertices[p - rest.vertices];
        // By chance alone fewer than one record in ten would be this calm.
        wild += std::fabs(r.x - p->x) > 8 || std::fabs(r.y - p->y) > 8 || std::fabs(r.z - p->z) > 16;
    }
    EXPECT_EQ(wild, 0) << "the sheet's vertices no longer sit on calm records: a loader before the plane "
                          "now draws a different number of random values, or the load order changed; "
                          "the sheet will shatter";

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
