// The browser build's SIMD loops against its plain ones, run under Node:
// random texture spans (absurd coordinates, zero and tiny depths, holes) and
// warps over every map byte at the offsets where the wrap turns must give
// the same words, inside the band and in the guard rows around it.
// The lanes' quotients are checked on their own against integer division at
// the cases random spans seldom reach: exact multiples and their neighbours,
// the int range's ends, zero divisors.
// Exit status 0 when they agree; the first difference is printed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "raster/raster.h"
#include "raster/render_target.h"
#include "raster/wasm_quotients.h"
#include "scenes/image_ops.h"

namespace {

constexpr int GuardRows = 2;
constexpr int Pitch = BandWidth + 8;  // a stride wider than the band, as in 24- and 16-bit modes

struct GuardedBand {
    std::vector<uint32_t> words = std::vector<uint32_t>(static_cast<size_t>(Pitch) * (BandHeight + 2 * GuardRows));
    uint32_t *band() { return words.data() + GuardRows * Pitch; }
};

double pick(std::mt19937 &rng, double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(rng);
}

// A depth term: ordinary, tiny (8.24 of it is 0 or 1), huge or zero.
double pick_w(std::mt19937 &rng)
{
    switch (rng() % 6) {
    case 0: return 0.0;
    case 1: return pick(rng, 0.0, 2e-7);
    case 2: return pick(rng, 100.0, 130.0);
    default: return pick(rng, 1e-4, 2.0);
    }
}

// A texture coordinate over w: ordinary, far past the 8.24 range, or where
// its 8.24 value nears 2^51 (the lanes' conversion hands over there), either sign.
double pick_u(std::mt19937 &rng)
{
    switch (rng() % 8) {
    case 0: return pick(rng, -1e12, 1e12);
    case 1: return (rng() % 2 ? 1.0 : -1.0) * std::ldexp(pick(rng, 0.999, 1.001), 27);
    default: return pick(rng, -300.0, 300.0);
    }
}

// The span's quotient by its definition: a zero divisor gives 0, and only
// the low 32 bits are kept (INT_MIN / -1 gives 2^31).
uint32_t integer_quotient(int32_t a, int32_t b)
{
    return b == 0 ? 0u : static_cast<uint32_t>(int64_t{a} / int64_t{b});
}

bool quotients_agree()
{
    std::mt19937 rng(7);
    const int32_t ends[] = {0, 1, -1, 2, -2, 3, 255, 256, -256, 65536, INT32_MAX, INT32_MIN, INT32_MIN + 1,
                            INT32_MAX - 1, 1 << 30, -(1 << 30), 46341, -46341};
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (int32_t a : ends)
        for (int32_t b : ends) pairs.push_back({a, b});
    for (int n = 0; n < 400000; n++) {
        // A divisor of any size, a multiple of it that fits, then a neighbour.
        const int bits = static_cast<int>(rng() % 32);
        int32_t b = static_cast<int32_t>(rng() >> (31 - bits)) * (rng() % 2 ? 1 : -1);
        if (b == 0) b = 1;
        const int64_t reach = INT64_C(2147483647) / (b < 0 ? -int64_t{b} : int64_t{b});
        const int64_t q = static_cast<int64_t>(rng() % static_cast<uint64_t>(2 * reach + 1)) - reach;
        const int64_t a = q * b + static_cast<int64_t>(rng() % 3) - 1;
        if (a >= INT32_MIN && a <= INT32_MAX) pairs.push_back({static_cast<int32_t>(a), b});
        pairs.push_back({static_cast<int32_t>(rng()), static_cast<int32_t>(rng())});
    }
    while (pairs.size() % 4) pairs.push_back({0, 0});
    for (size_t i = 0; i < pairs.size(); i += 4) {
        const v128_t a = wasm_i32x4_make(pairs[i].first, pairs[i + 1].first, pairs[i + 2].first, pairs[i + 3].first);
        const v128_t b = wasm_i32x4_make(pairs[i].second, pairs[i + 1].second, pairs[i + 2].second,
                                         pairs[i + 3].second);
        v128_t q, negated;
        wasm_quotients(a, wasm_i32x4_neg(a), b, q, negated);
        uint32_t got[4], got_negated[4];
        wasm_v128_store(got, q);
        wasm_v128_store(got_negated, negated);
        for (size_t k = 0; k < 4; k++) {
            const auto [x, y] = pairs[i + k];
            if (got[k] != integer_quotient(x, y) || got_negated[k] != integer_quotient(static_cast<int32_t>(0u - static_cast<uint32_t>(x)), y)) {
                printf("check_wide_loops: the lanes' quotient of %d by %d is %u, not %u\n", x, y, got[k],
                       integer_quotient(x, y));
                return false;
            }
        }
    }
    printf("check_wide_loops: %zu lane quotients agree\n", pairs.size());
    return true;
}

bool spans_agree()
{
    std::mt19937 rng(2027);
    std::vector<uint32_t> texels(256 * 256);
    GuardedBand wide, plain;
    RenderTarget.pitch = Pitch;
    for (int n = 0; n < 40000; n++) {
        if (n % 2000 == 0) {
            for (uint32_t &t : texels) t = rng() % 5 == 0 ? 0 : (rng() & 0x00FFFFFF);
            for (size_t i = 0; i < wide.words.size(); i++) wide.words[i] = plain.words[i] = rng();
        }
        const double xl = pick(rng, -40.0, 680.0), xr = xl + pick(rng, -5.0, n % 3 ? 40.0 : 700.0);
        const double ul = pick_u(rng), ur = pick_u(rng), vl = pick_u(rng), vr = pick_u(rng);
        const double wl = pick_w(rng), wr = pick_w(rng);
        const int row = static_cast<int>(rng() % BandHeight) * Pitch, transparent = static_cast<int>(rng() % 2);
        SpanAllowWide = true;
        RenderTarget.pixels = wide.band();
        draw_textured_span(xl, xr, ul, ur, vl, vr, wl, wr, row, transparent, texels.data());
        SpanAllowWide = false;
        RenderTarget.pixels = plain.band();
        draw_textured_span(xl, xr, ul, ur, vl, vr, wl, wr, row, transparent, texels.data());
        SpanAllowWide = true;
        // A span writes one row; the whole buffer is compared once a batch.
        const uint32_t *a = wide.band() + row, *b = plain.band() + row;
        const bool batch_end = n % 2000 == 1999;
        if (!std::equal(a, a + Pitch, b) || (batch_end && wide.words != plain.words)) {
            printf("check_wide_loops: span %d (x %.3f to %.3f, u %g %g, v %g %g, w %g %g) differs\n", n, xl, xr, ul,
                   ur, vl, vr, wl, wr);
            return false;
        }
    }
    printf("check_wide_loops: 40000 spans agree\n");
    return true;
}

bool warps_agree()
{
    std::mt19937 rng(31);
    std::vector<uint32_t> texture(256 * 256);
    for (size_t i = 0; i < texture.size(); i++) texture[i] = static_cast<uint32_t>(i) * 2654435761u;
    std::vector<uint8_t> mx(BandWidth * BandHeight), my(BandWidth * BandHeight);
    for (size_t i = 0; i < mx.size(); i++) {
        mx[i] = static_cast<uint8_t>(i < 256 ? i : rng());
        my[i] = static_cast<uint8_t>(i < 256 ? 255 - i : rng());
    }
    GuardedBand wide, plain;
    std::vector<uint32_t> wide_texture(256 * 256), plain_texture(256 * 256);
    RenderTarget.pitch = Pitch;
    for (int offset : {0, 1, 127, 254, 255, 256, -1}) {
        WarpAllowWide = true;
        RenderTarget.pixels = wide.band();
        warp_band(mx.data(), my.data(), texture.data(), offset, 255 - offset);
        warp_texture(wide_texture.data(), mx.data(), my.data(), texture.data(), 255 - offset, offset);
        WarpAllowWide = false;
        RenderTarget.pixels = plain.band();
        warp_band(mx.data(), my.data(), texture.data(), offset, 255 - offset);
        warp_texture(plain_texture.data(), mx.data(), my.data(), texture.data(), 255 - offset, offset);
        WarpAllowWide = true;
        if (wide.words != plain.words || wide_texture != plain_texture) {
            printf("check_wide_loops: the warps at offset %d differ\n", offset);
            return false;
        }
    }
    printf("check_wide_loops: warps at 7 offsets agree\n");
    return true;
}

}  // namespace

int main()
{
    const bool quotients = quotients_agree();
    const bool spans = spans_agree();
    const bool warps = warps_agree();
    return quotients && spans && warps ? 0 : 1;
}
