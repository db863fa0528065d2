// The whole show drawn natively as the browser page's fixed-clock mode draws
// it: frame n gets the clock and music position of line n of a capture trace,
// then one tick of the show loop, with no music rendered. The reference
// of bench/bench_web_page.sh; the trace is named by ORVANTI_TRACE.
// Each tick is also timed on the thread's CPU clock, and a table of every
// handler's share, median, 99th percentile and worst frame is printed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/memory_display.h"
#include "platform/platform.h"
#include "shell/music.h"
#include "shell/show.h"

namespace {

struct TraceFrame {
    uint32_t milliseconds;
    int order, row;
    std::string handler;
};

uint32_t ReplayNow = 0;
uint32_t ReplayPosition = 0;

uint32_t replay_clock(void *)
{
    return ReplayNow;
}

int replay_music_start(void *, const char *, char *, size_t)
{
    return MusicStarted;
}

uint32_t replay_music_position(void *)
{
    return ReplayPosition;
}

bool replay_music_finished(void *)
{
    return false;
}

void replay_music_stop(void *) {}

const PlatformMusic ReplayMusic = {replay_music_start, replay_music_position, replay_music_finished,
                                   replay_music_stop};
MemoryDisplayState ReplayScreen = {};
const Platform ReplayPlatform = {"bench_trace_replay", &MemoryDisplay, &ReplayMusic, replay_clock, &ReplayScreen,
                                 nullptr, nullptr};

std::vector<TraceFrame> read_frames(const char *path)
{
    std::vector<TraceFrame> frames;
    FILE *file = fopen(path, "r");
    if (!file)
        return frames;
    char line[256];
    while (fgets(line, sizeof line, file)) {
        long frame = 0;
        unsigned milliseconds = 0;
        int order = 0, row = 0;
        char handler[128] = "";
        if (sscanf(line, "%ld,%u,%d,%d,%127[^,]", &frame, &milliseconds, &order, &row, handler) >= 4)
            frames.push_back({milliseconds, order, row, handler});
    }
    fclose(file);
    return frames;
}

double thread_milliseconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// Per handler named in the trace: frames, share of all drawing, median,
// 99th percentile and worst, in milliseconds, and the worst frame's number.
void print_handler_costs(const std::map<std::string, std::vector<double>> &costs,
                         const std::map<std::string, std::pair<double, size_t>> &worst)
{
    double total = 0;
    for (const auto &[handler, times] : costs)
        for (double t : times)
            total += t;
    fprintf(stderr, "%-28s %7s %7s %9s %9s %9s %9s\n", "handler", "frames", "share", "median ms", "p99 ms", "worst ms",
            "at frame");
    for (auto [handler, times] : costs) {
        std::sort(times.begin(), times.end());
        double sum = 0;
        for (double t : times)
            sum += t;
        fprintf(stderr, "%-28s %7zu %6.1f%% %9.3f %9.3f %9.3f %9zu\n", handler.c_str(), times.size(),
                100.0 * sum / total, times[times.size() / 2], times[times.size() * 99 / 100], times.back(),
                worst.at(handler).second);
    }
}

void BM_WholeShowFromTrace(benchmark::State &state)
{
    const char *path = getenv("ORVANTI_TRACE");
    std::vector<TraceFrame> frames = path ? read_frames(path) : std::vector<TraceFrame>{};
    if (frames.empty()) {
        state.SkipWithError("set ORVANTI_TRACE to a trace written by orvanti-capture --trace");
        return;
    }
    reset_memory_display(&ReplayScreen);
    if (chdir(ORVANTI_DATA_DIR) != 0 || begin_show(ReplayPlatform) != 0) {
        state.SkipWithError("the show did not start in " ORVANTI_DATA_DIR);
        return;
    }
    std::map<std::string, std::vector<double>> costs;
    std::map<std::string, std::pair<double, size_t>> worst;  // per handler: ms and frame
    // The show's state moves on with every frame: one pass is one iteration.
    for (auto _ : state) {
        for (size_t n = 0; n < frames.size(); n++) {
            const TraceFrame &frame = frames[n];
            double start = thread_milliseconds();
            ReplayPosition = pack_position(frame.order, frame.row);
            poll_music_position(ReplayPlatform);
            ReplayNow = frame.milliseconds;
            show_event(ReplayPlatform, {EventTick, FrameTimerId});
            std::vector<double> &times = costs[frame.handler];
            times.push_back(thread_milliseconds() - start);
            std::pair<double, size_t> &slowest = worst[frame.handler];
            if (times.back() > slowest.first)
                slowest = {times.back(), n};
        }
    }
    print_handler_costs(costs, worst);
    end_show(ReplayPlatform);
    state.counters["frames"] = static_cast<double>(frames.size());
    state.counters["ms_per_frame"] =
        benchmark::Counter(static_cast<double>(frames.size()) / 1000.0, benchmark::Counter::kIsRate |
                                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholeShowFromTrace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
