// The offline show: each frame n renders the music up to n / fps seconds,
// takes the module's position as the polled one, sets the clock to
// n * 1000 / fps ms and draws through the same timer frame as the program.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <vector>

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
constexpr int64_t ProgressEvery = 50;  // frames between progress lines

static uint32_t CaptureNow = 0;
// True while the progress line is the last thing on standard error.
static bool ProgressShown = false;

static void end_progress_line()
{
    if (ProgressShown)
        fputc('\n', stderr);
    ProgressShown = false;
}

static uint32_t capture_clock()
{
    return CaptureNow;
}

struct CaptureRun {
    const CaptureOptions *options;
    ModulePlayer player;
    uint64_t audio_frames;  // frames of music rendered so far
    std::vector<int16_t> audio_block;
    CaptureAudioSink sink;
    void *sink_context;
    std::vector<bool> position_saved;
    FILE *trace;
    int64_t saved;
};

static void render_music_until(CaptureRun *run, uint64_t target)
{
    while (run->audio_frames < target && !run->player.ended) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(AudioBlockFrames, target - run->audio_frames));
        size_t got = render_module(&run->player, MusicRate, run->audio_block.data(), want);
        if (got > 0 && run->sink)
            run->sink(run->audio_block.data(), got, run->sink_context);
        run->audio_frames += got;
    }
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
            end_progress_line();
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
        end_progress_line();
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
            return 1;
        }
    }
    if (!options.trace_path.empty()) {
        run->trace = fopen(options.trace_path.c_str(), "w");
        if (!run->trace) {
            perror(("orvanti-capture: " + options.trace_path).c_str());
            return 1;
        }
        fprintf(run->trace, "frame,milliseconds,order,row,handler,param,fade_value,fade_kind\n");
    }
    return 0;
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

int run_capture(const CaptureOptions &options)
{
    CaptureRun run = {};
    run.options = &options;
    run.audio_block.resize(AudioBlockFrames * 2);
    run.position_saved.assign(options.positions.size(), false);

    std::filesystem::path data = options.data_folder;
    static std::string archive_path;
    archive_path = (data / "orvanti.dat").string();
    ArchivePath = archive_path.c_str();
    std::string module_path = (data / MusicFile).string();

    ClockRoutine = capture_clock;
    CaptureNow = 0;
    if (set_up_display(options.depth) != 0)
        return ExitSetupFailed;
    if (!startup_load(SurfacePitch, DisplayMode)) {
        fprintf(stderr, "orvanti-capture: %s\n", StartupFailure[0] ? StartupFailure : "loading failed");
        return ExitLoadFailed;
    }
    char reason[256];
    if (load_module_file(module_path.c_str(), &run.player, reason, sizeof reason) != 0) {
        fprintf(stderr, "cannot play %s: %s\n", module_path.c_str(), reason);
        return ExitMusicFailed;
    }
    if (open_outputs(&run) != 0) {
        free_module(&run.player);
        return ExitSetupFailed;
    }

    int status = ExitNormal;
    int64_t frame = 0;
    for (;; frame++) {
        uint64_t show_ms = static_cast<uint64_t>(frame) * 1000 / static_cast<uint64_t>(options.fps);
        render_music_until(&run, static_cast<uint64_t>(frame) * MusicRate / static_cast<uint64_t>(options.fps));
        uint32_t position = module_position(&run.player);
        MusicOrder = position_order(position);
        MusicRow = position_row(position);
        if (MusicOrder == FinalOrder)
            break;
        if (run.player.ended) {
            end_progress_line();
            fprintf(stderr, "orvanti-capture: the music ended at %d:%d, before order %d\n", MusicOrder, MusicRow,
                    FinalOrder);
            break;
        }
        CaptureNow = static_cast<uint32_t>(show_ms);
        timer_frame();
        flip_frame();

        if (run.trace)
            fprintf(run.trace, "%" PRId64 ",%" PRIu64 ",%d,%d,%s,%d,%d,%d\n", frame, show_ms, MusicOrder, MusicRow,
                    CurrentHandlerName, CurrentParam, FadeValue, FadeKind);
        if (frame_wanted(&run, frame) && !save_frame(&run, frame)) {
            status = ExitSetupFailed;
            break;
        }
        if (options.progress && frame % ProgressEvery == 0) {
            fprintf(stderr, "\rorvanti-capture: frame %" PRId64 "  %d:%02d  %-26s", frame, MusicOrder, MusicRow,
                    CurrentHandlerName);
            ProgressShown = true;
        }
    }
    end_progress_line();
    fprintf(stderr, "orvanti-capture: %" PRId64 " frames, %" PRId64 " saved\n", frame, run.saved);

    if (run.trace && fclose(run.trace) != 0) {
        fprintf(stderr, "orvanti-capture: %s: write failed\n", options.trace_path.c_str());
        status = ExitSetupFailed;
    }
    free_module(&run.player);
    free_startup_buffers();
    release_display();
    return status;
}
