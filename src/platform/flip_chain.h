// Two 640 by 480 memory surfaces of one depth: lock gives the back one, flip
// swaps them. The back surface keeps what was drawn into it two flips ago.
#pragma once
#include <cstdint>

struct FlipChain {
    uint8_t *surfaces[2];  // null while the chain does not exist
    int back;              // index of the back surface
    int pitch;             // bytes per row
    int bits_per_pixel;
};

// Allocates both surfaces zero-filled with rows of pitch_bytes (at least one
// row's pixels); 0 on success.
int create_flip_chain(FlipChain *chain, int bits_per_pixel, int pitch_bytes);
void release_flip_chain(FlipChain *chain);
uint8_t *back_surface(const FlipChain *chain);
const uint8_t *front_surface(const FlipChain *chain);
void swap_flip_chain(FlipChain *chain);
