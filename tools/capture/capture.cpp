// The offline show: the program's own show loop on a platform of our own.
// Its display is the memory display, whose flips hand each frame to the
// PNG, trace and video writers; its music is the module rendered into
// memory, on a thread of its own a few frames ahead, and the loop's poll
// before frame n sees the position at n / fps seconds; its clock reads
// n * 1000 / fps ms during frame n. The music rendered between frames is the
// sound of the WAV file and the video, so the sound of frame n is exactly
// the samples up to n / fps.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <libopenmpt/libopenmpt.h>

#include "capture.h"
#include "data/archive.h"
#include "frame_dump.h"
#include "music_ahead.h"
#include "output_file.h"
#include "platform/memory_display.h"
#include "platform/module_player.h"
#include "platform/platform.h"
#include "shell/exit_status.h"
#include "shell/music.h"
#include "shell/sequencer.h"
#include "shell/show.h"

constexpr size_t AudioBlockFrames = 1024;
constexpr double BytesPerMegabyte = 1e6;

// The run in progress, the context of every entry of the capture's platform.
struct CaptureRun {
    const CaptureOptions *options;
    MemoryDisplayState screen;  // the display the show draws on
    std::string module_path;
    ModulePlayer player;
    MusicAhead *music;      // renders the player's sound while the music plays
    uint64_t music_slots;   // frames' slots of music taken: the next one's number
    uint32_t music_position;
    bool music_ended;       // the module's end has been taken
    int64_t frames;         // frames drawn so far: the number of the next one
    int status;             // the first failure's exit status, or ExitNormal
    bool outputs_open;      // the trace and PNG folder, once everything has loaded
    bool stopped_at_mark;   // the --end mark ended the show
    uint64_t audio_frames;  // frames of music rendered so far
    std::vector<int16_t> silence;  // one block of zero samples for the padding
    std::vector<bool> position_saved;
    int64_t range_saved;    // frames of --frames A-B saved
    bool created_out_folder;
    struct stat inputs[2];  // the archive and the module, when they exist
    bool input_found[2];
    OutputFile trace_out;
    FILE *trace;            // trace_out.file while the trace is written
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

// Takes the slots of music up to frame `frame`'s, keeping their sound.
static void take_music_until(CaptureRun *run, int64_t frame)
{
    while (run->music && !run->music_ended && run->music_slots <= static_cast<uint64_t>(frame)) {
        const MusicSlot *slot = wait_music_slot(run->music);
        record_sound(run, slot->sound.data(), slot->frames);
        run->audio_frames += slot->frames;
        run->music_position = slot->position;
        run->music_ended = slot->ended;
        release_music_slot(run->music);
        run->music_slots++;
    }
}

// After a music that stopped early, silence keeps the sound as long as the
// frames.
static void pad_sound_until(CaptureRun *run, uint64_t target)
{
    while (run->audio_frames < target) {
        size_t count = static_cast<size_t>(std::min<uint64_t>(AudioBlockFrames, target - run->audio_frames));
        record_sound(run, run->silence.data(), count);
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

// "" unless `path` is the show's archive or module itself (the same file by
// device and inode, whatever the name), which an output must never replace.
static std::string input_named(const CaptureRun *run, const std::string &path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return "";
    for (int i = 0; i < 2; i++)
        if (run->input_found[i] && info.st_dev == run->inputs[i].st_dev && info.st_ino == run->inputs[i].st_ino)
            return path + ": is the show's " + (i == 0 ? "archive" : "module") + "; refusing to write over it";
    return "";
}

static bool save_frame(CaptureRun *run, int64_t frame)
{
    char name[64];
    snprintf(name, sizeof name, "frame_%06" PRId64 ".png", frame);
    std::string path = (std::filesystem::path(run->options->out_folder) / name).string();
    std::string error = input_named(run, path);
    if (error.empty())
        error = write_frame_png(path.c_str(), memory_display_front(&run->screen), ScreenWidth, ScreenHeight,
                                memory_display_pitch(&run->screen), memory_display_bits_per_pixel(&run->screen));
    if (!error.empty()) {
        clear_progress(&run->progress);
        fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
        return false;
    }
    run->saved++;
    if (frame >= run->options->first_frame && frame <= run->options->last_frame)
        run->range_saved++;
    return true;
}

static int open_outputs(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    bool saves = options.first_frame >= 0 || options.every > 0 || !options.positions.empty();
    if (saves) {
        std::error_code error;
        run->created_out_folder = std::filesystem::create_directories(options.out_folder, error);
        if (error) {
            fprintf(stderr, "orvanti-capture: %s: %s\n", options.out_folder.c_str(), error.message().c_str());
            return CaptureExitWriteFailed;
        }
    }
    if (!options.trace_path.empty()) {
        std::string error = open_output(&run->trace_out, options.trace_path);
        if (!error.empty()) {
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            return CaptureExitWriteFailed;
        }
        run->trace = run->trace_out.file;
        // A line at a time, so that a full disk shows at the line it cuts.
        setvbuf(run->trace, nullptr, _IOLBF, 0);
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
        std::string error = open_wav(&run->wav, options.wav_path);
        if (!error.empty()) {
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

// Finishes the sound file under its hidden name, then the video, and puts
// the sound in place only once the video is: if either fails, neither new
// file is kept and old files stay as they were. Returns the status to end
// with.
static int close_recordings(CaptureRun *run, std::string *written)
{
    int status = ExitNormal;
    if (run->wav_open) {
        std::string error = finish_wav(&run->wav);
        if (!error.empty()) {
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            abandon_recordings(run);
            return CaptureExitOutputFailed;
        }
    }
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
        } else if ((error = place_wav(&run->wav)).empty()) {
            *written += "; sound " + run->options->wav_path;
        } else {
            clear_progress(&run->progress);
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            status = CaptureExitOutputFailed;
        }
        run->wav_open = false;
    }
    return status;
}

static CaptureRun *run_of(void *context)
{
    return static_cast<CaptureRun *>(context);
}

static void fail_capture(CaptureRun *run, int status, const std::string &message)
{
    if (run->status != ExitNormal)
        return;
    run->status = status;
    clear_progress(&run->progress);
    if (!message.empty())
        fprintf(stderr, "orvanti-capture: %s\n", message.c_str());
}

// Everything that needs the loaded show: the trace and PNG folder, the
// first ffmpeg (which needs the display's depth) and the progress bar.
static void open_frame_outputs(CaptureRun *run)
{
    run->outputs_open = true;
    const CaptureOptions &options = *run->options;
    int status = open_outputs(run);
    if (status != ExitNormal) {
        fail_capture(run, status, "");
        return;
    }
    int rows = options.whole_screen ? ScreenHeight : VideoWindowHeight;
    if (run->video_open && !start_video(&run->video, ScreenWidth, rows, memory_display_bits_per_pixel(&run->screen))) {
        fail_capture(run, CaptureExitOutputFailed, run->video.error);
        return;
    }
    begin_progress(&run->progress, options.progress, options.progress ? expected_frames(options, run->module_path) : 0);
}

// A tick for every frame until the --end mark, an interruption or a failure.
static int capture_next_event(void *context, PlatformEvent *event)
{
    CaptureRun *run = run_of(context);
    if (!run->outputs_open)
        open_frame_outputs(run);
    if (run->status == ExitNormal && mark_reached(run->options->end, run->frames, run->options->fps, MusicOrder, MusicRow))
        run->stopped_at_mark = true;
    else if (run->status == ExitNormal && capture_interrupted())
        run->status = CaptureExitInterrupted;
    if (run->stopped_at_mark || run->status != ExitNormal) {
        *event = {EventQuit, 0};
        return 0;
    }
    return MemoryDisplay.next_event(&run->screen, event);
}

// What each drawn frame becomes: a trace line, perhaps a PNG, a video frame.
static void keep_frame(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    int64_t frame = run->frames;
    if (!run->recording &&
        (options.start.kind == CaptureMark::Unset || mark_reached(options.start, frame, options.fps, MusicOrder, MusicRow)))
        run->recording = true;
    // A failed write (a full disk) is told at once and ends the run: a
    // write error is sticky, so the first one seen is the reason.
    if (run->trace) {
        errno = 0;
        if (fprintf(run->trace, "%" PRId64 ",%" PRId64 ",%d,%d,%s,%d,%d,%d\n", frame, frame * 1000 / options.fps,
                    MusicOrder, MusicRow, CurrentHandlerName, CurrentParam, FadeValue, FadeKind) < 0 ||
            ferror(run->trace)) {
            note_output_error(&run->trace_out);
            fail_capture(run, CaptureExitWriteFailed, options.trace_path + ": " + run->trace_out.problem);
            return;
        }
    }
    if (frame_wanted(run, frame) && !save_frame(run, frame)) {
        fail_capture(run, CaptureExitWriteFailed, "");
        return;
    }
    const uint8_t *shown = memory_display_front(&run->screen);
    int pitch = memory_display_pitch(&run->screen);
    if (!options.whole_screen)
        shown += static_cast<size_t>(VideoWindowTop) * static_cast<size_t>(pitch);
    if (run->recording && run->video_open && !send_video_frame(&run->video, shown, pitch)) {
        if (capture_interrupted())
            fail_capture(run, CaptureExitInterrupted, "");
        else
            fail_capture(run, CaptureExitOutputFailed, run->video.error);
        return;
    }
    if (run->wav_open && !run->wav.problem.empty()) {
        fail_capture(run, CaptureExitOutputFailed, run->wav.path + ": " + run->wav.problem);
        return;
    }
    if (run->video_open && !run->video.error.empty()) {
        fail_capture(run, CaptureExitOutputFailed, run->video.error);
        return;
    }
    update_progress(&run->progress, frame + 1, MusicOrder, MusicRow);
}

static int capture_flip(void *context)
{
    CaptureRun *run = run_of(context);
    int outcome = MemoryDisplay.flip(&run->screen);
    if (outcome == FlipDone) {
        keep_frame(run);
        run->frames++;
    }
    return outcome;
}

// The rest of the display is the memory display's own.
static int capture_open(void *context, int bits_per_pixel, int *pitch_bytes, int *failed_step)
{
    return MemoryDisplay.open(&run_of(context)->screen, bits_per_pixel, pitch_bytes, failed_step);
}

static void capture_close(void *context)
{
    MemoryDisplay.close(&run_of(context)->screen);
}

static int capture_lock(void *context, uint8_t **pixels)
{
    return MemoryDisplay.lock(&run_of(context)->screen, pixels);
}

static void capture_unlock(void *context)
{
    MemoryDisplay.unlock(&run_of(context)->screen);
}

static int capture_restore(void *context)
{
    return MemoryDisplay.restore(&run_of(context)->screen);
}

static void capture_post_event(void *context, EventKind kind, int param)
{
    MemoryDisplay.post_event(&run_of(context)->screen, kind, param);
}

static void capture_message_box(void *context, const char *caption, const char *text)
{
    MemoryDisplay.message_box(&run_of(context)->screen, caption, text);
}

static const PlatformDisplay CaptureDisplay = {
    capture_open,    capture_close,      capture_lock,       capture_unlock,      capture_flip,
    capture_restore, capture_next_event, capture_post_event, capture_message_box,
};

static uint32_t capture_now_ms(void *context)
{
    const CaptureRun *run = run_of(context);
    return static_cast<uint32_t>(static_cast<uint64_t>(run->frames) * 1000 / static_cast<uint64_t>(run->options->fps));
}

// The module from the data folder, with the dither that would make every
// run's sound different turned off.
static int capture_music_start(void *context, const char *file, char *reason, size_t reason_size)
{
    CaptureRun *run = run_of(context);
    run->module_path = (std::filesystem::path(run->options->data_folder) / file).string();
    char why[256];
    if (load_module_file(run->module_path.c_str(), &run->player, why, sizeof why) != 0) {
        snprintf(reason, reason_size, "%s: %s", run->module_path.c_str(), why);
        return MusicUnplayable;
    }
    if (openmpt_module_ctl_set_integer(run->player.module, "dither", 0) != 1) {
        snprintf(reason, reason_size, "%s: cannot turn dithering off", run->module_path.c_str());
        return MusicUnplayable;
    }
    run->music_position = module_position(&run->player);
    run->music = start_music_ahead(&run->player, MusicRate, run->options->fps);
    return MusicStarted;
}

// The loop polls after every frame: the music is taken up to the time of the
// next one.
static uint32_t capture_music_position(void *context)
{
    CaptureRun *run = run_of(context);
    take_music_until(run, run->frames);
    return run->music_position;
}

static bool capture_music_finished(void *context)
{
    return run_of(context)->music_ended;
}

static void stop_music(CaptureRun *run)
{
    stop_music_ahead(run->music);
    run->music = nullptr;
    free_module(&run->player);
}

static void capture_music_stop(void *context)
{
    stop_music(run_of(context));
}

static const PlatformMusic CaptureMusic = {capture_music_start, capture_music_position, capture_music_finished,
                                           capture_music_stop};

// The show on the capture's platform; the status of the show itself.
static int play_show(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    // The program asks for 32, then 24, then 16 bits: accepting only the
    // chosen depth lands it there through the same steps.
    MemoryDisplaySettings settings;
    settings.depths = options.depth == 32 ? MemoryAccepts32 : options.depth == 24 ? MemoryAccepts24 : MemoryAccepts16;
    reset_memory_display(&run->screen, settings);
    const Platform platform = {"orvanti-capture", &CaptureDisplay, &CaptureMusic, capture_now_ms, run, run, run};
    int status = run_show(platform);
    reset_memory_display(&run->screen);
    return status;
}

// Frames asked for that the run never drew or reached, each told; a run
// that saved none of the frames it was asked for fails and removes the
// empty folder it made.
static int report_unreached(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    if (options.first_frame < 0 && options.every == 0 && options.positions.empty())
        return ExitNormal;
    clear_progress(&run->progress);
    char ended[96];
    snprintf(ended, sizeof ended, "the show ended at %d:%d after %" PRId64 " frames", MusicOrder, MusicRow,
             run->frames);
    for (size_t i = 0; i < options.positions.size(); i++)
        if (!run->position_saved[i])
            fprintf(stderr, "orvanti-capture: warning: --at %d:%d was never reached (%s)\n", options.positions[i].order,
                    options.positions[i].row, ended);
    if (options.first_frame >= 0 && run->range_saved < options.last_frame - options.first_frame + 1)
        fprintf(stderr, "orvanti-capture: warning: --frames %" PRId64 "-%" PRId64 ": %s of them drawn (%s)\n",
                options.first_frame, options.last_frame, run->range_saved ? "only some" : "none", ended);
    if (run->saved > 0)
        return ExitNormal;
    if (run->created_out_folder) {
        std::error_code ignored;
        std::filesystem::remove(options.out_folder, ignored);
    }
    fprintf(stderr, "orvanti-capture: no frame saved\n");
    return CaptureExitOutputFailed;
}

// Inputs that are no regular file (a FIFO would block the loader in open),
// outputs that name an input or each other, and --at or --start positions
// the module can never reach: all refused before anything is written.
static int check_before_starting(CaptureRun *run)
{
    const CaptureOptions &options = *run->options;
    const std::string inputs[2] = {ArchivePath, run->module_path};
    for (int i = 0; i < 2; i++) {
        run->input_found[i] = stat(inputs[i].c_str(), &run->inputs[i]) == 0;
        if (run->input_found[i] && !S_ISREG(run->inputs[i].st_mode)) {
            fprintf(stderr, "orvanti-capture: %s: %s, not a regular file\n", inputs[i].c_str(),
                    file_kind(run->inputs[i].st_mode));
            return i == 0 ? ExitLoadFailed : ExitMusicFailed;
        }
    }
    const std::pair<const char *, const std::string *> outputs[] = {
        {"--trace", &options.trace_path}, {"--wav", &options.wav_path}, {"--video", &options.video_path}};
    for (size_t i = 0; i < std::size(outputs); i++) {
        const std::string &path = *outputs[i].second;
        if (path.empty())
            continue;
        std::string error = input_named(run, path);
        if (!error.empty()) {
            fprintf(stderr, "orvanti-capture: %s %s\n", outputs[i].first, error.c_str());
            return CaptureExitUsage;
        }
        auto resolved = [](const std::string &name) {
            std::error_code ignored;
            return std::filesystem::weakly_canonical(std::filesystem::absolute(name, ignored), ignored);
        };
        for (size_t j = 0; j < i; j++)
            if (!outputs[j].second->empty() && resolved(*outputs[j].second) == resolved(path)) {
                fprintf(stderr, "orvanti-capture: %s and %s both name %s\n", outputs[j].first, outputs[i].first,
                        path.c_str());
                return CaptureExitUsage;
            }
    }

    ModulePlayer scout = {};
    char reason[256];
    if (!run->input_found[1] || load_module_file(run->module_path.c_str(), &scout, reason, sizeof reason) != 0)
        return ExitNormal;  // the show's own start tells why it cannot play
    openmpt_module *module = scout.module;
    int orders = std::min(openmpt_module_get_num_orders(module), static_cast<int32_t>(FinalOrder));
    auto rows_at = [module](int order) {
        return openmpt_module_get_pattern_num_rows(module, openmpt_module_get_order_pattern(module, order));
    };
    int status = ExitNormal;
    for (const CapturePosition &at : options.positions) {
        // Reached when order and row are each at or past the given ones.
        bool reachable = false;
        for (int order = at.order; order < orders && !reachable; order++)
            reachable = rows_at(order) > at.row;
        if (!reachable) {
            fprintf(stderr, "orvanti-capture: --at %d:%d is never reached: the show plays orders 0 to %d%s\n",
                    at.order, at.row, orders - 1,
                    at.order < orders ? ", and no pattern from that order on has that row" : "");
            status = CaptureExitUsage;
        }
    }
    if (options.start.kind == CaptureMark::Position && options.start.position.order >= orders) {
        fprintf(stderr, "orvanti-capture: --start %d:%d is never reached: the show plays orders 0 to %d\n",
                options.start.position.order, options.start.position.row, orders - 1);
        status = CaptureExitUsage;
    }
    free_module(&scout);
    return status;
}

int run_capture(const CaptureOptions &options)
{
    CaptureRun run = {};
    run.options = &options;
    run.silence.assign(AudioBlockFrames * 2, 0);
    run.position_saved.assign(options.positions.size(), false);
    catch_capture_signals();

    std::filesystem::path data = options.data_folder;
    static std::string archive_path;
    archive_path = (data / "orvanti.dat").string();
    ArchivePath = archive_path.c_str();
    run.module_path = (data / MusicFile).string();

    int status = check_before_starting(&run);
    if (status == ExitNormal)
        status = open_recordings(&run);
    if (status == ExitNormal)
        status = play_show(&run);
    if (status == ExitNormal)
        status = run.status;
    // A music that stopped before order 46 (and before any --end mark).
    if (status == ExitNormal && run.music_ended && MusicOrder != FinalOrder && !run.stopped_at_mark) {
        clear_progress(&run.progress);
        fprintf(stderr, "orvanti-capture: the music ended at %d:%d, before order %d\n", MusicOrder, MusicRow,
                FinalOrder);
        pad_sound_until(&run, static_cast<uint64_t>(run.frames) * MusicRate / static_cast<uint64_t>(options.fps));
    }
    int64_t frames = run.frames;

    if (run.trace) {
        // An unfinished trace never replaces an old one.
        std::string error;
        if (status == ExitNormal && !(error = commit_output(&run.trace_out)).empty()) {
            clear_progress(&run.progress);
            fprintf(stderr, "orvanti-capture: %s\n", error.c_str());
            status = CaptureExitWriteFailed;
        }
        discard_output(&run.trace_out);
        run.trace = nullptr;
    }
    if (status == ExitNormal)
        status = report_unreached(&run);
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
    stop_music(&run);
    return status;
}
