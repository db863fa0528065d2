// Lettering for the generated data: text outlines from a TrueType font,
// their triangulation (GLU's tessellator), solid extrusion into a mesh
// object, and anti-aliased text coverage for pictures.
//
// Units: outlines are in font units scaled so that the font's em is 1.0,
// y up, the pen starting at x = 0 on the baseline. A failure to open the
// font or a glyph ends the generator with a one-line message naming the file.
//
//   TextOutline word = text_outline(BoldFont, "ORVANTI", 6);
//   std::vector<Triangle2> tris = tessellate(word.contours);
//   MeshObjectSource solid = extrude(word.contours, tris, depth, texture_rule);
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "mesh_writer.h"

extern const char *const BoldFont;  // DejaVu Sans Bold, shipped with the fonts-dejavu-core package

struct Point2 {
    double x, y;
};

using Contour = std::vector<Point2>;  // closed: the last point joins the first
using Triangle2 = std::array<Point2, 3>;

struct TextOutline {
    std::vector<Contour> contours;  // every glyph's contours; holes are separate contours
    double min_x, min_y, max_x, max_y;  // bounds of all points
};

// Outlines of `text` (ASCII), curves flattened into `curve_steps` segments.
TextOutline text_outline(const char *font_path, const char *text, int curve_steps);

// Moves and scales every point: p' = (p - (cx, cy)) * (sx, sy).
void transform_outline(TextOutline &outline, double cx, double cy, double sx, double sy);

// Triangles covering the inside of the contours under the odd winding rule
// (glyph holes stay open); crossings are resolved by the tessellator.
std::vector<Triangle2> tessellate(const std::vector<Contour> &contours);

// Texture coordinates of a mesh vertex. `side` is false on the front and back
// caps; on the walls `along` is the distance walked around the contour.
struct SurfacePoint {
    double x, y, z;
    bool side;
    double along;
};
using TextureRule = std::function<std::array<float, 2>(const SurfacePoint &)>;

// A closed solid: the triangles as caps at z = -half_depth (front, facing a
// viewer at negative z) and z = +half_depth, joined by walls of two triangles
// per contour edge. Texture coordinates come from `rule` and must be >= 0.
MeshObjectSource extrude(const std::vector<Contour> &contours, const std::vector<Triangle2> &caps,
                         double half_depth, const TextureRule &rule);

// Anti-aliased coverage (0..255) of `text` rendered at `pixel_height` pixels
// per em, in a picture just large enough for it; rows top to bottom.
struct Coverage {
    int width = 0, height = 0;
    std::vector<uint8_t> alpha;
};
Coverage text_coverage(const char *font_path, const char *text, int pixel_height);
