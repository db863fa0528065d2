// The program's entry: display, loading, music, then the event loop until the
// music reaches order 46 or the show is ended by a key or a close request.
#include <cstdio>

#include "data/startup.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/exit_status.h"
#include "shell/frame_driver.h"
#include "shell/music.h"

int main()
{
    if (setup_display() != 0)
        return ExitSetupFailed;

    if (!startup_load(SurfacePitch, DisplayMode)) {
        fprintf(stderr, "orvanti: %s\n", StartupFailure[0] ? StartupFailure : "loading failed");
        return ExitLoadFailed;
    }

    start_music();

    PlatformEvent message;
    int fetched = Display->next_event(&message);
    while (fetched) {
        // A module that ends before order 46 would otherwise hold the last
        // picture forever.
        if (MusicOrder == FinalOrder || MusicEnded)
            break;
        window_proc(message);
        poll_music_position();
        fetched = Display->next_event(&message);
    }

    free_music();
    Display->post_event(EventClose, 0);
    free_startup_buffers();
    return ExitNormal;
}
