// Flat-filled faces: edges scanned into per-row span limits, then one run per row.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"

namespace {

// The walkers work in 64 bits with the 16.16 scale, so that no edge can overflow.
constexpr int64_t FixedOne = Fixed16One;
constexpr int64_t FixedHalf = Fixed16One / 2;  // starts the walker in the middle of its first pixel
// Longer x-major edges are recorded row by row instead of point by point:
// same tables, but the time no longer grows with the edge's length.
constexpr int64_t PointWalkLimit = 2048;

inline void record(int32_t *left, int32_t *right, int64_t x, int64_t row)
{
    if (row < 0 || row >= ViewHeight) return;
    const int32_t px = static_cast<int32_t>(x);  // x always lies between the edge's ends
    left[row] = std::min(left[row], px);
    right[row] = std::max(right[row], px);
}

int64_t floor_div(int64_t a, int64_t b)  // b > 0
{
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

int64_t ceil_div(int64_t a, int64_t b)  // b > 0
{
    return -floor_div(-a, b);
}

// An x-major edge walked as its rows: point i lies at x0 + i * xdir on row
// (acc0 + i * step) >> Fixed16Shift, rows change by at most one per point and x moves
// monotonically, so each row's smallest and largest x are those of its first
// and last point.
void record_rows(int64_t x0, int xdir, int64_t n, int64_t acc0, int64_t step, int32_t *left,
                 int32_t *right)
{
    if (step == 0) {
        record(left, right, x0, acc0 >> Fixed16Shift);
        record(left, right, x0 + n * xdir, acc0 >> Fixed16Shift);
        return;
    }
    const int64_t row_a = acc0 >> Fixed16Shift, row_b = (acc0 + n * step) >> Fixed16Shift;
    const int64_t first_row = std::max<int64_t>(std::min(row_a, row_b), 0);
    const int64_t last_row = std::min<int64_t>(std::max(row_a, row_b), ViewHeight - 1);
    for (int64_t r = first_row; r <= last_row; ++r) {
        int64_t lo, hi;  // the points on row r
        if (step > 0) {
            lo = ceil_div(r * FixedOne - acc0, step);
            hi = ceil_div((r + 1) * FixedOne - acc0, step) - 1;
        } else {
            lo = floor_div(acc0 - (r + 1) * FixedOne, -step) + 1;
            hi = floor_div(acc0 - r * FixedOne, -step);
        }
        lo = std::max<int64_t>(lo, 0);
        hi = std::min(hi, n);
        if (lo > hi) continue;
        record(left, right, x0 + lo * xdir, r);
        record(left, right, x0 + hi * xdir, r);
    }
}

}  // namespace

void scan_edge(int x0, int y0, int x1, int y1, int32_t *left, int32_t *right)
{
    // 64-bit throughout: the walker's results are those of 16.16 arithmetic
    // wherever that does not overflow, and still defined where it would.
    const int64_t adx = std::abs(static_cast<int64_t>(x0) - x1);
    const int64_t ady = std::abs(static_cast<int64_t>(y0) - y1);
    if (adx > ady) {
        const int xdir = x1 > x0 ? 1 : -1;
        int64_t step = ady * FixedOne / adx;
        if (y0 > y1) step = -step;
        const int64_t acc0 = static_cast<int64_t>(y0) * FixedOne + FixedHalf;
        if (adx > PointWalkLimit) {
            record_rows(x0, xdir, adx, acc0, step, left, right);
            return;
        }
        // Points of one row come one after another with x moving one way, so
        // only the first and last of each run are recorded: the same smallest
        // and largest x as recording every point, without a read and a write
        // of the tables per point.
        int64_t acc = acc0 + step, x = x0 + xdir, run_first = x0, row = acc0 >> Fixed16Shift;
        for (int64_t i = 1; i <= adx; ++i, x += xdir, acc += step) {
            const int64_t point_row = acc >> Fixed16Shift;
            if (point_row != row) {
                record(left, right, run_first, row);
                record(left, right, x - xdir, row);
                run_first = x;
                row = point_row;
            }
        }
        record(left, right, run_first, row);
        record(left, right, x - xdir, row);
    } else {
        const int ydir = y1 > y0 ? 1 : -1;
        int64_t step = ady == 0 ? 0 : adx * FixedOne / ady;
        if (x0 > x1) step = -step;
        const int64_t acc0 = static_cast<int64_t>(x0) * FixedOne + FixedHalf;
        // Only points on the view's rows are recorded, so walk just those.
        int64_t first, last;
        if (ydir > 0) {
            first = std::max<int64_t>(0, -static_cast<int64_t>(y0));
            last = std::min<int64_t>(ady, static_cast<int64_t>(ViewHeight) - 1 - y0);
        } else {
            first = std::max<int64_t>(0, static_cast<int64_t>(y0) - (ViewHeight - 1));
            last = std::min<int64_t>(ady, y0);
        }
        for (int64_t i = first; i <= last; ++i)
            record(left, right, (acc0 + i * step) >> Fixed16Shift, static_cast<int64_t>(y0) + i * ydir);
    }
}

void draw_face_flat(Face *f, const Rgb *colour)
{
    if (!RenderTarget.pixels || !colour || !face_in_front(f)) return;
    const Vertex *a = f->v[0], *b = f->v[1], *c = f->v[2];
    // Every edge records only rows between its ends, so the rows outside the
    // face's own are never touched: only those are reset and filled.
    const int top = std::max(std::min({a->sy, b->sy, c->sy}), 0);
    const int bottom = std::min(std::max({a->sy, b->sy, c->sy}), ViewHeight - 1);
    if (top > bottom) return;
    int32_t left[ViewHeight], right[ViewHeight];
    std::fill(left + top, left + bottom + 1, SpanNoLeft);
    std::fill(right + top, right + bottom + 1, SpanNoRight);

    scan_edge(a->sx, a->sy, b->sx, b->sy, left, right);
    scan_edge(a->sx, a->sy, c->sx, c->sy, left, right);
    scan_edge(b->sx, b->sy, c->sx, c->sy, left, right);

    const uint32_t pixel = rgb_pixel(colour);
    for (int y = top; y <= bottom; ++y) {
        if (left[y] == SpanNoLeft || right[y] == SpanNoRight) continue;
        const int l = std::max(left[y], 0);
        const int r = std::min(right[y], ViewWidth - 1);
        if (l > r) continue;
        uint32_t *row = RenderTarget.pixels + y * RenderTarget.pitch;
        std::fill(row + l, row + r + 1, pixel);
    }
}
