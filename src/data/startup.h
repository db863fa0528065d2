// Start-up loading of everything the show needs, the failure flag, the
// zero-filling allocation every loader uses, and the shared tables it fills.
#pragma once
#include <cstddef>
#include <cstdint>

// Set to 1 by any failed open, lookup, allocation or decode during start-up;
// never cleared.
extern int StartupError;

// The first failure, as one line naming the entry and the reason
// ("BALL\BALL.3D: face 12 uses vertex 4000 of 962"); empty while none.
extern char StartupFailure[512];

// Raises StartupError and keeps `format` as the failure line if it is the
// first; control characters in it (from names read out of the archive) are
// shown as '?', so it stays one printable line.
void report_startup_failure(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Allocates size bytes filled with zero and stores the pointer through slot;
// on failure stores null and raises StartupError.
void alloc_cleared(void **slot, size_t size);

template <class T>
inline void alloc_cleared(T **slot, size_t size)
{
    void *memory = nullptr;
    alloc_cleared(&memory, size);
    *slot = static_cast<T *>(memory);
}

// Clears the flag and the failure line. Tests only: the program never clears it.
void reset_startup_error();

// "coltab.dat": byte [level * 256 + value] is the new value of a colour
// component of that value at that level.
constexpr size_t ColourTableBytes = 256 * 256;
extern uint8_t *ColourTable;

// The believe scene's first frame, 640 by 320 pixels with a row stride of 640.
extern uint32_t *BelieveSnapshot;

// Fixes the render target's pitch from the display, allocates the bands,
// reads the archive directory, loads every asset and starts the frame clock.
// Returns 1 when everything loaded, 0 when StartupError is set.
int startup_load(int surface_pitch, int display_mode);

// The scene loaders in their fixed order, the colour table and the believe
// scene's still.
void load_all_assets();

// The clean-up after the show: frees the two scratch bands.
void free_startup_buffers();
