// The start-up failure flag and its first line, and alloc_cleared.
#include "data/startup_error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

int StartupError = 0;
char StartupFailure[512] = "";

void report_startup_failure(const char *format, ...)
{
    if (StartupFailure[0] == '\0') {
        va_list args;
        va_start(args, format);
        vsnprintf(StartupFailure, sizeof StartupFailure, format, args);
        va_end(args);
        // Entry names come from the archive's bytes: a newline or a terminal
        // escape in one must not split the line or reach the terminal.
        for (char *c = StartupFailure; *c != '\0'; c++)
            if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F)
                *c = '?';
    }
    StartupError = 1;
}

void alloc_cleared(void **slot, size_t size)
{
    // calloc(0) may return null; a zero-size entry is still a valid, empty buffer.
    void *memory = calloc(size == 0 ? 1 : size, 1);
    *slot = memory;
    if (memory == nullptr)
        report_startup_failure("out of memory allocating %zu bytes", size);
}

void reset_startup_error()
{
    StartupError = 0;
    StartupFailure[0] = '\0';
}
