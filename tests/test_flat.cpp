// Flat faces: the edge scanner's span limits, the row fill and its clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

#include "frame_check.h"
#include "raster/raster.h"

namespace {

const Rgb White = {255, 255, 255};
constexpr uint32_t WhitePixel = 0x00FFFFFF;
constexpr int TableGuard = 16;
constexpr int32_t TableGuardValue = 0x5A5A5A5A;

// Left and right tables side by side, with guard entries around the 320 rows.
struct Tables {
    std::vector<int32_t> store = std::vector<int32_t>(2 * (BandHeight + 2 * TableGuard), TableGuardValue);
    int32_t *left = store.data() + TableGuard;
    int32_t *right = left + BandHeight + 2 * TableGuard;
    Tables()
    {
        std::fill(left, left + BandHeight, SpanNoLeft);
        std::fill(right, right + BandHeight, SpanNoRight);
    }
    bool guards_intact() const
    {
        for (int i = 0; i < TableGuard; ++i)
            for (const int32_t *t : {left, right})
                if (t[-1 - i] != TableGuardValue || t[BandHeight + i] != TableGuardValue) return false;
        return true;
    }
};

// The edge walk point by point in 64-bit arithmetic, the way it reads.
void plain_scan(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int32_t *left, int32_t *right)
{
    const int64_t adx = std::llabs(x0 - x1), ady = std::llabs(y0 - y1);
    const bool x_major = adx > ady;
    const int64_t n = x_major ? adx : ady;
    int64_t step = n == 0 ? 0 : (x_major ? ady : adx) * 65536 / n;
    if (x_major ? y0 > y1 : x0 > x1) step = -step;
    int64_t acc = (x_major ? y0 : x0) * 65536 + 32768;
    for (int64_t i = 0; i <= n; ++i, acc += step) {
        const int64_t major = (x_major ? x0 : y0) + i * ((x_major ? x1 > x0 : y1 > y0) ? 1 : -1);
        const int64_t x = x_major ? major : acc >> 16, y = x_major ? acc >> 16 : major;
        if (y < 0 || y >= BandHeight) continue;
        left[y] = static_cast<int32_t>(std::min<int64_t>(left[y], x));
        right[y] = static_cast<int32_t>(std::max<int64_t>(right[y], x));
    }
}

struct Triangle {
    Vertex a{}, b{}, c{};
    Face face{};
    Triangle(int x0, int y0, int x1, int y1, int x2, int y2)
    {
        a.sx = x0, a.sy = y0, b.sx = x1, b.sy = y1, c.sx = x2, c.sy = y2;
        a.vz = b.vz = c.vz = 100.0f;
        face.v[0] = &a, face.v[1] = &b, face.v[2] = &c;
    }
};

}  // namespace

class FlatFill : public BandTest {};

TEST(ScanEdge, HalfPixelStartAndEveryColumnOfShallowEdges)
{
    Tables shallow, steep;
    scan_edge(0, 0, 10, 3, shallow.left, shallow.right);
    scan_edge(0, 0, 3, 10, steep.left, steep.right);
    // step 19660 from 32768: the minor coordinate of points 0..10 is 0 0 1 1 1 1 2 2 2 3 3
    const int minor[11] = {0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3};
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(steep.left[i], minor[i]);
        EXPECT_EQ(steep.right[i], minor[i]);
        EXPECT_LE(shallow.left[minor[i]], i);
        EXPECT_GE(shallow.right[minor[i]], i);
    }
    EXPECT_EQ(shallow.right[1], 5);
    EXPECT_EQ(shallow.left[4], SpanNoLeft);
}

TEST(ScanEdge, LongAndHugeEdgesMatchThePointByPointWalk)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> far(-150000, 150000), rows(-200, 520), near(-1000, 1640);
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX);
    for (int n = 0; n < 600; ++n) {
        const bool wide = n % 3 != 2;
        const int x0 = wide ? far(rng) : near(rng), x1 = wide ? far(rng) : near(rng);
        const int y0 = n % 3 == 1 ? far(rng) : rows(rng), y1 = n % 3 == 1 ? far(rng) : rows(rng);
        Tables got, want;
        scan_edge(x0, y0, x1, y1, got.left, got.right);
        plain_scan(x0, y0, x1, y1, want.left, want.right);
        ASSERT_EQ(got.store, want.store) << x0 << "," << y0 << " " << x1 << "," << y1;
    }
    Tables t;
    for (int n = 0; n < 3000; ++n) scan_edge(any(rng), any(rng), any(rng), any(rng), t.left, t.right);
    EXPECT_TRUE(t.guards_intact());
    Tables vertical;
    scan_edge(5, INT_MIN, 5, INT_MAX, vertical.left, vertical.right);
    EXPECT_TRUE(std::all_of(vertical.left, vertical.left + BandHeight, [](int32_t x) { return x == 5; }));
}

