// The show in the page, in the shell's steps: set-up, loading and music start
// on the viewer's click, one show event per browser timer callback or key,
// and the fixed-clock frames the page's tests compare with the offline capture.
#include <emscripten.h>

#include "platform/web_display.h"
#include "shell/music.h"
#include "shell/show.h"

// The page runs one show at a time and calls the entries below with no
// context of its own: null while no show runs.
static const Platform *Current = nullptr;

// Hands over what the last event posted (after Escape, the close and then the
// quit) up to the next tick: false once the show is over.
static bool handle_posted_events()
{
    PlatformEvent event;
    while (Current->display->next_event(Current->display_context, &event)) {
        if (event.kind == EventTick)
            return true;
        if (!show_event(*Current, event))
            return false;
    }
    return false;
}

static int finish_show()
{
    const Platform *platform = Current;
    Current = nullptr;
    return end_show(*platform);
}

extern "C" {

// 0 when the show runs, else the program's exit status; the reason is on the
// page already. fixed_clock: no sound, the page sets each frame's clock and
// music position (web_draw_fixed_frame).
EMSCRIPTEN_KEEPALIVE int web_begin_show(int fixed_clock)
{
    const Platform &platform = fixed_clock ? WebFixedPlatform : WebPlatform;
    WebDisplayDevice.present_each_flip = !fixed_clock;
    WebFixedState = {0, 0};
    int status = begin_show(platform);
    if (status == 0)
        Current = &platform;
    return status;
}

// One timer callback of the page: 1 while the show runs, then 0 once it has
// ended (end_show done).
EMSCRIPTEN_KEEPALIVE int web_step_show()
{
    if (!Current)
        return 0;
    if (show_event(*Current, {EventTick, FrameTimerId}) && handle_posted_events())
        return 1;
    finish_show();
    return 0;
}

// system: 1 for F10 or a key held with Alt. As web_step_show.
EMSCRIPTEN_KEEPALIVE int web_key(int system, int key)
{
    if (!Current)
        return 0;
    Current->display->post_event(Current->display_context, system ? EventSystemKeyDown : EventKeyDown, key);
    if (handle_posted_events())
        return 1;
    finish_show();
    return 0;
}

// Ends a running show at once (the page's music failed); its exit status.
EMSCRIPTEN_KEEPALIVE int web_stop_show()
{
    return Current ? finish_show() : 0;
}

// Frame n of the offline capture: the position its loop polled before the
// frame, the clock during it, then the same tick.
EMSCRIPTEN_KEEPALIVE int web_draw_fixed_frame(uint32_t milliseconds, int order, int row)
{
    if (Current != &WebFixedPlatform)
        return 0;
    WebFixedState.position = pack_position(order, row);
    poll_music_position(*Current);
    WebFixedState.now = milliseconds;
    return show_event(*Current, {EventTick, FrameTimerId}) ? 1 : 0;
}

// Shows the last frame drawn on the canvas.
EMSCRIPTEN_KEEPALIVE void web_present_screen()
{
    web_present_front(&WebDisplayDevice);
}

}
