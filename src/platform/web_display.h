// The browser platform: a memory flip chain whose front surface the page's
// canvas shows, the page's AudioWorklet music and clock; and the fixed-clock
// platform of the page's tests, whose clock and music position are set frame
// by frame.
#pragma once
#include <cstdint>
#include <deque>

#include "platform/flip_chain.h"
#include "platform/platform.h"

// The page's display: its flip chain, whether the tick runs, the events the
// page handed over, and the canvas's RGBA copy of the front surface.
struct WebScreen {
    FlipChain chain;
    bool open;
    std::deque<PlatformEvent> queue;
    // Every flip shows the new front surface, unless false (the fixed-clock
    // mode shows only the frames it is asked for).
    bool present_each_flip;
    uint8_t rgba[ScreenWidth * ScreenHeight * 4];
};

// What the fixed-clock platform reads during the next frame: its clock and
// music position, set by the page frame by frame.
struct WebFixedClock {
    uint32_t now;
    uint32_t position;
};

extern const PlatformDisplay WebDisplay;
extern const PlatformMusic WebMusic;
extern const Platform WebPlatform;
extern const Platform WebFixedPlatform;

// The page holds one of each: both platforms show on the same canvas.
extern WebScreen WebDisplayDevice;
extern WebFixedClock WebFixedState;

// Converts the front surface for the canvas and shows it.
void web_present_front(WebScreen *screen);
