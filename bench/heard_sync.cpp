// How far the desktop's music position is from the sound being heard.
//
// SDL's disk driver writes the device's buffers into a named pipe one page
// deep, so the pipe acts as a double-buffered device; a reader thread here
// is its speaker, consuming the pipe at exactly 44,100 frames a second and
// stamping when each frame leaves it. Meanwhile the main thread polls the
// music's position every quarter millisecond. Afterwards every row change
// the poll saw is compared with the moment that row's first frame was
// consumed (row starts found by rendering the module offline a frame at a
// time; the music is found in the consumed stream by its first loud frame,
// since the device plays silence until it is started).
//
//   bench_heard_sync [MODULE [SECONDS]]     (default: the build's orvanti.xm, 20 s)
//
// Prints the error in milliseconds, positive when the position is late.

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <SDL.h>

#include "platform/module_player.h"
#include "platform/platform.h"

constexpr int Rate = 44100;
constexpr int SliceFrames = 16;  // the speaker's reads (0.36 ms): its stamps are this fine

static double now_seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

static void sleep_until(double when)
{
    timespec t;
    t.tv_sec = static_cast<time_t>(when);
    t.tv_nsec = static_cast<long>((when - static_cast<double>(t.tv_sec)) * 1e9);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr);
}

// Everything the speaker consumed, with the time each slice left the pipe.
struct Speaker {
    std::string pipe_path;
    std::atomic<bool> stop{false};
    std::vector<int16_t> samples;  // interleaved stereo
    std::vector<double> slice_times;
    std::vector<double> underruns;  // when the sound resumed after each
    bool failed = false;
};

