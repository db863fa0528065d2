// The browser display: the desktop's two-surface flip chain in memory; each
// flip hands the new front surface to the page's canvas as RGBA bytes.
#include "platform/web_display.h"

#include <emscripten.h>

WebScreen WebDisplayDevice = {{}, false, {}, true, {}};

// OrvantiPage is the page's driver object (web_driver.js).
EM_JS(int, page_open_canvas, (), { return OrvantiPage.open_canvas() ? 1 : 0; });
EM_JS(void, page_present, (const uint8_t *rgba, int size), { OrvantiPage.present(HEAPU8.subarray(rgba, rgba + size)); });
EM_JS(void, page_hide_cursor, (), { OrvantiPage.hide_cursor(); });
EM_JS(void, page_message_box, (const char *caption, const char *text),
      { OrvantiPage.message_box(UTF8ToString(caption), UTF8ToString(text)); });

static int web_open(void *context, int bits_per_pixel, int *pitch_bytes, int *failed_step)
{
    WebScreen *screen = static_cast<WebScreen *>(context);
    for (int step = StepWindow; step < DisplayStepCount; step++) {
        bool failed = false;
        if (step == StepWindow)
            failed = !page_open_canvas();
        else if (step == StepMode)
            failed = bits_per_pixel != 32;  // a canvas holds 32-bit pixels only
        else if (step == StepSurfaces && !screen->chain.surfaces[0])
            failed = create_flip_chain(&screen->chain, bits_per_pixel, ScreenWidth * 4) != 0;
        if (failed) {
            *failed_step = step;
            return 1;
        }
    }
    *pitch_bytes = screen->chain.pitch;
    screen->open = true;
    page_hide_cursor();
    return 0;
}

static void web_close(void *context)
{
    WebScreen *screen = static_cast<WebScreen *>(context);
    release_flip_chain(&screen->chain);
    screen->open = false;
}

static int web_lock(void *context, uint8_t **pixels)
{
    WebScreen *screen = static_cast<WebScreen *>(context);
    *pixels = screen->chain.surfaces[0] ? back_surface(&screen->chain) : nullptr;
    return *pixels ? 0 : 1;
}

static void web_unlock(void *) {}

// Surface pixels are 0x00RRGGBB words, so bytes blue, green, red, unused.
void web_present_front(WebScreen *screen)
{
    if (!screen->chain.surfaces[0])
        return;
    const uint8_t *front = front_surface(&screen->chain);
    for (int y = 0; y < ScreenHeight; y++) {
        const uint8_t *source = front + y * screen->chain.pitch;
        uint8_t *out = screen->rgba + y * ScreenWidth * 4;
        for (int x = 0; x < ScreenWidth; x++) {
            out[0] = source[2];
            out[1] = source[1];
            out[2] = source[0];
            out[3] = 0xFF;
            source += 4;
            out += 4;
        }
    }
    page_present(screen->rgba, static_cast<int>(sizeof screen->rgba));
}

static int web_flip(void *context)
{
    WebScreen *screen = static_cast<WebScreen *>(context);
    if (!screen->chain.surfaces[0])
        return FlipSurfaceLost;
    swap_flip_chain(&screen->chain);
    if (screen->present_each_flip)
        web_present_front(screen);
    return FlipDone;
}

// Memory surfaces are never lost.
static int web_restore(void *)
{
    return 0;
}

// The page cannot block: it hands events over as they come, and an empty
// queue gives the timer's tick while the timer runs.
static int web_next_event(void *context, PlatformEvent *event)
{
    WebScreen *screen = static_cast<WebScreen *>(context);
    if (!screen->queue.empty()) {
        *event = screen->queue.front();
        screen->queue.pop_front();
    } else if (screen->open) {
        *event = {EventTick, FrameTimerId};
    } else {
        *event = {EventQuit, 0};
    }
    return event->kind != EventQuit;
}

static void web_post_event(void *context, EventKind kind, int param)
{
    static_cast<WebScreen *>(context)->queue.push_back({kind, param});
}

static void web_message_box(void *, const char *caption, const char *text)
{
    page_message_box(caption, text);
}

const PlatformDisplay WebDisplay = {
    web_open, web_close, web_lock, web_unlock, web_flip, web_restore, web_next_event, web_post_event, web_message_box,
};
