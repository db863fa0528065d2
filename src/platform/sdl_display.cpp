// The desktop display over SDL2: a borderless always-on-top fullscreen window
// showing the 16:9 window of the 640 by 480 picture, enlarged as the output's
// real size allows (window_fit.h), fed from the memory flip chain; a 10 ms
// tick that never queues up.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>

#include "platform/flip_chain.h"
#include "platform/platform.h"
#include "platform/sdl_wayland.h"
#include "platform/window_fit.h"
#include "platform/x11_watch.h"

// The desktop's one window, behind every entry's context.
struct SdlScreen {
    SDL_Window *window;
    SDL_Renderer *renderer;
    SDL_Texture *texture;
    FlipChain chain;
    int mode_bits;
    SDL_TimerID timer;
    bool device_lost;
    bool renderer_lost;
    // One tick at most waits in the queue: a slow frame lowers the rate
    // instead of piling up ticks.
    std::atomic<bool> tick_pending;
    Uint32 tick_event;  // first of our three registered event types
    Uint32 close_event;
    Uint32 quit_event;
    bool video_started;
};

SdlScreen SdlDisplayDevice = {};

// After an X error the window may be gone already: tearing it down would
// wait for ever for its unmapping, so it is left to the end of the process.
// Xlib's error handler is one per process and takes no context, and what it
// reports is the process's connection: so this flag is the process's too.
static bool DisplayBroken = false;

static SdlScreen *screen_of(void *context)
{
    return static_cast<SdlScreen *>(context);
}

// Any X error (our window destroyed by another program, say) ends the show
// as a close request would, instead of Xlib's exit in the middle of a frame.
static void display_error(int code)
{
    if (!DisplayBroken) {
        DisplayBroken = true;
        fprintf(stderr, "orvanti: the window was taken away (X error %d): ending the show\n", code);
        SDL_Event quit = {};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
}

// SDL turns SIGINT and SIGTERM into a close request; a hang-up or a quit
// from the terminal ends the show the same way.
static void forward_to_terminate(int)
{
    raise(SIGTERM);
}

// What was tried for a display, for the message that none answers.
static void describe_displays_tried(char *out, size_t size)
{
    const char *display = getenv("DISPLAY");
    int used = snprintf(out, size, "DISPLAY is %s%s%s", display ? "\"" : "not set", display ? display : "",
                        display ? "\", which does not answer" : "");
    const char *wayland = getenv("WAYLAND_DISPLAY");
    if (used > 0 && static_cast<size_t>(used) < size && wayland && wayland[0]) {
        WaylandProbe probe = probe_wayland();
        if (probe.state == WaylandSilent || probe.state == WaylandUnknown)
            snprintf(out + used, size - used, "; the Wayland compositor at %s does not answer (%s)", probe.socket,
                     probe.reason);
    }
}

static void report_no_display()
{
    char tried[512];
    describe_displays_tried(tried, sizeof tried);
    fprintf(stderr, "orvanti: no display to show the picture on (%s); "
                    "orvanti-capture renders the show to a video instead\n",
            tried);
}

// SDL falls back to drivers that show nothing when no display answers; the
// show must not play unseen, unless such a driver was asked for by name.
static bool has_screen()
{
    const char *driver = SDL_GetCurrentVideoDriver();
    const char *asked = getenv("SDL_VIDEODRIVER");
    bool invisible = driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0);
    if (!invisible || (asked && asked[0] != '\0'))
        return true;
    report_no_display();
    return false;
}

// SDL 2.26 crashes inside SDL_Init on a Wayland compositor without an input
// seat (a headless one, say): such a compositor is asked first, and X is
// used instead where there is one. False when nothing is left to start on.
static bool avoid_seatless_wayland()
{
    const char *asked = getenv("SDL_VIDEODRIVER");
    if (asked && asked[0] && !strstr(asked, "wayland"))
        return true;
    WaylandProbe probe = probe_wayland();
    if (probe.state != WaylandNoSeat)
        return true;
    const char *display = getenv("DISPLAY");
    bool wayland_asked = asked && strcmp(asked, "wayland") == 0;
    if (!wayland_asked && display && display[0]) {
        fprintf(stderr, "orvanti: the Wayland compositor at %s has no input seat: showing on X (DISPLAY \"%s\")\n",
                probe.socket, display);
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
        return true;
    }
    fprintf(stderr, "orvanti: the Wayland compositor at %s has no input seat (no keyboard to end the show), "
                    "which SDL cannot start on, and %s\n",
            probe.socket, wayland_asked ? "SDL_VIDEODRIVER asks for Wayland" : "DISPLAY is not set for X");
    return false;
}

