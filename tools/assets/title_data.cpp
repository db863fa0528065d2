// The title scene's data: the extruded word, its scrolling texture, three
// dark backgrounds that are summed, the face colour picture, the wipe levels
// and the flash levels.
#include <algorithm>
#include <cmath>

#include "assets.h"
#include "glyphs.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/render_target.h"

namespace {

constexpr uint32_t TitleSeed = 0x7171E5u;

// The texture window is 256 rows and wraps after 256: 512 rows, period 256.
constexpr int TextureWidth = 256;
constexpr int TexturePeriod = 256;
constexpr int TextureRows = 512;

// Backgrounds wrap every 320 rows and are read 320 rows deep: 640 rows.
constexpr int BackPeriod = 320;
constexpr int BackRows = 640;
// Three are added as whole words: no channel may exceed 255 / 3, or the sum
// would carry into the next channel.
constexpr double BackChannelMax = 85.0;

// The camera is 100 in front for the flat rendering and 50 for the textured
// one, with the near distance at 0 and the far one at 150. The word turns
// about its vertical axis; a point at x turned 45 degrees toward the camera
// stays inside the flat rendering's side planes while 0.707 x <= 1.25 (100 -
// 0.707 x), x <= 78. The textured rendering is meant to be larger and loses
// the letters that swing past its side planes; a half-width of 52 keeps the
// front of the word (z = -5, depth 45) whole there while it faces the camera.
constexpr double WordHalfWidth = 52.0;
constexpr double WordStretch = 2.2;   // taller than the font's proportions, to fill the band
constexpr double WordHalfDepth = 5.0;
constexpr int CurveSteps = 4;

MeshObjectSource make_word()
{
    TextOutline word = text_outline(BoldFont, "ORVANTI", CurveSteps);
    double scale = 2.0 * WordHalfWidth / (word.max_x - word.min_x);
    transform_outline(word, (word.min_x + word.max_x) / 2.0, (word.min_y + word.max_y) / 2.0, scale,
                      scale * WordStretch);
    std::vector<Triangle2> caps = tessellate(word.contours);
    double half_height = word.max_y;
    auto rule = [&](const SurfacePoint &p) -> std::array<float, 2> {
        if (p.side)  // walls: the texture runs around each letter and a thin slice of it across the depth
            return {static_cast<float>(p.along / 24.0),
                    static_cast<float>((p.z + WordHalfDepth) / (2.0 * WordHalfDepth) * 0.2)};
        // Caps: the whole word spans the texture once across and once down.
        return {static_cast<float>((p.x + WordHalfWidth) / (2.0 * WordHalfWidth)),
                static_cast<float>((half_height - p.y) / (2.0 * half_height))};
    };
    return extrude(word.contours, caps, WordHalfDepth, rule);
}

// Molten metal: fbm-warped ripples from dark bronze through gold to white,
// tiling at 256 both ways. No texel is 0: the textured faces are drawn with 0
// as transparent.
std::vector<uint32_t> make_word_texture()
{
    std::vector<uint32_t> period(static_cast<size_t>(TextureWidth) * TexturePeriod);
    const Colour dark = {70, 28, 12}, gold = {235, 160, 40}, white = {255, 246, 220};
    for (int y = 0; y < TexturePeriod; y++)
        for (int x = 0; x < TextureWidth; x++) {
            double s = static_cast<double>(x) / TextureWidth, t = static_cast<double>(y) / TexturePeriod;
            double warp = tile_fbm(s * 4.0, t * 4.0, 4, 4, 4, TitleSeed + 1);
            double ripple = 0.5 + 0.5 * std::sin(TwoPi * (2.0 * s + 3.0 * t + 1.5 * warp));
            Colour c = ripple < 0.7 ? mix_colour(dark, gold, smoothstep(0.0, 0.7, ripple))
                                    : mix_colour(gold, white, smoothstep(0.7, 1.0, ripple));
            uint32_t word = pack_colour(c);
            period[static_cast<size_t>(y) * TextureWidth + x] = word ? word : 0x000001;
        }
    return repeat_rows(period, TextureWidth, TexturePeriod, TextureRows);
}

using BackPainter = Colour (*)(int x, int y);

// Slowest layer: a violet nebula.
Colour nebula(int x, int y)
{
    double f = tile_fbm(x / 80.0, y / 80.0, BandWidth / 80, BackPeriod / 80, 5, TitleSeed + 2);
    double g = smoothstep(0.3, 0.8, f);
    return {55.0 * g * g, 12.0 * g, BackChannelMax * g};
}

// Middle layer: a faint diagonal lattice in teal.
Colour lattice(int x, int y)
{
    constexpr int Spacing = 40;  // divides 640 and 320, so the lattice tiles
    auto glow = [](int d) {
        int m = ((d % Spacing) + Spacing) % Spacing;
        double dist = std::min(m, Spacing - m);
        return std::exp(-dist * dist / 3.0);
    };
    double g = std::max(glow(x + y), glow(x - y));
    double pulse = 0.6 + 0.4 * tile_noise(x / 64.0, y / 64.0, BandWidth / 64, BackPeriod / 64, TitleSeed + 3);
    return {0.0, 55.0 * g * pulse, 70.0 * g * pulse};
}

// Fastest layer: sparks stretched along their upward motion.
Colour sparks(int x, int y)
{
    constexpr int Cell = 20;  // divides 640 and 320
    double light = 0.0;
    int cx = x / Cell, cy = y / Cell;
    for (int j = -1; j <= 1; j++)
        for (int i = -1; i <= 1; i++) {
            int gx = (cx + i + BandWidth / Cell) % (BandWidth / Cell), gy = (cy + j + BackPeriod / Cell) % (BackPeriod / Cell);
            if (hash_unit(TitleSeed + 4, gx, gy) > 0.28)
                continue;  // most cells are empty
            double px = (cx + i) * Cell + Cell * hash_unit(TitleSeed + 5, gx, gy);
            double py = (cy + j) * Cell + Cell * hash_unit(TitleSeed + 6, gx, gy);
            double dx = x - px, dy = y - py;
            light = std::max(light, std::exp(-dx * dx / 1.5 - dy * dy / 14.0));
        }
    return {BackChannelMax * light, 78.0 * light, 50.0 * light};
}

std::vector<uint32_t> make_background(BackPainter paint)
{
    std::vector<uint32_t> period(static_cast<size_t>(BandWidth) * BackPeriod);
    for (int y = 0; y < BackPeriod; y++)
        for (int x = 0; x < BandWidth; x++) {
            Colour c = paint(x, y);
            period[static_cast<size_t>(y) * BandWidth + x] = pack_rgb(std::min(c.r, BackChannelMax),
                                                                  std::min(c.g, BackChannelMax),
                                                                  std::min(c.b, BackChannelMax));
        }
    return repeat_rows(period, BandWidth, BackPeriod, BackRows);
}

// Faces take their flat colour at their centroid: a rainbow across the band
// broken into 8-pixel blocks of varying brightness, so neighbouring faces differ.
std::vector<uint32_t> make_face_colours()
{
    constexpr int Block = 8;
    std::vector<uint32_t> picture(static_cast<size_t>(BandWidth) * BandHeight);
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++) {
            double hue = static_cast<double>(x) / BandWidth + 0.12 * std::sin(TwoPi * y / BandHeight);
            double facet = hash_unit(TitleSeed + 7, x / Block, y / Block);
            Colour c = hsv_colour(hue, 0.6 + 0.3 * facet, 0.45 + 0.55 * facet);
            picture[static_cast<size_t>(y) * BandWidth + x] = pack_colour(c);
        }
    return picture;
}

