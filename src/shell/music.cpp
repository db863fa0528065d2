// The music: device, "orvanti.xm" started once from its beginning, the
// position poll and freeing.
#include "shell/music.h"

#include <cstdio>
#include <cstdlib>

#include "platform/audio.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/exit_status.h"

int MusicOrder = 0;
int MusicRow = 0;
bool MusicEnded = false;

static uint32_t MusicChannel = 0;

void start_music(const char *file)
{
    if (audio_open_device(MusicRate) != 0)
        fatal_exit("Can't initialize device", ExitSoundDevice);

    uint32_t stream = audio_create_stream(file);
    uint32_t module = 0;
    if (stream == 0) {
        char reason[256];
        module = audio_load_module(file, reason, sizeof reason);
        // Without the module the position would never move: the show could
        // neither play nor end, so say why and stop.
        if (module == 0) {
            char message[512];
            snprintf(message, sizeof message, "cannot play %s: %s", file, reason);
            fatal_exit(message, ExitMusicFailed);
        }
    }
    MusicChannel = stream != 0 ? stream : module;

    if (audio_start() != 0 || audio_play_module(module) != 0)
        fatal_exit("Can't initialize device", ExitSoundDevice);
}

void poll_music_position()
{
    uint32_t position = audio_position(MusicChannel);
    MusicOrder = position_order(position);
    MusicRow = position_row(position);
    MusicEnded = audio_finished();
}

void free_music()
{
    audio_free();
}

void fatal_exit(const char *message, int status)
{
    Display->message_box(WindowTitle, message);
    free_music();
    exit(status);
}
