// The ball scene on the generated data: the roughening at load, the camera's
// parameter bits, the red-only vortex texture, the white ball's near plane,
// the fade reactions, and a scene whose data failed to load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/archive.h"
#include "data/startup.h"
#include "engine/random.h"
#include "engine/view.h"
#include "frame_check.h"
#include "mesh_writer.h"
#include "scenes/ball.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"
#include "tga_writer.h"

namespace {

constexpr uint32_t White = 0xFFFFFF, Black = 0x000000;

uint32_t RandomBeforeLoad;

class BallScene : public BandTest {
protected:
    static void SetUpTestSuite()
    {
        reset_startup_error();
        ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
        read_archive_directory();
        RandomBeforeLoad = RandomState;
        load_ball_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
        ASSERT_TRUE(BallSceneReady);
    }

    static void TearDownTestSuite() { release_ball_scene(); }

    void SetUp() override
    {
        BandTest::SetUp();
        FadeValue = 0;
        FadeKind = 0;
    }

    // Runs `frames` frames of `step` ticks each; returns the camera z after each.
    std::vector<float> run_ticks(int frames, int step, int param)
    {
        std::vector<float> z;
        for (int t = 0; t < frames; t++) {
            ball_scene_handler(0, step, param);
            z.push_back(BallCamera[14]);
        }
        return z;
    }

    // The texel the warp puts at band (row, column) with the scene's offsets.
    uint32_t warped(int row, int column, const Image &source) const
    {
        int i = row * 640 + column;
        int tx = (BallMapX.pixels[i] + (BallTicks & 255)) % 255;
        int ty = (BallMapY.pixels[i] + ((BallTicks / 2) & 255)) % 255;
        return image_words(&source)[ty * 256 + tx];
    }

    // The vortex ball's screen centre: the mean of its drawn vertices.
    void ball_centre(int *x, int *y) const
    {
        const Object3D &ball = VortexBallMesh.objects[0];
        long sx = 0, sy = 0, n = 0;
        for (int i = 0; i < ball.vertex_count - ball.face_count; i++) {
            if (ball.vertices[i].outside)
                continue;
            sx += ball.vertices[i].sx;
            sy += ball.vertices[i].sy;
            n++;
        }
        ASSERT_GT(n, 0);
        *x = static_cast<int>(sx / n);
        *y = static_cast<int>(sy / n);
    }

