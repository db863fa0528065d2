// The buddha scene on the generated data: advancing without drawing, the
// random crossfade, the scroller, the pulse and collapse bounds, the glow
// through the colour table and the kind-3 flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "data/archive.h"
#include "data/startup_error.h"
#include "engine/random.h"
#include "raster/raster.h"
#include "scene_fixture.h"
#include "scenes/believe.h"
#include "scenes/buddha.h"
#include "scenes/image_ops.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"

namespace {

constexpr uint32_t White = 0xFFFFFF, Orange = 0xFF8000, Black = 0;
constexpr uint32_t Marker = 0x00123456;

std::vector<float> matrix_of(Mesh &mesh)
{
    return {mesh.objects[0].matrix, mesh.objects[0].matrix + 16};
}

class BuddhaScene : public SceneTest {
protected:
    static void SetUpTestSuite()
    {
        open_show_archive();
        load_believe_scene();
        load_buddha_scene();
        load_entry("coltab.dat", &ColourTable);
        ASSERT_EQ(StartupError, 0) << StartupFailure;
        ASSERT_TRUE(BuddhaSceneReady);
    }

    static void TearDownTestSuite()
    {
        release_buddha_scene();
        free_image(&BelieveBackground);
        free_image(&BelieveTexture);
        free_mesh(&BelieveOsmaMesh);
        free_mesh(&BelieveGulaMesh);
        free(ColourTable);
        ColourTable = nullptr;
    }

    void SetUp() override
    {
        SceneTest::SetUp();
        set_object_texture(&BuddhaBoxMesh.objects[0], &BuddhaBoxTexture);
    }

    // Everything a buddha call may advance.
    struct State {
        float phase;
        double pulse;
        int scroller;
        std::vector<float> box, box2;
        bool operator==(const State &) const = default;
    };
    static State state_now()
    {
        return {BuddhaPhase, BuddhaPulsePhase, BuddhaScrollerRow, matrix_of(BuddhaBoxMesh), matrix_of(BuddhaBox2Mesh)};
    }
    static void restore(const State &s)
    {
        BuddhaPhase = s.phase;
        BuddhaPulsePhase = s.pulse;
        BuddhaScrollerRow = s.scroller;
        std::memcpy(BuddhaBoxMesh.objects[0].matrix, s.box.data(), sizeof(Matrix));
        std::memcpy(BuddhaBox2Mesh.objects[0].matrix, s.box2.data(), sizeof(Matrix));
    }

    std::vector<uint32_t> band_copy() const { return target.storage; }

