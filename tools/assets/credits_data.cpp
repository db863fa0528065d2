// The credits scene's data: the background with its text panel and the gem's
// halo, the credits page and its mask, the gem and its texture, and the
// order in which the closing dissolve blacks out the pixels.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "assets.h"
#include "glyphs.h"
#include "mesh_writer.h"
#include "paint.h"
#include "picture_entry.h"
#include "raster/render_target.h"

namespace {

const char *const BodyFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";  // fonts-dejavu-core too

constexpr int PageWidth = 256, PageRows = 320;  // the credits page, band columns 64 to 319
constexpr int PageLeft = 64;
constexpr int GemX = 470, GemY = 160;  // where the gem shows: the camera stands 300 to its left

const Colour Panel = {12, 16, 38};  // the page's ground, also the panel's in the background

// ---- the credits page ---------------------------------------------------------

enum class Style { Title, Heading, Body, Pair, Gap };

struct PageLine {
    Style style;
    const char *text;
    const char *second;  // Pair: the licence after the name
};

const PageLine Page[] = {
    {Style::Title, "ORVANTI", nullptr},
    {Style::Body, "a real-time demo: one tracker tune", nullptr},
    {Style::Body, "and nine scenes, every pixel drawn", nullptr},
    {Style::Body, "by its own software renderer", nullptr},
    {Style::Gap, nullptr, nullptr},
    {Style::Heading, "BUILT WITH OPEN SOURCE", nullptr},
    {Style::Pair, "SDL2", "zlib licence"},
    {Style::Pair, "libopenmpt", "BSD-3-Clause"},
    {Style::Pair, "libjpeg-turbo", "IJG, BSD-style"},
    {Style::Pair, "libpng", "libpng licence"},
    {Style::Pair, "FreeType", "FreeType Licence (FTL)"},
    {Style::Pair, "GLU", "SGI Free Software License B"},
    {Style::Pair, "DejaVu fonts", "free licence derived"},
    {Style::Body, "from the Bitstream Vera fonts", nullptr},
    {Style::Gap, nullptr, nullptr},
    {Style::Heading, "TESTED WITH", nullptr},
    {Style::Pair, "GoogleTest", "BSD-3-Clause"},
    {Style::Pair, "Google Benchmark", "Apache-2.0"},
    {Style::Gap, nullptr, nullptr},
    {Style::Body, "every picture, mesh and note", nullptr},
    {Style::Body, "made by its own generator", nullptr},
    {Style::Gap, nullptr, nullptr},
    {Style::Heading, "THANK YOU FOR WATCHING", nullptr},
};

constexpr int TitleSize = 22, HeadingSize = 12, BodySize = 11;
constexpr int TitlePitch = 27, HeadingPitch = 17, BodyPitch = 13, GapPitch = 9;
constexpr int PageMargin = 8;       // columns kept clear on each side
constexpr int DotsGap = 4, DotsEvery = 3, DotsAboveBottom = 4;  // the leader between name and licence
constexpr uint8_t Ink = 255;

const Colour TitleInk = {255, 190, 60};
const Colour HeadingInk = {110, 230, 255};
const Colour BodyInk = {235, 235, 245};
const Colour LicenceInk = {160, 175, 230};
const Colour DotsInk = {80, 90, 140};

// Coverage of one line with a baseline common to every line of its size: a
// bar, which reaches from above the capitals to below the descenders, is
// set after the text and cut off again.
Coverage line_coverage(const char *font, const char *text, int size)
{
    Coverage bar = text_coverage(font, "|", size);
    std::string with_bar = std::string(text) + "|";
    Coverage line = text_coverage(font, with_bar.c_str(), size);
    Coverage out;
    out.width = std::max(0, line.width - bar.width);
    out.height = line.height;
    out.alpha.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++)
            out.alpha[static_cast<size_t>(y) * out.width + x] = line.alpha[static_cast<size_t>(y) * line.width + x];
    return out;
}

