// Full-band pixel routines several scenes share: copy, warps, inversions, sprite.
#include "scenes/image_ops.h"

#include <cstddef>
#include <cstring>

#include "raster/render_target.h"

namespace {

constexpr int WarpSide = 256;      // warp textures and warp_texture output are 256 wide
constexpr int WarpModulus = 255;   // sums wrap modulo 255: row and column 255 are never sampled
constexpr int OffsetByte = 0xFF;   // only the low byte of an offset counts
constexpr uint32_t InvertMask = 0x00FFFFFF;  // the three colour bytes; the top byte stays

inline uint32_t warp_sample(const uint32_t *texture, uint8_t mx, uint8_t my, int ox, int oy)
{
    int tx = (mx + ox) % WarpModulus;
    int ty = (my + oy) % WarpModulus;
    return texture[WarpSide * ty + tx];
}

} // namespace

void copy_band(const uint32_t *src)
{
    for (int r = 0; r < BandHeight; r++)
        memcpy(RenderTarget.pixels + static_cast<ptrdiff_t>(r) * RenderTarget.pitch,
               src + static_cast<ptrdiff_t>(r) * BandWidth, BandWidth * sizeof(uint32_t));
}

void warp_band(const uint8_t *map_x, const uint8_t *map_y, const uint32_t *texture, int offset_x,
               int offset_y)
{
    int ox = offset_x & OffsetByte;
    int oy = offset_y & OffsetByte;
    for (int r = 0; r < BandHeight; r++) {
        uint32_t *row = RenderTarget.pixels + static_cast<ptrdiff_t>(r) * RenderTarget.pitch;
        const uint8_t *mx = map_x + r * BandWidth;
        const uint8_t *my = map_y + r * BandWidth;
        for (int c = 0; c < BandWidth; c++)
            row[c] = warp_sample(texture, mx[c], my[c], ox, oy);
    }
}

void warp_texture(uint32_t *dst, const uint8_t *map_x, const uint8_t *map_y, const uint32_t *texture,
                  int offset_x, int offset_y)
{
    int ox = offset_x & OffsetByte;
    int oy = offset_y & OffsetByte;
    for (int i = 0; i < WarpSide * WarpSide; i++)
        dst[i] = warp_sample(texture, map_x[i], map_y[i], ox, oy);
}

void invert_band()
{
    // The whole pitch: on a display surface the extra words are inverted too.
    size_t count = static_cast<size_t>(BandHeight) * RenderTarget.pitch;
    for (size_t i = 0; i < count; i++)
        RenderTarget.pixels[i] ^= InvertMask;
}

void invert_image(Image *image)
{
    uint32_t *words = image_words(image);
    size_t count = static_cast<size_t>(image->width) * image->height;
    for (size_t i = 0; i < count; i++)
        words[i] ^= InvertMask;
}

// A rectangle's start below 0 moves to 0; its partner start (source or
// destination) moves with it and the extent shrinks by as much.
static void clip_low_edge(int64_t *start, int64_t *partner, int64_t *extent)
{
    if (*start < 0) {
        *partner -= *start;
        *extent += *start;
        *start = 0;
    }
}

// An extent that would run past `limit` ends there.
static void clip_high_edge(int64_t start, int64_t *extent, int64_t limit)
{
    if (start + *extent > limit)
        *extent = limit - start;
}

void draw_sprite(int x, int y, int w, int h, const Image *image, int src_x, int src_y, uint32_t key)
{
    if (!image->pixels)
        return;
    // 64-bit arithmetic: the clipping sums must not overflow for any int input.
    int64_t dx = x, dy = y, sx = src_x, sy = src_y;
    int64_t width = image->width, height = image->height;
    int64_t cw = (w == -1) ? width : w;
    int64_t ch = (h == -1) ? height : h;

    if (dx + cw < 0 || dx >= BandWidth || dy + ch < 0 || dy >= BandHeight || cw <= 0 || ch <= 0)
        return;
    clip_low_edge(&dx, &sx, &cw);
    clip_low_edge(&dy, &sy, &ch);
    // A source corner left of or above the picture would read before its
    // first pixel: skip the part of the rectangle that lies outside it.
    clip_low_edge(&sx, &dx, &cw);
    clip_low_edge(&sy, &dy, &ch);
    clip_high_edge(sx, &cw, width);
    clip_high_edge(sy, &ch, height);
    if (sx > width || sy > height || cw <= 0 || ch <= 0)
        return;
    clip_high_edge(dx, &cw, BandWidth);
    clip_high_edge(dy, &ch, BandHeight);
    if (cw <= 0 || ch <= 0)
        return;

    const uint32_t *words = image_words(image);
    for (int64_t row = 0; row < ch; row++) {
        const uint32_t *src = words + (sy + row) * width + sx;
        uint32_t *dst = RenderTarget.pixels + (dy + row) * RenderTarget.pitch + dx;
        for (int64_t col = 0; col < cw; col++) {
            if (src[col] != key)
                dst[col] = src[col];
        }
    }
}

void fill_band(int byte)
{
    memset(RenderTarget.pixels, byte, static_cast<size_t>(BandHeight) * RenderTarget.pitch * sizeof(uint32_t));
}
