// The believe scene on the generated data: advancing without drawing, the
// init call's frame, the pulsing cores and their doubled outlines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/archive.h"
#include "data/startup.h"
#include "engine/view.h"
#include "archive_fixture.h"
#include "frame_check.h"
#include "mesh_writer.h"
#include "tga_writer.h"
#include "raster/raster.h"
#include "scenes/believe.h"
#include "scenes/scenes.h"

namespace {

constexpr uint32_t Red = 0xFF0000, White = 0xFFFFFF, Orange = 0xFF8000;
constexpr float HalfPi = 1.5707964f;

class BelieveScene : public BandTest {
protected:
    static void SetUpTestSuite()
    {
        reset_startup_error();
        ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
        read_archive_directory();
        load_believe_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
    }

    static void TearDownTestSuite()
    {
        free_image(&BelieveBackground);
        free_image(&BelieveTexture);
        free_mesh(&BelieveOsmaMesh);
        free_mesh(&BelieveGulaMesh);
    }

    // What a call may change: the phase, the camera and both objects' matrices.
    struct Turn {
        float phase;
        std::vector<float> osma, gula, camera;
    };

    static Turn turn_now()
    {
        const float *osma = BelieveOsmaMesh.objects[0].matrix;
        const float *gula = BelieveGulaMesh.objects[0].matrix;
        return {BelievePhase, {osma, osma + 16}, {gula, gula + 16}, {BelieveCamera, BelieveCamera + 16}};
    }

    static void restore(const Turn &t)
    {
        BelievePhase = t.phase;
        std::memcpy(BelieveOsmaMesh.objects[0].matrix, t.osma.data(), sizeof(Matrix));
        std::memcpy(BelieveGulaMesh.objects[0].matrix, t.gula.data(), sizeof(Matrix));
        std::memcpy(BelieveCamera, t.camera.data(), sizeof(Matrix));
    }

    std::vector<uint32_t> band_copy() const
    {
        return std::vector<uint32_t>(target.storage.begin(), target.storage.end());
    }
};

TEST_F(BelieveScene, AdvanceOnlyCallChangesNoPixelButTurnsLikeADrawingCall)
{
    use_band(704, 0);  // pixels past column 639 must stay untouched too
    for (size_t i = 0; i < target.storage.size(); i++)
        target.storage[i] = 0x00123456u + static_cast<uint32_t>(i % 977);
    believe_scene_handler(1, 0, 0);
    for (size_t i = 0; i < target.storage.size(); i++)
        target.storage[i] = 0x00123456u + static_cast<uint32_t>(i % 977);
    const std::vector<uint32_t> before = band_copy();
    const Turn start = turn_now();

    believe_scene_handler(0, 7, 1);
    EXPECT_EQ(band_copy(), before) << "a flags-1 call drew";
    const Turn advanced = turn_now();

    restore(start);
    believe_scene_handler(0, 7, 0);
    const Turn drawn = turn_now();
    EXPECT_NE(band_copy(), before) << "a flags-0 call drew nothing";

    EXPECT_EQ(advanced.phase, drawn.phase);
    EXPECT_EQ(advanced.osma, drawn.osma);
    EXPECT_EQ(advanced.gula, drawn.gula);
    EXPECT_EQ(advanced.camera, drawn.camera);
    EXPECT_NE(advanced.osma, start.osma) << "the objects did not turn";
    EXPECT_NE(advanced.phase, start.phase);
    // Seven steps of 0.05 in 32-bit floats.
    float expected = start.phase;
    for (int i = 0; i < 7; i++)
        expected += 0.05f;
    EXPECT_EQ(advanced.phase, expected);
}

TEST_F(BelieveScene, OtherFlagBitsDoNotStopTheDrawing)
{
    believe_scene_handler(1, 0, 0);
    fill_band(target, 0);
    believe_scene_handler(0, 1, 2);
    EXPECT_GT(count_pixels(Orange), 0);
}

TEST_F(BelieveScene, InitResetsPhaseAndCameraButKeepsTheTurn)
{
    believe_scene_handler(1, 0, 0);
    believe_scene_handler(0, 30, 1);
    const Turn turned = turn_now();
    ASSERT_GT(turned.phase, 1.0f);

    believe_scene_handler(1, 0, 0);
    const Turn again = turn_now();
    EXPECT_EQ(again.phase, 0.0f);
    EXPECT_EQ(again.osma, turned.osma) << "the init call turned or reset the osma object";
    EXPECT_EQ(again.gula, turned.gula);
    EXPECT_EQ(BelieveCamera[14], -500.0f);
    EXPECT_EQ(BelieveCamera[12], 0.0f);
    EXPECT_EQ(BelieveCamera[13], 0.0f);
}

TEST_F(BelieveScene, InitFrameShowsBackgroundAndBothObjects)
{
    fill_band(target, 0x00ABCDEF);
    believe_scene_handler(1, 0, 0);
    // The background covers the band: the fill survives nowhere.
    EXPECT_EQ(count_pixels(0x00ABCDEF), 0);
    EXPECT_GT(count_pixels(Orange), 200) << "no orange outlines of the osma object";
    EXPECT_GT(count_pixels(Red), 50) << "no red cores of the gula object";
    EXPECT_GT(count_pixels(White), 200) << "no white outlines of the gula object";
    EXPECT_EQ(NearPlane, 450);
    EXPECT_EQ(FarPlane, 2000);
}

// A hand-made face on a black band, to look at the callback alone.
class BelievePulse : public BandTest {
protected:
    Vertex corners[3] = {};
    Face face = {};

