// Frame times of the system and credits handlers on the generated data, and
// the rate at which orvanti-capture plays the whole show with no output.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "raster/render_target.h"
#include "scenes/credits.h"
#include "scenes/scenes.h"
#include "scenes/system.h"
#include "shell/sequencer.h"

namespace {

std::vector<uint32_t> Band(BandWords);

void load_once()
{
    load_show_once("bench_system_credits_scenes", Band, [] {
        load_credits_scene();
        load_system_scene();
    });
}

// One section of the system scene: its parameter and the fade it runs under.
struct Section {
    int param, fade_kind, fade_value;
};
const Section Sections[] = {
    {0, 0, 0},      // the copies alone
    {1, 7, 128},    // rays
    {2, 8, 128},    // collapsing faces
    {4, 9, 128},    // outlines and the growing relief
    {8, 10, 128},   // full relief, copies shrinking
    {16, 0, 0},     // the wave, no copies
    {16, 3, 32},    // a flash: black band and the gula
    {48, 0, 0},     // white faces, relief, wave and the gula
};

void BM_SystemFrame(benchmark::State &state)
{
    load_once();
    const Section &s = Sections[state.range(0)];
    system_scene_handler(1, 0, s.param);
    FadeKind = static_cast<uint8_t>(s.fade_kind);
    FadeValue = s.fade_value;
    for (auto _ : state) {
        system_scene_handler(0, 1, s.param);
        benchmark::DoNotOptimize(Band.data());
    }
    state.SetLabel("param " + std::to_string(s.param) + ", fade kind " + std::to_string(s.fade_kind));
    FadeKind = 0;
    FadeValue = 0;
}
BENCHMARK(BM_SystemFrame)->DenseRange(0, sizeof Sections / sizeof Sections[0] - 1)->Unit(benchmark::kMillisecond);

void BM_CreditsFrame(benchmark::State &state)
{
    load_once();
    credits_scene_handler(1, 0, 0);
    FadeKind = static_cast<uint8_t>(state.range(0));
    FadeValue = static_cast<int>(state.range(1));
    for (auto _ : state) {
        credits_scene_handler(0, 1, 0);
        benchmark::DoNotOptimize(Band.data());
    }
    FadeKind = 0;
    FadeValue = 0;
}
BENCHMARK(BM_CreditsFrame)->Args({0, 0})->Args({3, 32})->Args({11, 128})->Unit(benchmark::kMillisecond);

// The complete show at 50 frames a second of show time, no PNG and no
// trace written; the counter is frames drawn per second of wall time.
void BM_WholeShowCapture(benchmark::State &state)
{
    const std::string capture = ORVANTI_DATA_DIR "/../orvanti-capture";
    if (access(capture.c_str(), X_OK) != 0) {
        state.SkipWithError("build orvanti-capture first");
        return;
    }
    const std::string command = capture + " --quiet --data " ORVANTI_DATA_DIR " 2>&1";
    long frames = 0;
    for (auto _ : state) {
        FILE *out = popen(command.c_str(), "r");
        if (out == nullptr) {
            state.SkipWithError("cannot run orvanti-capture");
            return;
        }
        char line[256];
        while (fgets(line, sizeof line, out) != nullptr) {
            long n = 0;
            if (sscanf(line, "orvanti-capture: %ld frames", &n) == 1)
                frames += n;
        }
        if (pclose(out) != 0) {
            state.SkipWithError("orvanti-capture failed");
            return;
        }
    }
    state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholeShowCapture)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
