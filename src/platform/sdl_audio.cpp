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

static SDL_AudioDeviceID Device = 0;
static ModulePlayer Player = {};
static std::atomic<bool> Playing{false};
// What the device still holds when it asks for more: the buffer it is
// playing. SDL reports no latency of its own to add, so sound the system
// holds past SDL's buffer (a sound server's, a second hardware period) is
// not counted.
constexpr int QueuedBuffers = 1;
static int DeviceBufferFrames = AudioBufferFrames;
static SDL_SpinLock ClockLock = 0;
static HeardClock Clock = {};
// The show's side: the position never goes back between polls.
static int64_t LastHeard = 0;
// The device's thread's own: the position of the last frame it rendered.
static uint32_t RenderedPosition = 0;

static void fill_buffer(void *, Uint8 *stream, int length)
{
    uint64_t asked = SDL_GetPerformanceCounter();
    auto *out = reinterpret_cast<int16_t *>(stream);
    size_t frames = static_cast<size_t>(length) / (2 * sizeof(int16_t));
    if (!Playing.load(std::memory_order_acquire)) {
        memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    SDL_AtomicLock(&ClockLock);
    note_request(&Clock, asked);
    int64_t first = Clock.rendered;
    SDL_AtomicUnlock(&ClockLock);

    // Row starts are collected here and published with the rendered frames,
    // so the lock is never held while the module renders.
    RowStart starts[RowStartSlots];
    int start_count = 0;
    size_t done = 0;
    bool ended = false;
    while (done < frames && !ended) {
        size_t want = frames - done < RowReadFrames ? frames - done : RowReadFrames;
        size_t got = render_module(&Player, MusicRate, out + done * 2, want);
        uint32_t position = module_position(&Player);
        if (got > 0 && position != RenderedPosition && start_count < RowStartSlots)
            starts[start_count++] = {first + static_cast<int64_t>(done + got / 2), position};
        RenderedPosition = position;
        done += got;
        ended = got < want;
    }
    if (done < frames)
        memset(out + done * 2, 0, (frames - done) * 2 * sizeof(int16_t));

    SDL_AtomicLock(&ClockLock);
    for (int i = 0; i < start_count; i++)
        note_row_start(&Clock, starts[i].frame, starts[i].position);
    // Past the end the stream is silence; it still runs on as heard time.
    note_rendered(&Clock, static_cast<int64_t>(done), ended);
    if (done < frames)
        note_rendered(&Clock, static_cast<int64_t>(frames - done), false);
    SDL_AtomicUnlock(&ClockLock);
}

static int open_device()
{
    if (Device)
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
    SDL_AudioSpec got = {};
    // No changes allowed: SDL converts to whatever the hardware takes.
    Device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
    if (Device == 0) {
        fprintf(stderr, "orvanti: audio: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 1;
    }
    DeviceBufferFrames = got.samples > 0 ? got.samples : AudioBufferFrames;
    Playing.store(false);
    return 0;
}

// The device starts paused with silence; the module is loaded under its
// lock, rewound, and only then does the callback begin to play it.
static int sdl_music_start(const char *path, char *reason, size_t reason_size)
{
    if (open_device() != 0)
        return MusicNoDevice;
    SDL_LockAudioDevice(Device);
    Playing.store(false, std::memory_order_release);
    // Nothing of an earlier module is heard from here on, played or not.
    SDL_AtomicLock(&ClockLock);
    reset_heard_clock(&Clock, 0, MusicRate, QueuedBuffers * DeviceBufferFrames, SDL_GetPerformanceFrequency());
    SDL_AtomicUnlock(&ClockLock);
    LastHeard = 0;
    int failed = load_module_file(path, &Player, reason, reason_size);
    if (!failed) {
        rewind_module(&Player);
        RenderedPosition = module_position(&Player);
        Playing.store(true, std::memory_order_release);
    }
    SDL_UnlockAudioDevice(Device);
    if (failed)
        return MusicUnplayable;
    SDL_PauseAudioDevice(Device, 0);
    return MusicStarted;
}

// The frame being heard now, and the clock's answer for it.
template <typename Answer>
static auto ask_heard_clock(Answer answer)
{
    uint64_t now = SDL_GetPerformanceCounter();
    SDL_AtomicLock(&ClockLock);
    int64_t heard = heard_frame(Clock, now);
    if (heard > LastHeard)
        LastHeard = heard;
    auto result = answer(LastHeard);
    SDL_AtomicUnlock(&ClockLock);
    return result;
}

static uint32_t sdl_music_position()
{
    return ask_heard_clock([](int64_t heard) { return position_at(Clock, heard); });
}

static bool sdl_music_finished()
{
    return ask_heard_clock([](int64_t heard) { return end_heard(Clock, heard); });
}

static void sdl_music_stop()
{
    if (Device) {
        // Closing waits for the device's thread, so the module is ours again.
        SDL_CloseAudioDevice(Device);
        Device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    Playing.store(false, std::memory_order_release);
    free_module(&Player);
}

const PlatformMusic SdlMusic = {sdl_music_start, sdl_music_position, sdl_music_finished, sdl_music_stop};
