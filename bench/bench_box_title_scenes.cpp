// Frame cost of the box and title handlers on the generated data, each from a
// representative point of its stretch of the show.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_support.h"
#include "raster/render_target.h"
#include "scenes/scenes.h"
#include "shell/frame_driver.h"
#include "shell/sequencer.h"

namespace {

constexpr int Pitch = BandWidth;

// Loads the two scenes once, from the build's generated archive.
bool load_scenes()
{
    static const bool ok = [] {
        static std::vector<uint32_t> band(BandWords), scratch_a(BandWords), scratch_b(BandWords);
        RenderTarget.pixels = band.data();
        RenderTarget.pitch = Pitch;
        ScratchBandA = scratch_a.data();
        ScratchBandB = scratch_b.data();
        return open_show_data("bench_box_title_scenes", [] {
            load_title_scene();
            load_box_scene();
        });
    }();
    return ok;
}

// Starts `handler` as the timeline would, moves it on by `lead` ticks, then
// times one frame of one tick at a time.
void run_handler(benchmark::State &state, SceneHandler handler, int lead, int kind, int value)
{
    if (!load_scenes()) {
        state.SkipWithError("the generated data did not load");
        return;
    }
    FadeKind = static_cast<uint8_t>(kind);
    FadeValue = value;
    handler(1, 0, 0);
    handler(0, lead, 0);
    for (auto _ : state) {
        handler(0, 1, 0);
        benchmark::DoNotOptimize(RenderTarget.pixels[160 * Pitch + 320]);
    }
}

// At the opening's end: the box in pieces as its first swell sinks.
void BM_BoxMorphFrame(benchmark::State &state)
{
    run_handler(state, box_morph_handler, 1150, 0, 0);
}

// Inside a kind-1 flash, with the title overlay.
void BM_BoxTitleFrame(benchmark::State &state)
{
    run_handler(state, box_title_handler, 100, 1, 128);
}

// Inside a kind-2 flash, the wipe part-way open.
void BM_TitleSceneFrame(benchmark::State &state)
{
    run_handler(state, title_scene_handler, 80, 2, 96);
}

} // namespace

BENCHMARK(BM_BoxMorphFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BoxTitleFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TitleSceneFrame)->Unit(benchmark::kMillisecond);