// Wipe levels: low in the middle, rising to the corners along a five-armed
// swirl, with a grain, so the textured rendering opens from the centre with a
// ragged, turning edge.
std::vector<uint8_t> make_wipe_levels()
{
    std::vector<uint8_t> levels(static_cast<size_t>(BandWidth) * BandHeight);
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++) {
            double dx = (x - BandWidth / 2.0) / (BandWidth / 2.0), dy = (y - BandHeight / 2.0) / (BandHeight / 2.0);
            double r = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0);
            double angle = std::atan2(dy, dx);
            double grain = tile_fbm(x / 32.0, y / 32.0, BandWidth / 32, BandHeight / 32, 4, TitleSeed + 8);
            double level = 18.0 + 225.0 * (r + 0.07 * std::sin(5.0 * angle + 7.0 * r)) + 30.0 * (grain - 0.5);
            levels[static_cast<size_t>(y) * BandWidth + x] = clamp_byte(level);
        }
    return levels;
}

// Flash levels: wavy horizontal bands with a grain, tiling at 320 rows because
// the scene reads them through a window that scrolls with the texture.
std::vector<uint8_t> make_flash_levels()
{
    std::vector<uint8_t> levels(static_cast<size_t>(BandWidth) * BandHeight);
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++) {
            double s = static_cast<double>(x) / BandWidth, t = static_cast<double>(y) / BandHeight;
            double bands = 0.5 + 0.5 * std::sin(TwoPi * (4.0 * t + 0.15 * std::sin(TwoPi * 3.0 * s)));
            double grain = tile_fbm(s * 20.0, t * 10.0, 20, 10, 4, TitleSeed + 9);
            levels[static_cast<size_t>(y) * BandWidth + x] = clamp_byte(50.0 + 205.0 * (0.65 * bands + 0.35 * grain));
        }
    return levels;
}

} // namespace

void make_title_data(AssetList &entries)
{
    entries.push_back({"orvanti\\orvanti.3d", encode_mesh({make_word()})});
    add_true_colour(entries, "orvanti\\orvanti_txt.tga", TextureWidth, TextureRows, make_word_texture());
    add_true_colour(entries, "orvanti\\orvanti_back1.tga", BandWidth, BackRows, make_background(sparks));
    add_true_colour(entries, "orvanti\\orvanti_back2.tga", BandWidth, BackRows, make_background(lattice));
    add_true_colour(entries, "orvanti\\orvanti_back3.tga", BandWidth, BackRows, make_background(nebula));
    add_true_colour(entries, "orvanti\\orvanti_col.tga", BandWidth, BandHeight, make_face_colours());
    add_grey(entries, "orvanti\\orvanti_fade.tga", BandWidth, BandHeight, make_wipe_levels());
    add_grey(entries, "orvanti\\orvanti_flash.tga", BandWidth, BandHeight, make_flash_levels());
}
