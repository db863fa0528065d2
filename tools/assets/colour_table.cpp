// "coltab.dat": byte [level * 256 + value] is a colour component lit at that level.
#include "assets.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int NeutralLevel = 128;  // keeps a component as it is
// Below the neutral level light falls off a little faster than linearly, so
// dim parts of a glow read as shade rather than as a flat grey-down.
constexpr double ShadeCurve = 1.3;
// Above it light multiplies each component by up to this gain and adds
// white: bright components clip first, then the others follow them to white,
// as an over-exposed light does.
constexpr double MaxGain = 3.5;

double lit_component(int level, int value)
{
    if (level <= NeutralLevel)
        return value * std::pow(level / double(NeutralLevel), ShadeCurve);
    double k = (level - NeutralLevel) / double(255 - NeutralLevel);
    return value * (1.0 + (MaxGain - 1.0) * k) + 255.0 * k * k;
}

} // namespace

void make_colour_table(AssetList &entries)
{
    std::vector<uint8_t> table(256 * 256);
    for (int level = 0; level < 256; level++)
        for (int value = 0; value < 256; value++)
            table[level * 256 + value] =
                static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(lit_component(level, value))), 0, 255));
    entries.push_back({"coltab.dat", std::move(table)});
}
