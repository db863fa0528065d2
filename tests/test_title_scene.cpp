// The title scene's own rules: background sum with carries, flash, wipe and
// seam selection, the wipe's sweep, and the face colour pick.
#include <gtest/gtest.h>

#include <vector>

#include "scene_fixture.h"
#include "scenes/title.h"

namespace {

constexpr int Pixels = 640 * 320;
constexpr uint32_t Background = 0x00123456;

} // namespace

TEST(TitleCompose, WordsAddWithCarriesBetweenChannels)
{
    std::vector<uint32_t> a(Pixels, 0x000000C8), b(Pixels, 0x000000C8), c(Pixels, 0), out(Pixels, 7);
    a[1] = 0x00FFFFFF;
    b[1] = 0x00000001;
    c[2] = 0x00102030;
    title_sum_backgrounds(out.data(), a.data(), b.data(), c.data());
    EXPECT_EQ(out[0], 0x00000190u);  // blue 200 + 200: blue 144, green 1
    EXPECT_EQ(out[1], 0x01000000u);  // the carry runs through every channel into the top byte
    EXPECT_EQ(out[2], 0x001021C0u);  // 0x102030 + 200 + 200
    EXPECT_EQ(out[Pixels - 1], 0x00000190u);
}

TEST(TitleCompose, FlashSetsRedBelowTheValueOnlyForKindTwo)
{
    std::vector<uint32_t> comp(Pixels, 0x00204060);
    std::vector<uint8_t> levels(Pixels, 200);
    levels[0] = 127;
    levels[1] = 128;  // equal: not flashed
    levels[Pixels - 1] = 0;

    title_flash(comp.data(), levels.data(), 1, 128);
    title_flash(comp.data(), levels.data(), 3, 128);
    title_flash(comp.data(), levels.data(), 2, 0);
    for (uint32_t w : comp)
        ASSERT_EQ(w, 0x00204060u);

    title_flash(comp.data(), levels.data(), 2, 128);
    EXPECT_EQ(comp[0], 0x00FF4060u);
    EXPECT_EQ(comp[1], 0x00204060u);
    EXPECT_EQ(comp[Pixels - 1], 0x00FF4060u);
    EXPECT_EQ(comp[2], 0x00204060u);
}

class TitleSelect : public BandTest {};

