// The desktop display's own questions to a Wayland compositor.
#pragma once
#include <cstddef>

struct SDL_Window;

enum WaylandState {
    WaylandSilent,   // nothing answers at the socket (reason says why)
    WaylandAnswers,  // a compositor with an input seat
    WaylandNoSeat,   // a compositor without one: SDL 2.26 would crash on it
    WaylandUnknown,  // not asked (built without libwayland-client)
};

struct WaylandProbe {
    WaylandState state;
    char socket[256];  // the socket tried, as libwayland finds it
    char reason[128];
};

// Connects to the compositor SDL would use (WAYLAND_DISPLAY, else
// "wayland-0", in XDG_RUNTIME_DIR) and asks its registry for a seat.
WaylandProbe probe_wayland();

// True when the window is on Wayland and its connection has failed: the
// compositor went away (SDL then only posts a quit).
bool wayland_connection_lost(SDL_Window *window);
