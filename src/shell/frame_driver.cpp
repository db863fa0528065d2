// The frame driver: target placement, the first two clears, the frame clock,
// the sequencer step and the 24- and 16-bit output of the band.
#include "shell/frame_driver.h"

#include <cstddef>
#include <cstring>

#include "raster/render_target.h"
#include "shell/sequencer.h"

int DisplayMode = DisplayMode32;
int SurfacePitch = ScreenWidth * 4;
int FrameClock = 0;
uint32_t ClockStartTime = 0;
int ClearCounter = 0;

// Counting to 4 in steps of two clears exactly the first two frames: one for
// each surface of the flip chain.
constexpr int ClearCounterLimit = 4;

int ticks_since(uint32_t start, uint32_t now)
{
    // Unsigned subtraction and division keep the count right across the wrap.
    return static_cast<int>((now - start) / static_cast<uint32_t>(TickMilliseconds));
}

void convert_band_24(const uint32_t *band, int band_pitch, uint8_t *surface, int surface_pitch)
{
    for (int y = 0; y < BandHeight; y++) {
        const uint32_t *source = band + static_cast<ptrdiff_t>(y) * band_pitch;
        uint8_t *out = surface + static_cast<ptrdiff_t>(BandTop + y) * surface_pitch;
        for (int x = 0; x < BandWidth; x++) {
            uint32_t pixel = source[x];
            out[0] = static_cast<uint8_t>(pixel);
            out[1] = static_cast<uint8_t>(pixel >> 8);
            out[2] = static_cast<uint8_t>(pixel >> 16);
            out += 3;
        }
    }
}

void convert_band_16(const uint32_t *band, int band_pitch, uint8_t *surface, int surface_pitch)
{
    for (int y = 0; y < BandHeight; y++) {
        const uint32_t *source = band + static_cast<ptrdiff_t>(y) * band_pitch;
        uint8_t *out = surface + static_cast<ptrdiff_t>(BandTop + y) * surface_pitch;
        for (int x = 0; x < BandWidth; x++) {
            uint16_t word = pack_565(source[x]);
            out[0] = static_cast<uint8_t>(word);
            out[1] = static_cast<uint8_t>(word >> 8);
            out += 2;
        }
    }
}

void frame_driver(uint8_t *surface, int mode, uint32_t now_ms)
{
    if (mode == DisplayMode32)
        RenderTarget.pixels = reinterpret_cast<uint32_t *>(surface) + static_cast<ptrdiff_t>(BandTop) * RenderTarget.pitch;
    else
        RenderTarget.pixels = WorkBuffer;

    // Once the limit is reached the counter stays there instead of growing forever.
    if (ClearCounter < ClearCounterLimit) {
        ClearCounter++;
        if (ClearCounter < ClearCounterLimit) {
            memset(surface, 0, static_cast<size_t>(SurfacePitch) * ScreenHeight);
            ClearCounter++;
        }
    }

    FrameClock = ticks_since(ClockStartTime, now_ms);
    update_fade();
    run_timeline();

    if (mode == DisplayMode24)
        convert_band_24(WorkBuffer, BandWidth, surface, SurfacePitch);
    else if (mode == DisplayMode16)
        convert_band_16(WorkBuffer, BandWidth, surface, SurfacePitch);
}
