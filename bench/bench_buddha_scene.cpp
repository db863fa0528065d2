// Frame times of the four buddha handlers on the generated data.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "raster/render_target.h"
#include "scenes/buddha.h"
#include "scenes/scene_assets.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"

namespace {

std::vector<uint32_t> Band(BandWords);

// Loads the believe and buddha scenes and the colour table once, as start-up does.
void load_once()
{
    if (!load_show_once("bench_buddha_scene", Band, [] {
            load_believe_scene();
            load_buddha_scene();
            load_entry("coltab.dat", &ColourTable);
        }))
        return;
    believe_scene_handler(1, 0, 0);
}

// One tick per frame with the fade half way up, where both choices come up.
void run_handler(benchmark::State &state, SceneHandler handler, int param, int fade_value, int fade_kind)
{
    load_once();
    FadeValue = fade_value;
    FadeKind = static_cast<uint8_t>(fade_kind);
    handler(1, 0, param);
    for (auto _ : state) {
        handler(0, 1, param);
        benchmark::DoNotOptimize(Band.data());
    }
    FadeValue = 0;
    FadeKind = 0;
}

void BM_BuddhaSceneFrame(benchmark::State &state)
{
    run_handler(state, buddha_scene_handler, BuddhaReveal, 0, 0);
}
BENCHMARK(BM_BuddhaSceneFrame)->Unit(benchmark::kMillisecond);

void BM_BuddhaCrossfadeFrame(benchmark::State &state)
{
    run_handler(state, buddha_crossfade_handler, 0, 128, 5);
}
BENCHMARK(BM_BuddhaCrossfadeFrame)->Unit(benchmark::kMillisecond);

void BM_BuddhaFlickerFrame(benchmark::State &state)
{
    run_handler(state, buddha_flicker_handler, 0, 128, 5);
}
BENCHMARK(BM_BuddhaFlickerFrame)->Unit(benchmark::kMillisecond);

void BM_BuddhaGlowFrame(benchmark::State &state)
{
    run_handler(state, buddha_glow_handler, 1, 0, 0);
}
BENCHMARK(BM_BuddhaGlowFrame)->Unit(benchmark::kMillisecond);

// The white band with the faces collapsing, during a kind-3 flash.
void BM_BuddhaGlowWhiteFlashFrame(benchmark::State &state)
{
    run_handler(state, buddha_glow_handler, 3, 32, 3);
}
BENCHMARK(BM_BuddhaGlowWhiteFlashFrame)->Unit(benchmark::kMillisecond);

}  // namespace
