// The believe scene on the generated data: advancing without drawing, the
// start-up still, the pulsing cores and the loader's shape checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/startup_error.h"
#include "scene_fixture.h"
#include "scenes/believe.h"
#include "scenes/scenes.h"
#include "shell/startup.h"
#include "tga_writer.h"

namespace {

constexpr uint32_t Red = 0xFF0000, White = 0xFFFFFF, Orange = 0xFF8000;

void free_believe_assets()
{
    free_image(&BelieveBackground);
    free_image(&BelieveTexture);
    free_mesh(&BelieveOsmaMesh);
    free_mesh(&BelieveGulaMesh);
}

// Everything a call may change besides pixels.
std::vector<float> turn_state()
{
    std::vector<float> s(BelieveOsmaMesh.objects[0].matrix, BelieveOsmaMesh.objects[0].matrix + 16);
    s.insert(s.end(), BelieveGulaMesh.objects[0].matrix, BelieveGulaMesh.objects[0].matrix + 16);
    s.insert(s.end(), BelieveCamera, BelieveCamera + 16);
    s.push_back(BelievePhase);
    return s;
}

void set_turn_state(const std::vector<float> &s)
{
    std::memcpy(BelieveOsmaMesh.objects[0].matrix, &s[0], sizeof(Matrix));
    std::memcpy(BelieveGulaMesh.objects[0].matrix, &s[16], sizeof(Matrix));
    std::memcpy(BelieveCamera, &s[32], sizeof(Matrix));
    BelievePhase = s[48];
}

TEST_F(BandTest, BelieveAdvanceOnlyCallChangesNoPixelButTurnsLikeADrawingCall)
{
    open_show_archive();
    load_believe_scene();
    ASSERT_TRUE(BelieveSceneReady) << StartupFailure;
    use_band(704, 0);  // columns past 639 must stay untouched too

    believe_scene_handler(1, 0, 0);
    EXPECT_GT(count_pixels(Orange), 200) << "the init frame shows no osma object";
    EXPECT_GT(count_pixels(Red), 50) << "the init frame shows no gula cores";
    for (size_t i = 0; i < target.storage.size(); i++)
        target.storage[i] = 0x00123456u + static_cast<uint32_t>(i % 977);
    const std::vector<uint32_t> before = target.storage;
    const std::vector<float> start = turn_state();

    believe_scene_handler(0, 7, 1);
    EXPECT_EQ(target.storage, before) << "a flags-1 call drew";
    const std::vector<float> advanced = turn_state();
    set_turn_state(start);
    believe_scene_handler(0, 7, 0);
    EXPECT_NE(target.storage, before) << "a drawing call drew nothing";
    EXPECT_EQ(advanced, turn_state());
    EXPECT_NE(advanced, start);

    // The init call resets phase and camera but not the objects' turn.
    believe_scene_handler(1, 0, 0);
    const std::vector<float> again = turn_state();
    EXPECT_TRUE(std::equal(again.begin(), again.begin() + 32, advanced.begin()));
    EXPECT_EQ(BelievePhase, 0.0f);
    free_believe_assets();
}

// The start-up still on a display whose rows are longer than the band.
TEST(BelieveSnapshot, HoldsTheInitFrameWithoutTheTargetsExtraStride)
{
    constexpr int WidePitch = 768;
    reset_startup_error();
    ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
    ASSERT_EQ(startup_load(WidePitch * 4, 0, [](void *) { return 0u; }, nullptr), 1) << StartupFailure;
    ASSERT_EQ(RenderTarget.pitch, WidePitch);
    ASSERT_NE(BelieveSnapshot, nullptr);

    std::vector<uint32_t> band(static_cast<size_t>(WidePitch) * 320, 0x00EEEEEEu);
    RenderTarget.pixels = band.data();
    believe_scene_handler(1, 0, 0);
    int differing_rows = 0;
    for (int y = 0; y < 320; y++)
        differing_rows += std::memcmp(BelieveSnapshot + y * 640, band.data() + y * WidePitch, 640 * 4) != 0;
    EXPECT_EQ(differing_rows, 0);
    EXPECT_GT(std::count(BelieveSnapshot, BelieveSnapshot + 640 * 320, Orange), 200);
    save_band_on_failure("BelieveSnapshot.still", BelieveSnapshot, 640);
    RenderTarget.pixels = nullptr;
    free_startup_buffers();
}

// One hand-made face on a black band: core sizes and the doubled outline.
TEST_F(BandTest, BelievePulseBreathesAndDoublesTheOutlineOnCopies)
{
    Vertex corners[3] = {};
    Face face = {};
    const int xy[3][2] = {{200, 40}, {440, 60}, {300, 280}};
    place_corners(corners, face, xy, 300.0f);
    int red[3];
    const float phases[3] = {4.712389f, 0.0f, 1.5707964f};  // cores at 0.125, 0.375, 0.625
    for (int k = 0; k < 3; k++) {
        fill_band(target, 0);
        BelievePhase = phases[k];
        believe_face_pulse(&face);
        red[k] = count_pixels(Red);
    }
    ASSERT_GT(red[0], 0);
    EXPECT_NEAR(double(red[1]) / red[0], 9.0, 2.0);  // areas go with the square
    EXPECT_NEAR(double(red[2]) / red[0], 25.0, 5.0);
    EXPECT_EQ(pixel(313, 126), Red) << "the core is not at the centroid";

    // Both outlines pass through their corners, the copy's pushed +5, -5, +5.
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(pixel(xy[i][0], xy[i][1]), White) << "corner " << i;
        EXPECT_EQ(pixel(xy[i][0] + (i == 1 ? -5 : 5), xy[i][1]), White) << "shifted corner " << i;
        EXPECT_EQ(corners[i].sx, xy[i][0]) << "the face's own record moved";
    }
}

// The osma texture is read 256 by 256 whatever its size: a narrower one
// fails the start-up, naming it, and the scene then draws nothing.
TEST(BelieveLoader, RejectsATextureNarrowerThanTheMapperReads)
{
    std::vector<uint32_t> back(640 * 320, 0x00223344u), texture(128 * 256, 0x00AA5500u);
    ScopedArchive archive({
        {"believe\\believe_back.tga", encode_tga_true_colour(640, 320, back.data())},
        {"believe\\believe_txt.tga", encode_tga_true_colour(128, 256, texture.data())},
        {"believe\\osma.3d", triangle_mesh(20, 0)},
        {"believe\\gula.3d", triangle_mesh(20, 0)},
    });
    free_believe_assets();  // whatever an earlier start-up left, so nothing leaks
    load_believe_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("believe_txt.tga"), std::string::npos) << StartupFailure;

    GuardedBand band = band_after([] { believe_scene_handler(1, 0, 0); });
    EXPECT_EQ(count_band_pixels(band, UntouchedWord), 640 * 320) << "a rejected scene drew";
    free_believe_assets();
}

}  // namespace
