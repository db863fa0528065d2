// The desktop platform: the SDL2 display, SDL audio and SDL's tick counter.
#include <SDL.h>

#include "platform/platform.h"

static uint32_t sdl_now_ms(void *)
{
    return SDL_GetTicks();
}

const Platform SdlPlatform = {"orvanti", &SdlDisplay, &SdlMusic, sdl_now_ms, &SdlDisplayDevice, &SdlMusicDevice,
                              nullptr};
