// Textured faces: coverage, sampling, perspective, clipping, the shipped span
// routine against the plain one, and scaled faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "data/image.h"
#include "frame_check.h"
#include "raster/raster.h"
#include "span_reference.h"

namespace {

constexpr int Side = 256;

// Texel (column, row) carries its own address, so a pixel tells what it sampled.
uint32_t address_texel(int column, int row) { return 0x00010000u | row << 8 | column; }
int sampled_column(uint32_t pixel) { return pixel & 0xFF; }
int sampled_row(uint32_t pixel) { return pixel >> 8 & 0xFF; }

struct Texture {
    std::vector<uint32_t> words;
    Image image{};
    explicit Texture(int width = Side, int height = Side) : words(static_cast<size_t>(width) * height)
    {
        image.kind = 2;
        image.width = width;
        image.height = height;
        image.pixels = reinterpret_cast<uint8_t *>(words.data());
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) words[r * width + c] = address_texel(c & 255, r & 255);
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
            v[i].sx = c[i].x;
            v[i].sy = c[i].y;
            v[i].vz = c[i].vz;
            v[i].u = c[i].u;
            v[i].v = c[i].v;
            face.v[i] = &v[i];
        }
        face.texture = texture;
    }
};

int written_in_row(const GuardedBand &b, int y, int &first, int &last)
{
    int n = 0;
    first = BandWidth, last = -1;
    for (int x = 0; x < BandWidth; ++x)
        if (b.band[y * b.pitch + x] != 0) {
            ++n;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    return n;
}

}  // namespace

class TextureCoverage : public BandTest {
protected:
    int row_extent(int y, int &first, int &last) { return written_in_row(target, y, first, last); }
};
class TextureSampling : public BandTest {};
class TextureSpan : public BandTest {};
class TextureSafety : public BandTest {};
class TextureProperty : public BandTest {};

TEST_F(TextureCoverage, SpansUseTheEdgesOfTheRowBelow)
{
    Texture tex;
    TexturedTriangle t({{100, 50, 1, 0, 0}, {200, 50, 1, 1, 0}, {150, 150, 1, 0.5f, 1}}, &tex.image);
    draw_face_textured(&t.face, 0);
    int first, last;
    EXPECT_EQ(row_extent(49, first, last), 0);
    ASSERT_GT(row_extent(50, first, last), 0);
    EXPECT_EQ(first, 101);
    EXPECT_EQ(last, 200);
    ASSERT_EQ(row_extent(148, first, last), 2);
    EXPECT_EQ(first, 150);
    EXPECT_EQ(last, 151);
    EXPECT_EQ(row_extent(149, first, last), 0);  // zero width
    EXPECT_EQ(row_extent(150, first, last), 0);
}

TEST_F(TextureCoverage, FaceOnOneRowDrawsNothing)
{
    Texture tex;
    TexturedTriangle t({{10, 30, 1, 0, 0}, {300, 30, 1, 1, 0}, {150, 30, 1, 0, 1}}, &tex.image);
    draw_face_textured(&t.face, 0);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
}

TEST_F(TextureCoverage, FaceAboveTheViewJumpsToRowZero)
{
    Texture tex;
    TexturedTriangle t({{100, -40, 1, 0, 0}, {300, 10, 1, 1, 0}, {150, 40, 1, 0, 1}}, &tex.image);
    draw_face_textured(&t.face, 0);
    int first, last;
    // Row 39 spans between the two edges where they meet at the bottom
    // vertex, so it may hold a pixel or none.
    for (int y = 0; y < 39; ++y) EXPECT_GT(row_extent(y, first, last), 0) << y;
    for (int y = 40; y < BandHeight; ++y) ASSERT_EQ(row_extent(y, first, last), 0) << y;
}

