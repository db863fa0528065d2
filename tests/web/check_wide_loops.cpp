// The browser build's SIMD loops against its plain ones, run under Node:
// random texture spans (absurd coordinates, zero and tiny depths, holes) and
// warps over every map byte at the offsets where the wrap turns must give
// the same words, inside the band and in the guard rows around it.
// Exit status 0 when they agree; the first difference is printed.
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "raster/raster.h"
#include "raster/render_target.h"
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

// A texture coordinate over w: ordinary, or far past the 8.24 range, either sign.
double pick_u(std::mt19937 &rng)
{
    return rng() % 4 ? pick(rng, -300.0, 300.0) : pick(rng, -1e12, 1e12);
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
    const bool spans = spans_agree();
    const bool warps = warps_agree();
    return spans && warps ? 0 : 1;
}