void stamp(std::vector<uint32_t> &page, const Coverage &text, int left, int top, Colour ink)
{
    if (left + text.width > PageWidth - PageMargin + 2) {
        fprintf(stderr, "orvanti-assets: a credits line is %d pixels too wide\n", left + text.width - PageWidth + PageMargin - 2);
        exit(1);
    }
    for (int y = 0; y < text.height; y++) {
        int row = top + y;
        if (row < 0 || row >= PageRows)
            continue;
        for (int x = 0; x < text.width; x++) {
            double a = text.alpha[static_cast<size_t>(y) * text.width + x] / double(Ink);
            if (a <= 0)
                continue;
            uint32_t &p = page[static_cast<size_t>(row) * PageWidth + left + x];
            Colour under = {double((p >> 16) & 255), double((p >> 8) & 255), double(p & 255)};
            p = pack_colour(mix_colour(under, ink, a));
        }
    }
}

int pitch_of(Style style)
{
    switch (style) {
    case Style::Title: return TitlePitch;
    case Style::Heading: return HeadingPitch;
    case Style::Gap: return GapPitch;
    default: return BodyPitch;
    }
}

// The page repeats every 320 rows: the lines sit in the middle, so the
// blank rows above and below meet as one gap between two passes.
std::vector<uint32_t> paint_page()
{
    std::vector<uint32_t> page(static_cast<size_t>(PageWidth) * PageRows, pack_colour(Panel));
    int total = 0;
    for (const PageLine &line : Page)
        total += pitch_of(line.style);
    if (total > PageRows) {
        fprintf(stderr, "orvanti-assets: the credits need %d rows, the page has %d\n", total, PageRows);
        exit(1);
    }
    int top = (PageRows - total) / 2;
    auto centred = [&](const PageLine &line, const char *font, int size, Colour ink) {
        Coverage c = line_coverage(font, line.text, size);
        stamp(page, c, (PageWidth - c.width) / 2, top, ink);
    };
    for (const PageLine &line : Page) {
        switch (line.style) {
        case Style::Title:
            centred(line, BoldFont, TitleSize, TitleInk);
            break;
        case Style::Heading:
            centred(line, BoldFont, HeadingSize, HeadingInk);
            break;
        case Style::Body:
            centred(line, BodyFont, BodySize, BodyInk);
            break;
        case Style::Pair: {
            // The name on the left, the licence flush right, dots between.
            Coverage name = line_coverage(BoldFont, line.text, BodySize);
            Coverage licence = line_coverage(BodyFont, line.second, BodySize);
            int licence_left = PageWidth - PageMargin - licence.width;
            stamp(page, name, PageMargin, top, BodyInk);
            stamp(page, licence, licence_left, top + name.height - licence.height, LicenceInk);
            int dots_row = top + name.height - DotsAboveBottom;
            for (int x = PageMargin + name.width + DotsGap; x < licence_left - DotsGap; x += DotsEvery)
                page[static_cast<size_t>(dots_row) * PageWidth + x] = pack_colour(DotsInk);
            break;
        }
        case Style::Gap:
            break;
        }
        top += pitch_of(line.style);
    }
    return page;
}

// Where the page shows: everything inside the panel, thinned by an ordered
// dither in bands at the top and bottom so lines dissolve in from below and
// out at the top.
std::vector<uint8_t> paint_mask()
{
    constexpr int Fade = 44;
    static const int Bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<uint8_t> mask(static_cast<size_t>(PageWidth) * BandHeight, 0);
    for (int y = 0; y < BandHeight; y++) {
        int edge = std::min(y, BandHeight - 1 - y);
        double open = std::clamp((edge - 4) / double(Fade), 0.0, 1.0);
        for (int x = 0; x < PageWidth; x++) {
            double threshold = (Bayer[y & 3][x & 3] + 0.5) / 16.0;
            if (open > threshold)
                mask[static_cast<size_t>(y) * PageWidth + x] = 255;
        }
    }
    return mask;
}

// ---- the background -----------------------------------------------------------