static void run_speaker(Speaker *speaker)
{
    int fd = open(speaker->pipe_path.c_str(), O_RDONLY);
    if (fd < 0 || fcntl(fd, F_SETPIPE_SZ, 4096) < 0) {
        perror("bench_heard_sync: speaker");
        speaker->failed = true;
        return;
    }
    int16_t slice[SliceFrames * 2];
    double due = 0;
    while (!speaker->stop.load()) {
        if (due > 0)
            sleep_until(due);
        double asked = now_seconds();
        size_t got = 0;
        while (got < sizeof slice) {
            ssize_t n = read(fd, reinterpret_cast<char *>(slice) + got, sizeof slice - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        if (got < sizeof slice)
            break;
        double consumed = now_seconds();
        // A read that waited means the device ran dry: the sound resumes when it comes.
        if (due > 0 && consumed > asked + 0.001)
            speaker->underruns.push_back(consumed);
        speaker->slice_times.push_back(consumed);
        speaker->samples.insert(speaker->samples.end(), slice, slice + SliceFrames * 2);
        due = std::max(due, consumed - 0.001) + static_cast<double>(SliceFrames) / Rate;
    }
    close(fd);
}

struct RowStart {
    size_t frame;
    uint32_t position;
};

// Rendering a frame at a time puts each row's start on its own frame.
static std::vector<RowStart> find_row_starts(const char *module, size_t frames, std::vector<int16_t> *audio)
{
    ModulePlayer player = {};
    char error[256];
    std::vector<RowStart> rows;
    if (load_module_file(module, &player, error, sizeof error) != 0) {
        fprintf(stderr, "bench_heard_sync: %s: %s\n", module, error);
        return rows;
    }
    rewind_module(&player);
    uint32_t last = 0xFFFFFFFF;
    int16_t frame[2];
    for (size_t i = 0; i < frames && render_module(&player, Rate, frame, 1) == 1; i++) {
        audio->insert(audio->end(), frame, frame + 2);
        uint32_t position = module_position(&player);
        if (position != last)
            rows.push_back({i, position});
        last = position;
    }
    free_module(&player);
    return rows;
}

static size_t first_loud_frame(const std::vector<int16_t> &audio, size_t from)
{
    for (size_t i = from; i < audio.size() / 2; i++)
        if (std::abs(audio[2 * i]) > 2000 || std::abs(audio[2 * i + 1]) > 2000)
            return i;
    return SIZE_MAX;
}

static void print_errors(const char *which, std::vector<double> errors)
{
    if (errors.empty())
        return;
    double sum = 0, worst = 0;
    for (double e : errors) {
        sum += e;
        worst = std::max(worst, std::fabs(e));
    }
    std::sort(errors.begin(), errors.end());
    printf("bench_heard_sync: %s (%zu), position minus heard, ms: mean %.2f, median %.2f, min %.2f, max %.2f, "
           "worst |error| %.2f\n",
           which, errors.size(), sum / static_cast<double>(errors.size()), errors[errors.size() / 2], errors.front(),
           errors.back(), worst);
}

int main(int argc, char **argv)
{
    std::string module = argc > 1 ? argv[1] : std::string(ORVANTI_DATA_DIR) + "/orvanti.xm";
    double seconds = argc > 2 ? atof(argv[2]) : 20.0;

    std::vector<int16_t> reference;
    std::vector<RowStart> rows = find_row_starts(module.c_str(), static_cast<size_t>((seconds + 2) * Rate), &reference);
    if (rows.empty())
        return 1;

    char folder[] = "/tmp/orvanti-sync-XXXXXX";
    if (!mkdtemp(folder)) {
        perror("bench_heard_sync: mkdtemp");
        return 1;
    }
    Speaker speaker;
    speaker.pipe_path = std::string(folder) + "/speaker";
    if (mkfifo(speaker.pipe_path.c_str(), 0600) != 0) {
        perror("bench_heard_sync: mkfifo");
        return 1;
    }
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", speaker.pipe_path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);  // paced by the pipe alone
    std::thread speaker_thread(run_speaker, &speaker);

    char reason[256] = "";
    if (SdlMusic.start(&SdlMusicDevice, module.c_str(), reason, sizeof reason) != MusicStarted) {
        fprintf(stderr, "bench_heard_sync: the music did not start: %s\n", reason);
        speaker.stop = true;
        speaker_thread.join();
        return 1;
    }
    struct Seen {
        double time;
        uint32_t position;
    };
    std::vector<Seen> seen;
    uint32_t last = 0xFFFFFFFF;
    double end = now_seconds() + seconds;
    for (double t = now_seconds(); t < end; t = now_seconds()) {
        uint32_t position = SdlMusic.position(&SdlMusicDevice);
        if (position != last)
            seen.push_back({t, position});
        last = position;
        sleep_until(t + 0.00025);
    }
    speaker.stop = true;
    SdlMusic.stop(&SdlMusicDevice);
    speaker_thread.join();
    unlink(speaker.pipe_path.c_str());
    rmdir(folder);
    if (speaker.failed)
        return 1;

    // Where the music begins in what the speaker consumed.
    size_t reference_loud = first_loud_frame(reference, 0);
    size_t heard_loud = first_loud_frame(speaker.samples, 0);
    if (reference_loud == SIZE_MAX || heard_loud == SIZE_MAX || heard_loud < reference_loud) {
        fprintf(stderr, "bench_heard_sync: the music was not found in the consumed sound\n");
        return 1;
    }
    size_t offset = heard_loud - reference_loud;

    std::vector<double> errors, steady;
    size_t next_row = 0;
    for (const Seen &s : seen) {
        size_t r = next_row;
        while (r < rows.size() && rows[r].position != s.position)
            r++;
        if (r == rows.size())
            continue;
        next_row = r + 1;
        size_t frame = offset + rows[r].frame;
        size_t slice = frame / SliceFrames;
        if (slice + 1 >= speaker.slice_times.size() || rows[r].frame == 0)
            continue;  // the first row is seen before any sound: nothing to compare
        // Frames leave a slice evenly between its stamp and the next one's.
        double start = speaker.slice_times[slice];
        double step = std::min(speaker.slice_times[slice + 1] - start, static_cast<double>(SliceFrames) / Rate);
        double heard = start + step * static_cast<double>(frame % SliceFrames) / SliceFrames;
        errors.push_back((s.time - heard) * 1000.0);
        // After a gap the sound is behind by the gap until the device's
        // buffers have come round again.
        bool clear = true;
        for (double resumed : speaker.underruns)
            clear = clear && !(resumed <= heard && heard < resumed + 0.1);
        if (clear)
            steady.push_back(errors.back());
    }
    if (errors.empty()) {
        fprintf(stderr, "bench_heard_sync: no row change was seen\n");
        return 1;
    }
    printf("bench_heard_sync: %zu rows over %.0f s, %zu underruns\n", errors.size(), seconds, speaker.underruns.size());
    print_errors("all rows", errors);
    print_errors("rows clear of an underrun by 100 ms", steady);
    return 0;
}
