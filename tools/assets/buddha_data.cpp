// The buddha scene's data: the seated figure, the scroller's text column, the
// two box textures and boxes, the crossfade picture, the warp and glow maps
// and the ring sprite.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "assets.h"
#include "glyphs.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/raster.h"
#include "vortex_paint.h"

namespace {

constexpr uint32_t BuddhaSeed = 0xB0DD4A5u;

// The figure is drawn at band column 262 and its middle column must meet the
// ring's and the lines' centre at column 320: 116 columns wide.
constexpr int FigureWidth = 116;
constexpr int FigureRows = 150;
// The ring sprite's corner is placed 13 left of the ring's centre line.
constexpr int RingSide = 26;

// The scroller column starts at band column 312. The band is never cleared
// there: only the first box, textured in the frames that also draw the
// text, paints over the letters of the frame before. Its silhouette, turning
// about a fixed axis, covers columns 312 to about 360 of the band's top rows
// in every such frame (wider further down), so the lines are short and the
// column narrow; letters outside it would pile up into a white block.
constexpr int ScrollerWidth = 56;
constexpr int ScrollerLineHeight = 12;   // pixels per em of the lettering
constexpr int ScrollerLineSpacing = 19;  // rows from one line to the next
constexpr int ScrollerIndent = 2;
constexpr int ScrollerBlankRows = 60;    // gap before the text comes round again
constexpr int ScrollerInk = 110;         // coverage from which a pixel is lit

constexpr int CrossfadeWidth = 256;
constexpr int CrossfadeRows = 64;

// ---- the seated figure ---------------------------------------------------

struct Vec3 {
    double x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalised(Vec3 a) { return a * (1.0 / length(a)); }

// Distance estimate of an ellipsoid (exact for spheres, close elsewhere).
double ellipsoid(Vec3 p, Vec3 centre, Vec3 radii)
{
    Vec3 q = p - centre;
    Vec3 a = {q.x / radii.x, q.y / radii.y, q.z / radii.z};
    Vec3 b = {q.x / (radii.x * radii.x), q.y / (radii.y * radii.y), q.z / (radii.z * radii.z)};
    double k0 = length(a), k1 = length(b);
    if (k1 < 1e-9)
        return -std::min({radii.x, radii.y, radii.z});
    return k0 * (k0 - 1.0) / k1;
}

double capsule(Vec3 p, Vec3 a, Vec3 b, double radius)
{
    Vec3 pa = p - a, ba = b - a;
    double h = std::clamp(dot(pa, ba) / dot(ba, ba), 0.0, 1.0);
    return length(pa - ba * h) - radius;
}

// Union whose seams are rounded over `k` pixels, like cast metal.
double blend(double a, double b, double k)
{
    double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return lerp(b, a, h) - k * h * (1.0 - h);
}

// The figure in picture pixels: x right, y down, z toward the viewer; the
// middle column is x = 58. Seated cross-legged on a lotus, hands in the lap.
double figure_distance(Vec3 p)
{
    constexpr double Mid = FigureWidth / 2.0;
    // Mirror: both sides are modelled as the left one.
    Vec3 m = {Mid - std::fabs(p.x - Mid), p.y, p.z};

    double d = ellipsoid(p, {Mid, 28, 0}, {14, 17, 14});                             // head
    d = blend(d, ellipsoid(p, {Mid, 11, -1}, {7, 6, 7}), 3.0);                       // top knot
    d = blend(d, ellipsoid(m, {Mid - 13.5, 33, -1}, {2.6, 8.5, 3.2}), 1.5);          // long ear lobes
    d = blend(d, ellipsoid(p, {Mid, 46, -1}, {8, 6, 8}), 3.0);                       // neck
    d = blend(d, ellipsoid(p, {Mid, 58, -2}, {32, 9, 14}), 6.0);                     // shoulders
    d = blend(d, ellipsoid(p, {Mid, 80, 0}, {22, 30, 15}), 7.0);                     // chest and belly
    d = blend(d, capsule(m, {Mid - 29, 60, -2}, {Mid - 29, 94, 3}, 7.0), 4.0);       // upper arm
    d = blend(d, capsule(m, {Mid - 29, 94, 3}, {Mid - 9, 110, 12}, 6.0), 4.0);       // forearm
    d = blend(d, ellipsoid(p, {Mid, 111, 13}, {15, 5.5, 8}), 3.0);                   // hands, one in the other
    d = blend(d, ellipsoid(p, {Mid, 122, 4}, {55, 13, 24}), 6.0);                    // crossed legs
    d = blend(d, ellipsoid(m, {Mid - 22, 117, 18}, {12, 5, 6}), 3.0);                // the upturned feet
    // The lotus seat: a flat disc whose rim is cut into petals.
    double angle = std::atan2(p.z, p.x - Mid);
    double petals = 1.0 + 0.06 * std::fabs(std::cos(angle * 7.0));
    d = blend(d, ellipsoid(p, {Mid, 139, 2}, {52 * petals, 7.5, 26 * petals}), 3.0);
    return d;
}

Vec3 figure_normal(Vec3 p)
{
    constexpr double e = 0.35;
    return normalised({figure_distance(p + Vec3{e, 0, 0}) - figure_distance(p - Vec3{e, 0, 0}),
                       figure_distance(p + Vec3{0, e, 0}) - figure_distance(p - Vec3{0, e, 0}),
                       figure_distance(p + Vec3{0, 0, e}) - figure_distance(p - Vec3{0, 0, e})});
}

// The nearest surface point along a ray from the viewer through (x, y), if any.
bool trace_figure(double x, double y, Vec3 &hit)
{
    constexpr double Front = 60.0, Back = -60.0, Surface = 0.02;
    Vec3 p = {x, y, Front};
    for (int step = 0; step < 160 && p.z > Back; step++) {
        double d = figure_distance(p);
        if (d < Surface) {
            hit = p;
            return true;
        }
        p.z -= std::max(d, Surface);
    }
    return false;
}

// Soft darkening of creases: how much the space just off the surface is
// taken up by the figure itself.
double occlusion(Vec3 p, Vec3 n)
{
    double shade = 0.0;
    for (int i = 1; i <= 5; i++) {
        double step = 2.0 * i;
        shade += (step - figure_distance(p + n * step)) / std::pow(2.0, i);
    }
    return std::clamp(1.0 - 0.09 * shade, 0.0, 1.0);
}

// Closed eyes, a mark on the brow and a calm mouth, pressed into the face.
double face_marks(double x, double y)
{
    constexpr double Mid = FigureWidth / 2.0;
    double side = std::fabs(x - Mid);
    double mark = 0.0;
    if (side > 2.5 && side < 9.0) {
        double lid = 30.0 + 0.045 * (side - 5.8) * (side - 5.8);  // downward arcs
        mark = std::max(mark, 1.0 - smoothstep(0.3, 0.9, std::fabs(y - lid)));
    }
    double brow = std::hypot(x - Mid, y - 23.5);
    mark = std::max(mark, 1.0 - smoothstep(0.6, 1.4, brow));
    if (side < 3.5)
        mark = std::max(mark, 0.7 * (1.0 - smoothstep(0.2, 0.8, std::fabs(y - 39.5 + 0.06 * side * side))));
    return mark;
}

uint32_t shade_figure(Vec3 hit)
{
    const Vec3 key = normalised({-0.45, -0.55, 0.70});  // from the upper left, in front
    const Vec3 half = normalised(key + Vec3{0, 0, 1});
    const Colour bronze = {222, 164, 72};
    Vec3 n = figure_normal(hit);
    double diffuse = std::max(0.0, dot(n, key));
    double specular = std::pow(std::max(0.0, dot(n, half)), 28.0);
    double rim = std::pow(1.0 - std::max(0.0, n.z), 3.0);
    double ao = occlusion(hit, n);
    double light = (0.16 + 0.84 * diffuse) * ao;
    double r = bronze.r * light + 255 * 0.7 * specular + 90 * rim * ao;
    double g = bronze.g * light + 240 * 0.7 * specular + 60 * rim * ao;
    double b = bronze.b * light + 200 * 0.7 * specular + 20 * rim * ao;
    // The hair (above the brow) darker and cooler.
    double hair = smoothstep(21.5, 19.0, hit.y);
    Colour c = mix_colour({r, g, b}, {r * 0.35, g * 0.38, b * 0.55}, hair);
    double mark = face_marks(hit.x, hit.y) * smoothstep(10.0, 12.0, hit.z);
    c = mix_colour(c, {c.r * 0.35, c.g * 0.3, c.b * 0.25}, mark);
    return pack_colour(c);
}

// Four rays per pixel; the black background is the transparent colour, so a
// lit pixel is never allowed to come out as pure black.
std::vector<uint32_t> paint_figure()
{
    constexpr int Samples = 2;
    std::vector<uint32_t> pixels(FigureWidth * FigureRows, 0);
    for (int y = 0; y < FigureRows; y++) {
        for (int x = 0; x < FigureWidth; x++) {
            double r = 0, g = 0, b = 0;
            int covered = 0;
            for (int sy = 0; sy < Samples; sy++) {
                for (int sx = 0; sx < Samples; sx++) {
                    Vec3 hit;
                    if (!trace_figure(x + (sx + 0.5) / Samples, y + (sy + 0.5) / Samples, hit))
                        continue;
                    uint32_t c = shade_figure(hit);
                    r += (c >> 16) & 255;
                    g += (c >> 8) & 255;
                    b += c & 255;
                    covered++;
                }
            }
            if (covered == 0)
                continue;
            constexpr double Count = Samples * Samples;
            uint32_t word = pack_rgb(r / Count, g / Count, b / Count);
            pixels[y * FigureWidth + x] = visible_texel(word);
        }
    }
    return pixels;
}

// ---- the ring sprite -----------------------------------------------------

// A small glowing jewel with a dark rim, on white (the transparent colour).
std::vector<uint32_t> paint_ring_sprite()
{
    constexpr double Centre = RingSide / 2.0, Radius = 10.5;
    std::vector<uint32_t> pixels(RingSide * RingSide);
    for (int y = 0; y < RingSide; y++) {
        for (int x = 0; x < RingSide; x++) {
            double dx = x + 0.5 - Centre, dy = y + 0.5 - Centre;
            double d = std::hypot(dx, dy);
            double inside = 1.0 - smoothstep(Radius - 0.8, Radius + 0.8, d);
            double t = d / Radius;
            Colour core = mix_colour({255, 236, 150}, {232, 92, 20}, smoothstep(0.0, 0.75, t));
            // A highlight up and to the left, a dark rim all round.
            double glint = std::exp(-((dx + 3.5) * (dx + 3.5) + (dy + 3.5) * (dy + 3.5)) / 6.0);
            core = mix_colour(core, {255, 255, 240}, 0.8 * glint);
            core = mix_colour(core, {70, 10, 0}, smoothstep(0.72, 0.9, t));
            Colour c = mix_colour({255, 255, 255}, core, inside);
            uint32_t word = pack_colour(c);
            // Only the background stays white; an edge pixel that rounds to
            // white would vanish and leave a hole in the rim.
            if (inside > 0.0 && word == 0x00FFFFFFu)
                word = 0x00FFFFFEu;
            pixels[y * RingSide + x] = word;
        }
    }
    return pixels;
}

// ---- the scroller --------------------------------------------------------

// Short lines: a word or two each, to fit the narrow column.
const char *const ScrollerLines[] = {
    "SIT", "STILL", "", "ONE", "BAND", "DRAWN", "EVERY", "FRAME", "", "NO", "PIXEL", "BY", "HAND", "",
    "ALL", "GROWN", "FROM", "CODE", "", "THE", "MUSIC", "KEEPS", "TIME", "", "FACES", "FAR", "TO", "NEAR", "",
    "LIGHT", "FROM", "A", "TABLE", "", "BREATH", "IN", "BREATH", "OUT",
};

std::vector<uint8_t> paint_scroller(int &rows)
{
    constexpr int LineCount = sizeof ScrollerLines / sizeof ScrollerLines[0];
    constexpr int width = ScrollerWidth;
    std::vector<Coverage> lines;
    for (const char *line : ScrollerLines)
        lines.push_back(line[0] ? text_coverage(BoldFont, line, ScrollerLineHeight) : Coverage{});
    rows = LineCount * ScrollerLineSpacing + ScrollerBlankRows;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * rows, 0);
    for (int line = 0; line < LineCount; line++) {
        const Coverage &text = lines[line];
        int top = line * ScrollerLineSpacing;
        for (int y = 0; y < text.height && top + y < rows; y++)
            for (int x = 0; x < text.width && ScrollerIndent + x < width; x++)
                if (text.alpha[static_cast<size_t>(y) * text.width + x] >= ScrollerInk)
                    pixels[static_cast<size_t>(top + y) * width + ScrollerIndent + x] = 255;
    }
    return pixels;
}

// ---- box textures --------------------------------------------------------

// A lotus mandala on deep red, one per side of the first box.
std::vector<uint32_t> paint_box_texture()
{
    constexpr double Centre = TextureSide / 2.0;
    std::vector<uint32_t> pixels(TextureSide * TextureSide);
    for (int y = 0; y < TextureSide; y++) {
        for (int x = 0; x < TextureSide; x++) {
            double dx = x + 0.5 - Centre, dy = y + 0.5 - Centre;
            double r = std::hypot(dx, dy) / Centre;  // 1 at the middle of an edge
            double a = std::atan2(dy, dx);
            double grain = tile_fbm(x / 32.0, y / 32.0, 8, 8, 4, BuddhaSeed + 1);
            Colour c = mix_colour({110, 12, 18}, {60, 4, 20}, r * 0.8);
            c = mix_colour(c, {150, 40, 30}, 0.3 * grain);
            // Three rings of petals, each ring twice as many as the last.
            for (int ring = 0; ring < 3; ring++) {
                double count = 8.0 * (1 << ring) / 2.0 + 4.0;
                double inner = 0.12 + 0.26 * ring, outer = inner + 0.3;
                double petal = inner + (outer - inner) * std::pow(std::fabs(std::cos(a * count / 2.0)), 0.6);
                double body = 1.0 - smoothstep(petal - 0.02, petal + 0.01, r);
                double edge = 1.0 - smoothstep(0.0, 0.018, std::fabs(r - petal));
                if (r > inner - 0.04) {
                    Colour fill = hsv_colour(0.03 + 0.04 * ring, 0.7, 0.55 + 0.15 * ring);
                    c = mix_colour(c, fill, 0.55 * body * smoothstep(inner - 0.04, inner, r));
                    c = mix_colour(c, {250, 200, 90}, edge);
                }
            }
            double heart = 1.0 - smoothstep(0.08, 0.11, r);
            c = mix_colour(c, {255, 215, 110}, heart);
            // A thin gold line just inside a dark rim marks the box's edges.
            // The band is never cleared, so where the turning box leaves a
            // pixel that pixel keeps the rim's colour: dark, it reads as the
            // box's shadow rather than a fan of gold slivers.
            double border = std::min({x, y, TextureSide - 1 - x, TextureSide - 1 - y});
            double rim = 1.0 - smoothstep(9.0, 11.0, border);
            double line = 1.0 - smoothstep(0.0, 1.5, std::fabs(border - 12.5));
            c = mix_colour(c, {235, 185, 80}, line);
            c = mix_colour(c, {34, 4, 10}, rim);
            pixels[y * TextureSide + x] = pack_colour(c);
        }
    }
    return pixels;
}

// The warp source: veined stone in blue, violet and gold, repeating every 255
// texels in both directions so the moving warp shows no seam.
std::vector<uint32_t> paint_warp_source()
{
    std::vector<uint32_t> pixels(WarpSourceSide * WarpSourceSide);
    for (int y = 0; y < WarpPeriod; y++) {
        for (int x = 0; x < WarpPeriod; x++) {
            double u = x * 6.0 / WarpPeriod, v = y * 6.0 / WarpPeriod;
            double body = tile_fbm(u, v, 6, 6, 5, BuddhaSeed + 2);
            double swirl = tile_fbm(u + 0.5, v + 1.3, 6, 6, 4, BuddhaSeed + 3);
            double vein = std::fabs(std::sin((body * 3.0 + swirl * 2.0) * Pi));
            Colour c = hsv_colour(0.62 + 0.18 * swirl, 0.75, 0.25 + 0.45 * body);
            c = mix_colour(c, {255, 200, 90}, std::pow(1.0 - vein, 8.0));
            pixels[y * WarpSourceSide + x] = pack_colour(c);
        }
    }
    close_warp_source(pixels);
    return pixels;
}

// ---- maps ----------------------------------------------------------------

// A source coordinate reduced into the warp's period.
uint8_t wrap_texel(double value)
{
    double wrapped = std::fmod(value, WarpPeriod);
    if (wrapped < 0)
        wrapped += WarpPeriod;
    return static_cast<uint8_t>(std::min(static_cast<int>(wrapped), WarpPeriod - 1));
}

// Water-like ripples: each texel looks a little aside, more so toward the
// middle of the face, where the glow is brightest.
void make_warp_maps(std::vector<uint8_t> &map_x, std::vector<uint8_t> &map_y)
{
    map_x.assign(TextureSide * TextureSide, 0);
    map_y.assign(TextureSide * TextureSide, 0);
    for (int y = 0; y < TextureSide; y++) {
        for (int x = 0; x < TextureSide; x++) {
            double s = x / double(TextureSide), t = y / double(TextureSide);
            double dx = s - 0.5, dy = t - 0.5;
            double r = std::hypot(dx, dy);
            double ripple = std::sin(r * 28.0) * 9.0 * (1.2 - r);
            double column = x * double(WarpPeriod) / TextureSide + 14.0 * std::sin(TwoPi * (t * 2.0 + s * 0.5)) +
                            ripple * dx / (r + 0.05);
            double row = y * double(WarpPeriod) / TextureSide + 14.0 * std::sin(TwoPi * (s * 2.0 - t * 0.5)) +
                         ripple * dy / (r + 0.05);
            map_x[y * TextureSide + x] = wrap_texel(column);
            map_y[y * TextureSide + x] = wrap_texel(row);
        }
    }
}

// Glow levels: 128 leaves a colour as it is, lower darkens, higher lights.
// The first is a soft pool of light in the middle of each face.
std::vector<uint8_t> make_pool_glow()
{
    std::vector<uint8_t> levels(TextureSide * TextureSide);
    for (int y = 0; y < TextureSide; y++) {
        for (int x = 0; x < TextureSide; x++) {
            double dx = (x + 0.5) / TextureSide - 0.5, dy = (y + 0.5) / TextureSide - 0.5;
            double d2 = dx * dx + dy * dy;
            double level = 72.0 + 183.0 * std::exp(-d2 * 6.5);
            levels[y * TextureSide + x] = clamp_byte(level);
        }
    }
    return levels;
}

// The second: a burst of twelve rays from the middle over a dim ground, with
// a hot core.
std::vector<uint8_t> make_ray_glow()
{
    std::vector<uint8_t> levels(TextureSide * TextureSide);
    for (int y = 0; y < TextureSide; y++) {
        for (int x = 0; x < TextureSide; x++) {
            double dx = (x + 0.5) / TextureSide - 0.5, dy = (y + 0.5) / TextureSide - 0.5;
            double r = std::hypot(dx, dy);
            double a = std::atan2(dy, dx);
            double ray = std::pow(0.5 + 0.5 * std::cos(a * 12.0), 6.0) * std::exp(-r * 2.2);
            double core = std::exp(-r * r * 60.0);
            double level = 40.0 + 215.0 * std::max(ray, core);
            levels[y * TextureSide + x] = clamp_byte(level);
        }
    }
    return levels;
}

// Column c has about c / 255 of its 64 bytes set, on rows scattered anew in
// every column: the choice grows more likely as the fade value rises.
std::vector<uint8_t> make_crossfade()
{
    std::vector<uint8_t> pixels(CrossfadeWidth * CrossfadeRows, 0);
    for (int x = 0; x < CrossfadeWidth; x++) {
        int set = (x * CrossfadeRows + (CrossfadeWidth - 1) / 2) / (CrossfadeWidth - 1);
        std::array<int, CrossfadeRows> order;
        for (int y = 0; y < CrossfadeRows; y++)
            order[y] = y;
        // A shuffle driven by the hash, so the rows differ from column to column.
        for (int y = CrossfadeRows - 1; y > 0; y--)
            std::swap(order[y], order[hash3(BuddhaSeed + 4, x, y) % static_cast<uint32_t>(y + 1)]);
        for (int k = 0; k < set; k++)
            pixels[order[k] * CrossfadeWidth + x] = 255;
    }
    return pixels;
}

// ---- boxes ---------------------------------------------------------------

// A cube of `cells` by `cells` squares per side, two triangles each; every
// side shows its texture once.
MeshObjectSource make_box(double half_side, int cells)
{
    // The texture's last column is where its first begins again; stop short of it.
    constexpr double TextureSpan = 255.0 / 256.0;
    MeshObjectSource object;
    // Each side: its normal axis and sign, and the two axes across it.
    struct Side {
        int axis;
        double sign;
        int across_u, across_v;
    };
    const Side sides[6] = {{2, -1, 0, 1}, {2, 1, 0, 1}, {0, -1, 2, 1}, {0, 1, 2, 1}, {1, -1, 0, 2}, {1, 1, 0, 2}};
    for (const Side &side : sides) {
        uint16_t base = static_cast<uint16_t>(object.vertices.size());
        for (int j = 0; j <= cells; j++) {
            for (int i = 0; i <= cells; i++) {
                double p[3];
                p[side.axis] = side.sign * half_side;
                p[side.across_u] = (2.0 * i / cells - 1.0) * half_side;
                p[side.across_v] = (1.0 - 2.0 * j / cells) * half_side;
                MeshVertexSource v;
                v.x = static_cast<float>(p[0]);
                v.y = static_cast<float>(p[1]);
                v.z = static_cast<float>(p[2]);
                v.u = static_cast<float>(TextureSpan * i / cells);
                v.v = static_cast<float>(TextureSpan * j / cells);
                object.vertices.push_back(v);
            }
        }
        auto index = [&](int i, int j) { return static_cast<uint16_t>(base + j * (cells + 1) + i); };
        for (int j = 0; j < cells; j++) {
            for (int i = 0; i < cells; i++) {
                object.faces.push_back({index(i, j), index(i + 1, j), index(i + 1, j + 1)});
                object.faces.push_back({index(i, j), index(i + 1, j + 1), index(i, j + 1)});
            }
        }
    }
    return object;
}

// The first box is drawn from a fifth of the camera's 300 (at 60) but culled
// at 300 against the near distance 256: its corners stay within 44 of the
// centre (25 * sqrt(3) = 43.3). As large as that allows, in every turn it
// covers at least its inner ball's outline, a disc of about 117 pixels
// about the band's centre. The second is drawn from 120 (culled at 300 against 210): with
// corners at 20 * sqrt(3) = 34.6 it never reaches beyond 77 pixels, so its
// orange outline always falls where the textured first box paints over it
// the next time. One cell a side keeps its outline sparse.
constexpr double BoxHalfSide = 25.0;
constexpr double Box2HalfSide = 20.0;
constexpr int BoxCells = 2, Box2Cells = 1;

} // namespace