TEST_F(TextureCoverage, DrawingStopsAtTheLastRow)
{
    use_band(660, 5);
    Texture tex;
    TexturedTriangle t({{100, 300, 1, 0, 0}, {300, 500, 1, 1, 0}, {150, 900, 1, 0, 1}}, &tex.image);
    draw_face_textured(&t.face, 0);
    int first, last;
    EXPECT_GT(row_extent(319, first, last), 0);
    EXPECT_EQ(row_extent(299, first, last), 0);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(TextureSampling, PerspectiveBendsTheTexture)
{
    Texture tex;
    // u runs 0 to 1 along the top edge; the right end lies twice as deep.
    TexturedTriangle flat({{100, 100, 100, 0, 0}, {300, 100, 100, 1, 0}, {100, 300, 100, 0, 1}}, &tex.image);
    draw_face_textured(&flat.face, 0);
    const int affine_column = sampled_column(pixel(200, 101));
    EXPECT_NEAR(affine_column, 128, 3);

    fill_band(target, 0);
    TexturedTriangle deep({{100, 100, 100, 0, 0}, {300, 100, 200, 1, 0}, {100, 300, 100, 0, 1}}, &tex.image);
    draw_face_textured(&deep.face, 0);
    // Halfway across the screen, 1/z interpolation puts u at 1/3, not 1/2.
    EXPECT_NEAR(sampled_column(pixel(200, 101)), 256 / 3, 3);
}

TEST_F(TextureSampling, CoordinatesWrapEveryWholeTexture)
{
    Texture tex;
    // Across a span: u = x + 10 against u = x + 266 select the same columns.
    draw_textured_span(0.0, 200.0, 10.0, 210.0, 1.0, 1.0, 1.0, 1.0, 0, 0, tex.words.data());
    draw_textured_span(0.0, 200.0, 266.0, 466.0, 513.0, 513.0, 1.0, 1.0, BandWidth, 0, tex.words.data());
    for (int x = 0; x <= 200; ++x) {
        ASSERT_EQ(sampled_column(pixel(x, 0)), (x + 10) & 255) << x;
        ASSERT_EQ(pixel(x, 1), pixel(x, 0)) << x;
    }

    // On a face: coordinates 1.5 and 2.25 sample what 0.5 and 0.25 do.
    fill_band(target, 0);
    TexturedTriangle a({{20, 20, 64, 0.5f, 0.25f}, {220, 40, 64, 0.5f, 0.25f}, {90, 200, 64, 0.5f, 0.25f}}, &tex.image);
    TexturedTriangle b({{20, 20, 64, 1.5f, 2.25f}, {220, 40, 64, 1.5f, 2.25f}, {90, 200, 64, 1.5f, 2.25f}}, &tex.image);
    draw_face_textured(&a.face, 0);
    const int covered = BandWidth * BandHeight - count_pixels(0);
    EXPECT_GT(covered, 10000);
    EXPECT_EQ(count_pixels(address_texel(128, 64)), covered);
    fill_band(target, 0);
    draw_face_textured(&b.face, 0);
    EXPECT_EQ(count_pixels(address_texel(128, 64)), covered);
}

TEST_F(TextureSampling, TransparentLeavesZeroTexelsUnwritten)
{
    Texture tex;
    for (int r = 0; r < Side; ++r)
        for (int c = 0; c < Side; ++c)
            if ((r / 16 + c / 16) % 2) tex.words[r * Side + c] = 0;
    TexturedTriangle t({{0, 0, 1, 0, 0}, {639, 0, 1, 1, 0}, {0, 319, 1, 0, 1}}, &tex.image);
    constexpr uint32_t background = 0x00123456;
    fill_band(target, background);
    draw_face_textured(&t.face, 1);
    EXPECT_EQ(count_pixels(0), 0);
    EXPECT_GT(count_pixels(background), 20000);
    fill_band(target, background);
    draw_face_textured(&t.face, 0);
    EXPECT_GT(count_pixels(0), 20000);
}

TEST_F(TextureSpan, LeftClippedSpanStartsFromTheExtrapolatedValues)
{
    Texture tex;
    // u = x + 50 across the span, w = 1.
    draw_textured_span(-50.0, 100.0, 0.0, 150.0, 3.0, 3.0, 1.0, 1.0, 7 * BandWidth, 0, tex.words.data());
    for (int x = 0; x <= 100; ++x) {
        ASSERT_EQ(sampled_column(pixel(x, 7)), (x + 50) & 255) << x;
        ASSERT_EQ(sampled_row(pixel(x, 7)), 3) << x;
    }
    EXPECT_EQ(pixel(101, 7), 0u);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight - 101);
}

