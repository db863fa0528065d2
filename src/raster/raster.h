// The rasterizers: clipped lines, wireframe and flat faces, and the
// perspective-correct texture mapper. All write 32-bit pixels into the
// RenderTarget over the 640 by 320 view and clip to it themselves.
#pragma once
#include <cstdint>

#include "engine/mesh.h"

struct Rgb {
    uint8_t red, green, blue;  // written as red * 65536 + green * 256 + blue
};

// Outcode bits of a point outside the view.
constexpr int OutTop = 1, OutBottom = 2, OutRight = 4, OutLeft = 8;

// Span-limit markers of draw_face_flat: no pixel yet on that row.
constexpr int32_t SpanNoLeft = 77777, SpanNoRight = -77777;

int outcode(int x, int y);
int clip_line(int *x0, int *y0, int *x1, int *y1);  // 0: draw, -1: rejected
void clip_line_end(int *x, int *y, int dx, int dy, int code);
void draw_line(int x0, int y0, int x1, int y1, const Rgb *colour);
void draw_face_wire(Face *f, const Rgb *colour);
// The outline with the first and last corners moved `shift` pixels right and
// the middle one as far left: drawn beside the plain outline it doubles it.
// The face's own vertices are left as they are.
void draw_face_wire_shifted(Face *f, const Rgb *colour, float shift);
void scan_edge(int x0, int y0, int x1, int y1, int32_t *left, int32_t *right);
void draw_face_flat(Face *f, const Rgb *colour);

// Textures are addressed as TextureSide rows of TextureSide words, whatever
// the picture's size; a texture row is TextureSide words apart from the next.
constexpr int TextureSide = 256;

// The texel draw_face_textured leaves out when asked for transparency. A
// picture's pixel that must show is painted as visible_texel's nearest
// visible colour instead (the generator does so for every such picture).
constexpr uint32_t TransparentTexel = 0;
constexpr uint32_t visible_texel(uint32_t word) { return word == TransparentTexel ? 0x00010101u : word; }

void draw_face_textured(Face *f, int transparent);
void draw_textured_span(double xl, double xr, double ul, double ur, double vl, double vr,
                        double wl, double wr, int row_offset, int transparent,
                        const uint32_t *texels);

// The textured face walk with another span routine in place of
// draw_textured_span (tests and benchmarks compare span routines through it).
using TexturedSpanRoutine = void (*)(double xl, double xr, double ul, double ur, double vl,
                                     double vr, double wl, double wr, int row_offset,
                                     int transparent, const uint32_t *texels);
void draw_face_textured_with(Face *f, int transparent, TexturedSpanRoutine span);

// Whether draw_textured_span may use its four-pixel loop on processors that
// have one (it gives the same pixels as the one-pixel loop, which tests
// check by clearing this).
extern bool SpanAllowWide;

// A value in the span's 8.24 form: value * 2^24 truncated towards zero, of
// which the low 32 bits are kept. Defined for every double (non-finite: 0).
uint32_t to_fixed_8_24(double value);

// scale_face copies a face into ScaledFace (with vertices of its own) and moves
// the copies' screen positions about the centroid; face_centroid sets the
// centroid only.
extern Face ScaledFace;
extern double FaceCentroidX, FaceCentroidY;
void scale_face(Face *f, float factor);
void face_centroid(Face *f);
