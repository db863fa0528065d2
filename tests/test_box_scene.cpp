// The box scene's own rules: flash threshold, title overlay, state steps,
// texture-coordinate morph, shrink sampling and the shrunk-face drawing; and
// the title's flashes on the show's data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "data/startup_error.h"
#include "scene_fixture.h"
#include "scenes/box.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"

namespace {

constexpr uint32_t Background = 0x00123456;
constexpr int TitleTopRow = 80, TitleRowCount = 160;

class BoxPass : public BandTest {
protected:
    void SetUp() override
    {
        BandTest::SetUp();
        fill_band(target, Background);
    }
};

// Mask of 1,280 x 127 that hides everything except the listed columns of one row.
std::vector<uint8_t> closed_mask()
{
    return std::vector<uint8_t>(1280 * 127, 255);
}

std::vector<Vertex> coordinates(std::initializer_list<std::pair<float, float>> uv)
{
    std::vector<Vertex> v;
    for (auto [u, w] : uv) {
        Vertex x{};
        x.u = u;
        x.v = w;
        v.push_back(x);
    }
    return v;
}

Object3D object_of(std::vector<Vertex> &vertices)
{
    Object3D o{};
    o.vertex_count = static_cast<int32_t>(vertices.size());
    o.vertices = vertices.data();
    return o;
}

} // namespace

TEST_F(BoxPass, FlashPaintsLevelsBelowTheValueOnly)
{
    use_band(700, 4);
    fill_band(target, Background);
    std::vector<uint8_t> levels(640 * 320, 200);
    levels[0] = 95;
    levels[1] = 96;                  // equal to the value: not painted
    levels[319 * 640 + 639] = 0;
    box_flash(levels.data(), 1, 96);
    EXPECT_EQ(pixel(0, 0), BoxFlashColour);
    EXPECT_EQ(pixel(1, 0), Background);
    EXPECT_EQ(pixel(639, 319), BoxFlashColour);
    EXPECT_EQ(count_pixels(BoxFlashColour), 2);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(BoxPass, FlashNeedsKindOneAndAValue)
{
    std::vector<uint8_t> levels(640 * 320, 0);
    box_flash(levels.data(), 2, 192);
    box_flash(levels.data(), 0, 192);
    box_flash(levels.data(), 1, 0);
    EXPECT_EQ(count_pixels(Background), 640 * 320);
    box_flash(levels.data(), 1, 1);
    EXPECT_EQ(count_pixels(BoxFlashColour), 640 * 320);
}

TEST_F(BoxPass, OverlayShowsOpenColumnsOnTitleRowsOnly)
{
    std::vector<uint32_t> title(640 * TitleRowCount, 0x00A0B0C0);
    std::vector<uint8_t> mask = closed_mask();
    const int row = 70, column = 100;
    mask[row * 1280 + column + 5] = 31;     // band column 5 opens
    mask[row * 1280 + column + 6] = 32;     // 32 hides
    mask[row * 1280 + column + 639] = 0;    // reaches mask column 739
    mask[(row + 1) * 1280 + column + 7] = 0;  // another row: not this frame's
    title[20 * 640 + 5] = 0;                // a title pixel of 0 is never drawn

    box_title_overlay(title.data(), mask.data(), row, column);
    for (int y = 0; y < 320; y++) {
        bool title_row = y >= TitleTopRow && y < TitleTopRow + TitleRowCount;
        uint32_t want5 = (title_row && y != TitleTopRow + 20) ? 0x00A0B0C0 : Background;
        ASSERT_EQ(pixel(5, y), want5) << "row " << y;
        ASSERT_EQ(pixel(639, y), title_row ? 0x00A0B0C0 : Background) << "row " << y;
        ASSERT_EQ(pixel(6, y), Background);
        ASSERT_EQ(pixel(7, y), Background);
    }
    EXPECT_EQ(count_pixels(0x00A0B0C0), 2 * TitleRowCount - 1);
}

TEST_F(BoxPass, OverlayDrawsTitleRowsInOrder)
{
    std::vector<uint32_t> title(640 * TitleRowCount);
    for (int t = 0; t < TitleRowCount; t++)
        for (int c = 0; c < 640; c++)
            title[t * 640 + c] = static_cast<uint32_t>(t << 10 | c) + 1;
    std::vector<uint8_t> mask(1280 * 127, 0);
    box_title_overlay(title.data(), mask.data(), 126, 639);
    EXPECT_EQ(pixel(0, 80), title[0]);
    EXPECT_EQ(pixel(639, 239), title[159 * 640 + 639]);
    EXPECT_EQ(pixel(300, 79), Background);
    EXPECT_EQ(pixel(300, 240), Background);
}

TEST(BoxState, MaskRowStaysWithin63To126)
{
    EXPECT_EQ(box_title_mask_row(0), 63);
    EXPECT_EQ(box_title_mask_row(63), 126);
    EXPECT_EQ(box_title_mask_row(64), 63);
    EXPECT_EQ(box_title_mask_row(32767), 126);
}

TEST(BoxState, StepsWrapTickByTick)
{
    BoxScrollRow = {766, 5};
    BoxMorphPhase = BoxOffsetPhase = 0.0f;
    box_morph_advance(1);
    EXPECT_EQ(BoxScrollRow.morph, 767);
    box_morph_advance(1);
    EXPECT_EQ(BoxScrollRow.morph, 0);
    EXPECT_EQ(BoxScrollRow.title, 5);  // the two handlers keep separate rows

    BoxScrollRow.morph = 0;
    box_morph_advance(2000);
    EXPECT_EQ(BoxScrollRow.morph, 2000 % 768);
    EXPECT_NEAR(BoxMorphPhase, 0.01f + 2000 * 0.005f, 1e-3);
    EXPECT_NEAR(BoxOffsetPhase, 0.005f + 2000 * 0.0025f, 1e-3);
    box_morph_advance(0);
    box_morph_advance(-3);
    EXPECT_EQ(BoxScrollRow.morph, 2000 % 768);

    BoxScrollRow.title = 0;
    BoxTitleColumn = 0;
    box_title_advance(1000);
    EXPECT_EQ(BoxScrollRow.title, 1000 % 768);
    EXPECT_EQ(BoxTitleColumn, 1000 % 640);
    EXPECT_EQ(BoxScrollRow.morph, 2000 % 768);
}

TEST(BoxMorph, CoordinatesDriftFromTheMeshTowardTheRandomOnes)
{
    std::vector<Vertex> ref = coordinates({{0.25f, 0.75f}, {1.0f, 0.0f}, {0.1f, 0.2f}});
    std::vector<Vertex> rnd = coordinates({{0.75f, 0.25f}, {0.0f, 1.0f}, {0.9f, 0.8f}});
    std::vector<Vertex> out = coordinates({{9, 9}, {9, 9}, {9, 9}});
    Object3D r = object_of(ref), q = object_of(rnd), m = object_of(out);

    box_morph_coordinates(&m, &r, &q, 0.0f);
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(out[k].u, ref[k].u);
        EXPECT_EQ(out[k].v, ref[k].v);
    }
    box_morph_coordinates(&m, &r, &q, 0.5f);
    EXPECT_FLOAT_EQ(out[0].u, 0.5f);
    EXPECT_FLOAT_EQ(out[0].v, 0.5f);
    EXPECT_FLOAT_EQ(out[1].u, 0.5f);
    EXPECT_FLOAT_EQ(out[2].v, 0.5f);

    // A random source with fewer records leaves the rest alone instead of reading past it.
    q.vertex_count = 1;
    out[2].u = 7.0f;
    box_morph_coordinates(&m, &r, &q, 0.5f);
    EXPECT_EQ(out[2].u, 7.0f);
}

