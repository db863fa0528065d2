// The sound output in the browser: the page's AudioWorklet player (libopenmpt)
// behind the same routines as the desktop's audio device. The page fetched
// the module and opened the AudioContext on the viewer's click.
#include "platform/audio.h"

#include <cstdio>

#include <emscripten.h>

EM_JS(int, page_music_ready, (), { return OrvantiPage.music_ready() ? 1 : 0; });
// Writes the reason the module cannot be had into reason; 1 when it can.
EM_JS(int, page_music_check, (const char *path, char *reason, int reason_size), {
    const why = OrvantiPage.music_check(UTF8ToString(path));
    if (why === "")
        return 1;
    stringToUTF8(why, reason, reason_size);
    return 0;
});
EM_JS(int, page_music_play, (), { return OrvantiPage.music_play() ? 1 : 0; });
EM_JS(uint32_t, page_music_position, (), { return OrvantiPage.music_position() >>> 0; });
EM_JS(int, page_music_finished, (), { return OrvantiPage.music_finished() ? 1 : 0; });
EM_JS(void, page_music_stop, (), { OrvantiPage.music_stop(); });

// The one module the page holds.
constexpr uint32_t WebModuleHandle = 1;

int audio_open_device(int)
{
    return page_music_ready() ? 0 : 1;
}

uint32_t audio_create_stream(const char *)
{
    return 0;
}

uint32_t audio_load_module(const char *path, char *error, size_t error_size)
{
    if (page_music_check(path, error, static_cast<int>(error_size)))
        return WebModuleHandle;
    return 0;
}

int audio_start()
{
    return 0;
}

int audio_play_module(uint32_t module)
{
    if (module != WebModuleHandle)
        return 1;
    return page_music_play() ? 0 : 1;
}

uint32_t audio_position(uint32_t)
{
    return page_music_position();
}

bool audio_finished()
{
    return page_music_finished() != 0;
}

void audio_free()
{
    page_music_stop();
}
