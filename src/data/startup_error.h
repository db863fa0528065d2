// The start-up failure flag with its first line, and the zero-filling
// allocation every loader uses.
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
