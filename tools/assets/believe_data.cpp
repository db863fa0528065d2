// The believe scene's data: the still background, the osma texture, the
// twisted ring "osma" and the spiked star "gula".
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "assets.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/render_target.h"

namespace {

constexpr int TextureSize = 256;

// Night sky over a glowing horizon: a deep blue-to-plum gradient, a soft halo
// behind the turning objects, a receding grid floor and a scatter of stars.
std::vector<uint32_t> paint_background()
{
    constexpr int Horizon = 212;
    constexpr double HaloX = 320.0, HaloY = 150.0;
    std::vector<uint32_t> pixels(BandWidth * BandHeight);
    for (int y = 0; y < BandHeight; y++) {
        for (int x = 0; x < BandWidth; x++) {
            double t = y / double(BandHeight - 1);
            double r = 10 + 50 * t, g = 8 + 10 * t, b = 40 + 40 * t;

            double dx = (x - HaloX) / 260.0, dy = (y - HaloY) / 150.0;
            double halo = std::exp(-(dx * dx + dy * dy) * 2.2);
            r += 30 * halo;
            g += 70 * halo;
            b += 95 * halo;

            if (y < Horizon) {
                double cloud = tile_noise(x / 48.0, y / 48.0, 64, 64, 7) * 0.6 + tile_noise(x / 16.0, y / 16.0, 64, 64, 8) * 0.4;
                r += 18 * cloud;
                b += 26 * cloud;
                double star = hash_unit(3, x, y);
                if (star > 0.9975) {
                    double bright = 120 + 135 * hash_unit(4, x, y);
                    r = g = b = bright;
                }
            } else {
                // Floor lines converge on the halo's centre; rows crowd toward the horizon.
                double depth = (y - Horizon + 1) / double(BandHeight - Horizon);
                double row_phase = std::fmod(8.0 / depth, 1.0);
                double column = (x - HaloX) / (depth * 70.0);  // lines fixed on the floor run to the centre
                double column_phase = column - std::floor(column);
                double line = std::max(row_phase < 0.12 ? 1.0 : 0.0, column_phase < 0.06 ? 1.0 : 0.0);
                double glow = line * (0.35 + 0.65 * depth);
                r += 180 * glow;
                g += 40 * glow;
                b += 150 * glow;
            }
            if (y == Horizon) {
                r += 120;
                g += 60;
                b += 140;
            }
            pixels[y * BandWidth + x] = pack_rgb(r, g, b);
        }
    }
    return pixels;
}

// The osma texture: interference of rings and waves, tinted teal and gold,
// with a dark lattice that marks the faces' texture cells.
std::vector<uint32_t> paint_texture()
{
    std::vector<uint32_t> pixels(TextureSize * TextureSize);
    for (int y = 0; y < TextureSize; y++) {
        for (int x = 0; x < TextureSize; x++) {
            double a = x * 2 * Pi / TextureSize, b = y * 2 * Pi / TextureSize;
            double wave = std::sin(a * 3 + std::sin(b * 2) * 1.5) + std::sin(b * 4 + std::cos(a * 2)) +
                          std::sin((a + b) * 2);
            double level = (wave + 3) / 6;  // 0..1
            double grain = tile_noise(x / 16.0, y / 16.0, TextureSize / 16, TextureSize / 16, 21);
            double r = 30 + 220 * level * level + 20 * grain;
            double g = 80 + 140 * level + 20 * grain;
            double bl = 140 - 110 * level + 40 * grain;
            int cx = x & 31, cy = y & 63;
            if (cx < 2 || cy < 2) {
                r *= 0.35;
                g *= 0.35;
                bl *= 0.45;
            }
            pixels[y * TextureSize + x] = pack_rgb(r, g, bl);
        }
    }
    return pixels;
}

// A ring whose square cross-section makes one whole turn on its way round,
// so the faces twist as it tumbles. The seams carry duplicated vertices so
// the texture runs on without folding back.
MeshObjectSource make_osma()
{
    constexpr int Segments = 24;
    constexpr int Corners = 4;
    constexpr double MajorRadius = 33.0;
    constexpr double SectionRadius = 13.0;  // centre of the section to a corner
    constexpr double TextureLaps = 3.0;     // the texture runs three times round the ring
    constexpr double Tilt = 1.0;            // radians about x
    constexpr double Roll = 0.35;           // radians about z

    MeshObjectSource object;
    for (int s = 0; s <= Segments; s++) {
        double t = s * 2 * Pi / Segments;
        for (int c = 0; c <= Corners; c++) {
            double angle = c * 2 * Pi / Corners + Pi / 4 + t;  // one whole twist per lap
            double radial = MajorRadius + SectionRadius * std::cos(angle);
            double height = SectionRadius * std::sin(angle);
            // Lying in the x-z plane, then tipped toward the viewer so the
            // first frame already looks through the ring.
            double x = radial * std::cos(t), y = height, z = radial * std::sin(t);
            double y1 = y * std::cos(Tilt) - z * std::sin(Tilt), z1 = y * std::sin(Tilt) + z * std::cos(Tilt);
            MeshVertexSource v;
            v.x = static_cast<float>(x * std::cos(Roll) - y1 * std::sin(Roll));
            v.y = static_cast<float>(x * std::sin(Roll) + y1 * std::cos(Roll));
            v.z = static_cast<float>(z1);
            v.u = static_cast<float>(TextureLaps * s / Segments);
            v.v = static_cast<float>(double(c) / Corners);
            object.vertices.push_back(v);
        }
    }
    auto index = [](int s, int c) { return static_cast<uint16_t>(s * (Corners + 1) + c); };
    for (int s = 0; s < Segments; s++) {
        for (int c = 0; c < Corners; c++) {
            object.faces.push_back({index(s, c), index(s + 1, c), index(s + 1, c + 1)});
            object.faces.push_back({index(s, c), index(s + 1, c + 1), index(s, c + 1)});
        }
    }
    return object;
}

// A star: an icosahedron with a long spike raised on every face.
MeshObjectSource make_gula()
{
    constexpr double CoreRadius = 22.0;
    constexpr double SpikeRadius = 58.0;
    const double phi = (1 + std::sqrt(5.0)) / 2;
    const std::array<std::array<double, 3>, 12> corners = {{
        {-1, phi, 0}, {1, phi, 0}, {-1, -phi, 0}, {1, -phi, 0},
        {0, -1, phi}, {0, 1, phi}, {0, -1, -phi}, {0, 1, -phi},
        {phi, 0, -1}, {phi, 0, 1}, {-phi, 0, -1}, {-phi, 0, 1},
    }};
    const std::array<std::array<int, 3>, 20> triangles = {{
        {0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11},
        {1, 5, 9}, {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
        {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8}, {3, 8, 9},
        {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1},
    }};

    MeshObjectSource object;
    auto push = [&](double x, double y, double z, double radius) {
        double length = std::sqrt(x * x + y * y + z * z);
        MeshVertexSource v;
        v.x = static_cast<float>(x / length * radius);
        v.y = static_cast<float>(y / length * radius);
        v.z = static_cast<float>(z / length * radius);
        v.u = 0.0f;
        v.v = 0.0f;
        object.vertices.push_back(v);
        return static_cast<uint16_t>(object.vertices.size() - 1);
    };
    for (const auto &c : corners)
        push(c[0], c[1], c[2], CoreRadius);
    for (const auto &t : triangles) {
        const auto &a = corners[t[0]], &b = corners[t[1]], &c = corners[t[2]];
        uint16_t apex = push(a[0] + b[0] + c[0], a[1] + b[1] + c[1], a[2] + b[2] + c[2], SpikeRadius);
        uint16_t i0 = static_cast<uint16_t>(t[0]), i1 = static_cast<uint16_t>(t[1]),
                 i2 = static_cast<uint16_t>(t[2]);
        object.faces.push_back({i0, i1, apex});
        object.faces.push_back({i1, i2, apex});
        object.faces.push_back({i2, i0, apex});
    }
    return object;
}

}  // namespace

void make_believe_data(AssetList &entries)
{
    std::vector<uint32_t> background = paint_background();
    add_true_colour(entries, "believe\\believe_back.tga", BandWidth, BandHeight, background);
    std::vector<uint32_t> texture = paint_texture();
    add_true_colour(entries, "believe\\believe_txt.tga", TextureSize, TextureSize, texture);
    entries.push_back({"believe\\osma.3d", encode_mesh({make_osma()})});
    entries.push_back({"believe\\gula.3d", encode_mesh({make_gula()})});
}
