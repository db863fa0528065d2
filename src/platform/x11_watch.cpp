// Xlib's error handlers for the desktop display.
#include "platform/x11_watch.h"

#include <unistd.h>

#include <X11/Xlib.h>

#include "platform/platform.h"

static void (*ErrorRoutine)(int code) = nullptr;

static int display_lost(Display *)
{
    static const char Message[] = "orvanti: the connection to the display was lost\n";
    ssize_t ignored = write(STDERR_FILENO, Message, sizeof Message - 1);
    (void)ignored;
    _exit(ExitDisplayLost);
}

static int display_error(Display *, XErrorEvent *error)
{
    if (ErrorRoutine)
        ErrorRoutine(error->error_code);
    return 0;
}

void watch_x11_display(void (*on_error)(int code))
{
    ErrorRoutine = on_error;
    XSetIOErrorHandler(display_lost);
    XSetErrorHandler(display_error);
}
