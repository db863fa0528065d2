// Clipped lines and wireframe faces in one colour.
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "engine/view.h"
#include "raster/raster.h"
#include "raster/raster_util.h"
#include "raster/render_target.h"

namespace {

constexpr int ClipPasses = 3;

// One end moved onto the view edges named in code. The deltas are 64-bit
// because the caller's ends may lie anywhere in the int range; the quotients
// are taken in double and every result is truncated safely, so even absurd
// ends give a defined (and then rejected or clipped) position. Each step
// stores its result as an int, saturated at the ends of the int range.
void clip_end(int *x, int *y, int64_t dx, int64_t dy, int code)
{
    double px = *x, py = *y;
    const double fdx = static_cast<double>(dx), fdy = static_cast<double>(dy);
    // A zero delta cannot meet its own edge bit (both ends would share it and
    // the line is rejected first); the tests keep a direct caller defined too.
    if ((code & OutRight) && dx != 0) {
        py = truncate_to_int(py + fdy * (ViewWidth - 1 - px) / fdx);
        px = ViewWidth - 1;
    }
    if ((code & OutLeft) && dx != 0) {
        py = truncate_to_int(py + fdy * -px / fdx);
        px = 0;
    }
    if ((code & OutTop) && dy != 0) {
        px = truncate_to_int(px + fdx * -py / fdy);
        py = 0;
    }
    if ((code & OutBottom) && dy != 0) {
        px = truncate_to_int(px + fdx * (ViewHeight - 1 - py) / fdy);
        py = ViewHeight - 1;
    }
    *x = static_cast<int>(px);
    *y = static_cast<int>(py);
}

}  // namespace

int outcode(int x, int y)
{
    int code = 0;
    if (x < 0) code |= OutLeft;
    if (x >= ViewWidth) code |= OutRight;
    if (y < 0) code |= OutTop;
    if (y >= ViewHeight) code |= OutBottom;
    return code;
}

void clip_line_end(int *x, int *y, int dx, int dy, int code)
{
    clip_end(x, y, dx, dy, code);
}

int clip_line(int *x0, int *y0, int *x1, int *y1)
{
    // The deltas of the ends as given: both ends move along this one line.
    const int64_t dx = static_cast<int64_t>(*x1) - *x0;
    const int64_t dy = static_cast<int64_t>(*y1) - *y0;
    for (int pass = 0; pass < ClipPasses; ++pass) {
        int c0 = outcode(*x0, *y0), c1 = outcode(*x1, *y1);
        if ((c0 | c1) == 0) return 0;
        if (c0 & c1) return -1;
        if (c0) clip_end(x0, y0, dx, dy, c0);

        c0 = outcode(*x0, *y0);
        c1 = outcode(*x1, *y1);
        if ((c0 | c1) == 0) return 0;
        if (c0 & c1) return -1;
        if (c1) clip_end(x1, y1, dx, dy, c1);
    }
    return -1;
}

void draw_line(int x0, int y0, int x1, int y1, const Rgb *colour)
{
    if (!RenderTarget.pixels || !colour) return;
    if (clip_line(&x0, &y0, &x1, &y1) != 0) return;
    // From here both ends lie inside the view, so no product below can overflow.
    // The target is read once: a pixel store could otherwise be taken to
    // change its pitch, which would then be read again for every pixel.
    const uint32_t c = rgb_pixel(colour);
    uint32_t *const pixels = RenderTarget.pixels;
    const int pitch = RenderTarget.pitch;
    if (std::abs(x1 - x0) > std::abs(y1 - y0)) {
        if (x0 > x1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const int n = x1 - x0;
        const Fixed16 step = (y1 - y0) * Fixed16One / n;
        Fixed16 acc = y0 * Fixed16One;
        for (int x = x0; x <= x1; ++x, acc += step) pixels[(acc >> Fixed16Shift) * pitch + x] = c;
    } else {
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const int n = y1 - y0;
        const Fixed16 step = n == 0 ? 0 : (x1 - x0) * Fixed16One / n;
        Fixed16 acc = x0 * Fixed16One;
        uint32_t *row = pixels + y0 * pitch;
        for (int y = y0; y <= y1; ++y, acc += step, row += pitch) row[acc >> Fixed16Shift] = c;
    }
}

void draw_face_wire(Face *f, const Rgb *colour)
{
    if (!face_in_front(f)) return;
    const Vertex *a = f->v[0], *b = f->v[1], *c = f->v[2];
    draw_line(a->sx, a->sy, b->sx, b->sy, colour);
    draw_line(a->sx, a->sy, c->sx, c->sy, colour);
    draw_line(c->sx, c->sy, b->sx, b->sy, colour);
}

void draw_face_wire_shifted(Face *f, const Rgb *colour, float shift)
{
    if (!face_in_front(f)) return;
    // Truncated towards zero, as every screen position is.
    auto moved = [](int32_t sx, float by) { return static_cast<int32_t>(static_cast<float>(sx) + by); };
    const Vertex *a = f->v[0], *b = f->v[1], *c = f->v[2];
    int ax = moved(a->sx, shift), bx = moved(b->sx, -shift), cx = moved(c->sx, shift);
    draw_line(ax, a->sy, bx, b->sy, colour);
    draw_line(ax, a->sy, cx, c->sy, colour);
    draw_line(cx, c->sy, bx, b->sy, colour);
}
