// Flat faces: the edge scanner's span limits, the row fill and its clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "frame_check.h"
#include "raster/raster.h"

namespace {

constexpr uint32_t WhitePixel = 0x00FFFFFF;
const Rgb White = {255, 255, 255};
constexpr int TableGuard = 16;
constexpr int32_t TableGuardValue = 0x5A5A5A5A;

// Span-limit tables with guard entries on both sides of the 320 rows.
struct Tables {
    std::vector<int32_t> left_store, right_store;
    int32_t *left, *right;
    Tables()
        : left_store(BandHeight + 2 * TableGuard, TableGuardValue),
          right_store(BandHeight + 2 * TableGuard, TableGuardValue)
    {
        left = left_store.data() + TableGuard;
        right = right_store.data() + TableGuard;
        std::fill(left, left + BandHeight, SpanNoLeft);
        std::fill(right, right + BandHeight, SpanNoRight);
    }
    bool guards_intact() const
    {
        for (int i = 0; i < TableGuard; ++i)
            if (left_store[i] != TableGuardValue || right_store[i] != TableGuardValue ||
                left_store[TableGuard + BandHeight + i] != TableGuardValue ||
                right_store[TableGuard + BandHeight + i] != TableGuardValue)
                return false;
        return true;
    }
};

// The edge walk point by point in 64-bit arithmetic, the way it reads.
void plain_scan(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int32_t *left, int32_t *right)
{
    auto put = [&](int64_t x, int64_t y) {
        if (y < 0 || y >= BandHeight) return;
        left[y] = std::min<int64_t>(left[y], x);
        right[y] = std::max<int64_t>(right[y], x);
    };
    const int64_t adx = std::llabs(x0 - x1), ady = std::llabs(y0 - y1);
    if (adx > ady) {
        int64_t step = ady * 65536 / adx, acc = y0 * 65536 + 32768;
        if (y0 > y1) step = -step;
        for (int64_t i = 0, x = x0; i <= adx; ++i, x += x1 > x0 ? 1 : -1, acc += step) put(x, acc >> 16);
    } else {
        int64_t step = ady == 0 ? 0 : adx * 65536 / ady, acc = x0 * 65536 + 32768;
        if (x0 > x1) step = -step;
        for (int64_t i = 0, y = y0; i <= ady; ++i, y += y1 > y0 ? 1 : -1, acc += step) put(acc >> 16, y);
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
class FlatProperty : public BandTest {};

TEST(ScanEdge, ShallowEdgeRecordsEveryColumnWithHalfPixelStart)
{
    Tables t;
    scan_edge(0, 0, 10, 3, t.left, t.right);
    // step 19660: rows of x = 0..10 are 0 0 1 1 1 1 2 2 2 3 3
    EXPECT_EQ(t.left[0], 0);
    EXPECT_EQ(t.right[0], 1);
    EXPECT_EQ(t.left[1], 2);
    EXPECT_EQ(t.right[1], 5);
    EXPECT_EQ(t.left[2], 6);
    EXPECT_EQ(t.right[2], 8);
    EXPECT_EQ(t.left[3], 9);
    EXPECT_EQ(t.right[3], 10);
    EXPECT_EQ(t.left[4], SpanNoLeft);
}

TEST(ScanEdge, SteepEdgeAndItsReverseGiveTheSameLimits)
{
    Tables t, r;
    scan_edge(0, 0, 3, 10, t.left, t.right);
    const int expected[11] = {0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3};
    for (int y = 0; y <= 10; ++y) {
        EXPECT_EQ(t.left[y], expected[y]) << y;
        EXPECT_EQ(t.right[y], expected[y]) << y;
    }
    // Walking from the other end starts the half pixel there instead.
    scan_edge(3, 10, 0, 0, r.left, r.right);
    EXPECT_EQ(r.left[10], 3);
    EXPECT_EQ(r.left[0], 0);
}

TEST(ScanEdge, RowsOutsideTheViewAreSkipped)
{
    Tables t;
    scan_edge(5, -100, 5, 1000, t.left, t.right);
    scan_edge(-3000, -40, 4000, -1, t.left, t.right);
    scan_edge(-3000, 320, 4000, 900, t.left, t.right);
    EXPECT_TRUE(t.guards_intact());
    for (int y = 0; y < BandHeight; ++y) {
        ASSERT_EQ(t.left[y], 5);
        ASSERT_EQ(t.right[y], 5);
    }
}

TEST(ScanEdge, LongAndHugeEdgesMatchThePointByPointWalk)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> far(-150000, 150000), near_rows(-200, 520), near(-1000, 1640);
    for (int n = 0; n < 600; ++n) {
        int x0, y0, x1, y1;
        switch (n % 3) {
        case 0: x0 = far(rng), y0 = near_rows(rng), x1 = far(rng), y1 = near_rows(rng); break;
        case 1: x0 = far(rng), y0 = far(rng), x1 = far(rng), y1 = far(rng); break;
        default: x0 = near(rng), y0 = near_rows(rng), x1 = near(rng), y1 = near_rows(rng); break;
        }
        Tables got, want;
        scan_edge(x0, y0, x1, y1, got.left, got.right);
        plain_scan(x0, y0, x1, y1, want.left, want.right);
        ASSERT_TRUE(std::equal(got.left, got.left + BandHeight, want.left) &&
                    std::equal(got.right, got.right + BandHeight, want.right))
            << x0 << "," << y0 << " " << x1 << "," << y1;
        ASSERT_TRUE(got.guards_intact());
    }
}

TEST(ScanEdge, EdgesAcrossTheWholeIntRangeStayInTheirTables)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX);
    Tables t;
    for (int n = 0; n < 3000; ++n) scan_edge(any(rng), any(rng), any(rng), any(rng), t.left, t.right);
    scan_edge(INT_MIN, INT_MIN, INT_MAX, INT_MAX, t.left, t.right);
    scan_edge(INT_MAX, 0, INT_MIN, 319, t.left, t.right);
    EXPECT_TRUE(t.guards_intact());
}

