// Controls of the memory-only display, for tests and the capture: which
// depths it accepts, the surface pitch, an injected lost surface, its event
// queue and the picture last flipped to the front.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// Bit per accepted depth; all three by default.
constexpr unsigned MemoryAccepts32 = 1, MemoryAccepts24 = 2, MemoryAccepts16 = 4;
extern unsigned MemoryDisplayDepths;
// Bytes per surface row; 0 gives rows with no padding.
extern int MemoryDisplayPitch;
// Fail this many of the following flips with FlipSurfaceLost.
extern int MemoryDisplayLostFlips;

struct MemoryDisplayCounts {
    int flips;      // successful flips
    int restores;
    int ticks;      // tick events handed out
};
extern MemoryDisplayCounts MemoryDisplayCount;

// Once the timer runs and the queue is empty, next_event hands out a tick.
void memory_display_push_event(EventKind kind, int param);
const uint8_t *memory_display_front();
int memory_display_bits_per_pixel();
int memory_display_pitch();
// Puts every control back to its default and releases the surfaces.
void reset_memory_display();
