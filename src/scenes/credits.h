// The credits scene's state, pictures and draw callback, open to its tests
// and benchmarks.
#pragma once

#include "data/image.h"
#include "engine/matrix.h"
#include "engine/mesh.h"

constexpr int CreditsTextLeft = 64;     // band column of the text's first pixel
constexpr int CreditsTextWidth = 256;
constexpr int CreditsTextRows = 320;    // the text repeats after its last row

extern float CreditsTextScroll;   // text row at the top of the band: 0 at init, +0.25 a tick, wraps at 320
extern float CreditsWindowPhase;  // swings the object's texture window; never reset
extern Matrix CreditsCamera;

extern Image CreditsBackground;  // 640 by 320, under every frame
extern Image CreditsText;        // 256 by 320, the credits
extern Image CreditsMask;        // 256 by 320 bytes: non-zero shows the text
extern Image CreditsTexture;     // 256 wide, at least 768 rows
extern Image CreditsWindow;      // the faces' texture: 256 rows of CreditsTexture
extern Image CreditsDissolve;    // 640 by 320 bytes: the order pixels go black in
extern Mesh CreditsMesh;

// True once every asset has the shape the handler reads; until then the
// handler only advances its state.
extern bool CreditsSceneReady;

void credits_face(Face *face);

// Frees what load_credits_scene allocated (tests and tools; the show keeps it).
void release_credits_scene();
