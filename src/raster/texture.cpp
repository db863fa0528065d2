// Perspective-correct texture mapper: u/z, v/z and 1/z walked down the edges
// in double precision, across each span in 8.24 fixed point, divided per pixel.
#include <cmath>
#include <cstdint>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#include "data/image.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"

namespace {

constexpr int TextureMask = TextureSide - 1;
constexpr int64_t TextureBytes = int64_t{TextureSide} * TextureSide * 4;
// Rows above the view are walked one by one only up to this count; beyond it
// they are skipped with one multiplication (the same position up to rounding).
constexpr int64_t HiddenRowWalkLimit = 1 << 16;

// A span clipped to the view, with its start values in 8.24.
struct TexturedSpanSetup {
    int first, last;
    Fixed24 u, v, w, du, dv, dw;
};

// Where one side of the face stands on the current row, or its change per row.
struct EdgeState {
    double x, u, v, w;
};

struct Corner {
    double x, u, v, w;
    int64_t y;
};

// The texture is addressed as 256 rows of 256 words whatever its size, so a
// picture whose pixel buffer is smaller than that cannot be sampled safely.
bool texture_usable(const Image *t)
{
    if (!t || !t->pixels || t->width <= 0 || t->height <= 0) return false;
    const int64_t bytes_per_pixel = t->kind == ImageWords ? 4 : 1;
    return int64_t{t->width} * t->height * bytes_per_pixel >= TextureBytes;
}

EdgeState row_step(const Corner &a, const Corner &b)
{
    const int64_t height = b.y - a.y;
    if (height == 0) return {0, 0, 0, 0};
    const double h = static_cast<double>(height);
    return {(b.x - a.x) / h, (b.u - a.u) / h, (b.v - a.v) / h, (b.w - a.w) / h};
}

// The half on x puts truncated span ends on the nearest pixel; the half of w on
// u and v puts the truncated per-pixel quotients on the nearest texel.
EdgeState start_at(const Corner &c)
{
    return {c.x + 0.5, c.u + 0.5 * c.w, c.v + 0.5 * c.w, c.w};
}

void advance(EdgeState &s, const EdgeState &d)
{
    s.x += d.x;
    s.u += d.u;
    s.v += d.v;
    s.w += d.w;
}

void advance_by(EdgeState &s, const EdgeState &d, double rows)
{
    s.x += rows * d.x;
    s.u += rows * d.u;
    s.v += rows * d.v;
    s.w += rows * d.w;
}

// The jump from a part's start row above the view to row 0.
void jump_to_row_zero(EdgeState &s, const EdgeState &d, int64_t start_row)
{
    const double r = static_cast<double>(start_row);
    s.x -= r * d.x;
    s.u -= r * d.u;
    s.v -= r * d.v;
    s.w -= r * d.w;
}

template <typename Span>
void span_between(const EdgeState &a, const EdgeState &b, int64_t y, int transparent,
                  const uint32_t *texels, Span span)
{
    span(a.x, b.x, a.u, b.u, a.v, b.v, a.w, b.w, static_cast<int>(y) * RenderTarget.pitch,
         transparent, texels);
}

// Texel index of one pixel from the truncated quotients (only their low 8 bits
// matter, so any quotient past the int range still selects the right texel).
inline uint32_t texel_index(int64_t column, int64_t row)
{
    return static_cast<uint32_t>((row & TextureMask) * TextureSide + (column & TextureMask));
}

}  // namespace

uint32_t to_fixed_8_24(double value)
{
    const double scaled = value * Fixed24One;
    if (!std::isfinite(scaled)) return 0;
    constexpr double Int64Safe = 9.0e18;  // well inside the int64 range
    if (std::fabs(scaled) < Int64Safe)
        return static_cast<uint32_t>(static_cast<int64_t>(scaled));
    // Far outside: every such double is an integer, and fmod gives its low
    // 32 bits exactly, as a wider integer type would.
    return static_cast<uint32_t>(static_cast<int64_t>(std::fmod(scaled, 4294967296.0)));
}

