// Textured faces: coverage, sampling, perspective, clipping, the shipped span
// routine against the plain one, and scaled faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "data/image.h"
#include "frame_check.h"
#include "raster/raster.h"

namespace {

// Texel (column, row) carries its own address, so a pixel tells what it sampled.
uint32_t address_texel(int column, int row) { return 0x00010000u | row << 8 | column; }
int sampled_column(uint32_t pixel) { return pixel & 0xFF; }

struct Texture {
    std::vector<uint32_t> words;
    Image image{};
    explicit Texture(int side = 256) : words(static_cast<size_t>(side) * side)
    {
        image.kind = ImageWords;
        image.width = image.height = side;
        image.pixels = reinterpret_cast<uint8_t *>(words.data());
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c) words[r * side + c] = address_texel(c & 255, r & 255);
    }
};

struct Corner {
    int x, y;
    float vz, u, v;
};

struct TexturedTriangle {
    Vertex v[3]{};
    Face face{};
    TexturedTriangle(const Corner (&c)[3], Image *texture)
    {
        for (int i = 0; i < 3; ++i) {
            v[i].sx = c[i].x, v[i].sy = c[i].y, v[i].vz = c[i].vz, v[i].u = c[i].u, v[i].v = c[i].v;
            face.v[i] = &v[i];
        }
        face.texture = texture;
    }
};

// Pixels other than 0 on row y, with the first and last of them.
int row_extent(const GuardedBand &b, int y, int &first, int &last)
{
    int n = 0;
    first = BandWidth, last = -1;
    for (int x = 0; x < BandWidth; ++x)
        if (b.band[y * b.pitch + x] != 0) ++n, first = std::min(first, x), last = std::max(last, x);
    return n;
}

Corner random_corner(std::mt19937 &rng, bool extreme)
{
    std::uniform_int_distribution<int> xs(-300, 940), ys(-200, 520), any(INT_MIN / 2, INT_MAX / 2);
    std::uniform_real_distribution<float> depth(0.5f, 2000.0f), coord(0.0f, 4.0f), tiny(1e-30f, 1e-3f),
        huge(0.0f, 1e30f);
    if (!extreme) return {xs(rng), ys(rng), depth(rng), coord(rng), coord(rng)};
    return {rng() % 3 ? xs(rng) : any(rng), rng() % 3 ? ys(rng) : any(rng), rng() % 2 ? tiny(rng) : depth(rng),
            rng() % 2 ? huge(rng) : coord(rng), coord(rng)};
}

}  // namespace

class TextureTest : public BandTest {
protected:
    Texture tex;
    int extent(int y, int &first, int &last) { return row_extent(target, y, first, last); }
};

