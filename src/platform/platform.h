// The machine under the show, as one record of three small driver tables:
// the display (window, surfaces, tick, keys, message box), the music (one
// tracker module played once, and the position being heard) and the
// millisecond clock. The shell knows nothing else of the machine; SDL2 on a
// desktop, memory for tests, the offline capture and the web page are each
// one Platform.
//
// Every entry of a table gets first the context its Platform holds for that
// table (display_context, music_context, clock_context): the driver's own
// record of state, so that drivers keep no file globals and a platform can
// pair one driver's display with another's music.
//
// Results: routines returning int give 0 on success and a non-zero code on
// failure, except flip (a FlipOutcome) and next_event (0 once it fetched the
// quit event).
#pragma once
#include <cstddef>
#include <cstdint>

// The screen every driver shows: the band lies in rows 80 to 399 of it.
constexpr int ScreenWidth = 640;
constexpr int ScreenHeight = 480;

// The window's title and the caption of every message box.
constexpr const char *WindowTitle = "ORVANTI / KAMBRI";

// Keys as the window procedure sees them.
constexpr int KeyEscape = 27;
constexpr int KeyF10 = 0x79;

enum FlipOutcome { FlipDone = 0, FlipSurfaceLost = 1, FlipStillDrawing = 2 };

enum EventKind {
    EventTick,           // the periodic timer; param is the timer's id
    EventKeyDown,        // param is the key (KeyEscape, ...)
    EventSystemKeyDown,  // F10 or any key held with Alt; param is the key
    EventCloseRequest,   // window closed by the user, SIGINT or SIGTERM
    EventClose,          // the close message the program posts to itself
    EventQuit,           // fetched last: the loop ends; param is the exit code
    EventOther,
};

struct PlatformEvent {
    EventKind kind;
    int param;
};

// The steps of opening a display, in order; a failed open names its step.
enum DisplayStep {
    StepWindow,         // the window itself
    StepDevice,         // the drawing device
    StepExclusive,      // taking the screen
    StepMode,           // 640 by 480 at the depth asked for
    StepSurfaces,       // the flip chain
    StepBackSurface,    // its back surface
    StepDescription,    // the back surface's pitch
    StepTimer,          // the 10 ms tick
    DisplayStepCount,
};

// The exit status when the display's connection is lost during the show:
// the program cannot close anything on it and ends at once.
constexpr int ExitDisplayLost = 6;

constexpr int FrameTimerId = 1;  // the id of every tick event
constexpr int FramePeriodMs = 10;

struct PlatformDisplay {
    // Opens the window and the 640 by 480 display at bits_per_pixel (32, 24
    // or 16) with its flip chain and tick, and hides the cursor. Steps an
    // earlier call completed are kept, so a refused depth can be followed
    // by another. On failure *failed_step says which step failed.
    int (*open)(void *context, int bits_per_pixel, int *pitch_bytes, int *failed_step);
    // Releases the surfaces, the device, the tick and the window, each only
    // if present; harmless when repeated.
    void (*close)(void *context);
    // Gives the back surface's first byte, or null with a non-zero result.
    int (*lock)(void *context, uint8_t **pixels);
    void (*unlock)(void *context);
    int (*flip)(void *context);  // a FlipOutcome
    int (*restore)(void *context);
    // Waits for the next event; returns 0 when it is the quit event.
    int (*next_event)(void *context, PlatformEvent *event);
    void (*post_event)(void *context, EventKind kind, int param);
    // Shows the text with the caption (and on standard error) and waits for
    // it to be dismissed.
    void (*message_box)(void *context, const char *caption, const char *text);
};

// Frames per second of the sound every music driver renders.
constexpr int MusicRate = 44100;

// What music.start reports.
enum MusicStartResult { MusicStarted = 0, MusicNoDevice = 1, MusicUnplayable = 2 };

struct PlatformMusic {
    // Opens the sound output, loads `path` as a tracker module and plays it
    // once from order 0, row 0. MusicUnplayable puts a one-line reason in
    // `reason`.
    int (*start)(void *context, const char *path, char *reason, size_t reason_size);
    // The position of the music being heard: order | row << 16; after stop,
    // the last position heard.
    uint32_t (*position)(void *context);
    // True once the module has played to its end and that end has been heard.
    bool (*finished)(void *context);
    // Stops the output and releases the module; harmless when repeated.
    void (*stop)(void *context);
};

struct Platform {
    const char *program;  // names the program in messages on standard error
    const PlatformDisplay *display;
    const PlatformMusic *music;
    uint32_t (*now_ms)(void *context);  // milliseconds, unsigned, wrapping at 2^32
    // Handed first to every entry of display, music and now_ms in turn;
    // null for a driver that keeps no state.
    void *display_context;
    void *music_context;
    void *clock_context;
};

// The desktop: an SDL2 window and SDL audio playing through libopenmpt.
// Their contexts are SdlDisplayDevice and SdlMusicDevice, the desktop's one
// window and one sound device.
struct SdlScreen;
struct SdlSound;
extern const PlatformDisplay SdlDisplay;
extern SdlScreen SdlDisplayDevice;
extern const PlatformMusic SdlMusic;
extern SdlSound SdlMusicDevice;
extern const Platform SdlPlatform;
