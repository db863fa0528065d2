// The ball scene's data: the band-sized swirl maps, the vortex source picture
// and the ball mesh.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/render_target.h"
#include "show_draws.h"
#include "vortex_paint.h"

namespace {

constexpr int MapWidth = BandWidth;  // the maps are band-sized
constexpr int MapHeight = BandHeight;

// Radius that suits the scene's camera: the near plane of 75 sits 100 in
// front of the ball's unscaled placement when the camera swings closest, so
// the ball stays whole down to a camera z of about -115.
constexpr double BallRadius = 40.0;
constexpr int BallSegments = 20;  // around the axis
constexpr int BallRings = 14;     // pole to pole
// Texture coordinates stay just inside the 256-texel square, clear of its wrap.
constexpr double TextureReach = 0.49;

void make_ball_maps(AssetList &entries)
{
    SwirlShape shape;
    shape.centre_x = MapWidth / 2.0;
    shape.centre_y = MapHeight / 2.0;
    shape.arms = 3;
    shape.depth = square_cell_depth(shape.arms);
    shape.twist = 110.0;
    shape.core = 6.0;
    add_swirl_maps(entries, "ball\\ball_vortex_x1.tga", "ball\\ball_vortex_y1.tga", MapWidth, MapHeight, shape);
}

// Distance from t to the nearest multiple of period.
double to_nearest(double t, double period)
{
    double f = std::fmod(t, period);
    return std::min(f, period - f);
}

// A rainbow running diagonally across a checkerboard, crossed by pale bands:
// the rainbow turns into coloured spiral arms, the checks show the flow, and
// the red channel alone (the textured ball) still carries the whole pattern.
void make_ball_source(AssetList &entries)
{
    constexpr int Checks = 16;        // an even count, so the checks tile
    constexpr double BandPeriod = WarpPeriod / 5.0;
    constexpr double BandHalfWidth = 3.0;
    constexpr Colour Cream = {255, 244, 224};
    std::vector<uint32_t> pixels(WarpSourceSide * WarpSourceSide);
    for (int y = 0; y < WarpPeriod; y++) {
        for (int x = 0; x < WarpPeriod; x++) {
            double fx = double(x) / WarpPeriod;
            double fy = double(y) / WarpPeriod;
            double hue = fx + fy + 0.08 * std::sin(2 * Pi * 3 * fy);
            int cell = int(fx * Checks) + int(fy * Checks);
            double value = (cell % 2 == 0) ? 1.0 : 0.45;
            Colour colour = hsv_colour(hue, 0.9, value);
            double band = to_nearest(y, BandPeriod);
            if (band < BandHalfWidth)
                colour = mix_colour(colour, Cream, 0.85 * (1.0 - band / BandHalfWidth));
            pixels[y * WarpSourceSide + x] = pack_colour(colour);
        }
    }
    close_warp_source(pixels);
    add_true_colour(entries, "ball\\ball_vortex_txt.tga", WarpSourceSide, WarpSourceSide, pixels);
}

// The scene roughens every record by up to 32 on each axis, three draws per
// record from the show's one random generator, right after the box loader's
// draws; on a sphere of radius 40 that makes a hairball. The draws are known
// here (see show_draws.h), so the sphere's vertices go on the records whose
// offsets stay within CalmReach and the roughened wire ball reads as a bumpy
// ball; the records in between are spare vertices no face uses, far out of
// view of every camera that shows the ball.
constexpr int CalmReach = 14;
constexpr float SpareReach = 5000.0f;

MeshObjectSource place_on_calm_records(const MeshObjectSource &ball, const AssetList &entries)
{
    uint32_t state = show_draws_after(2L * mesh_records(entries, "box\\box_3d_.3d", "ball\\ball.3d"));
    MeshObjectSource placed;
    std::vector<uint16_t> record_of;
    while (record_of.size() < ball.vertices.size()) {
        bool calm = true;
        for (int axis = 0; axis < 3; axis++)
            calm &= std::abs(step_random(state) % 64 - 32) <= CalmReach;
        if (placed.vertices.size() >= 65535) {
            fprintf(stderr, "orvanti-assets: ball\\ball.3d: too few calm records for the ball\n");
            std::exit(1);
        }
        if (calm) {
            record_of.push_back(static_cast<uint16_t>(placed.vertices.size()));
            placed.vertices.push_back(ball.vertices[record_of.size() - 1]);
        } else {
            placed.vertices.push_back({0.0f, SpareReach, 0.0f, 0.0f, 0.0f});
        }
    }
    for (const std::array<uint16_t, 3> &face : ball.faces)
        placed.faces.push_back({record_of[face[0]], record_of[face[1]], record_of[face[2]]});
    return placed;
}

// A latitude-longitude sphere: a pole at each end and rings of segments
// between. The texture is projected straight along z, so the sphere needs no
// seam of doubled vertices (the roughened copy would tear along one).
void make_ball_mesh(AssetList &entries)
{
    MeshObjectSource ball;
    auto add_vertex = [&](double x, double y, double z) {
        float u = float(0.5 + TextureReach * x / BallRadius);
        float v = float(0.5 - TextureReach * y / BallRadius);
        ball.vertices.push_back({float(x), float(y), float(z), u, v});
    };
    add_vertex(0, BallRadius, 0);
    for (int ring = 1; ring < BallRings; ring++) {
        double polar = Pi * ring / BallRings;
        double y = BallRadius * std::cos(polar);
        double across = BallRadius * std::sin(polar);
        for (int s = 0; s < BallSegments; s++) {
            double around = 2 * Pi * s / BallSegments;
            add_vertex(across * std::cos(around), y, across * std::sin(around));
        }
    }
    add_vertex(0, -BallRadius, 0);

    const int south = static_cast<int>(ball.vertices.size()) - 1;
    auto ring_vertex = [](int ring, int s) { return 1 + (ring - 1) * BallSegments + (s % BallSegments); };
    auto add_face = [&](int a, int b, int c) {
        ball.faces.push_back({uint16_t(a), uint16_t(b), uint16_t(c)});
    };
    for (int s = 0; s < BallSegments; s++)
        add_face(0, ring_vertex(1, s + 1), ring_vertex(1, s));
    for (int ring = 1; ring < BallRings - 1; ring++) {
        for (int s = 0; s < BallSegments; s++) {
            int a = ring_vertex(ring, s), b = ring_vertex(ring, s + 1);
            int c = ring_vertex(ring + 1, s), d = ring_vertex(ring + 1, s + 1);
            add_face(a, b, d);
            add_face(a, d, c);
        }
    }
    for (int s = 0; s < BallSegments; s++)
        add_face(south, ring_vertex(BallRings - 1, s), ring_vertex(BallRings - 1, s + 1));
    entries.push_back({"ball\\ball.3d", encode_mesh({place_on_calm_records(ball, entries)})});
}

} // namespace

void make_ball_data(AssetList &entries)
{
    make_ball_maps(entries);
    make_ball_source(entries);
    make_ball_mesh(entries);
}
