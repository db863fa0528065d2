// The two-surface memory flip chain shared by the display drivers.
#include "platform/flip_chain.h"

#include <cstdlib>

#include "platform/platform.h"

int create_flip_chain(FlipChain *chain, int bits_per_pixel, int pitch_bytes)
{
    release_flip_chain(chain);
    int row_bytes = ScreenWidth * (bits_per_pixel / 8);
    if (pitch_bytes < row_bytes)
        return 1;
    for (int i = 0; i < 2; i++) {
        chain->surfaces[i] = static_cast<uint8_t *>(calloc(static_cast<size_t>(pitch_bytes) * ScreenHeight, 1));
        if (!chain->surfaces[i]) {
            release_flip_chain(chain);
            return 1;
        }
    }
    chain->back = 1;
    chain->pitch = pitch_bytes;
    chain->bits_per_pixel = bits_per_pixel;
    return 0;
}

void release_flip_chain(FlipChain *chain)
{
    for (uint8_t *&surface : chain->surfaces) {
        free(surface);
        surface = nullptr;
    }
}

uint8_t *back_surface(const FlipChain *chain)
{
    return chain->surfaces[chain->back];
}

const uint8_t *front_surface(const FlipChain *chain)
{
    return chain->surfaces[chain->back ^ 1];
}

void swap_flip_chain(FlipChain *chain)
{
    chain->back ^= 1;
}
