// The machine operations the shell uses, behind one table of routines per
// display driver (SDL2 on a desktop, memory-only for tests and the capture),
// plus the replaceable millisecond clock.
//
// Results: routines returning int give 0 on success and a non-zero code on
// failure, except start_timer (the timer's id on success) and flip.
#pragma once
#include <cstdint>

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

struct PlatformDisplay {
    const char *name;
    int (*create_window)(const char *title);
    void (*show_window)();
    int (*create_device)();
    int (*take_exclusive)();
    int (*set_mode)(int bits_per_pixel);   // 640 by 480 at 32, 24 or 16
    int (*create_flip_chain)();
    int (*attach_back_surface)();
    int (*describe_back_surface)(int *pitch_bytes);
    int (*start_timer)(int id, int period_ms);
    void (*hide_cursor)();
    // Gives the back surface's first byte, or null with a non-zero result.
    int (*lock)(uint8_t **pixels);
    void (*unlock)();
    int (*flip)();     // a FlipOutcome
    int (*restore)();
    // Releases the flip chain and the device, each only if present.
    void (*release)();
    void (*destroy_window)();
    // Waits for the next event; returns 0 when it is the quit event.
    int (*next_event)(PlatformEvent *event);
    void (*post_event)(EventKind kind, int param);
    void (*message_box)(const char *caption, const char *text);
};

extern const PlatformDisplay SdlDisplay;
extern const PlatformDisplay MemoryDisplay;

// The driver the shell talks to; SdlDisplay unless a test or tool swaps it.
extern const PlatformDisplay *Display;

// The millisecond clock (unsigned, wrapping at 2^32). ClockRoutine may be
// replaced so that a caller drives the show on its own time.
using MillisecondClock = uint32_t (*)();
extern MillisecondClock ClockRoutine;
uint32_t read_clock();
