// Lines and wireframes: outcodes, clipping, the 16.16 line walker, faces in outline.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <utility>

#include "frame_check.h"
#include "raster/raster.h"

namespace {

const Rgb White = {255, 255, 255};
constexpr uint32_t WhitePixel = 0x00FFFFFF;

using PixelSet = std::set<std::pair<int, int>>;

PixelSet written(const GuardedBand &b, uint32_t value)
{
    PixelSet out;
    for (int y = 0; y < BandHeight; ++y)
        for (int x = 0; x < BandWidth; ++x)
            if (b.band[y * b.pitch + x] == value) out.insert({x, y});
    return out;
}

Vertex at(int x, int y, float vz = 100.0f)
{
    Vertex v{};
    v.sx = x;
    v.sy = y;
    v.vz = vz;
    return v;
}

}  // namespace

class LineClip : public BandTest {};
class LineWalk : public BandTest {};
class LineProperty : public BandTest {};
class WireFace : public BandTest {};

TEST(Outcode, SetsOneBitPerViewEdge)
{
    EXPECT_EQ(outcode(0, 0), 0);
    EXPECT_EQ(outcode(639, 319), 0);
    EXPECT_EQ(outcode(-1, 5), OutLeft);
    EXPECT_EQ(outcode(640, 5), OutRight);
    EXPECT_EQ(outcode(5, -1), OutTop);
    EXPECT_EQ(outcode(5, 320), OutBottom);
    EXPECT_EQ(outcode(-1, 320), OutLeft | OutBottom);
    EXPECT_EQ(outcode(INT_MAX, INT_MIN), OutRight | OutTop);
}

TEST_F(LineClip, ClipLineMovesBothEndsOntoTheView)
{
    int x0 = -10, y0 = 5, x1 = 700, y1 = 5;
    ASSERT_EQ(clip_line(&x0, &y0, &x1, &y1), 0);
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(x1, 639);
    EXPECT_EQ(y0, 5);
    EXPECT_EQ(y1, 5);

    // A diagonal through a corner region: both ends end up inside.
    x0 = -100, y0 = -100, x1 = 100, y1 = 100;
    ASSERT_EQ(clip_line(&x0, &y0, &x1, &y1), 0);
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(y0, 0);
    EXPECT_EQ(x1, 100);
    EXPECT_EQ(y1, 100);
}

TEST_F(LineClip, ClipLineRejectsLinesSharingAnOutsideSide)
{
    int x0 = -5, y0 = 0, x1 = -1, y1 = 300;
    EXPECT_EQ(clip_line(&x0, &y0, &x1, &y1), -1);
    x0 = 0, y0 = 400, x1 = 600, y1 = 320;
    EXPECT_EQ(clip_line(&x0, &y0, &x1, &y1), -1);
    // Passes the corner outside the view without sharing a side.
    x0 = -50, y0 = 20, x1 = 20, y1 = -50;
    EXPECT_EQ(clip_line(&x0, &y0, &x1, &y1), -1);
}

TEST_F(LineClip, ClipLineEndAppliesEdgesInOrderFromTheMovedPoint)
{
    // Right edge: y moves along the line from (700, 10) with slope 100/-700.
    int x = 700, y = 10;
    clip_line_end(&x, &y, -700, 100, OutRight);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 10 + static_cast<int>(100.0 * (639 - 700) / -700.0));

    // Right then top, the second from the point the first left behind.
    x = 700, y = -10, clip_line_end(&x, &y, -700, 310, OutRight | OutTop);
    const int after_right = static_cast<int>(-10 + 310.0 * -61 / -700.0);  // 17
    EXPECT_EQ(y, 0);
    EXPECT_EQ(x, static_cast<int>(639 + -700.0 * -after_right / 310.0));

    // Truncation is towards zero, not downwards.
    x = -3, y = 0;
    clip_line_end(&x, &y, 10, -1, OutLeft);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);  // -0.3 truncates to 0
}

TEST_F(LineClip, LineAcrossTheViewFillsItsRow)
{
    draw_line(-10, 5, 700, 5, &White);
    EXPECT_EQ(count_row(5, WhitePixel), 640);
    EXPECT_EQ(count_pixels(WhitePixel), 640);
}

TEST_F(LineClip, LinesWhollyOutsideDrawNothing)
{
    draw_line(-30, 10, -2, 200, &White);    // both left
    draw_line(10, 320, 600, 5000, &White);  // both below
    draw_line(640, -1, 900, -300, &White);  // right and above
    EXPECT_EQ(count_pixels(WhitePixel), 0);
}

TEST_F(LineClip, HugeEndsGiveTheVisiblePieceOfTheLine)
{
    use_band(700, 8);
    draw_line(INT_MIN, INT_MIN, INT_MAX, INT_MAX, &White);
    EXPECT_TRUE(guard_intact(target));
    const PixelSet got = written(target, WhitePixel);
    EXPECT_GE(got.size(), 318u);
    for (auto [x, y] : got) EXPECT_LE(std::abs(x - y), 1) << x << "," << y;

    fill_band(target, 0);
    draw_line(-2000000000, 7, 2000000000, 7, &White);
    EXPECT_EQ(count_row(7, WhitePixel), 640);
}

