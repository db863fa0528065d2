// Lines and wireframes: outcodes, clipping, the 16.16 line walker, faces in outline.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <utility>

#include "frame_check.h"
#include "raster/raster.h"

namespace {

const Rgb White = {255, 255, 255};
constexpr uint32_t WhitePixel = 0x00FFFFFF;
using PixelSet = std::set<std::pair<int, int>>;

PixelSet written(const GuardedBand &b)
{
    PixelSet out;
    for (int y = 0; y < BandHeight; ++y)
        for (int x = 0; x < BandWidth; ++x)
            if (b.band[y * b.pitch + x] == WhitePixel) out.insert({x, y});
    return out;
}

}  // namespace

class LineTest : public BandTest {};

TEST(LineClip, OutcodesAndClippedEnds)
{
    EXPECT_EQ(outcode(0, 0) | outcode(639, 319), 0);
    EXPECT_EQ(outcode(-1, 320), OutLeft | OutBottom);
    EXPECT_EQ(outcode(INT_MAX, INT_MIN), OutRight | OutTop);

    int x0 = -100, y0 = -100, x1 = 100, y1 = 100;
    ASSERT_EQ(clip_line(&x0, &y0, &x1, &y1), 0);
    EXPECT_EQ(PixelSet({{x0, y0}, {x1, y1}}), PixelSet({{0, 0}, {100, 100}}));
    x0 = -50, y0 = 20, x1 = 20, y1 = -50;  // passes the corner outside the view
    EXPECT_EQ(clip_line(&x0, &y0, &x1, &y1), -1);

    // Right then top, each from the point the step before left, truncating towards zero.
    int x = 700, y = -10;
    clip_line_end(&x, &y, -700, 310, OutRight | OutTop);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(x, static_cast<int>(639 + -700.0 * -17 / 310.0));  // y was 17 after the right edge
    x = -3, y = 0;
    clip_line_end(&x, &y, 10, -1, OutLeft);
    EXPECT_EQ(PixelSet({{x, y}}), PixelSet({{0, 0}}));  // -0.3 truncates to 0
}

TEST_F(LineTest, ClippingKeepsTheVisiblePiece)
{
    use_band(700, 8);
    draw_line(-10, 5, 700, 5, &White);
    draw_line(-30, 10, -2, 200, &White);    // both ends left
    draw_line(10, 320, 600, 5000, &White);  // both below
    EXPECT_EQ(count_row(5, WhitePixel), 640);
    EXPECT_EQ(count_pixels(WhitePixel), 640);

    fill_band(target, 0);
    draw_line(INT_MIN, INT_MIN, INT_MAX, INT_MAX, &White);
    const PixelSet diagonal = written(target);
    EXPECT_GE(diagonal.size(), 318u);
    for (auto [px, py] : diagonal) EXPECT_LE(std::abs(px - py), 1);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(LineTest, WalkerPixels)
{
    const struct {
        int x0, y0, x1, y1;
        PixelSet pixels;
    } cases[] = {
        {3, 3, 3, 3, {{3, 3}}},
        {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},  // the truncated step never reaches row 1
        {6, 3, 0, 0, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}}},  // no half pixel
        {1, 0, 0, 4, {{1, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},
    };
    for (const auto &c : cases) {
        fill_band(target, 0);
        draw_line(c.x0, c.y0, c.x1, c.y1, &White);
        EXPECT_EQ(written(target), c.pixels) << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1;
    }
    fill_band(target, 0);
    draw_line(5, 0, 0, 10, &White);
    const PixelSet forward = written(target);
    fill_band(target, 0);
    draw_line(0, 10, 5, 0, &White);
    EXPECT_EQ(written(target), forward);

    const Rgb orange = {255, 128, 0};
    draw_line(10, 2, 10, 2, &orange);
    EXPECT_EQ(pixel(10, 2), 255u * 65536 + 128u * 256);
}

TEST_F(LineTest, RandomLinesStayOnTheirLineAndInsideTheBand)
{
    use_band(680, 6);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> xs(-2500, 3100), ys(-2500, 2800), any(INT_MIN, INT_MAX);
    for (int n = 0; n < 400; ++n) {
        fill_band(target, 0);
        const int x0 = xs(rng), y0 = ys(rng), x1 = xs(rng), y1 = ys(rng);
        draw_line(x0, y0, x1, y1, &White);
        // Clip and walker truncations move a pixel at most a couple of pixels off the line.
        const double dx = x1 - x0, dy = y1 - y0, length = std::hypot(dx, dy);
        for (auto [x, y] : written(target))
            ASSERT_LE(std::fabs((x - x0) * dy - (y - y0) * dx), 3.0 * length)
                << x0 << "," << y0 << " " << x1 << "," << y1 << " at " << x << "," << y;
    }
    for (int n = 0; n < 2000; ++n) draw_line(any(rng), any(rng), any(rng), any(rng), &White);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(LineTest, WireIsThreeLinesAndNeedsAllVerticesInFront)
{
    Vertex a{}, b{}, c{};
    a.sx = 10, a.sy = 10, b.sx = 200, b.sy = 40, c.sx = 60, c.sy = 150;
    a.vz = b.vz = c.vz = 100.0f;
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    draw_face_wire(&f, &White);
    const PixelSet wire = written(target);
    fill_band(target, 0);
    draw_line(10, 10, 200, 40, &White);
    draw_line(10, 10, 60, 150, &White);
    draw_line(60, 150, 200, 40, &White);
    EXPECT_EQ(wire, written(target));

    fill_band(target, 0);
    for (float depth : {0.0f, -3.0f, std::nanf("")}) {
        b.vz = depth;
        draw_face_wire(&f, &White);
    }
    EXPECT_EQ(count_pixels(WhitePixel), 0);
}
