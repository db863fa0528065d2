// The display's set-up with its failure messages, the window procedure and
// the timer frame with its flip.
#pragma once
#include "platform/platform.h"

// Opens the display at 32, else 24, else 16 bits and sets DisplayMode and
// SurfacePitch; 0 on success, else a non-zero code after the failing step's
// message.
int setup_display(const Platform &platform);
// Closes the display, shows message (if any) and returns code.
int report_setup_error(const Platform &platform, int code, const char *message);
// Handles one event as the window procedure does.
void window_proc(const Platform &platform, const PlatformEvent &event);
// Locks the back surface, draws one frame into it and unlocks it.
void timer_frame(const Platform &platform);
// Flips, retrying while the display still draws; a lost surface is restored once.
void flip_frame(const Platform &platform);