static int open_window(SdlScreen *screen)
{
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    if (!avoid_seatless_wayland())
        return 1;
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        char tried[512];
        describe_displays_tried(tried, sizeof tried);
        fprintf(stderr, "orvanti: cannot start the display: %s (%s)\n", SDL_GetError(), tried);
        return 1;
    }
    screen->video_started = true;
    if (!has_screen())
        return 1;
    signal(SIGHUP, forward_to_terminate);
    signal(SIGQUIT, forward_to_terminate);
    screen->tick_event = SDL_RegisterEvents(3);
    if (screen->tick_event == static_cast<Uint32>(-1)) {
        fprintf(stderr, "orvanti: cannot register events: %s\n", SDL_GetError());
        return 1;
    }
    screen->close_event = screen->tick_event + 1;
    screen->quit_event = screen->tick_event + 2;
    // The window is made as large as the screen: without a window manager
    // to apply the full-screen request it would otherwise stay 640 by 480.
    SDL_DisplayMode desktop = {};
    int width = ScreenWidth, height = ScreenHeight;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        width = desktop.w;
        height = desktop.h;
    }
    Uint32 flags = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_HIDDEN;
    screen->window = SDL_CreateWindow(WindowTitle, 0, 0, width, height, flags);
    if (!screen->window) {
        fprintf(stderr, "orvanti: cannot create the window: %s\n", SDL_GetError());
        return 1;
    }
    const char *driver = SDL_GetCurrentVideoDriver();
    if (driver && strcmp(driver, "x11") == 0) {
        watch_x11_display(display_error);
    }
    SDL_ShowWindow(screen->window);
    SDL_RaiseWindow(screen->window);
    return 0;
}

static int open_renderer(SdlScreen *screen)
{
    screen->renderer = SDL_CreateRenderer(screen->window, -1, 0);
    if (!screen->renderer)
        return 1;
    SDL_SetRenderDrawColor(screen->renderer, 0, 0, 0, 255);
    return 0;
}

static Uint32 texture_format(int bits_per_pixel)
{
    // Our 24-bit pixels are the bytes blue, green, red; 16-bit ones are 5-6-5 words.
    switch (bits_per_pixel) {
    case 32: return SDL_PIXELFORMAT_RGB888;
    case 24: return SDL_PIXELFORMAT_BGR24;
    case 16: return SDL_PIXELFORMAT_RGB565;
    default: return SDL_PIXELFORMAT_UNKNOWN;
    }
}

static int open_texture(SdlScreen *screen, int bits_per_pixel)
{
    if (screen->texture) {
        SDL_DestroyTexture(screen->texture);
        screen->texture = nullptr;
    }
    Uint32 format = texture_format(bits_per_pixel);
    if (format == SDL_PIXELFORMAT_UNKNOWN)
        return 1;
    screen->texture =
        SDL_CreateTexture(screen->renderer, format, SDL_TEXTUREACCESS_STREAMING, ScreenWidth, ScreenHeight);
    if (!screen->texture)
        return 1;
    // Nearest sampling keeps the pixels sharp, also at the exact fit.
    SDL_SetTextureScaleMode(screen->texture, SDL_ScaleModeNearest);
    return 0;
}

static Uint32 post_tick(Uint32 interval, void *context)
{
    SdlScreen *screen = screen_of(context);
    if (!screen->tick_pending.exchange(true)) {
        SDL_Event event = {};
        event.type = screen->tick_event;
        event.user.code = FrameTimerId;
        if (SDL_PushEvent(&event) != 1)
            screen->tick_pending.store(false);
    }
    return interval;
}

static int start_tick(SdlScreen *screen)
{
    if (!screen->timer)
        screen->timer = SDL_AddTimer(static_cast<Uint32>(FramePeriodMs), post_tick, screen);
    return screen->timer != 0 ? 0 : 1;
}

static int failed_at(int step, int *failed_step)
{
    *failed_step = step;
    return 1;
}

static int sdl_open(void *context, int bits_per_pixel, int *pitch_bytes, int *failed_step)
{
    SdlScreen *screen = screen_of(context);
    if (!screen->window && open_window(screen) != 0)
        return failed_at(StepWindow, failed_step);
    if (!screen->renderer && open_renderer(screen) != 0)
        return failed_at(StepDevice, failed_step);
    if (open_texture(screen, bits_per_pixel) != 0)
        return failed_at(StepMode, failed_step);
    screen->mode_bits = bits_per_pixel;
    if (create_flip_chain(&screen->chain, screen->mode_bits, ScreenWidth * (screen->mode_bits / 8)) != 0)
        return failed_at(StepSurfaces, failed_step);
    *pitch_bytes = screen->chain.pitch;
    if (start_tick(screen) != 0)
        return failed_at(StepTimer, failed_step);
    SDL_ShowCursor(SDL_DISABLE);
    SDL_DisableScreenSaver();
    return 0;
}