class BoxShrink : public ::testing::Test {
protected:
    std::vector<uint8_t> map = std::vector<uint8_t>(960 * 480, 0);
    Image saved = BoxOffset;

    void SetUp() override
    {
        BoxOffset = Image{};
        BoxOffset.kind = ImageBytes;
        BoxOffset.width = 960;
        BoxOffset.height = 480;
        BoxOffset.pixels = map.data();
    }
    void TearDown() override { BoxOffset = saved; }
    void patch(int x, int y, uint8_t value)
    {
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++) {
                int px = std::clamp(x + dx, 0, 959), py = std::clamp(y + dy, 0, 479);
                map[py * 960 + px] = value;
            }
    }
};

TEST_F(BoxShrink, PhaseZeroShrinksEveryFaceToNothing)
{
    std::fill(map.begin(), map.end(), 255);
    BoxOffsetPhase = 0.0f;
    EXPECT_EQ(box_shrink_amount(320.0, 160.0), 0.0f);
}

TEST_F(BoxShrink, CentroidsOffTheBandSampleTheNearestEdge)
{
    // Phase pi/4: the sampling point sits (sin 1.5 pi + 1) * 160 = 0 right and
    // (cos 1.5 pi + 1) * 80 = 80 below the clamped centroid.
    BoxOffsetPhase = static_cast<float>(M_PI / 4);
    patch(639, 80, 150);
    float s = box_shrink_amount(700.0, -5.0);
    EXPECT_NEAR(s, std::sin(M_PI / 4), 1e-3);
    EXPECT_EQ(box_shrink_amount(300.0, 100.0), 0.0f);  // elsewhere the map is 0

    patch(0, 399, 255);
    EXPECT_NEAR(box_shrink_amount(-40.0, 1000.0), std::sin(M_PI / 4) * 255.0 / 150.0, 1e-3);
}

