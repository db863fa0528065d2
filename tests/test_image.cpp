// Picture decoding: TGA types 1, 2, 3 and JPEG from the archive, and damaged pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <jpeglib.h>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/image.h"
#include "data/startup_error.h"
#include "tga_writer.h"

namespace {

// A minimal TGA header built by hand: only the fields a reader must honour.
std::vector<uint8_t> tga_header(int type, int width, int height, bool colour_map)
{
    std::vector<uint8_t> header(18, 0);
    header[1] = colour_map ? 1 : 0;
    header[2] = static_cast<uint8_t>(type);
    header[12] = static_cast<uint8_t>(width);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height);
    header[15] = static_cast<uint8_t>(height >> 8);
    return header;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A 2 by 2 colour-mapped file whose rows are stored (1, 2) then (3, 4);
// colour-map entry i is (blue i, green 2i, red 3i), entry 9 is (4, 128, 255).
std::vector<uint8_t> two_by_two_mapped()
{
    std::vector<uint8_t> file = tga_header(1, 2, 2, true);
    for (int i = 0; i < 256; i++) {
        file.push_back(static_cast<uint8_t>(i));
        file.push_back(static_cast<uint8_t>(2 * i));
        file.push_back(static_cast<uint8_t>(3 * i));
    }
    file[18 + 27] = 4;
    file[18 + 28] = 128;
    file[18 + 29] = 255;
    for (uint8_t v : {1, 2, 3, 4})
        file.push_back(v);
    return file;
}

struct JpegBytes {
    unsigned char *data = nullptr;
    unsigned long size = 0;
};

// Encodes rows top to bottom of `components` bytes per pixel (1 grey, 3 RGB, 4 CMYK).
std::vector<uint8_t> encode_jpeg(int width, int height, int components, const std::vector<uint8_t> &samples)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    JpegBytes out;
    jpeg_mem_dest(&cinfo, &out.data, &out.size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    // Full-resolution colour, so the decoded pixels stay close to the samples.
    cinfo.comp_info[0].h_samp_factor = 1;
    cinfo.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(samples.data()) + cinfo.next_scanline * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out.data, out.data + out.size);
    free(out.data);
    return bytes;
}

std::vector<uint8_t> rgb_gradient(int width, int height)
{
    std::vector<uint8_t> samples;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            samples.push_back(static_cast<uint8_t>(40 + 8 * x));
            samples.push_back(static_cast<uint8_t>(60 + 12 * y));
            samples.push_back(200);
        }
    return samples;
}

void expect_untouched(const Image &image)
{
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.palette_planes, nullptr);
    EXPECT_EQ(image.palette_rgb, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
}

// Loads `name` from an archive holding just `bytes` under that name; expects
// failure with `reason` in the failure line and the record left alone.
void expect_rejected(const std::string &name, const std::vector<uint8_t> &bytes, const std::string &reason)
{
    ScopedArchive archive({{name, bytes}, {"after.bin", std::vector<uint8_t>(4096, 0x55)}});
    Image image{};
    load_image(name.c_str(), &image);
    EXPECT_EQ(StartupError, 1) << name;
    EXPECT_NE(std::string(StartupFailure).find(reason), std::string::npos) << StartupFailure;
    expect_untouched(image);
    free_image(&image);
}

}  // namespace

