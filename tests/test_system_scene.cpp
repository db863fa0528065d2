// The system scene on the generated data: which callbacks the parameter bits
// choose, the copies' face scale, the relief's threshold and grid index, the
// flash, the wave's growth, and a grid too small to index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/startup.h"
#include "engine/view.h"
#include "frame_check.h"
#include "mesh_writer.h"
#include "raster/raster.h"
#include "scenes/scenes.h"
#include "scenes/system.h"
#include "shell/sequencer.h"
#include "tga_writer.h"

namespace {

constexpr uint32_t Background = 0xFFFFFFFFu;  // the band filled with bytes of 255
constexpr uint32_t WhiteFace = 0x00FFFFFFu, Black = 0, Red = 0xFF0000, Blue = 0x0040FF;
constexpr uint32_t Cyan = 0x00FFFF, Amber = 0xFFC400;

class SystemScene : public BandTest {
protected:
    static void SetUpTestSuite()
    {
        reset_startup_error();
        ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
        read_archive_directory();
        load_system_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
        ASSERT_TRUE(SystemSceneReady);
    }
    static void TearDownTestSuite() { release_system_scene(); }

    void TearDown() override
    {
        FadeValue = 0;
        FadeKind = 0;
        BandTest::TearDown();
    }

    // The init call's frame: the state is reset and nothing turns (no ticks),
    // so two such frames differ only by the parameter and the fade.
    std::vector<uint32_t> init_frame(int param, int fade_kind = 0, int fade_value = 0)
    {
        FadeKind = static_cast<uint8_t>(fade_kind);
        FadeValue = fade_value;
        fill_band(target, 0x00123456u);
        system_scene_handler(1, 0, param);
        return std::vector<uint32_t>(target.band, target.band + BandWidth * BandHeight);
    }