TEST_F(TextureTest, RowsUseTheEdgesOfTheRowBelowAndClipAtTheBandsEnds)
{
    TexturedTriangle t({{100, 50, 1, 0, 0}, {200, 50, 1, 1, 0}, {150, 150, 1, 0.5f, 1}}, &tex.image);
    draw_face_textured(&t.face, 0);
    int first, last;
    EXPECT_EQ(extent(49, first, last), 0);
    EXPECT_EQ(extent(50, first, last), 100);
    EXPECT_EQ(first, 101);
    EXPECT_EQ(extent(148, first, last), 2);
    EXPECT_EQ(first, 150);
    EXPECT_EQ(extent(149, first, last) + extent(150, first, last), 0);  // zero width, then past the end

    fill_band(target, 0);
    TexturedTriangle above({{100, -40, 1, 0, 0}, {300, 10, 1, 1, 0}, {150, 40, 1, 0, 1}}, &tex.image);
    draw_face_textured(&above.face, 0);
    // Row 39 spans between edges meeting at the bottom vertex: a pixel or none.
    for (int y = 0; y < 39; ++y) EXPECT_GT(extent(y, first, last), 0) << y;
    for (int y = 40; y < BandHeight; ++y) ASSERT_EQ(extent(y, first, last), 0) << y;

    use_band(660, 5);
    TexturedTriangle one_row({{10, 30, 1, 0, 0}, {300, 30, 1, 1, 0}, {150, 30, 1, 0, 1}}, &tex.image);
    draw_face_textured(&one_row.face, 0);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
    TexturedTriangle below({{100, 300, 1, 0, 0}, {300, 500, 1, 1, 0}, {150, 900, 1, 0, 1}}, &tex.image);
    draw_face_textured(&below.face, 0);
    EXPECT_GT(extent(319, first, last), 0);
    for (int y = 0; y < 300; ++y) ASSERT_EQ(extent(y, first, last), 0) << y;
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(TextureTest, PerspectiveWrapAndTransparency)
{
    // u runs 0 to 1 along the top edge; halfway across the screen it is 1/2,
    // or 1/3 once the right end lies twice as deep.
    TexturedTriangle level({{100, 100, 100, 0, 0}, {300, 100, 100, 1, 0}, {100, 300, 100, 0, 1}}, &tex.image);
    draw_face_textured(&level.face, 0);
    EXPECT_NEAR(sampled_column(pixel(200, 101)), 128, 3);
    TexturedTriangle deep({{100, 100, 100, 0, 0}, {300, 100, 200, 1, 0}, {100, 300, 100, 0, 1}}, &tex.image);
    draw_face_textured(&deep.face, 0);
    EXPECT_NEAR(sampled_column(pixel(200, 101)), 256 / 3, 3);

    // Coordinates 1.5 and 2.25 sample what 0.5 and 0.25 do.
    fill_band(target, 0);
    TexturedTriangle wrapped({{20, 20, 64, 1.5f, 2.25f}, {220, 40, 64, 1.5f, 2.25f}, {90, 200, 64, 1.5f, 2.25f}},
                             &tex.image);
    draw_face_textured(&wrapped.face, 0);
    const int covered = BandWidth * BandHeight - count_pixels(0);
    EXPECT_GT(covered, 10000);
    EXPECT_EQ(count_pixels(address_texel(128, 64)), covered);
    // The width scales the coordinates: 0.25 is column 128 of a 512-wide
    // picture, still addressed as rows of 256 texels.
    Texture wide(512);
    wrapped.face.texture = &wide.image;
    for (Vertex &v : wrapped.v) v.u = 0.25f, v.v = 0.125f;
    draw_face_textured(&wrapped.face, 0);
    EXPECT_EQ(count_pixels(wide.words[64 * 256 + 128]), covered);

    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            if ((r / 16 + c / 16) % 2) tex.words[r * 256 + c] = 0;
    TexturedTriangle all({{0, 0, 1, 0, 0}, {639, 0, 1, 1, 0}, {0, 319, 1, 0, 1}}, &tex.image);
    fill_band(target, 0x00123456);
    draw_face_textured(&all.face, 1);
    EXPECT_EQ(count_pixels(0), 0);
    EXPECT_GT(count_pixels(0x00123456), BandWidth * BandHeight / 2 + 20000);
    draw_face_textured(&all.face, 0);
    EXPECT_GT(count_pixels(0), 20000);
}

TEST_F(TextureTest, SpanEndsAndDivisions)
{
    use_band(700, 4);
    const int pitch = target.pitch;
    // u = x + 50 with w = 1: the left-clipped span starts from the extrapolated values.
    draw_textured_span(-50.0, 100.0, 0.0, 150.0, 3.0, 3.0, 1.0, 1.0, 7 * pitch, 0, tex.words.data());
    for (int x = 0; x <= 100; ++x) ASSERT_EQ(pixel(x, 7), address_texel((x + 50) & 255, 3)) << x;
    // Ends in either order; the right end stops at the last column.
    draw_textured_span(700.0, 600.5, 100.0, 0.5, 0.0, 0.0, 1.0, 1.0, 9 * pitch, 0, tex.words.data());
    int first, last;
    EXPECT_EQ(extent(9, first, last), 40);
    EXPECT_EQ(pixel(600, 9), address_texel(0, 0));
    // Nothing for zero width, spans off the view or a NaN end.
    const double nothing[4][2] = {{10, 10}, {-30, 0}, {640, 700}, {std::nan(""), 50}};
    for (const auto &e : nothing) draw_textured_span(e[0], e[1], 0, 1, 0, 1, 1, 1, 0, 0, tex.words.data());
    EXPECT_EQ(extent(0, first, last), 0);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight - 101 - 40);
    EXPECT_TRUE(guard_intact(target));

    // W = 0 gives quotients 0; INT_MIN / -1 (8.24: -128 over -2^-24) keeps low byte 0.
    draw_textured_span(0.0, 20.0, 3.0, 9.0, 4.0, 8.0, 0.0, 0.0, 0, 0, tex.words.data());
    for (int x = 0; x <= 20; ++x) ASSERT_EQ(pixel(x, 0), address_texel(0, 0)) << x;
    const double minus_one = -1.0 / 16777216.0;
    draw_textured_span(0.0, 1.0, -128.0, -128.0, 5 * minus_one, 5 * minus_one, minus_one, minus_one, pitch, 0,
                       tex.words.data());
    EXPECT_EQ(pixel(0, 1), address_texel(0, 5));
}

