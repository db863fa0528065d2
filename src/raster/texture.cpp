// Perspective-correct texture mapper: u/z, v/z and 1/z walked down the edges
// in double precision, across each span in 8.24 fixed point, divided per pixel.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "data/image.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"
#include "raster/wasm_quotients.h"

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
    // Far outside: every such double is an integer, its 53-bit significand
    // shifted left by 10 or more places, so its low 32 bits are the shifted
    // significand's (none are left from a shift of 32), negated for a
    // negative value, as a wider integer type would give them.
    uint64_t bits;
    std::memcpy(&bits, &scaled, sizeof bits);
    const int shift = static_cast<int>((bits >> 52) & 0x7FF) - 1075;
    const uint64_t significand = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const uint32_t low = shift >= 32 ? 0 : static_cast<uint32_t>(significand << shift);
    return scaled < 0 ? 0u - low : low;
}

#if defined(__wasm_simd128__)
// The six start values and steps in 8.24 at once, where all are within 2^51
// of zero once scaled: truncated and read from the significand as in the
// lanes' quotients, which costs far less here than six guarded conversions
// to int64. False, with nothing set, for any value beyond (or not finite).
inline bool wasm_fixed_8_24(double u, double v, double w, double du, double dv, double dw, TexturedSpanSetup &s)
{
    const v128_t one = wasm_f64x2_splat(Fixed24One), limit = wasm_f64x2_splat(0x1p51);
    const v128_t a = wasm_f64x2_mul(wasm_f64x2_make(u, v), one);
    const v128_t b = wasm_f64x2_mul(wasm_f64x2_make(w, du), one);
    const v128_t c = wasm_f64x2_mul(wasm_f64x2_make(dv, dw), one);
    const v128_t inside = wasm_v128_and(wasm_v128_and(wasm_f64x2_lt(wasm_f64x2_abs(a), limit),
                                                      wasm_f64x2_lt(wasm_f64x2_abs(b), limit)),
                                        wasm_f64x2_lt(wasm_f64x2_abs(c), limit));
    if (!wasm_i64x2_all_true(inside)) return false;
    const v128_t first = wasm_truncated_low_words(a, b), second = wasm_truncated_low_words(c, c);
    s.u = wasm_u32x4_extract_lane(first, 0);
    s.v = wasm_u32x4_extract_lane(first, 1);
    s.w = wasm_u32x4_extract_lane(first, 2);
    s.du = wasm_u32x4_extract_lane(first, 3);
    s.dv = wasm_u32x4_extract_lane(second, 0);
    s.dw = wasm_u32x4_extract_lane(second, 1);
    return true;
}
#endif

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
#if defined(__wasm_simd128__)
    if (SpanAllowWide && wasm_fixed_8_24(u, v, w, du, dv, dw, s)) return true;
#endif
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

// Four pixels at a time in WebAssembly SIMD, like the AVX2 loop: the lanes
// step by four increments (wrapping like the one-pixel additions), and the
// quotients come from one reciprocal a lane (see wasm_quotients.h). Short
// spans and the last, partial group take the same road, pixels stored one
// by one. Built once for opaque and once for transparent faces, so that
// neither tests the choice per pixel.

// The texel indices of a group of four pixels.
inline v128_t wasm_texel_indices(v128_t u, v128_t v, v128_t w)
{
    const v128_t mask = wasm_i32x4_splat(TextureMask);
    v128_t column, row;
    wasm_quotients(u, v, w, column, row);
    return wasm_v128_or(wasm_i32x4_shl(wasm_v128_and(row, mask), 8), wasm_v128_and(column, mask));
}

// One pixel, left alone under a hole.
template <bool Transparent>
inline void wasm_put(uint32_t *out, uint32_t texel)
{
    if (!Transparent || texel != TransparentTexel) *out = texel;
}

// The texels of a group: all four, or the first `left` of them at a span's
// end. A whole transparent group keeps the band's pixel under a hole by a
// select; an opaque one is four plain stores, cheaper here than building a
// vector.
template <bool Transparent>
inline void wasm_store_group(uint32_t *out, v128_t index, const uint32_t *texels, int left)
{
    const uint32_t t0 = texels[wasm_u32x4_extract_lane(index, 0)];
    const uint32_t t1 = texels[wasm_u32x4_extract_lane(index, 1)];
    const uint32_t t2 = texels[wasm_u32x4_extract_lane(index, 2)];
    if (left >= 4) {
        const uint32_t t3 = texels[wasm_u32x4_extract_lane(index, 3)];
        if (Transparent) {
            const v128_t texel = wasm_u32x4_make(t0, t1, t2, t3);
            const v128_t hole = wasm_i32x4_eq(texel, wasm_i32x4_splat(0));
            wasm_v128_store(out, wasm_v128_bitselect(wasm_v128_load(out), texel, hole));
        } else {
            out[0] = t0;
            out[1] = t1;
            out[2] = t2;
            out[3] = t3;
        }
        return;
    }
    wasm_put<Transparent>(out, t0);
    if (left > 1) wasm_put<Transparent>(out + 1, t1);
    if (left > 2) wasm_put<Transparent>(out + 2, t2);
}

template <bool Transparent>
void span_pixels_wasm_simd(uint32_t *out, int count, const TexturedSpanSetup &s, const uint32_t *texels)
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
    for (int x = 0; x < count; x += Lanes) {
        wasm_store_group<Transparent>(out + x, wasm_texel_indices(u, v, w), texels, count - x);
        u = wasm_i32x4_add(u, du);
        v = wasm_i32x4_add(v, dv);
        w = wasm_i32x4_add(w, dw);
    }
}

void span_pixels_wasm_simd(uint32_t *out, int count, const TexturedSpanSetup &s, int transparent,
                           const uint32_t *texels)
{
    if (transparent)
        span_pixels_wasm_simd<true>(out, count, s, texels);
    else
        span_pixels_wasm_simd<false>(out, count, s, texels);
}
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
    if (SpanAllowWide) {
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
