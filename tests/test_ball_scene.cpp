// The ball scene on the generated data: the roughening at load, the camera's
// parameter bits, the red-only vortex texture, the white ball's near plane,
// the fade reactions, and a scene whose data failed to load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/startup_error.h"
#include "engine/random.h"
#include "engine/view.h"
#include "raster/render_target.h"
#include "scene_fixture.h"
#include "scenes/ball.h"
#include "scenes/image_ops.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"
#include "tga_writer.h"

namespace {

uint32_t RandomBeforeLoad;

class BallScene : public SceneTest {
protected:
    static void SetUpTestSuite()
    {
        open_show_archive();
        RandomBeforeLoad = RandomState;
        load_ball_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
        ASSERT_TRUE(BallSceneReady);
    }

    static void TearDownTestSuite() { release_ball_scene(); }

    // Runs `frames` frames of `step` ticks; returns the camera z after each.
    static std::vector<float> run(int frames, int step, int param)
    {
        std::vector<float> z;
        for (int t = 0; t < frames; t++) {
            ball_scene_handler(0, step, param);
            z.push_back(BallCamera[14]);
        }
        return z;
    }

    // The band warp_band draws from `source` with these offsets (its own
    // arithmetic is checked with the other image operations).
    static std::vector<uint32_t> warped_band(const Image &source, int offset_x, int offset_y)
    {
        std::vector<uint32_t> band(BandWidth * BandHeight);
        const TargetBand saved = RenderTarget;
        RenderTarget = {band.data(), BandWidth};
        warp_band(BallMapX.pixels, BallMapY.pixels, image_words(&source), offset_x, offset_y);
        RenderTarget = saved;
        return band;
    }
};

TEST_F(BallScene, LoadRoughensOnlyTheRoughBallWithThreeDrawsPerRecord)
{
    const Object3D &plain = BallVortexMesh.objects[0];
    const Object3D &rough = BallRoughMesh.objects[0];
    const Object3D &white = BallWhiteMesh.objects[0];
    ASSERT_EQ(plain.vertex_count, rough.vertex_count);
    uint32_t saved = RandomState;
    RandomState = RandomBeforeLoad;
    // Every record, the face normals at the end of the array included.
    for (int j = 0; j < plain.vertex_count; j++) {
        const Vertex &p = plain.vertices[j], &r = rough.vertices[j];
        ASSERT_EQ(r.x, p.x + float(random_next() % 64 - 32)) << "record " << j;
        ASSERT_EQ(r.y, p.y + float(random_next() % 64 - 32)) << "record " << j;
        ASSERT_EQ(r.z, p.z + float(random_next() % 64 - 32)) << "record " << j;
        ASSERT_EQ(white.vertices[j].x, p.x) << "the white ball moved at record " << j;
    }
    EXPECT_EQ(RandomState, saved) << "the loader drew a different number of values";
    RandomState = saved;
    EXPECT_FLOAT_EQ(plain.matrix[15], 0.6f);
    EXPECT_FLOAT_EQ(rough.matrix[15], 0.6f);
    EXPECT_FLOAT_EQ(white.matrix[15], 4.0f);
    EXPECT_EQ(plain.faces[0].texture, &BallVortexTexture);
}

TEST_F(BallScene, ParameterBitsWidenTheSwingAndStopANearCamera)
{
    ball_scene_handler(1, 0, 0);
    std::vector<float> z = run(134, 3, 0);
    EXPECT_LT(z[0], -200.0f) << "the camera should first move away";
    EXPECT_NEAR(*std::min_element(z.begin(), z.end()), -250.0f, 0.5f);
    EXPECT_NEAR(*std::max_element(z.begin(), z.end()), -150.0f, 0.5f);

    ball_scene_handler(1, 0, 1);
    z = run(134, 3, 1);
    EXPECT_NEAR(*std::min_element(z.begin(), z.end()), -300.0f, 0.5f) << "bit 0 doubles the swing";
    EXPECT_NEAR(*std::max_element(z.begin(), z.end()), -100.0f, 0.5f);

    // Bit 1 alone never meets a camera that near; one already there stays.
    ball_scene_handler(1, 0, 2);
    z = run(134, 3, 2);
    EXPECT_NEAR(*std::max_element(z.begin(), z.end()), -150.0f, 0.5f);
    BallCamera[14] = -110.0f;
    for (float value : run(60, 3, 2))
        ASSERT_EQ(value, -110.0f);

    // Parameter 3 stops z at the first frame at -125 or nearer; x sways on.
    for (int step : {1, 3}) {
        ball_scene_handler(1, 0, 3);
        z = run(240 / step, step, 3);
        auto first_near = std::find_if(z.begin(), z.end(), [](float v) { return v >= -125.0f; });
        ASSERT_NE(first_near, z.end()) << "step " << step;
        ASSERT_NE(first_near, z.begin());
        EXPECT_LT(*(first_near - 1), -125.0f);
        for (auto later = first_near; later != z.end(); ++later)
            ASSERT_EQ(*later, *first_near) << "step " << step << ", frame " << (later - z.begin());
        float sway = BallCamera[12];
        run(1, step, 3);
        EXPECT_NE(BallCamera[12], sway);
    }

    // Many ticks in one call advance tick by tick.
    ball_scene_handler(1, 0, 1);
    run(57, 1, 1);
    float phase = BallPhase, camera_z = BallCamera[14];
    ball_scene_handler(1, 0, 1);
    ball_scene_handler(0, 57, 1);
    EXPECT_EQ(BallTicks, 57);
    EXPECT_EQ(BallPhase, phase);
    EXPECT_EQ(BallCamera[14], camera_z);
}

TEST_F(BallScene, VortexTextureIsTheRedOfTheBandCentreAlsoWhenInverted)
{
    use_band(700, 4);  // the square is found by rows, whatever the stride
    Matrix turned;
    memcpy(turned, BallVortexMesh.objects[0].matrix, sizeof turned);
    ball_scene_handler(1, 0, 0);
    EXPECT_EQ(memcmp(turned, BallVortexMesh.objects[0].matrix, sizeof turned), 0) << "init turned the ball";
    EXPECT_EQ(pixel(0, 0), warped_band(BallSource, 0, 0)[0]) << "init warps with offsets 0";

    struct Fade {
        uint8_t kind;
        int value;
        bool inverted;
    };
    int ticks = 0;
    for (Fade fade : {Fade{0, 0, false}, Fade{3, 32, true}, Fade{4, 8, true}, Fade{3, 0, false}, Fade{2, 32, false}}) {
        FadeKind = fade.kind;
        FadeValue = fade.value;
        ball_scene_handler(0, 37, 0);
        ticks += 37;  // the offsets are the ticks since init across and half of them down
        const Image &source = fade.inverted ? BallSourceInverted : BallSource;
        const std::vector<uint32_t> band = warped_band(source, ticks, ticks / 2);
        const uint32_t *texels = image_words(&BallVortexTexture);
        for (int r = 0; r < 256; r++)
            for (int c = 0; c < 256; c++)
                ASSERT_EQ(texels[r * 256 + c], band[(32 + r) * BandWidth + 192 + c] & 0xFF0000)
                    << "kind " << int(fade.kind) << " value " << fade.value << ", texel " << r << ", " << c;
        EXPECT_EQ(pixel(0, 0), band[0]) << "kind " << int(fade.kind);
    }
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(BallScene, WhiteBallOnlyWhileNearWithNearZeroAndSeventyFiveRestoredNextFrame)
{
    const Object3D &vortex = BallVortexMesh.objects[0];
    Object3D &white = BallWhiteMesh.objects[0];
    auto count_outside = [](const Object3D &ball) {  // corners of faces; spare records lie out of view
        int n = 0;
        for (int f = 0; f < ball.face_count; f++)
            for (const Vertex *v : ball.faces[f].v)
                n += v->outside;
        return n;
    };
    ball_scene_handler(1, 0, 1);
    bool saw_far = false, saw_close = false, last_near = false;
    for (int frame = 0; frame < 320; frame++) {
        white.faces[0].visible = 2;  // only a cull of the white ball overwrites it
        ball_scene_handler(0, 1, 1);
        bool near = BallCamera[14] > -140.0f;
        ASSERT_EQ(white.faces[0].visible != 2, near) << "frame " << frame << ", z " << BallCamera[14];
        ASSERT_EQ(NearPlane, near ? 0 : 75) << "frame " << frame;
        if (near) {
            ASSERT_EQ(count_outside(white), 0) << "the white ball is culled with near 0";
        }
        // After a frame that left near 0 the vortex ball is still culled at
        // 75, which takes its front cap once the camera is this close.
        if (last_near && BallCamera[14] > -105.0f) {
            saw_close = true;
            EXPECT_GT(count_outside(vortex), 0) << "frame " << frame << ": near 0 leaked into the next frame";
        }
        saw_far |= !near;
        last_near = near;
    }
    EXPECT_TRUE(saw_far && saw_close);
}

TEST_F(BallScene, KindFourSwapsTheFarVortexBallsColoursKindThreeDoesNot)
{
    struct Case {
        uint8_t kind;
        int value;
        bool swapped;
    };
    for (Case fade : {Case{0, 0, false}, Case{3, 32, false}, Case{4, 32, true}, Case{4, 0, false}}) {
        FadeKind = fade.kind;
        FadeValue = fade.value;
        ball_scene_handler(1, 0, 0);
        ASSERT_LE(BallCamera[14], -140.0f);
        // The ball's centre on screen: the camera sways 50 to the right at the start.
        const int cx = 320 - 256 * 50 / 200, cy = 160;
        int white = 0, black = 0;
        for (int y = cy - 15; y <= cy + 15; y++)
            for (int x = cx - 15; x <= cx + 15; x++) {
                white += pixel(x, y) == 0xFFFFFF;
                black += pixel(x, y) == 0;
            }
        // Flat fill under a wire of the other colour: the fill dominates.
        EXPECT_GT(fade.swapped ? white : black, 3 * (fade.swapped ? black : white))
            << "kind " << int(fade.kind) << " value " << fade.value;
    }
}

// A scene whose pictures have the wrong sizes reports the entry and then
// draws nothing instead of reading past its maps.
TEST(BallSceneData, WrongSizedMapIsReportedAndTheHandlerDrawsNothing)
{
    std::vector<uint8_t> small_map(64 * 32, 7), map(640 * 320, 3);
    std::vector<uint32_t> source(256 * 256, 0x00123456);
    ScopedArchive archive({{"ball\\ball_vortex_x1.tga", encode_tga_grey(64, 32, small_map.data())},
                           {"ball\\ball_vortex_y1.tga", encode_tga_grey(640, 320, map.data())},
                           {"ball\\ball_vortex_txt.tga", encode_tga_true_colour(256, 256, source.data())},
                           {"ball\\ball.3d", triangle_mesh(10, 0)}});
    load_ball_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("BALL\\BALL_VORTEX_X1.TGA"), std::string::npos) << StartupFailure;
    EXPECT_FALSE(BallSceneReady);

    GuardedBand band = band_after([] {
        ball_scene_handler(1, 0, 0);
        ball_scene_handler(0, 5, 3);
    });
    for (int i = 0; i < 640 * 320; i++)
        ASSERT_EQ(band.band[i], UntouchedWord);
    EXPECT_TRUE(guard_intact(band));
    release_ball_scene();
}

} // namespace
