// PNG frame dumps: every depth reads back as the colours it was given.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frame_check.h"
#include "frame_dump.h"

namespace {

std::string temp_png(const char *name)
{
    const std::filesystem::path dir = std::filesystem::path(ORVANTI_BINARY_DIR) / "test-frames";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// Reads a PNG back as 8-bit RGB; empty when it cannot be read.
std::vector<uint8_t> read_png(const std::string &path, int &width, int &height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return rgb;
}

// A picture with a distinct colour at every pixel.
uint32_t test_colour(int x, int y)
{
    return ((x * 37 + y * 11) & 0xFF) | ((x ^ y) & 0xFF) << 8 | (y * 7 & 0xFF) << 16;
}

}  // namespace

TEST(FrameDump, BandWithWidePitchKeepsEveryPixel)
{
    const int pitch = 700;
    std::vector<uint32_t> band(static_cast<size_t>(pitch) * 320, 0xFF00FF00u);
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 640; ++x) band[y * pitch + x] = test_colour(x, y) | 0xAB000000u;
    const std::string path = temp_png("dump_band.png");
    ASSERT_EQ(write_band_png(path.c_str(), band.data(), pitch), 1);

    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = read_png(path, w, h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 320);
    int wrong = 0;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t c = test_colour(x, y);
            const uint8_t *p = &rgb[(y * 640 + x) * 3];
            wrong += p[0] != (c >> 16 & 0xFF) || p[1] != (c >> 8 & 0xFF) || p[2] != (c & 0xFF);
        }
    EXPECT_EQ(wrong, 0);
    std::remove(path.c_str());
}

TEST(FrameDump, Surface24BitReadsBlueGreenRedBytes)
{
    const int width = 640, height = 480, pitch = 1930;  // a few spare bytes per row
    std::vector<uint8_t> surface(static_cast<size_t>(pitch) * height, 0x77);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = test_colour(x, y);
            surface[y * pitch + 3 * x] = c & 0xFF;
            surface[y * pitch + 3 * x + 1] = c >> 8 & 0xFF;
            surface[y * pitch + 3 * x + 2] = c >> 16 & 0xFF;
        }
    const std::string path = temp_png("dump_24.png");
    ASSERT_EQ(write_frame_png(path.c_str(), surface.data(), width, height, pitch, 24), 1);
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = read_png(path, w, h);
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    const uint32_t c = test_colour(123, 456);
    const uint8_t *p = &rgb[(456 * width + 123) * 3];
    EXPECT_EQ(p[0], c >> 16 & 0xFF);
    EXPECT_EQ(p[1], c >> 8 & 0xFF);
    EXPECT_EQ(p[2], c & 0xFF);
    std::remove(path.c_str());
}

TEST(FrameDump, Surface16BitWidensFiveSixFive)
{
    // White, pure red, pure green, pure blue and a mid grey-ish word.
    const uint16_t words[5] = {0xFFFF, 0xF800, 0x07E0, 0x001F, 0x8410};
    const uint8_t expected[5][3] = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {132, 130, 132}};
    std::vector<uint8_t> surface(2 * 5 + 6);
    for (int i = 0; i < 5; ++i) {
        surface[2 * i] = words[i] & 0xFF;
        surface[2 * i + 1] = words[i] >> 8;
    }
    const std::string path = temp_png("dump_16.png");
    ASSERT_EQ(write_frame_png(path.c_str(), surface.data(), 5, 1, 16, 16), 1);
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = read_png(path, w, h);
    ASSERT_EQ(w, 5);
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(rgb[i * 3 + k], expected[i][k]) << "pixel " << i;
    std::remove(path.c_str());
}

TEST(FrameDump, RefusesBadArgumentsAndUnwritablePaths)
{
    std::vector<uint32_t> band(640 * 320, 0);
    const std::string path = temp_png("dump_refused.png");
    EXPECT_EQ(write_frame_png(path.c_str(), band.data(), 640, 320, 640 * 4, 8), 0);
    EXPECT_EQ(write_frame_png(path.c_str(), band.data(), 640, 320, 639 * 4, 32), 0);
    EXPECT_EQ(write_frame_png(path.c_str(), band.data(), 0, 320, 640 * 4, 32), 0);
    EXPECT_EQ(write_frame_png(path.c_str(), nullptr, 640, 320, 640 * 4, 32), 0);
    EXPECT_EQ(write_band_png(path.c_str(), band.data(), 600), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(write_band_png("/nonexistent-dir/x/band.png", band.data(), 640), 0);
}

TEST(FrameDump, PassingTestSavesNothing)
{
    std::vector<uint32_t> band(640 * 320, 0x00123456u);
    // Nothing has failed yet, so nothing is written.
    EXPECT_EQ(save_band_on_failure("FrameDump.not_saved", band.data(), 640), "");
}