TEST_F(LineWalk, SinglePoint)
{
    draw_line(3, 3, 3, 3, &White);
    EXPECT_EQ(written(target, WhitePixel), (PixelSet{{3, 3}}));
}

TEST_F(LineWalk, TruncatedStepNeverReachesTheLastRow)
{
    draw_line(0, 0, 3, 1, &White);
    EXPECT_EQ(written(target, WhitePixel), (PixelSet{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
}

TEST_F(LineWalk, StartsExactlyOnTheFirstEndWithoutHalfPixel)
{
    // Slope 1/2 from (0, 0): acc = 32768 * x, so the row changes at x = 2.
    draw_line(0, 0, 6, 3, &White);
    EXPECT_EQ(written(target, WhitePixel),
              (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}}));
}

TEST_F(LineWalk, DirectionDoesNotMatter)
{
    draw_line(5, 0, 0, 10, &White);
    const PixelSet forward = written(target, WhitePixel);
    fill_band(target, 0);
    draw_line(0, 10, 5, 0, &White);
    EXPECT_EQ(written(target, WhitePixel), forward);
    EXPECT_EQ(forward.size(), 11u);
}

TEST_F(LineWalk, ColourBytesAndPitch)
{
    use_band(703, 0);
    const Rgb orange = {255, 128, 0};
    draw_line(10, 2, 10, 4, &orange);
    EXPECT_EQ(pixel(10, 3), 255u * 65536 + 128u * 256);
    EXPECT_EQ(count_pixels(255u * 65536 + 128u * 256), 3);
}

TEST_F(LineProperty, InsideLinesCoverEveryStepOfTheMajorAxis)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> xs(0, 639), ys(0, 319);
    for (int n = 0; n < 300; ++n) {
        fill_band(target, 0);
        const int x0 = xs(rng), y0 = ys(rng), x1 = xs(rng), y1 = ys(rng);
        draw_line(x0, y0, x1, y1, &White);
        const PixelSet got = written(target, WhitePixel);
        const int major = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        ASSERT_EQ(got.size(), static_cast<size_t>(major + 1)) << x0 << "," << y0 << " " << x1 << "," << y1;
        // The walk starts on the end with the smaller major coordinate.
        const bool x_major = std::abs(x1 - x0) > std::abs(y1 - y0);
        const bool first_is_0 = x_major ? x0 <= x1 : y0 <= y1;
        EXPECT_TRUE(got.count(first_is_0 ? std::make_pair(x0, y0) : std::make_pair(x1, y1)));
    }
}

TEST_F(LineProperty, ClippedLinesStayOnTheLineAndInsideTheBand)
{
    use_band(680, 6);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> xs(-2500, 3100), ys(-2500, 2800);
    for (int n = 0; n < 400; ++n) {
        fill_band(target, 0);
        const int x0 = xs(rng), y0 = ys(rng), x1 = xs(rng), y1 = ys(rng);
        draw_line(x0, y0, x1, y1, &White);
        ASSERT_TRUE(guard_intact(target));
        // Every pixel lies near the ideal line (clip and walker truncations
        // move it by at most a couple of pixels).
        const double dx = x1 - x0, dy = y1 - y0, length = std::hypot(dx, dy);
        for (auto [x, y] : written(target, WhitePixel)) {
            const double distance = length == 0 ? 0 : std::fabs((x - x0) * dy - (y - y0) * dx) / length;
            ASSERT_LE(distance, 3.0) << x0 << "," << y0 << " " << x1 << "," << y1 << " at " << x << "," << y;
        }
    }
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX);
    for (int n = 0; n < 2000; ++n) draw_line(any(rng), any(rng), any(rng), any(rng), &White);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(WireFace, DrawsTheThreeEdges)
{
    Vertex a = at(10, 10), b = at(200, 40), c = at(60, 150);
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    draw_face_wire(&f, &White);
    const PixelSet wire = written(target, WhitePixel);
    fill_band(target, 0);
    draw_line(10, 10, 200, 40, &White);
    draw_line(10, 10, 60, 150, &White);
    draw_line(60, 150, 200, 40, &White);
    EXPECT_EQ(wire, written(target, WhitePixel));
}

TEST_F(WireFace, VertexAtOrBehindTheViewerSkipsTheFace)
{
    Vertex a = at(10, 10), b = at(200, 40, 0.0f), c = at(60, 150);
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    draw_face_wire(&f, &White);
    b.vz = -3.0f;
    draw_face_wire(&f, &White);
    b.vz = std::nanf("");
    draw_face_wire(&f, &White);
    EXPECT_EQ(count_pixels(WhitePixel), 0);
}
