// Start-up loading: the order in which everything is loaded, the believe
// scene's still, and the exit clean-up.
#include "shell/startup.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "data/archive.h"
#include "data/startup_error.h"
#include "raster/render_target.h"
#include "scenes/believe.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/frame_driver.h"

// The still is the believe scene's first frame, drawn once through its own
// handler into a scratch band and kept without the target's stride.
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

int startup_load(int surface_pitch, int display_mode, uint32_t (*now_ms)(void *context), void *clock_context)
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
    ClockStartTime = now_ms(clock_context);
    return StartupError ? 0 : 1;
}

void free_startup_buffers()
{
    free(ScratchBandA);
    ScratchBandA = nullptr;
    free(ScratchBandB);
    ScratchBandB = nullptr;
}