std::vector<uint32_t> paint_background()
{
    constexpr int PanelLeft = PageLeft - 6, PanelRight = PageLeft + PageWidth + 5;
    constexpr int PanelTop = 4, PanelBottom = BandHeight - 5;
    const Colour Top = {20, 10, 48}, Bottom = {52, 14, 58};
    const Colour Rim = {90, 200, 255};
    const Colour Halo = {120, 80, 255}, Glow = {255, 170, 90};

    std::vector<uint32_t> pixels(static_cast<size_t>(BandWidth) * BandHeight);
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++) {
            Colour c = mix_colour(Top, Bottom, y / double(BandHeight - 1));
            double haze = tile_fbm(x / 64.0, y / 64.0, 10, 5, 4, 0xC4ED175);
            c = mix_colour(c, {70, 30, 110}, 0.35 * haze);

            // The gem's halo: a soft glow, three thin rings and ticks round the middle one.
            double dx = x - GemX, dy = y - GemY;
            double r = std::sqrt(dx * dx + dy * dy);
            c = mix_colour(c, Halo, 0.55 * std::exp(-r * r / (2 * 55.0 * 55.0)));
            c = mix_colour(c, Glow, 0.5 * std::exp(-r * r / (2 * 22.0 * 22.0)));
            for (double ring : {44.0, 70.0, 104.0})
                c = mix_colour(c, Rim, 0.7 * std::max(0.0, 1.0 - std::fabs(r - ring)));
            double angle = std::atan2(dy, dx);
            double tick = std::fabs(std::remainder(angle * 36 / TwoPi, 1.0));
            if (r > 72 && r < 80 && tick < 0.06)
                c = mix_colour(c, Rim, 0.8);
            // Light rays from the gem, fading outward.
            double rays = std::pow(std::fabs(std::cos(angle * 6)), 24) * std::exp(-r / 120.0);
            c = mix_colour(c, Glow, 0.35 * rays);

            bool in_panel = x >= PanelLeft && x <= PanelRight && y >= PanelTop && y <= PanelBottom;
            bool on_rim = in_panel && (x - PanelLeft < 2 || PanelRight - x < 2 || y - PanelTop < 2 || PanelBottom - y < 2);
            if (on_rim)
                c = Rim;
            else if (in_panel)
                c = Panel;
            pixels[static_cast<size_t>(y) * BandWidth + x] = pack_colour(c);
        }

    // The show's name under the gem.
    Coverage word = line_coverage(BoldFont, "ORVANTI", 30);
    int left = GemX - word.width / 2, top = 262;
    for (int y = 0; y < word.height; y++)
        for (int x = 0; x < word.width; x++) {
            double a = word.alpha[static_cast<size_t>(y) * word.width + x] / 255.0;
            if (a <= 0)
                continue;
            uint32_t &p = pixels[static_cast<size_t>(top + y) * BandWidth + left + x];
            Colour under = {double((p >> 16) & 255), double((p >> 8) & 255), double(p & 255)};
            Colour ink = mix_colour({255, 220, 120}, {255, 120, 60}, y / double(word.height));
            p = pack_colour(mix_colour(under, ink, a));
        }
    return pixels;
}

// ---- the gem ------------------------------------------------------------------

// A cut stone: a flat table, a crown sloping to the girdle and a pavilion
// to a point. The scene culls it as if 512 in front of a near distance of
// 500, so no corner may lie 12 or more from its middle at any turn.
constexpr int GemFacets = 10;
constexpr double TableRadius = 5.0, TableHeight = 6.5;
constexpr double GirdleRadius = 11.2, GirdleHeight = 1.5;
constexpr double PointHeight = -11.0;
constexpr double GemLaps = 2.0;  // the texture runs twice round the stone

MeshObjectSource make_gem()
{
    MeshObjectSource object;
    auto push = [&](double x, double y, double z, double u, double v) {
        object.vertices.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                                   static_cast<float>(u), static_cast<float>(v)});
        return static_cast<uint16_t>(object.vertices.size() - 1);
    };
    uint16_t table_middle = push(0, TableHeight, 0, 0.5, 0.0);
    uint16_t point = push(0, PointHeight, 0, 0.5, 0.95);
    std::vector<uint16_t> table, girdle;
    for (int s = 0; s <= GemFacets; s++) {
        // The girdle is turned half a facet against the table, as on a cut stone.
        double a = TwoPi * s / GemFacets, b = TwoPi * (s + 0.5) / GemFacets;
        double u = GemLaps * s / GemFacets;
        table.push_back(push(TableRadius * std::cos(a), TableHeight, TableRadius * std::sin(a), u, 0.15));
        girdle.push_back(push(GirdleRadius * std::cos(b), GirdleHeight, GirdleRadius * std::sin(b), u, 0.45));
    }
    for (int s = 0; s < GemFacets; s++) {
        object.faces.push_back({table_middle, table[s + 1], table[s]});
        object.faces.push_back({table[s], table[s + 1], girdle[s]});
        object.faces.push_back({table[s + 1], girdle[s + 1], girdle[s]});
        object.faces.push_back({girdle[s], girdle[s + 1], point});
    }
    return object;
}

