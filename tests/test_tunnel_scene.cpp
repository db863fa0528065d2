// The tunnel scene on the generated data: the widened copy drawn at load, the
// background rule, the morph's turning points, the texture window, the smear
// and core passes, and the loader's shape checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/startup_error.h"
#include "engine/random.h"
#include "engine/view.h"
#include "scene_fixture.h"
#include "scenes/believe.h"
#include "scenes/scenes.h"
#include "scenes/tunnel.h"
#include "shell/sequencer.h"
#include "tga_writer.h"

namespace {

uint32_t RandomBeforeLoad;

void free_tunnel_assets()
{
    for (Mesh *m : {&TunnelWireMesh, &TunnelSwollenMesh, &TunnelTexturedMesh, &TunnelBallMesh})
        free_mesh(m);
    for (Image *i : {&TunnelTexture, &TunnelBallTexture, &TunnelPicture})
        free_image(i);
}

class TunnelScene : public SceneTest {
protected:
    static void SetUpTestSuite()
    {
        open_show_archive();
        RandomBeforeLoad = RandomState;
        load_tunnel_scene();
        ASSERT_TRUE(TunnelSceneReady) << StartupFailure;
    }
    static void TearDownTestSuite() { free_tunnel_assets(); }
};

TEST_F(TunnelScene, WidenedCopyDrawsTwoFactorsForEveryEvenRecordOnly)
{
    const Object3D &wire = TunnelWireMesh.objects[0], &swollen = TunnelSwollenMesh.objects[0];
    ASSERT_EQ(wire.vertex_count, swollen.vertex_count);
    const uint32_t after_load = RandomState;
    RandomState = RandomBeforeLoad;  // replay the draws the loader should have made
    for (int j = 0; j < wire.vertex_count; j++) {
        const Vertex &rest = wire.vertices[j], &wide = swollen.vertices[j];
        float fx = 1.0f, fy = 1.0f;
        if (j % 2 == 0) {
            fx = static_cast<float>(random_next() % 32 + 16) * 0.0625f;
            fy = static_cast<float>(random_next() % 32 + 16) * 0.0625f;
        }
        ASSERT_EQ(wide.x, rest.x * fx) << "record " << j;
        ASSERT_EQ(wide.y, rest.y * fy) << "record " << j;
        ASSERT_EQ(wide.z, rest.z) << "record " << j;
    }
    EXPECT_EQ(RandomState, after_load) << "the loader drew a different number of values";
    RandomState = after_load;
}

TEST_F(TunnelScene, BackgroundIsBlackAtValueZeroThePictureForKindThreeElseTheSnapshot)
{
    // With the drawn objects set aside only the background is left.
    Mesh wire = TunnelWireMesh, textured = TunnelTexturedMesh, ball = TunnelBallMesh;
    TunnelWireMesh = TunnelTexturedMesh = TunnelBallMesh = Mesh{0, nullptr};
    std::vector<uint32_t> snapshot(640 * 320, 0x00102030u);
    uint32_t *saved_snapshot = BelieveSnapshot;
    BelieveSnapshot = snapshot.data();
    const uint32_t *picture = image_words(&TunnelPicture);
    use_band(700, 0);

    for (int kind : {0, 3, 6}) {
        std::fill(target.storage.begin(), target.storage.end(), 0x00777777u);
        FadeValue = 0;
        FadeKind = static_cast<uint8_t>(kind);
        tunnel_scene_handler(0, 1, 0);
        EXPECT_EQ(std::count(target.storage.begin(), target.storage.end(), 0u), 700 * 320)
            << "kind " << kind << ": rows are cleared to their full stride";
    }
    FadeValue = 5;
    FadeKind = 3;
    tunnel_scene_handler(0, 1, 0);
    int shown = 0;
    for (int y = 0; y < 320; y++)
        shown += std::equal(picture + y * 640, picture + y * 640 + 640, target.band + y * 700);
    EXPECT_EQ(shown, 320);
    for (int kind : {0, 2, 6}) {
        FadeKind = static_cast<uint8_t>(kind);
        tunnel_scene_handler(0, 1, 0);
        EXPECT_EQ(count_pixels(0x00102030u), 640 * 320) << "kind " << kind;
    }
    BelieveSnapshot = nullptr;  // a flash before any still exists stays black
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(count_pixels(0), 640 * 320);

    BelieveSnapshot = saved_snapshot;
    TunnelWireMesh = wire;
    TunnelTexturedMesh = textured;
    TunnelBallMesh = ball;
}

TEST_F(TunnelScene, MorphTurnsAtItsBoundsWithoutClampingAndBlendsTheShapes)
{
    tunnel_scene_handler(1, 0, 0);
    std::vector<float> morph;
    std::vector<bool> falling;
    for (int t = 0; t < 200; t++) {
        tunnel_scene_handler(0, 1, 0);
        morph.push_back(TunnelMorph);
        falling.push_back(TunnelMorphFalling);
    }
    // Up from 0: the 34th step is the first at 1.0 or more, and is kept.
    EXPECT_LT(*std::max_element(morph.begin(), morph.begin() + 33), 1.0f);
    EXPECT_GT(morph[33], 1.0f);
    EXPECT_LT(morph[33], 1.03f);
    EXPECT_TRUE(falling[33] && !falling[32]);
    // Then 51 steps down to -0.5 or less, and up again.
    EXPECT_GT(*std::min_element(morph.begin() + 34, morph.begin() + 84), -0.5f);
    EXPECT_LT(morph[84], -0.5f);
    EXPECT_GT(morph[84], -0.53f);
    EXPECT_TRUE(!falling[84] && falling[83]);
    EXPECT_GT(morph[85], morph[84]);

    // The textured tube lies between the two shapes by the morph.
    const Object3D &rest = TunnelWireMesh.objects[0], &wide = TunnelSwollenMesh.objects[0];
    const Object3D &textured = TunnelTexturedMesh.objects[0];
    for (int j : {0, 1, 2, 17}) {
        EXPECT_EQ(textured.vertices[j].x, rest.vertices[j].x + (wide.vertices[j].x - rest.vertices[j].x) * morph[199]);
        EXPECT_EQ(textured.vertices[j].z, rest.vertices[j].z);
    }
    // A stalled frame steps the same way tick by tick.
    tunnel_scene_handler(1, 0, 0);
    tunnel_scene_handler(0, 200, 0);
    EXPECT_EQ(TunnelMorph, morph[199]);
    EXPECT_EQ(TunnelMorphFalling, falling[199]);
}

TEST_F(TunnelScene, TextureWindowClimbsFromRow256ToRow1)
{
    const uint8_t *base = TunnelTexture.pixels;
    constexpr size_t RowBytes = 256 * 4;
    tunnel_scene_handler(1, 0, 0);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 256 * RowBytes);
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 255 * RowBytes);
    tunnel_scene_handler(0, 254, 0);
    EXPECT_EQ(TunnelTextureCounter, 255);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 1 * RowBytes);
    tunnel_scene_handler(0, 1, 0);
    EXPECT_EQ(TunnelScrollTexture.pixels, base + 256 * RowBytes);
    EXPECT_EQ(TunnelTexturedMesh.objects[0].faces[0].texture, &TunnelScrollTexture);
}

