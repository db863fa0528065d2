// The memory-only display, for tests and the capture: the same flip chain as
// on screen, no window, and an event queue that yields a tick whenever it is
// empty and the display is open. Its behaviour is set by a settings record
// given when it is reset; what it did is read back through the accessors.
// Each display is one MemoryDisplayState, the context of its entries.
#pragma once
#include <cstdint>
#include <deque>

#include "platform/flip_chain.h"
#include "platform/platform.h"

// Bit per accepted depth.
constexpr unsigned MemoryAccepts32 = 1, MemoryAccepts24 = 2, MemoryAccepts16 = 4;

struct MemoryDisplaySettings {
    unsigned depths = MemoryAccepts32 | MemoryAccepts24 | MemoryAccepts16;
    int pitch = 0;              // bytes per surface row; 0 gives rows with no padding
    int failing_step = -1;      // this DisplayStep fails when reached; -1 for none
};

struct MemoryDisplayCounts {
    int flips;     // successful flips
    int restores;
    int ticks;     // tick events handed out
};

struct MemoryDisplayState {
    MemoryDisplaySettings settings;
    FlipChain chain;
    bool open;        // the tick runs
    int lost_flips;
    MemoryDisplayCounts counts;
    std::deque<PlatformEvent> queue;
};

extern const PlatformDisplay MemoryDisplay;

// Closes the display, empties the queue and takes the settings.
void reset_memory_display(MemoryDisplayState *memory, const MemoryDisplaySettings &settings = {});
// Fails the next `count` flips with FlipSurfaceLost.
void lose_memory_display_flips(MemoryDisplayState *memory, int count);
void push_memory_display_event(MemoryDisplayState *memory, EventKind kind, int param);
MemoryDisplayCounts memory_display_counts(const MemoryDisplayState *memory);
// The picture last flipped to the front; null while the display is closed.
const uint8_t *memory_display_front(const MemoryDisplayState *memory);
int memory_display_bits_per_pixel(const MemoryDisplayState *memory);
int memory_display_pitch(const MemoryDisplayState *memory);
