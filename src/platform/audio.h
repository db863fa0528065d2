// The sound output: one SDL audio device at 44,100 Hz stereo playing one
// tracker module through the module player. Channel handles are non-zero.
#pragma once
#include <cstddef>
#include <cstdint>

// Frames per device buffer: the polled position lags the sound by at most this.
constexpr int AudioBufferFrames = 1024;

// Opens the default device, paused; 0 on success.
int audio_open_device(int rate);
// Streams (sampled sound files) are not decoded here, so every file, a
// tracker module included, yields no stream: 0.
uint32_t audio_create_stream(const char *path);
// Loads a module; its handle, or 0 with a one-line reason in error.
uint32_t audio_load_module(const char *path, char *error, size_t error_size);
// Lets the device run; 0 on success.
int audio_start();
// Plays the module once from order 0, row 0; 0 on success.
int audio_play_module(uint32_t module);
// The position of the music being heard: order | row << 16. Any handle,
// also after audio_free, gives the last position heard.
uint32_t audio_position(uint32_t channel);
// True once the module has played to its end and that end has been heard.
bool audio_finished();
// Stops the device and releases the module; harmless when repeated.
void audio_free();
