// A tracker module rendered with libopenmpt: loading from a file, rendering
// 16-bit stereo frames and reading the order and row reached. Used by the
// audio device and by the offline capture alike.
//
//   ModulePlayer player = {};
//   char error[256];
//   if (load_module_file("orvanti.xm", &player, error, sizeof error) != 0) ...
//   size_t got = render_module(&player, 44100, buffer, 1024);  // 0 at the end
//   uint32_t position = module_position(&player);  // order | row << 16
//   free_module(&player);
#pragma once
#include <cstddef>
#include <cstdint>

struct openmpt_module;

struct ModulePlayer {
    openmpt_module *module;  // null when none is loaded
    bool ended;              // the last render reached the module's end
    uint32_t last_position;  // where the last render started
};

// 0 on success; otherwise a one-line reason in error (never empty).
int load_module_file(const char *path, ModulePlayer *player, char *error, size_t error_size);
// Renders up to `frames` interleaved stereo frames; returns how many were
// rendered (fewer only at the module's end, where it played once through).
size_t render_module(ModulePlayer *player, int rate, int16_t *stereo, size_t frames);
// Moves playback to order 0, row 0.
void rewind_module(ModulePlayer *player);
// Order in the low 16 bits, row in the high 16 bits. Once the end is
// reached it stays at the last position played.
uint32_t module_position(const ModulePlayer *player);
void free_module(ModulePlayer *player);
