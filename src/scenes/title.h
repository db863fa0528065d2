// The title scene's state, its draw routines (the textured one is shared with
// the tunnel scene) and its own pixel passes.
#pragma once
#include <cstdint>

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

extern Mesh TitleMesh;
extern Image TitleTexture;       // 32-bit, 256 wide, at least 511 rows
extern Image TitleScrollTexture; // copy of TitleTexture's record; its pixels move to row TitleTextureRow
extern Image TitleBackgrounds[3];// 32-bit, 640 wide, at least 639 rows; move 3, 2 and 1 rows per tick
extern Image TitleColours;       // 32-bit, 640 by 320: flat colour of each face
extern Image TitleWipe;          // 8-bit, 640 by 320: compared with TitleWipeLevel
extern Image TitleFlash;         // 8-bit, 640 by 320: compared with FadeValue
extern uint32_t *TitleComposite; // 640 by 320 words, the summed background
extern uint8_t *TitleFlashRing;  // the flash levels twice, 640 by 640 bytes
extern Matrix TitleCamera;

extern int TitleTextureRow;           // 0..255
extern int TitleBackgroundRow[3];     // 0..319 each
extern int TitleWipeLevel;            // 32..224
extern bool TitleWipeFalling;

constexpr int TitleWipeLow = 32;
constexpr int TitleWipeHigh = 224;
constexpr int TitleSeamWidth = 16;  // wipe levels above TitleWipeLevel and below TitleWipeLevel + 16 form the seam

void title_face_flat(Face *face);
// Textured with 0 as transparent; the tunnel scene draws with it too.
void title_face_textured(Face *face);

// The per-tick steps of the scene state (ticks <= 0 does nothing).
void title_advance(int ticks);

// out[i] = a[i] + b[i] + c[i] as unsigned words, over the 204,800 pixels of
// the band: a channel above 255 carries into the next.
void title_sum_backgrounds(uint32_t *out, const uint32_t *a, const uint32_t *b, const uint32_t *c);

// Where kind is FadeTitleThreshold and value non-zero, composite pixels whose level lies
// below value get a red byte of 255.
void title_flash(uint32_t *composite, const uint8_t *levels, int kind, int value);

// Into RenderTarget: band_a where the wipe byte is above wipe_level, else
// band_b; band_a with red 255 where the byte lies above wipe_level and below
// wipe_level + 16. The bands advance by RenderTarget.pitch per row, the wipe
// by 640 bytes.
void title_select(const uint8_t *wipe, int wipe_level, const uint32_t *band_a, const uint32_t *band_b);
