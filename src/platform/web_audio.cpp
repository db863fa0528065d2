// The music in the browser: the page's AudioWorklet player (libopenmpt). The
// page fetched the module and opened the AudioContext on the viewer's click.
#include <cstddef>

#include <emscripten.h>

#include "platform/web_display.h"

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

static int web_music_start(void *, const char *path, char *reason, size_t reason_size)
{
    if (!page_music_ready())
        return MusicNoDevice;
    if (!page_music_check(path, reason, static_cast<int>(reason_size)))
        return MusicUnplayable;
    return page_music_play() ? MusicStarted : MusicNoDevice;
}

static uint32_t web_music_position(void *)
{
    return page_music_position();
}

static bool web_music_finished(void *)
{
    return page_music_finished() != 0;
}

static void web_music_stop(void *)
{
    page_music_stop();
}

const PlatformMusic WebMusic = {web_music_start, web_music_position, web_music_finished, web_music_stop};
