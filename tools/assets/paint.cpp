// Drawing helpers for the generated pictures: colour, hashing, tileable noise.
#include "paint.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

uint8_t clamp_byte(double value)
{
    if (!(value > 0.0))  // also catches NaN
        return 0;
    if (value >= 255.0)
        return 255;
    return static_cast<uint8_t>(value + 0.5);
}

uint32_t pack_rgb(double r, double g, double b)
{
    return static_cast<uint32_t>(clamp_byte(r)) << 16 | static_cast<uint32_t>(clamp_byte(g)) << 8 |
           clamp_byte(b);
}

uint32_t pack_colour(Colour c)
{
    return pack_rgb(c.r, c.g, c.b);
}

Colour hsv_colour(double hue_turns, double saturation, double value)
{
    double h = hue_turns - std::floor(hue_turns);
    double sector = h * 6.0;
    int i = static_cast<int>(sector) % 6;
    double f = sector - std::floor(sector);
    double p = value * (1.0 - saturation);
    double q = value * (1.0 - saturation * f);
    double t = value * (1.0 - saturation * (1.0 - f));
    double r, g, b;
    switch (i) {
    case 0: r = value, g = t, b = p; break;
    case 1: r = q, g = value, b = p; break;
    case 2: r = p, g = value, b = t; break;
    case 3: r = p, g = q, b = value; break;
    case 4: r = t, g = p, b = value; break;
    default: r = value, g = p, b = q; break;
    }
    return {r * 255.0, g * 255.0, b * 255.0};
}

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

Colour mix_colour(Colour a, Colour b, double t)
{
    return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)};
}

double smoothstep(double edge0, double edge1, double x)
{
    double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

uint32_t hash3(uint32_t salt, int32_t x, int32_t y)
{
    uint32_t h = salt * 0x9E3779B1u ^ static_cast<uint32_t>(x) * 0x85EBCA77u ^
                 static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double hash_unit(uint32_t salt, int32_t x, int32_t y)
{
    return (hash3(salt, x, y) >> 8) * (1.0 / 16777215.0);
}

namespace {

int wrap(int value, int period)
{
    int m = value % period;
    return m < 0 ? m + period : m;
}

} // namespace

double tile_noise(double x, double y, int period_x, int period_y, uint32_t salt)
{
    period_x = std::max(period_x, 1);
    period_y = std::max(period_y, 1);
    double fx = std::floor(x), fy = std::floor(y);
    int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    double tx = smoothstep(0.0, 1.0, x - fx), ty = smoothstep(0.0, 1.0, y - fy);
    int ax = wrap(x0, period_x), bx = wrap(x0 + 1, period_x);
    int ay = wrap(y0, period_y), by = wrap(y0 + 1, period_y);
    double top = lerp(hash_unit(salt, ax, ay), hash_unit(salt, bx, ay), tx);
    double bottom = lerp(hash_unit(salt, ax, by), hash_unit(salt, bx, by), tx);
    return lerp(top, bottom, ty);
}

double tile_fbm(double x, double y, int period_x, int period_y, int octaves, uint32_t salt)
{
    double sum = 0.0, weight = 1.0, total = 0.0;
    for (int o = 0; o < octaves; o++) {
        sum += weight * tile_noise(x, y, period_x, period_y, salt + 7919u * o);
        total += weight;
        weight *= 0.5;
        x *= 2.0;
        y *= 2.0;
        period_x *= 2;
        period_y *= 2;
    }
    return total > 0.0 ? sum / total : 0.0;
}

namespace {

template <class T>
std::vector<T> repeat_rows_of(const std::vector<T> &picture, int width, int period, int rows)
{
    std::vector<T> out(static_cast<size_t>(width) * rows);
    for (int r = 0; r < rows; r++)
        std::copy_n(picture.begin() + static_cast<ptrdiff_t>(r % period) * width, width,
                    out.begin() + static_cast<ptrdiff_t>(r) * width);
    return out;
}

} // namespace

std::vector<uint32_t> repeat_rows(const std::vector<uint32_t> &picture, int width, int period, int rows)
{
    return repeat_rows_of(picture, width, period, rows);
}

std::vector<uint8_t> repeat_rows(const std::vector<uint8_t> &picture, int width, int period, int rows)
{
    return repeat_rows_of(picture, width, period, rows);
}
