// The browser display driver: a memory flip chain whose front surface the
// page's canvas shows after every flip, and the page's clock.
#pragma once
#include <cstdint>

#include "platform/platform.h"

extern const PlatformDisplay WebDisplay;

// Converts the front surface for the canvas and shows it; every flip does
// so unless WebPresentEachFlip is false (the fixed-clock mode shows only
// the frames it is asked for).
extern bool WebPresentEachFlip;
void web_present_front();

// The last presented screen as canvas pixels: 640 by 480, bytes red, green,
// blue, alpha, rows top to bottom.
const uint8_t *web_screen_rgba();

// The clock the page reads in its fixed-clock mode, set frame by frame.
extern uint32_t WebFixedNow;
uint32_t web_fixed_clock();