TEST(TgaColourMapped, RowsFlippedAndBytesInverted)
{
    ScopedArchive archive({{"pics\\map.tga", two_by_two_mapped()}});
    Image image{};
    load_image("pics\\map.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.kind, 0);
    EXPECT_EQ(image.pixels[0], 252);
    EXPECT_EQ(image.pixels[1], 251);
    EXPECT_EQ(image.pixels[2], 254);
    EXPECT_EQ(image.pixels[3], 253);
    free_image(&image);
}

TEST(TgaColourMapped, BothPalettesIndexedByTheInvertedValue)
{
    ScopedArchive archive({{"map.tga", two_by_two_mapped()}});
    Image image{};
    image.kind = 7;
    load_image("map.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(image.kind, 7);
    // Pixel 252 came from file index 3: colour-map entry 3 is (3, 6, 9).
    EXPECT_EQ(image.palette_planes[252], 3);
    EXPECT_EQ(image.palette_planes[256 + 252], 6);
    EXPECT_EQ(image.palette_planes[512 + 252], 9);
    int p = 255 - 9;
    EXPECT_EQ(image.palette_rgb[3 * p], 63);
    EXPECT_EQ(image.palette_rgb[3 * p + 1], 32);
    EXPECT_EQ(image.palette_rgb[3 * p + 2], 1);
    EXPECT_EQ(image.palette_planes[512 + p], 255);
    // Entry 100 is (100, 200, 44): red 3 * 100 wraps to 44.
    EXPECT_EQ(image.palette_rgb[3 * 155], 11);
    EXPECT_EQ(image.palette_rgb[3 * 155 + 1], 50);
    EXPECT_EQ(image.palette_rgb[3 * 155 + 2], 25);
    free_image(&image);
}

TEST(TgaColourMapped, WriterProducesWhatTheDecoderReads)
{
    std::vector<uint8_t> map = two_by_two_mapped();
    const uint8_t indices[4] = {3, 4, 1, 2};
    std::vector<uint8_t> written = encode_tga_colour_mapped(2, 2, indices, map.data() + 18);
    ASSERT_EQ(written.size(), map.size());
    EXPECT_EQ(written[2], 1);
    EXPECT_TRUE(std::equal(written.begin() + 12, written.begin() + 16, map.begin() + 12));
    EXPECT_TRUE(std::equal(written.begin() + 18, written.end(), map.begin() + 18));

    std::vector<uint8_t> pixels(37 * 5);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = static_cast<uint8_t>(i * 7);
    ScopedArchive archive({{"w.tga", encode_tga_colour_mapped(37, 5, pixels.data(), map.data() + 18)}});
    Image image{};
    load_image("w.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    for (size_t i = 0; i < pixels.size(); i++)
        ASSERT_EQ(image.pixels[i], 255 - pixels[i]) << "pixel " << i;
    free_image(&image);
}

TEST(TgaTrueColour, BytesBecomeWordsRowsFlipped)
{
    std::vector<uint8_t> file = tga_header(2, 1, 2, false);
    for (uint8_t v : {10, 20, 30, 1, 2, 3})
        file.push_back(v);
    ScopedArchive archive({{"true.tga", file}});
    Image image{};
    load_image("true.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(image.kind, ImageWords);
    EXPECT_EQ(image_words(&image)[0], 0x00030201u);
    EXPECT_EQ(image_words(&image)[1], 0x001E140Au);
    EXPECT_EQ(image.palette_planes, nullptr);
    free_image(&image);
}

TEST(TgaTrueColour, WriterRoundTrip)
{
    const int width = 23, height = 9;
    std::vector<uint32_t> pixels(width * height);
    for (int i = 0; i < width * height; i++)
        pixels[i] = (static_cast<uint32_t>(i) * 2654435761u) & 0x00FFFFFFu;
    ScopedArchive archive({{"a.tga", encode_tga_true_colour(width, height, pixels.data())}});
    Image image{};
    load_image("a.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    for (int i = 0; i < width * height; i++)
        ASSERT_EQ(image_words(&image)[i], pixels[i]) << "pixel " << i;
    free_image(&image);
}

TEST(TgaGrey, RowsFlippedBytesKept)
{
    std::vector<uint8_t> file = tga_header(3, 3, 2, false);
    for (uint8_t v : {1, 2, 3, 200, 201, 202})
        file.push_back(v);
    ScopedArchive archive({{"grey.tga", file}});
    Image image{};
    load_image("GREY.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(image.kind, ImageBytes);
    const uint8_t expected[6] = {200, 201, 202, 1, 2, 3};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(image.pixels[i], expected[i]);
    free_image(&image);

    std::vector<uint8_t> grey(5 * 4);
    for (size_t i = 0; i < grey.size(); i++)
        grey[i] = static_cast<uint8_t>(i * 13);
    EXPECT_EQ(encode_tga_grey(5, 4, grey.data())[2], 3);
    ScopedArchive written({{"g.tga", encode_tga_grey(5, 4, grey.data())}});
    load_image("g.tga", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(std::vector<uint8_t>(image.pixels, image.pixels + grey.size()), grey);
    free_image(&image);
}

TEST(TgaDamage, DirectDecodeIsBoundedByTheFile)
{
    std::vector<uint8_t> file = concat(std::vector<uint8_t>(100, 9), tga_header(3, 1, 1, false));
    file.push_back(77);
    file = concat(file, tga_header(3, 64, 64, false));
    file.resize(file.size() + 100);
    std::string folder = make_temp_folder();
    std::string path = folder + "/pictures.bin";
    write_file_bytes(path, file);
    Image image{};
    ASSERT_EQ(decode_tga(path.c_str(), 100, &image), 0) << DecodeFailure;
    EXPECT_EQ(image.pixels[0], 77);
    free_image(&image);
    EXPECT_EQ(decode_tga(path.c_str(), 119, &image), -1);
    EXPECT_NE(std::string(DecodeFailure).find("needs 4114 bytes but the entry has 118"), std::string::npos)
        << DecodeFailure;
    EXPECT_EQ(decode_tga("/nonexistent/x.dat", 0, &image), -1);
    expect_untouched(image);
    std::filesystem::remove_all(folder);
}

TEST(TgaDamage, RejectedWithTheReason)
{
    std::vector<uint8_t> short_pixels = tga_header(2, 4, 4, false);
    short_pixels.resize(short_pixels.size() + 4 * 4 * 3 - 1);
    expect_rejected("short.tga", short_pixels, "SHORT.TGA: TGA pixel data needs 66 bytes but the entry has 65");
    expect_rejected("huge.tga", tga_header(2, 65535, 65535, false),
                    "HUGE.TGA: TGA of 65535 x 65535 pixels is too large");
    std::vector<uint8_t> map_and_pixels(768 + 4, 1);
    expect_rejected("nomap.tga", concat(tga_header(1, 2, 2, false), map_and_pixels), "colour map missing");
    expect_rejected("cut.tga", concat(tga_header(1, 2, 2, true), std::vector<uint8_t>(100, 1)), "colour map missing");
    expect_rejected("tiny.tga", {1, 2, 3}, "header cut short");
    expect_rejected("rle.tga", concat(tga_header(10, 2, 2, false), std::vector<uint8_t>(64, 0)), "type 10");
}

TEST(ImageNames, MissingOrUntypedEntries)
{
    expect_rejected("ab", {1, 2, 3}, "AB: not a TGA or JPG picture");
    expect_rejected("pic.bmp", {1, 2, 3}, "PIC.BMP: not a TGA or JPG");
    ScopedArchive archive({{"here.tga", two_by_two_mapped()}});
    Image image{};
    load_image("there.tga", &image);
    EXPECT_EQ(std::string(StartupFailure), "THERE.TGA: no such entry in " + archive.path());
    expect_untouched(image);
}

TEST(Jpeg, ColourDecodesToWords)
{
    const int width = 13, height = 7;  // not whole 8 by 8 blocks
    std::vector<uint8_t> samples = rgb_gradient(width, height);
    ScopedArchive archive({{"lead.bin", {1, 2, 3}}, {"pics\\grad.jpg", encode_jpeg(width, height, 3, samples)}});
    Image image{};
    load_image("pics\\grad.jpg", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.kind, ImageWords);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    for (int i = 0; i < width * height; i++) {
        uint32_t word = image_words(&image)[i];
        EXPECT_EQ(word >> 24, 0u);
        EXPECT_NEAR(static_cast<int>((word >> 16) & 0xFF), samples[3 * i], 6) << "red of " << i;
        EXPECT_NEAR(static_cast<int>((word >> 8) & 0xFF), samples[3 * i + 1], 6) << "green of " << i;
        EXPECT_NEAR(static_cast<int>(word & 0xFF), samples[3 * i + 2], 6) << "blue of " << i;
    }
    free_image(&image);
}

TEST(Jpeg, GreyDecodesToBytes)
{
    const int width = 9, height = 11;
    std::vector<uint8_t> samples(width * height);
    for (int i = 0; i < width * height; i++)
        samples[i] = static_cast<uint8_t>(20 + (i % width) * 10 + (i / width) * 5);
    ScopedArchive archive({{"grey.jpg", encode_jpeg(width, height, 1, samples)}});
    Image image{};
    load_image("grey.jpg", &image);
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(image.kind, ImageBytes);
    ASSERT_EQ(image.width * image.height, width * height);
    for (int i = 0; i < width * height; i++)
        EXPECT_NEAR(image.pixels[i], samples[i], 3) << "pixel " << i;
    free_image(&image);
}

TEST(Jpeg, DamagedOrUnsuitableStreamsFail)
{
    std::vector<uint8_t> good = encode_jpeg(32, 32, 3, rgb_gradient(32, 32));
    std::vector<uint8_t> bad_marker = good;
    bad_marker[2] = 0x00;  // the marker after the start of image
    expect_rejected("marker.jpg", bad_marker, "MARKER.JPG: damaged JPEG");
    expect_rejected("text.jpg", {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}, "damaged JPEG: Not a JPEG file");
    expect_rejected("empty.jpg", {}, "damaged JPEG");
    std::vector<uint8_t> cut = good;
    cut.resize(good.size() * 2 / 3);
    expect_rejected("cut.jpg", cut, "damaged JPEG");
    expect_rejected("cmyk.jpg", encode_jpeg(8, 8, 4, std::vector<uint8_t>(8 * 8 * 4, 100)), "neither grey nor RGB");
}

TEST(Jpeg, StreamStopsAtTheEndOfItsEntry)
{
    std::vector<uint8_t> good = encode_jpeg(32, 32, 3, rgb_gradient(32, 32));
    size_t half = good.size() / 2;
    std::vector<uint8_t> head(good.begin(), good.begin() + half), tail(good.begin() + half, good.end());
    // The rest of the stream sits in the next entry: it must not complete the picture.
    ScopedArchive archive({{"head.jpg", head}, {"tail.bin", tail}, {"whole.jpg", good}});
    Image image{};
    load_image("head.jpg", &image);
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("HEAD.JPG: damaged JPEG"), std::string::npos) << StartupFailure;
    expect_untouched(image);
    reset_startup_error();
    load_image("whole.jpg", &image);
    EXPECT_EQ(StartupError, 0) << StartupFailure;
    EXPECT_EQ(image.width, 32);
    free_image(&image);
}

TEST(Jpeg, OversizedHeaderRefusedBeforeAllocating)
{
    std::vector<uint8_t> jpeg = encode_jpeg(8, 8, 1, std::vector<uint8_t>(64, 128));
    size_t sof = 0;
    for (size_t i = 0; i + 1 < jpeg.size() && sof == 0; i++)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
            sof = i;
    ASSERT_NE(sof, 0u);
    for (int b : {5, 6, 7, 8})
        jpeg[sof + b] = 0xF0;  // 61680 by 61680
    expect_rejected("big.jpg", jpeg, "JPEG of 61680 x 61680 pixels is too large");
}
