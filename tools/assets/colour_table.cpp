// "coltab.dat": byte [level * 256 + value] is a colour component lit at that level.
#include "assets.h"

#include <algorithm>

void make_colour_table(AssetList &entries)
{
    std::vector<uint8_t> table(256 * 256);
    for (int level = 0; level < 256; level++) {
        for (int value = 0; value < 256; value++) {
            int lit;
            if (level <= 128)
                lit = value * level / 128;  // darken toward black; 128 keeps the value
            else
                lit = value + (255 - value) * (level - 128) / 127;  // brighten toward white
            table[level * 256 + value] = static_cast<uint8_t>(std::clamp(lit, 0, 255));
        }
    }
    entries.push_back({"coltab.dat", std::move(table)});
}