// The window onto this picture swings between rows 0 and 512, so the colours
// change slowly down its 768 rows: a full turn of hue, crossed by facet
// stripes and sparkles.
constexpr int GemTextureRows = 768;

std::vector<uint32_t> paint_gem_texture()
{
    constexpr int Side = 256;
    std::vector<uint32_t> pixels(static_cast<size_t>(Side) * GemTextureRows);
    for (int y = 0; y < GemTextureRows; y++)
        for (int x = 0; x < Side; x++) {
            double hue = 0.1 + y / double(GemTextureRows);
            double stripe = 0.5 + 0.5 * std::sin(TwoPi * (x + y) / 32.0);
            double shade = 0.55 + 0.45 * stripe;
            double grain = tile_noise(x / 8.0, y / 8.0, 32, 96, 0x6E3);
            Colour c = hsv_colour(hue + 0.05 * grain, 0.65, shade);
            if (hash_unit(0x5BA4C, x, y) > 0.996)
                c = {255, 255, 255};
            pixels[static_cast<size_t>(y) * Side + x] = pack_colour(c);
        }
    return pixels;
}

// ---- the dissolve -------------------------------------------------------------

// Levels from 255 down to 0 in the order the pixels go black while the fade
// falls: the edges first, closing in on the gem through grainy noise. The
// levels are ranks, so every level holds about the same number of pixels and
// the picture darkens evenly over the whole fade.
std::vector<uint8_t> paint_dissolve()
{
    const size_t count = static_cast<size_t>(BandWidth) * BandHeight;
    std::vector<double> order(count);
    for (int y = 0; y < BandHeight; y++)
        for (int x = 0; x < BandWidth; x++) {
            double dx = (x - GemX) / double(BandWidth), dy = (y - GemY) / double(BandWidth);
            double distance = std::sqrt(dx * dx + dy * dy) / 0.75;
            double cloud = tile_fbm(x / 40.0, y / 40.0, 16, 8, 4, 0xD155);
            double grain = hash_unit(0xF00D, x, y);
            order[static_cast<size_t>(y) * BandWidth + x] = 0.55 * distance + 0.3 * cloud + 0.15 * grain;
        }
    std::vector<size_t> ranked(count);
    std::iota(ranked.begin(), ranked.end(), size_t{0});
    std::stable_sort(ranked.begin(), ranked.end(), [&](size_t a, size_t b) { return order[a] < order[b]; });
    std::vector<uint8_t> levels(count);
    for (size_t rank = 0; rank < count; rank++)
        levels[ranked[rank]] = static_cast<uint8_t>(rank * 256 / count);
    return levels;
}

}  // namespace

void make_credits_data(AssetList &entries)
{
    std::vector<uint32_t> background = paint_background();
    add_true_colour(entries, "credits\\credits_back.tga", BandWidth, BandHeight, background);
    std::vector<uint32_t> page = paint_page();
    add_true_colour(entries, "credits\\credits_text.tga", PageWidth, PageRows, page);
    std::vector<uint8_t> mask = paint_mask();
    add_grey(entries, "credits\\credits_mask.tga", PageWidth, BandHeight, mask);
    std::vector<uint32_t> texture = paint_gem_texture();
    add_true_colour(entries, "credits\\credits_txt.tga", 256, GemTextureRows, texture);
    entries.push_back({"credits\\credits.3d", encode_mesh({make_gem()})});
    std::vector<uint8_t> dissolve = paint_dissolve();
    add_grey(entries, "credits\\credits_fade.tga", BandWidth, BandHeight, dissolve);
}
