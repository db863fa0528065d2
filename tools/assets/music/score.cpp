// Placeholder until the composition lands: no module is written.
#include "assets.h"

std::vector<uint8_t> compose_music()
{
    return {};
}
