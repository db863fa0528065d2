// What the desktop display asks a Wayland compositor itself, before and
// during SDL's use of it: SDL 2.26 crashes in SDL_Init on a compositor that
// offers no input seat, and reports a lost compositor as a close request.
#include "platform/sdl_wayland.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <SDL.h>
#include <SDL_syswm.h>

#if ORVANTI_HAVE_WAYLAND
#include <wayland-client.h>

static void note_global(void *data, wl_registry *, uint32_t, const char *interface, uint32_t)
{
    if (strcmp(interface, "wl_seat") == 0)
        *static_cast<bool *>(data) = true;
}

static void forget_global(void *, wl_registry *, uint32_t) {}

static const wl_registry_listener RegistryListener = {note_global, forget_global};
#endif

// The socket libwayland would connect to, as it finds it.
static void name_socket(char *out, size_t size)
{
    const char *name = getenv("WAYLAND_DISPLAY");
    if (!name || !name[0])
        name = "wayland-0";
    const char *runtime = getenv("XDG_RUNTIME_DIR");
    if (name[0] == '/' || !runtime)
        snprintf(out, size, "%s", name);
    else
        snprintf(out, size, "%s/%s", runtime, name);
}

WaylandProbe probe_wayland()
{
    WaylandProbe probe = {};
    name_socket(probe.socket, sizeof probe.socket);
#if ORVANTI_HAVE_WAYLAND
    // libwayland would complain on standard error of a missing runtime folder.
    const char *name = getenv("WAYLAND_DISPLAY");
    if (!getenv("XDG_RUNTIME_DIR") && !(name && name[0] == '/')) {
        snprintf(probe.reason, sizeof probe.reason, "XDG_RUNTIME_DIR is not set");
        return probe;
    }
    errno = 0;
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        snprintf(probe.reason, sizeof probe.reason, "%s", errno ? strerror(errno) : "no answer");
        return probe;
    }
    probe.state = WaylandAnswers;
    bool seat = false;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &seat);
    // One round trip brings every global the compositor offers.
    if (wl_display_roundtrip(display) < 0) {
        snprintf(probe.reason, sizeof probe.reason, "its registry could not be read");
        probe.state = WaylandSilent;
    } else if (!seat) {
        probe.state = WaylandNoSeat;
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
#else
    snprintf(probe.reason, sizeof probe.reason, "not asked: built without libwayland-client");
    probe.state = WaylandUnknown;
#endif
    return probe;
}

bool wayland_connection_lost(SDL_Window *window)
{
#if ORVANTI_HAVE_WAYLAND
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
        return false;
    return info.info.wl.display && wl_display_get_error(info.info.wl.display) != 0;
#else
    (void)window;
    return false;
#endif
}
