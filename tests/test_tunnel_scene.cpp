// The tunnel scene on the generated data: the widened copy drawn at load, the
// background rule, the morph's turning points, the texture window and the
// smear and core passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/archive.h"
#include "data/startup.h"
#include "engine/random.h"
#include "engine/view.h"
#include "archive_fixture.h"
#include "frame_check.h"
#include "mesh_writer.h"
#include "tga_writer.h"
#include "scenes/scenes.h"
#include "scenes/tunnel.h"
#include "shell/sequencer.h"

namespace {

constexpr uint32_t DarkGreen = 0x008000, Red = 0xFF0000, White = 0xFFFFFF;

uint32_t RandomBeforeLoad;

class TunnelScene : public BandTest {
protected:
    static void SetUpTestSuite()
    {
        reset_startup_error();
        ArchivePath = ORVANTI_DATA_DIR "/orvanti.dat";
        read_archive_directory();
        RandomBeforeLoad = RandomState;
        load_tunnel_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
    }

    static void TearDownTestSuite()
    {
        free_mesh(&TunnelWireMesh);
        free_mesh(&TunnelSwollenMesh);
        free_mesh(&TunnelTexturedMesh);
        free_mesh(&TunnelBallMesh);
        free_image(&TunnelTexture);
        free_image(&TunnelBallTexture);
        free_image(&TunnelPicture);
    }

