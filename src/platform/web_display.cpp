// The browser display: the desktop's two-surface flip chain in memory; each
// flip hands the new front surface to the page's canvas as RGBA bytes.
#include "platform/web_display.h"

#include <deque>

#include <emscripten.h>

#include "platform/flip_chain.h"

constexpr int WebWidth = 640;
constexpr int WebHeight = 480;

static FlipChain Chain = {};
static int ModeBits = 0;
static bool DeviceOpen = false;
static bool WindowOpen = false;
static int TimerId = 0;
static std::deque<PlatformEvent> Queue;
static uint8_t ScreenRgba[WebWidth * WebHeight * 4];

uint32_t WebFixedNow = 0;
bool WebPresentEachFlip = true;

// OrvantiPage is the page's driver object (web_driver.js).
EM_JS(int, page_open_canvas, (), { return OrvantiPage.open_canvas() ? 1 : 0; });
EM_JS(void, page_present, (const uint8_t *rgba, int size), { OrvantiPage.present(HEAPU8.subarray(rgba, rgba + size)); });
EM_JS(void, page_hide_cursor, (), { OrvantiPage.hide_cursor(); });
EM_JS(void, page_message_box, (const char *caption, const char *text),
      { OrvantiPage.message_box(UTF8ToString(caption), UTF8ToString(text)); });

static int web_create_window(const char *)
{
    if (!page_open_canvas())
        return 1;
    WindowOpen = true;
    return 0;
}

static void web_show_window() {}

static int web_create_device()
{
    DeviceOpen = WindowOpen;
    return DeviceOpen ? 0 : 1;
}

static int web_take_exclusive()
{
    return DeviceOpen ? 0 : 1;
}

// A canvas holds 32-bit pixels only.
static int web_set_mode(int bits_per_pixel)
{
    if (bits_per_pixel != 32)
        return 1;
    ModeBits = bits_per_pixel;
    return 0;
}

static int web_create_flip_chain()
{
    if (ModeBits == 0)
        return 1;
    return create_flip_chain(&Chain, ModeBits, WebWidth * (ModeBits / 8));
}

static int web_attach_back_surface()
{
    return Chain.surfaces[0] ? 0 : 1;
}

static int web_describe_back_surface(int *pitch_bytes)
{
    if (!Chain.surfaces[0])
        return 1;
    *pitch_bytes = Chain.pitch;
    return 0;
}

// The page's timer runs from the first step on; the id only marks it as set.
static int web_start_timer(int id, int)
{
    TimerId = id;
    return id;
}

static void web_hide_cursor()
{
    page_hide_cursor();
}

static int web_lock(uint8_t **pixels)
{
    *pixels = Chain.surfaces[0] ? back_surface(&Chain) : nullptr;
    return *pixels ? 0 : 1;
}

static void web_unlock() {}

// Surface pixels are 0x00RRGGBB words, so bytes blue, green, red, unused.
void web_present_front()
{
    if (!Chain.surfaces[0])
        return;
    const uint8_t *front = front_surface(&Chain);
    for (int y = 0; y < WebHeight; y++) {
        const uint8_t *source = front + y * Chain.pitch;
        uint8_t *out = ScreenRgba + y * WebWidth * 4;
        for (int x = 0; x < WebWidth; x++) {
            out[0] = source[2];
            out[1] = source[1];
            out[2] = source[0];
            out[3] = 0xFF;
            source += 4;
            out += 4;
        }
    }
    page_present(ScreenRgba, static_cast<int>(sizeof ScreenRgba));
}

static int web_flip()
{
    if (!Chain.surfaces[0])
        return FlipSurfaceLost;
    swap_flip_chain(&Chain);
    if (WebPresentEachFlip)
        web_present_front();
    return FlipDone;
}

// Memory surfaces are never lost.
static int web_restore()
{
    return 0;
}

static void web_release()
{
    release_flip_chain(&Chain);
    DeviceOpen = false;
}

static void web_destroy_window()
{
    WindowOpen = false;
    TimerId = 0;
}

// The page cannot block: it hands events over as they come, and an empty
// queue gives the timer's tick while the timer runs.
static int web_next_event(PlatformEvent *event)
{
    if (!Queue.empty()) {
        *event = Queue.front();
        Queue.pop_front();
    } else if (TimerId != 0 && WindowOpen) {
        *event = {EventTick, TimerId};
    } else {
        *event = {EventQuit, 0};
    }
    return event->kind != EventQuit;
}

static void web_post_event(EventKind kind, int param)
{
    Queue.push_back({kind, param});
}

static void web_message_box(const char *caption, const char *text)
{
    page_message_box(caption, text);
}

const uint8_t *web_screen_rgba()
{
    return ScreenRgba;
}

uint32_t web_fixed_clock()
{
    return WebFixedNow;
}

const PlatformDisplay WebDisplay = {
    "web",
    web_create_window,
    web_show_window,
    web_create_device,
    web_take_exclusive,
    web_set_mode,
    web_create_flip_chain,
    web_attach_back_surface,
    web_describe_back_surface,
    web_start_timer,
    web_hide_cursor,
    web_lock,
    web_unlock,
    web_flip,
    web_restore,
    web_release,
    web_destroy_window,
    web_next_event,
    web_post_event,
    web_message_box,
};

const PlatformDisplay *Display = &WebDisplay;

static uint32_t page_clock()
{
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

MillisecondClock ClockRoutine = page_clock;

uint32_t read_clock()
{
    return ClockRoutine();
}
