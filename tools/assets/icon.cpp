// The desktop icon: the show's initial in gold over a violet nebula and a
// glowing ring, painted like the scene pictures from noise and the font.
#include <algorithm>
#include <cmath>

#include "assets.h"
#include "glyphs.h"
#include "paint.h"

namespace {

constexpr uint32_t IconSeed = 0x1C0Eu;
constexpr double RingRadius = 0.86;  // of the half size
constexpr double RingWidth = 0.05;
constexpr double LetterHeight = 0.80;  // pixels per em, as a fraction of the size

}  // namespace

std::vector<uint32_t> paint_icon(int size)
{
    Coverage letter = text_coverage(BoldFont, "O", static_cast<int>(size * LetterHeight));
    int left = (size - letter.width) / 2;
    int top = (size - letter.height) / 2;
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
    double half = size / 2.0;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            double dx = (x + 0.5 - half) / half, dy = (y + 0.5 - half) / half;
            double radius = std::sqrt(dx * dx + dy * dy);
            double cloud = tile_fbm(x * 6.0 / size, y * 6.0 / size, 6, 6, 5, IconSeed);
            Colour sky = mix_colour({8, 4, 28}, {96, 40, 150}, cloud * cloud * (1.0 - 0.6 * radius));
            double ring = std::exp(-std::pow((radius - RingRadius) / RingWidth, 2.0));
            Colour colour = mix_colour(sky, {120, 200, 255}, std::min(1.0, ring));
            int lx = x - left, ly = y - top;
            if (lx >= 0 && ly >= 0 && lx < letter.width && ly < letter.height) {
                double cover = letter.alpha[static_cast<size_t>(ly) * letter.width + lx] / 255.0;
                Colour gold = mix_colour({255, 236, 150}, {200, 90, 20}, static_cast<double>(ly) / letter.height);
                colour = mix_colour(colour, gold, cover);
            }
            pixels[static_cast<size_t>(y) * size + x] = pack_colour(colour);
        }
    }
    return pixels;
}
