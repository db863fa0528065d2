// Linear congruential generator shared by loaders and handlers.
#include "engine/random.h"

uint32_t RandomState = RandomStart;

int random_next()
{
    return step_random(RandomState);
}
