// Scene suites: opening the build's generated archive, a band fixture that
// starts and ends every case without a fade, and the band a scene whose
// start-up failed leaves behind.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/mesh.h"
#include "frame_check.h"

// A word no scene writes by itself, for bands that must stay untouched.
constexpr uint32_t UntouchedWord = 0x00ABCDEFu;

// Clears the start-up failure flag and reads the directory of the generated
// orvanti.dat, as the program does before any scene loads.
void open_show_archive();

// BandTest with FadeValue and FadeKind at 0 before and after every case.
class SceneTest : public BandTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Runs `draw` with RenderTarget on a 640-word band with 2 guard rows and
// words around it, the band filled with UntouchedWord; RenderTarget.pixels is
// null again afterwards.
GuardedBand band_after(const std::function<void()> &draw);

// How many of the band's 640 by 320 pixels hold `value`.
int count_band_pixels(const GuardedBand &b, uint32_t value);

// Makes `face` a hand-made triangle: its corners at the screen points xy, all
// at view depth `depth` (the rasterizers skip faces not in front).
void place_corners(Vertex corners[3], Face &face, const int xy[3][2], float depth);

// A mesh file of one object, one face: the triangle (0,0) (size,0) (0,size)
// at depth z with texture corners (0,0) (1,0) (0,1).
std::vector<uint8_t> triangle_mesh(float size, float z);
