// The display's set-up steps with their failure messages, the window
// procedure (ticks, ending keys, close) and the timer frame with its flip.
#include "shell/display.h"

#include "shell/frame_driver.h"
#include "shell/music.h"

// The depths tried in turn, with the DisplayMode each gives.
static const int ModeBits[] = {32, 24, 16};

int setup_display()
{
    const PlatformDisplay &display = *Display;
    if (display.create_window(WindowTitle) != 0)
        return report_setup_error(1, nullptr);
    display.show_window();

    int code = display.create_device();
    if (code != 0)
        return report_setup_error(code, "DirectDrawCreate FAILED");
    code = display.take_exclusive();
    if (code != 0)
        return report_setup_error(code, "SetCooperativeLevel FAILED");

    code = 1;
    for (int mode = DisplayMode32; mode <= DisplayMode16 && code != 0; mode++) {
        code = display.set_mode(ModeBits[mode]);
        if (code == 0)
            DisplayMode = mode;
    }
    if (code != 0)
        return report_setup_error(code, "SetDisplayMode FAILED");

    code = display.create_flip_chain();
    if (code != 0)
        return report_setup_error(code, "CreateSurface FAILED");
    code = display.attach_back_surface();
    if (code != 0)
        return report_setup_error(code, "GetAttachedSurface FAILED");
    code = display.describe_back_surface(&SurfacePitch);
    if (code != 0)
        return report_setup_error(code, "GetSurfaceDesc FAILED");
    if (display.start_timer(FrameTimerId, FramePeriodMs) != FrameTimerId)
        return report_setup_error(1, "SetTimer for FPS FAILED");

    display.hide_cursor();
    return 0;
}

int report_setup_error(int code, const char *message)
{
    release_display();
    if (message)
        Display->message_box(WindowTitle, message);
    Display->destroy_window();
    return code;
}

void release_display()
{
    Display->release();
}

static void end_show()
{
    Display->post_event(EventClose, 0);
    free_music();
}

void window_proc(const PlatformEvent &event)
{
    switch (event.kind) {
    case EventTick:
        if (event.param == FrameTimerId) {
            timer_frame();
            flip_frame();
        }
        break;
    case EventKeyDown:
        if (event.param == KeyEscape)
            end_show();
        break;
    case EventSystemKeyDown:
    case EventCloseRequest:
        end_show();
        break;
    case EventClose:
        // Closing destroys the window; its destruction releases the display
        // and posts the quit that ends the loop.
        Display->destroy_window();
        release_display();
        Display->post_event(EventQuit, 0);
        break;
    case EventQuit:
    case EventOther:
        break;
    }
}

void timer_frame()
{
    uint8_t *surface = nullptr;
    if (Display->lock(&surface) != 0)
        return;
    if (surface)
        frame_driver(surface, DisplayMode);
    Display->unlock();
}

void flip_frame()
{
    for (;;) {
        int outcome = Display->flip();
        if (outcome == FlipSurfaceLost) {
            Display->restore();
            return;
        }
        if (outcome != FlipStillDrawing)
            return;
    }
}