void make_buddha_data(AssetList &entries)
{
    std::vector<uint32_t> figure = paint_figure();
    add_true_colour(entries, "buddha\\buddha_pic.tga", FigureWidth, FigureRows, figure);

    int scroller_rows = 0;
    std::vector<uint8_t> scroller = paint_scroller(scroller_rows);
    add_grey(entries, "buddha\\buddha_01.tga", ScrollerWidth, scroller_rows, scroller);

    std::vector<uint32_t> box_texture = paint_box_texture();
    add_true_colour(entries, "buddha\\buddha_txt1.tga", TextureSide, TextureSide, box_texture);
    std::vector<uint32_t> warp_source = paint_warp_source();
    add_true_colour(entries, "buddha\\buddha_txt2.tga", WarpSourceSide, WarpSourceSide, warp_source);

    entries.push_back({"buddha\\buddha_box.3d", encode_mesh({make_box(BoxHalfSide, BoxCells)})});
    entries.push_back({"buddha\\buddha_box2.3d", encode_mesh({make_box(Box2HalfSide, Box2Cells)})});

    std::vector<uint8_t> crossfade = make_crossfade();
    add_grey(entries, "buddha\\buddha_xfade.tga", CrossfadeWidth, CrossfadeRows, crossfade);

    std::vector<uint8_t> map_x, map_y;
    make_warp_maps(map_x, map_y);
    add_grey(entries, "buddha\\buddha_offset_x.tga", TextureSide, TextureSide, map_x);
    add_grey(entries, "buddha\\buddha_offset_y.tga", TextureSide, TextureSide, map_y);
    std::vector<uint8_t> pool = make_pool_glow(), rays = make_ray_glow();
    add_grey(entries, "buddha\\buddha_glow1.tga", TextureSide, TextureSide, pool);
    add_grey(entries, "buddha\\buddha_glow2.tga", TextureSide, TextureSide, rays);

    std::vector<uint32_t> ring = paint_ring_sprite();
    add_true_colour(entries, "buddha\\buddha_null.tga", RingSide, RingSide, ring);
}
