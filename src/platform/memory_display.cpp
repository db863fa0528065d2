// The memory-only display: a flip chain, a queue of events and counters,
// all in one record.
#include "platform/memory_display.h"

#include <cstdio>
#include <deque>

#include "platform/flip_chain.h"

struct MemoryDisplayState {
    MemoryDisplaySettings settings;
    FlipChain chain;
    bool open;        // the tick runs
    int lost_flips;
    MemoryDisplayCounts counts;
    std::deque<PlatformEvent> queue;
};

static MemoryDisplayState Memory = {};

static unsigned depth_bit(int bits_per_pixel)
{
    return bits_per_pixel == 32 ? MemoryAccepts32 : bits_per_pixel == 24 ? MemoryAccepts24
         : bits_per_pixel == 16 ? MemoryAccepts16 : 0;
}

static int memory_open(int bits_per_pixel, int *pitch_bytes, int *failed_step)
{
    const MemoryDisplaySettings &settings = Memory.settings;
    for (int step = StepWindow; step < DisplayStepCount; step++) {
        bool failed = step == settings.failing_step;
        if (step == StepMode)
            failed = failed || (settings.depths & depth_bit(bits_per_pixel)) == 0;
        if (step == StepSurfaces && !failed) {
            int pitch = settings.pitch > 0 ? settings.pitch : ScreenWidth * (bits_per_pixel / 8);
            failed = create_flip_chain(&Memory.chain, bits_per_pixel, pitch) != 0;
            *pitch_bytes = Memory.chain.pitch;
        }
        if (failed) {
            *failed_step = step;
            return 1;
        }
    }
    Memory.open = true;
    return 0;
}

static void memory_close()
{
    release_flip_chain(&Memory.chain);
    Memory.chain.bits_per_pixel = 0;
    Memory.open = false;
}

static int memory_lock(uint8_t **pixels)
{
    *pixels = Memory.chain.surfaces[0] ? back_surface(&Memory.chain) : nullptr;
    return *pixels ? 0 : 1;
}

static void memory_unlock() {}

static int memory_flip()
{
    if (!Memory.chain.surfaces[0])
        return FlipSurfaceLost;
    if (Memory.lost_flips > 0) {
        Memory.lost_flips--;
        return FlipSurfaceLost;
    }
    swap_flip_chain(&Memory.chain);
    Memory.counts.flips++;
    return FlipDone;
}

static int memory_restore()
{
    Memory.counts.restores++;
    return 0;
}

static int memory_next_event(PlatformEvent *event)
{
    if (!Memory.queue.empty()) {
        *event = Memory.queue.front();
        Memory.queue.pop_front();
    } else if (Memory.open) {
        *event = {EventTick, FrameTimerId};
        Memory.counts.ticks++;
    } else {
        // Nothing could ever arrive: end rather than wait forever.
        *event = {EventQuit, 0};
    }
    return event->kind != EventQuit;
}

static void memory_post_event(EventKind kind, int param)
{
    Memory.queue.push_back({kind, param});
}

static void memory_message_box(const char *caption, const char *text)
{
    fprintf(stderr, "%s: %s\n", caption, text);
}

const PlatformDisplay MemoryDisplay = {
    memory_open,     memory_close,      memory_lock,       memory_unlock,      memory_flip,
    memory_restore,  memory_next_event, memory_post_event, memory_message_box,
};

void reset_memory_display(const MemoryDisplaySettings &settings)
{
    memory_close();
    Memory.settings = settings;
    Memory.lost_flips = 0;
    Memory.counts = {};
    Memory.queue.clear();
}

void lose_memory_display_flips(int count)
{
    Memory.lost_flips = count;
}

void push_memory_display_event(EventKind kind, int param)
{
    memory_post_event(kind, param);
}

MemoryDisplayCounts memory_display_counts()
{
    return Memory.counts;
}

const uint8_t *memory_display_front()
{
    return Memory.chain.surfaces[0] ? front_surface(&Memory.chain) : nullptr;
}

int memory_display_bits_per_pixel()
{
    return Memory.chain.bits_per_pixel;
}

int memory_display_pitch()
{
    return Memory.chain.pitch;
}
