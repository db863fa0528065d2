// The show loop: every platform runs the show through these three steps.
#include "shell/show.h"

#include <cstdio>

#include "data/startup_error.h"
#include "shell/display.h"
#include "shell/exit_status.h"
#include "shell/frame_driver.h"
#include "shell/music.h"
#include "shell/startup.h"

int begin_show(const Platform &platform)
{
    if (setup_display(platform) != 0)
        return ExitSetupFailed;
    if (!startup_load(SurfacePitch, DisplayMode, platform.now_ms, platform.clock_context)) {
        fprintf(stderr, "%s: %s\n", platform.program, StartupFailure[0] ? StartupFailure : "loading failed");
        platform.display->close(platform.display_context);
        free_startup_buffers();
        return ExitLoadFailed;
    }
    int status = start_music(platform);
    if (status != ExitNormal)
        free_startup_buffers();
    return status;
}

bool show_event(const Platform &platform, const PlatformEvent &event)
{
    // A module that ends before order 46 would otherwise hold the last
    // picture forever.
    if (MusicOrder == FinalOrder || MusicEnded)
        return false;
    window_proc(platform, event);
    poll_music_position(platform);
    return true;
}

int end_show(const Platform &platform)
{
    free_music(platform);
    // On the music's road the window is still open; on the others this is
    // the harmless second close.
    platform.display->close(platform.display_context);
    free_startup_buffers();
    return ExitNormal;
}

int run_show(const Platform &platform)
{
    int status = begin_show(platform);
    if (status != ExitNormal)
        return status;
    PlatformEvent event;
    while (platform.display->next_event(platform.display_context, &event) && show_event(platform, event)) {
    }
    return end_show(platform);
}
