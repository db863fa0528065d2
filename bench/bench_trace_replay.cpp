// The whole show drawn natively as the browser page's fixed-clock mode draws
// it: frame n gets the clock and music position of line n of a capture trace,
// then one tick of the show loop, with no music rendered. The reference
// of bench/bench_web_page.sh; the trace is named by ORVANTI_TRACE.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
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
};

uint32_t ReplayNow = 0;
uint32_t ReplayPosition = 0;

uint32_t replay_clock()
{
    return ReplayNow;
}

int replay_music_start(const char *, char *, size_t)
{
    return MusicStarted;
}

uint32_t replay_music_position()
{
    return ReplayPosition;
}

bool replay_music_finished()
{
    return false;
}

void replay_music_stop() {}

const PlatformMusic ReplayMusic = {replay_music_start, replay_music_position, replay_music_finished,
                                   replay_music_stop};
const Platform ReplayPlatform = {"bench_trace_replay", &MemoryDisplay, &ReplayMusic, replay_clock};

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
    reset_memory_display();
    if (chdir(ORVANTI_DATA_DIR) != 0 || begin_show(ReplayPlatform) != 0) {
        state.SkipWithError("the show did not start in " ORVANTI_DATA_DIR);
        return;
    }
    // The show's state moves on with every frame: one pass is one iteration.
    for (auto _ : state) {
        for (const TraceFrame &frame : frames) {
            ReplayPosition = pack_position(frame.order, frame.row);
            poll_music_position(ReplayPlatform);
            ReplayNow = frame.milliseconds;
            show_event(ReplayPlatform, {EventTick, FrameTimerId});
        }
    }
    end_show(ReplayPlatform);
    state.counters["frames"] = static_cast<double>(frames.size());
    state.counters["ms_per_frame"] =
        benchmark::Counter(static_cast<double>(frames.size()) / 1000.0, benchmark::Counter::kIsRate |
                                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_WholeShowFromTrace)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
