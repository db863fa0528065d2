// The memory-only display: a flip chain, a queue of events and counters,
// all in one record, the context of every entry.
#include "platform/memory_display.h"

#include <cstdio>

static MemoryDisplayState *memory_of(void *context)
{
    return static_cast<MemoryDisplayState *>(context);
}

static unsigned depth_bit(int bits_per_pixel)
{
    return bits_per_pixel == 32 ? MemoryAccepts32 : bits_per_pixel == 24 ? MemoryAccepts24
         : bits_per_pixel == 16 ? MemoryAccepts16 : 0;
}

static int memory_open(void *context, int bits_per_pixel, int *pitch_bytes, int *failed_step)
{
    MemoryDisplayState *memory = memory_of(context);
    const MemoryDisplaySettings &settings = memory->settings;
    for (int step = StepWindow; step < DisplayStepCount; step++) {
        bool failed = step == settings.failing_step;
        if (step == StepMode)
            failed = failed || (settings.depths & depth_bit(bits_per_pixel)) == 0;
        if (step == StepSurfaces && !failed) {
            int pitch = settings.pitch > 0 ? settings.pitch : ScreenWidth * (bits_per_pixel / 8);
            failed = create_flip_chain(&memory->chain, bits_per_pixel, pitch) != 0;
            *pitch_bytes = memory->chain.pitch;
        }
        if (failed) {
            *failed_step = step;
            return 1;
        }
    }
    memory->open = true;
    return 0;
}

static void memory_close(void *context)
{
    MemoryDisplayState *memory = memory_of(context);
    release_flip_chain(&memory->chain);
    memory->chain.bits_per_pixel = 0;
    memory->open = false;
}

static int memory_lock(void *context, uint8_t **pixels)
{
    MemoryDisplayState *memory = memory_of(context);
    *pixels = memory->chain.surfaces[0] ? back_surface(&memory->chain) : nullptr;
    return *pixels ? 0 : 1;
}

static void memory_unlock(void *) {}

static int memory_flip(void *context)
{
    MemoryDisplayState *memory = memory_of(context);
    if (!memory->chain.surfaces[0])
        return FlipSurfaceLost;
    if (memory->lost_flips > 0) {
        memory->lost_flips--;
        return FlipSurfaceLost;
    }
    swap_flip_chain(&memory->chain);
    memory->counts.flips++;
    return FlipDone;
}

static int memory_restore(void *context)
{
    memory_of(context)->counts.restores++;
    return 0;
}

static int memory_next_event(void *context, PlatformEvent *event)
{
    MemoryDisplayState *memory = memory_of(context);
    if (!memory->queue.empty()) {
        *event = memory->queue.front();
        memory->queue.pop_front();
    } else if (memory->open) {
        *event = {EventTick, FrameTimerId};
        memory->counts.ticks++;
    } else {
        // Nothing could ever arrive: end rather than wait forever.
        *event = {EventQuit, 0};
    }
    return event->kind != EventQuit;
}

static void memory_post_event(void *context, EventKind kind, int param)
{
    memory_of(context)->queue.push_back({kind, param});
}

static void memory_message_box(void *, const char *caption, const char *text)
{
    fprintf(stderr, "%s: %s\n", caption, text);
}

const PlatformDisplay MemoryDisplay = {
    memory_open,     memory_close,      memory_lock,       memory_unlock,      memory_flip,
    memory_restore,  memory_next_event, memory_post_event, memory_message_box,
};

void reset_memory_display(MemoryDisplayState *memory, const MemoryDisplaySettings &settings)
{
    memory_close(memory);
    memory->settings = settings;
    memory->lost_flips = 0;
    memory->counts = {};
    memory->queue.clear();
}

void lose_memory_display_flips(MemoryDisplayState *memory, int count)
{
    memory->lost_flips = count;
}

void push_memory_display_event(MemoryDisplayState *memory, EventKind kind, int param)
{
    memory_post_event(memory, kind, param);
}

MemoryDisplayCounts memory_display_counts(const MemoryDisplayState *memory)
{
    return memory->counts;
}

const uint8_t *memory_display_front(const MemoryDisplayState *memory)
{
    return memory->chain.surfaces[0] ? front_surface(&memory->chain) : nullptr;
}

int memory_display_bits_per_pixel(const MemoryDisplayState *memory)
{
    return memory->chain.bits_per_pixel;
}

int memory_display_pitch(const MemoryDisplayState *memory)
{
    return memory->chain.pitch;
}
