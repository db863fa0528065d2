// The offline show: each frame n renders the music up to n / fps seconds,
// takes the module's position as the polled one, sets the clock to
// n * 1000 / fps ms and draws through the same timer frame as the program.
// The music rendered between frames is the sound of the WAV file and the
// video, so the sound of frame n is exactly the samples up to n / fps.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <libopenmpt/libopenmpt.h>

#include "capture.h"
#include "data/archive.h"
#include "data/startup.h"
#include "frame_dump.h"
#include "platform/memory_display.h"
#include "platform/module_player.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/exit_status.h"
#include "shell/frame_driver.h"
#include "shell/music.h"
#include "shell/sequencer.h"

constexpr size_t AudioBlockFrames = 1024;
constexpr double BytesPerMegabyte = 1e6;

static uint32_t CaptureNow = 0;

static uint32_t capture_clock()
{
    return CaptureNow;
}

struct CaptureRun {
    const CaptureOptions *options;
    ModulePlayer player;
    uint64_t audio_frames;  // frames of music rendered so far
    std::vector<int16_t> audio_block;
    std::vector<bool> position_saved;
    FILE *trace;
    int64_t saved;
    CaptureProgress progress;
    bool recording;         // the start has been reached: sound and frames are kept
    bool wav_open, video_open;
    WavFile wav;
    VideoEncoder video;
};

static void record_sound(CaptureRun *run, const int16_t *stereo, size_t frames)
{
    if (!run->recording)
        return;
    if (run->wav_open)
        write_wav(&run->wav, stereo, frames);
    if (run->video_open)
        send_video_audio(&run->video, stereo, frames);
}

static void render_music_until(CaptureRun *run, uint64_t target)
{
    while (run->audio_frames < target && !run->player.ended) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(AudioBlockFrames, target - run->audio_frames));
        size_t got = render_module(&run->player, MusicRate, run->audio_block.data(), want);
        record_sound(run, run->audio_block.data(), got);
        run->audio_frames += got;
    }
}

// After a music that stopped early, silence keeps the sound as long as the
// frames.
static void pad_sound_until(CaptureRun *run, uint64_t target)
{
    std::fill(run->audio_block.begin(), run->audio_block.end(), 0);
    while (run->audio_frames < target) {
        size_t count = static_cast<size_t>(std::min<uint64_t>(AudioBlockFrames, target - run->audio_frames));
        record_sound(run, run->audio_block.data(), count);
        run->audio_frames += count;
    }
}

// Order first, then row: 18:0 lies past 17:24.
static bool mark_reached(const CaptureMark &mark, int64_t frame, int fps, int order, int row)
{
    switch (mark.kind) {
    case CaptureMark::Position:
        return order > mark.position.order || (order == mark.position.order && row >= mark.position.row);
    case CaptureMark::Time:
        return frame * 1000 >= mark.milliseconds * fps;
    default:
        return false;
    }
}

// Frames until the end mark (or order 46), for the progress bar; 0 if the
// module cannot tell.
static int64_t expected_frames(const CaptureOptions &options, const std::string &module_path)
{
    if (options.end.kind == CaptureMark::Time)
        return (options.end.milliseconds * options.fps + 999) / 1000;
    CapturePosition end = options.end.kind == CaptureMark::Position ? options.end.position
                                                                     : CapturePosition{FinalOrder, 0};
    ModulePlayer scout = {};
    char reason[256];
    if (load_module_file(module_path.c_str(), &scout, reason, sizeof reason) != 0)
        return 0;
    double seconds = openmpt_module_set_position_order_row(scout.module, end.order, end.row);
    uint32_t landed = module_position(&scout);
    free_module(&scout);
    bool found = position_order(landed) == end.order && position_row(landed) == end.row;
    constexpr double MaxSeconds = 1e6;
    if (!found || !(seconds > 0) || seconds > MaxSeconds)
        return 0;
    return static_cast<int64_t>(seconds * options.fps) + 1;
}

static bool frame_wanted(CaptureRun *run, int64_t frame)
{
    const CaptureOptions &options = *run->options;
    bool wanted = (frame >= options.first_frame && frame <= options.last_frame && options.first_frame >= 0) ||
                  (options.every > 0 && frame % options.every == 0);
    for (size_t i = 0; i < options.positions.size(); i++) {
        const CapturePosition &at = options.positions[i];
        if (!run->position_saved[i] && position_reached(MusicOrder, MusicRow, at.order, at.row)) {
            run->position_saved[i] = true;
            wanted = true;
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %d:%d first reached at frame %" PRId64 " (%d:%d)\n", at.order, at.row,
                    frame, MusicOrder, MusicRow);
        }
    }
    return wanted;
}