TEST_F(TextureSpan, EndsAreOrderedAndTheRightEndIsClipped)
{
    use_band(700, 4);
    Texture tex;
    draw_textured_span(700.0, 600.5, 100.0, 0.5, 0.0, 0.0, 1.0, 1.0, 9 * target.pitch, 0, tex.words.data());
    int first, last;
    EXPECT_EQ(written_in_row(target, 9, first, last), 40);
    EXPECT_EQ(first, 600);
    EXPECT_EQ(last, 639);
    EXPECT_EQ(sampled_column(pixel(600, 9)), 0);
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(TextureSpan, ZeroWidthOrOffViewSpansDrawNothing)
{
    Texture tex;
    draw_textured_span(10.0, 10.0, 0, 1, 0, 1, 1, 1, 0, 0, tex.words.data());
    draw_textured_span(-30.0, 0.0, 0, 1, 0, 1, 1, 1, 0, 0, tex.words.data());
    draw_textured_span(640.0, 700.0, 0, 1, 0, 1, 1, 1, 0, 0, tex.words.data());
    draw_textured_span(std::nan(""), 50.0, 0, 1, 0, 1, 1, 1, 0, 0, tex.words.data());
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
}

TEST_F(TextureSpan, DivisionsWithoutAnIntegerResultAreDefined)
{
    Texture tex;
    // W = 0 on the whole span: both quotients are taken as 0.
    draw_textured_span(0.0, 20.0, 3.0, 9.0, 4.0, 8.0, 0.0, 0.0, 0, 0, tex.words.data());
    for (int x = 0; x <= 20; ++x) ASSERT_EQ(pixel(x, 0), address_texel(0, 0)) << x;
    // U = INT_MIN with W = -1 (8.24: -128 and -2^-24): the quotient 2^31 keeps its low byte 0.
    const double minus_one = -1.0 / 16777216.0;
    draw_textured_span(0.0, 1.0, -128.0, -128.0, 5 * minus_one, 5 * minus_one, minus_one, minus_one,
                       BandWidth, 0, tex.words.data());
    EXPECT_EQ(pixel(0, 1), address_texel(0, 5));
}

TEST(TextureFixedPoint, ConversionKeepsTheLowBitsOfTheTruncatedValue)
{
    EXPECT_EQ(to_fixed_8_24(1.0), 0x01000000u);
    EXPECT_EQ(to_fixed_8_24(-1.0), 0xFF000000u);
    EXPECT_EQ(to_fixed_8_24(0.9 / 16777216.0), 0u);            // truncated, not rounded
    EXPECT_EQ(to_fixed_8_24(-1.5 / 16777216.0), 0xFFFFFFFFu);  // towards zero: -1
    EXPECT_EQ(to_fixed_8_24(256.0), 0u);                       // 2^32 wraps to 0
    EXPECT_EQ(to_fixed_8_24(std::ldexp(1.0, 46) + 0.0625), 0x00100000u);  // 2^70 + 2^20
    EXPECT_EQ(to_fixed_8_24(-(std::ldexp(1.0, 46) + 0.0625)), 0xFFF00000u);
    EXPECT_EQ(to_fixed_8_24(1e300), 0u);
    EXPECT_EQ(to_fixed_8_24(INFINITY), 0u);
    EXPECT_EQ(to_fixed_8_24(std::nan("")), 0u);
}

TEST_F(TextureSafety, MissingOrSmallTexturesAreNotSampled)
{
    Texture small(64, 64);
    Image empty{};
    const Corner corners[3] = {{10, 10, 1, 0, 0}, {300, 20, 1, 1, 0}, {40, 200, 1, 0, 1}};
    TexturedTriangle none(corners, nullptr), tiny(corners, &small.image), blank(corners, &empty);
    draw_face_textured(&none.face, 0);
    draw_face_textured(&tiny.face, 0);
    draw_face_textured(&blank.face, 1);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
}

TEST_F(TextureSafety, VertexAtOrBehindTheViewerSkipsTheFace)
{
    Texture tex;
    TexturedTriangle t({{10, 10, 1, 0, 0}, {300, 20, 0, 1, 0}, {40, 200, 1, 0, 1}}, &tex.image);
    draw_face_textured(&t.face, 0);
    t.v[1].vz = -20.0f;
    draw_face_textured(&t.face, 0);
    EXPECT_EQ(count_pixels(0), BandWidth * BandHeight);
}

namespace {

// Random faces over and around the view, deep and shallow, with coordinates
// that wrap the texture several times.
Corner random_corner(std::mt19937 &rng, bool extreme)
{
    std::uniform_int_distribution<int> xs(-300, 940), ys(-200, 520);
    std::uniform_real_distribution<float> depth(0.5f, 2000.0f), coord(0.0f, 4.0f);
    if (extreme) {
        std::uniform_int_distribution<int> any(INT_MIN / 2, INT_MAX / 2);
        std::uniform_real_distribution<float> tiny(1e-30f, 1e-3f), huge(0.0f, 1e30f);
        return {any(rng) % 3 == 0 ? any(rng) : xs(rng), any(rng) % 3 == 0 ? any(rng) : ys(rng),
                rng() % 2 ? tiny(rng) : depth(rng), rng() % 2 ? huge(rng) : coord(rng), coord(rng)};
    }
    return {xs(rng), ys(rng), depth(rng), coord(rng), coord(rng)};
}

void random_texture(std::mt19937 &rng, Texture &tex)
{
    for (uint32_t &w : tex.words) w = rng() % 5 == 0 ? 0 : (rng() & 0x00FFFFFF);
}

}  // namespace

// Draws many random faces with the shipped span routine and with the plain
// one; the bands must stay identical.
void expect_spans_match_reference(GuardedBand &target, unsigned seed)
{
    std::mt19937 rng(seed);
    Texture tex;
    GuardedBand reference;
    for (int n = 0; n < 1200; ++n) {
        if (n % 100 == 0) {
            random_texture(rng, tex);
            const int pitch = BandWidth + static_cast<int>(rng() % 3) * 17;
            make_guarded_band(target, pitch, 2);
            make_guarded_band(reference, pitch, 2);
            RenderTarget.pitch = pitch;
        }
        const bool extreme = n % 4 == 3;
        const Corner c[3] = {random_corner(rng, extreme), random_corner(rng, extreme),
                             random_corner(rng, extreme)};
        TexturedTriangle t(c, &tex.image);
        const int transparent = static_cast<int>(rng() % 2);

        RenderTarget.pixels = reference.band;
        draw_face_textured_with(&t.face, transparent, reference_textured_span);
        RenderTarget.pixels = target.band;
        draw_face_textured(&t.face, transparent);
        ASSERT_TRUE(target.storage == reference.storage) << "face " << n;
    }
    EXPECT_TRUE(guard_intact(target));
}

TEST_F(TextureProperty, ShippedSpansMatchThePlainIntegerLoop)
{
    expect_spans_match_reference(target, 2024);
}

TEST_F(TextureProperty, OnePixelLoopAloneMatchesThePlainIntegerLoop)
{
    SpanAllowWide = false;
    expect_spans_match_reference(target, 4048);
    SpanAllowWide = true;
}

TEST_F(TextureProperty, WritesOnlyInsideTheFacesRowsAndColumns)
{
    use_band(672, 6);
    std::mt19937 rng(99);
    Texture tex;
    for (int n = 0; n < 400; ++n) {
        fill_band(target, 0);
        const Corner c[3] = {random_corner(rng, false), random_corner(rng, false), random_corner(rng, false)};
        TexturedTriangle t(c, &tex.image);
        draw_face_textured(&t.face, 0);
        const int top = std::min({c[0].y, c[1].y, c[2].y}), bottom = std::max({c[0].y, c[1].y, c[2].y});
        const int left = std::min({c[0].x, c[1].x, c[2].x}), right = std::max({c[0].x, c[1].x, c[2].x});
        for (int y = 0; y < BandHeight; ++y) {
            int first, last;
            if (written_in_row(target, y, first, last) == 0) continue;
            ASSERT_GE(y, top);
            ASSERT_LT(y, bottom);
            ASSERT_GE(first, left - 1);
            ASSERT_LE(last, right + 1);
        }
        ASSERT_TRUE(guard_intact(target));
    }
}

TEST(ScaleFace, HalvesAboutTheCentroid)
{
    Vertex a{}, b{}, c{};
    a.sx = 0, a.sy = 0, b.sx = 90, b.sy = 0, c.sx = 0, c.sy = 90;
    a.vz = 3.0f, a.u = 0.25f;
    Image texture{};
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    f.normal = &c, f.texture = &texture, f.depth = 7.0f, f.visible = 1;
    scale_face(&f, 0.5f);
    EXPECT_DOUBLE_EQ(FaceCentroidX, 30.0);
    EXPECT_DOUBLE_EQ(FaceCentroidY, 30.0);
    EXPECT_EQ(ScaledFace.v[0]->sx, 15);
    EXPECT_EQ(ScaledFace.v[0]->sy, 15);
    EXPECT_EQ(ScaledFace.v[1]->sx, 60);
    EXPECT_EQ(ScaledFace.v[1]->sy, 15);
    EXPECT_EQ(ScaledFace.v[2]->sx, 15);
    EXPECT_EQ(ScaledFace.v[2]->sy, 60);
    // Copies, not the source records; everything but the position carried over.
    EXPECT_NE(ScaledFace.v[0], &a);
    EXPECT_EQ(a.sx, 0);
    EXPECT_EQ(b.sx, 90);
    EXPECT_FLOAT_EQ(ScaledFace.v[0]->vz, 3.0f);
    EXPECT_FLOAT_EQ(ScaledFace.v[0]->u, 0.25f);
    EXPECT_EQ(ScaledFace.texture, &texture);
    EXPECT_EQ(ScaledFace.normal, &c);
    EXPECT_EQ(ScaledFace.visible, 1);
}

TEST(ScaleFace, LaterCallReplacesEarlierAndCentroidAloneTouchesNothingElse)
{
    Vertex a{}, b{}, c{};
    a.sx = 10, a.sy = 10, b.sx = 40, b.sy = 10, c.sx = 10, c.sy = 40;
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    scale_face(&f, 2.0f);
    const int grown = ScaledFace.v[1]->sx;
    scale_face(&f, 0.0f);
    EXPECT_EQ(ScaledFace.v[1]->sx, 20);  // collapsed onto the centroid (20, 20)
    EXPECT_EQ(ScaledFace.v[0]->sy, 20);
    EXPECT_EQ(grown, 60);

    Vertex d{}, e{}, g{};
    d.sx = 300, e.sx = 303, g.sx = 306;
    Face other{};
    other.v[0] = &d, other.v[1] = &e, other.v[2] = &g;
    face_centroid(&other);
    EXPECT_NEAR(FaceCentroidX, 303.0, 1e-4);
    EXPECT_EQ(ScaledFace.v[1]->sx, 20);
}

TEST(ScaleFace, AbsurdFactorsSaturateInsteadOfOverflowing)
{
    Vertex a{}, b{}, c{};
    a.sx = 0, b.sx = 100, c.sx = 50, c.sy = 100;
    Face f{};
    f.v[0] = &a, f.v[1] = &b, f.v[2] = &c;
    scale_face(&f, 1e30f);
    EXPECT_EQ(ScaledFace.v[0]->sx, INT_MIN);
    EXPECT_EQ(ScaledFace.v[1]->sx, INT_MAX);
    scale_face(&f, INFINITY);
    EXPECT_EQ(ScaledFace.v[1]->sx, INT_MAX);
    scale_face(&f, std::nanf(""));
    EXPECT_EQ(ScaledFace.v[1]->sx, 0);
}
