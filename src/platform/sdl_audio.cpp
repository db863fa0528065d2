// The desktop's music: one SDL audio device at 44,100 Hz stereo playing one
// tracker module through the module player. The device's thread renders the
// module and publishes the position of the buffer being heard through
// atomics; the main thread only reads them.

#include <atomic>
#include <cstdio>
#include <cstring>

#include <SDL.h>

#include "platform/module_player.h"
#include "platform/platform.h"

constexpr int MusicRate = 44100;
// Frames per device buffer: the polled position lags the sound by at most this.
constexpr int AudioBufferFrames = 1024;

static SDL_AudioDeviceID Device = 0;
static int Rate = 0;
static ModulePlayer Player = {};
static std::atomic<bool> Playing{false};
static std::atomic<uint32_t> HeardPosition{0};
static std::atomic<bool> Finished{false};
// Touched by the device's thread only while Playing (and under the device
// lock before it): the position and end of the buffer rendered last.
static uint32_t RenderedPosition = 0;
static bool RenderedSilence = false;

static void fill_buffer(void *, Uint8 *stream, int length)
{
    auto *out = reinterpret_cast<int16_t *>(stream);
    size_t frames = static_cast<size_t>(length) / (2 * sizeof(int16_t));
    if (!Playing.load(std::memory_order_acquire)) {
        memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    // The buffer rendered by the previous call is the one starting to play now.
    HeardPosition.store(RenderedPosition, std::memory_order_release);
    if (RenderedSilence)
        Finished.store(true, std::memory_order_release);
    uint32_t position = module_position(&Player);
    size_t rendered = render_module(&Player, Rate, out, frames);
    if (rendered > 0)
        RenderedPosition = position;
    if (rendered < frames)
        memset(out + rendered * 2, 0, (frames - rendered) * 2 * sizeof(int16_t));
    RenderedSilence = rendered == 0;
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
    Rate = MusicRate;
    Playing.store(false);
    Finished.store(false);
    HeardPosition.store(0);
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
    int failed = load_module_file(path, &Player, reason, reason_size);
    if (!failed) {
        rewind_module(&Player);
        RenderedPosition = module_position(&Player);
        RenderedSilence = false;
        HeardPosition.store(RenderedPosition, std::memory_order_release);
        Finished.store(false, std::memory_order_release);
        Playing.store(true, std::memory_order_release);
    }
    SDL_UnlockAudioDevice(Device);
    if (failed)
        return MusicUnplayable;
    SDL_PauseAudioDevice(Device, 0);
    return MusicStarted;
}

static uint32_t sdl_music_position()
{
    return HeardPosition.load(std::memory_order_acquire);
}

static bool sdl_music_finished()
{
    return Finished.load(std::memory_order_acquire);
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