static bool save_frame(CaptureRun *run, int64_t frame)
{
    char name[64];
    snprintf(name, sizeof name, "frame_%06" PRId64 ".png", frame);
    std::string path = (std::filesystem::path(run->options->out_folder) / name).string();
    if (!write_frame_png(path.c_str(), memory_display_front(), ScreenWidth, ScreenHeight, memory_display_pitch(),
                         memory_display_bits_per_pixel())) {
        clear_progress(&run->progress);
        fprintf(stderr, "orvanti-capture: %s: cannot write the PNG\n", path.c_str());
        return false;
    }
    run->saved++;
    return true;
}

static int open_outputs(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    bool saves = options.first_frame >= 0 || options.every > 0 || !options.positions.empty();
    if (saves) {
        std::error_code error;
        std::filesystem::create_directories(options.out_folder, error);
        if (error) {
            fprintf(stderr, "orvanti-capture: %s: %s\n", options.out_folder.c_str(), error.message().c_str());
            return ExitSetupFailed;
        }
    }
    if (!options.trace_path.empty()) {
        run->trace = fopen(options.trace_path.c_str(), "w");
        if (!run->trace) {
            perror(("orvanti-capture: " + options.trace_path).c_str());
            return ExitSetupFailed;
        }
        fprintf(run->trace, "frame,milliseconds,order,row,handler,param,fade_value,fade_kind\n");
    }
    return 0;
}

// The video and the sound file are checked and opened before the show
// loads, so that a missing ffmpeg or an unwritable folder is told at once.
static int open_recordings(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    if (!options.video_path.empty()) {
        std::string ffmpeg;
        std::string error = find_ffmpeg(&ffmpeg);
        if (!error.empty()) {
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            return CaptureExitNoEncoder;
        }
        if (!prepare_video(&run->video, ffmpeg, options.video_path, options.fps, options.scale,
                           options.lossless)) {
            fprintf(stderr, "orvanti-capture: %s\n", run->video.error.c_str());
            return CaptureExitOutputFailed;
        }
        run->video_open = true;
    }
    if (!options.wav_path.empty()) {
        std::string error;
        if (!open_wav(&run->wav, options.wav_path, &error)) {
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            return CaptureExitOutputFailed;
        }
        run->wav_open = true;
    }
    return 0;
}

static void abandon_recordings(CaptureRun *run)
{
    if (run->video_open)
        abandon_video(&run->video);
    if (run->wav_open)
        discard_wav(&run->wav);
    run->video_open = run->wav_open = false;
}

// Finishes the video, then the sound file; if either fails, neither is
// kept. Returns the status to end with.
static int close_recordings(CaptureRun *run, std::string *written)
{
    int status = ExitNormal;
    if (run->video_open) {
        note_progress(&run->progress, "orvanti-capture: ffmpeg is finishing the picture, then adds the sound...");
        if (finish_video(&run->video)) {
            std::error_code ignored;
            uintmax_t bytes = std::filesystem::file_size(run->options->video_path, ignored);
            char size[32];
            snprintf(size, sizeof size, " (%.1f MB)", static_cast<double>(bytes) / BytesPerMegabyte);
            *written += "; video " + run->options->video_path + size;
        } else {
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s\n", run->video.error.c_str());
            status = capture_interrupted() ? CaptureExitInterrupted : CaptureExitOutputFailed;
        }
        run->video_open = false;
    }
    if (run->wav_open) {
        std::string error;
        if (status != ExitNormal) {
            discard_wav(&run->wav);
        } else if (close_wav(&run->wav, &error)) {
            *written += "; sound " + run->options->wav_path;
        } else {
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            status = CaptureExitOutputFailed;
            if (!run->options->video_path.empty()) {
                std::error_code ignored;
                std::filesystem::remove(run->options->video_path, ignored);
                written->clear();
            }
        }
        run->wav_open = false;
    }
    return status;
}

static int set_up_display(int depth)
{
    Display = &MemoryDisplay;
    reset_memory_display();
    // The program asks for 32, then 24, then 16 bits: accepting only the
    // chosen depth lands it there through the same steps.
    MemoryDisplayDepths = depth == 32 ? MemoryAccepts32 : depth == 24 ? MemoryAccepts24 : MemoryAccepts16;
    return setup_display();
}

static int load_show(CaptureRun *run, const std::string &module_path)
{
    if (set_up_display(run->options->depth) != 0)
        return ExitSetupFailed;
    if (!startup_load(SurfacePitch, DisplayMode)) {
        fprintf(stderr, "orvanti-capture: %s\n", StartupFailure[0] ? StartupFailure : "loading failed");
        return ExitLoadFailed;
    }
    char reason[256];
    if (load_module_file(module_path.c_str(), &run->player, reason, sizeof reason) != 0) {
        fprintf(stderr, "cannot play %s: %s\n", module_path.c_str(), reason);
        return ExitMusicFailed;
    }
    // The default dither draws fresh noise on every run; without it the
    // sound, like the frames, is the same bytes each time.
    if (openmpt_module_ctl_set_integer(run->player.module, "dither", 0) != 1) {
        fprintf(stderr, "orvanti-capture: %s: cannot turn dithering off\n", module_path.c_str());
        return ExitMusicFailed;
    }
    if (run->video_open &&
        !start_video(&run->video, ScreenWidth, ScreenHeight, memory_display_bits_per_pixel())) {
        fprintf(stderr, "orvanti-capture: %s\n", run->video.error.c_str());
        return CaptureExitOutputFailed;
    }
    return open_outputs(run);
}

