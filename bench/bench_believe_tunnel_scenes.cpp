// Frame times of the believe and tunnel handlers on the generated data.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "raster/render_target.h"
#include "scenes/believe.h"
#include "scenes/scenes.h"
#include "scenes/tunnel.h"
#include "shell/sequencer.h"

namespace {

std::vector<uint32_t> Band(BandWords);
std::vector<uint32_t> Still(BandWords);

// Loads both scenes once from the generated archive, as start-up does.
void load_once()
{
    if (!load_show_once("bench_believe_tunnel_scenes", Still, [] {
            load_believe_scene();
            load_tunnel_scene();
        }))
        return;
    believe_scene_handler(1, 0, 0);
    BelieveSnapshot = Still.data();
    RenderTarget.pixels = Band.data();
}

void BM_BelieveFrame(benchmark::State &state)
{
    load_once();
    believe_scene_handler(1, 0, 0);
    for (auto _ : state) {
        believe_scene_handler(0, 1, 0);
        benchmark::DoNotOptimize(Band.data());
    }
}
BENCHMARK(BM_BelieveFrame)->Unit(benchmark::kMillisecond);

void BM_BelieveAdvanceOnly(benchmark::State &state)
{
    load_once();
    for (auto _ : state)
        believe_scene_handler(0, 1, 1);
}
BENCHMARK(BM_BelieveAdvanceOnly)->Unit(benchmark::kMicrosecond);

// One tick per frame through the first 30 seconds of flight, over black or
// behind a flash picture.
void run_tunnel(benchmark::State &state, int fade_value, int fade_kind)
{
    constexpr int FlightTicks = 1500;
    load_once();
    FadeValue = fade_value;
    FadeKind = static_cast<uint8_t>(fade_kind);
    tunnel_scene_handler(1, 0, 0);
    int ticks = 0;
    for (auto _ : state) {
        if (++ticks == FlightTicks) {
            state.PauseTiming();
            tunnel_scene_handler(1, 0, 0);
            ticks = 0;
            state.ResumeTiming();
        }
        tunnel_scene_handler(0, 1, 0);
        benchmark::DoNotOptimize(Band.data());
    }
    FadeValue = 0;
    FadeKind = 0;
}

void BM_TunnelFrame(benchmark::State &state)
{
    run_tunnel(state, 0, 0);
}
BENCHMARK(BM_TunnelFrame)->Unit(benchmark::kMillisecond);

void BM_TunnelPictureFlashFrame(benchmark::State &state)
{
    run_tunnel(state, 32, 3);
}
BENCHMARK(BM_TunnelPictureFlashFrame)->Unit(benchmark::kMillisecond);

void BM_TunnelSnapshotFlashFrame(benchmark::State &state)
{
    run_tunnel(state, 32, 6);
}
BENCHMARK(BM_TunnelSnapshotFlashFrame)->Unit(benchmark::kMillisecond);

}  // namespace
