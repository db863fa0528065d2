// The display's set-up and release, the window procedure and the timer frame.
#pragma once
#include "platform/platform.h"

constexpr const char *WindowTitle = "ORVANTI / KAMBRI";
constexpr int FrameTimerId = 1;
constexpr int FramePeriodMs = 10;

// Window, display mode (32, else 24, else 16 bits), flip chain and timer, in
// that order; 0 on success, else the failing step's code after its message.
int setup_display();
// Releases the display, shows message (if any) and destroys the window; returns code.
int report_setup_error(int code, const char *message);
// Releases the flip chain and the device, each only if present.
void release_display();
// Handles one event as the window procedure does.
void window_proc(const PlatformEvent &event);
// Locks the back surface, draws one frame into it and unlocks it.
void timer_frame();
// Flips, retrying while the display still draws; a lost surface is restored once.
void flip_frame();
