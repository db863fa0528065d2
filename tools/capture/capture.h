// orvanti-capture: the show played offline and deterministically, with the
// memory display, the module rendered into memory and the clock driven by
// the frame number; chosen frames saved as PNG, a per-frame trace, the
// sound as a WAV file and the whole as a video encoded by ffmpeg.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "wav_writer.h"

struct CapturePosition {
    int order, row;
};

// Where a video or sound capture starts or ends: a music position, reached
// once the position is at or past it (order first, then row), or a time
// into the show.
struct CaptureMark {
    enum Kind { Unset, Position, Time } kind = Unset;
    CapturePosition position = {0, 0};
    int64_t milliseconds = 0;
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
    std::string video_path;            // "" for no video; ".mp4" or ".mkv"
    std::string wav_path;              // "" for no sound file
    int scale = 2;                     // whole-pixel enlargement of the video
    bool whole_screen = false;         // video of the whole 4:3 screen, not the 16:9 window
    bool lossless = false;             // bit-exact picture and sound (.mkv, scale 1 unless given)
    CaptureMark start, end;            // the video and sound span this
};

// Exit statuses of the tool beyond the program's own (shell/exit_status.h).
constexpr int CaptureExitUsage = 2;
constexpr int CaptureExitWriteFailed = 2;    // a PNG frame, the trace or their folder could not be written
constexpr int CaptureExitNoEncoder = 6;      // ffmpeg is not installed
constexpr int CaptureExitOutputFailed = 7;   // ffmpeg failed or a file could not be written
constexpr int CaptureExitInterrupted = 130;  // SIGINT or SIGTERM; partial files removed

// Fills options from the command line; returns "" or a one-line error.
std::string parse_capture_options(int argc, char **argv, CaptureOptions *options);
const char *capture_usage();

// The 16:9 window of the 640x480 screen that the video shows by default:
// the picture band with 20 rows of black above and below.
constexpr int VideoWindowTop = 60;
constexpr int VideoWindowHeight = 360;

// Plays the whole show; returns the process exit status.
int run_capture(const CaptureOptions &options);

// True once SIGINT or SIGTERM asked the capture to stop.
bool capture_interrupted();
// Catches SIGINT and SIGTERM into capture_interrupted() and ignores SIGPIPE,
// so that a dead encoder shows up as a failed write.
void catch_capture_signals();
// For the capture's own threads: SIGINT and SIGTERM reach the drawing
// thread, which watches for them, and never interrupt these.
void leave_interrupts_to_the_drawing_thread();

// --- Video through the ffmpeg program. Frames go down a pipe as raw video
// into a first ffmpeg that encodes H.264 into a hidden file beside the
// output; the sound is kept in a second hidden file; once the show is over a
// second ffmpeg joins both with AAC sound and the result is renamed into
// place. The output path only ever holds a finished video.
struct VideoEncoder {
    std::string ffmpeg;        // full path of the program
    std::string output;        // the finished video
    std::string container;     // "mp4" or "matroska"
    std::string video_part;    // hidden H.264-only file
    std::string audio_part;    // hidden raw 16-bit stereo sound
    std::string joined_part;   // hidden result of the second step
    std::string log_path;      // ffmpeg's messages, shown when it fails
    int pipe_fd;               // write end of the frame pipe, -1 when closed
    int pid;                   // first ffmpeg, 0 when not running
    FILE *audio;
    uint64_t audio_frames;
    int64_t frames;            // frames sent
    int width, height, bits_per_pixel, fps, scale;
    bool lossless;             // RGB picture and FLAC sound, both bit-exact
    struct FrameQueue *queue;  // frames waiting for the writer thread
    std::string error;         // first failure, one line
};

// "" when `program` is found on PATH, else a one-line error saying how to
// get it; `found` receives the full path.
std::string find_ffmpeg(std::string *found);
// Checks the output name and the folder, creates the hidden files; false
// with encoder->error set.
bool prepare_video(VideoEncoder *encoder, const std::string &ffmpeg, const std::string &output, int fps,
                   int scale, bool lossless);
// Starts the first ffmpeg for frames of the given size and depth.
bool start_video(VideoEncoder *encoder, int width, int height, int bits_per_pixel);
// Sends one frame (rows top to bottom, `pitch` bytes apart). The frame is
// copied into a short queue that a writer thread feeds to ffmpeg, so drawing
// goes on while the encoder reads; this waits only when the queue is full.
bool send_video_frame(VideoEncoder *encoder, const uint8_t *pixels, int pitch);
void send_video_audio(VideoEncoder *encoder, const int16_t *stereo, size_t frames);
// Ends the first ffmpeg, joins picture and sound and renames the result
// into place; false with encoder->error set and nothing left behind.
bool finish_video(VideoEncoder *encoder);
// Stops ffmpeg if it runs and removes every file the encoder made.
void abandon_video(VideoEncoder *encoder);

// --- Progress on standard error: a bar redrawn in place when it is a
// terminal, otherwise nothing until the one summary line.
struct CaptureProgress {
    bool bar;              // draw the bar (a terminal and not --quiet)
    bool shown;            // the bar is the last thing on the line
    int64_t total_frames;  // expected frames, 0 when unknown
    double started, last_drawn;  // seconds on a monotonic clock
};

double monotonic_seconds();
void begin_progress(CaptureProgress *progress, bool wanted, int64_t total_frames);
// Redraws the bar at most a few times a second.
void update_progress(CaptureProgress *progress, int64_t frames_done, int order, int row);
// Replaces the bar with a short note (what the capture waits for).
void note_progress(CaptureProgress *progress, const char *note);
// Clears the bar so that a message can take the line.
void clear_progress(CaptureProgress *progress);
// "1234 frames (0:24.68 of show) in 3.1 s: 398.1 fps, 7.96x real time"
std::string progress_summary(const CaptureProgress *progress, int64_t frames, int fps);
