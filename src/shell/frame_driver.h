// One frame: where the band lies, the first two clears, the frame clock, the
// sequencer step and the conversion of the band to the display's depth.
#pragma once
#include <cstdint>

#include "platform/platform.h"

#include "raster/render_target.h"

constexpr int BandTop = 80;  // rows of black letterbox above (and below) the band
constexpr int TickMilliseconds = 20;

// DisplayMode values.
constexpr int DisplayMode32 = 0;
constexpr int DisplayMode24 = 1;
constexpr int DisplayMode16 = 2;

extern int DisplayMode;
extern int SurfacePitch;  // bytes per row of the back surface

extern int FrameClock;            // whole 20 ms ticks since ClockStartTime
extern uint32_t ClockStartTime;   // milliseconds, taken once at the end of loading
extern int ClearCounter;

// surface: first byte of the locked back surface, 480 rows of SurfacePitch
// bytes; now_ms: the millisecond clock's reading for this frame.
void frame_driver(uint8_t *surface, int mode, uint32_t now_ms);

// Whole ticks between start and now on the unsigned 32-bit millisecond clock.
int ticks_since(uint32_t start, uint32_t now);

// The 5-6-5 word of a 0x00RRGGBB pixel: top bits kept, the rest dropped.
inline uint16_t pack_565(uint32_t pixel)
{
    uint32_t red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    uint8_t low = static_cast<uint8_t>(((green & 0xFC) << 3) | (blue >> 3));
    uint8_t high = static_cast<uint8_t>((red & 0xF8) | (green >> 5));
    return static_cast<uint16_t>(low | (high << 8));
}

// Writes band rows 0-319 into surface rows 80-399: three bytes blue, green,
// red per pixel (24) or the little-endian 5-6-5 word (16). Bytes past the
// 640th pixel of a row are left alone.
void convert_band_24(const uint32_t *band, int band_pitch, uint8_t *surface, int surface_pitch);
void convert_band_16(const uint32_t *band, int band_pitch, uint8_t *surface, int surface_pitch);