    // Opaque pixels of `pic` (inverted when `flip` is 0x00FFFFFF) missing
    // from the bobbing picture's place in the band.
    int picture_mismatches(const Image &pic, uint32_t flip) const
    {
        const int top = static_cast<int>(16 * std::sin(double(BuddhaPhase)) + 80);
        const uint32_t *words = image_words(&pic);
        int wrong = 0;
        for (int y = 0; y < pic.height; y++)
            for (int x = 0; x < pic.width; x++) {
                const uint32_t p = words[y * pic.width + x];
                wrong += p != flip && pixel(BuddhaPictureX + x, top + y) != p;
            }
        return wrong;
    }
};

TEST_F(BuddhaScene, AdvanceOnlyWritesNoPixelYetAdvancesEverything)
{
    use_band(704, 0);  // the columns past 639 must stay untouched too
    buddha_scene_handler(1, 0, 0);
    for (size_t i = 0; i < target.storage.size(); i++)
        target.storage[i] = Marker + static_cast<uint32_t>(i % 977);
    const std::vector<uint32_t> before = band_copy();
    const State start = state_now();

    for (int flags : {1, 3}) {
        restore(start);
        buddha_scene_handler(0, 9, flags);
        EXPECT_EQ(band_copy(), before) << "flags " << flags << " drew";
    }
    const State advanced = state_now();
    restore(start);
    buddha_scene_handler(0, 9, 0);
    EXPECT_TRUE(state_now() == advanced) << "advancing differs from a drawing call";
    EXPECT_NE(band_copy(), before);
    EXPECT_NE(advanced.box, start.box);
    EXPECT_NE(advanced.box2, start.box2);
    EXPECT_EQ(advanced.scroller, (start.scroller + 9) % BuddhaScroller.height);
    EXPECT_NEAR(advanced.pulse, start.pulse + 9 * 0.0051, 1e-12);
}

TEST_F(BuddhaScene, CrossfadeDrawsOneNumberPerCallAndFollowsTheColumnOfTheFadeValue)
{
    for (int r = 0; r < 64; r++)
        ASSERT_EQ(BuddhaCrossfade.pixels[r * 256], 0) << "column 0 must be all zero";
    auto next_state = [] { return RandomState * 214013u + 2531011u; };
    believe_scene_handler(1, 0, 0);
    uint32_t expected = next_state();
    buddha_crossfade_handler(1, 0, 0);
    EXPECT_EQ(RandomState, expected) << "the init call must draw exactly one number";

    // Column 0 is all clear and column 255 all set; values outside count as
    // the nearest column. The believe frame covers the whole band; the buddha
    // frame draws over what the band holds.
    for (int fade : {0, -5, 255, 300}) {
        FadeValue = fade;
        const bool buddha = fade > 128;
        for (int frame = 0; frame < 12; frame++) {
            fill_band(target, Marker);
            const float believe_phase = BelievePhase, buddha_phase = BuddhaPhase;
            expected = next_state();
            buddha_crossfade_handler(0, 1, 0);
            EXPECT_EQ(RandomState, expected);
            EXPECT_GT(BelievePhase, believe_phase);
            EXPECT_GT(BuddhaPhase, buddha_phase);
            ASSERT_EQ(count_pixels(Marker) > 0, buddha) << "fade " << fade << ", frame " << frame;
            ASSERT_EQ(picture_mismatches(BuddhaPicture, 0) == 0, buddha) << "fade " << fade << ", frame " << frame;
        }
    }
}

TEST_F(BuddhaScene, ScrollerWrapsWithinAFrameAndKeepsToItsColumns)
{
    const Image &s = BuddhaScroller;
    buddha_scene_handler(1, 0, 0);  // BuddhaPhase 0: 90 rows, the picture from row 80
    constexpr int Rows = 90, Wrap = 30;
    BuddhaScrollerRow = s.height - Wrap;
    buddha_scene_handler(0, 0, BuddhaReveal);
    EXPECT_EQ(BuddhaScrollerRow, s.height - Wrap) << "drawing moved the scroller";

    // Above the picture (from row 80) only the scroller lies over the boxes.
    constexpr int PictureTop = 80;
    int lit = 0;
    for (int j = 0; j < PictureTop; j++) {
        const int i = (s.height - Wrap + j) % s.height;
        for (int k = 0; k < s.width; k++)
            if (s.pixels[i * s.width + k] != 0) {
                ASSERT_EQ(pixel(ScrollerLeft + k, j), White) << "row " << j << ", column " << k;
                lit++;
            }
    }
    EXPECT_GT(lit, 100) << "the wrapped rows show no text";
    for (int j = 0; j < Rows + 10; j++) {
        for (int x = 0; x < 640; x++) {
            const bool inside = x >= ScrollerLeft && x < ScrollerLeft + s.width && j < Rows;
            if (!inside && (x >= BuddhaPictureX + BuddhaPicture.width || j < 80)) {
                ASSERT_NE(pixel(x, j), White) << "white outside the scroller at " << x << ", " << j;
            }
        }
    }
}

// Whether (x, y) lies inside the convex outline of the projected real
// vertices of `o`, with a pixel and a half of slack for the rasterizers.
bool inside_projection(const Object3D &o, int x, int y)
{
    using Point = std::pair<double, double>;
    auto cross = [](Point o, Point a, Point b) {
        return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
    };
    std::vector<Point> p;
    for (int k = 0; k < o.vertex_count - o.face_count; k++)
        p.emplace_back(o.vertices[k].sx, o.vertices[k].sy);
    std::sort(p.begin(), p.end());
    std::vector<Point> hull;  // lower chain, then upper chain, counter-clockwise
    for (int pass = 0; pass < 2; pass++) {
        const size_t start = hull.size();
        for (const Point &q : p) {
            while (hull.size() >= start + 2 && cross(hull[hull.size() - 2], hull.back(), q) <= 0)
                hull.pop_back();
            hull.push_back(q);
        }
        std::reverse(p.begin(), p.end());
    }
    for (size_t i = 0; i + 1 < hull.size(); i++) {
        const Point a = hull[i], b = hull[i + 1];
        const double edge = std::hypot(b.first - a.first, b.second - a.second);
        if (edge > 0 && cross(a, b, {double(x), double(y)}) < -1.5 * edge)
            return false;
    }
    return true;
}

// The band is never cleared under the scene: whatever a textured first box
// does not paint over stays. Over whole turns of the boxes, drawn as in the
// show's flicker part once every frame is revealed, the scroller's letters and
// the orange box must never be left behind: every white pixel of the scroller
// column is one this frame's text lit, and every orange pixel lies within the
// second box's own outline this frame.
TEST_F(BuddhaScene, RevealedFramesLeaveNoStaleLettersOrOrangeOutlines)
{
    const Object3D &box2 = BuddhaBox2Mesh.objects[0];
    const Image &s = BuddhaScroller;
    buddha_scene_handler(1, 0, 0);
    int worst_white = 0, worst_orange = 0, letters = 0;
    for (int frame = 0; frame < 800; frame++) {
        buddha_scene_handler(0, 1, BuddhaReveal);
        if (frame < 400)  // the first turn paints over whatever the band held
            continue;
        const int rows = 90 + static_cast<int>(16 * std::sin(double(BuddhaPhase)));
        const int top = static_cast<int>(16 * std::sin(double(BuddhaPhase)) + 80);
        const uint32_t *picture = image_words(&BuddhaPicture);
        int stale_white = 0, stale_orange = 0;
        for (int y = 0; y < 320; y++)
            for (int x = 0; x < 640; x++) {
                const uint32_t p = pixel(x, y);
                const int px = x - BuddhaPictureX, py = y - top;
                const bool picture_here = px >= 0 && px < BuddhaPicture.width && py >= 0 &&
                                          py < BuddhaPicture.height && picture[py * BuddhaPicture.width + px] != 0;
                if (p == Orange && !inside_projection(box2, x, y))
                    stale_orange++;
                if (p != White || picture_here)
                    continue;
                const int k = x - ScrollerLeft;
                const bool lit_now = y < rows && k >= 0 && k < s.width &&
                                     s.pixels[((BuddhaScrollerRow + y) % s.height) * s.width + k] != 0;
                letters += lit_now;
                stale_white += !lit_now;
            }
        worst_white = std::max(worst_white, stale_white);
        worst_orange = std::max(worst_orange, stale_orange);
    }
    EXPECT_GT(letters, 400 * 200) << "the scroller shows hardly any text";
    EXPECT_LE(worst_white, 20) << "letters of earlier frames are left in the band";
    // A seam between two of the first box's faces may miss the odd pixel.
    EXPECT_LE(worst_orange, 8) << "the orange box leaves outlines outside its own";
}

TEST_F(BuddhaScene, ScrollerWiderThanTheBandIsCutAtItsEdge)
{
    use_band(640, 4);
    std::vector<uint8_t> ink(400 * 2, 1);
    const Image saved = BuddhaScroller;
    BuddhaScroller = {1, 400, 2, ink.data(), nullptr, nullptr};
    BuddhaScrollerRow = 1;
    buddha_scene_handler(1, 0, BuddhaReveal);
    BuddhaScroller = saved;
    EXPECT_TRUE(guard_intact(target)) << "the scroller wrote past the band";
    EXPECT_EQ(pixel(639, 0), White);
    EXPECT_EQ(pixel(ScrollerLeft, 1), White);
}

// A hand-made face on a black band, to look at the callbacks alone.
class BuddhaFace : public BuddhaScene {
protected:
    Vertex corners[3] = {};
    Face face = {};

