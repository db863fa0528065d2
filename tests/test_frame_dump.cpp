// PNG frame dumps: every depth reads back as the colours it was given.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "frame_check.h"
#include "frame_dump.h"

namespace {

std::string temp_png(const char *name)
{
    const std::filesystem::path dir = std::filesystem::path(ORVANTI_BINARY_DIR) / "test-frames";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// The file read back as 8-bit RGB rows; empty when it cannot be read.
std::vector<uint8_t> read_png(const std::string &path, int &width, int &height)
{
    std::vector<uint8_t> rgb;
    if (!read_png_rgb(path, rgb, width, height)) return {};
    std::remove(path.c_str());
    return rgb;
}

uint32_t test_colour(int x, int y) { return ((x * 37 + y * 11) & 0xFF) | ((x ^ y) & 0xFF) << 8 | (y * 7 & 0xFF) << 16; }

}  // namespace

TEST(FrameDump, BandAnd24BitSurfaceReadBackExactly)
{
    const int pitch = 700;  // pixels past column 639 must not show
    std::vector<uint32_t> band(static_cast<size_t>(pitch) * 320, 0xFF00FF00u);
    std::vector<uint8_t> surface(static_cast<size_t>(1930) * 320, 0x77);  // 24-bit rows with spare bytes
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t c = test_colour(x, y);
            band[y * pitch + x] = c | 0xAB000000u;  // the top byte is ignored
            for (int k = 0; k < 3; ++k) surface[y * 1930 + 3 * x + k] = c >> (8 * k) & 0xFF;
        }
    ASSERT_EQ(write_band_png(temp_png("band.png").c_str(), band.data(), pitch), "");
    ASSERT_EQ(write_frame_png(temp_png("s24.png").c_str(), surface.data(), 640, 320, 1930, 24), "");
    for (const char *name : {"band.png", "s24.png"}) {
        int w = 0, h = 0, wrong = 0;
        const std::vector<uint8_t> rgb = read_png(temp_png(name), w, h);
        ASSERT_EQ(w * h, 640 * 320) << name;
        for (int i = 0; i < 640 * 320; ++i) {
            const uint32_t c = test_colour(i % 640, i / 640);
            wrong += rgb[3 * i] != (c >> 16 & 0xFF) || rgb[3 * i + 1] != (c >> 8 & 0xFF) || rgb[3 * i + 2] != (c & 0xFF);
        }
        EXPECT_EQ(wrong, 0) << name;
    }
}

TEST(FrameDump, Surface16BitWidensFiveSixFive)
{
    const uint8_t words[10] = {0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84};  // little-endian
    const uint8_t expected[15] = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 130, 132};
    ASSERT_EQ(write_frame_png(temp_png("s16.png").c_str(), words, 5, 1, 10, 16), "");
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = read_png(temp_png("s16.png"), w, h);
    EXPECT_EQ(rgb, std::vector<uint8_t>(expected, expected + 15));
}

TEST(FrameDump, RefusesBadArgumentsAndLeavesNoFile)
{
    std::vector<uint32_t> band(640 * 320, 0);
    const std::string path = temp_png("refused.png");
    EXPECT_NE(write_frame_png(path.c_str(), band.data(), 640, 320, 640 * 4, 8), "");
    EXPECT_NE(write_frame_png(path.c_str(), band.data(), 640, 320, 639 * 4, 32), "");
    EXPECT_NE(write_frame_png(path.c_str(), nullptr, 640, 320, 640 * 4, 32), "");
    EXPECT_NE(write_band_png(path.c_str(), band.data(), 600), "");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(write_band_png("/nonexistent-dir/x/band.png", band.data(), 640),
              "/nonexistent-dir/x/band.png: No such file or directory");
    EXPECT_EQ(save_band_on_failure("FrameDump.passing", band.data(), 640), "");  // nothing has failed
}

// A write that fails half way (a file size limit stands for a full disk)
// says why, leaves the old file as it was and no hidden work file.
TEST(FrameDump, FailedWriteKeepsTheOldFile)
{
    const std::string path = temp_png("kept.png");
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    write_file_bytes(path, old);
    std::vector<uint32_t> noise(640 * 480);
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = static_cast<uint32_t>(i * 2654435761u >> 7);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string failure = write_frame_png(path.c_str(), noise.data(), 640, 480, 640 * 4, 32);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(failure, path + ": File too large");
    EXPECT_EQ(read_file_bytes(path), old);
    size_t names = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names += entry.path().filename().string().find("kept.png") != std::string::npos;
    EXPECT_EQ(names, 1u);
    ASSERT_EQ(write_frame_png(path.c_str(), noise.data(), 640, 480, 640 * 4, 32), "");
    EXPECT_GT(read_file_bytes(path).size(), 4096u);
}
