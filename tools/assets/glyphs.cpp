// Lettering: FreeType outlines, GLU tessellation, extrusion and text coverage.
#include "glyphs.h"

#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <utility>

const char *const BoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

namespace {

[[noreturn]] void fail(const char *path, const char *what)
{
    fprintf(stderr, "orvanti-assets: %s: %s\n", path, what);
    exit(1);
}

// One open face; closed again by close_font.
struct Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

Font open_font(const char *path)
{
    Font font;
    if (FT_Init_FreeType(&font.library) != 0)
        fail(path, "cannot start FreeType");
    if (FT_New_Face(font.library, path, 0, &font.face) != 0) {
        FT_Done_FreeType(font.library);
        fail(path, "cannot open the font");
    }
    return font;
}

void close_font(Font &font)
{
    FT_Done_Face(font.face);
    FT_Done_FreeType(font.library);
}

// Collects flattened contours while FreeType walks an outline.
struct OutlineWalk {
    std::vector<Contour> *contours;
    double pen_x;      // font units
    double scale;      // font units to em
    int steps;
    Point2 last;       // font units, relative to the pen
};

Point2 place(const OutlineWalk &walk, double x, double y)
{
    return {(walk.pen_x + x) * walk.scale, y * walk.scale};
}

int walk_move(const FT_Vector *to, void *user)
{
    auto *walk = static_cast<OutlineWalk *>(user);
    walk->contours->emplace_back();
    walk->last = {static_cast<double>(to->x), static_cast<double>(to->y)};
    walk->contours->back().push_back(place(*walk, walk->last.x, walk->last.y));
    return 0;
}

int walk_line(const FT_Vector *to, void *user)
{
    auto *walk = static_cast<OutlineWalk *>(user);
    walk->last = {static_cast<double>(to->x), static_cast<double>(to->y)};
    walk->contours->back().push_back(place(*walk, walk->last.x, walk->last.y));
    return 0;
}

int walk_conic(const FT_Vector *control, const FT_Vector *to, void *user)
{
    auto *walk = static_cast<OutlineWalk *>(user);
    Point2 a = walk->last;
    for (int i = 1; i <= walk->steps; i++) {
        double t = static_cast<double>(i) / walk->steps, s = 1.0 - t;
        double x = s * s * a.x + 2 * s * t * control->x + t * t * to->x;
        double y = s * s * a.y + 2 * s * t * control->y + t * t * to->y;
        walk->contours->back().push_back(place(*walk, x, y));
    }
    walk->last = {static_cast<double>(to->x), static_cast<double>(to->y)};
    return 0;
}

int walk_cubic(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user)
{
    auto *walk = static_cast<OutlineWalk *>(user);
    Point2 a = walk->last;
    for (int i = 1; i <= walk->steps; i++) {
        double t = static_cast<double>(i) / walk->steps, s = 1.0 - t;
        double x = s * s * s * a.x + 3 * s * s * t * c1->x + 3 * s * t * t * c2->x + t * t * t * to->x;
        double y = s * s * s * a.y + 3 * s * s * t * c1->y + 3 * s * t * t * c2->y + t * t * t * to->y;
        walk->contours->back().push_back(place(*walk, x, y));
    }
    walk->last = {static_cast<double>(to->x), static_cast<double>(to->y)};
    return 0;
}

// Drops repeated points, including a closing point equal to the first.
void tidy(Contour &contour)
{
    Contour out;
    for (const Point2 &p : contour)
        if (out.empty() || p.x != out.back().x || p.y != out.back().y)
            out.push_back(p);
    while (out.size() > 1 && out.back().x == out.front().x && out.back().y == out.front().y)
        out.pop_back();
    contour = std::move(out);
}

} // namespace

