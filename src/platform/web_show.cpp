// The show in the page: set-up, loading and music start on the viewer's
// click, then one loop step per browser timer callback or key, and the
// fixed-clock frames the page's tests compare with the offline capture.
#include <cstdio>

#include <emscripten.h>

#include "data/archive.h"
#include "data/startup.h"
#include "platform/platform.h"
#include "platform/web_display.h"
#include "shell/display.h"
#include "shell/exit_status.h"
#include "shell/frame_driver.h"
#include "shell/music.h"

static bool ShowRunning = false;

// One pass of the desktop's event loop: false once the show is over.
static bool handle_event(const PlatformEvent &event)
{
    if (MusicOrder == FinalOrder || MusicEnded || event.kind == EventQuit)
        return false;
    window_proc(event);
    poll_music_position();
    return true;
}

// Handles what the last event posted (the close after Escape, then the quit).
static bool drain_events()
{
    PlatformEvent event;
    while (Display->next_event(&event)) {
        if (event.kind == EventTick)
            return true;
        if (!handle_event(event))
            return false;
    }
    return false;
}

extern "C" {

// 0 when the loop may run, else the desktop's exit status; the reason is
// on the page already. fixed_clock: no music, the page sets each frame's
// clock and position.
EMSCRIPTEN_KEEPALIVE int web_begin_show(int fixed_clock)
{
    Display = &WebDisplay;
    ArchivePath = "orvanti.dat";
    if (fixed_clock) {
        ClockRoutine = web_fixed_clock;
        WebFixedNow = 0;
        WebPresentEachFlip = false;
    }
    if (setup_display() != 0)
        return ExitSetupFailed;
    if (!startup_load(SurfacePitch, DisplayMode)) {
        char line[600];
        snprintf(line, sizeof line, "orvanti: %s", StartupFailure[0] ? StartupFailure : "loading failed");
        fprintf(stderr, "%s\n", line);
        Display->message_box(WindowTitle, line);
        return ExitLoadFailed;
    }
    // A failing start ends the process as on the desktop, through exit().
    if (!fixed_clock)
        start_music();
    ShowRunning = true;
    return 0;
}

// One timer callback of the page: false once the show is over.
EMSCRIPTEN_KEEPALIVE int web_step_show()
{
    if (!ShowRunning)
        return 0;
    ShowRunning = handle_event({EventTick, FrameTimerId}) && drain_events();
    return ShowRunning;
}

// kind: 0 a plain key, 1 a system key (F10, Alt held); false once over.
EMSCRIPTEN_KEEPALIVE int web_key(int kind, int key)
{
    if (!ShowRunning)
        return 0;
    Display->post_event(kind ? EventSystemKeyDown : EventKeyDown, key);
    ShowRunning = drain_events();
    return ShowRunning;
}

EMSCRIPTEN_KEEPALIVE int web_end_show()
{
    ShowRunning = false;
    free_music();
    Display->post_event(EventClose, 0);
    free_startup_buffers();
    return ExitNormal;
}

// Frame n of the offline capture at 50 frames a second: its clock and the
// music position it polled, then the same timer frame and flip.
EMSCRIPTEN_KEEPALIVE void web_draw_fixed_frame(uint32_t milliseconds, int order, int row)
{
    WebFixedNow = milliseconds;
    MusicOrder = order;
    MusicRow = row;
    timer_frame();
    flip_frame();
}

// Shows the last frame drawn on the canvas.
EMSCRIPTEN_KEEPALIVE void web_present_screen()
{
    web_present_front();
}

}