TEST(TextureFixedPoint, KeepsTheLowBitsOfTheTruncatedValue)
{
    EXPECT_EQ(to_fixed_8_24(1.0), 0x01000000u);
    EXPECT_EQ(to_fixed_8_24(-1.5 / 16777216.0), 0xFFFFFFFFu);  // towards zero: -1
    EXPECT_EQ(to_fixed_8_24(0.9 / 16777216.0), 0u);
    EXPECT_EQ(to_fixed_8_24(256.0), 0u);  // 2^32
    EXPECT_EQ(to_fixed_8_24(std::ldexp(1.0, 46) + 0.0625), 0x00100000u);  // 2^70 + 2^20
    EXPECT_EQ(to_fixed_8_24(-(std::ldexp(1.0, 46) + 0.0625)), 0xFFF00000u);
    EXPECT_EQ(to_fixed_8_24(INFINITY) | to_fixed_8_24(std::nan("")), 0u);
    // Just past the int64 path, and the shifts where the low bits run out.
    const double top = std::ldexp(1.0, 53) - 1.0, odd = std::ldexp(1.0, 52) + 3.0;
    EXPECT_EQ(to_fixed_8_24(std::ldexp(top, 10 - 24)), 0xFFFFFC00u);  // 2^63 - 2^10
    EXPECT_EQ(to_fixed_8_24(-std::ldexp(top, 10 - 24)), 0x00000400u);
    EXPECT_EQ(to_fixed_8_24(std::ldexp(odd, 31 - 24)), 0x80000000u);
    EXPECT_EQ(to_fixed_8_24(std::ldexp(odd, 32 - 24)), 0u);
}

TEST_F(TextureTest, FacesThatCannotBeSampledOrProjectedDrawNothing)
{
    Texture small(64);
    Image empty{};
    const Corner corners[3] = {{10, 10, 1, 0, 0}, {300, 20, 1, 1, 0}, {40, 200, 1, 0, 1}};
    TexturedTriangle none(corners, nullptr), tiny(corners, &small.image), blank(corners, &empty);
    TexturedTriangle behind(corners, &tex.image), at_eye(corners, &tex.image);
    behind.v[1].vz = -20.0f;
    at_eye.v[2].vz = 0.0f;
    for (TexturedTriangle *t : {&none, &tiny, &blank, &behind, &at_eye}) draw_face_textured(&t->face, 0);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
}

// Random faces, some with absurd positions, depths and coordinates, drawn
// with the four-pixel loop and with the one-pixel loop: the bands must agree.
void expect_wide_spans_match_single(GuardedBand &target, unsigned stream)
{
    std::mt19937 rng(stream);
    Texture tex;
    GuardedBand reference;
    for (int n = 0; n < 1200; ++n) {
        if (n % 100 == 0) {
            for (uint32_t &w : tex.words) w = rng() % 5 == 0 ? 0 : (rng() & 0x00FFFFFF);
            RenderTarget.pitch = BandWidth + static_cast<int>(rng() % 3) * 17;
            make_guarded_band(target, RenderTarget.pitch, 2);
            make_guarded_band(reference, RenderTarget.pitch, 2);
        }
        const bool extreme = n % 4 == 3;
        const Corner c[3] = {random_corner(rng, extreme), random_corner(rng, extreme), random_corner(rng, extreme)};
        TexturedTriangle t(c, &tex.image);
        const int transparent = static_cast<int>(rng() % 2);
        SpanAllowWide = false;
        RenderTarget.pixels = reference.band;
        draw_face_textured(&t.face, transparent);
        SpanAllowWide = true;
        RenderTarget.pixels = target.band;
        draw_face_textured(&t.face, transparent);
        ASSERT_TRUE(target.storage == reference.storage) << "face " << n;
    }
}