// A degenerate face can give a centroid that is not a number: it reads the
// map's first byte rather than an index the conversion leaves undefined.
TEST_F(BoxShrink, CentroidThatIsNotANumberSamplesTheMapsFirstByte)
{
    BoxOffsetPhase = static_cast<float>(M_PI / 4);
    patch(0, 0, 150);
    EXPECT_NEAR(box_shrink_amount(std::nan(""), std::nan("")), std::sin(M_PI / 4), 1e-3);
}

TEST_F(BoxShrink, FarthestSamplingPointStaysInsideTheMap)
{
    // Phase pi/12: a = pi/2, the point is 320 right and 80 below: column 959 at most.
    BoxOffsetPhase = static_cast<float>(M_PI / 12);
    patch(958, 399, 200);
    float s = box_shrink_amount(1e9, 1e9);
    EXPECT_NEAR(s, std::sin(M_PI / 12) * 200.0 / 150.0, 1e-3);
}

class BoxFace : public BandTest {
protected:
    std::vector<uint8_t> map = std::vector<uint8_t>(960 * 480, 255);
    std::vector<uint32_t> texels = std::vector<uint32_t>(256 * 256, 0x0000FF00);
    Image texture{};
    Image saved = BoxOffset;
    Vertex corners[3]{};
    Face face{};

    void SetUp() override
    {
        BandTest::SetUp();
        fill_band(target, Background);
        BoxOffset = Image{1, 960, 480, map.data(), nullptr, nullptr};
        texture = Image{2, 256, 256, reinterpret_cast<uint8_t *>(texels.data()), nullptr, nullptr};
        const int xy[3][2] = {{100, 50}, {250, 50}, {175, 200}};
        place_corners(corners, face, xy, 100.0f);
        face.texture = &texture;
    }
    void TearDown() override
    {
        BoxOffset = saved;
        BandTest::TearDown();
    }
};

TEST_F(BoxFace, ZeroShrinkLeavesABlackRimAroundAPoint)
{
    BoxOffsetPhase = 0.0f;
    box_face_shrunk(&face);
    EXPECT_EQ(pixel(175, 100), 0u);           // centroid (175, 100): inside the black rim
    EXPECT_EQ(pixel(110, 55), Background);    // inside the face, outside 0.4 of it
    EXPECT_EQ(count_pixels(0x0000FF00), 0);   // the textured part has no size
    EXPECT_GT(count_pixels(0u), 100);
}

TEST_F(BoxFace, FullShrinkDrawsTheWholeFaceWithoutRim)
{
    BoxOffsetPhase = static_cast<float>(M_PI / 2);  // sin 1: byte 255 gives 1.7
    box_face_shrunk(&face);
    EXPECT_EQ(pixel(110, 55), 0x0000FF00u);
    EXPECT_EQ(pixel(175, 100), 0x0000FF00u);
    EXPECT_EQ(count_pixels(0u), 0);
}

// On the show's data the box repaints every pixel a flash can reach: each
// flash shows while its value is up and recedes, whatever way the box has
// turned, and leaves nothing behind on the never-cleared band.
TEST_F(SceneTest, BoxTitleFlashesAppearRecedeAndLeaveNothingBehind)
{
    open_show_archive();
    load_box_scene();
    ASSERT_EQ(StartupError, 0) << StartupFailure;
    box_title_handler(1, 0, 0);
    for (int turn = 0; turn < 40; turn++) {
        FadeKind = 1;
        FadeValue = 192;  // the highest a flash starts from
        box_title_handler(0, 1, 0);
        int full = count_pixels(BoxFlashColour);
        FadeValue = 24;
        box_title_handler(0, 1, 0);
        int late = count_pixels(BoxFlashColour);
        FadeValue = 0;
        box_title_handler(0, 1, 0);
        int left = count_pixels(BoxFlashColour);
        ASSERT_GT(full, 640 * 320 / 16) << "turn " << turn << ": the flash should light a good part of the band";
        ASSERT_GT(late, 0) << "turn " << turn;
        ASSERT_LT(late, full / 2) << "turn " << turn << ": the flash should draw in as its value falls";
        if (left != 0)
            save_band_on_failure("BoxTitle.flash_left", target.band, target.pitch);
        ASSERT_EQ(left, 0) << "turn " << turn << ": flash pixels the box did not repaint";
        FadeKind = 0;
        box_title_handler(0, 37, 0);
    }
}
