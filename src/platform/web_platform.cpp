// The browser's platforms: the page's display, music and clock, and the
// fixed-clock one whose clock and music position the page sets per frame.
#include <emscripten.h>

#include "platform/web_display.h"

WebFixedClock WebFixedState = {0, 0};

// The page's show clock, which stands still while the music cannot play.
EM_JS(uint32_t, page_clock_ms, (), { return OrvantiPage.now_ms() >>> 0; });

static uint32_t page_now_ms(void *)
{
    return page_clock_ms();
}

static uint32_t fixed_now_ms(void *context)
{
    return static_cast<WebFixedClock *>(context)->now;
}

static int fixed_music_start(void *, const char *, char *, size_t)
{
    return MusicStarted;
}

static uint32_t fixed_music_position(void *context)
{
    return static_cast<WebFixedClock *>(context)->position;
}

static bool fixed_music_finished(void *)
{
    return false;
}

static void fixed_music_stop(void *) {}

static const PlatformMusic FixedMusic = {fixed_music_start, fixed_music_position, fixed_music_finished,
                                         fixed_music_stop};

// The page's music and clock live in the page (web_driver.js): no context.
const Platform WebPlatform = {"orvanti", &WebDisplay, &WebMusic, page_now_ms, &WebDisplayDevice, nullptr, nullptr};
const Platform WebFixedPlatform = {"orvanti",      &WebDisplay,    &FixedMusic,   fixed_now_ms,
                                   &WebDisplayDevice, &WebFixedState, &WebFixedState};
