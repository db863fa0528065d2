// Guarded test bands and the saving of failed frames.
#include "frame_check.h"

#include <png.h>

#include <cstdio>
#include <filesystem>

#include "frame_dump.h"

void make_guarded_band(GuardedBand &b, int pitch, int guard)
{
    b.pitch = pitch;
    b.guard = guard;
    const size_t rows = static_cast<size_t>(BandHeight + 2 * guard);
    b.storage.assign(rows * static_cast<size_t>(pitch) + static_cast<size_t>(guard), GuardWord);
    b.band = b.storage.data() + static_cast<size_t>(guard) * pitch + guard;
    fill_band(b, 0);
}

void fill_band(GuardedBand &b, uint32_t value)
{
    for (int y = 0; y < BandHeight; ++y)
        for (int x = 0; x < BandWidth; ++x) b.band[y * b.pitch + x] = value;
}

bool guard_intact(const GuardedBand &b)
{
    const uint32_t *base = b.storage.data();
    for (size_t i = 0; i < b.storage.size(); ++i) {
        const long offset = static_cast<long>(base + i - b.band);
        const long y = offset >= 0 ? offset / b.pitch : -1;
        const long x = offset >= 0 ? offset % b.pitch : -1;
        const bool inside = y >= 0 && y < BandHeight && x < BandWidth;
        if (!inside && base[i] != GuardWord) return false;
    }
    return true;
}

std::string save_band_on_failure(const std::string &name, const uint32_t *pixels, int pitch)
{
    if (!::testing::Test::HasFailure() || !pixels) return "";
    const std::filesystem::path dir = std::filesystem::path(ORVANTI_BINARY_DIR) / "test-frames";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::string path = (dir / (name + ".png")).string();
    if (!write_band_png(path.c_str(), pixels, pitch).empty()) return "";
    std::printf("saved the failing frame as %s\n", path.c_str());
    return path;
}

bool read_png_rgb(const std::string &path, std::vector<uint8_t> &rgb, int &width, int &height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    rgb.swap(pixels);
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

void BandTest::SetUp() { use_band(BandWidth, 0); }

void BandTest::use_band(int pitch, int guard)
{
    make_guarded_band(target, pitch, guard);
    RenderTarget.pixels = target.band;
    RenderTarget.pitch = target.pitch;
}

void BandTest::TearDown()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/') c = '_';
    save_band_on_failure(name, target.band, target.pitch);
    RenderTarget.pixels = nullptr;
}

int BandTest::count_pixels(uint32_t value) const
{
    int n = 0;
    for (int y = 0; y < BandHeight; ++y) n += count_row(y, value);
    return n;
}

int BandTest::count_row(int y, uint32_t value) const
{
    int n = 0;
    for (int x = 0; x < BandWidth; ++x) n += pixel(x, y) == value;
    return n;
}