TEST_F(TextureTest, FourPixelSpansMatchTheOnePixelLoop)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (!CpuHasAvx2) GTEST_SKIP() << "this processor has no AVX2: the four-pixel loop never runs";
#endif
    expect_wide_spans_match_single(target, 2024);
    expect_wide_spans_match_single(target, 4048);
}

TEST_F(TextureTest, RandomFacesWriteOnlyInsideTheirRowsColumnsAndTheBand)
{
    use_band(672, 6);
    std::mt19937 rng(99);
    for (int n = 0; n < 400; ++n) {
        fill_band(target, 0);
        const Corner c[3] = {random_corner(rng, false), random_corner(rng, false), random_corner(rng, false)};
        TexturedTriangle t(c, &tex.image);
        draw_face_textured(&t.face, 0);
        const int top = std::min({c[0].y, c[1].y, c[2].y}), bottom = std::max({c[0].y, c[1].y, c[2].y});
        const int left = std::min({c[0].x, c[1].x, c[2].x}), right = std::max({c[0].x, c[1].x, c[2].x});
        for (int y = 0, first, last; y < BandHeight; ++y)
            if (extent(y, first, last) > 0) {
                ASSERT_TRUE(y >= top && y < bottom && first >= left - 1 && last <= right + 1) << "row " << y;
            }
        ASSERT_TRUE(guard_intact(target));
    }
}

TEST(ScaleFace, CopiesAndScalesAboutTheCentroid)
{
    Vertex a{}, b{}, c{};
    a.sx = 0, a.sy = 0, b.sx = 90, b.sy = 0, c.sx = 0, c.sy = 90;
    a.vz = 3.0f, a.u = 0.25f;
    Image texture{};
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    f.normal = &c, f.texture = &texture, f.visible = 1;
    scale_face(&f, 2.0f);
    scale_face(&f, 0.5f);  // only the last call's result remains
    EXPECT_DOUBLE_EQ(FaceCentroidX, 30.0);
    EXPECT_DOUBLE_EQ(FaceCentroidY, 30.0);
    const int want[3][2] = {{15, 15}, {60, 15}, {15, 60}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(ScaledFace.v[i], f.v[i]);
        EXPECT_EQ(ScaledFace.v[i]->sx, want[i][0]);
        EXPECT_EQ(ScaledFace.v[i]->sy, want[i][1]);
    }
    EXPECT_EQ(b.sx, 90);  // the source is untouched
    EXPECT_FLOAT_EQ(ScaledFace.v[0]->vz, 3.0f);
    EXPECT_FLOAT_EQ(ScaledFace.v[0]->u, 0.25f);
    EXPECT_TRUE(ScaledFace.texture == &texture && ScaledFace.normal == &c && ScaledFace.visible == 1);

    Vertex d{}, e{}, g{};
    d.sx = 300, e.sx = 303, g.sx = 306;
    Face other{};
    other.v[0] = &d, other.v[1] = &e, other.v[2] = &g;
    face_centroid(&other);
    EXPECT_NEAR(FaceCentroidX, 303.0, 1e-4);
    EXPECT_EQ(ScaledFace.v[1]->sx, 60);  // face_centroid leaves the scaled face alone

    // Absurd factors saturate rather than overflow.
    scale_face(&f, 1e30f);
    EXPECT_EQ(ScaledFace.v[0]->sx, INT_MIN);
    EXPECT_EQ(ScaledFace.v[1]->sx, INT_MAX);
    scale_face(&f, std::nanf(""));
    EXPECT_EQ(ScaledFace.v[1]->sx, 0);
}
