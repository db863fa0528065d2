// Full-band passes beside memcpy and memset of the same 819,200 bytes, timed
// in the same loop on the thread's CPU clock: the counter x_memcpy (or
// x_memset) is the pass's time over the library routine's, so the ratio holds
// however loaded the machine is.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdint>
#include <cstring>
#include <vector>

#include "data/image.h"
#include "raster/render_target.h"
#include "scenes/image_ops.h"

namespace {

constexpr size_t BandBytes = size_t{BandWidth} * BandHeight * sizeof(uint32_t);

struct Buffers {
    std::vector<uint32_t> band, source, other, texture;
    std::vector<uint8_t> map_x, map_y;
};

Buffers &buffers()
{
    static Buffers b;
    if (b.band.empty()) {
        b.band.assign(BandWidth * BandHeight, 0x00123456u);
        b.source.resize(BandWidth * BandHeight);
        b.other.resize(BandWidth * BandHeight);
        for (size_t i = 0; i < b.source.size(); i++) {
            b.source[i] = static_cast<uint32_t>(i * 2654435761u) & 0x00FFFFFFu;
            b.other[i] = b.source[i] ^ 0x00FF00FFu;
        }
        b.texture.resize(256 * 256);
        for (size_t i = 0; i < b.texture.size(); i++) b.texture[i] = static_cast<uint32_t>(i * 40503u);
        b.map_x.resize(BandWidth * BandHeight);
        b.map_y.resize(BandWidth * BandHeight);
        for (int r = 0; r < BandHeight; r++)
            for (int c = 0; c < BandWidth; c++) {
                b.map_x[r * BandWidth + c] = static_cast<uint8_t>(c * 3 + r / 7);
                b.map_y[r * BandWidth + c] = static_cast<uint8_t>(r * 2 + c / 5);
            }
    }
    RenderTarget.pixels = b.band.data();
    RenderTarget.pitch = BandWidth;
    return b;
}

enum class Baseline { Copy, Fill };

double thread_seconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Pass>
void compare_with_library(benchmark::State &state, Baseline baseline, Pass pass)
{
    Buffers &b = buffers();
    double pass_time = 0, library_time = 0;
    for (auto _ : state) {
        const double start = thread_seconds();
        pass(b);
        benchmark::ClobberMemory();
        const double middle = thread_seconds();
        if (baseline == Baseline::Copy)
            memcpy(b.band.data(), b.source.data(), BandBytes);
        else
            memset(b.band.data(), 0, BandBytes);
        benchmark::ClobberMemory();
        pass_time += middle - start;
        library_time += thread_seconds() - middle;
    }
    state.counters[baseline == Baseline::Copy ? "x_memcpy" : "x_memset"] =
        pass_time / library_time;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BandBytes));
}

void BM_CopyBand(benchmark::State &state)
{
    compare_with_library(state, Baseline::Copy, [](Buffers &b) { copy_band(b.source.data()); });
}

void BM_WarpBand(benchmark::State &state)
{
    compare_with_library(state, Baseline::Copy, [](Buffers &b) {
        warp_band(b.map_x.data(), b.map_y.data(), b.texture.data(), 17, 200);
    });
}

void BM_InvertBand(benchmark::State &state)
{
    compare_with_library(state, Baseline::Copy, [](Buffers &) { invert_band(); });
}

void BM_FillBand(benchmark::State &state)
{
    compare_with_library(state, Baseline::Fill, [](Buffers &) { fill_band(0); });
}

}  // namespace

BENCHMARK(BM_CopyBand);
BENCHMARK(BM_WarpBand);
BENCHMARK(BM_InvertBand);
BENCHMARK(BM_FillBand);
