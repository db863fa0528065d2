// The desktop's music: one SDL audio device at 44,100 Hz stereo playing one
// tracker module through the module player. The device's thread renders the
// module in small reads, noting where each row begins in the stream and when
// the device asked for it (the heard clock, under a spin lock); the main
// thread works out from these the row leaving the speaker.

#include <atomic>
#include <cstdio>
#include <cstring>

#include <SDL.h>

#include "platform/heard_clock.h"
#include "platform/module_player.h"
#include "platform/platform.h"

// Frames per device buffer.
constexpr int AudioBufferFrames = 1024;
// Frames per module read: a row's start is placed to within half of this
// (0.4 ms), as the row is only known once a read has crossed into it.
constexpr size_t RowReadFrames = 32;

// What the device still holds when it asks for more: the buffer it is
// playing. SDL reports no latency of its own to add, so sound the system
// holds past SDL's buffer (a sound server's, a second hardware period) is
// not counted.
constexpr int QueuedBuffers = 1;

// The desktop's one sound device, behind every entry's context and the
// device's callback.
struct SdlSound {
    SDL_AudioDeviceID device;
    ModulePlayer player;
    std::atomic<bool> playing;
    int device_buffer_frames;
    SDL_SpinLock clock_lock;
    HeardClock clock;
    // The show's side: the position never goes back between polls.
    int64_t last_heard;
    // The device's thread's own: the position of the last frame it rendered.
    uint32_t rendered_position;
};

SdlSound SdlMusicDevice = {};

static SdlSound *sound_of(void *context)
{
    return static_cast<SdlSound *>(context);
}

static void fill_buffer(void *context, Uint8 *stream, int length)
{
    SdlSound *sound = sound_of(context);
    uint64_t asked = SDL_GetPerformanceCounter();
    auto *out = reinterpret_cast<int16_t *>(stream);
    size_t frames = static_cast<size_t>(length) / (2 * sizeof(int16_t));
    if (!sound->playing.load(std::memory_order_acquire)) {
        memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    SDL_AtomicLock(&sound->clock_lock);
    note_request(&sound->clock, asked);
    int64_t first = sound->clock.rendered;
    SDL_AtomicUnlock(&sound->clock_lock);

    // Row starts are collected here and published with the rendered frames,
    // so the lock is never held while the module renders.
    RowStart starts[RowStartSlots];
    int start_count = 0;
    size_t done = 0;
    bool ended = false;
    while (done < frames && !ended) {
        size_t want = frames - done < RowReadFrames ? frames - done : RowReadFrames;
        size_t got = render_module(&sound->player, MusicRate, out + done * 2, want);
        uint32_t position = module_position(&sound->player);
        if (got > 0 && position != sound->rendered_position && start_count < RowStartSlots)
            starts[start_count++] = {first + static_cast<int64_t>(done + got / 2), position};
        sound->rendered_position = position;
        done += got;
        ended = got < want;
    }
    if (done < frames)
        memset(out + done * 2, 0, (frames - done) * 2 * sizeof(int16_t));

    SDL_AtomicLock(&sound->clock_lock);
    for (int i = 0; i < start_count; i++)
        note_row_start(&sound->clock, starts[i].frame, starts[i].position);
    // Past the end the stream is silence; it still runs on as heard time.
    note_rendered(&sound->clock, static_cast<int64_t>(done), ended);
    if (done < frames)
        note_rendered(&sound->clock, static_cast<int64_t>(frames - done), false);
    SDL_AtomicUnlock(&sound->clock_lock);
}

static int open_device(SdlSound *sound)
{
    if (sound->device)
        return 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "orvanti: audio: %s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec wanted = {};
    wanted.freq = MusicRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = AudioBufferFrames;
    wanted.callback = fill_buffer;
    wanted.userdata = sound;
    SDL_AudioSpec got = {};
    // No changes allowed: SDL converts to whatever the hardware takes.
    sound->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
    if (sound->device == 0) {
        fprintf(stderr, "orvanti: audio: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 1;
    }
    sound->device_buffer_frames = got.samples > 0 ? got.samples : AudioBufferFrames;
    sound->playing.store(false);
    return 0;
}

// The device starts paused with silence; the module is loaded under its
// lock, rewound, and only then does the callback begin to play it.
static int sdl_music_start(void *context, const char *path, char *reason, size_t reason_size)
{
    SdlSound *sound = sound_of(context);
    if (open_device(sound) != 0)
        return MusicNoDevice;
    SDL_LockAudioDevice(sound->device);
    sound->playing.store(false, std::memory_order_release);
    // Nothing of an earlier module is heard from here on, played or not.
    SDL_AtomicLock(&sound->clock_lock);
    reset_heard_clock(&sound->clock, 0, MusicRate, QueuedBuffers * sound->device_buffer_frames,
                      SDL_GetPerformanceFrequency());
    SDL_AtomicUnlock(&sound->clock_lock);
    sound->last_heard = 0;
    int failed = load_module_file(path, &sound->player, reason, reason_size);
    if (!failed) {
        rewind_module(&sound->player);
        sound->rendered_position = module_position(&sound->player);
        sound->playing.store(true, std::memory_order_release);
    }
    SDL_UnlockAudioDevice(sound->device);
    if (failed)
        return MusicUnplayable;
    SDL_PauseAudioDevice(sound->device, 0);
    return MusicStarted;
}

// The frame being heard now, and the clock's answer for it.
template <typename Answer>
static auto ask_heard_clock(SdlSound *sound, Answer answer)
{
    uint64_t now = SDL_GetPerformanceCounter();
    SDL_AtomicLock(&sound->clock_lock);
    int64_t heard = heard_frame(sound->clock, now);
    if (heard > sound->last_heard)
        sound->last_heard = heard;
    auto result = answer(sound->last_heard);
    SDL_AtomicUnlock(&sound->clock_lock);
    return result;
}

static uint32_t sdl_music_position(void *context)
{
    SdlSound *sound = sound_of(context);
    return ask_heard_clock(sound, [sound](int64_t heard) { return position_at(sound->clock, heard); });
}

static bool sdl_music_finished(void *context)
{
    SdlSound *sound = sound_of(context);
    return ask_heard_clock(sound, [sound](int64_t heard) { return end_heard(sound->clock, heard); });
}

static void sdl_music_stop(void *context)
{
    SdlSound *sound = sound_of(context);
    if (sound->device) {
        // Closing waits for the device's thread, so the module is ours again.
        SDL_CloseAudioDevice(sound->device);
        sound->device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    sound->playing.store(false, std::memory_order_release);
    free_module(&sound->player);
}

const PlatformMusic SdlMusic = {sdl_music_start, sdl_music_position, sdl_music_finished, sdl_music_stop};