static int sdl_lock(void *context, uint8_t **pixels)
{
    SdlScreen *screen = screen_of(context);
    *pixels = screen->chain.surfaces[0] ? back_surface(&screen->chain) : nullptr;
    return *pixels ? 0 : 1;
}

static void sdl_unlock(void *) {}

static int sdl_flip(void *context)
{
    SdlScreen *screen = screen_of(context);
    if (screen->device_lost || !screen->texture || !screen->chain.surfaces[0])
        return FlipSurfaceLost;
    if (SDL_UpdateTexture(screen->texture, nullptr, back_surface(&screen->chain), screen->chain.pitch) != 0) {
        screen->device_lost = true;
        return FlipSurfaceLost;
    }
    // The output's size is asked every frame: a window manager may apply
    // the full-screen request only after the first frames.
    int output_width = 0, output_height = 0;
    SDL_GetRendererOutputSize(screen->renderer, &output_width, &output_height);
    WindowFit fit = fit_window(output_width, output_height);
    SDL_Rect source = {0, WindowTop, WindowColumns, WindowRows};
    SDL_Rect target = {fit.x, fit.y, fit.width, fit.height};
    SDL_RenderClear(screen->renderer);
    SDL_RenderCopy(screen->renderer, screen->texture, &source, &target);
    SDL_RenderPresent(screen->renderer);
    swap_flip_chain(&screen->chain);
    return FlipDone;
}

static int sdl_restore(void *context)
{
    SdlScreen *screen = screen_of(context);
    if (!screen->window || !screen->renderer || !screen->chain.surfaces[0])
        return 1;
    SDL_DestroyTexture(screen->texture);
    screen->texture = nullptr;
    if (screen->renderer_lost) {
        SDL_DestroyRenderer(screen->renderer);
        screen->renderer = nullptr;
        if (open_renderer(screen) != 0)
            return 1;
    }
    if (open_texture(screen, screen->mode_bits) != 0)
        return 1;
    screen->device_lost = false;
    screen->renderer_lost = false;
    return 0;
}

static void sdl_close(void *context)
{
    SdlScreen *screen = screen_of(context);
    if (screen->timer) {
        SDL_RemoveTimer(screen->timer);
        screen->timer = 0;
    }
    release_flip_chain(&screen->chain);
    if (DisplayBroken) {
        screen->texture = nullptr;
        screen->renderer = nullptr;
        screen->window = nullptr;
        screen->video_started = false;
        return;
    }
    // The texture and the renderer belong to the window: they go first.
    if (screen->texture)
        SDL_DestroyTexture(screen->texture);
    screen->texture = nullptr;
    if (screen->renderer)
        SDL_DestroyRenderer(screen->renderer);
    screen->renderer = nullptr;
    if (screen->window)
        SDL_DestroyWindow(screen->window);
    screen->window = nullptr;
    screen->mode_bits = 0;
    if (screen->video_started) {
        // Also gives SIGINT and SIGTERM back their usual meaning, so that a
        // message box shown after the show cannot hold the way out.
        SDL_Quit();
        screen->video_started = false;
        screen->tick_event = 0;
        signal(SIGHUP, SIG_DFL);
        signal(SIGQUIT, SIG_DFL);
    }
}

static EventKind key_event_kind(const SDL_KeyboardEvent &key, int *param)
{
    SDL_Keycode symbol = key.keysym.sym;
    *param = symbol == SDLK_ESCAPE ? KeyEscape : symbol == SDLK_F10 ? KeyF10 : static_cast<int>(symbol);
    // F10 and Alt combinations are the system keys.
    if (symbol == SDLK_F10 || (key.keysym.mod & KMOD_ALT) != 0 || symbol == SDLK_LALT || symbol == SDLK_RALT)
        return EventSystemKeyDown;
    if (symbol == SDLK_ESCAPE)
        return EventKeyDown;
    // Other keys keep a code that no handled key uses.
    *param = -1;
    return EventKeyDown;
}