TEST_F(FlatFill, FaceOnOneRowFillsOneRun)
{
    Triangle t(300, 40, 120, 40, 210, 40);
    draw_face_flat(&t.face, &White);
    EXPECT_EQ(count_row(40, WhitePixel), 181);
    EXPECT_EQ(pixel(120, 40), WhitePixel);
    EXPECT_EQ(pixel(300, 40), WhitePixel);
    EXPECT_EQ(count_pixels(WhitePixel), 181);
}

TEST_F(FlatFill, FillsBetweenTheEdgesOfEachRow)
{
    // Right triangle with legs on x = 100 and y = 200.
    Triangle t(100, 100, 100, 200, 200, 200);
    draw_face_flat(&t.face, &White);
    for (int y = 100; y <= 200; ++y) {
        const int width = count_row(y, WhitePixel);
        EXPECT_EQ(pixel(100, y), WhitePixel) << y;
        EXPECT_EQ(width, y - 100 + 1) << y;  // the 45-degree edge reaches x = y
    }
    EXPECT_EQ(count_row(99, WhitePixel), 0);
    EXPECT_EQ(count_row(201, WhitePixel), 0);
}

TEST_F(FlatFill, PartlyAboveFillsOnlyRowsFromZero)
{
    Triangle t(50, -100, 250, 60, 20, 60);
    draw_face_flat(&t.face, &White);
    EXPECT_GT(count_row(0, WhitePixel), 0);
    EXPECT_GT(count_row(60, WhitePixel), 0);
    EXPECT_EQ(count_row(61, WhitePixel), 0);
}

TEST_F(FlatFill, WhollyRightOfTheViewWritesNothing)
{
    use_band(700, 4);
    Triangle t(640, 10, 900, 100, 700, 200);
    draw_face_flat(&t.face, &White);
    EXPECT_EQ(count_pixels(WhitePixel), 0);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(FlatFill, ColourBytesMakeThePixel)
{
    const Rgb orange = {255, 128, 0};
    Triangle t(5, 5, 5, 5, 5, 5);
    draw_face_flat(&t.face, &orange);
    EXPECT_EQ(pixel(5, 5), 255u * 65536 + 128u * 256);
    EXPECT_EQ(count_pixels(255u * 65536 + 128u * 256), 1);
}

TEST_F(FlatFill, HugeFaceCoversTheWholeBandQuickly)
{
    use_band(660, 3);
    Triangle t(-2000000000, -2000000000, 2000000000, -2000000000, 0, 2000000000);
    draw_face_flat(&t.face, &White);
    EXPECT_EQ(count_pixels(WhitePixel), BandWidth * BandHeight);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(FlatFill, VertexAtOrBehindTheViewerSkipsTheFace)
{
    Triangle t(10, 10, 200, 40, 60, 150);
    t.c.vz = 0.0f;
    draw_face_flat(&t.face, &White);
    t.c.vz = -1.0f;
    draw_face_flat(&t.face, &White);
    EXPECT_EQ(count_pixels(WhitePixel), 0);
}

TEST_F(FlatProperty, NeverWritesOutsideTheBandWhateverTheCoordinates)
{
    use_band(700, 8);
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX), wide(-40000, 40000), near(-300, 940);
    for (int n = 0; n < 1500; ++n) {
        auto pick = [&] { return n % 3 == 0 ? any(rng) : n % 3 == 1 ? wide(rng) : near(rng); };
        Triangle t(pick(), pick(), pick(), pick(), pick(), pick());
        draw_face_flat(&t.face, &White);
        draw_face_wire(&t.face, &White);
    }
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(FlatProperty, RowsAreSingleRunsThatContainTheVertices)
{
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> xs(-200, 840), ys(-100, 420);
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
            ASSERT_LE(runs, 1) << "row " << y;
            if (y < top || y > bottom) {
                ASSERT_EQ(runs, 0) << "row " << y;
            }
        }
    }
}
