// The display's set-up steps with their failure messages, the window
// procedure (ticks, ending keys, close) and the timer frame with its flip.
#include "shell/display.h"

#include "shell/frame_driver.h"
#include "shell/music.h"

// The depths tried in turn, indexed by the DisplayMode each gives.
static const int ModeDepths[] = {32, 24, 16};

// What the user is told when a step fails; a window that cannot be made has
// nowhere to show a message.
static const char *const SetupFailureMessages[DisplayStepCount] = {
    nullptr,
    "DirectDrawCreate FAILED",
    "SetCooperativeLevel FAILED",
    "SetDisplayMode FAILED",
    "CreateSurface FAILED",
    "GetAttachedSurface FAILED",
    "GetSurfaceDesc FAILED",
    "SetTimer for FPS FAILED",
};

int setup_display(const Platform &platform)
{
    int code = 1;
    int failed_step = StepMode;
    for (int mode = DisplayMode32; mode <= DisplayMode16; mode++) {
        code = platform.display->open(platform.display_context, ModeDepths[mode], &SurfacePitch, &failed_step);
        if (code == 0) {
            DisplayMode = mode;
            return 0;
        }
        // Only a refused depth is worth another try.
        if (failed_step != StepMode)
            break;
    }
    bool known = failed_step >= 0 && failed_step < DisplayStepCount;
    return report_setup_error(platform, code, known ? SetupFailureMessages[failed_step] : nullptr);
}

int report_setup_error(const Platform &platform, int code, const char *message)
{
    // Closed first, so the box is not hidden behind a full-screen window.
    platform.display->close(platform.display_context);
    if (message)
        platform.display->message_box(platform.display_context, WindowTitle, message);
    return code;
}

static void request_close(const Platform &platform)
{
    platform.display->post_event(platform.display_context, EventClose, 0);
    free_music(platform);
}

void window_proc(const Platform &platform, const PlatformEvent &event)
{
    const PlatformDisplay &display = *platform.display;
    void *context = platform.display_context;
    switch (event.kind) {
    case EventTick:
        if (event.param == FrameTimerId) {
            timer_frame(platform);
            flip_frame(platform);
        }
        break;
    case EventKeyDown:
        if (event.param == KeyEscape)
            request_close(platform);
        break;
    case EventSystemKeyDown:
    case EventCloseRequest:
        request_close(platform);
        break;
    case EventClose:
        // Closing takes the window and the display with it and posts the
        // quit that ends the loop.
        display.close(context);
        display.post_event(context, EventQuit, 0);
        break;
    case EventQuit:
    case EventOther:
        break;
    }
}

void timer_frame(const Platform &platform)
{
    uint8_t *surface = nullptr;
    if (platform.display->lock(platform.display_context, &surface) != 0)
        return;
    if (surface)
        frame_driver(surface, DisplayMode, platform.now_ms(platform.clock_context));
    platform.display->unlock(platform.display_context);
}

void flip_frame(const Platform &platform)
{
    for (;;) {
        int outcome = platform.display->flip(platform.display_context);
        if (outcome == FlipSurfaceLost) {
            platform.display->restore(platform.display_context);
            return;
        }
        if (outcome != FlipStillDrawing)
            return;
    }
}