    // Pixels of none of the scene's line and face colours: the copies' texels.
    int texel_count() const
    {
        int n = 0;
        for (int i = 0; i < BandWidth * BandHeight; i++) {
            uint32_t p = target.band[i];
            n += p != Background && p != WhiteFace && p != Black && p != Red && p != Blue;
        }
        return n;
    }
};

TEST_F(SystemScene, WhiteBitWinsTheFirstPassAndTheWaveBitHidesTheCopies)
{
    init_frame(0x30);
    EXPECT_GT(count_pixels(WhiteFace), 1000) << "no white plane faces";
    EXPECT_GT(count_pixels(Blue), 1000) << "no relief faces";
    EXPECT_GT(count_pixels(Red), 100) << "no relief strokes";
    EXPECT_GT(count_pixels(Black), 1000) << "no outlines";
    EXPECT_EQ(texel_count(), 0) << "the copies were drawn";
    EXPECT_EQ(count_pixels(0x00123456u), 0) << "the background did not cover the band";

    // Without 0x20 the first pass only outlines: no white faces, and no gula.
    init_frame(0x10);
    EXPECT_EQ(count_pixels(WhiteFace), 0);
    EXPECT_GT(count_pixels(Blue), 1000);
    EXPECT_EQ(texel_count(), 0);

    // Outline bits without the wave: relief and copies.
    init_frame(0x04);
    EXPECT_GT(count_pixels(Blue), 1000);
    EXPECT_GT(texel_count(), 100) << "the copies are missing";
    EXPECT_EQ(NearPlane, 250);
    EXPECT_EQ(FarPlane, 3000);
}

TEST_F(SystemScene, CollapseWinsOverRaysAndAFadeOfZeroLeavesRaysAPoint)
{
    init_frame(0x01, 7, 0);
    EXPECT_EQ(count_pixels(Black), 1) << "every ray should be the point (320, 90)";
    EXPECT_EQ(pixel(320, 90), Black);
    EXPECT_EQ(count_pixels(Blue) + count_pixels(Red), 0) << "rays bits drew a relief";

    init_frame(0x03, 7, 0);
    EXPECT_GT(count_pixels(Black), 2000) << "0x02 should outline the whole plane";

    init_frame(0x01, 7, 255);
    EXPECT_GT(count_pixels(Black), 2000) << "full rays should reach the faces";
}

TEST_F(SystemScene, ParameterWithoutKnownBitsSkipsTheFirstPass)
{
    const std::vector<uint32_t> plain = init_frame(0);
    EXPECT_EQ(count_pixels(Black), 0);
    EXPECT_GT(texel_count(), 100);
    EXPECT_EQ(init_frame(0x40), plain);
    EXPECT_EQ(init_frame(0x80), plain);
}

TEST_F(SystemScene, FlashTurnsTheBandBlackAndTheReliefToAmberCyanAndWhite)
{
    init_frame(0x08, 3, 32);
    EXPECT_EQ(count_pixels(Background), 0);
    EXPECT_GT(count_pixels(Black), 10000);
    EXPECT_GT(count_pixels(Amber), 1000);
    EXPECT_GT(count_pixels(Cyan), 100);
    EXPECT_GT(count_pixels(WhiteFace), 1000) << "outlined faces and the gula are white in a flash";
    EXPECT_EQ(count_pixels(Blue) + count_pixels(Red), 0);

    // The same fade value under another kind is no flash.
    init_frame(0x08, 4, 32);
    EXPECT_EQ(count_pixels(Amber) + count_pixels(Cyan), 0);
    EXPECT_GT(count_pixels(Blue), 1000);
}

TEST_F(SystemScene, FaceScaleIsCappedAtOneAndShrinksWithKindTen)
{
    // Pulse at its top: 1 + w / 4 for the last copy (w 0.5) is capped.
    init_frame(0);
    SystemPulse = 1.5707964f;
    system_scene_handler(0, 0, 0);
    EXPECT_EQ(SystemFaceScale, 1.0f);

    FadeKind = 10;
    FadeValue = 51;
    system_scene_handler(0, 0, 0);
    EXPECT_FLOAT_EQ(SystemFaceScale, 1.0f - 51.0f / 255.0f);

    // Pulse at its bottom: 0 + 0.125 less a full fade stays at 0.
    SystemPulse = -1.5707964f;
    FadeValue = 255;
    fill_band(target, 0);
    system_scene_handler(0, 0, 0);
    EXPECT_EQ(SystemFaceScale, 0.0f);
    EXPECT_EQ(count_pixels(Background), BandWidth * BandHeight) << "shrunk-away copies still drew";

    // Another kind leaves the scale alone.
    FadeKind = 9;
    system_scene_handler(0, 0, 0);
    EXPECT_FLOAT_EQ(SystemFaceScale, 0.125f);
}

TEST_F(SystemScene, TextureWindowAndWaveStepWithTheTicks)
{
    init_frame(0);
    system_scene_handler(0, 17, 0);
    EXPECT_EQ(SystemTextureRow, 2) << "16 ticks make a whole cycle of the window";
    EXPECT_EQ(SystemTexture.pixels, SystemTextureStore.pixels + 2 * 256 * 4);
    EXPECT_EQ(WaveAmount, 0.0f) << "the wave grew without its bit";

    system_scene_handler(0, 100, SystemParamWave);
    EXPECT_NEAR(WaveAmount, 0.25f, 1e-4f);
    const float bottom = SystemPlaneMesh.objects[0].vertices[0].z;
    EXPECT_NE(bottom, 0.0f) << "the wave did not move the grid";
    system_scene_handler(0, 400, SystemParamWave);
    EXPECT_GE(WaveAmount, 1.0f);
    EXPECT_LT(WaveAmount, 1.0f + 0.0025f) << "the wave kept growing past 1";

    // Clearing the bit keeps the heights; the init call resets the amount.
    const float crest = SystemPlaneMesh.objects[0].vertices[123].z;
    system_scene_handler(0, 5, 0);
    EXPECT_EQ(SystemPlaneMesh.objects[0].vertices[123].z, crest);
    system_scene_handler(1, 0, 0);
    EXPECT_EQ(WaveAmount, 0.0f);
}

// One hand-made face on the relief callback, to look at the threshold alone.
class SystemRelief : public BandTest {
protected:
    Vertex corners[3] = {};
    Face face = {};
    uint8_t heights[SystemGridVertices] = {};
    Image saved = {};