// Orders the ends, clips the span to the view and converts its start values
// and steps to 8.24; false when no pixel is to be drawn.
static bool span_extent(double &xl, double &xr, double &ul, double &ur, double &vl, double &vr,
                        double &wl, double &wr, TexturedSpanSetup &s)
{
    if (xl > xr) {
        std::swap(xl, xr);
        std::swap(ul, ur);
        std::swap(vl, vr);
        std::swap(wl, wr);
    }
    const double width = xr - xl;
    if (!(width > 0) || !(xr > 0) || !(xl < ViewWidth)) return false;
    const double du = (ur - ul) / width, dv = (vr - vl) / width, dw = (wr - wl) / width;

    // Worked in double so that no span end, however far off the view, is
    // truncated into an int it does not fit.
    const double first = std::trunc(xl);
    const double last = first + std::trunc(width);
    if (!(last >= 0)) return false;
    s.last = last > ViewWidth - 1 ? ViewWidth - 1 : static_cast<int>(last);
    double u = ul, v = vl, w = wl;
    if (first < 0) {
        // Values at x = 0, extrapolated from the left end.
        s.first = 0;
        u = ul - du * xl;
        v = vl - dv * xl;
        w = wl - dw * xl;
    } else {
        s.first = static_cast<int>(first);
    }
    if (s.first > s.last) return false;
    s.u = to_fixed_8_24(u);
    s.v = to_fixed_8_24(v);
    s.w = to_fixed_8_24(w);
    s.du = to_fixed_8_24(du);
    s.dv = to_fixed_8_24(dv);
    s.dw = to_fixed_8_24(dw);
    return true;
}