TextOutline text_outline(const char *font_path, const char *text, int curve_steps)
{
    Font font = open_font(font_path);
    TextOutline outline{};
    OutlineWalk walk{&outline.contours, 0.0, 1.0 / font.face->units_per_EM, std::max(curve_steps, 1), {0, 0}};
    FT_Outline_Funcs funcs{walk_move, walk_line, walk_conic, walk_cubic, 0, 0};
    FT_UInt previous = 0;
    for (const char *c = text; *c; c++) {
        FT_UInt index = FT_Get_Char_Index(font.face, static_cast<unsigned char>(*c));
        if (index == 0 || FT_Load_Glyph(font.face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0 ||
            font.face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
            close_font(font);
            fail(font_path, "a letter of the text has no outline");
        }
        if (previous != 0 && FT_HAS_KERNING(font.face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(font.face, previous, index, FT_KERNING_UNSCALED, &kern) == 0)
                walk.pen_x += kern.x;
        }
        size_t first = outline.contours.size();
        FT_Outline_Decompose(&font.face->glyph->outline, &funcs, &walk);
        for (size_t i = first; i < outline.contours.size(); i++)
            tidy(outline.contours[i]);
        walk.pen_x += font.face->glyph->advance.x;
        previous = index;
    }
    close_font(font);

    outline.contours.erase(std::remove_if(outline.contours.begin(), outline.contours.end(),
                                          [](const Contour &c) { return c.size() < 3; }),
                           outline.contours.end());
    outline.min_x = outline.min_y = 1e30;
    outline.max_x = outline.max_y = -1e30;
    for (const Contour &c : outline.contours)
        for (const Point2 &p : c) {
            outline.min_x = std::min(outline.min_x, p.x);
            outline.max_x = std::max(outline.max_x, p.x);
            outline.min_y = std::min(outline.min_y, p.y);
            outline.max_y = std::max(outline.max_y, p.y);
        }
    return outline;
}

void transform_outline(TextOutline &outline, double cx, double cy, double sx, double sy)
{
    for (Contour &c : outline.contours)
        for (Point2 &p : c)
            p = {(p.x - cx) * sx, (p.y - cy) * sy};
    double x0 = (outline.min_x - cx) * sx, x1 = (outline.max_x - cx) * sx;
    double y0 = (outline.min_y - cy) * sy, y1 = (outline.max_y - cy) * sy;
    outline.min_x = std::min(x0, x1);
    outline.max_x = std::max(x0, x1);
    outline.min_y = std::min(y0, y1);
    outline.max_y = std::max(y0, y1);
}

namespace {

// Tessellator state: the coordinates it was given or made, and the triangles.
struct TessWork {
    std::deque<std::array<GLdouble, 3>> points;  // stable addresses until the polygon ends
    std::vector<Point2> corners;                 // every three make a triangle
    bool failed = false;
};

void APIENTRY tess_begin(GLenum, void *) {}
void APIENTRY tess_edge_flag(GLboolean, void *) {}  // its presence makes the tessellator emit plain triangles

void APIENTRY tess_vertex(void *vertex, void *polygon)
{
    const GLdouble *p = static_cast<const GLdouble *>(vertex);
    static_cast<TessWork *>(polygon)->corners.push_back({p[0], p[1]});
}

void APIENTRY tess_combine(GLdouble coords[3], void *[4], GLfloat[4], void **out, void *polygon)
{
    auto *work = static_cast<TessWork *>(polygon);
    work->points.push_back({coords[0], coords[1], coords[2]});
    *out = work->points.back().data();
}

void APIENTRY tess_error(GLenum, void *polygon)
{
    static_cast<TessWork *>(polygon)->failed = true;
}

} // namespace

std::vector<Triangle2> tessellate(const std::vector<Contour> &contours)
{
    TessWork work;
    GLUtesselator *tess = gluNewTess();
    if (!tess)
        fail("GLU", "cannot create a tessellator");
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(tess_begin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(tess_edge_flag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(tess_vertex));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(tess_combine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(tess_error));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    gluTessNormal(tess, 0.0, 0.0, 1.0);

    gluTessBeginPolygon(tess, &work);
    for (const Contour &contour : contours) {
        gluTessBeginContour(tess);
        for (const Point2 &p : contour) {
            work.points.push_back({p.x, p.y, 0.0});
            gluTessVertex(tess, work.points.back().data(), work.points.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (work.failed)
        fail("GLU", "the tessellator rejected the outline");

    std::vector<Triangle2> triangles;
    for (size_t i = 0; i + 2 < work.corners.size(); i += 3)
        triangles.push_back({work.corners[i], work.corners[i + 1], work.corners[i + 2]});
    return triangles;
}

MeshObjectSource extrude(const std::vector<Contour> &contours, const std::vector<Triangle2> &caps,
                         double half_depth, const TextureRule &rule)
{
    MeshObjectSource object;
    auto add_vertex = [&](double x, double y, double z, bool side, double along) {
        std::array<float, 2> uv = rule({x, y, z, side, along});
        object.vertices.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                                   uv[0], uv[1]});
        return static_cast<uint16_t>(object.vertices.size() - 1);
    };

    // Caps share their corners; the map is ordered, so the numbering is deterministic.
    for (double z : {-half_depth, half_depth}) {
        std::map<std::pair<double, double>, uint16_t> corner_index;
        for (const Triangle2 &t : caps) {
            std::array<uint16_t, 3> face;
            for (int k = 0; k < 3; k++) {
                auto key = std::make_pair(t[k].x, t[k].y);
                auto found = corner_index.find(key);
                if (found == corner_index.end())
                    found = corner_index.emplace(key, add_vertex(t[k].x, t[k].y, z, false, 0.0)).first;
                face[k] = found->second;
            }
            object.faces.push_back(face);
        }
    }

    for (const Contour &contour : contours) {
        double along = 0.0;
        for (size_t i = 0; i < contour.size(); i++) {
            const Point2 &a = contour[i];
            const Point2 &b = contour[(i + 1) % contour.size()];
            double length = std::hypot(b.x - a.x, b.y - a.y);
            uint16_t af = add_vertex(a.x, a.y, -half_depth, true, along);
            uint16_t bf = add_vertex(b.x, b.y, -half_depth, true, along + length);
            uint16_t bb = add_vertex(b.x, b.y, half_depth, true, along + length);
            uint16_t ab = add_vertex(a.x, a.y, half_depth, true, along);
            object.faces.push_back({af, bf, bb});
            object.faces.push_back({af, bb, ab});
            along += length;
        }
    }
    return object;
}

Coverage text_coverage(const char *font_path, const char *text, int pixel_height)
{
    Font font = open_font(font_path);
    if (FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(pixel_height)) != 0) {
        close_font(font);
        fail(font_path, "cannot set the pixel size");
    }
    struct Placed {
        std::vector<uint8_t> alpha;
        int width, rows, left, top;  // top: rows above the baseline
        int pen;
    };
    std::vector<Placed> glyphs;
    int pen = 0, min_x = 1 << 30, max_x = -(1 << 30), max_top = -(1 << 30), max_bottom = -(1 << 30);
    for (const char *c = text; *c; c++) {
        if (FT_Load_Char(font.face, static_cast<unsigned char>(*c), FT_LOAD_RENDER) != 0) {
            close_font(font);
            fail(font_path, "cannot render a letter of the text");
        }
        const FT_Bitmap &bitmap = font.face->glyph->bitmap;
        Placed g{{}, static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows),
                 font.face->glyph->bitmap_left, font.face->glyph->bitmap_top, pen};
        for (int r = 0; r < g.rows; r++)
            for (int x = 0; x < g.width; x++)
                g.alpha.push_back(bitmap.buffer[r * bitmap.pitch + x]);
        if (g.width > 0 && g.rows > 0) {
            min_x = std::min(min_x, pen + g.left);
            max_x = std::max(max_x, pen + g.left + g.width);
            max_top = std::max(max_top, g.top);
            max_bottom = std::max(max_bottom, g.rows - g.top);
        }
        pen += static_cast<int>(font.face->glyph->advance.x >> 6);
        glyphs.push_back(std::move(g));
    }
    close_font(font);

    Coverage out;
    if (max_x <= min_x)
        return out;
    out.width = max_x - min_x;
    out.height = max_top + max_bottom;
    out.alpha.assign(static_cast<size_t>(out.width) * out.height, 0);
    for (const Placed &g : glyphs)
        for (int r = 0; r < g.rows; r++)
            for (int x = 0; x < g.width; x++) {
                int ox = g.pen + g.left + x - min_x, oy = max_top - g.top + r;
                uint8_t &dst = out.alpha[static_cast<size_t>(oy) * out.width + ox];
                dst = std::max(dst, g.alpha[static_cast<size_t>(r) * g.width + x]);
            }
    return out;
}
