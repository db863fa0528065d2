// The band every scene draws into and every tool reads back: 640 by 320
// 32-bit pixels, 0x00RRGGBB, with the row stride fixed at start-up.
#pragma once
#include <cstdint>

constexpr int BandWidth = 640;   // pixels in a band row
constexpr int BandHeight = 320;  // rows between the letterbox bars
constexpr int BandBytes = BandWidth * BandHeight * 4;

struct TargetBand {
    uint32_t *pixels;  // pixel (0, 0); pixel (x, y) is pixels[y * pitch + x]
    int pitch;         // row stride in pixels
};

extern TargetBand RenderTarget;

// For a pass over every pixel of the band: compiled twice, for AVX2 and for
// any x86-64, the one to run chosen once when the program loads. The same
// integer operations either way, eight pixels at a time in the first. GCC
// only: clang (the fuzzing builds) names the clones so that callers in other
// files, which see a plain declaration, would not find them.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ORVANTI_BAND_PASS __attribute__((target_clones("avx2", "default")))
#else
#define ORVANTI_BAND_PASS
#endif

// For the hand-written AVX2 loops: whether this processor has AVX2, asked once
// when the program loads (possibly before the runtime's own detection ran).
#if defined(__x86_64__) && defined(__GNUC__)
inline const bool CpuHasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

// The band in 24- and 16-bit display modes, and two spare bands with the
// target's stride; all three allocated at start-up.
extern uint32_t *WorkBuffer;
extern uint32_t *ScratchBandA;
extern uint32_t *ScratchBandB;