// Draws frames until order 46 or the end mark; the status to end with.
static int play_frames(CaptureRun *run, int64_t *frames)
{
    const CaptureOptions &options = *run->options;
    const uint64_t fps = static_cast<uint64_t>(options.fps);
    int64_t frame = 0;
    int status = ExitNormal;
    for (;; frame++) {
        uint64_t show_ms = static_cast<uint64_t>(frame) * 1000 / fps;
        uint64_t sound_end = static_cast<uint64_t>(frame) * MusicRate / fps;
        render_music_until(run, sound_end);
        uint32_t position = module_position(&run->player);
        MusicOrder = position_order(position);
        MusicRow = position_row(position);
        if (MusicOrder == FinalOrder || mark_reached(options.end, frame, options.fps, MusicOrder, MusicRow))
            break;
        if (run->player.ended) {
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: the music ended at %d:%d, before order %d\n", MusicOrder, MusicRow,
                    FinalOrder);
            pad_sound_until(run, sound_end);
            break;
        }
        if (capture_interrupted()) {
            status = CaptureExitInterrupted;
            break;
        }
        if (!run->recording && (options.start.kind == CaptureMark::Unset ||
                                mark_reached(options.start, frame, options.fps, MusicOrder, MusicRow)))
            run->recording = true;
        CaptureNow = static_cast<uint32_t>(show_ms);
        timer_frame();
        flip_frame();

        if (run->trace)
            fprintf(run->trace, "%" PRId64 ",%" PRIu64 ",%d,%d,%s,%d,%d,%d\n", frame, show_ms, MusicOrder, MusicRow,
                    CurrentHandlerName, CurrentParam, FadeValue, FadeKind);
        if (frame_wanted(run, frame) && !save_frame(run, frame)) {
            status = ExitSetupFailed;
            break;
        }
        if (run->recording && run->video_open &&
            !send_video_frame(&run->video, memory_display_front(), memory_display_pitch())) {
            if (capture_interrupted()) {
                status = CaptureExitInterrupted;
                break;
            }
            status = CaptureExitOutputFailed;
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s\n", run->video.error.c_str());
            break;
        }
        if (run->wav_open && !run->wav.problem.empty()) {
            status = CaptureExitOutputFailed;
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s: %s\n", run->wav.path.c_str(), run->wav.problem.c_str());
            break;
        }
        if (run->video_open && !run->video.error.empty()) {
            status = CaptureExitOutputFailed;
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s\n", run->video.error.c_str());
            break;
        }
        update_progress(&run->progress, frame + 1, MusicOrder, MusicRow);
    }
    *frames = frame;
    return status;
}

int run_capture(const CaptureOptions &options)
{
    CaptureRun run = {};
    run.options = &options;
    run.audio_block.resize(AudioBlockFrames * 2);
    run.position_saved.assign(options.positions.size(), false);
    catch_capture_signals();

    std::filesystem::path data = options.data_folder;
    static std::string archive_path;
    archive_path = (data / "orvanti.dat").string();
    ArchivePath = archive_path.c_str();
    std::string module_path = (data / MusicFile).string();

    ClockRoutine = capture_clock;
    CaptureNow = 0;
    int status = open_recordings(&run);
    if (status == ExitNormal)
        status = load_show(&run, module_path);
    int64_t frames = 0;
    if (status == ExitNormal) {
        begin_progress(&run.progress, options.progress, options.progress ? expected_frames(options, module_path) : 0);
        status = play_frames(&run, &frames);
    }

    if (run.trace && fclose(run.trace) != 0) {
        fprintf(stderr, "orvanti-capture: %s: write failed\n", options.trace_path.c_str());
        if (status == ExitNormal)
            status = ExitSetupFailed;
    }
    bool recordings = run.video_open || run.wav_open;
    if (status == ExitNormal && recordings && !run.recording) {
        clear_progress(&run.progress);
        fprintf(stderr, "orvanti-capture: nothing recorded: the show ended before the --start mark\n");
        status = CaptureExitOutputFailed;
    }
    std::string written;
    if (status == ExitNormal)
        status = close_recordings(&run, &written);
    else
        abandon_recordings(&run);
    if (frames > 0 || status == ExitNormal) {
        clear_progress(&run.progress);
        std::string saved = run.saved > 0 ? "; " + std::to_string(run.saved) + " PNG saved" : "";
        fprintf(stderr, "orvanti-capture: %s%s%s\n", progress_summary(&run.progress, frames, options.fps).c_str(),
                saved.c_str(), written.c_str());
    }
    if (status == CaptureExitInterrupted)
        fprintf(stderr, "orvanti-capture: interrupted; unfinished files removed\n");
    free_module(&run.player);
    free_startup_buffers();
    release_display();
    return status;
}
