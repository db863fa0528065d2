// Frame cost of the ball and plane handlers on the generated data: the ball
// far (flat vortex ball), near (textured, with the white ball) and stopped,
// and the plane at rest, fully roughened and during a flash.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_support.h"
#include "raster/render_target.h"
#include "scenes/ball.h"
#include "scenes/plane.h"
#include "scenes/scenes.h"
#include "shell/sequencer.h"

namespace {

constexpr int Pitch = BandWidth;

// Loads the two scenes once, from the build's generated archive.
bool load_scenes()
{
    static const bool ok = [] {
        static std::vector<uint32_t> band(BandWords);
        RenderTarget.pixels = band.data();
        RenderTarget.pitch = Pitch;
        return open_show_data("bench_ball_plane_scenes", [] {
                   load_ball_scene();
                   load_plane_scene();
               }) &&
               BallSceneReady && PlaneSceneReady;
    }();
    return ok;
}

// Starts `handler` as the timeline would and moves it on by `lead` ticks;
// then, without advancing (so the camera and the shape stay where they were
// put), times whole frames.
void run_handler(benchmark::State &state, SceneHandler handler, int param, int lead, int kind, int value)
{
    if (!load_scenes()) {
        state.SkipWithError("the generated data did not load");
        return;
    }
    FadeKind = static_cast<uint8_t>(kind);
    FadeValue = value;
    handler(1, 0, param);
    handler(0, lead, param);
    for (auto _ : state) {
        handler(0, 0, param);
        benchmark::DoNotOptimize(RenderTarget.pixels[160 * Pitch + 320]);
    }
    FadeKind = 0;
    FadeValue = 0;
}

// Parameter 0 at its nearest (-150): the biggest flat vortex ball.
void BM_BallFarFrame(benchmark::State &state)
{
    run_handler(state, ball_scene_handler, 0, 120, 0, 0);
}

// Parameter 1 at its nearest (-100): textured vortex ball and the white ball.
void BM_BallNearFrame(benchmark::State &state)
{
    run_handler(state, ball_scene_handler, 1, 120, 0, 0);
}

// Parameter 3, stopped near, inside a kind-4 flash.
void BM_BallStoppedFlashFrame(benchmark::State &state)
{
    run_handler(state, ball_scene_handler, 3, 200, 4, 32);
}

// The sheet close to its stored shape.
void BM_PlaneRestFrame(benchmark::State &state)
{
    run_handler(state, plane_scene_handler, 0, 0, 0, 0);
}

// Blend at -1: the roughened shape mirrored, the widest spread of faces.
void BM_PlaneRoughFrame(benchmark::State &state)
{
    run_handler(state, plane_scene_handler, 0, 167, 0, 0);
}

// A kind-3 flash: inverted source and black outlines.
void BM_PlaneFlashFrame(benchmark::State &state)
{
    run_handler(state, plane_scene_handler, 0, 50, 3, 32);
}

} // namespace

BENCHMARK(BM_BallFarFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BallNearFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BallStoppedFlashFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaneRestFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaneRoughFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlaneFlashFrame)->Unit(benchmark::kMillisecond);