    void count_box(int cx, int cy, int half, int *white, int *black) const
    {
        *white = *black = 0;
        for (int y = cy - half; y <= cy + half; y++)
            for (int x = cx - half; x <= cx + half; x++) {
                *white += pixel(x, y) == White;
                *black += pixel(x, y) == Black;
            }
    }
};

TEST_F(BallScene, LoadRoughensOnlyTheRoughBallWithThreeDrawsPerRecord)
{
    const Object3D &plain = VortexBallMesh.objects[0];
    const Object3D &rough = RoughBallMesh.objects[0];
    const Object3D &white = WhiteBallMesh.objects[0];
    ASSERT_EQ(plain.vertex_count, rough.vertex_count);
    ASSERT_EQ(plain.vertex_count, white.vertex_count);

    uint32_t saved = RandomState;
    RandomState = RandomBeforeLoad;
    int moved = 0;
    // Every record, the face normals at the end of the array included.
    for (int j = 0; j < plain.vertex_count; j++) {
        const Vertex &p = plain.vertices[j], &r = rough.vertices[j];
        float dx = static_cast<float>(random_next() % 64 - 32);
        float dy = static_cast<float>(random_next() % 64 - 32);
        float dz = static_cast<float>(random_next() % 64 - 32);
        ASSERT_EQ(r.x, p.x + dx) << "record " << j;
        ASSERT_EQ(r.y, p.y + dy) << "record " << j;
        ASSERT_EQ(r.z, p.z + dz) << "record " << j;
        ASSERT_EQ(white.vertices[j].x, p.x) << "the white ball moved at record " << j;
        moved += dx != 0 || dy != 0 || dz != 0;
    }
    EXPECT_EQ(RandomState, saved) << "the loader drew a different number of values";
    RandomState = saved;
    EXPECT_GT(moved, plain.vertex_count / 2);

    // Scaled to show at 1/0.6, 1/0.6 and 1/4 of their size; turns keep m15.
    EXPECT_FLOAT_EQ(plain.matrix[15], 0.6f);
    EXPECT_FLOAT_EQ(rough.matrix[15], 0.6f);
    EXPECT_FLOAT_EQ(white.matrix[15], 4.0f);
    for (int f = 0; f < plain.face_count; f++)
        ASSERT_EQ(plain.faces[f].texture, &VortexTexture);
}

TEST_F(BallScene, InitCallTurnsNothingAndWarpsWithZeroOffsets)
{
    Matrix before;
    memcpy(before, VortexBallMesh.objects[0].matrix, sizeof before);
    ball_scene_handler(1, 0, 0);
    EXPECT_EQ(memcmp(before, VortexBallMesh.objects[0].matrix, sizeof before), 0);
    EXPECT_EQ(BallTicks, 0);
    EXPECT_FLOAT_EQ(BallPhase, 3.1415927f);
    EXPECT_EQ(NearPlane, 75);
    EXPECT_EQ(FarPlane, 1000);
    // The corner lies far outside every ball: pure vortex there.
    EXPECT_EQ(pixel(0, 0), warped(0, 0, BallSource));
    EXPECT_EQ(pixel(639, 319), warped(319, 639, BallSource));
}

TEST_F(BallScene, CameraBobsWithinItsSwingAndFirstMovesAway)
{
    ball_scene_handler(1, 0, 0);
    std::vector<float> z = run_ticks(134, 3, 0);
    EXPECT_LT(z[0], -200.0f) << "the camera should first move away";
    auto [low, high] = std::minmax_element(z.begin(), z.end());
    EXPECT_NEAR(*low, -250.0f, 0.5f);
    EXPECT_NEAR(*high, -150.0f, 0.5f);

    ball_scene_handler(1, 0, 1);
    z = run_ticks(134, 3, 1);
    auto [low1, high1] = std::minmax_element(z.begin(), z.end());
    EXPECT_NEAR(*low1, -300.0f, 0.5f) << "bit 0 doubles the swing";
    EXPECT_NEAR(*high1, -100.0f, 0.5f);
}

TEST_F(BallScene, ParamThreeFreezesTheCameraAtTheFirstFrameAtMinus125OrNearer)
{
    for (int step : {1, 3}) {
        ball_scene_handler(1, 0, 3);
        float previous = BallCamera[14];
        int frozen_at = -1;
        float frozen_z = 0;
        float sway_before = 0;
        for (int frame = 0; frame < 240 / step; frame++) {
            ball_scene_handler(0, step, 3);
            float z = BallCamera[14];
            if (frozen_at < 0 && z >= -125.0f) {
                EXPECT_LT(previous, -125.0f);
                frozen_at = frame;
                frozen_z = z;
                sway_before = BallCamera[12];
            } else if (frozen_at >= 0) {
                ASSERT_EQ(z, frozen_z) << "step " << step << ", frame " << frame;
            }
            previous = z;
        }
        ASSERT_GE(frozen_at, 0) << "the camera never came near";
        EXPECT_LE(frozen_z, -100.0f);
        EXPECT_NE(BallCamera[12], sway_before) << "the sideways sway goes on";
    }
}

TEST_F(BallScene, ParamTwoHoldsAnyCameraAlreadyNearButNeverComesNearItself)
{
    ball_scene_handler(1, 0, 2);
    std::vector<float> z = run_ticks(134, 3, 2);
    EXPECT_NEAR(*std::max_element(z.begin(), z.end()), -150.0f, 0.5f) << "bit 1 alone must not stop a far camera";

    ball_scene_handler(1, 0, 2);
    BallCamera[14] = -110.0f;
    z = run_ticks(100, 3, 2);
    for (float value : z)
        ASSERT_EQ(value, -110.0f);
}

TEST_F(BallScene, ManyTicksAtOnceAdvanceLikeSingleTicks)
{
    ball_scene_handler(1, 0, 1);
    run_ticks(57, 1, 1);
    float phase = BallPhase, z = BallCamera[14], x = BallCamera[12];
    ball_scene_handler(1, 0, 1);
    ball_scene_handler(0, 57, 1);
    EXPECT_EQ(BallTicks, 57);
    EXPECT_EQ(BallPhase, phase);
    EXPECT_EQ(BallCamera[14], z);
    EXPECT_EQ(BallCamera[12], x);
}

TEST_F(BallScene, VortexTextureIsTheRedOfTheBandCentreAlsoWhenInverted)
{
    use_band(700, 4);  // the square is found by rows, whatever the stride
    ball_scene_handler(1, 0, 0);
    ball_scene_handler(0, 37, 0);  // offsets 37 across and 18 down
    const uint32_t *texels = image_words(&VortexTexture);
    for (int r = 0; r < 256; r++)
        for (int c = 0; c < 256; c++)
            ASSERT_EQ(texels[r * 256 + c], warped(32 + r, 192 + c, BallSource) & 0xFF0000)
                << "texel " << r << ", " << c;

    struct Fade {
        uint8_t kind;
        int value;
        bool inverted;
    };
    for (Fade fade : {Fade{3, 32, true}, Fade{4, 8, true}, Fade{3, 0, false}, Fade{2, 32, false}}) {
        FadeKind = fade.kind;
        FadeValue = fade.value;
        ball_scene_handler(0, 1, 0);
        const Image &source = fade.inverted ? BallSourceInverted : BallSource;
        for (int r = 0; r < 256; r += 5)
            for (int c = 0; c < 256; c += 3)
                ASSERT_EQ(texels[r * 256 + c], warped(32 + r, 192 + c, source) & 0xFF0000)
                    << "kind " << int(fade.kind) << " value " << fade.value << ", texel " << r << ", " << c;
        EXPECT_EQ(pixel(0, 0), warped(0, 0, source)) << "kind " << int(fade.kind);
    }
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(BallScene, WhiteBallOnlyWhileNearWithNearZeroAndSeventyFiveRestoredNextFrame)
{
    const Object3D &vortex = VortexBallMesh.objects[0];
    Object3D &white = WhiteBallMesh.objects[0];
    // Marks that only a cull of the white ball overwrites.
    auto mark_white = [&] {
        for (int f = 0; f < white.face_count; f++)
            white.faces[f].visible = 2;
    };
    auto white_culled = [&] { return white.faces[0].visible != 2; };
    auto count_outside = [](const Object3D &ball) {
        int n = 0;
        for (int i = 0; i < ball.vertex_count - ball.face_count; i++)
            n += ball.vertices[i].outside;
        return n;
    };

    ball_scene_handler(1, 0, 1);
    bool saw_far = false, saw_close = false, last_drawn = false;
    for (int frame = 0; frame < 320; frame++) {
        mark_white();
        ball_scene_handler(0, 1, 1);
        bool near = BallCamera[14] > -140.0f;
        ASSERT_EQ(white_culled(), near) << "frame " << frame << ", z " << BallCamera[14];
        ASSERT_EQ(NearPlane, near ? 0 : 75) << "frame " << frame;
        saw_far |= !near;
        if (near) {
            ASSERT_EQ(count_outside(white), 0) << "the white ball is culled with near 0";
        }
        // Right after a frame that left near 0, the vortex ball is still
        // culled at 75: its front cap goes once the camera is this close.
        if (last_drawn && BallCamera[14] > -105.0f) {
            saw_close = true;
            EXPECT_GT(count_outside(vortex), 0) << "frame " << frame << ": near 0 leaked into the next frame";
        }
        last_drawn = near;
    }
    EXPECT_TRUE(saw_far);
    EXPECT_TRUE(saw_close);
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
        ball_scene_handler(0, 0, 0);
        ASSERT_LE(BallCamera[14], -140.0f);
        int cx = 0, cy = 0, white = 0, black = 0;
        ball_centre(&cx, &cy);
        count_box(cx, cy, 15, &white, &black);
        // Flat fill with a wire of the other colour: the fill dominates.
        if (fade.swapped) {
            EXPECT_GT(white, 3 * black) << "kind " << int(fade.kind);
        } else {
            EXPECT_GT(black, 3 * white) << "kind " << int(fade.kind) << " value " << fade.value;
        }
    }
}

// A scene whose pictures have the wrong sizes reports the entry and then
// draws nothing instead of reading past its maps.
TEST(BallSceneData, WrongSizedMapIsReportedAndTheHandlerDrawsNothing)
{
    std::vector<uint8_t> small_map(64 * 32, 7);
    std::vector<uint8_t> map(640 * 320, 3);
    std::vector<uint32_t> source(256 * 256, 0x00123456);
    MeshObjectSource triangle;
    triangle.vertices = {{0, 0, 0, 0, 0}, {10, 0, 0, 1, 0}, {0, 10, 0, 0, 1}};
    triangle.faces = {{0, 1, 2}};
    ScopedArchive archive({{"ball\\ball_vortex_x1.tga", encode_tga_grey(64, 32, small_map.data())},
                           {"ball\\ball_vortex_y1.tga", encode_tga_grey(640, 320, map.data())},
                           {"ball\\ball_vortex_txt.tga", encode_tga_true_colour(256, 256, source.data())},
                           {"ball\\ball.3d", encode_mesh({triangle})}});
    load_ball_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("BALL\\BALL_VORTEX_X1.TGA"), std::string::npos)
        << StartupFailure;
    EXPECT_FALSE(BallSceneReady);

    GuardedBand band;
    make_guarded_band(band, 640, 2);
    fill_band(band, 0x00ABCDEF);
    RenderTarget.pixels = band.band;
    RenderTarget.pitch = band.pitch;
    ball_scene_handler(1, 0, 0);
    ball_scene_handler(0, 5, 3);
    RenderTarget.pixels = nullptr;
    for (int y = 0; y < 320; y++)
        for (int x = 0; x < 640; x++)
            ASSERT_EQ(band.band[y * 640 + x], 0x00ABCDEFu);
    EXPECT_TRUE(guard_intact(band));
    release_ball_scene();
}

} // namespace
