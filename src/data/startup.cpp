// Start-up loading: the failure flag and its first line, alloc_cleared, the
// order in which everything is loaded, and the exit clean-up.
#include "data/startup.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "data/archive.h"
#include "platform/platform.h"
#include "scenes/scenes.h"
#include "shell/frame_driver.h"
#include "shell/render_target.h"

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

uint8_t *ColourTable = nullptr;
uint32_t *BelieveSnapshot = nullptr;

static void load_colour_table()
{
    load_entry("coltab.dat", &ColourTable);
    if (!ColourTable)
        return;
    // Scenes index the whole table: a short entry would send them past its end.
    uint32_t size = find_entry_size("COLTAB.DAT");
    if (size < ColourTableBytes) {
        report_startup_failure("COLTAB.DAT: %u bytes, the colour table needs %zu", size, ColourTableBytes);
        free(ColourTable);
        ColourTable = nullptr;
    }
}

static void render_believe_snapshot()
{
    RenderTarget.pixels = ScratchBandA;
    alloc_cleared(&BelieveSnapshot, static_cast<size_t>(BandBytes));
    // The still is drawn with the believe scene's assets: never from a failed load.
    if (StartupError)
        return;
    believe_scene_handler(1, 0, 0);
    for (int y = 0; y < BandHeight; y++)
        memcpy(BelieveSnapshot + static_cast<ptrdiff_t>(y) * BandWidth,
               ScratchBandA + static_cast<ptrdiff_t>(y) * RenderTarget.pitch, BandWidth * sizeof(uint32_t));
}

void load_all_assets()
{
    load_credits_scene();
    load_believe_scene();
    load_buddha_scene();
    load_title_scene();
    load_box_scene();
    load_ball_scene();
    load_plane_scene();
    load_tunnel_scene();
    load_system_scene();
    load_colour_table();
    render_believe_snapshot();
}

int startup_load(int surface_pitch, int display_mode)
{
    RenderTarget.pitch = display_mode == DisplayMode32 ? surface_pitch >> 2 : BandWidth;
    size_t band_bytes = static_cast<size_t>(RenderTarget.pitch) * BandHeight * sizeof(uint32_t);
    alloc_cleared(&ScratchBandA, band_bytes);
    alloc_cleared(&ScratchBandB, band_bytes);
    alloc_cleared(&WorkBuffer, static_cast<size_t>(BandBytes));
    // Every later step draws through these bands.
    if (!StartupError) {
        read_archive_directory();
        if (!StartupError)
            load_all_assets();
    }
    ClockStartTime = read_clock();
    return StartupError ? 0 : 1;
}

void free_startup_buffers()
{
    free(ScratchBandA);
    ScratchBandA = nullptr;
    free(ScratchBandB);
    ScratchBandB = nullptr;
}
