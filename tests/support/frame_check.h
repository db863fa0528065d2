// Test bands for the rasterizers: a 640 by 320 target inside guard memory,
// and the PNG of what a failing test saw.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "raster/render_target.h"

// A value no rasterizer writes: its top byte is not 0.
constexpr uint32_t GuardWord = 0xDEADBEEFu;

// A band of BandHeight rows of `pitch` words with `guard` rows above and
// below and `guard` words left of every row; everything outside the
// 640 by 320 band holds GuardWord. The band itself starts filled with 0.
struct GuardedBand {
    std::vector<uint32_t> storage;
    int pitch = BandWidth;
    int guard = 0;
    uint32_t *band = nullptr;  // pixel (0, 0)
};

void make_guarded_band(GuardedBand &b, int pitch, int guard);
bool guard_intact(const GuardedBand &b);
void fill_band(GuardedBand &b, uint32_t value);

// Writes the band to ORVANTI_BINARY_DIR/test-frames/<name>.png when the
// running test has failed; returns the path written, or "" when nothing was.
std::string save_band_on_failure(const std::string &name, const uint32_t *pixels, int pitch);

// Reads a PNG file as 8-bit RGB, three bytes a pixel, rows top to bottom;
// false (and `rgb`, `width`, `height` untouched) when it cannot be read.
bool read_png_rgb(const std::string &path, std::vector<uint8_t> &rgb, int &width, int &height);

// Fixture: points RenderTarget at a guarded band (640-word rows, no guard by
// default; a test may call use_band for another layout) and saves the band
// when the test fails.
class BandTest : public ::testing::Test {
protected:
    GuardedBand target;

    void SetUp() override;
    void TearDown() override;
    void use_band(int pitch, int guard);
    uint32_t pixel(int x, int y) const { return target.band[y * target.pitch + x]; }
    int count_pixels(uint32_t value) const;
    int count_row(int y, uint32_t value) const;
};
