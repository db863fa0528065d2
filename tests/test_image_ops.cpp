// The shared band and picture routines: warps, inversions, band copy, sprite clipping.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "raster/render_target.h"
#include "scenes/image_ops.h"

namespace {

constexpr uint32_t Fill = 0x00ABCDEF;
constexpr uint32_t Sentinel = 0x00DEAD00;

// A band with its own pitch; pixels beyond column 639 stand for a wider surface.
struct TestBand {
    std::vector<uint32_t> words;
    int pitch;

    explicit TestBand(int pitch_in, uint32_t fill = Fill)
        : words(static_cast<size_t>(pitch_in) * BandHeight, fill), pitch(pitch_in)
    {
        RenderTarget.pixels = words.data();
        RenderTarget.pitch = pitch;
    }
    uint32_t at(int x, int y) const { return words[static_cast<size_t>(y) * pitch + x]; }
};

// Texture of 256 x 256 whose word encodes its own position; row and column 255 hold the sentinel.
std::vector<uint32_t> position_texture()
{
    std::vector<uint32_t> t(256 * 256);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            t[y * 256 + x] = (y == 255 || x == 255) ? Sentinel : static_cast<uint32_t>(y << 8 | x);
    return t;
}

Image word_image(int width, int height, std::vector<uint32_t> &store)
{
    Image image{};
    image.kind = ImageWords;
    image.width = width;
    image.height = height;
    image.pixels = reinterpret_cast<uint8_t *>(store.data());
    return image;
}

} // namespace

TEST(Warp, OffsetsUseTheLowByteAndWrapModulo255)
{
    TestBand band(640);
    std::vector<uint8_t> zeros(640 * 320, 0);
    std::vector<uint32_t> texture = position_texture();

    warp_band(zeros.data(), zeros.data(), texture.data(), 0, 0);
    EXPECT_EQ(band.at(0, 0), 0u);
    EXPECT_EQ(band.at(639, 319), 0u);

    warp_band(zeros.data(), zeros.data(), texture.data(), 255, 0);  // (0 + 255) mod 255
    EXPECT_EQ(band.at(17, 40), 0u);
    warp_band(zeros.data(), zeros.data(), texture.data(), 256, 0);  // low byte 0
    EXPECT_EQ(band.at(17, 40), 0u);
    warp_band(zeros.data(), zeros.data(), texture.data(), 0x1FE, 0x103);  // low bytes 254 and 3
    EXPECT_EQ(band.at(300, 100), static_cast<uint32_t>(3 << 8 | 254));
    warp_band(zeros.data(), zeros.data(), texture.data(), -1, -2);  // low bytes 255 and 254
    EXPECT_EQ(band.at(5, 5), static_cast<uint32_t>(254 << 8 | 0));

    std::vector<uint8_t> mx(640 * 320, 255), my(640 * 320, 200);
    warp_band(mx.data(), my.data(), texture.data(), 0, 100);  // 255 -> 0; 300 -> 45
    EXPECT_EQ(band.at(320, 160), static_cast<uint32_t>(45 << 8 | 0));
}

TEST(Warp, EachMapEntryDrivesItsOwnPixel)
{
    TestBand band(640);
    std::vector<uint8_t> mx(640 * 320), my(640 * 320);
    for (int i = 0; i < 640 * 320; i++) {
        mx[i] = static_cast<uint8_t>(i % 251);
        my[i] = static_cast<uint8_t>(i / 640 % 200);
    }
    std::vector<uint32_t> texture = position_texture();
    warp_band(mx.data(), my.data(), texture.data(), 10, 20);
    for (int y : {0, 1, 150, 319})
        for (int x : {0, 7, 639}) {
            int i = y * 640 + x;
            uint32_t want = static_cast<uint32_t>((my[i] + 20) % 255 << 8 | (mx[i] + 10) % 255);
            EXPECT_EQ(band.at(x, y), want) << x << "," << y;
        }
}

TEST(Warp, NeverSamplesRowOrColumn255)
{
    std::vector<uint32_t> texture = position_texture();
    std::vector<uint8_t> mx(256 * 256), my(256 * 256);
    for (int i = 0; i < 256 * 256; i++) {
        mx[i] = static_cast<uint8_t>(i & 255);
        my[i] = static_cast<uint8_t>(i >> 8);
    }
    std::vector<uint32_t> out(256 * 256);
    for (int offset = 0; offset < 256; offset += 3) {
        warp_texture(out.data(), mx.data(), my.data(), texture.data(), offset, 255 - offset);
        for (uint32_t word : out)
            ASSERT_NE(word, Sentinel) << "offset " << offset;
    }
}