    void SetUp() override
    {
        BandTest::SetUp();
        FadeValue = 0;
        FadeKind = 0;
    }
};

TEST_F(TunnelScene, WidenedCopyDrawsTwoFactorsForEveryEvenRecord)
{
    const Object3D &wire = TunnelWireMesh.objects[0];
    const Object3D &swollen = TunnelSwollenMesh.objects[0];
    ASSERT_EQ(wire.vertex_count, swollen.vertex_count);

    // Replay the generator over the draws the loader should have made.
    uint32_t saved = RandomState;
    RandomState = RandomBeforeLoad;
    int widened = 0;
    for (int j = 0; j < wire.vertex_count; j++) {
        const Vertex &rest = wire.vertices[j], &wide = swollen.vertices[j];
        ASSERT_EQ(wide.z, rest.z) << "record " << j;
        if (j % 2 == 1) {
            ASSERT_EQ(wide.x, rest.x) << "odd record " << j << " changed";
            ASSERT_EQ(wide.y, rest.y) << "odd record " << j << " changed";
            continue;
        }
        float fx = static_cast<float>(random_next() % 32 + 16) * 0.0625f;
        float fy = static_cast<float>(random_next() % 32 + 16) * 0.0625f;
        ASSERT_GE(fx, 1.0f);
        ASSERT_LE(fy, 2.9375f);
        ASSERT_EQ(wide.x, rest.x * fx) << "record " << j;
        ASSERT_EQ(wide.y, rest.y * fy) << "record " << j;
        widened += (fx != 1.0f || fy != 1.0f);
    }
    EXPECT_EQ(RandomState, saved) << "the loader drew a different number of values";
    RandomState = saved;
    EXPECT_GT(widened, wire.vertex_count / 4);
}

TEST_F(TunnelScene, BackgroundIsBlackWhileTheFadeValueIsZero)
{
    use_band(768, 0);
    for (int kind : {0, 3, 6}) {
        std::fill(target.storage.begin(), target.storage.end(), 0x00777777u);
        FadeValue = 0;
        FadeKind = static_cast<uint8_t>(kind);
        tunnel_scene_handler(1, 0, 0);
        // Rows are cleared to the full stride; only the geometry is not black.
        int black = 0, padding_black = 0;
        for (int y = 0; y < 320; y++) {
            for (int x = 0; x < 768; x++) {
                uint32_t p = target.band[y * 768 + x];
                if (x >= 640)
                    padding_black += p == 0;
                else
                    black += p == 0;
            }
        }
        EXPECT_EQ(padding_black, 320 * 128) << "kind " << kind;
        EXPECT_GT(black, 640 * 320 / 3) << "kind " << kind;
        EXPECT_EQ(count_pixels(0x00777777u), 0) << "kind " << kind;
    }
}

// Counts band pixels equal to the source picture at the same place.
int matching_pixels(const uint32_t *band, int pitch, const uint32_t *picture)
{
    int n = 0;
    for (int y = 0; y < 320; y++)
        for (int x = 0; x < 640; x++)
            n += band[y * pitch + x] == picture[y * 640 + x];
    return n;
}

TEST_F(TunnelScene, FlashesShowThePictureForKindThreeAndTheSnapshotOtherwise)
{
    std::vector<uint32_t> snapshot(640 * 320);
    for (size_t i = 0; i < snapshot.size(); i++)
        snapshot[i] = 0x00400000u | static_cast<uint32_t>(i * 7 % 65521);
    uint32_t *saved_snapshot = BelieveSnapshot;
    BelieveSnapshot = snapshot.data();
    const uint32_t *picture = image_words(&TunnelPicture);

    use_band(704, 0);
    FadeValue = 32;
    FadeKind = 3;
    tunnel_scene_handler(1, 0, 0);
    const int picture_shown = matching_pixels(target.band, 704, picture);
    EXPECT_GT(picture_shown, 640 * 320 / 3);
    EXPECT_LT(matching_pixels(target.band, 704, snapshot.data()), 100);

    for (int kind : {6, 0, 1, 4}) {
        FadeKind = static_cast<uint8_t>(kind);
        FadeValue = 1;
        tunnel_scene_handler(1, 0, 0);
        EXPECT_GT(matching_pixels(target.band, 704, snapshot.data()), 640 * 320 / 3) << "kind " << kind;
        EXPECT_LT(matching_pixels(target.band, 704, picture), 100) << "kind " << kind;
    }
    BelieveSnapshot = saved_snapshot;
}

TEST_F(TunnelScene, BackgroundRuleWithoutGeometryIsExact)
{
    // With the objects set aside only the background is drawn.
    Mesh wire = TunnelWireMesh, textured = TunnelTexturedMesh, ball = TunnelBallMesh;
    TunnelWireMesh = TunnelTexturedMesh = TunnelBallMesh = Mesh{0, nullptr};
    std::vector<uint32_t> snapshot(640 * 320, 0x00102030u);
    uint32_t *saved_snapshot = BelieveSnapshot;
    BelieveSnapshot = snapshot.data();
    use_band(700, 0);

    FadeValue = 0;
    FadeKind = 3;
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(count_pixels(0), 640 * 320);
    FadeValue = 5;
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(matching_pixels(target.band, 700, image_words(&TunnelPicture)), 640 * 320);
    FadeKind = 2;
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(count_pixels(0x00102030u), 640 * 320);

    // A flash before any snapshot exists stays black rather than reading nothing.
    BelieveSnapshot = nullptr;
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(count_pixels(0), 640 * 320);

    BelieveSnapshot = saved_snapshot;
    TunnelWireMesh = wire;
    TunnelTexturedMesh = textured;
    TunnelBallMesh = ball;
}

TEST_F(TunnelScene, MorphTurnsAtItsBoundsWithoutClamping)
{
    tunnel_scene_handler(1, 0, 0);
    std::vector<float> morph;
    std::vector<bool> falling;
    for (int t = 0; t < 200; t++) {
        tunnel_scene_handler(0, 1, 0);
        morph.push_back(TunnelMorph);
        falling.push_back(TunnelMorphFalling);
    }
    // Up from 0: the 34th step is the first at 1.0 or more.
    for (int t = 0; t < 33; t++)
        ASSERT_LT(morph[t], 1.0f) << "tick " << t + 1;
    EXPECT_GE(morph[33], 1.0f);
    EXPECT_LT(morph[33], 1.03f);
    EXPECT_GT(morph[33], 1.0f) << "the value that passed the bound was clamped";
    EXPECT_FALSE(falling[32]);
    EXPECT_TRUE(falling[33]);
    EXPECT_LT(morph[34], morph[33]);

    // Down to -0.5 or less, then up again.
    int bottom = -1;
    for (int t = 34; t < 200 && bottom < 0; t++)
        if (morph[t] <= -0.5f)
            bottom = t;
    ASSERT_GT(bottom, 0);
    EXPECT_EQ(bottom, 33 + 51);
    EXPECT_GT(morph[bottom], -0.53f);
    EXPECT_FALSE(falling[bottom]);
    EXPECT_GT(morph[bottom + 1], morph[bottom]);
    for (int t = 34; t < bottom; t++)
        ASSERT_GT(morph[t], -0.5f);

    // A stalled frame steps the same way tick by tick.
    tunnel_scene_handler(1, 0, 0);
    tunnel_scene_handler(0, 200, 0);
    EXPECT_EQ(TunnelMorph, morph[199]);
    EXPECT_EQ(TunnelMorphFalling, falling[199]);
}

TEST_F(TunnelScene, MorphBlendsTheTexturedTubeBetweenTheTwoShapes)
{
    tunnel_scene_handler(1, 0, 0);
    tunnel_scene_handler(0, 20, 0);
    const float m = TunnelMorph;
    ASSERT_GT(m, 0.5f);
    const Object3D &wire = TunnelWireMesh.objects[0];
    const Object3D &swollen = TunnelSwollenMesh.objects[0];
    const Object3D &textured = TunnelTexturedMesh.objects[0];
    for (int j : {0, 1, 2, 17, wire.vertex_count - wire.face_count - 2}) {
        EXPECT_EQ(textured.vertices[j].x, wire.vertices[j].x + (swollen.vertices[j].x - wire.vertices[j].x) * m);
        EXPECT_EQ(textured.vertices[j].y, wire.vertices[j].y + (swollen.vertices[j].y - wire.vertices[j].y) * m);
        EXPECT_EQ(textured.vertices[j].z, wire.vertices[j].z);
    }
}

TEST_F(TunnelScene, TextureWindowClimbsFromRow256ToRow1)
{
    const uint8_t *base = TunnelTexture.pixels;
    const size_t row_bytes = 256 * 4;
    tunnel_scene_handler(1, 0, 0);
    EXPECT_EQ(TunnelTextureCounter, 0);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 256 * row_bytes);
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 255 * row_bytes);
    tunnel_scene_handler(0, 254, 0);
    EXPECT_EQ(TunnelTextureCounter, 255);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 1 * row_bytes);
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(TunnelTextureCounter, 0);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 256 * row_bytes);
    // Every face of the three tubes sees the window, not the whole picture.
    EXPECT_EQ(TunnelTexturedMesh.objects[0].faces[0].texture, &TunnelScrollTexture);
    EXPECT_EQ(TunnelWireMesh.objects[0].faces[0].texture, &TunnelScrollTexture);
    EXPECT_EQ(TunnelScrollTexture.width, 256);
}