    void SetUp() override
    {
        BandTest::SetUp();
        const int xy[3][2] = {{200, 40}, {440, 60}, {300, 280}};
        for (int i = 0; i < 3; i++) {
            corners[i].sx = xy[i][0];
            corners[i].sy = xy[i][1];
            corners[i].vz = 300.0f;
            face.v[i] = &corners[i];
        }
    }
};

TEST_F(BelievePulse, CoreBreathesBetweenAnEighthAndFiveEighths)
{
    BelievePhase = 3 * HalfPi;
    believe_face_pulse(&face);
    const int smallest = count_pixels(Red);

    fill_band(target, 0);
    BelievePhase = HalfPi;
    believe_face_pulse(&face);
    const int largest = count_pixels(Red);

    fill_band(target, 0);
    BelievePhase = 0.0f;
    believe_face_pulse(&face);
    const int resting = count_pixels(Red);

    // Areas go with the square of the scale: 0.125, 0.375, 0.625 of the face.
    ASSERT_GT(smallest, 0);
    EXPECT_NEAR(double(largest) / smallest, 25.0, 5.0);
    EXPECT_NEAR(double(resting) / smallest, 9.0, 2.0);
    // The core sits at the face's centroid.
    EXPECT_EQ(pixel((200 + 440 + 300) / 3, (40 + 60 + 280) / 3), Red);
}

TEST_F(BelievePulse, OutlineIsDoubledSidewaysAndTheFaceKeepsItsCorners)
{
    BelievePhase = 0.0f;
    believe_face_pulse(&face);
    // Both outlines pass through their corners: the face's own and the copy's
    // pushed 5 right, 5 left and 5 right.
    EXPECT_EQ(pixel(200, 40), White);
    EXPECT_EQ(pixel(205, 40), White);
    EXPECT_EQ(pixel(440, 60), White);
    EXPECT_EQ(pixel(435, 60), White);
    EXPECT_EQ(pixel(300, 280), White);
    EXPECT_EQ(pixel(305, 280), White);
    // The copies were drawn, not the object's records moved.
    EXPECT_EQ(corners[0].sx, 200);
    EXPECT_EQ(corners[1].sx, 440);
    EXPECT_EQ(corners[2].sx, 300);
    EXPECT_EQ(corners[0].sy, 40);
    EXPECT_EQ(face.v[0], &corners[0]);
}

TEST_F(BelievePulse, ShiftedOutlineNearTheEdgeIsClipped)
{
    use_band(640, 8);
    corners[0].sx = 2;
    corners[0].sy = 0;
    corners[1].sx = 637;
    corners[1].sy = 3;
    corners[2].sx = 636;
    corners[2].sy = 319;
    believe_face_pulse(&face);
    EXPECT_TRUE(guard_intact(target)) << "an outline ran outside the band";
    EXPECT_GT(count_pixels(White), 0);
}

}  // namespace

