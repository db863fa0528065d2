// The textured span written plainly, with two integer divisions per pixel:
// the reference that any faster span routine must match pixel for pixel.
#pragma once
#include <cmath>
#include <cstdint>
#include <utility>

#include "raster/raster.h"
#include "raster/render_target.h"

// Integer quotient with the mapper's definitions for the two cases C++
// leaves undefined: a zero divisor gives 0, INT_MIN / -1 wraps to INT_MIN.
inline int32_t reference_quotient(int32_t a, int32_t b)
{
    if (b == 0) return 0;
    if (b == -1) return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
    return a / b;
}

inline void reference_textured_span(double xl, double xr, double ul, double ur, double vl,
                                    double vr, double wl, double wr, int row_offset,
                                    int transparent, const uint32_t *texels)
{
    constexpr int view_width = 640;
    if (xl > xr) {
        std::swap(xl, xr);
        std::swap(ul, ur);
        std::swap(vl, vr);
        std::swap(wl, wr);
    }
    const double width = xr - xl;
    if (!(width > 0) || !(xr > 0) || !(xl < view_width)) return;
    const double du = (ur - ul) / width, dv = (vr - vl) / width, dw = (wr - wl) / width;
    const double first = std::trunc(xl);
    double last = first + std::trunc(width);
    if (!(last >= 0)) return;
    if (last > view_width - 1) last = view_width - 1;
    int x = static_cast<int>(first);
    double u = ul, v = vl, w = wl;
    if (first < 0) {
        x = 0;
        u = ul - du * xl;
        v = vl - dv * xl;
        w = wl - dw * xl;
    }
    uint32_t U = to_fixed_8_24(u), V = to_fixed_8_24(v), W = to_fixed_8_24(w);
    const uint32_t dU = to_fixed_8_24(du), dV = to_fixed_8_24(dv), dW = to_fixed_8_24(dw);
    uint32_t *out = RenderTarget.pixels + row_offset;
    for (; x <= static_cast<int>(last); ++x) {
        const int32_t column = reference_quotient(static_cast<int32_t>(U), static_cast<int32_t>(W));
        const int32_t row = reference_quotient(static_cast<int32_t>(V), static_cast<int32_t>(W));
        const uint32_t texel = texels[(row & 255) * 256 + (column & 255)];
        if (!transparent || texel != 0) out[x] = texel;
        U += dU;
        V += dV;
        W += dW;
    }
}