static int sdl_next_event(void *context, PlatformEvent *out)
{
    SdlScreen *screen = screen_of(context);
    // Once the display is closed nothing can arrive: that is the quit.
    SDL_Event event;
    if (!screen->video_started) {
        *out = {EventQuit, 0};
        return 0;
    }
    if (SDL_WaitEvent(&event) == 0) {
        fprintf(stderr, "orvanti: the event queue failed: %s\n", SDL_GetError());
        *out = {EventQuit, 0};
        return 0;
    }
    *out = {EventOther, 0};
    if (event.type == screen->tick_event) {
        screen->tick_pending.store(false);
        *out = {EventTick, event.user.code};
    } else if (event.type == screen->close_event) {
        *out = {EventClose, 0};
    } else if (event.type == screen->quit_event) {
        *out = {EventQuit, event.user.code};
        return 0;
    } else if (event.type == SDL_QUIT) {
        // The window's close button, SIGINT and SIGTERM all arrive here, and
        // so does a lost Wayland compositor, which ends the show as a lost X
        // server does.
        if (wayland_connection_lost(screen->window)) {
            static const char Message[] = "orvanti: the connection to the display was lost\n";
            fwrite(Message, 1, sizeof Message - 1, stderr);
            _exit(ExitDisplayLost);
        }
        *out = {EventCloseRequest, 0};
    } else if (event.type == SDL_KEYDOWN) {
        int key = 0;
        EventKind kind = key_event_kind(event.key, &key);
        *out = {kind, key};
    } else if (event.type == SDL_RENDER_TARGETS_RESET) {
        screen->device_lost = true;
    } else if (event.type == SDL_RENDER_DEVICE_RESET) {
        screen->device_lost = true;
        screen->renderer_lost = true;
    }
    return 1;
}

static void sdl_post_event(void *context, EventKind kind, int param)
{
    SdlScreen *screen = screen_of(context);
    Uint32 type = kind == EventClose ? screen->close_event : kind == EventQuit ? screen->quit_event : 0;
    if (type == 0 || screen->tick_event == 0)
        return;
    SDL_Event event = {};
    event.type = type;
    event.user.code = param;
    SDL_PushEvent(&event);
}

// The process group of the box being shown, for the signal handler, and
// whether a signal came before the box's process was there to close: a
// signal handler has no context, so these are the process's.
static volatile sig_atomic_t BoxGroup = 0;
static volatile sig_atomic_t BoxCloseAsked = 0;

static void close_box(int)
{
    BoxCloseAsked = 1;
    if (BoxGroup > 0)
        kill(-BoxGroup, SIGTERM);
}

// SDL shows its box from a process of its own (a fork, or zenity's) and waits
// for it; killed meanwhile, the program would leave that process on screen.
// So the box is shown from a child in a process group of its own, which a
// termination signal closes, letting the program end with its own status.
static void show_box_in_child(const char *caption, const char *text)
{
    const int numbers[4] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
    struct sigaction closing = {}, saved[4];
    closing.sa_handler = close_box;
    sigemptyset(&closing.sa_mask);
    BoxCloseAsked = 0;
    for (int i = 0; i < 4; i++)
        sigaction(numbers[i], &closing, &saved[i]);
    pid_t parent = getpid();
    pid_t box = fork();
    if (box == 0) {
        for (int i = 0; i < 4; i++)
            signal(numbers[i], SIG_DFL);
        setpgid(0, 0);
        // The box goes with the program even if the program is killed outright.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(0);
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
        _exit(0);
    }
    if (box > 0) {
        // Set on both sides, so the group exists before any signal names it.
        setpgid(box, box);
        BoxGroup = box;
        if (BoxCloseAsked)
            kill(-box, SIGTERM);
        int status = 0;
        while (waitpid(box, &status, 0) < 0 && errno == EINTR) {
        }
        // Whatever the box started (SDL's own fork) goes with it.
        kill(-box, SIGTERM);
        BoxGroup = 0;
    }
    for (int i = 0; i < 4; i++)
        sigaction(numbers[i], &saved[i], nullptr);
    // Without a process to spare, the box is shown here, and a signal ends
    // the program as it would without one.
    if (box < 0 && !BoxCloseAsked)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

static void sdl_message_box(void *, const char *caption, const char *text)
{
    fprintf(stderr, "%s: %s\n", caption, text);
    // The dummy and offscreen drivers have no screen to show a box on.
    const char *asked = getenv("SDL_VIDEODRIVER");
    if (asked && (strcmp(asked, "dummy") == 0 || strcmp(asked, "offscreen") == 0))
        return;
    fflush(nullptr);
    show_box_in_child(caption, text);
}

const PlatformDisplay SdlDisplay = {
    sdl_open, sdl_close, sdl_lock, sdl_unlock, sdl_flip, sdl_restore, sdl_next_event, sdl_post_event, sdl_message_box,
};