TEST_F(TitleSelect, WipeLevelSplitsTheBandsAndTheSeamFollowsIt)
{
    const int pitch = 656;
    use_band(pitch, 3);
    fill_band(target, Background);
    std::vector<uint32_t> a(static_cast<size_t>(pitch) * 320, 0x00010203), b(static_cast<size_t>(pitch) * 320, 0x00A0A0A0);
    std::vector<uint8_t> wipe(Pixels, 0);
    for (int c = 0; c < 256; c++)
        wipe[5 * 640 + c] = static_cast<uint8_t>(c);  // row 5: every level once

    title_select(wipe.data(), 224, a.data(), b.data());
    for (int level = 0; level < 256; level++) {
        uint32_t want = level <= 224 ? 0x00A0A0A0u : (level < 240 ? 0x00FF0203u : 0x00010203u);
        ASSERT_EQ(pixel(level, 5), want) << "level " << level;
    }
    EXPECT_EQ(pixel(639, 319), 0x00A0A0A0u);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(TitleSelect, BandsAreReadAtThePitch)
{
    const int pitch = 700;
    use_band(pitch, 0);
    std::vector<uint32_t> a(static_cast<size_t>(pitch) * 320), b(static_cast<size_t>(pitch) * 320);
    for (size_t i = 0; i < a.size(); i++) {
        a[i] = static_cast<uint32_t>(i);
        b[i] = static_cast<uint32_t>(i) | 0x00800000;
    }
    std::vector<uint8_t> wipe(Pixels, 40);
    wipe[319 * 640 + 639] = 255;
    title_select(wipe.data(), 100, a.data(), b.data());
    EXPECT_EQ(pixel(3, 2), b[2 * pitch + 3]);
    EXPECT_EQ(pixel(639, 319), a[319 * pitch + 639]);
}

TEST(TitleState, WipeSweepsBetween32And224)
{
    TitleTextureRow = 0;
    TitleBackgroundRow[0] = TitleBackgroundRow[1] = TitleBackgroundRow[2] = 0;
    TitleWipeLevel = TitleWipeLow;
    TitleWipeFalling = false;

    title_advance(191);
    EXPECT_EQ(TitleWipeLevel, 223);
    EXPECT_FALSE(TitleWipeFalling);
    title_advance(1);
    EXPECT_EQ(TitleWipeLevel, 224);
    EXPECT_TRUE(TitleWipeFalling);
    title_advance(1);
    EXPECT_EQ(TitleWipeLevel, 223);
    title_advance(191);
    EXPECT_EQ(TitleWipeLevel, 32);
    EXPECT_FALSE(TitleWipeFalling);
    title_advance(1);
    EXPECT_EQ(TitleWipeLevel, 33);

    EXPECT_EQ(TitleTextureRow, 385 % 256);
    EXPECT_EQ(TitleBackgroundRow[0], 385 * 3 % 320);
    EXPECT_EQ(TitleBackgroundRow[1], 385 * 2 % 320);
    EXPECT_EQ(TitleBackgroundRow[2], 385 % 320);
}

class TitleFace : public BandTest {
protected:
    std::vector<uint32_t> colours = std::vector<uint32_t>(Pixels);
    Image saved = TitleColours;
    Vertex corners[3]{};
    Face face{};

    void SetUp() override
    {
        BandTest::SetUp();
        fill_band(target, Background);
        for (int y = 0; y < 320; y++)
            for (int x = 0; x < 640; x++)
                colours[y * 640 + x] = static_cast<uint32_t>(y << 12 | x) + 0x00100000;
        TitleColours = Image{2, 640, 320, reinterpret_cast<uint8_t *>(colours.data()), nullptr, nullptr};
    }
    void TearDown() override
    {
        TitleColours = saved;
        BandTest::TearDown();
    }
    void place(const int xy[3][2]) { place_corners(corners, face, xy, 50.0f); }
};

TEST_F(TitleFace, FlatColourComesFromTheClampedCentroid)
{
    const int xy[3][2] = {{600, 100}, {700, 100}, {650, 151}};  // centroid (650, 117): right of the band
    place(xy);
    title_face_flat(&face);
    uint32_t want = colours[117 * 640 + 639];
    EXPECT_EQ(pixel(630, 110), want);
    EXPECT_EQ(pixel(639, 120), want);
}

TEST_F(TitleFace, OutlineIsYellowAndLargerThanTheFace)
{
    const int xy[3][2] = {{100, 100}, {200, 100}, {150, 190}};  // centroid (150, 130)
    place(xy);
    title_face_flat(&face);
    EXPECT_EQ(pixel(150, 130), colours[130 * 640 + 150]);
    // The top edge scaled by 1.2 about the centroid lies at row 130 - 30 * 1.2 = 94
    // (93 after the truncation of a value just below 94).
    EXPECT_TRUE(pixel(150, 94) == 0x00FFFF00u || pixel(150, 93) == 0x00FFFF00u);
    EXPECT_EQ(pixel(150, 99), Background);
    EXPECT_EQ(pixel(150, 100), colours[130 * 640 + 150]);
    EXPECT_GT(count_pixels(0x00FFFF00u), 200);
}

TEST_F(TitleFace, TexturedFacesKeepTheBackgroundUnderZeroTexels)
{
    std::vector<uint32_t> texels(256 * 256, 0);
    for (int y = 0; y < 256; y++)
        for (int x = 128; x < 256; x++)
            texels[y * 256 + x] = 0x00C0FFEE;
    Image texture{2, 256, 256, reinterpret_cast<uint8_t *>(texels.data()), nullptr, nullptr};
    const int xy[3][2] = {{100, 50}, {300, 50}, {100, 250}};
    place(xy);
    corners[0].u = 0.0f, corners[0].v = 0.0f;
    corners[1].u = 1.0f, corners[1].v = 0.0f;
    corners[2].u = 0.0f, corners[2].v = 1.0f;
    face.texture = &texture;
    title_face_textured(&face);
    EXPECT_EQ(pixel(120, 60), Background);   // left half of the texture is 0: transparent
    EXPECT_EQ(pixel(250, 60), 0x00C0FFEEu);
}
