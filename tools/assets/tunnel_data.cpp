// The tunnel scene's data: the long tube, its see-through lattice texture,
// the ball's porthole texture and the picture its flashes show.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "assets.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/raster.h"
#include "raster/render_target.h"

namespace {

constexpr int TextureSize = 256;
constexpr int TunnelTextureRows = 512;  // two copies of one 256-row tile, for the scrolling window

uint32_t pack_visible(double r, double g, double b)
{
    return visible_texel(pack_rgb(r, g, b));
}

// The tube, lying along +z. Rings of Segments corners; record ring * Segments
// + corner. Its far end lies well past the flight's farthest view.
//
// u folds back at the half-way corner so the texture meets itself without a
// seam; v grows slowly along the tube because the texture mapper's 8.24 step
// values only hold texture coordinates up to half the view depth.
MeshObjectSource make_tube()
{
    constexpr int Segments = 16;
    // Rings far enough apart that the farthest ones in view still stand
    // apart around the vanishing point instead of merging into one disc.
    constexpr double RingSpacing = 240.0;
    constexpr int Rings = 88;
    constexpr double Radius = 150.0;
    constexpr double FirstRingZ = -RingSpacing;  // starts just behind the viewer
    constexpr double USpan = 0.25;               // texture widths per segment
    constexpr double VPerRing = 0.20;            // about ten texture rows per 48 units of length

    MeshObjectSource object;
    for (int ring = 0; ring < Rings; ring++) {
        for (int corner = 0; corner < Segments; corner++) {
            double angle = corner * 2 * Pi / Segments;
            MeshVertexSource v;
            v.x = static_cast<float>(Radius * std::cos(angle));
            v.y = static_cast<float>(Radius * std::sin(angle));
            v.z = static_cast<float>(FirstRingZ + ring * RingSpacing);
            v.u = static_cast<float>(USpan * std::min(corner, Segments - corner));
            v.v = static_cast<float>(VPerRing * ring);
            object.vertices.push_back(v);
        }
    }
    auto index = [](int ring, int corner) { return static_cast<uint16_t>(ring * Segments + corner % Segments); };
    for (int ring = 0; ring + 1 < Rings; ring++) {
        for (int corner = 0; corner < Segments; corner++) {
            uint16_t a = index(ring, corner), b = index(ring, corner + 1);
            uint16_t c = index(ring + 1, corner + 1), d = index(ring + 1, corner);
            object.faces.push_back({a, b, c});
            object.faces.push_back({a, c, d});
        }
    }
    return object;
}

// The tunnel lattice: glowing hoops and two crossing spirals, holes between.
// Rows 256..511 repeat rows 0..255.
std::vector<uint32_t> paint_tunnel_texture()
{
    constexpr int HoopPeriod = 64, HoopWidth = 7;
    constexpr int SpiralPeriod = 64, SpiralWidth = 5;
    constexpr int CounterPeriod = 128, CounterWidth = 3;
    std::vector<uint32_t> pixels(TextureSize * TunnelTextureRows, 0);
    for (int y = 0; y < TextureSize; y++) {
        for (int x = 0; x < TextureSize; x++) {
            uint32_t texel = 0;
            int hoop = y % HoopPeriod;
            int spiral = (x + y) % SpiralPeriod;
            int counter = ((x - y) % CounterPeriod + CounterPeriod) % CounterPeriod;
            if (hoop < HoopWidth) {
                double t = std::sin(Pi * (hoop + 0.5) / HoopWidth);  // bright in the hoop's middle
                texel = pack_visible(120 + 135 * t, 40 + 60 * t, 150 + 80 * t);
            } else if (spiral < SpiralWidth) {
                double t = std::sin(Pi * (spiral + 0.5) / SpiralWidth);
                texel = pack_visible(20 + 40 * t, 140 + 115 * t, 170 + 85 * t);
            } else if (counter < CounterWidth) {
                texel = pack_visible(240, 210, 60);
            }
            pixels[y * TextureSize + x] = texel;
            pixels[(y + TextureSize) * TextureSize + x] = texel;
        }
    }
    return pixels;
}

// The ball's skin: teal tiles, each with a round porthole (transparent) in a
// gold rim, so the white cores drawn beneath show through.
std::vector<uint32_t> paint_ball_texture()
{
    constexpr int Cell = 32;
    constexpr double HoleRadius = 9.0, RimRadius = 12.5;
    std::vector<uint32_t> pixels(TextureSize * TextureSize);
    for (int y = 0; y < TextureSize; y++) {
        for (int x = 0; x < TextureSize; x++) {
            double dx = (x % Cell) - (Cell - 1) / 2.0, dy = (y % Cell) - (Cell - 1) / 2.0;
            double distance = std::sqrt(dx * dx + dy * dy);
            bool dark_tile = ((x / Cell) + (y / Cell)) % 2 == 0;
            uint32_t texel;
            if (distance < HoleRadius) {
                texel = 0;
            } else if (distance < RimRadius) {
                double t = (distance - HoleRadius) / (RimRadius - HoleRadius);
                texel = pack_visible(255 - 60 * t, 200 - 60 * t, 60);
            } else {
                double shade = 1.0 - distance / (Cell * 0.9);
                double base = dark_tile ? 0.6 : 1.0;
                texel = pack_visible(20 * base, (90 + 80 * shade) * base, (110 + 90 * shade) * base);
            }
            pixels[y * TextureSize + x] = texel;
        }
    }
    return pixels;
}

// The flash picture: an electric starburst of rays and rings round the band's centre.
std::vector<uint32_t> paint_tunnel_picture()
{
    constexpr double CentreX = 320.0, CentreY = 160.0;
    constexpr int Rays = 18;
    std::vector<uint32_t> pixels(BandWidth * BandHeight);
    for (int y = 0; y < BandHeight; y++) {
        for (int x = 0; x < BandWidth; x++) {
            double dx = x - CentreX, dy = (y - CentreY) * 1.6;
            double distance = std::sqrt(dx * dx + dy * dy);
            double angle = std::atan2(dy, dx);
            double ray = std::pow(std::fabs(std::cos(angle * Rays / 2)), 12.0);
            double ring = std::pow(std::fabs(std::cos(distance * 0.06)), 16.0);
            double core = std::exp(-distance / 90.0);
            double r = 40 + 120 * ray * (1 - core) + 200 * core + 60 * ring;
            double g = 20 + 60 * ray + 180 * core + 40 * ring;
            double b = 110 + 145 * ray + 120 * core + 90 * ring;
            pixels[y * BandWidth + x] = pack_visible(r, g, b);
        }
    }
    return pixels;
}

}  // namespace

void make_tunnel_data(AssetList &entries)
{
    entries.push_back({"tunel\\tunel.3d", encode_mesh({make_tube()})});
    std::vector<uint32_t> texture = paint_tunnel_texture();
    add_true_colour(entries, "tunel\\tunel_txt.tga", TextureSize, TunnelTextureRows, texture);
    std::vector<uint32_t> ball = paint_ball_texture();
    add_true_colour(entries, "tunel\\tunel_ball_txt.tga", TextureSize, TextureSize, ball);
    std::vector<uint32_t> picture = paint_tunnel_picture();
    add_true_colour(entries, "tunel\\tunel_pic.tga", BandWidth, BandHeight, picture);
}
