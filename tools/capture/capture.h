// orvanti-capture: the show played offline and deterministically, with the
// memory display, the module rendered into memory and the clock driven by
// the frame number; chosen frames saved as PNG and a per-frame trace.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct CapturePosition {
    int order, row;
};

struct CaptureOptions {
    int fps = 50;
    int depth = 32;                    // 32, 24 or 16 bits per pixel
    std::string data_folder = ".";     // holds "orvanti.dat" and "orvanti.xm"
    std::string out_folder = "capture";
    std::string trace_path;            // "" for no trace
    // Frames to save: a range (first <= last), every Nth frame, and the
    // first frame that reaches each music position.
    int64_t first_frame = -1, last_frame = -1;
    int64_t every = 0;
    std::vector<CapturePosition> positions;
    bool progress = true;
};

// Fills options from the command line; returns "" or a one-line error.
std::string parse_capture_options(int argc, char **argv, CaptureOptions *options);
const char *capture_usage();

// Plays the whole show; returns the process exit status.
int run_capture(const CaptureOptions &options);

// Audio rendered in the same pass as the frames: each block of interleaved
// 16-bit stereo frames at 44,100 Hz is handed here, in order. The capture
// itself has no use for it yet; a writer of sound or video can take it.
using CaptureAudioSink = void (*)(const int16_t *stereo, size_t frames, void *context);