TEST_F(FlatFill, RowsRunBetweenTheEdges)
{
    Triangle right_angle(100, 100, 100, 200, 200, 200);
    draw_face_flat(&right_angle.face, &White);
    for (int y = 100; y <= 200; ++y) {
        ASSERT_EQ(pixel(100, y), WhitePixel) << y;
        ASSERT_EQ(count_row(y, WhitePixel), y - 100 + 1) << y;  // the 45-degree edge reaches x = y
    }
    EXPECT_EQ(count_pixels(WhitePixel), 101 * 102 / 2);

    fill_band(target, 0);
    Triangle one_row(300, 40, 120, 40, 210, 40);
    draw_face_flat(&one_row.face, &White);
    EXPECT_EQ(count_row(40, WhitePixel), 181);
    EXPECT_EQ(count_pixels(WhitePixel), 181);

    const Rgb orange = {255, 128, 0};
    Triangle point(5, 5, 5, 5, 5, 5);
    draw_face_flat(&point.face, &orange);
    EXPECT_EQ(pixel(5, 5), 255u * 65536 + 128u * 256);
}

TEST_F(FlatFill, ClipsToTheBandAndSkipsFacesNotInFront)
{
    use_band(700, 4);
    Triangle above(50, -100, 250, 60, 20, 60), right(640, 10, 900, 100, 700, 200);
    draw_face_flat(&above.face, &White);
    draw_face_flat(&right.face, &White);
    EXPECT_GT(count_row(0, WhitePixel), 100);
    for (int y = 61; y < BandHeight; ++y) ASSERT_EQ(count_row(y, WhitePixel), 0) << y;
    for (int x = 640; x < 700; ++x) ASSERT_EQ(target.band[10 * 700 + x], GuardWord);

    fill_band(target, 0);
    Triangle huge(-2000000000, -2000000000, 2000000000, -2000000000, 0, 2000000000);
    draw_face_flat(&huge.face, &White);
    EXPECT_EQ(count_pixels(WhitePixel), BandWidth * BandHeight);
    EXPECT_TRUE(guard_intact(target));

    fill_band(target, 0);
    for (float depth : {0.0f, -1.0f}) {
        huge.c.vz = depth;
        draw_face_flat(&huge.face, &White);
    }
    EXPECT_EQ(count_pixels(WhitePixel), 0);
}

TEST_F(FlatFill, RandomFacesAreRowRunsHoldingTheirVerticesAndStayInTheBand)
{
    use_band(700, 8);
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> xs(-200, 840), ys(-100, 420), any(INT_MIN, INT_MAX);
    for (int n = 0; n < 300; ++n) {
        fill_band(target, 0);
        Triangle t(xs(rng), ys(rng), xs(rng), ys(rng), xs(rng), ys(rng));
        draw_face_flat(&t.face, &White);
        for (const Vertex *v : {&t.a, &t.b, &t.c})
            if (v->sx >= 0 && v->sx < BandWidth && v->sy >= 0 && v->sy < BandHeight) {
                ASSERT_EQ(pixel(v->sx, v->sy), WhitePixel) << "vertex " << v->sx << "," << v->sy;
            }
        const int top = std::min({t.a.sy, t.b.sy, t.c.sy}), bottom = std::max({t.a.sy, t.b.sy, t.c.sy});
        for (int y = 0; y < BandHeight; ++y) {
            int runs = 0;
            for (int x = 0; x < BandWidth; ++x)
                runs += pixel(x, y) == WhitePixel && (x == 0 || pixel(x - 1, y) != WhitePixel);
            ASSERT_LE(runs, (y >= top && y <= bottom) ? 1 : 0) << "row " << y;
        }
    }
    for (int n = 0; n < 1500; ++n) {
        Triangle t(any(rng), any(rng), any(rng), any(rng), any(rng), any(rng));
        draw_face_flat(&t.face, &White);
        draw_face_wire(&t.face, &White);
    }
    EXPECT_TRUE(guard_intact(target));
}
