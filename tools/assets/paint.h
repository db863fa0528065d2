// Drawing helpers for the generated pictures: colour packing, deterministic
// hashing, tileable value noise and fractal sums, and picture repetition.
//
// Everything here is a pure function of its arguments: the same salt always
// gives the same picture, whatever order the scenes' data are made in.
//
// Tileable noise: coordinates are in lattice cells; a period of P cells makes
// the noise repeat every P cells along that axis, so a picture sampled with
// x = column * P / width wraps seamlessly at its own width.
//
//   double n = tile_noise(x, y, 8, 4, salt);          // 0..1, smooth
//   double f = tile_fbm(x, y, 8, 4, 5, salt);         // 0..1, five octaves
//   uint32_t word = pack_rgb(255, 128, 0);            // 0x00FF8000
#pragma once
#include <cstdint>
#include <vector>

constexpr double Pi = 3.14159265358979323846;
constexpr double TwoPi = 2.0 * Pi;

// A colour with components nominally 0..255 (not clamped until packed).
struct Colour {
    double r, g, b;
};

// Rounds and clamps to 0..255.
uint8_t clamp_byte(double value);

// 0x00RRGGBB from components, each rounded and clamped to 0..255.
uint32_t pack_rgb(double r, double g, double b);
uint32_t pack_colour(Colour c);

// Hue in turns (any real; 0, 1/3 and 2/3 are red, green, blue), saturation
// and value 0..1; the result's components are 0..255.
Colour hsv_colour(double hue_turns, double saturation, double value);

// a + (b - a) * t, componentwise.
Colour mix_colour(Colour a, Colour b, double t);
double lerp(double a, double b, double t);
// 0 below edge0, 1 above edge1, a smooth cubic between.
double smoothstep(double edge0, double edge1, double x);

// A well-mixed 32-bit hash of (salt, x, y) and the same mapped to 0..1.
uint32_t hash3(uint32_t salt, int32_t x, int32_t y);
double hash_unit(uint32_t salt, int32_t x, int32_t y);

// Smooth value noise in 0..1 that repeats every period_x cells in x and
// period_y cells in y (periods of at least 1).
double tile_noise(double x, double y, int period_x, int period_y, uint32_t salt);

// Sum of `octaves` noise layers, each twice the frequency (and twice the
// period, so it still tiles) and half the weight of the last, scaled to 0..1.
double tile_fbm(double x, double y, int period_x, int period_y, int octaves, uint32_t salt);

// A picture of `period` rows extended to `rows` rows by repeating it from the
// top, so that a window scrolling through it wraps without a seam.
std::vector<uint32_t> repeat_rows(const std::vector<uint32_t> &picture, int width, int period, int rows);
std::vector<uint8_t> repeat_rows(const std::vector<uint8_t> &picture, int width, int period, int rows);
