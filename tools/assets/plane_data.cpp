// The plane scene's data: the texture-sized swirl maps, the stained-glass
// source picture and the curved sheet.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "show_draws.h"
#include "vortex_paint.h"

namespace {

constexpr int MapSide = 256;

void make_plane_maps(AssetList &entries)
{
    SwirlShape shape;
    shape.centre_x = MapSide / 2.0;
    shape.centre_y = MapSide / 2.0;
    shape.arms = 2;
    shape.depth = square_cell_depth(shape.arms);
    shape.twist = -70.0;  // arms curl the other way from the ball's
    shape.core = 4.0;
    add_swirl_maps(entries, "plane\\plane_vortex_x.tga", "plane\\plane_vortex_y.tga", MapSide, MapSide, shape);
}

// Stained glass: bright cells with dark leading, laid out on the 255-texel
// torus so the warp finds no seam. Each cell glows toward its centre, which
// makes single cells easy to follow as the swirl carries them inward.
void make_plane_source(AssetList &entries)
{
    constexpr int Cells = 44;
    constexpr double Leading = 2.2;  // texels of dark border between cells
    constexpr Colour LeadColour = {20, 12, 8};
    constexpr Colour Black = {0, 0, 0};
    constexpr uint32_t Salt = 0x91A4E;
    struct Cell {
        double x, y;
        Colour colour;
    };
    // Hues picked from a warm and a cool family so neighbours contrast.
    static const double Hues[] = {0.0, 0.08, 0.14, 0.55, 0.62, 0.75, 0.9, 0.33};
    constexpr int HueCount = sizeof Hues / sizeof Hues[0];
    std::vector<Cell> cells;
    for (int i = 0; i < Cells; i++) {
        Cell cell;
        cell.x = hash_unit(Salt, i, 0) * WarpPeriod;
        cell.y = hash_unit(Salt, i, 1) * WarpPeriod;
        int family = std::min(static_cast<int>(hash_unit(Salt, i, 2) * HueCount), HueCount - 1);
        double hue = Hues[family] + 0.03 * hash_unit(Salt, i, 3);
        cell.colour = hsv_colour(hue, 0.8 + 0.2 * hash_unit(Salt, i, 4), 1.0);
        cells.push_back(cell);
    }
    std::vector<uint32_t> pixels(WarpSourceSide * WarpSourceSide);
    for (int y = 0; y < WarpPeriod; y++) {
        for (int x = 0; x < WarpPeriod; x++) {
            double nearest = 1e9, second = 1e9;
            const Cell *owner = &cells[0];
            for (const Cell &cell : cells) {
                double d = torus_distance(x + 0.5, y + 0.5, cell.x, cell.y);
                if (d < nearest) {
                    second = nearest;
                    nearest = d;
                    owner = &cell;
                } else if (d < second) {
                    second = d;
                }
            }
            // Half the gap to the next centre approximates the distance to the edge.
            double to_edge = 0.5 * (second - nearest);
            double glow = std::clamp(1.0 - nearest / (nearest + to_edge + 1e-9), 0.0, 1.0);
            Colour colour = mix_colour(Black, owner->colour, 0.45 + 0.55 * glow);
            if (to_edge < Leading)
                colour = mix_colour(LeadColour, colour, std::max(0.0, to_edge - Leading + 1.0));
            pixels[y * WarpSourceSide + x] = pack_colour(colour);
        }
    }
    close_warp_source(pixels);
    add_true_colour(entries, "plane\\plane_vortex_txt.tga", WarpSourceSide, WarpSourceSide, pixels);
}

// The sheet fills most of the band at the scene's camera (at -130, shown
// through a w factor of 0.6, so the sheet's origin lies 78 deep), and its
// depth range keeps every vertex between the near and far distances at any
// blend.
//
// The scene roughens every record by up to 16 across and 64 in depth, three
// draws per record from the show's one random generator; at this depth that
// would tear the sheet into shards the size of the band. The draws are fixed,
// though: the generator starts at 1, and before the plane loader only the box
// loader (two per record of the random-coordinate box) and the ball loader
// (three per record of the ball) draw. So the sheet's grid points are placed
// on the records whose offsets are small, and the records in between are
// spare vertices that no face uses: the sheet then breathes instead of
// shattering.
constexpr int Columns = 16;
constexpr int Rows = 8;
constexpr double HalfWidth = 78.0;
constexpr double HalfHeight = 38.0;
constexpr double CentreDepth = -4.0;  // the middle bulges toward the camera
constexpr double CornerDepth = 6.0;
constexpr double TextureSpan = 255.0 / 256.0;  // one crossing, short of the wrap

// The calm offsets a grid point accepts: within +-CalmAcross in x and y (the
// grid's spacing is about 10) and +-CalmDepth in z.
constexpr int CalmAcross = 6;
constexpr int CalmDepth = 12;

// The generator's state when the plane loader starts roughening.
uint32_t state_before_roughening(const AssetList &entries)
{
    return show_draws_after(2L * mesh_records(entries, "box\\box_3d_.3d", "plane\\plane.3d") +
                            3L * mesh_records(entries, "ball\\ball.3d", "plane\\plane.3d"));
}

void make_plane_mesh(AssetList &entries)
{
    uint32_t state = state_before_roughening(entries);
    MeshObjectSource sheet;
    std::vector<uint16_t> record_of;  // grid point (row-major) -> vertex record
    const int points = (Rows + 1) * (Columns + 1);
    while (static_cast<int>(record_of.size()) < points) {
        int dx = step_random(state) % 32 - 16;
        int dy = step_random(state) % 32 - 16;
        int dz = step_random(state) % 128 - 64;
        bool calm = std::abs(dx) <= CalmAcross && std::abs(dy) <= CalmAcross && std::abs(dz) <= CalmDepth;
        // A spare lies far behind the camera, where culling drops it at once.
        double x = 0.0, y = 0.0, z = -5000.0, u = 0.0, v = 0.0;
        if (calm) {
            int k = static_cast<int>(record_of.size());
            double fx = double(k % (Columns + 1)) / Columns;
            double fy = double(k / (Columns + 1)) / Rows;
            x = (2 * fx - 1) * HalfWidth;
            y = (1 - 2 * fy) * HalfHeight;
            double bowl = 0.5 * ((x / HalfWidth) * (x / HalfWidth) + (y / HalfHeight) * (y / HalfHeight));
            z = CentreDepth + (CornerDepth - CentreDepth) * bowl;
            u = fx * TextureSpan;
            v = fy * TextureSpan;
            record_of.push_back(static_cast<uint16_t>(sheet.vertices.size()));
        }
        if (sheet.vertices.size() >= 65535) {
            fprintf(stderr, "orvanti-assets: plane\\plane.3d: too few calm records for the sheet\n");
            std::exit(1);
        }
        sheet.vertices.push_back({float(x), float(y), float(z), float(u), float(v)});
    }
    auto at = [&](int r, int c) { return record_of[r * (Columns + 1) + c]; };
    for (int r = 0; r < Rows; r++) {
        for (int c = 0; c < Columns; c++) {
            // Alternate the diagonal so the folds of the roughened sheet do not all lean one way.
            if ((r + c) % 2 == 0) {
                sheet.faces.push_back({at(r, c), at(r, c + 1), at(r + 1, c + 1)});
                sheet.faces.push_back({at(r, c), at(r + 1, c + 1), at(r + 1, c)});
            } else {
                sheet.faces.push_back({at(r, c), at(r, c + 1), at(r + 1, c)});
                sheet.faces.push_back({at(r, c + 1), at(r + 1, c + 1), at(r + 1, c)});
            }
        }
    }
    entries.push_back({"plane\\plane.3d", encode_mesh({sheet})});
}

} // namespace

void make_plane_data(AssetList &entries)
{
    make_plane_maps(entries);
    make_plane_source(entries);
    make_plane_mesh(entries);
}