namespace {

// Integer quotient, defined where C++ leaves it undefined: a zero divisor
// gives 0 and INT_MIN / -1 gives 2^31 (only the low 8 bits are used). Taken
// in double precision, which is exact for 32-bit operands (see the four-lane
// loop) and pipelines where an integer division does not.
inline int64_t quotient(int32_t a, int32_t b)
{
    if (b == 0) return 0;
    return static_cast<int64_t>(static_cast<double>(a) / static_cast<double>(b));
}

// The pixels of one span, one at a time: for short spans, the ends of long
// ones and processors without the four-pixel loop.
void span_pixels_single(uint32_t *out, int count, const TexturedSpanSetup &s, int transparent,
                        const uint32_t *texels)
{
    uint32_t U = s.u, V = s.v, W = s.w;
    for (int x = 0; x < count; ++x) {
        const int32_t w = static_cast<int32_t>(W);
        const uint32_t texel = texels[texel_index(quotient(static_cast<int32_t>(U), w),
                                                  quotient(static_cast<int32_t>(V), w))];
        if (!transparent || texel != TransparentTexel) out[x] = texel;
        U += s.du;
        V += s.dv;
        W += s.dw;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define ORVANTI_SPAN_AVX2 1

// Four pixels at a time: U, V and W of the four lanes step by four times
// their increments (wrapping like the one-pixel additions), four divisions
// per instruction, then the four texels loaded one by one (on the AMD cores
// this is measured on, a gather instruction is slower than its four loads:
// the tunnel draws 8 to 11% faster without). Quotients of 32-bit integers
// taken in double precision are exact (the rounding error stays below the
// quotient's gap to the next integer), and the only ones outside the int
// range, from a zero W or INT_MIN / -1, truncate to 0x80000000, whose low 8
// bits are those of the integer definition: 0. The last, partial group is
// stored through a mask, so no pixel past the span is touched; whole groups
// keep the band's pixel under a hole by blending, which is cheaper than a
// masked store.
__attribute__((target("avx2"))) void span_pixels_avx2(uint32_t *out, int count,
                                                      const TexturedSpanSetup &s,
                                                      int transparent, const uint32_t *texels)
{
    constexpr int Lanes = 4;
    const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
    __m128i u = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(s.u)),
                              _mm_mullo_epi32(_mm_set1_epi32(static_cast<int>(s.du)), lane));
    __m128i v = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(s.v)),
                              _mm_mullo_epi32(_mm_set1_epi32(static_cast<int>(s.dv)), lane));
    __m128i w = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(s.w)),
                              _mm_mullo_epi32(_mm_set1_epi32(static_cast<int>(s.dw)), lane));
    const __m128i du = _mm_set1_epi32(static_cast<int>(s.du * Lanes));
    const __m128i dv = _mm_set1_epi32(static_cast<int>(s.dv * Lanes));
    const __m128i dw = _mm_set1_epi32(static_cast<int>(s.dw * Lanes));
    const __m128i mask = _mm_set1_epi32(TextureMask);
    const __m128i zero = _mm_set1_epi32(static_cast<int>(TransparentTexel));
    for (int x = 0; x < count; x += Lanes) {
        const __m256d wd = _mm256_cvtepi32_pd(w);
        const __m128i column = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(u), wd));
        const __m128i row = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(v), wd));
        const __m128i index = _mm_or_si128(_mm_slli_epi32(_mm_and_si128(row, mask), 8),
                                           _mm_and_si128(column, mask));
        alignas(16) uint32_t at[Lanes];
        _mm_store_si128(reinterpret_cast<__m128i *>(at), index);
        __m128i texel = _mm_setr_epi32(static_cast<int>(texels[at[0]]), static_cast<int>(texels[at[1]]),
                                       static_cast<int>(texels[at[2]]), static_cast<int>(texels[at[3]]));
        __m128i *group = reinterpret_cast<__m128i *>(out + x);
        if (count - x >= Lanes) {
            if (transparent)
                texel = _mm_blendv_epi8(texel, _mm_loadu_si128(group), _mm_cmpeq_epi32(texel, zero));
            _mm_storeu_si128(group, texel);
        } else {
            __m128i keep = _mm_cmpgt_epi32(_mm_set1_epi32(count - x), lane);
            if (transparent) keep = _mm_andnot_si128(_mm_cmpeq_epi32(texel, zero), keep);
            _mm_maskstore_epi32(reinterpret_cast<int *>(group), keep, texel);
        }
        u = _mm_add_epi32(u, du);
        v = _mm_add_epi32(v, dv);
        w = _mm_add_epi32(w, dw);
    }
}

// Shorter spans cost less in the one-pixel loop than in setting up the lanes
// (measured on small faces).
constexpr int WideSpanMinimum = 4;
#endif

#if defined(__wasm_simd128__)
#define ORVANTI_SPAN_WASM_SIMD 1

// The four quotients of 32-bit lanes, taken in double precision two at a
// time (exact, as in the AVX2 loop). The conversion back saturates where the
// AVX2 one gives 0x80000000: a quotient of 2^31 or more (INT_MIN / -1, or a
// positive U or V over a zero W) would become INT_MAX, whose low 8 bits are
// not the integer definition's 0, so such lanes are zeroed first; -infinity
// saturates to INT_MIN and 0 / 0 converts to 0, both low bytes 0 already.
inline v128_t wasm_quotients(v128_t a, v128_t b)
{
    const v128_t limit = wasm_f64x2_splat(2147483648.0);
    v128_t low = wasm_f64x2_div(wasm_f64x2_convert_low_i32x4(a), wasm_f64x2_convert_low_i32x4(b));
    v128_t high = wasm_f64x2_div(wasm_f64x2_convert_low_i32x4(wasm_i32x4_shuffle(a, a, 2, 3, 0, 1)),
                                 wasm_f64x2_convert_low_i32x4(wasm_i32x4_shuffle(b, b, 2, 3, 0, 1)));
    low = wasm_v128_andnot(low, wasm_f64x2_ge(low, limit));
    high = wasm_v128_andnot(high, wasm_f64x2_ge(high, limit));
    return wasm_i32x4_shuffle(wasm_i32x4_trunc_sat_f64x2_zero(low), wasm_i32x4_trunc_sat_f64x2_zero(high), 0, 1,
                              4, 5);
}

