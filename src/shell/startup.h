// Start-up loading of everything the show needs, in its fixed order, and the
// clean-up after the show.
#pragma once
#include <cstdint>

// Fixes the render target's pitch from the display, allocates the bands,
// reads the archive directory, loads every asset and starts the frame clock
// from now_ms. Returns 1 when everything loaded, 0 when StartupError is set.
int startup_load(int surface_pitch, int display_mode, uint32_t (*now_ms)(void *context), void *clock_context);

// The scene loaders in their fixed order, the colour table and the believe
// scene's still.
void load_all_assets();

// The clean-up after the show: frees the two scratch bands.
void free_startup_buffers();
