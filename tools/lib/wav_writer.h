// Writer of WAV files: 16-bit stereo PCM at 44,100 Hz, written as it comes,
// the sizes filled in when the file is closed.
//
//   WavFile wav;
//   std::string error = open_wav(&wav, "show.wav");
//   write_wav(&wav, samples, frames);        // interleaved left, right
//   error = close_wav(&wav);                 // "" once the file is complete
//
// open_wav and close_wav return "" on success, otherwise one line naming the
// file and the problem; a file that could not be finished is removed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

constexpr int WavRate = 44100;

struct WavFile {
    FILE *file;
    std::string path;
    uint64_t frames;      // stereo frames written so far
    std::string problem;  // first failed write, "" while all is well
};

// Creates the file with a provisional header.
std::string open_wav(WavFile *wav, const std::string &path);
// Appends frames; a failure is kept in wav->problem and ends the writing.
void write_wav(WavFile *wav, const int16_t *stereo, size_t frames);
// Patches the sizes and closes.
std::string close_wav(WavFile *wav);
// Closes and removes the file.
void discard_wav(WavFile *wav);
