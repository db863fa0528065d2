// The memory-only display: the same flip chain as on screen, no window, and
// an event queue that yields a tick whenever it is empty and the timer runs.
#include "platform/memory_display.h"

#include <cstdio>
#include <deque>

#include "platform/flip_chain.h"

unsigned MemoryDisplayDepths = MemoryAccepts32 | MemoryAccepts24 | MemoryAccepts16;
int MemoryDisplayPitch = 0;
int MemoryDisplayLostFlips = 0;
MemoryDisplayCounts MemoryDisplayCount = {};

static FlipChain Chain = {};
static int ModeBits = 0;
static bool DeviceOpen = false;
static bool WindowOpen = false;
static int TimerId = 0;
static std::deque<PlatformEvent> Queue;

static int memory_create_window(const char *)
{
    WindowOpen = true;
    return 0;
}

static void memory_show_window() {}

static int memory_create_device()
{
    DeviceOpen = true;
    return 0;
}

static int memory_take_exclusive()
{
    return DeviceOpen ? 0 : 1;
}

static int memory_set_mode(int bits_per_pixel)
{
    unsigned wanted = bits_per_pixel == 32 ? MemoryAccepts32 : bits_per_pixel == 24 ? MemoryAccepts24
                    : bits_per_pixel == 16 ? MemoryAccepts16 : 0;
    if ((MemoryDisplayDepths & wanted) == 0)
        return 1;
    ModeBits = bits_per_pixel;
    return 0;
}

static int memory_create_flip_chain()
{
    if (ModeBits == 0)
        return 1;
    int pitch = MemoryDisplayPitch > 0 ? MemoryDisplayPitch : 640 * (ModeBits / 8);
    return create_flip_chain(&Chain, ModeBits, pitch);
}

static int memory_attach_back_surface()
{
    return Chain.surfaces[0] ? 0 : 1;
}

static int memory_describe_back_surface(int *pitch_bytes)
{
    if (!Chain.surfaces[0])
        return 1;
    *pitch_bytes = Chain.pitch;
    return 0;
}

static int memory_start_timer(int id, int)
{
    TimerId = id;
    return id;
}

static void memory_hide_cursor() {}

static int memory_lock(uint8_t **pixels)
{
    *pixels = Chain.surfaces[0] ? back_surface(&Chain) : nullptr;
    return *pixels ? 0 : 1;
}

static void memory_unlock() {}

static int memory_flip()
{
    if (!Chain.surfaces[0])
        return FlipSurfaceLost;
    if (MemoryDisplayLostFlips > 0) {
        MemoryDisplayLostFlips--;
        return FlipSurfaceLost;
    }
    swap_flip_chain(&Chain);
    MemoryDisplayCount.flips++;
    return FlipDone;
}

static int memory_restore()
{
    MemoryDisplayCount.restores++;
    return 0;
}

static void memory_release()
{
    release_flip_chain(&Chain);
    DeviceOpen = false;
}

static void memory_destroy_window()
{
    WindowOpen = false;
    TimerId = 0;
}

static int memory_next_event(PlatformEvent *event)
{
    if (!Queue.empty()) {
        *event = Queue.front();
        Queue.pop_front();
    } else if (TimerId != 0 && WindowOpen) {
        *event = {EventTick, TimerId};
        MemoryDisplayCount.ticks++;
    } else {
        // Nothing could ever arrive: end rather than wait forever.
        *event = {EventQuit, 0};
    }
    return event->kind != EventQuit;
}

static void memory_post_event(EventKind kind, int param)
{
    Queue.push_back({kind, param});
}

static void memory_message_box(const char *caption, const char *text)
{
    fprintf(stderr, "%s: %s\n", caption, text);
}

void memory_display_push_event(EventKind kind, int param)
{
    memory_post_event(kind, param);
}

const uint8_t *memory_display_front()
{
    return Chain.surfaces[0] ? front_surface(&Chain) : nullptr;
}

int memory_display_bits_per_pixel()
{
    return ModeBits;
}

int memory_display_pitch()
{
    return Chain.pitch;
}

void reset_memory_display()
{
    memory_release();
    memory_destroy_window();
    Queue.clear();
    ModeBits = 0;
    MemoryDisplayDepths = MemoryAccepts32 | MemoryAccepts24 | MemoryAccepts16;
    MemoryDisplayPitch = 0;
    MemoryDisplayLostFlips = 0;
    MemoryDisplayCount = {};
}

const PlatformDisplay MemoryDisplay = {
    "memory",
    memory_create_window,
    memory_show_window,
    memory_create_device,
    memory_take_exclusive,
    memory_set_mode,
    memory_create_flip_chain,
    memory_attach_back_surface,
    memory_describe_back_surface,
    memory_start_timer,
    memory_hide_cursor,
    memory_lock,
    memory_unlock,
    memory_flip,
    memory_restore,
    memory_release,
    memory_destroy_window,
    memory_next_event,
    memory_post_event,
    memory_message_box,
};
