// The whole show drawn natively as the browser page's fixed-clock mode draws
// it: frame n gets the clock and music position of line n of a capture trace,
// then the timer frame and the flip, with no music rendered. The reference
// of bench/bench_web_page.sh; the trace is named by ORVANTI_TRACE.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "platform/memory_display.h"
#include "platform/platform.h"
#include "shell/display.h"
#include "shell/frame_driver.h"
#include "shell/music.h"

namespace {

struct TraceFrame {
    uint32_t milliseconds;
    int order, row;
};

uint32_t ReplayNow = 0;

uint32_t replay_clock()
{
    return ReplayNow;
}

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
        if (sscanf(line, "%ld,%u,%d,%d", &frame, &milliseconds, &order, &row) == 4)
            frames.push_back({milliseconds, order, row});
    }
    fclose(file);
    return frames;
}

void BM_WholeShowFromTrace(benchmark::State &state)
{
    const char *path = getenv("ORVANTI_TRACE");
    std::vector<TraceFrame> frames = path ? read_frames(path) : std::vector<TraceFrame>{};
    if (frames.empty()) {
        state.SkipWithError("set ORVANTI_TRACE to a trace written by orvanti-capture --trace");
        return;
    }
    if (!open_show_data("bench_trace_replay", [] {})) {
        state.SkipWithError("the generated data did not load");
        return;
    }
    Display = &MemoryDisplay;
    reset_memory_display();
    ClockRoutine = replay_clock;
    ReplayNow = 0;
    if (setup_display() != 0 || !startup_load(SurfacePitch, DisplayMode)) {
        state.SkipWithError("the show did not set up");
        return;
    }
    // The show's state moves on with every frame: one pass is one iteration.
    for (auto _ : state) {
        for (const TraceFrame &frame : frames) {
            ReplayNow = frame.milliseconds;
            MusicOrder = frame.order;
            MusicRow = frame.row;
            timer_frame();
            flip_frame();
        }
    }
    state.counters["frames"] = static_cast<double>(frames.size());
    state.counters["ms_per_frame"] =
        benchmark::Counter(static_cast<double>(frames.size()) / 1000.0, benchmark::Counter::kIsRate |
                                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholeShowFromTrace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
