// Rendering the composed module to a WAV file, for listening to the score
// without the show.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Plays `module` once through with libopenmpt and writes it to `path` as
// 16-bit stereo PCM at 44.1 kHz. Returns "" on success, else a one-line
// message naming the file and the problem (a partial file is removed).
std::string render_music_wav(const std::vector<uint8_t> &module, const std::string &path);

// The loudest sample, in full scale units, of `module` played once through
// at the rate the show plays it; -1 when it does not play.
double measure_music_peak(const std::vector<uint8_t> &module);