namespace {

// The still that start-up renders for the tunnel's flashes, on a display
// whose rows are longer than the band.
TEST(BelieveSnapshot, HoldsTheInitFrameWithoutTheTargetsExtraStride)
{
    constexpr int WidePitch = 768;
    reset_startup_error();
    ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
    ASSERT_EQ(startup_load(WidePitch * 4, 0), 1) << StartupFailure;
    ASSERT_EQ(RenderTarget.pitch, WidePitch);
    ASSERT_NE(BelieveSnapshot, nullptr);

    // The same init call again, into a band of the same stride.
    std::vector<uint32_t> band(static_cast<size_t>(WidePitch) * 320, 0x00EEEEEEu);
    RenderTarget.pixels = band.data();
    believe_scene_handler(1, 0, 0);
    int differing_rows = 0, orange = 0;
    for (int y = 0; y < 320; y++) {
        differing_rows += std::memcmp(BelieveSnapshot + y * 640, band.data() + y * WidePitch, 640 * 4) != 0;
        for (int x = 0; x < 640; x++)
            orange += BelieveSnapshot[y * 640 + x] == Orange;
    }
    EXPECT_EQ(differing_rows, 0);
    EXPECT_GT(orange, 200) << "the still shows no osma object";
    if (differing_rows != 0) {
        save_band_on_failure("BelieveSnapshot.still", BelieveSnapshot, 640);
        save_band_on_failure("BelieveSnapshot.redrawn", band.data(), WidePitch);
    }
    RenderTarget.pixels = nullptr;
    free_startup_buffers();
}

}  // namespace

namespace {

// The osma texture is read 256 by 256 whatever its size: a narrower one fails
// the start-up instead, and the scene then draws nothing.
TEST(BelieveLoader, RejectsATextureNarrowerThanTheMapperReads)
{
    std::vector<uint32_t> back(640 * 320, 0x00223344u), texture(128 * 256, 0x00AA5500u);
    MeshObjectSource object;
    object.vertices = {{0, 0, 0, 0, 0}, {20, 0, 0, 1, 0}, {0, 20, 0, 0, 1}};
    object.faces = {{0, 1, 2}};
    ScopedArchive archive({
        {"believe\\believe_back.tga", encode_tga_true_colour(640, 320, back.data())},
        {"believe\\believe_txt.tga", encode_tga_true_colour(128, 256, texture.data())},
        {"believe\\osma.3d", encode_mesh({object})},
        {"believe\\gula.3d", encode_mesh({object})},
    });
    // Whatever an earlier start-up left loaded goes first, so nothing leaks.
    free_image(&BelieveBackground);
    free_image(&BelieveTexture);
    free_mesh(&BelieveOsmaMesh);
    free_mesh(&BelieveGulaMesh);
    load_believe_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("believe_txt.tga"), std::string::npos) << StartupFailure;
    EXPECT_FALSE(BelieveLoaded);

    std::vector<uint32_t> band(640 * 320, 0x00ABCDEFu);
    RenderTarget.pixels = band.data();
    RenderTarget.pitch = 640;
    believe_scene_handler(1, 0, 0);
    EXPECT_EQ(std::count(band.begin(), band.end(), 0x00ABCDEFu), 640 * 320) << "a rejected scene drew";
    RenderTarget.pixels = nullptr;

    free_image(&BelieveBackground);
    free_image(&BelieveTexture);
    free_mesh(&BelieveOsmaMesh);
    free_mesh(&BelieveGulaMesh);
}

}  // namespace