TEST_F(TunnelScene, GreenSmearHidesUnderTheRedWiresUntilThePhaseMoves)
{
    tunnel_scene_handler(1, 0, 0);  // phase 0: no smear
    EXPECT_EQ(count_pixels(DarkGreen), 0);
    EXPECT_GT(count_pixels(Red), 500);

    tunnel_scene_handler(0, 120, 0);  // phase 1.2: 18.6 pixels of smear
    EXPECT_GT(count_pixels(DarkGreen), 500);
    EXPECT_EQ(NearPlane, 150);
    EXPECT_EQ(FarPlane, 1500);
}

TEST_F(TunnelScene, BallCoresShowUntilTheSineFallsPastMinusFiveEighths)
{
    tunnel_scene_handler(1, 0, 0);
    tunnel_scene_handler(0, 157, 0);  // phase about pi/2: cores at 0.8
    EXPECT_GT(count_pixels(White), 100);

    tunnel_scene_handler(0, 243, 0);  // phase 4.0: sin -0.76, no cores
    ASSERT_LT(std::sin(TunnelPhase), -0.625f);
    EXPECT_EQ(count_pixels(White), 0);
}

TEST_F(TunnelScene, BallAndTubesFollowTheFlight)
{
    tunnel_scene_handler(1, 0, 0);
    tunnel_scene_handler(0, 100, 0);
    EXPECT_NEAR(TunnelTravel, 710.0f, 0.01f);  // 100 steps of 7.1 in 32-bit floats
    EXPECT_EQ(TunnelWireMesh.objects[0].matrix[14], -TunnelTravel);
    EXPECT_EQ(TunnelTexturedMesh.objects[0].matrix[14], -TunnelTravel);
    EXPECT_EQ(TunnelBallMesh.objects[0].matrix[14], TunnelTravel * 0.015625f + 32.0f);
    // The init call resets the flight but not the turns.
    float turned = TunnelTexturedMesh.objects[0].matrix[0];
    tunnel_scene_handler(1, 0, 0);
    EXPECT_EQ(TunnelTravel, 0.0f);
    EXPECT_EQ(TunnelPhase, 0.0f);
    EXPECT_EQ(TunnelTexturedMesh.objects[0].matrix[0], turned);
    EXPECT_NE(turned, 1.0f);
}

}  // namespace

namespace {

std::vector<uint8_t> one_triangle_mesh()
{
    MeshObjectSource object;
    object.vertices = {{0, 0, 300, 0, 0}, {50, 0, 300, 1, 0}, {0, 50, 300, 0, 1}};
    object.faces = {{0, 1, 2}};
    return encode_mesh({object});
}

std::vector<uint8_t> flat_picture(int width, int height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0x00336699u);
    return encode_tga_true_colour(width, height, pixels.data());
}

// The scrolling window reads 512 rows: a texture of 256 rows would be read
// past its end every frame, so the start-up fails naming it.
TEST(TunnelLoader, RejectsATubeTextureTooShortForTheWindow)
{
    ScopedArchive archive({
        {"tunel\\tunel.3d", one_triangle_mesh()},
        {"ball\\ball.3d", one_triangle_mesh()},
        {"tunel\\tunel_txt.tga", flat_picture(256, 256)},
        {"tunel\\tunel_ball_txt.tga", flat_picture(256, 256)},
        {"tunel\\tunel_pic.tga", flat_picture(640, 320)},
    });
    load_tunnel_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("tunel_txt.tga"), std::string::npos) << StartupFailure;
    EXPECT_FALSE(TunnelLoaded);

    std::vector<uint32_t> band(640 * 320, 0x00ABCDEFu);
    RenderTarget.pixels = band.data();
    RenderTarget.pitch = 640;
    tunnel_scene_handler(1, 0, 0);
    EXPECT_EQ(std::count(band.begin(), band.end(), 0x00ABCDEFu), 640 * 320) << "a rejected scene drew";
    RenderTarget.pixels = nullptr;

    free_mesh(&TunnelWireMesh);
    free_mesh(&TunnelSwollenMesh);
    free_mesh(&TunnelTexturedMesh);
    free_mesh(&TunnelBallMesh);
    free_image(&TunnelTexture);
    free_image(&TunnelBallTexture);
    free_image(&TunnelPicture);
}

}  // namespace
