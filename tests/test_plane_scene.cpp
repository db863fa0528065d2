// The plane scene on the generated data: the roughening at load, the blend's
// turning points and the shape it gives, the warp clock and the kind-3 flash
// (inverted source and black outlines together), the cleared band, and a
// scene whose data failed to load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_fixture.h"
#include "data/startup_error.h"
#include "engine/random.h"
#include "engine/view.h"
#include "raster/raster.h"
#include "scene_fixture.h"
#include "scenes/image_ops.h"
#include "scenes/plane.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"
#include "tga_writer.h"

namespace {

uint32_t RandomBeforeLoad;

class PlaneScene : public SceneTest {
protected:
    static void SetUpTestSuite()
    {
        open_show_archive();
        RandomBeforeLoad = RandomState;
        load_plane_scene();
        ASSERT_EQ(StartupError, 0) << StartupFailure;
        ASSERT_TRUE(PlaneSceneReady);
    }

    static void TearDownTestSuite() { release_plane_scene(); }

    // The texture warp_texture makes of `source` with these offsets (its own
    // arithmetic is checked with the other image operations).
    static std::vector<uint32_t> warped_texture(const Image &source, int offset_x, int offset_y)
    {
        std::vector<uint32_t> texels(TextureSide * TextureSide);
        warp_texture(texels.data(), PlaneMapX.pixels, PlaneMapY.pixels, image_words(&source), offset_x, offset_y);
        return texels;
    }

