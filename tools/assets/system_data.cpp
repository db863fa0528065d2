// The system scene's data: the zooming disc and its scrolling circuit
// texture, the 50 by 50 landscape grid and the height picture whose high
// ground becomes the red strokes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "assets.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/raster.h"

namespace {

// ---- the disc ------------------------------------------------------------

// The texture's window scrolls two rows a tick and jumps back every 32 rows,
// so the picture is one 32-row period repeated: the jump shows no seam. One
// lane of tiles per period, nearly filling it: the copies are drawn over a
// white band and must carry ink, with only thin clear gaps (0, not drawn)
// between lanes and between tiles to let the landscape show through.
constexpr int TexturePeriod = 32;
constexpr int TextureRows = 288;  // the window starts at most 30 rows down
constexpr int TileWidth = 32;
constexpr int LaneTop = 2, LaneBottom = 29;  // rows of the lane within a period

// Two flat rings of tiles, one behind the other. Every copy is culled as if
// 300 in front of a camera 80 below it whose near distance is 250: nothing
// may stand 50 or more toward it, and the top frustum plane (about 185 above
// the camera at depth 300, 295 at depth 600) bounds each ring's radius.
// The copies' weight pulls the camera in without moving the mesh, so the
// front ring zooms sixteen-fold over a copy's life and the back ring, 300
// further on, only about three-fold: the near copies fill the band with the
// front ring while the far ones still show the back ring at a good size. At
// its low point the pulse shrinks each face to a quarter of the copy's weight,
// which leaves every copy's front ring about the same few scattered pixels
// however near; the back ring is what keeps the band inked then, through its
// far copies.
struct DiscLayout {
    int rings, segments;
    double inner, outer, depth;
    int first_lane;  // texture lane of the innermost ring
};
constexpr DiscLayout FrontDisc = {4, 16, 6.0, 96.0, 0.0, 0};
// Both rings in fairly large tiles, the back one in very few: each is drawn
// six times a frame, and a textured face's set-up costs about as much as its
// pixels.
constexpr DiscLayout BackDisc = {2, 12, 40.0, 280.0, 300.0, 3};
constexpr double DiscRipple = 3.0;  // the tiles step up and down a little in depth
constexpr double DiscLaps = 2.0;    // the texture runs twice round the ring

void add_disc(MeshObjectSource &object, const DiscLayout &disc)
{
    auto first = static_cast<int>(object.vertices.size());
    for (int ring = 0; ring <= disc.rings; ring++) {
        double t = double(ring) / disc.rings;
        double radius = disc.inner + (disc.outer - disc.inner) * t;
        for (int s = 0; s <= disc.segments; s++) {
            double angle = TwoPi * s / disc.segments;
            MeshVertexSource v;
            v.x = static_cast<float>(radius * std::cos(angle));
            v.y = static_cast<float>(radius * std::sin(angle));
            v.z = static_cast<float>(disc.depth + DiscRipple * ((ring + s) % 2 == 0 ? 1 : -1));
            v.u = static_cast<float>(DiscLaps * s / disc.segments);
            // A lane per ring.
            v.v = static_cast<float>(double(disc.first_lane + ring) * TexturePeriod / TextureSide);
            object.vertices.push_back(v);
        }
    }
    auto index = [&](int ring, int s) { return static_cast<uint16_t>(first + ring * (disc.segments + 1) + s); };
    for (int ring = 0; ring < disc.rings; ring++)
        for (int s = 0; s < disc.segments; s++) {
            object.faces.push_back({index(ring, s), index(ring + 1, s), index(ring + 1, s + 1)});
            object.faces.push_back({index(ring, s), index(ring + 1, s + 1), index(ring, s + 1)});
        }
}

MeshObjectSource make_disc()
{
    MeshObjectSource object;
    add_disc(object, BackDisc);
    add_disc(object, FrontDisc);
    return object;
}

uint32_t circuit_texel(int x, int y)
{
    int row = y % TexturePeriod;
    bool gap = row < LaneTop || row > LaneBottom || x % TileWidth == 0;
    if (gap)
        return 0;
    // Across the lane: dark edges, a bright core; along it the hue drifts
    // between blue and violet and back once per 256 columns.
    double across = std::fabs(row - (LaneTop + LaneBottom) / 2.0) / ((LaneBottom - LaneTop) / 2.0);
    double hue = 0.62 + 0.1 * std::sin(TwoPi * x / TextureSide);
    Colour colour = hsv_colour(hue, 0.85 - 0.5 * (1 - across), 1.0 - 0.65 * across);
    int in_tile = x % TileWidth;
    if (in_tile >= TileWidth / 2 - 2 && in_tile <= TileWidth / 2 + 1 && (row == LaneTop + 3 || row == LaneBottom - 3))
        colour = {255, 150, 40};  // a warm pin at both edges of every tile
    uint32_t word = pack_colour(colour);
    return visible_texel(word);  // only the gaps may be clear
}

std::vector<uint32_t> paint_circuit()
{
    std::vector<uint32_t> period(TextureSide * TexturePeriod);
    for (int y = 0; y < TexturePeriod; y++)
        for (int x = 0; x < TextureSide; x++)
            period[y * TextureSide + x] = circuit_texel(x, y);
    return repeat_rows(period, TextureSide, TexturePeriod, TextureRows);
}

// ---- the landscape ---------------------------------------------------------

constexpr int GridSide = 50;
constexpr double GridSpacing = 80.0;  // the grid reaches about 2000 in every direction

// Vertex k lies in grid row k / 50 and column k % 50; the scene finds each
// vertex's height byte by that index, so the order is fixed.
MeshObjectSource make_grid()
{
    MeshObjectSource object;
    const double half = (GridSide - 1) / 2.0;
    for (int n = 0; n < GridSide; n++)
        for (int j = 0; j < GridSide; j++) {
            MeshVertexSource v;
            v.x = static_cast<float>((j - half) * GridSpacing);
            v.y = static_cast<float>((n - half) * GridSpacing);
            v.z = 0.0f;
            v.u = static_cast<float>(j / double(GridSide - 1));
            v.v = static_cast<float>(n / double(GridSide - 1));
            object.vertices.push_back(v);
        }
    for (int n = 0; n + 1 < GridSide; n++)
        for (int j = 0; j + 1 < GridSide; j++) {
            auto k = static_cast<uint16_t>(n * GridSide + j);
            auto right = static_cast<uint16_t>(k + 1), below = static_cast<uint16_t>(k + GridSide),
                 across = static_cast<uint16_t>(k + GridSide + 1);
            object.faces.push_back({k, right, below});
            object.faces.push_back({right, across, below});
        }
    return object;
}

// Four fences across the landscape: every twelfth grid row is high ground.
// The scene raises a stroke from each face whose second corner stands on it,
// its length following sin(column + phase), so the tips of a fence trace one
// wave, about six columns long, that travels along it. Kept few and far
// apart, the fences stay apart on screen from the low camera instead of
// merging into one thicket.
constexpr int FenceSpacing = 12, FenceFirst = 6;

std::vector<uint8_t> paint_heights()
{
    constexpr uint32_t Salt = 0x5E57A;
    std::vector<uint8_t> heights(GridSide * GridSide);
    for (int n = 0; n < GridSide; n++)
        for (int j = 0; j < GridSide; j++) {
            // The low ground rolls a little but stays well under the stroke level.
            double low = 20.0 + 40.0 * tile_noise(j / 4.0, n / 4.0, 13, 13, Salt);
            heights[n * GridSide + j] = clamp_byte(n % FenceSpacing == FenceFirst ? 230.0 : low);
        }
    return heights;
}

}  // namespace

void make_system_data(AssetList &entries)
{
    MeshObjectSource disc = make_disc();
    entries.push_back({"system\\system.3d", encode_mesh({disc})});
    std::vector<uint32_t> texture = paint_circuit();
    add_true_colour(entries, "system\\system_txt.tga", TextureSide, TextureRows, texture);
    entries.push_back({"system\\system_plane.3d", encode_mesh({make_grid()})});
    std::vector<uint8_t> heights = paint_heights();
    add_grey(entries, "system\\system_high.tga", GridSide, GridSide, heights);
}
