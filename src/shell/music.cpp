// The music: start with its two failure messages, the position poll and freeing.
#include "shell/music.h"

#include <cstdio>

#include "shell/exit_status.h"

int MusicOrder = 0;
int MusicRow = 0;
bool MusicEnded = false;

int start_music(const Platform &platform, const char *file)
{
    MusicOrder = 0;
    MusicRow = 0;
    MusicEnded = false;
    char reason[256] = "";
    int result = platform.music->start(platform.music_context, file, reason, sizeof reason);
    if (result == MusicStarted)
        return ExitNormal;

    char message[512];
    int status = ExitSoundDevice;
    if (result == MusicUnplayable) {
        snprintf(message, sizeof message, "cannot play %s: %s", file, reason[0] ? reason : "not playable");
        status = ExitMusicFailed;
    } else {
        snprintf(message, sizeof message, "Can't initialize device");
    }
    // The window goes first, so that the box is not hidden behind it.
    free_music(platform);
    platform.display->close(platform.display_context);
    platform.display->message_box(platform.display_context, WindowTitle, message);
    return status;
}

void poll_music_position(const Platform &platform)
{
    uint32_t position = platform.music->position(platform.music_context);
    MusicOrder = position_order(position);
    MusicRow = position_row(position);
    MusicEnded = platform.music->finished(platform.music_context);
}

void free_music(const Platform &platform)
{
    platform.music->stop(platform.music_context);
}
