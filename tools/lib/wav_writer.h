// Writer of WAV files: 16-bit stereo PCM at 44,100 Hz, written as it comes,
// the sizes filled in when the file is closed.
//
//   WavFile wav;
//   std::string error = open_wav(&wav, "show.wav");
//   write_wav(&wav, samples, frames);        // interleaved left, right
//   error = close_wav(&wav);                 // "" once the file is complete
//
// open_wav and close_wav return "" on success, otherwise one line naming the
// file and the problem. The sound is written under a hidden name beside the
// file and renamed over it only once complete: a failure leaves no new file
// and an old one as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "output_file.h"

constexpr int WavRate = 44100;

struct WavFile {
    OutputFile out;
    FILE *file;           // out.file while open
    std::string path;     // the final name
    uint64_t frames;      // stereo frames written so far
    std::string problem;  // first failed write, "" while all is well
};

// Creates the file with a provisional header.
std::string open_wav(WavFile *wav, const std::string &path);
// Appends frames; a failure is kept in wav->problem and ends the writing.
void write_wav(WavFile *wav, const int16_t *stereo, size_t frames);
// Patches the sizes and closes, keeping the hidden file for place_wav.
std::string finish_wav(WavFile *wav);
// Renames the finished file into place.
std::string place_wav(WavFile *wav);
// finish_wav then place_wav.
std::string close_wav(WavFile *wav);
// Removes the unfinished or unplaced file; an old file stays.
void discard_wav(WavFile *wav);