    void SetUp() override
    {
        BuddhaScene::SetUp();
        const int xy[3][2] = {{100, 200}, {220, 220}, {150, 300}};
        const float uv[3][2] = {{0.1f, 0.1f}, {0.9f, 0.2f}, {0.4f, 0.9f}};
        place_corners(corners, face, xy, 100.0f);
        for (int i = 0; i < 3; i++) {
            corners[i].u = uv[i][0];
            corners[i].v = uv[i][1];
        }
        face.texture = &BuddhaBoxTexture;
        fill_band(target, Marker);
    }
};

TEST_F(BuddhaFace, PulseHidesScalesOrOutlinesTheFaceAtItsBounds)
{
    struct Case {
        double b;
        bool any, corner;
    };
    // Below 0.002 nothing; above 0.989 the face's own corners; between, a
    // copy shrunk about the centroid.
    for (const Case c : {Case{0.0019, false, false}, Case{0.0021, true, false}, Case{0.5, true, false},
                         Case{0.9889, true, false}, Case{0.9891, true, true}}) {
        fill_band(target, Marker);
        BuddhaPulsePhase = std::asin(2 * c.b - 1);
        buddha_face_pulse_wire(&face);
        EXPECT_EQ(count_pixels(Orange) > 0, c.any) << "b = " << c.b;
        EXPECT_EQ(pixel(150, 300) == Orange, c.corner) << "b = " << c.b;
    }
}

TEST_F(BuddhaFace, CollapseDrawsWholeAtOneNothingAtZeroAndLinesBetween)
{
    BuddhaPhase = 0.0f;  // lines run toward (320, 80)
    const int cx = (100 + 220 + 150) / 3, cy = (200 + 220 + 300) / 3;

    BuddhaCollapseScale = 0.0;
    buddha_face_collapse(&face);
    EXPECT_EQ(count_pixels(Marker), 640 * 320) << "a scale of 0 drew";

    BuddhaCollapseScale = 1.0;
    buddha_face_collapse(&face);
    EXPECT_EQ(pixel(100, 200), Black);
    EXPECT_NE(pixel(cx, cy), Black) << "a scale of 1 drew a line";
    EXPECT_EQ(count_pixels(Black) + count_pixels(Marker) < 640 * 320, true) << "no texels";
    EXPECT_EQ(pixel(320, 80), Marker);

    fill_band(target, Marker);
    BuddhaCollapseScale = 0.5;
    buddha_face_collapse(&face);
    EXPECT_NE(pixel(100, 200), Black) << "the face was not shrunk";
    EXPECT_EQ(pixel(cx, cy), Black) << "no line from the centroid";
    EXPECT_EQ(pixel((cx + 320) / 2, (cy + 80) / 2), Black) << "the line should reach halfway";
    EXPECT_EQ(pixel(320, 80), Marker);

    // During a kind-3 flash the outline turns white.
    fill_band(target, Marker);
    FadeKind = 3;
    FadeValue = 20;
    BuddhaCollapseScale = 1.0;
    buddha_face_collapse(&face);
    EXPECT_EQ(pixel(100, 200), White);
}

TEST_F(BuddhaScene, CollapseFallsOnlyWithBitOneAndStopsJustBelowZero)
{
    buddha_glow_handler(1, 0, 0);
    buddha_glow_handler(0, 100, 1);
    EXPECT_EQ(BuddhaCollapseScale, 1.0);
    for (int frame = 0; frame < 400; frame++)
        buddha_glow_handler(0, 2, 3);
    EXPECT_LT(BuddhaCollapseScale, 0.0);
    EXPECT_GT(BuddhaCollapseScale, -0.0013);
    EXPECT_EQ(BuddhaGlowTicks, 900);
    // The band was filled white before each frame was drawn.
    EXPECT_EQ(pixel(5, 315), 0xFFFFFFFFu);
}

TEST_F(BuddhaScene, GlowLightsTheColourBytesAndKeepsTheTopByteTheWarpWrote)
{
    // A warp source whose top bytes carry a pattern of their own.
    const size_t texels = size_t(BuddhaWarpSource.width) * BuddhaWarpSource.height;
    uint32_t *source = image_words(&BuddhaWarpSource);
    std::vector<uint32_t> original(source, source + texels);
    for (size_t i = 0; i < texels; i++)
        source[i] = (source[i] & 0x00FFFFFFu) | static_cast<uint32_t>((i * 37 + 11) & 255) << 24;

    for (int param : {0, 1}) {
        buddha_glow_handler(1, 0, param);
        buddha_glow_handler(0, 5, param);
        std::vector<uint32_t> warped(256 * 256);
        warp_texture(warped.data(), BuddhaMapX.pixels, BuddhaMapY.pixels, source, 10, 5);
        const uint8_t *levels = (param & 1) ? BuddhaGlow2.pixels : BuddhaGlow1.pixels;
        const uint32_t *glow = image_words(&BuddhaGlowTexture);
        int wrong = 0;
        for (int i = 0; i < 256 * 256; i++) {
            const uint8_t *lit = ColourTable + 256 * levels[i];
            uint32_t w = warped[i];
            uint32_t want = (w & 0xFF000000u) | uint32_t(lit[(w >> 16) & 255]) << 16 |
                            uint32_t(lit[(w >> 8) & 255]) << 8 | lit[w & 255];
            wrong += glow[i] != want;
        }
        EXPECT_EQ(wrong, 0) << "param " << param;
    }
    std::memcpy(source, original.data(), texels * sizeof(uint32_t));
}

TEST_F(BuddhaScene, KindThreeFlashShowsTheInvertedPictureWithWhiteAsKey)
{
    for (int kind : {0, 3}) {
        FadeKind = static_cast<uint8_t>(kind);
        FadeValue = 24;
        buddha_glow_handler(1, 0, 0);
        BuddhaCollapseScale = 0.0;  // no box: only the ring lies under the picture
        fill_band(target, Marker);
        buddha_glow_handler(0, 0, 0);
        EXPECT_EQ(picture_mismatches(kind == 3 ? BuddhaPictureInverted : BuddhaPicture, kind == 3 ? White : 0), 0)
            << "kind " << kind;
        // The former black background stays transparent: no white square.
        EXPECT_LT(count_pixels(White), 100) << "kind " << kind;
    }
}

}  // namespace
