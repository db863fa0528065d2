// Xlib's error handlers for the desktop display, kept apart from SDL's
// headers, whose names Xlib's would shadow.
#pragma once

// From now on a lost X connection ends the process at once with
// ExitDisplayLost after one line on standard error (Xlib's own exit would
// wait for ever on the dead connection), and any other X error is handed to
// on_error with its code instead of ending the process.
void watch_x11_display(void (*on_error)(int code));