    // Pure black pixels in a window that the resting sheet covers entirely.
    int black_inside_sheet() const
    {
        int n = 0;
        for (int y = 100; y < 220; y++)
            for (int x = 180; x < 460; x++)
                n += pixel(x, y) == 0;
        return n;
    }
};

TEST_F(PlaneScene, LoadRoughensOnlyTheRoughSheetWithThreeDrawsPerRecord)
{
    const Object3D &rest = PlaneRestMesh.objects[0];
    const Object3D &rough = PlaneRoughMesh.objects[0];
    ASSERT_EQ(rest.vertex_count, rough.vertex_count);

    uint32_t saved = RandomState;
    RandomState = RandomBeforeLoad;
    for (int j = 0; j < rest.vertex_count; j++) {
        const Vertex &p = rest.vertices[j], &r = rough.vertices[j];
        float dx = static_cast<float>(random_next() % 32 - 16);
        float dy = static_cast<float>(random_next() % 32 - 16);
        float dz = static_cast<float>(random_next() % 128 - 64);
        ASSERT_EQ(r.x, p.x + dx) << "record " << j;
        ASSERT_EQ(r.y, p.y + dy) << "record " << j;
        ASSERT_EQ(r.z, p.z + dz) << "record " << j;
    }
    EXPECT_EQ(RandomState, saved) << "the loader drew a different number of values";
    RandomState = saved;

    for (const Mesh *mesh : {&PlaneRestMesh, &PlaneRoughMesh, &PlaneDrawnMesh}) {
        const Object3D &sheet = mesh->objects[0];
        EXPECT_FLOAT_EQ(sheet.matrix[15], 0.6f);
        for (int f = 0; f < sheet.face_count; f++)
            ASSERT_EQ(sheet.faces[f].texture, &PlaneTexture);
    }
}

TEST_F(PlaneScene, BlendTurnsWhereAStepReachesOrPassesItsBound)
{
    // Whatever an earlier scene left, the sheet is drawn with its own planes.
    set_near_plane(500);
    set_far_plane(3000);
    plane_scene_handler(1, 0, 0);
    EXPECT_EQ(PlaneBlend, 0.0f);

    std::vector<int> turns;
    std::vector<float> turn_values;
    bool falling = PlaneBlendFalling;
    for (int tick = 1; tick <= 400; tick++) {
        float before = PlaneBlend;
        plane_scene_handler(0, 1, 0);
        ASSERT_EQ(NearPlane, 0);
        ASSERT_EQ(FarPlane, 200);
        ASSERT_NEAR(PlaneBlend - before, falling ? -0.015f : 0.015f, 1e-6f) << "tick " << tick;
        if (PlaneBlendFalling != falling) {
            turns.push_back(tick);
            turn_values.push_back(PlaneBlend);
            // The first step to reach the bound turns: the one before fell short.
            if (PlaneBlendFalling) {
                EXPECT_LT(before, 0.75f) << "tick " << tick;
            } else {
                EXPECT_GT(before, -1.0f) << "tick " << tick;
            }
            falling = PlaneBlendFalling;
        }
    }
    ASSERT_GE(turns.size(), 3u);
    // Up from 0 to 0.75 in about 50 steps, then about 117 steps per swing.
    EXPECT_NEAR(turns[0], 50, 1);
    EXPECT_NEAR(turns[1] - turns[0], 117, 1);
    EXPECT_NEAR(turns[2] - turns[1], 117, 1);
    // The value that passed is kept, not clamped.
    EXPECT_GE(turn_values[0], 0.75f);
    EXPECT_LT(turn_values[0], 0.765f);
    EXPECT_LE(turn_values[1], -1.0f);
    EXPECT_GT(turn_values[1], -1.015f);
    EXPECT_TRUE(PlaneBlendFalling == (turns.size() % 2 == 1));

    // The drawn sheet is the blend, the same factor on every axis.
    const Object3D &rest = PlaneRestMesh.objects[0], &rough = PlaneRoughMesh.objects[0];
    const Object3D &drawn = PlaneDrawnMesh.objects[0];
    for (int j = 0; j < drawn.vertex_count; j++) {
        const Vertex &p = rest.vertices[j], &r = rough.vertices[j], &d = drawn.vertices[j];
        ASSERT_EQ(d.x, p.x + (r.x - p.x) * PlaneBlend) << "record " << j;
        ASSERT_EQ(d.y, p.y + (r.y - p.y) * PlaneBlend) << "record " << j;
        ASSERT_EQ(d.z, p.z + (r.z - p.z) * PlaneBlend) << "record " << j;
    }

    // One call with many ticks steps the same way.
    float blend = PlaneBlend;
    bool direction = PlaneBlendFalling;
    plane_scene_handler(1, 0, 0);
    plane_scene_handler(0, 400, 0);
    EXPECT_EQ(PlaneBlend, blend);
    EXPECT_EQ(PlaneBlendFalling, direction);
    EXPECT_EQ(PlaneWarpClock, 400);
}

TEST_F(PlaneScene, WarpClockAndKindThreeFlashSwitchingSourceAndOutlinesTogether)
{
    use_band(640, 4);
    struct Case {
        uint8_t kind;
        int value;
        bool flash;
    };
    for (Case fade : {Case{0, 0, false}, Case{3, 32, true}, Case{3, 0, false}, Case{4, 32, false}, Case{3, 1, true}}) {
        FadeKind = fade.kind;
        FadeValue = fade.value;
        plane_scene_handler(1, 0, 0);
        plane_scene_handler(0, 234, 0);  // blend back near 0; offsets 234 and 117
        const Image &source = fade.flash ? PlaneSourceInverted : PlaneSource;
        const std::vector<uint32_t> expected = warped_texture(source, 234, 117);
        const uint32_t *texels = image_words(&PlaneTexture);
        for (int i = 0; i < TextureSide * TextureSide; i++)
            ASSERT_EQ(texels[i], expected[i]) << "kind " << int(fade.kind) << " value " << fade.value << ", texel " << i;
        // Neither picture holds pure black: black inside the sheet is outline.
        int black = black_inside_sheet();
        if (fade.flash) {
            EXPECT_GT(black, 2000) << "kind " << int(fade.kind) << " value " << fade.value;
        } else {
            EXPECT_EQ(black, 0) << "kind " << int(fade.kind) << " value " << fade.value;
        }
    }
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(PlaneScene, FrameStartsFromBlackWholeRowsIncluded)
{
    use_band(700, 0);
    for (uint32_t &word : target.storage)
        word = 0x00777777;
    plane_scene_handler(1, 0, 0);
    EXPECT_EQ(pixel(3, 3), 0u);
    EXPECT_EQ(pixel(636, 316), 0u);
    // The display surface's rows run past column 639; they are cleared too.
    EXPECT_EQ(target.band[5 * 700 + 690], 0u);
    EXPECT_EQ(count_pixels(0x00777777), 0);
}

// A scene whose pictures have the wrong sizes reports the entry, and its
// frames are black instead of reading past the maps.
TEST(PlaneSceneData, WrongSizedSourceIsReportedAndTheFramesStayBlack)
{
    std::vector<uint8_t> map(256 * 256, 9);
    std::vector<uint32_t> source(256 * 100, 0x00345678);
    ScopedArchive archive({{"plane\\plane_vortex_x.tga", encode_tga_grey(256, 256, map.data())},
                           {"plane\\plane_vortex_y.tga", encode_tga_grey(256, 256, map.data())},
                           {"plane\\plane_vortex_txt.tga", encode_tga_true_colour(256, 100, source.data())},
                           {"plane\\plane.3d", triangle_mesh(10, 0)}});
    load_plane_scene();
    EXPECT_EQ(StartupError, 1);
    EXPECT_NE(std::string(StartupFailure).find("PLANE\\PLANE_VORTEX_TXT.TGA"), std::string::npos)
        << StartupFailure;
    EXPECT_FALSE(PlaneSceneReady);

    GuardedBand band = band_after([] {
        plane_scene_handler(1, 0, 0);
        plane_scene_handler(0, 5, 0);
    });
    for (int y = 0; y < 320; y++)
        for (int x = 0; x < 640; x++)
            ASSERT_EQ(band.band[y * 640 + x], 0u);
    EXPECT_TRUE(guard_intact(band));
    release_plane_scene();
}

} // namespace
