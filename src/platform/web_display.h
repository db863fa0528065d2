// The browser platform: a memory flip chain whose front surface the page's
// canvas shows, the page's AudioWorklet music and clock; and the fixed-clock
// platform of the page's tests, whose clock and music position are set frame
// by frame.
#pragma once
#include <cstdint>

#include "platform/platform.h"

extern const PlatformDisplay WebDisplay;
extern const PlatformMusic WebMusic;
extern const Platform WebPlatform;
extern const Platform WebFixedPlatform;

// What the fixed-clock platform reads during the next frame.
extern uint32_t WebFixedNow;
extern uint32_t WebFixedPosition;

// Converts the front surface for the canvas and shows it; every flip does so
// unless WebPresentEachFlip is false (the fixed-clock mode shows only the
// frames it is asked for).
extern bool WebPresentEachFlip;
void web_present_front();