// The eight-pixel loop against the plain one, over every map byte and
// offsets at the wrap's edges.
TEST(Warp, WideLoopGivesThePlainLoopsPixels)
{
    std::vector<uint32_t> texture = position_texture();
    std::vector<uint8_t> mx(640 * 320), my(640 * 320);
    uint32_t seed = 12345;
    for (size_t i = 0; i < mx.size(); i++) {
        seed = seed * 1664525u + 1013904223u;
        mx[i] = static_cast<uint8_t>(seed >> 24);
        my[i] = static_cast<uint8_t>(seed >> 16);
    }
    TestBand band(640);
    std::vector<uint32_t> wide_band(640 * 320), wide_texture(256 * 256), plain_texture(256 * 256);
    for (int offset : {0, 1, 127, 254, 255, 256, -1}) {
        WarpAllowWide = true;
        warp_band(mx.data(), my.data(), texture.data(), offset, 255 - offset);
        for (int y = 0; y < 320; y++)
            for (int x = 0; x < 640; x++)
                wide_band[y * 640 + x] = band.at(x, y);
        warp_texture(wide_texture.data(), mx.data(), my.data(), texture.data(), 255 - offset, offset);
        WarpAllowWide = false;
        warp_band(mx.data(), my.data(), texture.data(), offset, 255 - offset);
        warp_texture(plain_texture.data(), mx.data(), my.data(), texture.data(), 255 - offset, offset);
        WarpAllowWide = true;
        for (int y = 0; y < 320; y++)
            for (int x = 0; x < 640; x++)
                ASSERT_EQ(band.at(x, y), wide_band[y * 640 + x]) << "offset " << offset << " at " << x << "," << y;
        ASSERT_EQ(plain_texture, wide_texture) << "offset " << offset;
    }
}

TEST(Warp, BandRowsFollowThePitchAndLeaveTheExtraWords)
{
    TestBand band(700);
    std::vector<uint8_t> zeros(640 * 320, 0);
    std::vector<uint32_t> texture = position_texture();
    warp_band(zeros.data(), zeros.data(), texture.data(), 1, 2);
    EXPECT_EQ(band.at(639, 319), static_cast<uint32_t>(2 << 8 | 1));
    EXPECT_EQ(band.at(640, 0), Fill);
    EXPECT_EQ(band.at(699, 319), Fill);
}

TEST(CopyBand, CopiesRowsAtThePitch)
{
    TestBand band(704);
    std::vector<uint32_t> src(640 * 320);
    for (size_t i = 0; i < src.size(); i++)
        src[i] = static_cast<uint32_t>(i);
    copy_band(src.data());
    EXPECT_EQ(band.at(0, 1), 640u);
    EXPECT_EQ(band.at(639, 319), 640u * 320 - 1);
    EXPECT_EQ(band.at(640, 5), Fill);
    EXPECT_EQ(band.at(703, 318), Fill);
}

TEST(Invert, BandTwiceRestoresAndCoversTheWholePitch)
{
    TestBand band(672);
    for (size_t i = 0; i < band.words.size(); i++)
        band.words[i] = static_cast<uint32_t>(i * 2654435761u);
    std::vector<uint32_t> before = band.words;

    invert_band();
    EXPECT_EQ(band.at(0, 0), before[0] ^ 0x00FFFFFFu);
    EXPECT_EQ(band.at(671, 319), before.back() ^ 0x00FFFFFFu);  // beyond column 639
    EXPECT_EQ(band.at(3, 3) >> 24, before[3 * 672 + 3] >> 24);  // top byte kept
    invert_band();
    EXPECT_EQ(band.words, before);
}

TEST(Invert, ImageTwiceRestoresAndKeepsTheTopByte)
{
    std::vector<uint32_t> store = {0x00000000, 0x00FFFFFF, 0x12345678, 0x00102030, 0xFF000000, 0x00808080};
    std::vector<uint32_t> before = store;
    Image image = word_image(3, 2, store);
    invert_image(&image);
    EXPECT_EQ(store[0], 0x00FFFFFFu);
    EXPECT_EQ(store[1], 0x00000000u);
    EXPECT_EQ(store[2], 0x12CBA987u);
    EXPECT_EQ(store[4], 0xFFFFFFFFu);
    invert_image(&image);
    EXPECT_EQ(store, before);
}