// Four pixels at a time in WebAssembly SIMD, like the AVX2 loop: the lanes
// step by four increments (wrapping like the one-pixel additions), the four
// texels are loaded one by one, a hole keeps the band's pixel by a select.
// There is no masked store, so the last, partial group is left to the
// one-pixel loop from where the lanes stopped.
void span_pixels_wasm_simd(uint32_t *out, int count, const TexturedSpanSetup &s, int transparent,
                           const uint32_t *texels)
{
    constexpr int Lanes = 4;
    const v128_t lane = wasm_i32x4_make(0, 1, 2, 3);
    v128_t u = wasm_i32x4_add(wasm_i32x4_splat(static_cast<int>(s.u)),
                              wasm_i32x4_mul(wasm_i32x4_splat(static_cast<int>(s.du)), lane));
    v128_t v = wasm_i32x4_add(wasm_i32x4_splat(static_cast<int>(s.v)),
                              wasm_i32x4_mul(wasm_i32x4_splat(static_cast<int>(s.dv)), lane));
    v128_t w = wasm_i32x4_add(wasm_i32x4_splat(static_cast<int>(s.w)),
                              wasm_i32x4_mul(wasm_i32x4_splat(static_cast<int>(s.dw)), lane));
    const v128_t du = wasm_i32x4_splat(static_cast<int>(s.du * Lanes));
    const v128_t dv = wasm_i32x4_splat(static_cast<int>(s.dv * Lanes));
    const v128_t dw = wasm_i32x4_splat(static_cast<int>(s.dw * Lanes));
    const v128_t mask = wasm_i32x4_splat(TextureMask);
    const v128_t zero = wasm_i32x4_splat(0);
    int x = 0;
    for (; count - x >= Lanes; x += Lanes) {
        const v128_t column = wasm_quotients(u, w), row = wasm_quotients(v, w);
        const v128_t index = wasm_v128_or(wasm_i32x4_shl(wasm_v128_and(row, mask), 8), wasm_v128_and(column, mask));
        v128_t texel = wasm_u32x4_make(texels[wasm_u32x4_extract_lane(index, 0)],
                                       texels[wasm_u32x4_extract_lane(index, 1)],
                                       texels[wasm_u32x4_extract_lane(index, 2)],
                                       texels[wasm_u32x4_extract_lane(index, 3)]);
        if (transparent) texel = wasm_v128_bitselect(wasm_v128_load(out + x), texel, wasm_i32x4_eq(texel, zero));
        wasm_v128_store(out + x, texel);
        u = wasm_i32x4_add(u, du);
        v = wasm_i32x4_add(v, dv);
        w = wasm_i32x4_add(w, dw);
    }
    TexturedSpanSetup rest = s;
    rest.u = s.u + s.du * static_cast<uint32_t>(x);
    rest.v = s.v + s.dv * static_cast<uint32_t>(x);
    rest.w = s.w + s.dw * static_cast<uint32_t>(x);
    span_pixels_single(out + x, count - x, rest, transparent, texels);
}

constexpr int WasmWideSpanMinimum = 4;
#endif

}  // namespace

bool SpanAllowWide = true;

void draw_textured_span(double xl, double xr, double ul, double ur, double vl, double vr,
                        double wl, double wr, int row_offset, int transparent,
                        const uint32_t *texels)
{
    TexturedSpanSetup s;
    if (!texels || !RenderTarget.pixels) return;
    if (!span_extent(xl, xr, ul, ur, vl, vr, wl, wr, s)) return;
    uint32_t *out = RenderTarget.pixels + row_offset + s.first;
    const int count = s.last - s.first + 1;
#if defined(ORVANTI_SPAN_AVX2)
    if (CpuHasAvx2 && SpanAllowWide && count >= WideSpanMinimum) {
        span_pixels_avx2(out, count, s, transparent, texels);
        return;
    }
#endif
#if defined(ORVANTI_SPAN_WASM_SIMD)
    if (SpanAllowWide && count >= WasmWideSpanMinimum) {
        span_pixels_wasm_simd(out, count, s, transparent, texels);
        return;
    }
#endif
    span_pixels_single(out, count, s, transparent, texels);
}

