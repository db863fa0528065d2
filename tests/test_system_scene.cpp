// The system scene on the generated data: which callbacks the parameter bits
// choose, the copies' face scale, the flash, the wave, the relief's
// threshold and grid index, and a grid too small to index.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/startup_error.h"
#include "mesh_writer.h"
#include "scene_fixture.h"
#include "scenes/scenes.h"
#include "scenes/system.h"
#include "shell/sequencer.h"
#include "tga_writer.h"

namespace {

constexpr uint32_t Background = 0xFFFFFFFFu;  // the band filled with bytes of 255
constexpr uint32_t WhiteFace = 0x00FFFFFFu, Black = 0, Red = 0xFF0000, Blue = 0x0040FF;
constexpr uint32_t Cyan = 0x00FFFF, Amber = 0xFFC400;

class SystemScene : public SceneTest {
protected:
    static void SetUpTestSuite()
    {
        open_show_archive();
        load_system_scene();
        ASSERT_TRUE(SystemSceneReady) << StartupFailure;
    }
    static void TearDownTestSuite() { release_system_scene(); }

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

    // Pixels of none of the line and face colours: the copies' texels.
    int texel_count() const
    {
        return BandWidth * BandHeight - count_pixels(Background) - count_pixels(WhiteFace) - count_pixels(Black) -
               count_pixels(Red) - count_pixels(Blue);
    }
};

TEST_F(SystemScene, ParameterBitsChooseTheCallbacksInTheirOrderOfPriority)
{
    // 0x20 wins over 0x10: white faces, relief, and no copies under the wave bit.
    init_frame(0x30);
    EXPECT_GT(count_pixels(WhiteFace), 1000);
    EXPECT_GT(count_pixels(Blue), 1000);
    EXPECT_GT(count_pixels(Red), 100);
    EXPECT_EQ(texel_count(), 0) << "the copies were drawn";
    init_frame(0x10);
    EXPECT_EQ(count_pixels(WhiteFace), 0) << "outlines only, no gula";
    EXPECT_GT(count_pixels(Blue), 1000);
    init_frame(0x04);
    EXPECT_GT(texel_count(), 100) << "the copies are missing";

    // 0x02 wins over 0x01; rays at a fade of 0 are the single point (320, 90).
    // The copies are painted last and may cover it: with every texel clear
    // they leave the band to the plane.
    std::vector<uint8_t> clear(SystemTextureStore.width * SystemTextureStore.height * 4, 0);
    uint8_t *texels = SystemTextureStore.pixels;
    SystemTextureStore.pixels = clear.data();
    init_frame(0x01, 7, 0);
    SystemTextureStore.pixels = texels;
    EXPECT_EQ(count_pixels(Black), 1);
    EXPECT_EQ(pixel(320, 90), Black);
    init_frame(0x03, 7, 0);
    EXPECT_GT(count_pixels(Black), 2000);
    init_frame(0x01, 7, 255);
    EXPECT_GT(count_pixels(Black), 2000) << "full rays should reach the faces";

    // No known bit: the first pass is skipped.
    const std::vector<uint32_t> plain = init_frame(0);
    EXPECT_EQ(count_pixels(Black), 0);
    EXPECT_EQ(init_frame(0x40), plain);
}

TEST_F(SystemScene, FlashTurnsTheBandBlackAndTheReliefToAmberCyanAndWhite)
{
    init_frame(0x08, 3, 32);
    EXPECT_EQ(count_pixels(Background), 0);
    EXPECT_GT(count_pixels(Amber), 1000);
    EXPECT_GT(count_pixels(Cyan), 100);
    EXPECT_GT(count_pixels(WhiteFace), 1000);
    EXPECT_EQ(count_pixels(Blue) + count_pixels(Red), 0);
    init_frame(0x08, 4, 32);  // the same value under another kind is no flash
    EXPECT_EQ(count_pixels(Amber) + count_pixels(Cyan), 0);
}

TEST_F(SystemScene, FaceScaleIsCappedAtOneAndShrinksWithKindTen)
{
    init_frame(0);
    SystemPulse = 1.5707964f;  // the last copy's 1 + 0.5 / 4 is capped
    system_scene_handler(0, 0, 0);
    EXPECT_EQ(SystemFaceScale, 1.0f);
    FadeKind = 10;
    FadeValue = 51;
    system_scene_handler(0, 0, 0);
    EXPECT_FLOAT_EQ(SystemFaceScale, 0.8f);

    SystemPulse = -1.5707964f;  // 0.125 less a full fade stops at 0
    FadeValue = 255;
    fill_band(target, 0);
    system_scene_handler(0, 0, 0);
    EXPECT_EQ(SystemFaceScale, 0.0f);
    EXPECT_EQ(count_pixels(Background), BandWidth * BandHeight) << "shrunk-away copies still drew";
}

// The scene opens on a white band with the copies alone (parameter 0): they
// must carry the picture from the first second, and over a whole cycle of
// the zoom, not leave a small disc on white. The frustum tests them as if
// unscaled: a disc that reached past it would lose its rim in every copy.
TEST_F(SystemScene, CopiesAloneInkAFifthOfTheBandFromTheFirstSecond)
{
    init_frame(0);
    double first_second = 0, cycle = 0, least = 1, second = 0, least_second = 1;
    int culled = 0;
    constexpr int Second = 50, Cycle = 560;  // ticks; the zoom repeats every 560
    for (int tick = 1; tick <= Cycle; tick++) {
        system_scene_handler(0, 1, 0);
        const double ink = 1.0 - double(count_pixels(Background)) / (BandWidth * BandHeight);
        (tick <= Second ? first_second : cycle) += ink;
        least = std::min(least, ink);
        // The pulse's trough comes every 63 ticks: no whole second may sink with it.
        second += ink;
        if (tick % Second == 0) {
            least_second = std::min(least_second, second / Second);
            second = 0;
        }
        for (const Mesh &copy : SystemCopyMeshes)
            for (int f = 0; f < copy.objects[0].face_count; f++)
                culled += copy.objects[0].faces[f].visible == 0;
    }
    first_second /= Second;
    cycle /= Cycle - Second;
    EXPECT_GT(first_second, 0.2);
    EXPECT_GT(cycle, 0.2);
    EXPECT_GT(least, 0.05) << "a frame left the band nearly blank";
    EXPECT_GT(least_second, 0.15);
    EXPECT_EQ(culled, 0) << "faces of the copies fell outside the frustum";
}

TEST_F(SystemScene, GridKeepsItsIndicesTheWindowCyclesAndTheWaveGrowsUnderItsBit)
{
    for (int k = 0; k < SystemGridVertices; k++)
        ASSERT_EQ(SystemPlaneMesh.objects[0].vertices[k].scene_data, k);
    init_frame(0);
    system_scene_handler(0, 17, 0);
    EXPECT_EQ(SystemTexture.pixels, SystemTextureStore.pixels + 2 * 256 * 4) << "16 ticks make one cycle";
    EXPECT_EQ(SystemWaveAmount, 0.0f);
    system_scene_handler(0, 500, SystemParamWave);
    EXPECT_GE(SystemWaveAmount, 1.0f);
    EXPECT_LT(SystemWaveAmount, 1.0025f) << "the wave kept growing past 1";
    const float crest = SystemPlaneMesh.objects[0].vertices[123].z;
    EXPECT_NE(crest, 0.0f);
    system_scene_handler(0, 5, 0);
    EXPECT_EQ(SystemPlaneMesh.objects[0].vertices[123].z, crest) << "clearing the bit keeps the heights";
}

// One hand-made face on the relief callback, over a height picture of our own.
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
        place_corners(corners, face, xy, 100.0f);
    }
    void TearDown() override
    {
        SystemHeight = saved;
        BandTest::TearDown();
    }
};

TEST_F(SystemRelief, HeightEightyIsAFaceAboveIsAStrokeAndStrayIndicesReadByteZero)
{
    corners[1].scene_data = 777;
    heights[777] = 80;
    system_face_relief(&face);
    EXPECT_GT(count_pixels(Blue), 1000);
    EXPECT_EQ(count_pixels(Red), 0);
    heights[777] = 81;
    fill_band(target, 0);
    system_face_relief(&face);
    EXPECT_EQ(count_pixels(Blue), 0);
    EXPECT_GE(count_pixels(Red), 15) << "a stroke rises at least 15 rows";

    heights[0] = 200;
    for (int index : {-1, SystemGridVertices, 1 << 30}) {
        fill_band(target, 0);
        corners[1].scene_data = index;
        system_face_relief(&face);
        EXPECT_GT(count_pixels(Red), 0) << index;
    }
}

TEST(SystemLoader, GridTooSmallToIndexFailsTheStartAndNothingIsDrawn)
{
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

    GuardedBand band = band_after([] { system_scene_handler(1, 3, 0x3f); });
    EXPECT_EQ(count_band_pixels(band, UntouchedWord), 640 * 320) << "a rejected scene drew";
    release_system_scene();
}

}  // namespace
