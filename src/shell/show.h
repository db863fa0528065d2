// The show from start to end on one platform: display set-up, loading, the
// music, and the message loop that draws a frame for every tick and polls
// the music after every event, until order 46, Escape, a system key or a
// close request.
#pragma once
#include "platform/platform.h"

// The whole show; returns the process exit status.
int run_show(const Platform &platform);

// The same show in steps, for a host whose events arrive by callback rather
// than by a blocking wait (run_show is begin_show, show_event for each event
// fetched until it returns false, then end_show):
// set-up, loading and the music start; ExitNormal when the loop may run.
int begin_show(const Platform &platform);
// One fetched event: false once the show is over (the event was not
// dispatched); otherwise it is dispatched and the music polled.
bool show_event(const Platform &platform, const PlatformEvent &event);
// Stops the music, closes the display and frees the two scratch bands (the
// work band and every asset stay to the end); the exit status.
int end_show(const Platform &platform);
