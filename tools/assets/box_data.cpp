// The box scene's data: the scrolling band texture, the shrink map, the
// subdivided cube (twice: drawn and random-coordinate source), the title
// lettering with its flicker mask, and the flash levels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets.h"
#include "glyphs.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/render_target.h"
#include "show_draws.h"

namespace {

constexpr uint32_t BoxSeed = 0xB0C5EEDu;

// The texture is seen through a 256-row window that wraps after 768 rows,
// so rows 768..1023 repeat rows 0..255.
constexpr int TextureWidth = 256;
constexpr int TexturePeriod = 768;
constexpr int TextureRows = 1024;

constexpr int OffsetWidth = 960;
constexpr int OffsetRows = 480;
constexpr double OffsetFloor = 120.0;
constexpr double OffsetTop = 320.0;  // what the field's highest point would reach; bytes stop at 255
// What the morph's first two seconds sample: the box's faces (x 130..509 of
// the band, any row) seen through the first quarter of the sampling circle.
// There the field climbs to OffsetEarlyTop, fading out over OffsetEarlyEdge.
constexpr double OffsetEarlyTop = 600.0;
constexpr double OffsetEarlyLeft = 290.0, OffsetEarlyRight = 830.0;
constexpr double OffsetEarlyUpper = 60.0;
constexpr double OffsetEarlyEdge = 60.0;

// The camera sits 512 in front; matrix_scale_w 0.2 puts the box at view
// depth 102.4 for drawing, while culling tests it at 512 against the near
// distance 450: a vertex more than 62 from the centre could turn past the
// near distance and lose whole faces. The sides are nearly as large as their
// edges allow (an edge's midpoint at 40 * sqrt(2) = 57) and the corners are
// rounded onto a sphere of CornerReach, so no vertex reaches the near distance.
constexpr double CubeHalfSide = 40.0;
constexpr double CornerReach = 61.0;
// Random u draws (of 32,767) a border vertex accepts: at most 1/10, so the
// morph moves the border no further than u = 0.05, inside the dark frame.
constexpr int BorderRandomU = 3276;
// Spare records lie this far out: past the far distance or the side planes
// however the box has turned, so culling drops them at once.
constexpr float SpareReach = 5000.0f;
constexpr int CubeCells = 10;  // cells per side edge; two triangles each; even (see make_cube)

constexpr int TitleWidth = 640;
constexpr int TitleRows = 160;
constexpr int TitleTextWidth = 590;   // pixels the word may span
constexpr int TitleBorder = 4;        // dark rim around the letters, pixels

constexpr int MaskWidth = 1280;       // two copies of a 640-column pattern
constexpr int MaskPattern = 640;
constexpr int MaskRows = 128;
constexpr int MaskFirstUsedRow = 63;  // the scene picks rows 63..126
constexpr int MaskShowBelow = 32;     // mask bytes below this let the title through

// Bands of ember colours (deep red, copper, gold) that flow down the texture
// and wobble sideways; every term repeats after 768 rows and 256 columns. The
// random coordinates of the morph pick texels all over it, so its hues stay
// close: the scattered faces shimmer in one warm family instead of confetti.
std::vector<uint32_t> make_box_texture()
{
    const Colour ember = {150, 22, 10}, copper = {235, 105, 30}, gold = {255, 214, 90};
    std::vector<uint32_t> period(static_cast<size_t>(TextureWidth) * TexturePeriod);
    for (int r = 0; r < TexturePeriod; r++) {
        double t = static_cast<double>(r) / TexturePeriod;
        for (int x = 0; x < TextureWidth; x++) {
            double s = static_cast<double>(x) / TextureWidth;
            double swirl = tile_fbm(s * 4.0, t * 12.0, 4, 12, 4, BoxSeed + 1);
            double phase = t * 8.0 + 0.35 * std::sin(TwoPi * (s + 2.0 * t)) + 1.4 * (swirl - 0.5);
            double band = 0.5 + 0.5 * std::sin(TwoPi * phase);
            Colour c = band < 0.5 ? mix_colour(ember, copper, smoothstep(0.0, 0.5, band))
                                  : mix_colour(copper, gold, smoothstep(0.5, 1.0, band));
            double sheen = std::pow(smoothstep(0.9, 1.0, band), 2.0) * 40.0;  // bright crest of each band
            // Column 0 is every side's border (see make_cube), and the morph
            // keeps the border within u = 0.05 (see place_on_records): a dark
            // frame outlines the box, and what a turning edge leaves behind
            // on the never-cleared band is dark. Its soft inner edge reaches
            // into the first ring of cells.
            double frame = 1.0 - smoothstep(6.0, 40.0, x);
            c = mix_colour(c, {14, 4, 2}, frame);
            sheen *= 1.0 - frame;
            period[static_cast<size_t>(r) * TextureWidth + x] = pack_rgb(c.r + sheen, c.g + sheen, c.b + sheen);
        }
    }
    return repeat_rows(period, TextureWidth, TexturePeriod, TextureRows);
}

// Smooth blobs and slow waves over the full 0..255 range, so that the
// sampling point circling over it makes patches of triangles swell together.
std::vector<uint8_t> make_offset_map()
{
    std::vector<double> field(static_cast<size_t>(OffsetWidth) * OffsetRows);
    double lo = 1e9, hi = -1e9;
    for (int y = 0; y < OffsetRows; y++)
        for (int x = 0; x < OffsetWidth; x++) {
            double u = static_cast<double>(x) / OffsetWidth, v = static_cast<double>(y) / OffsetRows;
            double blobs = tile_fbm(u * 6.0, v * 3.0, 6, 3, 3, BoxSeed + 2);
            double waves = std::sin(TwoPi * (u * 3.0 + v * 1.5)) * std::cos(TwoPi * (v * 2.0 - u));
            double value = 1.6 * (blobs - 0.5) + 0.35 * waves;
            field[static_cast<size_t>(y) * OffsetWidth + x] = value;
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    // Biased high: a shrink factor of 1 or more (byte 150 and up at the
    // swell's peak) draws a face whole, so most of the box stays lit while
    // the darker blobs sweep across it as islands of shrunken triangles.
    // The morph starts with every face shrunk to nothing and grows them as
    // the swell rises, while the sampling point turns through the first
    // quarter of its circle (the box's faces seen from right of and below
    // the middle): there the field climbs faster, so the box fills out
    // within two seconds, and only its darkest blobs, still at the floor,
    // break it up at the swell's peak.
    std::vector<uint8_t> map(field.size());
    for (int y = 0; y < OffsetRows; y++)
        for (int x = 0; x < OffsetWidth; x++) {
            double early = smoothstep(OffsetEarlyLeft - OffsetEarlyEdge, OffsetEarlyLeft, x) *
                           (1.0 - smoothstep(OffsetEarlyRight, OffsetEarlyRight + OffsetEarlyEdge, x)) *
                           smoothstep(OffsetEarlyUpper - OffsetEarlyEdge, OffsetEarlyUpper, y);
            double top = OffsetTop + (OffsetEarlyTop - OffsetTop) * early;
            size_t i = static_cast<size_t>(y) * OffsetWidth + x;
            map[i] = clamp_byte(OffsetFloor + (top - OffsetFloor) * smoothstep(lo, hi, field[i]));
        }
    return map;
}

// A cube of six sides, each cut into CubeCells x CubeCells squares of two
// triangles. On every side u runs from 0 at the border to 1 at the middle
// (the texture's columns become concentric squares, its frame the side's
// outline) and v down the side over the whole texture window.
MeshObjectSource make_cube()
{
    struct Side {
        double n[3], a[3], b[3];  // outward normal, and the side's u and v directions
    };
    const Side sides[6] = {
        {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},  // front, toward the camera
        {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
        {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
    };
    MeshObjectSource cube;
    for (const Side &side : sides) {
        auto first = static_cast<uint16_t>(cube.vertices.size());
        for (int j = 0; j <= CubeCells; j++)
            for (int i = 0; i <= CubeCells; i++) {
                double s = 2.0 * i / CubeCells - 1.0, t = 2.0 * j / CubeCells - 1.0;
                double p[3];
                for (int k = 0; k < 3; k++)
                    p[k] = CubeHalfSide * (side.n[k] + s * side.a[k] + t * side.b[k]);
                double reach = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
                if (reach > CornerReach)
                    for (double &c : p)
                        c *= CornerReach / reach;
                cube.vertices.push_back({static_cast<float>(p[0]), static_cast<float>(p[1]),
                                         static_cast<float>(p[2]),
                                         static_cast<float>(1.0 - std::max(std::fabs(s), std::fabs(t))),
                                         static_cast<float>(j) / CubeCells});
            }
        auto at = [&](int i, int j) { return static_cast<uint16_t>(first + j * (CubeCells + 1) + i); };
        for (int j = 0; j < CubeCells; j++)
            for (int i = 0; i < CubeCells; i++) {
                // Alternate diagonals so the cut pattern does not read as
                // parallel stripes; with an even cell count they also run
                // along both of the side's diagonals, where u folds.
                if ((i + j) % 2 == 0) {
                    cube.faces.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
                    cube.faces.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
                } else {
                    cube.faces.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
                    cube.faces.push_back({at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
                }
            }
    }
    return cube;
}

// The morph pulls every record's coordinates up to halfway toward random
// ones, which would light the dark frame too. The box loader is the first to
// draw from the show's generator, two draws (u, v) per record, so the random
// coordinates of each record are known here: the sides' border vertices go
// on records whose random u is small and stay in the frame at any morph; the
// others take the records in between, and records that neither needs become
// spare vertices that no face uses.
MeshObjectSource place_on_records(const MeshObjectSource &cube)
{
    std::vector<int> border, inner;
    for (int k = 0; k < static_cast<int>(cube.vertices.size()); k++)
        (cube.vertices[k].u == 0.0f ? border : inner).push_back(k);
    MeshObjectSource placed;
    std::vector<uint16_t> record_of(cube.vertices.size());
    size_t next_border = 0, next_inner = 0;
    uint32_t state = RandomStart;
    while (next_border < border.size() || next_inner < inner.size()) {
        int u_draw = step_random(state);
        step_random(state);  // v, free to be anything
        int k = -1;
        if (u_draw <= BorderRandomU && next_border < border.size())
            k = border[next_border++];
        else if (next_inner < inner.size())
            k = inner[next_inner++];
        if (placed.vertices.size() >= 65535) {
            fprintf(stderr, "orvanti-assets: box\\box_3d.3d: too few records for the box's border\n");
            std::exit(1);
        }
        if (k >= 0) {
            record_of[k] = static_cast<uint16_t>(placed.vertices.size());
            placed.vertices.push_back(cube.vertices[k]);
        } else {
            placed.vertices.push_back({0.0f, 0.0f, SpareReach, 0.0f, 0.0f});
        }
    }
    for (const std::array<uint16_t, 3> &face : cube.faces)
        placed.faces.push_back({record_of[face[0]], record_of[face[1]], record_of[face[2]]});
    return placed;
}

// The word in cold blue-white letters with a dark navy rim; everything else
// is 0, which the overlay never draws.
std::vector<uint32_t> make_title_picture()
{
    Coverage probe = text_coverage(BoldFont, "ORVANTI", 100);
    int pixel_height = std::max(8, 100 * TitleTextWidth / std::max(probe.width, 1));
    Coverage word = text_coverage(BoldFont, "ORVANTI", pixel_height);
    int left = (TitleWidth - word.width) / 2, top = (TitleRows - word.height) / 2;

    std::vector<double> alpha(static_cast<size_t>(TitleWidth) * TitleRows, 0.0);
    for (int y = 0; y < word.height; y++)
        for (int x = 0; x < word.width; x++) {
            int tx = left + x, ty = top + y;
            if (tx >= 0 && tx < TitleWidth && ty >= 0 && ty < TitleRows)
                alpha[static_cast<size_t>(ty) * TitleWidth + tx] = word.alpha[static_cast<size_t>(y) * word.width + x] / 255.0;
        }

    const Colour rim = {6, 10, 48};
    std::vector<uint32_t> picture(alpha.size(), 0);
    for (int y = 0; y < TitleRows; y++)
        for (int x = 0; x < TitleWidth; x++) {
            double grown = 0.0;  // coverage dilated by the rim width, round
            for (int dy = -TitleBorder; dy <= TitleBorder; dy++)
                for (int dx = -TitleBorder; dx <= TitleBorder; dx++) {
                    int sx = x + dx, sy = y + dy;
                    if (dx * dx + dy * dy > TitleBorder * TitleBorder || sx < 0 || sx >= TitleWidth || sy < 0 ||
                        sy >= TitleRows)
                        continue;
                    grown = std::max(grown, alpha[static_cast<size_t>(sy) * TitleWidth + sx]);
                }
            if (grown <= 0.0)
                continue;
            double a = alpha[static_cast<size_t>(y) * TitleWidth + x];
            double v = static_cast<double>(y - top) / std::max(word.height, 1);
            Colour top_colour = {235, 250, 255}, bottom_colour = {30, 70, 220};
            Colour letter = mix_colour(top_colour, bottom_colour, smoothstep(0.05, 0.95, v));
            double glint = 60.0 * std::pow(std::max(0.0, std::sin(TwoPi * (x / 97.0 - v * 0.8))), 8.0);
            letter = {letter.r + glint, letter.g + glint, letter.b + glint};
            Colour c = mix_colour(rim, letter, a);
            uint32_t word_value = pack_colour(c);
            picture[static_cast<size_t>(y) * TitleWidth + x] = word_value ? word_value : 0x000001;
        }
    return picture;
}

// Per row a pattern of bars: below MaskShowBelow the title shows. The rows
// the scene picks from open up more and more bars, so the random row of each
// frame makes the word flicker between a few slivers and nearly all of it.
// Columns 640..1279 repeat 0..639: the scrolling column wraps at 640.
std::vector<uint8_t> make_title_mask()
{
    constexpr int BarCell = 10;  // pixels per noise cell along the row
    std::vector<uint8_t> mask(static_cast<size_t>(MaskWidth) * MaskRows);
    for (int r = 0; r < MaskRows; r++) {
        double open = 0.12 + 0.83 * std::clamp(static_cast<double>(r - MaskFirstUsedRow) / 63.0, 0.0, 1.0);
        for (int c = 0; c < MaskPattern; c++) {
            double coarse = tile_noise(static_cast<double>(c) / BarCell, r, MaskPattern / BarCell, MaskRows, BoxSeed + 3);
            double fine = tile_noise(static_cast<double>(c) / 4.0, r, MaskPattern / 4, MaskRows, BoxSeed + 4);
            double v = 0.8 * coarse + 0.2 * fine;
            uint8_t value = v < open ? static_cast<uint8_t>(std::min(31.0, v / open * 31.0))
                                     : static_cast<uint8_t>(std::min(255.0, MaskShowBelow + (v - open) / (1.0 - open + 1e-9) * 223.0));
            mask[static_cast<size_t>(r) * MaskWidth + c] = value;
            mask[static_cast<size_t>(r) * MaskWidth + c + MaskPattern] = value;
        }
    }
    return mask;
}

// A star inside the disc that the box covers whatever way it is turned (its
// inscribed sphere, about CubeHalfSide * 2.5 pixels across the band's
// middle). The box repaints that disc every frame, so each flash shows for
// exactly the frames its value is above the levels: all flash values start
// at 96 or more, so the whole disc lights up, then the star draws in along
// its rays toward the middle as the value falls. Outside the disc nothing
// would repaint a flash, so the level there is above any flash value.
std::vector<uint8_t> make_flash_levels()
{
    constexpr int Rays = 10;
    constexpr double DiscRadius = 92.0;  // pixels; the box's inscribed sphere shows about 100
    constexpr double TopLevel = 92.0;    // below the smallest starting flash value, 96
    std::vector<uint8_t> levels(static_cast<size_t>(BandWidth) * BandHeight, 255);
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++) {
            double dx = x + 0.5 - BandWidth / 2.0, dy = y + 0.5 - BandHeight / 2.0;
            double r = std::sqrt(dx * dx + dy * dy) / DiscRadius;
            if (r >= 1.0)
                continue;
            double turn = std::atan2(dy, dx) / TwoPi + 0.08 * r;  // rays curl a little
            double ray = std::pow(0.5 + 0.5 * std::cos(TwoPi * Rays * turn), 3.0);
            double level = TopLevel * r * (1.0 - 0.6 * ray);
            levels[static_cast<size_t>(y) * BandWidth + x] = clamp_byte(level);
        }
    return levels;
}

} // namespace

void make_box_data(AssetList &entries)
{
    add_true_colour(entries, "box\\box_txt.tga", TextureWidth, TextureRows, make_box_texture());
    add_grey(entries, "box\\box_offset.tga", OffsetWidth, OffsetRows, make_offset_map());
    std::vector<uint8_t> cube = encode_mesh({place_on_records(make_cube())});
    entries.push_back({"box\\box_3d.3d", cube});
    // The random-coordinate source only needs as many vertex records as the box: the same cube.
    entries.push_back({"box\\box_3d_.3d", cube});
    add_true_colour(entries, "box\\box_title.tga", TitleWidth, TitleRows, make_title_picture());
    add_grey(entries, "box\\box_title_fade.tga", MaskWidth, MaskRows, make_title_mask());
    add_grey(entries, "box\\box_flash.tga", BandWidth, BandHeight, make_flash_levels());
}