TEST(Sprite, LeftClipWithWholeWidth)
{
    TestBand band(640);
    std::vector<uint32_t> store(20 * 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 20; x++)
            store[y * 20 + x] = 0x00010000u * (y + 1) + x + 1;
    Image image = word_image(20, 4, store);
    draw_sprite(-10, 0, -1, -1, &image, 0, 0, 0xFFFFFFFF);
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(band.at(x, 0), store[10 + x]) << x;
    EXPECT_EQ(band.at(10, 0), Fill);
    EXPECT_EQ(band.at(0, 3), store[3 * 20 + 10]);
    EXPECT_EQ(band.at(0, 4), Fill);
}

TEST(Sprite, BottomAndRightClip)
{
    TestBand band(660);
    std::vector<uint32_t> store(8 * 40);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 8; x++)
            store[y * 8 + x] = static_cast<uint32_t>(y * 8 + x + 1);
    Image image = word_image(8, 40, store);

    draw_sprite(100, 300, -1, -1, &image, 0, 0, 0);
    EXPECT_EQ(band.at(100, 300), store[0]);
    EXPECT_EQ(band.at(107, 319), store[19 * 8 + 7]);

    draw_sprite(636, 0, -1, -1, &image, 0, 0, 0);  // only 4 columns fit
    EXPECT_EQ(band.at(639, 0), store[3]);
    EXPECT_EQ(band.at(640, 0), Fill);  // the pitch's extra words are not the band's

    TestBand untouched(640);
    draw_sprite(0, 320, -1, -1, &image, 0, 0, 0);
    draw_sprite(640, 0, -1, -1, &image, 0, 0, 0);
    draw_sprite(-8, 0, -1, -1, &image, 0, 0, 0);  // x + w == 0: nothing left after the clip
    draw_sprite(0, 0, 0, 5, &image, 0, 0, 0);
    for (uint32_t word : untouched.words)
        ASSERT_EQ(word, Fill);
}

TEST(Sprite, SourceRectangleIsLimitedToThePicture)
{
    TestBand band(640);
    std::vector<uint32_t> store(6 * 6, 0x00000042);
    Image image = word_image(6, 6, store);
    draw_sprite(10, 10, 5, 5, &image, 3, 4, 0);  // only 3 x 2 source pixels exist
    EXPECT_EQ(band.at(12, 11), 0x42u);
    EXPECT_EQ(band.at(13, 11), Fill);
    EXPECT_EQ(band.at(12, 12), Fill);

    TestBand untouched(640);
    draw_sprite(10, 10, 5, 5, &image, 7, 0, 0);  // corner right of the picture
    draw_sprite(10, 10, 5, 5, &image, 6, 0, 0);  // corner on the right edge: zero width
    for (uint32_t word : untouched.words)
        ASSERT_EQ(word, Fill);
}

TEST(Sprite, SourceCornerLeftOfThePictureReadsNothingOutside)
{
    TestBand band(640);
    std::vector<uint32_t> store(4 * 4, 0x00000077);
    Image image = word_image(4, 4, store);
    draw_sprite(20, 30, 4, 4, &image, -2, -1, 0);
    // Source columns -2, -1 and row -1 do not exist: only the part inside is drawn, in place.
    EXPECT_EQ(band.at(20, 30), Fill);
    EXPECT_EQ(band.at(21, 31), Fill);
    EXPECT_EQ(band.at(22, 31), 0x77u);
    EXPECT_EQ(band.at(23, 33), 0x77u);
    EXPECT_EQ(band.at(24, 31), Fill);

    Image empty{};
    draw_sprite(0, 0, -1, -1, &empty, 0, 0, 0);  // a picture without pixels draws nothing
    EXPECT_EQ(band.at(0, 0), Fill);
}

TEST(Sprite, KeyComparesTheWholeWord)
{
    TestBand band(640);
    std::vector<uint32_t> store = {0x00000000, 0xFF000000, 0x00FFFFFF, 0x00000001};
    Image image = word_image(4, 1, store);
    draw_sprite(0, 0, -1, -1, &image, 0, 0, 0);
    EXPECT_EQ(band.at(0, 0), Fill);         // black matches key 0
    EXPECT_EQ(band.at(1, 0), 0xFF000000u);  // top byte differs: copied, top byte included
    EXPECT_EQ(band.at(2, 0), 0x00FFFFFFu);
    EXPECT_EQ(band.at(3, 0), 1u);

    TestBand white_key(640);
    draw_sprite(0, 0, -1, -1, &image, 0, 0, 0x00FFFFFF);
    EXPECT_EQ(white_key.at(0, 0), 0u);
    EXPECT_EQ(white_key.at(2, 0), Fill);
}
