// Linear congruential generator shared by loaders and handlers.
#include "engine/random.h"

uint32_t RandomState = 1;

int random_next()
{
    RandomState = RandomState * 214013u + 2531011u;
    return static_cast<int>((RandomState >> 16) & 0x7FFF);
}
