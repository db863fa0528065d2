// The millisecond clock behind FrameClock: SDL's tick counter unless replaced.
#include "platform/platform.h"

#include <SDL.h>

static uint32_t sdl_clock()
{
    return SDL_GetTicks();
}

MillisecondClock ClockRoutine = sdl_clock;

uint32_t read_clock()
{
    return ClockRoutine();
}