namespace {

// The face walk, made once for the shipped span routine (called directly, so
// it can be inlined into the row loop) and once for any other through a pointer.
template <typename Span>
void walk_textured_face(Face *f, int transparent, Span span)
{
    if (!RenderTarget.pixels || !face_in_front(f) || !texture_usable(f->texture)) return;
    const uint32_t *texels = image_words(f->texture);
    const double width = f->texture->width;

    Corner c[3];
    for (int i = 0; i < 3; ++i) {
        const Vertex &p = *f->v[i];
        const double w = 1.0 / static_cast<double>(p.vz);
        c[i] = {static_cast<double>(p.sx), width * p.u * w, width * p.v * w, w, p.sy};
    }
    if (c[0].y > c[1].y) std::swap(c[0], c[1]);
    if (c[1].y > c[2].y) std::swap(c[1], c[2]);
    if (c[0].y > c[1].y) std::swap(c[0], c[1]);
    const Corner &P = c[0], &Q = c[1], &R = c[2];

    const EdgeState step_pq = row_step(P, Q), step_qr = row_step(Q, R), step_pr = row_step(P, R);
    EdgeState short_side = start_at(P), long_side = start_at(P);

    // Upper part, rows P.y to Q.y - 1. Each row's span uses the edge positions
    // of the row below it: the sides advance before the span is drawn.
    int64_t y = P.y;
    if (P.y < 0) {
        if (Q.y > 0) {
            jump_to_row_zero(short_side, step_pq, P.y);
            jump_to_row_zero(long_side, step_pr, P.y);
            y = 0;
        } else if (Q.y - P.y <= HiddenRowWalkLimit) {
            for (; y < Q.y; ++y) {
                advance(short_side, step_pq);
                advance(long_side, step_pr);
            }
        } else {
            const double rows = static_cast<double>(Q.y - P.y);
            advance_by(short_side, step_pq, rows);
            advance_by(long_side, step_pr, rows);
            y = Q.y;
        }
    }
    for (; y < Q.y && y < ViewHeight; ++y) {
        advance(short_side, step_pq);
        advance(long_side, step_pr);
        span_between(short_side, long_side, y, transparent, texels, span);
    }
    if (Q.y >= ViewHeight) return;

    if (P.y == Q.y) {
        short_side = start_at(Q);
        long_side = start_at(P);
    }

    // Lower part, rows Q.y to R.y - 1.
    y = Q.y;
    if (Q.y < 0) {
        if (R.y <= 0) return;
        jump_to_row_zero(short_side, step_qr, Q.y);
        jump_to_row_zero(long_side, step_pr, Q.y);
        y = 0;
    }
    for (; y < R.y && y < ViewHeight; ++y) {
        advance(short_side, step_qr);
        advance(long_side, step_pr);
        span_between(short_side, long_side, y, transparent, texels, span);
    }
}

}  // namespace

void draw_face_textured(Face *f, int transparent)
{
    walk_textured_face(f, transparent,
                       [](double xl, double xr, double ul, double ur, double vl, double vr, double wl,
                          double wr, int row_offset, int transparent_, const uint32_t *texels) {
                           draw_textured_span(xl, xr, ul, ur, vl, vr, wl, wr, row_offset, transparent_, texels);
                       });
}

void draw_face_textured_with(Face *f, int transparent, TexturedSpanRoutine span)
{
    if (span) walk_textured_face(f, transparent, span);
}