TEST_F(TunnelScene, GreenSmearAndBallCoresFollowThePhase)
{
    tunnel_scene_handler(1, 0, 0);  // sin 0: the red wires hide the green ones
    EXPECT_EQ(count_pixels(0x008000), 0);
    EXPECT_GT(count_pixels(0xFF0000), 500);

    tunnel_scene_handler(0, 157, 0);  // phase about pi/2: smear 20, cores at 0.8
    EXPECT_GT(count_pixels(0x008000), 500);
    EXPECT_GT(count_pixels(0xFFFFFF), 100);

    tunnel_scene_handler(0, 243, 0);  // phase 4.0: sin -0.76, below -0.625
    EXPECT_EQ(count_pixels(0xFFFFFF), 0) << "cores drawn below the threshold";
    EXPECT_EQ(NearPlane, 150);
    EXPECT_EQ(FarPlane, 1500);
}

std::vector<uint8_t> flat_picture(int width, int height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0x00336699u);
    return encode_tga_true_colour(width, height, pixels.data());
}

// The window reads up to row 511: a 256-row texture would be read past its
// end every frame, so the start-up fails naming it and nothing is drawn.
TEST(TunnelLoader, RejectsATubeTextureTooShortForTheWindow)
{
    ScopedArchive archive({
        {"tunel\\tunel.3d", triangle_mesh(50, 300)},
        {"ball\\ball.3d", triangle_mesh(50, 300)},
        {"tunel\\tunel_txt.tga", flat_picture(256, 256)},
        {"tunel\\tunel_ball_txt.tga", flat_picture(256, 256)},
        {"tunel\\tunel_pic.tga", flat_picture(640, 320)},
    });
    load_tunnel_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("tunel_txt.tga"), std::string::npos) << StartupFailure;
    GuardedBand band = band_after([] { tunnel_scene_handler(1, 0, 0); });
    EXPECT_EQ(count_band_pixels(band, UntouchedWord), 640 * 320) << "a rejected scene drew";
    free_tunnel_assets();
}

}  // namespace