    void SetUp() override
    {
        BandTest::SetUp();
        saved = SystemHeight;
        SystemHeight = {1, SystemGridSide, SystemGridSide, heights, nullptr, nullptr};
        const int xy[3][2] = {{100, 200}, {200, 200}, {150, 280}};
        for (int i = 0; i < 3; i++) {
            corners[i].sx = xy[i][0];
            corners[i].sy = xy[i][1];
            corners[i].vz = 100.0f;
            face.v[i] = &corners[i];
        }
        FadeKind = 0;
        FadeValue = 0;
    }
    void TearDown() override
    {
        SystemHeight = saved;
        BandTest::TearDown();
    }
};

TEST_F(SystemRelief, HeightEightyIsAFaceAndEightyOneAStroke)
{
    corners[1].scene_data = 777;
    heights[777] = 80;
    system_face_relief(&face);
    EXPECT_GT(count_pixels(Blue), 1000);
    EXPECT_EQ(count_pixels(Red), 0);

    fill_band(target, 0);
    heights[777] = 81;
    system_face_relief(&face);
    EXPECT_EQ(count_pixels(Blue), 0);
    EXPECT_GE(count_pixels(Red), 15) << "a stroke reaches at least 15 rows up";
}

TEST_F(SystemRelief, IndexOutsideTheGridReadsTheFirstByte)
{
    heights[0] = 200;
    for (int index : {-1, SystemGridVertices, 1 << 30}) {
        fill_band(target, 0);
        corners[1].scene_data = index;
        system_face_relief(&face);
        EXPECT_GT(count_pixels(Red), 0) << index;
        EXPECT_EQ(count_pixels(Blue), 0) << index;
    }
}

TEST(SystemLoader, GridOfTheGeneratedDataCarriesItsIndicesAndTooSmallAGridFails)
{
    reset_startup_error();
    ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
    read_archive_directory();
    load_system_scene();
    ASSERT_TRUE(SystemSceneReady) << StartupFailure;
    const Object3D &grid = SystemPlaneMesh.objects[0];
    for (int k = 0; k < SystemGridVertices; k++) {
        ASSERT_EQ(grid.vertices[k].scene_data, k);
        // Row by row: vertex k sits in row k / 50, column k % 50.
        if (k % SystemGridSide > 0) {
            ASSERT_EQ(grid.vertices[k].y, grid.vertices[k - 1].y) << k;
        }
        if (k >= SystemGridSide) {
            ASSERT_GT(std::fabs(grid.vertices[k].y - grid.vertices[k - SystemGridSide].y), 1.0f) << k;
        }
    }
    release_system_scene();

    MeshObjectSource small;
    for (int i = 0; i < 3; i++)
        small.vertices.push_back({float(i), float(i * i), 0.0f, 0.0f, 0.0f});
    small.faces.push_back({0, 1, 2});
    std::vector<uint8_t> mesh = encode_mesh({small});
    std::vector<uint32_t> texture(256 * 288, 0x00808080u);
    std::vector<uint8_t> heights(SystemGridVertices, 0);
    ScopedArchive archive({{"system\\system.3d", mesh},
                           {"system\\system_txt.tga", encode_tga_true_colour(256, 288, texture.data())},
                           {"system\\system_plane.3d", mesh},
                           {"system\\system_high.tga", encode_tga_grey(50, 50, heights.data())},
                           {"believe\\gula.3d", mesh}});
    load_system_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("system_plane.3d"), std::string::npos) << StartupFailure;
    EXPECT_FALSE(SystemSceneReady);

    std::vector<uint32_t> band(640 * 320, 0x00ABCDEFu);
    RenderTarget.pixels = band.data();
    RenderTarget.pitch = 640;
    system_scene_handler(1, 3, 0x3f);
    EXPECT_EQ(std::count(band.begin(), band.end(), 0x00ABCDEFu), 640 * 320) << "a rejected scene drew";
    RenderTarget.pixels = nullptr;
    release_system_scene();
}

}  // namespace
